// The writer's pure helpers, as tables: each row a value in and the value
// that must come out, at the edges where an off-by-one would hide.
#include <gtest/gtest.h>

#include <string>

#include "console/colour_choice.h"
#include "console/columns.h"
#include "console/landing.h"
#include "console/text_measure.h"

namespace {

const uint8_t* Bytes(const std::string& s) { return reinterpret_cast<const uint8_t*>(s.data()); }
uint32_t Size(const std::string& s) { return static_cast<uint32_t>(s.size()); }

TEST(TextMeasure, KindsAndUtf8Edges) {
    const struct {
        std::string text;
        uint32_t kinds, tail;
    } rows[] = {
        {"", 0, 0},
        {" ~plain text, longer than a word", 0, 0},
        {"a word then\x1F", kControlByte, 0},
        {"DEL, in a word\x7F!", kDeleteByte, 0},
        {"\xFF\xFF\xFF\xFF\xFF\xFF\xFF\xFF", kHighByte, 0},
        {"x\xC2", kHighByte, 1},          // the least lead byte
        {"x\xC1", kHighByte, 0},          // an overlong lead begins nothing
        {"x\xE4\xB8", kHighByte, 2},      // two of three
        {"x\xF0\x9F\x98", kHighByte, 3},  // three of four
        {"x\xF0\x9F\x98\x80", kHighByte, 0},
        {"x\xF5\x80", kHighByte, 0},  // past U+10FFFF
        {"\x80\x80\x80\x80", kHighByte, 0},
    };
    for (const auto& r : rows) {
        EXPECT_EQ(KindsOf(Bytes(r.text), Size(r.text)), r.kinds) << r.text;
        EXPECT_EQ(Utf8UnfinishedTail(Bytes(r.text), Size(r.text)), r.tail) << r.text;
    }
    const struct {
        uint8_t lead;
        uint32_t length;
    } leads[] = {{0x7F, 1}, {0xBF, 1}, {0xC0, 2}, {0xDF, 2}, {0xE0, 3}, {0xEF, 3}, {0xF0, 4}};
    for (const auto& l : leads) EXPECT_EQ(Utf8Length(l.lead), l.length) << int{l.lead};
}

TEST(TextMeasure, Utf8CellsAndPieces) {
    const std::string han = "\xE4\xB8\xAD", check = "\xE2\x9C\x93";
    const struct {
        std::string text;
        int32_t spread;
        uint32_t limit, measured;
        CellRange range;
    } rows[] = {
        {"ab", 0, 2048, 2, {2, 2}},
        {"e\xCC\x81 and a word or two", 0, 2048, 21, {19, 21}},
        {han + han + han, 0, 2048, 9, {0, 9}},
        {"\x80\x80", 0, 2048, 2, {0, 2}},
        // A piece stops before the character that would make its range
        // as wide as the spread, or its bytes pass the limit.
        {check + check + "a", 6, 2048, 3, {0, 3}},
        {check + "abc" + check, 6, 2048, 6, {3, 6}},
        {"abcd" + han, 3, 2048, 4, {4, 4}},
        {"abcdef", 10, 4, 4, {4, 4}},
        {"\x80\x80\x80", 2, 2048, 1, {0, 1}},  // a byte that continues nothing
    };
    for (const auto& r : rows) {
        CellRange got{};
        EXPECT_EQ(MeasureUtf8(Bytes(r.text), Size(r.text), r.spread, r.limit, got), r.measured)
            << r.text;
        EXPECT_EQ(got.least, r.range.least) << r.text;
        EXPECT_EQ(got.most, r.range.most) << r.text;
    }
}

// Code page 932: 0x93 0x8C is a character of two bytes, 0xB1 one of one.
TEST(TextMeasure, DoubleByteCellsPiecesAndLeadBytes) {
    const LeadBytes leads = LeadBytesOf(932);
    const struct {
        std::string text;
        int32_t spread;
        uint32_t limit, measured;
        CellRange range;
    } rows[] = {
        {"\x93\x8C\xB1\x9F\x40", 0, 1024, 5, {3, 7, false}},
        {"a\x93", 0, 1024, 2, {1, 2, true}},       // kept for the next write
        {"a\xFC", 0, 1024, 2, {1, 2, true}},       // the last lead byte
        {"a\xFD\x40", 0, 1024, 3, {3, 3, false}},  // not one
        {"\x93\x8C\x93\x8C\x93\x8C", 5, 1024, 4, {2, 6, false}},
        {"ab\x93\x8C", 0, 3, 2, {2, 2, false}},
    };
    for (const auto& r : rows) {
        CellRange got{};
        EXPECT_EQ(MeasureDoubleByte(Bytes(r.text), Size(r.text), leads, r.spread, r.limit, got),
                  r.measured);
        EXPECT_EQ(got.least, r.range.least) << r.text;
        EXPECT_EQ(got.most, r.range.most) << r.text;
        EXPECT_EQ(EndsInLeadByte(Bytes(r.text), r.measured, leads), r.range.endsInLead) << r.text;
    }
    EXPECT_FALSE(LeadBytesOf(936).Has(0x80));
    EXPECT_TRUE(LeadBytesOf(949).Has(0xFE));
    EXPECT_FALSE(LeadBytesOf(437).Has(0x93));
}

// A buffer of 10 x 4: cells 0 to 39, the bottom row 30 to 39.
TEST(Landing, CellsFromTheCursorBeforeAndAfter) {
    const struct {
        const char* name;
        int32_t start, after;
        CellRange range;
        Landing landing;
    } rows[] = {
        {"MidBuffer", 12, 17, {5, 5}, {5, 12}},
        {"EndsInTheLastCellAndScrolls", 35, 30, {5, 5}, {5, 25}},
        {"WrapsTwiceFromTheBottomRow", 35, 32, {17, 17}, {17, 15}},
        {"ScrolledOffTheTop", 5, 32, {57, 57}, {57, -25}},
        {"NothingExplainsTheCursor", 12, 19, {5, 5}, {-1, 12}},
        {"OnlyTheBottomRowScrolls", 22, 20, {8, 8}, {-1, 22}},
        {"WideCharactersInTheRange", 12, 16, {0, 6}, {4, 12}},
        {"RangeNarrowerThanARow", 36, 33, {3, 9}, {7, 26}},
    };
    for (const auto& r : rows) {
        const Landing got = FindLanding(r.start, r.after, r.range, 10, 40);
        EXPECT_EQ(got.cells, r.landing.cells) << r.name;
        EXPECT_EQ(got.first, r.landing.first) << r.name;
    }
}

TEST(Columns, FileTerminalAndVirtualTerminalConsole) {
    const struct {
        const char* name;
        std::string bytes;
        uint32_t file, fileUtf8, terminal;  // from column 3 of a 10-column terminal
        int32_t console;                    // from column 3 of 10; -1: unknown
        bool pending;
    } rows[] = {
        {"Text", "abcd", 7, 7, 7, 7, false},
        {"FillsTheRow", "abcdefg", 10, 10, 0, 9, true},
        {"PastTheRow", "abcdefghi", 12, 12, 2, 2, false},
        {"Blank", " ", 4, 4, 4, 4, false},
        {"CarriageReturn", "ab\rc", 1, 1, 1, 1, false},
        {"LineFeed", "ab\nc", 1, 1, 1, 1, false},
        {"BackspaceAfterAFullRow", "abcdefg\b", 9, 9, 0, 8, false},
        {"TabFromAFullRow", "abcdefg\t", 16, 16, 8, 9, true},
        {"TabToTheLastColumn", "abc\t", 8, 8, 8, 8, false},
        {"Bell", "a\a", 4, 4, 4, 4, false},
        {"Delete", "a\x7F", 4, 4, 4, 4, false},
        {"IgnoredControlAndSubstitute", "a\x01\x1A", 4, 4, 4, 5, false},
        {"Escape", "a\x1b", 4, 4, 4, -1, false},
        {"Accent", "\xC3\xA9", 5, 4, 4, -1, false},
        {"Wide", "\xE4\xB8\xAD", 6, 4, 5, -1, false},
    };
    for (const auto& r : rows) {
        const uint32_t kinds = KindsOf(Bytes(r.bytes), Size(r.bytes));
        for (const bool utf8 : {false, true}) {
            FileColumn file = {3, false};
            file.LayOut(Bytes(r.bytes), Size(r.bytes), utf8, nullptr);
            EXPECT_EQ(file.column, utf8 ? r.fileUtf8 : r.file) << r.name;
        }
        TerminalColumn terminal = {3, 10, 0, 0, 0, 0, false, false};
        terminal.LayOut(Bytes(r.bytes), Size(r.bytes), kinds);
        EXPECT_EQ(terminal.column, r.terminal) << r.name;
        ConsoleColumn console = {3, 10, false, true, false, false, false};
        console.LayOut(Bytes(r.bytes), Size(r.bytes), kinds, true);
        EXPECT_EQ(console.known ? console.column : -1, r.console) << r.name;
        if (console.known) {
            EXPECT_EQ(console.pending, r.pending) << r.name;
        }
    }
}

// An empty value is not set; only FORCE_COLOR knows false, as it is spelled.
TEST(ColourChoice, NoColorWinsThenEitherForce) {
    const struct {
        const char *noColor, *force, *cli;
        Colours colours;
    } rows[] = {
        {nullptr, nullptr, nullptr, Colours::kAsUsual},
        {"", "", "", Colours::kAsUsual},
        {"0", "1", "1", Colours::kNone},
        {nullptr, "false", "0", Colours::kAsUsual},
        {nullptr, "FALSE", nullptr, Colours::kForced},
        {nullptr, "00", nullptr, Colours::kForced},
        {nullptr, "0", "1", Colours::kForced},
        {nullptr, nullptr, "false", Colours::kForced},
    };
    for (const auto& r : rows) {
        EXPECT_EQ(ChooseColours(r.noColor, r.force, r.cli), r.colours) << r.force << " " << r.cli;
    }
}

}  // namespace
