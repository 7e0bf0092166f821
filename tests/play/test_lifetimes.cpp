// Lifetimes of listed objects: handles, removal during walks, sweeps, the flow hand-over.
#include <gtest/gtest.h>

#include <string>

#include "play/GameScene.h"

namespace {

std::unique_ptr<cStageChara> Chara(u32 id) {
    auto c = std::make_unique<cStageChara>();
    c->m_nId = id;
    return c;
}

std::string Ids(cGameScene& s) {
    std::string out;
    s.ForEachChara([&](cStageChara& c) { out += std::to_string(c.m_nId) + " "; });
    return out;
}

} // namespace

TEST(Lifetimes, HandlesOfARemovedObjectReadNull) {
    cGameScene s;
    cStageChara& a = s.AddChara(Chara(1));
    cStageChara& b = s.AddChara(Chara(2));
    a.m_aTarget[1] = &b;
    b.m_Parent = &a;
    const cObjHandle hb = &b;
    EXPECT_EQ(a.m_aTarget[1].StageChara(), &b);
    EXPECT_EQ(hb.Chara(), &b);
    EXPECT_EQ(hb.Item(), nullptr); // of another class
    s.RemoveChara(b);
    EXPECT_TRUE(b.IsRemoved());    // still there until the sweep, but out
    EXPECT_EQ(a.m_aTarget[1].Get(), nullptr);
    EXPECT_EQ(hb.Get(), nullptr);
    s.Sweep();
    EXPECT_EQ(s.m_lstChara.Size(), 1);
    // The freed slot is reused; the old handle still reads null, not the newcomer.
    cStageChara& c = s.AddChara(Chara(3));
    EXPECT_EQ(hb.Get(), nullptr);
    EXPECT_EQ(cObjHandle(&c).Get(), &c);
    // Objects never entered (temporaries, scratch copies) give null handles; copies are not
    // entered either.
    cStageChara temp;
    EXPECT_TRUE(cObjHandle(&temp).IsNull());
    cStageChara copy = c;
    EXPECT_TRUE(cObjHandle(&copy).IsNull());
    EXPECT_EQ(s.m_Registry.Count(), 2);
}

// Removal knows its own objects without looking through the list: a copy of a listed object,
// an object of another scene's list and one already out are left as they are.
TEST(Lifetimes, OnlyTheListsOwnObjectsAreTakenOut) {
    cGameScene s, other;
    cStageChara& a = s.AddChara(Chara(1));
    cStageChara& b = other.AddChara(Chara(2));
    cStageChara copy = a;
    s.RemoveChara(copy);
    s.RemoveChara(b);
    EXPECT_FALSE(a.IsRemoved());
    EXPECT_FALSE(b.IsRemoved());
    EXPECT_FALSE(copy.IsRemoved());
    EXPECT_EQ(s.m_lstChara.RemovedCount(), 0);
    EXPECT_TRUE(s.m_lstChara.Remove(a));
    EXPECT_FALSE(s.m_lstChara.Remove(a));
    EXPECT_EQ(s.m_lstChara.RemovedCount(), 1);
    // Thousands of removals in one pass, then one sweep: the rest keep their order.
    for (u32 id = 10; id < 5010; ++id) s.AddChara(Chara(id));
    s.ForEachChara([&](cStageChara& c) {
        if (c.m_nId % 2 == 0) s.RemoveChara(c);
    });
    s.Sweep();
    ASSERT_EQ(s.m_lstChara.Size(), 2500);
    EXPECT_EQ(s.m_lstChara[0].m_nId, 11u);
    EXPECT_EQ(s.m_lstChara[2499].m_nId, 5009u);
}

