#include "console/in_band_output.h"

namespace {

[[gnu::always_inline]] inline uint8_t* Copy(uint8_t* to, const uint8_t* from, uint32_t count) {
    for (uint32_t i = 0; i < count; ++i) to[i] = from[i];
    return to + count;
}

// A byte on its own. A character that wraps a filled row goes out in the
// console's colours `console`, so that a row the wrap scrolls in takes
// them, then after a CR in the run's `colours`; LF, VT and FF go out in the
// console's too. Where the program switched the mode on, a filled row wraps
// before a byte that takes no cell, as it does at once without the mode.
[[gnu::always_inline]] inline uint8_t* PutFrameByte(uint8_t* to, uint8_t c, bool multiByte,
                                                    ConsoleColumn& at, const uint8_t* console,
                                                    const uint8_t* colours) {
    const bool cell = ConsoleColumn::TakesACell(c, multiByte);
    const bool wraps = at.known && at.pending && cell;
    const bool first = at.known && at.pending && !cell && at.switched;
    if (first) at.Set(0, false);
    if (at.known) at.Take(c, multiByte);
    const bool own = wraps || first || static_cast<uint8_t>(c - '\n') < 3;
    if (own) to = Copy(to, console, kConsoleSgrLength);
    if (first) {
        *to++ = '\r';
        *to++ = '\n';
    }
    *to++ = c;
    if (wraps) *to++ = '\r';
    if (own) to = Copy(to, colours, kConsoleSgrLength);
    if (wraps) *to++ = c;
    return to;
}

static_assert(kConsoleSgrLength <= kMaxSgrLength, "a console's sequence is no longer");

}  // namespace

// On a terminal the console's default colours, light grey on black, stand
// for the terminal's own, which a reset gives back.
void InBandOutput::OpenTerminal(uint32_t width) {
    counted_ = 0;
    terminal_ = TerminalColumn{0, width, 0, 0, 0, 0, false, false};
    console_ = ConsoleColumn{};
    to_ = nullptr;
    __builtin_memcpy(closing_, kSgrReset, kSgrResetLength);
    ownLength_ = kSgrResetLength;
    closingLength_ = kSgrResetLength;
}

// A console keeps the colours it stores for each cell, and may have colours
// no attribute can name: it saves them before a run and restores them
// exactly after it, and one that ignores that is still given back the
// colours its first snapshot reported.
void InBandOutput::OpenConsole(const platform::CONSOLE_SCREEN_BUFFER_INFO& first, bool switched) {
    counted_ = 0;
    terminal_ = TerminalColumn{};
    const int32_t width = first.dwSize.X > 0 ? first.dwSize.X : 1;
    // A cursor that starts in the last column may have a wrap waiting, but
    // not without the mode.
    const int32_t x = first.dwCursorPosition.X;
    const bool known = switched || x + 1 < width;
    console_ = ConsoleColumn{x, width, false, known, switched, !known, !known};
    info_ = first;
    FormatConsoleSgr(first.wAttributes & 0xFF, closing_);
    __builtin_memcpy(closing_ + kConsoleSgrLength, kSgrPop, kSgrPushLength);
    ownLength_ = kConsoleSgrLength;
    closingLength_ = kConsoleSgrLength + kSgrPushLength;
}

// A run in colours opens with an escape sequence, which cuts short a
// character that the run before it left unfinished on a terminal.
void InBandOutput::CountOnTerminal(const Run& run) {
    uint8_t sgr[kMaxSgrLength];
    if (counted_ == 0 && terminal_.missing > 0 && FormatSgr(run.attribute, sgr) > 0) {
        terminal_.CutShort();
    }
    terminal_.LayOut(run.storage->text + counted_, run.length - counted_, run.kinds);
    counted_ = run.length;
}

