// Simulated backend: the platform functions act on an in-memory console.
#include "platform/simulated_console.h"

#include <ctype.h>
#include <errno.h>
#include <iconv.h>
#include <stdio.h>
#include <stdlib.h>

#include <algorithm>
#include <iterator>

#include "console/display_width.h"
#include "platform/wide_command_line.h"

namespace simulated {

namespace {

// Any recognisable value will do; the program never looks inside a handle.
platform::HANDLE const kOutputHandle = reinterpret_cast<platform::HANDLE>(0x5100);

}  // namespace

// The backend's side forgets the mode it changed (below).
void ForgetSwitchedMode();

namespace {

std::string Coordinate(platform::COORD c) {
    return "(" + std::to_string(c.X) + "," + std::to_string(c.Y) + ")";
}

std::string Quoted(const std::string& bytes) {
    std::string out = "\"";
    for (char byte : bytes) {
        unsigned char c = static_cast<unsigned char>(byte);
        if (c < 0x20 || c >= 0x7F || c == '"' || c == '\\') {
            char hex[8];
            snprintf(hex, sizeof hex, "\\x%02X", c);
            out += hex;
        } else {
            out += static_cast<char>(c);
        }
    }
    return out + "\"";
}

std::string Hex(uint16_t value) {
    char hex[8];
    snprintf(hex, sizeof hex, "%02X", value);
    return hex;
}

// "1F*3 07*2" for {1F,1F,1F,07,07}.
std::string RunLength(const std::vector<uint16_t>& values) {
    std::string out;
    for (size_t i = 0; i < values.size();) {
        size_t j = i;
        while (j < values.size() && values[j] == values[i]) ++j;
        if (!out.empty()) out += ' ';
        out += Hex(values[i]) + "*" + std::to_string(j - i);
        i = j;
    }
    return out;
}

}  // namespace

std::string Describe(const Call& call) {
    std::string out;
    switch (call.op) {
        case Op::GetStdHandle:
            return "GetStdHandle(" + std::to_string(static_cast<int32_t>(call.value)) + ")";
        case Op::GetCommandLineA:
            return "GetCommandLineA";
        case Op::GetCommandLineW:
            return "GetCommandLineW";
        case Op::WideCharToMultiByte: {
            char flags[16];
            snprintf(flags, sizeof flags, "0x%X", call.flags);
            return "WideCharToMultiByte(" + std::to_string(call.value) + ", " + flags + ")";
        }
        case Op::GetTerminalWidth:
            out = "GetTerminalWidth";
            break;
        case Op::GetConsoleOutputCP:
            return "GetConsoleOutputCP";
        case Op::GetConsoleMode:
            out = "GetConsoleMode";
            break;
        case Op::SetConsoleMode:
            out = "SetConsoleMode(0x" + Hex(static_cast<uint16_t>(call.value)) + ")";
            break;
        case Op::SetConsoleCtrlHandler:
            return "SetConsoleCtrlHandler";
        case Op::WriteFile:
            out = "WriteFile " + Quoted(call.bytes);
            if (call.reservedPointer) out += " with an overlapped pointer";
            break;
        case Op::ExitProcess:
            return "ExitProcess(" + std::to_string(call.value) + ")";
        case Op::GetConsoleScreenBufferInfo:
            out = "GetConsoleScreenBufferInfo";
            break;
        case Op::WriteConsoleA:
            out = "WriteConsoleA " + Quoted(call.bytes);
            if (call.reservedPointer) out += " with a reserved pointer";
            break;
        case Op::WriteConsoleOutputAttribute:
            out = "WriteConsoleOutputAttribute " +
                  (call.attributes.empty() ? std::string("none") : RunLength(call.attributes)) +
                  " at " + Coordinate(call.coord);
            break;
        case Op::ReadConsoleOutputAttribute:
            out = "ReadConsoleOutputAttribute " + std::to_string(call.value) + " at " +
                  Coordinate(call.coord);
            break;
    }
    if (call.foreignHandle) out += " on a foreign handle";
    return out;
}

void Console::Reset(int width, int height, platform::COORD cursor, uint16_t ownAttribute) {
    width_ = width;
    height_ = height;
    cursor_ = cursor;
    ownAttribute_ = ownAttribute;
    defaultAttribute_ = ownAttribute;
    pushes_ = 0;
    redirected_ = false;
    mode_ = 0x3;
    ForgetSwitchedMode();
    takesVirtualTerminal_ = false;
    handler_ = nullptr;
    stopAt_ = 0;
    ended_ = false;
    pseudoConsole_ = false;
    wrapPending_ = false;
    codePage_ = 437;
    layout_ = Layout::kConsoleHost;
    held_.clear();
    windowTop_ = 0;
    terminalWidth_ = 0;
    written_.clear();
    top_ = 0;
    cells_.assign(static_cast<size_t>(width) * static_cast<size_t>(height),
                  Cell{' ', ownAttribute, 0, 0});
    marks_.clear();
    environment_.clear();
    commandLine_.assign(1, '\0');
    wideCommandLine_.clear();
    typed_ = false;
    calls_.clear();
    logLimit_ = 0;
    callCount_ = 0;
    bytesWritten_ = 0;
    observer_ = nullptr;
}

void Console::SetCommandLine(const std::string& raw) {
    commandLine_.assign(raw.begin(), raw.end());
    commandLine_.push_back('\0');
    commandLine_.shrink_to_fit();
    typed_ = false;
}

void Console::SetTypedCommandLine(const std::u16string& wide) {
    SetCommandLine("");
    wideCommandLine_ = wide;
    typed_ = true;
}

std::string Console::RowText(int y) const {
    std::string row;
    const uint32_t bytes = codePage_ == platform::CP_UTF8 || IsDoubleByte(codePage_) ? 0x80 : 0x100;
    for (int x = 0; x < width_; ++x) {
        const Cell& cell = At(x, y);
        if (cell.character < bytes) {
            row += static_cast<char>(cell.character);
        } else if (cell.character != kSecondHalf) {
            row += Utf8(cell.character);
        }
        if (cell.marks != 0) row += Utf8(Mark(x, y));
    }
    return row;
}

std::string Console::RowAttributes(int y) const {
    std::vector<uint16_t> row;
    row.reserve(static_cast<size_t>(width_));
    for (int x = 0; x < width_; ++x) row.push_back(At(x, y).attribute);
    return RunLength(row);
}

std::vector<std::string> Console::DescribedCalls() const {
    std::vector<std::string> out;
    for (const Call& call : calls_) out.push_back(Describe(call));
    return out;
}

bool Console::IsConsole(platform::HANDLE handle) const {
    return handle == kOutputHandle && !redirected_;
}

Call& Console::Log(Op op, platform::HANDLE handle) {
    Call call{};
    call.op = op;
    call.foreignHandle = handle != kOutputHandle;
    call.number = ++callCount_;
    if (observer_ != nullptr) {
        observed_ = call;
        return observed_;
    }
    if (logLimit_ != 0 && calls_.size() >= logLimit_) calls_.erase(calls_.begin());
    calls_.push_back(call);
    return calls_.back();
}

// Scrolls when the cursor passes the bottom row; the new row is blank in the
// current attribute.
void Console::NextRow() {
    cursor_.X = 0;
    if (cursor_.Y + 1 < height_) {
        ++cursor_.Y;
        return;
    }
    const size_t first = Index(0, 0);
    std::fill(cells_.begin() + static_cast<ptrdiff_t>(first),
              cells_.begin() + static_cast<ptrdiff_t>(first) + width_,
              Cell{' ', ownAttribute_, 0, 0});
    top_ = (top_ + 1) % static_cast<size_t>(height_);
}

// One cell of text at the cursor. With an immediate wrap, filling the last
// cell of a row moves the cursor to the next row; with a deferred one the
// cursor stays in the last column until the next character comes.
void Console::Put(uint32_t character) {
    if (wrapPending_) NextRow();
    wrapPending_ = false;
    cells_[Index(cursor_.X, cursor_.Y)] = Cell{character, ownAttribute_, 0, callCount_};
    if (cursor_.X + 1 < width_) {
        ++cursor_.X;
    } else if (VirtualTerminal()) {
        wrapPending_ = true;
    } else {
        NextRow();
    }
}

// Processed output: CR, LF, BS, BEL and TAB act; every other byte is shown.
// A pending wrap is dropped by CR, LF and BS, and keeps a TAB in the last
// column.
void Console::Show(unsigned char c) {
    const bool pending = wrapPending_;
    if (c == '\r' || c == '\n' || c == '\b') wrapPending_ = false;
    switch (c) {
        case '\r':
            cursor_.X = 0;
            return;
        case '\n':
            NextRow();
            return;
        case '\b':
            if (cursor_.X > 0) --cursor_.X;
            return;
        case '\a':
            return;
        case '\t': {
            // Blanks to the next multiple of 8, but not past the row's end.
            if (pending) return;
            int stop = (cursor_.X / 8 + 1) * 8;
            if (stop > width_) stop = width_;
            for (int blanks = stop - cursor_.X; blanks > 0; --blanks) Put(' ');
            return;
        }
        default:
            Put(c);
    }
}

// Virtual-terminal mode, a byte below 0x80 other than an interpreted escape
// sequence: the controls that move the cursor act, and a move drops a
// pending wrap; a TAB only moves, to the next multiple of 8 but no further
// than the last column, and keeps a pending wrap. SUB shows as U+2426, an
// ESC that begins no sequence this console knows as itself, and the other
// controls and DEL are dropped.
void Console::Act(unsigned char c) {
    switch (c) {
        case '\r':
            wrapPending_ = false;
            cursor_.X = 0;
            return;
        case '\n':
        case '\v':
        case '\f':
            wrapPending_ = false;
            NextRow();
            return;
        case '\b':
            wrapPending_ = false;
            if (cursor_.X > 0) --cursor_.X;
            return;
        case '\t':
            cursor_.X = static_cast<int16_t>(std::min((cursor_.X / 8 + 1) * 8, width_ - 1));
            return;
        case 0x1A:
            Put(0x2426);
            return;
        case 0x1B:
            Put(0x1B);
            return;
        default:
            if (c >= 0x20 && c < 0x7F) Put(c);
    }
}

namespace {

// Console attributes hold blue in bit 0 and red in bit 2, ANSI colour
// numbers the other way round.
unsigned FromAnsi(unsigned colour) { return (colour & 2) | (colour & 1) << 2 | (colour & 4) >> 2; }

// One SGR parameter applied to `attribute`; false for one this console
// does not take.
bool Sgr(unsigned p, uint16_t defaults, uint16_t& attribute) {
    unsigned mask = 0x0F, colour;
    if (p == 0) {
        mask = 0xFFFF;
        colour = defaults;
    } else if (p == 39) {
        colour = defaults & 0x0Fu;
    } else if (p >= 30 && p <= 37) {
        colour = FromAnsi(p - 30);
    } else if (p >= 90 && p <= 97) {
        colour = FromAnsi(p - 90) | 0x08u;
    } else if (p == 49) {
        mask = 0xF0;
        colour = defaults & 0xF0u;
    } else if (p >= 40 && p <= 47) {
        mask = 0xF0;
        colour = FromAnsi(p - 40) << 4;
    } else if (p >= 100 && p <= 107) {
        mask = 0xF0;
        colour = (FromAnsi(p - 100) | 0x08u) << 4;
    } else {
        return false;
    }
    attribute = static_cast<uint16_t>((attribute & ~mask) | colour);
    return true;
}

}  // namespace

// The escape sequence that begins at text[i], an ESC, in virtual-terminal
// mode: `ESC [ params m` sets the current attribute, `ESC [ # {` pushes it
// and `ESC [ # }` pops it, `ESC [ K` blanks the cursor's row from the cursor
// on in the current attribute, `ESC [ n A` moves the cursor up n rows, no
// higher than the window's top, and `ESC [ n G` to column n; a move drops a
// pending wrap. Applied, with `i` moved past it, when it is one of these
// whole within the write; otherwise nothing happens and false is returned.
bool Console::Sequence(const std::vector<uint32_t>& text, size_t& i) {
    const size_t count = text.size();
    size_t j = i + 1;
    if (j >= count || text[j] != '[') return false;
    ++j;
    if (j < count && text[j] == 'K') {
        EraseToRowEnd();
        i = j + 1;
        return true;
    }
    if (j + 1 < count && text[j] == '#' && (text[j + 1] == '{' || text[j + 1] == '}')) {
        if (text[j + 1] == '{') {
            if (pushes_ == std::size(pushed_)) {
                std::copy(std::begin(pushed_) + 1, std::end(pushed_), std::begin(pushed_));
                --pushes_;
            }
            pushed_[pushes_++] = ownAttribute_;
        } else if (pushes_ > 0) {
            ownAttribute_ = pushed_[--pushes_];
        }
        i = j + 2;
        return true;
    }
    return CursorOrColours(text, j, i);
}

// `ESC [ n A`, `ESC [ n G` or a colour sequence from its parameters at `j`.
bool Console::CursorOrColours(const std::vector<uint32_t>& text, size_t j, size_t& i) {
    const size_t count = text.size();
    uint16_t attribute = ownAttribute_;
    for (bool first = true;; ++j, first = false) {
        unsigned parameter = 0;  // an empty one is 0; a long one is held at 1000
        for (; j < count && text[j] >= '0' && text[j] <= '9'; ++j) {
            parameter = std::min(parameter * 10 + (text[j] - '0'), 1000u);
        }
        if (j == count) return false;
        if (first && (text[j] == 'A' || text[j] == 'G')) {
            MoveCursor(text[j], static_cast<int>(std::max(parameter, 1u)));
            i = j + 1;
            return true;
        }
        if (text[j] != ';' && text[j] != 'm') return false;
        if (!Sgr(parameter, defaultAttribute_, attribute)) return false;
        if (text[j] == 'm') break;
    }
    ownAttribute_ = attribute;
    i = j + 1;
    return true;
}

void Console::MoveCursor(uint32_t how, int n) {
    wrapPending_ = false;
    if (how == 'A') {
        cursor_.Y = static_cast<int16_t>(std::max(cursor_.Y - n, windowTop_));
    } else {
        cursor_.X = static_cast<int16_t>(std::min(n, width_) - 1);
    }
}

void Console::EraseToRowEnd() {
    for (int x = cursor_.X; x < width_; ++x)
        cells_[Index(x, cursor_.Y)] = Cell{' ', ownAttribute_, 0, 0};
}

// Virtual-terminal output, once the bytes are characters: escape
// sequences, controls and text.
void Console::ShowVirtualTerminal(const std::vector<uint32_t>& text) {
    for (size_t i = 0; i < text.size();) {
        if (text[i] == 0x1B && Sequence(text, i)) continue;
        ShowCharacter(text[i++]);
    }
}

bool IsWide(uint32_t c) { return DisplayWidth(c) == 2; }

bool IsDoubleByte(uint32_t codePage) {
    return codePage == 932 || codePage == 936 || codePage == 949 || codePage == 950;
}

namespace {

constexpr uint32_t kUnpaired = 0xFFFFFFFF;

// The code point at `i`, `i` moved past it; kUnpaired for a surrogate alone.
uint32_t NextCodePoint(const std::u16string& units, size_t& i) {
    const uint32_t c = units[i++];
    if (c < 0xD800 || c >= 0xE000) return c;
    if (c >= 0xDC00 || i == units.size() || units[i] < 0xDC00 || units[i] >= 0xE000) {
        return kUnpaired;
    }
    return 0x10000 + ((c - 0xD800) << 10) + (units[i++] - 0xDC00u);
}

// What Windows puts for a character the code page lacks.
char Lacking(uint32_t c, bool bestFit) {
    if (!bestFit) return '?';
    return c == 0xFF02 ? '"' : c == 0x3000 ? ' ' : c == 0x221E ? '8' : '?';
}

std::string InCodePage(iconv_t to, uint32_t c, bool bestFit) {
    if (c == kUnpaired) return "?";
    char in[4] = {static_cast<char>(c), static_cast<char>(c >> 8), static_cast<char>(c >> 16), 0};
    char bytes[8];
    char *from = in, *into = bytes;
    size_t left = sizeof in, room = sizeof bytes;
    iconv(to, nullptr, nullptr, nullptr, nullptr);
    if (iconv(to, &from, &left, &into, &room) == static_cast<size_t>(-1)) {
        return std::string(1, Lacking(c, bestFit));
    }
    return std::string(bytes, into);
}

}  // namespace

std::string Encode(uint32_t codePage, const std::u16string& units, bool bestFit) {
    std::string out;
    if (codePage == platform::CP_UTF8) {
        for (size_t i = 0; i < units.size();) {
            const uint32_t c = NextCodePoint(units, i);
            out += Utf8(c == kUnpaired ? 0xFFFD : c);
        }
        return out;
    }
    const std::string name = codePage == 936   ? "GBK"
                             : codePage == 950 ? "BIG5"
                                               : "CP" + std::to_string(codePage);
    iconv_t to = iconv_open(name.c_str(), "UTF-32LE");
    if (to == reinterpret_cast<iconv_t>(-1)) {  // NOLINT(performance-no-int-to-ptr)
        fprintf(stderr, "iconv cannot write %s\n", name.c_str());
        abort();
    }
    for (size_t i = 0; i < units.size();) out += InCodePage(to, NextCodePoint(units, i), bestFit);
    iconv_close(to);
    return out;
}

namespace {

// What iconv makes of one byte or two in a code page, asked once each.
class DoubleByteDecoder {
  public:
    static constexpr uint32_t kUnknown = 0xFFFFFFFF;

