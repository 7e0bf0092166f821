// The benchmark programs' run (bench/BenchMain.h), ended as a program ends it: a case in error
// fails the program, which names it; without one the program succeeds.
#include <gtest/gtest.h>

#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "bench/BenchMain.h"

namespace {

// A case that measures its loop.
void BM_ProbeMeasures(benchmark::State& state) {
    int n = 0;
    for (auto _ : state) benchmark::DoNotOptimize(++n);
}
BENCHMARK(BM_ProbeMeasures);

// A case that finds, after its loop, that it measured nothing (as the play benchmarks' check of
// their scene does).
void BM_ProbeInError(benchmark::State& state) {
    for (auto _ : state) benchmark::ClobberMemory();
    state.SkipWithError("the probe measured nothing");
}
BENCHMARK(BM_ProbeInError);

// The cases the filter selects, run as a benchmark program runs them; the program's exit status.
// The table goes nowhere: the cases in error are listed on standard error, after it.
[[noreturn]] void RunProgram(const std::string& filter, const std::vector<std::string>& more = {}) {
    if (!std::freopen("/dev/null", "w", stdout)) std::exit(99);
    std::vector<std::string> args = {"bench_probe", "--benchmark_filter=" + filter, "--benchmark_min_time=0.001"};
    args.insert(args.end(), more.begin(), more.end());
    std::vector<char*> argv;
    for (std::string& a : args) argv.push_back(a.data());
    argv.push_back(nullptr);
    std::exit(bench_main::RunBenchmarks(static_cast<int>(args.size()), argv.data()));
}

TEST(BenchMain, ACaseInErrorFailsTheProgramAndIsNamed) {
    EXPECT_EXIT(RunProgram("^BM_Probe"), ::testing::ExitedWithCode(1),
                "FAILED: BM_ProbeInError: the probe measured nothing\n1 case\\(s\\) in error");
    // Each repetition in error is one.
    EXPECT_EXIT(RunProgram("^BM_ProbeInError$", {"--benchmark_repetitions=2"}), ::testing::ExitedWithCode(1),
                "FAILED: BM_ProbeInError: the probe measured nothing\n"
                "FAILED: BM_ProbeInError: the probe measured nothing\n2 case\\(s\\) in error");
}

TEST(BenchMain, WithoutACaseInErrorTheProgramSucceeds) {
    EXPECT_EXIT(RunProgram("^BM_ProbeMeasures$"), ::testing::ExitedWithCode(0), "");
    EXPECT_EXIT(RunProgram("^BM_ProbeMeasures$", {"--benchmark_repetitions=2"}), ::testing::ExitedWithCode(0), "");
}

} // namespace
