// Movement commands (kinds 2-8) and the routines they share.
#include "flow/commands/Movement.h"

#include <algorithm>
#include <cmath>

#include "database/SystemSwitches.h"
#include "flow/commands/Commands.h"
#include "play/GameScene.h"
#include "play/objects/CharaSetup.h"
#include "play/rules/Collision.h"
#include "play/rules/Motion.h"
#include "records/EdSettings.h"

namespace {

constexpr double kMoveDegToRad = 0.017453292519943278;
constexpr double kRadToDeg = 57.29577951308239;
// 1 / sqrt 2 for the diagonals, computed once.
const double kMoveInvSqrt2 = 1.0 / std::sqrt(2.0);

// The coordinate bases of a target move.
enum : i32 { BASE_PLACEMENT = 0, BASE_RELATIVE = 1, BASE_ABSOLUTE = 2, BASE_SCREEN = 3 };
// Ways of giving a move.
enum : i32 { WAY_DIRECTION = 0, WAY_TARGET = 1 };

TOBRELK_SETTING_READ i64 Move(const cEdMove& m, eMove s) { return MoveSettings::Get(m, s); }

const cEdMove* MoveOf(const cCmdRun& run) { return run.m_pCmd ? run.m_pCmd->move.get() : nullptr; }

// A double that became infinite or not a number (a wild speed) counts as 0.
double Finite(double v) { return std::isfinite(v) ? v : 0.0; }

void ClearCmdAccum(cChara& c) { c.m_dCmdAccum[0] = c.m_dCmdAccum[1] = 0.0; }

// The first frame's common set-up of every movement: the direction setting becomes the run's
// direction selector, the move's second speed the inertial limit (in the run's speed units).
void StartMove(cChara& c, cCmdRun& run, const cEdMove& m) {
    run.m_bStarted = 1;
    run.m_nDirSel = static_cast<i32>(Move(m, eMove::Direction));
    run.m_dMaxInertial = Move(m, eMove::Inertial) ? Move(m, eMove::InertialMaxSpeed) / 10.0 / SpeedUnit() : 0.0;
    run.m_nFacingSeen = c.m_nDir;
}

i32 RequestFor(double vx) {
    if (vx <= -1e-8) return FACE_LEFT;
    if (vx >= 1e-8) return FACE_RIGHT;
    return FACE_KEEP;
}

// The base angle of a direction code (0 left, 90 up).
i32 CodeAngle(i32 code) {
    switch (code) {
    case MDIR_LEFT: return 0;
    case MDIR_RIGHT: return 180;
    case MDIR_UP: return 90;
    case MDIR_DOWN: return 270;
    case MDIR_UP_LEFT: return 45;
    case MDIR_DOWN_LEFT: return 315;
    case MDIR_UP_RIGHT: return 135;
    case MDIR_DOWN_RIGHT: return 225;
    default: return 0;
    }
}

i32 CodeRequest(const cChara& c, i32 code) {
    if (c.m_bFixedFacing) return FACE_KEEP;
    switch (code) {
    case MDIR_LEFT:
    case MDIR_UP_LEFT:
    case MDIR_DOWN_LEFT: return FACE_LEFT;
    case MDIR_RIGHT:
    case MDIR_UP_RIGHT:
    case MDIR_DOWN_RIGHT: return FACE_RIGHT;
    default: return FACE_KEEP;
    }
}

// The target slot a charge or homing move follows: null when the selector is not a slot (a
// damaged record), the slot is empty, or its character is dying.
cChara* FollowedTarget(const cChara& c, const cEdMove& m) {
    const i64 slot = Move(m, eMove::TargetSlot);
    if (slot < 0 || slot >= static_cast<i64>(c.m_aTarget.size())) return nullptr;
    cChara* t = c.m_aTarget[static_cast<std::size_t>(slot)].Chara();
    return t && !t->IsDying() ? t : nullptr;
}

// What a charge or homing move does first: its record and the target it follows, the
// command-move accumulators cleared; without a target (null) the velocity is 0 and nothing more
// happens.
const cChara* FollowStart(cChara& c, cCmdRun& run, const cEdMove*& m) {
    m = MoveOf(run);
    const cChara* t = m ? FollowedTarget(c, *m) : nullptr;
    if (!t) {
        run.m_dVelX = run.m_dVelY = 0;
        return nullptr;
    }
    ClearCmdAccum(c);
    return t;
}

// The point a charge or homing move heads for: the target's centre plus the run's offset on the
// used axes, the character's own centre on the others.
void FollowPoint(cChara& c, const cChara& t, const cCmdRun& run, const cEdMove& m, double& x, double& y) {
    MoveCentre(c, x, y);
    GetTargetPoint(t, run.m_nTargetX, run.m_nTargetY, Move(m, eMove::XUsed) != 0, Move(m, eMove::YUsed) != 0, x, y);
}

// Steers toward a point: both axes for a flying character, x only (the step toward it) for one
// that walks.
void HeadFor(cChara& c, cCmdRun& run, const cEdMove& m, double x, double y) {
    double cx = 0, cy = 0;
    MoveCentre(c, cx, cy);
    if (c.IsFlying()) {
        SteerToward(c, run, m, x, y, cx, cy, run.m_dSpeed);
        return;
    }
    double v = 0;
    StepTowardX(c, x, run.m_dSpeed, false, v);
    run.m_dVelX = Move(m, eMove::LockX) ? 0.0 : v;
    run.m_dVelY = 0;
    run.m_nFacingReq = c.m_bFixedFacing ? FACE_KEEP : RequestFor(run.m_dVelX);
}

// ---- Ground turn ----

// The block-map cells the ground turn asks of a walker's step (three, mostly): the cell under a
// world pixel, its column kept inside the map, solid as IsBlockSolid answers; the map's last
// column is found once for the step's cells.
class GroundCells {
public:
    GroundCells(cGameScene& s, const cChara& c)
        : m_s(s), m_lastCol(std::max(0, s.m_vBlockMap.StageWidth() + 2 * cBlockMap::kMargin - 1)),
          m_side(static_cast<i32>(c.m_nBlockSide)) {}

