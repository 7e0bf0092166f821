// Character damage, defeat, links, gauges and the small shared rules, with the numbers of the
// stage settings and the definitions.
#include <gtest/gtest.h>

#include <climits>

#include "app/PlayRecordNames.h"
#include "play/effects/CharaDraw.h"
#include "play/rules/Damage.h"
#include "records/CharaSettings.h"
#include "records/EdSettings.h"
#include "records/Stage.h"
#include "records/StageSettings.h"
#include "tests/play/EffectTestUtil.h"
#include "tests/play/RulesTestUtil.h"

namespace {

// Speed level 12: two play steps a frame. After a hit: 30 frames for the player's kind, 20 for
// the others; the same attacker: 15 and 10.
cStage DamageStage() {
    cStage st = playtest::MakeStage(30, 15);
    st.SetSpeed(12);
    StageSettings::Set(st, eStage::InvincibleFramesPlayer, 30);
    StageSettings::Set(st, eStage::InvincibleFramesOther, 20);
    StageSettings::Set(st, eStage::SameAttackerFramesPlayer, 15);
    StageSettings::Set(st, eStage::SameAttackerFramesOther, 10);
    return st;
}

// A flow of a trigger that puts its other object into target slot 2.
cFlow Reacting(u8 trigger, u8 subKind = 0) {
    cFlow f = rulestest::WaitingFlow(trigger);
    f.subKind = subKind;
    f.targetOther = 1;
    f.targetSlot = 2;
    return f;
}

class Damage : public ::testing::Test {
protected:
    Damage() : play(DamageStage(), {.direct3D = false}) {}
    void SetUp() override { ASSERT_TRUE(play.RunUntilPlay()); }
    cGameScene& S() { return play.Scene(); }
    cStageChara& Add(u32 id, std::vector<cFlow> flows = {}) {
        auto c = std::make_unique<cStageChara>();
        c->m_nId = id;
        c->m_nKind = 1;
        c->m_Def.dwMaxHP = 50;
        c->m_nHP = 50;
        cStageChara& r = S().AddChara(std::move(c));
        cVector<cFlow> v;
        for (cFlow& f : flows) v.push_back(f);
        SetupFlows(r, v, 0, -1);
        return r;
    }
    // Which runs have started, by trigger: "1R 2- ..." in flow order.
    static std::string Runs(const cChara& c) {
        std::string s;
        for (const cFlowRun& r : c.m_vFlowRun)
            s += std::to_string(r.m_pFlow ? r.m_pFlow->trigger : 0) + (r.m_bRunning ? "R " : "- ");
        return s;
    }
    playtest::PlayFixture play;
};

} // namespace

TEST_F(Damage, InvincibilityCountsPlayStepsByKind) {
    cPlayer& hero = *S().Player0();
    cStageChara& enemy = Add(20);
    hero.SetInvincible();
    enemy.SetInvincible();
    EXPECT_EQ(hero.m_nInvincible, 60);
    EXPECT_EQ(enemy.m_nInvincible, 40);
    enemy.m_nInvincible = 0;
    enemy.AddHitBy(7);
    EXPECT_EQ(enemy.m_nInvincible, 40);
    ASSERT_EQ(enemy.m_vHitBy.size(), 1u);
    EXPECT_EQ(enemy.m_vHitBy[0].nSteps, 20);
    hero.AddHitBy(7);
    EXPECT_EQ(hero.m_vHitBy[0].nSteps, 30);
    // The attacker list blocks that attacker even when the general invincibility is over.
    enemy.m_nInvincible = 0;
    EXPECT_FALSE(enemy.IsInvincible());
    EXPECT_TRUE(enemy.IsInvincibleAgainst(7));
    EXPECT_FALSE(enemy.IsInvincibleAgainst(8));
}

