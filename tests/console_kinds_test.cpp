// The same command lines on every kind of console a script may meet: a
// legacy one that wraps a full row at once, one in virtual-terminal mode
// that defers the wrap, and UTF-8 consoles that lay characters out as
// Windows' console host does (wide characters two cells) or as Wine's does
// (a cell per UTF-16 code unit). Whatever the layout, every character must
// end up in the colour of its run and no other cell may change colour.
#include <errno.h>
#include <gtest/gtest.h>
#include <iconv.h>

#include <algorithm>
#include <iterator>

#include "tests/simulated_run.h"

namespace {

using simulated::Console;
using simulated::Layout;
using testing_support::CheckColouredCells;
using testing_support::CheckRunInvariants;
using testing_support::FreshConsole;
using testing_support::RunProgram;

struct Kind {
    const char* name;
    uint32_t codePage;
    Layout layout;
    bool virtualTerminal;
    // The console host under a pseudo-console, as in Windows Terminal.
    bool pseudoConsole = false;
    // SetConsoleMode takes virtual-terminal processing (Windows 10 on);
    // the consoles without it refuse, as older ones do.
    bool takesTheMode = false;
};

const Kind kKinds[] = {
    {"Legacy", 437, Layout::kConsoleHost, false},
    {"VirtualTerminal", 437, Layout::kConsoleHost, true},
    {"Utf8ConsoleHost", 65001, Layout::kConsoleHost, false},
    {"Utf8ConsoleHostVirtualTerminal", 65001, Layout::kConsoleHost, true},
    {"Utf8Wine", 65001, Layout::kWine, false},
    {"PseudoConsoleVirtualTerminal", 65001, Layout::kConsoleHost, true, true},
    // The mode off at the start, and turned on for the run.
    {"LegacySwitched", 437, Layout::kConsoleHost, false, false, true},
    {"PseudoConsoleSwitched", 65001, Layout::kConsoleHost, false, true, true},
    // Wine's console with the mode on, which it shows sequences under as text.
    {"Utf8WineWithTheMode", 65001, Layout::kWine, true},
};

// The double-byte code pages of Japan, China and Korea, laid out as the
// console host and as Wine lay them out.
const Kind kDoubleByteKinds[] = {
    {"Japanese", 932, Layout::kConsoleHost, false},
    {"JapaneseWine", 932, Layout::kWine, false},
    {"JapaneseVirtualTerminal", 932, Layout::kConsoleHost, true},
    {"SimplifiedChinese", 936, Layout::kConsoleHost, false},
    {"KoreanWine", 949, Layout::kWine, false},
    {"TraditionalChinese", 950, Layout::kConsoleHost, false},
};

// UTF-8 text put in a double-byte code page.
std::string Encoded(std::string utf8, uint32_t codePage) {
    iconv_t convert = iconv_open(codePage == 932   ? "CP932"
                                 : codePage == 936 ? "GBK"
                                 : codePage == 949 ? "CP949"
                                                   : "BIG5",
                                 "UTF-8");
    std::string out(utf8.size(), '\0');
    char *in = &utf8[0], *to = &out[0];
    size_t left = utf8.size(), room = out.size();
    iconv(convert, &in, &left, &to, &room);
    iconv_close(convert);
    out.resize(out.size() - room);
    return out;
}

Console& FreshConsoleOf(const Kind& kind, int width, int height, int x, int y) {
    Console& console = FreshConsole(width, height, x, y, 0x2E);
    console.SetCodePage(kind.codePage, kind.layout);
    console.SetDeferredWrap(kind.virtualTerminal);
    console.SetPseudoConsole(kind.pseudoConsole);
    console.SetTakesVirtualTerminal(kind.takesTheMode);
    return console;
}

std::string Times(const std::string& text, int count) {
    std::string out;
    for (int i = 0; i < count; ++i) out += text;
    return out;
}

struct KindCase {
    const char* name;
    int width, height, x, y;
    std::string arguments;
    // Where the first `marker` must be, on every kind of console; -1: left
    // to the layout. With `tabStops`, every `marker` stands on a multiple of 8.
    char marker;
    int markerX, markerY;
    bool tabStops;
    // The text holds invalid UTF-8, which a UTF-8 console shows as U+FFFD.
    bool invalid = false;
    // The arguments are in UTF-8 and run, put in each, on the double-byte
    // consoles.
    bool doubleByte = false;
};

void PrintTo(const KindCase& c, std::ostream* os) { *os << c.name; }

class OnEveryKindOfConsole : public ::testing::TestWithParam<KindCase> {};

TEST_P(OnEveryKindOfConsole, ColoursExactlyTheCellsOfEachRun) {
    const KindCase& c = GetParam();
    std::vector<Kind> kinds(std::begin(kKinds), std::end(kKinds));
    if (c.doubleByte) kinds.assign(std::begin(kDoubleByteKinds), std::end(kDoubleByteKinds));
    for (const Kind& kind : kinds) {
        SCOPED_TRACE(kind.name);
        Console& console = FreshConsoleOf(kind, c.width, c.height, c.x, c.y);
        const platform::DWORD mode = console.Mode();
        const std::vector<std::string> calls =
            RunProgram(c.doubleByte ? Encoded(c.arguments, kind.codePage) : c.arguments);
        EXPECT_EQ(CheckRunInvariants(console, 0x2E), "");
        EXPECT_EQ(CheckColouredCells(console, 0x2E), "");
        EXPECT_EQ(console.Mode(), mode);
        int codePages = 0, modes = 0;
        for (const std::string& call : calls) {
            codePages += call == "GetConsoleOutputCP";
            modes += call.rfind("GetConsoleMode", 0) == 0;
        }
        EXPECT_LE(codePages, 1);
        EXPECT_LE(modes, 1);
        bool found = false;
        for (int y = 0; y < console.Height(); ++y) {
            for (int x = 0; x < console.Width(); ++x) {
                const uint32_t ch = console.At(x, y).character;
                if (!c.invalid) {
                    EXPECT_NE(ch, 0xFFFDu) << "a character was cut at (" << x << "," << y << ")";
                }
                if (ch != static_cast<unsigned char>(c.marker)) continue;
                if (c.tabStops) {
                    EXPECT_EQ(x % 8, 0) << "marker at (" << x << "," << y << ")";
                }
                if (!found && c.markerX >= 0) {
                    EXPECT_EQ(x, c.markerX);
                    EXPECT_EQ(y, c.markerY);
                }
                found = true;
            }
        }
        if (c.marker != 0) {
            EXPECT_TRUE(found) << "no " << c.marker;
        }
    }
}

const std::string kRow = "/1F 61*20 ";  // a run that fills a 20-column row
const std::string kCheck = "\xE2\x9C\x93";
const std::string kHan = "\xE4\xB8\xAD";
const std::string kEmoji = "\xF0\x9F\x98\x80";

INSTANTIATE_TEST_SUITE_P(
    RunEndsInTheLastColumn, OnEveryKindOfConsole,
    ::testing::Values(
        KindCase{"ThenAnotherRun", 20, 4, 0, 0, kRow + "/4E \"next\"", 'n', 0, 1, false},
        KindCase{"ThenAnotherRunOnTheBottomRow", 20, 4, 0, 3, kRow + "/4E \"next\"", 'n', 0, 3,
                 false},
        KindCase{"ThenATab", 20, 4, 0, 0, kRow + "/07 \"a\" 9 \"b\"", 'b', 8, 1, false},
        KindCase{"ThenATabOnTheBottomRow", 20, 4, 0, 3, kRow + "/07 \"a\" 9 \"b\"", 'b', 8, 3,
                 false},
        KindCase{"ThenATabAlone", 20, 4, 4, 0, "/1F 61*16 9 \"b\"", 'b', 8, 1, false},
        KindCase{"ThenCarriageReturnAndLineFeed", 20, 4, 0, 1, kRow + "13 10 /4E \"next\"", 'n', -1,
                 -1, false},
        KindCase{"TwoFullRowsFromTheBottomRow", 20, 4, 0, 3, "/1F 61*40 /4E \"next\"", 'n', 0, 3,
                 false},
        // A bell moves nothing: a pending wrap is still pending after it.
        KindCase{"ThenABellAndATab", 20, 4, 0, 0, kRow + "7 9 \"b\"", 'b', 8, 1, false},
        // Every console shows SUB as a glyph, which fills the row unseen.
        KindCase{"ThenAControlGlyphAndARun", 20, 4, 0, 0, "/1F 61*19 26 /4E \"next\"", 'n', 0, 1,
                 false},
        KindCase{"EndsOneShortThenARun", 20, 4, 0, 3, "/1F 61*19 /4E \"next\"", 'n', 19, 2, false}),
    [](const auto& info) { return std::string(info.param.name); });

INSTANTIATE_TEST_SUITE_P(
    MultiByteCharacters, OnEveryKindOfConsole,
    ::testing::Values(
        KindCase{"AccentedLetter", 40, 4, 0, 0, "/1F \"h\xC3\xA9llo\" 13 10 \"x\"", 'x', 0, 1,
                 false},
        KindCase{"CheckMark", 40, 4, 0, 0, "/0A \"" + kCheck + " ok\" /07 \"x\"", 0, -1, -1, false},
        KindCase{"EastAsian", 40, 4, 0, 0, "/1F \"" + kHan + kHan + "\" /07 \"x\"", 0, -1, -1,
                 false},
        KindCase{"Emoji", 40, 4, 0, 0, "/1F \"" + kEmoji + "!\" /07 \"x\"", 0, -1, -1, false},
        KindCase{"CombiningMark", 40, 4, 0, 0, "/1F \"e\xCC\x81!\" /07 \"x\"", 0, -1, -1, false},
        KindCase{"InvalidBytesWhereTheyLand", 40, 4, 0, 0, "/1F \"a\xC3z\xFF\xE2\x9C\" /07 \"x\"",
                 0, -1, -1, false, true},
        KindCase{"AcrossTheRightEdge", 20, 4, 16, 1, "/1F \"" + Times(kCheck, 6) + "\" /4E \"x\"",
                 0, -1, -1, false},
        KindCase{"EastAsianAcrossTheRightEdge", 20, 4, 15, 1,
                 "/1F \"" + Times(kHan, 6) + "\" /4E \"x\"", 0, -1, -1, false},
        KindCase{"EmojiAcrossTheRightEdge", 20, 4, 19, 1,
                 "/1F \"" + Times(kEmoji, 2) + "\" /4E \"x\"", 0, -1, -1, false},
        KindCase{"EndsInTheLastColumn", 20, 4, 14, 1, "/1F \"" + Times(kHan, 3) + "\" /4E \"x\"", 0,
                 -1, -1, false},
        KindCase{"FewFromTheBottomRow", 20, 4, 10, 3, "/1F \"" + Times(kCheck, 15) + "\" /4E \"x\"",
                 0, -1, -1, false},
        KindCase{"ManyFromTheBottomRow", 20, 4, 0, 3, "/1F \"" + Times(kCheck, 30) + "\"", 0, -1,
                 -1, false},
        KindCase{"ManyMoreFromTheBottomRow", 20, 4, 3, 3,
                 "/1F \"" + Times(kCheck, 300) + "\" /4E \"x\"", 0, -1, -1, false},
        KindCase{"EastAsianFromTheBottomRow", 20, 4, 5, 3,
                 "/1F \"" + Times(kHan, 30) + "\" /4E \"x\"", 0, -1, -1, false},
        KindCase{"StrayContinuationBytesFromTheBottomRow", 8, 4, 3, 3,
                 "/1F \"" + Times(kEmoji + "\x80\x80", 9) + "\" /4E \"x\"", 0, -1, -1, false, true},
        KindCase{"LongerThanTheStorage", 80, 30, 0, 0, "/1F \"" + Times(kCheck, 1500) + "\"", 0, -1,
                 -1, false},
        KindCase{"LongerThanTheStorageFromTheBottomRow", 40, 10, 7, 9,
                 "/1F \"" + Times(kHan + "a", 2000) + "\"", 0, -1, -1, false}),
    [](const auto& info) { return std::string(info.param.name); });

INSTANTIATE_TEST_SUITE_P(
    TabsAfterMultiByteText, OnEveryKindOfConsole,
    ::testing::Values(KindCase{"AfterAnAccent", 40, 4, 0, 0, "\"\xC3\xA9\" 9 \"x\"", 'x', 8, 0,
                               true},
                      KindCase{"Table", 40, 6, 0, 0,
                               "\"caf\xC3\xA9\" 9 \"x\" 13 10 \"th\xC3\xA9\" 9 \"x\" 13 10 \"" +
                                   kHan + kHan + "\" 9 \"x\" 13 10 \"e\xCC\x81t\xC3\xA9\" 9 \"x\"",
                               'x', 8, 0, true},
                      KindCase{"AfterAColourSwitch", 40, 4, 0, 0,
                               "/0A \"" + kCheck + "\" /07 9 \"x\" /0C \"" + kHan + "\" 9 \"x\"",
                               'x', 8, 0, true}),
    [](const auto& info) { return std::string(info.param.name); });

const std::string kKana = "\u3042\u3044\u3046", kPlace = "\u6771\u4eac";

INSTANTIATE_TEST_SUITE_P(
    DoubleByteCharacters, OnEveryKindOfConsole,
    ::testing::Values(
        KindCase{"KanaAndKanji", 40, 4, 0, 0, "/1F \"" + kKana + kPlace + "\" /07 \"x\"", 0, -1, -1,
                 false, false, true},
        KindCase{"GreekIsOneCellEach", 40, 4, 0, 0, "/1F \"\u03b1\u03b2\u03b3\" /07 \"x\"", 0, -1,
                 -1, false, false, true},
        KindCase{"HalfWidthKatakana", 40, 4, 0, 0, "/1F \"\uff71\uff72\uff73\" /07 \"x\"", 0, -1,
                 -1, false, false, true},
        KindCase{"WideMeetsTheLastCell", 20, 4, 17, 1, "/1F \"" + kPlace + kKana + "\" /4E \"x\"",
                 0, -1, -1, false, false, true},
        KindCase{"FromTheBottomRow", 20, 4, 5, 3, "/1F \"" + Times(kPlace, 25) + "\" /4E \"x\"", 0,
                 -1, -1, false, false, true},
        KindCase{"TabTable", 40, 6, 0, 0,
                 "\"" + kPlace + "\" 9 \"x\" 13 10 \"\u5927\u962a\u5e9c\" 9 \"x\" 13 10 \"" +
                     kKana + "a\" 9 \"x\"",
                 'x', 8, 0, true, false, true},
        KindCase{"LongerThanTheStorage", 80, 60, 0, 0, "/1F \"" + Times("\u3042", 2100) + "\"", 0,
                 -1, -1, false, false, true}),
    [](const auto& info) { return std::string(info.param.name); });

// A run that ends in the last column of a console in virtual-terminal
// mode: its colour comes with it, so every cell is its own whatever the
// characters' widths, and the next run starts on the next row.
TEST(OnEveryKindOfConsole, RunEndingInTheLastColumnIsColouredInBand) {
    for (const std::string& text : {kHan, std::string("\xE2\x9C\x85"), std::string("\xC3\xA9!")}) {
        Console& console = FreshConsoleOf(kKinds[3], 20, 3, 18, 0);
        RunProgram("/1F \"" + text + "\" /4E \"next\"");
        EXPECT_EQ(console.RowAttributes(0), "2E*18 1F*2") << text;
        EXPECT_EQ(console.RowText(1).substr(0, 4), "next") << text;
        EXPECT_EQ(console.RowAttributes(1), "4E*4 2E*16") << text;
    }
}

// Under a pseudo-console, recolouring reads each cell back as one UTF-16
// code unit: a character above U+FFFF and a letter with a combining mark
// come back as U+FFFD. In-band colour rewrites no cell, also where the
// program turns the mode on; only a console that refuses it is recoloured.
TEST(OnEveryKindOfConsole, PseudoConsoleLosesCharactersOnlyWhenRecoloured) {
    const struct {
        bool virtualTerminal, takesTheMode;
        const char* row0;
    } cases[] = {{false, false, "\xEF\xBF\xBD deployed \xEF\xBF\xBD"},
                 {true, false, "\xF0\x9F\x9A\x80 deployed e\xCC\x81"},
                 {false, true, "\xF0\x9F\x9A\x80 deployed e\xCC\x81"}};
    for (const auto& c : cases) {
        Console& console = FreshConsoleOf(kKinds[5], 40, 3, 0, 0);
        console.SetDeferredWrap(c.virtualTerminal);
        console.SetTakesVirtualTerminal(c.takesTheMode);
        RunProgram("/0A \"\xF0\x9F\x9A\x80 deployed e\xCC\x81\" 13 10");
        EXPECT_EQ(console.RowText(0).substr(0, std::string(c.row0).size()), c.row0);
        EXPECT_EQ(console.RowAttributes(0), "0A*13 2E*27");
        EXPECT_EQ(console.Mode(), c.virtualTerminal ? 0x7u : 0x3u);
    }
}

// Which way a run goes: recoloured where the console lacks the mode or is
// Wine's; in one frame where the program lays every byte out as a cell;
// measured, the console asked where its cursor is, where only the console
// knows the cells of its characters.
TEST(OnEveryKindOfConsole, EachRunGoesTheWayItsConsoleAndTextCall) {
    const struct {
        Kind kind;
        std::string text;
        const char* way;
    } cases[] = {{kKinds[0], "Hi", "recoloured"},
                 {kKinds[1], "Hi", "frame"},
                 {kKinds[6], "Hi", "frame"},
                 {kKinds[3], "Hi \xC3\xA9", "measured"},
                 {kKinds[3], "Hi", "frame"},
                 {kKinds[7], "\xE4\xB8\xAD", "measured"},
                 {kKinds[8], "\xE4\xB8\xAD", "recoloured"},
                 {kKinds[2], "\xE4\xB8\xAD", "recoloured"},
                 {kDoubleByteKinds[2], "\x93\x8C", "measured"},
                 {kDoubleByteKinds[2], "Hi", "frame"},
                 {kDoubleByteKinds[1], "\x93\x8C", "recoloured"}};
    for (const auto& c : cases) {
        FreshConsoleOf(c.kind, 20, 3, 0, 0);
        const std::vector<std::string> calls = RunProgram("/1F \"" + c.text + "\"");
        const auto run = std::find(calls.begin(), calls.end(), "GetCommandLineA");
        const auto text = std::find_if(run, calls.end(), [](const std::string& call) {
            return call.rfind("WriteConsoleA", 0) == 0;
        });
        const bool asked = std::find(run, text, "GetConsoleScreenBufferInfo") != text;
        const bool recoloured =
            std::any_of(calls.begin(), calls.end(), [](const std::string& call) {
                return call.rfind("WriteConsoleOutputAttribute", 0) == 0;
            });
        EXPECT_STREQ(recoloured ? "recoloured"
                     : asked    ? "measured"
                                : "frame",
                     c.way)
            << c.kind.name << " " << c.text;
    }
}

// Stopped before any of its calls, by Ctrl+C, Ctrl+Break or the window
// closing, the program leaves the mode as it found it, no escape sequence
// shown as text and the console in its own colours.
TEST(OnEveryKindOfConsole, StopGivesTheModeBack) {
    const std::string arguments = "/1F \"Hello\" 13 10 /4E 66*30 /07 \"x\"";
    for (uint64_t call = 1; call < 30; ++call) {
        Console& console = FreshConsoleOf(kKinds[6], 20, 3, 0, 2);
        console.StopBefore(call, static_cast<platform::DWORD>(call % 3));
        RunProgram(arguments);
        EXPECT_EQ(console.Mode(), 0x3u) << call;
        EXPECT_EQ(console.OwnAttribute(), 0x2E) << call;
        for (int y = 0; y < console.Height(); ++y) {
            EXPECT_EQ(console.RowText(y).find('\x1b'), std::string::npos) << call;
        }
    }
}

// NO_COLOR: the text goes out as it is, tabs in place, every cell keeps
// the console's own colours, and the mode is not touched.
TEST(OnEveryKindOfConsole, NoColorLeavesTheConsolesColoursAndMode) {
    for (const Kind& kind : kKinds) {
        Console& console = FreshConsoleOf(kind, 20, 3, 0, 2);
        console.SetEnvironmentVariable("NO_COLOR", "1");
        for (const std::string& call : RunProgram(kRow + "13 10 /4E \"next\" 9 \"b\"")) {
            const bool plain =
                call.rfind("WriteConsoleA", 0) == 0 && call.find("\\x1B") == call.npos;
            EXPECT_TRUE(plain || call.rfind("Get", 0) == 0) << kind.name << ": " << call;
        }
        EXPECT_EQ(console.RowText(2), "next    b           ") << kind.name;
        for (int y = 0; y < 3; ++y) EXPECT_EQ(console.RowAttributes(y), "2E*20") << kind.name;
    }
}

// ASCII text never needs the code page: a UTF-8 console costs the same
// calls as any other.
TEST(OnEveryKindOfConsole, AsciiCostsTheSameCallsUnderUtf8) {
    for (const std::string& arguments : {std::string("/1F \"Hello, world\" 13 10 45*5 /7 9\"x\""),
                                         kRow + "/4E \"next\" 9 \"b\""}) {
        FreshConsoleOf(kKinds[0], 20, 4, 0, 3);
        const std::vector<std::string> legacy = RunProgram(arguments);
        FreshConsoleOf(kKinds[2], 20, 4, 0, 3);
        EXPECT_EQ(RunProgram(arguments), legacy) << arguments;
    }
}

}  // namespace