    bool Solid(double x, double y) const {
        const i32 col = std::min(std::max(Trunc32(x) >> 5, 0), m_lastCol);
        // Outside the map (its row is: the column is kept inside) nothing is solid.
        const i32 cell = m_s.m_vBlockMap.Index(col, Trunc32(y) >> 5);
        return cell >= 0 && IsBlockSolidInMap(m_s, cell, m_side) != 0;
    }
    i32 Rows() const { return m_s.m_vBlockMap.Rows(); }

private:
    cGameScene& m_s;
    i32 m_lastCol, m_side;
};

// The wall the character walks into: a solid cell just past its leading edge, or a block
// character that its box touches when moved a pixel that way (dir 1 right, -1 left). The block
// character, when it is one, is handed back.
bool WallAhead(cGameScene& s, const GroundCells& cells, const cChara& c, i32 dir, cStageChara*& mover) {
    mover = nullptr;
    const double x = dir > 0 ? c.m_dRight + 1 : c.m_dX - 1;
    // The leading edge is looked at every 32 dots down from the top, the last time at the
    // bottom. Each point is the top plus 32 added up as ever (a position a hair above a cell's
    // edge keeps its row), and each is asked in turn (a block's appearance conditions may draw
    // a random number at every ask); the walk ends on a count, never on a comparison that a NaN
    // or a far position defeats. Nothing is solid below the map's last row, where the walk ends.
    // A row of the map holds one point (the bottom's may share the row before it, and so may
    // the first point at or below 0), so twice the map's rows and four points reach the map's
    // end from a top as far above the map as the map is high. No box of a real stage reaches
    // that far up; one that does is looked at no further.
    const i32 points = 2 * cells.Rows() + 4;
    double y = c.m_dY;
    for (i32 k = 0; k < points; ++k, y += 32) {
        const double at = std::min(y, c.m_dBottom);
        if (cells.Solid(x, at)) return true;
        if (!(y < c.m_dBottom) || Trunc32(at) >> 5 >= cells.Rows()) break;
    }
    HITRECT box;
    box.left = c.m_dX + dir;
    box.right = c.m_dRight + dir;
    box.top = c.m_dY;
    box.bottom = c.m_dBottom;
    mover = OverlapsBlockCharaBox(s, box, &c, true, c.m_nId);
    return mover != nullptr;
}

} // namespace

