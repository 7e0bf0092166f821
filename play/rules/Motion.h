#pragma once
// Motion of game objects: the per-axis move with the speed limit, the deceleration step, the
// tests against the view and the stage areas, the block effects under the player's feet, the
// rule that keeps the player inside the view, and the geometry the movement commands and the
// shots share (aim, wave, step toward a point, ranges, nearest character).
//
// The steps the objects take themselves, which name no scene, have headers of their own: the
// stage's motion values, the per-axis move with its clamp and the deceleration step
// (MotionStep.h), and the block effects under the feet (MotionFloor.h).
#include <cmath>
#include <span>
#include <vector>

#include "platform/graphics/Graphics.h"
#include "play/rules/MotionFloor.h"
#include "play/rules/MotionStep.h"
#include "records/Stage.h"
#include "records/StageSettings.h"

class cChara;
class cGameScene;
class cObj;
class cPlayer;

// Areas that objects may move in (world pixels, right and bottom exclusive), by clamp mode.
struct PLAYBOUNDS {
    i32 left = 0;
    i32 top = 0;
    i32 right = 0;
    i32 bottom = 0;
};

// The areas of the clamp modes, in world pixels (right and bottom exclusive).
PLAYBOUNDS InnerBounds(const cGameScene& scene);
PLAYBOUNDS OuterBounds(const cGameScene& scene);

// IsOnScreen on the axes asked for only.
i32 IsOnScreenAxes(const cObj& o, bool x, bool y);

// A stage area: which edges of the view it watches and how far beyond them (cells) an object
// may go. Areas 1-3 remove characters and items off the stage, 4 and 5 bound the shots.
struct STAGEAREA {
    bool on[4] = {};     // left, right, bottom, top
    i32 margin[4] = {};  // cells, same order
};
STAGEAREA StageArea(const cStage& st, i32 area);
// True when the object lies beyond the view by more than the margin of a watched edge, or any
// part of it lies outside the stage; never for an object flagged to stay.
bool IsOutOfRange(const cObj& o, const STAGEAREA& area, bool stay = false);

// Keeps the player inside the view while the view auto-scrolls or the player flies:
// MoveCharaX always 0; MoveCharaY 2 when a walking player is pressed out at the bottom.
i32 MoveCharaX(cChara& c);
i32 MoveCharaY(cChara& c);

// ---- Geometry for commands and shots ----

// A cosine wave's velocity for the phase (in steps), advancing the phase by step and wrapping
// it at 360 u: cos((phase / u + offset) r) A r / u with r = period (degrees) in radians.
double WaveVelocity(double amplitude, double period, double& phase, double step, double offset);
// Its acceleration form: -(r sin((phase / u + offset) r) (r / u) A) / u, same advance.
double WaveVelocity2(double amplitude, double period, double& phase, double step, double offset);

// How AimVelocity corrects for the auto-scroll.
enum eAimScroll : i32 {
    AIM_SCROLL_OF_OBJECT = 0, // subtract it for an object that moves with the auto-scroll
    AIM_SCROLL_ALWAYS = 1,    // subtract it whatever the object
};
// The velocity of length speed from (fx, fy) toward (tx, ty) (a distance of 0 counts as 1).
// With diagonal set and a negative speed: |speed| / sqrt 2 on both axes toward the target.
// The system switch that adds the auto-scroll adds the running axes' speeds; otherwise they are
// subtracted for a scroll-synchronised object (or always, by the mode).
void AimVelocity(const cGameScene& scene, const cObj& o, double fx, double fy, double tx, double ty, double speed,
                 bool diagonal, i32 scrollMode, double& vx, double& vy);
// AimVelocity without the auto-scroll: the velocity toward a target (dx, dy) away.
inline void AimDirection(double dx, double dy, double speed, bool diagonal, double& vx, double& vy) {
    if (diagonal && speed < 0) {
        // 1 / sqrt 2, for the fixed diagonal aim.
        const double s = -speed * (1.0 / std::sqrt(2.0));
        vx = dx < 0 ? -s : s;
        vy = dy < 0 ? -s : s;
    } else {
        double dist = std::sqrt(dx * dx + dy * dy);
        if (dist == 0) dist = 1;
        vx = dx / dist * speed;
        vy = dy / dist * speed;
    }
}
// Speed toward a target coordinate on one axis (dir 1 toward smaller, 2 toward larger, 0 none),
// plus the horizontal auto-scroll under the rule of AimVelocity: 1 when the remaining distance
// is not larger than the step.
i32 StepToward(const cGameScene& scene, const cObj& o, double pos, double target, double speed, bool horizontal,
               double& v);
// StepToward on the graphic centre; on arrival, with stop set, the centre is put on the target.
i32 StepTowardX(cChara& c, double target, double speed, bool stop, double& v);
i32 StepTowardY(cChara& c, double target, double speed, bool stop, double& v);
// The target's graphic centre plus the offsets, on the axes the flags say (x, y or both).
void GetTargetPoint(const cObj& target, double offX, double offY, bool useX, bool useY, double& x, double& y);
// The one-dimensional range around pos + size / 2 widened by front and back by the facing.
void RangeFromCentre(i32 pos, i32 size, i32 dir, i32 front, i32 back, i32& lo, i32& hi);
// Whether [pos, pos + size) of another box meets [lo, hi]; tall boxes (size beyond the range)
// meet it when they cover it.
bool IsInRange(i32 lo, i32 hi, i32 pos, i32 size);

// The filters of the character searches.
struct CHARAFILTER {
    bool byCharaId = false;
    i32 charaId = 0;
    bool notId = false;
    u32 id = 0;
    bool notInvincible1 = false;
    bool notInvincible2 = false;
    bool notBlockChara = false;
    bool byVar = false;
    i32 var = 0;        // variable index 0-8
    i32 value = 0;
    i32 compare = 0;    // 0 =, 1 !=, 2 >=, 3 <=, 4 >, 5 <, 6 divisible, 7 not divisible
};
bool PassesCharaFilter(const cChara& c, const CHARAFILTER& f);
// The character of the list whose graphic centre is nearest (x, y) (Manhattan; the first of
// equal distances). Mode 0: on screen first, the others only when none is; 1 all; 2 on screen.
cChara* FindNearestChara(double x, double y, const std::vector<cChara*>& list, i32 mode, const CHARAFILTER& f);
// Nearest to the object's graphic centre, never invincibility kind 2; on-screen-only stages
// search the screen only.
cChara* FindNearestToCentre(const cObj& o, const std::vector<cChara*>& list);
// The first character of the list that passes the filters.
cChara* FindChara(const std::vector<cChara*>& list, const CHARAFILTER& f);
// The characters of one side (0-7) in the scene, the player first.
std::vector<cChara*> CharasOfSide(cGameScene& scene, i32 side);

// The picture to draw: where mirrored copies are kept 18 numbers further on, flipped drawing
// uses that copy when it is loaded, and unflipped drawing falls back on it when the picture
// itself is not.
i32 AltPicture(std::span<const DDSURFACEDATA> slots, i32 picture, bool flipped);
