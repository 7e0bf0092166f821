// The item command set's own command.
#include "flow/commands/Commands.h"
#include "play/objects/Player.h"

i32 ItemChangeFlow(cPlayer& hero, cFlowCmd& cmd) { return CmdChangeFlow(hero, cmd, 0); }
