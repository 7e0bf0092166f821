// The demo game's shots and swords played headless: the hero's shot and sword on their buttons,
// the gunner firing at the hero once it comes near, and the boss of the last stage, whose HP
// gauge shows when the hero's shots hit it; every such play replays to the same hashes.
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

// Puts the hero `cells` blocks left of where a character stood, at its feet's row, facing right.
// The character goes by a handle: once it is down, the hero stays where it was put last.
void HeroBeside(cGameScene& s, const cObjHandle& c, int cells) {
    static double x = 0, bottom = 0;
    if (const cChara* ch = c.Chara()) x = ch->m_dX, bottom = ch->m_dBottom;
    cPlayer& p = *s.Player0();
    p.m_dX = x - cells * 32;
    p.m_dY = bottom - p.m_nBoxH + 1;
    p.m_nDir = 1;
    p.UpdateEdgesX();
    p.UpdateEdgesY();
    p.OnMovedX();
    p.OnMovedY();
}

playsim::SIMKEYS Press(int button) { return playsim::SIMKEYS{0, static_cast<u16>(1u << (button - 1))}; }

} // namespace

TEST(DemoShots, WeaponsGunnerAndBossGauge) {
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

    // Near the gunner, it fires at the hero; the hero's shots bring it down.
    HeroBeside(s, gunner, 4);
    const i32 hp = hero.m_nHP;
    int enemyShots = 0;
    for (int f = 0; f < 120; ++f) {
        sim.Frame(f % 8 == 0 ? Press(kDemoShotButton) : playsim::SIMKEYS{});
        enemyShots = std::max(enemyShots, Count(s).enemy);
        HeroBeside(s, gunner, 4);
    }
    EXPECT_GE(enemyShots, 1);
    EXPECT_LT(hero.m_nHP, hp);
    EXPECT_TRUE(!gunner || gunner.Chara()->IsDying());

    // The boss of the last stage fires spreads and bursts; hit, it shows its HP gauge.
    ASSERT_TRUE(sim.StartStage("data\\stg4\\Demo-3.stg4_001", 1, error)) << error;
    cGameScene& s3 = sim.Scene();
    cStageChara* boss = Enemy(s3, 20);
    ASSERT_NE(boss, nullptr);
    EXPECT_EQ(boss->m_nScale, 2);
    int most = 0, gauge = 0;
    for (int f = 0; f < 90; ++f) {
        if (cPlayer* p = s3.Player0()) p->m_nHP = 10;
        HeroBeside(s3, boss, 5);
        sim.Frame(f % 8 == 0 ? Press(kDemoShotButton) : playsim::SIMKEYS{});
        most = std::max(most, Count(s3).enemy);
        gauge = std::max(gauge, boss->m_HpGauge.nFrames);
    }
    EXPECT_GE(most, 8); // a burst is out
    EXPECT_LT(boss->m_nHP, 20);
    EXPECT_GT(gauge, 0);
}
