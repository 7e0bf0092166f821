#pragma once
// The demo game's sign post: a wooden post just behind the hero at the first stage's start whose
// board (a picture of the database) shows above it while the hero stands near, telling the
// buttons.
#include "database/CommonPalette.h"
#include "records/Stage.h"

// The database's picture that the sign shows, and the post's cell on the first character sheet.
constexpr u16 kDemoSignPicture = 1;
constexpr i16 kDemoPicSignPost = 23;
// How near the hero comes (half blocks, either side) for the board to show, and how long it
// stays once the hero walks on (tenths of a second): gone before the villager further on talks.
constexpr i32 kDemoSignReach = 4;
constexpr i32 kDemoSignLinger = 1;

cEdChara DemoSignPost();
// Appends the sign post to the common palette: its index in the character list.
int AddDemoSignPost(cCommonPalette& palette);
void PlaceDemoSignPost(cStage& stage, const cCommonPalette& palette, int index, i16 x, i16 y);
