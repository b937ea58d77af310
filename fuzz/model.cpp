#include "fuzz/model.h"

#include <algorithm>

#include "console/display_width.h"
#include "interpreter/usage.h"
#include "platform/simulated_console.h"

namespace model {

namespace {

// At most this much text goes out in one write; longer text goes in pieces
// of exactly this size, each coloured as one write.
constexpr size_t kPiece = 4096;

bool IsDigit(unsigned char c) { return c >= '0' && c <= '9'; }

// Every character counts as a colour digit: the hexadecimal ones for their
// value, the rest for whatever 8-bit arithmetic makes of them (':' gives 3,
// 'G' 0xF0, a blank 0xC9).
uint8_t DigitValue(unsigned char c) {
    if (IsDigit(c)) return static_cast<uint8_t>(c - '0');
    if (c >= ':' && c <= 'F') return static_cast<uint8_t>(c - 'A' + 10);
    return static_cast<uint8_t>(c - 'a' + 10);
}

// Numbers wrap at 65536 as they are read.
uint16_t ReadNumber(const unsigned char*& p) {
    uint16_t n = 0;
    while (IsDigit(*p)) n = static_cast<uint16_t>(n * 10 + (*p++ - '0'));
    return n;
}

class Reader {
  public:
    Reader(const std::string& line, std::vector<Action>& actions)
        : p_(reinterpret_cast<const unsigned char*>(line.c_str())), actions_(actions) {
        actions_.clear();
    }

    void ReadAll() {
        SkipProgramName();
        if (Request()) return;
        for (;;) {
            while (*p_ == ' ') ++p_;
            const unsigned char c = *p_;
            bool more = false;
            if (c == '/') {
                more = Switch();
            } else if (c == '"') {
                more = String();
            } else if (IsDigit(c)) {
                more = Code();
            }
            if (!more) return;
        }
    }

  private:
    // A name in double quotes runs to the closing one; any other runs from
    // its first character to the next blank.
    void SkipProgramName() {
        if (*p_ == '\0') return;
        if (*p_++ == '"') {
            while (*p_ != '\0' && *p_ != '"') ++p_;
            if (*p_ == '"') ++p_;
        } else {
            while (*p_ != '\0' && *p_ != ' ') ++p_;
        }
    }

    // An argument text that is nothing but one of the requests' words, with
    // blanks around it, is answered with the request's text: its line ends
    // as control codes, the rest as text in light grey.
    bool Request() {
        std::string words(reinterpret_cast<const char*>(p_));
        words.erase(0, words.find_first_not_of(' '));
        words.erase(words.find_last_not_of(' ') + 1);
        for (uint32_t i = 0; i < kRequestCount; ++i) {
            if (words != kRequests[i].word) continue;
            for (const char* c = kRequests[i].reply; *c != '\0'; ++c) {
                const uint8_t byte = static_cast<uint8_t>(*c);
                if (byte < 0x20) {
                    actions_.push_back({Action::kControl, byte, 0, 0});
                } else {
                    Text(byte, 1);
                }
            }
            return true;
        }
        return false;
    }

    // `/` and two digits, background then foreground, or `/`, a digit and a
    // blank for a foreground on black.
    bool Switch() {
        actions_.push_back({Action::kSwitch, 0, 0, 0});
        const unsigned char first = p_[1];
        if (first == '\0' || p_[2] == '\0') return false;
        const unsigned char second = p_[2];
        attribute_ = second == ' '
                         ? DigitValue(first)
                         : static_cast<uint8_t>(DigitValue(first) * 16 + DigitValue(second));
        p_ += 3;
        return true;
    }

    // Every byte up to the closing quote as it is; "" is one quote.
    bool String() {
        ++p_;
        for (;;) {
            if (*p_ == '\0') return false;
            if (*p_ == '"' && p_[1] != '"') {
                ++p_;
                return true;
            }
            Text(*p_, 1);
            p_ += *p_ == '"' ? 2 : 1;
        }
    }

    // A code (modulo 256), or a code and a repeat count after `*`, `x` or
    // `X`, with no blanks between.
    bool Code() {
        const uint8_t code = static_cast<uint8_t>(ReadNumber(p_));
        if (*p_ == '*' || *p_ == 'x' || *p_ == 'X') {
            ++p_;
            if (!IsDigit(*p_)) return false;
            Text(code, ReadNumber(p_));
        } else if (code == '\t') {
            actions_.push_back({Action::kTab, 0, attribute_, 0});
        } else if (code < 0x20) {
            actions_.push_back({Action::kControl, code, 0, 0});
        } else {
            Text(code, 1);
        }
        return true;
    }

