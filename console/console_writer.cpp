#include "console/console_writer.h"

#include "console/display_width.h"
#include "console/terminal_colours.h"

using platform::COORD;

namespace {

// What kinds of byte the text holds: kControl for one below 0x20, kHigh
// for one of 0x80 and above.
constexpr uint32_t kControl = 1;
constexpr uint32_t kHigh = 2;
uint32_t Kinds(const uint8_t* text, uint32_t count) {
    uint32_t kinds = 0;
    for (uint32_t i = 0; i < count; ++i) {
        if (text[i] < 0x20) kinds |= kControl;
        if (text[i] >= 0x80) kinds |= kHigh;
    }
    return kinds;
}

// How many bytes the UTF-8 character that `lead` begins has; a byte that
// begins nothing is one of its own.
uint32_t LeadLength(uint8_t lead) {
    return lead >= 0xF0 ? 4 : lead >= 0xE0 ? 3 : lead >= 0xC0 ? 2 : 1;
}

// How many bytes at the end of the text begin a character that the text
// does not finish; they wait for the rest, so that no write cuts a
// character in two.
uint32_t UnfinishedTail(const uint8_t* text, uint32_t count) {
    for (uint32_t back = 1; back <= 3 && back <= count; ++back) {
        const uint8_t byte = text[count - back];
        if ((byte & 0xC0) == 0x80) continue;
        return byte >= 0xC2 && byte <= 0xF4 && LeadLength(byte) > back ? back : 0;
    }
    return 0;
}

// How many cells the character that `lead` begins most likely takes: two
// for the lead bytes of U+3000 to U+DFFF, mostly East Asian scripts, and of
// the planes above, mostly emoji; one for the rest, and for a byte that
// begins nothing, shown as a replacement character.
int32_t LikelyCells(uint8_t lead) {
    return (lead >= 0xE3 && lead <= 0xED) || (lead >= 0xF0 && lead <= 0xF4) ? 2 : 1;
}

// Where the console leaves its cursor after `cells` cells of text written
// from linear cell `start` of a buffer `width` wide and `size` cells in
// all: past the last cell, or in it when the wrap is deferred and the text
// filled the row; the buffer scrolls up a row whenever text goes past the
// bottom row. `start` is one row past the bottom when a wrap is pending on
// the bottom row.
struct Landing {
    int32_t cursor, rows;
    bool pending;
};
Landing Land(int32_t start, int32_t cells, bool deferred, int32_t width, int32_t size) {
    const int32_t end = start + cells;
    const bool pending = deferred && cells > 0 && end % width == 0;
    const int32_t at = pending ? end - 1 : end;
    const int32_t rows = at >= size ? (at - size) / width + 1 : 0;
    return {at - rows * width, rows, pending};
}

int32_t Distance(int32_t a, int32_t b) { return a > b ? a - b : b - a; }

// Where a character `cells` columns wide leaves the cursor of a terminal
// `width` columns wide: one wider than what is left of the row goes to the
// start of the next row first, and a row filled to its end continues on
// the next.
uint32_t ColumnAfter(uint32_t column, uint32_t cells, uint32_t width) {
    if (cells == 0) return column;
    if (column + cells > width) column = 0;
    column += cells;
    return column >= width ? 0 : column;
}

}  // namespace

void ConsoleWriter::Open() {
    handle_ = platform::GetStdHandle(platform::STD_OUTPUT_HANDLE);
    snapshot_ = platform::CONSOLE_SCREEN_BUFFER_INFO{};
    attribute_ = kInitialAttribute;
    length_ = 0;
    written_ = 0;
    column_ = 0;
    width_ = 0;
    utf8_ = Known::kNotAsked;
    deferredWrap_ = -1;
    wrapPending_ = false;
    // The one result the writer looks at: only a console has a screen buffer.
    if (platform::GetConsoleScreenBufferInfo(handle_, &snapshot_) != 0) {
        output_ = Output::kConsole;
        return;
    }
    width_ = platform::GetTerminalWidth(handle_);
    output_ = width_ > 0 ? Output::kTerminal : Output::kPlain;
    missing_ = 0;
    laidOut_ = 0;
}

void ConsoleWriter::RefreshSnapshot() { platform::GetConsoleScreenBufferInfo(handle_, &snapshot_); }

