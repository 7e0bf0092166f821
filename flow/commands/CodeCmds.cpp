// Status and variable operations, and the code command.
#include "flow/commands/Commands.h"

i32 CmdStatusOp(cChara&, cFlowCmd&) { return 0; }
i32 ExecCodeCmd(cChara&, cFlowCmd&) { return 0; }
