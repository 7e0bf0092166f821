#include "tests/play/RulesTestUtil.h"

#include <gtest/gtest.h>

#include <cstdio>

#include "play/rules/Collision.h"
#include "play/rules/Hits.h"
#include "play/rules/Motion.h"

namespace rulestest {

namespace {

cEdChara Definition(bool hero, const EditChara& edit) {
    cEdChara d;
    d.byOperation = hero ? 0 : 1;
    d.wPicture = 1;
    d.nHoldItem = cEdChara::kNoItem;
    if (edit) edit(d);
    return d;
}

void Begin(cChara& c) {
    c.TickTimers();
    c.ClearContacts();
    SavePosition(c);
}

} // namespace

RulePlay::RulePlay(cStage st) : fixture(std::move(st)), s(fixture.Scene()) { EXPECT_TRUE(fixture.RunUntilPlay()); }

cFlow WaitingFlow(u8 trigger) {
    cFlow f;
    f.trigger = trigger;
    cFlowCmd cmd;
    cmd.cmdKind = 22;
    cmd.params.assign(18, 0);
    f.cmds.push_back(cmd);
    return f;
}

cPlayer& SetUpPlayer(cGameScene& s, i32 cellX, i32 cellY, const EditChara& edit) {
    cPlayer& p = *s.Player0();
    p.InitForStage(0, Definition(true, edit), cellX, cellY);
    p.OnMovedX();
    p.OnMovedY();
    p.m_bPresent = p.m_bOnScreen = 1;
    return p;
}

cStageChara& AddStageChara(cGameScene& s, i32 cellX, i32 cellY, const EditChara& edit) {
    auto c = std::make_unique<cStageChara>();
    c->m_pScene = &s;
    const cEdChara def = Definition(false, edit);
    c->Setup(static_cast<u32>(s.m_nNextId++), def, nullptr, cellX, cellY, 0, nullptr);
    cStageChara& in = s.AddChara(std::move(c));
    in.OnMovedX();
    in.OnMovedY();
    in.InitTargets(nullptr);
    in.m_bPresent = in.m_bOnScreen = in.m_bActive = in.m_bInRange = 1;
    return in;
}

i32 PlayerStep(cGameScene& s, cPlayer& p, const std::function<void()>& duringUpdate) {
    Begin(p);
    if (p.Update(0)) return 8;
    if (duringUpdate) duringUpdate();
    p.StepX();
    MoveCharaX(p);
    if (CollideBlocksX(s, p) == 2) return 1;
    MoveCharaX(p);
    GravityStep(p);
    if (p.StepY() == 7) return 2;
    if (MoveCharaY(p) == 2) return 3;
    if (CollideBlocksY(s, p) == 2) return 4;
    if (MoveCharaY(p) == 2) return 5;
    if (ResolveCharaHits(s, p) == 2) return 6;
    return 0;
}

i32 CharaStep(cGameScene& s, cStageChara& c) {
    Begin(c);
    if (c.Update(0)) return 9;
    const i32 rx = c.StepX();
    const i32 bx = CollideBlocksX(s, c);
    const i32 ry = c.StepY();
    const i32 by = CollideBlocksY(s, c);
    if (bx == 2 || by == 2 || ry == 7) return 7;
    if (rx == 4 || ry == 8) return rx == 4 ? 4 : 8;
    DecayKnockback(c);
    return 0;
}

std::string Num(double v) {
    char buf[64];
    std::snprintf(buf, sizeof buf, "%.3f", v);
    std::string s = buf;
    while (s.back() == '0') s.pop_back();
    if (s.back() == '.') s.pop_back();
    return s == "-0" ? "0" : s;
}

std::string State(const cChara& c) {
    std::string s = Num(c.m_dX) + "," + Num(c.m_dY) + " " + Num(c.m_dSpeedX) + "," + Num(c.m_dSpeedY) + " ";
    s += c.m_bContactL ? 'L' : '-';
    s += c.m_bContactR ? 'R' : '-';
    s += c.m_bContactT ? 'T' : '-';
    s += c.m_bContactB ? 'B' : '-';
    s += c.m_nFloorCell >= 0 ? " f" : " .";
    return s;
}

} // namespace rulestest
