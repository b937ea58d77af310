// The console state of one run: the output handle, the last known cursor,
// the current attribute and the text gathered since the last write.
#ifndef COLORTEXT_CONSOLE_CONSOLE_WRITER_H
#define COLORTEXT_CONSOLE_CONSOLE_WRITER_H

#include <stdint.h>

#include "platform/platform.h"

// On a console, text is written at the cursor in the console's own
// attribute, then the cells it landed in are rewritten with the current
// attribute, so the console's own attribute is never touched.
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
        if (length_ == kMaxRunLength) FlushPending();
        storage_.text[length_++] = byte;
    }
    void AppendRepeated(uint8_t byte, uint16_t count);
    void AppendBytes(const uint8_t* bytes, uint32_t count);
    uint32_t PendingLength() const { return length_; }
    // The column the next flushed byte lands in (on a terminal, past the
    // pending bytes already counted for a tab); only its remainder modulo 8
    // matters, and that survives the conversion of a negative X.
    uint32_t CursorColumn() const {
        return output_ == Output::kConsole ? static_cast<uint32_t>(snapshot_.dwCursorPosition.X)
                                           : column_;
    }
    // The column the next appended byte lands in, the pending text included;
    // again only its remainder modulo 8 matters.
    uint32_t NextColumn() {
        return OnTerminal() ? TerminalColumnAfterPending() : CursorColumn() + length_;
    }
    void SetAttribute(uint16_t attribute) { attribute_ = attribute; }

    void FlushPending();
    void WriteDirect(uint8_t byte);

  private:
    enum class Output : uint8_t { kConsole, kTerminal, kPlain };
    bool OnTerminal() const { return output_ == Output::kTerminal && platform::kHasTerminals; }

    struct Recolouring {
        platform::COORD start;
        uint32_t cells;
    };
    uint8_t* Reserve(uint32_t count, uint32_t& chunk);
    bool PendingHasControlByte() const;
    Recolouring CellsOfTheRun(platform::COORD before) const;
    void FlushToConsole();
    void FlushToTerminal();
    void WriteBytes(const uint8_t* bytes, uint32_t count);
    void MoveColumn(const uint8_t* bytes, uint32_t count);
    uint32_t TerminalColumnAfterPending();
    void LayOutPending();
    void LayOutOnTerminal(const uint8_t* bytes, uint32_t count);
    void LayOutAscii(uint8_t c);
    void StartCharacter(uint8_t lead);
    bool ContinueCharacter(uint8_t c);
    void EndCharacter();
    void MoveTerminalColumn(uint32_t cells);

    platform::HANDLE handle_;
    Output output_;
    // Not a console: the column of the next byte, and the terminal's width
    // (0 for a file or a pipe, which never wrap).
    uint32_t column_;
    uint32_t width_;
    // A terminal only: the UTF-8 character being gathered, with `missing_`
    // bytes still to come (0: none) and the next in `low_`..`high_`; and how
    // much of the pending text is already counted in column_.
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
