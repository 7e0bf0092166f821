#pragma once
// What the commands need of a character when a command run starts: the start values of the
// movement and jump commands (the run's distance, times and speed, its jump). A command's wait is
// its duration, solved when its flow is bound.
#include "play/objects/Chara.h"

// The start of a movement: the turn at start (for a character that turns with its moves), the
// distance (clamp(step x i + base, 0, 20) x 16 x u, i the spawn index), the two times and the
// speed or duration solved from them. A speed or duration of 0 solves to 0.
void StartMoveCmd(cCmdRun& run, cChara& c);
// The jump command's speed (its third parameter in hbl), rise frames and duration.
void StartJumpCmd(cCmdRun& run, cChara& c);
