#pragma once
// Items and pick-up: the player takes the items it touches (once, again after stepping off, or
// never, by the item's pick-up mode) and the items of the blocks it stands on (at most once a
// second per block). Taking an item is ApplyItem's (flow/FlowEngine.h): its sound, the player's
// graphic change and its commands.
//
// Results: 0 go on, 1 the stage has ended, 2 the player died.
#include "play/GameScene.h"

// Once per step after the motion and the hits.
i32 PickUpItems(cGameScene& scene, cPlayer& p);
// Once per step, beside PickUpItems.
i32 TakeBlockItem(cGameScene& scene, cPlayer& p);
