#include "fuzz/model.h"

#include <algorithm>

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
    // written from Column().
    virtual uint32_t ColumnAfter(const std::string& text) const = 0;
    virtual void Write(const std::string& text, uint8_t attribute) = 0;
    virtual void Control(uint8_t byte) = 0;

  protected:
    ~Output() = default;
};

// Text is gathered up to the next colour switch, control code or the end,
// and goes out in pieces of at most kPiece bytes; a piece is written once
// it is full and more text follows. A tab pads to the next multiple of 8
// from the column in which the text gathered so far would leave the cursor.
void Play(const std::vector<Action>& actions, Output& out) {
    static std::string text;
    text.clear();
    uint8_t attribute = 0x07;
    auto write = [&] {
        if (!text.empty()) out.Write(text, attribute);
        text.clear();
    };
    auto gather = [&](uint8_t byte, uint32_t count) {
        while (count > 0) {
            if (text.size() == kPiece) write();
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
                gather(' ', 8 - out.ColumnAfter(text) % 8);
                break;
            case Action::kControl:
                write();
                out.Control(a.byte);
                break;
            case Action::kSwitch:
                write();
                break;
        }
    }
    write();
}

// The cursor moves to the start of the next row; past the bottom row the
// buffer scrolls up and a blank row comes in.
void NewRow(Screen& s) {
    s.x = 0;
    if (s.y + 1 < s.height) {
        ++s.y;
        return;
    }
    std::copy(s.cells.begin() + s.width, s.cells.end(), s.cells.begin());
    std::fill(s.cells.end() - s.width, s.cells.end(), Cell{' ', s.own});
    ++s.scrolled;
}

// A character `wide` cells wide at the cursor. One that does not fit in
// what is left of the row begins the next; a full row wraps at once.
void Put(Screen& s, uint8_t character, int wide) {
    if (s.x + wide > s.width) NewRow(s);
    const size_t at = static_cast<size_t>(s.y * s.width + s.x);
    for (size_t i = 0; i < static_cast<size_t>(wide); ++i) s.cells[at + i] = Cell{character, s.own};
    s.x += wide;
    if (s.x == s.width) NewRow(s);
}

// Processed output: CR, LF, BS, BEL and TAB act, every other byte shows.
void Show(Screen& s, uint8_t c) {
    switch (c) {
        case '\r':
            s.x = 0;
            break;
        case '\n':
            NewRow(s);
            break;
        case '\b':
            if (s.x > 0) --s.x;
            break;
        case '\a':
            break;
        case '\t':
            // Blanks to the next multiple of 8, but not past the row's end.
            for (int n = std::min((s.x / 8 + 1) * 8, s.width) - s.x; n > 0; --n) Put(s, ' ', 1);
            break;
        default:
            Put(s, c, 1);
    }
}

// The text is written where the cursor stands, in the console's own
// colours, and then its cells take the colour of the write. Plain text
// fills the cells from the cursor on, and they are followed as the buffer
// scrolls. Control bytes move the cursor in ways that are not followed:
// then as many cells as the text has bytes take the colour, from where the
// cursor stood, up to the end of the buffer.
class ConsoleOutput : public Output {
  public:
    explicit ConsoleOutput(Screen& screen) : s_(screen) {}

    uint32_t Column() const override { return static_cast<uint32_t>(s_.x); }

    // One column a byte, whatever the byte does, and on into the next row.
    uint32_t ColumnAfter(const std::string& text) const override {
        return static_cast<uint32_t>((static_cast<size_t>(s_.x) + text.size()) %
                                     static_cast<size_t>(s_.width));
    }

    void Write(const std::string& text, uint8_t attribute) override {
        const int64_t start = s_.y * s_.width + s_.x;
        const int64_t from = Followed();
        for (char c : text) Show(s_, static_cast<uint8_t>(c));
        const int64_t size = static_cast<int64_t>(s_.cells.size());
        int64_t first = start;
        int64_t end = std::min(size, start + static_cast<int64_t>(text.size()));
        if (std::none_of(text.begin(), text.end(), [](char c) { return (c & 0xE0) == 0; })) {
            const int64_t top = s_.scrolled * s_.width;
            first = std::max(from, top) - top;
            end = Followed() - top;
        }
        for (int64_t i = first; i < end; ++i)
            s_.cells[static_cast<size_t>(i)].attribute = attribute;
    }

    void Control(uint8_t byte) override { Show(s_, byte); }

  private:
    // The cursor's cell, counted from the top of all rows ever written.
    int64_t Followed() const { return (s_.scrolled + s_.y) * s_.width + s_.x; }

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
    ByteOutput(std::string& bytes, uint32_t width) : bytes_(bytes), width_(width) {}

    uint32_t Column() const override { return column_; }

    uint32_t ColumnAfter(const std::string& text) const override {
        ByteOutput copy = *this;
        for (char c : text) copy.Move(static_cast<uint8_t>(c));
        return copy.column_;
    }

    void Write(const std::string& text, uint8_t attribute) override {
        const std::string colours = width_ > 0 ? Sgr(attribute) : "";
        bytes_ += colours;
        bytes_ += text;
        for (char c : text) Move(static_cast<uint8_t>(c));
        if (!colours.empty()) bytes_ += "\x1b[0m";
    }

    void Control(uint8_t byte) override {
        bytes_ += static_cast<char>(byte);
        Move(byte);
    }

  private:
    // CR and LF go back to column 0, BS one column back, TAB on to the next
    // stop (on a terminal no further than its last column); other control
    // bytes stay put, and so do the bytes that continue a UTF-8 letter on a
    // terminal. A terminal's row wraps at its width; a file's never does.
    void Move(uint8_t c) {
        if (c == '\r' || c == '\n') {
            column_ = 0;
        } else if (c == '\b') {
            column_ -= column_ > 0 ? 1 : 0;
        } else if (c == '\t') {
            column_ += 8 - column_ % 8;
            if (width_ > 0) column_ = std::min(column_, width_ - 1);
        } else if (c < 0x20 || c == 0x7F || (width_ > 0 && c >= 0x80 && c < 0xC0)) {
            return;
        } else if (++column_ == width_) {
            column_ = 0;
        }
    }

    std::string& bytes_;
    uint32_t width_;
    uint32_t column_ = 0;
};

}  // namespace

void Read(const std::string& commandLine, std::vector<Action>& actions) {
    Reader(commandLine, actions).ReadAll();
}

void Clear(Screen& screen, int width, int height, int x, int y, uint16_t own) {
    screen.width = width;
    screen.height = height;
    screen.x = x;
    screen.y = y;
    screen.own = own;
    screen.cells.assign(static_cast<size_t>(width) * static_cast<size_t>(height), Cell{' ', own});
    screen.scrolled = 0;
}

void LayOnConsole(const std::vector<Action>& actions, Screen& screen) {
    ConsoleOutput out(screen);
    Play(actions, out);
}

void Bytes(const std::vector<Action>& actions, uint32_t width, std::string& bytes) {
    bytes.clear();
    ByteOutput out(bytes, width);
    Play(actions, out);
}

}  // namespace model
