#pragma once
// Block collision: the solidity of a block-map cell, the probes that push a character out of
// solid cells and report the contact, landing and ceiling, and the per-axis collision passes the
// play update runs after each move.
//
// Cells are found from world pixels truncated to whole pixels (>> 5). A cell outside the block
// map (a fast object can get there within a step) reads as empty.
//
// Results: the probes and passes give 0 (done) or 2 (stopped: a block the character may not
// enter, a deadly block for the player, or any contact in flight mode 3); the caller decides.
#include "play/GameScene.h"
#include "play/rules/Damage.h"

// The block's appearance condition holds (true without conditions; a latched condition holds
// from its first success on). Evaluated against the player.
bool BlockIsShown(cGameScene& scene, i32 cell);
// The block characters of the scene's list (their flag is set up with them), in list order; good
// until the list changes.
const std::vector<cStageChara*>& BlockCharas(cGameScene& scene);
// The block character (present, not dying, not o) whose box overlaps o's, touching included,
// other than the one with id exceptId (when given); null when none.
cStageChara* OverlapsBlockChara(cGameScene& scene, const cObj& o, bool except = false, u32 exceptId = 0);
// The same for a box of o's that o has not moved to yet (a trial move).
cStageChara* OverlapsBlockCharaBox(cGameScene& scene, const HITRECT& box, const cObj* self, bool except, u32 exceptId);
// 1 when the cell at the object's top-left cell indices is solid for it, or a block character
// overlaps it; 0 otherwise and always in flight mode 1.
i32 IsBlockAt(cGameScene& scene, const cObj& o);
// Any of the four corner cells (top-left, bottom-left, top-right, bottom-right) is solid for o.
bool AnyCornerSolid(cGameScene& scene, const cObj& o);
bool AnyCornerSolidBox(cGameScene& scene, const HITRECT& box, u32 side);

// What a probe found: the cell with the highest solidity along its points (-1: none).
struct PROBE {
    i32 cell = -1;
    i32 solid = 0;
};
// Probe points along a vertical (x1 = x2) or horizontal (y1 = y2) segment: scale + 1 points,
// the unscaled box height (width) - 1 apart. Highest solidity wins; vertically the first of
// equal values, horizontally the one nearest the segment's middle.
PROBE ProbeCell(cGameScene& scene, const cChara& c, i32 x1, i32 y1, i32 x2, i32 y2);
// The player's floor along its bottom edge: more points (scale + 1 when even, + 2 when odd), the
// last exactly at the right edge; ties go to the point nearest the box's centre.
PROBE FloorCell(cGameScene& scene, const cChara& c);

// The four probes (0 or 2); the side probes and the top probe push the character out and fire
// the block triggers, the bottom probe lands it.
i32 ProbeLeft(cGameScene& scene, cChara& c);
i32 ProbeRight(cGameScene& scene, cChara& c);
i32 ProbeTop(cGameScene& scene, cChara& c);
i32 ProbeBottom(cGameScene& scene, cChara& c);

// After a horizontal move: by the direction of travel (right probe first when moving right).
i32 CollideBlocksX(cGameScene& scene, cChara& c);
// The same without the ordering: right probe, then left (a stage character's side probe).
i32 CollideBlocksX2(cGameScene& scene, cChara& c);
// After a vertical move: the block under the feet is cleared, then by the direction of travel.
i32 CollideBlocksY(cGameScene& scene, cChara& c);
// Bottom probe, then top probe (after a block character moved the character, and the vertical
// side probe of the play update); a bottom that finds no block keeps the block under the feet.
i32 CollideBlocksBoth(cGameScene& scene, cChara& c);