uint8_t* InBandOutput::PutCharacter(uint8_t* to, const uint8_t* bytes, uint32_t count,
                                    bool wraps) const {
    if (coloursLength_ == 0 || (!wraps && static_cast<uint8_t>(bytes[0] - '\n') >= 3)) {
        return Copy(to, bytes, count);
    }
    to = Copy(Copy(to, closing_, ownLength_), bytes, count);
    if (wraps) *to++ = '\r';
    to = Copy(to, colours_, coloursLength_);
    return wraps ? Copy(to, bytes, count) : to;
}

// Character by character, each one's bytes kept until it is whole.
void InBandOutput::WriteToTerminal(platform::HANDLE handle, const Run& run) {
    TerminalColumn at = counted_ > 0 ? terminalStart_ : terminal_;
    counted_ = 0;
    const uint8_t* const text = run.storage->text;
    coloursLength_ = FormatSgr(run.attribute, colours_);
    uint8_t* to = Copy(out_, colours_, coloursLength_);
    if (coloursLength_ > 0) at.CutShort();
    uint32_t begun = 0;
    for (uint32_t i = 0; i < run.length; ++i) {
        const uint8_t c = text[i];
        if (at.missing > 0 && (c < at.low || c > at.high)) {
            at.CutShort();
            to = PutCharacter(to, text + begun, i - begun, at.wrapped);
        }
        if (at.missing == 0) begun = i;
        at.Take(c);
        if (at.missing == 0) to = PutCharacter(to, text + begun, i + 1 - begun, at.wrapped);
    }
    if (at.missing > 0) {
        // Cut short by the reset, or joined by the next write.
        if (coloursLength_ > 0) at.CutShort();
        to = PutCharacter(to, text + begun, run.length - begun, at.wrapped);
    }
    if (coloursLength_ > 0) to = Copy(to, closing_, closingLength_);
    terminal_ = at;
    platform::DWORD written;
    platform::WriteFile(handle, out_, static_cast<platform::DWORD>(to - out_), &written, nullptr);
}

// Text the program lays out goes out in one frame from a known column;
// anything else is measured.
void InBandOutput::WriteToConsole(platform::HANDLE handle, const Run& run) {
    ConsoleColumn at = counted_ > 0 ? consoleStart_ : console_;
    counted_ = 0;
    if (at.known && run.carriedCount == 0 && !(run.multiByte && (run.kinds & kHighByte) != 0)) {
        WriteFrame(handle, run, at);
    } else {
        WriteMeasured(handle, run, at);
    }
}

// A byte at a time, while the column is known: text a cell a byte, and
// control bytes, which take none. On a console the program switched, a row
// the run filled wraps before the write ends, as it does without the mode.
void InBandOutput::WriteFrame(platform::HANDLE handle, const Run& run, ConsoleColumn& at) {
    const uint8_t* const text = run.storage->text;
    const uint32_t length = run.length;
    // The run's colours follow the push, and are copied from there.
    uint8_t* const colours = out_ + kSgrPushLength;
    __builtin_memcpy(out_, kSgrPush, kSgrPushLength);
    FormatConsoleSgr(run.attribute, colours);
    uint8_t* to = colours + kConsoleSgrLength;
    // Where every byte is a cell, those up to the end of the row go out as
    // they are; where the column is not known, all but control bytes.
    const bool cells = ConsoleColumn::AllCells(run.kinds, run.multiByte);
    for (uint32_t i = 0; i < length; ++i) {
        if ((cells && at.known && !at.pending) || (!at.known && (run.kinds & kControlByte) == 0)) {
            uint32_t count = length - i;
            const uint32_t room = static_cast<uint32_t>(at.width - at.column);
            if (at.known && count > room) count = room;
            to = Copy(to, text + i, count);
            at.Place(count);
            i += count - 1;
            continue;
        }
        to = PutFrameByte(to, text[i], run.multiByte, at, closing_, colours);
    }
    __builtin_memcpy(to, closing_, kConsoleSgrLength + kSgrPushLength);
    to += kConsoleSgrLength + kSgrPushLength;
    if (at.switched && at.known && at.pending) {
        *to++ = '\r';
        *to++ = '\n';
        at.Set(0, false);
    }
    console_ = at;
    platform::DWORD written;
    platform::WriteConsoleA(handle, out_, static_cast<platform::DWORD>(to - out_), &written,
                            nullptr);
}

