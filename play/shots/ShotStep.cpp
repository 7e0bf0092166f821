// A live shot's logic step: the scroll carry, its aim mode, the acceleration, life and range,
// then its motion and its tests against the stage; and the sword's update. The pass over the
// shots calls Step once for each shot, with everything of the step in this file.
#include <algorithm>
#include <cmath>

#include "database/Database.h"
#include "database/SystemSwitches.h"
#include "play/GameScene.h"
#include "play/rules/Damage.h"
#include "play/rules/Motion.h"
#include "play/shots/Shot.h"

namespace {

constexpr double kShotAimDegToRad = 0.017453292519943278;

// The graphic centre of an object in world pixels.
double CentreX(const cObj& o) { return o.m_dX - o.m_nGfxOffX + o.m_nGfxW / 2; }
double CentreY(const cObj& o) { return o.m_dY - o.m_nGfxOffY + o.m_nGfxH / 2; }

bool SameSignOrZero(double before, double after) { return !((before > 0 && after < 0) || (before < 0 && after > 0)); }

} // namespace

// ---- Aim modes ----

namespace {

// The speed of the aim modes: the definition's speed for the shot's volley, per step.
double AimSpeed(const cShot& s, const SHOTSTEP& k) {
    return ((static_cast<double>(s.Def(eShot::SpeedStep)) * s.m_nIndex + static_cast<double>(s.Def(eShot::Speed))) * 0.1) /
           k.dUnit;
}

// Steps to cover a distance of p hbl at the speed (0 at speed 0).
i32 FramesFor(i64 p, double speed) { return speed != 0 ? Trunc32(p * 16 / speed) : 0; }

// The character of a side nearest the shot's centre, or null (no side by that number: none).
cChara* NearestOfSide(cShot& s, i64 side) {
    if (!s.m_pScene || side < 0 || side >= kSideCount) return nullptr;
    return FindNearestToCentre(s, CharasOfSide(*s.m_pScene, static_cast<i32>(side)));
}

// A target the aim may follow: there and not dying.
cChara* LiveTarget(const cObjHandle& h) {
    cChara* c = h.Chara();
    return c && !c->IsDying() ? c : nullptr;
}

// Modes 1-3: one turn toward the aim on the turn frame.
void AimOnce(cShot& s, SHOTSTEP& k) {
    if (s.m_nFrame == 0) {
        s.m_dSpeed = AimSpeed(s, k);
        if (const i64 p1 = s.Def(eShot::AimParam1)) s.m_nTurnFrame = FramesFor(p1, s.m_dSpeed);
    }
    if (!s.m_bAimDone && s.m_nFrame >= s.m_nTurnFrame && s.m_pScene) {
        cChara* aim = nullptr;
        switch (s.Def(eShot::AimMode)) {
        case 1: aim = s.m_pScene->Player0(); break;
        case 2: aim = NearestOfSide(s, s.Def(eShot::AimParam2)); break;
        default: aim = LiveTarget(s.m_AimTarget); break;
        }
        if (aim) {
            AimVelocity(*s.m_pScene, s, CentreX(s), CentreY(s), CentreX(*aim), CentreY(*aim), s.m_dSpeed, false,
                        AIM_SCROLL_OF_OBJECT, s.m_dOwnVelX, s.m_dOwnVelY);
            if (s.m_bAccelerating) s.SplitAccel(s.m_dOwnVelX, s.m_dOwnVelY);
        }
        s.m_bAimDone = 1;
    }
    ++s.m_nFrame;
}

// Modes 4-7: steer toward the aim from the start frame until the end frame.
void Homing(cShot& s, SHOTSTEP& k) {
    if (s.m_nFrame == 0) {
        s.m_dSpeed = AimSpeed(s, k);
        if (const i64 p1 = s.Def(eShot::AimParam1)) s.m_nTurnFrame = FramesFor(p1, s.m_dSpeed);
        if (const i64 p2 = s.Def(eShot::AimParam2)) s.m_nHomingEnd = FramesFor(p2, s.m_dSpeed);
    }
    if (s.m_nFrame >= s.m_nHomingEnd) s.m_bAimDone = 1;
    if (!s.m_bAimDone && s.m_nFrame >= s.m_nTurnFrame && s.m_pScene) {
        cChara* aim = nullptr;
        switch (s.Def(eShot::AimMode)) {
        case 4: aim = s.m_pScene->Player0(); break;
        case 6: aim = LiveTarget(s.m_AimTarget); break;
        default: aim = NearestOfSide(s, s.Def(eShot::AimParam3)); break;
        }
        if (aim) s.SteerToward(*aim, k);
    }
    ++s.m_nFrame;
}

// WaveVelocity2 (play/rules) at step 1 and offset 0, with the pass's speed unit and waves.
double WaveVelocity2Of(double amplitude, double period, double& phase, SHOTSTEP& k) {
    const double u = k.dUnit;
    const double v = k.WaveAccel(amplitude, period, phase);
    phase += 1.0;
    if (phase >= 360 * u) phase -= 360 * u;
    return v;
}

// Mode 8: a wave across the flight.
void Wave(cShot& s, SHOTSTEP& k) {
    const double amplitude = static_cast<double>(s.Def(eShot::AimParam1)) * 16;
    const double period = static_cast<double>(s.Def(eShot::AimParam2));
    if (s.m_nFrame == 0) {
        const double start = static_cast<double>(s.Def(eShot::AimParam3)) + (s.m_nDir <= 0 ? 180 : 0);
        // A period of 0 has no phase to start at.
        s.m_dWavePhase = period != 0 ? start / period * SpeedUnit() : 0.0;
        double deg = std::atan2(s.m_dOwnVelY, s.m_dOwnVelX) / kShotAimDegToRad;
        if (deg < 0) deg += 360;
        const double normal = (deg - 90) * kShotAimDegToRad;
        s.m_dWaveDir[0] = std::cos(normal);
        s.m_dWaveDir[1] = std::sin(normal);
        const double v = WaveVelocity(amplitude, period, s.m_dWavePhase, 1.0, 0);
        s.m_dOwnVelX += v * s.m_dWaveDir[0];
        s.m_dOwnVelY += v * s.m_dWaveDir[1];
        s.m_nFrame = 1;
    } else {
        const double a = WaveVelocity2Of(amplitude, period, s.m_dWavePhase, k);
        const double vx = s.m_dOwnVelX + a * s.m_dWaveDir[0];
        const double vy = s.m_dOwnVelY + a * s.m_dWaveDir[1];
        s.m_dOwnVelX = SameSignOrZero(s.m_dOwnVelX, vx) ? vx : 0.0;
        s.m_dOwnVelY = SameSignOrZero(s.m_dOwnVelY, vy) ? vy : 0.0;
    }
    if (s.m_bAccelerating) s.SplitAccel(s.m_dOwnVelX, s.m_dOwnVelY);
}

// Mode 9: flies straight, then falls from the turn frame on.
void Fall(cShot& s, SHOTSTEP& k) {
    if (s.m_nFrame == 0) {
        s.m_dSpeed = AimSpeed(s, k);
        if (const i64 p1 = s.Def(eShot::AimParam1)) s.m_nTurnFrame = FramesFor(p1, s.m_dSpeed);
    }
    if (!s.m_bAimDone && s.m_nFrame >= s.m_nTurnFrame) {
        s.m_dSpeedY = s.m_dOwnVelY;
        s.m_bFly = 0;
        s.m_bAimDone = 1;
    }
    ++s.m_nFrame;
}

using AIMROUTINE = void (*)(cShot&, SHOTSTEP&);
void Straight(cShot&, SHOTSTEP&) {}
constexpr AIMROUTINE kAimRoutine[] = {Straight, AimOnce, AimOnce, AimOnce, Homing, Homing, Homing, Homing, Wave, Fall};

} // namespace