    void Text(uint8_t byte, uint16_t count) {
        actions_.push_back({Action::kText, byte, attribute_, count});
    }

    const unsigned char* p_;
    uint8_t attribute_ = 0x07;
    std::vector<Action>& actions_;
};

// Where the text goes: it is given in writes of one colour, and control
// bytes each on their own.
class Output {
  public:
    // The column the next write begins in.
    virtual uint32_t Column() const = 0;
    // The column in which a byte after `text` would land, were `text`
    // written from Column() in `attribute`.
    virtual uint32_t ColumnAfter(const std::string& text, uint8_t attribute) const = 0;
    // Whether the text gathered before a tab must be written first, for
    // the output to tell where it ends.
    virtual bool WrittenBeforeTab(const std::string& text) const = 0;
    // How many bytes at the end of a full piece begin a character that it
    // does not finish, and wait for the next piece.
    virtual size_t Unfinished(const std::string& text) const = 0;
    // `piece`: a full piece of a run that goes on.
    virtual void Write(const std::string& text, uint8_t attribute, bool piece) = 0;
    virtual void Control(uint8_t byte) = 0;

  protected:
    ~Output() = default;
};

// How many bytes at the end of the text begin a UTF-8 character that they
// do not finish but could go on to.
size_t UnfinishedTail(const std::string& text) {
    return simulated::Utf8Unfinished(reinterpret_cast<const unsigned char*>(text.data()),
                                     text.size());
}

// Text is gathered up to the next colour switch, control code or the end,
// and goes out in pieces of at most kPiece bytes; a piece is written once
// it is full and more text follows, less a UTF-8 character it would cut
// where the output reads UTF-8. A tab pads to the next multiple of 8 from
// the column in which the text gathered so far would leave the cursor.
void Play(const std::vector<Action>& actions, Output& out) {
    static std::string text;
    text.clear();
    // Of the text, the bytes that a tab has counted already: a character
    // they leave unfinished is cut short by the tab, not held back.
    size_t counted = 0;
    uint8_t attribute = 0x07;
    auto write = [&](bool piece) {
        if (!text.empty()) out.Write(text, attribute, piece);
        text.clear();
        counted = 0;
    };
    auto piece = [&] {
        const size_t kept = std::min(out.Unfinished(text), text.size() - counted);
        const std::string tail = text.substr(text.size() - kept);
        text.resize(text.size() - kept);
        write(true);
        text = tail;
    };
    auto gather = [&](uint8_t byte, uint32_t count) {
        while (count > 0) {
            if (text.size() == kPiece) piece();
            const uint32_t n = std::min(count, static_cast<uint32_t>(kPiece - text.size()));
            text.append(n, static_cast<char>(byte));
            count -= n;
        }
    };
    for (const Action& a : actions) {
        switch (a.kind) {
            case Action::kText:
                attribute = a.attribute;
                gather(a.byte, a.count);
                break;
            case Action::kTab:
                attribute = a.attribute;
                if (out.WrittenBeforeTab(text)) write(false);
                counted = text.size();
                gather(' ', 8 - out.ColumnAfter(text, attribute) % 8);
                break;
            case Action::kControl:
                write(false);
                out.Control(a.byte);
                break;
            case Action::kSwitch:
                write(false);
                break;
        }
    }
    write(false);
}

// The cursor moves to the start of the next row; past the bottom row the
// buffer scrolls up and a blank row comes in.
void NewRow(Screen& s) {
    s.x = 0;
    s.pending = false;
    if (s.y + 1 < s.height) {
        ++s.y;
        return;
    }
    const auto row = s.cells.begin() + s.top * s.width;
    std::fill(row, row + s.width, Cell{' ', s.own});
    s.top = (s.top + 1) % s.height;
    ++s.scrolled;
}

// One cell at the cursor. Filling a row's last cell wraps at once, or
// leaves the wrap pending until the next cell comes.
void Put(Screen& s, uint32_t character) {
    if (s.pending) NewRow(s);
    At(s, s.x, s.y) = Cell{character, s.ink};
    if (s.x + 1 < s.width) {
        ++s.x;
    } else if (s.kind.virtualTerminal) {
        s.pending = true;
    } else {
        NewRow(s);
    }
}

// A character of UTF-8 text. Wine gives each UTF-16 code unit a cell, so
// one past U+FFFF takes two, which may fall on two rows; the console host
// gives a wide character two cells on one row, and leaves the last cell of
// a row blank when only that one is left.
void PutCharacter(Screen& s, uint32_t c) {
    if (s.kind.wine) {
        Put(s, c);
        if (c > 0xFFFF) Put(s, simulated::kSecondHalf);
    } else if (c >= 0xA0 && DisplayWidth(c) == 0 && !s.pending && s.x > 0) {
        // Joined to the character before it: no cell of its own.
    } else if (simulated::IsWide(c)) {
        if (!s.pending && s.x + 1 == s.width) Put(s, ' ');
        Put(s, c);
        Put(s, simulated::kSecondHalf);
    } else {
        Put(s, c);
    }
}

// Processed output: CR, LF, BS, BEL and TAB act, every other byte shows.
// CR, LF and BS drop a pending wrap; a TAB leaves it. In virtual-terminal
// mode VT and FF are line feeds too, a TAB moves the cursor no further than
// the last column and writes nothing, SUB shows as a symbol and the other
// control bytes and DEL show nothing.
void Show(Screen& s, uint8_t c) {
    if (s.kind.virtualTerminal) {
        if (c == '\v' || c == '\f') c = '\n';
        if (c == '\t') {
            if (!s.pending) s.x = std::min((s.x / 8 + 1) * 8, s.width - 1);
            return;
        }
        if (c == 0x1A) {
            Put(s, 0x2426);
            return;
        }
        if ((c < 0x20 && c != '\r' && c != '\n' && c != '\b') || c == 0x7F) return;
    }
    switch (c) {
        case '\r':
            s.x = 0;
            s.pending = false;
            break;
        case '\n':
            NewRow(s);
            break;
        case '\b':
            if (s.x > 0) --s.x;
            s.pending = false;
            break;
        case '\a':
            break;
        case '\t':
            // Blanks to the next multiple of 8, but not past the row's end.
            if (s.pending) break;
            for (int n = std::min((s.x / 8 + 1) * 8, s.width) - s.x; n > 0; --n) Put(s, ' ');
            break;
        default:
            Put(s, c);
    }
}

// Whether the text ends in a lead byte of code page 932 that no trail byte
// follows.
bool EndsInLeadByte(const std::string& text) {
    const unsigned char* bytes = reinterpret_cast<const unsigned char*>(text.data());
    for (size_t i = 0; i < text.size();) {
        if (simulated::DecodeDoubleByte(932, bytes, text.size(), i) == simulated::kLeadAtTheEnd) {
            return true;
        }
    }
    return false;
}

// The buffer scrolls up a row, and the cursor stays with the row it is on.
void MakeRoom(Screen& s) {
    const int x = s.x;
    s.y = s.height - 1;
    NewRow(s);
    s.y = s.height - 2;
    s.x = x;
}

// A write's bytes, through the code page into characters before anything
// reads them: the console host keeps a character that a write leaves
// unfinished for the next write, and loses it when that does not go on
// with it; Wine's console keeps nothing. Where the
// program switched the mode on, a row that text filled wraps before a byte
// that takes no cell, as it does at once without the mode; a control code
// written `alone` (after what the run before left of a character, perhaps)
// waits as the mode has it. With `cut`, what the bytes leave of a
// character is cut short, as by an escape sequence. `coloured`: a run's
// write in
// virtual-terminal mode, which must not let a row scroll in while its
// colours are set: a character of several bytes, or a byte of none, that
// comes on the bottom row where the most cells it can take (two, and one)
// would reach the last column has a row made first, and goes on the row
// above the bottom one.
void ShowAll(Screen& s, const std::string& bytes, bool coloured, bool alone = false,
             bool cut = false) {
    const bool keeps = !s.kind.wine && !cut && (s.kind.utf8 || s.kind.doubleByte);
    const std::string all =
        keeps ? simulated::Continued(s.kind.utf8 ? 65001 : 932, s.held, bytes) : bytes;
    s.held.clear();
    const unsigned char* text = reinterpret_cast<const unsigned char*>(all.data());
    size_t end = all.size();
    if (keeps && s.kind.utf8) {
        const size_t unfinished = simulated::Utf8Unfinished(text, end);
        s.held = all.substr(end - unfinished);
        end -= unfinished;
    }
    for (size_t i = 0; i < end;) {
        const size_t from = i;
        uint32_t c = text[i];
        if (s.kind.utf8) {
            c = simulated::DecodeUtf8(text, end, i);
        } else if (s.kind.doubleByte) {
            c = simulated::DecodeDoubleByte(932, text, end, i);
            if (c == simulated::kLeadAtTheEnd) {
                if (keeps) {
                    s.held = all.substr(i);
                    return;
                }
                c = 0xFFFD;
                ++i;
            }
        } else {
            ++i;
        }
        if (s.kind.switched && s.pending && !alone && ((c < 0x20 && c != 0x1A) || c == 0x7F)) {
            NewRow(s);
        }
        if (c < 0x80 || !(s.kind.utf8 || s.kind.doubleByte)) {
            Show(s, static_cast<uint8_t>(c));
            continue;
        }
        // A byte of its own in the double-byte code page is one cell.
        size_t j = 0;
        const bool single =
            i - from == 1 && s.kind.doubleByte &&
            simulated::DecodeDoubleByte(932, text + from, 1, j) != simulated::kLeadAtTheEnd;
        const int most = i - from > 1 ? 2 : 1;
        if (coloured && s.kind.virtualTerminal && !single && !s.pending && s.y == s.height - 1 &&
            s.x + most >= s.width && s.height > 1) {
            MakeRoom(s);
        }
        PutCharacter(s, c);
    }
}

// On a legacy console the text is written where the cursor stands, in the
// console's own colours, and then its cells take the colour of the write.
// Plain text takes the cells from where its first character went to where
// the cursor stopped, and they are followed as the buffer scrolls. Control
// bytes move the cursor in ways that are not followed: then as many cells
// as the text has bytes take the colour, from where the first character
// would have gone, up to the end of the buffer. In virtual-terminal mode
// the text comes with its colour, which every cell it makes takes, the
// rows it scrolls in included.
class ConsoleOutput : public Output {
  public:
    explicit ConsoleOutput(Screen& screen) : s_(screen) {}

