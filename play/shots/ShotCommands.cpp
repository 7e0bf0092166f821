// The entry points of the shot, sword and summon commands. Nothing is fired or summoned yet:
// the shots and summons fill these in.
#include "play/shots/ShotCommands.h"

void FireShot(cGameScene&, cChara&, cCmdRun&, const cEdShot&) {}
void StartSword(cGameScene&, cChara&, cCmdRun&, const cEdShot&) {}
void SummonBlock(cChara&, cCmdRun&, const cEdShot&) {}
void SummonChara(cChara&, cCmdRun&, const cEdShot&) {}
void SummonItem(cChara&, cCmdRun&, const cEdShot&) {}
