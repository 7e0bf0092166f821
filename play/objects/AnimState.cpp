#include "play/objects/AnimState.h"

#include <algorithm>

#include "platform/system/Report.h"

namespace {

// The current program, or null when there is none or it is empty.
const cVector<ANIMSTEP>* Current(const AnimState& s) {
    // One check, then a plain read: a walker asks for its walk every step and, while a no-break
    // step plays, is refused here every step.
    if (static_cast<u32>(s.nProgram) >= s.vProgram.size()) return nullptr;
    const cVector<ANIMSTEP>& p = s.vProgram.data()[s.nProgram];
    return p.empty() ? nullptr : &p;
}

const ANIMSTEP& StepAt(const cVector<ANIMSTEP>& p, i32 step) {
    // The position is kept inside the program by every operation; this only guards a state
    // filled by hand.
    if (step < 0) step = 0;
    if (step >= p.Size()) step = p.Size() - 1;
    return p.data()[step];
}

// Steps back to the step before (a hold, or a jump that cannot be taken). At the first step
// there is nothing before: the step stays.
void Hold(AnimState& s) {
    if (s.nStep > 0) --s.nStep;
}

} // namespace

void AnimeMergePatterns(AnimState& s, const std::vector<const cVector<ANIMSTEP>*>& list) {
    s.vProgram.assign(list.size(), cVector<ANIMSTEP>{});
    for (std::size_t i = 0; i < list.size(); ++i) {
        if (!list[i]) continue;
        cVector<ANIMSTEP>& dst = s.vProgram[static_cast<long long>(i)];
        for (const ANIMSTEP& step : *list[i]) {
            dst.push_back(step);
            if (step.nValue < 0) break;
        }
    }
    s.nProgram = 0;
    s.nStep = 0;
    s.nTick = 0;
}

i32 AnimeSetPattern(AnimState& s, i32 program, i32 force) {
    if (!force) {
        const cVector<ANIMSTEP>* p = Current(s);
        if (p && StepAt(*p, s.nStep).nNoBreak) return 0;
    }
    if (program < 0 || program >= s.vProgram.Size()) {
        WriteReport("AnimeSetPattern : %d / %d", program, s.vProgram.Size());
        return 0;
    }
    s.nProgram = program;
    s.nStep = 0;
    s.nTick = 0;
    return 1;
}

i32 AnimeAdvance(AnimState& s) {
    const cVector<ANIMSTEP>* p = Current(s);
    if (!p) return 0;
    ++s.nTick;
    if (s.nTick >= StepAt(*p, s.nStep).nFrames) {
        s.nTick = 0;
        // The last step stays current: a program never runs past its end.
        if (s.nStep + 1 < p->Size()) {
            ++s.nStep;
            const ANIMSTEP& now = StepAt(*p, s.nStep);
            if (now.nValue == ANIM_JUMP) {
                if (now.nFrames >= 0 && now.nFrames < s.vProgram.Size() && !s.vProgram[now.nFrames].empty()) {
                    AnimeSetPattern(s, now.nFrames, 1);
                } else {
                    WriteReport("AnimeAdvance : %d / %d", now.nFrames, s.vProgram.Size());
                    Hold(s);
                }
            } else if (now.nValue == ANIM_LOOP) {
                s.nStep = 0;
            } else if (now.nValue == ANIM_HOLD) {
                Hold(s);
            }
        }
    }
    return AnimeCurrentValue(s);
}

i32 AnimeCurrentValue(const AnimState& s) {
    const cVector<ANIMSTEP>* p = Current(s);
    return p ? StepAt(*p, s.nStep).nValue : 0;
}

i32 AnimeShownValue(const AnimState& s) {
    const cVector<ANIMSTEP>* p = Current(s);
    if (!p) return 0;
    const i32 value = StepAt(*p, s.nStep).nValue;
    if (value != ANIM_END) return value;
    for (i32 i = std::min(s.nStep, p->Size()) - 1; i >= 0; --i)
        if (p->data()[i].nValue >= 0) return p->data()[i].nValue;
    return 0;
}
