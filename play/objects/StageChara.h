#pragma once
// A character placed in the stage or summoned: enemies, allies and block characters. It embeds
// the item it carries.
#include <cstddef>
#include <new>
#include <vector>

#include "play/objects/Chara.h"
#include "play/objects/Item.h"

class cPlayer;

// The activity margin: the player's sight (half blocks) widens the view on every side; none
// without a player.
double ActivityMargin(const cPlayer* player);

// A character's entry in the scene's copy of what the walks of a step read (cGameScene::StepWork):
// its index there and the walk that made it. Not copied with the character.
struct STEPSLOT {
    i32 nIndex = -1;
    u32 nStamp = 0;
    STEPSLOT() = default;
    STEPSLOT(const STEPSLOT&) {}
    STEPSLOT& operator=(const STEPSLOT&) { return *this; }
};

// Aligned to cache lines, so that the fields the walks over every character read (see
// PrefetchRanged) take as few lines as they can.
class alignas(64) cStageChara : public cChara {
public:
    cStageChara();
    cStageChara(const cStageChara&) = default;
    cStageChara& operator=(const cStageChara&) = default;
    ~cStageChara() override;

    cStageChara* AsStageChara() override { return this; }

    // Stage characters come from slabs of their own, one after the other in the order they are
    // made (see StageChara.cpp).
    static void* operator new(std::size_t bytes, std::align_val_t align);
    static void operator delete(void* p, std::size_t bytes, std::align_val_t align) noexcept;

    i32 ScaleBoxes(i32 scale) override;
    void UpdateBoxesX() override;
    void UpdateBoxesY() override;
    void Assign(const cChara& src) override;
    // Always the embedded item (its mark is 0 when the character carries nothing).
    cItem* GetItem() override { return &m_Item; }
    i32 OnMovedX() override;
    i32 OnMovedY() override;
    i32 StepX() override;
    i32 StepY() override;
    i32 Update(i32 arg) override;
    void Jump(cCmdRun& run) override;

    // Sets the character up for play from a definition: the common set-up, its box by block flag
    // and size class, the carried item (a copy, or none), the activity range, the flows. The
    // cell is the placement; the copy index is the spawn index of repeated placements.
    void Setup(u32 id, const cEdChara& def, const cEdItem* item, i32 cellX, i32 cellY, i16 copyIndex,
               cChara* parent);
    // Puts the character on a stage cell (x with its half pixel), then its moved hooks.
    void SetCell(i32 cellX, i32 cellY);
    // In the view widened by the activity margin (ActivityMargin of its scene's player), on the axes its
    // range mode watches: the in-range flag, and the group's mark for a grouped character.
    // A walk over many characters takes the margin, and the view's position, once.
    i32 IsInActivityRange(std::vector<u32>& groupMarks);
    i32 IsInActivityRange(std::vector<u32>& groupMarks, double margin);
    i32 IsInActivityRange(std::vector<u32>& groupMarks, double margin, double viewX, double viewY);
    // Whether it acts this step (in range, its group marked, or kept awake); sets the active flag.
    i32 WakeUp(const std::vector<u32>& groupMarks);
    // Its box overlaps the given one (touching counts).
    bool OverlapsBox(double left, double top, double right, double bottom) const;
    // One step of the carried-item mark: counts 0..95; true while it is shown (64..95).
    bool StepCarriedItemMark();

    // What the walks of a step read of the stage character's own fields comes first, in a line
    // of its own (up to m_StepSlot); what only the drawing, set-up and a few commands read
    // follows; the carried item (a whole object) last.
    alignas(64) u32 m_bHasItem = 0;
    i32 m_nLife = 0x7fffffff;  // steps left of its life time (0x7fffffff: unlimited)
    u32 m_bIgnoreRangeX = 0;   // activity range mode
    u32 m_bIgnoreRangeY = 0;
    u32 m_bWoken = 0;
    u32 m_bStayAwake = 0;
    u32 m_bKeepAwake = 0;      // kept awake by its flows (not only in range)
    u32 m_nActivityRule = 0;   // 1 once woken, always awake; other values: awake by range or group
    u32 m_bActive = 0;         // decided each step from presence and the activity range
    u32 m_bInRange = 0;
    u32 m_bGroup = 0;          // wakes with its group
    i32 m_nGroup = 0;          // index into the scene's group marks
    u32 m_bBlockChara = 0;     // behaves like a block; both hit boxes cover its picture
    i32 m_nHoldOff = 0;        // hold-off timer of its update
    STEPSLOT m_StepSlot;
    i32 m_nItemBlink = 0;      // carried-item mark counter
    double m_dHomeX = 0.0;     // spawn position with the copy offset
    double m_dHomeY = 0.0;
    u8 m_byBehaviour[2] = {};  // two behaviour bytes of a summon
    cItem m_Item;              // the carried item
};

