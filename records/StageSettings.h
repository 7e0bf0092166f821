#pragma once
// The stage header's numbered settings by meaning (the table form is records/NamedSettings.h).
//
//   StageSettings::Get(stage, eStage::TimeLimit)      integer setting, sign by the list
//   StageSettings::Get(stage, eStageD::Gravity)       double setting
//   StageSettings::Set(stage, eStage::AutoScrollSpeedX, v)
//   StageSettings::AreaOn, RankEnabled, RepeatPeriod  settings kept outside the numbered header
//
// Unmapped header fields: #82, #83, #84 (1 by default), #85, #86, #94 (1 by default), #98.
#include <span>

#include "records/NamedSettings.h"
#include "records/Stage.h"

// X(name, read as, field #, mark, why, shared)
#define TOBRELK_STAGE_SETTINGS(X)                                                                              \
    X(Width, u32, 1, Stated, "named dwWidth by the record", nullptr)                                           \
    X(ViewExtendX, u32, 2, Chosen, "the engine's stage list has a view extension per axis; #2/#3 are the "     \
      "unnamed neighbours of the width and height, default 0", nullptr)                                        \
    X(ViewExtendY, u32, 3, Chosen, "as ViewExtendX", nullptr)                                                  \
    X(Height, u32, 4, Stated, "named dwHeight by the record", nullptr)                                         \
    X(ScrollLimitOnX1, u32, 5, Chosen, "#5 goes with #6, #9, #10 to the x scroll set-up, which takes the "     \
      "limit cells and their two switches; #9/#10 are the clamped cells, so #5/#6 are the switches, paired "   \
      "with the cells in field order", nullptr)                                                                \
    X(ScrollLimitOnX2, u32, 6, Chosen, "as ScrollLimitOnX1", nullptr)                                          \
    X(ScrollLimitOnY1, u32, 7, Chosen, "as ScrollLimitOnX1, for the y scroll set-up (#7, #8, #11, #12)",       \
      nullptr)                                                                                                 \
    X(ScrollLimitOnY2, u32, 8, Chosen, "as ScrollLimitOnY1", nullptr)                                          \
    X(ScrollLimitCellX1, i32, 9, Chosen, "clamped to width - 20 (a screen's width) by Prepare: the near "      \
      "limit cell of the x scroll", nullptr)                                                                   \
    X(ScrollLimitCellX2, i32, 10, Chosen, "clamped to width - 1 by Prepare: the far limit cell", nullptr)      \
    X(ScrollLimitCellY1, i32, 11, Chosen, "clamped to height - 15 (a screen's height) by Prepare", nullptr)    \
    X(ScrollLimitCellY2, i32, 12, Chosen, "clamped to height - 1 by Prepare", nullptr)                         \
    X(FrameRate, u32, 13, Stated, "named dwFrameRate by the record", nullptr)                                  \
    X(TimeLimitOn, u32, 14, Stated, "the record: non-zero starts the play counter at #15", nullptr)            \
    X(TimeLimit, u32, 15, Stated, "the record: start value of the play counter", nullptr)                      \
    X(TimeWarning, u32, 16, Stated, "the record: the counter icon shows from this value down", nullptr)        \
    X(AutoScrollSpeedX, i32, 17, Chosen, "decision: #17/#19 go to the x scroll set-up and only #17/#18 are "   \
      "said to be read and changed by flows; the flows' reads and writes of the axis (conditions, status "     \
      "operations, scrlx) are of the speed, -480..480, so #17 is the speed", nullptr)                          \
    X(AutoScrollSpeedY, i32, 18, Chosen, "as AutoScrollSpeedX, with #20", nullptr)                             \
    X(AutoScrollOnX, u32, 19, Chosen, "the other field of the pair #17/#19: the switch", nullptr)              \
    X(AutoScrollOnY, u32, 20, Chosen, "the other field of the pair #18/#20: the switch", nullptr)              \
    X(SpeedLevel, u32, 22, Stated, "named dwSpeedLevel by the record", nullptr)                                \
    X(MarkedSteps, u32, 23, Chosen, "next to the speed level, default 0; its labels make 0 the maximum, as "   \
      "a count of 0 marks every step", nullptr)                                                                \
    X(Music, u32, 24, Stated, "named dwBgm by the record", nullptr)                                            \
    X(MusicFlag, u32, 25, Chosen, "next to the music; files before 166 get 1 (their music loops as before)",   \
      nullptr)                                                                                                 \
    X(KeepMusic, u32, 26, Chosen, "the music group's third field, from 199, default 0", nullptr)               \
    X(LayerSwitch, u32, 27, Chosen, "default 1; the one on-by-default display switch of the group", nullptr)   \
    X(CarryOver, u32, 28, Chosen, "unnamed pair with StoreCarried, default 0; apply before store", nullptr)    \
    X(StoreCarried, u32, 29, Chosen, "as CarryOver", nullptr)                                                  \
    X(StatusBar, u32, 30, Chosen, "from 183, older files 1: shown as before the switch existed", nullptr)      \
    X(SkipResult, u32, 31, Chosen, "from 184, default 0, next to the banners", nullptr)                        \
    X(StartBanner, u32, 32, Stated, "the record: the intro's first banner", nullptr)                           \
    X(SecondBanner, u32, 33, Stated, "the record: the intro's second banner", nullptr)                         \
    X(ClearBanner, u32, 34, Chosen, "follows the two intro banners, default 1", nullptr)                       \
    X(GameOverBanner, u32, 35, Chosen, "as ClearBanner", nullptr)                                              \
    X(HitSizeAW, u32, 36, Chosen, "player hit-area sizes A and B came with version 200; #36..#39 default "     \
      "16 x 24 and 16 x 16, the walking and flying box defaults", nullptr)                                     \
    X(HitSizeAH, u32, 37, Chosen, "as HitSizeAW", nullptr)                                                     \
    X(HitSizeBW, u32, 38, Chosen, "as HitSizeAW", nullptr)                                                     \
    X(HitSizeBH, u32, 39, Chosen, "as HitSizeAW", nullptr)                                                     \
    X(WalkBoxW, u32, 40, Chosen, "16 x 24, the character box of the old format", nullptr)                      \
    X(WalkBoxH, u32, 41, Chosen, "as WalkBoxW", nullptr)                                                       \
    X(FlyBoxW, u32, 42, Chosen, "from 155, older files copy the walking box", nullptr)                         \
    X(FlyBoxH, u32, 43, Chosen, "as FlyBoxW", nullptr)                                                         \
    X(DamageRectW, u32, 44, Chosen, "decision: the two remaining player size pairs, 12 x 8 and 16 x 16, in "   \
      "the order the engine names them (damage, then pick-up); nothing tells them apart", nullptr)             \
    X(DamageRectH, u32, 45, Chosen, "as DamageRectW", nullptr)                                                 \
    X(PickupRectW, u32, 46, Chosen, "as DamageRectW", nullptr)                                                 \
    X(PickupRectH, u32, 47, Chosen, "as DamageRectW", nullptr)                                                 \
    X(HitSizeABottomAlign, u32, 48, Chosen, "from 200 with the A/B sizes; defaults 1 and 0 as the walking "    \
      "and flying bottom-align pair #50/#51", nullptr)                                                         \
    X(HitSizeBBottomAlign, u32, 49, Chosen, "as HitSizeABottomAlign", nullptr)                                 \
    X(WalkBottomAlign, u32, 50, Chosen, "from 155 with the flying box; a pair of switches", nullptr)           \
    X(FlyBottomAlign, u32, 51, Chosen, "as WalkBottomAlign", nullptr)                                          \
    X(RectShowBody, u32, 52, Chosen, "the rectangle display is a display mode (0..2) and a colour (0..7) for " \
      "each of four rectangles: #52..#59, default 0, the block that the size reset skips. #52 and #56 came "   \
      "with version 200 (older files: mode 0, colour 5), as did the hit-area sizes: the body rectangle; the "  \
      "older three follow in the engine's order", nullptr)                                                     \
    X(RectShowBox, u32, 53, Chosen, "as RectShowBody", nullptr)                                                \
    X(RectShowDamage, u32, 54, Chosen, "as RectShowBody", nullptr)                                             \
    X(RectShowPickup, u32, 55, Chosen, "as RectShowBody", nullptr)                                             \
    X(RectColourBody, u32, 56, Chosen, "as RectShowBody: the colours follow the four display modes", nullptr)  \
    X(RectColourBox, u32, 57, Chosen, "as RectColourBody", nullptr)                                            \
    X(RectColourDamage, u32, 58, Chosen, "as RectColourBody", nullptr)                                         \
    X(RectColourPickup, u32, 59, Chosen, "as RectColourBody", nullptr)                                         \
    X(CharaHitSizeAW, u32, 60, Chosen, "stage characters' hit sizes: the same defaults as #36..#39", nullptr)  \
    X(CharaHitSizeAH, u32, 61, Chosen, "as CharaHitSizeAW", nullptr)                                           \
    X(CharaHitSizeBW, u32, 62, Chosen, "as CharaHitSizeAW", nullptr)                                           \
    X(CharaHitSizeBH, u32, 63, Chosen, "as CharaHitSizeAW", nullptr)                                           \
    X(SmallSizeW, u32, 64, Chosen, "stage-character box: #64..#67 mirror the player's #40..#43", nullptr)      \
    X(SmallSizeH, u32, 65, Chosen, "as SmallSizeW", nullptr)                                                   \
    X(LargeSizeW, u32, 66, Chosen, "from 155, older files copy the small size", nullptr)                       \
    X(LargeSizeH, u32, 67, Chosen, "as LargeSizeW", nullptr)                                                   \
    X(InvincibleFramesPlayer, u32, 68, Chosen, "decision: of the four 30-frame fields, #68/#69 stand among "   \
      "the character sizes and #95/#97 after the derived speeds; taken in the engine's order (after-hit "      \
      "frames, then same-attacker frames), each pair player kind first", nullptr)                              \
    X(InvincibleFramesOther, u32, 69, Chosen, "as InvincibleFramesPlayer", nullptr)                            \
    X(CharaHitSizeABottomAlign, u32, 70, Chosen, "from 200 with #60..#63, defaults 1 and 0 as #48/#49",        \
      nullptr)                                                                                                 \
    X(CharaHitSizeBBottomAlign, u32, 71, Chosen, "as CharaHitSizeABottomAlign", nullptr)                       \
    X(SmallBottomAlign, u32, 72, Chosen, "from 155 like #50/#51, for the stage-character sizes", nullptr)      \
    X(LargeBottomAlign, u32, 73, Chosen, "as SmallBottomAlign", nullptr)                                       \
    X(ItemHitW, u32, 74, Chosen, "28 x 28, the only size pair that fits inside the 32-dot item cell",          \
      nullptr)                                                                                                 \
    X(ItemHitH, u32, 75, Chosen, "as ItemHitW", nullptr)                                                       \
    X(BlockSizeW, u32, 76, Chosen, "the engine's stage list has a block size beside the character sizes; "     \
      "the first 16-pair after the item size", nullptr)                                                        \
    X(BlockSizeH, u32, 77, Chosen, "as BlockSizeW", nullptr)                                                   \
    X(PlayerShotBoxW, u32, 78, Chosen, "a shot is a 16-dot cell with the player-shot or the enemy-shot box "   \
      "centred in it; System.dat holds no such size, while #78..#81 are sizes (the size reset covers them) "   \
      "defaulting to 16, the whole cell", nullptr)                                                             \
    X(PlayerShotBoxH, u32, 79, Chosen, "as PlayerShotBoxW", nullptr)                                           \
    X(EnemyShotBoxW, u32, 80, Chosen, "as PlayerShotBoxW", nullptr)                                            \
    X(EnemyShotBoxH, u32, 81, Chosen, "as PlayerShotBoxW", nullptr)                                            \
    X(StepsPerFrame, u32, 87, Stated, "named dwSpeedStep by the record: the speed unit", nullptr)              \
    X(FallDelay, u32, 93, Stated, "named dwSpeedStep8 by the record: 8 x the speed unit", nullptr)             \
    X(SameAttackerFramesPlayer, u32, 95, Chosen, "the second 30-frame pair (see InvincibleFramesPlayer)",      \
      nullptr)                                                                                                 \
    X(OnScreenOnly, u32, 96, Chosen, "decision: default 0 between the two 30-frame values, outside the size "  \
      "group like them", nullptr)                                                                              \
    X(SameAttackerFramesOther, u32, 97, Chosen, "as SameAttackerFramesPlayer", nullptr)

