#pragma once
// The motion steps that the objects take themselves, which name no scene: the stage's motion
// values, the per-axis move with the speed limit and the clamp, and the deceleration step. The
// motion rules that take the scene are in play/rules/Motion.h, which includes this header.
//
// The clamps themselves are cObj's (ClampX, ClampY, play/objects/Obj.h); their bounds:
//   stage   the whole play field, margins included: 0 .. (cells + 20) x 32 on each axis;
//   outer   the stage proper, margins excluded: 320 .. 320 + cells x 32;
//   inner   the scroll limits: the bounds the view's scroll axis keeps to (the stage proper
//           unless the stage limits its scroll), read live from the axes.
// A walking player (clamp mode 1) therefore stays on the stage proper, a flying one (mode 0)
// inside what the view may show, and a stage character (mode 2) is told when it leaves either.
#include "platform/system/Types.h"
#include "records/Stage.h"
#include "records/StageSettings.h"

class cObj;

// The stage's motion values for the current speed level. Every character's step reads them
// (the bottom probes read the fall delay twice, as they mostly find no floor: a landing leaves
// the feet above the cell), each a load from the stage's header.
// Pixels per step; a speed beyond it is cut to it.
inline double SpeedLimit() { return StageSettings::Get(g_Stage, eStageD::SpeedLimit); }
// Added to speed y per step.
inline double GravityStep() { return StageSettings::Get(g_Stage, eStageD::GravityPerStep); }
// Steps without floor before a character counts as falling.
inline i32 FallDelay() { return static_cast<i32>(StageSettings::Get(g_Stage, eStage::FallDelay)); }

// Speed limited to +-limit, position += speed, then the clamp of that mode; the clamp's code
// (x: 0-3, y: 0-6).
i32 MoveObjX(cObj& o, i32 mode);
i32 MoveObjY(cObj& o, i32 mode);
// Moves an acceleration toward 0 by the object's deceleration, stopping at 0 (when on).
void DecelStep(const cObj& o, double& accel, u32 on);
