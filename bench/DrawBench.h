#pragma once
// A drawing benchmark's cases judged by their check (bench/DrawCheck.h) in the run: a case that
// fails its check is an error in the table, and the program, once every case has run, prints
// each case in error and exits with a failure (bench/BenchMain.h).
#include <benchmark/benchmark.h>

#include <string>

#include "bench/DrawCheck.h"

namespace bench_draw {

// Applies a verdict to the case's run: false when it is not to be timed against the blend (its
// label then says why, or the run is an error that fails the program).
inline bool Apply(benchmark::State& state, const std::string& label, const cVerdict& v) {
    if (!v.failure.empty()) {
        state.SkipWithError(v.failure.c_str());
        return false;
    }
    if (!v.timed) state.SetLabel(label + " " + v.label);
    return v.timed;
}

} // namespace bench_draw
