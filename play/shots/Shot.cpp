// The shot object: its boxes, its set-up from a definition, the readings of a pass over the shots
// and the moves by the general rules (ShotStep.cpp has the step of a live shot).
#include "play/shots/Shot.h"

#include <algorithm>
#include <bit>
#include <climits>
#include <cmath>

#include "database/Database.h"
#include "database/SystemSwitches.h"
#include "platform/system/Containers.h"
#include "play/GameScene.h"
#include "play/rules/Damage.h"
#include "play/rules/Motion.h"
#include "play/shots/ShotFire.h"
#include "records/StageSettings.h"

// A handle's shot: the shots answer it, so that the handles know no class of their own kind.
cShot* cObjHandle::Shot() const {
    cObj* o = Get();
    return o ? o->AsShot() : nullptr;
}

i32 cShot::Steps() { return std::max(1, Trunc32(SpeedUnit())); }

SHOTSTEP SHOTSTEP::Of(const cGameScene* scene) {
    SHOTSTEP k;
    k.pScene = scene;
    k.dUnit = SpeedUnit();
    k.nSteps = cShot::Steps();
    k.dLimit = SpeedLimit();
    k.dGravity = GravityStep();
    k.bCarryOff = SysSwitch(SW_SCROLL_CARRY_OFF) != 0;
    k.bAutoAdd = SysSwitch(SW_AUTOSCROLL_ADD) != 0;
    if (scene) {
        k.nStageW = scene->StageWidthPx();
        k.nStageH = scene->StageHeightPx();
        if (scene->m_ScrollX.m_bAuto) k.dScrollX = scene->m_ScrollX.m_dSpeed;
        if (scene->m_ScrollY.m_bAuto) k.dScrollY = scene->m_ScrollY.m_dSpeed;
        if (!k.bCarryOff) k.dCarryX = k.dScrollX, k.dCarryY = k.dScrollY;
    }
    return k;
}

double SHOTSTEP::WaveAccel(double amplitude, double period, double phase) {
    const u64 p = std::bit_cast<u64>(phase), q = std::bit_cast<u64>(period), a = std::bit_cast<u64>(amplitude);
    WAVE& e = m_aWave[(p ^ (p >> 17) ^ (p >> 35)) & 15];
    if (!e.used || e.phase != p || e.period != q || e.amplitude != a) {
        // The waves' degree (play/rules' constant).
        constexpr double kWaveDegToRad = 0.017453292519943295;
        const double u = dUnit;
        const double r = period * kWaveDegToRad;
        const double offset = 0;
        e.phase = p, e.period = q, e.amplitude = a, e.used = true;
        e.value = -(r * std::sin((phase / u + offset) * r) * (r / u) * amplitude) / u;
    }
    return e.value;
}

cShot::cShot() = default;

cShot::~cShot() {
    // Only the shot that entered the list holds the entry handle (copies start without it), so
    // a temporary copy going away cannot take the live shot's entry out.
    if (m_RefEntry.h.IsNull()) return;
    if (cChara* t = m_AimTarget.Chara()) std::erase(t->m_vRefBy, OBJREF{m_RefEntry.h, kRefAimingShot});
}

i32 cShot::ScaleBoxes(i32 scale) {
    m_rcHit.Scale(scale);
    return 0;
}

void cShot::ScaleHook(i32 nNew, i32 nOld) {
    if (nNew == nOld) return;
    m_dY -= static_cast<double>(m_nBoxH0 / 2) * (nNew - nOld);
    UpdateEdgesY();
}

// ---- Set-up ----

void cShot::SplitAccel(double vx, double vy) {
    if (vx == 0 && vy == 0) {
        m_dAccelX = m_dAccelY = 0;
    } else if (vy == 0) {
        m_dAccelX = vx > 0 ? m_dAccel : -m_dAccel;
        m_dAccelY = 0;
    } else if (vx == 0) {
        m_dAccelX = 0;
        m_dAccelY = vy > 0 ? m_dAccel : -m_dAccel;
    } else {
        const double len = std::sqrt(vx * vx + vy * vy);
        m_dAccelX = m_dAccel * vx / len;
        m_dAccelY = m_dAccel * vy / len;
    }
}

const cSwordPart* cShot::SwordPart() const {
    const cVector<cSwordTypeData>& types = g_Database.m_vSwordType;
    if (m_nSwordType < 0 || m_nSwordType >= types.Size()) return nullptr;
    const cVector<cSwordPart>& parts = types[m_nSwordType].vPart;
    return m_nSwordFrame >= 0 && m_nSwordFrame < parts.Size() ? &parts[m_nSwordFrame] : nullptr;
}

