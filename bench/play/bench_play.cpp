// One frame of stage play, update and draw, headless on one core (Release goal: under 3 ms):
//  - the demo game's busiest stage as it is played;
//  - a generated busy stage: 300 stage characters, each running the demo's patrolling flow,
//    200 live shots, speed level 10 (ten play steps a frame).
#include <benchmark/benchmark.h>

#include <filesystem>
#include <memory>
#include <unistd.h>

#include "app/PlayRecord.h"
#include "database/CommonPalette.h"
#include "platform/system/PathResolver.h"
#include "play/GameScene.h"
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
        WriteBusyStage();
    }
    ~Game() { std::filesystem::remove_all(dir); }

    // 300 patrollers in rows on floors of a 200 x 60 stage, the hero among them.
    void WriteBusyStage() const {
        const std::filesystem::path old = GetGameRoot();
        SetGameRoot(dir);
        cStage st;
        st.Init();
        st.SetDefaultSizes();
        st.dwWidth() = 200;
        st.dwHeight() = 60;
        st.dwSpeedLevel() = 10;
        StageSettings::Set(st, eStage::StartBanner, 0);
        StageSettings::Set(st, eStage::SecondBanner, 0);
        auto block = [&](i16 x, i16 y) {
            cEdBlock b;
            b.sPosX = x;
            b.sPosY = y;
            b.wPicture = 1;
            b.bySolid = 1;
            st.vBlock.push_back(b);
        };
        for (i16 row = 0; row < 6; ++row)
            for (i16 x = 0; x < 200; ++x) block(x, static_cast<i16>(row * 10 + 9));
        cEdChara hero;
        hero.byOperation = 0;
        hero.wPicture = 1;
        hero.sPosX = 5;
        hero.sPosY = 8;
        hero.nHoldItem = cEdChara::kNoItem;
        st.vChara.push_back(hero);
        const cEdChara patroller = DemoPatroller();
        for (int i = 0; i < 300; ++i) {
            cEdChara c = patroller;
            c.sPosX = static_cast<i16>(10 + (i % 50) * 3);
            c.sPosY = static_cast<i16>((i / 50) * 10 + 8);
            st.vChara.push_back(c);
        }
        st.Prepare();
        SaveToFile(st, "data\\stg4\\Busy.stg4_001");
        SetGameRoot(old);
    }
};

Game& TheGame() {
    static Game g;
    return g;
}

// Plays frames, keeping the player alive so that every timed frame is a play frame.
void PlayFrames(benchmark::State& state, playsim::cPlaySim& sim) {
    for (auto _ : state) {
        if (cPlayer* p = sim.Scene().Player0()) p->m_nHP = 999999;
        sim.Frame({});
    }
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

void BM_Busy300Characters200Shots(benchmark::State& state) {
    playsim::cPlaySim sim;
    std::string error;
    if (!sim.Open({TheGame().dir.string(), true, 32}, error) || !sim.StartStage("data\\stg4\\Busy.stg4_001", 1, error)) {
        state.SkipWithError(error.c_str());
        return;
    }
    cGameScene& s = sim.Scene();
    for (int i = 0; i < 200; ++i) {
        cShot shot;
        shot.m_nSide = i % 8;
        shot.cObj::Init(static_cast<u32>(1000 + i), 0, 0, 0, 1, nullptr, 0, 0, 0, 8, 8, 16, 16, 0, FLY_THROUGH, 0);
        shot.m_dX = 330 + (i % 20) * 30;
        shot.m_dY = 330 + (i / 20) * 40;
        shot.UpdateEdgesX();
        shot.UpdateEdgesY();
        s.AddShot(shot);
    }
    state.counters["characters"] = s.m_lstChara.LiveCount();
    state.counters["shots"] = s.m_lstShot.LiveCount();
    PlayFrames(state, sim);
}
BENCHMARK(BM_Busy300Characters200Shots)->Unit(benchmark::kMillisecond);

} // namespace