namespace {

// The most bytes one character of a measured run adds to a frame: its own
// bytes twice, with both colours, a CR and the moves that make room.
constexpr uint32_t kMostPerCharacter = 4 * kConsoleSgrLength + 2 * 4 + 16;
static_assert(kOutputSize > 2 * (kSgrPushLength + kMostPerCharacter), "a frame holds a character");

// A byte that takes no cell and that a console the program switched wraps a
// filled row before, as it does at once without the mode: a control byte
// other than SUB, and DEL.
bool TakesNoCell(uint8_t c) { return (c < 0x20 && c != 0x1A) || c == 0x7F; }

// The sequence that moves the cursor to column `x` (from 0) of its row.
uint8_t* PutColumn(uint8_t* to, int32_t x) {
    *to++ = 0x1B;
    *to++ = '[';
    char digits[8];
    int32_t n = 0;
    for (uint32_t v = static_cast<uint32_t>(x) + 1; v > 0; v /= 10) {
        digits[n++] = static_cast<char>('0' + v % 10);
    }
    while (n > 0) *to++ = static_cast<uint8_t>(digits[--n]);
    *to++ = 'G';
    return to;
}

constexpr char kCursorUp[] = "\x1b[A";

}  // namespace

// The console says where the cursor is. In the last column a wrap waits
// if the text since the cursor was known must have left one, and may if it
// may have, which only text from before the run or an escape sequence can
// have done on the bottom row.
void InBandOutput::Ask(platform::HANDLE handle, const Place& before) {
    platform::GetConsoleScreenBufferInfo(handle, &info_);
    Place& p = place_;
    p.x = info_.dwCursorPosition.X;
    p.y = info_.dwCursorPosition.Y;
    p.exact = true;
    const int32_t width = console_.width;
    const int32_t at = p.y * width + p.x;
    const bool edge =
        before.doubt && p.x == width - 1 && (p.y < info_.dwSize.Y - 1 || before.anywhere);
    p.waits = edge && !before.anywhere && before.least > at;
    p.doubt = edge && !p.waits && before.most > at;
    p.anywhere = p.doubt && before.anywhere;
}

void InBandOutput::AskFrom(platform::HANDLE handle, const ConsoleColumn& at) {
    Ask(handle, Place{0, 0, 0, at.width * info_.dwSize.Y, false, false, at.doubt, at.anywhere});
}

void InBandOutput::OpenFrame(uint16_t attribute) {
    if (to_ != nullptr) return;
    __builtin_memcpy(out_, kSgrPush, kSgrPushLength);
    FormatConsoleSgr(attribute, colours_);
    to_ = Copy(out_ + kSgrPushLength, colours_, kConsoleSgrLength);
}

void InBandOutput::Flush(platform::HANDLE handle) {
    if (to_ == nullptr) return;
    to_ = Copy(to_, closing_, kConsoleSgrLength + kSgrPushLength);
    platform::DWORD written;
    platform::WriteConsoleA(handle, out_, static_cast<platform::DWORD>(to_ - out_), &written,
                            nullptr);
    to_ = nullptr;
}

void InBandOutput::Put(const uint8_t* bytes, uint32_t count) { to_ = Copy(to_, bytes, count); }

