// Command lines as long as a process can be given, filled with one kind of
// token each: every byte must reach the console, in as few calls as the
// writer's design allows, coloured as it was gathered.
#include <gtest/gtest.h>

#include "tests/long_command_lines.h"
#include "tests/simulated_run.h"

namespace {

using long_command_lines::Filled;
using long_command_lines::Letters;
using long_command_lines::Repeats;
using simulated::Console;
using simulated::Op;
using testing_support::CheckRunInvariants;
using testing_support::FreshConsole;

constexpr size_t kRunStorage = 4096;  // text bytes that go out in one write

struct Write {
    bool direct;
    uint16_t attribute;  // of every cell of a flush
    std::string bytes;
};

// The writes a run is expected to make: each run of equally coloured text
// in flushes of at most kRunStorage bytes, each control code alone.
class Writes {
  public:
    Writes& Run(const std::string& text, uint16_t attribute) {
        for (size_t at = 0; at < text.size(); at += kRunStorage) {
            writes_.push_back(Write{false, attribute, text.substr(at, kRunStorage)});
            text_ += writes_.back().bytes;
            attributes_.append(writes_.back().bytes.size(), static_cast<char>(attribute));
        }
        return *this;
    }
    Writes& Direct(unsigned char byte) {
        writes_.push_back(Write{true, 0, std::string(1, static_cast<char>(byte))});
        return *this;
    }
    // Six calls to start (the mode asked, and refused); three per flush
    // (write, read the cursor back, recolour); two per control code (write,
    // read the cursor back).
    size_t Calls() const {
        size_t calls = 6;
        for (const Write& w : writes_) calls += w.direct ? 2 : 3;
        return calls;
    }
    const std::vector<Write>& List() const { return writes_; }
    const std::string& Text() const { return text_; }
    // One attribute per byte of Text().
    const std::string& Attributes() const { return attributes_; }

