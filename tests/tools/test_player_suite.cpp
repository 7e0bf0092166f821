// The demo game played as a player plays it, through playsim's frames: golden traces of the
// hero's position, the scene's state, HP, score and time (tests/data/player; rewritten with
// TOBRELK_UPDATE_GOLDENS=1). Walking both ways; five jumps in a row on every stage, tapped and
// held, standing and running; onto a platform and off; a jump from a moving block character;
// shots the way the keys are held; damage taken and play going on; a death, the retry and the
// clear; every story and challenge stage cleared by a script; a key held from a message on.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <functional>
#include <filesystem>
#include <unistd.h>

#include "app/Game.h"
#include "app/PlayRecordNames.h"
#include "app/Replay.h"
#include "flow/FlowEngine.h"
#include "platform/system/PathResolver.h"
#include "play/GameScene.h"
#include "records/DataFile.h"
#include "records/CharaSettings.h"
#include "records/EdSettings.h"
#include "records/Stage.h"
#include "records/StageSettings.h"
#include "tests/support/GoldenTrace.h"
#include "tools/DemoCave.h"
#include "tools/DemoFlows.h"
#include "tests/support/DemoSimTest.h"
#include "tools/DemoShots.h"
#include "tools/PlaySim.h"

namespace fs = std::filesystem;

namespace {

// Every story and challenge stage, with a script that clears it.
struct STAGECLEAR {
    const char* name;
    const char* file;
    const char* script;
};
const STAGECLEAR kStages[] = {
    {"Demo-1", "data\\stg4\\Demo-1.stg4_001", ".*5 R*400"},
    {"Demo-2", "data\\stg4\\Demo-2.stg4_001", ".*5 R*300"},
    {"Demo-3", "data\\stg4\\Demo-3.stg4_001",
     ".*5 R*36 RJ*26 R*3 .*20 R*10 RJ*26 R*4 .*20 R*26 RJ*30 R*5 .*20 R*16 RJ*30 R*40 .*60"},
    {"c01", "data\\stg4\\c01-1.stg4_001", ".*5 R*260"},
    {"c02", "data\\stg4\\c02-1.stg4_001",
     ".*5 R*6 RJ*26 R*3 .*15 R*14 RJ*26 R*3 .*15 R*12 RJ*28 R*3 .*15 R*10 RJ*28 R*30 .*30"},
    {"c03", "data\\stg4\\c03-1.stg4_001", ".*5 R*33 RJ*30 R*75 RJ*30 R*60"},
    // The dark cave: over its one stone step to the goal.
    {"Demo-4", kDemoCaveFile, ".*5 R*225 RJ*30 R*200"},
};

class PlayerSuite : public DemoSimTest<PlayerSuite> {
public:
    static constexpr const char* kDirPrefix = "tobrelk_players_";

protected:
    void Start(const std::string& stage) {
        StartStage(stage);
        frame = 0;
    }

    // "frame state x y hp score time", '*' while the hero is invincible.
    std::string Line() {
        const cPlayer& p = Hero();
        char b[128];
        std::snprintf(b, sizeof b, "%d s%d %.1f %.1f hp%d %u t%d%s\n", frame, S().m_nState, p.m_dX, p.m_dY, p.m_nHP,
                      g_PlayRecord.nScore, S().m_nTimeLeft, p.IsInvincible() ? " *" : "");
        return b;
    }
    // The script's frames; a line every `every` frames (0: none) and at each change of state.
    void Run(const std::string& script, int every = 0, const std::function<void()>& each = {}) {
        std::vector<playsim::SIMKEYS> keys;
        ASSERT_TRUE(playsim::ParseScript(script, keys)) << script;
        for (const playsim::SIMKEYS& k : keys) {
            const i32 state = S().m_nState;
            sim.Frame(k);
            ++frame;
            if ((every && frame % every == 0) || S().m_nState != state) trace += Line();
            if (each) each();
        }
    }
    // The rise of the hero above where each window of `frames` began, for `n` windows.
    std::string Rises(const std::string& window, int n, bool lifts = true) {
        std::string s;
        for (int i = 0; i < n; ++i) {
            const double y0 = Hero().m_dY;
            double top = y0;
            Run(window, 0, [&] { top = std::min(top, Hero().m_dY); });
            s += ' ';
            s += std::to_string(static_cast<int>(y0 - top));
            if (lifts) {
                EXPECT_GT(y0 - top, 1) << window << " #" << i;
            }
        }
        return s;
    }

    std::string trace;
    int frame = 0;
};

} // namespace

