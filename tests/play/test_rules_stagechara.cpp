// Stage characters: step results, the activity range with groups and staying awake, the dying
// pass, and the death rules that remove them.
#include <gtest/gtest.h>

#include "app/PlayRecordNames.h"
#include "database/Database.h"
#include "database/SystemData.h"
#include "play/objects/CharaSetup.h"
#include "play/rules/Hits.h"
#include "play/rules/Motion.h"
#include "records/CharaSettings.h"
#include "records/EdSettings.h"
#include "tests/play/RulesTestUtil.h"

using namespace rulestest;

TEST(RulesStageChara, StepResultsAtTheStageEdges) {
    // A stage with a pit: no floor under column 10.
    cStage st = playtest::MakeStage(20, 15);
    std::erase_if(st.vBlock, [](const cEdBlock& b) { return b.sPosX == 10; });
    st.Prepare();
    RulePlay play(st);
    // Walking into the pit, the character falls out at the bottom: crushed (7).
    cStageChara& walker = AddStageChara(play.s, 10, 13);
    // Flying up out of the top of the stage, far above the margin: removed (8).
    cStageChara& flyer = AddStageChara(play.s, 3, 5, [](cEdChara& d) { CharaSettings::Set(d, eChara::FlyMode, 1); });
    // Walking left off the field: removed (4).
    cStageChara& runner = AddStageChara(play.s, 0, 13, [](cEdChara& d) { CharaSettings::Set(d, eChara::FlyMode, 1); });
    std::string out;
    for (cStageChara* c : {&walker, &flyer, &runner}) {
        int step = 0, r = 0;
        for (; step < 20000 && r == 0; ++step) {
            if (c == &flyer) c->m_dAccelY = -5;
            if (c == &runner) c->m_dAccelX = -5;
            r = CharaStep(play.s, *c);
        }
        out += std::to_string(r) + "@" + std::to_string(step) + " " + Num(c->m_dX) + "," + Num(c->m_dY) + " | ";
    }
    // The walker's feet pass the stage's bottom edge (800); the flyer is held at the field's top
    // (y 0) and the runner at its left edge (x 0), both leaving the stage.
    EXPECT_EQ(out, "7@128 650.5,777.024 | 8@98 426.5,0 | 4@67 0,744 | ");
}

TEST(RulesStageChara, ActivityRangeGroupsAndStayingAwake) {
    RulePlay play(playtest::MakeStage(100, 15));
    cPlayer& p = SetUpPlayer(play.s, 2, 13);
    p.OnMovedX();
    // Group 3: one member at column 22 (just beyond the view's right edge at 20 columns), one far
    // away at column 80; a lone character at 21 that stays awake once woken.
    auto group = [](cEdChara& d) {
        CharaSettings::Set(d, eChara::GroupOn, 1);
        CharaSettings::Set(d, eChara::Group, 3);
    };
    cStageChara& near = AddStageChara(play.s, 22, 13, group);
    cStageChara& far = AddStageChara(play.s, 80, 13, group);
    cStageChara& stay = AddStageChara(play.s, 21, 13, [](cEdChara& d) { CharaSettings::Set(d, eChara::ActivityRule, 1); });
    auto pass = [&] {
        std::fill(play.s.m_vGroupMark.begin(), play.s.m_vGroupMark.end(), 0u);
        std::string r;
        for (cStageChara* c : {&near, &far, &stay}) c->IsInActivityRange(play.s.m_vGroupMark);
        for (cStageChara* c : {&near, &far, &stay}) r += std::to_string(c->WakeUp(play.s.m_vGroupMark));
        return r;
    };
    std::string out = pass() + " ";
    // The view moves right by 3 cells: the lone one and the near member enter, the far member
    // wakes with its group in the same step.
    play.s.m_ScrollX.m_dPos += 96;
    out += pass() + " ";
    // Back: the group sleeps again, the lone one stays awake.
    play.s.m_ScrollX.m_dPos -= 96;
    out += pass();
    EXPECT_EQ(out, "000 111 001");
}

