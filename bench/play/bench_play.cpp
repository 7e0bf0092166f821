// One frame of stage play, update and draw, headless on one core (Release goal: under 3 ms):
//  - the demo game's busiest stage as it is played;
//  - a generated busy stage: 300 stage characters, each running the demo's patrolling flow,
//    200 live shots, speed level 10 (ten play steps a frame); once plain, once with 20 of the
//    characters in view drawn through the demo's looping burst and the screen through its
//    looping clear wave.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <filesystem>
#include <memory>
#include <unistd.h>

#include "app/PlayRecord.h"
#include "bench/Reference.h"
#include "bench/play/BusyStage.h"
#include "bench/play/PatrolStage.h"
#include "database/CommonPalette.h"
#include "database/Database.h"
#include "platform/system/PathResolver.h"
#include "play/GameScene.h"
#include "play/shots/ShotCommands.h"
#include "records/EdSettings.h"
#include "records/DataFile.h"
#include "records/Stage.h"
#include "records/StageSettings.h"
#include "tools/DemoFlows.h"
#include "tools/DemoGame.h"
#include "tools/PlaySim.h"

namespace {

struct Game {
    std::filesystem::path dir;
    Game() {
        dir = std::filesystem::temp_directory_path() / ("tobrelk_bench_play_" + std::to_string(::getpid()));
        std::filesystem::remove_all(dir);
        std::string error;
        if (!MakeDemoGame(dir, error)) std::fprintf(stderr, "demo game: %s\n", error.c_str());
        WriteBusyStage(300, bench_play::kBusyStageFile);
        WriteBusyStage(3000, "data\\stg4\\Busy3000.stg4_001");
    }
    ~Game() { std::filesystem::remove_all(dir); }