    explicit DoubleByteDecoder(uint32_t codePage)
        : name_(codePage == 932   ? "CP932"
                : codePage == 936 ? "GBK"
                : codePage == 949 ? "CP949"
                                  : "BIG5"),
          iconv_(iconv_open("UTF-32LE", name_)),
          single_(256, kUnknown),
          pairs_(65536, kUnknown) {
        // iconv_open says it failed with (iconv_t) -1.
        if (iconv_ == reinterpret_cast<iconv_t>(-1)) {  // NOLINT(performance-no-int-to-ptr)
            fprintf(stderr, "iconv cannot read %s\n", name_);
            abort();
        }
    }

    // A byte alone: its code point, kLeadAtTheEnd when it begins a pair.
    uint32_t Single(unsigned char byte) {
        uint32_t& known = single_[byte];
        if (known == kUnknown) known = Convert(&byte, 1);
        return known;
    }
    uint32_t Pair(unsigned char lead, unsigned char trail) {
        uint32_t& known = pairs_[static_cast<size_t>(lead) << 8 | trail];
        const unsigned char bytes[2] = {lead, trail};
        if (known == kUnknown) known = Convert(bytes, 2);
        return known == kLeadAtTheEnd ? 0xFFFD : known;
    }

  private:
    uint32_t Convert(const unsigned char* bytes, size_t count) {
        iconv(iconv_, nullptr, nullptr, nullptr, nullptr);
        char in[2] = {static_cast<char>(bytes[0]), static_cast<char>(count > 1 ? bytes[1] : 0)};
        unsigned char out[8] = {};
        char* from = in;
        char* to = reinterpret_cast<char*>(out);
        size_t left = count, room = sizeof out;
        if (iconv(iconv_, &from, &left, &to, &room) == static_cast<size_t>(-1)) {
            return errno == EINVAL ? kLeadAtTheEnd : 0xFFFD;
        }
        if (room != 4) return 0xFFFD;  // not exactly one character
        return uint32_t{out[0]} | uint32_t{out[1]} << 8 | uint32_t{out[2]} << 16 |
               uint32_t{out[3]} << 24;
    }

