// The writer's fixed storage, shared with the parts that write it out.
#ifndef COLORTEXT_CONSOLE_PENDING_TEXT_H
#define COLORTEXT_CONSOLE_PENDING_TEXT_H

#include <stdint.h>

// Holds the pending text until it is written, then, on a console that is
// recoloured, the attribute run for the same cells: two bytes a cell, so a
// single write carries at most half the storage as text.
constexpr uint32_t kStorageSize = 8192;
constexpr uint32_t kMaxRunLength = kStorageSize / 2;

union PendingStorage {
    uint8_t text[kStorageSize];
    uint16_t run[kStorageSize / 2];
};

// The lead bytes of a double-byte code page (text_measure.h).
struct LeadBytes;

// Text that goes out in one write, as the writer hands it to a part: the
// first `length` bytes of the storage, what kinds of byte they hold
// (text_measure.h), whether the output reads characters of several bytes
// among them, in UTF-8 or in a double-byte code page (then `leads` are its
// lead bytes, else null), and the attribute they are shown in. On a
// recoloured UTF-8 console, `unfinished` bytes at its end begin a character
// that the console keeps for the next write. On a console in
// virtual-terminal mode, the `carriedCount` bytes at `carried` are a
// character that the run before began and this one goes on with.
struct Run {
    PendingStorage* storage;
    uint32_t length;
    uint32_t kinds;
    bool multiByte;
    uint16_t attribute;
    const LeadBytes* leads;
    uint32_t unfinished;
    const uint8_t* carried;
    uint32_t carriedCount;
};

#endif
