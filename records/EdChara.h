#pragma once
// The record of one character: a common-palette entry, a stage-palette entry or a character
// placed in a stage. A record may point at a palette entry and take chosen groups of settings
// from it; that inheritance is resolved each time the record is read.
#include <string>

#include "records/Cond.h"
#include "records/FieldTable.h"
#include "records/Flow.h"
#include "records/InheritFlags.h"

// The stored settings, in file order. Fields named after their inherit group have a meaning
// that belongs to the play engine and the editor.
struct EDCHARA_DATA {
    i8 byPaletteKind = 0;  // 0 none, 1 common palette, 2 stage palette
    i16 wPaletteIndex = 0;
    u8 byGroup4a = 0;
    u8 byGroup4b = 0;
    u8 byGroup5 = 0;
    u8 byGroup6 = 0;       // forced to 0 for a player character
    i16 sOffsetX = 0;
    i16 sOffsetStepX = 0;
    i16 sOffsetY = 0;
    i16 sOffsetStepY = 0;
    u8 bFlipOffsetX = 0;
    u8 bFlipOffsetY = 0;
    i16 wPicture = 0;      // with operation 0 and a picture, a placed character is the hero
    u8 byPictureKind = 1;  // 3 a numbered built-in picture (at most 119), 4 a character bitmap
    u16 wGroup9 = 0;
    i16 wAnimeSet = 0;
    u8 byGroup11 = 3;
    u8 byGroup12 = 0;
    u16 wCharaEffectA = 0;
    u8 byGroup13a = 0;     // from 196
    u8 byGroup13b = 1;
    u16 wDeathEffect = 0;
    u8 byGroup14 = 0;      // from 196
    u8 byGroup15 = 0;
    u16 wGroup15 = 0;
    u8 byOperation = 1;    // 0 player, 1 computer
    u8 byGroup1 = 0;
    u8 byGroup2 = 1;
    u8 byGroup3 = 0;
    u8 byFlyMode = 0;
    u8 byGroup16 = 1;
    u8 byGroup18a = 0;
    u8 byGroup18b = 0;     // from 285 (older files: 1)
    u8 byGroup19 = 0;      // forced to 0 for a player character
    i8 byGroup20 = 1;      // never below 1
    u8 byGroup21 = 0;      // from 210
    u8 byGroup22a = 0;
    u8 byGroup22b = 0;
    u32 dwMaxHP = 10;
    u32 dwMaxSP = 0;
    u16 wGroup31 = 10;
    i8 byHitArea = 0;      // from 201; 3 = a fixed 32 x 32 box
    u32 dwGroup26 = 0;
    u8 byImpact = 0;
    u16 wEffect = 0;
    u32 dwGroup29 = 0;     // from 168
    u8 byGroup30 = 0;
    u32 dwScore = 0;
    u8 byGroup35 = 1;
    u8 byGroup33 = 0;
    u16 wGroup33 = 0;
    u8 byGroup32a = 0;
    u8 byGroup32b = 0;
};

class cEdChara final : public cTableRecord, public EDCHARA_DATA {
public:
    static constexpr int kGroups = 37;
    static constexpr std::size_t kFlowGroup = 36; // the inherit group of the flows
    static constexpr u32 kNoItem = 0xFFFFFFFFu;

    cEdChara();
    cEdChara(const cEdChara&) = default;
    cEdChara(cEdChara&&) = default;
    cEdChara& operator=(const cEdChara&) = default;
    cEdChara& operator=(cEdChara&&) = default;
    ~cEdChara() override;

    // Clears the fields and sets the defaults of a new record; 37 zero inherit flags; no
    // conditions or flows. The position is left as it is.
    void Reset();

    void RegisterFields(u32 version) override;
    // Body, position, carried item, flags, conditions, flows; upgrades of older files;
    // inheritance; Validate. Fails r on a damaged file.
    void Load(cRecordReader& r) override;
    // Validate first, so that what is written is what a read gives back.
    void Save(cRecordWriter& w) override;

    // Takes the flagged groups from the palette entry this record points at.
    void ApplyPaletteInherit();
    // Copies inherit group k (0..36) from src.
    void CopyGroup(int k, const cEdChara& src);
    // Resets references past the loaded data and removes empty flows. cmdsChecked: every
    // command was checked against the current limits since it last changed (as it is read),
    // so that the commands are not walked again.
    void Validate(bool cmdsChecked = false);
    // Checks the palette references of every flow's commands.
    void FixFlowRefs();
    void FixFlowRefs(const CMDLIMITS& lim);

    double GetOffsetX(i32 i, i32 dir) const;
    double GetOffsetY(i32 i, i32 dir) const;

    i16 sPosX = 0;
    i16 sPosY = 0;
    u32 nHoldItem = 0; // index into the stage's placed items, kNoItem for none
    cInlineBytes<40> vInherit; // the row, in the record while it has at most 40 entries
    std::string strName;
    cVector<cCond> vCond;
    cVector<cFlow> vFlow;
};

// Label lists of character settings (value = position), each ending with an empty label.
extern const char* const g_CharaOperationLabels[3];
extern const char* const g_CharaLabels2[2];
extern const char* const g_CharaBlockContactLabels[5];
extern const char* const g_CharaShotContactLabels[4];
extern const char* const g_CharaOnOffLabels[3];
extern const char* const g_CharaMultiplierOffLabels[11];
extern const char* const g_CharaMultiplierLabels[10];
extern const char* const g_CharaAreaShapeLabels[6];
extern const char* const g_CharaHitAreaLabels[5];
extern const char* const g_CharaScreenRangeLabels[5];
extern const char* const g_CharaRangeCondLabels[4];