// The console lays the text out and the program follows as far as it can:
// text of single cells exactly, characters of several bytes within their
// fewest and most cells. Nothing may scroll the buffer while the run's
// colours are set, or a row that comes in would take them: before a
// character that might pass the last cell of the bottom row, the console
// says where its cursor is, and if the character could reach that cell a
// line feed in the console's own colours makes a row, and the cursor goes
// back up to where it was. The window then scrolls by one row more than the
// text needs at most, when the run ends in the last cells. Before the run's
// last character, and on a console the program switched before a byte that
// takes no cell, a character that might fill its row is read back, so that
// whether a wrap waits is known: the next program, a tab and the wrap the
// switched console owes all depend on it.
void InBandOutput::WriteMeasured(platform::HANDLE handle, const Run& run, ConsoleColumn& at) {
    const uint8_t* const text = run.storage->text;
    const uint32_t length = run.length;
    AskFrom(handle, at);
    if (at.known) place_.waits = at.pending;
    to_ = nullptr;
    for (uint32_t i = PutCarried(handle, run, at.switched); i < length;) {
        if (to_ != nullptr && to_ > out_ + kOutputSize - kMostPerCharacter) Flush(handle);
        if (TakesNoCell(text[i])) {
            OpenFrame(run.attribute);
            PutControl(text[i++]);
            continue;
        }
        const CharacterCells cells =
            run.multiByte ? CellsOf(text + i, length - i, run.leads) : CharacterCells{1, 1, 1};
        const uint32_t next = i + cells.length;
        const bool last = next == length || (at.switched && TakesNoCell(text[next]));
        PutCharacter(handle, text + i, cells, last, run);
        i = next;
    }
    EndMeasured(handle, at);
}

// The character the run before began, with the bytes of this one that go
// on with it; returns how many of this run's bytes it took.
uint32_t InBandOutput::PutCarried(platform::HANDLE handle, const Run& run, bool switched) {
    if (run.carriedCount == 0) return 0;
    const uint8_t* const text = run.storage->text;
    uint8_t joined[8];
    uint32_t count = 0;
    for (; count < run.carriedCount; ++count) joined[count] = run.carried[count];
    for (uint32_t k = 0; k < run.length && k < 4; ++k) joined[count++] = text[k];
    uint32_t j = 0;
    while (j < run.carriedCount) {
        const CharacterCells cells = CellsOf(joined + j, count - j, run.leads);
        j += cells.length;
        const uint32_t next = j - run.carriedCount;
        const bool last = next >= run.length || (switched && TakesNoCell(text[next]));
        PutCharacter(handle, joined + j - cells.length, cells, last, run);
    }
    return j - run.carriedCount;
}

// The frame closes, and without the mode a filled row wraps at once; what
// is known of the cursor goes to `at`.
void InBandOutput::EndMeasured(platform::HANDLE handle, ConsoleColumn& at) {
    if (to_ != nullptr) to_ = Copy(to_, closing_, kConsoleSgrLength + kSgrPushLength);
    if (at.switched && place_.exact && place_.waits) {
        if (to_ == nullptr) to_ = out_;
        *to_++ = '\r';
        *to_++ = '\n';
        place_.x = 0;
        place_.waits = false;
    }
    if (to_ != nullptr) {
        platform::DWORD written;
        platform::WriteConsoleA(handle, out_, static_cast<platform::DWORD>(to_ - out_), &written,
                                nullptr);
        to_ = nullptr;
    }
    at.known = place_.exact && !place_.doubt;
    at.doubt = place_.doubt;
    at.anywhere = place_.anywhere;
    at.column = place_.x;
    at.pending = at.known && place_.waits;
    console_ = at;
}

