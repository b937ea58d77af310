#include "console/console_writer.h"

#include "console/display_width.h"
#include "console/terminal_colours.h"

using platform::COORD;

namespace {

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
    // The one result the writer looks at: only a console has a screen buffer.
    if (platform::GetConsoleScreenBufferInfo(handle_, &snapshot_) != 0) {
        output_ = Output::kConsole;
        return;
    }
    width_ = platform::GetTerminalWidth(handle_);
    if (width_ == 0) {
        output_ = Output::kPlain;
        return;
    }
    output_ = Output::kTerminal;
    missing_ = 0;
    laidOut_ = 0;
}

void ConsoleWriter::RefreshSnapshot() { platform::GetConsoleScreenBufferInfo(handle_, &snapshot_); }

// Makes room for up to `count` more bytes, flushing first if the storage is
// full, and returns where they go; `chunk` is how many of them fit. They are
// pending from here on, so the caller must fill them.
uint8_t* ConsoleWriter::Reserve(uint32_t count, uint32_t& chunk) {
    if (length_ == kMaxRunLength) FlushPending();
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

bool ConsoleWriter::PendingHasControlByte() const {
    for (uint32_t i = 0; i < length_; ++i) {
        if (storage_.text[i] < 0x20) return true;
    }
    return false;
}

// The cells that the run just written landed in: as many as it has bytes,
// from the cursor read before the write. Unless the write scrolled the
// buffer: a console whose cursor is on the bottom row scrolls everything up
// when text wraps past it, and the text goes up with the rest. Plain text
// moves the cursor one cell per byte, so when the cursor now stands whole
// rows short of where the run should have ended, the buffer scrolled by that
// many rows. Runs holding control bytes move the cursor in ways that cannot
// be worked back from here; for them the start stays where the cursor was.
ConsoleWriter::Recolouring ConsoleWriter::CellsOfTheRun(COORD before) const {
    const Recolouring unmoved = {before, length_};
    const int32_t width = snapshot_.dwSize.X;
    const COORD after = snapshot_.dwCursorPosition;
    if (width <= 0 || after.Y != snapshot_.dwSize.Y - 1) return unmoved;

    const int32_t start = before.Y * width + before.X;
    const int32_t expectedEnd = start + static_cast<int32_t>(length_);
    const int32_t actualEnd = after.Y * width + after.X;
    const int32_t rows = (expectedEnd - actualEnd) / width;
    if (rows < 1 || PendingHasControlByte()) return unmoved;

    const int32_t moved = start - rows * width;
    if (moved >= 0) return {COORD{before.X, static_cast<int16_t>(before.Y - rows)}, length_};
    // The front of the run scrolled off the top of the buffer.
    const uint32_t lost = static_cast<uint32_t>(-moved);
    return {COORD{0, 0}, lost < length_ ? length_ - lost : 0};
}

void ConsoleWriter::FlushPending() {
    if (length_ == 0) return;
    if (output_ == Output::kConsole) {
        FlushToConsole();
    } else if (OnTerminal()) {
        FlushToTerminal();
    } else {
        WriteBytes(storage_.text, length_);
    }
    length_ = 0;
}

void ConsoleWriter::FlushToConsole() {
    const COORD before = snapshot_.dwCursorPosition;
    platform::WriteConsoleA(handle_, storage_.text, length_, &written_, nullptr);
    RefreshSnapshot();

    const Recolouring target = CellsOfTheRun(before);
    // The text is out, so its storage can hold the attribute run; the run
    // never needs more than kStorageSize bytes because length_ is at most
    // kMaxRunLength. It is filled eight cells a turn, which compilers turn
    // into one or two wide stores; the up to seven cells filled past its end
    // are within the storage, as kMaxRunLength is a multiple of eight.
    static_assert(kMaxRunLength % 8 == 0, "the run is filled eight cells a turn");
    const uint16_t attribute = attribute_;
    for (uint32_t i = 0; i < target.cells; i += 8) {
        uint16_t* cells = storage_.run + i;
        cells[0] = attribute;
        cells[1] = attribute;
        cells[2] = attribute;
        cells[3] = attribute;
        cells[4] = attribute;
        cells[5] = attribute;
        cells[6] = attribute;
        cells[7] = attribute;
    }
    platform::WriteConsoleOutputAttribute(handle_, storage_.run, target.cells, target.start,
                                          &written_);
}

// The run goes out in one write, between its colours and a reset, so that
// however the program is stopped the terminal is not left coloured. The
// text moves up to make room for the sequence in front of it; at most
// kMaxRunLength bytes of text plus both sequences fit in the storage.
void ConsoleWriter::FlushToTerminal() {
    LayOutPending();
    laidOut_ = 0;
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
    MoveColumn(bytes, count);
    platform::WriteFile(handle_, bytes, count, &written_, nullptr);
}

// Where the bytes leave the cursor in a file viewed in a terminal: text
// moves it on; CR and LF take it back to 0, BS one step, TAB to the next
// stop. Other control bytes do not move it.
void ConsoleWriter::MoveColumn(const uint8_t* bytes, uint32_t count) {
    if (OnTerminal()) {
        LayOutOnTerminal(bytes, count);
        return;
    }
    for (uint32_t i = 0; i < count; ++i) {
        const uint8_t c = bytes[i];
        if (c == '\r' || c == '\n') {
            column_ = 0;
        } else if (c == '\b') {
            if (column_ > 0) --column_;
        } else if (c == '\t') {
            column_ = (column_ / 8 + 1) * 8;
            if (width_ > 0 && column_ >= width_) column_ = width_ - 1;
        } else if (c < 0x20 || c == 0x7F) {
            continue;
        } else if (++column_ == width_) {
            column_ = 0;
        }
    }
}

uint32_t ConsoleWriter::TerminalColumnAfterPending() {
    LayOutPending();
    // A character still short of bytes is cut short by whatever comes next
    // that does not continue it, such as the blanks of a tab.
    return missing_ == 0 ? column_ : ColumnAfter(column_, 1, width_);
}

// Counts the pending bytes that are not counted yet. A run in colours opens
// with an escape sequence, which cuts short a character that the run before
// it left unfinished.
void ConsoleWriter::LayOutPending() {
    if (laidOut_ == 0 && missing_ > 0) {
        uint8_t sgr[kMaxSgrLength];
        if (FormatSgr(attribute_, sgr) > 0) EndCharacter();
    }
    LayOutOnTerminal(storage_.text + laidOut_, length_ - laidOut_);
    laidOut_ = length_;
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

// Control bytes move the column as in a file; the others take one column.
void ConsoleWriter::LayOutAscii(uint8_t c) {
    if (c == '\r' || c == '\n') {
        column_ = 0;
    } else if (c == '\b') {
        if (column_ > 0) --column_;
    } else if (c == '\t') {
        column_ = (column_ / 8 + 1) * 8;
        if (column_ >= width_) column_ = width_ - 1;
    } else if (c >= 0x20 && c != 0x7F) {
        MoveTerminalColumn(1);
    }
}

// The lead byte says how many bytes follow; the range of the second one
// rules out overlong forms, surrogates and code points past U+10FFFF.
void ConsoleWriter::StartCharacter(uint8_t lead) {
    if (lead < 0xE0) {
        missing_ = 1;
        codePoint_ = lead & 0x1Fu;
    } else if (lead < 0xF0) {
        missing_ = 2;
        codePoint_ = lead & 0x0Fu;
    } else {
        missing_ = 3;
        codePoint_ = lead & 0x07u;
    }
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
    platform::WriteConsoleA(handle_, storage_.text, 1, &written_, nullptr);
    RefreshSnapshot();
}
