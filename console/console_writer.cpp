#include "console/console_writer.h"

using platform::COORD;

void ConsoleWriter::Open() {
    handle_ = platform::GetStdHandle(platform::STD_OUTPUT_HANDLE);
    snapshot_ = platform::CONSOLE_SCREEN_BUFFER_INFO{};
    attribute_ = kInitialAttribute;
    length_ = 0;
    written_ = 0;
    RefreshSnapshot();
}

void ConsoleWriter::RefreshSnapshot() { platform::GetConsoleScreenBufferInfo(handle_, &snapshot_); }

// Makes room for up to `count` more bytes, flushing first if the storage is
// full, and returns where they go; `chunk` is how many of them fit. They are
// pending from here on, so the caller must fill them.
uint8_t* ConsoleWriter::Reserve(uint32_t count, uint32_t& chunk) {
    if (length_ == kMaxRunLength) FlushPending();
    const uint32_t room = kMaxRunLength - length_;
    chunk = count < room ? count : room;
    uint8_t* to = storage_.text + length_;
    length_ += chunk;
    return to;
}

void ConsoleWriter::AppendRepeated(uint8_t byte, uint16_t count) {
    uint32_t chunk = 0;
    for (uint32_t left = count; left > 0; left -= chunk) {
        uint8_t* to = Reserve(left, chunk);
        for (uint32_t i = 0; i < chunk; ++i) to[i] = byte;
    }
}

void ConsoleWriter::AppendBytes(const uint8_t* bytes, uint32_t count) {
    uint32_t chunk = 0;
    for (; count > 0; count -= chunk, bytes += chunk) {
        uint8_t* to = Reserve(count, chunk);
        for (uint32_t i = 0; i < chunk; ++i) to[i] = bytes[i];
    }
}

bool ConsoleWriter::PendingHasControlByte() const {
    for (uint32_t i = 0; i < length_; ++i) {
        if (storage_.text[i] < 0x20) return true;
    }
    return false;
}

// The cells that the run just written landed in: as many as it has bytes,
// from the cursor read before the write. Unless the write scrolled the
// buffer: a console whose cursor is on the bottom row scrolls everything up
// when text wraps past it, and the text goes up with the rest. Plain text
// moves the cursor one cell per byte, so when the cursor now stands whole
// rows short of where the run should have ended, the buffer scrolled by that
// many rows. Runs holding control bytes move the cursor in ways that cannot
// be worked back from here; for them the start stays where the cursor was.
ConsoleWriter::Recolouring ConsoleWriter::CellsOfTheRun(COORD before) const {
    const Recolouring unmoved = {before, length_};
    const int32_t width = snapshot_.dwSize.X;
    const COORD after = snapshot_.dwCursorPosition;
    if (width <= 0 || after.Y != snapshot_.dwSize.Y - 1) return unmoved;

    const int32_t start = before.Y * width + before.X;
    const int32_t expectedEnd = start + static_cast<int32_t>(length_);
    const int32_t actualEnd = after.Y * width + after.X;
    const int32_t rows = (expectedEnd - actualEnd) / width;
    if (rows < 1 || PendingHasControlByte()) return unmoved;

    const int32_t moved = start - rows * width;
    if (moved >= 0) return {COORD{before.X, static_cast<int16_t>(before.Y - rows)}, length_};
    // The front of the run scrolled off the top of the buffer.
    const uint32_t lost = static_cast<uint32_t>(-moved);
    return {COORD{0, 0}, lost < length_ ? length_ - lost : 0};
}

void ConsoleWriter::FlushPending() {
    if (length_ == 0) return;
    const COORD before = snapshot_.dwCursorPosition;
    platform::WriteConsoleA(handle_, storage_.text, length_, &written_, nullptr);
    RefreshSnapshot();

    const Recolouring target = CellsOfTheRun(before);
    // The text is out, so its storage can hold the attribute run; the run
    // never needs more than kStorageSize bytes because length_ is at most
    // kMaxRunLength. It is filled eight cells a turn, which compilers turn
    // into one or two wide stores; the up to seven cells filled past its end
    // are within the storage, as kMaxRunLength is a multiple of eight.
    static_assert(kMaxRunLength % 8 == 0, "the run is filled eight cells a turn");
    const uint16_t attribute = attribute_;
    for (uint32_t i = 0; i < target.cells; i += 8) {
        uint16_t* cells = storage_.run + i;
        cells[0] = attribute;
        cells[1] = attribute;
        cells[2] = attribute;
        cells[3] = attribute;
        cells[4] = attribute;
        cells[5] = attribute;
        cells[6] = attribute;
        cells[7] = attribute;
    }
    platform::WriteConsoleOutputAttribute(handle_, storage_.run, target.cells, target.start,
                                          &written_);
    length_ = 0;
}

void ConsoleWriter::WriteDirect(uint8_t byte) {
    FlushPending();
    storage_.text[0] = byte;
    platform::WriteConsoleA(handle_, storage_.text, 1, &written_, nullptr);
    RefreshSnapshot();
}
