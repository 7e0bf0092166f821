// Conditions of every kind against one scene: variables, statuses (with their sources, percent
// and widths), status flags, states and the seven distance shapes; condition lists with their
// combinations and the latch of a flow.
#include <gtest/gtest.h>

#include <functional>

#include "app/PlayRecordNames.h"
#include "app/Replay.h"
#include "database/SystemSwitches.h"
#include "platform/graphics/Graphics.h"
#include "platform/system/Input.h"
#include "tests/flow/FlowTrace.h"

using namespace flowtest;

namespace {

void Place(cObj& o, double x, double y) {
    o.m_dX = x;
    o.m_dY = y;
    o.m_nGfxW = o.m_nGfxH = o.m_nBoxW = o.m_nBoxH = 32;
    o.m_nGfxOffX = o.m_nGfxOffY = 0;
    o.m_dRight = x + 31;
    o.m_dBottom = y + 31;
}

} // namespace

TEST(Conditions, EveryKindAndComparison) {
    FlowFixture fx;
    cGameScene& s = fx.Scene();
    cStageChara& self = fx.AddChara({});
    cStageChara& target = fx.AddChara({});
    cPlayer& hero = *s.Player0();
    SetTargetSlot(self, 1, &target, 1); // ターゲット2
    g_CommonVars[5] = 7;
    s.m_vStageVar[3] = static_cast<u32>(-4);
    self.m_vVar[2] = 9;
    self.m_nHP = 6;
    target.m_nHP = 8;
    self.m_Def.byImpact = 5;
    self.m_bTransparent = 1;
    self.m_nDir = 0; // facing left
    s.m_ScrollX.m_dPos = s.m_ScrollY.m_dPos = 0;
    Place(self, 400, 400);
    Place(target, 480, 430);
    Place(hero, 330, 400);

    struct Row {
        const char* what;
        cCond cond;
        bool expected;
    };
    auto with = [](cCond c, const std::function<void(cCond&)>& f) {
        f(c);
        return c;
    };
    // Conditions on a subject (self 0, target slots 1-4 as 1-4, the system 5).
    auto on = [](u8 kind, u8 subject, u8 selector, u8 op, i32 value, i16 index = 0, i16 srcIndex = 0) {
        cCond c = Cond(kind, op, value, index);
        c.subject = subject;
        (kind == 7 ? c.shape : c.selector) = selector;
        c.srcIndex = srcIndex;
        return c;
    };
    auto status = [&](u8 subject, u8 selector, u8 op, i32 value) { return on(4, subject, selector, op, value); };
    auto flag = [&](u8 subject, u8 selector, u8 op, i16 value) { return on(5, subject, selector, op, 0, value); };
    auto state = [&](u8 subject, u8 selector, u8 op) { return on(6, subject, selector, op, 0); };
    auto distance = [&](u8 subject, u8 shape, i32 hbl, i16 dots, u8 op) { return on(7, subject, shape, op, hbl, 0, dots); };
    const cCond common = Cond(1, 0, 7, 5);
    const Row rows[] = {
        {"none", Cond(0, 0, 0), false},
        {"common == 7", common, true},
        {"common != 7", with(common, [](cCond& c) { c.op = 1; }), false},
        {"common past the list", with(common, [](cCond& c) { c.index = 30000; }), false},
        {"stage -4 < 0", Cond(2, 5, 0, 3), true},
        {"stage |-4| divisible by 2", Cond(2, 6, 2, 3), true},
        {"chara var 9 >= 9", Cond(3, 2, 9, 2), true},
        {"chara var past the list", Cond(3, 0, 0, 9), false},
        {"HP == 6", status(0, 1, 0, 6), true},
        {"HP >= 50% of max 10", with(status(0, 1, 2, 50), [](cCond& c) { c.percent = 1; }), true},
        {"HP == 65% of 10, rounded up", with(status(0, 1, 0, 65), [](cCond& c) { c.percent = 1; }), false},
        {"HP == 55% of 10, rounded up", with(status(0, 1, 0, 55), [](cCond& c) { c.percent = 1; }), true},
        {"HP of target 2 == 8", status(2, 1, 0, 8), true},
        {"HP of empty target 3", status(3, 1, 0, 0), false},
        {"selector 15 holds", status(0, 15, 0, 0), true},
        {"impact 5 != 261 (no 8-bit wrap)", status(0, 10, 1, 261), true},
        {"HP > random 4..4", with(status(0, 1, 0, 0), [](cCond& c) { c.source = 1, c.rangeMin = c.rangeMax = 4, c.op = 4; }), true},
        {"HP < HP of target 2", with(status(0, 1, 5, 0), [](cCond& c) { c.source = 2, c.srcSubject = 2, c.srcSelector = 1; }), true},
        {"source target 3 missing", with(status(0, 1, 1, 0), [](cCond& c) { c.source = 2, c.srcSubject = 3, c.srcSelector = 1; }), false},
        {"HP <= common 5", with(status(0, 1, 3, 0), [](cCond& c) { c.source = 3, c.srcIndex = 5; }), true},
        {"left stage var == -4", with(Cond(4, 0, -4), [](cCond& c) { c.leftKind = 1, c.leftVarScope = 1, c.index = 3; }), true},
        {"left var, percent: right 0", with(Cond(4, 0, -4), [](cCond& c) { c.leftKind = 1, c.leftVarScope = 1, c.index = 3, c.percent = 1; }), false},
        {"system time stopped reads 0", status(5, 0, 0, 0), true},
        {"system selector 5", status(5, 5, 0, 0), false},
        {"transparent == 1", flag(0, 1, 0, 1), true},
        {"flying of target 2 == 0", flag(2, 3, 0, 0), true},
        {"giant == 1", flag(0, 5, 0, 1), true},
        {"flag of empty target 3", flag(3, 1, 1, 1), false},
        {"flag 0 (vanish)", flag(0, 0, 0, 0), false},
        {"screen x auto-scroll off", flag(5, 0, 0, 0), true},
        {"facing left", state(0, 0, 0), true},
        {"facing right", state(0, 1, 0), false},
        {"not facing right", state(0, 1, 1), true},
        {"target 2 exists", state(2, 4, 0), true},
        {"target 3 exists", state(3, 4, 0), false},
        {"target 3 does not exist", state(3, 4, 1), true},
        {"empty target 3 facing left, negated", state(3, 0, 1), false},
        {"self on a block (no jump flags)", state(0, 2, 0), true},
        {"state 5", state(0, 5, 0), false},
        // Self's graphic centre at 416, 416, facing left; the hero spans x 330..361, target 2
        // x 480..511 and y 430..461 (its centre 80 right and 30 down of self's).
        {"hero within 4 hbl", distance(0, 0, 4, 0, 0), true},
        {"hero within 3 hbl", distance(0, 0, 3, 0, 0), false},
        {"hero within 3 hbl + 12 dots", distance(0, 0, 3, 12, 0), true},
        {"hero in front (left) 4 hbl", distance(0, 1, 4, 0, 0), true},
        {"hero behind 4 hbl", distance(0, 2, 4, 0, 0), false},
        {"target 2 behind (right) 5 hbl", distance(2, 2, 5, 0, 0), true},
        {"target 2 outside 5 hbl", distance(2, 0, 5, 0, 1), false},
        {"target 2 vertical 1 hbl", distance(2, 3, 1, 0, 0), true},
        {"target 2 below, facing left: behind", distance(2, 5, 1, 0, 0), true},
        {"target 2 below, facing left: not in front", distance(2, 4, 1, 0, 0), false},
        {"target 2 circle 5 hbl + 6", distance(2, 6, 5, 6, 0), true},
        {"target 2 circle 5 hbl + 5", distance(2, 6, 5, 5, 0), false},
        {"empty target 3 outside", distance(3, 0, 1, 0, 1), false},
        {"distance operator 2", distance(0, 0, 4, 0, 2), false},
    };
    for (const Row& r : rows) {
        cCond c = r.cond;
        EXPECT_EQ(EvalCond(s, c, &self) != 0, r.expected) << r.what;
    }

    // A replay of version 781 or older reads the hero where it was last seen on the screen.
    Place(hero, 100, 400);
    const u32 mode = g_Game.g_nGameMode;
    g_Game.g_nGameMode = 4;
    for (u32 version : {781u, 782u}) {
        g_ReplayData.nFileVersion = version;
        cCond near = distance(0, 0, 4, 0, 0);
        EXPECT_EQ(EvalCond(s, near, &self) != 0, version == 781) << version;
    }
    g_Game.g_nGameMode = mode;
    g_ReplayData.nFileVersion = kProgVer;
    Place(hero, 330, 400);

    // The computed right-hand value stays in the condition.
    cCond random = with(status(0, 1, 0, 0), [](cCond& c) { c.source = 1, c.rangeMin = 9, c.rangeMax = 9; });
    EvalCond(s, random, &self);
    EXPECT_EQ(random.value, 9);

    // Unlimited lives read as 100, or never compare with the system switch on.
    g_nLives = 999999;
    EXPECT_TRUE(EvalCond(s, *std::make_unique<cCond>(status(5, 4, 0, 100)), &self));
    g_SystemData.bCompat819 = 1; // SW_UNLIMITED_LIVES
    EXPECT_FALSE(EvalCond(s, *std::make_unique<cCond>(status(5, 4, 0, 0)), &self));
    g_SystemData.bCompat819 = 0;
    EXPECT_EQ(SysSwitch(SW_UNLIMITED_LIVES), 0u);

    // A dying target no longer exists.
    target.m_bDying = 1;
    cCond exists = state(2, 4, 0);
    EXPECT_FALSE(EvalCond(s, exists, &self));

    // Lists: mode 0 all (empty holds), mode 1 one or more (empty fails), others fail.
    cVector<cCond> empty, mixed;
    mixed.push_back(common);
    mixed.push_back(Cond(0, 0, 0));
    EXPECT_EQ(EvalCondList(s, empty, 0, &self), 1);
    EXPECT_EQ(EvalCondList(s, empty, 1, &self), 0);
    EXPECT_EQ(EvalCondList(s, mixed, 0, &self), 0);
    EXPECT_EQ(EvalCondList(s, mixed, 1, &self), 1);
    EXPECT_EQ(EvalCondList(s, mixed, 2, &self), 0);
}

