// The demo game's characters and items that act through flows, each played headless in a small
// stage on scripted keys: a trace of what it does frame by frame.
#include <gtest/gtest.h>

#include <string>

#include "app/PlayRecordNames.h"
#include "tests/play/RulesTestUtil.h"
#include "tools/DemoFlows.h"

namespace {

template <class T>
T At(T e, i16 x, i16 y) {
    e.sPosX = x;
    e.sPosY = y;
    return e;
}

// A stage of the fixture whose hero walks and jumps by the demo's own flows.
cStage Stage(u32 width) {
    cStage st = playtest::MakeStage(width, 15);
    AddDemoHeroFlows(st.vChara[0]);
    return st;
}

cStage Prepared(cStage st) {
    st.Prepare();
    return st;
}

// Stage pixel x of an object (the world keeps a margin of ten cells).
std::string X(const cObj& o) { return std::to_string(static_cast<int>(o.m_dX) - 320); }

cStageChara* Only(cGameScene& s) {
    cStageChara* found = nullptr;
    s.ForEachChara([&](cStageChara& c) { found = &c; });
    return found;
}

} // namespace

TEST(DemoFlows, TheHeroWalksAndJumpsOnItsKeys) {
    cStage st = Stage(30);
    rulestest::RulePlay play(Prepared(st));
    cGameScene& s = play.s;
    const double ground = s.Player0()->m_dY;
    std::string trace;
    // x,height per frame: three dots a frame while a direction is held (a step lasts a tenth of
    // a second), a jump on the press of button 1.
    play.fixture.Script("R*6 .*2 L*3 J RJ*8 R*8", [&](int f) {
        const cPlayer& h = *s.Player0();
        trace += X(h) + "," + std::to_string(static_cast<int>(ground - h.m_dY)) + (f % 6 == 5 ? "\n" : " ");
    });
    EXPECT_EQ(trace, "72,0 75,0 78,0 81,0 84,0 87,0\n90,0 90,0 87,0 84,0 81,0 78,7\n78,14 "
                     "78,21 81,28 84,34 87,40 90,45\n93,50 96,55 99,56 102,56 105,57 "
                     "108,56\n111,56 114,55 117,54 120,52 ") << trace;
}

TEST(DemoFlows, ThePatrollerTurnsAtWalls) {
    cStage st = Stage(20);
    for (i16 x : {6, 12}) st.vBlock.push_back(playtest::MakeBlock(x, 13));
    st.vChara.push_back(At(DemoPatroller(), 9, 13));
    rulestest::RulePlay play(Prepared(st));
    cGameScene& s = play.s;
    cStageChara* p = Only(s);
    ASSERT_NE(p, nullptr);
    std::string trace;
    // x and facing every eighth frame: it walks between the two walls.
    play.fixture.Script(".*320", [&](int f) {
        if (f % 8 == 7) trace += X(*p) + (p->m_nDir > 0 ? ">" : "<") + (f % 80 == 79 ? "\n" : " ");
    });
    EXPECT_EQ(trace, "306> 314> 322> 330> 338> 346> 354> 362> 370> 365<\n357< 349< 341< "
                     "333< 325< 317< 309< 301< 293< 285<\n277< 269< 261< 253< 245< 237< "
                     "229< 228> 236> 244>\n252> 260> 268> 276> 284> 292> 300> 308> 316> "
                     "324>\n") << trace;
}

TEST(DemoFlows, TheJumperJumpsWhenTheHeroIsNear) {
    cStage st = Stage(20);
    st.vChara.push_back(At(DemoJumper(), 7, 13));
    rulestest::RulePlay play(Prepared(st));
    cGameScene& s = play.s;
    cStageChara* jumper = Only(s);
    ASSERT_NE(jumper, nullptr);
    const double ground = jumper->m_dY;
    std::string trace;
    // The hero's x : the jumper's height, every second frame. It jumps (three half blocks) once
    // the hero comes within four half blocks.
    play.fixture.Script("R*40", [&](int f) {
        if (f % 2 == 1) trace += X(*s.Player0()) + ":" + std::to_string(static_cast<int>(ground - jumper->m_dY)) + " ";
    });
    EXPECT_EQ(trace, "75:0 81:0 87:0 93:0 99:0 105:0 111:0 117:0 123:0 129:0 135:0 141:0 "
                     "147:0 153:0 159:10 165:20 171:29 177:36 183:41 189:44 ") << trace;
}

