// Conditions and key-input sequences.
#include "flow/FlowEngine.h"
#include "play/objects/Chara.h"

i32 EvalCondList(cGameScene&, const cVector<cCond>& conds, i32 mode, cChara*) {
    // Without conditions: mode 0 holds, mode 1 fails.
    return conds.empty() ? (mode == 0 ? 1 : 0) : 0;
}

void StepKeyConds(cChara&) {}

void DrawFlowOverlay(cChara&, DDSURFACEDATA*) {}

i32 CmdParamKindValue(cGameScene&, i32) { return 0; }