TEST(Conditions, FlowConditionsAndTheirLatch) {
    FlowFixture fx;
    cFlow latched = MakeFlow(TRIG_NONE, {AddCmd(0)});
    latched.latch = 1;
    latched.conds.push_back(Cond(3, 0, 0)); // variable 0 == 0
    cFlow plain = latched;
    plain.latch = 0;
    cFlow none = MakeFlow(TRIG_NONE, {AddCmd(0)});
    none.combine = 1; // an empty list in mode 1, but a flow without conditions holds
    cStageChara& a = fx.AddChara({latched, plain, none});
    cGameScene& s = fx.Scene();
    EXPECT_EQ(CheckFlowConds(s, a.m_vFlowRun[0], a), 1);
    EXPECT_EQ(CheckFlowConds(s, a.m_vFlowRun[1], a), 1);
    EXPECT_EQ(CheckFlowConds(s, a.m_vFlowRun[2], a), 1);
    a.m_vVar[0] = 1;
    // The latch was set by the success, also for the flow without the option; only the option
    // makes it count.
    EXPECT_EQ(a.m_vFlowRun[1].m_bCondLatch, 1);
    EXPECT_EQ(CheckFlowConds(s, a.m_vFlowRun[0], a), 1);
    EXPECT_EQ(CheckFlowConds(s, a.m_vFlowRun[1], a), 0);
}

