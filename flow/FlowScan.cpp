// Triggers and the flow scan.
#include "flow/FlowEngine.h"
#include "play/objects/Chara.h"

void RunFlowsOf(cChara& c, u8 kind) { RunFlows(c, kind, nullptr, 0); }

void RunFlows(cChara&, u8, cObj*, i8) {}

void ResetFlowMarks(cChara&) {}
