#pragma once
// What the shot, sword and summon commands start: the entry points of the shots and summons.
// A command calls its entry on each frame it acts (the first frame and every repeat period),
// with its run and the command's shot record.
#include "flow/FlowEngine.h"

class cEdShot;

// Fires every volley of a shot command from the shooter.
void FireShot(cGameScene& scene, cChara& shooter, cCmdRun& run, const cEdShot& def);
// Makes the swing of a sword command and adds it to the scene's shots.
void StartSword(cGameScene& scene, cChara& owner, cCmdRun& run, const cEdShot& def);
// The three summons: a block, a character or an item placed by the summoner's record.
void SummonBlock(cChara& summoner, cCmdRun& run, const cEdShot& def);
void SummonChara(cChara& summoner, cCmdRun& run, const cEdShot& def);
void SummonItem(cChara& summoner, cCmdRun& run, const cEdShot& def);