// Five jumps 100 frames apart each lift the hero, on every stage: tapped (a low hop: let go
// early, the rise is cut), held (the full 5 half-blocks), and on the first stage running to
// either side.
TEST_F(PlayerSuite, FiveJumpsInARowOnEveryStage) {
    for (const STAGECLEAR& st : kStages) {
        SCOPED_TRACE(st.name);
        Start(st.file);
        // The last challenge scrolls by itself: the jumps are made on its middle ground.
        if (std::string(st.name) == "c03") Run(".*5 R*33 RJ*30 R*10");
        else Run(".*10");
        trace += st.name;
        trace += " tapped";
        trace += Rises("J .*99", 5);
        trace += " held";
        trace += Rises("J*30 .*70", 5);
        trace += '\n';
    }
    Start(kStages[0].file);
    Run(".*10");
    trace += "Demo-1 running";
    const char* const right = "RJ*30 R*20 .*50";
    const char* const left = "LJ*30 L*20 .*50";
    for (const char* w : {right, left, right, left, right}) trace += Rises(w, 1);
    trace += " ends at ";
    trace += Line();
    ExpectGoldenTrace("player", "five_jumps", trace);
}

// Walking right then left on the first stage; onto the first platform of the second challenge
// and off its far side down to the ground.
TEST_F(PlayerSuite, WalkBothWaysAndAPlatformOnAndOff) {
    Start(kStages[0].file);
    Run(".*5 R*40 .*5 L*40 .*10", 5);
    trace += "--\n";
    Start(kStages[4].file);
    Run(".*5 R*6 RJ*26 R*3 .*15 R*20 .*30", 5);
    ExpectGoldenTrace("player", "walk_platform", trace);
}

// A block character that walks to and fro on the ground: the hero jumps onto it, rides it and
// jumps off it again.
TEST_F(PlayerSuite, JumpFromAMovingBlockCharacter) {
    ASSERT_NO_FATAL_FAILURE(EditStage(kStages[3].file, "data\\stg4\\Ride.stg4_001", [](cStage& st) {
        cEdChara walker = DemoPatroller();
        CharaSettings::Set(walker, eChara::BlockChara, 1);
        walker.sPosX = 4;
        walker.sPosY = 11;
        st.vChara.push_back(walker);
    }));

    Start("data\\stg4\\Ride.stg4_001");
    // Each line ends with the block character's x and whether the hero stands on it.
    const auto mover = [&] {
        double x = 0;
        S().ForEachChara([&](cStageChara& c) {
            if (c.m_bBlockChara) x = c.m_dX;
        });
        char b[64];
        std::snprintf(b, sizeof b, "  block %.1f%s\n", x, Hero().m_bOnBlockChara ? " ridden" : "");
        trace.pop_back();
        trace += b;
    };
    Run(".*10 RJ*30 R*4 .*60 J*30 R*10 .*40", 4, [&] {
        if (frame % 4 == 0) mover();
    });
    ExpectGoldenTrace("player", "block_chara_ride", trace);
}

// What the floor under a standing hero does acts in play: a spring under the first challenge's
// fifth column throws the hero up 3 half-blocks, again at each landing.
TEST_F(PlayerSuite, ASpringUnderTheFeetThrowsTheHeroUp) {
    ASSERT_NO_FATAL_FAILURE(EditStage(kStages[3].file, "data\\stg4\\Spring.stg4_001", [](cStage& st) {
        for (cEdBlock& b : st.vBlock)
            if (b.sPosX == 5 && b.sPosY == 12) {
                b.SetInherit(8, 0); // its own effect group, not the palette entry's
                BlockSettings::Set(b, eBlock::FloorEffect, 1);
                BlockSettings::Set(b, eBlock::FloorEffectValue, 3);
            }
    }));
    Start("data\\stg4\\Spring.stg4_001");
    Run(".*5 R*30 .*100", 5);
    ExpectGoldenTrace("player", "spring", trace);
}

