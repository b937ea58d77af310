#include "console/console_writer.h"

void ConsoleWriter::Open() {
    handle_ = platform::GetStdHandle(platform::STD_OUTPUT_HANDLE);
    attribute_ = kInitialAttribute;
    length_ = 0;
    kinds_ = 0;
    begunCount_ = 0;
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

void ConsoleWriter::GoOn(uint8_t byte) {
    const LeadBytes* leads = encoding_ == Encoding::kDoubleByte ? &leads_ : nullptr;
    if (!GoesOn(begun_, begunCount_, byte, leads)) begunCount_ = 0;
}

void ConsoleWriter::AppendRepeated(uint8_t byte, uint16_t count) {
    if (length_ == 0 && begunCount_ > 0 && count > 0) GoOn(byte);
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
    if (length_ == 0 && begunCount_ > 0 && count > 0) GoOn(bytes[0]);
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
        // On a console, a character the text leaves unfinished is lost: no
        // blank goes on with it.
        const Run run = Pending(false);
        length_ = run.length;
        inBand_.Count(run);
        if ((!inBand_.KnowsColumn() || begunCount_ > 0) && length_ > 0) Write(run);
        blanks =
            inBand_.KnowsColumn() ? inBand_.TabBlanks() : inBand_.AskTabBlanks(handle_, attribute_);
    } else {
        blanks = 8 - plain_.Count(Pending(false)) % 8;
    }
    AppendRepeated(' ', static_cast<uint16_t>(blanks));
}

// A character that the text has only begun, in UTF-8 or a double-byte code
// page, is held back, so that it goes out whole with the rest of it: when
// the storage is full, and on a console in virtual-terminal mode at the end
// of every run, whose closing sequence would cut it. A console or a
// terminal would show each piece as a replacement character, and so would
// a file, between the colour sequences of two pieces. A file without them
// takes the bytes as they come.
uint32_t ConsoleWriter::HoldBack() {
    if ((output_ == Output::kPlain && !plain_.Coloured()) || storage_.text[length_ - 1] < 0x80 ||
        !ReadsCharacters()) {
        return 0;
    }
    if (encoding_ == Encoding::kDoubleByte) {
        // A lead byte the run before left has the text's first byte for
        // its trail.
        const uint32_t trail = begunCount_ > 0 ? 1 : 0;
        heldCount_ =
            length_ > trail && EndsInLeadByte(storage_.text + trail, length_ - trail, leads_) ? 1
                                                                                              : 0;
        held_[0] = storage_.text[length_ - 1];
    } else {
        heldCount_ = Utf8UnfinishedTailAfter(begun_, begunCount_, storage_.text, length_, held_);
    }
    // On a terminal and into a file in colour, bytes that a tab has already
    // counted, as a character the tab's blanks cut short, go out where they
    // are.
    const uint32_t counted = output_ == Output::kPlain ? plain_.Counted()
                             : output_ == Output::kInBand && inBand_.OnTerminal()
                                 ? inBand_.Counted()
                                 : 0;
    if (counted > 0 && heldCount_ > length_ - counted) {
        heldCount_ = length_ - counted;
        for (uint32_t i = 0; i < heldCount_; ++i)
            held_[i] = storage_.text[length_ - heldCount_ + i];
    }
    // What the run before left, and the whole text, may still be one
    // character unfinished.
    return heldCount_ < length_ ? heldCount_ : length_;
}

void ConsoleWriter::Flush(bool full) { Write(Pending(full), full); }

void ConsoleWriter::Write(const Run& run, bool full) {
    if (run.length == 0) {
        // Nothing but a character held back.
    } else if (output_ == Output::kCells && colours_ == Colours::kNone) {
        cells_.WriteUncoloured(handle_, run);
    } else if (output_ == Output::kCells) {
        cells_.Write(handle_, run);
    } else if (output_ == Output::kInBand) {
        inBand_.Write(handle_, run);
    } else {
        plain_.Write(handle_, run);
    }
    // What a full storage held back goes on in the storage; what a run's
    // end held back waits apart, so that the next run is cut into writes
    // where its own text is.
    const uint32_t kept = heldCount_;
    heldCount_ = 0;
    length_ = full ? kept : 0;
    kinds_ = full && kept > 0 ? kHighByte : 0;
    for (uint32_t i = 0; i < kept; ++i) {
        if (full) {
            storage_.text[i] = held_[i];
        } else {
            begun_[i] = held_[i];
        }
    }
    begunCount_ = full ? 0 : kept;
}

// A character the run before left unfinished is lost, as no control byte
// goes on with one.
void ConsoleWriter::WriteDirect(uint8_t byte) {
    if (length_ > 0) Flush(false);
    begunCount_ = 0;
    storage_.text[0] = byte;
    WriteControl(1);
}

void ConsoleWriter::WriteControl(uint32_t count) {
    if (output_ == Output::kCells) {
        cells_.WriteControl(handle_, storage_, count);
    } else if (output_ == Output::kInBand) {
        inBand_.WriteControl(handle_, storage_, count);
    } else {
        plain_.WriteControl(handle_, storage_, count);
    }
    length_ = 0;
    kinds_ = 0;
}
