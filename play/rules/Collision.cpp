// Block collision: solidity, probes, landing and ceiling, the per-axis passes.
#include "play/rules/Collision.h"

#include <algorithm>
#include <cstdlib>

#include "database/SystemSwitches.h"
#include "play/rules/Motion.h"

namespace {

HITRECT BoxOf(const cObj& o) { return HITRECT{o.m_dX, o.m_dY, o.m_dRight, o.m_dBottom}; }

// A probe point's cell and solidity for the character: the cell is that of the whole pixel.
PROBE At(cGameScene& scene, const cChara& c, i32 x, i32 y) {
    const i32 cell = scene.m_vBlockMap.IndexAtWholePixel(x, y);
    if (cell < 0) return PROBE{cell, 0};
    return PROBE{cell, IsBlockSolidInMap(scene, cell, static_cast<i32>(c.m_nBlockSide))};
}

// The flight mode's early answers of a side or top probe: -1 go on with the push-out.
i32 StopCode(const cChara& c, i32 v) {
    if (v == 0) return 0;
    if (v == 2 && c.m_nKind != 1) return 2;
    if (c.FlyMode() == FLY_STOP) return 2;
    return -1;
}

void SideTriggers(cChara& c, i32 side) {
    c.m_nLastSide = side;
    RunFlowsOf(c, TRIG_BLOCK);
    RunFlowsOf(c, TRIG_BLOCK_SIDE);
    RunFlowsOf(c, side == 0 ? TRIG_BLOCK_LEFT : TRIG_BLOCK_RIGHT);
}

// The whole pixel of a position, mod 32: the fraction of a position survives a push-out, as it
// does a landing.
i32 Mod32(double v) { return Trunc32(v) & 31; }

} // namespace

bool BlockIsShown(cGameScene& scene, i32 cell) {
    BLOCKCELL* b = scene.m_vBlockMap.Find(cell);
    if (!b || !b->bHasCond) return true;
    const BLOCKCONDS* conds = scene.m_vBlockMap.Conds(cell);
    if (!conds || conds->vCond.empty()) return true;
    if (conds->byLatch && b->bCondHeld) return true;
    if (!EvalCondList(scene, conds->vCond, conds->byMode, scene.Player0())) return false;
    if (conds->byLatch) b->bCondHeld = 1;
    return true;
}

namespace {

[[gnu::noinline]] void ListBlockCharas(cGameScene& scene) {
    scene.m_vBlockCharas.clear();
    for (int i = 0; i < scene.m_lstChara.Size(); ++i)
        if (cStageChara* c = scene.m_lstChara.Live(i); c && c->m_bBlockChara) scene.m_vBlockCharas.push_back(c);
    scene.m_nBlockCharasOf = scene.m_lstChara.Version();
}

} // namespace

// Asked twice in every character's step (its wall and its touches); the list is made again
// apart, only when the characters changed.
const std::vector<cStageChara*>& BlockCharas(cGameScene& scene) {
    if (scene.m_nBlockCharasOf != scene.m_lstChara.Version()) [[unlikely]]
        ListBlockCharas(scene);
    return scene.m_vBlockCharas;
}

cStageChara* OverlapsBlockCharaBox(cGameScene& scene, const HITRECT& box, const cObj* self, bool except, u32 exceptId) {
    for (cStageChara* b : BlockCharas(scene)) {
        if (b == self || b->IsRemoved() || !b->m_bPresent || b->IsDying()) continue;
        if (except && b->m_nId == exceptId) continue;
        if (IsHitRect(box, BoxOf(*b))) return b;
    }
    return nullptr;
}

cStageChara* OverlapsBlockChara(cGameScene& scene, const cObj& o, bool except, u32 exceptId) {
    return OverlapsBlockCharaBox(scene, BoxOf(o), &o, except, exceptId);
}

i32 IsBlockAt(cGameScene& scene, const cObj& o) {
    if (o.FlyMode() == FLY_THROUGH) return 0;
    const i32 cell = scene.m_vBlockMap.Index(o.m_nCellL, o.m_nCellT);
    if (cell >= 0 && IsBlockSolid(scene, cell, static_cast<i32>(o.m_nBlockSide))) return 1;
    return OverlapsBlockChara(scene, o) ? 1 : 0;
}

