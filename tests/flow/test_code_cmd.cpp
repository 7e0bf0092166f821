// The code command on a running play: the statements reach the running character, its target,
// the player, the common and stage variables and the play-wide values.
#include <gtest/gtest.h>

#include "app/PlayRecordNames.h"
#include "flow/commands/Commands.h"
#include "records/CharaSettings.h"
#include "records/StageSettings.h"
#include "tests/flow/FlowTrace.h"

TEST(CodeCmd, StatementsActOnThePlay) {
    flowtest::HeroPlay play;
    cGameScene& s = play.s;
    cPlayer* hero = &play.hero;
    auto npc = std::make_unique<cStageChara>();
    CharaSettings::Set(npc->m_Def, eChara::MaxHP, 50);
    npc->m_nHP = 50;
    cStageChara& foe = s.AddChara(std::move(npc));
    CharaSettings::Set(hero->m_Def, eChara::MaxHP, 100);
    hero->m_nHP = 40;
    hero->m_aTarget[0] = &foe;

    cFlowCmd cmd = flowtest::Cmd(37);
    auto run = [&](const char* text) {
        cmd.text = text;
        EXPECT_EQ(ExecCodeCmd(*hero, cmd), 0) << text;
        return s.m_bCodeError;
    };
    EXPECT_EQ(run("S12 = C3 + 5"), 0);
    EXPECT_EQ(s.m_vStageVar[12], 5);
    EXPECT_EQ(run("C3 = S12 * 2 + tg.hp"), 0);
    EXPECT_EQ(g_CommonVars[3], 60);
    // The target's HP: down to 0 raises the death check; the hero's own HP starts its gauge.
    EXPECT_EQ(run("tg1.hp = tg.hp - 99"), 0);
    EXPECT_EQ(foe.m_nHP, 0);
    EXPECT_EQ(s.m_bDeathCheck, 1u);
    EXPECT_EQ(run("hp = hp + 500"), 0);
    EXPECT_EQ(hero->m_nHP, 100);
    EXPECT_EQ(hero->m_HpGauge.nFrames, 120);
    // The maximum lives in the definition; lowering it pulls HP along.
    EXPECT_EQ(run("pl.mhp = 30"), 0);
    EXPECT_EQ(CharaSettings::Get(hero->m_Def, eChara::MaxHP), 30);
    EXPECT_EQ(hero->m_nHP, 30);
    EXPECT_EQ(run("my.v8 = cid + 7 my.z = 9 mark = 200 def = -1 stop = 199"), 0);
    EXPECT_EQ(hero->m_vVar[8], 7);
    EXPECT_EQ(hero->m_nLayer, 7);
    EXPECT_EQ(CharaSettings::Get(hero->m_Def, eChara::Mark), 119);
    EXPECT_EQ(CharaSettings::Get(hero->m_Def, eChara::Defence), 0);
    EXPECT_EQ(CharaSettings::Get(hero->m_Def, eChara::Stopping), 199);
    // Play-wide values.
    g_nScore = 10;
    g_nLives = 3;
    EXPECT_EQ(run("sys.score = score * 3 life = life + 1 time = 77 scrlx = 600"), 0);
    EXPECT_EQ(g_nScore, 30u);
    EXPECT_EQ(g_nLives, 4u);
    EXPECT_EQ(s.m_nTimeLeft, 77);
    EXPECT_EQ(StageSettings::Get(g_Stage, eStage::AutoScrollSpeedX), 480);
    // An empty slot fails quietly; an error keeps what was done before it.
    EXPECT_EQ(run("C4 = 1 tg2.hp = 5"), 1);
    EXPECT_EQ(g_CommonVars[4], 0);
    EXPECT_EQ(run("(C4 = 1) C5 = 1 / 0"), 1);
    EXPECT_EQ(g_CommonVars[4], 1);
    EXPECT_EQ(run("C4 = rand(10, 12)"), 0);
    EXPECT_GE(g_CommonVars[4], 10);
    EXPECT_LE(g_CommonVars[4], 12);
}
