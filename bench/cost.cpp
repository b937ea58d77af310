// One whole run on a simulated console, for measuring with callgrind
// (bench/callgrind.sh), and the check that every kind of command line costs
// exactly the fewest console calls on a legacy console.
//   colortext_cost KIND CONSOLE LENGTH   one run; prints its bytes and calls
//   colortext_cost --kinds | --consoles  the names
//   colortext_cost --check               every kind, against its fewest calls
// The console is as tall as a fresh console window's buffer, 9,001 rows of
// 120, with the cursor at the top left, so nothing here scrolls it. It
// shows every call to an observer that keeps nothing, so that a run costs
// the program and the console alone; callgrind leaves the console out.
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include "bench/kinds.h"
#include "interpreter/interpreter.h"
#include "platform/simulated_console.h"

namespace {

using simulated::Layout;

struct ConsoleKind {
    const char* name;
    uint32_t codePage;
    Layout layout;
    bool virtualTerminal;
    bool pseudoConsole;
};

const ConsoleKind kConsoles[] = {
    {"legacy", 437, Layout::kConsoleHost, false, false},
    {"utf8-host", 65001, Layout::kConsoleHost, false, false},
    {"utf8-wine", 65001, Layout::kWine, false, false},
    {"vt", 437, Layout::kConsoleHost, true, false},
    {"utf8-host-vt", 65001, Layout::kConsoleHost, true, false},
    {"pseudo-console", 65001, Layout::kConsoleHost, true, true},
};

class Discard : public simulated::Observer {
  public:
    void Saw(const simulated::Call&, const void*, size_t) override {}
};

uint64_t CallsOfOneRun(const std::string& commandLine, const ConsoleKind& kind) {
    static Discard discard;
    simulated::Console& console = simulated::TheConsole();
    console.Reset(120, 9001, platform::COORD{0, 0}, 0x07);
    console.SetCodePage(kind.codePage, kind.layout);
    console.SetDeferredWrap(kind.virtualTerminal);
    console.SetPseudoConsole(kind.pseudoConsole);
    console.SetCommandLine(commandLine);
    console.Observe(&discard);
    RunCommandLine();
    return console.CallCount();
}

int Check() {
    int failed = 0;
    for (const bench::Kind& kind : bench::Kinds()) {
        if (kind.calls == 0) continue;
        const uint64_t calls = CallsOfOneRun(kind.commandLine, kConsoles[0]);
        const bool ok = calls == kind.calls;
        printf("%-16s %6llu calls, fewest %6llu  %s\n", kind.name,
               static_cast<unsigned long long>(calls), static_cast<unsigned long long>(kind.calls),
               ok ? "ok" : "FAIL");
        failed += ok ? 0 : 1;
    }
    return failed == 0 ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc == 2 && strcmp(argv[1], "--check") == 0) return Check();
    if (argc == 2 && strcmp(argv[1], "--kinds") == 0) {
        for (const bench::Kind& kind : bench::Kinds()) printf("%s\n", kind.name);
        return 0;
    }
    if (argc == 2 && strcmp(argv[1], "--consoles") == 0) {
        for (const ConsoleKind& console : kConsoles) printf("%s\n", console.name);
        return 0;
    }
    if (argc != 4) {
        fprintf(stderr, "usage: %s KIND CONSOLE LENGTH | --kinds | --consoles | --check\n",
                argv[0]);
        return 2;
    }
    const size_t length = strtoul(argv[3], nullptr, 10);
    if (length < 64 || length > long_command_lines::kLongest) {
        fprintf(stderr, "length %s is not from 64 to %zu\n", argv[3], long_command_lines::kLongest);
        return 2;
    }
    for (const ConsoleKind& console : kConsoles) {
        if (strcmp(argv[2], console.name) != 0) continue;
        for (const bench::Kind& kind : bench::Kinds(length)) {
            if (strcmp(argv[1], kind.name) != 0) continue;
            const uint64_t calls = CallsOfOneRun(kind.commandLine, console);
            printf("%zu %llu\n", kind.commandLine.size(), static_cast<unsigned long long>(calls));
            return 0;
        }
    }
    fprintf(stderr, "no kind %s on a console %s\n", argv[1], argv[2]);
    return 2;
}
