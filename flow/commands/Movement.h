#pragma once
// The routines the movement commands share (and the warp, which places by a move's direction).
//
// Angles are degrees with 0 to the left and 90 up: a speed s at angle a is the velocity
// (-cos a x s, -sin a x s). Velocities are pixels per logic step, the step the commands run at.
// A velocity moves the character through its speed for the step (the play update resets it
// each step); an inertial move pushes its acceleration instead, which the step adds to the speed
// and lets fade by its deceleration.
#include "flow/FlowEngine.h"

class cEdMove;

// The direction codes of a move.
enum eMoveDir : i32 {
    MDIR_NONE = 0, // no direction (the input direction while no key is held)
    MDIR_LEFT = 2,
    MDIR_RIGHT = 3,
    MDIR_UP = 6,
    MDIR_DOWN = 7,
    MDIR_UP_LEFT = 8,
    MDIR_DOWN_LEFT = 9,
    MDIR_UP_RIGHT = 10,
    MDIR_DOWN_RIGHT = 11,
};

// The direction choices of a move record (its direction setting).
enum eMoveChoice : i32 {
    MOVE_FRONT = 0, MOVE_BACK, MOVE_LEFT, MOVE_RIGHT, MOVE_FRONT_Y, MOVE_BACK_Y, MOVE_UP, MOVE_DOWN,
    MOVE_UP_LEFT, MOVE_DOWN_LEFT, MOVE_UP_RIGHT, MOVE_DOWN_RIGHT, MOVE_INPUT,
};

// Facing requests of a move.
enum eFacingReq : i32 { FACE_KEEP = 0, FACE_LEFT = 1, FACE_RIGHT = 2 };

// The run's angle: the move's angle plus its step per spawn index, mirrored (360 - a) for a
// mirrored placement when the move says so, then brought below 360 (a negative one stays).
void SetupMoveAngle(cChara& c, cCmdRun& run);
// The run's target offset in dots (blocks x 32 + dots), negated per axis for a mirrored placement
// when the move says so.
void SetupMoveTarget(cChara& c, cCmdRun& run);
// The direction code of a direction choice: the front and back choices by the facing, the input
// choice from the direction held when the running flow started (none without a flow run, or
// when no single direction was held); without diagonals, the diagonals become left or right.
i32 MapMoveDirection(const cChara& c, i32 choice, bool allowDiagonal);
// The vector of length len along a direction code (diagonals len / sqrt 2 on each axis); 0 for
// no direction.
void DirectionVector(i32 code, double len, double& dx, double& dy);
// A velocity along a direction code (diagonals s / sqrt 2 on each axis), or at the code's angle
// plus angle degrees; y only for a flying character. The facing request follows the horizontal
// part; none while the facing is fixed.
void VelocityByDirection(const cChara& c, double& vx, double& vy, i32& facingReq, double speed, i32 code);
void VelocityByDirectionAngle(const cChara& c, double& vx, double& vy, i32& facingReq, double speed, i32 code,
                              i32 angle);
// The velocity toward the run's target point by the move's coordinate base, on the used axes
// (a locked axis 0). With derive-duration the frames left become the frames to arrive (0 ends
// the command at once; with stop-when-arrived such a move does not move at all).
void VelocityToTarget(cChara& c, double& vx, double& vy, i32& facingReq, double speed, i32 tx, i32 ty,
                      const cEdMove& move, i32& framesLeft);
// The run's velocity of length speed from (cx, cy) toward (tx, ty), a locked axis 0; none when
// the two points are one. The facing request follows the horizontal part.
void SteerToward(const cChara& c, cCmdRun& run, const cEdMove& move, double tx, double ty, double cx, double cy,
                 double speed);
// The run's velocity that brings a character which left the screen back in by the move's
// direction (with the auto-scroll where it runs); 0 while it is inside.
void AvoidScreenOutVelocity(cChara& c, cCmdRun& run, const cEdMove& move);
// Applies a move's velocity for this step: the facing request (unless the facing is fixed or
// kept, or force), the velocity into the speed or, for an inertial move, into the acceleration,
// and the moving animation.
void ApplyMoveVelocity(cChara& c, double vx, double vy, i32 facingReq, cCmdRun& run, const cEdMove& move,
                       bool force);
// The character's graphic centre in world pixels (its screen rectangle plus the scroll).
void MoveCentre(cChara& c, double& x, double& y);
