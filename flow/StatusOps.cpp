// Status operations: the status operation command, HP and SP changes with their gauges, and
// knock-back.
#include <cmath>

#include "app/PlayRecordNames.h"
#include "database/SystemSwitches.h"
#include "flow/MotionMath.h"
#include "flow/Operators.h"
#include "flow/Status.h"
#include "flow/StatusDesc.h"
#include "flow/commands/Commands.h"
#include "play/GameScene.h"
#include "records/CharaSettings.h"
#include "records/EdSettings.h"
#include "records/StageSettings.h"

namespace {

enum : i32 {
    SO_WHAT = 0, SO_VAR_SCOPE, SO_VAR_INDEX, SO_SUBJECT, SO_SELECTOR, SO_OP, SO_SOURCE, SO_CONST,
    SO_RAND_A, SO_RAND_B, SO_SRC_SCOPE, SO_SRC_INDEX, SO_SRC_SUBJECT, SO_SRC_SELECTOR, SO_PERCENT,
    SO_HPSP_MODE, SO_GAUGE, SO_SPARE_INVINCIBLE, SO_COUNT,
};
constexpr i32 kOpSystemSubject = 5;

using flowcmd::Param;

bool IsInvincible(const cChara& c) { return c.m_nInvincible > 0; }

i32 SaturatedPercent(i32 current, i32 v) { return SaturateI32(PercentOf(current, v)); }

// A variable by scope (0 common, 1 stage): null past the list.
i32* ScopedVarPtr(cGameScene& scene, i32 scope, i32 index) {
    if (scope == 0) return index >= 0 && index < g_CommonVars.Size() ? &g_CommonVars[index] : nullptr;
    if (index < 0 || index >= scene.m_vStageVar.Size()) return nullptr;
    return reinterpret_cast<i32*>(&scene.m_vStageVar[index]);
}

// A def-held status changed through the named table.
template <class T>
void CalcDef(cChara& c, eChara s, i32 v, i32 op, i32 lo, i32 hi) {
    T value = static_cast<T>(CharaSettings::Get(c.m_Def, s));
    CalcOp(value, v, op, lo, hi);
    CharaSettings::Set(c.m_Def, s, value);
}

void StartGauge(GAUGESTATE& g, i32 value, i32 maximum, i32 delta) {
    if (delta == 0 || maximum == 0) return;
    g.nFrames = 120;
    g.nLevel = static_cast<i32>(static_cast<i64>(value) * 50 / maximum);
    g.dDelta = static_cast<double>(delta) * 50 / maximum;
    g.dStep = g.dDelta / 60;
}

void ChangeCharaStatus(cChara& runner, cChara& c, const cFlowCmd& cmd, i32 v) {
    const i32 sel = Param(cmd, SO_SELECTOR);
    const i32 op = Param(cmd, SO_OP);
    const bool percent = (Param(cmd, SO_PERCENT) & 0xFF) != 0;
    STATUSVALUE cur;
    if (!ReadCharaStatus(c, sel, Param(cmd, SO_VAR_INDEX), cur)) return;
    if (percent) v = SaturatedPercent(static_cast<i32>(cur.value), v);
    cGameScene* scene = runner.m_pScene;
    auto deathCheck = [&] {
        if (&c != &runner && c.m_nHP <= 0 && scene) scene->m_bDeathCheck = 1;
    };
    switch (sel) {
    case CV_VAR: CalcOp(c.m_vVar[Param(cmd, SO_VAR_INDEX)], v, op, -999999, 999999); break;
    case CV_HP:
    case CV_SP: {
        const bool hp = sel == CV_HP;
        const i32 now = hp ? c.m_nHP : c.m_nSP;
        const i32 mode = Param(cmd, SO_HPSP_MODE);
        if (mode == 1) v = SaturatedPercent(hp ? StatusMaxHp(c) : StatusMaxSp(c), v);
        if (mode == 2) v = SaturatedPercent(now, v);
        i32 changed = now;
        CalcOp(changed, v, op, 0, 999999);
        const i32 delta = SaturateI32(static_cast<i64>(changed) - now);
        if (hp) {
            AddHp(c, delta, 1, Param(cmd, SO_GAUGE));
            deathCheck();
        } else {
            AddSp(c, delta, Param(cmd, SO_GAUGE));
        }
        break;
    }
    case CV_MAXHP:
        CalcDef<i32>(c, eChara::MaxHP, v, op, 0, 999999);
        if (c.m_nHP > StatusMaxHp(c)) c.m_nHP = StatusMaxHp(c);
        deathCheck();
        break;
    case CV_MAXSP:
        CalcDef<i32>(c, eChara::MaxSP, v, op, 0, 999999);
        if (c.m_nSP > StatusMaxSp(c)) c.m_nSP = StatusMaxSp(c);
        break;
    case CV_ID: CalcOp(c.m_nCharaId, v, op, 0, 99); break;
    case CV_Z: {
        i8 z = static_cast<i8>(std::clamp(c.m_nLayer, -128, 127));
        CalcOp(z, v, op, 0, 7);
        c.m_nLayer = z;
        break;
    }
    case CV_MARK: CalcDef<i16>(c, eChara::Mark, v, op, 0, 119); break;
    case CV_SIGHT:
        if (!c.AsPlayer()) return;
        CalcOp(c.m_nSight, v, op, 0, 40);
        if (c.m_pScene) c.m_pScene->SightChanged(c);
        break;
    case CV_BODY_POWER: CalcDef<i32>(c, eChara::BodyPower, v, op, -999999, 999999); break;
    case CV_BODY_IMPACT: CalcDef<i8>(c, eChara::BodyImpact, v, op, -20, 20); break;
    case CV_DEFENCE: CalcDef<i32>(c, eChara::Defence, v, op, 0, 999999); break;
    case CV_RESISTANCE: CalcDef<i8>(c, eChara::Resistance, v, op, 0, 20); break;
    case CV_STOPPING: {
        CalcDef<i16>(c, eChara::Stopping, v, op, 0, 200);
        const i16 stopping = static_cast<i16>(CharaSettings::Get(c.m_Def, eChara::Stopping));
        c.m_dDecel = BrakingValue(stopping, StageSettings::Get(g_Stage, eStageD::BrakingDivisor));
        break;
    }
    case CV_SCORE: CalcDef<i32>(c, eChara::Score, v, op, -999999, 999999); break;
    default: break;
    }
}

void ChangeSystemStatus(cGameScene& scene, const cFlowCmd& cmd, i32 v) {
    const i32 sel = Param(cmd, SO_SELECTOR);
    const i32 op = Param(cmd, SO_OP);
    const bool percent = (Param(cmd, SO_PERCENT) & 0xFF) != 0;
    auto apply = [&](i32 current, i32 lo, i32 hi) {
        const i32 operand = percent ? SaturatedPercent(current, v) : v;
        CalcOp(current, operand, op, lo, hi);
        return current;
    };
    switch (sel) {
    case SV_TIME: scene.m_nTimeLeft = apply(scene.m_nTimeLeft, 0, 999); break;
    case SV_SCROLL_X:
    case SV_SCROLL_Y: {
        const bool x = sel == SV_SCROLL_X;
        const eStage s = x ? eStage::AutoScrollSpeedX : eStage::AutoScrollSpeedY;
        const i32 speed = apply(static_cast<i32>(StageSettings::Get(g_Stage, s)), -480, 480);
        StageSettings::Set(g_Stage, s, speed);
        cScrollAxis& axis = x ? scene.m_ScrollX : scene.m_ScrollY;
        axis.SetSpeed(axis.m_bAuto, speed, SpeedUnit());
        break;
    }
    case SV_SCORE:
        g_nScore = static_cast<u32>(apply(SaturateI32(g_nScore), 0, 999999));
        break;
    case SV_LIVES:
        if (g_nLives == static_cast<u32>(kUnlimitedLives)) return;
        g_nLives = static_cast<u32>(apply(SaturateI32(g_nLives), 0, 99));
        break;
    default: break;
    }
}

} // namespace