void cShot::SteerToward(const cObj& aim, const SHOTSTEP& k) {
    if (!m_pScene) return;
    double vx = 0, vy = 0;
    if (m_pScene == k.pScene) {
        // AimVelocity with the pass's readings of the auto-scroll.
        AimDirection(CentreX(aim) - CentreX(*this), CentreY(aim) - CentreY(*this), m_dSpeed, false, vx, vy);
        if (k.bAutoAdd) {
            vx += k.dScrollX;
            vy += k.dScrollY;
        } else if (m_bScrollSync) {
            vx -= k.dScrollX;
            vy -= k.dScrollY;
        }
    } else {
        AimVelocity(*m_pScene, *this, CentreX(*this), CentreY(*this), CentreX(aim), CentreY(aim), m_dSpeed, false,
                    AIM_SCROLL_OF_OBJECT, vx, vy);
    }
    if (!m_bAccelerating || m_nFrame == m_nTurnFrame) {
        m_dOwnVelX = vx;
        m_dOwnVelY = vy;
    }
    if (m_bAccelerating) SplitAccel(vx, vy);
}

i32 cShot::UpdateAim() {
    SHOTSTEP k = SHOTSTEP::Of(m_pScene);
    return UpdateAim(k);
}

i32 cShot::UpdateAim(SHOTSTEP& k) {
    if (!m_bIsShot) return UpdateSword();
    // The scroll carry: a scroll-synchronised shot moves with the running auto-scroll.
    m_dCarryX = m_dCarryY = 0;
    if (m_pScene == k.pScene) {
        if (m_bShotScrollSync) m_dCarryX = k.dCarryX, m_dCarryY = k.dCarryY;
    } else if (m_pScene && m_bShotScrollSync && !k.bCarryOff) {
        if (m_pScene->m_ScrollX.m_bAuto) m_dCarryX = m_pScene->m_ScrollX.m_dSpeed;
        if (m_pScene->m_ScrollY.m_bAuto) m_dCarryY = m_pScene->m_ScrollY.m_dSpeed;
    }
    m_dSpeedX = m_dCarryX;
    if (m_bFly) m_dSpeedY = m_dCarryY;

    const i64 mode = Def(eShot::AimMode);
    if (mode >= 0 && mode < static_cast<i64>(std::size(kAimRoutine))) kAimRoutine[mode](*this, k);

    if (m_bAccelerating) {
        m_dOwnVelX += m_dAccelX;
        if (m_bFly) m_dOwnVelY += m_dAccelY;
        else m_dSpeedY += m_dAccelY;
    }
    m_dSpeedX += m_dOwnVelX;
    if (m_bFly) m_dSpeedY += m_dOwnVelY;

    if (Def(eShot::LifeFlag)) {
        if (m_nLife < 1) return 1;
        --m_nLife;
    }
    if (m_dSpeedX != 0) m_nDir = m_dSpeedX >= 0 ? 1 : 0;
    if (Def(eShot::RangeFlag)) {
        if (m_nRange < 1) {
            if (!Def(eShot::StopAtRange)) return 1;
            // Stopped: a straight shot that only rides the scroll carry.
            m_dOwnVelX = m_dOwnVelY = 0;
            ShotSettings::Set(m_Def, eShot::AimMode, 0);
            m_dSpeedX = m_dCarryX;
            if (m_bFly) m_dSpeedY = m_dCarryY;
        } else {
            --m_nRange;
        }
    }
    return 0;
}

