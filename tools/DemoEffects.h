#pragma once
// The demo game's effects: enemies that burst when defeated, a screen effect when a goal clears
// its stage, and the shake of the boss landing.
#include "database/CommonPalette.h"
#include "database/Database.h"

// Character effect and screen effect records the demo's actors use (appended to the lists).
struct DEMOEFFECTS {
    u16 defeat = 0; // character effect: the burst of a defeated enemy
    u16 clear = 0;  // screen effect: the wave of a cleared stage
    u16 landing = 0; // screen effect: the boss lands
};
DEMOEFFECTS AddDemoEffects(cDatabase& db);
// Every computer-operated character of the palette bursts when defeated; every item that clears
// its stage starts the clear wave first.
void UseDemoEffects(cCommonPalette& palette, const DEMOEFFECTS& effects);
