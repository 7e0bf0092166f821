#include "play/objects/BlockMap.h"

#include <algorithm>
#include <cmath>
#include <new>

namespace {

BLOCKCELL MakeEmpty() {
    BLOCKCELL c;
    c.block.wPicture = 0;
    c.block.bySolid = 0;
    c.block.byGroup10 = 0;
    return c;
}

} // namespace

const BLOCKCELL& cBlockMap::Empty() {
    static const BLOCKCELL empty = MakeEmpty();
    return empty;
}

const BLOCKSOLID& cBlockMap::EmptySolid() {
    static const BLOCKSOLID empty = SolidOf(Empty());
    return empty;
}

bool cBlockMap::Build(u32 stageWidth, u32 stageHeight) {
    Clear();
    const u64 cols = u64{stageWidth} + 2 * kMargin;
    const u64 rows = u64{stageHeight} + 2 * kMargin;
    i32 shift = 0;
    while ((u64{1} << shift) < cols) ++shift;
    const u64 cells = rows << shift;
    // An index must stay an i32 (and a world pixel of the far edge too). Decision: a map of more
    // than 2^22 cells (some 250 MB; a stage of 1000 x 4000 cells) is refused as a lack of memory,
    // so that a size from a damaged file is never an allocation of gigabytes.
    if (shift > 24 || cells > (u64{1} << 22) || rows * 32 > 0x7FFFFFFFu) return false;
    try {
        m_vCell.assign(static_cast<std::size_t>(cells), Empty());
        m_vSolid.assign(static_cast<std::size_t>(cells), EmptySolid());
    } catch (const std::bad_alloc&) {
        m_vCell.clear();
        m_vSolid.clear();
        return false;
    }
    m_nShift = shift;
    m_nPitch = 1 << shift;
    m_nRows = static_cast<i32>(rows);
    m_nStageW = static_cast<i32>(stageWidth);
    m_nStageH = static_cast<i32>(stageHeight);
    return true;
}

void cBlockMap::Clear() {
    m_vCell.clear();
    m_vSolid.clear();
    m_mapCond.clear();
    m_nPitch = m_nShift = m_nRows = m_nStageW = m_nStageH = 0;
}

bool cBlockMap::SetBlock(i32 index, const cEdBlock& block) {
    BLOCKCELL* c = Find(index);
    if (!c) return false;
    c->block = static_cast<const EDBLOCK_DATA&>(block);
    c->bHasCond = block.Conds().empty() ? 0 : 1;
    if (c->bHasCond) m_mapCond[index] = BLOCKCONDS{block.Conds(), block.byGroup1a, block.byGroup1b};
    else m_mapCond.erase(index);
    m_vSolid[static_cast<std::size_t>(index)] = SolidOf(*c);
    return true;
}

const BLOCKCONDS* cBlockMap::Conds(i32 index) const {
    if (!At(index).bHasCond) return nullptr;
    auto it = m_mapCond.find(index);
    return it == m_mapCond.end() ? nullptr : &it->second;
}

std::vector<i32> cBlockMap::CondCells() const {
    std::vector<i32> v;
    v.reserve(m_mapCond.size());
    for (const auto& [index, conds] : m_mapCond) v.push_back(index);
    std::sort(v.begin(), v.end());
    return v;
}

cBlockMap::SAVEDCELL cBlockMap::Save(i32 index) const {
    SAVEDCELL s{At(index), {}};
    if (const BLOCKCONDS* c = Conds(index)) s.conds = *c;
    return s;
}

bool cBlockMap::Restore(i32 index, const SAVEDCELL& saved) {
    BLOCKCELL* c = Find(index);
    if (!c) return false;
    *c = saved.cell;
    if (c->bHasCond) m_mapCond[index] = saved.conds;
    else m_mapCond.erase(index);
    m_vSolid[static_cast<std::size_t>(index)] = SolidOf(*c);
    return true;
}