TEST(DemoFlows, TheLifeItemGivesALife) {
    cStage st = Stage(20);
    st.vItem.push_back(At(DemoLifeItem(), 5, 13));
    rulestest::RulePlay play(Prepared(st));
    cGameScene& s = play.s;
    const u32 lives = g_nLives;
    std::string trace;
    // The hero's x : lives gained, every fourth frame.
    play.fixture.Script("R*40", [&](int f) {
        if (f % 4 == 3) trace += X(*s.Player0()) + ":" + std::to_string(g_nLives - lives) + " ";
    });
    EXPECT_EQ(trace, "81:0 93:0 105:0 117:0 129:0 141:0 153:1 165:1 177:1 189:1 ") << trace;
}

TEST(DemoFlows, TheSwitchOpensTheWall) {
    for (bool withSwitch : {false, true}) {
        cStage st = Stage(20);
        for (i16 y = 0; y <= 12; ++y) st.vBlock.push_back(playtest::MakeBlock(9, y));
        st.vChara.push_back(At(DemoWall(), 9, 13));
        if (withSwitch) st.vItem.push_back(At(DemoSwitch(), 5, 13));
        rulestest::RulePlay play(Prepared(st));
        cGameScene& s = play.s;
        std::string trace;
        // The hero's x, s once the switch is taken, w while the wall stands, every fourth frame.
        play.fixture.Script("R*80", [&](int f) {
            if (f % 4 != 3) return;
            trace += X(*s.Player0()) + (s.m_vStageVar[kDemoSwitchVar] ? "s" : "") + (Only(s) ? "w " : " ");
        });
        EXPECT_EQ(trace, withSwitch ? "81w 93w 105w 117w 129w 141w 153s 165s 177s 189s 201s 213s 225s 237s "
                                      "249s 261s 273s 285s 297s 309s "
                                    : "81w 93w 105w 117w 129w 141w 153w 165w 177w 189w 201w 213w 225w 237w "
                                      "249w 261w 273w 273w 273w 273w ")
            << withSwitch << ": " << trace;
    }
}

TEST(DemoFlows, TheVillagerCountsHisTalksAndLeavesTheWallShut) {
    cStage st = Stage(20);
    st.vChara.push_back(At(DemoVillager(), 7, 13));
    st.vChara.push_back(At(DemoWall(), 14, 13));
    rulestest::RulePlay play(Prepared(st));
    cGameScene& s = play.s;
    g_CommonVars[kDemoTalkCounter] = 4;
    int held = 0;
    s.m_fnNestedInput = [&](cInput&, i32) { ++held; };
    std::string trace;
    // The hero's x : the talk counter : frames the game was held, w while the wall stands, every
    // fourth frame. Near the villager the count goes up once and his message holds the game for
    // three seconds (180 shown frames and the one that ends the hold); the talk's own stage
    // variable is not the wall's switch.
    play.fixture.Script("R*48", [&](int f) {
        if (f % 4 != 3) return;
        bool wall = false;
        s.ForEachChara([&](cStageChara& c) { wall = wall || c.m_Def.wPicture == DemoWall().wPicture; });
        trace += X(*s.Player0()) + ":" + std::to_string(g_CommonVars[kDemoTalkCounter]) + ":" + std::to_string(held) +
                 (wall ? "w " : " ");
    });
    EXPECT_EQ(trace, "81:4:0w 93:4:0w 105:4:0w 117:4:0w 129:4:0w 141:4:0w 153:4:0w 165:5:181w 177:5:181w "
                     "189:5:181w 201:5:181w 213:5:181w ") << trace;
}