bool ConsoleWriter::Utf8() {
    if (utf8_ == Known::kNotAsked) {
        utf8_ = platform::GetConsoleOutputCP() == platform::CP_UTF8 ? Known::kYes : Known::kNo;
    }
    return utf8_ == Known::kYes;
}

// Whether a multi-byte character moves the column once rather than once a
// byte: always on a terminal, which reads UTF-8; in a file, when the code
// page says so.
bool ConsoleWriter::CountsCharacters() { return OnTerminal() || Utf8(); }

// Makes room for up to `count` more bytes, flushing first if the storage is
// full, and returns where they go; `chunk` is how many of them fit. They are
// pending from here on, so the caller must fill them.
uint8_t* ConsoleWriter::Reserve(uint32_t count, uint32_t& chunk) {
    if (length_ == kMaxRunLength) Flush(true);
    const uint32_t room = kMaxRunLength - length_;
    chunk = count < room ? count : room;
    uint8_t* to = storage_.text + length_;
    length_ += chunk;
    return to;
}

void ConsoleWriter::AppendRepeated(uint8_t byte, uint16_t count) {
    uint32_t chunk = 0;
    for (uint32_t left = count; left > 0; left -= chunk) {
        uint8_t* to = Reserve(left, chunk);
        for (uint32_t i = 0; i < chunk; ++i) to[i] = byte;
    }
}

void ConsoleWriter::AppendBytes(const uint8_t* bytes, uint32_t count) {
    uint32_t chunk = 0;
    for (; count > 0; count -= chunk, bytes += chunk) {
        uint8_t* to = Reserve(count, chunk);
        for (uint32_t i = 0; i < chunk; ++i) to[i] = bytes[i];
    }
}

uint32_t ConsoleWriter::NextColumn() {
    if (output_ != Output::kConsole) return ColumnAfterPending();
    if ((Kinds(storage_.text, length_) & kHigh) != 0 && Utf8()) FlushPending();
    // Pending text that reaches past the row's end goes on in the next row.
    const uint32_t x = static_cast<uint32_t>(snapshot_.dwCursorPosition.X);
    return ((wrapPending_ ? 0 : x) + length_) % static_cast<uint32_t>(Width());
}

// Writes the pending text. When the storage is full, `keepUnfinished` holds
// back a UTF-8 character that the text has only begun, so that it goes out
// whole with the rest of it: a console or a terminal would show each piece
// as a replacement character. A file takes the bytes as they come.
void ConsoleWriter::Flush(bool keepUnfinished) {
    if (length_ == 0) return;
    uint32_t kept = 0;
    if (keepUnfinished && output_ != Output::kPlain && storage_.text[length_ - 1] >= 0x80 &&
        CountsCharacters()) {
        kept = UnfinishedTail(storage_.text, length_);
    }
    // Bytes that a tab has already counted in the terminal's column, as a
    // character the tab's blanks cut short, go out where they are.
    if (OnTerminal() && kept > length_ - laidOut_) kept = length_ - laidOut_;
    uint8_t tail[3];
    length_ -= kept;
    for (uint32_t i = 0; i < kept; ++i) tail[i] = storage_.text[length_ + i];
    if (output_ == Output::kConsole) {
        FlushToConsole();
    } else {
        LayOutPending();
        laidOut_ = 0;
        if (OnTerminal()) {
            FlushToTerminal();
        } else {
            platform::WriteFile(handle_, storage_.text, length_, &written_, nullptr);
        }
    }
    for (uint32_t i = 0; i < kept; ++i) storage_.text[i] = tail[i];
    length_ = kept;
}

