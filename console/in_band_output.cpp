#include "console/in_band_output.h"

#include "console/landing.h"
#include "console/text_measure.h"

static_assert(kConsoleSgrLength <= kMaxSgrLength, "a console's sequence is no longer");

namespace {

// Erases from the cursor to the end of its row, in the current colours.
constexpr char kEraseToRowEnd[] = "\x1b[K";

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
    switched_ = switched;
    terminal_ = TerminalColumn{};
    const int32_t width = first.dwSize.X > 0 ? first.dwSize.X : 1;
    // A cursor that starts in the last column may have a wrap waiting, but
    // not without the mode.
    const int32_t x = first.dwCursorPosition.X;
    console_ = ConsoleColumn{x, width, false, switched || x + 1 < width, 0};
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

void InBandOutput::PutCharacter(const uint8_t* bytes, uint32_t count, bool wraps) {
    const uint8_t c = bytes[0];
    if (coloursLength_ == 0 || (!wraps && (c < '\n' || c > '\f'))) {  // not LF, VT or FF
        Put(bytes, count);
        return;
    }
    Put(closing_, ownLength_);
    Put(bytes, count);
    if (wraps) {
        out_[used_++] = '\r';
        Put(colours_, coloursLength_);
        Put(bytes, count);
        return;
    }
    Put(colours_, coloursLength_);
}

// Character by character, each one's bytes kept until it is whole: the
// column tells which one goes to the next row. Text without colours needs
// none of this.
void InBandOutput::WriteToTerminal(platform::HANDLE handle, const Run& run) {
    TerminalColumn at = counted_ > 0 ? terminalStart_ : terminal_;
    counted_ = 0;
    const uint8_t* const text = run.storage->text;
    coloursLength_ = FormatSgr(run.attribute, colours_);
    used_ = 0;
    if (coloursLength_ > 0) {
        at.CutShort();
        Put(colours_, coloursLength_);
    }
    uint32_t begun = 0;
    for (uint32_t i = 0; i < run.length; ++i) {
        const uint8_t c = text[i];
        if (at.missing > 0 && (c < at.low || c > at.high)) {
            at.CutShort();
            PutCharacter(text + begun, i - begun, at.wrapped);
        }
        if (at.missing == 0) begun = i;
        at.Take(c);
        if (at.missing == 0) PutCharacter(text + begun, i + 1 - begun, at.wrapped);
    }
    if (at.missing > 0) {
        // Cut short by the reset, or joined by the next write.
        if (coloursLength_ > 0) at.CutShort();
        PutCharacter(text + begun, run.length - begun, at.wrapped);
    }
    if (coloursLength_ > 0) Put(closing_, closingLength_);
    terminal_ = at;
    platform::DWORD written;
    platform::WriteFile(handle, out_, used_, &written, nullptr);
}

void InBandOutput::WriteToConsole(platform::HANDLE handle, const Run& run) {
    ConsoleColumn at = counted_ > 0 ? consoleStart_ : console_;
    counted_ = 0;
    at.Settle();
    const uint8_t* const text = run.storage->text;
    if (!run.multiByte && at.known) {
        WriteFrame(handle, run, text, run.length, at);
        return;
    }
    // Text of cells the program cannot tell, or after such text, where even
    // the first character may wrap, and each control byte between.
    for (uint32_t i = 0; i < run.length;) {
        uint32_t end = i;
        while (end < run.length && KindOf(text[end]) != kControlByte) ++end;
        if (end > i) WritePieces(handle, run, text + i, end - i, at);
        if (end < run.length) WriteFrame(handle, run, text + end++, 1, at);
        i = end;
    }
}

// A byte at a time, while the column is known: text a cell a byte, and
// control bytes, which take none. On a console the program switched, a
// tab writes blanks in the console's own colours, as it does without the
// mode, and a row the run filled wraps before the write ends.
void InBandOutput::WriteFrame(platform::HANDLE handle, const Run& run, const uint8_t* text,
                              uint32_t length, ConsoleColumn& at) {
    __builtin_memcpy(out_, kSgrPush, kSgrPushLength);
    used_ = kSgrPushLength;
    FormatConsoleSgr(run.attribute, colours_);
    coloursLength_ = kConsoleSgrLength;
    Put(colours_, coloursLength_);
    for (uint32_t i = 0; i < length; ++i) {
        const uint8_t c = text[i];
        if (!at.known) {
            // A line end puts the cursor where it is known again.
            if (c >= '\n' && c <= '\r') at = ConsoleColumn{0, at.width, false, true, 0};
            PutCharacter(text + i, 1, false);
            continue;
        }
        if (c == '\t' && switched_) {
            const int32_t column = at.Next();
            int32_t blanks = 8 - column % 8;
            if (blanks > at.width - column) blanks = at.width - column;
            Put(closing_, ownLength_);
            for (; blanks > 0; --blanks) {
                out_[used_++] = ' ';
                at.Take(' ', false);
            }
            Put(colours_, coloursLength_);
            continue;
        }
        const bool wraps = at.pending && (KindOf(c) == 0 || (c >= 0x80 && !run.multiByte));
        at.Take(c, run.multiByte);
        PutCharacter(text + i, 1, wraps);
    }
    Put(closing_, closingLength_);
    if (switched_ && at.known && at.pending) {
        out_[used_++] = '\r';
        out_[used_++] = '\n';
        at = ConsoleColumn{0, at.width, false, true, 0};
    }
    console_ = at;
    platform::DWORD written;
    platform::WriteConsoleA(handle, out_, used_, &written, nullptr);
}

// Characters whose cells only the console knows: where they may pass the
// end of the buffer's bottom row, they go out in pieces whose cells are
// known to within less than a row, so that the cursor tells whether the
// buffer scrolled (a cursor in the last column may have a wrap waiting,
// which puts the next piece a cell later). If it did, the cursor is on a
// row the run scrolled in, whose blanks behind it took the run's colours:
// they are erased in the console's own, unless the cursor is in the last
// column, where it may stand on the run's last character.
void InBandOutput::WritePieces(platform::HANDLE handle, const Run& run, const uint8_t* text,
                               uint32_t length, ConsoleColumn& at) {
    platform::CONSOLE_SCREEN_BUFFER_INFO info{};
    platform::GetConsoleScreenBufferInfo(handle, &info);
    const int32_t width = at.width, size = width * info.dwSize.Y;
    int32_t start = info.dwCursorPosition.Y * width + info.dwCursorPosition.X +
                    (at.known && at.pending ? 1 : 0);
    bool scrolled = false;
    for (uint32_t done = 0; done < length;) {
        uint32_t count = length - done;
        CellRange range = {0, 0, false};
        const bool mayScroll = start + 2 * static_cast<int32_t>(count) + 2 >= size;
        if (mayScroll && run.leads != nullptr) {
            count = MeasureDoubleByte(text + done, count, *run.leads, width, count, range);
        } else if (mayScroll) {
            count = MeasureUtf8(text + done, count, width, count, range);
        }
        WriteFrame(handle, run, text + done, count, at);
        done += count;
        if (!mayScroll) break;
        platform::GetConsoleScreenBufferInfo(handle, &info);
        const int32_t after = info.dwCursorPosition.Y * width + info.dwCursorPosition.X;
        Landing landing = FindLanding(start, after, range, width, size);
        if (landing.cells < 0) landing = FindLanding(++start, after, range, width, size);
        scrolled = scrolled || (landing.cells >= 0 && landing.first < start);
        start = after;
        // Behind the last column the cursor tells the column again.
        if (done == length && info.dwCursorPosition.X < width - 1) {
            at = ConsoleColumn{info.dwCursorPosition.X, width, false, true, 0};
            console_ = at;
        }
    }
    if (scrolled && info.dwCursorPosition.X < width - 1) {
        platform::DWORD written;
        platform::WriteConsoleA(handle, kEraseToRowEnd, sizeof kEraseToRowEnd - 1, &written,
                                nullptr);
    }
}

void InBandOutput::WriteControl(platform::HANDLE handle, const PendingStorage& storage) {
    platform::DWORD written;
    if (OnTerminal()) {
        terminal_.LayOut(storage.text, 1, kControlByte);
        platform::WriteFile(handle, storage.text, 1, &written, nullptr);
        return;
    }
    if (console_.known) {
        console_.Settle();
        console_.Take(storage.text[0], false);
    }
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
    console_ = ConsoleColumn{x, console_.width, false, true, 0};
    const uint32_t blanks = 8 - static_cast<uint32_t>(x) % 8;
    if (x + 1 < console_.width) return blanks;
    // The blank fills the last column, or, when a wrap was waiting, goes
    // to the start of the next row and moves the cursor on.
    storage.text[0] = ' ';
    WriteToConsole(handle, Run{&storage, 1, 0, false, attribute, nullptr});
    platform::GetConsoleScreenBufferInfo(handle, &info);
    console_.Settle();
    if (info.dwCursorPosition.X == x) return blanks - 1;
    console_.column = info.dwCursorPosition.X;
    console_.pending = false;
    return 7;
}
