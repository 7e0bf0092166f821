// Firing: a shot command's volleys, the six placements of a volley (the shot kinds), the angle
// toward a target, and the making of each shot (or summoned thing) of a volley.
#include <algorithm>
#include <cmath>

#include "database/Database.h"
#include "database/SystemSwitches.h"
#include "platform/system/Containers.h"
#include "play/GameScene.h"
#include "play/rules/Motion.h"
#include "play/shots/ShotCommands.h"
#include "play/shots/ShotFire.h"

namespace {

constexpr double kDegToRad = 0.017453292519943278;
const double kInvSqrt2 = 1.0 / std::sqrt(2.0);

// Flight angle of each direction code (codes resolved before the look-up hold 0).
constexpr double kDirAngle[13] = {0, 0, 0, 180, 0, 0, 90, 270, 45, 315, 135, 225, 0};

double DirAngle(i32 code) { return code >= 0 && code < 13 ? kDirAngle[code] : 0.0; }

// The horizontal and vertical sense of a direction code (-1, 0, 1; y down).
i32 SenseX(i32 code) {
    switch (code) {
    case 2: case 8: case 9: return -1;
    case 3: case 10: case 11: return 1;
    default: return 0;
    }
}
i32 SenseY(i32 code) {
    switch (code) {
    case 6: case 8: case 10: return -1;
    case 7: case 9: case 11: return 1;
    default: return 0;
    }
}

// The velocity along a direction (diagonals: speed / sqrt 2 on both axes).
void DirVelocity(i32 code, double speed, double& vx, double& vy) {
    const i32 sx = SenseX(code), sy = SenseY(code);
    const double s = sx != 0 && sy != 0 ? speed * kInvSqrt2 : speed;
    vx = sx * s;
    vy = sy * s;
}

// The velocity of a flight angle (degrees).
void AngleVelocity(double deg, double speed, double& vx, double& vy) {
    vx = -std::cos(deg * kDegToRad) * speed;
    vy = -std::sin(deg * kDegToRad) * speed;
}

// An object's graphic rectangle in world pixels, from its screen rectangle and the scroll.
struct GRECT {
    double L, T, R, B;
    i32 W, H;
    double CX() const { return L + W / 2; }
    double CY() const { return T + H / 2; }
};
GRECT Graphic(const cGameScene& s, const cObj& o) {
    const double sx = s.m_ScrollX.m_dPos, sy = s.m_ScrollY.m_dPos;
    return GRECT{o.m_rcScreen.left + sx, o.m_rcScreen.top + sy, o.m_rcScreen.right + sx, o.m_rcScreen.bottom + sy,
                 o.m_nGfxW, o.m_nGfxH};
}

// A target slot of the shooter by a definition setting (checked: a bad slot is reported and
// slot 0 used).
cObj* TargetInSlot(const cChara& shooter, i64 slot) {
    if (slot < 0 || slot >= static_cast<i64>(shooter.m_aTarget.size())) {
        ReportBadIndex('V', slot, shooter.m_aTarget.size(), 4);
        slot = 0;
    }
    return shooter.m_aTarget[static_cast<std::size_t>(slot)].Get();
}

// The centre object of 落雷 and 包囲: the target in the slot, the hero or the shooter.
cObj* CentreObject(const SHOTCALL& c) {
    switch (c.Get(eShot::CentreObject)) {
    case 0: return TargetInSlot(c.shooter, c.Get(eShot::TargetSlot));
    case 1: return c.scene.Player0();
    case 2: return &c.shooter;
    default: return nullptr;
    }
}

i32 Count(const SHOTCALL& c) { return std::max<i32>(0, static_cast<i32>(c.Get(eShot::ShotsPerVolley))); }

// A volley with an angle of its own (a whole turn is none: the mirror of 0 is 360), or aimed.
bool HasAngle(const SHOTSPEC& spec) { return spec.nAngle % 360 != 0; }
bool Angled(const SHOTCALL& c, const SHOTSPEC& spec) { return HasAngle(spec) || c.Get(eShot::AimAtFire) != 0; }

// Spawns the n objects of a line from spec's start, stepping by its step.
void SpawnLine(const SHOTCALL& c, SHOTSPEC& spec, i32 n) {
    spec.nX = spec.nStartX;
    spec.nY = spec.nStartY;
    for (i32 i = 0; i < n; ++i) {
        SpawnFromCommand(c, spec);
        spec.nX += spec.nStepX;
        spec.nY += spec.nStepY;
    }
}

// The start point just outside the shooter on the side of the direction, centred across it
// (diagonals at the matching corner).
void PlaceOutside(const GRECT& g, const SHOTSPEC& spec, i32& x, i32& y) {
    const i32 w = spec.nWidth, h = spec.nHeight;
    const i32 sx = SenseX(spec.nDir), sy = SenseY(spec.nDir);
    x = sx < 0 ? Trunc32(g.L - w + 1) : sx > 0 ? Trunc32(g.R + 1) : Trunc32(g.CX() - w / 2);
    y = sy < 0 ? Trunc32(g.T - h) : sy > 0 ? Trunc32(g.B + 1) : Trunc32(g.CY() - h / 2);
}

// The start point turned about the shooter to flight angle A.
void PlaceAtAngle(const SHOTCALL& c, const GRECT& g, const SHOTSPEC& spec, double A, i32& x, i32& y) {
    const cObj& o = c.shooter;
    const i32 ws = spec.nWidth, hs = spec.nHeight;
    const double dx = ((ws >> 1) + (o.m_rcScreen.right - o.m_rcScreen.left) - (g.W >> 1) + 1) * kInvSqrt2;
    const double dy = ((o.m_rcScreen.bottom - o.m_rcScreen.top) - (g.H >> 1) + (hs >> 1) + 1) * kInvSqrt2;
    const double a = (A + 225) * kDegToRad, cs = std::cos(a), sn = std::sin(a);
    const double sx = c.scene.m_ScrollX.m_dPos, sy = c.scene.m_ScrollY.m_dPos;
    x = Trunc32(o.m_rcScreen.left + (g.W >> 1) + sx + sn * dy + cs * dx - (ws >> 1));
    y = Trunc32(o.m_rcScreen.top + (g.H >> 1) + sy + sn * dx - cs * dy - (hs >> 1));
}

// The line of a volley turned to flight angle A: start and step across the flight.
void LineAtAngle(const SHOTCALL& c, SHOTSPEC& spec, double A) {
    const i32 n = Count(c);
    const i32 ws = spec.nWidth, hs = spec.nHeight;
    const i32 w = static_cast<i32>(c.Get(eShot::KindParam1)) * 16, h = w >> 1;
    const double cs = std::cos(A * kDegToRad), sn = std::sin(A * kDegToRad);
    const i64 ax = i64{(ws >> 1) + h} * (n - 1), ay = i64{(hs >> 1) + h} * (n - 1);
    if ((sn >= 0 && cs >= 0) || (sn < 0 && cs < 0)) {
        spec.nStartX = Trunc32(spec.nStartX - ax * sn);
        spec.nStepX = Trunc32((ws + w) * sn);
        spec.nStartY = Trunc32(spec.nStartY + ay * cs);
        spec.nStepY = Trunc32(-(hs + w) * cs);
    } else {
        spec.nStartX = Trunc32(spec.nStartX + ax * sn);
        spec.nStepX = Trunc32(-(ws + w) * sn);
        spec.nStartY = Trunc32(spec.nStartY - ay * cs);
        spec.nStepY = Trunc32((hs + w) * cs);
    }
}

// The angle toward the shooter's target from a shot whose top-left is (x, y), plus the
// volley's angle; the direction's angle plus the volley's when there is no target.
double AimedAngle(const SHOTCALL& c, SHOTSPEC& spec, i32 x, i32 y) {
    double a = 0;
    if (AimAngleAt(c, x + spec.nWidth / 2, y + spec.nHeight / 2, spec, a)) return a + spec.nAngle;
    return DirAngle(spec.nDir) + spec.nAngle;
}

// The flight angle to which a turned start point goes round the shooter: the direction's angle
// plus the volley's, or, aimed, the angle toward the target from the shooter's centre moved by
// the offsets, plus the volley's.
double TurnedStartAngle(const SHOTCALL& c, const GRECT& g, SHOTSPEC& spec) {
    if (!c.Get(eShot::AimAtFire)) return DirAngle(spec.nDir) + spec.nAngle;
    const i32 x = Trunc32(g.CX() + spec.nOffsetX - spec.nWidth / 2), y = Trunc32(g.CY() + spec.nOffsetY - spec.nHeight / 2);
    return AimedAngle(c, spec, x, y);
}

// ---- The six kinds ----

// 直進A (centred on the shooter) and 直進B (from the shooter's feet): a line across the flight.
void KindLine(const SHOTCALL& c, SHOTSPEC& spec, bool fromFeet) {
    const i32 n = Count(c);
    if (n == 0) return;
    const GRECT g = Graphic(c.scene, c.shooter);
    const i32 w = spec.nWidth, h = spec.nHeight;
    const i32 gap = static_cast<i32>(c.Get(eShot::KindParam1)) * 16;
    const bool aim = c.Get(eShot::AimAtFire) != 0;

    if (!fromFeet && c.Get(eShot::Placement) && Angled(c, spec)) {
        double A = TurnedStartAngle(c, g, spec);
        PlaceAtAngle(c, g, spec, A, spec.nStartX, spec.nStartY);
        if (aim) A = AimedAngle(c, spec, spec.nStartX + spec.nOffsetX, spec.nStartY + spec.nOffsetY);
        LineAtAngle(c, spec, A);
        spec.nStartX += spec.nOffsetX;
        spec.nStartY += spec.nOffsetY;
        AngleVelocity(A, spec.dSpeed, spec.dVelX, spec.dVelY);
        SpawnLine(c, spec, n);
        return;
    }

    const i32 sx = SenseX(spec.nDir), sy = SenseY(spec.nDir);
    i32 x = 0, y = 0;
    PlaceOutside(g, spec, x, y);
    i32 stepX = 0, stepY = 0;
    if (!fromFeet) {
        if (sy == 0) {
            stepY = h + gap;
            y -= ((h >> 1) + (gap >> 1)) * (n - 1);
        } else if (sx == 0) {
            stepX = w + gap;
            x -= ((w >> 1) + (gap >> 1)) * (n - 1);
        } else {
            // A diagonal flight: the line runs along the other diagonal.
            stepX = Trunc32(-sy * (w + gap) * kInvSqrt2);
            stepY = Trunc32(sx * (h + gap) * kInvSqrt2);
            x -= stepX * (n - 1) / 2;
            y -= stepY * (n - 1) / 2;
        }
    } else if (sx == 0) {
        // Up or down: the line lies at the feet beside the shooter, on its facing side.
        const bool right = c.shooter.m_nDir > 0;
        x = right ? Trunc32(g.R + 1) : Trunc32(g.L - w + 1);
        y = Trunc32(g.B - h + 1);
        stepX = right ? w + gap : -(w + gap);
    } else {
        y = Trunc32(g.B - h + 1);
        stepY = -(h + gap);
    }
    spec.nStartX = x + spec.nOffsetX;
    spec.nStartY = y + spec.nOffsetY;
    spec.nStepX = stepX;
    spec.nStepY = stepY;
    if (Angled(c, spec)) {
        const double A = aim ? AimedAngle(c, spec, spec.nStartX, spec.nStartY) : DirAngle(spec.nDir) + spec.nAngle;
        AngleVelocity(A, spec.dSpeed, spec.dVelX, spec.dVelY);
    } else {
        DirVelocity(spec.nDir, spec.dSpeed, spec.dVelX, spec.dVelY);
    }
    SpawnLine(c, spec, n);
}

void KindLineA(const SHOTCALL& c, SHOTSPEC& spec) { KindLine(c, spec, false); }
void KindLineB(const SHOTCALL& c, SHOTSPEC& spec) { KindLine(c, spec, true); }

// 拡散: every shot from one point, fanned out by the angle step.
void KindSpread(const SHOTCALL& c, SHOTSPEC& spec) {
    const i32 n = Count(c);
    if (n == 0) return;
    const GRECT g = Graphic(c.scene, c.shooter);
    double a0 = DirAngle(spec.nDir) + spec.nAngle;
    i32 x = 0, y = 0;
    // A turned start goes round the shooter as the centred line's does: aimed, to the target's
    // side, so that the fan never starts behind the shooter and flies back across it.
    if (c.Get(eShot::Placement) && Angled(c, spec)) PlaceAtAngle(c, g, spec, TurnedStartAngle(c, g, spec), x, y);
    else PlaceOutside(g, spec, x, y);
    spec.nStartX = x + spec.nOffsetX;
    spec.nStartY = y + spec.nOffsetY;
    spec.nStepX = spec.nStepY = 0;
    // Decision: aimed, the fan is centred on the target from its start point, without the
    // volley's angle (base angle, angle step, jitter), which the line kinds add to their aim:
    // every volley of an aimed spread is centred on the target. With no target it keeps a0.
    double toward = 0;
    if (c.Get(eShot::AimAtFire) && AimAngleAt(c, spec.nStartX + spec.nWidth / 2, spec.nStartY + spec.nHeight / 2, spec, toward))
        a0 = toward;
    const double step = static_cast<double>(c.Get(eShot::KindParam1));
    const double first = n % 2 == 0 ? a0 - (n / 2 - 0.5) * step : a0 - (n / 2) * step;
    spec.nX = spec.nStartX;
    spec.nY = spec.nStartY;
    for (i32 i = 0; i < n; ++i) {
        AngleVelocity(first + i * step, spec.dSpeed, spec.dVelX, spec.dVelY);
        SpawnFromCommand(c, spec);
    }
}

// 落雷: the shots enter from the view's edge behind their flight, in rows across it, centred on
// the centre object.
void KindThunder(const SHOTCALL& c, SHOTSPEC& spec) {
    const i32 n = Count(c);
    cObj* centre = CentreObject(c);
    if (n == 0 || !centre) return;
    const GRECT g = Graphic(c.scene, *centre);
    const double vx0 = c.scene.m_ScrollX.m_dPos, vy0 = c.scene.m_ScrollY.m_dPos;
    const i32 w = spec.nWidth, h = spec.nHeight;
    const i32 sx = SenseX(spec.nDir), sy = SenseY(spec.nDir);
    const bool diagonal = sx != 0 && sy != 0;
    i32 x = sx < 0 ? Trunc32(vx0 + 640 - w) : sx > 0 ? Trunc32(vx0) : Trunc32(g.CX() - w / 2);
    i32 y = sy < 0 ? Trunc32(vy0 + 480 - h) : sy > 0 ? Trunc32(vy0) : Trunc32(g.CY() - h / 2);
    x += spec.nOffsetX;
    y += spec.nOffsetY;

    // Along the flight: each shot one size (and the gap) behind the one before.
    const i32 gap = SysSwitch(SW_THUNDER_GAP) ? 0 : static_cast<i32>(c.Get(eShot::KindParam1)) * 16;
    const double along = diagonal ? kInvSqrt2 : 1.0;
    spec.nStepX = Trunc32(-sx * (w + gap) * along);
    spec.nStepY = Trunc32(-sy * (h + gap) * along);
    // Across it: the rows, centred (the editor's 1 to 50 rows).
    const i32 rows = std::clamp<i32>(static_cast<i32>(c.Get(eShot::KindParam2)), 1, 50);
    const i32 spacing = static_cast<i32>(c.Get(eShot::KindParam3)) * 16;
    i32 rowX = 0, rowY = 0;
    if (diagonal) {
        rowX = Trunc32(-sy * spacing * kInvSqrt2);
        rowY = Trunc32(sx * spacing * kInvSqrt2);
    } else if (sy == 0) {
        rowY = spacing;
    } else {
        rowX = spacing;
    }
    const double back = (rows - 1) / 2 + (rows % 2 == 0 ? 0.5 : 0.0);
    x -= Trunc32(rowX * back);
    y -= Trunc32(rowY * back);
    spec.nStartX = x;
    spec.nStartY = y;
    if (HasAngle(spec)) AngleVelocity(DirAngle(spec.nDir) + spec.nAngle, spec.dSpeed, spec.dVelX, spec.dVelY);
    else DirVelocity(spec.nDir, spec.dSpeed, spec.dVelX, spec.dVelY);
    for (i32 i = 0; i < n; ++i) {
        for (i32 r = 0; r < rows; ++r) {
            spec.nX = x + i * spec.nStepX + r * rowX;
            spec.nY = y + i * spec.nStepY + r * rowY;
            SpawnFromCommand(c, spec);
        }
    }
}

// 爆発: every shot from the shooter's centre, evenly round the circle.
void KindBurst(const SHOTCALL& c, SHOTSPEC& spec) {
    const i32 n = Count(c);
    if (n <= 0) return;
    const GRECT g = Graphic(c.scene, c.shooter);
    spec.nStartX = spec.nX = Trunc32(g.CX() - spec.nWidth / 2) + spec.nOffsetX;
    spec.nStartY = spec.nY = Trunc32(g.CY() - spec.nHeight / 2) + spec.nOffsetY;
    spec.nStepX = spec.nStepY = 0;
    const double a0 = DirAngle(spec.nDir) + spec.nAngle;
    for (i32 k = 0; k < n; ++k) {
        AngleVelocity(a0 + k * 360.0 / n, spec.dSpeed, spec.dVelX, spec.dVelY);
        SpawnFromCommand(c, spec);
    }
}

// 包囲: a ring round the centre object, every shot flying toward its centre.
void KindSurround(const SHOTCALL& c, SHOTSPEC& spec) {
    const i32 n = Count(c);
    cObj* centre = CentreObject(c);
    if (n <= 0 || !centre) return;
    const GRECT g = Graphic(c.scene, *centre);
    const double r = static_cast<double>(c.Get(eShot::KindParam1)) * 16;
    const double a0 = DirAngle(spec.nDir) + spec.nAngle;
    spec.nStepX = spec.nStepY = 0;
    for (i32 k = 0; k < n; ++k) {
        const double a = (a0 + k * 360.0 / n) * kDegToRad;
        spec.nX = Trunc32(g.CX() + std::cos(a) * r + 0.5) - spec.nWidth / 2 + spec.nOffsetX;
        spec.nY = Trunc32(g.CY() + std::sin(a) * r + 0.5) - spec.nHeight / 2 + spec.nOffsetY;
        spec.dVelX = -std::cos(a) * spec.dSpeed;
        spec.dVelY = -std::sin(a) * spec.dSpeed;
        SpawnFromCommand(c, spec);
    }
}

using KINDROUTINE = void (*)(const SHOTCALL&, SHOTSPEC&);
constexpr KINDROUTINE kKind[6] = {KindLineA, KindLineB, KindSpread, KindThunder, KindBurst, KindSurround};

// The shooter's screen position, and those of the objects in the definition's two target slots
// (stage characters only: the others keep theirs up to date themselves).
void RefreshScreenPositions(const SHOTCALL& c) {
    auto refresh = [](cObj* o) {
        if (o && o->m_nKind == 1) o->ScreenPos();
    };
    refresh(&c.shooter);
    const i64 a = c.Get(eShot::TargetSlot), b = c.Get(eShot::SecondTargetSlot);
    refresh(TargetInSlot(c.shooter, a));
    if (b != a) refresh(TargetInSlot(c.shooter, b));
}

} // namespace

