// Shots, swords and summons (kinds 11-15).
#include "flow/commands/Commands.h"

i32 CmdShot(cChara&, cCmdRun&) { return 0; }
i32 CmdSword(cChara&, cCmdRun&) { return 0; }
i32 CmdSummonBlock(cChara&, cCmdRun&) { return 0; }
i32 CmdSummonChara(cChara&, cCmdRun&) { return 0; }
i32 CmdSummonItem(cChara&, cCmdRun&) { return 0; }
