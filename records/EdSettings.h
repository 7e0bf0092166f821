#pragma once
// The movement and shot records' numbered fields by meaning (the table form is
// records/NamedSettings.h).
//
//   MoveSettings::Get(move, eMove::Speed)          integer, sign by the list; Set stores narrowed
//   MoveSettings::GetDouble(move, eMove::InertialAccel)
//   ShotSettings::Get(shot, eShot::Power)
//   BlockSettings::Get(block, eBlock::FloorEffect)  (a block record or a block-map cell's copy)
//
// A shot definition also serves swords and summons; summon-only settings are listed with the
// shot's. Field numbers count from 1 in file order, as the editor and the arrange command do.
#include <span>
#include <type_traits>

#include "records/EdBlockItem.h"
#include "records/EdMove.h"
#include "records/EdShot.h"
#include "records/NamedSettings.h"

// X(name, read as, field #, member, mark, why, shared); N(name, why): no field known, reads 0.
#define TOBRELK_MOVE_SETTINGS(X, N)                                                                            \
    X(Way, u8, 1, byMode1, Chosen, "the record: aiming mode of the straight move, 0 and 1 two solvers; the "   \
      "engine: by direction or by target coordinate (six warp ways)", nullptr)                                 \
    X(Direction, u8, 2, byOpt2, Chosen, "the record copies it into the run state at start, where the "         \
      "direction selector (13 values) lives", nullptr)                                                         \
    X(Angle, i16, 3, wAngle, Stated, "labelled 角度", nullptr)                                                 \
    X(AngleStep, i16, 4, wAngleInc, Stated, "labelled 分身値による増加角度", nullptr)                          \
    X(MirrorAngle, u8, 5, bySwitch5, Chosen, "default 1 and gate 158, as the shot's mirror-angle field",       \
      nullptr)                                                                                                 \
    X(XUsed, u8, 6, bySwitch6, Chosen, "order of the engine's list; default 1", nullptr)                       \
    X(YUsed, u8, 7, bySwitch7, Chosen, "order of the engine's list; default 1", nullptr)                       \
    X(TargetXBl, i16, 8, wTargetXBl, Stated, "labelled 目標X(bl)", nullptr)                                    \
    X(TargetYBl, i16, 9, wTargetYBl, Stated, "labelled 目標Y(bl)", nullptr)                                    \
    X(TargetXDot, i16, 10, wTargetXDot, Stated, "labelled 目標X(dot)", nullptr)                                \
    X(TargetYDot, i16, 11, wTargetYDot, Stated, "labelled 目標Y(dot)", nullptr)                                \
    X(CoordBase, u8, 12, byOpt12, Chosen, "order of the engine's list; an option (four values), default 0",    \
      nullptr)                                                                                                 \
    X(DeriveDuration, u8, 13, bySwitch13, Chosen, "order of the engine's list, between base and lock X/Y",     \
      nullptr)                                                                                                 \
    X(LockX, u8, 14, byHoldX, Stated, "the record: no horizontal movement", nullptr)                           \
    X(LockY, u8, 15, byHoldY, Stated, "the record: no vertical movement", nullptr)                             \
    X(MirrorTargetX, u8, 16, bySwitch16, Chosen, "order of the engine's list, after lock X/Y; defaults 1 "     \
      "and 0 as the shot's mirror-offset pair", nullptr)                                                       \
    X(MirrorTargetY, u8, 17, byOpt17, Chosen, "as MirrorTargetX", nullptr)                                     \
    X(FlipWithFacing, u8, 18, byTurnWithChara, Stated, "the record: speeds change sign with the facing",       \
      nullptr)                                                                                                 \
    X(StopWhenArrived, u8, 19, byOpt19, Chosen, "order of the engine's list, after flip", nullptr)             \
    X(KeepFacing, u8, 20, byOpt20, Chosen, "order of the engine's list, after stop when arrived", nullptr)     \
    X(ComputedValue, u8, 21, byOpt21, Chosen, "listed just before the distance pair and its unit; 1 speed, "   \
      "2 time", nullptr)                                                                                       \
    X(Speed, i16, 22, wSpeed, Stated, "the record: tenths of a dot per frame", nullptr)                        \
    X(SpeedStep, i16, 23, wSpeedInc, Stated, "the record: speed added per clone value", nullptr)               \
    X(Distance, i16, 24, wValue24, Chosen, "the only unnamed i16 pair, before the distance unit; also the "     \
      "base distance of the computed value, the warp's 距離(hbl) and the start distance of StartMoveCmd",     \
      nullptr)                                                                                                 \
    X(DistanceStep, i16, 25, wValue25, Chosen, "as Distance", nullptr)                                         \
    X(DistanceUnit, u8, 26, byDistUnit, Chosen, "re-marked chosen: the record only gives its gate (0 below "   \
      "159), the engine sets the distance unit to 0 below 159: the same upgrade step; 1 dots, else hbl",       \
      nullptr)                                                                                                 \
    X(Homing, i16, 27, wHoming, Stated, "labelled 誘導性能の悪さ", nullptr)                                    \
    X(HomingStep, i16, 28, wHomingInc, Stated, "labelled 分身値による増加誘導性能の悪さ", nullptr)             \
    X(Inertial, u8, 29, bySecondSpeed, Chosen, "the record: nonzero gives the run a second speed (#30), "      \
      "the maximum inertial speed of an inertial move", nullptr)                                               \
    X(InertialMaxSpeed, i16, 30, wSecondSpeed, Chosen, "as Inertial", nullptr)                                 \
    X(InertialAccel, double, 31, dValue31, Chosen, "the only double, default 1.0: the inertial "               \
      "acceleration factor", nullptr)                                                                          \
    X(PlayAnime, u8, 32, byPlayAnime, Chosen, "decision: the engine's no-animation flag. The record says "     \
      "nonzero plays the command's own animation with the move; the engine says nonzero leaves the moving "    \
      "pattern alone: one sense, the move does not switch the pattern when set", nullptr)                      \
    X(TargetSlot, i8, 33, cTargetSlot, Stated, "the record: the slot charge and homing moves head for",        \
      nullptr)                                                                                                 \
    N(TurnAtStart, "StartMoveCmd's turn-at-start flag: every field of the record has a meaning already; 0 "   \
      "turns nothing")                                                                                         \
    N(TurnAtStartAgain, "StartMoveCmd's second turn flag: as TurnAtStart")                                    \
    N(TimeABase, "StartMoveCmd's time A (turned by 180 with the turn flag, so a phase in degrees): no field "  \
      "left; the angle pair is the nearest candidate")                                                         \
    N(TimeAStep, "as TimeABase")                                                                               \
    N(TimeBBase, "StartMoveCmd's time B: no field left")                                                       \
    N(TimeBStep, "as TimeBBase")                                                                               \
    N(SpeedMode, "StartMoveCmd's speed mode (1 derives the duration, 0 the speed): its values differ from "    \
      "the computed value's (1 speed, 2 time), so it is not that field; no field left: 0 derives the speed")

