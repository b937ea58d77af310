// The simulated console stands in for a real one in every other test, so it
// must act on output as a console does.
#include <gtest/gtest.h>

#include "tests/simulated_run.h"

namespace {

using testing_support::FreshConsole;
using testing_support::WriteToConsole;

TEST(SimulatedConsole, ActsOnControlBytes) {
    const struct {
        const char* name;
        std::string bytes;
        int x, y;
        std::string row0, row1;
    } cases[] = {
        {"CarriageReturn", "abc\rX", 1, 0, "Xbc     ", "        "},
        {"LineFeedGoesToColumnZero", "ab\ncd", 2, 1, "ab      ", "cd      "},
        {"BackspaceMovesWithoutErasing", "ab\bX\b\b\b\b", 0, 0, "aX      ", "        "},
        {"BellShowsNothing", "a\ab", 2, 0, "ab      ", "        "},
        {"TabToNextStop", "ab\tc", 1, 1, "ab      ", "c       "},
        {"OtherControlBytesAreShown", std::string("\x01\0", 2), 2, 0,
         std::string("\x01\0      ", 8), "        "},
        {"WrapsAtTheRightEdge", "abcdefghij", 2, 1, "abcdefgh", "ij      "},
    };
    for (const auto& c : cases) {
        simulated::Console& console = FreshConsole(8, 3);
        WriteToConsole(console, c.bytes);
        EXPECT_EQ(console.Cursor().X, c.x) << c.name;
        EXPECT_EQ(console.Cursor().Y, c.y) << c.name;
        EXPECT_EQ(console.RowText(0), c.row0) << c.name;
        EXPECT_EQ(console.RowText(1), c.row1) << c.name;
    }
}

// Virtual-terminal mode on a 12x3 console of attribute 1E, in code page 437 and UTF-8 alike.
TEST(SimulatedConsole, ActsOnVirtualTerminalOutput) {
    const struct {
        const char* name;
        std::string bytes;
        int x, y;
        std::string row0, attributes0;
        uint16_t own;  // the current attribute afterwards
    } cases[] = {
        {"SgrThenAnEmptyOneResets", "a\x1b[31;42mb\x1b[94;101mc\x1b[49md\x1b[39me\x1b[35;44;m", 5,
         0, "abcde       ", "1E*1 24*1 C9*1 19*1 1E*8", 0x1E},
        {"PopRestoresThePush", "\x1b[32m\x1b[#{\x1b[45mA\x1b[#}B\x1b[#}", 2, 0, "AB          ",
         "52*1 12*1 1E*10", 0x12},
        // A parameter not taken, ESC without '[', an unknown final byte, a cut-off one.
        {"UnknownSequencesAreText", "\x1b[1m\x1b(\x1b[2J\x1b[", 11, 0, "\x1b[1m\x1b(\x1b[2J\x1b[",
         "1E*12", 0x1E},
        {"TabOnlyMovesAndIgnoredBytes", "\x1b[31ma\x01\x7f\tb\x1a\v\f", 0, 2,
         "a       b\xE2\x90\xA6  ", "14*1 1E*7 14*2 1E*2", 0x14},
        {"TabsKeepAWrapBackspaceDropsIt", "abcdefghij\t\tX\bYZ\tW", 1, 1, "abcdefghijYZ", "1E*12",
         0x1E},
    };
    for (const auto& c : cases) {
        for (uint32_t codePage : {437u, platform::CP_UTF8}) {
            simulated::Console& console = FreshConsole(12, 3, 0, 0, 0x1E);
            console.SetCodePage(codePage);
            console.SetVirtualTerminal(true);
            WriteToConsole(console, c.bytes);
            EXPECT_EQ(console.Cursor().X, c.x) << c.name << codePage;
            EXPECT_EQ(console.Cursor().Y, c.y) << c.name << codePage;
            EXPECT_EQ(console.RowText(0) + console.RowAttributes(0), c.row0 + c.attributes0)
                << c.name << codePage;
            EXPECT_EQ(console.OwnAttribute(), c.own) << c.name << codePage;
        }
    }
}

// A UTF-8 console 8 columns wide, laid out as the console host does: the
// bytes written, then `later` in a write of its own, then row y recoloured.
TEST(SimulatedConsole, JoinsCombiningMarksAndRecolours) {
    const struct {
        const char* name;
        bool virtualTerminal, pseudoConsole;
        std::string bytes, later;
        int16_t y, x;  // the row looked at, and the cursor's column afterwards
        std::string row;
        int markX;  // the cell that carries the mark, -1 for none
    } cases[] = {
        {"InALaterWrite", false, false, "e", "\xCC\x81", 0, 1, "e\xCC\x81       ", 0},
        {"ToAWideCharactersFirstCell", false, false, "\xE4\xB8\xAD\xCC\x81", "", 0, 2,
         "\xE4\xB8\xAD\xCC\x81      ", 0},
        {"AloneAfterAPendingWrap", true, false, "abcdefgh\xCC\x81", "", 1, 1, "\xCC\x81       ",
         -1},
        {"AloneAfterARowBreak", false, false, "abcdefgh\xCC\x81", "", 1, 1, "\xCC\x81       ", -1},
        {"UnderAPseudoConsole", false, true, "a\xF0\x9F\x98\x80z\xCC\x81\xE4\xB8\xAD", "", 0, 6,
         "a\xEF\xBF\xBD\xEF\xBF\xBD\xE4\xB8\xAD  ", -1},
    };
    const platform::WORD run[8] = {0x1F, 0x1F, 0x1F, 0x1F, 0x1F, 0x1F, 0x1F, 0x1F};
    for (const auto& c : cases) {
        simulated::Console& console = FreshConsole(8, 3);
        console.SetCodePage(platform::CP_UTF8);
        console.SetVirtualTerminal(c.virtualTerminal);
        console.SetPseudoConsole(c.pseudoConsole);
        WriteToConsole(console, c.bytes);
        WriteToConsole(console, c.later);
        platform::DWORD written = 0;
        console.WriteConsoleOutputAttribute(console.GetStdHandle(platform::STD_OUTPUT_HANDLE), run,
                                            8, platform::COORD{0, c.y}, &written);
        EXPECT_EQ(console.RowText(c.y), c.row) << c.name;
        for (int x = 0; x < 8; ++x) EXPECT_EQ(console.At(x, c.y).marks, x == c.markX) << c.name;
        EXPECT_EQ(console.Cursor().X, c.x) << c.name;
    }
}

TEST(SimulatedConsole, TabStopsAtTheRowEndOfANarrowBuffer) {
    simulated::Console& console = FreshConsole(10, 3, 8, 0);
    WriteToConsole(console, "\tx");
    EXPECT_EQ(console.RowText(1), "x         ");
    EXPECT_EQ(console.Cursor().X, 1);
}

TEST(SimulatedConsole, ScrollsUpPastTheBottomRow) {
    simulated::Console& console = FreshConsole(4, 2, 0, 0, 0x2E);
    WriteToConsole(console, "abcdefgh\nij");
    EXPECT_EQ(console.RowText(0), "    ");
    EXPECT_EQ(console.RowText(1), "ij  ");
    EXPECT_EQ(console.RowAttributes(1), "2E*4");
    EXPECT_EQ(console.Cursor().Y, 1);
}

TEST(SimulatedConsole, AttributesClipAtTheEndOfTheBuffer) {
    simulated::Console& console = FreshConsole(4, 2);
    const platform::WORD run[6] = {0x1F, 0x1F, 0x1F, 0x1F, 0x1F, 0x1F};
    platform::DWORD written = 0;
    platform::HANDLE out = console.GetStdHandle(platform::STD_OUTPUT_HANDLE);
    console.WriteConsoleOutputAttribute(out, run, 6, platform::COORD{1, 1}, &written);
    EXPECT_EQ(written, 3u);
    EXPECT_EQ(console.RowAttributes(1), "07*1 1F*3");
    console.WriteConsoleOutputAttribute(out, run, 6, platform::COORD{0, 2}, &written);
    EXPECT_EQ(written, 0u);
    EXPECT_EQ(console.RowAttributes(0), "07*4");
}

}  // namespace