// X(name, field #, mark, why, shared)
#define TOBRELK_STAGE_DOUBLES(X)                                                                               \
    X(Gravity, 21, Stated, "named dBaseAccel by the record", nullptr)                                          \
    X(SpeedUnit, 88, Stated, "named dSpeedStep by the record", nullptr)                                        \
    X(BrakingDivisor, 89, Chosen, "decision: braking is a change of a per-step speed in each step, divided "   \
      "like the gravity by the square of the unit (named dSpeedStepSq by the record)", nullptr)                \
    X(SpeedBase, 90, Stated, "named dSpeedBase by the record", nullptr)                                        \
    X(GravityPerStep, 91, Stated, "named dAccelStep by the record: #21 / #89", nullptr)                        \
    X(SpeedFactor, 91, Chosen, "decision: the one reader, the player's jump factor 0.99 - 0.025 s, squares "  \
      "into the height. With the unit (#88) a fresh stage (level 10) gives s = 10, factor 0.74, and 5 "        \
      "half-blocks rise 44 dots, and each speed level would jump another height. The gravity per step "       \
      "(#91, the one speed double that comes from the level and stays small) gives s = 0.004 on a fresh "      \
      "stage (0.4 at level 1): factor 0.99 to 0.98, 5 half-blocks rise 78 dots, a little less on coarser "     \
      "steps, whatever the level",                                                                             \
      "the jump factor is the gravity per step")                                                               \
    X(SpeedLimit, 92, Stated, "named dSpeedRatio by the record: #90 / #88, 6 dots a step", nullptr)