  private:
    std::vector<Write> writes_;
    std::string text_;
    std::string attributes_;
};

// Reads the log back as writes. A flush must recolour exactly the cells of
// its text from the cursor read before it (the consoles here are large
// enough never to scroll under text), with one attribute.
std::string ReadWrites(const Console& console, std::vector<Write>& writes) {
    const std::vector<simulated::Call>& calls = console.Calls();
    platform::COORD cursor = {0, 0};
    for (size_t i = 6; i < calls.size(); ++i) {
        const std::string at = "call " + std::to_string(i) + ": ";
        if (calls[i].op == Op::GetConsoleScreenBufferInfo) {
            cursor = calls[i].cursor;
            continue;
        }
        if (calls[i].op != Op::WriteConsoleA || i + 1 >= calls.size() ||
            calls[i + 1].op != Op::GetConsoleScreenBufferInfo) {
            return at + "expected a write and the cursor read back";
        }
        const std::string& bytes = calls[i].bytes;
        if (i + 2 >= calls.size() || calls[i + 2].op != Op::WriteConsoleOutputAttribute) {
            if (bytes.size() != 1) return at + "a write of several bytes is not recoloured";
            writes.push_back(Write{true, 0, bytes});
            cursor = calls[++i].cursor;
            continue;
        }
        const simulated::Call& recolour = calls[i + 2];
        if (recolour.attributes.size() != bytes.size()) return at + "recolours other cells";
        if (recolour.coord.X != cursor.X || recolour.coord.Y != cursor.Y) {
            return at + "recolours from elsewhere than the cursor read before";
        }
        for (uint16_t a : recolour.attributes) {
            if (a != recolour.attributes.front()) return at + "mixes attributes";
        }
        writes.push_back(Write{false, recolour.attributes.front(), bytes});
        cursor = calls[i + 1].cursor;
        i += 2;
    }
    return "";
}

std::string FirstDifference(const std::vector<Write>& got, const std::vector<Write>& want) {
    for (size_t i = 0; i < got.size() && i < want.size(); ++i) {
        const Write& g = got[i];
        const Write& w = want[i];
        if (g.direct != w.direct || g.attribute != w.attribute || g.bytes != w.bytes) {
            return "write " + std::to_string(i) + " differs: " + std::to_string(g.bytes.size()) +
                   " bytes in " + std::to_string(g.attribute) + ", expected " +
                   std::to_string(w.bytes.size()) + " bytes in " + std::to_string(w.attribute);
        }
    }
    if (got.size() != want.size()) {
        return std::to_string(got.size()) + " writes, expected " + std::to_string(want.size());
    }
    return "";
}

struct LongLineCase {
    const char* name;
    std::string commandLine;
    Writes writes;
};

void PrintTo(const LongLineCase& c, std::ostream* os) { *os << c.name; }

class LongestCommandLine : public ::testing::TestWithParam<LongLineCase> {};

// 160,000 cells, more than any of these runs writes, so nothing scrolls and
// cell i of the buffer holds byte i of the text.
constexpr int kSide = 400;

TEST_P(LongestCommandLine, IsWrittenWholeInTheFewestCalls) {
    const LongLineCase& c = GetParam();
    ASSERT_EQ(c.commandLine.size(), long_command_lines::kLongest);
    Console& console = FreshConsole(kSide, kSide, 0, 0, 0x2E);
    console.SetCommandLine(c.commandLine);
    ASSERT_EQ(RunCommandLine(), 0);
    ASSERT_EQ(CheckRunInvariants(console, 0x2E), "");

    EXPECT_EQ(console.Calls().size(), c.writes.Calls());
    std::vector<Write> writes;
    ASSERT_EQ(ReadWrites(console, writes), "");
    EXPECT_EQ(FirstDifference(writes, c.writes.List()), "");

    const std::string& text = c.writes.Text();
    for (size_t i = 0; i < text.size(); ++i) {
        const simulated::Cell& cell =
            console.At(static_cast<int>(i % kSide), static_cast<int>(i / kSide));
        ASSERT_EQ(cell.character, static_cast<unsigned char>(text[i])) << "cell " << i;
        ASSERT_EQ(cell.attribute, static_cast<unsigned char>(c.writes.Attributes()[i]))
            << "cell " << i;
    }
    const size_t after = text.size();
    EXPECT_EQ(
        console.At(static_cast<int>(after % kSide), static_cast<int>(after / kSide)).attribute,
        0x2E);
}

LongLineCase Tabs() {
    // From column 0 every tab is a full 8 blanks.
    return {"TabCodesOnly", Filled("9 "), Writes().Run(std::string(8 * Repeats("9 "), ' '), 0x07)};
}

LongLineCase OneQuotedString() {
    return {"OneQuotedString", long_command_lines::OneString(),
            Writes().Run(Letters(long_command_lines::kLongest - 7), 0x07)};
}

LongLineCase OneStringOfDoubledQuotes() {
    const size_t quotes = (long_command_lines::kLongest - 7) / 2;
    return {"OneStringOfDoubledQuotes", "prog \"" + std::string(2 * quotes, '"') + "\"",
            Writes().Run(std::string(quotes, '"'), 0x07)};
}

LongLineCase DecimalCodes() {
    return {"DecimalCodes", Filled("65 "), Writes().Run(std::string(Repeats("65 "), 'A'), 0x07)};
}

LongLineCase AlternatingColourSwitches() {
    const std::string unit = "/1F\"a\"/2E\"b\"";
    Writes writes;
    for (size_t i = 0; i < Repeats(unit); ++i) writes.Run("a", 0x1F).Run("b", 0x2E);
    return {"AlternatingColourSwitches", Filled(unit), writes};
}

LongLineCase ColourSwitchesAlone() { return {"ColourSwitchesAlone", Filled("/1F/2E"), Writes()}; }

LongLineCase AlternatingControlCodes() {
    Writes writes;
    for (size_t i = 0; i < Repeats("13 10 "); ++i) writes.Direct('\r').Direct('\n');
    return {"AlternatingControlCodes", Filled("13 10 "), writes};
}

INSTANTIATE_TEST_SUITE_P(Kinds, LongestCommandLine,
                         ::testing::Values(Tabs(), OneQuotedString(), OneStringOfDoubledQuotes(),
                                           DecimalCodes(), AlternatingColourSwitches(),
                                           ColourSwitchesAlone(), AlternatingControlCodes()),
                         [](const auto& info) { return std::string(info.param.name); });

// The largest repeat as often as it fits: 3,276 x 65,535 bytes, some 215 MB
// of text in one run, far too much to log, so the log keeps only the last
// flush while the console counts every call and byte.
TEST(LongestCommandLine, LargestRepeatAsOftenAsItFits) {
    const std::string unit = "255*65535 ";
    const uint64_t total = uint64_t{65535} * Repeats(unit);
    const uint64_t flushes = (total + kRunStorage - 1) / kRunStorage;
    Console& console = FreshConsole(120, 3, 0, 0, 0x2E);
    console.LimitLog(3);
    console.SetCommandLine(Filled(unit));
    ASSERT_EQ(RunCommandLine(), 0);

    EXPECT_EQ(console.BytesWritten(), total);
    // The code page is asked once, for the first run of bytes above 0x7F.
    EXPECT_EQ(console.CallCount(), 6 + 1 + 3 * flushes);
    const std::vector<simulated::Call>& last = console.Calls();
    ASSERT_EQ(last.size(), 3u);
    EXPECT_EQ(last[0].op, Op::WriteConsoleA);
    EXPECT_EQ(last[0].bytes, std::string(total % kRunStorage, '\xFF'));
    EXPECT_EQ(last[2].op, Op::WriteConsoleOutputAttribute);
    // The screen holds the last of the text, recoloured, up to the cursor;
    // the rest of the bottom row scrolled in blank.
    const int end = static_cast<int>(total % 120);
    EXPECT_EQ(console.Cursor().X, end);
    EXPECT_EQ(console.Cursor().Y, 2);
    for (int y = 0; y < 2; ++y) {
        EXPECT_EQ(console.RowText(y), std::string(120, '\xFF')) << "row " << y;
        EXPECT_EQ(console.RowAttributes(y), "07*120") << "row " << y;
    }
    EXPECT_EQ(console.RowText(2),
              std::string(static_cast<size_t>(end), '\xFF') + std::string(120 - end, ' '));
    EXPECT_EQ(console.RowAttributes(2),
              "07*" + std::to_string(end) + " 2E*" + std::to_string(120 - end));
}

}  // namespace