TEST_F(Damage, DamageThroughDefenceHitEffectAndResult) {
    cStageChara& victim = Add(20);
    cStageChara& attacker = Add(21);
    CharaSettings::Set(victim.m_Def, eChara::Defence, 12);
    auto hit = [&](i64 power) {
        CharaSettings::Set(attacker.m_Def, eChara::BodyPower, power);
        return victim.TakeDamageFromChara(attacker);
    };
    EXPECT_EQ(hit(30), 0);
    EXPECT_EQ(victim.m_nHP, 32); // 30 - 12
    EXPECT_EQ(hit(5), 0);        // below the defence: no damage
    EXPECT_EQ(victim.m_nHP, 32);
    EXPECT_EQ(hit(-5), 0);       // no positive power: passed on, a heal
    EXPECT_EQ(victim.m_nHP, 37);
    // The gauge starts with the change (18 down from 50 of 50: level 32, a change of -18).
    victim.m_nHP = 50;
    hit(30);
    EXPECT_EQ(victim.m_HpGauge.nFrames, 120);
    EXPECT_EQ(victim.m_HpGauge.nLevel, 32);
    EXPECT_DOUBLE_EQ(victim.m_HpGauge.dDelta, -18.0);
    // Invincible: nothing taken.
    victim.m_nInvincible = 3;
    EXPECT_EQ(hit(40), 0);
    EXPECT_EQ(victim.m_nHP, 32);
    victim.m_nInvincible = 0;
    // A huge power is clamped to 999999 and ends the HP: result 1.
    EXPECT_EQ(hit(INT_MAX), 1);
    EXPECT_EQ(victim.m_nHP, 0);
    // A hit effect where the boxes overlap, only for an attack that has one.
    EXPECT_TRUE(S().m_lstEffectObj.empty());
    CharaSettings::Set(attacker.m_Def, eChara::HitEffect, 1);
    victim.m_nHP = 50;
    hit(20);
    EXPECT_EQ(S().m_lstEffectObj.size(), 1u);

    // Shots: power less defence, their own effect.
    cShot shot;
    ShotSettings::Set(shot.m_Def, eShot::Power, 20);
    victim.m_nHP = 50;
    EXPECT_EQ(victim.TakeDamageFromShot(shot), 0);
    EXPECT_EQ(victim.m_nHP, 42);
    EXPECT_EQ(S().m_lstEffectObj.size(), 1u);
}

TEST_F(Damage, DamageTriggersNameTheAttackerOrItsOwner) {
    const std::vector<cFlow> victimFlows = {Reacting(TRIG_DAMAGED), Reacting(TRIG_IMPACTED)};
    const std::vector<cFlow> ownerFlows = {Reacting(TRIG_DEALT_DAMAGE, 3), Reacting(TRIG_DEALT_IMPACT, 3)};
    cStageChara& victim = Add(20, victimFlows);
    cStageChara& owner = Add(21, ownerFlows);
    cStageChara& attacker = Add(22);
    CharaSettings::Set(attacker.m_Def, eChara::BodyPower, 5);
    // A plain attacker with power only: trigger 1 naming it.
    victim.RunDamageFlows(attacker);
    EXPECT_EQ(Runs(victim), "1R 2- ");
    EXPECT_EQ(victim.m_aTarget[2].Get(), &attacker);
    EXPECT_EQ(Runs(owner), "18- 19- ");
    // Reporting to its parent: both triggers name the owner, which gets 18 and 19 (sub-kind 3)
    // naming the victim.
    for (cFlowRun& r : victim.m_vFlowRun) r.m_bRunning = 0;
    ResetFlowMarks(victim);
    CharaSettings::Set(attacker.m_Def, eChara::BodyImpact, 4);
    attacker.m_Parent = &owner;
    attacker.m_bReportToParent = 1;
    attacker.m_byReportSubKind = 3;
    victim.RunDamageFlows(attacker);
    EXPECT_EQ(Runs(victim), "1R 2R ");
    EXPECT_EQ(victim.m_aTarget[2].Get(), &owner);
    EXPECT_EQ(Runs(owner), "18R 19R ");
    EXPECT_EQ(owner.m_aTarget[2].Get(), &victim);

    // A shot with an owner that reports; an owner gone leaves the shot itself named.
    cStageChara& victim2 = Add(23, victimFlows);
    cShot& shot = S().AddShot(cShot());
    ShotSettings::Set(shot.m_Def, eShot::Power, 1);
    shot.m_bOwnerReport = 1;
    shot.m_Owner = &attacker;
    S().RemoveChara(attacker);
    victim2.RunShotDamageFlows(shot);
    EXPECT_EQ(Runs(victim2), "1R 2- ");
    EXPECT_EQ(victim2.m_aTarget[2].Get(), &shot);
}

