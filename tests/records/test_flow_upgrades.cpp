// Files of older data versions, written by the old-version writer, read into the current
// layouts; and the parameter checks against the material database.
#include <gtest/gtest.h>

#include "FlowTestUtil.h"
#include "OldVersionWriter.h"
#include "records/EdSettings.h"

using namespace flowtest;
using oldver::ReadBackAt;

namespace {
struct FlowUpgrades : flowtest::CmdLimitsTest {};

cCond CondAt(u32 v, u8 kind, void (*set)(cCond&) = nullptr) {
    cCond c = MakeCond(kind, 0);
    if (set) set(c);
    return ReadBackAt(c, v);
}
} // namespace

// Each renumbering at its cut-over version and just below it (the field layouts of each version
// are pinned by the record tables).
TEST_F(FlowUpgrades, ConditionKindsAndSubjectsMoveByVersion) {
    EXPECT_EQ(CondAt(159, 5).kind, 7);
    EXPECT_EQ(CondAt(160, 5).kind, 5);
    EXPECT_EQ(CondAt(150, 4).kind, 4);
    EXPECT_EQ(CondAt(150, 200).kind, 200); // a negative signed byte is never raised
    // Kind 6 with selector 2 before 161: op bit 0 inverted.
    EXPECT_EQ(CondAt(160, 6, [](cCond& c) { c.selector = 2; c.op = 2; }).op, 3);
    EXPECT_EQ(CondAt(161, 6, [](cCond& c) { c.selector = 2; c.op = 2; }).op, 2);
    // Status numbers: below 168 both thresholds apply in turn; below 203 only the second.
    EXPECT_EQ(CondAt(167, 4, [](cCond& c) { c.selector = 10; }).selector, 12);
    EXPECT_EQ(CondAt(168, 4, [](cCond& c) { c.selector = 10; }).selector, 11);
    EXPECT_EQ(CondAt(202, 4, [](cCond& c) { c.selector = 5; }).selector, 6);
    EXPECT_EQ(CondAt(202, 4, [](cCond& c) { c.selector = 5; c.subject = 2; }).selector, 5);
    EXPECT_EQ(CondAt(202, 4, [](cCond& c) { c.source = 2; c.srcSelector = 7; }).srcSelector, 8);
    EXPECT_EQ(CondAt(203, 4, [](cCond& c) { c.selector = 5; }).selector, 5);
    EXPECT_EQ(CondAt(209, 5, [](cCond& c) { c.selector = 6; }).selector, 7);
    EXPECT_EQ(CondAt(210, 5, [](cCond& c) { c.selector = 6; }).selector, 6);
    // Distance conditions before 657/745/746.
    EXPECT_EQ(CondAt(656, 7, [](cCond& c) { c.subject = 3; }).subject, 0);
    EXPECT_EQ(CondAt(657, 7, [](cCond& c) { c.subject = 3; }).subject, 3);
    EXPECT_EQ(CondAt(744, 7, [](cCond& c) { c.leftKind = 2; }).leftKind, 0);
    EXPECT_EQ(CondAt(745, 7, [](cCond& c) { c.leftKind = 2; }).leftKind, 2);
    const cCond d745 = CondAt(745, 7);
    EXPECT_EQ(d745.source + d745.srcSubject, 2);
    const cCond d746 = CondAt(746, 7);
    EXPECT_EQ(d746.source + d746.srcSubject, 0);
    // Target slots inserted before the system at 767.
    EXPECT_EQ(CondAt(766, 4, [](cCond& c) { c.subject = 2; }).subject, 5);
    EXPECT_EQ(CondAt(766, 4, [](cCond& c) { c.subject = 1; }).subject, 1);
    EXPECT_EQ(CondAt(766, 5, [](cCond& c) { c.srcSubject = 2; }).srcSubject, 5);
    EXPECT_EQ(CondAt(767, 4, [](cCond& c) { c.subject = 2; }).subject, 2);
    EXPECT_EQ(CondAt(700, 3, [](cCond& c) { c.subject = 2; }).subject, 2);
}

