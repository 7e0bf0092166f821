// The block probes against their rule, point by point: a segment's points are scale + 1, the
// unscaled box side - 1 apart; each reads the cell of its whole pixel as IsBlockSolid answers it
// (nothing outside the map); the highest solidity wins, on a column the first of equal ones, on a
// row the one nearest the segment's middle. The probes read a plane of their own and take short
// ways for the normal size: these sweeps hold them to the rule over blocks of every kind, the
// map's edges, the sizes and both block sides.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <string>

#include "play/rules/Collision.h"
#include "play/rules/Damage.h"
#include "play/rules/Motion.h"
#include "tests/play/RulesTestUtil.h"

using namespace rulestest;

namespace {

// The rule, one IsBlockSolid per point. Column when x1 == x2, else a row.
PROBE RuleProbe(cGameScene& s, const cChara& c, i32 x1, i32 y1, i32 x2) {
    const bool column = x1 == x2;
    const i32 points = c.m_nScale + 1;
    const i32 step = (column ? c.m_nBoxH0 : c.m_nBoxW0) - 1;
    const i32 mid = (x1 + x2) / 2;
    PROBE best;
    i32 bestDist = 0;
    for (i32 k = 0; k < points; ++k) {
        const i32 x = column ? x1 : x1 + k * step, y = column ? y1 + k * step : y1;
        const i32 cell = s.m_vBlockMap.IndexAtWholePixel(x, y);
        const PROBE p{cell, cell < 0 ? 0 : IsBlockSolid(s, cell, static_cast<i32>(c.m_nBlockSide))};
        const i32 dist = std::abs(x - mid);
        const bool better = column ? p.solid > best.solid : p.solid > best.solid || (p.solid == best.solid && dist < bestDist);
        if (k == 0 || better) {
            best = p;
            bestDist = dist;
        }
    }
    return best;
}

// Row 5 of the stage holds one block of each kind, from column 3 on: solid, solid for stage
// characters only (2), a solidity byte past 127 (negative), one-way for side 0 and for side 1,
// and one shown only while stage variable 0 is 0; row 6 repeats the plain and the conditional
// block under the others so that columns and rows meet two kinds at once; row 7 has the
// negative one alone.
cStage KindsStage() {
    cStage st = playtest::MakeStage(20, 15);
    auto add = [&](i16 x, i16 y, u8 solid, u8 openSide, bool cond) {
        cEdBlock b = playtest::MakeBlock(x, y);
        b.bySolid = solid;
        b.byOpenSide = openSide;
        if (cond) playtest::ShowWhileVarZero(b);
        st.vBlock.push_back(b);
    };
    add(3, 5, 1, 255, false);
    add(4, 5, 2, 255, false);
    add(5, 5, 200, 255, false);
    add(6, 5, 1, 0, false);
    add(7, 5, 1, 1, false);
    add(8, 5, 1, 255, true);
    add(4, 6, 1, 255, false);
    add(6, 6, 1, 255, true);
    add(8, 6, 2, 255, false);
    // Alone in its row: the points either side of it, empty, are more solid than it.
    add(5, 7, 200, 255, false);
    st.Prepare();
    return st;
}

struct SWEEP {
    std::string mismatches;
    int probes = 0, onCond = 0, negative = 0, outside = 0, ties = 0;
};

// Column and row probes of a character of the given size and side over rows 4 to 7 and columns
// 1 to 10 of the stage, and past the map's four edges.
void Sweep(cGameScene& s, cStageChara& c, i32 scale, i32 boxW0, i32 boxH0, u32 side, SWEEP& out) {
    c.m_nScale = scale;
    c.m_nBoxW0 = boxW0;
    c.m_nBoxH0 = boxH0;
    c.m_nBlockSide = side;
    const i32 o = cBlockMap::kOrigin;
    auto check = [&](i32 x1, i32 y1, i32 x2) {
        const PROBE got = ProbeCell(s, c, x1, y1, x2, y1);
        const PROBE want = RuleProbe(s, c, x1, y1, x2);
        ++out.probes;
        if (want.cell >= 0 && s.m_vBlockMap.SolidAt(want.cell).bHasCond) ++out.onCond;
        if (want.solid < 0) ++out.negative;
        if (want.cell < 0) ++out.outside;
        if (x1 != x2 && RuleProbe(s, c, x1 + (boxW0 - 1), y1, x1 + (boxW0 - 1)).solid == RuleProbe(s, c, x1, y1, x1).solid)
            ++out.ties;
        if ((got.cell != want.cell || got.solid != want.solid) && out.mismatches.size() < 400)
            out.mismatches += "s" + std::to_string(scale) + " " + std::to_string(boxW0) + "x" + std::to_string(boxH0) + " side " +
                              std::to_string(side) + " (" + std::to_string(x1) + "," + std::to_string(y1) + ".." +
                              std::to_string(x2) + "): " + std::to_string(got.cell) + "/" + std::to_string(got.solid) +
                              " not " + std::to_string(want.cell) + "/" + std::to_string(want.solid) + "\n";
    };
    for (i32 y = o + 4 * 32 - 40; y < o + 8 * 32; y += 7)
        for (i32 x = o + 32 - 20; x < o + 11 * 32; x += 9) {
            check(x, y, x);
            check(x, y, x + scale * boxW0 - 1);
            check(x, y, x + 5); // a middle of its own
        }
    // The map's rows end with the field; its columns go on past it to the row pitch.
    const i32 w = s.StageWidthPx(), h = s.StageHeightPx(), p = s.m_vBlockMap.Pitch() * 32;
    for (i32 y : {-70, -1, 0, 31, h - 40, h - 1, h, h + 50})
        for (i32 x : {-70, -1, 0, 40, w - 40, w - 1, w, w + 50, p - 1, p, p + 40}) {
            check(x, y, x);
            check(x, y, x + scale * boxW0 - 1);
        }
}

} // namespace

