#pragma once
// The run state of a character's flows: what a character carries of the flows it runs, apart
// from the flow engine that steps them (flow/FlowEngine.h), so that the character can be read
// and built without the engine's routines.
//
// A character owns its flows (cFlow, copied from its definition, without their commands) and,
// parallel to them, one cFlowRun per flow, each with one cCmdRun per command (made as the run
// reaches it, play/objects/CmdRuns.h). A run holds its flow's commands, loops expanded, as a list
// shared with every character set up from the same flows (cLoopExpansions); a command an arrange
// override changes becomes the command run's own copy. The pointers a run keeps (flow, key rows,
// commands) point into the same character or into its lists; BindFlows sets them, and copying a
// character rebinds them.
//
// The member routines of the runs (starting, stepping, ending) are the flow engine's, defined
// on its side.
#include <memory>
#include <vector>

#include "platform/system/Containers.h"
#include "play/objects/CmdOverride.h"
#include "play/objects/CmdRun.h"
#include "play/objects/CmdRuns.h"
#include "records/Flow.h"

class cChara;
class cCmdList;

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
    cCmdRuns m_vCmdRun;         // one per command, same order, made as the run reaches them
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