    void WriteBusyStage(int count, const char* name) const { bench_play::WritePatrolStage(dir, count, name, false); }
};

Game& TheGame() {
    static Game g;
    return g;
}

// The simulator's state hash after each frame (a walk over every object for the tests) is not
// part of the game's frame: FrameWithHash times it too.
using bench_play::PlayFrame;

void FrameWithHash(playsim::cPlaySim& sim) {
    if (cPlayer* p = sim.Scene().Player0()) p->m_nHP = 999999;
    sim.Frame({});
}

// Plays frames against a plain alpha blend of a 640x480 frame (x_blend).
void PlayFrames(benchmark::State& state, playsim::cPlaySim& sim) {
    bench_ref::RunAgainst(state, "blend", [&] { PlayFrame(sim); }, bench_ref::RefBlend);
}

void BM_DemoBusiestStage(benchmark::State& state) {
    playsim::cPlaySim sim;
    std::string error;
    if (!sim.Open({TheGame().dir.string(), true, 32}, error) || !sim.StartStage("data\\stg4\\Demo-1.stg4_001", 1, error)) {
        state.SkipWithError(error.c_str());
        return;
    }
    PlayFrames(state, sim);
}
BENCHMARK(BM_DemoBusiestStage)->Unit(benchmark::kMillisecond);

// The busy stage (300 characters, 200 shots, bench/play/BusyStage.h), with 20 character
// effects in view and a looping screen effect when withEffects is set. Between the timed frames
// the scene is put back as it was set; what each timed frame showed is counted, and a frame that
// lost its characters, shots or effects stops the benchmark.
void BusyStage(benchmark::State& state, bool withEffects) {
    bench_play::cBusyStage busy;
    std::string error;
    if (!busy.Start(TheGame().dir, withEffects, error)) {
        state.SkipWithError(error.c_str());
        return;
    }
    cGameScene& s = busy.Scene();
    state.counters["characters"] = s.m_lstChara.LiveCount();
    // The fewest of each that a timed frame showed.
    bench_play::BusyView least{bench_play::kBusyInView, bench_play::kBusyInView, bench_play::kBusyShots, true};
    bench_ref::RunAgainstBetween(
        state, "blend", [&] { busy.Frame(); },
        [&] {
            const bench_play::BusyView v = busy.View();
            least.charas = std::min(least.charas, v.charas);
            least.effects = std::min(least.effects, v.effects);
            least.shots = std::min(least.shots, v.shots);
            least.screenEffect = least.screenEffect && v.screenEffect;
            busy.Restore();
        },
        bench_ref::RefBlend);
    state.counters["in_view_min"] = least.charas;
    state.counters["shots_min"] = least.shots;
    if (withEffects) state.counters["effects_in_view_min"] = least.effects;
    const std::string lost = bench_play::BusyViewShortfall(least, withEffects);
    if (!lost.empty()) state.SkipWithError(lost.c_str());
}
void BM_Busy300Characters200Shots20Effects(benchmark::State& state) { BusyStage(state, true); }
BENCHMARK(BM_Busy300Characters200Shots20Effects)->Unit(benchmark::kMillisecond);
// The same stage as it plays without effects: twenty characters in view, the shots among them.
void BM_Busy300Characters200Shots(benchmark::State& state) { BusyStage(state, false); }
BENCHMARK(BM_Busy300Characters200Shots)->Unit(benchmark::kMillisecond);

// The per-step walks over the characters of stages whose characters nearly all sleep (out of
// their activity range, as a stage's patrollers far from the hero are): a frame of 3,000 against
// a frame of 300 on the same layout (x_c300), with how many of each act ("acting", "acting_300").
// bench_play_awake times stages whose characters all act. One play runs at a time, so the 300
// are timed first, as many frames as the 3,000 then take. Goal: within 3x.
double MedianFrameNs(const char* stage, int frames, int& acting, std::string& error) {
    playsim::cPlaySim sim;
    if (!sim.Open({TheGame().dir.string(), true, 32}, error) || !sim.StartStage(stage, 1, error)) return 0;
    std::vector<double> t;
    for (int i = 0; i < frames; ++i) {
        const double t0 = bench_ref::CpuNs();
        PlayFrame(sim);
        t.push_back(bench_ref::CpuNs() - t0);
    }
    acting = bench_play::ActingCharas(sim);
    return bench_ref::Median(t);
}

void BM_SleepingCharacters3000Against300(benchmark::State& state) {
    std::string error;
    int acting300 = 0;
    const double small = MedianFrameNs(bench_play::kBusyStageFile, 60, acting300, error);
    playsim::cPlaySim big;
    if (small <= 0 || !big.Open({TheGame().dir.string(), true, 32}, error) ||
        !big.StartStage("data\\stg4\\Busy3000.stg4_001", 1, error)) {
        state.SkipWithError(error.c_str());
        return;
    }
    state.counters["characters"] = big.Scene().m_lstChara.LiveCount();
    std::vector<double> t;
    for (auto _ : state) {
        const double t0 = bench_ref::CpuNs();
        PlayFrame(big);
        t.push_back(bench_ref::CpuNs() - t0);
    }
    state.counters["x_c300"] = bench_ref::Median(t) / small;
    state.counters["ref_us"] = small / 1000.0;
    state.counters["acting"] = bench_play::ActingCharas(big);
    state.counters["acting_300"] = acting300;
}
BENCHMARK(BM_SleepingCharacters3000Against300)->Unit(benchmark::kMillisecond);

} // namespace

namespace {
// Frames of the plain patroller stages alone (for profiles of the per-step walks).
void BM_PatrollerFrame(benchmark::State& state) {
    playsim::cPlaySim sim;
    std::string error;
    const char* stage = state.range(0) == 300 ? bench_play::kBusyStageFile : "data\\stg4\\Busy3000.stg4_001";
    if (!sim.Open({TheGame().dir.string(), true, 32}, error) || !sim.StartStage(stage, 1, error)) {
        state.SkipWithError(error.c_str());
        return;
    }
    for (auto _ : state) {
        if (state.range(1)) FrameWithHash(sim);
        else PlayFrame(sim);
    }
}
// (characters, with the simulator's state hash)
BENCHMARK(BM_PatrollerFrame)->Args({300, 0})->Args({3000, 0})->Args({300, 1})->Args({3000, 1})->Unit(benchmark::kMicrosecond);
} // namespace
