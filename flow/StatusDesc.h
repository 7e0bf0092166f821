#pragma once
// Descriptors of the statuses that conditions test and status operations change: the
// character statuses, the system values and the status flags, in selector order.
#include "platform/system/Types.h"

struct VARDESC {
    const char* name;
    i32 minimum, maximum;          // the status's own range
    i32 operandMin, operandMax;    // the range an operand may be given in
    u8 flags[3];
};

struct STATUSFLAGDESC {
    const char* name;
    i32 minimum, maximum, defaultValue;
    const char* const* labels;     // value labels, null for a plain number
};

constexpr int kCharaVarCount = 15;
constexpr int kSysVarCount = 5;
constexpr int kStatusFlagCount = 7;
extern const VARDESC kCharaVarDesc[kCharaVarCount];
extern const VARDESC kSysVarDesc[kSysVarCount];
extern const STATUSFLAGDESC kStatusFlagDesc[kStatusFlagCount];

// Character status selectors.
enum : i32 {
    CV_VAR = 0, CV_HP, CV_SP, CV_MAXHP, CV_MAXSP, CV_ID, CV_Z, CV_MARK, CV_SIGHT,
    CV_BODY_POWER, CV_BODY_IMPACT, CV_DEFENCE, CV_RESISTANCE, CV_STOPPING, CV_SCORE,
};
// System value selectors.
enum : i32 { SV_TIME = 0, SV_SCROLL_X, SV_SCROLL_Y, SV_SCORE, SV_LIVES };
// The value that stands for unlimited lives.
constexpr i32 kUnlimitedLives = 999999;
// Status flag selectors (conditions of kind 5).
enum : i32 {
    SF_VANISH = 0, SF_TRANSPARENT, SF_FIXED_FACING, SF_FLYING, SF_INVINCIBLE, SF_GIANT,
    SF_AUTOSCROLL_SYNC,
};

// The range a percentage condition's right-hand value is clamped to, per character selector.
struct I32RANGE {
    i32 lo, hi;
};
extern const I32RANGE kCharaVarCondRange[kCharaVarCount];
