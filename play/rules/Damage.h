#pragma once
// Small rules that the hits, the drawing and the commands share: finding an object by its id,
// the solidity of a block cell, and the chip sheet's layout. The character's own damage, defeat
// and invincibility operations are members of cChara (play/objects/Chara.h).
#include "play/GameScene.h"

// The player first, then the live stage characters, in order: the first whose id matches, or
// null.
cChara* FindObjectById(cGameScene& scene, u32 id);

// What a contact test gets of a block cell from a side: 0 when the block's conditions do not
// hold now or the side is its one-way side, else its solidity. Cells outside the map are empty.
i8 IsBlockSolid(cGameScene& scene, i32 cellIndex, i32 side);
// The same for a cell inside the map, for the probes a step makes by the dozen: a block without
// appearance conditions (most) is answered from the solidity plane, without the call.
inline i8 IsBlockSolidInMap(cGameScene& scene, i32 cellIndex, i32 side) {
    const BLOCKSOLID solid = scene.m_vBlockMap.SolidInMap(cellIndex);
    if (solid.bHasCond) [[unlikely]]
        return IsBlockSolid(scene, cellIndex, side);
    return solid.For(side);
}

// The 32 x 32 cell of picture n of a chip sheet (blocks, marks): 15 pictures to a column.
constexpr i32 kChipsPerColumn = 15;
inline i32 ChipSourceX(i32 n) { return n / kChipsPerColumn * 32; }
inline i32 ChipSourceY(i32 n) { return n % kChipsPerColumn * 32; }