// ---- Reading statuses ---------------------------------------------------------------------------

cChara* SubjectChara(cChara& self, i32 subject) {
    if (subject == 0) return &self;
    if (subject >= 1 && subject <= 4) return self.m_aTarget[subject - 1].Chara();
    return nullptr;
}

i32 StatusMaxHp(const cChara& c) { return SaturateI32(CharaSettings::Get(c.m_Def, eChara::MaxHP)); }
i32 StatusMaxSp(const cChara& c) { return SaturateI32(CharaSettings::Get(c.m_Def, eChara::MaxSP)); }

bool ReadCharaStatus(const cChara& c, i32 selector, i32 varIndex, STATUSVALUE& out) {
    auto def = [&](eChara s, i32 width) {
        out = {CharaSettings::Get(c.m_Def, s), width};
        return true;
    };
    switch (selector) {
    case CV_VAR:
        if (varIndex < 0 || varIndex >= c.m_vVar.Size()) return false;
        out = {c.m_vVar[varIndex], 32};
        return true;
    case CV_HP: out = {c.m_nHP, 32}; return true;
    case CV_SP: out = {c.m_nSP, 32}; return true;
    case CV_MAXHP: out = {StatusMaxHp(c), 32}; return true;
    case CV_MAXSP: out = {StatusMaxSp(c), 32}; return true;
    case CV_ID: out = {c.m_nCharaId, 8}; return true;
    case CV_Z: out = {static_cast<i8>(std::clamp(c.m_nLayer, -128, 127)), 8}; return true;
    case CV_MARK: return def(eChara::Mark, 16);
    case CV_SIGHT: out = {c.m_nSight, 8}; return true;
    case CV_BODY_POWER: return def(eChara::BodyPower, 32);
    case CV_BODY_IMPACT: return def(eChara::BodyImpact, 8);
    case CV_DEFENCE: return def(eChara::Defence, 32);
    case CV_RESISTANCE: return def(eChara::Resistance, 8);
    case CV_STOPPING: out = {static_cast<i16>(CharaSettings::Get(c.m_Def, eChara::Stopping)), 16}; return true;
    case CV_SCORE: return def(eChara::Score, 32);
    default: return false;
    }
}

