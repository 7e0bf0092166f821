// Invincibility, damage from characters and shots, defeat and links between characters; the
// shared small rules of Damage.h.
#include "play/rules/Damage.h"

#include <algorithm>

#include "app/PlayRecordNames.h"
#include "play/rules/Collision.h"
#include "records/CharaSettings.h"
#include "records/EdSettings.h"
#include "records/StageSettings.h"

namespace {

// Durations the stage gives in frames last u play steps a frame.
i32 StepsOf(u32 frames) {
    const i64 u = std::max<i64>(1, static_cast<i64>(SpeedUnit()));
    return static_cast<i32>(std::min<i64>(static_cast<i64>(frames) * u, 2147483647));
}

u32 StageFrames(eStage s) { return static_cast<u32>(StageSettings::Get(g_Stage, s)); }

i32 DamageAfterDefence(i64 power, const cChara& victim) {
    // Healing (a power of 0 or less) passes unchanged; damage is cut by the defence.
    if (power <= 0) return static_cast<i32>(std::max<i64>(power, -2147483647));
    const i64 defence = CharaSettings::Get(victim.m_Def, eChara::Defence);
    return static_cast<i32>(std::clamp<i64>(power - defence, 0, 999999));
}

// The attacker a damage trigger names: its owner when it reports to one that still exists.
cChara* ReportTo(cChara& attacker) {
    return attacker.m_bReportToParent ? attacker.m_Parent.Chara() : nullptr;
}

} // namespace

void cChara::SetInvincible() {
    m_nInvincible = StepsOf(StageFrames(m_nKind == 0 ? eStage::InvincibleFramesPlayer : eStage::InvincibleFramesOther));
}

void cChara::AddHitBy(u32 attackerId) {
    SetInvincible();
    HITBY e;
    e.nId = attackerId;
    e.nSteps = StepsOf(StageFrames(m_nKind == 0 ? eStage::SameAttackerFramesPlayer : eStage::SameAttackerFramesOther));
    m_vHitBy.push_back(e);
    m_nHitByCount = static_cast<u32>(m_vHitBy.size());
}

bool cChara::IsInvincibleAgainst(u32 attackerId) const {
    if (IsInvincible()) return true;
    return std::any_of(m_vHitBy.begin(), m_vHitBy.end(), [&](const HITBY& e) { return e.nId == attackerId; });
}

i32 cChara::TakeDamageFromChara(cChara& attacker) {
    const i32 damage = DamageAfterDefence(CharaSettings::Get(attacker.m_Def, eChara::BodyPower), *this);
    const i32 result = AddHp(*this, -damage, 0, 1);
    const i16 effect = static_cast<i16>(CharaSettings::Get(attacker.m_Def, eChara::HitEffect));
    if (effect != 0 && m_pScene) AddHitEffect(*m_pScene, effect, m_rcDamage.rc, attacker.m_rcBody.rc, attacker.m_nScale);
    ApplyImpactFromChara(*this, attacker);
    return result;
}

i32 cChara::TakeDamageFromShot(cShot& shot) {
    const i32 damage = DamageAfterDefence(ShotSettings::Get(shot.m_Def, eShot::Power), *this);
    const i32 result = AddHp(*this, -damage, 0, 1);
    const i16 effect = static_cast<i16>(ShotSettings::Get(shot.m_Def, eShot::Effect));
    if (effect != 0 && m_pScene) AddHitEffect(*m_pScene, effect, m_rcDamage.rc, shot.m_rcHit.rc, shot.m_nScale);
    ApplyImpactFromShot(*this, shot);
    return result;
}

