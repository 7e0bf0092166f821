// The demo game's shots and swords played headless end to end: the hero's shot and sword on
// their buttons, the gunner firing at the hero once it comes near and bursting when the hero's
// shots bring it down, and the boss of the last stage, whose HP gauge falls as the hero's shots
// hit it, until the hero takes the goal and the stage clears through its screen wave.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <unistd.h>

#include "play/GameScene.h"
#include "tools/DemoGame.h"
#include "tools/DemoShots.h"
#include "tools/PlaySim.h"

namespace fs = std::filesystem;

namespace {

struct Demo {
    fs::path dir = fs::temp_directory_path() / ("tobrelk_demo_shots_" + std::to_string(::getpid()));
    Demo() {
        fs::remove_all(dir);
        std::string error;
        EXPECT_TRUE(MakeDemoGame(dir, error)) << error;
    }
    ~Demo() { fs::remove_all(dir); }
};

struct SHOTCOUNT {
    int hero = 0, enemy = 0, swords = 0;
};
SHOTCOUNT Count(cGameScene& s) {
    SHOTCOUNT n;
    s.ForEachShot([&](cShot& sh) {
        if (!sh.m_bIsShot) ++n.swords;
        else if (sh.m_nSide == 0) ++n.hero;
        else ++n.enemy;
    });
    return n;
}

// The gunner (side 1, 3 HP) or the boss (20 HP).
cStageChara* Enemy(cGameScene& s, u32 hp) {
    cStageChara* found = nullptr;
    s.ForEachChara([&](cStageChara& c) {
        if (c.m_nSide == 1 && c.m_Def.dwMaxHP == hp) found = &c;
    });
    return found;
}

// Puts the hero with its left edge at x and its feet at `bottom`, facing right, at rest.
void HeroAt(cGameScene& s, double x, double bottom) {
    cPlayer& p = *s.Player0();
    p.m_dX = x;
    p.m_dY = bottom - p.m_nBoxH + 1;
    p.m_dSpeedY = 0; // held in the air, it gathers no fall
    p.m_nDir = 1;
    p.UpdateEdgesX();
    p.UpdateEdgesY();
    p.OnMovedX();
    p.OnMovedY();
}

// Puts the hero `cells` blocks left of where a character stands (stood, once it is gone), at
// its feet's row, facing right; it stays put there whatever hits it.
struct HeroBeside {
    cObjHandle of;
    int cells = 0;
    double x = 0, bottom = 0;
    void operator()(cGameScene& s) {
        if (const cChara* c = of.Chara()) x = c->m_dX, bottom = c->m_dBottom;
        HeroAt(s, x - cells * 32, bottom);
    }
};

playsim::SIMKEYS Press(int button) { return playsim::SIMKEYS{0, static_cast<u16>(1u << (button - 1))}; }

} // namespace

TEST(DemoShots, GunnerBossGaugeAndClearEndToEnd) {
    Demo demo;
    playsim::cPlaySim sim;
    std::string error;
    ASSERT_TRUE(sim.Open({demo.dir.string(), true, 32}, error)) << error;
    ASSERT_TRUE(sim.StartStage("data\\stg4\\Demo-2.stg4_001", 1, error)) << error;
    cGameScene& s = sim.Scene();
    cPlayer& hero = *s.Player0();
    const cObjHandle gunner = Enemy(s, 3);
    ASSERT_TRUE(gunner);

    // The shot button fires one shot ahead, which flies its 10 half blocks and goes.
    sim.Frame();
    sim.Frame(Press(kDemoShotButton));
    ASSERT_EQ(Count(s).hero, 1);
    const double x0 = s.m_lstShot[0].m_dX;
    sim.Frame();
    EXPECT_GT(s.m_lstShot[0].m_dX, x0);
    for (int f = 0; f < 30; ++f) sim.Frame();
    EXPECT_EQ(Count(s).hero, 0);
    // The sword button swings the sword in front of the hero for its two parts.
    sim.Frame(Press(kDemoSwordButton));
    ASSERT_EQ(Count(s).swords, 1);
    EXPECT_GT(s.m_lstShot[0].m_dX, hero.m_dRight);
    int swung = 0;
    while (Count(s).swords == 1 && swung < 100) sim.Frame(), ++swung;
    EXPECT_EQ(swung, 12);

    // Near the gunner, it fires at the hero and hits; the hero's shots bring it down, and it
    // bursts as it goes.
    HeroBeside nearGunner{gunner, 4};
    nearGunner(s);
    const i32 hp = hero.m_nHP;
    int enemyShots = 0;
    bool burst = false;
    for (int f = 0; f < 120; ++f) {
        sim.Frame(f % 8 == 0 ? Press(kDemoShotButton) : playsim::SIMKEYS{});
        enemyShots = std::max(enemyShots, Count(s).enemy);
        if (const cChara* c = gunner.Chara(); c && c->IsDying())
            burst = burst || (c->m_CharaEffect.IsRunning() && c->m_CharaEffect.Type() == 1); // 破裂
        nearGunner(s);
    }
    EXPECT_GE(enemyShots, 1);
    EXPECT_LT(hero.m_nHP, hp);
    EXPECT_TRUE(burst);
    EXPECT_FALSE(gunner);

    // The boss of the last stage fires spreads and bursts; each hit shows its HP gauge falling,
    // down to its defeat. The hero is kept alive meanwhile.
    ASSERT_TRUE(sim.StartStage("data\\stg4\\Demo-3.stg4_001", 1, error)) << error;
    cGameScene& s3 = sim.Scene();
    const cObjHandle boss = Enemy(s3, 20);
    ASSERT_TRUE(boss);
    EXPECT_EQ(boss.Chara()->m_nScale, 2);
    HeroBeside nearBoss{boss, 5};
    int most = 0, shown = 0, falls = 0;
    i32 bossHp = 20;
    for (int f = 0; f < 1200 && boss; ++f) {
        s3.Player0()->m_nHP = 10;
        nearBoss(s3);
        sim.Frame(f % 8 == 0 ? Press(kDemoShotButton) : playsim::SIMKEYS{});
        most = std::max(most, Count(s3).enemy);
        const cChara* b = boss.Chara();
        if (!b) break;
        shown += b->m_HpGauge.nFrames > 0;
        if (b->m_nHP < bossHp) {
            ++falls;
            EXPECT_LT(b->m_HpGauge.dDelta, 0);
            bossHp = b->m_nHP;
        }
    }
    EXPECT_GE(most, 8); // a burst is out
    EXPECT_EQ(bossHp, 0);
    EXPECT_EQ(falls, 20); // one per shot that hits
    EXPECT_GT(shown, 0);
    EXPECT_FALSE(boss);

    // The goal on the high ledge (its first command the wave): taking it waves the screen, then
    // the stage clears.
    const cItem* goal = nullptr;
    s3.ForEachItem([&](cItem& it) {
        if (!it.m_Def.vCmd.empty() && it.m_Def.vCmd[0].cmdSet == 1 && it.m_Def.vCmd[0].cmdKind == 16) goal = &it;
    });
    ASSERT_NE(goal, nullptr);
    HeroAt(s3, goal->m_dX, goal->m_dBottom);
    bool waved = false;
    for (int f = 0; f < 300 && s3.m_nState == 2; ++f) {
        sim.Frame();
        waved = waved || (s3.m_ScreenEffect.IsRunning() && s3.m_ScreenEffect.Type() == 6); // 波（横）
    }
    EXPECT_TRUE(waved);
    EXPECT_EQ(s3.m_nState, 4);
}