    const char* name_;
    iconv_t iconv_;
    std::vector<uint32_t> single_;
    std::vector<uint32_t> pairs_;
};

DoubleByteDecoder& DecoderFor(uint32_t codePage) {
    static DoubleByteDecoder japanese(932), chinese(936), korean(949), traditional(950);
    return codePage == 932   ? japanese
           : codePage == 936 ? chinese
           : codePage == 949 ? korean
                             : traditional;
}

}  // namespace

uint32_t DecodeDoubleByte(uint32_t codePage, const unsigned char* text, size_t count, size_t& i) {
    if (text[i] < 0x80) return text[i++];
    DoubleByteDecoder& decoder = DecoderFor(codePage);
    const uint32_t alone = decoder.Single(text[i]);
    if (alone != kLeadAtTheEnd) {
        ++i;
        return alone;
    }
    if (i + 1 == count) return kLeadAtTheEnd;
    // No byte below 0x40 ends a character of two: the lead byte makes
    // none, and the byte after it is read afresh.
    if (text[i + 1] < 0x40) {
        ++i;
        return 0xFFFD;
    }
    i += 2;
    return decoder.Pair(text[i - 2], text[i - 1]);
}

std::string Continued(uint32_t codePage, const std::string& held, const std::string& bytes) {
    if (held.empty() || bytes.empty()) return held + bytes;
    const unsigned char next = static_cast<unsigned char>(bytes[0]);
    bool goesOn = next >= 0x40;
    if (codePage == platform::CP_UTF8) {
        const std::string two = held + bytes.substr(0, 1);
        const unsigned char* joined = reinterpret_cast<const unsigned char*>(two.data());
        size_t i = 0;
        goesOn = Utf8Unfinished(joined, two.size()) == two.size() ||
                 (DecodeUtf8(joined, two.size(), i) != 0xFFFD && i == two.size());
    }
    return goesOn ? held + bytes : bytes;
}

// The bytes of a write as the console reads them, through the code page
// into characters, before anything acts on them. Windows' console host
// keeps what ends a write unfinished, a lead byte or the first bytes of a
// UTF-8 character, for the next write (Continued). Wine keeps nothing:
// there the unfinished character shows as U+FFFD. In a single-byte code
// page every byte is a character of its own.
void Console::Decode(const unsigned char* bytes, size_t count, std::vector<uint32_t>& text) {
    const bool keeps = layout_ == Layout::kConsoleHost;
    const bool utf8 = codePage_ == platform::CP_UTF8;
    const bool doubleByte = IsDoubleByte(codePage_);
    std::string all =
        Continued(codePage_, held_, std::string(reinterpret_cast<const char*>(bytes), count));
    held_.clear();
    const unsigned char* in = reinterpret_cast<const unsigned char*>(all.data());
    size_t end = all.size();
    if (keeps && utf8) {
        const size_t unfinished = Utf8Unfinished(in, end);
        held_ = all.substr(end - unfinished);
        end -= unfinished;
    }
    text.clear();
    for (size_t i = 0; i < end;) {
        if (utf8) {
            text.push_back(DecodeUtf8(in, end, i));
        } else if (doubleByte) {
            uint32_t c = DecodeDoubleByte(codePage_, in, end, i);
            if (c == kLeadAtTheEnd) {
                if (keeps) {
                    held_ = all.substr(i);
                    return;
                }
                c = 0xFFFD;
                ++i;
            }
            text.push_back(c);
        } else {
            text.push_back(in[i++]);
        }
    }
}

uint32_t DecodeUtf8(const unsigned char* text, size_t count, size_t& i) {
    const unsigned char lead = text[i++];
    if (lead < 0x80) return lead;
    size_t more = lead >= 0xF0 ? 3 : lead >= 0xE0 ? 2 : 1;
    uint32_t c = lead & (0x3F >> more);
    const uint32_t least[] = {0, 0x80, 0x800, 0x10000};
    if (lead < 0xC2 || lead > 0xF4 || i + more > count) return 0xFFFD;
    for (size_t k = 0; k < more; ++k) {
        if ((text[i + k] & 0xC0) != 0x80) return 0xFFFD;
        c = c << 6 | (text[i + k] & 0x3F);
    }
    if (c < least[more] || c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF)) return 0xFFFD;
    i += more;
    return c;
}