void cShot::SizeFromPart(const cSwordPart& part) {
    // A damaged size must not overflow the box arithmetic.
    const i32 w = static_cast<i32>(std::min<u32>(part.nWidth, 4096));
    const i32 h = static_cast<i32>(std::min<u32>(part.nHeight, 4096));
    m_nGfxW0 = m_nBoxW0 = w;
    m_nGfxH0 = m_nBoxH0 = h;
    m_nGfxW = m_nBoxW = w * m_nScale;
    m_nGfxH = m_nBoxH = h * m_nScale;
    m_rcHit.base = BOXRECT{0, 0, w, h};
    m_rcHit.Scale(m_nScale);
}

void cShot::Init(u8 cmdKind, cChara& shooter, const cEdShot& def, const SHOTSPEC& spec) {
    // 1. The definition, its scale at least 1.
    m_Def = def;
    if (Def(eShot::Scale) < 1) ShotSettings::Set(m_Def, eShot::Scale, 1);
    const i32 scale = static_cast<i32>(Def(eShot::Scale));
    m_pScene = shooter.m_pScene;

    // 2. A shot is a 16-dot cell; a sword takes the size of its type's first part.
    m_bIsShot = cmdKind != kCmdSword ? 1 : 0;
    m_nSwordType = m_bIsShot ? 0 : SwordFormRow(def);
    m_nSwordGraphic = m_bIsShot ? 0 : SwordGraphicRow(def);
    m_nSwordFrame = 0;
    i32 w = 16, h = 16;
    if (!m_bIsShot) {
        const cSwordPart* part = SwordPart();
        w = part ? static_cast<i32>(std::min<u32>(part->nWidth, 4096)) : 0;
        h = part ? static_cast<i32>(std::min<u32>(part->nHeight, 4096)) : 0;
    }
    cObj::Init(0, static_cast<u32>(m_bIsShot), static_cast<u32>(Def(eShot::AimMode)), 0,
               static_cast<u32>(Def(eShot::Picture)), nullptr, 0, 0, 0, w, h, w, h, shooter.m_nDir, FLY_THROUGH,
               spec.nIndex);
    m_Owner = &shooter;
    m_nIndex = spec.nIndex;

    // 3. Its side: the shooter's, or the definition's. A definition's side outside the eight is
    // damaged data: it is reported (once for that definition) and taken as 0 here, where the
    // shot is made, so that the side lists never meet a bad index and the game plays on.
    if (Def(eShot::TakeShooterSide)) {
        m_nSide = shooter.m_nSide;
    } else {
        const i64 side = Def(eShot::Side);
        const bool bad = side < 0 || side >= kSideCount;
        if (bad && (!m_pScene || m_pScene->FirstBadSideOf(def)))
            WriteBadIndex('V', side, kSideCount, kSideListEntrySize);
        m_nSide = bad ? 0 : static_cast<i32>(side);
    }
    m_nBlockSide = static_cast<u32>(m_nSide);
    m_nLayer = std::clamp(static_cast<i32>(Def(eShot::ZOrder)), 0, 7);

    // 4. The hit box: a sword's whole picture; a shot's box of the shooter's kind centred in its
    // cell.
    if (!m_bIsShot) {
        m_rcHit.base = BOXRECT{0, 0, w, h};
    } else {
        const bool player = shooter.m_nKind == 0;
        const i32 bw = static_cast<i32>(StageSettings::Get(g_Stage, player ? eStage::PlayerShotBoxW : eStage::EnemyShotBoxW));
        const i32 bh = static_cast<i32>(StageSettings::Get(g_Stage, player ? eStage::PlayerShotBoxH : eStage::EnemyShotBoxH));
        const i32 cw = std::clamp(bw, 0, 4096), ch = std::clamp(bh, 0, 4096);
        m_rcHit.base = BOXRECT{8 - (cw >> 1), 8 - (ch >> 1), cw, ch};
    }
    m_rcHit.cur = m_rcHit.base;

    // 5. Scale, then the position inside the stage.
    SetScale(scale, 1);
    m_dX = spec.nX;
    m_dY = spec.nY;
    ClampToStageX();
    UpdateEdgesY();

    // 6, 7. Its own velocity and acceleration.
    const double u = SpeedUnit();
    m_dOwnVelX = spec.dVelX / u;
    m_dOwnVelY = spec.dVelY / u;
    if (Def(eShot::AccelFlag)) {
        m_bAccelerating = 1;
        m_dAccel = ((static_cast<double>(Def(eShot::AccelStep)) * spec.nIndex + static_cast<double>(Def(eShot::Accel))) * 0.1) / u;
        SplitAccel(m_dOwnVelX, m_dOwnVelY);
    } else {
        m_bAccelerating = 0;
        m_dAccel = m_dAccelX = m_dAccelY = 0;
    }

    // 8. No scroll carry yet. The flag also makes the aim mind the auto-scroll as for any object
    // that moves with it.
    m_dSpeedX = m_dSpeedY = 0;
    m_bShotScrollSync = Def(eShot::Homing) ? 1 : 0;
    m_bScrollSync = static_cast<u32>(m_bShotScrollSync);

    // 9. Life in steps.
    const i64 steps = Steps();
    m_nLife = Def(eShot::LifeFlag) ? static_cast<i32>(std::clamp<i64>(i64{spec.nLife} * steps * 6, INT_MIN, INT_MAX)) : 0;

    // 10. Range in steps: the distance over the speed. A range shorter than one frame's steps is
    // flown in exactly one frame's steps.
    m_nRange = 0;
    if (Def(eShot::RangeFlag)) {
        const double d = std::max(0.0, spec.nRange * 16.0 - m_nBoxW);
        const double s = std::fabs(spec.dSpeed) / u;
        if (d > 0 && s > 0) {
            m_nRange = Trunc32(d / s);
        } else {
            m_nRange = Trunc32(u);
            if (Trunc32(u * s) > m_nBoxW) m_nRange = Trunc32(m_nBoxW / s);
        }
        if (m_nRange < u) {
            const double manhattan = std::fabs(spec.dVelX) + std::fabs(spec.dVelY);
            // No direction: nothing to cover the range with.
            m_dOwnVelX = manhattan > 0 ? d / u * spec.dVelX / manhattan : 0.0;
            m_dOwnVelY = manhattan > 0 ? d / u * spec.dVelY / manhattan : 0.0;
            m_nRange = Trunc32(u);
        }
    }

    // 11. Aim state; the aim target from the second target slot; the owner's report bytes.
    m_nFrame = 0;
    m_nTurnFrame = m_nHomingEnd = 0;
    m_bAimDone = 0;
    m_dSpeed = 0;
    m_dWavePhase = 0;
    m_dWaveDir[0] = m_dWaveDir[1] = 0;
    i32 slot = static_cast<i32>(Def(eShot::SecondTargetSlot));
    if (slot < 0 || slot >= static_cast<i32>(shooter.m_aTarget.size())) {
        ReportBadIndex('V', slot, shooter.m_aTarget.size(), 4);
        slot = 0;
    }
    m_AimTarget = shooter.m_aTarget[static_cast<std::size_t>(slot)];
    m_bOwnerReport = Def(eShot::OwnerReport) ? 1 : 0;
    m_byReportSubKind = static_cast<u8>(Def(eShot::ReportSubKind));
    m_bFinished = 0;
    m_vHit.clear();
}

// ---- Motion ----

i32 cShot::ClampToStageX() {
    i32 r = 0;
    if (m_pScene) {
        const i32 w = m_pScene->StageWidthPx();
        if (m_dX + m_nBoxW > w) {
            m_dX = w - m_nBoxW;
            r = 3;
        } else if (m_dX < 0) {
            m_dX = 0;
            r = 3;
        }
    }
    UpdateEdgesX();
    return r;
}

void cShot::MoveX() {
    if (m_dAccelX != 0) m_dSpeedX += m_dAccelX;
    if (m_dSpeedX == 0) return;
    const double lim = SpeedLimit();
    m_dSpeedX = std::clamp(m_dSpeedX, -lim, lim);
    m_dX += m_dSpeedX;
    ClampToStageX();
}

void cShot::MoveY() {
    if (m_dAccelY != 0) m_dSpeedY += m_dAccelY;
    if (m_dSpeedY == 0) return;
    // As every object's vertical move: the speed limit, then the clamp to the stage with its
    // margins (a shot leaves the view upward or downward and goes by the area check).
    MoveObjY(*this, 2);
}

void cShot::StepMotion() { StepMotion(SHOTSTEP::Of(m_pScene)); }