// The cells that the first `count` pending bytes may take: one a byte in a
// single-byte code page. On a UTF-8 console an ASCII character takes one;
// any other takes from none (a combining mark) to two (an East Asian wide
// character, an emoji), as the console and its font decide, but never more
// cells than it has bytes, and an invalid byte shows as at most one
// replacement character. With `spread` above 0 it measures only so far that
// the range stays narrower than that, stopping before a character, and
// shortens `count` to match.
ConsoleWriter::Extent ConsoleWriter::Measure(const uint8_t* text, uint32_t& count, int32_t spread,
                                             bool utf8) {
    Extent e = {0, 0, 0};
    int32_t following = 0;  // continuation bytes the last lead byte announced
    for (uint32_t i = 0; i < count; ++i, ++e.most) {
        const uint8_t byte = text[i];
        const bool doubtful = utf8 && byte >= 0x80;
        if (doubtful && byte < 0xC0 && following > 0) {
            --following;
            continue;
        }
        // A character begins here: a lead byte, or one that continues
        // nothing and shows alone.
        const int32_t length = doubtful ? static_cast<int32_t>(LeadLength(byte)) : 1;
        if (spread > 0 && i > 0 &&
            PieceIsFull(e.most - e.least + (doubtful ? length : 0), e.most + length, spread)) {
            count = i;
            break;
        }
        following = length - 1;
        e.least += doubtful ? 0 : 1;
        e.likely += doubtful ? LikelyCells(byte) : 1;
    }
    return e;
}

// Whether a piece of text that may scroll must end before the next
// character, which would make the range of its possible cell counts
// `range` wide and its bytes `bytes`: the range must stay narrower than
// `spread`, and the attribute run must fit in half the storage while more
// text waits behind it.
bool ConsoleWriter::PieceIsFull(int32_t range, int32_t bytes, int32_t spread) {
    return range >= spread || bytes > static_cast<int32_t>(kMaxRunLength / 2);
}

// Of the cell counts the text may take, those that would leave the cursor
// where the console says it is; the one nearest the likely count when more
// than one does. They differ by whole rows only when the buffer may have
// scrolled, which FlushToConsole rules out by writing in pieces, and by one
// when a wrap may be pending: whether the console defers the wrap is then
// asked, once.
ConsoleWriter::Fit ConsoleWriter::FitFrom(int32_t start, int32_t after, Extent extent) {
    const int32_t width = Width();
    const int32_t size = width * snapshot_.dwSize.Y;
    Fit best = {-1, 0, false};
    bool undecided = false;
    for (int deferred = 0; deferred < 2; ++deferred) {
        if (deferredWrap_ >= 0 && deferredWrap_ != deferred) continue;
        for (int32_t cells = extent.least; cells <= extent.most; ++cells) {
            const Landing landing = Land(start, cells, deferred != 0, width, size);
            if (landing.cursor != after) continue;
            if (best.cells >= 0 && best.cells != cells) undecided = true;
            if (best.cells < 0 ||
                Distance(cells, extent.likely) < Distance(best.cells, extent.likely)) {
                best = {cells, start - landing.rows * width, landing.pending};
            }
        }
    }
    if (undecided && deferredWrap_ < 0) {
        platform::DWORD mode = 0;
        platform::GetConsoleMode(handle_, &mode);
        deferredWrap_ = (mode & platform::ENABLE_VIRTUAL_TERMINAL_PROCESSING) != 0 ? 1 : 0;
        return FitFrom(start, after, extent);
    }
    return best;
}

// A start the writer got wrong by one cell is tried next: a control byte
// written alone may have left a wrap pending unseen, or a guess between two
// equally possible ends may have been wrong.
ConsoleWriter::Fit ConsoleWriter::FitRun(int32_t start, int32_t after, Extent extent) {
    for (int32_t shift = 0; shift < 3; ++shift) {
        const Fit fit = FitFrom(start + (shift == 2 ? -1 : shift), after, extent);
        if (fit.cells >= 0) return fit;
    }
    return {extent.likely, start, false};
}

