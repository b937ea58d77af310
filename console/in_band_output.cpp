#include "console/in_band_output.h"

#include "console/text_measure.h"

namespace {

// Moves `count` bytes up by `by`, the last first.
void MoveUp(uint8_t* text, uint32_t count, uint32_t by) {
    for (uint32_t i = count; i > 0; --i) text[i - 1 + by] = text[i - 1];
}

}  // namespace

// Push, two colour sequences and pop, around at most kMaxRunLength bytes.
static_assert(kMaxRunLength + 2 * (kSgrPushLength + kMaxSgrLength) <= kStorageSize,
              "a run and its sequences fit in the storage");
static_assert(kConsoleSgrLength <= kMaxSgrLength, "a console's sequence is no longer");

// On a terminal the console's default colours, light grey on black, stand
// for the terminal's own, which a reset gives back.
void InBandOutput::OpenTerminal(uint32_t width) {
    counted_ = 0;
    terminal_ = TerminalColumn{0, width, 0, 0, 0, 0};
    console_ = ConsoleColumn{};
    for (uint32_t i = 0; i < kSgrResetLength; ++i) closing_[i] = static_cast<uint8_t>(kSgrReset[i]);
    closingLength_ = kSgrResetLength;
}

// A console keeps the colours it stores for each cell, and may have colours
// no attribute can name: it saves them before a run and restores them
// exactly after it, and one that ignores that is still given back the
// colours its first snapshot reported.
void InBandOutput::OpenConsole(const platform::CONSOLE_SCREEN_BUFFER_INFO& first) {
    counted_ = 0;
    terminal_ = TerminalColumn{};
    const int32_t width = first.dwSize.X > 0 ? first.dwSize.X : 1;
    // A cursor that starts in the last column may have a wrap waiting.
    const int32_t x = first.dwCursorPosition.X;
    console_ = ConsoleColumn{x, width, false, x + 1 < width, 0};
    FormatConsoleSgr(first.wAttributes & 0xFF, closing_);
    __builtin_memcpy(closing_ + kConsoleSgrLength, kSgrPop, kSgrPushLength);
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

// The text moves up to make room for the sequence in front of it. Both
// sequences are of one length, and the storage has room for them.
void InBandOutput::WriteToConsole(platform::HANDLE handle, PendingStorage* storage, uint32_t length,
                                  uint32_t kinds, uint16_t attribute) {
    uint8_t* const text = storage->text;
    console_.LayOut(text + counted_, length - counted_, kinds, (kinds & kHighByte) != 0);
    counted_ = 0;
    constexpr uint32_t kFrame = kSgrPushLength + kConsoleSgrLength;
    MoveUp(text, length, kFrame);
    __builtin_memcpy(text, kSgrPush, kSgrPushLength);
    FormatConsoleSgr(attribute, text + kSgrPushLength);
    __builtin_memcpy(text + kFrame + length, closing_, kFrame);
    platform::DWORD written;
    platform::WriteConsoleA(handle, text, length + 2 * kFrame, &written, nullptr);
}

void InBandOutput::WriteToTerminal(platform::HANDLE handle, const Run& run) {
    CountOnTerminal(run);
    counted_ = 0;
    uint8_t* const text = run.storage->text;
    uint8_t opening[kMaxSgrLength];
    const uint32_t before = FormatSgr(run.attribute, opening);
    uint32_t end = run.length;
    if (before > 0) {
        MoveUp(text, run.length, before);
        for (uint32_t i = 0; i < before; ++i) text[i] = opening[i];
        end += before;
        for (uint32_t i = 0; i < closingLength_; ++i) text[end + i] = closing_[i];
        end += closingLength_;
        // The reset cuts short a character the text left unfinished.
        terminal_.CutShort();
    }
    platform::DWORD written;
    platform::WriteFile(handle, text, end, &written, nullptr);
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
    WriteToConsole(handle, &storage, 1, 0, attribute);
    platform::GetConsoleScreenBufferInfo(handle, &info);
    console_.Settle();
    if (info.dwCursorPosition.X == x) return blanks - 1;
    console_.column = info.dwCursorPosition.X;
    console_.pending = false;
    return 7;
}
