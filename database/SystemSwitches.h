#pragma once
// The system data's behaviour switches by meaning. The play and flow engines ask for a switch
// by what it does; one table says which stored field holds it. Where nothing in the data's
// history says which numbered field serves a meaning, the table marks the choice as made here,
// so that a wrong guess is corrected in this one place.
#include "database/SystemData.h"

enum eSysSwitch {
    // front end and play scene
    SW_REPLAY_SAVE,
    SW_MISS_MENU,
    SW_PAUSE_OVERLAY,
    SW_REMOVE_FINISHED_CHARA,
    SW_START_ALL_FLOWS,
    SW_FIXED_HOME,
    SW_NO_SCROLL_FOLLOW,
    SW_JUMP_RESTART,
    SW_PAUSE_STORY_RETRY,
    SW_PAUSE_STORY_MAP,
    SW_PAUSE_CHALLENGE_RETRY,
    SW_CHALLENGE_SWITCH,
    SW_RECT_DISPLAY,
    SW_SUMMON_OVERWRITE,
    // play rules
    SW_SCALE_FROM_BOX,
    SW_CEILING_KEEP_MOTION,
    SW_LAND_WHILE_RISING,
    SW_FLOOR_SNAP,
    SW_HARMLESS_SHOTS,
    SW_IMMEDIATE_TRIGGERS,
    SW_DELAYED_REMOVAL,
    SW_AUTOSCROLL_ADD,
    SW_NO_FALL_IN_FLIGHT,
    SW_EXTRA_LIFE,
    SW_STEP_TOWARD_OLD,
    // flow engine
    SW_FLOW_MARK_EARLY,
    SW_FLOW_NO_MARK,
    SW_KEY_OVERLAP,
    SW_NEGATIVE_DURATION,
    SW_DISTANCE_REFRESH,
    SW_CEILING_KNOCKBACK,
    // commands
    SW_LINE_LOCK,
    SW_LINE_FLIP,
    SW_CHARGE_ROTATION,
    SW_GROUND_TURN_NEGATIVE,
    SW_WARP_DIAGONAL,
    SW_WARP_PLACEMENT,
    // shots
    SW_SCROLL_CARRY_OFF,
    SW_THUNDER_GAP,
    // numbers
    SW_UNLIMITED_LIVES,
    SW_EXTRA_LIFE_SCORE,
    SW_CHALLENGE_VALUE,
    SW_COUNT
};

struct SYSSWITCHDEF {
    eSysSwitch id;
    const char* meaning;
    u32 cSystemData::*member; // null: no stored field; the switch reads 0
    bool chosen;              // true: the mapping is this project's choice, not given by the data
    const char* why;
};
extern const SYSSWITCHDEF g_SysSwitchDef[SW_COUNT];

u32 SysSwitch(const cSystemData& data, eSysSwitch id);
inline u32 SysSwitch(eSysSwitch id) { return SysSwitch(g_SystemData, id); }