TEST(Conditions, DistanceAreasAreDrawnWhenShown) {
    FlowFixture fx;
    cStageChara& c = fx.AddChara({});
    Place(c, 100, 100);
    c.m_rcScreen = {100, 100, 131, 131};
    c.m_bOnScreen = 1;
    auto area = [](u8 display, u8 shape, u8 colour) {
        cCond d = Cond(7, 0, 2); // 2 hbl
        d.leftKind = display;
        d.shape = shape;
        d.selector = colour;
        return d;
    };
    c.m_Def.vCond.push_back(area(1, 1, 5)); // shown: in front (right) of the character
    c.m_Def.vCond.push_back(area(0, 0, 6)); // hidden
    c.m_Def.vCond.push_back(area(2, 3, 7)); // test play only
    DDSURFACEDATA sd;
    ASSERT_TRUE(DDCreateSurface(&sd, 320, 240, 0, 0));
    DDFillSurface(&sd, 0);
    DrawFlowOverlay(c, &sd);
    SurfaceLock lock;
    ASSERT_TRUE(DDLockSurface(&lock, &sd));
    auto at = [&](int x, int y) { return lock.lpPixels[y * lock.nPitch + x]; };
    const u32 none = at(0, 0);
    EXPECT_NE(at(116, 100), none); // the area starts at the centre (116)...
    EXPECT_NE(at(148, 131), none); // ...and ends 32 dots further
    EXPECT_EQ(at(115, 100), none); // nothing behind, nothing of the hidden or test-play areas
    EXPECT_EQ(at(100, 84), none);
    EXPECT_EQ(at(149, 115), none);
    DDUnlockUpload(&lock);
    DDReleaseSurface(&sd);
}

TEST(Conditions, KeyRowsOfAFlowReadTheHerosHistories) {
    FlowFixture fx;
    cGameScene& s = fx.Scene();
    cPlayer& hero = *s.Player0();
    // Edge mode, letter A: button 1 pressed starts the flow once per press; while the press is
    // held, the letter stays taken, so the second flow of letter A (no key rows) waits.
    cFlow press = MakeFlow(TRIG_ALWAYS, {AddCmd(0)}, 1);
    cKeyCond row;
    row.keys[11] = 1; // button 1 pressed
    row.minFrames = 1;
    row.maxFrames = 999;
    press.keyConds.push_back(row);
    cFlow other = MakeFlow(TRIG_ALWAYS, {AddCmd(1)}, 1);
    SetupFlows(hero, {press, other}, 0, -1);
    FlowFixture::SetDurations(hero, 0);
    ClearKeyHistories(g_vInput[0]);
    std::string trace;
    for (u16 buttons : {0, 1, 1, 1, 0, 1}) {
        g_vInput[0].wButtons = buttons;
        StepKeyConds(hero);
        ResetFlowMarks(hero);
        RunFlowsOf(hero, TRIG_ALWAYS);
        StepFlows(hero, 0);
        EndLetters(hero);
        trace += std::to_string(hero.m_vVar[0]) + std::to_string(hero.m_vVar[1]) + " ";
    }
    // Frame 1: no press, the letter-free flow runs; 2: the press; 3-4: held, nothing;
    // 5: released, the other flow; 6: a new press.
    EXPECT_EQ(trace, "01 11 11 11 12 22 ");
}