// A control byte in a measured run. Line feeds go out in the console's own
// colours. Where the program switched the mode on, a row that waits to wrap
// wraps first. The control byte moves an exact cursor as the console does;
// after measured text the cursor is asked for again before the next
// character.
void InBandOutput::PutControl(uint8_t c) {
    Place& p = place_;
    const int32_t width = console_.width;
    const int32_t bottom = info_.dwSize.Y - 1;
    const bool lineFeed = static_cast<uint8_t>(c - '\n') < 3;
    if (console_.switched && p.exact && p.waits) {
        Put(closing_, kConsoleSgrLength);
        *to_++ = '\r';
        *to_++ = '\n';
        if (!lineFeed) Put(colours_, kConsoleSgrLength);
        p.x = 0;
        p.y = p.y < bottom ? p.y + 1 : bottom;
        p.waits = false;
    } else if (lineFeed) {
        Put(closing_, kConsoleSgrLength);
    }
    *to_++ = c;
    if (lineFeed) Put(colours_, kConsoleSgrLength);
    // After measured text, or an escape, where a byte that moves the cursor
    // leaves it is the console's to say.
    if (!p.exact || c == 0x1B) {
        const bool moves = lineFeed || c == '\r' || c == '\b' || c == '\t' || c == 0x1B;
        if (moves) {
            p.exact = false;
            p.least = 0;
            p.most = width * (bottom + 1);
        }
        if (lineFeed || c == '\r' || c == '\b') p.doubt = p.anywhere = false;
        if (c == 0x1B) p.doubt = p.anywhere = true;
        return;
    }
    Move(c, lineFeed);
}

// An exact cursor, moved by a control byte as the console moves it.
void InBandOutput::Move(uint8_t c, bool lineFeed) {
    Place& p = place_;
    const int32_t width = console_.width;
    const int32_t bottom = info_.dwSize.Y - 1;
    if (lineFeed) {
        p.y = p.y < bottom ? p.y + 1 : bottom;
        p.x = 0;
        p.waits = p.doubt = false;
    } else if (c == '\r' || c == '\b') {
        p.x = c == '\r' ? 0 : p.x > 0 ? p.x - 1 : 0;
        p.waits = p.doubt = false;
    } else if (c == '\t' && !p.waits && !p.doubt) {
        const int32_t stop = p.x / 8 * 8 + 8;
        p.x = stop < width ? stop : width - 1;
    }
}

// One character of a measured run; `last` when whether it fills its row
// matters once it is written.
void InBandOutput::PutCharacter(platform::HANDLE handle, const uint8_t* bytes, CharacterCells cells,
                                bool last, const Run& run) {
    Place& p = place_;
    const int32_t width = console_.width;
    const int32_t end = width * info_.dwSize.Y - 1;  // the buffer's last cell
    const bool single = cells.least == 1 && cells.most == 1;
    Reach reach{};
    for (;;) {
        reach = ReachOf(cells);
        // A character of one cell from where the cursor is known is laid
        // out.
        const bool laidOut = single && !p.doubt;
        if (!p.exact) {
            if (reach.furthest < end && !(last && reach.mayFill)) break;
            Flush(handle);
            Ask(handle, Place(p));
            continue;
        }
        const Way way = OnBottomRow(bytes, cells, run.attribute, !laidOut && reach.furthest >= end);
        if (way == Way::kAgain) continue;
        if (way == Way::kWritten) return;
        if (last && reach.mayFill && !laidOut) {
            WriteLast(handle, bytes, cells, run.attribute);
            return;
        }
        break;
    }
    OpenFrame(run.attribute);
    Put(bytes, cells.length);
    if (p.exact && single && !p.doubt) {
        if (p.waits) {
            p.x = 0;
            ++p.y;
        }
        p.waits = p.x == width - 1;
        if (!p.waits) ++p.x;
        return;
    }
    p.exact = false;
    p.least = reach.least + cells.least;
    p.most = reach.most + cells.most;
    p.doubt = true;
    p.anywhere = false;
}

