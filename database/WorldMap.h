#pragma once
// The story mode's world map (data\WorldMap.dat): a grid of chip indexes and the entries placed
// on it, each with the items that decide what the entry is at the moment.
#include <functional>
#include <string>

#include "records/Record.h"

class cWorldMapChip : public cRecord {
public:
    cWorldMapChip() { Clear(); }
    void RegisterFields(u32 version) override;

    u32 nData = 0;
    u32 bImpassable = 0;
    u32 nPicture = 0; // cell of the WorldMapChip sheet: x (n % 5) * 32, y (n / 5) * 32
    std::string strName;
    std::string strNote;
};

class cWorldMapEntryItem : public cRecord {
public:
    cWorldMapEntryItem() { SetDefault(); }
    void RegisterFields(u32 version) override;
    void Load(cRecordReader& r) override;
    void SetDefault();

    u32 nKind = 0; // 0 stage, 2 wall, other: drawn only
    u32 nPicture = 0;
    u32 nDoneSwitch = 0;
    u32 bManualEnter = 0;
    u32 bReenter = 0;
    u32 nData = 0;
    u32 nShowSwitch = 0;
    u32 nCondVar = 0;
    u32 nCondValue = 0;
    u32 nCondOp = 0;
    u32 nNeedTotal = 0;
    u32 nStageArg0 = 0;
    u32 nStageArg1 = 1;
    u32 nStageArg2 = 0;
    std::string strCaption;
    std::string strStageFile;
};

class cWorldMapEntry : public cRecord {
public:
    cWorldMapEntry() { SetDefault(); }
    void RegisterFields(u32 version) override;
    void Load(cRecordReader& r) override;
    void Save(cRecordWriter& w) override;
    void SetDefault();

    i32 nX = 0;
    i32 nY = 0;
    std::string strName;
    cVector<cWorldMapEntryItem> m_vItem;
};

// What the current-item rule asks of the play record.
struct WORLDMAPSTATE {
    std::function<bool(u32 sw)> switchOn;
    std::function<i32(u32 var)> variable;
    u32 stageTotal = 0;
};

class cWorldMapData : public cRecord {
public:
    cWorldMapData();
    void RegisterFields(u32 version) override;
    void Load(cRecordReader& r) override;
    void Save(cRecordWriter& w) override;
    void SetDefault();
    void Validate();
    int SetSize(i32 width, i32 height);

    u32 Cell(i32 x, i32 y) const;
    void SetCell(i32 x, i32 y, u32 chip);
    // A cell whose chip the list does not hold is passable and shows no picture (-1).
    bool IsImpassableChip(u32 chip) const;
    i32 ChipPicture(u32 chip) const;

    const cWorldMapEntry* FindEntryXY(i32 x, i32 y) const;
    int HasStage(const std::string& name, u32 withArgs, u32 arg1, u32 arg2) const;
    // The first item whose conditions hold, or null.
    static const cWorldMapEntryItem* CurrentItem(const cWorldMapEntry& entry, const WORLDMAPSTATE& state);

    i32 nWidth = 20;
    i32 nHeight = 15;
    i32 nPitch = 32;
    i32 nPitch_Shift = 5;
    cVector<cWorldMapChip> m_vChip;
    cVector<u32> m_vCell;
    cVector<cWorldMapEntry> m_vEntry;
    cVector<cWorldMapEntry> m_vEntry2;
    i32 nStartX = 9;
    i32 nStartY = 7;
    u32 nBackColor = 16;
    u32 bBackPicture = 0;
    std::string strTitle;
    std::string strExtra;
};

extern cWorldMapData g_WorldMap;

void NextPow2(i32& pitch, i32& shift, i32 width);
// The key a stage file name gives for HasStage ("Forest-1.stg4_001" -> "Forest.").
std::string StageKey(const std::string& stageFile);
// Loads the map, reporting "%s のロードに失敗！" when it is missing, newer or damaged.
int LoadWorldMapFile(cWorldMapData& map, const std::string& path);
