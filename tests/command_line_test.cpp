// Where the argument text begins on the raw command line.
#include <gtest/gtest.h>

#include "interpreter/command_line.h"
#include "platform/wide_command_line.h"
#include "tests/simulated_run.h"

namespace {

std::string Times(const std::string& piece, size_t count) {
    std::string out;
    while (count-- > 0) out += piece;
    return out;
}

std::string ArgumentText(const std::string& commandLine) {
    testing_support::FreshConsole().SetCommandLine(commandLine);
    return reinterpret_cast<const char*>(FindArgumentText());
}

TEST(FindArgumentText, TakesTheProgramNameOffTheFront) {
    const struct {
        std::string commandLine;
        std::string arguments;
    } cases[] = {
        {"", ""},
        {"prog", ""},
        {"prog 65", " 65"},
        {"prog   65 66", "   65 66"},
        {"\"C:\\dir with spaces\\prog.exe\" /1F\"Hi\"", " /1F\"Hi\""},
        {"\"prog\"65", "65"},
        {"\"\" 65", " 65"},
        {"\"prog 65", ""},  // never closed: nothing to interpret
        {"\"", ""},
        {" x 65", " 65"},          // a leading blank belongs to the name
        {"pr\"og 65\"", " 65\""},  // a quote inside an unquoted name is just a byte
        {"prog\t65 66", " 66"},    // a tab does not end the name
        {"C:\\dir with spaces\\prog.exe 65", " with spaces\\prog.exe 65"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(ArgumentText(c.commandLine), c.arguments) << "command line: " << c.commandLine;
    }
}

// As Windows hands the line over, in UTF-16, on a console in `codePage`
// (0: no console): what the argument text holds, and the one conversion
// made, with the flags that code page takes.
TEST(FindArgumentText, TakesTheTypedLineInTheConsolesCodePage) {
    const struct {
        uint32_t codePage;
        std::u16string typed;
        std::string arguments;
        const char* conversion;
    } cases[] = {
        {437, u"prog \"caf\u00E9 \u2550\u2550\"", " \"caf\x82 \xCD\xCD\"", "(437, 0x400)"},
        {850, u"prog \"\u221E \u00E9\"", " \"? \x82\"", "(850, 0x400)"},  // 850 has no infinity
        {866, u"prog \u041F\u0440\u0438", " \x8F\xE0\xA8", "(866, 0x400)"},
        {932, u"prog \"\u3042\"", " \"\x82\xA0\"", "(932, 0x400)"},
        {65001, u"prog \"\u2713 \U0001F680\"", " \"\xE2\x9C\x93 \xF0\x9F\x9A\x80\"",
         "(65001, 0x0)"},
        // No look-alike stands in: not a quote, not a blank.
        {437, u"prog \"a\uFF02b\"", " \"a?b\"", "(437, 0x400)"},
        {437, u"C:\\a\u3000b\\prog.exe 65", " 65", "(437, 0x400)"},
        {0, u"prog \u00E9", " \x82", "(1, 0x400)"},  // no console: the OEM code page
        {437, u"", "", "(437, 0x400)"},
        // The longest line, 32,767 units with the NUL, of three bytes each.
        {65001, u"p " + std::u16string(32764, u'\u4E2D'), " " + Times("\xE4\xB8\xAD", 32764),
         "(65001, 0x0)"},
    };
    for (const auto& c : cases) {
        simulated::Console& console = testing_support::FreshConsole();
        console.SetCodePage(c.codePage);
        console.SetTypedCommandLine(c.typed);
        EXPECT_EQ(reinterpret_cast<const char*>(FindArgumentText()), c.arguments)
            << "code page " << c.codePage;
        std::vector<std::string> conversions;
        for (const std::string& call : console.DescribedCalls()) {
            if (call.rfind("WideCharToMultiByte", 0) == 0) conversions.push_back(call.substr(19));
        }
        EXPECT_EQ(conversions, std::vector<std::string>{c.conversion})
            << "code page " << c.codePage;
    }
}

TEST(NoBestFitFlags, OnlyWhereTheCodePageTakesThem) {
    const struct {
        platform::DWORD codePage, flags;
    } cases[] = {
        {437, 0x400}, {850, 0x400},   {866, 0x400}, {932, 0x400}, {1252, 0x400},  {1, 0x400},
        {65001, 0},   {54936, 0},     {65000, 0},   {42, 0},      {50220, 0},     {50229, 0},
        {50225, 0},   {50219, 0x400}, {57002, 0},   {57011, 0},   {57012, 0x400},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(platform::NoBestFitFlags(c.codePage), c.flags) << "code page " << c.codePage;
    }
}

TEST(SkipBlanks, StopsAtTheFirstCharacterThatIsNotABlank) {
    const struct {
        const char* text;
        size_t stop;
    } cases[] = {{"  \t65", 2}, {"65", 0}, {"   ", 3}, {"", 0}, {" \r 1", 1}};
    for (const auto& c : cases) {
        const unsigned char* start = reinterpret_cast<const unsigned char*>(c.text);
        EXPECT_EQ(SkipBlanks(start) - start, static_cast<ptrdiff_t>(c.stop)) << c.text;
    }
}

TEST(IsWholeArgumentText, TheWordAloneWithBlanksAround) {
    const struct {
        const char* text;
        bool whole;
    } cases[] = {
        {"/?", true}, {"  /?  ", true}, {" /? \"x\"", false}, {"/?/?", false},   {"/", false},
        {"", false},  {"/?\t", false},  {"\t/?", false},      {"\"/?\"", false},
    };
    for (const auto& c : cases) {
        const unsigned char* text = reinterpret_cast<const unsigned char*>(c.text);
        EXPECT_EQ(IsWholeArgumentText(text, "/?"), c.whole) << "[" << c.text << "]";
    }
}

}  // namespace
