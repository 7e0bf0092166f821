#pragma once
// The generated stages of the play benchmarks: patrollers running the demo's patrolling flow,
// three cells apart in six rows on floors of a stage 60 high (at least 200 wide, wider as the
// count grows), at speed level 10 (ten play steps a frame), the hero among them.
#include <algorithm>
#include <filesystem>
#include <string>

#include "platform/system/PathResolver.h"
#include "play/GameScene.h"
#include "records/CharaSettings.h"
#include "records/DataFile.h"
#include "records/Stage.h"
#include "records/StageSettings.h"
#include "tools/DemoFlows.h"
#include "tools/PlaySim.h"

namespace bench_play {

// allAwake: every patroller has the whole stage as its activity range, so none sleeps.
inline void WritePatrolStage(const std::filesystem::path& dir, int count, const std::string& name, bool allAwake) {
    const int perRow = (count + 5) / 6;
    const i16 width = static_cast<i16>(std::max(200, 10 + perRow * 3 + 40));
    const std::filesystem::path old = GetGameRoot();
    SetGameRoot(dir);
    cStage st;
    st.Init();
    st.SetDefaultSizes();
    st.dwWidth() = static_cast<u32>(width);
    st.dwHeight() = 60;
    st.dwSpeedLevel() = 10;
    StageSettings::Set(st, eStage::StartBanner, 0);
    StageSettings::Set(st, eStage::SecondBanner, 0);
    for (i16 row = 0; row < 6; ++row)
        for (i16 x = 0; x < width; ++x) {
            cEdBlock b;
            b.sPosX = x;
            b.sPosY = static_cast<i16>(row * 10 + 9);
            b.wPicture = 1;
            b.bySolid = 1;
            st.vBlock.push_back(b);
        }
    cEdChara hero;
    hero.byOperation = 0;
    hero.wPicture = 1;
    hero.sPosX = 5;
    hero.sPosY = 8;
    hero.nHoldItem = cEdChara::kNoItem;
    st.vChara.push_back(hero);
    cEdChara patroller = DemoPatroller();
    if (allAwake) CharaSettings::Set(patroller, eChara::RangeMode, 3); // the whole stage: always in range
    for (int i = 0; i < count; ++i) {
        cEdChara c = patroller;
        c.sPosX = static_cast<i16>(10 + (i % perRow) * 3);
        c.sPosY = static_cast<i16>((i / perRow) * 10 + 8);
        st.vChara.push_back(c);
    }
    st.Prepare();
    SaveToFile(st, name.c_str());
    SetGameRoot(old);
}

// One frame of the play scene as the game runs it, no key held, keeping the player alive so that
// every timed frame is a play frame.
inline void PlayFrame(playsim::cPlaySim& sim) {
    cGameScene& s = sim.Scene();
    if (cPlayer* p = s.Player0()) p->m_nHP = 999999;
    if (g_vInput.empty()) g_vInput.assign(1, cInput{});
    g_vInput[0].wDirection = g_vInput[0].wButtons = 0;
    s.Run();
}

// How many characters act in a frame: the step's list of those awake and in range.
inline int ActingCharas(playsim::cPlaySim& sim) {
    int n = 0;
    sim.Scene().ForEachChara([&](cStageChara& c) { n += c.m_bActive && c.m_bInRange; });
    return n;
}

} // namespace bench_play
