#pragma once
// The block map of a stage: one cell per 32 x 32 block of the stage and of a margin of 10 cells
// on every side. Rows are (stage height + 20); the row pitch P is the smallest power of two at or
// above stage width + 20. The stage's cell (cx, cy) is map cell (cx + 10, cy + 10) at index
// ((cy + 10) << shift) + cx + 10, and a stage pixel p lies at world pixel p + 320.
//
// Every cell holds a copy of a block record (its stored settings; the conditions of the few
// blocks that have them are kept beside the cells, by cell index) plus the run-time marks.
// What the block probes read of a cell is kept once more, packed, in a plane of its own (see
// BLOCKSOLID), which every change of a cell's block (SetBlock, Restore) keeps in step.
//
// Reading outside the map is never an error: a cell outside it reads as empty (no block, not
// solid, no conditions). Only writers need to ask whether a cell exists.
#include <cmath>
#include <unordered_map>
#include <vector>

#include "records/EdBlockItem.h"

struct BLOCKCELL {
    EDBLOCK_DATA block;   // the block record's settings (wPicture 0: no block)
    u32 bHasCond = 0;     // the block has appearance conditions (Conds gives them)
    u32 bExists = 0;      // a block was placed in the cell
    u8 byFlag = 0;        // run-time byte of the block summon
    u32 bLocked = 0;      // protected from block summons
    u32 bCondHeld = 0;    // a latched appearance condition has held
    u32 bShownNow = 1;    // its appearance conditions held at the start of the step
};

// What a block probe reads of a cell: its solidity, its one-way side and whether it has
// appearance conditions, as its cell holds them. Four bytes beside a cell of 128: the probes of
// thousands of characters a step find theirs in the caches rather than in memory.
struct BLOCKSOLID {
    u8 bySolid = 0;
    u8 byOpenSide = 0;
    u8 bHasCond = 0;
    u8 unused = 0;
    // What a probe from block side `side` reads of the block when it is shown: nothing where the
    // block is open to that side, else its solidity (a byte past 127 reads negative).
    i8 For(i32 side) const { return static_cast<i32>(byOpenSide) == side ? 0 : static_cast<i8>(bySolid); }
};

// The appearance conditions of a block, with its combination mode and latch.
struct BLOCKCONDS {
    cVector<cCond> vCond;
    u8 byMode = 0;
    u8 byLatch = 0;
};

class cBlockMap {
public:
    static constexpr i32 kMargin = 10;
    static constexpr i32 kOrigin = kMargin * 32; // world pixels of the stage's origin

    // Builds an empty map for a stage of width x height cells (every cell empty). False, with
    // the map left empty, when the size cannot be held (the caller reports the memory error).
    bool Build(u32 stageWidth, u32 stageHeight);
    void Clear();

    i32 Pitch() const { return m_nPitch; }
    i32 Shift() const { return m_nShift; }
    i32 Columns() const { return m_nPitch; }
    i32 Rows() const { return m_nRows; }
    i32 StageWidth() const { return m_nStageW; }
    i32 StageHeight() const { return m_nStageH; }
    i32 CellCount() const { return static_cast<i32>(m_vCell.size()); }

    // Map cell index of map column col, row row; -1 outside the map.
    i32 Index(i32 col, i32 row) const {
        if (col < 0 || row < 0 || col >= m_nPitch || row >= m_nRows) return -1;
        return (row << m_nShift) + col;
    }
    // Map cell index of the stage's cell (cx, cy); -1 outside the map.
    i32 StageIndex(i32 cx, i32 cy) const { return Index(cx + kMargin, cy + kMargin); }
    // Map cell index under a world pixel (truncated, >> 5); -1 outside the map.
    i32 IndexAtPixel(double x, double y) const {
        // Beyond the i32 range is outside the map anyway.
        if (!(std::fabs(x) < 1e9) || !(std::fabs(y) < 1e9)) return -1;
        return Index(static_cast<i32>(x) >> 5, static_cast<i32>(y) >> 5);
    }

    // The same for a whole world pixel, as the block probes take it. No range check of the pixel
    // is needed: Build keeps both sides of the map under 2^22 cells, far inside an i32's pixels.
    i32 IndexAtWholePixel(i32 x, i32 y) const {
        const u32 col = static_cast<u32>(x >> 5), row = static_cast<u32>(y >> 5);
        if (col >= static_cast<u32>(m_nPitch) || row >= static_cast<u32>(m_nRows)) return -1;
        return static_cast<i32>((row << m_nShift) + col);
    }

    // The cell at an index, a map position or a world pixel; outside the map an empty cell.
    const BLOCKCELL& At(i32 index) const {
        return index >= 0 && index < static_cast<i32>(m_vCell.size()) ? m_vCell[static_cast<std::size_t>(index)] : Empty();
    }
    const BLOCKCELL& At(i32 col, i32 row) const { return At(Index(col, row)); }
    const BLOCKCELL& AtPixel(double x, double y) const { return At(IndexAtPixel(x, y)); }
    // What the probes read of the cell at an index; outside the map an empty cell's.
    const BLOCKSOLID& SolidAt(i32 index) const {
        return index >= 0 && index < static_cast<i32>(m_vSolid.size()) ? m_vSolid[static_cast<std::size_t>(index)]
                                                                         : EmptySolid();
    }
    // SolidAt for an index that Index* gave (not -1): every such index is in the plane.
    const BLOCKSOLID& SolidInMap(i32 index) const { return m_vSolid.data()[index]; }
    // A cell to change its run-time marks: null outside the map. Its block changes through
    // SetBlock or Restore only, which keep the solidity plane in step.
    BLOCKCELL* Find(i32 index) {
        return index >= 0 && index < static_cast<i32>(m_vCell.size()) ? &m_vCell[static_cast<std::size_t>(index)] : nullptr;
    }

    // Copies a block record into a cell (settings, and its conditions when it has some); the
    // run-time marks stay. False outside the map.
    bool SetBlock(i32 index, const cEdBlock& block);
    // The conditions of the cell at an index (null: none).
    const BLOCKCONDS* Conds(i32 index) const;
    // The cells that have conditions, in index order.
    std::vector<i32> CondCells() const;

    // A whole cell with its conditions, to be put back later (the block summon's player check).
    struct SAVEDCELL {
        BLOCKCELL cell;
        BLOCKCONDS conds;
    };
    SAVEDCELL Save(i32 index) const;
    bool Restore(i32 index, const SAVEDCELL& saved);

    // The cell every read outside the map gives.
    static const BLOCKCELL& Empty();
    static const BLOCKSOLID& EmptySolid();

private:
    static BLOCKSOLID SolidOf(const BLOCKCELL& c) {
        return BLOCKSOLID{c.block.bySolid, c.block.byOpenSide, static_cast<u8>(c.bHasCond ? 1 : 0), 0};
    }

    std::vector<BLOCKCELL> m_vCell;
    std::vector<BLOCKSOLID> m_vSolid; // one per cell
    std::unordered_map<i32, BLOCKCONDS> m_mapCond;
    i32 m_nPitch = 0;
    i32 m_nShift = 0;
    i32 m_nRows = 0;
    i32 m_nStageW = 0;
    i32 m_nStageH = 0;
};