i32 ResolveShotDirection(cGameScene& scene, const cChara& shooter, i32 code) {
    const bool right = shooter.m_nDir > 0;
    switch (code) {
    case 0: return right ? 3 : 2;
    case 1: return right ? 2 : 3;
    case 4: return right ? 7 : 6;
    case 5: return right ? 6 : 7;
    case 12:
        // The direction held on the hero's keys; none is the facing ("前").
        return ResolveShotDirection(scene, shooter, CmdParamKindValue(scene, 12));
    default: return code;
    }
}

void RunShotKind(const SHOTCALL& c, SHOTSPEC& spec) {
    const i64 kind = c.Get(eShot::ShotKind);
    if (kind >= 0 && kind < 6) kKind[kind](c, spec);
}

bool AimAngleAt(const SHOTCALL& c, double x, double y, SHOTSPEC& spec, double& angle) {
    const cObj* t = TargetInSlot(c.shooter, c.Get(eShot::TargetSlot));
    if (!t) return false;
    const GRECT g = Graphic(c.scene, *t);
    const cScrollAxis &sx = c.scene.m_ScrollX, &sy = c.scene.m_ScrollY;
    const bool scrolling = (sx.m_dSpeed != 0 && sx.m_bAuto) || (sy.m_dSpeed != 0 && sy.m_bAuto);
    if (!scrolling || c.Get(eShot::Homing) || !t->m_bScrollSync) {
        angle = std::atan2(y - g.CY(), x - g.CX()) / kDegToRad;
        return true;
    }
    // The target rides the scroll and the shot does not: aim where the two meet. The trial shot
    // is a local that joins no list.
    cShot trial;
    trial.Init(kCmdShot, c.shooter, c.def, spec);
    const double u = SpeedUnit();
    const double speed =
        ((static_cast<double>(c.Get(eShot::SpeedStep)) * spec.nIndex + static_cast<double>(c.Get(eShot::Speed))) * 0.1) / u;
    double vx = 0, vy = 0;
    AimVelocity(c.scene, trial, x, y, g.CX(), g.CY(), speed, false, AIM_SCROLL_ALWAYS, vx, vy);
    angle = std::atan2(-vy, -vx) / kDegToRad;
    spec.dSpeed = std::sqrt(vx * vx + vy * vy) * u;
    return true;
}

