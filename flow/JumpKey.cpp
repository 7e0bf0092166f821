// The key a jump command is held by.
#include "flow/FlowEngine.h"
#include "flow/KeyConds.h"

bool JumpKeyHeld(const cFlowRun& run) {
    if (g_vInput.empty()) return false;
    const cInput& hero = g_vInput[0];
    for (i32 i = run.m_vKeyRow.Size() - 1; i >= 0; --i)
        if (const cKeyCond* row = run.m_vKeyRow[i]) return TestKeyRowNow(hero, *row) != 0;
    return (hero.wButtons & 1) != 0;
}
