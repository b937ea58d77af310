// The command lines that the benchmarks run, one per kind of token and each
// as long as a process can be given, with the console calls that each must
// cost at the least.
#ifndef COLORTEXT_BENCH_KINDS_H
#define COLORTEXT_BENCH_KINDS_H

#include <stdint.h>

#include <string>
#include <vector>

#include "tests/long_command_lines.h"

namespace bench {

// The handle, the first cursor read and the command line.
constexpr uint64_t kCallsToStart = 3;
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
    uint64_t calls;
};

inline std::vector<Kind> Kinds() {
    using long_command_lines::Filled;
    using long_command_lines::kLongest;
    using long_command_lines::Repeats;
    const std::string switches = "/1F\"a\"/2E\"b\"";
    return {
        {"QuotedText", long_command_lines::OneString(),
         kCallsToStart + kCallsPerFlush * Flushes(kLongest - 7)},
        // Two digits and a blank: the shortest printable code.
        {"DecimalCodes", Filled("65 "), kCallsToStart + kCallsPerFlush * Flushes(Repeats("65 "))},
        {"Repeats", Filled("45*80 "),
         kCallsToStart + kCallsPerFlush * Flushes(80 * Repeats("45*80 "))},
        {"Tabs", Filled("9 "), kCallsToStart + kCallsPerFlush * Flushes(8 * Repeats("9 "))},
        // A switch before every character: each character is a run.
        {"ColourSwitches", Filled(switches),
         kCallsToStart + kCallsPerFlush * 2 * Repeats(switches)},
        {"ControlCodes", Filled("13 10 "),
         kCallsToStart + kCallsPerControlCode * 2 * Repeats("13 10 ")},
    };
}

}  // namespace bench

#endif