bool ReadSystemStatus(cGameScene& scene, i32 selector, bool asSource, STATUSVALUE& out) {
    switch (selector) {
    case SV_TIME: out = {scene.m_bTimeStopped ? 0 : scene.m_nTimeLeft, 32}; return true;
    case SV_SCROLL_X: out = {StageSettings::Get(g_Stage, eStage::AutoScrollSpeedX), 32}; return true;
    case SV_SCROLL_Y: out = {StageSettings::Get(g_Stage, eStage::AutoScrollSpeedY), 32}; return true;
    case SV_SCORE: out = {static_cast<i64>(g_nScore), 32}; return true;
    case SV_LIVES:
        if (g_nLives == static_cast<u32>(kUnlimitedLives)) {
            const bool sw = SysSwitch(SW_UNLIMITED_LIVES) != 0;
            if (sw && !asSource) return false;
            out = {sw ? 0 : 100, 32};
            return true;
        }
        out = {static_cast<i64>(g_nLives), 32};
        return true;
    default: return false;
    }
}

// ---- The status operation -----------------------------------------------------------------------

i32 CmdStatusOp(cChara& chara, cFlowCmd& cmd) {
    cGameScene* scene = chara.m_pScene;
    if (!scene) return 0;
    i32 v = 0;
    switch (Param(cmd, SO_SOURCE)) {
    case 0: v = Param(cmd, SO_CONST); break;
    case 1: v = scene->RandRange(Param(cmd, SO_RAND_A), Param(cmd, SO_RAND_B)); break;
    case 2: {
        const i32 subject = Param(cmd, SO_SRC_SUBJECT);
        const i32 sel = Param(cmd, SO_SRC_SELECTOR);
        STATUSVALUE sv;
        if (subject == kOpSystemSubject) {
            if (!ReadSystemStatus(*scene, sel, true, sv)) return 0;
        } else {
            cChara* src = SubjectChara(chara, subject);
            if (!src || (sel == CV_SIGHT && !src->AsPlayer())) return 0;
            if (!ReadCharaStatus(*src, sel, Param(cmd, SO_SRC_INDEX), sv)) return 0;
        }
        v = static_cast<i32>(sv.value);
        break;
    }
    case 3: {
        const i32* var = ScopedVarPtr(*scene, Param(cmd, SO_SRC_SCOPE), Param(cmd, SO_SRC_INDEX));
        if (!var) return 0;
        v = *var;
        break;
    }
    default: break;
    }
    if (Param(cmd, SO_WHAT) == 1) {
        i32* var = ScopedVarPtr(*scene, Param(cmd, SO_VAR_SCOPE), Param(cmd, SO_VAR_INDEX));
        if (!var) return 0;
        if (Param(cmd, SO_PERCENT) & 0xFF) v = SaturatedPercent(*var, v);
        CalcOp(*var, v, Param(cmd, SO_OP), -999999, 999999);
        return 0;
    }
    const i32 subject = Param(cmd, SO_SUBJECT);
    if (subject == kOpSystemSubject) {
        ChangeSystemStatus(*scene, cmd, v);
        return 0;
    }
    cChara* c = SubjectChara(chara, subject);
    if (!c) return 0;
    if (Param(cmd, SO_SPARE_INVINCIBLE) && IsInvincible(*c)) return 0;
    ChangeCharaStatus(chara, *c, cmd, v);
    return 0;
}