// The cells a character may begin in, counted from the top left: after a
// waiting wrap, the next row's first; a wide one that meets the last
// column leaves it blank and begins on the next row.
InBandOutput::Reach InBandOutput::ReachOf(CharacterCells cells) const {
    const Place& p = place_;
    const int32_t width = console_.width;
    Reach reach = {p.least, p.most, 0, false};
    if (p.exact) {
        reach.least = p.y * width + p.x + (p.waits ? 1 : 0);
        reach.most = reach.least + (p.doubt ? 1 : 0);
    }
    if (cells.most == 2 && reach.most % width == width - 1) ++reach.most;
    reach.furthest = reach.most + cells.most - 1;
    const int32_t fewest = reach.least + (cells.least > 0 ? cells.least : 1) - 1;
    reach.mayFill = fewest + (width - 1 - fewest % width) <= reach.furthest;
    return reach;
}

// On the bottom row, from an exact cursor, what a character needs first so
// that no row scrolls in in the run's colours; `reaches`: it may take the
// buffer's last cell.
InBandOutput::Way InBandOutput::OnBottomRow(const uint8_t* bytes, CharacterCells cells,
                                            uint16_t attribute, bool reaches) {
    Place& p = place_;
    const int32_t width = console_.width;
    const int32_t height = info_.dwSize.Y;
    if (p.y != height - 1) return Way::kWrite;
    if (p.doubt) {
        // Whether the row is full nothing tells: it is taken as full.
        OpenFrame(attribute);
        Put(closing_, kConsoleSgrLength);
        *to_++ = '\r';
        *to_++ = '\n';
        Put(colours_, kConsoleSgrLength);
        p.x = 0;
        p.doubt = p.anywhere = false;
        return Way::kAgain;
    }
    if (p.waits && cells.most > 0) {
        // The row it wraps to scrolls in: it goes out in the console's own
        // colours, back to the start of that row, and again.
        OpenFrame(attribute);
        Put(closing_, kConsoleSgrLength);
        Put(bytes, cells.length);
        *to_++ = '\r';
        Put(colours_, kConsoleSgrLength);
        p.x = 0;
        p.waits = false;
        return Way::kAgain;
    }
    if (!reaches) return Way::kWrite;
    OpenFrame(attribute);
    Put(closing_, kConsoleSgrLength);
    if (p.y > info_.srWindow.Top) {
        // A row in the console's own colours, and back up to where the
        // cursor was, which is on the row above now.
        *to_++ = '\n';
        Put(reinterpret_cast<const uint8_t*>(kCursorUp), sizeof kCursorUp - 1);
        to_ = PutColumn(to_, p.x);
        Put(colours_, kConsoleSgrLength);
        --p.y;
        return Way::kAgain;
    }
    // No row above to go back to, in a window of one row: the character
    // goes out in the console's own colours.
    Put(bytes, cells.length);
    Put(colours_, kConsoleSgrLength);
    p.exact = false;
    p.least = 0;
    p.most = width * height;
    p.doubt = true;
    return Way::kWritten;
}

// The last character of a measured run, or of what comes before a byte
// that takes no cell, which may fill its row or not. Where the cursor
// cannot tell (it stands in the last column either way), the colour of the
// row's last cell tells: it is read before the character is written, and
// again after, with the character in a colour that cell did not have; the
// character is then written again in its own.
void InBandOutput::WriteLast(platform::HANDLE handle, const uint8_t* bytes, CharacterCells cells,
                             uint16_t attribute) {
    Flush(handle);
    const int32_t width = console_.width;
    const Place before = place_;
    // Where it begins unless a wrap it does not know of waits.
    const int32_t x = before.waits ? 0 : before.x;
    const int32_t y = before.waits ? before.y + 1 : before.y;
    const bool asks = before.doubt || (cells.least <= width - 1 - x && width - x <= cells.most);
    const platform::COORD last = {static_cast<int16_t>(width - 1), static_cast<int16_t>(y)};
    platform::WORD colour = 0;
    platform::DWORD read;
    if (asks) platform::ReadConsoleOutputAttribute(handle, &colour, 1, last, &read);
    const uint16_t seen = colour & 0xFF;
    const uint16_t probe = asks && seen == (attribute & 0xFF) ? attribute ^ 0x08 : attribute;
    OpenFrame(probe);
    Put(bytes, cells.length);
    Flush(handle);
    Ask(handle, Place{});
    Place& p = place_;
    bool covered = p.y == y && p.x == width - 1;
    if (asks) {
        platform::ReadConsoleOutputAttribute(handle, &colour, 1, last, &read);
        covered = (colour & 0xFF) == probe;
    }
    // Whether it filled the row: it took the last cell and the cursor
    // stayed on its row.
    p.waits = covered && p.y == y && p.x == width - 1;
    if (probe == attribute) return;
    // Where it began: after a doubt, in the last column if it took that
    // cell, else on the next row if it moved there.
    const int32_t beganX = before.doubt && !covered && p.y > y ? 0 : x;
    const int32_t beganY = before.doubt && !covered && p.y > y ? y + 1 : y;
    const bool took = covered || p.y != beganY || p.x != beganX;
    if (!took) return;
    OpenFrame(attribute);
    if (p.y > beganY) Put(reinterpret_cast<const uint8_t*>(kCursorUp), sizeof kCursorUp - 1);
    to_ = PutColumn(to_, beganX);
    Put(bytes, cells.length);
    Flush(handle);
}