    uint32_t Column() const override { return s_.pending ? 0 : static_cast<uint32_t>(s_.x); }

    // One column a byte, whatever the byte does, and on into the next row;
    // text whose cells are not a byte each has been written before.
    uint32_t ColumnAfter(const std::string& text, uint8_t) const override {
        return static_cast<uint32_t>((Column() + text.size()) % static_cast<size_t>(s_.width));
    }

    // The screen tells where text ends: in virtual-terminal mode the
    // program lays it out as the console does, or asks.
    bool WrittenBeforeTab(const std::string& text) const override {
        if (s_.kind.virtualTerminal) return true;
        return (s_.kind.utf8 || s_.kind.doubleByte) &&
               std::any_of(text.begin(), text.end(), [](char c) { return (c & 0x80) != 0; });
    }

    // What the console kept of a character goes on in the text.
    size_t Unfinished(const std::string& text) const override {
        if (!s_.kind.doubleByte && !s_.kind.utf8) return 0;
        const std::string all =
            s_.kind.wine ? text : simulated::Continued(s_.kind.utf8 ? 65001 : 932, s_.held, text);
        if (s_.kind.doubleByte) return EndsInLeadByte(all) ? 1 : 0;
        return std::min(UnfinishedTail(all), text.size());
    }

    // A piece of a run ends with the sequences that give the console its
    // colours back: what it leaves of a character is cut short there.
    void Write(const std::string& text, uint8_t attribute, bool piece) override {
        if (s_.kind.virtualTerminal) {
            // Text that only goes on with a character, and does not finish
            // it, waits for what comes next: nothing is written yet.
            const bool waits = Unfinished(text) == text.size();
            s_.ink = attribute;
            ShowAll(s_, text, true);
            if (waits) {
                s_.ink = s_.own;
                return;
            }
            if (piece && !s_.held.empty()) {
                const std::string cut = s_.held;
                s_.held.clear();
                ShowAll(s_, cut, true, false, true);
            }
            s_.ink = s_.own;
            if (s_.kind.switched && s_.pending) NewRow(s_);
            return;
        }
        const bool control =
            std::any_of(text.begin(), text.end(), [](char c) { return (c & 0xE0) == 0; });
        if (s_.kind.doubleByte && control && EndsInLeadByte(text)) s_.undecided = true;
        const int64_t from = Followed();
        const int64_t size = static_cast<int64_t>(s_.cells.size());
        int64_t first = s_.y * s_.width + s_.x + (s_.pending ? 1 : 0);
        if (first >= size) first -= s_.width;
        ShowAll(s_, text, false);
        int64_t end = std::min(size, first + static_cast<int64_t>(text.size()));
        if (!control) {
            const int64_t top = s_.scrolled * s_.width;
            first = std::max(from, top) - top;
            end = Followed() - top;
        }
        for (int64_t i = first; i < end; ++i) At(s_, i).attribute = attribute;
    }