bool AnyCornerSolidBox(cGameScene& scene, const HITRECT& box, u32 side) {
    const double xs[4] = {box.left, box.left, box.right, box.right};
    const double ys[4] = {box.top, box.bottom, box.top, box.bottom};
    for (int i = 0; i < 4; ++i) {
        const i32 cell = scene.m_vBlockMap.IndexAtPixel(xs[i], ys[i]);
        if (cell >= 0 && IsBlockSolid(scene, cell, static_cast<i32>(side))) return true;
    }
    return false;
}

bool AnyCornerSolid(cGameScene& scene, const cObj& o) { return AnyCornerSolidBox(scene, BoxOf(o), o.m_nBlockSide); }

namespace {

// ProbeCell's two kinds of segment, apart, for the probes of a step, which know theirs. Their
// points are read by at(x, y, p), which may answer false (it could not read the point): the
// segment then stops and answers false too.
template <class Reader>
bool ColumnWith(const cChara& c, i32 x, i32 y1, Reader&& at, PROBE& best) {
    const i32 points = c.m_nScale + 1;
    const i32 step = c.m_nBoxH0 - 1;
    for (i32 k = 0; k < points; ++k) {
        PROBE p;
        if (!at(x, y1 + k * step, p)) return false;
        if (k == 0 || p.solid > best.solid) best = p;
    }
    return true;
}

template <class Reader>
bool RowWith(const cChara& c, i32 x1, i32 x2, i32 y, Reader&& at, PROBE& best) {
    const i32 points = c.m_nScale + 1;
    const i32 step = c.m_nBoxW0 - 1;
    const i32 mid = (x1 + x2) / 2;
    i32 bestDist = 0;
    for (i32 k = 0; k < points; ++k) {
        const i32 x = x1 + k * step;
        PROBE p;
        if (!at(x, y, p)) return false;
        const i32 dist = std::abs(x - mid);
        if (k == 0 || p.solid > best.solid || (p.solid == best.solid && dist < bestDist)) {
            best = p;
            bestDist = dist;
        }
    }
    return true;
}

// The first reader of a segment: the solidity plane alone, which answers every block without
// appearance conditions as IsBlockSolid does. It reads nothing but the plane and calls nothing,
// so that the probes of a step stay short; a block with conditions makes it give up, and the
// segment is read again by At, which evaluates them in their order as ever.
struct PLANEREADER {
    const cBlockMap& map;
    i32 side;
    PLANEREADER(const cBlockMap& m, const cChara& c) : map(m), side(static_cast<i32>(c.m_nBlockSide)) {}
    bool operator()(i32 x, i32 y, PROBE& p) const {
        const i32 cell = map.IndexAtWholePixel(x, y);
        if (cell < 0) {
            p = PROBE{cell, 0};
            return true;
        }
        const BLOCKSOLID solid = map.SolidInMap(cell);
        if (solid.bHasCond) return false;
        p = PROBE{cell, solid.For(side)};
        return true;
    }
};

[[gnu::noinline]] PROBE ColumnWithConds(cGameScene& scene, const cChara& c, i32 x, i32 y1) {
    PROBE best;
    ColumnWith(c, x, y1, [&](i32 px, i32 py, PROBE& p) { return p = At(scene, c, px, py), true; }, best);
    return best;
}

[[gnu::noinline]] PROBE RowWithConds(cGameScene& scene, const cChara& c, i32 x1, i32 x2, i32 y) {
    PROBE best;
    RowWith(c, x1, x2, y, [&](i32 px, i32 py, PROBE& p) { return p = At(scene, c, px, py), true; }, best);
    return best;
}

// A character of the normal size (scale 1) probes the two ends of each segment: its own short
// way, the same choices as the loops (the second point wins only when more solid, or, on a row,
// as solid and nearer the middle).
PROBE ProbeColumn(cGameScene& scene, const cChara& c, i32 x, i32 y1) {
    const PLANEREADER at(scene.m_vBlockMap, c);
    PROBE best;
    if (c.m_nScale == 1) [[likely]] {
        PROBE second;
        if (at(x, y1, best) && at(x, y1 + (c.m_nBoxH0 - 1), second)) [[likely]]
            return second.solid > best.solid ? second : best;
    } else if (ColumnWith(c, x, y1, at, best)) {
        return best;
    }
    return ColumnWithConds(scene, c, x, y1);
}

PROBE ProbeRow(cGameScene& scene, const cChara& c, i32 x1, i32 x2, i32 y) {
    const PLANEREADER at(scene.m_vBlockMap, c);
    PROBE best;
    if (c.m_nScale == 1) [[likely]] {
        const i32 x = x1 + (c.m_nBoxW0 - 1), mid = (x1 + x2) / 2;
        PROBE second;
        if (at(x1, y, best) && at(x, y, second)) [[likely]] {
            const bool nearer = std::abs(x - mid) < std::abs(x1 - mid);
            return second.solid > best.solid || (second.solid == best.solid && nearer) ? second : best;
        }
    } else if (RowWith(c, x1, x2, y, at, best)) {
        return best;
    }
    return RowWithConds(scene, c, x1, x2, y);
}

// A segment of a probe that knows only its ends (a box one pixel wide is a column).
PROBE ProbeSegment(cGameScene& scene, const cChara& c, i32 x1, i32 y1, i32 x2) {
    return x1 == x2 ? ProbeColumn(scene, c, x1, y1) : ProbeRow(scene, c, x1, x2, y1);
}

} // namespace

