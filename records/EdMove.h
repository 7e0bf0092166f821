#pragma once
// The movement settings of a movement, warp or homing command. The file numbers the fields;
// members whose meaning the data format does not give carry their field number in their name,
// and the engine reaches them by meaning through MoveSettings (EdSettings.h).
#include <memory>

#include "records/Record.h"
#include "records/RecordPool.h"

class cEdMove final : public cRecord {
public:
    cEdMove() = default;
    cEdMove(const cEdMove&) = default;
    cEdMove& operator=(const cEdMove&) = default;
    ~cEdMove() override {
        if (HasFieldLists()) record_holders::Remove(this);
    }

    void RegisterFields(u32 version) override;
    // Generic body, then the upgrades of older files.
    void Load(cRecordReader& r) override;
    // The values a new movement gets (a cleared record has all zeros).
    void SetDefaults();

    // Field numbers in file order (1-based, as the arrange command and the editor count).
    u8 byMode1 = 0;        // 1: way of giving the move (straight-movement solver)
    u8 byOpt2 = 0;         // 2: copied into the command's run state when it starts
    i16 wAngle = 0;        // 3: angle
    i16 wAngleInc = 0;     // 4: angle added per clone value
    u8 bySwitch5 = 0;      // 5: from 158
    u8 bySwitch6 = 0;      // 6
    u8 bySwitch7 = 0;      // 7
    i16 wTargetXBl = 0;    // 8
    i16 wTargetYBl = 0;    // 9
    i16 wTargetXDot = 0;   // 10
    i16 wTargetYDot = 0;   // 11
    u8 byOpt12 = 0;        // 12
    u8 bySwitch13 = 0;     // 13
    u8 byHoldX = 0;        // 14: no horizontal movement
    u8 byHoldY = 0;        // 15: no vertical movement
    u8 bySwitch16 = 0;     // 16
    u8 byOpt17 = 0;        // 17
    u8 byTurnWithChara = 0;// 18: speeds change sign when the facing changes
    u8 byOpt19 = 0;        // 19
    u8 byOpt20 = 0;        // 20: from 162
    u8 byOpt21 = 0;        // 21
    i16 wSpeed = 0;        // 22: tenths of a dot per frame
    i16 wSpeedInc = 0;     // 23
    i16 wValue24 = 0;      // 24
    i16 wValue25 = 0;      // 25
    u8 byDistUnit = 0;     // 26: from 159; 1 dots, else half blocks
    i16 wHoming = 0;       // 27: homing sluggishness
    i16 wHomingInc = 0;    // 28
    u8 bySecondSpeed = 0;  // 29: nonzero: field 30 gives a second speed
    i16 wSecondSpeed = 0;  // 30
    double dValue31 = 0;   // 31
    u8 byPlayAnime = 0;    // 32: from 162; the command's animation plays with the movement
    i8 cTargetSlot = 0;    // 33: from 767

private:
    void FieldListsMade() override { record_holders::Add(this); }
};

template <>
inline constexpr bool kCountsItsHoldings<cEdMove> = true;

// Makes p own a new movement with its defaults.
void NewEdMove(cRecordBox<cEdMove>& p);
void NewEdMove(std::shared_ptr<cEdMove>& p);