TEST_F(Damage, KillScoresUnlinksAndStartsTheDeathEffect) {
    ScopedEffectRows rows({EffectRecord<cCharaEffectParam>(6, {1, 2})}, {});
    cStageChara& a = Add(20, {Reacting(TRIG_DIED)});
    cStageChara& b = Add(21);
    a.m_nDeathEffect = 1;
    CharaSettings::Set(a.m_Def, eChara::Score, 300);
    SetTargetSlot(b, 1, &a, 1); // b targets a
    SetTargetSlot(a, 3, &b, 1); // a targets b
    g_nScore = 999800;
    // The stage has ended: the score and trigger 3, then result 1 with the character alive.
    S().m_nEndRequest = 1;
    EXPECT_EQ(a.Kill(), 1);
    EXPECT_EQ(g_nScore, 999999u);
    // The died flow started, and the died update stepped it through its one-step command.
    EXPECT_EQ(Runs(a), "3- ");
    EXPECT_EQ(a.m_bDying, 0u);
    EXPECT_EQ(b.m_aTarget[1].Get(), &a);
    EXPECT_EQ(a.m_CharaEffect.m_nId, 0);
    // Otherwise: unlinked both ways, dying, its death effect running.
    S().m_nEndRequest = 0;
    CharaSettings::Set(a.m_Def, eChara::Score, -1000);
    g_nScore = 400;
    EXPECT_EQ(a.Kill(), 0);
    EXPECT_EQ(g_nScore, 0u);
    EXPECT_EQ(a.m_bDying, 1u);
    EXPECT_EQ(a.m_CharaEffect.m_nId, 1);
    EXPECT_EQ(b.m_aTarget[1].Get(), nullptr); // who held a lets go
    EXPECT_TRUE(b.m_vLink.empty());           // and a's hold on b is gone from b's side
    EXPECT_TRUE(a.m_vLink.empty());
}

TEST_F(Damage, UnlinkingKeepsLinksSymmetricAndRunsOnDestruction) {
    cStageChara& parent = Add(20);
    cStageChara& child = Add(21);
    cStageChara& other = Add(22);
    child.m_Parent = &parent;
    parent.m_vLink.push_back(OBJREF{&child, 4});
    SetTargetSlot(other, 0, &child, 1);
    SetTargetSlot(child, 2, &other, 1);
    child.UnlinkTargets();
    EXPECT_EQ(other.m_aTarget[0].Get(), nullptr);
    EXPECT_TRUE(other.m_vLink.empty());
    EXPECT_TRUE(parent.m_vLink.empty());
    EXPECT_TRUE(child.m_vLink.empty());
    // The parent unlinking clears its child's parent link.
    child.m_Parent = &parent;
    parent.m_vLink.push_back(OBJREF{&child, 4});
    parent.UnlinkTargets();
    EXPECT_EQ(child.m_Parent.Get(), nullptr);
    // A character destroyed takes its links with it; a scratch copy's destruction takes none.
    SetTargetSlot(other, 1, &parent, 1);
    { cStageChara copy = parent; }
    EXPECT_EQ(other.m_aTarget[1].Get(), &parent);
    S().RemoveChara(parent);
    S().Sweep();
    EXPECT_TRUE(other.m_aTarget[1].IsNull() || other.m_aTarget[1].Get() == nullptr);
}