PROBE ProbeCell(cGameScene& scene, const cChara& c, i32 x1, i32 y1, i32 x2, i32 y2) {
    (void)y2;
    return ProbeSegment(scene, c, x1, y1, x2);
}

PROBE FloorCell(cGameScene& scene, const cChara& c) {
    const i32 n = c.m_nScale % 2 == 0 ? c.m_nScale + 1 : c.m_nScale + 2;
    const i32 left = Trunc32(c.m_dX), right = Trunc32(c.m_dRight), y = Trunc32(c.m_dBottom);
    const i32 step = c.m_nBoxW / (n - 1);
    const double centre = c.BoxCentreX();
    PROBE best;
    double bestDist = 0;
    for (i32 k = 0; k < n; ++k) {
        const i32 x = k == n - 1 ? right : left + k * step;
        const PROBE p = At(scene, c, x, y);
        const double dist = std::abs(x - centre);
        if (k == 0 || p.solid > best.solid || (p.solid == best.solid && dist < bestDist)) {
            best = p;
            bestDist = dist;
        }
    }
    return best;
}

namespace {

// What a side probe does on a solid cell: the character stops and is put back against the cell's
// side. Apart from the probe, which a step makes four times and which seldom finds a wall.
[[gnu::noinline]] void PushOutSide(cChara& c, bool right) {
    (right ? c.m_bContactR : c.m_bContactL) = 1;
    c.m_dAccelX = 0;
    if (right) c.m_dX -= Mod32(c.m_dRight) + 1;
    else c.m_dX += 32 - Mod32(c.m_dX);
    c.UpdateEdgesX();
    c.OnMovedX();
    SideTriggers(c, right ? 1 : 0);
}

// A side probe: the cells along the left or right edge; a solid one stops the character and puts
// it back against the cell's side.
template <bool kRight>
i32 ProbeSide(cGameScene& scene, cChara& c) {
    if (c.FlyMode() == FLY_THROUGH) return 0;
    const i32 x = Trunc32(kRight ? c.m_dRight : c.m_dX);
    const PROBE p = ProbeColumn(scene, c, x, Trunc32(c.m_dY));
    if (p.solid == 0) [[likely]]
        return 0;
    if (const i32 r = StopCode(c, p.solid); r >= 0) return r;
    PushOutSide(c, kRight);
    return 0;
}

} // namespace

i32 ProbeLeft(cGameScene& scene, cChara& c) { return ProbeSide<false>(scene, c); }

i32 ProbeRight(cGameScene& scene, cChara& c) { return ProbeSide<true>(scene, c); }

i32 ProbeTop(cGameScene& scene, cChara& c) {
    if (c.FlyMode() == FLY_THROUGH) return 0;
    const i32 y = Trunc32(c.m_dY);
    const PROBE p = ProbeSegment(scene, c, Trunc32(c.m_dX), y, Trunc32(c.m_dRight));
    if (const i32 r = StopCode(c, p.solid); r >= 0) return r;
    OnHitCeiling(c);
    return 0;
}