// ---- Shared routines ----------------------------------------------------------------------------

void MoveCentre(cChara& c, double& x, double& y) {
    c.ScreenPos();
    const cGameScene* s = c.m_pScene;
    x = c.ScreenCentreX() + (s ? Trunc32(s->m_ScrollX.m_dPos) : 0);
    y = c.ScreenCentreY() + (s ? Trunc32(s->m_ScrollY.m_dPos) : 0);
}

void SetupMoveAngle(cChara& c, cCmdRun& run) {
    const cEdMove* m = MoveOf(run);
    if (!m) return;
    i64 a = Move(*m, eMove::Angle) + Move(*m, eMove::AngleStep) * c.m_nSpawnIndex;
    if (Move(*m, eMove::MirrorAngle) && c.m_bMirrored == 1) a = 360 - a;
    if (a >= 360) a %= 360;
    run.m_nAngle = static_cast<i32>(a);
}

void SetupMoveTarget(cChara& c, cCmdRun& run) {
    const cEdMove* m = MoveOf(run);
    if (!m) return;
    i32 x = static_cast<i32>(Move(*m, eMove::TargetXBl) * 32 + Move(*m, eMove::TargetXDot));
    i32 y = static_cast<i32>(Move(*m, eMove::TargetYBl) * 32 + Move(*m, eMove::TargetYDot));
    if (c.m_bMirrored == 1) {
        if (Move(*m, eMove::MirrorTargetX)) x = -x;
        if (Move(*m, eMove::MirrorTargetY)) y = -y;
    }
    run.m_nTargetX = x;
    run.m_nTargetY = y;
}

i32 MapMoveDirection(const cChara& c, i32 choice, bool allowDiagonal) {
    const bool right = c.m_nDir > 0;
    i32 code = MDIR_NONE;
    switch (choice) {
    case MOVE_FRONT: code = right ? MDIR_RIGHT : MDIR_LEFT; break;
    case MOVE_BACK: code = right ? MDIR_LEFT : MDIR_RIGHT; break;
    case MOVE_FRONT_Y: code = right ? MDIR_DOWN : MDIR_UP; break;
    case MOVE_BACK_Y: code = right ? MDIR_UP : MDIR_DOWN; break;
    case MOVE_INPUT:
        // The direction held when the flow started, as shots and summons read it (older data
        // sees only the side held; none held is "前").
        return c.m_pScene ? MapMoveDirection(c, CmdParamKindValue(*c.m_pScene, MOVE_INPUT), allowDiagonal) : MDIR_NONE;
    default:
        // The absolute choices are their codes.
        code = choice >= MOVE_LEFT && choice <= MOVE_DOWN_RIGHT ? choice : MDIR_NONE;
        break;
    }
    if (!allowDiagonal) {
        if (code == MDIR_UP_LEFT || code == MDIR_DOWN_LEFT) code = MDIR_LEFT;
        else if (code == MDIR_UP_RIGHT || code == MDIR_DOWN_RIGHT) code = MDIR_RIGHT;
    }
    return code;
}

