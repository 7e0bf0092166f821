#pragma once
// Command dispatch: one handler table per command set, indexed by the command's kind.
//
// Character commands (kinds 0-39) run once per frame through ExecCmd while their flow steps
// them; item commands (kinds 0-24) run once, all at once, when the hero takes the item. Item
// kinds 2-24 are the character kinds 17-39 and run the same bodies. A kind outside its table
// (a damaged or foreign file; the kind byte is read signed) does nothing and leaves a report
// line.
#include "flow/commands/Commands.h"

// Runs one frame of a character command (the run's command): the executor's result.
i32 ExecCmd(cChara& chara, cCmdRun& run);
// Runs one item command for the hero: non-zero stops the item's list (1: the stage was cleared).
i32 ExecCmd2(cPlayer& hero, cFlowCmd& cmd);
