#pragma once
// The records of a block (a tile of the stage's block map) and of an item. Like the character
// record, each is a common-palette entry, a stage-palette entry or a placed entry, and may take
// chosen groups of settings from a palette entry when it is read.
#include <string>

#include "records/Cond.h"
#include "records/FieldTable.h"
#include "records/FlowCmd.h"
#include "records/InheritFlags.h"

struct EDBLOCK_DATA {
    i8 byPaletteKind = 0; // 0 none, 1 common palette, 2 stage palette
    i16 wPaletteIndex = 0;
    u8 byGroup1a = 0;
    u8 byGroup1b = 0;
    u16 wPicture = 0;     // 0: no block in the cell
    u8 byPictureKind = 0; // the set: the graphic kind drawn (3: a numbered built-in picture, at most 119)
    u16 wGroup2 = 0;      // the variant: a cell offset added to the picture number
    u8 byLayer = 0;       // block pass that draws it
    u8 bHidden = 0;
    u8 bShowMark = 0;     // 1: mark wMark of the mark sheet is drawn over the block
    u16 wMark = 0;
    u8 bySolid = 1;       // what contact tests get (0 passable); 0 without a picture
    u8 byOpenSide = 255;  // side that does not block; 255 none
    u8 byGroup8 = 0;
    u32 dwGroup8 = 0;
    i8 byItemKind = 0;    // palette of the held item: 0 none, 1 common, 2 stage
    u16 wItemIndex = 0;
    u8 byGroup10 = 0;     // 0 without a picture
};

class cEdBlock : public cTableRecord, public EDBLOCK_DATA {
public:
    static constexpr int kGroups = 11;

    cEdBlock() : vInherit(kGroups, 0) {}
    cEdBlock(const cEdBlock&) = default;
    cEdBlock(cEdBlock&&) = default;
    cEdBlock& operator=(const cEdBlock&) = default;
    cEdBlock& operator=(cEdBlock&&) = default;
    ~cEdBlock() override = default;

    void Reset();
    void RegisterFields(u32 version) override;
    // Body, position, flags, conditions; the older-picture upgrade; inheritance; CheckPalette.
    void Load(cRecordReader& r) override;
    // CheckPalette first.
    void Save(cRecordWriter& w) override;

    void ApplyPaletteInherit();
    void CopyGroup(int k, const cEdBlock& src);
    void CheckPalette();
    // Drops a held-item reference past its item palette (run when a palette or stage is
    // prepared, once every palette is complete).
    void CheckItemRef();
    // The same against item palettes of the given sizes (1 common, 2 the stage's).
    void CheckItemRef(u32 commonItems, u32 stageItems) {
        if ((byItemKind == 1 && wItemIndex >= commonItems) || (byItemKind == 2 && wItemIndex >= stageItems)) {
            byItemKind = 0;
            wItemIndex = 0;
        }
    }

    i16 sPosX = 0;
    i16 sPosY = 0;
    cInlineBytes<16> vInherit;
    std::string strName;
    cVector<cCond> vCond; // while non-empty and not holding, contact tests get 0 for the block

private:
    bool LoadUsual(cRecordReader& r);
};

struct EDITEM_DATA {
    i8 byPaletteKind = 0;
    i16 wPaletteIndex = 0;
    u8 byGroup1a = 0;
    u8 byGroup1b = 0;
    u16 wGroup2 = 0;
    u16 wGroup3 = 0;
    u16 wPicture = 0;
    u8 byPictureKind = 2; // 3: a numbered built-in picture (at most 119)
    u16 wGroup4 = 0;      // the pattern (cell offset) of the graphic shown when it is taken
    u8 byGroup5 = 6;      // animation speed: frames per picture (0 still)
    u8 bHidden = 0;
    u8 bShowMark = 0;
    u16 wMark = 0;
    u8 byGroup10 = 1;     // stored before byPickup; 1: taking it shows its graphic over the hero
    u8 byPickup = 0;      // 0 once, 1 any number of times, 2 cannot be taken
    i8 bySize = 1;        // never below 1
    u16 wSound = 0;       // sound database index
};

class cEdItem : public cTableRecord, public EDITEM_DATA {
public:
    static constexpr int kGroups = 13;

    cEdItem();
    cEdItem(const cEdItem&) = default;
    cEdItem(cEdItem&&) = default;
    cEdItem& operator=(const cEdItem&) = default;
    cEdItem& operator=(cEdItem&&) = default;
    ~cEdItem() override = default;

    void Reset();
    void RegisterFields(u32 version) override;
    // Body, position, flags, conditions, commands; the older-picture upgrade; inheritance;
    // Validate.
    void Load(cRecordReader& r) override;
    // Validate first.
    void Save(cRecordWriter& w) override;

    void ApplyPaletteInherit();
    void CopyGroup(int k, const cEdItem& src);
    void Validate();
    void FixCmdRefs();
    void FixCmdRefs(const CMDLIMITS& lim) { FixCmdRefList(vCmd, lim); }

    i16 sPosX = 0;
    i16 sPosY = 0;
    cVector<u8> vInherit;
    std::string strName;
    cVector<cCond> vCond;
    cVector<cFlowCmd> vCmd; // item command set, run for the player who takes the item
};

// The item palette entry of kind 1 (common) or 2 (the stage's); null for any other kind or an
// index past the palette (the index is taken as unsigned: -1 is past every palette).
const cEdItem* GetEdItem(i8 kind, i16 index);

extern const char* const g_ItemPickupLabels[4];
