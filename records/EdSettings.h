#pragma once
// The movement and shot records number their fields; the play and flow engines read them by
// meaning. These tables are the one place that says which numbered field holds which setting.
// Entries marked chosen were not stated by the data format itself: they were inferred (from the
// order in which the engine lists the settings, their widths, defaults and version gates) and
// can be corrected here alone.
#include "records/EdMove.h"
#include "records/EdShot.h"

struct NAMEDFIELD {
    const char* name;  // the setting's meaning
    int field;         // 1-based field number in the record
    int element;       // element of an array field
    bool isSigned;     // sign-extend when read
    bool chosen;       // mapping inferred, not stated
    const char* why;   // for chosen entries: the evidence
};

enum class eMove {
    Way,            // 0 by direction, 1 to a target coordinate (warp: six ways)
    Direction,      // move direction enumeration, 13 values
    Angle,
    AngleStep,      // per clone value
    MirrorAngle,
    XUsed,
    YUsed,
    TargetXBl,
    TargetYBl,
    TargetXDot,
    TargetYDot,
    CoordBase,      // 4 values
    DeriveDuration,
    LockX,
    LockY,
    MirrorTargetX,
    MirrorTargetY,
    FlipWithFacing,
    StopWhenArrived,
    KeepFacing,
    ComputedValue,  // 1 speed, 2 time
    Speed,
    SpeedStep,
    Distance,       // also the base distance of the computed value
    DistanceStep,
    DistanceUnit,   // 1 dots, else half blocks
    Homing,         // sluggishness
    HomingStep,
    Inertial,
    InertialMaxSpeed,
    InertialAccel,  // double
    PlayAnime,      // nonzero plays the command's animation with the movement
    TargetSlot,
    Count
};

enum class eShot {
    ShotsPerVolley,
    ShotKind,       // formation
    KindParam1,
    KindParam2,
    KindParam3,
    CentreObject,   // 0 target slot, 1 hero, 2 self
    DirectionCode,
    AimAtFire,
    TargetSlot,
    BaseAngle,
    AngleStep,
    MirrorAngle,
    AngleJitter,
    Placement,
    ExtraVolleys,   // clones per shot count
    OffsetX,
    OffsetXStep,
    OffsetY,
    OffsetYStep,
    MirrorOffsetX,
    MirrorOffsetY,
    Picture,
    ZOrder,
    Invisible,
    TakeShooterSide,
    Side,           // faction 0-7
    Scale,
    AimMode,        // movement type 0-9; the sword type for a sword
    AimParam1,
    AimParam2,
    AimParam3,
    SecondTargetSlot,
    Homing,         // see the table: also read as the scroll-synchronised flag
    Speed,
    SpeedStep,
    AccelFlag,
    Accel,
    AccelStep,
    Range,          // half blocks
    RangeFlag,
    RangeStep,
    StopAtRange,
    LifeFlag,
    Life,
    LifeStep,
    PierceBlocks,
    Vanish,
    Power,
    Impact,
    Effect,
    BlockMode,
    Palette,        // 0 common, else the stage's
    PaletteIndex,
    SideSource,     // 0 definition, 1 summoner, 2 shot definition
    ReverseFacing,
    Count
};

struct MoveSettings {
    static const NAMEDFIELD& Entry(eMove s);
    static i64 Get(const cEdMove& m, eMove s);
    static double GetDouble(const cEdMove& m, eMove s);
    // Stores v narrowed to the field's width.
    static void Set(cEdMove& m, eMove s, i64 v);
};

struct ShotSettings {
    static const NAMEDFIELD& Entry(eShot s);
    static i64 Get(const cEdShot& m, eShot s);
    static void Set(cEdShot& m, eShot s, i64 v);
};

// Reads / writes element `element` of numbered field `field` (1-based) of any record, as an
// integer of the field's width; 0 / nothing for a field the record does not have.
i64 GetNumberedField(const cRecord& r, int field, int element, bool isSigned);
void SetNumberedField(cRecord& r, int field, int element, i64 v);
