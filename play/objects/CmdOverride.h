#pragma once
// The parameter overrides that arrange commands queue, as a flow run (and the player, for item
// commands) holds them until the next command starts. The parameter table that applies them is
// the flow engine's (flow/CmdParams.h).
#include <vector>

#include "platform/system/Types.h"

// A queued arrange: target kind (character-set numbering), parameter index, operation
// (0 set, 1 add, 2 subtract, 3 multiply, 4 divide, 5 remainder, 6 percent), value source
// (0 common, 1 stage, 2 character variable), variable index.
struct CMDOVERRIDE {
    i32 v[5] = {};
};
using CmdOverrideList = std::vector<CMDOVERRIDE>;
