// Hits, attacks and damage: the three passes of ResolveAttacks, the death rules and block
// characters, traced (u = 10 steps a frame; after a hit 30 frames of invincibility, 30 of the
// same attacker's pause: 300 steps each).
#include <gtest/gtest.h>

#include "play/rules/Hits.h"
#include "play/rules/Motion.h"
#include "records/CharaSettings.h"
#include "records/EdSettings.h"
#include "tests/play/RulesTestUtil.h"

using namespace rulestest;

namespace {

void Attack(cEdChara& d, i64 power, i64 impact = 0) {
    CharaSettings::Set(d, eChara::BodyPower, power);
    CharaSettings::Set(d, eChara::BodyImpact, impact);
}

std::string Hp(const cChara& c) { return std::to_string(c.m_nHP) + "/" + std::to_string(c.m_nInvincible); }

cShot& Shot(cGameScene& s, const cChara& at, i32 side, i64 power, bool breakable = false, i8 strength = 0) {
    cShot proto;
    proto.m_nSide = side;
    ShotSettings::Set(proto.m_Def, eShot::Power, power);
    ShotSettings::Set(proto.m_Def, eShot::Breakable, breakable);
    ShotSettings::Set(proto.m_Def, eShot::Strength, strength);
    proto.m_rcHit.rc = at.m_rcDamage.rc;
    proto.m_bPresent = proto.m_bOnScreen = 1;
    return s.AddShot(proto);
}

// A block character at cell (x, y) of the given flight mode (1 hangs, 2 flies).
cStageChara& FlyingBlockChara(cGameScene& s, i32 x, i32 y, i64 flyMode) {
    return AddStageChara(s, x, y, [flyMode](cEdChara& d) {
        CharaSettings::Set(d, eChara::BlockChara, 1);
        CharaSettings::Set(d, eChara::FlyMode, flyMode);
    });
}

} // namespace

TEST(RulesHits, CharactersHurtEachOtherThenWaitOutTheirInvincibility) {
    RulePlay play;
    // The player (side 0, power 2) and an enemy (side 1, power 3, defence 1) on the same cell.
    cPlayer& p = SetUpPlayer(play.s, 4, 13, [](cEdChara& d) { Attack(d, 2); });
    cStageChara& e = AddStageChara(play.s, 4, 13, [](cEdChara& d) {
        Attack(d, 3);
        CharaSettings::Set(d, eChara::Side, 1);
        CharaSettings::Set(d, eChara::Defence, 1);
    });
    std::string trace;
    for (int step = 1; step <= 602; ++step) {
        p.TickTimers();
        e.TickTimers();
        EXPECT_EQ(ResolveAttacks(play.s), 0);
        if (step <= 2 || (step >= 300 && step <= 302) || step >= 601)
            trace += std::to_string(step) + ": " + Hp(p) + " " + Hp(e) + " " + std::to_string(e.m_vHitBy.size()) + "\n";
    }
    // Both hurt in the first step (10 - 3, 10 - (2 - 1)), then 300 steps of invincibility and
    // of the same attacker's pause; the step after both end, the next hit.
    EXPECT_EQ(trace, "1: 7/300 9/300 1\n2: 7/299 9/299 1\n300: 7/1 9/1 1\n301: 4/300 8/300 1\n302: 4/299 8/299 1\n"
                     "601: 1/300 7/300 1\n602: 1/299 7/299 1\n");
}

TEST(RulesHits, PowerBelowDefenceStillTriggersAndShotsRespectInvincibility) {
    RulePlay play;
    cPlayer& p = SetUpPlayer(play.s, 4, 13);
    cStageChara& e = AddStageChara(play.s, 4, 13, [](cEdChara& d) {
        Attack(d, 1);
        CharaSettings::Set(d, eChara::Side, 1);
        CharaSettings::Set(d, eChara::Defence, 5);
        d.vFlow.push_back(WaitingFlow(TRIG_DAMAGED));
        d.vFlow.push_back(WaitingFlow(TRIG_HIT_SHOT));
    });
    // The player's shots: power 3 against defence 5 deals 0 but is a hit (trigger 7, trigger 1).
    cShot& a = Shot(play.s, e, 0, 3);
    EXPECT_EQ(ResolveAttacks(play.s), 0);
    auto runs = [&] { return std::to_string(e.m_vFlowRun[0].m_bRunning) + std::to_string(e.m_vFlowRun[1].m_bRunning); };
    EXPECT_EQ(Hp(e) + " " + runs() + " " + std::to_string(a.m_vHit.size()), "10/300 11 1");
    // A second powered shot meets the invincibility: no hit at all; a harmless one still hits.
    e.m_vFlowRun[1].Reset(e);
    ResetFlowMarks(e);
    cShot& b = Shot(play.s, e, 0, 9);
    cShot& c = Shot(play.s, e, 0, 0);
    EXPECT_EQ(ResolveAttacks(play.s), 0);
    EXPECT_EQ(Hp(e) + " " + runs() + " " + std::to_string(b.m_vHit.size()) + std::to_string(c.m_vHit.size()), "10/300 11 01");
    // A shot with the hit limit and no pierce ends on its first hit.
    e.m_nInvincible = 0;
    for (cShot* old : {&a, &b, &c}) play.s.EraseShot(*old);
    cShot& d = Shot(play.s, e, 0, 1);
    ShotSettings::Set(d.m_Def, eShot::HitLimit, 1);
    EXPECT_EQ(ResolveAttacks(play.s), 0);
    EXPECT_TRUE(d.IsRemoved());
    (void)p;
}

