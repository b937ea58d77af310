// The writer: which console calls it makes, and which cells end up coloured,
// including runs far longer than its storage and runs that scroll the buffer.
#include <gtest/gtest.h>

#include <memory>

#include "console/console_writer.h"
#include "tests/simulated_run.h"

namespace {

using simulated::Console;
using simulated::Op;
using testing_support::CheckRunInvariants;
using testing_support::FreshConsole;
using testing_support::RunProgram;
using testing_support::WriteToConsole;

std::unique_ptr<ConsoleWriter> OpenWriter() {
    // On the heap, so that a sanitizer sees the end of the storage.
    auto writer = std::make_unique<ConsoleWriter>();
    writer->Open();
    return writer;
}

size_t CallsSoFar() { return simulated::TheConsole().Calls().size(); }

TEST(ConsoleWriter, FlushWithNothingPendingMakesNoCall) {
    FreshConsole();
    auto writer = OpenWriter();
    size_t before = CallsSoFar();
    writer->FlushPending();
    EXPECT_EQ(CallsSoFar(), before);
}

TEST(ConsoleWriter, DirectWriteWithNothingPendingMakesTwoCalls) {
    FreshConsole();
    auto writer = OpenWriter();
    size_t before = CallsSoFar();
    writer->WriteDirect('\n');
    ASSERT_EQ(CallsSoFar(), before + 2);
    EXPECT_EQ(simulated::TheConsole().Calls()[before].op, Op::WriteConsoleA);
    EXPECT_EQ(simulated::TheConsole().Calls()[before + 1].op, Op::GetConsoleScreenBufferInfo);
    EXPECT_EQ(writer->PendingLength(), 0u);
    // The next tab counts from column 0: a full 8 blanks.
    writer->AppendTab();
    EXPECT_EQ(writer->PendingLength(), 8u);
}

TEST(ConsoleWriter, RunAcrossTheRightEdgeIsColouredOnBothRows) {
    Console& console = FreshConsole(10, 3, 7, 0);
    auto writer = OpenWriter();
    for (char c : std::string("ABCDEF")) writer->Append(static_cast<uint8_t>(c));
    writer->SetAttribute(0x1F);
    writer->FlushPending();
    EXPECT_EQ(console.RowText(0), "       ABC");
    EXPECT_EQ(console.RowAttributes(0), "07*7 1F*3");
    EXPECT_EQ(console.RowText(1), "DEF       ");
    EXPECT_EQ(console.RowAttributes(1), "1F*3 07*7");
    // The next tab counts from column 3.
    writer->AppendTab();
    EXPECT_EQ(writer->PendingLength(), 5u);
}

TEST(ConsoleWriter, ColoursWithoutTouchingTheConsolesOwnAttribute) {
    const struct {
        const char* name;
        std::string arguments;
        std::string row0;
    } cases[] = {
        // Text before any switch gets 0x07, not the console's own 0x2E.
        {"InitialAttribute", "\"abc\"", "07*3 2E*7"},
        // A control byte shown as a glyph keeps the console's own attribute.
        {"DirectByteStaysUncoloured", "/1F\"a\" 1 \"b\"", "1F*1 2E*1 1F*1 2E*7"},
        // Raw control bytes in pending text still get one attribute per byte
        // from the start, whatever the console did with them: CR sends "b"
        // back over "a", yet three cells are coloured.
        {"RawControlBytesCountAsCells", "/1F\"a\rb\"", "1F*3 2E*7"},
    };
    for (const auto& c : cases) {
        Console& console = FreshConsole(10, 2, 0, 0, 0x2E);
        RunProgram(c.arguments);
        EXPECT_EQ(console.RowAttributes(0), c.row0) << c.name;
        // What another program writes next shows in the console's colours.
        WriteToConsole(console, "\r\nz");
        EXPECT_EQ(console.RowAttributes(1), "2E*10") << c.name;
    }
}

// Long input: far more than the storage holds between two writes.

size_t BytesWritten(const Console& console) {
    size_t total = 0;
    for (const simulated::Call& call : console.Calls()) {
        if (call.op == Op::WriteConsoleA) total += call.bytes.size();
    }
    return total;
}

// Each flush ends in one recolouring.
size_t Flushes(const Console& console) {
    size_t flushes = 0;
    for (const simulated::Call& call : console.Calls()) {
        flushes += call.op == Op::WriteConsoleOutputAttribute;
    }
    return flushes;
}

// "abc...zabc..." of the given length: text whose every byte can be told
// from its neighbours.
std::string Letters(int length) {
    std::string text;
    for (int i = 0; i < length; ++i) text += static_cast<char>('a' + i % 26);
    return text;
}

// The cell that linear index `i` of the buffer names.
const simulated::Cell& CellAt(const Console& console, int i) {
    return console.At(i % console.Width(), i / console.Width());
}

TEST(LongInput, QuotedStringAsLongAsTheCommandLine) {
    const std::string text = Letters(32000);
    Console& console = FreshConsole(200, 200);
    RunProgram("/1F \"" + text + "\"");
    EXPECT_EQ(CheckRunInvariants(console, 0x07), "");
    EXPECT_EQ(BytesWritten(console), text.size());
    EXPECT_EQ(Flushes(console), 8u);  // 32000 bytes in runs of at most 4096
    for (int i = 0; i < static_cast<int>(text.size()); ++i) {
        ASSERT_EQ(CellAt(console, i).character, static_cast<unsigned char>(text[i])) << i;
        ASSERT_EQ(CellAt(console, i).attribute, 0x1F) << i;
    }
    EXPECT_EQ(CellAt(console, 32000).attribute, 0x07);
}

TEST(LongInput, LargestRepeatCount) {
    Console& console = FreshConsole(256, 256);
    RunProgram("/4E 65*65535");
    EXPECT_EQ(CheckRunInvariants(console, 0x07), "");
    EXPECT_EQ(BytesWritten(console), 65535u);
    for (int i = 0; i < 65535; ++i) {
        ASSERT_EQ(CellAt(console, i).character, 'A') << i;
        ASSERT_EQ(CellAt(console, i).attribute, 0x4E) << i;
    }
    EXPECT_EQ(CellAt(console, 65535).character, ' ');
}

TEST(LongInput, EachByteKeepsTheAttributeItWasGatheredUnder) {
    Console& console = FreshConsole(100, 120);
    RunProgram("/1F 97*5000 /4E 98*5000");
    EXPECT_EQ(CheckRunInvariants(console, 0x07), "");
    for (int i = 0; i < 10000; ++i) {
        ASSERT_EQ(CellAt(console, i).character, i < 5000 ? 'a' : 'b') << i;
        ASSERT_EQ(CellAt(console, i).attribute, i < 5000 ? 0x1F : 0x4E) << i;
    }
}

// Starting at column 3, the storage fills in the middle of a tab's blanks;
// the tabs after that early write must still land on multiples of 8.
TEST(LongInput, ThousandsOfTabsKeepTheirColumns) {
    std::string arguments = "/2E";
    for (int i = 0; i < 3000; ++i) arguments += " \"x\" 9";
    Console& console = FreshConsole(80, 320, 3, 0);
    RunProgram(arguments);
    EXPECT_EQ(CheckRunInvariants(console, 0x07), "");
    EXPECT_GT(Flushes(console), 1u);
    EXPECT_EQ(BytesWritten(console), 1u + 4u + 2999u * 8u);
    int xs = 0;
    for (int y = 0; y < console.Height(); ++y) {
        for (int x = 0; x < console.Width(); ++x) {
            if (console.At(x, y).character != 'x') continue;
            ++xs;
            if (xs > 1) {
                ASSERT_EQ(x % 8, 0) << "x number " << xs << " at (" << x << "," << y << ")";
            }
        }
    }
    EXPECT_EQ(xs, 3000);
    EXPECT_EQ(console.At(3, 0).attribute, 0x2E);
    EXPECT_EQ(console.At(79, 299).attribute, 0x2E);
}

// Runs written from the bottom row scroll the buffer; their text moves up
// and so must their colour. Plain text ends right before the cursor, so the
// run's cells are the `length` cells before it (or all cells from the top,
// when the run is longer than what is left of the buffer).
struct ScrollCase {
    const char* name;
    int x, y;    // where the run starts, on a 40 x 8 buffer
    int length;  // bytes of plain text
    int recolourX, recolourY;
};

void PrintTo(const ScrollCase& c, std::ostream* os) { *os << c.name; }

class ScrollingRun : public ::testing::TestWithParam<ScrollCase> {};

TEST_P(ScrollingRun, ColoursTheCellsTheTextEndedUpIn) {
    const ScrollCase& c = GetParam();
    const std::string text = Letters(c.length);
    Console& console = FreshConsole(40, 8, c.x, c.y, 0x2E);
    RunProgram("/1F \"" + text + "\"");
    ASSERT_EQ(CheckRunInvariants(console, 0x2E), "");

    const simulated::Call& recolour = console.Calls().back();
    ASSERT_EQ(recolour.op, Op::WriteConsoleOutputAttribute);
    EXPECT_EQ(recolour.coord.X, c.recolourX);
    EXPECT_EQ(recolour.coord.Y, c.recolourY);

    const int end = console.Cursor().Y * 40 + console.Cursor().X;
    const int first = end - c.length;
    for (int i = 0; i < 40 * 8; ++i) {
        const bool ours = i >= first && i < end;
        ASSERT_EQ(CellAt(console, i).attribute, ours ? 0x1F : 0x2E) << "cell " << i;
        if (ours) {
            ASSERT_EQ(CellAt(console, i).character, static_cast<unsigned char>(text[i - first]))
                << "cell " << i;
        }
    }
}

INSTANTIATE_TEST_SUITE_P(
    Cases, ScrollingRun,
    ::testing::Values(ScrollCase{"NoScrollAboveTheBottom", 30, 5, 20, 30, 5},
                      ScrollCase{"BottomRowWithoutWrap", 10, 7, 20, 10, 7},
                      ScrollCase{"EndsInTheLastCell", 30, 7, 10, 30, 6},
                      ScrollCase{"WrapsOnceFromTheBottomRow", 30, 7, 20, 30, 6},
                      ScrollCase{"WrapsTwiceFromTheBottomRow", 30, 7, 60, 30, 5},
                      ScrollCase{"FillsTheBufferFromTheTop", 0, 0, 330, 0, 0},
                      ScrollCase{"LongerThanTheWholeBuffer", 30, 7, 400, 0, 0},
                      ScrollCase{"ManyTimesTheBuffer", 5, 7, 4000, 0, 0}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(ScrollingRun, RunWithControlBytesKeepsTheCursorReadBeforeTheWrite) {
    // The LF inside the string moves the cursor in a way the writer cannot
    // undo, so the colouring starts where the cursor stood, as always.
    FreshConsole(40, 8, 30, 7);
    RunProgram("/1F \"" + std::string(20, 'a') + "\n" + std::string(20, 'b') + "\"");
    const simulated::Call& recolour = simulated::TheConsole().Calls().back();
    EXPECT_EQ(recolour.coord.X, 30);
    EXPECT_EQ(recolour.coord.Y, 7);
    EXPECT_EQ(recolour.attributes.size(), 41u);
}

}  // namespace