// Once woken, a walking character with the second wake flag stays awake out of range; a flying
// one with it, or a walker without it, sleeps again; one its flows keep awake wakes out of range.
TEST(RulesStageChara, TheSecondWakeFlagAndKeptAwake) {
    RulePlay play(playtest::MakeStage(100, 15));
    cPlayer& p = SetUpPlayer(play.s, 2, 13);
    p.OnMovedX();
    auto flag2 = [](cEdChara& d) { CharaSettings::Set(d, eChara::WakeFlag2, 1); };
    cStageChara& walker2 = AddStageChara(play.s, 10, 13, flag2);
    cStageChara& walker = AddStageChara(play.s, 11, 13);
    cStageChara& flyer2 = AddStageChara(play.s, 12, 13, [&](cEdChara& d) {
        flag2(d);
        CharaSettings::Set(d, eChara::FlyMode, 1);
    });
    cStageChara& kept = AddStageChara(play.s, 80, 13);
    kept.m_bKeepAwake = 1;
    const cStageChara* all[] = {&walker2, &walker, &flyer2, &kept};
    auto pass = [&] {
        std::string r;
        for (cStageChara* c : {&walker2, &walker, &flyer2, &kept}) c->IsInActivityRange(play.s.m_vGroupMark);
        for (cStageChara* c : {&walker2, &walker, &flyer2, &kept}) r += std::to_string(c->WakeUp(play.s.m_vGroupMark));
        for (const cStageChara* c : all) r += c->m_bActive ? "a" : "-";
        return r;
    };
    std::string out = pass() + " ";
    // The view moves 40 cells right: the first three leave the range.
    play.s.m_ScrollX.m_dPos += 40 * 32;
    out += pass() + " ";
    kept.m_bKeepAwake = 0;
    out += pass();
    EXPECT_EQ(out, "1111aaaa 1001a--a 1000a---");
}

TEST(RulesStageChara, TheDyingPassAndTheDeathRules) {
    RulePlay play;
    cPlayer& p = SetUpPlayer(play.s, 2, 13);
    // A character with an always-flow and a died flow, HP gone: the ordinary pass stops (update
    // result 1) and steps nothing; the dying pass steps only the died flow.
    cStageChara& c = AddStageChara(play.s, 6, 13, [](cEdChara& d) {
        d.vFlow.push_back(WaitingFlow(TRIG_ALWAYS));
        d.vFlow.push_back(WaitingFlow(TRIG_DIED));
    });
    RunFlowsOf(c, TRIG_ALWAYS);
    RunFlowsOf(c, TRIG_DIED);
    c.m_nHP = 0;
    const i32 frames0 = c.m_vFlowRun[0].m_nFrames;
    std::string out = std::to_string(c.Update(0)) + std::to_string(c.m_vFlowRun[0].m_nFrames - frames0) + " ";
    out += std::to_string(c.Update(1)) + " ";
    // CheckPlayerDeath: characters marked for removal go, those without HP end (removed at
    // once, or kept until the sweep with the switch for delayed removal); a character of the
    // player's kind that dies makes the player die.
    cStageChara& marked = AddStageChara(play.s, 8, 13);
    marked.m_bRemove = 1;
    cStageChara& dead = AddStageChara(play.s, 9, 13);
    dead.m_nHP = 0;
    auto check = [&](std::initializer_list<const cStageChara*> shown) {
        std::string r = std::to_string(CheckPlayerDeath(play.s));
        for (const cStageChara* x : shown) r += std::string(x->IsRemoved() ? "r" : "-") + (x->IsDying() ? "D" : "-");
        return r + " ";
    };
    out += check({&c, &marked, &dead});
    g_SystemData.bSwitch272 = 1;
    cStageChara& late = AddStageChara(play.s, 10, 13);
    late.m_nHP = 0;
    out += check({&late});
    g_SystemData.bSwitch272 = 0;
    cStageChara& ally = AddStageChara(play.s, 11, 13, [](cEdChara& d) { CharaSettings::Set(d, eChara::Kind, 0); });
    ally.m_nHP = 0;
    out += check({&ally});
    out += p.IsDying() ? "P" : "-";
    // A player dying already is not defeated again (no second score, no second died flow).
    CharaSettings::Set(p.m_Def, eChara::Score, 100);
    p.m_nHP = 0;
    const u32 score = g_nScore;
    out += std::to_string(CheckPlayerDeath(play.s));
    out += g_nScore == score ? "=" : "+";
    // r removed, D dying: the dead ones killed and taken out at once, the marked one taken out;
    // with delayed removal the dead one stays (dying); the player's kind makes the player die.
    EXPECT_EQ(out, "10 1 0rDr-rD 0-D 2-- P2=");
    // The one that delayed removal kept (dying) is a plain death to the next check without the
    // switch: taken out at once.
    EXPECT_TRUE(late.IsRemoved());
    play.s.Sweep();
    EXPECT_EQ(play.s.m_lstChara.LiveCount(), 1);
}

