#pragma once
// The settings of a shot, sword or summon command. The file numbers the fields; members whose
// meaning the data format does not give carry their field number in their name, and the engine
// reaches them by meaning through ShotSettings (EdSettings.h).
#include <memory>

#include "records/Record.h"
#include "records/RecordPool.h"

class cEdShot final : public cRecord {
public:
    cEdShot() = default;
    cEdShot(const cEdShot&) = default;
    cEdShot& operator=(const cEdShot&) = default;
    ~cEdShot() override {
        if (HasFieldLists()) record_holders::Remove(this);
    }

    void RegisterFields(u32 version) override;
    // Generic body, the upgrades of older files, then FixShot.
    void Load(cRecordReader& r) override;
    // FixShot, then the generic body.
    void Save(cRecordWriter& w) override;
    // The values a new shot gets (a cleared record has all zeros).
    void SetDefaults();

    // Size at least 1; an effect number outside the effect database becomes 0.
    void FixShot();
    // Launch offset of clone n for facing dir: start + step * n, negated for dir 1 when mirrored.
    double GetOffsetX(int n, int dir) const;
    double GetOffsetY(int n, int dir) const;

    // Field numbers in file order (1-based).
    i8 cShotNum = 0;          // 1: shots per volley
    u8 byFormation = 0;       // 2: formation (shot kind)
    i16 wFormation[3] = {};   // 3: formation-specific values 1-3
    u8 byOpt4 = 0;            // 4: from 671
    i8 cDirection = 0;        // 5: direction code
    u8 byOpt6 = 0;            // 6
    i8 cTargetSlotA = 0;      // 7: from 767
    i16 wAngle = 0;           // 8: angle offset
    i16 wAngleInc = 0;        // 9
    u8 byAngleMirror = 0;     // 10: from 158
    i16 wSpread = 0;          // 11: spread angle
    u8 byOpt12 = 0;           // 12
    i8 cClones = 0;           // 13: clones per shot count
    i16 wOfsX = 0;            // 14
    i16 wOfsXInc = 0;         // 15
    i16 wOfsY = 0;            // 16
    i16 wOfsYInc = 0;         // 17
    u8 byMirrorX = 0;         // 18
    u8 byMirrorY = 0;         // 19
    i16 wGraphic = 0;         // 20
    i8 cZ = 0;                // 21
    u8 byOpt22 = 0;           // 22
    u8 byOpt23 = 0;           // 23
    i8 cFaction = 0;          // 24
    u8 byOpt25 = 0;           // 25
    u8 bySize = 0;            // 26: units of 16 dots, at least 1
    u8 byOpt27 = 0;           // 27
    u8 byMoveType = 0;        // 28: g_ShotMoveTypeLabels
    i16 wMoveType[3] = {};    // 29: movement-type-specific values 1-3
    i8 cTargetSlotB = 0;      // 30: from 767
    u8 byHoming = 0;          // 31: from 211
    i16 wSpeed = 0;           // 32: tenths of a dot per frame
    i16 wSpeedInc = 0;        // 33
    u8 byOpt34 = 0;           // 34: from 213
    i16 wAccel = 0;           // 35: from 213
    i16 wAccelInc = 0;        // 36: from 213
    i16 wDistance = 0;        // 37: half blocks
    u8 byOpt38 = 0;           // 38
    i16 wDistanceInc = 0;     // 39
    u8 byOpt40 = 0;           // 40
    u8 byOpt41 = 0;           // 41
    i16 wLife = 0;            // 42: tenths of a second
    i16 wLifeInc = 0;         // 43
    u8 byOpt44 = 0;           // 44
    u8 byOpt45 = 0;           // 45
    u8 byOpt46 = 0;           // 46: from 636
    u8 byOpt47 = 0;           // 47
    i8 cVanish = 0;           // 48
    u32 dwPower = 0;          // 49
    i16 wValue50 = 0;         // 50
    i8 cImpact = 0;           // 51
    i16 wEffect = 0;          // 52: effect database index
    u8 byOpt53 = 0;           // 53
    i16 wValue54 = 0;         // 54
    u8 byBlockMode = 0;       // 55: 0 summon, 1 erase, 2 toggle
    u8 byOpt56 = 0;           // 56
    u8 byOpt57 = 0;           // 57: from 197
    u8 bySummonPalette = 0;   // 58: 0 common palette, else the stage's
    i16 wSummonIndex = 0;     // 59: index in that palette
    u8 byOpt60 = 0;           // 60
    u8 byOpt61 = 0;           // 61
    u8 byOpt62 = 0;           // 62
    u8 byOpt63 = 0;           // 63: from 762
    u8 byOpt64 = 0;           // 64: from 762

private:
    void FieldListsMade() override { record_holders::Add(this); }
};

template <>
inline constexpr bool kCountsItsHoldings<cEdShot> = true;

// Makes p own a new shot with its defaults.
void NewEdShot(cRecordBox<cEdShot>& p);
void NewEdShot(std::shared_ptr<cEdShot>& p);

// Labels of the shot movement types (field 28), ending with an empty label.
extern const char* const g_ShotMoveTypeLabels[11];