#define TOBRELK_SHOT_SETTINGS(X, N)                                                                            \
    X(ShotsPerVolley, i8, 1, cShotNum, Stated, "labelled 発射数", nullptr)                                     \
    X(ShotKind, u8, 2, byFormation, Stated, "the record: the formation routine", nullptr)                      \
    X(KindParam1, i16, 3, wFormation[0], Stated, "labelled フォーメーション固有1", nullptr)                    \
    X(KindParam2, i16, 3, wFormation[1], Stated, "labelled フォーメーション固有2", nullptr)                    \
    X(KindParam3, i16, 3, wFormation[2], Stated, "labelled フォーメーション固有3", nullptr)                    \
    X(CentreObject, u8, 4, byOpt4, Chosen, "its labels (ターゲット, 主人公, 自分) follow the kind parameters; "  \
      "the first option after them", nullptr)                                                                  \
    X(DirectionCode, i8, 5, cDirection, Stated, "the record: direction code", nullptr)                         \
    X(AimAtFire, u8, 6, byOpt6, Chosen, "order of the engine's list, after the direction", nullptr)            \
    X(TargetSlot, i8, 7, cTargetSlotA, Stated, "the record: target slot A", nullptr)                           \
    X(BaseAngle, i16, 8, wAngle, Stated, "labelled 角度のズレ", nullptr)                                       \
    X(AngleStep, i16, 9, wAngleInc, Stated, "labelled 分身値による角度のズレ", nullptr)                        \
    X(MirrorAngle, u8, 10, byAngleMirror, Stated, "the record: angle mirror", nullptr)                         \
    X(AngleJitter, i16, 11, wSpread, Stated, "labelled 分散角度", nullptr)                                     \
    X(Placement, u8, 12, byOpt12, Chosen, "order of the engine's list, after the jitter", nullptr)             \
    X(ExtraVolleys, i8, 13, cClones, Stated, "labelled 発射数に対する分身数", nullptr)                          \
    X(OffsetX, i16, 14, wOfsX, Stated, "labelled 発射位置のズレX(dot)", nullptr)                                \
    X(OffsetXStep, i16, 15, wOfsXInc, Stated, "labelled 分身値による発射位置のズレX(dot)", nullptr)             \
    X(OffsetY, i16, 16, wOfsY, Stated, "labelled 発射位置のズレY(dot)", nullptr)                                \
    X(OffsetYStep, i16, 17, wOfsYInc, Stated, "labelled 分身値による発射位置のズレY(dot)", nullptr)             \
    X(MirrorOffsetX, u8, 18, byMirrorX, Stated, "the record: mirror flag X", nullptr)                          \
    X(MirrorOffsetY, u8, 19, byMirrorY, Stated, "the record: mirror flag Y", nullptr)                          \
    X(Picture, i16, 20, wGraphic, Stated, "labelled グラフィック", nullptr)                                    \
    X(ZOrder, i8, 21, cZ, Stated, "labelled Z座標", nullptr)                                                   \
    X(Invisible, u8, 22, byOpt22, Chosen, "order of the engine's list, after the picture", nullptr)            \
    X(TakeShooterSide, u8, 23, byOpt23, Chosen, "order of the engine's list, before the side; default 1",      \
      nullptr)                                                                                                 \
    X(Side, i8, 24, cFaction, Stated, "labelled 勢力", nullptr)                                                \
    X(Breakable, u8, 25, byOpt25, Chosen, "the hit rules' breakable flag and strength are the two bytes "      \
      "left beside the side and the scale; the flag first", nullptr)                                           \
    X(Scale, u8, 26, bySize, Stated, "the record: size in units of 16 dots", nullptr)                          \
    X(Strength, i8, 27, byOpt27, Chosen, "as Breakable: the shot strength, read signed", nullptr)             \
    X(AimMode, u8, 28, byMoveType, Stated, "the record: movement type (the sword type for a sword)", nullptr)  \
    X(AimParam1, i16, 29, wMoveType[0], Stated, "labelled 移動タイプ固有1", nullptr)                           \
    X(AimParam2, i16, 29, wMoveType[1], Stated, "labelled 移動タイプ固有2", nullptr)                          \
    X(AimParam3, i16, 29, wMoveType[2], Stated, "labelled 移動タイプ固有3", nullptr)                          \
    X(SecondTargetSlot, i8, 30, cTargetSlotB, Stated, "the record: target slot B", nullptr)                    \
    X(Homing, u8, 31, byHoming, Chosen, "decision: the scroll-synchronised flag. The record calls it the "      \
      "homing switch (set for old files from the homing aim modes); the engine reads the field of that "       \
      "place only as the scroll-synchronised flag, and nothing else as a homing switch", nullptr)              \
    X(Speed, i16, 32, wSpeed, Stated, "labelled 速度", nullptr)                                                \
    X(SpeedStep, i16, 33, wSpeedInc, Stated, "labelled 分身値による増加速度", nullptr)                         \
    X(AccelFlag, u8, 34, byOpt34, Chosen, "the u8 of the 213 group before the acceleration pair", nullptr)     \
    X(Accel, i16, 35, wAccel, Stated, "labelled 加速度", nullptr)                                              \
    X(AccelStep, i16, 36, wAccelInc, Stated, "labelled 分身値による増加加速度", nullptr)                       \
    X(Range, i16, 37, wDistance, Stated, "labelled 飛距離(hbl)", nullptr)                                      \
    X(RangeFlag, u8, 38, byOpt38, Chosen, "the u8 between the range and its step", nullptr)                    \
    X(RangeStep, i16, 39, wDistanceInc, Stated, "labelled 分身値による増加飛距離", nullptr)                    \
    X(StopAtRange, u8, 40, byOpt40, Chosen, "decision: the two u8 between the range and the life, in the "     \
      "order of the engine's record list (stop at range, then the life flag)", nullptr)                        \
    X(LifeFlag, u8, 41, byOpt41, Chosen, "as StopAtRange: the u8 before the lifetime pair; also a summon's "    \
      "life-time switch (summons take 存在時間 from the lifetime)", nullptr)                                    \
    X(Life, i16, 42, wLife, Stated, "labelled 存在時間(1/10s); also a summon's life time", nullptr)            \
    X(LifeStep, i16, 43, wLifeInc, Stated, "labelled 分身値よる増加存在時間", nullptr)                          \
    X(PierceBlocks, u8, 44, byOpt44, Chosen, "order of the engine's list, after the lifetime", nullptr)        \
    X(PierceOthers, u8, 45, byOpt45, Chosen, "the hit-limit switch has two pierce flags; #45 and #46 are a "   \
      "pair split at 636 (older files copy #45 into #46): #45 the older, for other characters, #46 for block " \
      "characters", nullptr)                                                                                   \
    X(PierceBlockCharas, u8, 46, byOpt46, Chosen, "as PierceOthers", nullptr)                                  \
    X(HitLimit, u8, 47, byOpt47, Chosen, "the u8 after its two pierce flags", nullptr)                         \
    X(Vanish, i8, 48, cVanish, Stated, "labelled 消滅値", nullptr)                                             \
    X(Power, i32, 49, dwPower, Stated, "labelled 威力, -999999..999999", nullptr)                              \
    X(Impact, i8, 51, cImpact, Stated, "labelled 衝撃", nullptr)                                               \
    X(Effect, i16, 52, wEffect, Stated, "the record: effect number", nullptr)                                  \
    X(ItemKind, u8, 53, byOpt53, Chosen, "the shot's item (kind and number) is the one u8 + i16 pair left, "   \
      "after the effect", nullptr)                                                                             \
    X(ItemNumber, i16, 54, wValue54, Chosen, "as ItemKind", nullptr)                                           \
    X(BlockMode, u8, 55, byBlockMode, Stated, "the record: block-summon mode", nullptr)                        \
    X(PlayerCheck1, u8, 56, byOpt56, Chosen, "a block summon's two player-check switches: #56 and #57 are a "  \
      "pair split at 197 (older files copy #56 into #57), beside the block mode", nullptr)                     \
    X(PlayerCheck2, u8, 57, byOpt57, Chosen, "as PlayerCheck1", nullptr)                                       \
    X(Palette, u8, 58, bySummonPalette, Stated, "the record: summon source", nullptr)                          \
    X(PaletteIndex, i16, 59, wSummonIndex, Stated, "the record: index in that palette", nullptr)               \
    X(SideSource, u8, 60, byOpt60, Chosen, "its labels (パレットの設定に準ずる, 使用者と同じ, 番号で指定); "     \
      "order of the engine's list, after the palette index", nullptr)                                          \
    X(ReverseFacing, u8, 61, byOpt61, Chosen, "order of the engine's list, after the side source", nullptr)    \
    X(RefuseOnPlayer, u8, 62, byOpt62, Chosen, "a block summon's refuse-on-player switch: the summon byte "    \
      "after the character-summon pair", nullptr)                                                              \
    X(OwnerReport, u8, 63, byOpt63, Chosen, "#63/#64 came with 762, as did the report triggers; the shot "     \
      "copies the report flag and sub-kind from its definition, the sub-kind being the last byte copied. A "   \
      "summoned character takes the same two bytes (its behaviour bytes) as its report-to-parent pair",       \
      nullptr)                                                                                                 \
    X(ReportSubKind, u8, 64, byOpt64, Chosen, "as OwnerReport", nullptr)