TEST(Lifetimes, WalksSurviveRemovalAndAdditionMidWalk) {
    cGameScene s;
    for (u32 id = 1; id <= 5; ++id) s.AddChara(Chara(id));
    std::string seen;
    s.ForEachChara([&](cStageChara& c) {
        seen += std::to_string(c.m_nId) + " ";
        if (c.m_nId == 2) {
            // A flow kills the next character and itself and summons one.
            s.RemoveChara(*s.m_lstChara.Live(2));
            s.RemoveChara(c);
            s.AddChara(Chara(9));
            s.Sweep(); // held back: the list is being walked
        }
        EXPECT_FALSE(c.IsRemoved() && c.m_nId != 2);
    });
    EXPECT_EQ(seen, "1 2 4 5 9 ");
    EXPECT_EQ(s.m_lstChara.Size(), 6); // the two removed wait for the sweep
    s.Sweep();
    EXPECT_EQ(Ids(s), "1 4 5 9 ");
    // Clearing during a walk only takes the objects out.
    s.ForEachChara([&](cStageChara&) { s.m_lstChara.Clear(); });
    EXPECT_EQ(Ids(s), "");
    s.Sweep();
    EXPECT_EQ(s.m_lstChara.Size(), 0);
    EXPECT_EQ(s.m_Registry.Count(), 0);
}

TEST(Lifetimes, ShotSideListsNeverHoldADestroyedShot) {
    cGameScene s;
    cShot proto;
    proto.m_nSide = 3;
    cShot& a = s.AddShot(proto);
    s.AddShot(proto);
    proto.m_nSide = 1;
    s.AddShot(proto);
    EXPECT_EQ(s.m_nShotSerial, 3u);
    ASSERT_EQ(s.SideList(3).size(), 2u);
    int n = 0;
    s.ForEachShotOfSide(3, [&](cShot& shot) {
        if (&shot == &a) s.EraseShot(shot);
        ++n;
    });
    EXPECT_EQ(n, 2);
    s.Sweep();
    EXPECT_EQ(s.SideList(3).size(), 1u);
    EXPECT_EQ(s.m_lstShot.Size(), 2);
    // A bad side is reported and falls back to side 0.
    EXPECT_EQ(&s.SideList(8), &s.SideList(0));
}

TEST(Lifetimes, FlowHandOverReadsNullWhenItsObjectGoes) {
    cGameScene s;
    cStageChara& c = s.AddChara(Chara(1));
    c.m_vFlow.resize(2);
    c.m_vFlow[1].cmds.resize(3);
    BindFlows(c);
    s.SetFlowObj(&c);
    s.SetFlowRun(&c, &c.m_vFlowRun[1]);
    s.SetCmdRun(&c.m_vFlowRun[1].m_vCmdRun[2]);
    EXPECT_EQ(s.FlowObj(), &c);
    EXPECT_EQ(s.CmdRun(), &c.m_vFlowRun[1].m_vCmdRun[2]);
    {
        cGameScene::FlowPointerScope keep(s);
        s.ClearFlowPointers();
        EXPECT_EQ(s.FlowRun(), nullptr);
    }
    EXPECT_EQ(s.FlowRun(), &c.m_vFlowRun[1]);
    // The flows change under the run: the hand-over never points past them.
    c.m_vFlow.resize(1);
    BindFlows(c);
    EXPECT_EQ(s.FlowRun(), nullptr);
    EXPECT_EQ(s.CmdRun(), nullptr);
    s.SetFlowRun(&c, &c.m_vFlowRun[0]);
    s.SetCmdRun(nullptr);
    EXPECT_NE(s.FlowRun(), nullptr);
    s.RemoveChara(c);
    EXPECT_EQ(s.FlowObj(), nullptr);
    EXPECT_EQ(s.FlowRun(), nullptr);
    // A run that is not the owner's is refused.
    cFlowRun stray;
    cStageChara& d = s.AddChara(Chara(2));
    s.SetFlowRun(&d, &stray);
    EXPECT_EQ(s.FlowRun(), nullptr);
}

TEST(Lifetimes, RandRangeDrawsFromThePlaysGenerator) {
    cGameScene s;
    s.m_Rand.Seed(1);
    // rand() after srand(1): 41, 18467, 6334, 26500.
    EXPECT_EQ(s.RandRange(0, 9), 41 % 10);
    EXPECT_EQ(s.RandRange(-5, 5), -5 + 18467 % 11);
    EXPECT_EQ(s.RandRange(5, 2), 2 + 6334 % 4); // either order
}
