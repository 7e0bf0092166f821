#pragma once
// The system data's switches and numbers by meaning (the table form is records/NamedSettings.h).
//
//   SysSwitch(SW_START_ALL_FLOWS)            from g_SystemData
//   SysSwitch(data, SW_START_ALL_FLOWS)      from a given system data
//
// The play and flow engines and the front end ask for a switch by what it does, never by its
// stored name: many stored names carry only the data version that introduced them, and which
// meaning such a switch serves is a mapping kept here alone. Compatibility switches (bCompat...)
// are 0 in data saved at the current version and 1 in older data that predates them, so a
// meaning with no known field reads 0, the current rule. The carry switches are the lists
// vCarryStatus and vCarryClear, read by name.
#include <span>

#include "database/SystemData.h"
#include "records/NamedSettings.h"

// X(id, member, mark, why, shared); N(id, why): no field known, reads 0.
#define TOBRELK_SYS_SWITCHES(X, N)                                                                             \
    /* front end and play scene */                                                                             \
    X(SW_REPLAY_SAVE, bReplaySave, Stated, "read by the replay keys and SetStage", nullptr)                    \
    X(SW_MISS_MENU, bMissMenu, Stated, "read by DrawPlayer after the player's death", nullptr)                 \
    X(SW_PAUSE_OVERLAY, bPauseOverlay, Stated, "read by the pause state's drawing", nullptr)                   \
    X(SW_REMOVE_FINISHED_CHARA, bCompat555, Chosen, "the play engine's switches with no named reader (555, "   \
      "637, 677, 749, 768, 793, and bSwitch287, a plain option that old data also has 0) serve its rules "     \
      "that name no reader; nothing ties one to another: the plain option to the fixed home, the rest "        \
      "roughly in the order the engine lists the rules", nullptr)                                              \
    X(SW_START_ALL_FLOWS, bCompat697, Stated, "its named reader is SetStage, whose one switch besides the "     \
      "replay switch is this one (the fixed home is the spawner's)", nullptr)                                  \
    X(SW_FIXED_HOME, bSwitch287, Chosen, "see SW_REMOVE_FINISHED_CHARA: the plain option", nullptr)            \
    X(SW_NO_SCROLL_FOLLOW, bCompat637, Chosen, "see SW_REMOVE_FINISHED_CHARA", nullptr)                        \
    X(SW_JUMP_RESTART, bCompat677, Chosen, "see SW_REMOVE_FINISHED_CHARA", nullptr)                            \
    X(SW_PAUSE_STORY_RETRY, bPauseSwitch224A, Chosen, "decision: the pause menu reads 224A, 224B and 757; "    \
      "757 came later and alone: the challenge retry; 224A and 224B in the engine's order, retry then map",    \
      nullptr)                                                                                                 \
    X(SW_PAUSE_STORY_MAP, bPauseSwitch224B, Chosen, "as SW_PAUSE_STORY_RETRY", nullptr)                        \
    X(SW_PAUSE_CHALLENGE_RETRY, bPauseSwitch757, Chosen, "as SW_PAUSE_STORY_RETRY", nullptr)                   \
    X(SW_CHALLENGE_SWITCH, bChallengeSwitch, Stated, "read by the challenge choice", nullptr)                  \
    X(SW_RECT_DISPLAY, bCompat768, Chosen, "see SW_REMOVE_FINISHED_CHARA", nullptr)                            \
    X(SW_SUMMON_OVERWRITE, bCompat749, Chosen, "see SW_REMOVE_FINISHED_CHARA", nullptr)                        \
    X(SW_KEEP_EDITOR_ONLY_FLOWS, bSwitch113, Stated, "nonzero: flows read with characters and commands "       \
      "skip FixFlows", nullptr)                                                                                \
    X(SW_PICTURE_TITLE_MENU, bSwitch157, Stated, "the title menu drawn from the GameMode picture", nullptr)    \
    X(SW_STORY_SLOT_CHOICE, bSwitch821, Stated, "a new game begins with the choice of a story slot", nullptr)  \
    X(SW_MAP_STAGE_BEST, bSwitch167A, Stated, "the world map shows the stage's best score", nullptr)           \
    X(SW_MAP_MENU_TOTAL, bSwitch167B, Stated, "the world-map menu shows the total score", nullptr)             \
    X(SW_CHALLENGE_BEST_COLUMN, bSwitch167C, Stated, "the challenge choice shows the best-total column",       \
      nullptr)                                                                                                 \
    X(SW_CHALLENGE_TOTAL, bSwitch167D, Stated, "the challenge choice shows the challenge total", nullptr)      \
    /* play rules */                                                                                           \
    X(SW_SCALE_FROM_BOX, bCompat793, Chosen, "see SW_REMOVE_FINISHED_CHARA", nullptr)                          \
    X(SW_CEILING_KEEP_MOTION, bCompat818A, Chosen, "moved from bCompat781: the engine lists this play rule "   \
      "apart from the ceiling switch that OnHitCeiling reads (781), and reads it in ResolveCharaHits' head "   \
      "contact with a block character; ResolveCharaHits reads 808 and 818A, and 808 stays with landing "       \
      "while rising", nullptr)                                                                                 \
    X(SW_LAND_WHILE_RISING, bCompat808, Chosen, "decision: ResolveCharaHits reads 808 and 818A and lands "     \
      "characters on block characters through the bottom probe, whose rising test this is; kept on 808",       \
      nullptr)                                                                                                 \
    N(SW_FLOOR_SNAP, "moved off bCompat818A, whose reader ResolveCharaHits has no floor snap (the floor-"      \
      "effect step has). No switch names that step as its reader and every play switch without a named "       \
      "reader serves another rule: reads 0, the rule of current data")                                        \
    X(SW_HARMLESS_SHOTS, bCompat763A, Chosen, "decision: ResolveAttacks reads 763A and 763B; its first pass "  \
      "reads the harmless-shot switch, its second the immediate-trigger switch: in that order", nullptr)       \
    X(SW_IMMEDIATE_TRIGGERS, bCompat763B, Chosen, "as SW_HARMLESS_SHOTS", nullptr)                             \
    X(SW_DELAYED_REMOVAL, bSwitch272, Stated, "read by CheckPlayerDeath, whose one switch it is", nullptr)     \
    X(SW_AUTOSCROLL_ADD, bCompat733, Chosen, "kept: its named reader IsInRange reads no switch in the "        \
      "engine; the rule lives in the aim and step helpers beside it (AimVelocity, StepToward) and in the "     \
      "player's update; no switch fits better", nullptr)                                                       \
    X(SW_NO_FALL_IN_FLIGHT, bCompat818B, Stated, "read by cPlayer::ChangeFlyMode", nullptr)                    \
    X(SW_EXTRA_LIFE, bExtraLife, Stated, "read by TallyStageClear", nullptr)                                   \
    X(SW_STEP_TOWARD_OLD, bCompat214, Stated, "read by StepToward and cShot::UpdateAim", nullptr)              \
    /* flow engine */                                                                                          \
    X(SW_FLOW_MARK_EARLY, g_bFlowMarkEarly, Stated, "read by RunFlows", nullptr)                               \
    X(SW_FLOW_NO_MARK, g_bFlowNoMark, Stated, "read by RunFlows", nullptr)                                     \
    X(SW_KEY_OVERLAP, bCompat669, Stated, "read by EvalKeyConds", nullptr)                                     \
    X(SW_NEGATIVE_DURATION, bCompat695, Stated, "read by SolveMoveTimeSpeedDist", nullptr)                     \
    X(SW_DISTANCE_REFRESH, bCompat782, Stated, "read by TestDistanceCond", nullptr)                            \
    X(SW_CEILING_KNOCKBACK, bCompat781, Stated, "read by cChara::OnHitCeiling, whose one switch it is",        \
      nullptr)                                                                                                 \
    /* commands */                                                                                             \
    X(SW_LINE_LOCK, bCompat773, Chosen, "re-marked chosen: CmdMoveLine reads 773 and 783 and which rule is "   \
      "which is not stated; the older switch to the rule listed first (lock X/Y, then flip)", nullptr)         \
    X(SW_LINE_FLIP, bCompat783, Chosen, "as SW_LINE_LOCK", nullptr)                                            \
    X(SW_CHARGE_ROTATION, bCompat728, Stated, "read by CmdMoveCharge", nullptr)                                \
    X(SW_GROUND_TURN_NEGATIVE, bCompat752, Chosen, "kept: its named reader CodeEvalAssign reads no switch in " \
      "the engine; the one flow-side rule left without a switch", nullptr)                                     \
    X(SW_WARP_DIAGONAL, bCompat721, Chosen, "re-marked chosen: CmdWarp reads 721 and 822 and which rule is "   \
      "which is not stated; the older switch to the rule listed first (diagonal, then placement)", nullptr)    \
    X(SW_WARP_PLACEMENT, bCompat822, Chosen, "as SW_WARP_DIAGONAL", nullptr)                                   \
    /* shots */                                                                                                \
    X(SW_SCROLL_CARRY_OFF, bCompat261, Chosen, "kept: named reader the characters' flow part; no better "      \
      "candidate among the switches left", nullptr)                                                            \
    N(SW_THUNDER_GAP, "no System.dat field holds it: the fields that name a reader name other routines, "     \
      "bCompat696 and bCompat805 are read by nothing, and the play engine's fields without a named reader "    \
      "(287, 555, 637, 677, 749, 768, 793) serve the rules above: reads 0, the gaps of a 落雷 volley kept")     \
    /* numbers */                                                                                              \
    X(SW_UNLIMITED_LIVES, bCompat819, Stated, "read by CodeEvalAssign and TestStatusCond", nullptr)            \
    X(SW_EXTRA_LIFE_SCORE, nExtraLifeScore, Stated, "read by TallyStageClear", nullptr)                        \
    X(SW_CHALLENGE_VALUE, nChallengeValue, Stated, "read by the challenge choice", nullptr)

enum eSysSwitch {
#define TOBRELK_X(id, member, mark, why, shared) id,
#define TOBRELK_N(id, why) id,
    TOBRELK_SYS_SWITCHES(TOBRELK_X, TOBRELK_N)
#undef TOBRELK_X
#undef TOBRELK_N
    SW_COUNT
};

std::span<const NAMEDSETTING> SysSwitchTable();

TOBRELK_SETTING_READ u32 SysSwitch(const cSystemData& data, eSysSwitch id) {
    switch (id) {
#define TOBRELK_X(id, member, mark, why, shared)                                                               \
    case id: return data.member;
#define TOBRELK_N(id, why)                                                                                     \
    case id: break;
        TOBRELK_SYS_SWITCHES(TOBRELK_X, TOBRELK_N)
#undef TOBRELK_X
#undef TOBRELK_N
    case SW_COUNT: break;
    }
    return 0;
}

TOBRELK_SETTING_READ u32 SysSwitch(eSysSwitch id) { return SysSwitch(g_SystemData, id); }
