// One whole run over the counting console, for measuring with callgrind
// (bench/callgrind.sh), and the check that every kind of command line costs
// exactly the fewest console calls.
//   colortext_cost KIND     one run; prints the kind, its bytes and calls
//   colortext_cost --list   the kinds
//   colortext_cost --check  every kind, against its fewest calls
#include <stdio.h>
#include <string.h>

#include "bench/counting_console.h"
#include "bench/kinds.h"
#include "interpreter/interpreter.h"

namespace {

uint64_t CallsOfOneRun(const bench::Kind& kind) {
    counting::SetCommandLine(kind.commandLine.c_str());
    counting::ResetCounts();
    RunCommandLine();
    return counting::AllCalls();
}

int Check(const std::vector<bench::Kind>& kinds) {
    int failed = 0;
    for (const bench::Kind& kind : kinds) {
        const uint64_t calls = CallsOfOneRun(kind);
        const bool ok = calls == kind.calls;
        printf("%-16s %6llu calls, fewest %6llu  %s\n", kind.name,
               static_cast<unsigned long long>(calls), static_cast<unsigned long long>(kind.calls),
               ok ? "ok" : "FAIL");
        if (!ok) {
            ++failed;
            for (int f = 0; f < counting::kFunctions; ++f) {
                const auto function = static_cast<counting::Function>(f);
                printf("    %-28s %6llu\n", counting::Name(function),
                       static_cast<unsigned long long>(counting::Calls(function)));
            }
        }
    }
    return failed == 0 ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv) {
    const std::vector<bench::Kind> kinds = bench::Kinds();
    if (argc != 2) {
        fprintf(stderr, "usage: %s KIND | --list | --check\n", argv[0]);
        return 2;
    }
    if (strcmp(argv[1], "--check") == 0) return Check(kinds);
    for (const bench::Kind& kind : kinds) {
        if (strcmp(argv[1], "--list") == 0) {
            printf("%s\n", kind.name);
        } else if (strcmp(argv[1], kind.name) == 0) {
            const uint64_t calls = CallsOfOneRun(kind);
            printf("%s %zu %llu\n", kind.name, kind.commandLine.size(),
                   static_cast<unsigned long long>(calls));
            return 0;
        }
    }
    if (strcmp(argv[1], "--list") == 0) return 0;
    fprintf(stderr, "no kind %s\n", argv[1]);
    return 2;
}
