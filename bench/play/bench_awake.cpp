// Frames of stages whose characters are all awake (every one has the whole stage as its activity
// range), 300, 1,000, 3,000 and 8,000 of them, each running the demo's patrolling flow on the
// floors of six rows, at speed level 10 (ten play steps a frame). The stage grows with the
// count, as a game's would: the block map and the characters outgrow the caches together.
//
// Counters: x_blend, the frame against a plain alpha blend of a 640x480 frame; ns_chara, the
// frame's cost per character; ns_chara_step, that cost per play step (the frames' steps counted
// as they are played; goal: under 300 ns at 3,000); steps, the play steps a timed frame made;
// x_c300, the cost per character against the same cost of the 300-character stage, timed in the
// same process just before (goal: within 1.5x at 8,000).
#include <benchmark/benchmark.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <unistd.h>

#include "bench/Reference.h"
#include "bench/play/PatrolStage.h"
#include "play/GameScene.h"
#include "records/CharaSettings.h"
#include "records/DataFile.h"
#include "records/Stage.h"
#include "records/StageSettings.h"
#include "platform/system/PathResolver.h"
#include "tools/DemoFlows.h"
#include "tools/DemoGame.h"
#include "tools/PlaySim.h"

namespace {

constexpr int kCounts[] = {300, 1000, 3000, 8000};

std::string AwakeStageName(int count) { return "data\\stg4\\Awake" + std::to_string(count) + ".stg4_001"; }

struct AwakeGame {
    std::filesystem::path dir;
    AwakeGame() {
        dir = std::filesystem::temp_directory_path() / ("tobrelk_bench_awake_" + std::to_string(::getpid()));
        std::filesystem::remove_all(dir);
        std::string error;
        if (!MakeDemoGame(dir, error)) std::fprintf(stderr, "demo game: %s\n", error.c_str());
        for (int count : kCounts) WriteStage(count);
    }
    ~AwakeGame() { std::filesystem::remove_all(dir); }

    void WriteStage(int count) const { bench_play::WritePatrolStage(dir, count, AwakeStageName(count), true); }
};

AwakeGame& TheAwakeGame() {
    static AwakeGame g;
    return g;
}

const auto AwakeFrame = bench_play::PlayFrame;

bool StartAwake(playsim::cPlaySim& sim, int count, std::string& error) {
    return sim.Open({TheAwakeGame().dir.string(), true, 32}, error) && sim.StartStage(AwakeStageName(count), 1, error);
}

const auto Acting = bench_play::ActingCharas;

// The 300-character stage's median frame, after frames enough to settle its caches.
double Median300(std::string& error) {
    playsim::cPlaySim sim;
    if (!StartAwake(sim, 300, error)) return 0;
    for (int i = 0; i < 20; ++i) AwakeFrame(sim);
    std::vector<double> t;
    for (int i = 0; i < 100; ++i) {
        const double t0 = bench_ref::CpuNs();
        AwakeFrame(sim);
        t.push_back(bench_ref::CpuNs() - t0);
    }
    return bench_ref::Median(t);
}

void BM_AwakeCharacters(benchmark::State& state) {
    const int count = static_cast<int>(state.range(0));
    std::string error;
    const double small = Median300(error);
    playsim::cPlaySim sim;
    if (small <= 0 || !StartAwake(sim, count, error)) {
        state.SkipWithError(error.c_str());
        return;
    }
    for (int i = 0; i < 3; ++i) AwakeFrame(sim);
    state.counters["acting"] = Acting(sim);
    std::vector<double> t;
    const i32 stepsBefore = sim.Scene().m_nStepCount;
    bench_ref::RunAgainst(
        state, "blend",
        [&] {
            const double t0 = bench_ref::CpuNs();
            AwakeFrame(sim);
            t.push_back(bench_ref::CpuNs() - t0);
        },
        bench_ref::RefBlend);
    const double perChara = bench_ref::Median(t) / count;
    const double steps = t.empty() ? 0 : static_cast<double>(sim.Scene().m_nStepCount - stepsBefore) / static_cast<double>(t.size());
    state.counters["ns_chara"] = perChara;
    state.counters["steps"] = steps;
    state.counters["ns_chara_step"] = steps > 0 ? perChara / steps : 0;
    state.counters["x_c300"] = perChara / (small / 300);
    state.counters["acting_end"] = Acting(sim);
}
BENCHMARK(BM_AwakeCharacters)->Arg(300)->Arg(1000)->Arg(3000)->Arg(8000)->Unit(benchmark::kMillisecond);

} // namespace
