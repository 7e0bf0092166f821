// The animation player, as traces: the values of successive frames of small programs.
#include <gtest/gtest.h>

#include <string>

#include "play/objects/AnimState.h"

namespace {

AnimState Make(std::vector<cVector<ANIMSTEP>> programs) {
    AnimState s;
    std::vector<const cVector<ANIMSTEP>*> list;
    for (const auto& p : programs) list.push_back(&p);
    AnimeMergePatterns(s, list);
    return s;
}

std::string Trace(AnimState& s, int frames) {
    std::string out;
    for (int i = 0; i < frames; ++i) {
        if (i) out += ' ';
        out += std::to_string(AnimeAdvance(s));
    }
    return out;
}

} // namespace

TEST(AnimState, StepCodesTrace) {
    // Loop: the wrap comes when the third frame is over, so the pattern never changes.
    AnimState loop = Make({{{5, 3, 0}, {ANIM_LOOP, 0, 0}}});
    EXPECT_EQ(Trace(loop, 7), "5 5 5 5 5 5 5");
    // Hold: the first advance counts a frame; the hold keeps the last pattern on screen.
    AnimState hold = Make({{{1, 2, 0}, {2, 2, 0}, {ANIM_HOLD, 0, 0}}});
    EXPECT_EQ(Trace(hold, 6), "1 2 2 2 2 2");
    // Jump to program 1 (its number in the frames field), which then loops.
    AnimState jump = Make({{{7, 1, 0}, {ANIM_JUMP, 1, 0}}, {{8, 2, 0}, {9, 1, 0}, {ANIM_LOOP, 0, 0}}});
    EXPECT_EQ(Trace(jump, 7), "8 8 9 8 8 9 8");
    EXPECT_EQ(jump.nProgram, 1);
    // End: the end step stays current and keeps giving -4.
    AnimState end = Make({{{3, 2, 0}, {ANIM_END, 0, 0}}});
    EXPECT_EQ(Trace(end, 5), "3 -4 -4 -4 -4");
    EXPECT_EQ(end.nStep, 1);
    EXPECT_EQ(AnimeCurrentValue(end), ANIM_END);
}

TEST(AnimState, DamagedProgramsStayInsideTheirSteps) {
    // A hold at the first step, a jump to a program that does not exist, a program without an
    // end code and an empty program: no step outside a program is ever read.
    AnimState first = Make({{{ANIM_HOLD, 0, 0}}});
    EXPECT_EQ(Trace(first, 3), "-1 -1 -1");
    EXPECT_EQ(first.nStep, 0);
    AnimState missing = Make({{{4, 1, 0}, {ANIM_JUMP, 9, 0}}});
    EXPECT_EQ(Trace(missing, 3), "4 4 4");
    AnimState open = Make({{{6, 1, 0}, {7, 1, 0}}});
    EXPECT_EQ(Trace(open, 4), "7 7 7 7");
    AnimState empty = Make({{}});
    EXPECT_EQ(Trace(empty, 2), "0 0");
    AnimState none;
    EXPECT_EQ(AnimeAdvance(none), 0);
    EXPECT_EQ(AnimeCurrentValue(none), 0);
    EXPECT_EQ(AnimeSetPattern(none, 0, 1), 0);
}

TEST(AnimState, MergeTakesEachProgramUpToItsFirstCode) {
    const cVector<ANIMSTEP> a{{1, 2, 0}, {ANIM_END, 0, 0}, {9, 9, 9}};
    AnimState s = Make({a, {{2, 1, 1}}});
    ASSERT_EQ(s.vProgram.Size(), 2);
    EXPECT_EQ(s.vProgram[0], (cVector<ANIMSTEP>{{1, 2, 0}, {ANIM_END, 0, 0}}));
    EXPECT_EQ(s.vProgram[1].Size(), 1);
}

TEST(AnimState, NoInterruptStepsRefuseAnUnforcedSwitch) {
    AnimState s = Make({{{1, 2, 1}, {2, 2, 0}, {ANIM_LOOP, 0, 0}}, {{5, 1, 0}, {ANIM_LOOP, 0, 0}}});
    AnimeAdvance(s);
    EXPECT_EQ(AnimeSetPattern(s, 1, 0), 0); // refused: the animation goes on undisturbed
    EXPECT_EQ(Trace(s, 2), "2 2");
    EXPECT_EQ(AnimeSetPattern(s, 1, 0), 1); // the current step may be interrupted
    EXPECT_EQ(Trace(s, 1), "5");
    AnimState f = Make({{{1, 2, 1}, {ANIM_LOOP, 0, 1}}, {{5, 3, 0}, {ANIM_LOOP, 0, 0}}});
    EXPECT_EQ(AnimeSetPattern(f, 1, 1), 1); // force always switches
    EXPECT_EQ(AnimeCurrentValue(f), 5);
    // The current program is not restarted; a program the state lacks is refused.
    AnimeAdvance(f);
    EXPECT_EQ(AnimeSetPatternIfNew(f, 1, 1), 1);
    EXPECT_EQ(f.nTick, 1);
    EXPECT_EQ(AnimeSetPattern(f, 2, 1), 0);
    EXPECT_EQ(AnimeSetPattern(f, -1, 1), 0);
    EXPECT_EQ(f.nProgram, 1);
}

// A walker asks for its walk on every step: refused and nothing changed while the no-break step
// plays, taken on the first step after it, then kept. A damaged program number (past the list,
// or negative) has no current step to refuse with; an empty state refuses every program.
TEST(AnimState, WalkAskedEveryStepWaitsOutTheNoBreakStep) {
    AnimState s = Make({{{1, 3, 1}, {2, 1, 0}, {ANIM_LOOP, 0, 0}}, {{5, 2, 0}, {6, 2, 0}, {ANIM_LOOP, 0, 0}}});
    std::string trace;
    for (int i = 0; i < 7; ++i) {
        const i32 taken = AnimeSetPatternIfNew(s, 1, 0);
        trace += std::to_string(taken) + ":" + std::to_string(AnimeAdvance(s)) + " ";
    }
    EXPECT_EQ(trace, "0:1 0:1 0:2 1:5 1:6 1:6 1:5 ");
    for (const i32 damaged : {2, 3, -1}) {
        AnimState d = Make({{{1, 3, 1}, {ANIM_LOOP, 0, 0}}, {{5, 2, 0}}});
        d.nProgram = damaged;
        d.nStep = 1;
        EXPECT_EQ(AnimeSetPatternIfNew(d, 0, 0), 1) << damaged;
        EXPECT_EQ(AnimeCurrentValue(d), 1) << damaged;
    }
    AnimState empty;
    EXPECT_EQ(AnimeSetPatternIfNew(empty, 0, 0), 0);
    EXPECT_EQ(AnimeCurrentValue(empty), 0);
}
