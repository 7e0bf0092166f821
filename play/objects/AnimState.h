#pragma once
// The animation player every game object carries: small programs of steps, each a pattern
// number shown for some frames, or a control code (hold, loop, jump to another program, end).
// Objects choose a program and advance the player once per drawn frame; the value it gives is
// the pattern the drawing uses.
#include <vector>

#include "database/AnimeData.h"

struct AnimState {
    cVector<cVector<ANIMSTEP>> vProgram;
    i32 nProgram = 0;
    i32 nStep = 0;
    i32 nTick = 0;
    // The position (AnimeNoBreakKey) whose step was last found to carry the no-interrupt flag,
    // -1 none: a walker asks for its walk every step, and while such a step plays the refusal
    // then reads nothing of the programs. A position is the same step as long as the programs
    // stay, so only what replaces them (AnimeMergePatterns, AnimeReplacePrograms) clears it; a
    // position filled by hand simply does not match and is read.
    i32 nNoBreakAt = -1;
    // The programs and the position; not the remembered no-break position.
    bool operator==(const AnimState& o) const {
        return vProgram == o.vProgram && nProgram == o.nProgram && nStep == o.nStep && nTick == o.nTick;
    }
};

// The current position as one value for nNoBreakAt: -1 when program or step is outside the
// range it can stand for (such a position is always read).
inline i32 AnimeNoBreakKey(const AnimState& s) {
    if (s.nProgram < 0 || s.nProgram > 0x7fff || s.nStep < 0 || s.nStep > 0xffff) return -1;
    return s.nProgram << 16 | s.nStep;
}
// Whether an unforced switch would read the current program: the position is inside the
// programs and not the no-break step already found there (whose refusal reads none).
inline bool AnimeReadsProgram(const AnimState& s) {
    return static_cast<std::size_t>(s.nProgram) < s.vProgram.size() && !(s.nNoBreakAt >= 0 && s.nNoBreakAt == AnimeNoBreakKey(s));
}

// Program i becomes list[i] up to and including its first step with a negative value (or its
// whole length when it has none). Position and tick start over on program 0.
void AnimeMergePatterns(AnimState& s, const std::vector<const cVector<ANIMSTEP>*>& list);
// Replaces the programs by a copy of these, at program 0, step 0, tick 0.
void AnimeReplacePrograms(AnimState& s, const cVector<cVector<ANIMSTEP>>& programs);
// Switches to a program at step 0, tick 0: 1 done. Without force it is refused (0) while the
// current step carries the no-interrupt flag. A program number the state does not have is
// refused too, with a report line.
i32 AnimeSetPattern(AnimState& s, i32 program, i32 force);
// 1 without any change when the program is already current; otherwise AnimeSetPattern.
inline i32 AnimeSetPatternIfNew(AnimState& s, i32 program, i32 force) {
    if (program == s.nProgram && !s.vProgram.empty()) return 1;
    return AnimeSetPattern(s, program, force);
}
// One frame: the value of the step current after it (0 without programs). Never leaves the
// current program's steps: the last step (an end step -4 among them) stays current.
i32 AnimeAdvance(AnimState& s);
// The current step's value without advancing (0 without programs).
i32 AnimeCurrentValue(const AnimState& s);
// The pattern a character shows: the current value, except that a program that has ended keeps
// its last pattern on screen (0 when it had none) rather than drawing from the end code.
i32 AnimeShownValue(const AnimState& s);