TEST_F(FlowUpgrades, FlowTriggersAreRenumbered) {
    auto triggerAt = [](u32 v, u8 trigger, u8 letter = 0) {
        cFlow f;
        f.Clear();
        f.trigger = trigger;
        f.idLetter = letter;
        return ReadBackAt(f, v);
    };
    EXPECT_EQ(triggerAt(120, 12).trigger, 15); // +1 (<=131), then +2 (<164)
    EXPECT_EQ(triggerAt(120, 4).trigger, 4);
    EXPECT_EQ(triggerAt(131, 11).trigger, 14);
    EXPECT_EQ(triggerAt(132, 11).trigger, 13);
    EXPECT_EQ(triggerAt(120, 0, 5).idLetter, 5);
    EXPECT_EQ(triggerAt(162, 3, 5).idLetter, 0);
    EXPECT_EQ(triggerAt(163, 3, 5).idLetter, 5);
    EXPECT_EQ(triggerAt(163, 5).trigger, 7);
    EXPECT_EQ(triggerAt(164, 5).trigger, 5);
    EXPECT_EQ(triggerAt(761, 18).trigger, 21);
    EXPECT_EQ(triggerAt(762, 18).trigger, 18);
    EXPECT_EQ(triggerAt(120, 200).trigger, 200);
}

TEST_F(FlowUpgrades, ShotHomingFollowsTheMovementTypeUntil212) {
    std::shared_ptr<cEdShot> s;
    NewEdShot(s);
    s->byMoveType = 5;
    s->byHoming = 0;
    EXPECT_EQ(ReadBackAt(*s, 200).byHoming, 1);
    EXPECT_EQ(ReadBackAt(*s, 211).byHoming, 1); // registered from 211 but still derived
    EXPECT_EQ(ReadBackAt(*s, 212).byHoming, 0);
    s->byMoveType = 3;
    s->byHoming = 1;
    EXPECT_EQ(ReadBackAt(*s, 211).byHoming, 0);
}

TEST_F(FlowUpgrades, ShotFixAndOffsets) {
    CMDLIMITS lim;
    lim.nEffect = 10;
    SetCmdLimits(lim);
    std::shared_ptr<cEdShot> s;
    NewEdShot(s);
    s->bySize = 0;
    s->wEffect = 10;
    cEdShot back = ReadBackAt(*s, kProgVer);
    EXPECT_EQ(back.bySize, 1);
    EXPECT_EQ(back.wEffect, 0);
    s->wEffect = -3; // would pass a check of the upper bound alone
    EXPECT_EQ(ReadBackAt(*s, kProgVer).wEffect, 0);
    s->wEffect = 9;
    EXPECT_EQ(ReadBackAt(*s, kProgVer).wEffect, 9);

    s->wOfsX = 10;
    s->wOfsXInc = 2;
    s->byMirrorX = 1;
    EXPECT_DOUBLE_EQ(s->GetOffsetX(3, 1), -16.0);
    EXPECT_DOUBLE_EQ(s->GetOffsetX(3, 0), 16.0);
    s->wOfsY = -4;
    s->wOfsYInc = 1;
    s->byMirrorY = 0;
    EXPECT_DOUBLE_EQ(s->GetOffsetY(2, 1), -2.0);
}

TEST_F(FlowUpgrades, CommandParametersUpgradeToTheCurrentLayout) {
    auto cmdAt = [](u32 v, u8 set, u8 kind, std::initializer_list<u32> params) {
        cFlowCmd c;
        c.Clear();
        c.cmdSet = set;
        c.cmdKind = kind;
        c.params.assign(params.begin(), params.end());
        return ReadBackAt(c, v);
    };
    EXPECT_EQ(cmdAt(140, 0, 17, {1}).params.size(), 9u);
    cFlowCmd se = cmdAt(160, 0, 35, {5});
    ASSERT_EQ(se.params.size(), 1u); // kind 35 has one parameter now: the second is dropped
    EXPECT_EQ(se.params[0], 5u);
    cFlowCmd target = cmdAt(180, 0, 21, {1, 2, 3, 4});
    ASSERT_EQ(target.params.size(), 16u);
    EXPECT_EQ(target.params[1], 2u);
    EXPECT_EQ(target.params[2], 0u);
    EXPECT_EQ(target.params[3], 3u);
    EXPECT_EQ(target.params[11], 1u);
    cFlowCmd effect = cmdAt(190, 0, 29, {7, 8});
    ASSERT_EQ(effect.params.size(), 8u);
    EXPECT_EQ(effect.params[0], 7u);
    EXPECT_EQ(effect.params[1], 0u);
    EXPECT_EQ(effect.params[2], 8u);
    cFlowCmd msg = cmdAt(500, 0, 19, {1, 2, 3});
    ASSERT_EQ(msg.params.size(), 18u);
    EXPECT_EQ(msg.params[10], 1u);
    EXPECT_EQ(msg.params[14], 1u);
    EXPECT_EQ(msg.params[16], 1u);
    EXPECT_EQ(cmdAt(556, 0, 19, {}).params[16], 0u);
    // The item set's twin of the message command follows the same steps.
    EXPECT_EQ(cmdAt(500, 1, 4, {}).params[10], 1u);
    // A current file is taken as it is.
    EXPECT_EQ(cmdAt(kProgVer, 0, 21, {1, 2, 3, 4}).params[2], 3u);
}

