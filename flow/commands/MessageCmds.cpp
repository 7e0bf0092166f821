// Messages and the game wait.
#include "flow/commands/Commands.h"

i32 CmdGameWait(cChara&, cFlowCmd&) { return 0; }
i32 CmdMessage(cChara&, cFlowCmd&) { return 0; }