namespace {

// keepFloor: a second bottom probe in the same step (the vertical side probe, a rider put back on
// its block character). A landing leaves the feet one dot above the cell it found, so that probe
// finds nothing there: it must not take away the floor the step's own probe found, which the jump
// (its end on the floor), the floor effects and the block items read in the next step.
i32 BottomProbe(cGameScene& scene, cChara& c, bool keepFloor) {
    if (c.FlyMode() == FLY_THROUGH) return 0;
    const i32 y = Trunc32(c.m_dBottom);
    const PROBE p = ProbeSegment(scene, c, Trunc32(c.m_dX), y, Trunc32(c.m_dRight));
    // No floor, the usual answer of a walker's two probes (a landing leaves the feet above the
    // cell): it asks nothing of the player.
    if (p.solid == 0) {
        if (!keepFloor) c.m_nFloorCell = -1;
        if (++c.m_nNoFloorFrames >= FallDelay()) {
            // The player's kind (a stage character may have it too) does not fall while it
            // rides a block character, so that it can still jump off it.
            if (c.m_nKind != 0) {
                c.m_bFalling = 1;
            } else if (!c.m_bOnBlockChara) {
                c.m_bFalling = 1;
                if (cPlayer* player = c.AsPlayer()) player->m_bAirborne = 1;
            }
        }
        return 0;
    }
    cPlayer* player = c.AsPlayer();
    const bool mayRiseOnto = SysSwitch(SW_LAND_WHILE_RISING) || c.IsFlying();
    if (p.solid == 2) {
        c.m_nFloorCell = c.m_nLastFloorCell = p.cell;
        if (c.m_nKind != 1) return 2;
    }
    if (c.FlyMode() == FLY_STOP) return 2;
    if (!mayRiseOnto && c.m_dSpeedY < 0) return 0;
    c.m_nFloorCell = player && p.solid == 1 ? FloorCell(scene, c).cell : p.cell;
    c.m_nLastFloorCell = c.m_nFloorCell;
    OnLand(c);
    return 0;
}

i32 ProbeBottomAgain(cGameScene& scene, cChara& c) { return BottomProbe(scene, c, true); }

} // namespace

i32 ProbeBottom(cGameScene& scene, cChara& c) { return BottomProbe(scene, c, false); }

namespace {

using ProbeFn = i32 (*)(cGameScene&, cChara&);

// Two probes in order; a 2 from the first skips the second.
i32 TwoProbes(cGameScene& scene, cChara& c, ProbeFn first, ProbeFn second) {
    if (first(scene, c) == 2) return 2;
    return second(scene, c) == 2 ? 2 : 0;
}

// The probes of one axis: the side ahead of the motion first (the near side, left or top, at
// rest); in flight mode 2 the far side (right, bottom) first whatever the motion.
i32 CollideAxis(cGameScene& scene, cChara& c, double speed, ProbeFn far, ProbeFn near) {
    switch (c.FlyMode()) {
    case FLY_THROUGH: return 0;
    case FLY_BLOCKED: return TwoProbes(scene, c, far, near);
    default: return speed > 0 ? TwoProbes(scene, c, far, near) : TwoProbes(scene, c, near, far);
    }
}

} // namespace

namespace {

// Both side columns of a character of the normal size find no block: the usual answer, and one
// for which the order of the two side probes does not matter, since a probe that finds nothing
// changes nothing. Any other answer (a block, a condition to evaluate, another size) is left to
// the probes themselves.
bool SidesClear(cGameScene& scene, const cChara& c) {
    if (c.m_nScale != 1) return false;
    const PLANEREADER at(scene.m_vBlockMap, c);
    const i32 top = Trunc32(c.m_dY), bottom = top + (c.m_nBoxH0 - 1);
    // A column's answer is the greater solidity of its two points.
    auto clear = [&](i32 x) {
        PROBE a, b;
        return at(x, top, a) && at(x, bottom, b) && std::max(a.solid, b.solid) == 0;
    };
    return clear(Trunc32(c.m_dX)) && clear(Trunc32(c.m_dRight));
}

} // namespace

i32 CollideBlocksX(cGameScene& scene, cChara& c) {
    if (SidesClear(scene, c)) return 0;
    return CollideAxis(scene, c, c.m_dSpeedX, ProbeRight, ProbeLeft);
}

i32 CollideBlocksX2(cGameScene& scene, cChara& c) {
    if (c.FlyMode() == FLY_THROUGH) return 0;
    if (SidesClear(scene, c)) return 0;
    return TwoProbes(scene, c, ProbeRight, ProbeLeft);
}

i32 CollideBlocksY(cGameScene& scene, cChara& c) {
    c.m_nFloorCell = -1;
    return CollideAxis(scene, c, c.m_dSpeedY, ProbeBottom, ProbeTop);
}

i32 CollideBlocksBoth(cGameScene& scene, cChara& c) {
    if (c.FlyMode() == FLY_THROUGH) return 0;
    return TwoProbes(scene, c, ProbeBottomAgain, ProbeTop);
}
