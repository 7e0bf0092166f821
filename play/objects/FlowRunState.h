#pragma once
// The run state of a character's flows: what a character carries of the flows it runs, apart
// from the flow engine that steps them (flow/FlowEngine.h), so that the character can be read
// and built without the engine's routines.
//
// A character owns its flows (cFlow, copied from its definition, without their commands) and,
// parallel to them, one cFlowRun per flow, each with one cCmdRun per command. A run holds its
// flow's commands, loops expanded, as a list shared with every character set up from the same
// flows (cLoopExpansions); a command an arrange override changes becomes the command run's own
// copy. The pointers a run keeps (flow, key rows, commands) point into the same character or
// into its lists; BindFlows sets them, and copying a character rebinds them.
//
// The member routines of the runs (starting, stepping, ending) are the flow engine's, defined
// on its side.
#include <memory>
#include <vector>

#include "platform/system/Containers.h"
#include "play/objects/CmdOverride.h"
#include "records/Flow.h"

class cChara;
class cCmdList;
class cFlowRun;

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

// One 20-byte entry of a run's extra list (owned, copied and freed with the run).
struct FLOWEXTRA {
    u32 v[5] = {};
};

// The run state of one flow of one character.
class cFlowRun {
public:
    // What the scan and the step of a running flow read, every step, first (up to m_pCmdList);
    // what starting the flow or one of its commands reads after it.
    i32 m_nIndex = 0;           // position of the flow in the character's flow list
    i32 m_nRunNo = 0;           // tag of the flow-owned timed entries
    cFlow* m_pFlow = nullptr;   // the flow (bound into the owning character's flows)
    u32 m_nTrigger = 0;         // the flow's trigger, bound with it: a scan need not read the flow
    i32 m_bRunning = 0;
    cVector<cCmdRun> m_vCmdRun; // one per command, same order
    i32 m_bPaused = 0;
    i32 m_bStopped = 0;         // stopped for good
    i32 m_bPendingDelete = 0;
    i32 m_nCurrent = 0;         // highest command index allowed to start
    i32 m_nFrames = 0;          // frames stepped without ending
    i32 m_bPassMark = 0;        // per-frame mark of the scan
    i32 m_bBusy = 0;            // started in the current frame
    i32 m_bMsgWait = 0;
    i32 m_bStopRequest = 0;
    // The flow's commands with their loops expanded, shared (read only) with every character
    // set up from the same flows; null for a run whose commands are the flow's own.
    std::shared_ptr<cCmdList> m_pCmdList;
    i32 m_bCondLatch = 0;       // the flow's conditions held once in this run
    cVector<cKeyCond*> m_vKeyRow; // one per key-condition row of the flow
    i32 m_bKeyHeld = 0;         // key result in hold mode
    i32 m_bKeyBefore = 0;       // key result at the previous test (edge mode)
    cVector<FLOWEXTRA> m_vExtra;
    i32 m_nInputSlot = 0;       // direction held when the flow started (FirstPressedKey)
    CmdOverrideList m_lstOverride;

    // The run operations. owner is the character whose flow this is (its letter flags and timed
    // entries are the ones touched). Start and Step run commands, which may change any
    // character's flows: after either returns, this run may have moved or gone, so callers
    // find runs again by index (or run number) instead of keeping references across them.
    //
    // Starts the flow (running, from its first command, busy for this frame; a trigger-0 flow
    // with an ID letter holds the letter). A flow of trigger 21 runs its commands of kind 16 and
    // above that carry the run-with-next flag at once, and ends.
    void Start(cChara& owner);
    // One frame of the flow: 1 when its last command has ended.
    i32 Step(cChara& owner);
    // Ends the flow (when running): no command running, the overrides dropped, its ID letter
    // marked ended.
    void Reset(cChara& owner);
    // Stops the flow for good: never started or stepped again this stage.
    void StopForever(cChara& owner);
    void Pause() { m_bPaused = 1; }
    void Resume() { m_bPaused = 0; }
    // The ID letter (1-26) of the flow, 0 for none (or for a damaged value past "Z").
    i32 Letter() const;
};
