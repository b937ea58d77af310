// Output to a console's cells: each run is written at the cursor in the
// console's own attribute, and the cells it took are then recoloured, so
// the console's own attribute never changes.
#ifndef COLORTEXT_CONSOLE_CELL_OUTPUT_H
#define COLORTEXT_CONSOLE_CELL_OUTPUT_H

#include <stdint.h>

#include "console/landing.h"
#include "console/pending_text.h"
#include "console/text_measure.h"
#include "platform/platform.h"

// The most bytes of a double-byte code page written at once: a character of
// two takes at most three cells, with the blank it may leave at a row's end.
constexpr uint32_t kDoubleBytePiece = kMaxRunLength / 4;

class CellOutput {
  public:
    void Open(const platform::CONSOLE_SCREEN_BUFFER_INFO& first) {
        snapshot_ = first;
        leadKept_ = false;
        kept_ = 0;
    }
    // Writes the run and recolours its cells; the storage holds the
    // attribute run afterwards.
    void Write(platform::HANDLE handle, const Run& run);
    // Writes the run and leaves its cells in the console's own colours.
    void WriteUncoloured(platform::HANDLE handle, const Run& run) {
        platform::DWORD written;
        platform::WriteConsoleA(handle, run.storage->text, run.length, &written, nullptr);
        RefreshSnapshot(handle);
    }
    // Writes the first `count` bytes of the storage alone, uncoloured (a
    // control byte); a lead byte the console kept takes it for its trail.
    void WriteControl(platform::HANDLE handle, const PendingStorage& storage, uint32_t count) {
        leadKept_ = false;
        kept_ = 0;
        platform::DWORD written;
        platform::WriteConsoleA(handle, storage.text, count, &written, nullptr);
        RefreshSnapshot(handle);
    }
    // The column of the next character after `pending` more single cells:
    // pending text that reaches past the row's end goes on in the next row.
    // A console is at least one cell wide; the guard only keeps one that
    // says otherwise from dividing by zero.
    uint32_t Column(uint32_t pending) const {
        const uint32_t width =
            snapshot_.dwSize.X > 0 ? static_cast<uint32_t>(snapshot_.dwSize.X) : 1;
        return (static_cast<uint32_t>(snapshot_.dwCursorPosition.X) + pending) % width;
    }

  private:
    // How many cells a piece from the cell `start` takes, with `count` cut
    // to what it may be; `again` bytes at its front went out before.
    CellRange MeasurePiece(const Run& run, const uint8_t* text, uint32_t& count, int32_t start,
                           uint32_t again);
    // Keeps what the piece, `last` of its run, leaves of a character.
    void KeepTail(const Run& run, const uint8_t* text, uint32_t count, bool last);
    void RefreshSnapshot(platform::HANDLE handle) {
        platform::GetConsoleScreenBufferInfo(handle, &snapshot_);
    }
    // Gives the cells the text landed in the attribute, with `run` as the
    // storage for the attribute run.
    void Recolour(platform::HANDLE handle, uint16_t* run, Landing landing, platform::COORD before,
                  uint16_t attribute);

    // The cursor read after the last write, which is where the next one
    // begins: only dwCursorPosition and dwSize are used.
    platform::CONSOLE_SCREEN_BUFFER_INFO snapshot_;
    // The last write ended in a lead byte, which the console may keep.
    bool leadKept_;
    // The bytes of a UTF-8 character that the last write began and the
    // console keeps: the next may finish it, or the console loses them.
    uint32_t kept_;
    uint8_t keptBytes_[3];
};

#endif
