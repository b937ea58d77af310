// The token language, end to end on the simulated console: each case is a
// command line and the exact console calls it must make.
#include <gtest/gtest.h>

#include "interpreter/usage.h"
#include "tests/simulated_run.h"

extern "C" void ColortextEntry();

namespace {

using testing_support::CheckRunInvariants;
using testing_support::Expect;
using testing_support::FreshConsole;
using testing_support::RunProgram;

struct TokenCase {
    const char* name;
    std::string arguments;
    std::vector<std::string> calls;
};

void PrintTo(const TokenCase& c, std::ostream* os) { *os << c.name; }

class TokenLanguage : public ::testing::TestWithParam<TokenCase> {};

TEST_P(TokenLanguage, MakesExactlyTheseCalls) {
    FreshConsole();
    EXPECT_EQ(RunProgram(GetParam().arguments), GetParam().calls);
}

const std::string kBlanks12(12, ' ');

INSTANTIATE_TEST_SUITE_P(
    WorkedExamples, TokenLanguage,
    ::testing::Values(
        TokenCase{"Road", "/1F \"Hello\" 13 10",
                  Expect().Flush("Hello", 0x1F, 0, 0).Direct(13).Direct(10)},
        TokenCase{"QuotesControlsRepeatAndTab", "/1F \"Hello, \"\"world\"\"\" 13 10 45*5 /7 9\"x\"",
                  Expect()
                      .Flush("Hello, \"world\"", 0x1F, 0, 0)
                      .Direct(13)
                      .Direct(10)
                      .Flush("-----", 0x1F, 0, 1)
                      .Flush("   x", 0x07, 5, 1)},
        TokenCase{"CodesStringsAndTabsInOneWrite", "65 66\"cd\" 9 9 \"e\"",
                  Expect().Flush("ABcd    " + std::string(8, ' ') + "e", 0x07, 0, 0)},
        TokenCase{"EmptyArgumentsWriteNothing", "", Expect()},
        TokenCase{"NumbersWrapThenControls", "321 65536 7",
                  Expect().Flush("A", 0x07, 0, 0).Direct(0).Direct(7)},
        TokenCase{"RepeatFormsAndMissingCount", "65X3 66x2 67*0 68*",
                  Expect().Flush("AAABB", 0x07, 0, 0)},
        TokenCase{"UnknownTokenEndsTheRun", "\"ab\" q 65", Expect().Flush("ab", 0x07, 0, 0)},
        TokenCase{"TabCharacterEndsTheRun", "65 65 \t66", Expect().Flush("AA", 0x07, 0, 0)},
        TokenCase{"RepeatedTabsAreRaw", "9*3", Expect().Flush("\t\t\t", 0x07, 0, 0)},
        TokenCase{"UnclosedStringIsWritten", "\"Hi", Expect().Flush("Hi", 0x07, 0, 0)},
        TokenCase{"StringThenCodeWithoutBlank", "\"Hi\"13",
                  Expect().Flush("Hi", 0x07, 0, 0).Direct(13)}),
    [](const auto& info) { return std::string(info.param.name); });

INSTANTIATE_TEST_SUITE_P(
    ColourSwitches, TokenLanguage,
    ::testing::Values(
        TokenCase{"TwoDigitsNeedNoBlankAfter", "/1F\"Hi\"", Expect().Flush("Hi", 0x1F, 0, 0)},
        TokenCase{"OneDigitAndBlank", "/C \"Hi\"", Expect().Flush("Hi", 0x0C, 0, 0)},
        TokenCase{"LowerCaseDigits", "/ae\"Hi\"", Expect().Flush("Hi", 0xAE, 0, 0)},
        TokenCase{"BlankAsFirstDigit", "/0C\"A\"/ 7\"B\"",
                  Expect().Flush("A", 0x0C, 0, 0).Flush("B", 0x97, 1, 0)},
        TokenCase{"OneDigitWithoutBlankEatsTheQuote", "/7\"x\"", Expect()},
        TokenCase{"OneDigitWithoutBlankReadsTheQuoteAsDigit", "/7\"65",
                  Expect().Flush("A", 0x3B, 0, 0)},
        TokenCase{"SwitchWithNothingPendingWritesNothing", "/1F/2E\"x\"",
                  Expect().Flush("x", 0x2E, 0, 0)},
        TokenCase{"TrailingSlashFlushes", "\"ab\"/", Expect().Flush("ab", 0x07, 0, 0)},
        TokenCase{"TrailingSlashAndDigitFlushes", "\"ab\"/1", Expect().Flush("ab", 0x07, 0, 0)},
        TokenCase{"AttributeLastsAcrossControls", "/4E\"a\"13 10\"b\"",
                  Expect().Flush("a", 0x4E, 0, 0).Direct(13).Direct(10).Flush("b", 0x4E, 0, 1)}),
    [](const auto& info) { return std::string(info.param.name); });

INSTANTIATE_TEST_SUITE_P(
    NumbersAndRepeats, TokenLanguage,
    ::testing::Values(
        TokenCase{"CodeIsLowByteOfWrappedNumber", "65601 99999",
                  Expect().CodePage().Flush("A\x9F", 0x07, 0, 0)},
        TokenCase{"RepeatCountWraps", "65*65537 66*65536", Expect().Flush("A", 0x07, 0, 0)},
        TokenCase{"RepeatedControlCodesAreRaw", "256*2 13x1",
                  Expect().Flush(std::string("\0\0\r", 3), 0x07, 0, 0)},
        TokenCase{"BlankBeforeStarEndsAtStar", "65 *3", Expect().Flush("A", 0x07, 0, 0)},
        TokenCase{"BlankAfterStarEndsWithoutCode", "66 65* 3", Expect().Flush("B", 0x07, 0, 0)},
        TokenCase{"CodeFollowedByString", "65\"b\"66", Expect().Flush("AbB", 0x07, 0, 0)},
        TokenCase{"HighCodesAppended", "128 255",
                  Expect().CodePage().Flush("\x80\xFF", 0x07, 0, 0)},
        TokenCase{"BlankCodeStaysInTheColouredRun", "/1F\"a\"32\"b\"",
                  Expect().Flush("a b", 0x1F, 0, 0)}),
    [](const auto& info) { return std::string(info.param.name); });

INSTANTIATE_TEST_SUITE_P(
    QuotedStrings, TokenLanguage,
    ::testing::Values(
        TokenCase{"DoubledQuoteAlone", "\"\"\"\"", Expect().Flush("\"", 0x07, 0, 0)},
        TokenCase{"EmptyStringWritesNothing", "\"\" \"\"", Expect()},
        TokenCase{"DoubledQuoteAtTheEnd", "\"a\"\"", Expect().Flush("a\"", 0x07, 0, 0)},
        TokenCase{"BytesInsideTakenAsTheyAre", "\"/1F 9\ta\x01\xE9\"",
                  Expect().CodePage().Flush("/1F 9\ta\x01\xE9", 0x07, 0, 0)},
        TokenCase{"LetterAfterClosingQuoteEnds", "\"a\"b 65", Expect().Flush("a", 0x07, 0, 0)}),
    [](const auto& info) { return std::string(info.param.name); });

INSTANTIATE_TEST_SUITE_P(
    Tabs, TokenLanguage,
    ::testing::Values(TokenCase{"FromPendingText", "\"abc\" 9\"x\"",
                                Expect().Flush("abc     x", 0x07, 0, 0)},
                      TokenCase{"AtATabStopAdvancesEight", "\"abcdefgh\" 9\"x\"",
                                Expect().Flush("abcdefgh        x", 0x07, 0, 0)},
                      // After a flush, the column comes from the cursor read back.
                      TokenCase{"AfterAColourSwitch", "\"ab\"/1F 9\"x\"",
                                Expect().Flush("ab", 0x07, 0, 0).Flush("      x", 0x1F, 2, 0)},
                      // BEL leaves the cursor where it was; CR takes it back to column 0.
                      TokenCase{"AfterAControlCode", "\"abc\" 7 9\"x\" 13 9\"y\"",
                                Expect()
                                    .Flush("abc", 0x07, 0, 0)
                                    .Direct(7)
                                    .Flush("     x", 0x07, 3, 0)
                                    .Direct(13)
                                    .Flush("        y", 0x07, 0, 0)}),
    [](const auto& info) { return std::string(info.param.name); });

// Only the request alone is one; anything more is read as tokens, as ever.
INSTANTIATE_TEST_SUITE_P(
    NotARequest, TokenLanguage,
    ::testing::Values(TokenCase{"SlashQuestionMarkThenTextIsAColourSwitch", "/? \"x\"",
                                Expect().Flush("x", 0x08, 0, 0)},
                      TokenCase{"QuotedRequestIsText", "\"/?\"", Expect().Flush("/?", 0x07, 0, 0)},
                      TokenCase{"RequestTwiceIsASwitchThenTheEnd", "/?/?", Expect()},
                      TokenCase{"RequestAfterTextIsNoToken", "\"a\" --help",
                                Expect().Flush("a", 0x07, 0, 0)}),
    [](const auto& info) { return std::string(info.param.name); });

std::vector<std::string> Lines(const std::string& reply) {
    std::vector<std::string> lines(1);
    for (char c : reply) {
        if (c == '\n') {
            lines.emplace_back();
        } else if (c != '\r') {
            lines.back() += c;
        }
    }
    if (lines.back().empty()) lines.pop_back();
    return lines;
}

// Each reply shows line by line in the initial colour, whatever the
// console's own, and goes into a file byte for byte.
TEST(Requests, PrintTheirReplyLineByLine) {
    for (uint32_t i = 0; i < kRequestCount; ++i) {
        const std::string word = kRequests[i].word;
        const std::vector<std::string> lines = Lines(kRequests[i].reply);
        for (const char* blanks : {"", "   "}) {
            simulated::Console& console = FreshConsole(80, 20, 0, 0, 0x2E);
            console.SetCommandLine("prog " + (blanks + word) + blanks);
            EXPECT_EQ(RunCommandLine(), 0);
            for (size_t row = 0; row < lines.size(); ++row) {
                const size_t length = lines[row].size();
                const int y = static_cast<int>(row);
                EXPECT_EQ(console.RowText(y), lines[row] + std::string(80 - length, ' ')) << word;
                EXPECT_EQ(console.RowAttributes(y),
                          (length == 0 ? "" : "07*" + std::to_string(length) + " ") + "2E*" +
                              std::to_string(80 - length))
                    << word << " row " << row;
            }
            EXPECT_EQ(console.Cursor().Y, static_cast<int16_t>(lines.size())) << word;
            EXPECT_EQ(CheckRunInvariants(console, 0x2E), "") << word;

            FreshConsole().SetRedirected(true);
            simulated::TheConsole().SetCommandLine("prog " + word);
            RunCommandLine();
            EXPECT_EQ(simulated::TheConsole().Written(), kRequests[i].reply) << word;
        }
    }
}

TEST(Requests, RepliesFitAScreen) {
    for (uint32_t i = 0; i < kRequestCount; ++i) {
        const std::vector<std::string> lines = Lines(kRequests[i].reply);
        EXPECT_LE(lines.size(), 16u) << kRequests[i].word;
        for (const std::string& line : lines) EXPECT_LE(line.size(), 79u) << line;
    }
}

TEST(TokenLanguage, TabCountsFromTheCursorWhereTheRunStarts) {
    FreshConsole(40, 8, 5, 2);
    EXPECT_EQ(RunProgram("9\"x\""), std::vector<std::string>(Expect().Flush("   x", 0x07, 5, 2)));
}

TEST(TokenLanguage, ScreenShowsTheRoadExample) {
    simulated::Console& console = FreshConsole(10, 3);
    RunProgram("/1F \"Hello\" 13 10 /C \"ab\"");
    EXPECT_EQ(console.RowText(0), "Hello     ");
    EXPECT_EQ(console.RowAttributes(0), "1F*5 07*5");
    EXPECT_EQ(console.RowText(1), "ab        ");
    EXPECT_EQ(console.RowAttributes(1), "0C*2 07*8");
    EXPECT_EQ(console.Cursor().X, 2);
    EXPECT_EQ(console.Cursor().Y, 1);
}

struct DigitCase {
    unsigned char c;
    uint8_t value;
};

TEST(HexDigitValue, EveryCharacterHasAValue) {
    const DigitCase cases[] = {{'0', 0},    {'9', 9},    {'A', 10},   {'F', 15},
                               {'a', 10},   {'f', 15},   {':', 3},    {'G', 0xF0},
                               {'g', 0x10}, {' ', 0xC9}, {'"', 0xCB}, {0xFF, 0xA8}};
    for (const DigitCase& d : cases) {
        EXPECT_EQ(HexDigitValue(d.c), d.value) << "character 0x" << std::hex << int{d.c};
    }
}

TEST(ReadDecimal, StopsOnTheTerminatorAndWraps) {
    struct {
        const char* text;  // the digits after the first one, then the rest
        unsigned char first;
        uint16_t value;
        char terminator;
    } cases[] = {
        {"", '7', 7, '\0'},
        {"5*3", '6', 65, '*'},
        {"5536 ", '6', 0, ' '},
        {"5537x", '6', 1, 'x'},
        {"9999999999", '9', 59391, '\0'},  // 99999999999 mod 65536
    };
    for (const auto& c : cases) {
        const unsigned char* position = reinterpret_cast<const unsigned char*>(c.text);
        Decimal d = ReadDecimal(position, c.first);
        EXPECT_EQ(d.value, c.value) << c.first << c.text;
        EXPECT_EQ(d.terminator, static_cast<unsigned char>(c.terminator)) << c.first << c.text;
        EXPECT_EQ(*position, static_cast<unsigned char>(c.terminator)) << c.first << c.text;
    }
}

// Whatever the command line holds, the run ends quietly with exit code 0,
// every recolouring matches the text write before it, and the console's own
// attribute is untouched. Under the sanitizers these also prove that nothing
// is read past the command line's NUL.
TEST(HostileInput, EndsQuietlyWithExitCodeZero) {
    const std::string lines[] = {
        "",
        "\"",
        "\"\"\"",
        "/",
        "/ ",
        "/\"",
        "9",
        "65*",
        "65x",
        "65X9999999999999999999999",
        "99999999999999999999999999",
        "\x80\x81\xFF",
        "\"\xFF\xFE\x01\x1B[31m\"",
        "/1F\"unterminated",
        "   \t   ",
        std::string(5000, '/'),
        std::string(5000, '"'),
        std::string(3000, '9'),
    };
    for (const std::string& arguments : lines) {
        simulated::Console& console = FreshConsole(40, 8, 0, 0, 0x2E);
        console.SetCommandLine("prog " + arguments);
        EXPECT_EQ(RunCommandLine(), 0) << arguments;
        EXPECT_EQ(CheckRunInvariants(console, 0x2E), "") << arguments;
    }
}

TEST(ProcessEntryDeathTest, EndsTheProcessWithExitCodeZero) {
    for (const char* arguments : {"/1F \"Hello\" 13 10", "\"\xFF/", "q", ""}) {
        FreshConsole().SetCommandLine(std::string("prog ") + arguments);
        EXPECT_EXIT(ColortextEntry(), ::testing::ExitedWithCode(0), "^ExitProcess\\(0\\)\n$")
            << arguments;
    }
}

TEST(HostileInput, NotAConsoleExitsZeroAndLeavesTheScreenAlone) {
    simulated::Console& console = FreshConsole(10, 2);
    console.SetRedirected(true);
    console.SetCommandLine("prog /1F \"Hello\" 13 10 9 \"x\"");
    EXPECT_EQ(RunCommandLine(), 0);
    EXPECT_EQ(console.Written(), "Hello\r\n        x");
    EXPECT_EQ(console.RowText(0), "          ");
    EXPECT_EQ(console.RowAttributes(0), "07*10");
}

}  // namespace