TEST_F(FlowUpgrades, ParameterCountsAndDatabaseIndexes) {
    cFlowCmd c;
    c.Clear();
    c.cmdKind = 40; // past the table: no parameters
    c.params.assign(3, 1);
    FixCmdParams(c);
    EXPECT_TRUE(c.params.empty());
    c.cmdSet = 1;
    c.cmdKind = 1;
    FixCmdParams(c);
    EXPECT_EQ(c.params.size(), 2u);

    // Unknown sizes keep the stored values.
    c.cmdSet = 0;
    c.cmdKind = 29;
    c.params.assign(8, 0);
    c.params[0] = 500;
    c.sound = 300;
    c.anime = 300;
    FixCmdParams(c);
    EXPECT_EQ(c.params[0], 500u);
    EXPECT_EQ(c.sound, 300);

    CMDLIMITS lim;
    lim.nEffect = 20;
    lim.nSound = 10;
    lim.nAnime = 300;
    lim.nCharaBmp = 3;
    SetCmdLimits(lim);
    FixCmdParams(c);
    EXPECT_EQ(c.params[0], 0u);
    EXPECT_EQ(c.sound, 0);
    EXPECT_EQ(c.anime, 0);
    c.params[0] = 0xFFFFFFFFu; // negative: outside too
    FixCmdParams(c);
    EXPECT_EQ(c.params[0], 0u);

    // A dedicated picture past the list becomes the first one, also in the item set.
    cFlowCmd g;
    g.Clear();
    g.cmdSet = 1;
    g.cmdKind = 11;
    g.params = {4, 3, 0};
    const std::string b = SaveBytes(g); // the check runs before writing
    EXPECT_EQ(g.params[1], 1u);
    cFlowCmd back;
    ASSERT_TRUE(LoadBytes(back, b));
    EXPECT_EQ(back.params[1], 1u);
}

TEST_F(FlowUpgrades, SummonReferencesPastThePaletteSummonNothing) {
    cFlowCmd c;
    c.Clear();
    c.cmdKind = 14;
    NewEdShot(c.shot);
    c.shot->bySummonPalette = 1;
    c.shot->wSummonIndex = 4;
    FixCmdRefs(c); // sizes unknown: kept
    EXPECT_EQ(c.shot->wSummonIndex, 4);
    CMDLIMITS lim;
    lim.nStagePal[2] = 5;
    lim.nCommonPal[2] = 2;
    SetCmdLimits(lim);
    FixCmdRefs(c);
    EXPECT_EQ(c.shot->wSummonIndex, 4);
    c.shot->bySummonPalette = 0;
    cVector<cFlowCmd> list{c};
    FixCmdRefList(list);
    EXPECT_EQ(list[0].shot->wSummonIndex, -1);
    c.shot->wSummonIndex = -7;
    c.shot->bySummonPalette = 1;
    FixCmdRefs(c);
    EXPECT_EQ(c.shot->wSummonIndex, -1);
}

// The item that a shot, a sword or a summoned thing gives on a hit names an entry of the common
// (1) or the stage's (2) item palette: past its palette, it gives none. Commands without a shot
// record, or outside the shot kinds, keep what they hold.
TEST_F(FlowUpgrades, ShotAndSwordItemReferencesPastThePaletteGiveNone) {
    CMDLIMITS lim;
    lim.nStagePal[3] = 5;
    lim.nCommonPal[3] = 2;
    SetCmdLimits(lim);
    std::string got;
    for (u8 kind : {11, 12, 14, 25, 26}) {
        for (auto [itemKind, number] : {std::pair{1, 1}, std::pair{1, 2}, std::pair{2, 4}, std::pair{2, 5}, std::pair{2, -1}}) {
            cFlowCmd c;
            c.Clear();
            c.cmdKind = kind;
            NewEdShot(c.shot);
            ShotSettings::Set(*c.shot, eShot::ItemKind, itemKind);
            ShotSettings::Set(*c.shot, eShot::ItemNumber, number);
            FixCmdRefs(c);
            got += std::to_string(ShotSettings::Get(*c.shot, eShot::ItemKind)) + ":" +
                   std::to_string(ShotSettings::Get(*c.shot, eShot::ItemNumber)) + " ";
        }
        got += "| ";
    }
    EXPECT_EQ(got, "1:1 0:0 2:4 0:0 0:0 | 1:1 0:0 2:4 0:0 0:0 | 1:1 0:0 2:4 0:0 0:0 | 1:1 0:0 2:4 0:0 0:0 | "
                   "1:1 1:2 2:4 2:5 2:-1 | ");
}
