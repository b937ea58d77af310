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

// Erases from the cursor to the end of its row, in the current colours.
constexpr char kEraseToRowEnd[] = "\x1b[K";
static_assert(kConsoleSgrLength <= kMaxSgrLength, "a console's sequence is no longer");

}  // namespace

// On a terminal the console's default colours, light grey on black, stand
// for the terminal's own, which a reset gives back.
void InBandOutput::OpenTerminal(uint32_t width) {
    counted_ = 0;
    terminal_ = TerminalColumn{0, width, 0, 0, 0, 0, false, false};
    console_ = ConsoleColumn{};
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
    console_ = ConsoleColumn{x, width, false, switched || x + 1 < width, switched};
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

// Text whose cells only the console knows, or after such text, where even
// the first character may wrap, but for control bytes, which move the
// cursor where the program cannot follow.
void InBandOutput::WriteToConsole(platform::HANDLE handle, const Run& run) {
    ConsoleColumn at = counted_ > 0 ? consoleStart_ : console_;
    counted_ = 0;
    if ((run.multiByte || !at.known) && (run.kinds & kControlByte) == 0) {
        WriteUnknown(handle, run, at);
    } else {
        WriteFrame(handle, run, at);
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

// Text scrolled the buffer when the cursor stands behind where its fewest
// cells (one for each ASCII character but DEL) would have put it. Then the
// blanks behind the cursor, on a row the run scrolled in, took its colours:
// they are erased, unless the cursor is in the last column, on the run's
// last character perhaps. Text that scrolled by more than its fewest cells
// tell keeps them.
void InBandOutput::WriteUnknown(platform::HANDLE handle, const Run& run, ConsoleColumn& at) {
    const uint8_t* const text = run.storage->text;
    const uint32_t length = run.length;
    platform::CONSOLE_SCREEN_BUFFER_INFO& info = info_;
    platform::GetConsoleScreenBufferInfo(handle, &info);
    const int32_t width = at.width;
    const int32_t start = info.dwCursorPosition.Y * width + info.dwCursorPosition.X;
    WriteFrame(handle, run, at);
    if (start + 2 * static_cast<int32_t>(length) + 3 < width * info.dwSize.Y) return;
    int32_t least = 0;
    for (uint32_t i = 0; i < length; ++i) least += KindOf(text[i]) == 0 ? 1 : 0;
    platform::GetConsoleScreenBufferInfo(handle, &info);
    const int32_t x = info.dwCursorPosition.X;
    if (info.dwCursorPosition.Y * width + x - start < least && x + 1 < width) {
        platform::DWORD written;
        __builtin_memcpy(out_, kEraseToRowEnd, 3);
        platform::WriteConsoleA(handle, out_, 3, &written, nullptr);
    }
}

void InBandOutput::WriteControl(platform::HANDLE handle, const PendingStorage& storage) {
    platform::DWORD written;
    if (OnTerminal()) {
        terminal_.LayOut(storage.text, 1, kControlByte);
        platform::WriteFile(handle, storage.text, 1, &written, nullptr);
        return;
    }
    if (console_.known) console_.Take(storage.text[0], false);
    platform::WriteConsoleA(handle, storage.text, 1, &written, nullptr);
}

uint32_t InBandOutput::TerminalTabBlanks() const {
    // A character still short of bytes is cut short by the blanks.
    const uint32_t column =
        terminal_.missing > 0 ? (terminal_.column + 1) % terminal_.width : terminal_.column;
    return 8 - column % 8;
}

uint32_t InBandOutput::AskTabBlanks(platform::HANDLE handle, PendingStorage& storage,
                                    uint16_t attribute) {
    platform::CONSOLE_SCREEN_BUFFER_INFO info{};
    platform::GetConsoleScreenBufferInfo(handle, &info);
    const int32_t x = info.dwCursorPosition.X;
    console_.Set(x, false);
    const uint32_t blanks = 8 - static_cast<uint32_t>(x) % 8;
    if (x + 1 < console_.width) return blanks;
    // The blank fills the last column, or, when a wrap was waiting, goes
    // to the start of the next row and moves the cursor on; written as text
    // whose cells are not known, so that a row it scrolls in is erased.
    storage.text[0] = ' ';
    console_.known = false;
    WriteToConsole(handle, Run{&storage, 1, 0, false, attribute, nullptr});
    platform::GetConsoleScreenBufferInfo(handle, &info);
    const bool filled = info.dwCursorPosition.X == x;
    console_.Set(info.dwCursorPosition.X, filled);
    return filled ? blanks - 1 : 7;
}