// ---- Motion ----

void cShot::StepMotion(const SHOTSTEP& k) {
    // A shot's picture shows its two rows in turn, each for a tenth of a second.
    if (m_bIsShot) {
        const i32 period = 6 * k.nSteps;
        if (++m_nAnimTick >= 2 * period) m_nAnimTick = 0;
        // The tick is below two periods here: the row is a comparison unless it went negative.
        m_nSwordFrame = m_nAnimTick < 0 ? m_nAnimTick / period : m_nAnimTick >= period ? 1 : 0;
    }
    if (!m_bFly) m_dSpeedY += k.dGravity;
    if (m_pScene != k.pScene) {
        MoveY();
        MoveX();
        return;
    }
    MoveYIn(k);
    MoveXIn(k);
}

// The position truncated once for the box and the cell (a store into the box may be taken for
// one into the position).
void cShot::ShotEdgesX() {
    const double x = m_dX, right = x + m_nBoxW - 1;
    const i32 tx = Trunc32(x);
    m_dRight = right;
    m_rcHit.UpdateX(tx);
    m_nCellL = tx >> 5;
    m_nCellR = Trunc32(right) >> 5;
}

void cShot::ShotEdgesY() {
    const double y = m_dY, bottom = y + m_nBoxH - 1;
    const i32 ty = Trunc32(y);
    m_dBottom = bottom;
    m_rcHit.UpdateY(ty);
    m_nCellT = ty >> 5;
    m_nCellB = Trunc32(bottom) >> 5;
}

void cShot::MoveYIn(const SHOTSTEP& k) {
    if (m_dAccelY != 0) m_dSpeedY += m_dAccelY;
    if (m_dSpeedY == 0) return;
    // MoveObjY(*this, 2): the speed limit, the move, then ClampY(2), of which only the stage's
    // own edges move a shot (the view's bounds give return codes, unused here).
    m_dSpeedY = std::clamp(m_dSpeedY, -k.dLimit, k.dLimit);
    m_dY += m_dSpeedY;
    if (m_pScene) {
        const double far = m_dY + m_nBoxH - 1;
        const bool clampable = m_nBoxH < 32 * cBlockMap::kMargin;
        if (m_dY < 0 && clampable) m_dY = 0;
        else if (far >= k.nStageH && clampable) m_dY = k.nStageH - m_nBoxH;
    }
    ShotEdgesY();
}

