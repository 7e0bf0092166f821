#pragma once
// What the demo's characters are, read from their looks, and the graphics the demo shows where a
// player meets them: every slime is a foe that hurts to touch and falls to shots and the sword,
// each kind in its own colour (green wanders, blue patrols, yellow jumps, red shoots), the boss
// a crowned slime drawn from its own bitmap; a big coin worth ten small ones on the first stage;
// the first challenge stage shows the hero's hit rectangles.
#include "database/CommonPalette.h"
#include "records/Stage.h"
#include "tools/DemoFlows.h"
#include "tools/DemoShots.h"

// Character pictures of the demo's looks: the slime of each character sheet (150 pictures to a
// sheet) and the boss's row of the character bitmaps.
constexpr i16 kDemoPicBlueSlime = 151;
constexpr i16 kDemoPicRedSlime = 301;
constexpr i16 kDemoPicYellowSlime = 451;
constexpr i16 kDemoBossBitmap = 1;

// Gives the palette's characters their roles and looks; the slime is palette entry `slime`.
void GiveDemoLooks(cCommonPalette& palette, int slime, const DEMOACTORS& actors, const DEMOSHOOTERS& shooters);
// Appends the big coin to the palette: its index.
int AddDemoBigCoin(cCommonPalette& palette);
// Puts the big coin over the first stage's path, a jump above the ground.
void PlaceDemoBigCoin(cStage& stage, const cCommonPalette& palette, int bigCoin);
// The hit rectangles of the hero shown: its body tinted red, its pick-up rectangle framed green.
void ShowDemoHitRects(cStage& stage);
