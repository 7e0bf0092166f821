// Summons: characters, items and blocks placed by the shot kinds' patterns.
#include "play/shots/ShotFire.h"

void SpawnSummon(const SHOTCALL&, const SHOTSPEC&) {}
void SummonBlock(cChara&, cCmdRun&, const cEdShot&) {}
void SummonChara(cChara&, cCmdRun&, const cEdShot&) {}
void SummonItem(cChara&, cCmdRun&, const cEdShot&) {}