    // A character the last write left unfinished takes the byte with it.
    void Control(uint8_t byte) override {
        if (s_.held.empty()) {
            Show(s_, byte);
        } else {
            ShowAll(s_, std::string(1, static_cast<char>(byte)), false, true);
        }
    }

  private:
    // Where the next character goes, counted from the top of all rows ever
    // written.
    int64_t Followed() const {
        return (s_.scrolled + s_.y) * s_.width + s_.x + (s_.pending ? 1 : 0);
    }

    Screen& s_;
};

// The escape sequence that selects an attribute's colours on a terminal.
// Light grey on black stands for the terminal's own colours and needs none;
// a foreground on black keeps the terminal's own background.
std::string Sgr(uint8_t attribute) {
    // Console colours are blue 1, green 2, red 4; terminal colours are red
    // 1, green 2, blue 4.
    static const int kTerminalColour[8] = {0, 4, 2, 6, 1, 5, 3, 7};
    const int foreground = attribute & 15, background = attribute >> 4;
    std::string parameters;
    if (foreground != 7) {
        parameters = std::to_string((foreground > 7 ? 90 : 30) + kTerminalColour[foreground & 7]);
    }
    if (background != 0) {
        if (!parameters.empty()) parameters += ';';
        parameters += std::to_string((background > 7 ? 100 : 40) + kTerminalColour[background & 7]);
    }
    return parameters.empty() ? "" : "\x1b[" + parameters + "m";
}

// A file or a pipe takes the bytes as they are; a terminal takes each write
// between the sequence for its colours and a reset. The column is counted
// as a terminal, or a file shown in one, would place the bytes.
class ByteOutput : public Output {
  public:
    ByteOutput(std::string& bytes, uint32_t width, bool utf8)
        : bytes_(bytes), width_(width), utf8_(utf8) {}

