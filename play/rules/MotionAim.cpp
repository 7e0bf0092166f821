// Geometry of the movement commands and the shots: waves, aim, stepping toward a point, ranges,
// character searches and the mirrored-picture choice.
#include <cmath>
#include <cstdlib>

#include "database/SystemSwitches.h"
#include "play/GameScene.h"
#include "play/rules/Motion.h"
#include "records/StageSettings.h"

namespace {

constexpr double kAimDegToRad = 0.017453292519943295;

void AdvancePhase(double& phase, double step, double u) {
    phase += step;
    if (phase >= 360 * u) phase -= 360 * u;
}

// The running auto-scroll speed of an axis (0 while it stands).
double ScrollSpeed(const cScrollAxis& a) { return a.m_bAuto ? a.m_dSpeed : 0.0; }

// The graphic centre in world pixels.
double GfxCentreX(const cObj& o) { return o.m_dX - o.m_nGfxOffX + o.m_nGfxW / 2; }
double GfxCentreY(const cObj& o) { return o.m_dY - o.m_nGfxOffY + o.m_nGfxH / 2; }

} // namespace

double WaveVelocity(double amplitude, double period, double& phase, double step, double offset) {
    const double u = SpeedUnit();
    const double r = period * kAimDegToRad;
    const double v = std::cos((phase / u + offset) * r) * amplitude * r / u;
    AdvancePhase(phase, step, u);
    return v;
}

double WaveVelocity2(double amplitude, double period, double& phase, double step, double offset) {
    const double u = SpeedUnit();
    const double r = period * kAimDegToRad;
    const double v = -(r * std::sin((phase / u + offset) * r) * (r / u) * amplitude) / u;
    AdvancePhase(phase, step, u);
    return v;
}

void AimVelocity(const cGameScene& scene, const cObj& o, double fx, double fy, double tx, double ty, double speed,
                 bool diagonal, i32 scrollMode, double& vx, double& vy) {
    AimDirection(tx - fx, ty - fy, speed, diagonal, vx, vy);
    const double sx = ScrollSpeed(scene.m_ScrollX), sy = ScrollSpeed(scene.m_ScrollY);
    if (SysSwitch(SW_AUTOSCROLL_ADD)) {
        vx += sx;
        vy += sy;
    } else if (scrollMode == AIM_SCROLL_ALWAYS || o.m_bScrollSync) {
        vx -= sx;
        vy -= sy;
    }
}

i32 StepToward(const cGameScene& scene, const cObj& o, double pos, double target, double speed, bool horizontal,
               double& v) {
    const double d = target - pos;
    const double s = std::fabs(speed);
    v = d < 0 ? -s : d > 0 ? s : 0.0;
    // Older data steps without minding the auto-scroll.
    if (horizontal && !SysSwitch(SW_STEP_TOWARD_OLD)) {
        const double sx = ScrollSpeed(scene.m_ScrollX);
        if (SysSwitch(SW_AUTOSCROLL_ADD)) v += sx;
        else if (o.m_bScrollSync) v -= sx;
    }
    return std::fabs(d) <= s ? 1 : 0;
}

i32 StepTowardX(cChara& c, double target, double speed, bool stop, double& v) {
    if (!c.m_pScene) return 0;
    c.ScreenPos();
    const i32 r = StepToward(*c.m_pScene, c, GfxCentreX(c), target, speed, true, v);
    if (r && stop) {
        c.SetCentreXR(Trunc32(target - c.m_pScene->m_ScrollX.m_dPos));
        c.ScreenPos();
    }
    return r;
}

i32 StepTowardY(cChara& c, double target, double speed, bool stop, double& v) {
    if (!c.m_pScene) return 0;
    c.ScreenPos();
    const i32 r = StepToward(*c.m_pScene, c, GfxCentreY(c), target, speed, false, v);
    if (r && stop) {
        c.SetCentreYR(Trunc32(target - c.m_pScene->m_ScrollY.m_dPos));
        c.ScreenPos();
    }
    return r;
}

void GetTargetPoint(const cObj& target, double offX, double offY, bool useX, bool useY, double& x, double& y) {
    if (useX) x = GfxCentreX(target) + offX;
    if (useY) y = GfxCentreY(target) + offY;
}

