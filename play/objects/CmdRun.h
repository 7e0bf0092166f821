#pragma once
// The run state of one command of a running flow (see play/objects/FlowRunState.h).
#include <memory>
#include <vector>

#include "platform/system/Types.h"

class cChara;
class cFlowRun;
class cFlowCmd;

// A point the homing move follows, queued n frames ahead.
struct MOVEPOINT {
    double x = 0.0;
    double y = 0.0;
};

// The run state of one command of a running flow.
class cCmdRun {
public:
    cFlowCmd* m_pCmd = nullptr; // the command (bound into the run's command list, or m_pOwnCmd)
    // The character's own copy of the command, made when an arrange override first changes it:
    // the run's command list is shared with every character set up from the same flows.
    std::shared_ptr<cFlowCmd> m_pOwnCmd;
    i32 m_bDone = 0;            // ran its last frame in the current run of the flow
    i32 m_nDuration = 0;        // frames; from the time fields at set-up, or solved from a move
    i32 m_nFramesLeft = 0;      // 0 also means "not started"

    // Executor state; Start clears it.
    i32 m_nDirSel = 0;          // move direction selector, or the circle's turning sense
    i32 m_nTargetX = 0;         // target point of a move (dots)
    i32 m_nTargetY = 0;
    double m_dSpeed = 0.0;      // dots per frame (the move solver's result)
    i32 m_nAngle = 0;           // degrees
    i32 m_nKindValue = 0;       // circle amplitude / homing sluggishness
    i32 m_nStartPhase = 0;      // circle start phase
    std::vector<MOVEPOINT> m_vPoint; // homing: where the target was, oldest first
    double m_dVelX = 0.0;       // velocity applied this frame
    double m_dVelY = 0.0;
    i32 m_nFacingReq = 0;       // 0 keep, 1 face left, 2 face right
    i32 m_bStarted = 0;         // set by the first frame's set-up
    i32 m_nFrame = 0;           // frames since the start
    double m_dPhaseX = 0.0;     // phase accumulators
    double m_dPhaseY = 0.0;
    double m_dMaxInertial = 0.0;
    i32 m_nFacingSeen = 0;      // facing at the end of the last frame
    i32 m_nOrigin[4] = {};      // origin and phase integers of the movement set-up
    i32 m_nRepeat = 0;          // repeat counter of repeating commands (wraps at 6 u)
    i32 m_nWait = 0;            // the wait of a stage character's jump
    i32 m_nTurnTime = 0;        // turn time added by the movement start
    i32 m_nDistance = 0;        // the movement's start distance (pixels)
    double m_dJumpSpeed = 0.0;  // the jump command's speed
    i32 m_nRiseFrames = 0;

    // Starts the command: a jump (kind 10) takes its speed and duration from its height
    // (StartJumpCmd); frames left = duration, not done, the per-start executor state cleared
    // (ClearStartState); unless it is an arrange command (kind 38), the flow run's queued
    // overrides are applied to the command and emptied.
    void Start(cChara& owner, cFlowRun& flowRun);
    // What an executor rebuilds on its first frame: the started flag, the frame and repeat
    // counters, the origin integers, the velocity with its facing request, the phase
    // accumulators, the homing queue and a movement's set-up (direction, target, angle, its
    // per-kind values, the inertial limit, the facing seen). Duration and speed stay.
    void ClearStartState();
};