// The block record's settings that its stored names leave open.
#define TOBRELK_BLOCK_SETTINGS(X, N)                                                                           \
    X(FloorEffect, u8, 14, byGroup8, Chosen, "the effect under the feet (1 spring, 2 marker, 3 slippery, 4 "    \
      "and 5 conveyors) and its value are a small kind and a number read together; group 8 is the one "        \
      "unnamed pair of the record, a byte and a 32-bit value, both 0 by default (no effect)", nullptr)         \
    X(FloorEffectValue, u32, 15, dwGroup8, Chosen, "as FloorEffect: the spring height (hbl), the slippery "     \
      "percentage or the conveyor speed", nullptr)

enum class eMove {
#define TOBRELK_X(name, type, n, member, mark, why, shared) name,
#define TOBRELK_N(name, why) name,
    TOBRELK_MOVE_SETTINGS(TOBRELK_X, TOBRELK_N)
#undef TOBRELK_X
#undef TOBRELK_N
    Count
};

enum class eShot {
#define TOBRELK_X(name, type, n, member, mark, why, shared) name,
#define TOBRELK_N(name, why) name,
    TOBRELK_SHOT_SETTINGS(TOBRELK_X, TOBRELK_N)
#undef TOBRELK_X
#undef TOBRELK_N
    Count
};

