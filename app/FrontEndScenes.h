#pragma once
// The front-end scenes beyond the title menu: world map (1), world-map menu (2), challenge
// choice (3) and options (5). Each draws through the graphics layer with the game's pictures
// in their slots, into the back buffer or its own work surfaces.
#include "app/Game.h"
#include "app/SceneDraw.h"

#include "platform/system/Containers.h"

class cStorySlotInfo;
class cWorldMapEntry;
class cWorldMapEntryItem;

// The visible rows of the story-slot list: slot number and save time, with separators.
void DrawStorySlotList(int x, int y, const cVector<cStorySlotInfo>& slots, int first, int rows);

class cSceneOption : public cScene {
public:
    cSceneOption();
    void Init() override;
    void FadeIn() override;
    void FadeOut() override;

    i32 m_nEntryCount = 1;
    i32 m_anEntry[6] = {};
    i32 m_nKind = 0;
    i32 m_nSaved = 0;
    u32* m_pValue = nullptr;
    i32 m_nMin = 0;
    i32 m_nMax = 0;

private:
    void Options();
    void Apply();
    void Draw();
    void DrawList();
    DDSURFACEDATA* m_pList = nullptr; // the drawn options list
};

class cSceneChallenge : public cScene {
public:
    cSceneChallenge();
    void Init() override;
    void FadeIn() override;
    void FadeOut() override;

    i32 m_nListTop = 0;
    i32 m_nStageCount = 0;
    i32 m_nListRows = 0;

    // "data\stg4\c" n "-1.stg4" (n from 1, at least two digits).
    static std::string StageFileName(int n);

private:
    void Choice();
    void Counts();
    void Prepare(int n);
    void Draw();
    void DrawList();
    DDSURFACEDATA* m_pList = nullptr; // the drawn stage list
};

class cSceneMapMenu : public cScene {
public:
    cSceneMapMenu();
    void Init() override;
    void FadeIn() override;
    void FadeOut() override;

    i32 m_nEntryCount = 1;
    i32 m_anEntry[4] = {};
    i32 m_nSlotTop = 0;
    i32 m_nSlotRows = 0;

private:
    void Menu();
    void Save();
    void AutoSave();
    void BackToMap();
    void BackToTitle();
    void DrawMenu();
    void DrawSlots();
};

class cSceneWorldMap : public cScene {
public:
    cSceneWorldMap();
    void Init() override;
    void FadeIn() override;
    void FadeOut() override;

    i32 m_nViewX = 0;
    i32 m_nViewY = 0;
    const cWorldMapEntry* m_pEntry = nullptr;
    const cWorldMapEntryItem* m_pItem = nullptr;
    i32 m_nEntryIndex = -1;
    i32 m_nItemIndex = -1;
    i32 m_nDir = 0;
    i32 m_rcBack[2] = {};
    i32 m_rcInfo[2] = {-1, -1};
    i32 m_nStageBest = 0;
    i32 m_nFigureFrame = 0;

    // The current item at a cell, with its entry and their indexes.
    void FindAt(i32 x, i32 y, const cWorldMapEntry*& entry, const cWorldMapEntryItem*& item, i32& entryIndex,
                i32& itemIndex) const;
    bool ItemDone(const cWorldMapEntryItem& item) const;
    bool ItemWaits(const cWorldMapEntryItem& item) const;

private:
    void Walk();
    void Question();
    void PrepareInfo();
    void StartStage();
    bool StageItem() const;
    void RankingButtons();
    void DrawView();
    void DrawFrame(bool info);
    i32 m_nDrawnViewX = -100000;
    i32 m_nDrawnViewY = -100000;
    bool m_bStageLoaded = false;
    DDSURFACEDATA* m_pRanking = nullptr; // the drawn ranking panel
    void DrawRanking();
};
