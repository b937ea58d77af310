// Output that is neither a console nor a terminal: a file or a pipe takes
// the bytes as they are, and the writer keeps the column itself, as a
// viewer would show the file, for tab stops. Asked to (FORCE_COLOR), it
// puts each run in the escape sequences for its colours, as a terminal
// gets it, for logs that show them.
#ifndef COLORTEXT_CONSOLE_PLAIN_OUTPUT_H
#define COLORTEXT_CONSOLE_PLAIN_OUTPUT_H

#include <stdint.h>

#include "console/columns.h"
#include "console/pending_text.h"
#include "console/terminal_colours.h"
#include "platform/platform.h"

// Room for a coloured run whose every byte is a line feed, each between a
// reset and the colours again.
constexpr uint32_t kColouredSize =
    kMaxSgrLength + (kSgrResetLength + 1 + kMaxSgrLength) * kMaxRunLength + kSgrResetLength;

class PlainOutput {
  public:
    void Open(bool coloured) {
        file_ = FileColumn{0, false};
        counted_ = 0;
        coloured_ = coloured;
    }
    void Write(platform::HANDLE handle, const Run& run);
    // Writes the first `count` bytes of the storage: a control byte.
    void WriteControl(platform::HANDLE handle, const PendingStorage& storage, uint32_t count);
    // Counts the run's bytes that are not counted yet, and returns the
    // column after them.
    uint32_t Count(const Run& run);
    // How many of the pending bytes are counted.
    uint32_t Counted() const { return counted_; }
    bool Coloured() const { return coloured_; }

  private:
    // The run in its colours, into out_; returns its length there.
    uint32_t Colour(const Run& run);

    FileColumn file_;
    uint32_t counted_;
    bool coloured_;
    uint8_t out_[kColouredSize];
};

#endif
