#include "console/console_writer.h"

#include "console/terminal_colours.h"

using platform::COORD;

void ConsoleWriter::Open() {
    handle_ = platform::GetStdHandle(platform::STD_OUTPUT_HANDLE);
    snapshot_ = platform::CONSOLE_SCREEN_BUFFER_INFO{};
    attribute_ = kInitialAttribute;
    length_ = 0;
    written_ = 0;
    column_ = 0;
    width_ = 0;
    // The one result the writer looks at: only a console has a screen buffer.
    if (platform::GetConsoleScreenBufferInfo(handle_, &snapshot_) != 0) {
        output_ = Output::kConsole;
        return;
    }
    width_ = platform::GetTerminalWidth(handle_);
    output_ = width_ > 0 ? Output::kTerminal : Output::kPlain;
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
    if (output_ == Output::kConsole) {
        FlushToConsole();
    } else if (OnTerminal()) {
        FlushToTerminal();
    } else {
        WriteBytes(storage_.text, length_);
    }
    length_ = 0;
}

void ConsoleWriter::FlushToConsole() {
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
}

// The run goes out in one write, between its colours and a reset, so that
// however the program is stopped the terminal is not left coloured. The
// text moves up to make room for the sequence in front of it; at most
// kMaxRunLength bytes of text plus both sequences fit in the storage.
void ConsoleWriter::FlushToTerminal() {
    uint8_t sgr[kMaxSgrLength];
    const uint32_t sgrLength = FormatSgr(attribute_, sgr);
    if (sgrLength == 0) {
        WriteBytes(storage_.text, length_);
        return;
    }
    uint8_t* const text = storage_.text;
    MoveColumn(text, length_);
    for (uint32_t i = length_; i > 0; --i) text[i - 1 + sgrLength] = text[i - 1];
    for (uint32_t i = 0; i < sgrLength; ++i) text[i] = sgr[i];
    uint32_t end = sgrLength + length_;
    for (uint32_t i = 0; i < kSgrResetLength; ++i) text[end++] = static_cast<uint8_t>(kSgrReset[i]);
    platform::WriteFile(handle_, text, end, &written_, nullptr);
}

void ConsoleWriter::WriteBytes(const uint8_t* bytes, uint32_t count) {
    MoveColumn(bytes, count);
    platform::WriteFile(handle_, bytes, count, &written_, nullptr);
}

// Where the bytes leave the cursor on a terminal, or a file viewed in one:
// text moves it on, wrapping at the terminal's width; CR and LF take it back
// to 0, BS one step, TAB to the next stop. Other control bytes do not move
// it, nor do the continuation bytes of a UTF-8 character on a terminal.
void ConsoleWriter::MoveColumn(const uint8_t* bytes, uint32_t count) {
    for (uint32_t i = 0; i < count; ++i) {
        const uint8_t c = bytes[i];
        if (c == '\r' || c == '\n') {
            column_ = 0;
        } else if (c == '\b') {
            if (column_ > 0) --column_;
        } else if (c == '\t') {
            column_ = (column_ / 8 + 1) * 8;
            if (width_ > 0 && column_ >= width_) column_ = width_ - 1;
        } else if (c < 0x20 || c == 0x7F) {
            continue;
        } else if (OnTerminal() && (c & 0xC0) == 0x80) {
            continue;
        } else if (++column_ == width_) {
            column_ = 0;
        }
    }
}

void ConsoleWriter::WriteDirect(uint8_t byte) {
    FlushPending();
    storage_.text[0] = byte;
    if (output_ != Output::kConsole) {
        WriteBytes(storage_.text, 1);
        return;
    }
    platform::WriteConsoleA(handle_, storage_.text, 1, &written_, nullptr);
    RefreshSnapshot();
}