TEST_F(Damage, FindObjectByIdPrefersThePlayer) {
    cPlayer& hero = *S().Player0();
    cStageChara& twin = Add(hero.m_nId);
    cStageChara& other = Add(77);
    EXPECT_EQ(FindObjectById(S(), hero.m_nId), &hero);
    EXPECT_EQ(FindObjectById(S(), 77), &other);
    EXPECT_EQ(FindObjectById(S(), 78), nullptr);
    S().RemoveChara(other);
    EXPECT_EQ(FindObjectById(S(), 77), nullptr);
    (void)twin;
}

TEST_F(Damage, GaugeBarOverItsFrames) {
    TempDir dir;
    DDSURFACEDATA sheet, target;
    // Strips: background, filled, gained, lost; 16 dots apart from row 144 and 2 dots apart from
    // row 210 (HP at x 0).
    const u32 colours[4] = {0xFF101010, 0xFF20E020, 0xFF2020E0, 0xFFE02020};
    ASSERT_TRUE(MakePicture(&sheet, dir, "g.bmp", MakeImage(128, 224, [&](int, int y) {
                                if (y >= 144 && y < 208) return colours[(y - 144) / 16];
                                if (y >= 210 && y < 218) return colours[(y - 210) / 2];
                                return 0xFFFF00FFu;
                            }),
                            1));
    ASSERT_TRUE(DDCreateSurface(&target, 200, 120, 0, 0, DTMEMORYTYPE_VIDEO_RT));
    cStageChara* drawn = nullptr;
    auto row = [&] {
        DDFillRect(&target, 0, 0, 200, 120, 0);
        DrawHPGauge(*drawn, &target, 0, &sheet);
        std::string s;
        for (int x = 91; x < 141; ++x) {
            const u32 p = PixelAt(&target, x, 97) | 0xFF000000u;
            s += p == colours[0] ? '.' : p == colours[1] ? '#' : p == colours[3] ? '-' : '?';
        }
        return s;
    };
    // Games of either layout of the strips show the same bar.
    const u32 version = g_Stage.nFileVersion;
    for (const u32 v : {version, kThinGaugeVersion - 1, kThinGaugeVersion}) {
        g_Stage.nFileVersion = v;
        cStageChara& c = Add(20 + v);
        drawn = &c;
        c.m_rcScreen = SCREENRECT{100, 100, 131, 131};
        c.m_nGfxW = 32;
        AddHp(c, -18, 0, 1); // 50 -> 32 of 50: level 32, change -18
        // The bar sits at screen x + width / 2 - 25, 3 above the character.
        EXPECT_EQ(row(), std::string(32, '#') + std::string(18, '-')) << v;
        // The lost part shrinks by 18/60 a frame (thirty steps of 0.3 fall just short of 9, and
        // the part is truncated); after 60 frames only the level is left.
        for (int f = 1; f < 30; ++f) row();
        EXPECT_EQ(row(), std::string(32, '#') + std::string(8, '-') + std::string(10, '.')) << v;
        for (int f = 31; f < 60; ++f) row();
        EXPECT_EQ(row(), std::string(32, '#') + std::string(18, '.')) << v;
        EXPECT_EQ(c.m_HpGauge.nFrames, 59);
    }
    g_Stage.nFileVersion = version;
    cStageChara& c = *drawn;
    // A frozen draw shows it without advancing; a dying character shows none.
    DrawHPGauge(c, &target, 1, &sheet);
    EXPECT_EQ(c.m_HpGauge.nFrames, 59);
    c.m_bDying = 1;
    EXPECT_EQ(row(), std::string(50, '?'));
    EXPECT_EQ(c.m_HpGauge.nFrames, 59);
    // A maximum of 0 starts no gauge (it would divide by the maximum).
    c.m_bDying = 0;
    c.m_HpGauge = GAUGESTATE{};
    c.m_Def.dwMaxHP = 0;
    AddHp(c, -1, 0, 1);
    EXPECT_EQ(c.m_HpGauge.nFrames, 0);
    DDReleaseSurface(&sheet);
    DDReleaseSurface(&target);
}
