#include "database/SystemSwitches.h"

#define S(id, meaning, member, chosen, why) {id, meaning, member, chosen, why}
#define M(m) &cSystemData::m

const SYSSWITCHDEF g_SysSwitchDef[SW_COUNT] = {
    S(SW_REPLAY_SAVE, "replay recording", M(bReplaySave), false, "CheckReplayKeys, SetStage"),
    S(SW_MISS_MENU, "miss menu", M(bMissMenu), false, "DrawPlayer"),
    S(SW_PAUSE_OVERLAY, "pause hides play", M(bPauseOverlay), false, "Draw in the pause state"),
    S(SW_REMOVE_FINISHED_CHARA, "finished-character removal", M(bCompat555), true,
      "a play-engine switch with no stated reader"),
    S(SW_START_ALL_FLOWS, "stage-start flows for all characters", M(bCompat697), true,
      "SetStage reads bCompat697; of its two candidates the start-all flows take it"),
    S(SW_FIXED_HOME, "fixed home position", M(bSwitch287), true, "a play-engine switch with no stated reader"),
    S(SW_NO_SCROLL_FOLLOW, "no scroll-follow", M(bCompat637), true, "a play-engine switch with no stated reader"),
    S(SW_JUMP_RESTART, "jump restart", M(bCompat677), true, "a play-engine switch with no stated reader"),
    S(SW_PAUSE_STORY_RETRY, "pause menu: story retry", M(bPauseSwitch224A), true, "pause switches in stored order"),
    S(SW_PAUSE_STORY_MAP, "pause menu: story map", M(bPauseSwitch224B), true, "pause switches in stored order"),
    S(SW_PAUSE_CHALLENGE_RETRY, "pause menu: challenge retry", M(bPauseSwitch757), true,
      "pause switches in stored order"),
    S(SW_CHALLENGE_SWITCH, "challenge stage count switch", M(bChallengeSwitch), false, "challenge choice"),
    S(SW_RECT_DISPLAY, "rectangle display", M(bCompat768), true, "a play-engine switch with no stated reader"),
    S(SW_SUMMON_OVERWRITE, "summon overwrite", M(bCompat749), true, "a play-engine switch with no stated reader"),
    S(SW_SCALE_FROM_BOX, "scale from the box", M(bCompat793), true, "a play-engine switch with no stated reader"),
    S(SW_CEILING_KEEP_MOTION, "keep vertical motion on a ceiling hit", M(bCompat781), true,
      "OnHitCeiling's one stored switch is the ceiling switch; the vertical motion value it keeps is the "
      "knock-back y, so this play rule is taken to be that same switch"),
    S(SW_LAND_WHILE_RISING, "land while rising", M(bCompat808), true, "ResolveCharaHits reads 808 and 818A"),
    S(SW_FLOOR_SNAP, "floor snap by +1", M(bCompat818A), true, "ResolveCharaHits reads 808 and 818A"),
    S(SW_HARMLESS_SHOTS, "shots without power hit", M(bCompat763A), true, "ResolveAttacks reads 763A and 763B"),
    S(SW_IMMEDIATE_TRIGGERS, "immediate contact triggers", M(bCompat763B), true,
      "ResolveAttacks reads 763A and 763B"),
    S(SW_DELAYED_REMOVAL, "delayed removal of dead characters", M(bSwitch272), false, "CheckPlayerDeath"),
    S(SW_AUTOSCROLL_ADD, "add the auto-scroll speed to speeds", M(bCompat733), true,
      "IsInRange reads it; the closest remaining play-engine switch"),
    S(SW_NO_FALL_IN_FLIGHT, "no falling state in flight", M(bCompat818B), false, "ChangeFlyMode"),
    S(SW_EXTRA_LIFE, "extra lives by score", M(bExtraLife), false, "TallyStageClear"),
    S(SW_STEP_TOWARD_OLD, "old movement steps", M(bCompat214), false, "StepToward, UpdateAim"),
    S(SW_FLOW_MARK_EARLY, "flow scan: early mark", M(g_bFlowMarkEarly), false, "RunFlows"),
    S(SW_FLOW_NO_MARK, "flow scan: no mark", M(g_bFlowNoMark), false, "RunFlows"),
    S(SW_KEY_OVERLAP, "key sequences may overlap", M(bCompat669), false, "EvalKeyConds"),
    S(SW_NEGATIVE_DURATION, "move solver: negative duration", M(bCompat695), false, "SolveMoveTimeSpeedDist"),
    S(SW_DISTANCE_REFRESH, "distance condition refresh", M(bCompat782), false, "TestDistanceCond"),
    S(SW_CEILING_KNOCKBACK, "knock-back y kept on a ceiling hit", M(bCompat781), false, "OnHitCeiling"),
    S(SW_LINE_LOCK, "straight move lock-X/lock-Y", M(bCompat773), false, "CmdMoveLine"),
    S(SW_LINE_FLIP, "straight move flips with facing", M(bCompat783), false, "CmdMoveLine"),
    S(SW_CHARGE_ROTATION, "charge move rotation", M(bCompat728), false, "CmdMoveCharge"),
    S(SW_GROUND_TURN_NEGATIVE, "ground-turn move turns for a negative speed", M(bCompat752), true,
      "the remaining flow-side switch (CodeEvalAssign also reads it)"),
    S(SW_WARP_DIAGONAL, "warp diagonal rule", M(bCompat721), false, "CmdWarp"),
    S(SW_WARP_PLACEMENT, "warp placement rule", M(bCompat822), false, "CmdWarp"),
    S(SW_SCROLL_CARRY_OFF, "scroll carry of scroll-synchronised shots off", M(bCompat261), true,
      "the characters' flow part; no better candidate"),
    S(SW_THUNDER_GAP, "close the gaps of a 落雷 volley", nullptr, true, "no stored field left; reads 0"),
    S(SW_UNLIMITED_LIVES, "unlimited-lives integer", M(bCompat819), false, "CodeEvalAssign, TestStatusCond"),
    S(SW_EXTRA_LIFE_SCORE, "points per extra life", M(nExtraLifeScore), false, "TallyStageClear"),
    S(SW_CHALLENGE_VALUE, "challenge stage count", M(nChallengeValue), false, "challenge choice"),
};

#undef S
#undef M

u32 SysSwitch(const cSystemData& data, eSysSwitch id) {
    if (id < 0 || id >= SW_COUNT) return 0;
    const SYSSWITCHDEF& d = g_SysSwitchDef[id];
    return d.member ? data.*d.member : 0;
}