TEST(RulesHits, ShotsAgainstShots) {
    RulePlay play;
    cPlayer& p = SetUpPlayer(play.s, 4, 13);
    // Pairs of overlapping shots of sides 0 and 1: (breakable, strength) each.
    struct PAIR {
        bool ba;
        i8 sa;
        bool bb;
        i8 sb;
    };
    std::string out;
    for (const PAIR& pr : {PAIR{true, 0, false, 0}, PAIR{false, 0, true, 0}, PAIR{true, 1, true, 2},
                           PAIR{true, 2, true, 2}, PAIR{true, 3, true, 2}, PAIR{false, 0, false, 0}}) {
        cShot& a = Shot(play.s, p, 0, 0, pr.ba, pr.sa);
        cShot& b = Shot(play.s, p, 1, 0, pr.bb, pr.sb);
        // Nobody to hit: the player is on side 0, and invincible against side 1's shots.
        p.m_nInvincible = 1000;
        ResolveAttacks(play.s);
        out += std::string(a.IsRemoved() ? "a" : "-") + (b.IsRemoved() ? "b" : "-") + " ";
        play.s.m_lstShot.Clear();
        for (auto& l : play.s.m_vShotList) l.clear();
    }
    EXPECT_EQ(out, "a- -b a- ab -b -- ");
}

TEST(RulesHits, BlockCharactersCarryAndStopCharacters) {
    RulePlay play;
    // A flying block character at cell (6, 11) moving right; the player falls onto it from
    // (6, 8), lands on it and rides along.
    cStageChara& k = FlyingBlockChara(play.s, 6, 11, 2);
    cPlayer& p = SetUpPlayer(play.s, 6, 10);
    std::string t;
    for (int frame = 0; frame < 16; ++frame) {
        for (int i = 0; i < 10; ++i) {
            k.m_dAccelX = frame >= 8 ? 0.3 : 0;
            ASSERT_EQ(CharaStep(play.s, k), 0);
            ASSERT_EQ(PlayerStep(play.s, p), 0);
            ASSERT_EQ(CarryRider(play.s), 0);
        }
        if (frame >= 5) t += std::to_string(frame) + ": " + State(p) + (p.m_bOnBlockChara ? " on " : " ") + Num(k.m_dX) + "\n";
    }
    // Its feet rest on the pixel above the block character's top (672) and it moves with it.
    EXPECT_EQ(t, "5: 520.5,648 0,0 ---- . on 512.5\n6: 520.5,648 0,0 ---- . on 512.5\n7: 520.5,648 0,0 ---- . on 512.5\n"
                 "8: 523.49,648 0,0 ---- . on 515.49\n9: 526.48,648 0,0 ---- . on 518.48\n10: 529.47,648 0,0 ---- . on 521.47\n"
                 "11: 532.46,648 0,0 ---- . on 524.46\n12: 535.45,648 0,0 ---- . on 527.45\n13: 538.44,648 0,0 ---- . on 530.44\n"
                 "14: 541.43,648 0,0 ---- . on 533.43\n15: 544.42,648 0,0 ---- . on 536.42\n");
    // Walking off its edge, the player leaves it and falls (the standing state ends).
    for (int i = 0; i < 200 && p.m_bOnBlockChara; ++i) {
        p.m_dKnockX = 1;
        ASSERT_EQ(PlayerStep(play.s, p), 0);
        ASSERT_EQ(CarryRider(play.s), 0);
    }
    EXPECT_EQ(State(p) + (p.m_bOnBlockChara ? " on" : ""), "568.42,648 1,0 ---- .");
}

