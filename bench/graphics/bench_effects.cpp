// Every effect blitter and both transitions at 640 x 480, per drawing mode: a full-screen
// picture drawn through the effect into the back buffer (bench/graphics/EffectCases.h). Goal:
// each under 1 ms on one core. A case with no pixel work in its mode by design
// (bench_fx::kNoPixelWork) is named so in its label and has no ratio; any other case that draws
// nothing is an error and the program exits with a failure (bench/DrawCheck.h).
#include <benchmark/benchmark.h>

#include <string>

#include "bench/DrawBench.h"
#include "bench/Reference.h"
#include "bench/graphics/EffectCases.h"

namespace {

// Each case runs for a tenth of a second of its own time: ninety cases, each set up anew (a
// device and a picture) for every run the library makes of it, finish in well under two minutes.
constexpr double kCaseSeconds = 0.1;

void Run(benchmark::State& state, const bench_fx::Case& c) {
    const bench_fx::Mode m = bench_fx::kModes[state.range(0)];
    state.SetLabel(bench_fx::ModeName(m));
    bench_fx::Fixture f(m);
    if (!f.ok) {
        state.SkipWithError("graphics start-up failed");
        return;
    }
    DDSURFACEDATA* back = &g_sdBackBuffer;
    const auto work = [&] {
        c.draw(back, f);
        DDEndScene();
        benchmark::ClobberMemory();
    };
    const bench_draw::eDraws found = bench_draw::WhatItDraws(bench_fx::PrimeBackBuffer, work);
    if (!bench_draw::Apply(state, bench_fx::ModeName(m),
                           bench_draw::Judge(c.name, bench_fx::ModeName(m), found, bench_fx::kNoPixelWork))) {
        for (auto _ : state) work();
        return;
    }
    // Against a plain alpha blend of a 640x480 frame (x_blend). Goal: within 1.5x.
    bench_ref::RunAgainst(state, "blend", work, bench_ref::RefBlend);
}

// Registered in the cases' order, under the names the cases have always had (BM_<name>/<mode>).
const bool g_registered = [] {
    for (const bench_fx::Case& c : bench_fx::Cases())
        benchmark::RegisterBenchmark((std::string("BM_") + c.name).c_str(), [&c](benchmark::State& s) { Run(s, c); })
            ->DenseRange(0, bench_fx::kModeCount - 1)
            ->MinTime(kCaseSeconds)
            ->Unit(benchmark::kMicrosecond);
    return true;
}();

} // namespace
