#pragma once
// The demo game's characters and items that act through flows: an enemy that patrols and turns
// at walls, one that jumps when the hero comes near, an item that gives a life, and a switch that
// opens a way (a wall that goes when the switch is taken).
#include <type_traits>
#include "database/CommonPalette.h"
#include "records/Stage.h"

// Stage variable that the switch sets and the wall waits for.
constexpr i16 kDemoSwitchVar = 1;
// Stage variable that marks the villager's talk as done for this visit of the stage, and the
// common variable that counts his talks.
constexpr i16 kDemoTalkVar = 2;
constexpr i16 kDemoTalkCounter = 10;

// A character that stands where it is placed (operation 1), with its picture, name and HP, and
// nothing to drop.
cEdChara DemoStandingChara(i16 picture, const char* name, u32 hp);
// Holds while the hero is within `halfBlocks` to either side.
cCond DemoNearHero(i32 halfBlocks);

cEdChara DemoPatroller();
cEdChara DemoJumper();
cEdChara DemoWall();
// Talks once per visit of the stage when the hero comes near: a code command counts the talks,
// then a message above him shows the count while the game waits for `tenths`.
cEdChara DemoVillager(u32 tenths = 30);
cEdItem DemoLifeItem();
cEdItem DemoSwitch();
// Taking the coin adds 100 to the stage's score.
void AddDemoCoinScore(cEdItem& coin);

// The hero's own flows: walking left and right while the direction is held (diagonals too) and a
// jump on each press of button 1.
void AddDemoHeroFlows(cEdChara& hero);

// Where the actors stand in the common palette.
struct DEMOACTORS {
    int patroller = 0, jumper = 0, wall = 0; // character list
    int life = 0, sw = 0;                    // item list
};
// Appends the actors to the common palette.
DEMOACTORS AddDemoActors(cCommonPalette& palette);
// A placed entry that takes every group from common palette entry `index`; its own values are
// those of the entry too, so the stage reads the same with or without the palette.
template <class T>
T Placed(const cVector<T>& palette, int index, i16 x, i16 y) {
    T e = palette[index];
    e.byPaletteKind = 1;
    e.wPaletteIndex = static_cast<i16>(index);
    if constexpr (std::is_same_v<T, cEdBlock>)
        e.FillInherit(1);
    else
        FillBytes(e.vInherit, 1);
    e.sPosX = x;
    e.sPosY = y;
    return e;
}
cEdChara PlaceDemoChara(const cCommonPalette& palette, int index, i16 x, i16 y);
cEdItem PlaceDemoItem(const cCommonPalette& palette, int index, i16 x, i16 y);
// Puts the actors into the first story stage: the patroller and the jumper on the way, the life
// on the bricks, and before the goal a stone column whose one gap a wall closes until the
// switch, further back, is taken.
void PlaceDemoActors(cStage& stage, const cCommonPalette& palette, const DEMOACTORS& actors);