enum class eStage {
#define TOBRELK_X(name, type, n, mark, why, shared) name,
    TOBRELK_STAGE_SETTINGS(TOBRELK_X)
#undef TOBRELK_X
    Count
};

enum class eStageD {
#define TOBRELK_X(name, n, mark, why, shared) name,
    TOBRELK_STAGE_DOUBLES(TOBRELK_X)
#undef TOBRELK_X
    Count
};

struct StageSettings {
    static i64 Get(const cStage& st, eStage s);
    static void Set(cStage& st, eStage s, i64 v);
    static double Get(const cStage& st, eStageD s);
    static void Set(cStage& st, eStageD s, double v);

    static std::span<const NAMEDSETTING> Table();
    static std::span<const NAMEDSETTING> DoubleTable();
    static const NAMEDSETTING& Entry(eStage s) { return Table()[static_cast<std::size_t>(s)]; }
    static const NAMEDSETTING& Entry(eStageD s) { return DoubleTable()[static_cast<std::size_t>(s)]; }

    // Stage areas 1..5 (parameter records 0..4): any of the four edge switches on.
    static bool AreaOn(const cStage& st, int area);
    // Ranking category i (0 score, 1..4 the other result values) enabled for this stage. The time
    // left (1) counts only on a stage that runs against a time limit: elsewhere there is none to
    // show or to rank.
    static bool RankEnabled(const cStage& st, int i);
    // Play steps between two repeats of a command (6 x the speed unit).
    static i32 RepeatPeriod(const cStage& st) { return static_cast<i32>(st.dwSpeedStep6); }
};