TEST(ProbePoints, EverySegmentAnswersAsItsPointsByTheRule) {
    RulePlay play(KindsStage());
    cGameScene& s = play.s;
    cStageChara& c = AddStageChara(s, 12, 13);
    SWEEP sweep;
    for (i32 var : {0, 5}) {
        s.m_vStageVar[0] = var;
        for (u32 side : {0u, 1u}) {
            Sweep(s, c, 1, 32, 32, side, sweep);
            Sweep(s, c, 1, 20, 28, side, sweep);
            Sweep(s, c, 1, 1, 1, side, sweep);
            Sweep(s, c, 2, 16, 24, side, sweep);
            Sweep(s, c, 2, 32, 32, side, sweep);
            Sweep(s, c, 3, 32, 32, side, sweep);
            Sweep(s, c, 0, 32, 32, side, sweep);
        }
    }
    EXPECT_EQ(sweep.mismatches, "");
    // The sweeps met every kind of answer.
    EXPECT_EQ(sweep.probes, 81536);
    EXPECT_GT(sweep.onCond, 500);
    EXPECT_GT(sweep.negative, 200);
    EXPECT_GT(sweep.outside, 500);
    EXPECT_GT(sweep.ties, 5000);
}

// The side and top probes of a step, through their entry points, on a conditional block: shown
// it stops the character and puts it back against its side; hidden it lets it be.
TEST(ProbePoints, SideAndTopProbesReadAConditionalBlockAsShown) {
    RulePlay play(KindsStage());
    cGameScene& s = play.s;
    cStageChara& c = AddStageChara(s, 12, 13);
    const i32 o = cBlockMap::kOrigin;
    std::string out;
    for (i32 var : {0, 5}) {
        s.m_vStageVar[0] = var;
        // Overlapping the conditional block (column 8, row 5) from the left by 3 pixels.
        c.m_dX = o + 8 * 32 - c.m_nBoxW + 3;
        c.m_dY = o + 5 * 32;
        c.ClampX(2);
        c.ClampY(2);
        c.m_bContactR = 0;
        const i32 right = ProbeRight(s, c);
        out += std::to_string(right) + (c.m_bContactR ? "R@" : "-@") + Num(c.m_dX - o) + " ";
        // Its head 2 pixels into the same block from below.
        c.m_dX = o + 8 * 32 + 4;
        c.m_dY = o + 6 * 32 - 2;
        c.ClampX(2);
        c.ClampY(2);
        c.m_bContactT = 0;
        const i32 top = ProbeTop(s, c);
        out += std::to_string(top) + (c.m_bContactT ? "T@" : "-@") + Num(c.m_dY - o) + " | ";
    }
    EXPECT_EQ(out, "0R@" + Num(8 * 32 - c.m_nBoxW) + " 0T@192 | 0-@" + Num(8 * 32 - c.m_nBoxW + 3) + " 0-@190 | ");
}