// Asks the processor for the cache lines of c that the walks over every character of a step read
// (the end of cObj, the start of CHARADATA and of the stage character's fields), some characters
// ahead of the walk. Reads nothing of c.
// The step-start walk's share of them (it reads neither boxes nor side).
inline void PrefetchRanged(const cStageChara& c) {
    __builtin_prefetch(&c.m_dX);
    __builtin_prefetch(&c.m_Self);
    __builtin_prefetch(&c.m_dSaved[3]);
    __builtin_prefetch(&c.m_nLife);
}
// The timers walk's share: the position with the registry place (one line), and the timers,
// contacts and saved position (the next).
inline void PrefetchTimed(const cStageChara& c) {
    __builtin_prefetch(&c.m_dX);
    __builtin_prefetch(&c.m_dSaved);
}
inline void PrefetchWalked(const cStageChara& c) {
    __builtin_prefetch(&c.m_dX);
    __builtin_prefetch(&c.m_Self);
    __builtin_prefetch(&c.m_dSaved);
    __builtin_prefetch(&c.m_rcBody);
    __builtin_prefetch(&c.m_rcDamage);
    __builtin_prefetch(&c.m_nLife);
    __builtin_prefetch(&c.m_bActive);
    __builtin_prefetch(&c.m_vFlowRun);
}
// A character's own step (its flows, motion, block probes and hits) reads the first lines of it,
// up to its links (see CHARADATA), and the line of the stage character's own fields that the
// walks read: asked for line by line, some characters ahead, so that a stage of thousands waits
// for them once rather than field by field. The lines between, and the rest of the stage
// character, wait until read. Reads nothing of c.
inline void PrefetchActing(const cStageChara& c) {
    const char* base = reinterpret_cast<const char*>(&c);
    const char* at = base;
    for (const char* end = reinterpret_cast<const char*>(&c.m_aTarget); at < end; at += 64) __builtin_prefetch(at);
    __builtin_prefetch(&c.m_bHasItem);
}
// The first run state of c's flows, which a character's step reads first (its scan for the
// every-step trigger), and the current entry of its animation's program list: reads where they
// are, so it is asked for some characters after PrefetchActing asked for that.
inline void PrefetchFlowRuns(const cStageChara& c) {
    const AnimState& anim = c.m_Anim;
    if (static_cast<std::size_t>(anim.nProgram) < anim.vProgram.size()) __builtin_prefetch(anim.vProgram.data() + anim.nProgram);
    if (c.m_vFlowRun.empty()) return;
    // What the scan and the step of a running flow read: the run up to its start state.
    const cFlowRun& first = c.m_vFlowRun.data()[0];
    const char* run = reinterpret_cast<const char*>(&first);
    const std::size_t read = static_cast<std::size_t>(reinterpret_cast<const char*>(&first.m_pCmdList) - run);
    for (std::size_t at = 0; at < read; at += 64) __builtin_prefetch(run + at);
    __builtin_prefetch(run + read - 1);
}
// What the step reaches through those: the command run the first flow steps (its current
// command's) and the step of the program its animation shows (a change of program reads it).
// Reads the first run and the animation's program list, so it is asked for some characters
// after PrefetchFlowRuns asked for them.
inline void PrefetchStepState(const cStageChara& c) {
    const AnimState& anim = c.m_Anim;
    if (static_cast<std::size_t>(anim.nProgram) < anim.vProgram.size()) {
        const cVector<ANIMSTEP>& steps = anim.vProgram.data()[anim.nProgram];
        if (static_cast<std::size_t>(anim.nStep) < steps.size()) __builtin_prefetch(steps.data() + anim.nStep);
    }
    if (c.m_vFlowRun.empty()) return;
    const cFlowRun& run = c.m_vFlowRun.data()[0];
    const char* cmd = reinterpret_cast<const char*>(run.m_vCmdRun.Find(run.m_nCurrent));
    if (!cmd) return;
    for (std::size_t at = 0; at < sizeof(cCmdRun); at += 64) __builtin_prefetch(cmd + at);
}
