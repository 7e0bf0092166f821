// Character commands: turn, jump, warp, set target, status operation 2, vanish, get item.
#include "flow/commands/Commands.h"

i32 CmdTurn(cChara&, cCmdRun&) { return 0; }
i32 CmdJump(cChara&, cCmdRun&) { return 0; }
i32 CmdWarp(cChara&, cFlowCmd&) { return 0; }
i32 CmdSetTarget(cChara&, cFlowCmd&) { return 0; }
i32 CmdStatusOp2(cChara&, cFlowCmd&) { return 0; }
i32 CmdVanish(cChara&, cFlowCmd&) { return 0; }
i32 CmdGetItem(cChara&, cFlowCmd&) { return 0; }
