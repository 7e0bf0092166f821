#pragma once
// A drawing benchmark's cases judged by their check (bench/DrawCheck.h) in the run: a case that
// fails its check is an error in the table, and the program, once every case has run, prints
// each failure and exits with a failure.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <set>
#include <string>

#include "bench/DrawCheck.h"

namespace bench_draw {

// The failures met so far, each once (a case is run several times).
inline std::set<std::string>& Failures() {
    static std::set<std::string> failures;
    return failures;
}

// Applies a verdict to the case's run: false when it is not to be timed against the blend (its
// label then says why, or the run is an error and the failure is kept for the program's end).
inline bool Apply(benchmark::State& state, const std::string& label, const cVerdict& v) {
    if (!v.failure.empty()) {
        Failures().insert(v.failure);
        state.SkipWithError(v.failure.c_str());
        return false;
    }
    if (!v.timed) state.SetLabel(label + " " + v.label);
    return v.timed;
}

// The program's main: the benchmarks run, then each failure is printed and the exit status is 1
// when there was one.
inline int RunDrawBenchmarks(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    for (const std::string& f : Failures()) std::fprintf(stderr, "FAILED: %s\n", f.c_str());
    if (!Failures().empty())
        std::fprintf(stderr, "%zu case(s) do not draw as their benchmark expects\n", Failures().size());
    return Failures().empty() ? 0 : 1;
}

} // namespace bench_draw
