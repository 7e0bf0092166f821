// Flow control: flow operation, stage clear, arrange, loop (change flow: flow/ItemCmdSet.cpp).
#include "flow/commands/Commands.h"

i32 CmdFlowOp(cChara&, cCmdRun&) { return 0; }
i32 CmdStageClear(cChara&, cFlowCmd&) { return 0; }
i32 CmdArrange(cChara&, cFlowCmd&) { return 0; }
i32 CmdLoop(cChara&, cCmdRun&) { return 0; }
