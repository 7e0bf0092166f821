#pragma once
// What the flow engine's own files share beyond flow/FlowEngine.h.
#include "flow/FlowEngine.h"

class cChara;
class cPlayer;

// ID letters: 0 none, 1-26 "A"-"Z".
constexpr i32 kLetterCount = 27;

// A run named by its index in its owner's run list and its run number, found again after the
// list may have changed (runs erased or inserted before it). Get gives null once the run is gone.
struct FlowRunRef {
    i32 index = -1;
    i32 runNo = 0;
    FlowRunRef(const cChara& c, const cFlowRun& run);
    // Defined where the flow runs are stepped, its only user.
    cFlowRun* Get(cChara& c);

private:
    // Get once the run is no longer at its index: looked for by its number.
    cFlowRun* Find(cChara& c);
};

// Runs the flow changes the hero took from items while its own flows were running.
void RunTakenFlowChanges(cPlayer& hero);
