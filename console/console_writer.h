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
// loader, and Open() sets every field, so no start-up code is needed.
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
    // The column the next flushed byte lands in; only its remainder modulo 8
    // matters, and that survives the conversion of a negative X.
    uint32_t CursorColumn() const {
        return output_ == Output::kConsole ? static_cast<uint32_t>(snapshot_.dwCursorPosition.X)
                                           : column_;
    }
    void SetAttribute(uint16_t attribute) { attribute_ = attribute; }

    void FlushPending();
    void WriteDirect(uint8_t byte);

  private:
    enum class Output : uint8_t { kConsole, kTerminal, kPlain };
    bool OnTerminal() const { return platform::kHasTerminals && output_ == Output::kTerminal; }

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

    platform::HANDLE handle_;
    Output output_;
    // Not a console: the column of the next byte, and the terminal's width
    // (0 for a file or a pipe, which never wrap).
    uint32_t column_;
    uint32_t width_;
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
