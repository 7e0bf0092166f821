#pragma once
// The stage header holds 98 numbered settings; the play and flow engines read them by meaning,
// through this one table. Entries marked chosen were not stated by the data format: they were
// inferred (from the engine's list of stage settings, the fields' defaults, version gates and
// neighbours) and can be corrected here alone. Settings of the engine that no field is known
// to hold are not in the table.
#include "records/EdSettings.h"
#include "records/Stage.h"

// X(name, field, signed, chosen, why)
#define TOBRELK_STAGE_SETTINGS(X)                                                                              \
    X(Width, 1, false, false, nullptr)                                                                         \
    X(ViewExtendX, 2, false, true, "unnamed neighbours of the width and height, default 0")                    \
    X(ViewExtendY, 3, false, true, "as ViewExtendX")                                                           \
    X(Height, 4, false, false, nullptr)                                                                        \
    X(ScrollLimitOnX1, 5, false, true, "handed with #6, #9, #10 to the x scroll; #9/#10 are the clamped cells") \
    X(ScrollLimitOnX2, 6, false, true, "as ScrollLimitOnX1")                                                   \
    X(ScrollLimitOnY1, 7, false, true, "handed with #8, #11, #12 to the y scroll")                             \
    X(ScrollLimitOnY2, 8, false, true, "as ScrollLimitOnY1")                                                   \
    X(ScrollLimitCellX1, 9, true, true, "clamped to width - 20 (one screen) by Prepare")                       \
    X(ScrollLimitCellX2, 10, true, true, "clamped to width - 1 by Prepare")                                    \
    X(ScrollLimitCellY1, 11, true, true, "clamped to height - 15 (one screen) by Prepare")                     \
    X(ScrollLimitCellY2, 12, true, true, "clamped to height - 1 by Prepare")                                   \
    X(FrameRate, 13, false, false, nullptr)                                                                    \
    X(TimeLimitOn, 14, false, false, nullptr)                                                                  \
    X(TimeLimit, 15, false, false, nullptr)                                                                    \
    X(TimeWarning, 16, false, false, nullptr)                                                                  \
    X(AutoScrollSpeedX, 17, true, true, "handed with #19 to the x scroll; flows change it: the speed")         \
    X(AutoScrollSpeedY, 18, true, true, "as AutoScrollSpeedX, with #20")                                       \
    X(AutoScrollOnX, 19, false, true, "the switch of the pair #17/#19")                                        \
    X(AutoScrollOnY, 20, false, true, "the switch of the pair #18/#20")                                        \
    X(SpeedLevel, 22, false, false, nullptr)                                                                   \
    X(MarkedSteps, 23, false, true, "next to the speed level, default 0 (0 = every step marked)")              \
    X(Music, 24, false, false, nullptr)                                                                        \
    X(MusicFlag, 25, false, true, "next to the music; files before 166 get 1 (music loops as before)")         \
    X(KeepMusic, 26, false, true, "music group; from 199, default 0")                                          \
    X(LayerSwitch, 27, false, true, "default 1; one of the two on-by-default display switches")                \
    X(CarryOver, 28, false, true, "unnamed pair with StoreCarried, default 0")                                 \
    X(StoreCarried, 29, false, true, "as CarryOver")                                                           \
    X(StatusBar, 30, false, true, "from 183, older files 1: shown as before the switch existed")               \
    X(SkipResult, 31, false, true, "from 184, default 0, next to the banners")                                 \
    X(StartBanner, 32, false, false, nullptr)                                                                  \
    X(SecondBanner, 33, false, false, nullptr)                                                                 \
    X(ClearBanner, 34, false, true, "follows the two intro banners, default 1")                                \
    X(GameOverBanner, 35, false, true, "as ClearBanner")                                                       \
    X(HitSizeAW, 36, false, true, "player sizes #36..#51; A and B are the two sizes after the box")            \
    X(HitSizeAH, 37, false, true, "as HitSizeAW")                                                              \
    X(HitSizeBW, 38, false, true, "as HitSizeAW")                                                              \
    X(HitSizeBH, 39, false, true, "as HitSizeAW")                                                              \
    X(WalkBoxW, 40, false, true, "16 x 24, the character box of the old format")                               \
    X(WalkBoxH, 41, false, true, "as WalkBoxW")                                                                \
    X(FlyBoxW, 42, false, true, "from 155, older files copy the walking box")                                  \
    X(FlyBoxH, 43, false, true, "as FlyBoxW")                                                                  \
    X(DamageRectW, 44, false, true, "player rectangle sizes, in the engine's order")                           \
    X(DamageRectH, 45, false, true, "as DamageRectW")                                                          \
    X(PickupRectW, 46, false, true, "as DamageRectW")                                                          \
    X(PickupRectH, 47, false, true, "as DamageRectW")                                                          \
    X(WalkBottomAlign, 50, false, true, "from 155 with the flying box; a pair of switches")                    \
    X(FlyBottomAlign, 51, false, true, "as WalkBottomAlign")                                                   \
    X(CharaHitSizeAW, 60, false, true, "stage characters' hit-box sizes: the same defaults as #36..#39")       \
    X(CharaHitSizeAH, 61, false, true, "as CharaHitSizeAW")                                                    \
    X(CharaHitSizeBW, 62, false, true, "as CharaHitSizeAW")                                                    \
    X(CharaHitSizeBH, 63, false, true, "as CharaHitSizeAW")                                                    \
    X(SmallSizeW, 64, false, true, "stage-character box: #64..#67 mirror the player's #40..#43")               \
    X(SmallSizeH, 65, false, true, "as SmallSizeW")                                                            \
    X(LargeSizeW, 66, false, true, "from 155, older files copy the small size")                                \
    X(LargeSizeH, 67, false, true, "as LargeSizeW")                                                            \
    X(InvincibleFramesPlayer, 68, false, true, "a 30-frame pair for the two character kinds")                  \
    X(InvincibleFramesOther, 69, false, true, "as InvincibleFramesPlayer")                                     \
    X(SmallBottomAlign, 72, false, true, "from 155 like #50/#51, for the stage-character sizes")               \
    X(LargeBottomAlign, 73, false, true, "as SmallBottomAlign")                                                \
    X(ItemHitW, 74, false, true, "28 x 28, a hit size inside one 32-dot cell")                                 \
    X(ItemHitH, 75, false, true, "as ItemHitW")                                                                \
    X(BlockSizeW, 76, false, true, "first pair of the sixteens after the item size")                           \
    X(BlockSizeH, 77, false, true, "as BlockSizeW")                                                            \
    X(RectColour1, 78, false, true, "six colour indexes: box, body, damage, pick-up, hit A, hit B")            \
    X(RectColour2, 79, false, true, "as RectColour1")                                                          \
    X(RectColour3, 80, false, true, "as RectColour1")                                                          \
    X(RectColour4, 81, false, true, "as RectColour1")                                                          \
    X(RectColour5, 82, false, true, "as RectColour1")                                                          \
    X(RectColour6, 83, false, true, "as RectColour1")                                                          \
    X(StepsPerFrame, 87, false, false, nullptr)                                                                \
    X(FallDelay, 93, false, false, nullptr)                                                                    \
    X(SameAttackerFramesPlayer, 95, false, true, "the second 30-frame pair, for the two kinds")                \
    X(OnScreenOnly, 96, false, true, "default 0 between the two 30-frame values")                              \
    X(SameAttackerFramesOther, 97, false, true, "as SameAttackerFramesPlayer")