void DirectionVector(i32 code, double len, double& dx, double& dy) {
    dx = dy = 0;
    const double d = len * kMoveInvSqrt2;
    switch (code) {
    case MDIR_LEFT: dx = -len; break;
    case MDIR_RIGHT: dx = len; break;
    case MDIR_UP: dy = -len; break;
    case MDIR_DOWN: dy = len; break;
    case MDIR_UP_LEFT: dx = -d, dy = -d; break;
    case MDIR_DOWN_LEFT: dx = -d, dy = d; break;
    case MDIR_UP_RIGHT: dx = d, dy = -d; break;
    case MDIR_DOWN_RIGHT: dx = d, dy = d; break;
    default: break;
    }
}

void VelocityByDirection(const cChara& c, double& vx, double& vy, i32& facingReq, double speed, i32 code) {
    double y = 0;
    DirectionVector(code, speed, vx, y);
    vy = c.IsFlying() ? y : 0.0;
    facingReq = CodeRequest(c, code);
}

void VelocityByDirectionAngle(const cChara& c, double& vx, double& vy, i32& facingReq, double speed, i32 code,
                              i32 angle) {
    vx = vy = 0;
    facingReq = CodeRequest(c, code);
    if (code == MDIR_NONE) return;
    const double t = (static_cast<double>(CodeAngle(code)) + angle) * kMoveDegToRad;
    vx = -std::cos(t) * speed;
    if (c.IsFlying()) vy = -std::sin(t) * speed;
}

void VelocityToTarget(cChara& c, double& vx, double& vy, i32& facingReq, double speed, i32 tx, i32 ty,
                      const cEdMove& move, i32& framesLeft) {
    vx = vy = 0;
    facingReq = FACE_KEEP;
    double cx = 0, cy = 0;
    MoveCentre(c, cx, cy);
    const cGameScene* s = c.m_pScene;
    const double sx = s ? s->m_ScrollX.m_dPos : 0.0, sy = s ? s->m_ScrollY.m_dPos : 0.0;
    const bool useX = Move(move, eMove::XUsed) != 0, useY = Move(move, eMove::YUsed) != 0;
    double dx = 0, dy = 0;
    // Decision: "the placement position" is the centre of the cell the character was placed on;
    // each copy of a repeated placement has its own, its home (moved by the copy's offset unless
    // homes are fixed).
    const double origin = cBlockMap::kMargin * 32;
    switch (Move(move, eMove::CoordBase)) {
    case BASE_PLACEMENT:
        if (const cStageChara* sc = c.AsStageChara()) {
            // The home is where the copy's picture was put: its cell's corner + offset + 0.5.
            dx = tx + sc->m_dHomeX - sc->m_nGfxOffX0 - 0.5 + 16 - cx;
            dy = ty + sc->m_dHomeY - sc->m_nGfxOffY0 + 16 - cy;
        } else {
            dx = tx + origin + c.m_nCellX * 32.0 + 16 - cx;
            dy = ty + origin + c.m_nCellY * 32.0 + 16 - cy;
        }
        break;
    case BASE_RELATIVE:
        dx = tx;
        dy = ty;
        break;
    case BASE_ABSOLUTE:
        dx = origin + tx + 16 - cx;
        dy = origin + ty + 16 - cy;
        break;
    case BASE_SCREEN:
        dx = tx + sx + 16 - cx;
        dy = ty + sy + 16 - cy;
        break;
    default: break;
    }
    if (!useX) dx = 0;
    if (!useY) dy = 0;
    const double dist = std::sqrt(dx * dx + dy * dy);
    const bool lockX = Move(move, eMove::LockX) != 0, lockY = Move(move, eMove::LockY) != 0;
    if (dist > 0) {
        vx = lockX ? 0.0 : Finite(dx / dist * speed);
        vy = lockY ? 0.0 : Finite(dy / dist * speed);
    }
    if (!c.m_bFixedFacing) facingReq = RequestFor(vx);
    if (Move(move, eMove::DeriveDuration) && speed != 0 && std::isfinite(speed)) {
        framesLeft = Trunc32(std::fabs(dist) / std::fabs(speed));
        if (Move(move, eMove::StopWhenArrived) && framesLeft < 1) {
            if (useX && !lockX) vx = 0;
            if (useY && !lockY) vy = 0;
            facingReq = FACE_KEEP;
        }
    }
}