void SpawnFromCommand(const SHOTCALL& c, const SHOTSPEC& spec) {
    if (c.cmdKind >= 13 && c.cmdKind <= 15) {
        SpawnSummon(c, spec);
        return;
    }
    // Built where it lives: no temporary copy exists whose end could touch the live shot.
    auto made = std::make_unique<cShot>();
    made->Init(kCmdShot, c.shooter, c.def, spec);
    cShot& s = c.scene.AddShot(std::move(made));
    const i64 mode = s.Def(eShot::AimMode);
    if (mode == 3 || mode == 6) {
        if (cChara* t = s.m_AimTarget.Chara()) {
            const OBJREF ref{s.Handle(), kRefAimingShot};
            // Entries of shots that are gone are dropped here, so the list never grows past the
            // shots alive.
            std::erase_if(t->m_vRefBy, [](const OBJREF& r) { return !r.obj; });
            if (std::find(t->m_vRefBy.begin(), t->m_vRefBy.end(), ref) == t->m_vRefBy.end()) t->m_vRefBy.push_back(ref);
            s.m_RefEntry.h = ref.obj;
        }
    } else {
        s.m_AimTarget.Reset();
    }
    if (cChara* owner = s.m_Owner.Chara()) {
        cVector<cObjHandle>& children = owner->m_vChildShot;
        std::erase_if(children, [](const cObjHandle& h) { return !h; });
        const cObjHandle h = s.Handle();
        if (std::find(children.begin(), children.end(), h) == children.end()) children.insert(children.begin(), h);
    }
}