void cShot::MoveXIn(const SHOTSTEP& k) {
    if (m_dAccelX != 0) m_dSpeedX += m_dAccelX;
    if (m_dSpeedX == 0) return;
    m_dSpeedX = std::clamp(m_dSpeedX, -k.dLimit, k.dLimit);
    m_dX += m_dSpeedX;
    // ClampToStageX.
    if (m_pScene) {
        const i32 w = k.nStageW;
        if (m_dX + m_nBoxW > w) m_dX = w - m_nBoxW;
        else if (m_dX < 0) m_dX = 0;
    }
    ShotEdgesX();
}

i32 cShot::IsOutsideArea() {
    if (!m_bIsShot) return 0;
    return IsOutOfRange(*this, StageArea(g_Stage, m_nSide == 0 ? 4 : 5)) ? 1 : 0;
}

i32 cShot::HitsBlock() {
    if (!m_pScene || Def(eShot::PierceBlocks)) return 0;
    cGameScene& s = *m_pScene;
    auto probe = [&](double x, double y) {
        return IsBlockSolid(s, s.m_vBlockMap.IndexAtPixel(x, y), static_cast<i32>(m_nBlockSide)) != 0;
    };
    if (m_nBoxW > 32) {
        const i32 w = m_nBoxW, h = m_nBoxH;
        for (i32 dy = 0;; dy += 32) {
            const i32 py = std::min(dy, h - 1);
            for (i32 dx = 0;; dx += 32) {
                const i32 px = std::min(dx, w - 1);
                if (probe(m_dX + px, m_dY + py)) return 1;
                if (px >= w - 1) break;
            }
            if (py >= h - 1) break;
        }
        return 0;
    }
    return probe(m_dX, m_dY) || probe(m_dX, m_dBottom) || probe(m_dRight, m_dY) || probe(m_dRight, m_dBottom) ? 1 : 0;
}

// ---- The pass's step ----

// Everything the step calls in this file goes into it: a step is a few hundred instructions, and
// the calls between its parts were a tenth of them.
[[gnu::flatten]] i32 cShot::Step(SHOTSTEP& k, i32 step) {
    if (UpdateAim(k)) return 1;
    StepMotion(k);
    if (step == 1 && IsOutsideArea()) return 1;
    // A shot that pierces blocks has no block test.
    if (!m_pScene || Def(eShot::PierceBlocks)) return 0;
    return CollideBlocks();
}

// ---- Swords ----

i32 cShot::UpdateSword() {
    cChara* owner = m_Owner.Chara();
    if (!owner || owner->IsDying() || !m_pScene) return 1;
    const cSwordPart* part = SwordPart();
    if (!part) return 1;
    // Each part has its own size; the sword takes it when the part begins.
    if (m_nFrame == 0) SizeFromPart(*part);

    const bool ownerRight = owner->m_nDir > 0;
    const u32 anchor = part->nAnchor;
    m_nDir = (anchor == 1) != ownerRight ? 1 : 0;
    owner->ScreenPos();
    const SCREENRECT& o = owner->m_rcScreen;
    const i32 w = m_nBoxW, h = m_nBoxH;
    double x = 0, y = 0;
    switch (anchor) {
    case 2:
        x = o.left + owner->m_nGfxW / 2 - w / 2;
        y = o.top - h;
        break;
    case 3:
        x = o.left + owner->m_nGfxW / 2 - w / 2;
        y = o.bottom + 1;
        break;
    default: {
        // In front of the owner (kind 0) or behind it (kind 1): the side the sword faces.
        x = m_nDir > 0 ? o.right + 1 : o.left - w;
        y = o.top + owner->m_nGfxH / 2 - h / 2;
        break;
    }
    }
    const double ox = static_cast<double>(part->nOffsetX) * m_nScale, oy = static_cast<double>(part->nOffsetY) * m_nScale;
    if (!ownerRight) {
        x += ox;
        y += oy;
    } else {
        x += part->bMirrorX ? -ox : ox;
        y += part->bMirrorY ? -oy : oy;
    }
    m_dX = x + m_pScene->m_ScrollX.m_dPos;
    m_dY = y + m_pScene->m_ScrollY.m_dPos;
    ClampToStageX();
    ClampY(2);

    // The part lasts its time (tenths of a second) in steps; after the last part the swing ends.
    if (++m_nFrame > static_cast<i64>(part->nTime) * Steps() * 6) {
        m_nFrame = 0;
        ++m_nSwordFrame;
        if (!SwordPart()) return 1;
    }
    return 0;
}
