// The cost of a whole run per kind of command line, over a console that
// only counts calls: input bytes per second, and the console calls per run
// beside the fewest the design allows. The figures are printed, not judged;
// colortext_cost --check is the test that holds the call counts.
#include <benchmark/benchmark.h>

#include "bench/counting_console.h"
#include "bench/kinds.h"
#include "interpreter/interpreter.h"

namespace {

void WholeRun(benchmark::State& state, const bench::Kind* kind) {
    counting::SetCommandLine(kind->commandLine.c_str());
    uint64_t calls = 0;
    for (auto _ : state) {
        counting::ResetCounts();
        benchmark::DoNotOptimize(RunCommandLine());
        calls = counting::AllCalls();
    }
    state.SetBytesProcessed(state.iterations() * static_cast<int64_t>(kind->commandLine.size()));
    state.counters["calls"] = static_cast<double>(calls);
    state.counters["fewest_calls"] = static_cast<double>(kind->calls);
}

}  // namespace

int main(int argc, char** argv) {
    static const std::vector<bench::Kind> kinds = bench::Kinds();
    for (const bench::Kind& kind : kinds) {
        benchmark::RegisterBenchmark(kind.name, WholeRun, &kind);
    }
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