// A box longer than the whole field (margins included) is put back at the field's start by the
// step's second clamp after the move's first put it at the far end: its edges follow it.
TEST(ProbePoints, TheStepsSecondClampMovesABoxLongerThanTheField) {
    RulePlay play;
    cGameScene& s = play.s;
    cStageChara& c = AddStageChara(s, 5, 13);
    const i32 field = s.StageWidthPx();
    c.m_nBoxW = field + 120;
    c.m_dX = 100;
    c.m_dSpeedX = 0;
    c.StepX();
    EXPECT_EQ(Num(c.m_dX) + " " + Num(c.m_dRight) + " " + std::to_string(c.m_nCellL) + " " + std::to_string(c.m_nCellR),
              "0 " + std::to_string(field + 119) + " 0 " + std::to_string((field + 119) >> 5));
    // A box that fits is clamped once: the second clamp finds it where the first left it.
    c.m_nBoxW = 16;
    c.m_dX = -30;
    c.StepX();
    EXPECT_EQ(Num(c.m_dX) + " " + Num(c.m_dRight) + " " + std::to_string(c.m_nCellR), "0 15 0");
    c.m_dX = field - 4;
    c.StepX();
    EXPECT_EQ(Num(c.m_dX) + " " + Num(c.m_dRight) + " " + std::to_string(c.m_nCellR),
              std::to_string(field - 16) + " " + std::to_string(field - 1) + " " + std::to_string((field - 1) >> 5));
}

// Trunc32: toward zero inside the i32 range, saturating beyond it, NaN and the infinities 0;
// every value around the ends of the range, where the processor's conversion gives up, by itself.
TEST(ProbePoints, Trunc32TruncatesAndSaturates) {
    const double inf = std::numeric_limits<double>::infinity(), nan = std::numeric_limits<double>::quiet_NaN();
    const struct {
        double v;
        i32 want;
    } rows[] = {
        {0.0, 0},
        {-0.0, 0},
        {0.99, 0},
        {-0.99, 0},
        {31.99, 31},
        {-31.99, -31},
        {-32.5, -32},
        {2147483646.5, 2147483646},
        {2147483647.0, 2147483647},
        {2147483647.75, 2147483647},
        {2147483648.0, 2147483647},
        {1e300, 2147483647},
        {inf, 0},
        {-2147483647.5, -2147483647},
        {-2147483648.0, -2147483647 - 1},
        {-2147483648.75, -2147483647 - 1},
        {-2147483649.0, -2147483647 - 1},
        {-1e300, -2147483647 - 1},
        {-inf, 0},
        {nan, 0},
        {-nan, 0},
    };
    for (const auto& r : rows) EXPECT_EQ(Trunc32(r.v), r.want) << r.v;
}

// The horizontal collision passes of a step against their two side probes run one after the
// other (the one ahead of the motion first): over blocks of every kind and both speeds' signs,
// the answer, the position and the contacts are the probes'.
TEST(ProbePoints, TheSidePassesAreTheirTwoProbes) {
    RulePlay play(KindsStage());
    cGameScene& s = play.s;
    cStageChara& c = AddStageChara(s, 12, 13);
    const i32 o = cBlockMap::kOrigin;
    std::string mismatches;
    int pushed = 0, runs = 0;
    for (i32 var : {0, 5})
        for (u32 side : {0u, 1u})
            for (double speed : {1.5, -1.5})
                for (i32 y = o + 4 * 32 - 30; y < o + 8 * 32; y += 5)
                    for (i32 x = o + 32; x < o + 11 * 32; x += 6) {
                        s.m_vStageVar[0] = var;
                        c.m_nBlockSide = side;
                        c.m_dSpeedX = speed;
                        c.m_dX = x + 0.25;
                        c.m_dY = y + 0.5;
                        c.ClampX(2);
                        c.ClampY(2);
                        c.m_bContactL = c.m_bContactR = 0;
                        cStageChara d = c;
                        auto probes = [&](cStageChara& e) {
                            const bool rightFirst = e.m_dSpeedX > 0;
                            if ((rightFirst ? ProbeRight(s, e) : ProbeLeft(s, e)) == 2) return 2;
                            return (rightFirst ? ProbeLeft(s, e) : ProbeRight(s, e)) == 2 ? 2 : 0;
                        };
                        for (int pass = 0; pass < 2; ++pass) {
                            cStageChara e = d;
                            const i32 got = pass == 0 ? CollideBlocksX(s, c) : CollideBlocksX2(s, c);
                            // The second pass probes the right side first whatever the speed.
                            if (pass == 1) e.m_dSpeedX = 1;
                            const i32 want = probes(e);
                            ++runs;
                            if (c.m_dX != d.m_dX) ++pushed;
                            if ((got != want || c.m_dX != e.m_dX || c.m_bContactL != e.m_bContactL ||
                                 c.m_bContactR != e.m_bContactR) &&
                                mismatches.size() < 300)
                                mismatches += "pass " + std::to_string(pass) + " var " + std::to_string(var) + " side " +
                                              std::to_string(side) + " at " + Num(d.m_dX) + "," + Num(d.m_dY) + ": " +
                                              std::to_string(got) + "@" + Num(c.m_dX) + " not " + std::to_string(want) + "@" +
                                              Num(e.m_dX) + "\n";
                            c = d;
                        }
                    }
    EXPECT_EQ(mismatches, "");
    EXPECT_EQ(runs, 27648);
    EXPECT_GT(pushed, 1000);
}