// Decision: the character's steer is the straight velocity of the given speed toward the point
// (as the target move's), a locked axis giving 0; it does not correct for the auto-scroll.
void SteerToward(const cChara& c, cCmdRun& run, const cEdMove& move, double tx, double ty, double cx, double cy,
                 double speed) {
    const double dx = tx - cx, dy = ty - cy;
    const double dist = std::sqrt(dx * dx + dy * dy);
    run.m_dVelX = run.m_dVelY = 0;
    if (dist > 0 && std::isfinite(dist)) {
        if (!Move(move, eMove::LockX)) run.m_dVelX = Finite(dx / dist * speed);
        if (!Move(move, eMove::LockY)) run.m_dVelY = Finite(dy / dist * speed);
    }
    run.m_nFacingReq = c.m_bFixedFacing ? FACE_KEEP : RequestFor(run.m_dVelX);
}

void AvoidScreenOutVelocity(cChara& c, cCmdRun& run, const cEdMove& move) {
    run.m_dVelX = run.m_dVelY = 0;
    run.m_nFacingReq = FACE_KEEP;
    const cGameScene* s = c.m_pScene;
    if (!s) return;
    const i32 code = MapMoveDirection(c, static_cast<i32>(Move(move, eMove::Direction)), true);
    const bool left = code == MDIR_LEFT || code == MDIR_UP_LEFT || code == MDIR_DOWN_LEFT;
    const bool right = code == MDIR_RIGHT || code == MDIR_UP_RIGHT || code == MDIR_DOWN_RIGHT;
    const bool up = code == MDIR_UP || code == MDIR_UP_LEFT || code == MDIR_UP_RIGHT;
    const bool down = code == MDIR_DOWN || code == MDIR_DOWN_LEFT || code == MDIR_DOWN_RIGHT;
    c.ScreenPos();
    const SCREENRECT& r = c.m_rcScreen;
    const double speed = run.m_dSpeed;
    // One axis: lo and hi are the screen rectangle's near and far edges, view the screen length
    // (640 or 480). Decision: the screen counts as scrolling while its auto-scroll runs and has
    // not reached the end of its bounds (the axis's limit flag), and "the view can still scroll"
    // is read against the axis's own bounds.
    auto axis = [&](const cScrollAxis& a, bool back, bool ahead, i32 lo, i32 hi, i32 view, double& v) {
        const double t = a.m_bAuto ? a.m_dSpeed : 0.0;
        const double pos = a.m_dPos, end = static_cast<double>(a.m_nUpper) - a.m_nView;
        if (t != 0 && !a.m_bLimitHit) {
            const double m = std::fabs(t + 1);
            if (back && lo > view - 32 - m && pos > a.m_nLower && pos + t <= end) v = t - speed;
            if (ahead && hi < m + 32 && pos + t > a.m_nLower && pos < end) v = t + speed;
            return;
        }
        if (back && lo > view - 32) v = -speed;
        if (ahead && hi < 32) v = speed;
    };
    axis(s->m_ScrollX, left, right, r.left, r.right, 640, run.m_dVelX);
    axis(s->m_ScrollY, up, down, r.top, r.bottom, 480, run.m_dVelY);
}

