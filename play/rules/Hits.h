#pragma once
// Hits, attacks and damage: who hurts whom once per play step (shots against characters,
// characters against characters, shots against shots), characters against block characters
// (characters that stand in the way like blocks), riding on block characters, and the rules that
// turn a character's death into the player's death or the stage's end.
//
// Results, as everywhere in the play rules: 0 go on, 1 the stage has ended, 2 the player dies.
//
// Sides. Every character and shot belongs to one of 8 sides; a character's side list is the
// scene's character list filtered by side with the player first (CharasOfSide, Motion.h). The
// passes collect the lists at their start and hold the character list's walk scope while they
// run, so a character a flow removes meanwhile stays valid memory (it is skipped as removed)
// and one a flow summons waits for the next step.
#include "play/GameScene.h"
#include "play/rules/Damage.h"

// ---- Attacks ----
// The three passes in order; the first non-zero result ends it.
i32 ResolveAttacks(cGameScene& scene);

// ---- Block characters ----
// The character against the block characters it touches (nothing in flight mode 1): flying
// characters are held at the nearest free side, walking ones land on, bump their head on or are
// pushed out of them. 2 when a character in flight mode 3 touched one.
i32 ResolveCharaHits(cGameScene& scene, cChara& c);
// Pushes a character out of the block characters it overlaps, along the shorter way out.
void PushOutOfCharas(cGameScene& scene, cChara& c);
// The block character c rides (remembered by id) still lies within 5 pixels below its feet.
bool IsOnBlockChara(cGameScene& scene, const cChara& c);
// Any present, non-dying block character other than c within 5 pixels below its feet.
cStageChara* BlockCharaUnder(cGameScene& scene, const cChara& c);
// Moves every character that rides a block character along with it (triggers 16 and 17).
i32 CarryRider(cGameScene& scene);

// ---- Death ----
// What a character's death means: 2 for the player's kind, 0 when it is dying already, else
// Kill's result.
i32 CharaEndResult(cChara& c);
// CharaEndResult with the stage end made when it says so (1: StageEnd, state 4).
i32 CheckCharaEnd(cGameScene& scene, cChara& c);
// After flows that may have hurt the player: the player's death, or the removal of characters
// marked for it and the end of those whose HP ran out. Non-zero ends the step.
i32 CheckPlayerDeath(cGameScene& scene);
// Takes a stage character out of the stage: its links first, then out of its lists.
void UnlinkSceneObject(cGameScene& scene, cStageChara& c);