// The hero's shot goes the way the direction keys are held when it is fired ("入力方向"): none
// is ahead, up goes up, down-right goes down-right. Data older than the eight directions sees
// only the side held.
TEST_F(PlayerSuite, ShotsGoTheWayTheKeysAreHeld) {
    const struct {
        const char* name;
        u16 dir;
    } holds[] = {{"none", 0}, {"L", 1}, {"R", 2}, {"U", 4}, {"D", 8}, {"UL", 5}, {"UR", 6}, {"DL", 9}, {"DR", 10}};
    for (u32 version : {kProgVer, 778u, 777u}) {
        for (const auto& h : holds) {
            Start(kStages[0].file);
            g_Stage.nFileVersion = version;
            // Fired near the top of a jump, so that shots aimed down fly a while.
            Run(".*10 J*20");
            const u16 fire = static_cast<u16>(1u | 1u << (kDemoShotButton - 1));
            sim.Frame({h.dir, fire});
            double x0 = 0, y0 = 0;
            bool fired = false;
            S().ForEachShot([&](cShot& s) { fired = true, x0 = s.m_dX, y0 = s.m_dY; });
            ASSERT_TRUE(fired) << h.name;
            sim.Frame({h.dir, 1});
            double dx = 0, dy = 0;
            S().ForEachShot([&](cShot& s) { dx = s.m_dX - x0, dy = s.m_dY - y0; });
            char b[96];
            std::snprintf(b, sizeof b, "%u %s %.1f,%.1f\n", version, h.name, dx, dy);
            trace += b;
        }
    }
    // A replay keeps the eight directions from its version 780 on: up held ("上", 6) reads
    // as none ("前", 0) before.
    Start(kStages[0].file);
    sim.Frame({4, 0});
    const i32 mode = g_Game.g_nGameMode;
    g_Game.g_nGameMode = 4;
    for (u32 version : {779u, 780u}) {
        g_ReplayData.nFileVersion = version;
        trace += "replay " + std::to_string(version) + " U " + std::to_string(CmdParamKindValue(S(), 12)) + "\n";
    }
    g_Game.g_nGameMode = mode;
    g_ReplayData.nFileVersion = kProgVer;
    ExpectGoldenTrace("player", "input_direction_shots", trace);
}

// The second stage's gunner hits the hero, which blinks invincible a while and plays on to the
// goal; the last challenge: a fall into the first pit, the retry from the start, then the clear.
TEST_F(PlayerSuite, DamageAndRecoveryDeathRetryAndClear) {
    Start(kStages[1].file);
    Run(kStages[1].script, 10);
    trace += "--\n";
    Start(kStages[5].file);
    Run(".*5 R*200", 10);
    for (int f = 0; f < 600 && S().m_nState != 2; ++f) Run(".", 10);
    ASSERT_EQ(S().m_nState, 2) << "back in play after the retry";
    frame = 0;
    Run(kStages[5].script, 10);
    ExpectGoldenTrace("player", "damage_death_clear", trace);
}

// Every story and challenge stage cleared by its script.
TEST_F(PlayerSuite, EveryStageIsCleared) {
    for (const STAGECLEAR& st : kStages) {
        SCOPED_TRACE(st.name);
        Start(st.file);
        int cleared = -1;
        Run(st.script, 0, [&] {
            if (cleared < 0 && S().m_nState == 4) cleared = frame;
        });
        EXPECT_GE(cleared, 0);
        char b[96];
        std::snprintf(b, sizeof b, "%s cleared at %d score %u\n", st.name, cleared, g_PlayRecord.nTotalScore);
        trace += b;
    }
    ExpectGoldenTrace("player", "clears", trace);
}

// The villager's message holds the game; the jump button held from then on does not jump until
// it is let go and pressed again.
TEST_F(PlayerSuite, AKeyHeldFromAMessageDoesNotActUntilReleased) {
    Start(kStages[0].file);
    g_CommonVars[kDemoTalkCounter] = 0;
    for (int f = 0; f < 200 && g_CommonVars[kDemoTalkCounter] == 0; ++f) Run("R");
    ASSERT_EQ(g_CommonVars[kDemoTalkCounter], 1) << "the villager talked";
    trace += "talked ";
    trace += Line();
    trace += "held on";
    trace += Rises("J*40", 1, false);
    trace += "\nreleased, pressed";
    trace += Rises(". J*30 .*40", 1);
    trace += '\n';
    ExpectGoldenTrace("player", "held_key_guard", trace);
}

// The story's pause menu (Space) with the demo's system data: retry and the way back to the map
// are offered for a stage cleared before, not on its first play; retry starts the stage again.
TEST_F(PlayerSuite, StoryPauseOffersRetryForAStageClearedBefore) {
    std::string menus;
    for (const u32 cleared : {0u, 1u}) {
        Start(kStages[0].file);
        g_Game.g_nPlayKind = 0;
        g_PlayRecord.nStageNo = 1;
        g_PlayRecord.vSwitch[1] = cleared;
        Run(".*5 R*40");
        const double x = Hero().m_dX;
        KeyStateSet(VK_SPACE, true);
        Run(".");
        KeyStateSet(VK_SPACE, false);
        Run(".*3");
        ASSERT_EQ(S().m_nState, 3) << "paused";
        for (const auto& e : S().m_vPauseMenu) menus += e.enabled ? "1" : "0";
        menus += " ";
        if (!cleared) continue;
        // つづける is chosen first: down to リトライ, decide; the stage starts again.
        Run("D .*3 J .");
        for (int f = 0; f < 300 && S().m_nState != 2; ++f) Run(".");
        ASSERT_EQ(S().m_nState, 2) << "playing again";
        EXPECT_LT(Hero().m_dX, x) << "from the stage's start";
    }
    EXPECT_EQ(menus, "1100 1111 ");
}