TOBRELK_SETTING_READ i64 StageSettings::Get(const cStage& st, eStage s) {
    const u32* f = st.Header().dwField;
    switch (s) {
#define TOBRELK_X(name, type, n, mark, why, shared)                                                            \
    case eStage::name: return static_cast<type>(f[n]);
        TOBRELK_STAGE_SETTINGS(TOBRELK_X)
#undef TOBRELK_X
    case eStage::Count: break;
    }
    return 0;
}

inline void StageSettings::Set(cStage& st, eStage s, i64 v) {
    u32* f = st.Header().dwField;
    switch (s) {
#define TOBRELK_X(name, type, n, mark, why, shared)                                                            \
    case eStage::name: f[n] = static_cast<u32>(v); return;
        TOBRELK_STAGE_SETTINGS(TOBRELK_X)
#undef TOBRELK_X
    case eStage::Count: break;
    }
}

TOBRELK_SETTING_READ double StageSettings::Get(const cStage& st, eStageD s) {
    const double* f = st.Header().dField;
    switch (s) {
#define TOBRELK_X(name, n, mark, why, shared)                                                                  \
    case eStageD::name: return f[n];
        TOBRELK_STAGE_DOUBLES(TOBRELK_X)
#undef TOBRELK_X
    case eStageD::Count: break;
    }
    return 0;
}

inline void StageSettings::Set(cStage& st, eStageD s, double v) {
    double* f = st.Header().dField;
    switch (s) {
#define TOBRELK_X(name, n, mark, why, shared)                                                                  \
    case eStageD::name: f[n] = v; return;
        TOBRELK_STAGE_DOUBLES(TOBRELK_X)
#undef TOBRELK_X
    case eStageD::Count: break;
    }
}
