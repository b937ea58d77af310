#include "console/cell_output.h"

#include "console/landing.h"
#include "console/text_measure.h"

using platform::COORD;

namespace {

// A console is at least one cell wide; the guard only keeps one that says
// otherwise from dividing by zero.
int32_t WidthOf(const platform::CONSOLE_SCREEN_BUFFER_INFO& info) {
    return info.dwSize.X > 0 ? info.dwSize.X : 1;
}

}  // namespace

// Plain text is placed by where the cursor went: it takes the cells before
// the cursor, higher up by as many rows as the buffer scrolled. In a
// single-byte code page a byte is a cell. Under UTF-8, where a character's
// cells are not known beforehand, text that may scroll the buffer goes out
// in pieces whose possible cell counts differ by less than a row, so that
// the cursor tells how far each one scrolled; a piece never cuts a
// character. In a double-byte code page, where a run may take more cells
// than it has bytes, every piece is short enough for its attribute run. Text that holds control
// bytes moves the cursor in ways that cannot be worked back: it is coloured one cell a byte from
// where it began, and so is text that nothing else explains.
void CellOutput::Write(platform::HANDLE handle, const Run& run) {
    const int32_t width = WidthOf(snapshot_);
    const int32_t size = width * snapshot_.dwSize.Y;
    const bool control = (run.kinds & kControlByte) != 0;
    // What the last piece ended in that the console kept and then lost, as
    // the next byte did not go on with it: it goes out again.
    uint32_t again = 0;
    for (uint32_t done = 0; done < run.length;) {
        const COORD before = snapshot_.dwCursorPosition;
        const int32_t start = before.Y * width + before.X;
        uint8_t* const text = run.storage->text + done - again;
        uint32_t count = run.length - done + again;
        CellRange range = {static_cast<int32_t>(count), static_cast<int32_t>(count), false};
        // Text of single bytes, with nothing kept before it, is a cell a
        // byte.
        if (control) {
            leadKept_ = false;
        } else if (run.multiByte || kept_ > 0 || leadKept_) {
            range = MeasurePiece(run, text, count, start, again);
        }
        const bool last = done + count - again == run.length;
        if (run.multiByte || run.unfinished > 0 || kept_ > 0) KeepTail(run, text, count, last);
        platform::DWORD written;
        platform::WriteConsoleA(handle, text, count, &written, nullptr);
        RefreshSnapshot(handle);
        done += count - again;
        again = 0;
        if (!last && kept_ > 0 && kept_ <= count && platform::KeepsUnfinishedCharacters() &&
            !GoesOn(keptBytes_, kept_, run.storage->text[done], nullptr)) {
            again = kept_;
            kept_ = 0;
        }
        const COORD after = snapshot_.dwCursorPosition;
        Landing landing = {-1, start};
        if (!control) landing = FindLanding(start, after.Y * width + after.X, range, width, size);
        if (landing.cells < 0) landing = {range.most, start};
        // The cells a piece takes are at most its range's, which keeps
        // within its bytes, or for a piece of a double-byte code page within
        // half the storage. The attribute run is built over the text once
        // all of it is out; until then behind it, in the storage's upper
        // half, which a piece never overfills.
        Recolour(handle, run.storage->run + (done < run.length ? kMaxRunLength / 2 : 0), landing,
                 before, run.attribute);
    }
}

CellRange CellOutput::MeasurePiece(const Run& run, const uint8_t* text, uint32_t& count,
                                   int32_t start, uint32_t again) {
    const int32_t width = WidthOf(snapshot_);
    const int32_t size = width * snapshot_.dwSize.Y;
    CellRange range = {static_cast<int32_t>(count), static_cast<int32_t>(count), false};
    if (run.multiByte && run.leads != nullptr) {
        // A piece of at most kDoubleBytePiece bytes takes fewer cells
        // than a half of the storage holds.
        // A lead byte the last write left takes the first byte of this
        // one for its trail.
        const uint32_t joined = leadKept_ ? 1 : 0;
        const bool mayScroll = start + 2 * static_cast<int32_t>(count) >= size;
        count = joined + MeasureDoubleByte(text + joined, count - joined, *run.leads,
                                           mayScroll ? width : 0, kDoubleBytePiece, range);
        range.least += static_cast<int32_t>(joined);
        range.most += static_cast<int32_t>(joined);
    } else if (run.multiByte || kept_ > 0) {
        // Text that cannot reach the end of the bottom row cannot scroll,
        // and the cursor alone tells its cells. What the last write left of
        // a character, which this one may finish, adds up to two.
        const int32_t kept = kept_ > 0 ? 2 : 0;
        if (start + static_cast<int32_t>(count) + kept < size) {
            range.least = 0;
        } else {
            const uint32_t all = count;
            count = MeasureUtf8(text, count, width - kept, kMaxRunLength / 2, range);
            // A piece is more than what goes out again, however narrow the
            // console.
            if (count <= again) {
                count = all;
                range = {0, static_cast<int32_t>(count), false};
            }
        }
        range.most += kept;
    }
    // The character a lead byte the last write left makes with the first
    // byte of this one takes up to two cells and a blank.
    if (leadKept_) range.most += 2;
    leadKept_ = range.endsInLead;
    return range;
}

// Under UTF-8 a piece may end in a lead byte that the text does not go on
// from, and the console keeps it, as it does a character a run leaves
// unfinished.
void CellOutput::KeepTail(const Run& run, const uint8_t* text, uint32_t count, bool last) {
    if (run.multiByte && run.leads == nullptr && (run.kinds & kControlByte) == 0) {
        kept_ = Utf8UnfinishedTailAfter(keptBytes_, kept_, text, count, keptBytes_);
        return;
    }
    kept_ = last && run.unfinished <= count ? run.unfinished : 0;
    for (uint32_t i = 0; i < kept_; ++i) keptBytes_[i] = text[count - kept_ + i];
}

void CellOutput::Recolour(platform::HANDLE handle, uint16_t* run, Landing landing, COORD before,
                          uint16_t attribute) {
    const int32_t width = WidthOf(snapshot_);
    // The front of the run scrolled off the top of the buffer.
    if (landing.first < 0) {
        landing.cells += landing.first;
        landing.first = 0;
    }
    COORD at = before;
    if (landing.first != before.Y * width + before.X) {
        at = {static_cast<int16_t>(landing.first % width),
              static_cast<int16_t>(landing.first / width)};
    }
    for (int32_t i = 0; i < landing.cells; ++i) run[i] = attribute;
    platform::DWORD written;
    platform::WriteConsoleOutputAttribute(
        handle, run, static_cast<platform::DWORD>(landing.cells > 0 ? landing.cells : 0), at,
        &written);
}
