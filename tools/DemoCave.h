#pragma once
// The demo game's dark cave: a story stage off the road, in the forest south of the start, where
// the hero sees only a round patch about itself and the rest lies black.
#include "records/Stage.h"

constexpr const char* kDemoCaveFile = "data\\stg4\\Demo-4.stg4_001";
// The hero's sight in the cave (half blocks), and the stage variable that marks it set.
constexpr i32 kDemoCaveSight = 7;
constexpr i16 kDemoCaveVar = 4;

// Makes the stage's hero see round itself only, from the first frame of the stage on.
void DarkenDemoCave(cStage& stage);