void ApplyMoveVelocity(cChara& c, double vx, double vy, i32 facingReq, cCmdRun& run, const cEdMove& move,
                       bool force) {
    if ((!c.m_bFixedFacing || force) && !Move(move, eMove::KeepFacing)) {
        if (facingReq == FACE_LEFT) c.m_nDir = 0;
        else if (facingReq == FACE_RIGHT) c.m_nDir = 1;
    }
    c.m_bMoveDisabled = 0;
    if (!Move(move, eMove::Inertial)) {
        c.m_dSpeedX += vx;
        c.m_dSpeedY += vy;
    } else {
        // The push grows the inertial speed, by the move's acceleration while it works against
        // it; a push along it keeps the momentum from fading this step.
        const double limit = std::fabs(run.m_dMaxInertial);
        const double accel = MoveSettings::GetDouble(move, eMove::InertialAccel);
        auto push = [&](double& inertial, u32& fade, double v) {
            double step = SpeedPerFrame(v);
            if ((inertial < 0 && v > 0) || (inertial > 0 && v < 0)) step *= accel;
            else fade = 0;
            inertial = std::clamp(Finite(inertial + step), -limit, limit);
        };
        push(c.m_dAccelX, c.m_bDecelX, vx);
        push(c.m_dAccelY, c.m_bDecelY, vy);
    }
    if (!Move(move, eMove::PlayAnime)) {
        c.m_bMovedByCmd = 1;
        AnimeSetPatternIfNew(c.m_Anim, c.IsFlying() ? 3 : 1, 0);
    }
}

// ---- Executors ----------------------------------------------------------------------------------

i32 CmdNop(cChara&, cCmdRun&) { return 0; }

void CmdMoveLine(cChara& c, cCmdRun& run) {
    const cEdMove* m = MoveOf(run);
    if (!m) return;
    ClearCmdAccum(c);
    const bool byDirection = Move(*m, eMove::Way) != WAY_TARGET;
    if (!run.m_bStarted) {
        StartMove(c, run, *m);
        SetupMoveAngle(c, run);
        if (byDirection) {
            const i32 code = MapMoveDirection(c, run.m_nDirSel, true);
            if (run.m_nAngle == 0) VelocityByDirection(c, run.m_dVelX, run.m_dVelY, run.m_nFacingReq, run.m_dSpeed, code);
            else VelocityByDirectionAngle(c, run.m_dVelX, run.m_dVelY, run.m_nFacingReq, run.m_dSpeed, code, run.m_nAngle);
        } else {
            SetupMoveTarget(c, run);
            VelocityToTarget(c, run.m_dVelX, run.m_dVelY, run.m_nFacingReq, run.m_dSpeed, run.m_nTargetX, run.m_nTargetY,
                             *m, run.m_nFramesLeft);
        }
    } else if (Move(*m, eMove::FlipWithFacing) && c.m_bFixedFacing == 1 && c.m_nDir != run.m_nFacingSeen &&
               (SysSwitch(SW_LINE_FLIP) || byDirection)) {
        run.m_dVelX = -run.m_dVelX;
        run.m_dVelY = -run.m_dVelY;
    }
    if (!c.IsFlying()) run.m_dVelY = 0;
    if (!SysSwitch(SW_LINE_LOCK)) {
        if (Move(*m, eMove::LockX)) run.m_dVelX = 0;
        if (Move(*m, eMove::LockY)) run.m_dVelY = 0;
    }
    ApplyMoveVelocity(c, run.m_dVelX, run.m_dVelY, run.m_nFacingReq, run, *m, false);
    run.m_nFacingSeen = c.m_nDir;
}

