// Triggers and the flow scan: when an event happens to a character, which of its flows start.

#include "database/SystemSwitches.h"
#include "flow/FlowInternal.h"
#include "platform/system/Input.h"
#include "play/GameScene.h"

namespace {

constexpr i32 kTargetSlots = 4;

// The direction held on the character's input record (a stage character reads player 1's).
i32 InputSlotOf(const cChara& c) {
    const i32 no = c.PlayerNo();
    const std::size_t n = no >= 0 ? static_cast<std::size_t>(no) : 0;
    return n < g_vInput.size() ? FirstPressedKey(g_vInput[n]) : 0;
}

bool TestConds(cChara& c, cFlowRun& run) {
    if (!c.m_pScene) return false;
    return CheckFlowConds(*c.m_pScene, run, c) && CheckFlowKeyConds(c, run);
}

// A run of the event that is free to start, its conditions aside.
bool AnyIdleRun(const cChara& c, u8 kind) {
    for (const cFlowRun& run : c.m_vFlowRun)
        if (run.m_pFlow && run.m_nTrigger == kind && !(run.m_bRunning || run.m_bPaused || run.m_bStopped || run.m_bBusy))
            return true;
    return false;
}

} // namespace

void RunFlowsOf(cChara& c, u8 kind) { RunFlows(c, kind, nullptr, 0); }

namespace {

// The scan itself, apart from RunFlows' early answers, which most scans of a step end with.
[[gnu::noinline]] void ScanFlows(cChara& c, u8 kind, cObj* other, i8 number, bool early, bool noMark) {
    cGameScene* scene = c.m_pScene;
    if (scene) scene->SetFlowObj(&c);
    // The size is read again for every run: a start may run commands that change the list.
    for (i32 i = 0; i < c.m_vFlowRun.Size(); ++i) {
        cFlowRun& run = c.m_vFlowRun[i];
        const cFlow* flow = run.m_pFlow;
        if (!flow || run.m_nTrigger != kind) continue;
        if (early && !noMark) {
            if (run.m_bPassMark) continue;
            run.m_bPassMark = 1;
            c.m_bFlowMarked = 1;
        }
        if (run.m_bRunning || run.m_bPaused || run.m_bStopped || run.m_bBusy) continue;
        if (kind == TRIG_ALWAYS) {
            const i32 letter = run.Letter();
            if (letter && (c.m_vLetterRunning[letter] || c.m_vLetterStarted[letter])) continue;
        }
        if (number >= 1 && flow->subKind != static_cast<u8>(number)) continue;
        if (!early && !noMark) {
            if (run.m_bPassMark) continue;
            run.m_bPassMark = 1;
            c.m_bFlowMarked = 1;
        }
        // The event's other object goes into the named target slot while the conditions are
        // tested, and stays there when they hold. A slot byte past the four slots (a damaged
        // file) tests the conditions without it.
        if (flow->targetOther && other && flow->targetSlot < kTargetSlots) {
            const i32 slot = flow->targetSlot;
            const cObjHandle before = c.m_aTarget[slot];
            SetTargetSlot(c, slot, other, 1);
            if (!TestConds(c, run)) {
                SetTargetSlot(c, slot, before.Get(), 1);
                continue;
            }
        } else if (!TestConds(c, run)) {
            continue;
        }
        run.m_nInputSlot = InputSlotOf(c);
        run.Start(c);
    }
    if (scene) scene->ClearFlowPointers();
}

} // namespace

void RunFlows(cChara& c, u8 kind, cObj* other, i8 number) {
    // The scan ends with no hand-over: a flow being stepped when an event reached this scan has
    // its run and command named again before each of its commands.
    cGameScene* scene = c.m_pScene;
    // None of its flows waits for this event: the scan would read every run and start none.
    if (!(c.m_nFlowTriggers & TriggerBit(kind))) {
        if (scene) scene->ClearFlowPointers();
        return;
    }
    const bool early = SysSwitch(SW_FLOW_MARK_EARLY) != 0;
    const bool noMark = SysSwitch(SW_FLOW_NO_MARK) != 0;
    // Every run of the event already running, paused, stopped or started this step (an always
    // flow that runs, on most steps): the scan would pass them all. Unless the marks come first,
    // which mark even those.
    if ((!early || noMark) && !AnyIdleRun(c, kind)) {
        if (scene) scene->ClearFlowPointers();
        return;
    }
    ScanFlows(c, kind, other, number, early, noMark);
}

void ResetFlowMarks(cChara& c) {
    // A character whose runs nothing has marked since the last reset has nothing to clear (most
    // of a large stage's characters sleep out of range).
    if (!c.m_bFlowMarked) return;
    c.m_bFlowMarked = 0;
    for (cFlowRun& run : c.m_vFlowRun) {
        run.m_bPassMark = 0;
        run.m_bBusy = 0;
    }
    for (u8& l : c.m_vLetterStarted) l = 0;
}

void SetTargetSlot(cChara& c, i32 slot, cObj* obj, i32 clearIfNull) {
    if (slot < 0 || slot >= kTargetSlots) return;
    if (!obj && !clearIfNull) return;
    cObjHandle& target = c.m_aTarget[slot];
    const OBJREF link{cObjHandle(&c), static_cast<u32>(slot)};
    if (cChara* old = target.Chara()) std::erase(old->m_vLink, link);
    target = cObjHandle(obj);
    if (cChara* now = target.Chara()) {
        if (std::find(now->m_vLink.begin(), now->m_vLink.end(), link) == now->m_vLink.end()) now->m_vLink.push_back(link);
    }
}