enum class eBlock {
#define TOBRELK_X(name, type, n, member, mark, why, shared) name,
#define TOBRELK_N(name, why) name,
    TOBRELK_BLOCK_SETTINGS(TOBRELK_X, TOBRELK_N)
#undef TOBRELK_X
#undef TOBRELK_N
    Count
};

struct MoveSettings {
    static i64 Get(const cEdMove& m, eMove s);
    static double GetDouble(const cEdMove& m, eMove s);
    // Stores v narrowed to the field's width.
    static void Set(cEdMove& m, eMove s, i64 v);
    static std::span<const NAMEDSETTING> Table();
    static const NAMEDSETTING& Entry(eMove s) { return Table()[static_cast<std::size_t>(s)]; }
};

struct ShotSettings {
    static i64 Get(const cEdShot& m, eShot s);
    static void Set(cEdShot& m, eShot s, i64 v);
    static std::span<const NAMEDSETTING> Table();
    static const NAMEDSETTING& Entry(eShot s) { return Table()[static_cast<std::size_t>(s)]; }
};

struct BlockSettings {
    static i64 Get(const EDBLOCK_DATA& m, eBlock s);
    static void Set(EDBLOCK_DATA& m, eBlock s, i64 v);
    static std::span<const NAMEDSETTING> Table();
    static const NAMEDSETTING& Entry(eBlock s) { return Table()[static_cast<std::size_t>(s)]; }
};