// Writes the pending text and recolours the cells it took. Plain text is
// placed by where the cursor went: it takes the cells before the cursor,
// higher up by as many rows as the buffer scrolled. On a UTF-8 console,
// where the cells of a character are not known beforehand, text that may
// scroll the buffer goes out in pieces whose possible cell counts differ by
// less than a row, so that the cursor tells how far each one scrolled. Text
// that holds control bytes moves the cursor in ways that cannot be worked
// back: it is coloured one cell per byte from where it began.
void ConsoleWriter::FlushToConsole() {
    const int32_t width = Width();
    const int32_t size = width * snapshot_.dwSize.Y;
    const uint32_t kinds = Kinds(storage_.text, length_);
    const bool control = (kinds & kControl) != 0;
    const bool utf8 = kinds == kHigh && Utf8();
    for (uint32_t done = 0; done < length_;) {
        const COORD before = snapshot_.dwCursorPosition;
        // A pending wrap puts the next character at the start of the next
        // row, which on the bottom row is past the buffer until it scrolls.
        const int32_t start = before.Y * width + before.X + (wrapPending_ ? 1 : 0);
        uint8_t* const text = storage_.text + done;
        uint32_t count = length_ - done;
        // Text that may reach the bottom row's end takes at most a cell a
        // byte; its pieces must be told apart by less than a row.
        const bool mayScroll = utf8 && start + static_cast<int32_t>(count) >= size;
        const Extent extent = Measure(text, count, mayScroll ? width : 0, utf8);
        platform::WriteConsoleA(handle_, text, count, &written_, nullptr);
        RefreshSnapshot();
        done += count;

        // The first byte scrolls the buffer when a wrap is pending on the
        // bottom row.
        Fit fit = {extent.most, start >= size ? start - width : start, false};
        if (!control) {
            const COORD after = snapshot_.dwCursorPosition;
            fit = FitRun(start, after.Y * width + after.X, extent);
            if (fit.pending) deferredWrap_ = 1;
        }
        wrapPending_ = fit.pending;
        int32_t first = fit.first;
        int32_t cells = fit.cells;
        // The front of the run scrolled off the top of the buffer.
        if (first < 0) {
            cells += first;
            first = 0;
        }

        // A piece takes no more cells than it has bytes. The attribute run
        // is built over the text once all of it is out; until then behind
        // it, in the storage's upper half, which a piece never overfills.
        uint16_t* const run = storage_.run + (done < length_ ? kMaxRunLength / 2 : 0);
        for (int32_t i = 0; i < cells; ++i) run[i] = attribute_;
        const COORD at = {static_cast<int16_t>(first % width), static_cast<int16_t>(first / width)};
        platform::WriteConsoleOutputAttribute(
            handle_, run, static_cast<platform::DWORD>(cells > 0 ? cells : 0), at, &written_);
    }
}

// The run goes out in one write, between its colours and a reset, so that
// however the program is stopped the terminal is not left coloured. The
// text moves up to make room for the sequence in front of it; at most
// kMaxRunLength bytes of text plus both sequences fit in the storage.
void ConsoleWriter::FlushToTerminal() {
    uint8_t sgr[kMaxSgrLength];
    const uint32_t sgrLength = FormatSgr(attribute_, sgr);
    if (sgrLength == 0) {
        platform::WriteFile(handle_, storage_.text, length_, &written_, nullptr);
        return;
    }
    // The reset after the text cuts short a character it left unfinished.
    EndCharacter();
    uint8_t* const text = storage_.text;
    for (uint32_t i = length_; i > 0; --i) text[i - 1 + sgrLength] = text[i - 1];
    for (uint32_t i = 0; i < sgrLength; ++i) text[i] = sgr[i];
    uint32_t end = sgrLength + length_;
    for (uint32_t i = 0; i < kSgrResetLength; ++i) text[end++] = static_cast<uint8_t>(kSgrReset[i]);
    platform::WriteFile(handle_, text, end, &written_, nullptr);
}

void ConsoleWriter::WriteBytes(const uint8_t* bytes, uint32_t count) {
    LayOut(bytes, count);
    platform::WriteFile(handle_, bytes, count, &written_, nullptr);
}

// Where the bytes leave the cursor in a file viewed in a terminal, which
// never wraps it: text moves it on; CR and LF take it back to 0, BS one
// step, TAB to the next stop. Other control bytes do not move it, nor, in
// UTF-8, do the continuation bytes of a character.
uint32_t ConsoleWriter::Advance(uint32_t column, const uint8_t* bytes, uint32_t count) {
    for (uint32_t i = 0; i < count; ++i) {
        const uint8_t c = bytes[i];
        if (c == '\r' || c == '\n') {
            column = 0;
        } else if (c == '\b') {
            if (column > 0) --column;
        } else if (c == '\t') {
            column = (column / 8 + 1) * 8;
        } else if (c >= 0x20 && c != 0x7F && (c < 0x80 || c >= 0xC0 || !Utf8())) {
            ++column;
        }
    }
    return column;
}

uint32_t ConsoleWriter::ColumnAfterPending() {
    LayOutPending();
    // A character still short of bytes is cut short by whatever comes next
    // that does not continue it, such as the blanks of a tab.
    return OnTerminal() && missing_ > 0 ? ColumnAfter(column_, 1, width_) : column_;
}

