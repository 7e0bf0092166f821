#pragma once
// The block effects under the feet (play/rules/MotionFloor.cpp), which name no scene: the player
// takes them in its own step.
class cChara;
class cPlayer;

// The block effect under the player's feet for one step (spring, marker, slippery floor,
// conveyors), then the floor snap when a slippery or conveyor effect ends. Nothing in flight.
void ApplyFloorEffect(cPlayer& p);
// Keeps a walking character that is about to leave a floor on it (or, by the system switch,
// pulls it down by 1).
void FloorSnap(cChara& c);