void FireShot(cGameScene& scene, cChara& shooter, cCmdRun& run, const cEdShot& def) {
    const SHOTCALL c{scene, shooter, &run, def, kCmdShot};
    SHOTSPEC spec;
    spec.nWidth = spec.nHeight = static_cast<i32>(std::max<i64>(1, Sv(def, eShot::Scale))) * 16;
    spec.nDir = ResolveShotDirection(scene, shooter, static_cast<i32>(Sv(def, eShot::DirectionCode)));
    RefreshScreenPositions(c);

    const bool right = shooter.m_nDir > 0;
    const i64 base = Sv(def, eShot::BaseAngle), jitter = Sv(def, eShot::AngleJitter);
    auto volleyAngle = [&](i64 a) {
        if (right && Sv(def, eShot::MirrorAngle)) a = 360 - a;
        if (jitter != 0) a += scene.RandRange(static_cast<i32>(-jitter), static_cast<i32>(jitter));
        return static_cast<i32>(a);
    };
    double speed = static_cast<double>(Sv(def, eShot::Speed)) * 0.1;
    const double speedStep = static_cast<double>(Sv(def, eShot::SpeedStep)) * 0.1;
    i32 angle = volleyAngle(base);
    i32 range = static_cast<i32>(Sv(def, eShot::Range)), life = static_cast<i32>(Sv(def, eShot::Life));
    const i32 volleys = std::max<i32>(0, static_cast<i32>(Sv(def, eShot::ExtraVolleys))) + 1;
    const i32 facing = right ? 1 : 0;
    for (i32 i = 0; i < volleys; ++i) {
        spec.nIndex = static_cast<i16>(i);
        spec.dSpeed = speed;
        spec.nAngle = angle;
        spec.nRange = range;
        spec.nLife = life;
        spec.nOffsetX = Trunc32(def.GetOffsetX(i, facing));
        spec.nOffsetY = Trunc32(def.GetOffsetY(i, facing));
        RunShotKind(c, spec);
        speed += speedStep;
        angle = volleyAngle(Sv(def, eShot::AngleStep) * (i + 1) + base);
        range += static_cast<i32>(Sv(def, eShot::RangeStep));
        life += static_cast<i32>(Sv(def, eShot::LifeStep));
    }
}

