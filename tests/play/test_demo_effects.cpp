// The demo game's effects in play: its enemies burst when defeated, and taking a goal waves the
// screen before the stage clears. The demo is written and loaded as the program loads a game.
#include <gtest/gtest.h>

#include "database/CommonPalette.h"
#include "database/Database.h"
#include "database/GameData.h"
#include "database/SystemData.h"
#include "database/WorldMap.h"
#include "play/effects/CharaDraw.h"
#include "records/CharaSettings.h"
#include "tests/play/EffectTestUtil.h"
#include "tests/play/PlayFixture.h"
#include "tools/DemoGame.h"

namespace {

struct DemoData {
    cDatabase db;
    cCommonPalette palette;
    bool ok = false;
};

// The demo's databases and common palette as start-up loads them. The demo is made while the
// program holds a smaller database, as it does after another game was loaded: its records are
// still checked against its own.
DemoData LoadDemo() {
    DemoData d;
    TempDir dir;
    std::string error;
    const CMDLIMITS limits = GetCmdLimits();
    UpdateCmdLimits([](CMDLIMITS& l) { l.nCharaEffect = l.nScrEffect = 2; });
    const bool made = MakeDemoGame(dir.Dir(), error);
    SetCmdLimits(limits);
    if (!made) return d;
    d.ok = LoadGameData(nullptr) == 1;
    d.db = g_Database;
    d.palette = g_CommonPalette;
    g_Database.SetDefault();
    g_SystemData.SetDefault();
    g_WorldMap.SetDefault();
    g_CommonPalette = cCommonPalette();
    PrepareDatabase();
    return d;
}

} // namespace

TEST(DemoEffects, EnemiesBurstWhenDefeatedAndGoalsWaveTheScreen) {
    const DemoData demo = LoadDemo();
    ASSERT_TRUE(demo.ok);
    playtest::PLAYOPTIONS o;
    o.direct3D = false;
    o.prepareData = [&] { g_Database = demo.db; };
    playtest::PlayFixture play(playtest::MakeStage(30, 15), o);
    ASSERT_TRUE(play.RunUntilPlay());
    cGameScene& s = play.Scene();
    ScopedWorkSurfaces work;
    ASSERT_TRUE(work.ok);
    s.m_EffectSurf = work.surf;

    // The slime of the common palette, defeated: its death effect is the burst.
    auto slime = std::make_unique<cStageChara>();
    slime->m_Def = demo.palette.m_vEdChara[2];
    slime->m_nKind = 1;
    slime->m_nDeathEffect = static_cast<u16>(CharaSettings::Get(slime->m_Def, eChara::DeathEffect));
    slime->m_nDeathEffectMode = static_cast<i32>(CharaSettings::Get(slime->m_Def, eChara::DeathEffectMode));
    cStageChara& c = s.AddChara(std::move(slime));
    ASSERT_EQ(c.Kill(), 0);
    ASSERT_TRUE(c.m_CharaEffect.IsRunning());
    EXPECT_EQ(c.m_CharaEffect.Type(), 1u); // 破裂

    // The goal: the screen waves for a second (its next command clears the stage). The wave
    // grows 0.8 dots a frame and goes on while its whole part is at most 48: 62 drawn frames.
    cItem goal;
    for (const cEdItem& item : demo.palette.m_vEdItem)
        if (!item.vCmd.empty() && item.vCmd[0].cmdSet == 1 && item.vCmd[0].cmdKind == 16) goal.m_Def = item;
    ASSERT_FALSE(goal.m_Def.vCmd.empty());
    goal.m_nMark = 1;
    goal.m_bPresent = 1;
    s.Player0()->m_Def.dwMaxHP = 10;
    s.Player0()->m_nHP = 10;
    ApplyItem(s, &goal, *s.Player0());
    ASSERT_TRUE(s.m_ScreenEffect.IsRunning());
    EXPECT_EQ(s.m_ScreenEffect.Type(), 6u); // 波（横）
    int frames = 0;
    while (s.m_ScreenEffect.IsRunning() && frames < 200) {
        RunScreenEffect(s, 0);
        ++frames;
    }
    EXPECT_EQ(frames, 62);
}