// Counts the pending bytes that are not counted yet, so that a tab costs
// only the bytes gathered since the last one. On a terminal a run in
// colours opens with an escape sequence, which cuts short a character that
// the run before it left unfinished.
void ConsoleWriter::LayOutPending() {
    if (OnTerminal() && laidOut_ == 0 && missing_ > 0) {
        uint8_t sgr[kMaxSgrLength];
        if (FormatSgr(attribute_, sgr) > 0) EndCharacter();
    }
    LayOut(storage_.text + laidOut_, length_ - laidOut_);
    laidOut_ = length_;
}

// Moves the column over bytes as a terminal lays them out, or as a file
// viewed in one does.
void ConsoleWriter::LayOut(const uint8_t* bytes, uint32_t count) {
    if (OnTerminal()) {
        LayOutOnTerminal(bytes, count);
    } else {
        column_ = Advance(column_, bytes, count);
    }
}

// How a terminal lays out the bytes: it decodes UTF-8, and each character
// takes its display width in columns, wrapping at the terminal's width. A
// byte that cannot begin or continue a character, and a character cut short
// by a byte that does not continue it, each show as one replacement
// character. The bytes of a character may come in separate writes.
void ConsoleWriter::LayOutOnTerminal(const uint8_t* bytes, uint32_t count) {
    for (uint32_t i = 0; i < count; ++i) {
        const uint8_t c = bytes[i];
        if (missing_ > 0) {
            if (ContinueCharacter(c)) continue;
            EndCharacter();
        }
        if (c < 0x80) {
            LayOutAscii(c);
        } else if (c >= 0xC2 && c <= 0xF4) {
            StartCharacter(c);
        } else {
            MoveTerminalColumn(1);
        }
    }
}

// Control bytes move the column as in a file, a tab no further than the
// last column; the others take one column.
void ConsoleWriter::LayOutAscii(uint8_t c) {
    if (c >= 0x20 && c != 0x7F) {
        MoveTerminalColumn(1);
        return;
    }
    column_ = Advance(column_, &c, 1);
    if (column_ >= width_) column_ = width_ - 1;
}

// The lead byte says how many bytes follow; the range of the second one
// rules out overlong forms, surrogates and code points past U+10FFFF.
void ConsoleWriter::StartCharacter(uint8_t lead) {
    missing_ = static_cast<uint8_t>(LeadLength(lead) - 1);
    codePoint_ = lead & (0x3Fu >> missing_);
    low_ = lead == 0xE0 ? 0xA0 : lead == 0xF0 ? 0x90 : 0x80;
    high_ = lead == 0xED ? 0x9F : lead == 0xF4 ? 0x8F : 0xBF;
}

// Takes the next byte of the character being gathered, if it is one.
bool ConsoleWriter::ContinueCharacter(uint8_t c) {
    if (c < low_ || c > high_) return false;
    codePoint_ = codePoint_ << 6 | (c & 0x3Fu);
    low_ = 0x80;
    high_ = 0xBF;
    if (--missing_ == 0) MoveTerminalColumn(DisplayWidth(codePoint_));
    return true;
}

// A character whose bytes stopped coming shows as one replacement character.
void ConsoleWriter::EndCharacter() {
    if (missing_ == 0) return;
    missing_ = 0;
    MoveTerminalColumn(1);
}

void ConsoleWriter::MoveTerminalColumn(uint32_t cells) {
    column_ = ColumnAfter(column_, cells, width_);
}

void ConsoleWriter::WriteDirect(uint8_t byte) {
    FlushPending();
    storage_.text[0] = byte;
    if (output_ != Output::kConsole) {
        WriteBytes(storage_.text, 1);
        return;
    }
    const COORD before = snapshot_.dwCursorPosition;
    platform::WriteConsoleA(handle_, storage_.text, 1, &written_, nullptr);
    RefreshSnapshot();
    // A byte that moved the cursor (CR, LF, BS, a glyph) has taken a
    // pending wrap with it; one that did nothing (BEL) has left it.
    const COORD after = snapshot_.dwCursorPosition;
    if (after.X != before.X || after.Y != before.Y) wrapPending_ = false;
}
