#pragma once
// The demo game's goal flag: a character standing by a stage's goal that clears the stage with
// the character set's stage-clear command when the hero comes up to it.
#include "database/CommonPalette.h"
#include "records/Stage.h"

cEdChara DemoGoalFlag();
// Appends the goal flag to the common palette: its index in the character list.
int AddDemoGoalFlag(cCommonPalette& palette);
// Stands the flag of palette entry `index` at a stage cell.
void PlaceDemoGoalFlag(cStage& stage, const cCommonPalette& palette, int index, i16 x, i16 y);