    uint32_t Column() const override { return column_; }

    // On a terminal, the blanks of the tab cut short a character the text
    // left unfinished.
    uint32_t ColumnAfter(const std::string& text, uint8_t attribute) const override {
        ByteOutput copy = *this;
        if (!Sgr(attribute).empty()) copy.CutShort();
        for (char c : text) copy.Move(static_cast<uint8_t>(c));
        copy.CutShort();
        return copy.column_;
    }

    bool WrittenBeforeTab(const std::string&) const override { return false; }

    size_t Unfinished(const std::string& text) const override {
        return width_ > 0 ? UnfinishedTail(text) : 0;
    }

    // A colour sequence, and the reset after the text, cut short a
    // character that is not finished. A character that goes to the next
    // row goes there in the terminal's own colours, and is written again
    // in the run's from the start of the row; a line feed goes out in the
    // terminal's own colours.
    void Write(const std::string& text, uint8_t attribute, bool) override {
        const std::string colours = width_ > 0 ? Sgr(attribute) : "";
        if (colours.empty()) {
            bytes_ += text;
            for (char c : text) Move(static_cast<uint8_t>(c));
            return;
        }
        CutShort();
        bytes_ += colours;
        std::string character;
        auto put = [&] {
            if (wrapped_) {
                bytes_ += "\x1b[0m" + character + "\r" + colours + character;
            } else if (character[0] >= '\n' && character[0] <= '\f') {
                bytes_ += "\x1b[0m" + character + colours;
            } else {
                bytes_ += character;
            }
            character.clear();
        };
        for (char c : text) {
            const uint8_t byte = static_cast<uint8_t>(c);
            if (missing_ > 0 && (byte < low_ || byte > high_)) {
                CutShort();
                put();
            }
            wrapped_ = false;
            character += c;
            Move(byte);
            if (missing_ == 0) put();
        }
        if (!character.empty()) {
            CutShort();
            put();
        }
        bytes_ += "\x1b[0m";
    }