void cChara::RunDamageFlows(cChara& attacker) {
    cChara* owner = ReportTo(attacker);
    cChara& named = owner ? *owner : attacker;
    const i8 subKind = static_cast<i8>(attacker.m_byReportSubKind);
    if (CharaSettings::Get(attacker.m_Def, eChara::BodyPower) != 0) {
        RunFlows(*this, TRIG_DAMAGED, &named, 0);
        if (owner) RunFlows(*owner, TRIG_DEALT_DAMAGE, this, subKind);
    }
    if (CharaSettings::Get(attacker.m_Def, eChara::BodyImpact) != 0) {
        RunFlows(*this, TRIG_IMPACTED, &named, 0);
        if (owner) RunFlows(*owner, TRIG_DEALT_IMPACT, this, subKind);
    }
}

void cChara::RunShotDamageFlows(cShot& shot) {
    cChara* owner = shot.m_bOwnerReport ? shot.m_Owner.Chara() : nullptr;
    cObj* named = owner ? static_cast<cObj*>(owner) : &shot;
    const i8 subKind = static_cast<i8>(shot.m_byReportSubKind);
    if (ShotSettings::Get(shot.m_Def, eShot::Power) != 0) {
        RunFlows(*this, TRIG_DAMAGED, named, 0);
        if (owner) RunFlows(*owner, TRIG_DEALT_DAMAGE, this, subKind);
    }
    if (ShotSettings::Get(shot.m_Def, eShot::Impact) != 0) {
        RunFlows(*this, TRIG_IMPACTED, named, 0);
        if (owner) RunFlows(*owner, TRIG_DEALT_IMPACT, this, subKind);
    }
}

i32 cChara::Kill() {
    RunFlowsOf(*this, TRIG_DIED);
    Update(1);
    const i64 score = static_cast<i64>(g_nScore) + CharaSettings::Get(m_Def, eChara::Score);
    g_nScore = static_cast<u32>(std::clamp<i64>(score, 0, 999999));
    u32 itemResult = 0;
    if (cItem* item = GetItem(); item && m_pScene) {
        if (cPlayer* hero = m_pScene->Player0()) itemResult = ApplyItem(*m_pScene, item, *hero);
    }
    if ((m_pScene && m_pScene->m_nEndRequest != 0) || itemResult == 1) return 1;
    UnlinkTargets();
    m_bDying = 1;
    m_nDeathWaitFrames = 0;
    m_CharaEffect.Set(m_nDeathEffect, m_nDeathEffectMode, 0);
    return 0;
}

void cChara::UnlinkTargets() {
    const cObjHandle self = Handle();
    // Who holds this character: a target slot of theirs, or (kind 4) a child's parent link.
    for (const OBJREF& link : m_vLink) {
        cChara* other = link.obj.Chara();
        if (!other || other == this) continue;
        if (link.kind < 4) {
            cObjHandle& slot = other->m_aTarget[link.kind];
            if (slot.Get() == this) slot.Reset();
        } else if (other->m_Parent.Get() == this) {
            other->m_Parent.Reset();
        }
    }
    m_vLink.clear();
    // Whom this character holds: their links back to it go. A character that was never entered
    // has no handle, and nobody's link names it.
    if (self.IsNull()) return;
    auto dropLinksTo = [&](cChara* other) {
        if (!other || other == this) return;
        cVector<OBJREF>& v = other->m_vLink;
        v.erase(std::remove_if(v.begin(), v.end(), [&](const OBJREF& r) { return r.obj == self; }), v.end());
    };
    for (const cObjHandle& target : m_aTarget) dropLinksTo(target.Chara());
    dropLinksTo(m_Parent.Chara());
}

cChara* FindObjectById(cGameScene& scene, u32 id) {
    cChara* found = nullptr;
    auto match = [&](cChara& c) {
        if (!found && c.m_nId == id) found = &c;
    };
    scene.ForEachPlayer(match);
    if (!found) scene.ForEachChara(match);
    if (found) cObjRegistry::Reach(*found);
    return found;
}

i8 IsBlockSolid(cGameScene& scene, i32 cellIndex, i32 side) {
    const BLOCKSOLID cell = scene.m_vBlockMap.SolidAt(cellIndex);
    if (cell.bHasCond && !BlockIsShown(scene, cellIndex)) return 0;
    return cell.For(side);
}
