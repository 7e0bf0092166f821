#pragma once
// The demo game's shots and swords: the hero's weapons (a shot on button 2, a sword swing on
// button 3), an enemy that shoots at the hero when it comes near, and the last stage's boss,
// which comes down onto its place with a jolt of the screen, then fires spreads and bursts and
// shows its HP gauge when hit.
#include "database/CommonPalette.h"
#include "database/Database.h"
#include "records/Stage.h"

// The hero's weapons act on the press of these buttons (button numbers from 1).
constexpr int kDemoShotButton = 2;
constexpr int kDemoSwordButton = 3;

// Appends the hero's sword type (row 1 onward names a sword) to the database; its row.
int AddDemoSword(cDatabase& db);
// Gives the hero (a palette entry) its two weapons.
void ArmDemoHero(cEdChara& hero, int swordType);

// The boss's place on the last stage (its top-left cell), which it comes down to from
// `kDemoBossDescentRows` rows higher over `kDemoBossDescentTenths` once the hero is within
// `kDemoBossWakeReach` half blocks; the stage variable set once it has landed.
constexpr i16 kDemoBossX = 21;
constexpr i16 kDemoBossY = 7;
constexpr i32 kDemoBossWakeReach = 16;
constexpr i16 kDemoBossDescentRows = 6;
constexpr i16 kDemoBossDescentTenths = 10;
constexpr i16 kDemoBossLandedVar = 3;

// Where the shooters stand in the common palette.
struct DEMOSHOOTERS {
    int gunner = 0;
    int boss = 0;
};
// The boss lands with screen effect `landingShake`.
DEMOSHOOTERS AddDemoShooters(cCommonPalette& palette, u16 landingShake);
// The gunner on the second story stage, the boss on the third.
void PlaceDemoGunner(cStage& stage, const cCommonPalette& palette, const DEMOSHOOTERS& s);
void PlaceDemoBoss(cStage& stage, const cCommonPalette& palette, const DEMOSHOOTERS& s);
