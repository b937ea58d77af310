// Where the argument text begins on the raw command line.
#include <gtest/gtest.h>

#include "interpreter/command_line.h"
#include "tests/simulated_run.h"

namespace {

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