void CmdMoveGroundTurn(cChara& c, cCmdRun& run) {
    const cEdMove* m = MoveOf(run);
    if (!m || c.IsFlying()) return;
    ClearCmdAccum(c);
    if (!run.m_bStarted) StartMove(c, run, *m);
    const i32 facing = c.DirSign();
    run.m_dVelX = run.m_dSpeed * facing;
    run.m_dVelY = 0;
    run.m_nFacingReq = FACE_KEEP;
    const i32 turn = facing > 0 ? FACE_LEFT : FACE_RIGHT;
    // Decision: the carried velocities are the knock-back's; while it carries the character the
    // walk goes on without looking for walls and edges.
    cGameScene* s = c.m_pScene;
    if (s && c.m_dKnockX == 0 && c.m_dVMotion == 0) {
        // Decision: the wall is looked for ahead of the character (the contact flags of the
        // block probes are cleared before the flows run); a block character that is the wall
        // adds its movement since the last step, twice when it comes toward the character.
        const GroundCells cells(*s, c);
        cStageChara* mover = nullptr;
        if (WallAhead(*s, cells, c, facing, mover)) {
            run.m_nFacingReq = turn;
            run.m_dVelX = -run.m_dVelX;
            if (mover) {
                const double moved = mover->m_dX - mover->m_dSaved[0];
                run.m_dVelX += moved * (moved * facing < 0 ? 2 : 1);
            }
        } else {
            // The feet: the leading one just past the edge the walk goes toward (the facing side
            // when the speed is negative, for older data), the trailing one under the other edge.
            const i32 ahead = run.m_dSpeed < 0 && !SysSwitch(SW_GROUND_TURN_NEGATIVE) ? -facing : facing;
            const double lead = ahead > 0 ? c.m_dRight + 1 : c.m_dX - 1;
            const double trail = ahead > 0 ? c.m_dX : c.m_dRight;
            const double feet = c.m_dBottom + 1;
            if (!cells.Solid(lead, feet) && cells.Solid(trail, feet)) run.m_nFacingReq = turn;
        }
    }
    ApplyMoveVelocity(c, run.m_dVelX, run.m_dVelY, run.m_nFacingReq, run, *m, true);
}

void CmdMoveCircle(cChara& c, cCmdRun& run) {
    const cEdMove* m = MoveOf(run);
    if (!m) return;
    const double u = SpeedUnit();
    if (!run.m_bStarted) {
        StartMove(c, run, *m);
        SetupMoveAngle(c, run);
        // The movement start gives the radius (times u, as the wave divides by it), the turning
        // sense after the turn at start and the turn's half circle; the start phase is that
        // turn plus the move's angle. Decision: the speed stays the move's own, because the two
        // times that the movement start would derive it from have no stored field.
        cCmdRun start = run;
        StartMoveCmd(start, c);
        run.m_nKindValue = start.m_nDistance;
        run.m_nDirSel = start.m_nDirSel;
        run.m_nStartPhase = Trunc32((static_cast<double>(start.m_nTurnTime) + run.m_nAngle) * u);
        run.m_dPhaseX = run.m_dPhaseY = run.m_nStartPhase;
    }
    if (run.m_nKindValue == 0) return;
    ClearCmdAccum(c);
    i32 sense = run.m_nDirSel;
    if (sense == 2) sense = c.m_nDir > 0 ? 1 : 0;
    else if (sense == 3) sense = c.m_nDir > 0 ? 0 : 1;
    run.m_dVelX = run.m_dVelY = 0;
    const double speed = run.m_dSpeed, step = u * speed, a = run.m_nKindValue;
    if (!Move(*m, eMove::LockX)) run.m_dVelX = Finite(-WaveVelocity(a, 1, run.m_dPhaseX, step, 0) * speed);
    if (c.IsFlying() && !Move(*m, eMove::LockY))
        run.m_dVelY = Finite(-WaveVelocity(a, 1, run.m_dPhaseY, step, sense == 1 ? 90 : 270) * speed);
    run.m_nFacingReq = FACE_KEEP;
    ApplyMoveVelocity(c, run.m_dVelX, run.m_dVelY, run.m_nFacingReq, run, *m, false);
}

