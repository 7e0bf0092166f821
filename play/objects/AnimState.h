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
    bool operator==(const AnimState&) const = default;
};

// Program i becomes list[i] up to and including its first step with a negative value (or its
// whole length when it has none). Position and tick start over on program 0.
void AnimeMergePatterns(AnimState& s, const std::vector<const cVector<ANIMSTEP>*>& list);
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