    void Control(uint8_t byte) override {
        bytes_ += static_cast<char>(byte);
        Move(byte);
    }

  private:
    // CR and LF go back to column 0, BS one column back, TAB on to the next
    // stop (on a terminal no further than its last column); other control
    // bytes stay put. In a file every other byte is a column, but in UTF-8
    // the bytes that continue a character. A terminal decodes UTF-8: a
    // character takes its display width, a byte that begins or continues
    // none, or a character cut short, one column (a replacement character);
    // its row wraps at its width, and a character too wide for what is left
    // of the row goes to the next.
    void Move(uint8_t c) {
        if (width_ == 0) {
            MoveInFile(c);
            return;
        }
        if (missing_ > 0) {
            if (c >= low_ && c <= high_) {
                codePoint_ = codePoint_ << 6 | (c & 0x3Fu);
                low_ = 0x80;
                high_ = 0xBF;
                if (--missing_ == 0) Advance(DisplayWidth(codePoint_));
                return;
            }
            CutShort();
        }
        if (c >= 0xC2 && c <= 0xF4) {
            missing_ = c >= 0xF0 ? 3 : c >= 0xE0 ? 2 : 1;
            codePoint_ = c & (0x3Fu >> missing_);
            low_ = c == 0xE0 ? 0xA0 : c == 0xF0 ? 0x90 : 0x80;
            high_ = c == 0xED ? 0x9F : c == 0xF4 ? 0x8F : 0xBF;
        } else if (c >= 0x80 || (c >= 0x20 && c != 0x7F)) {
            Advance(1);
        } else {
            if (c == '\r' || c == '\n' || c == '\b' || c == '\t') full_ = false;
            MoveInFile(c);
            if (column_ >= width_) column_ = width_ - 1;
        }
    }

    void MoveInFile(uint8_t c) {
        if (c == '\r' || c == '\n') {
            column_ = 0;
        } else if (c == '\b') {
            column_ -= column_ > 0 ? 1 : 0;
        } else if (c == '\t') {
            column_ += 8 - column_ % 8;
        } else if (c >= 0x20 && c != 0x7F && !(utf8_ && c >= 0x80 && c < 0xC0)) {
            ++column_;
        }
    }

    void CutShort() {
        if (missing_ == 0) return;
        missing_ = 0;
        Advance(1);
    }

    // A row that is full waits: the next character goes to the next row
    // first, as does one too wide for what is left of it.
    void Advance(uint32_t cells) {
        if (cells == 0) return;
        wrapped_ = full_ || column_ + cells > width_;
        if (column_ + cells > width_) column_ = 0;
        column_ += cells;
        full_ = column_ >= width_;
        if (full_) column_ = 0;
    }

    std::string& bytes_;
    uint32_t width_;
    bool utf8_;
    uint32_t column_ = 0;
    // A terminal's character still being gathered: bytes still to come,
    // the code point so far, the range of the next byte.
    uint32_t missing_ = 0;
    uint32_t codePoint_ = 0;
    uint8_t low_ = 0x80;
    uint8_t high_ = 0xBF;
    bool full_ = false;
    bool wrapped_ = false;
};

}  // namespace

void Read(const std::string& commandLine, std::vector<Action>& actions) {
    Reader(commandLine, actions).ReadAll();
}

void Clear(Screen& screen, int width, int height, int x, int y, uint16_t own, Console kind) {
    screen.width = width;
    screen.height = height;
    screen.x = x;
    screen.y = y;
    screen.own = own;
    screen.ink = own;
    screen.kind = kind;
    screen.pending = false;
    screen.held.clear();
    screen.top = 0;
    screen.cells.assign(static_cast<size_t>(width) * static_cast<size_t>(height), Cell{' ', own});
    screen.scrolled = 0;
    screen.undecided = false;
}

void LayOnConsole(const std::vector<Action>& actions, Screen& screen) {
    ConsoleOutput out(screen);
    Play(actions, out);
}

void Bytes(const std::vector<Action>& actions, uint32_t width, bool utf8, std::string& bytes) {
    bytes.clear();
    ByteOutput out(bytes, width, utf8);
    Play(actions, out);
}

}  // namespace model