void CmdMoveCharge(cChara& c, cCmdRun& run) {
    const cEdMove* m = nullptr;
    const cChara* t = FollowStart(c, run, m);
    if (!t) return;
    if (!run.m_bStarted) {
        StartMove(c, run, *m);
        SetupMoveAngle(c, run);
        SetupMoveTarget(c, run);
        double x = 0, y = 0;
        FollowPoint(c, *t, run, *m, x, y);
        HeadFor(c, run, *m, x, y);
        if (run.m_nAngle != 0) {
            // The heading in this system's angles (0 left, 90 up): atan2(vx, -vy) + 90 gives the
            // angle whose velocity (-cos, -sin) is the one steered, so a turn of 0 keeps it.
            // Decision: current data turns it by the angle, older data (the switch) against it.
            const double s = std::sqrt(run.m_dVelX * run.m_dVelX + run.m_dVelY * run.m_dVelY);
            const double heading = std::atan2(run.m_dVelX, -run.m_dVelY) * kRadToDeg + 90;
            const double turned = (SysSwitch(SW_CHARGE_ROTATION) ? heading - run.m_nAngle : heading + run.m_nAngle) * kMoveDegToRad;
            run.m_dVelX = Move(*m, eMove::LockX) ? 0.0 : -std::cos(turned) * s;
            run.m_dVelY = Move(*m, eMove::LockY) || !c.IsFlying() ? 0.0 : -std::sin(turned) * s;
            if (!c.m_bFixedFacing) run.m_nFacingReq = RequestFor(run.m_dVelX);
        }
    }
    ApplyMoveVelocity(c, run.m_dVelX, run.m_dVelY, run.m_nFacingReq, run, *m, false);
}

void CmdMoveHoming(cChara& c, cCmdRun& run) {
    const cEdMove* m = nullptr;
    const cChara* t = FollowStart(c, run, m);
    if (!t) return;
    if (!run.m_bStarted) {
        StartMove(c, run, *m);
        SetupMoveTarget(c, run);
        const i64 n = Move(*m, eMove::Homing) + Move(*m, eMove::HomingStep) * c.m_nSpawnIndex;
        run.m_nKindValue = static_cast<i32>(std::clamp<i64>(n, 0, INT32_MAX));
    }
    double x = 0, y = 0;
    FollowPoint(c, *t, run, *m, x, y);
    const i32 n = run.m_nKindValue;
    if (!c.IsFlying() && Move(*m, eMove::LockX)) {
        run.m_dVelX = run.m_dVelY = 0;
        run.m_nFacingReq = FACE_KEEP;
    } else if (n == 0) {
        HeadFor(c, run, *m, x, y);
    } else if (run.m_nFrame == 0) {
        // Follows where the target was n frames ago: the queue holds the point of n frames back.
        run.m_vPoint.assign(1, MOVEPOINT{x, y});
        if (!c.IsFlying()) HeadFor(c, run, *m, x, y);
    } else if (run.m_nFrame % n == 0) {
        if (!run.m_vPoint.empty()) {
            HeadFor(c, run, *m, run.m_vPoint.front().x, run.m_vPoint.front().y);
            run.m_vPoint.erase(run.m_vPoint.begin());
        }
        run.m_vPoint.push_back(MOVEPOINT{x, y});
    }
    ApplyMoveVelocity(c, run.m_dVelX, run.m_dVelY, run.m_nFacingReq, run, *m, false);
    if (run.m_nFrame < INT32_MAX) ++run.m_nFrame;
}

void CmdMoveAvoidScreenOut(cChara& c, cCmdRun& run) {
    const cEdMove* m = MoveOf(run);
    if (!m) return;
    ClearCmdAccum(c);
    if (!run.m_bStarted) StartMove(c, run, *m);
    AvoidScreenOutVelocity(c, run, *m);
    if (!c.IsFlying()) run.m_dVelY = 0;
    ApplyMoveVelocity(c, run.m_dVelX, run.m_dVelY, run.m_nFacingReq, run, *m, false);
    if (run.m_nFrame < INT32_MAX) ++run.m_nFrame;
}

void CmdMoveDisable(cChara& c, cCmdRun&) {
    // The move vector: the speed that the step's base speeds and the moves make (a walker's
    // vertical speed is its fall, which stays).
    c.m_dSpeedX = 0;
    if (c.IsFlying()) c.m_dSpeedY = 0;
    c.m_dAccelX = c.m_dAccelY = 0;
    ClearCmdAccum(c);
    c.m_dKnockX = c.m_dVMotion = 0;
    c.m_bMoveDisabled = 1;
}