void RangeFromCentre(i32 pos, i32 size, i32 dir, i32 front, i32 back, i32& lo, i32& hi) {
    const i32 c = pos + size / 2;
    if (dir > 0) {
        lo = c - back;
        hi = c + front;
    } else {
        lo = c - front;
        hi = c + back;
    }
}

bool IsInRange(i32 lo, i32 hi, i32 pos, i32 size) {
    // A box taller than the range covers it, which is an overlap too.
    return pos <= hi && i64{pos} + size - 1 >= lo;
}

bool PassesCharaFilter(const cChara& c, const CHARAFILTER& f) {
    if (!c.m_bPresent || c.IsDying() || c.IsRemoved()) return false;
    if (f.byCharaId && c.m_nCharaId != f.charaId) return false;
    if (f.notId && c.m_nId == f.id) return false;
    if (f.notInvincible1 && c.m_nInvincibleKind == 1) return false;
    if (f.notInvincible2 && c.m_nInvincibleKind == 2) return false;
    if (f.notBlockChara && c.IsBlockChara()) return false;
    if (!f.byVar) return true;
    if (f.var < 0 || f.var >= c.m_vVar.Size()) return false;
    const i64 a = c.m_vVar[f.var], b = f.value;
    switch (f.compare) {
    case 0: return a == b;
    case 1: return a != b;
    case 2: return a >= b;
    case 3: return a <= b;
    case 4: return a > b;
    case 5: return a < b;
    case 6: return b == 0 || a % b == 0;
    case 7: return b != 0 && a % b != 0;
    default: return false;
    }
}

cChara* FindNearestChara(double x, double y, const std::vector<cChara*>& list, i32 mode, const CHARAFILTER& f) {
    cChara* best[2] = {nullptr, nullptr}; // on screen, anywhere
    double dist[2] = {0, 0};
    for (cChara* c : list) {
        if (!c || !PassesCharaFilter(*c, f)) continue;
        const double d = std::fabs(GfxCentreX(*c) - x) + std::fabs(GfxCentreY(*c) - y);
        const int k = c->m_bOnScreen ? 0 : 1;
        if (!best[k] || d < dist[k]) {
            best[k] = c;
            dist[k] = d;
        }
    }
    switch (mode) {
    case 1: {
        if (!best[0]) return best[1];
        if (!best[1]) return best[0];
        // The first of equal distances in list order.
        if (dist[0] != dist[1]) return dist[0] < dist[1] ? best[0] : best[1];
        for (cChara* c : list)
            if (c == best[0] || c == best[1]) return c;
        return best[0];
    }
    case 2: return best[0];
    default: return best[0] ? best[0] : best[1];
    }
}

cChara* FindNearestToCentre(const cObj& o, const std::vector<cChara*>& list) {
    CHARAFILTER f;
    f.notInvincible2 = true;
    const i32 mode = StageSettings::Get(g_Stage, eStage::OnScreenOnly) ? 2 : 0;
    return FindNearestChara(GfxCentreX(o), GfxCentreY(o), list, mode, f);
}

cChara* FindChara(const std::vector<cChara*>& list, const CHARAFILTER& f) {
    for (cChara* c : list)
        if (c && PassesCharaFilter(*c, f)) return c;
    return nullptr;
}

std::vector<cChara*> CharasOfSide(cGameScene& scene, i32 side) {
    std::vector<cChara*> v;
    if (cPlayer* p = scene.Player0(); p && p->m_nSide == side) v.push_back(p);
    for (int i = 0; i < scene.m_lstChara.Size(); ++i)
        if (cStageChara* c = scene.m_lstChara.Live(i); c && c->m_nSide == side) {
            // The caller may act on any of them.
            cObjRegistry::Reach(*c);
            v.push_back(c);
        }
    return v;
}

i32 AltPicture(std::span<const DDSURFACEDATA> slots, i32 picture, bool flipped) {
    // Only Direct3D keeps mirrored copies (made at load); DirectDraw mirrors as it draws.
    if (!lpDTCon) return picture;
    auto loaded = [&](i32 n) { return n >= 0 && n < static_cast<i32>(slots.size()) && SurfacePixels(&slots[static_cast<std::size_t>(n)]); };
    const i32 alt = picture + 18;
    if (flipped) return loaded(alt) ? alt : picture;
    return !loaded(picture) && loaded(alt) ? alt : picture;
}
