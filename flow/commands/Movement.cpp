// Movement commands (kinds 2-8).
#include "flow/commands/Commands.h"

i32 CmdNop(cChara&, cCmdRun&) { return 0; }

void CmdMoveLine(cChara&, cCmdRun&) {}
void CmdMoveGroundTurn(cChara&, cCmdRun&) {}
void CmdMoveCircle(cChara&, cCmdRun&) {}
void CmdMoveCharge(cChara&, cCmdRun&) {}
void CmdMoveHoming(cChara&, cCmdRun&) {}
void CmdMoveAvoidScreenOut(cChara&, cCmdRun&) {}
void CmdMoveDisable(cChara&, cCmdRun&) {}