// The accessors of the records, generated from a list.
#define TOBRELK_ED_ACCESSORS(Settings, Rec, Enum, LIST)                                                        \
    TOBRELK_SETTING_READ i64 Settings::Get(const Rec& m, Enum s) {                                             \
        switch (s) {                                                                                           \
            LIST(TOBRELK_ED_GET, TOBRELK_ED_NONE)                                                              \
        case Enum::Count: break;                                                                               \
        }                                                                                                      \
        return 0;                                                                                              \
    }                                                                                                          \
    inline void Settings::Set(Rec& m, Enum s, i64 v) {                                                         \
        switch (s) {                                                                                           \
            LIST(TOBRELK_ED_SET, TOBRELK_ED_NONE)                                                              \
        case Enum::Count: break;                                                                               \
        }                                                                                                      \
    }
#define TOBRELK_ED_GET(name, type, n, member, mark, why, shared)                                               \
    case decltype(s)::name: return static_cast<i64>(static_cast<type>(m.member));
#define TOBRELK_ED_SET(name, type, n, member, mark, why, shared)                                               \
    case decltype(s)::name: m.member = static_cast<std::remove_reference_t<decltype(m.member)>>(v); return;
#define TOBRELK_ED_NONE(name, why)                                                                             \
    case decltype(s)::name: break;

TOBRELK_ED_ACCESSORS(MoveSettings, cEdMove, eMove, TOBRELK_MOVE_SETTINGS)
TOBRELK_ED_ACCESSORS(ShotSettings, cEdShot, eShot, TOBRELK_SHOT_SETTINGS)
TOBRELK_ED_ACCESSORS(BlockSettings, EDBLOCK_DATA, eBlock, TOBRELK_BLOCK_SETTINGS)

#undef TOBRELK_ED_ACCESSORS
#undef TOBRELK_ED_GET
#undef TOBRELK_ED_SET
#undef TOBRELK_ED_NONE

inline double MoveSettings::GetDouble(const cEdMove& m, eMove s) {
    if (s == eMove::InertialAccel) return m.dValue31;
    return static_cast<double>(Get(m, s));
}