// X(name, field, chosen, why)
#define TOBRELK_STAGE_DOUBLES(X)                                                                               \
    X(Gravity, 21, false, nullptr)                                                                             \
    X(SpeedUnit, 88, false, nullptr)                                                                           \
    X(SpeedFactor, 88, true, "the jump factor 0.99 - 0.025 s takes the speed unit")                            \
    X(BrakingDivisor, 89, true, "a deceleration per step, divided like gravity by the square of the unit")     \
    X(SpeedBase, 90, false, nullptr)                                                                           \
    X(GravityPerStep, 91, false, nullptr)                                                                      \
    X(SpeedLimit, 92, false, nullptr)

enum class eStage {
#define TOBRELK_X(name, field, sgn, chosen, why) name,
    TOBRELK_STAGE_SETTINGS(TOBRELK_X)
#undef TOBRELK_X
    Count
};

enum class eStageD {
#define TOBRELK_X(name, field, chosen, why) name,
    TOBRELK_STAGE_DOUBLES(TOBRELK_X)
#undef TOBRELK_X
    Count
};

struct StageSettings {
    static const NAMEDFIELD& Entry(eStage s);
    static const NAMEDFIELD& Entry(eStageD s);
    static i64 Get(const cStage& st, eStage s);
    static void Set(cStage& st, eStage s, i64 v);
    static double Get(const cStage& st, eStageD s);
    static void Set(cStage& st, eStageD s, double v);

    // Stage areas 1..5 (parameter records 0..4): any of the four edge switches on.
    static bool AreaOn(const cStage& st, int area);
    // Ranking category i (0 score, 1..4 the other result values) enabled for this stage.
    static bool RankEnabled(const cStage& st, int i);
    // Play steps between two repeats of a command (6 x the speed unit).
    static i32 RepeatPeriod(const cStage& st) { return static_cast<i32>(st.dwSpeedStep6); }
};
