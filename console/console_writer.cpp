#include "console/console_writer.h"

void ConsoleWriter::Open() {
    handle_ = platform::GetStdHandle(platform::STD_OUTPUT_HANDLE);
    attribute_ = kInitialAttribute;
    length_ = 0;
    kinds_ = 0;
    encoding_ = Encoding::kNotAsked;
    colours_ = ReadColourChoice();
    platform::CONSOLE_SCREEN_BUFFER_INFO first{};
    // Only a console has a screen buffer. One in virtual-terminal mode reads
    // colour sequences itself, and one that takes the mode but lacks it has
    // it turned on for the run; without colour the mode is left alone.
    if (platform::GetConsoleScreenBufferInfo(handle_, &first) != 0) {
        const bool colour = colours_ != Colours::kNone;
        platform::DWORD mode = 0;
        if (colour) platform::GetConsoleMode(handle_, &mode);
        const bool on = (mode & platform::ENABLE_VIRTUAL_TERMINAL_PROCESSING) != 0;
        const bool switched = colour && !on && platform::TurnOnVirtualTerminal(handle_, mode) != 0;
        if (on || switched) {
            output_ = Output::kInBand;
            inBand_.OpenConsole(first, switched);
        } else {
            output_ = Output::kCells;
            cells_.Open(first);
        }
        return;
    }
    const uint32_t width = platform::GetTerminalWidth(handle_);
    if (width > 0 && platform::kHasTerminals) {
        output_ = Output::kInBand;
        inBand_.OpenTerminal(width);
    } else {
        output_ = Output::kPlain;
        plain_.Open(colours_ == Colours::kForced);
    }
}

// The output code page, asked once.
void ConsoleWriter::AskCodePage() {
    const uint32_t codePage = platform::GetConsoleOutputCP();
    leads_ = LeadBytesOf(codePage);
    encoding_ = codePage == platform::CP_UTF8 ? Encoding::kUtf8
                : leads_.firstCount != 0      ? Encoding::kDoubleByte
                                              : Encoding::kSingleByte;
}

// On a console that is recoloured, a run that holds control bytes is
// coloured a cell a byte whatever its characters, so the code page is not
// asked for it.
bool ConsoleWriter::MultiByte(uint32_t kinds) {
    const uint32_t asks = output_ == Output::kCells ? kHighByte | kControlByte : kHighByte;
    return (kinds & asks) == kHighByte && ReadsCharacters();
}

void ConsoleWriter::AppendRepeated(uint8_t byte, uint16_t count) {
    for (uint32_t left = count; left > 0;) {
        if (length_ == kMaxRunLength) Flush(true);
        const uint32_t room = kMaxRunLength - length_;
        const uint32_t chunk = left < room ? left : room;
        uint8_t* const to = storage_.text + length_;
        for (uint32_t i = 0; i < chunk; ++i) to[i] = byte;
        kinds_ |= KindOf(byte);
        length_ += chunk;
        left -= chunk;
    }
}

void ConsoleWriter::AppendBytes(const uint8_t* bytes, uint32_t count) {
    while (count > 0) {
        if (length_ == kMaxRunLength) Flush(true);
        const uint32_t room = kMaxRunLength - length_;
        const uint32_t chunk = count < room ? count : room;
        uint8_t* const to = storage_.text + length_;
        for (uint32_t i = 0; i < chunk; ++i) to[i] = bytes[i];
        kinds_ |= KindsOf(to, chunk);
        length_ += chunk;
        bytes += chunk;
        count -= chunk;
    }
}

void ConsoleWriter::AppendTab() {
    uint32_t blanks = 0;
    if (output_ == Output::kCells) {
        // The console alone knows how many cells characters of several
        // bytes take: written, they leave the cursor where they ended.
        if ((kinds_ & kHighByte) != 0 && ReadsCharacters()) Write(Pending(false));
        blanks = 8 - cells_.Column(length_) % 8;
    } else if (output_ == Output::kInBand) {
        const Run run = Pending(false);
        inBand_.Count(run);
        if (inBand_.KnowsColumn()) {
            blanks = inBand_.TabBlanks();
        } else {
            if (length_ > 0) Write(run);
            blanks = inBand_.AskTabBlanks(handle_, storage_, attribute_);
        }
    } else {
        blanks = 8 - plain_.Count(Pending(false)) % 8;
    }
    AppendRepeated(' ', static_cast<uint16_t>(blanks));
}

// When the storage is full, a character that the text has only begun, in
// UTF-8 or a double-byte code page, is held back, so that it goes out whole
// with the rest of it: a console or a terminal would show each piece as a
// replacement character, and so would a file, between the colour sequences
// of two pieces. A file without them takes the bytes as they come. Returns
// how many bytes are held back.
uint32_t ConsoleWriter::HoldBack() {
    if ((output_ == Output::kPlain && !plain_.Coloured()) || storage_.text[length_ - 1] < 0x80 ||
        !ReadsCharacters()) {
        return 0;
    }
    uint32_t kept = encoding_ == Encoding::kDoubleByte
                        ? (EndsInLeadByte(storage_.text, length_, leads_) ? 1 : 0)
                        : Utf8UnfinishedTail(storage_.text, length_);
    // Bytes that a tab has already counted, as a character the tab's blanks
    // cut short, go out where they are.
    const uint32_t counted = output_ == Output::kPlain    ? plain_.Counted()
                             : output_ == Output::kInBand ? inBand_.Counted()
                                                          : 0;
    if (kept > length_ - counted) kept = length_ - counted;
    for (uint32_t i = 0; i < kept; ++i) held_[i] = storage_.text[length_ - kept + i];
    return kept;
}

void ConsoleWriter::Flush(bool full) { Write(Pending(full)); }

void ConsoleWriter::Write(const Run& run) {
    if (output_ == Output::kCells && colours_ == Colours::kNone) {
        cells_.WriteUncoloured(handle_, run);
    } else if (output_ == Output::kCells) {
        cells_.Write(handle_, run);
    } else if (output_ == Output::kInBand) {
        inBand_.Write(handle_, run);
    } else {
        plain_.Write(handle_, run);
    }
    const uint32_t kept = length_ - run.length;
    length_ = kept;
    kinds_ = 0;
    if (kept > 0) {
        kinds_ = kHighByte;
        for (uint32_t i = 0; i < kept; ++i) storage_.text[i] = held_[i];
    }
}

void ConsoleWriter::WriteDirect(uint8_t byte) {
    if (length_ > 0) Flush(false);
    storage_.text[0] = byte;
    if (output_ == Output::kCells) {
        cells_.WriteControl(handle_, storage_);
    } else if (output_ == Output::kInBand) {
        inBand_.WriteControl(handle_, storage_);
    } else {
        plain_.WriteControl(handle_, storage_);
    }
}
