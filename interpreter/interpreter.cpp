#include "interpreter/interpreter.h"

#include "console/console_writer.h"
#include "interpreter/command_line.h"
#include "interpreter/usage.h"

namespace {

bool IsDigit(unsigned char c) { return c >= '0' && c <= '9'; }

// Each reader below starts just past the character that chose it, leaves
// the position on the first character it did not consume, and returns false
// when the run is to end there.

// A slash and two characters, or a slash, one character and a blank.
bool ReadColourSwitch(const unsigned char*& position, ConsoleWriter& writer) {
    // Text gathered so far keeps the attribute it was gathered under, even
    // when the switch turns out to be incomplete.
    writer.FlushPending();
    unsigned char first = *position;
    if (first == '\0') return false;
    ++position;
    unsigned char second = *position;
    if (second == '\0') return false;
    ++position;
    uint8_t value = HexDigitValue(first);
    if (second != ' ') value = static_cast<uint8_t>(value * 16 + HexDigitValue(second));
    writer.SetAttribute(value);
    return true;
}

// Inside the quotes every byte is taken as it is; "" stands for one quote.
// The bytes up to the next quote go in as one piece: the cost of a long
// string is then a scan and a copy.
bool ReadQuotedString(const unsigned char*& position, ConsoleWriter& writer) {
    const unsigned char* piece = position;
    for (;;) {
        while (*position != '"' && *position != '\0') ++position;
        writer.AppendBytes(piece, static_cast<uint32_t>(position - piece));
        if (*position == '\0') return false;
        ++position;
        if (*position != '"') return true;
        // The second quote of a pair is text, and begins the next piece.
        piece = position++;
    }
}

// A decimal code, or a code, '*', 'X' or 'x' and a repeat count.
bool ReadCharacterCode(const unsigned char*& position, unsigned char first, ConsoleWriter& writer) {
    Decimal number = ReadDecimal(position, first);
    uint8_t code = static_cast<uint8_t>(number.value);
    unsigned char t = number.terminator;
    if (t == '*' || (t | 0x20) == 'x') {
        ++position;
        unsigned char digit = *position;
        if (!IsDigit(digit)) return false;
        ++position;
        writer.AppendRepeated(code, ReadDecimal(position, digit).value);
        return true;
    }
    if (code >= 0x20) {
        writer.Append(code);
    } else if (code == '\t') {
        writer.AppendTab();
    } else {
        writer.WriteDirect(code);
    }
    return true;
}

// The reply when the argument text is one of the requests, or null. A
// normal command line costs a few byte comparisons here, no console call.
const unsigned char* ReplyTo(const unsigned char* argumentText) {
    for (uint32_t i = 0; i < kRequestCount; ++i) {
        if (IsWholeArgumentText(argumentText, kRequests[i].word)) {
            return reinterpret_cast<const unsigned char*>(kRequests[i].reply);
        }
    }
    return nullptr;
}

// As the token language prints it: text goes out in runs, in the initial
// colour; a control byte is written directly, as the code 10 would be.
void WriteReply(const unsigned char* text, ConsoleWriter& writer) {
    for (; *text != '\0'; ++text) {
        if (*text < 0x20) {
            writer.WriteDirect(*text);
        } else {
            writer.Append(*text);
        }
    }
}

}  // namespace

uint8_t HexDigitValue(unsigned char c) {
    uint8_t v = static_cast<uint8_t>(c - 0x30);
    if (v <= 9) return v;
    v = static_cast<uint8_t>(v - 7);
    if (v <= 15) return v;
    return static_cast<uint8_t>(v - 0x20);
}

Decimal ReadDecimal(const unsigned char*& position, unsigned char first) {
    uint16_t value = static_cast<uint16_t>(first - '0');
    while (IsDigit(*position)) {
        value = static_cast<uint16_t>(value * 10 + (*position - '0'));
        ++position;
    }
    return Decimal{value, *position};
}

int RunCommandLine() {
    // Static: 8 KB of pending storage is more than one stack page.
    static ConsoleWriter writer;
    writer.Open();
    const unsigned char* position = FindArgumentText();
    if (const unsigned char* reply = ReplyTo(position)) {
        WriteReply(reply, writer);
        writer.Close();
        return 0;
    }
    for (;;) {
        position = SkipBlanks(position);
        unsigned char c = *position;
        if (c == '\0') break;
        ++position;
        bool more;
        if (c == '/') {
            more = ReadColourSwitch(position, writer);
        } else if (c == '"') {
            more = ReadQuotedString(position, writer);
        } else if (IsDigit(c)) {
            more = ReadCharacterCode(position, c, writer);
        } else {
            more = false;
        }
        if (!more) break;
    }
    writer.Close();
    return 0;
}