TEST(RulesHits, BlockCharactersAsWallsAndCeilings) {
    RulePlay play;
    // A walking block character standing at (8, 13); the player walks into it from the left,
    // then one hangs at (4, 11) and the player jumps into it from below.
    cStageChara& wall = AddStageChara(play.s, 8, 13, [](cEdChara& d) { CharaSettings::Set(d, eChara::BlockChara, 1); });
    cStageChara& roof = FlyingBlockChara(play.s, 4, 11, 1);
    cPlayer& p = SetUpPlayer(play.s, 6, 13);
    std::string t;
    for (int step = 0; step < 40; ++step) {
        p.m_dKnockX = 1.5;
        ASSERT_EQ(CharaStep(play.s, wall), 0);
        ASSERT_EQ(PlayerStep(play.s, p), 0);
        if (step % 10 == 9) t += State(p) + " ";
    }
    p.m_dX = 4 * 32 + 320 + 8.5;
    p.UpdateEdgesX();
    p.m_dSpeedY = -3;
    for (int step = 0; step < 20; ++step) {
        p.m_dKnockX = 0;
        ASSERT_EQ(CharaStep(play.s, roof), 0);
        ASSERT_EQ(PlayerStep(play.s, p), 0);
        if (step % 5 == 4) t += State(p) + " ";
    }
    // Pushed out to the left of the wall (its right edge on 575, the wall's left at 576.5);
    // the head held under the roof's bottom (703), the rise taken from the roof (0).
    EXPECT_EQ(t, "535.5,744.22 1.5,0.04 ---- . 550.5,744.84 1.5,0.08 ---- . 560.5,744.156 1.5,0.032 -R-- . "
                 "560.5,744.696 1.5,0.072 -R-- . 456.5,729.756 0,-2.98 ---- . 456.5,714.916 0,-2.96 ---- . "
                 "456.5,704 0,0 ---- . 456.5,704.06 0,0.02 ---- . ");
}

TEST(RulesHits, ShotsMeetShotsAsTheCharacterPassLeftThem) {
    RulePlay play;
    cPlayer& p = SetUpPlayer(play.s, 4, 13);
    cStageChara& e = AddStageChara(play.s, 4, 13, [](cEdChara& d) { CharaSettings::Set(d, eChara::Side, 1); });
    p.m_nInvincible = 1000;
    auto clear = [&] {
        play.s.m_lstShot.Clear();
        for (auto& l : play.s.m_vShotList) l.clear();
    };
    auto gone = [](const cShot& s) { return s.IsRemoved() ? "x" : "-"; };
    std::string out;
    // Shots of one side only: however they overlap, no shot meets another.
    {
        cShot& a = Shot(play.s, e, 0, 0, true, 1);
        cShot& b = Shot(play.s, e, 0, 0, true, 2);
        e.m_nInvincible = 1000;
        ResolveAttacks(play.s);
        out += std::string(gone(a)) + gone(b) + " ";
        clear();
    }
    // Nothing hit in the characters' pass: the shots' pass takes the same shots; the weaker goes.
    {
        cShot& a = Shot(play.s, e, 0, 0, true, 1);
        cShot& b = Shot(play.s, e, 1, 0, true, 2);
        ResolveAttacks(play.s);
        out += std::string(gone(a)) + gone(b) + " ";
        clear();
    }
    // A shot that ends on its hit in the characters' pass breaks no shot after it.
    {
        e.m_nInvincible = 0;
        cShot& a = Shot(play.s, e, 0, 1, true, 3);
        ShotSettings::Set(a.m_Def, eShot::HitLimit, 1);
        cShot& b = Shot(play.s, e, 1, 0, true, 2);
        ResolveAttacks(play.s);
        out += std::string(gone(a)) + gone(b) + " " + std::to_string(e.m_nHP);
        clear();
    }
    EXPECT_EQ(out, "-- x- x- 9");
}

// The only block character goes from under its rider: the rider lets go of it at its next
// step and falls, although no block character is left on the stage to look at.
TEST(RulesHits, RiderOfTheLastBlockCharacterLetsGoWhenItGoes) {
    RulePlay play;
    cStageChara& k = FlyingBlockChara(play.s, 6, 11, 2);
    cPlayer& p = SetUpPlayer(play.s, 6, 10);
    for (int i = 0; i < 60; ++i) {
        ASSERT_EQ(CharaStep(play.s, k), 0);
        ASSERT_EQ(PlayerStep(play.s, p), 0);
        ASSERT_EQ(CarryRider(play.s), 0);
    }
    std::string t = State(p) + (p.m_bOnBlockChara ? " on" : "") + "\n";
    play.s.RemoveChara(k);
    for (int i = 0; i < 4; ++i) {
        ASSERT_EQ(PlayerStep(play.s, p), 0);
        t += State(p) + (p.m_bOnBlockChara ? " on" : "") + (p.m_FloorObj ? " floor" : "") + "\n";
    }
    EXPECT_EQ(t, "520.5,648 0,0 ---- . on\n520.5,648 0,0 ---- .\n520.5,648.004 0,0.004 ---- .\n"
                 "520.5,648.012 0,0.008 ---- .\n520.5,648.024 0,0.012 ---- .\n");
}
