// A stress frame composed on one thread, per personality (bench/graphics/StressFrame.h): two
// full-screen background layers, 600 colour-keyed 32x32 blocks, 300 32x32 sprites (a third
// mirrored), 50 alpha-blended sprites and 20 lines of Japanese text, then presented to memory.
// Goal: under 2 ms. A part of the frame that draws nothing in the mode is an error and the
// program exits with a failure.
#include <benchmark/benchmark.h>

#include <string>

#include "bench/GraphicsModes.h"
#include "bench/Reference.h"
#include "bench/graphics/StressFrame.h"

namespace {

void BM_StressFrame(benchmark::State& state, bool d3d, int bpp) {
    bench_stress::Scene s;
    if (!bench_stress::Setup(s, d3d, bpp)) {
        state.SkipWithError("graphics start-up failed");
        bench_stress::Teardown(s);
        return;
    }
    if (const std::string failures = bench_stress::CheckParts(s, bench_modes::ModeName({d3d, bpp})); !failures.empty()) {
        state.SkipWithError(failures.c_str());
        bench_stress::Teardown(s);
        return;
    }
    // Against a plain alpha blend of a 640x480 frame (x_blend). Goal: within 1.5x.
    bench_ref::RunAgainst(
        state, "blend",
        [&] {
            bench_stress::DrawFrame(s);
            benchmark::DoNotOptimize(s.mem.FrameCount());
        },
        bench_ref::RefBlend);
    state.SetItemsProcessed(state.iterations());
    bench_stress::Teardown(s);
}

} // namespace

BENCHMARK_CAPTURE(BM_StressFrame, Direct3D32, true, 32)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_StressFrame, DirectDraw32, false, 32)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_StressFrame, DirectDraw8, false, 8)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_StressFrame, Direct3D16, true, 16)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_StressFrame, DirectDraw16, false, 16)->Unit(benchmark::kMillisecond);