// ---- HP, SP and gauges --------------------------------------------------------------------------

i32 AddHp(cChara& c, i32 delta, i32 ignoreInvincible, i32 startGauge) {
    if (!ignoreInvincible && delta <= 0 && IsInvincible(c)) return 0;
    const i32 maximum = StatusMaxHp(c);
    i64 d = delta;
    if (d > 0) d = std::min<i64>(d, static_cast<i64>(maximum) - c.m_nHP);
    c.m_nHP = static_cast<i32>(std::clamp<i64>(c.m_nHP + d, 0, std::max(maximum, 0)));
    if (c.m_nHP < 1) {
        c.m_nHP = 0;
        return 1;
    }
    if (startGauge) StartGauge(c.m_HpGauge, c.m_nHP, maximum, static_cast<i32>(d));
    return 0;
}

i32 AddSp(cChara& c, i32 delta, i32 startGauge) {
    const i32 maximum = StatusMaxSp(c);
    if (maximum < 1) return 1;
    i64 d = delta;
    if (d > 0) d = std::min<i64>(d, static_cast<i64>(maximum) - c.m_nSP);
    c.m_nSP = static_cast<i32>(std::clamp<i64>(c.m_nSP + d, 0, maximum));
    if (c.m_nSP < 1) {
        c.m_nSP = 0;
        return 1;
    }
    if (startGauge) StartGauge(c.m_SpGauge, c.m_nSP, maximum, static_cast<i32>(d));
    return 0;
}

void StartHpGauge(cChara& c, i32 delta) { StartGauge(c.m_HpGauge, c.m_nHP, StatusMaxHp(c), delta); }

void StartSpGauge(cChara& c, i32 delta) { StartGauge(c.m_SpGauge, c.m_nSP, StatusMaxSp(c), delta); }

// ---- Knock-back ---------------------------------------------------------------------------------

void ApplyImpact(cChara& c, i8 strength, double dirX, double dirY) {
    if (strength == 0) return;
    const i32 resistance = static_cast<i32>(CharaSettings::Get(c.m_Def, eChara::Resistance));
    i32 s = strength;
    s = s < 0 ? std::clamp(s + resistance, -20, 0) : std::clamp(s - resistance, 0, 20);
    double kx = 0, ky = 0;
    SplitAccelSpeed(kx, ky, s, dirX, dirY, SpeedUnit());
    constexpr double kZero = 1e-8;
    if ((kx > kZero && c.m_dSpeedX < -kZero) || (kx < -kZero && c.m_dSpeedX > kZero)) c.m_dSpeedX = 0;
    if ((ky > kZero && c.m_dSpeedY < -kZero) || (ky < -kZero && c.m_dSpeedY > kZero)) c.m_dSpeedY = 0;
    c.m_dKnockX = kx;
    c.m_dVMotion = ky;
    c.m_bImpact = 1;
}

void ApplyImpactFromChara(cChara& c, cChara& attacker) {
    const i8 strength = static_cast<i8>(CharaSettings::Get(attacker.m_Def, eChara::BodyImpact));
    double dx = attacker.m_dSpeedX, dy = attacker.m_dSpeedY;
    // A walking attacker pushes along its vertical speed only while it falls faster than one
    // step of gravity (what standing on the ground gives it).
    const double g = StageSettings::Get(g_Stage, eStageD::GravityPerStep);
    if (!attacker.IsFlying() && dy <= g) dy = 0;
    ApplyImpact(c, strength, dx, dy);
}

void ApplyImpactFromShot(cChara& c, cShot& shot) {
    const i8 strength = static_cast<i8>(ShotSettings::Get(shot.m_Def, eShot::Impact));
    double dx = shot.m_dSpeedX, dy = shot.m_dSpeedY;
    if (dx == 0 && dy == 0) dx = shot.DirSign();
    ApplyImpact(c, strength, dx, dy);
}