void InBandOutput::WriteControl(platform::HANDLE handle, const PendingStorage& storage,
                                uint32_t count) {
    platform::DWORD written;
    if (OnTerminal()) {
        terminal_.LayOut(storage.text, count, KindsOf(storage.text, count));
        platform::WriteFile(handle, storage.text, count, &written, nullptr);
        return;
    }
    // SUB takes a cell: where that is, the console says, and whether a
    // wrap it leaves waits is known from then on.
    bool sub = count == 1 && storage.text[0] == 0x1A;
    if (sub && !console_.known) {
        AskFrom(handle, console_);
        if (!place_.doubt) console_.Set(place_.x, place_.waits);
        sub = place_.doubt;
    }
    // The bytes of a character alone, at the end, are kept by the console
    // and show nothing.
    if (count == 1 && console_.known) {
        console_.Take(storage.text[0], false);
    } else if (count == 1) {
        console_.Unknown(storage.text[0]);
    }
    platform::WriteConsoleA(handle, storage.text, count, &written, nullptr);
    if (!sub || console_.known) return;
    // From the last column, where a wrap may wait: SUB filled that cell and
    // the cursor stayed, or it wrapped first and the cursor is after it.
    const Place before = place_;
    Ask(handle, Place{});
    if (place_.y != before.y || console_.width > 2) {
        console_.Set(place_.x, place_.y == before.y && place_.x == console_.width - 1);
    }
}

uint32_t InBandOutput::TerminalTabBlanks() const {
    // A character still short of bytes is cut short by the blanks.
    const uint32_t column =
        terminal_.missing > 0 ? (terminal_.column + 1) % terminal_.width : terminal_.column;
    return 8 - column % 8;
}

// Where a wrap may wait (after an escape sequence, or from before the run),
// one blank of the tab tells: it fills the last column, or goes to the next
// row; on the bottom row the row is taken as full, as text takes it.
uint32_t InBandOutput::AskTabBlanks(platform::HANDLE handle, uint16_t attribute) {
    AskFrom(handle, console_);
    const Place before = place_;
    const uint32_t blanks = 8 - static_cast<uint32_t>(before.x) % 8;
    console_.Set(before.x, false);
    if (!before.doubt) return blanks;
    platform::DWORD written;
    if (before.y == info_.dwSize.Y - 1) {
        platform::WriteConsoleA(handle, "\r\n", 2, &written, nullptr);
        console_.Set(0, false);
        return 8;
    }
    OpenFrame(attribute);
    *to_++ = ' ';
    Flush(handle);
    Ask(handle, Place{});
    const bool filled = place_.y == before.y;
    console_.Set(place_.x, filled);
    return filled ? blanks - 1 : 7;
}
