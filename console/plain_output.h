// Output that is neither a console nor a terminal: a file or a pipe takes
// the bytes as they are, and the writer keeps the column itself, as a
// viewer would show the file, for tab stops.
#ifndef COLORTEXT_CONSOLE_PLAIN_OUTPUT_H
#define COLORTEXT_CONSOLE_PLAIN_OUTPUT_H

#include <stdint.h>

#include "console/columns.h"
#include "console/pending_text.h"
#include "platform/platform.h"

class PlainOutput {
  public:
    void Open() {
        file_ = FileColumn{0, false};
        counted_ = 0;
    }
    void Write(platform::HANDLE handle, const Run& run);
    // Writes the first `count` bytes of the storage: a control byte.
    void WriteControl(platform::HANDLE handle, const PendingStorage& storage, uint32_t count);
    // Counts the run's bytes that are not counted yet, and returns the
    // column after them.
    uint32_t Count(const Run& run);

  private:
    FileColumn file_;
    uint32_t counted_;
};

#endif
