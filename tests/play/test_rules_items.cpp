// Picking up items: the three pick-up modes, items of blocks, a defeated character's item.
#include <gtest/gtest.h>

#include "play/rules/Items.h"
#include "play/rules/Motion.h"
#include "tests/play/RulesTestUtil.h"

using namespace rulestest;

namespace {

// An item whose one command adds 1 to stage variable 0 (the item set's status operation).
cEdItem Counting(u8 pickup) {
    cEdItem d;
    d.wPicture = 1;
    d.byPickup = pickup;
    cFlowCmd add;
    add.cmdSet = 1;
    add.cmdKind = 7;
    add.params.assign(18, 0);
    add.params[0] = 1; // a variable
    add.params[1] = 1; // of the stage
    add.params[5] = 1; // add
    add.params[7] = 1; // the constant 1
    d.vCmd.push_back(add);
    return d;
}

} // namespace

TEST(RulesItems, TheThreePickUpModes) {
    std::string out;
    for (u8 mode : {0, 1, 2}) {
        RulePlay play;
        cGameScene& s = play.s;
        cPlayer& p = SetUpPlayer(s, 4, 13, [](cEdChara& d) { d.vFlow.push_back(WaitingFlow(TRIG_HIT_ITEM)); });
        auto made = std::make_unique<cItem>();
        made->m_pScene = &s;
        made->Init(0, Counting(mode), 7);
        made->PlaceAtCell(4, 13);
        made->m_bPresent = 1;
        cItem& item = s.AddItem(std::move(made));
        // Three steps on it, three away, three back on it.
        std::string t;
        for (int step = 0; step < 9; ++step) {
            p.m_dX = step >= 3 && step < 6 ? 520.5 : 456.5;
            p.UpdateEdgesX();
            ResetFlowMarks(p);
            if (!p.m_vFlowRun.empty()) p.m_vFlowRun[0].Reset(p);
            EXPECT_EQ(PickUpItems(s, p), 0);
            t += std::to_string(s.m_vStageVar[0]) + (p.m_vFlowRun[0].m_bRunning ? "*" : "");
        }
        out += std::to_string(mode) + ": " + t + (item.IsRemoved() ? " taken" : "") + "\n";
    }
    // Mode 0 is taken once and removed; mode 1 once per touch (again after stepping off), its
    // touch trigger 8 (*) in every step of the touch; mode 2 never, and no trigger 8 either.
    EXPECT_EQ(out, "0: 1*11111111 taken\n1: 1*1*1*1112*2*2*\n2: 000000000\n");
}

TEST(RulesItems, ABlockGivesItsItemOnceASecond) {
    cStage st = playtest::MakeStage(20, 15);
    st.vItemPalette.assign(2, cEdItem());
    st.vItemPalette[1] = Counting(0);
    for (cEdBlock& b : st.vBlock) {
        if (b.sPosY == 14 && (b.sPosX == 4 || b.sPosX == 5)) {
            b.byItemKind = 2;
            b.wItemIndex = 1;
        }
    }
    {
        StagePaletteScope palettes(st);
        st.Prepare();
    }
    RulePlay play(st);
    cGameScene& s = play.s;
    cPlayer& p = SetUpPlayer(s, 4, 13);
    // Standing on block 4 for 130 frames, then stepping onto block 5.
    std::string t;
    for (int frame = 0; frame < 140; ++frame) {
        for (int i = 0; i < 10; ++i) {
            if (frame == 130 && i == 0) p.m_dX += 32, p.UpdateEdgesX();
            ASSERT_EQ(PlayerStep(s, p), 0);
            ASSERT_EQ(TakeBlockItem(s, p), 0);
        }
        if (frame % 10 == 0 || frame == 131) t += std::to_string(s.m_vStageVar[0]) + " ";
    }
    // The first touch of the floor gives the item, the next one after u x 60 steps (frames 61 and
    // 121); stepping onto another item block ends the wait at once (frame 131).
    EXPECT_EQ(t, "0 1 1 1 1 1 1 2 2 2 2 2 2 3 4 ");
}