namespace {

// Whether `c` can be the byte `k` places after a UTF-8 lead byte: the
// second's range rules out overlong forms, surrogates and code points past
// U+10FFFF.
bool GoesOnAt(unsigned char lead, size_t k, unsigned char c) {
    const bool second = k == 1;
    const unsigned char low = second && lead == 0xE0 ? 0xA0 : second && lead == 0xF0 ? 0x90 : 0x80;
    const unsigned char high = second && lead == 0xED ? 0x9F : second && lead == 0xF4 ? 0x8F : 0xBF;
    return c >= low && c <= high;
}

}  // namespace

size_t Utf8Unfinished(const unsigned char* text, size_t count) {
    for (size_t back = 1; back <= 3 && back <= count; ++back) {
        const size_t start = count - back;
        const unsigned char lead = text[start];
        if (lead >= 0x80 && lead < 0xC0) continue;
        const size_t length = lead >= 0xF0 ? 4 : lead >= 0xE0 ? 3 : 2;
        if (lead < 0xC2 || lead > 0xF4 || length <= back) return 0;
        for (size_t k = 1; k < back; ++k) {
            if (!GoesOnAt(lead, k, text[start + k])) return 0;
        }
        return back;
    }
    return 0;
}

std::string Utf8(uint32_t c) {
    std::string out;
    if (c < 0x80) {
        out += static_cast<char>(c);
    } else if (c < 0x800) {
        out += static_cast<char>(0xC0 | c >> 6);
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
        out += static_cast<char>(0xE0 | c >> 12);
        out += static_cast<char>(0x80 | (c >> 6 & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | c >> 18);
        out += static_cast<char>(0x80 | (c >> 12 & 0x3F));
        out += static_cast<char>(0x80 | (c >> 6 & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    }
    return out;
}

// A combining mark joins the character last written before the cursor, a
// wide character's first cell. At column 0 there is none, and the mark
// takes a cell of its own; so it does after a pending wrap, which any
// character, even one of no width, carries out first.
void Console::Join(uint32_t mark) {
    if (cursor_.X == 0 || wrapPending_) {
        Put(mark);
        return;
    }
    int x = cursor_.X - 1;
    if (x > 0 && cells_[Index(x, cursor_.Y)].character == kSecondHalf) --x;
    Cell& cell = cells_[Index(x, cursor_.Y)];
    if (cell.marks == 0) {
        marks_.resize(cells_.size());
        marks_[Index(x, cursor_.Y)] = mark;
    }
    if (cell.marks < UINT16_MAX) ++cell.marks;
}

// A decoded character: Wine gives each UTF-16 code unit a cell, so a
// character beyond U+FFFF takes two, split across rows if need be; the
// console host keeps a wide character's two cells on one row, leaving the
// last cell blank when only one is left, and gives a combining mark (a
// character of no width that is no control) none.
void Console::ShowCharacter(uint32_t c) {
    const bool bytes = codePage_ != platform::CP_UTF8 && !IsDoubleByte(codePage_);
    if (c < 0x80) {
        if (VirtualTerminal()) {
            Act(static_cast<unsigned char>(c));
        } else {
            Show(static_cast<unsigned char>(c));
        }
    } else if (bytes) {
        Put(c);
    } else if (layout_ == Layout::kWine) {
        Put(c);
        if (c > 0xFFFF) Put(kSecondHalf);
    } else if (!IsWide(c)) {
        if (c >= 0xA0 && DisplayWidth(c) == 0) {
            Join(c);
        } else {
            Put(c);
        }
    } else {
        if (!wrapPending_ && cursor_.X + 1 == width_) Put(' ');
        Put(c);
        Put(kSecondHalf);
    }
}

platform::HANDLE Console::GetStdHandle(platform::DWORD which) {
    Call& call = Log(Op::GetStdHandle, kOutputHandle);
    call.value = which;
    Report(call);
    return which == platform::STD_OUTPUT_HANDLE ? kOutputHandle : nullptr;
}

bool Console::GetConsoleScreenBufferInfo(platform::HANDLE handle,
                                         platform::CONSOLE_SCREEN_BUFFER_INFO* info) {
    Call& call = Log(Op::GetConsoleScreenBufferInfo, handle);
    call.cursor = cursor_;
    Report(call);
    if (!IsConsole(handle)) return false;
    int16_t w = static_cast<int16_t>(width_), h = static_cast<int16_t>(height_);
    info->dwSize = {w, h};
    info->dwCursorPosition = cursor_;
    info->wAttributes = ownAttribute_;
    info->srWindow = {0, static_cast<int16_t>(windowTop_), static_cast<int16_t>(w - 1),
                      static_cast<int16_t>(h - 1)};
    info->dwMaximumWindowSize = {w, h};
    return true;
}

bool Console::WriteConsoleA(platform::HANDLE handle, const void* buffer, platform::DWORD count,
                            platform::DWORD* written, void* reserved) {
    Call& call = Log(Op::WriteConsoleA, handle);
    call.reservedPointer = reserved != nullptr;
    const unsigned char* bytes = static_cast<const unsigned char*>(buffer);
    if (observer_ == nullptr) call.bytes.assign(bytes, bytes + count);
    bytesWritten_ += count;
    const bool console = IsConsole(handle);
    if (console) {
        static std::vector<uint32_t> text;
        Decode(bytes, count, text);
        if (VirtualTerminal()) {
            ShowVirtualTerminal(text);
        } else {
            for (uint32_t c : text) ShowCharacter(c);
        }
        call.cursor = cursor_;
        *written = count;
    }
    Report(call, buffer, count);
    return console;
}

bool Console::WriteConsoleOutputAttribute(platform::HANDLE handle, const platform::WORD* attributes,
                                          platform::DWORD length, platform::COORD start,
                                          platform::DWORD* written) {
    Call& call = Log(Op::WriteConsoleOutputAttribute, handle);
    if (observer_ == nullptr) call.attributes.assign(attributes, attributes + length);
    call.coord = start;
    call.cursor = cursor_;
    Report(call, attributes, length);
    if (!IsConsole(handle)) return false;
    // Clipped at the end of the buffer; a start outside it writes nothing.
    // A pseudo-console writes each cell back as one UTF-16 code unit.
    platform::DWORD done = 0;
    if (start.X >= 0 && start.X < width_ && start.Y >= 0 && start.Y < height_) {
        size_t cell = static_cast<size_t>(start.Y) * static_cast<size_t>(width_) +
                      static_cast<size_t>(start.X);
        for (; done < length && cell < cells_.size(); ++done, ++cell) {
            Cell& at = cells_[Index(static_cast<int>(cell % static_cast<size_t>(width_)),
                                    static_cast<int>(cell / static_cast<size_t>(width_)))];
            at.attribute = attributes[done];
            if (pseudoConsole_ && at.character != kSecondHalf &&
                (at.character > 0xFFFF || at.marks != 0)) {
                at.character = 0xFFFD;
                at.marks = 0;
            }
        }
    }
    *written = done;
    return true;
}

bool Console::ReadConsoleOutputAttribute(platform::HANDLE handle, platform::WORD* attributes,
                                         platform::DWORD length, platform::COORD start,
                                         platform::DWORD* read) {
    Call& call = Log(Op::ReadConsoleOutputAttribute, handle);
    call.value = length;
    call.coord = start;
    call.cursor = cursor_;
    Report(call);
    if (!IsConsole(handle)) return false;
    platform::DWORD done = 0;
    if (start.X >= 0 && start.X < width_ && start.Y >= 0 && start.Y < height_) {
        const size_t first = static_cast<size_t>(start.Y) * static_cast<size_t>(width_) +
                             static_cast<size_t>(start.X);
        for (; done < length && first + done < cells_.size(); ++done) {
            const size_t cell = first + done;
            attributes[done] = At(static_cast<int>(cell % static_cast<size_t>(width_)),
                                  static_cast<int>(cell / static_cast<size_t>(width_)))
                                   .attribute;
        }
    }
    *read = done;
    return true;
}

// A file or a pipe takes the bytes; a console handle is no file here, so
// that a program that writes to the wrong one is seen to lose its text.
bool Console::WriteFile(platform::HANDLE handle, const void* buffer, platform::DWORD count,
                        platform::DWORD* written, void* overlapped) {
    Call& call = Log(Op::WriteFile, handle);
    call.reservedPointer = overlapped != nullptr;
    const char* bytes = static_cast<const char*>(buffer);
    if (observer_ == nullptr) call.bytes.assign(bytes, bytes + count);
    Report(call, buffer, count);
    if (handle != kOutputHandle || !redirected_) return false;
    if (observer_ == nullptr) written_.append(bytes, count);
    *written = count;
    return true;
}

namespace {

bool SameName(const std::string& a, const std::string& b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i) {
        if (tolower(static_cast<unsigned char>(a[i])) != tolower(static_cast<unsigned char>(b[i])))
            return false;
    }
    return true;
}

}  // namespace

void Console::SetEnvironmentVariable(const std::string& name, const std::string& value) {
    for (auto& variable : environment_) {
        if (SameName(variable.first, name)) {
            variable.second = value;
            return;
        }
    }
    environment_.emplace_back(name, value);
}

platform::DWORD Console::GetEnvironmentVariableA(const char* name, char* buffer,
                                                 platform::DWORD size) {
    for (const auto& variable : environment_) {
        if (!SameName(variable.first, name)) continue;
        const std::string& value = variable.second;
        if (value.size() < size) {
            std::copy(value.begin(), value.end(), buffer);
            buffer[value.size()] = '\0';
            return static_cast<platform::DWORD>(value.size());
        }
        if (size >= 2) std::copy_n("0", 2, buffer);
        return static_cast<platform::DWORD>(value.size() + 1);
    }
    return 0;
}

platform::DWORD Console::GetConsoleOutputCP() {
    Report(Log(Op::GetConsoleOutputCP, kOutputHandle));
    return codePage_;
}

bool Console::GetConsoleMode(platform::HANDLE handle, platform::DWORD* mode) {
    Report(Log(Op::GetConsoleMode, handle));
    if (!IsConsole(handle)) return false;
    *mode = mode_;
    return true;
}

bool Console::SetConsoleMode(platform::HANDLE handle, platform::DWORD mode) {
    Call& call = Log(Op::SetConsoleMode, handle);
    call.value = mode;
    Report(call);
    if (!IsConsole(handle)) return false;
    if ((mode & ~0x1Fu) != 0) return false;
    if ((mode & platform::ENABLE_VIRTUAL_TERMINAL_PROCESSING) != 0 && !takesVirtualTerminal_ &&
        layout_ != Layout::kWine) {
        return false;
    }
    mode_ = mode;
    return true;
}

bool Console::SetConsoleCtrlHandler(HandlerRoutine handler, bool add) {
    Report(Log(Op::SetConsoleCtrlHandler, kOutputHandle));
    if (add) handler_ = handler;
    return true;
}

bool Console::Ended() {
    if (stopAt_ != 0 && callCount_ + 1 >= stopAt_) {
        stopAt_ = 0;
        if (handler_ == nullptr || handler_(stopEvent_) == 0) ended_ = true;
    }
    return ended_;
}

platform::DWORD Console::GetTerminalWidth(platform::HANDLE handle) {
    Report(Log(Op::GetTerminalWidth, handle));
    return handle == kOutputHandle ? static_cast<platform::DWORD>(terminalWidth_) : 0;
}

const char* Console::GetCommandLineA() {
    Report(Log(Op::GetCommandLineA, kOutputHandle));
    return commandLine_.data();
}

const uint16_t* Console::GetCommandLineW() {
    Report(Log(Op::GetCommandLineW, kOutputHandle));
    return reinterpret_cast<const uint16_t*>(wideCommandLine_.c_str());
}

int Console::WideCharToMultiByte(platform::DWORD codePage, platform::DWORD flags,
                                 const uint16_t* wide, int units, char* bytes, int size) {
    Call& call = Log(Op::WideCharToMultiByte, kOutputHandle);
    call.value = codePage;
    call.flags = flags;
    Report(call);
    if (codePage == platform::CP_OEMCP) codePage = 437;
    // The rules of Windows, which Wine does not keep.
    const platform::DWORD allowed = codePage == platform::CP_UTF8 ? 0x80
                                    : platform::NoBestFitFlags(codePage) == 0
                                        ? 0
                                        : platform::WC_NO_BEST_FIT_CHARS;
    if ((flags & ~allowed) != 0 || units == 0) return 0;
    size_t count = static_cast<size_t>(units);
    if (units < 0) {
        for (count = 1; wide[count - 1] != 0;) ++count;
    }
    const std::string out = Encode(codePage, std::u16string(wide, wide + count),
                                   (flags & platform::WC_NO_BEST_FIT_CHARS) == 0);
    if (out.size() > static_cast<size_t>(size)) return 0;
    std::copy(out.begin(), out.end(), bytes);
    return static_cast<int>(out.size());
}

// Says so on standard error, so that a test that runs the process entry in
// a child process can see that the process ended here.
void Console::ExitProcess(unsigned code) {
    Log(Op::ExitProcess, kOutputHandle).value = code;
    fprintf(stderr, "%s\n", Describe(calls_.back()).c_str());
    exit(static_cast<int>(code));
}

Console& TheConsole() {
    static Console console;
    return console;
}

}  // namespace simulated

// The backend's side, as the Windows backend has it: the mode it changed and
// gives back, also from the stop handler, and Wine's console told apart
// (there by the layout), whose virtual-terminal flag is not reported and
// not set. A call after the process has ended is not made.
namespace {

using simulated::TheConsole;

// The mode the backend changed and is to give back.
platform::HANDLE switchedHandle;
platform::DWORD modeBefore;
bool switched;

void GiveModeBack() {
    if (switched) TheConsole().SetConsoleMode(switchedHandle, modeBefore);
    switched = false;
}

platform::BOOL OnStop(platform::DWORD) {
    GiveModeBack();
    return 0;
}

bool Ended() { return TheConsole().Ended(); }

}  // namespace

void simulated::ForgetSwitchedMode() { switched = false; }

namespace platform {

HANDLE GetStdHandle(DWORD nStdHandle) {
    return Ended() ? nullptr : TheConsole().GetStdHandle(nStdHandle);
}

BOOL GetConsoleScreenBufferInfo(HANDLE hConsoleOutput, CONSOLE_SCREEN_BUFFER_INFO* info) {
    if (Ended()) return 0;
    return TheConsole().GetConsoleScreenBufferInfo(hConsoleOutput, info) ? 1 : 0;
}

BOOL WriteConsoleA(HANDLE hConsoleOutput, const void* buffer, DWORD count, DWORD* written,
                   void* reserved) {
    if (Ended()) return 0;
    return TheConsole().WriteConsoleA(hConsoleOutput, buffer, count, written, reserved) ? 1 : 0;
}

BOOL WriteConsoleOutputAttribute(HANDLE hConsoleOutput, const WORD* attributes, DWORD length,
                                 COORD writeCoord, DWORD* written) {
    if (Ended()) return 0;
    return TheConsole().WriteConsoleOutputAttribute(hConsoleOutput, attributes, length, writeCoord,
                                                    written)
               ? 1
               : 0;
}

BOOL ReadConsoleOutputAttribute(HANDLE hConsoleOutput, WORD* attributes, DWORD length,
                                COORD readCoord, DWORD* read) {
    if (Ended()) return 0;
    return TheConsole().ReadConsoleOutputAttribute(hConsoleOutput, attributes, length, readCoord,
                                                   read)
               ? 1
               : 0;
}

BOOL WriteFile(HANDLE hFile, const void* buffer, DWORD count, DWORD* written, void* overlapped) {
    if (Ended()) return 0;
    return TheConsole().WriteFile(hFile, buffer, count, written, overlapped) ? 1 : 0;
}

DWORD GetConsoleOutputCP() { return Ended() ? 0 : TheConsole().GetConsoleOutputCP(); }

BOOL GetConsoleMode(HANDLE hConsoleHandle, DWORD* mode) {
    if (Ended() || !TheConsole().GetConsoleMode(hConsoleHandle, mode)) return 0;
    if (TheConsole().OnWine()) *mode &= ~ENABLE_VIRTUAL_TERMINAL_PROCESSING;
    return 1;
}

bool KeepsUnfinishedCharacters() { return !TheConsole().OnWine(); }

BOOL TurnOnVirtualTerminal(HANDLE handle, DWORD mode) {
    if (Ended() || TheConsole().OnWine()) return 0;
    switchedHandle = handle;
    modeBefore = mode;
    switched = false;
    TheConsole().SetConsoleCtrlHandler(OnStop, true);
    if (Ended()) return 0;
    switched = TheConsole().SetConsoleMode(handle, mode | ENABLE_VIRTUAL_TERMINAL_PROCESSING);
    return switched ? 1 : 0;
}

void RestoreConsoleMode() {
    if (!Ended()) GiveModeBack();
}

DWORD GetEnvironmentVariableA(Variable variable, char* buffer, DWORD size) {
    const char* const names[] = {"NO_COLOR", "FORCE_COLOR", "CLICOLOR_FORCE"};
    if (Ended()) return 0;
    return TheConsole().GetEnvironmentVariableA(names[static_cast<int>(variable)], buffer, size);
}

DWORD GetTerminalWidth(HANDLE handle) {
    return Ended() ? 0 : TheConsole().GetTerminalWidth(handle);
}
extern const bool kHasTerminals = true;

const char* GetCommandLineA() {
    if (Ended()) return "";
    simulated::Console& console = TheConsole();
    return console.Typed() ? EncodeCommandLine() : console.GetCommandLineA();
}

const uint16_t* GetCommandLineW() { return TheConsole().GetCommandLineW(); }

int WideCharToMultiByte(DWORD codePage, DWORD flags, const uint16_t* wide, int units, char* bytes,
                        int size) {
    return TheConsole().WideCharToMultiByte(codePage, flags, wide, units, bytes, size);
}

void ExitProcess(unsigned exitCode) {
    if (Ended()) exit(static_cast<int>(exitCode));
    TheConsole().ExitProcess(exitCode);
    abort();
}

}  // namespace platform
