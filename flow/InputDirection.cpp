// The direction held on the hero's keys, as the "入力方向" choice of shots and summons reads it.
#include "app/Game.h"
#include "app/Replay.h"
#include "flow/FlowEngine.h"
#include "play/GameScene.h"
#include "records/Stage.h"

namespace {

// The key direction states (FirstPressedKey): 0 none, 1 left, 2 right, 3 up, 4 down, 5 up-left,
// 6 down-left, 7 up-right, 8 down-right, 9 some other combination.
constexpr i32 kInputChoice = 12;

// The direction choice each key state stands for: the eight directions, and "前" (the facing)
// when none or no single direction is held.
constexpr i32 kChoiceOfKey[10] = {0, 2, 3, 6, 7, 8, 9, 10, 11, 0};

// Decision: data made before the version that gave "入力方向" its vertical and diagonal
// directions (778; replays recorded before 780) saw only the side held: a diagonal counts as its
// side, up or down alone as none (the facing).
constexpr i32 kSideOnly[10] = {0, 1, 2, 0, 0, 1, 1, 2, 2, 9};
constexpr u32 kAllDirectionsVersion = 778;
constexpr u32 kAllDirectionsReplayVersion = 780;

bool SideOnly() {
    if (g_Game.g_nGameMode == 4) return g_ReplayData.nFileVersion < kAllDirectionsReplayVersion;
    return g_Stage.nFileVersion < kAllDirectionsVersion;
}

} // namespace

i32 CmdParamKindValue(cGameScene& scene, i32 kind) {
    // Every other choice is a direction of its own.
    if (kind != kInputChoice) return kind;
    // The direction held when the flow started; a command outside a flow (an item's) reads the
    // hero's keys now.
    i32 held = 0;
    if (const cFlowRun* run = scene.FlowRun()) held = run->m_nInputSlot;
    else if (!g_vInput.empty()) held = FirstPressedKey(g_vInput[0]);
    if (held < 0 || held > 9) held = 0;
    return kChoiceOfKey[SideOnly() ? kSideOnly[held] : held];
}
