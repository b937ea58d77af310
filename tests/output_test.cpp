// Output that is not a console: the plain bytes into a file or a pipe, and
// colour escape sequences on a terminal, with the column kept for tab stops.
#include <gtest/gtest.h>

#include "console/display_width.h"
#include "console/terminal_colours.h"
#include "tests/simulated_run.h"

namespace {

using testing_support::FreshConsole;
using testing_support::RunProgram;

std::string Repeated(const std::string& text, int times) {
    std::string out;
    for (int i = 0; i < times; ++i) out += text;
    return out;
}

std::string Sgr(uint16_t attribute) {
    uint8_t out[kMaxSgrLength];
    uint32_t length = FormatSgr(attribute, out);
    return std::string(reinterpret_cast<const char*>(out), length);
}

TEST(TerminalColours, NamedAttributes) {
    const struct {
        uint16_t attribute;
        const char* sgr;
    } cases[] = {
        {0x07, ""},              // the terminal's own colours
        {0x0C, "\x1b[91m"},      // bright red on the terminal's background
        {0x1F, "\x1b[97;44m"},   // bright white on blue
        {0x17, "\x1b[44m"},      // the terminal's foreground on blue
        {0x70, "\x1b[30;47m"},   // black on grey
        {0x00, "\x1b[30m"},      // black on the terminal's background
        {0x08, "\x1b[90m"},      // dark grey
        {0x87, "\x1b[100m"},     // the terminal's foreground on dark grey
        {0xF0, "\x1b[30;107m"},  // black on white
        {0x3E, "\x1b[93;46m"},   // yellow on cyan
        {0xC9, "\x1b[94;101m"},  // bright blue on bright red
    };
    for (const auto& c : cases) EXPECT_EQ(Sgr(c.attribute), c.sgr) << std::hex << c.attribute;
}

// Every attribute, read back from its sequence: the parameters present, and
// the colour each one names.
TEST(TerminalColours, EveryAttributeSelectsItsOwnColours) {
    // Console colour (blue 1, green 2, red 4) to ANSI colour (red 1, green 2, blue 4).
    const int ansi[8] = {0, 4, 2, 6, 1, 5, 3, 7};
    for (int attribute = 0; attribute < 256; ++attribute) {
        const int fg = attribute & 15, bg = attribute >> 4;
        std::vector<int> expected;
        if (fg != 7) expected.push_back((fg & 8 ? 90 : 30) + ansi[fg & 7]);
        if (bg != 0) expected.push_back((bg & 8 ? 100 : 40) + ansi[bg & 7]);

        const std::string sgr = Sgr(static_cast<uint16_t>(attribute));
        std::vector<int> parameters;
        if (!sgr.empty()) {
            ASSERT_EQ(sgr.substr(0, 2), "\x1b[") << attribute;
            ASSERT_EQ(sgr.back(), 'm') << attribute;
            std::string list = sgr.substr(2, sgr.size() - 3);
            for (size_t at = 0; at <= list.size();) {
                size_t end = list.find(';', at);
                if (end == std::string::npos) end = list.size();
                parameters.push_back(std::stoi(list.substr(at, end - at)));
                at = end + 1;
            }
        }
        EXPECT_EQ(parameters, expected) << "attribute " << attribute;
        EXPECT_LE(sgr.size(), kMaxSgrLength);
    }
}

// Representative characters, and the first and last code points of some
// runs of equal width, where a search of the table could slip by one.
TEST(DisplayWidth, ColumnsOfRepresentativeCharacters) {
    const struct {
        uint32_t codePoint;
        uint32_t columns;
        const char* what;
    } cases[] = {
        {0x0000, 0, "NUL, the first code point"},
        {0x001B, 0, "escape"},
        {0x0041, 1, "A"},
        {0x007F, 0, "delete"},
        {0x0085, 0, "a C1 control"},
        {0x00AD, 1, "soft hyphen, shown as a hyphen"},
        {0x00E9, 1, "e with acute"},
        {0x0301, 0, "combining acute"},
        {0x0410, 1, "Cyrillic A, East Asian Ambiguous"},
        {0x0600, 1, "Arabic number sign, a format character that is drawn"},
        {0x115F, 2, "last Hangul leading consonant"},
        {0x1160, 0, "first Hangul medial vowel"},
        {0x11FF, 0, "last Hangul final consonant"},
        {0x1200, 1, "Ethiopic, after the Hangul Jamo"},
        {0xD7B0, 0, "Hangul medial vowel in Jamo Extended-B"},
        {0xAC00, 2, "Hangul syllable"},
        {0x200B, 0, "zero width space"},
        {0x200D, 0, "zero width joiner"},
        {0xFEFF, 0, "byte order mark"},
        {0xFE0F, 0, "variation selector 16"},
        {0xE0100, 0, "variation selector 17"},
        {0x2713, 1, "check mark, text by default"},
        {0x2705, 2, "heavy check mark, emoji by default"},
        {0x1F600, 2, "grinning face"},
        {0x1F1E6, 1, "regional indicator A"},
        {0x3000, 2, "ideographic space"},
        {0x302A, 0, "ideographic tone mark: combining, though wide"},
        {0x4E2D, 2, "CJK ideograph"},
        {0x9FFF, 2, "unassigned, in the CJK ideographs' block"},
        {0x3FFFD, 2, "unassigned, in plane 3"},
        {0xE000, 1, "private use"},
        {0xFF21, 2, "fullwidth A"},
        {0xFF61, 1, "halfwidth ideographic full stop"},
        {0x10FFFF, 1, "the last code point"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(DisplayWidth(c.codePoint), c.columns) << c.what;
    }
}

struct OutputCase {
    const char* name;
    int terminalWidth;  // 0: a file or a pipe
    std::string arguments;
    std::string bytes;
    uint32_t codePage = 437;       // the console's output code page
    std::string environment = "";  // NAME=VALUE
};

void PrintTo(const OutputCase& c, std::ostream* os) { *os << c.name; }

class NotAConsole : public ::testing::TestWithParam<OutputCase> {};

// Whatever goes out, the console calls fail, nothing is lost and the exit
// code is 0.
TEST_P(NotAConsole, WritesExactlyTheseBytes) {
    const OutputCase& c = GetParam();
    simulated::Console& console = FreshConsole(10, 2);
    console.SetCodePage(c.codePage);
    const size_t equals = c.environment.find('=');
    if (equals != std::string::npos) {
        console.SetEnvironmentVariable(c.environment.substr(0, equals),
                                       c.environment.substr(equals + 1));
    }
    if (c.terminalWidth > 0) {
        console.SetTerminal(c.terminalWidth);
    } else {
        console.SetRedirected(true);
    }
    std::vector<std::string> calls = RunProgram(c.arguments);
    EXPECT_EQ(console.Written(), c.bytes);
    for (const std::string& call : calls) {
        for (const char* wrong : {"WriteConsole", "exit code"}) {
            EXPECT_EQ(call.rfind(wrong, 0), std::string::npos) << call;
        }
        EXPECT_EQ(call.find(" with "), std::string::npos) << call;
    }
    EXPECT_EQ(console.RowText(0), "          ");
}

const std::string kRoad = "/1F \"Hello\" 13 10";
const std::string kWorked = "/1F \"Hello, \"\"world\"\"\" 13 10 45*5 /7 9\"x\"";

INSTANTIATE_TEST_SUITE_P(
    IntoAFileOrPipe, NotAConsole,
    ::testing::Values(
        OutputCase{"Road", 0, kRoad, "Hello\r\n"},
        OutputCase{"Worked", 0, kWorked, "Hello, \"world\"\r\n-----   x"},
        OutputCase{"TabAfterOneLetter", 0, "\"a\"9\"b\" 13 10", "a       b\r\n"},
        OutputCase{"TabStopsCountFromCarriageReturn", 0, "\"abc\" 13 9 \"x\"", "abc\r        x"},
        OutputCase{"TabStopsCountFromLineFeed", 0, "\"abc\" 10 9 \"x\"", "abc\n        x"},
        OutputCase{"BackspaceStepsBack", 0, "\"abc\" 8 9 \"x\"", "abc\b      x"},
        OutputCase{"TabAfterASwitchKeepsCounting", 0, "\"abcde\" /0C 9 \"x\"", "abcde   x"},
        OutputCase{"FilesNeverWrap", 0, "65*100 /0C 9 \"x\"", std::string(100, 'A') + "    x"},
        OutputCase{"HighBytesEachTakeAColumn", 0, "\"\xC9\xCD\" 205 /0C 9 \"x\"",
                   "\xC9\xCD\xCD     x"},
        OutputCase{"MalformedStillWritesWhatCameFirst", 0, "\"ok\" 13 10 /1F \"no", "ok\r\nno"},
        // Tabs count what a viewer shows: bytes in a single-byte code page,
        // characters in UTF-8, where an invalid byte is one column too.
        OutputCase{"EachByteIsAColumnInASingleByteCodePage", 0, "\"caf\xC3\xA9\" 9 \"x\"",
                   "caf\xC3\xA9   x"},
        OutputCase{"EachCharacterIsAColumnInUtf8", 0, "\"caf\xC3\xA9\" 9 \"x\"", "caf\xC3\xA9    x",
                   65001},
        OutputCase{"EachCharacterIsAColumnAfterASwitch", 0, "\"\xE4\xB8\xAD\" /0C 9 \"x\"",
                   "\xE4\xB8\xAD       x", 65001},
        OutputCase{"InvalidBytesAreColumnsInUtf8", 0, "\"\xFF\xC3\" 9 \"x\"", "\xFF\xC3      x",
                   65001},
        // In a double-byte code page a character of two bytes is two
        // columns, as the editors of those languages show it, and half-width
        // katakana one; also when a switch parts a lead byte from its trail.
        OutputCase{"DoubleByteCharactersAreTwoColumns", 0,
                   "\"\x93\x8C\x8B\x9E\xB1\" 9 \"x\" /0C \"\x93\" /07 \"\x8C\" 9 \"y\"",
                   "\x93\x8C\x8B\x9E\xB1   x\x93\x8C     y", 932},
        // The column after a run follows its raw bytes: a, b, back to 0, c,
        // back one, d: column 1.
        OutputCase{"RawControlBytesInARunMoveTheColumn", 0, "\"ab\rc\bd\" /0C 9 \"x\"",
                   "ab\rc\bd       x"},
        OutputCase{"OtherControlBytesAndDeleteStayPut", 0, "\"a\x01\x1b\" 127 /0C 9 \"x\"",
                   "a\x01\x1b\x7f       x"},
        OutputCase{"RawTabsInARunGoToTheirStops", 0, "\"a\" 9*2 /0C 9 \"x\"", "a\t\t        x"},
        OutputCase{"BackspaceStopsAtColumnZero", 0, "\"\bab\" /0C 9 \"x\"", "\bab      x"}),
    [](const auto& info) { return std::string(info.param.name); });

INSTANTIATE_TEST_SUITE_P(
    OnATerminal, NotAConsole,
    ::testing::Values(
        OutputCase{"Road", 80, kRoad, "\x1b[97;44mHello\x1b[0m\r\n"},
        OutputCase{"Worked", 80, kWorked,
                   "\x1b[97;44mHello, \"world\"\x1b[0m\r\n\x1b[97;44m-----\x1b[0m   x"},
        OutputCase{"PlainTextHasNoSequence", 80, "\"a\"9\"b\" 13 10", "a       b\r\n"},
        OutputCase{"ForegroundOnTheTerminalsBackground", 80, "/0C \"err\" /07 \" ok\"",
                   "\x1b[91merr\x1b[0m ok"},
        OutputCase{"EveryRunIsResetAfterIt", 80, "/4E \"a\" 13 10 \"b\"",
                   "\x1b[93;41ma\x1b[0m\r\n\x1b[93;41mb\x1b[0m"},
        // A line feed goes out in the terminal's own colours: a row it
        // scrolls in takes no colour of the run.
        OutputCase{"ControlsInTheRunStayInside", 80, "/1F \"a\" 10*2 \"b\"",
                   "\x1b[97;44ma\x1b[0m\n\x1b[97;44m\x1b[0m\n\x1b[97;44mb\x1b[0m"},
        // 25 letters on a 20-column terminal end in column 5: 3 blanks to 8.
        OutputCase{"ColumnWrapsAtTheWidth", 20, "65*25 /0C 9 \"x\"",
                   std::string(25, 'A') + "\x1b[91m   x\x1b[0m"},
        // Raw tabs stop in the last column, 19: 5 blanks to the next stop.
        OutputCase{"RawTabStopsAtTheLastColumn", 20, "\"abc\" 9*3 /0C 9 \"x\"",
                   "abc\t\t\t\x1b[91m \x1b[0m \r\x1b[91m    x\x1b[0m"},
        OutputCase{"RawControlBytesInARunMoveTheColumn", 80, "/0C \"ab\rc\bd\" /0A 9 \"x\"",
                   "\x1b[91mab\rc\bd\x1b[0m\x1b[92m       x\x1b[0m"},
        OutputCase{"OtherControlBytesAndDeleteStayPut", 80, "\"a\x01\x1b\" 127 /0C 9 \"x\"",
                   "a\x01\x1b\x7f\x1b[91m       x\x1b[0m"},
        // Column 16 of 20 after the raw tabs: 8 blanks to the next stop.
        OutputCase{"RawTabsInARunGoToTheirStops", 20, "\"a\" 9*2 /0C 9 \"x\"",
                   "a\t\t\x1b[91m    \x1b[0m \r\x1b[91m    x\x1b[0m"},
        OutputCase{"BackspaceStopsAtColumnZero", 80, "\"\bab\" /0C 9 \"x\"",
                   "\bab\x1b[91m      x\x1b[0m"},
        OutputCase{"BlankCodeStaysInTheColouredRun", 80, "/1F \"a\" 32 \"b\"",
                   "\x1b[97;44ma b\x1b[0m"},
        // A UTF-8 letter is one column however many bytes it takes.
        OutputCase{"Utf8LetterIsOneColumn", 80, "\"caf\xC3\xA9\" /0C 9 \"x\"",
                   "caf\xC3\xA9\x1b[91m    x\x1b[0m"},
        // A tab counts the columns of the text pending before it: 4 here.
        OutputCase{"TabAfterAccentedText", 80, "\"caf\xC3\xA9\" 9 \"x\"", "caf\xC3\xA9    x"},
        OutputCase{"TabAfterCombiningMark", 80, "/1F \"e\xCC\x81t\xC3\xA9\" 9 \"x\"",
                   "\x1b[97;44me\xCC\x81t\xC3\xA9     x\x1b[0m"},
        OutputCase{"TabAfterCjkTakesTwoColumnsEach", 80, "\"\xE4\xB8\xAD\xE6\x96\x87\" 9 \"x\"",
                   "\xE4\xB8\xAD\xE6\x96\x87    x"},
        OutputCase{"TabAfterEmoji", 80, "\"\xF0\x9F\x98\x80\" 9 \"x\"", "\xF0\x9F\x98\x80      x"},
        // 25 letters pending wrap to column 5 of a 20-column terminal.
        OutputCase{"PendingTextWrapsBeforeATab", 20, "65*25 9 \"x\"",
                   std::string(25, 'A') + "   x"},
        // A wide character never starts in the last column: it goes on to
        // the next row and ends in column 2.
        OutputCase{"WideCharacterSkipsTheLastColumn", 20, "65*19 \"\xE4\xB8\xAD\" 9 \"x\"",
                   std::string(19, 'A') + "\xE4\xB8\xAD      x"},
        // 0xFF; two bytes of a character cut short by "x"; x; a lead byte
        // cut short by the tab's blanks: 4 columns.
        OutputCase{"InvalidBytesTakeAColumn", 80, "\"\xFF\xE4\xB8x\xE4\" 9 \"y\"",
                   "\xFF\xE4\xB8x\xE4    y"},
        // An overlong form and a surrogate: three invalid bytes each.
        OutputCase{"OverlongFormsAndSurrogatesAreInvalid", 80,
                   "\"\xE0\x80\xAF\xED\xA0\x80\" 9 \"x\"", "\xE0\x80\xAF\xED\xA0\x80  x"},
        // The two writes reach the terminal back to back: an emoji, then
        // an e with acute.
        OutputCase{"CharacterAcrossTwoWrites", 80, "\"\xF0\" /07 \"\x9F\x98\x80\xC3\xA9\" 9 \"x\"",
                   "\xF0\x9F\x98\x80\xC3\xA9     x"},
        // A colour sequence cuts short the character before it, and so does
        // the reset after a run: five replacement characters.
        OutputCase{"ColourSequencesCutCharactersShort", 80,
                   "\"\xE4\" /0C \"\xB8\xE4\" /07 \"\xB8\xAD\" 9 \"x\"",
                   "\xE4\x1b[91m\xB8\xE4\x1b[0m\xB8\xAD   x"},
        // The full storage splits the 1366th character after its first byte;
        // 1366 wide characters and an e with acute end in column 13 of an
        // 80-column terminal.
        // The storage fills with a character the tab has counted as cut
        // short: it goes out where it is, and the tab stands: 4093 letters
        // end in column 13, the cut character takes one more.
        OutputCase{"TabAfterACharacterCutByTheFullStorage", 80,
                   "\"" + std::string(4093, 'a') + "\xF0\x9C\x93\" 9 \"x\"",
                   std::string(4093, 'a') + "\xF0\x9C\x93  x"},
        OutputCase{"CharacterSplitByTheFullStorage", 80,
                   "\"" + Repeated("\xE4\xB8\xAD", 1366) + "\xC3\xA9\" 9 \"x\"",
                   Repeated("\xE4\xB8\xAD", 1366) + "\xC3\xA9   x"}),
    [](const auto& info) { return std::string(info.param.name); });

// FORCE_COLOR: a file gets what a terminal of no width would, a character
// the full storage cuts goes out whole, and a value too long to read counts.
INSTANTIATE_TEST_SUITE_P(
    AsTheEnvironmentAsks, NotAConsole,
    ::testing::Values(
        OutputCase{"ForcedLineFeedsAndTabs", 0, "/1F \"a\" 10*2 /0C 65*9 9 \"x\"",
                   "\x1b[97;44ma\x1b[0m\n\x1b[97;44m\x1b[0m\n\x1b[97;44m\x1b[0m\x1b[91m" +
                       std::string(9, 'A') + "       x\x1b[0m",
                   437, "CLICOLOR_FORCE=" + std::string(40000, '0')},
        OutputCase{
            "ForcedPiecesKeepCharactersWhole", 0, "/0C \"" + Repeated("\xE4\xB8\xAD", 1366) + "\"",
            "\x1b[91m" + Repeated("\xE4\xB8\xAD", 1365) + "\x1b[0m\x1b[91m\xE4\xB8\xAD\x1b[0m",
            65001, "FORCE_COLOR=1"},
        OutputCase{"ForcedTabAfterACharacterCutByTheFullStorage", 0,
                   "/0C \"" + std::string(4093, 'a') + "\xF0\x9C\x93\" 9 \"x\"",
                   "\x1b[91m" + std::string(4093, 'a') + "\xF0\x9C\x93\x1b[0m\x1b[91m  x\x1b[0m",
                   65001, "FORCE_COLOR=1"}),
    [](const auto& info) { return std::string(info.param.name); });

// Text past the storage goes out in pieces, each wrapped in its colours.
TEST(NotAConsole, LongRunsAreWrappedPieceByPiece) {
    // So wide that no row wraps.
    simulated::Console& console = FreshConsole();
    console.SetTerminal(6000);
    RunProgram("/1F \"" + std::string(5000, 'y') + "\"");
    const std::string on = "\x1b[97;44m", off = "\x1b[0m";
    EXPECT_EQ(console.Written(),
              on + std::string(4096, 'y') + off + on + std::string(904, 'y') + off);

    // A character that the full storage would cut goes out whole with the
    // next piece, never split by the reset and the colours between them.
    console = FreshConsole();
    console.SetTerminal(6000);
    RunProgram("/1F \"" + Repeated("\xE4\xB8\xAD", 1366) + "\"");
    EXPECT_EQ(console.Written(),
              on + Repeated("\xE4\xB8\xAD", 1365) + off + on + "\xE4\xB8\xAD" + off);

    console = FreshConsole();
    console.SetRedirected(true);
    RunProgram("65*65535");
    EXPECT_EQ(console.Written(), std::string(65535, 'A'));
}

TEST(NotAConsole, AskForTheTerminalOnceAndWriteEachControlAlone) {
    FreshConsole().SetRedirected(true);
    EXPECT_EQ(RunProgram(kRoad), (std::vector<std::string>{
                                     "GetStdHandle(-11)", "GetConsoleScreenBufferInfo",
                                     "GetTerminalWidth", "GetCommandLineA", "WriteFile \"Hello\"",
                                     "WriteFile \"\\x0D\"", "WriteFile \"\\x0A\""}));
}

}  // namespace