TEST(RulesStageChara, MoveStartWithoutSpeedOrDuration) {
    RulePlay play;
    cStageChara& c = AddStageChara(play.s, 6, 13);
    cFlowCmd cmd;
    NewEdMove(cmd.move);
    MoveSettings::Set(*cmd.move, eMove::Distance, 30);
    cCmdRun run;
    run.m_pCmd = &cmd;
    // Duration 0: the speed is 0, not a division by zero; the distance is clamped to 20 hbl.
    run.m_nDuration = 0;
    StartMoveCmd(run, c);
    EXPECT_EQ(Num(run.m_dSpeed) + " " + std::to_string(run.m_nDistance), "0 3200");
}

TEST(RulesStageChara, AnAnimationSetPastTheTableIsTheFirst) {
    RulePlay play;
    cStageChara& c = AddStageChara(play.s, 6, 13);
    if (g_Database.m_vAnimeSet.empty()) g_Database.m_vAnimeSet.push_back(cAnimeSetData{});
    c.SetAnimSet(0, 1);
    const std::size_t first = c.m_Anim.vProgram.size();
    const u32 closes = play.fixture.CloseRequests();
    c.SetAnimSet(g_Database.m_vAnimeSet.Size() + 3, 1);
    EXPECT_EQ(c.m_Anim.vProgram.size(), first);
    EXPECT_EQ(play.fixture.CloseRequests(), closes);
    EXPECT_NE(play.fixture.Report().find("animation set"), std::string::npos);
}

namespace {

// The hero's links as "kind:id" words, in their order, and each character's hold on the hero.
std::string HeroLinks(cGameScene& s) {
    std::string out;
    for (const OBJREF& l : s.Player0()->m_vLink) {
        const cChara* c = l.obj.Chara();
        out += std::to_string(l.kind) + ":" + (c ? std::to_string(c->m_nId) : "-") + " ";
    }
    s.ForEachChara([&](cStageChara& c) {
        if (c.m_aTarget[0].Get() != s.Player0() || c.m_Parent.Get()) out += "!" + std::to_string(c.m_nId);
    });
    return out;
}

} // namespace

TEST(RulesStageChara, StageStartLinksEveryCharacterToTheHeroOnceInListOrder) {
    cStage st = playtest::MakeStage(60, 15);
    cEdChara enemy = st.vChara[0];
    enemy.byOperation = 1;
    enemy.sPosY = 12;
    // Placed right to left: the list (and so the links) follow the stage's order, not the cells'.
    for (i16 i = 0; i < 6; ++i) {
        enemy.sPosX = static_cast<i16>(40 - 5 * i);
        st.vChara.push_back(enemy);
    }
    st.Prepare();
    playtest::PlayFixture play(st);
    ASSERT_TRUE(play.RunUntilPlay());
    cGameScene& s = play.Scene();
    const std::string want = "0:0 0:1 0:2 0:3 0:4 0:5 0:6 ";
    ASSERT_EQ(HeroLinks(s), want);

    // Linking again, one by one or as a run that knows them all, adds nothing.
    cPlayer& hero = *s.Player0();
    s.ForEachChara([](cStageChara& c) { c.InitTargets(nullptr); });
    EXPECT_EQ(HeroLinks(s), want);
    s.ForEachChara([&](cStageChara& c) { c.InitTargetsInRun(&hero, hero.m_vLink.size()); });
    EXPECT_EQ(HeroLinks(s), want);
    // A run given another hero searches all of the hero's links.
    s.ForEachChara([&](cStageChara& c) { c.InitTargetsInRun(nullptr, 0); });
    EXPECT_EQ(HeroLinks(s), want);
    // Links the run was told of but which came later are not looked for: the link is added.
    cStageChara& first = *s.m_lstChara.Live(0);
    first.InitTargetsInRun(&hero, 1);
    EXPECT_EQ(HeroLinks(s), want + "0:1 ");
    hero.m_vLink.pop_back();

    // A restart makes the hero and its characters again (the ids start over), linked the same way.
    s.SetStage(1, 0);
    ASSERT_TRUE(play.RunUntilPlay());
    EXPECT_EQ(HeroLinks(s), want);
}
