// The console state of one run: the output handle, the last known cursor,
// the current attribute and the text gathered since the last write.
#ifndef COLORTEXT_CONSOLE_CONSOLE_WRITER_H
#define COLORTEXT_CONSOLE_CONSOLE_WRITER_H

#include <stdint.h>

#include "platform/platform.h"

// On a console, text is written at the cursor in the console's own
// attribute, then the cells it landed in are rewritten with the current
// attribute, so the console's own attribute is never touched. Which cells
// those are is read from the cursor the console reports after the write:
// the console alone knows how many cells a character takes, and whether it
// wraps a full row at once or when the next character comes.
//
// Output that is not a console gets the same bytes in the same order: on a
// terminal each run is wrapped in the escape sequences for its colours and
// a reset, so the terminal is never left coloured; into a file or a pipe
// the bytes go plain. There is no cursor to read back then, so the writer
// keeps the column itself, for tab stops.
//
// The writer has no constructor: a static instance is zero-filled by the
// loader, and Open() sets every field that its kind of output uses, so no
// start-up code is needed.
class ConsoleWriter {
  public:
    static constexpr uint32_t kStorageSize = 8192;
    // The attribute run is built in the same storage, two bytes per cell,
    // so a single write carries at most half the storage as text.
    static constexpr uint32_t kMaxRunLength = kStorageSize / 2;
    static constexpr uint16_t kInitialAttribute = 0x07;

    void Open();
    void RefreshSnapshot();

    void Append(uint8_t byte) {
        if (length_ == kMaxRunLength) Flush(true);
        storage_.text[length_++] = byte;
    }
    void AppendRepeated(uint8_t byte, uint16_t count);
    void AppendBytes(const uint8_t* bytes, uint32_t count);
    uint32_t PendingLength() const { return length_; }
    // The column in which the next appended byte will land; only its
    // remainder modulo 8 matters, for tab stops. On a UTF-8 console the
    // pending text is written first when it holds multi-byte characters, so
    // that the console says how many cells they took.
    uint32_t NextColumn();
    void SetAttribute(uint16_t attribute) { attribute_ = attribute; }

    void FlushPending() { Flush(false); }
    void WriteDirect(uint8_t byte);

  private:
    enum class Output : uint8_t { kConsole, kTerminal, kPlain };
    enum class Known : uint8_t { kNotAsked, kNo, kYes };
    bool OnTerminal() const { return output_ == Output::kTerminal && platform::kHasTerminals; }

    // How many cells a piece of text may take, and how many it most likely
    // takes, before the console says.
    struct Extent {
        int32_t least, most, likely;
    };
    // The cells a run of plain text took and what the console did with it.
    struct Fit {
        int32_t cells;  // -1: nothing explains where the cursor went
        int32_t first;  // the linear cell the run begins in now, after any scrolling
        bool pending;   // the text filled the last column; the wrap waits
    };

    // The console's width. A console is at least one cell wide; the guard
    // only keeps one that says otherwise from dividing by zero.
    int32_t Width() const { return snapshot_.dwSize.X > 0 ? snapshot_.dwSize.X : 1; }
    uint8_t* Reserve(uint32_t count, uint32_t& chunk);
    void Flush(bool keepUnfinished);
    bool Utf8();
    bool CountsCharacters();
    static Extent Measure(const uint8_t* text, uint32_t& count, int32_t spread, bool utf8);
    static bool PieceIsFull(int32_t range, int32_t bytes, int32_t spread);
    Fit FitRun(int32_t start, int32_t after, Extent extent);
    Fit FitFrom(int32_t start, int32_t after, Extent extent);
    void FlushToConsole();
    void FlushToTerminal();
    void WriteBytes(const uint8_t* bytes, uint32_t count);
    uint32_t Advance(uint32_t column, const uint8_t* bytes, uint32_t count);
    uint32_t ColumnAfterPending();
    void LayOutPending();
    void LayOut(const uint8_t* bytes, uint32_t count);
    void LayOutOnTerminal(const uint8_t* bytes, uint32_t count);
    void LayOutAscii(uint8_t c);
    void StartCharacter(uint8_t lead);
    bool ContinueCharacter(uint8_t c);
    void EndCharacter();
    void MoveTerminalColumn(uint32_t cells);

    platform::HANDLE handle_;
    Output output_;
    // The output code page is UTF-8; asked once, when it first matters.
    Known utf8_;
    // 1 when the console defers the wrap at the end of a row (virtual-
    // terminal mode), 0 when it does not, -1 until asked: at most once, and
    // only when the cursor alone cannot tell.
    int8_t deferredWrap_;
    // The last console write filled the last column of a row, and the
    // console holds the wrap until the next character.
    bool wrapPending_;
    // Not a console: the column of the next byte, and the terminal's width
    // (0 for a file or a pipe, which never wrap).
    uint32_t column_;
    uint32_t width_;
    // A terminal only: the UTF-8 character being gathered, with `missing_`
    // bytes still to come (0: none) and the next in `low_`..`high_`. Not a
    // console: how much of the pending text is already counted in column_.
    uint32_t codePoint_;
    uint8_t missing_;
    uint8_t low_;
    uint8_t high_;
    uint32_t laidOut_;
    platform::CONSOLE_SCREEN_BUFFER_INFO snapshot_;
    uint16_t attribute_;
    uint32_t length_;
    platform::DWORD written_;
    // Holds the pending text until it is written, then its attribute run.
    union {
        uint8_t text[kStorageSize];
        uint16_t run[kStorageSize / 2];
    } storage_;
};

#endif
