// The code command (the status operation lives with the status rules, flow/StatusOps.cpp).
#include "flow/commands/Commands.h"

i32 ExecCodeCmd(cChara&, cFlowCmd&) { return 0; }
