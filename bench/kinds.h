// The command lines that the benchmarks run, one per kind of token, as long
// as a process can be given or any shorter length, with the console calls
// that each must cost at the least on a legacy console.
#ifndef COLORTEXT_BENCH_KINDS_H
#define COLORTEXT_BENCH_KINDS_H

#include <stdint.h>

#include <string>
#include <vector>

#include "tests/long_command_lines.h"

namespace bench {

// The handle, the first cursor read, the output mode, the stop handler and
// virtual-terminal processing asked for (refused on a legacy console), and
// the command line.
constexpr uint64_t kCallsToStart = 6;
// A text write, the cursor read back, the recolouring.
constexpr uint64_t kCallsPerFlush = 3;
// A control byte written alone, the cursor read back.
constexpr uint64_t kCallsPerControlCode = 2;
// Text bytes that go out in one write: half the writer's storage, as the
// other half holds their attribute run.
constexpr uint64_t kRunStorage = 4096;

// The flushes for a run of equally coloured text.
inline uint64_t Flushes(uint64_t bytes) { return (bytes + kRunStorage - 1) / kRunStorage; }

struct Kind {
    const char* name;
    std::string commandLine;
    // The fewest calls on a legacy console; 0 where that is not checked.
    uint64_t calls;
};

// A table row: a name, a tab, a status, a line end.
inline std::string TableRow(const std::string& name) { return "\"" + name + "\" 9 \"ok\" 13 10 "; }

inline std::vector<Kind> Kinds(size_t length = long_command_lines::kLongest) {
    using long_command_lines::Filled;
    using long_command_lines::Repeats;
    const std::string switches = "/1F\"a\"/2E\"b\"";
    const std::string names = TableRow("core") + TableRow("network") + TableRow("ui");
    // The same names with accents, two bytes each in UTF-8.
    const std::string accented =
        TableRow("c\xC3\xB4re") + TableRow("r\xC3\xA9seau") + TableRow("\xC3\xBC\xC3\xAF");
    // Kanji and kana, three bytes and two cells each.
    const std::string eastAsian = "\xE6\x9D\xB1\xE4\xBA\xAC\xE3\x81\xA8\xE5\xA4\xA7";
    std::string text;
    while (text.size() + eastAsian.size() + 7 <= length) text += eastAsian;
    const size_t strings = length - 7;
    return {
        {"QuotedText", long_command_lines::OneString(length),
         kCallsToStart + kCallsPerFlush * Flushes(strings)},
        // Two digits and a blank: the shortest printable code.
        {"DecimalCodes", Filled("65 ", length),
         kCallsToStart + kCallsPerFlush * Flushes(Repeats("65 ", length))},
        {"Repeats", Filled("45*80 ", length),
         kCallsToStart + kCallsPerFlush * Flushes(80 * Repeats("45*80 ", length))},
        {"Tabs", Filled("9 ", length),
         kCallsToStart + kCallsPerFlush * Flushes(8 * Repeats("9 ", length))},
        // A switch before every character: each character is a run.
        {"ColourSwitches", Filled(switches, length),
         kCallsToStart + kCallsPerFlush * 2 * Repeats(switches, length)},
        {"ControlCodes", Filled("13 10 ", length),
         kCallsToStart + kCallsPerControlCode * 2 * Repeats("13 10 ", length)},
        {"EastAsianText", "prog \"" + text + "\"" + std::string(length - 7 - text.size(), ' '), 0},
        {"TabTable", Filled(names, length), 0},
        {"AccentedTabTable", Filled(accented, length), 0},
    };
}

}  // namespace bench

#endif