namespace {

// Rows from 1 name a sword type (row 0 is the list's empty record); a row without parts gives
// no sword.
bool IsSwordRow(i64 row) {
    const cVector<cSwordTypeData>& types = g_Database.m_vSwordType;
    return row >= 1 && row < types.Size() && !types[row].vPart.empty();
}

} // namespace

i32 SwordGraphicRow(const cEdShot& def) {
    const i64 n = Sv(def, eShot::Picture);
    return IsSwordRow(n) ? static_cast<i32>(n) : -1;
}

i32 SwordFormRow(const cEdShot& def) {
    // Decision: the graphic number's row gives a sword its parts and its pictures alike (the
    // kit's data names one row for both); when that row is not valid, the sword still swings,
    // undrawn, with the parts of the row its type byte (the aim-mode byte) names.
    const i64 n = Sv(def, eShot::Picture);
    if (IsSwordRow(n)) return static_cast<i32>(n);
    const i64 form = Sv(def, eShot::AimMode);
    return IsSwordRow(form) ? static_cast<i32>(form) : -1;
}

void StartSword(cGameScene& scene, cChara& owner, cCmdRun&, const cEdShot& def) {
    // A sword with no row of parts at all has no size and no time to swing: none is made.
    if (SwordFormRow(def) < 0) return;
    SHOTSPEC spec;
    spec.nX = Trunc32(owner.m_dX);
    spec.nY = Trunc32(owner.m_dY);
    auto sword = std::make_unique<cShot>();
    sword->Init(kCmdSword, owner, def, spec);
    scene.AddShot(std::move(sword));
}
