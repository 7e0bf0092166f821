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
        WriteBusyStage(300, "data\\stg4\\Busy.stg4_001");
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

// The busy stage (300 characters, 200 shots), with 20 character effects in view and a looping
// screen effect when withEffects is set.
void BusyStage(benchmark::State& state, bool withEffects) {
    playsim::cPlaySim sim;
    std::string error;
    if (!sim.Open({TheGame().dir.string(), true, 32}, error) || !sim.StartStage("data\\stg4\\Busy.stg4_001", 1, error)) {
        state.SkipWithError(error.c_str());
        return;
    }
    cGameScene& s = sim.Scene();
    // Twenty patrollers brought into the view ahead of the hero, 20 dots apart on its row; with
    // effects, drawn through the demo's burst (its first character effect), looping, and the
    // screen waves through its clear wave (its first screen effect), looping.
    auto firstOfKind = [](const auto& list) {
        for (int i = 1; i < static_cast<int>(list.size()); ++i)
            if (list[static_cast<std::size_t>(i)].nEffectType != 0) return i;
        return 0;
    };
    const int burst = firstOfKind(g_Database.m_vCharaEffect);
    int effects = 0;
    const cPlayer* hero = s.Player0();
    if (!hero) {
        state.SkipWithError("no hero");
        return;
    }
    s.ForEachChara([&](cStageChara& c) {
        if (effects == 20) return;
        c.m_dX = hero->m_dX + 64 + 20 * effects++;
        c.m_dY = hero->m_dBottom + 1 - c.m_nBoxH;
        c.UpdateEdgesX(), c.UpdateEdgesY(), c.OnMovedX(), c.OnMovedY();
        if (withEffects) c.m_CharaEffect.Set(burst, 0, 1);
    });
    if (withEffects) s.m_ScreenEffect.Set(firstOfKind(g_Database.m_vScrEffect), 0, 1);
    s.Player0()->m_nHP = 999999;
    sim.Frame({});
    // 200 shots that live as long as the play: half weave on their spot (a wave without speed),
    // half home on the hero from the patrollers' rows.
    // Shots off the view leave by the stage's areas: the shooters are the patrollers in view.
    std::vector<cStageChara*> shooters;
    s.ForEachChara([&](cStageChara& c) {
        if (c.IsOnScreen()) shooters.push_back(&c);
    });
    cCmdRun run;
    for (int i = 0; i < 200 && !shooters.empty(); ++i) {
        cEdShot def;
        def.Clear();
        ShotSettings::Set(def, eShot::ShotsPerVolley, 1);
        ShotSettings::Set(def, eShot::Scale, 1);
        ShotSettings::Set(def, eShot::TakeShooterSide, 1);
        ShotSettings::Set(def, eShot::Picture, i % 30);
        ShotSettings::Set(def, eShot::Power, 1);
        ShotSettings::Set(def, eShot::PierceBlocks, 1);
        if (i % 2 == 0) {
            ShotSettings::Set(def, eShot::AimMode, 8);
            ShotSettings::Set(def, eShot::AimParam1, 1);
            ShotSettings::Set(def, eShot::AimParam2, 10);
        } else {
            ShotSettings::Set(def, eShot::AimMode, 4);
            ShotSettings::Set(def, eShot::AimParam2, 999);
            ShotSettings::Set(def, eShot::Speed, 20);
        }
        FireShot(s, *shooters[static_cast<std::size_t>(i) % shooters.size()], run, def);
    }
    state.counters["characters"] = s.m_lstChara.LiveCount();
    state.counters["shots"] = s.m_lstShot.LiveCount();
    int drawn = 0;
    s.ForEachChara([&](cStageChara& c) { drawn += c.IsOnScreen() && c.m_CharaEffect.IsRunning(); });
    state.counters["effects_in_view"] = drawn;
    PlayFrames(state, sim);
    state.counters["shots_end"] = s.m_lstShot.LiveCount();
    state.counters["screen_effect_end"] = s.m_ScreenEffect.IsRunning();
}
void BM_Busy300Characters200Shots20Effects(benchmark::State& state) { BusyStage(state, true); }
BENCHMARK(BM_Busy300Characters200Shots20Effects)->Unit(benchmark::kMillisecond);
// The same stage as it plays without effects: twenty characters in view, the shots among them.
void BM_Busy300Characters200Shots(benchmark::State& state) { BusyStage(state, false); }
BENCHMARK(BM_Busy300Characters200Shots)->Unit(benchmark::kMillisecond);

// The per-step walks over the characters: a frame of 3,000 patrollers against a frame of 300 on
// the same layout (x_c300). One play runs at a time, so the 300 are timed first, as many frames
// as the 3,000 then take. Goal: within 3x.
double MedianFrameNs(const char* stage, int frames, std::string& error) {
    playsim::cPlaySim sim;
    if (!sim.Open({TheGame().dir.string(), true, 32}, error) || !sim.StartStage(stage, 1, error)) return 0;
    std::vector<double> t;
    for (int i = 0; i < frames; ++i) {
        const double t0 = bench_ref::CpuNs();
        PlayFrame(sim);
        t.push_back(bench_ref::CpuNs() - t0);
    }
    return bench_ref::Median(t);
}

void BM_Characters3000Against300(benchmark::State& state) {
    std::string error;
    const double small = MedianFrameNs("data\\stg4\\Busy.stg4_001", 60, error);
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
}
BENCHMARK(BM_Characters3000Against300)->Unit(benchmark::kMillisecond);

} // namespace

namespace {
// Frames of the plain patroller stages alone (for profiles of the per-step walks).
void BM_PatrollerFrame(benchmark::State& state) {
    playsim::cPlaySim sim;
    std::string error;
    const char* stage = state.range(0) == 300 ? "data\\stg4\\Busy.stg4_001" : "data\\stg4\\Busy3000.stg4_001";
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
