// Character motion routines shared by the commands and the rules.
#include "flow/FlowEngine.h"
#include "play/objects/Chara.h"

double JumpSpeedHbl(cChara&, i32) { return 0.0; }

i32 JumpFrames(cChara&, double) { return 0; }

void SetPosition(cChara&, i32, i32) {}

void GravityStep(cChara&) {}

bool IsOnFloor(cChara&) { return false; }

void OnLand(cChara&) {}

void OnHitCeiling(cChara&) {}

void StopOnFloor(cChara&, i32) {}

void SavePosition(cChara&) {}

void RestorePosition(cChara&) {}

void DecayKnockback(cChara&) {}

void StepMoveX(cChara&) {}
