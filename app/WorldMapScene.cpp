// Scene 1: the story mode's world map. The figure walks the cells of g_WorldMap; the current item
// of an entry decides what a place is: a stage to start (asked, or at once on arrival) or a wall.

#include "app/FrontEndScenes.h"
#include "app/PlayRecord.h"
#include "app/PlayRecordNames.h"
#include "app/Ranking.h"
#include "app/SceneKit.h"
#include "app/Scenes.h"
#include "app/StorySave.h"
#include "database/DataPaths.h"
#include "database/SystemData.h"
#include "database/SystemSwitches.h"
#include "database/WorldMap.h"
#include "platform/system/MenuCursor.h"
#include "platform/system/MessageBox.h"
#include "platform/system/Sjis.h"
#include "platform/system/WindowMessages.h"
#include "records/StageLoad.h"

using namespace scenekit;

namespace {

constexpr int kFigureX = 288;
constexpr int kFigureY = 224;

WORLDMAPSTATE MapState() {
    WORLDMAPSTATE s;
    // Switch and variable numbers come from the map file: outside the lists they read as off/0.
    s.switchOn = [](u32 sw) { return sw < g_PlayRecord.vSwitch.size() && g_PlayRecord.vSwitch[sw] != 0; };
    s.variable = [](u32 v) { return v < g_PlayRecord.vVar.size() ? g_PlayRecord.vVar[v] : 0; };
    s.stageTotal = g_PlayRecord.nBestSum;
    return s;
}

MENUCURSOR& Place() { return g_WorldMapPos.Cur(); }

void SetPlace(i32 x, i32 y) {
    MENUCURSOR& c = Place();
    c.col = x;
    c.row = y;
    c.x = kFigureX;
    c.y = kFigureY;
}

} // namespace

cSceneWorldMap::cSceneWorldMap() { SetHandlers({[this] { Walk(); }, [this] { Question(); }}); }

void cSceneWorldMap::FindAt(i32 x, i32 y, const cWorldMapEntry*& entry, const cWorldMapEntryItem*& item,
                            i32& entryIndex, i32& itemIndex) const {
    entry = nullptr;
    item = nullptr;
    entryIndex = itemIndex = -1;
    const WORLDMAPSTATE state = MapState();
    for (int i = 0; i < g_WorldMap.m_vEntry.Size(); ++i) {
        const cWorldMapEntry& e = g_WorldMap.m_vEntry[i];
        if (e.nX != x || e.nY != y) continue;
        entry = &e;
        entryIndex = i;
        item = cWorldMapData::CurrentItem(e, state);
        if (item) itemIndex = static_cast<i32>(item - e.m_vItem.data());
        return;
    }
}

bool cSceneWorldMap::ItemDone(const cWorldMapEntryItem& item) const {
    return item.nDoneSwitch < g_PlayRecord.vSwitch.size() && g_PlayRecord.vSwitch[item.nDoneSwitch] != 0;
}

bool cSceneWorldMap::ItemWaits(const cWorldMapEntryItem& item) const { return item.bManualEnter || ItemDone(item); }

bool cSceneWorldMap::StageItem() const { return m_pItem && m_pItem->nKind == 0; }

void cSceneWorldMap::Init() {
    RequestSceneBgm(1);
    // The map's own background picture stands in the WorldBack slot.
    DDPICTUREDEF& back = g_SurfaceFile[SURFACE_WORLDBACK];
    back.file = g_WorldMap.strExtra;
    LoadScenePictures({PIC_WORLDBACK, PIC_MAPCHIP, PIC_MAPEVENT, PIC_ACCESSORY, PIC_WINDOW, PIC_EFFECTWORK});
    g_WorldMapPos.Reset();
    cPlayRecord& r = g_PlayRecord;
    r.SumStageValues();
    SetPlace(r.nMapX, r.nMapY);
    m_nViewX = r.nMapX - 9;
    m_nViewY = r.nMapY - 7;
    m_nDir = static_cast<i32>(r.nMapSceneValue);
    FindAt(r.nMapX, r.nMapY, m_pEntry, m_pItem, m_nEntryIndex, m_nItemIndex);
    m_rcBack[0] = r.nMapX;
    m_rcBack[1] = r.nMapY;
    ReleaseSceneSurfaces();
    m_pRanking = AddSceneSurface(272, 352, 1, 1);
    DrawRanking();
    if (StageItem()) {
        PrepareInfo();
        m_rcInfo[0] = r.nMapX;
        m_rcInfo[1] = r.nMapY;
    }
    // Auto-save after a stage; a save without a slot would have nowhere to go.
    if (r.bAutoSave && g_Game.g_nPrevScene == SCENE_PLAY && r.nSaveSlot >= 0 && r.nSaveSlot < kStorySlots)
        SaveStorySlot(r, r.nSaveSlot);
    DrawView();
    m_nSubState = 0;
}

void cSceneWorldMap::PrepareInfo() {
    cPlayRecord& r = g_PlayRecord;
    r.SetStageFile(m_pItem->strStageFile, m_pItem->nStageArg0, m_pItem->nStageArg1, m_pItem->nStageArg2);
    m_nStageBest = static_cast<i32>(r.GetStageValue(r.strStageKey));
    if (g_Game.g_bUseRanking) {
        LoadRanking(g_Ranking, g_Game.g_nPlayKind, r.strStageFile, r.bStageVar, r.nStageVarIndex, r.nStageVarValue);
        MenuCursorStep(r.nRankTable, g_SystemData.RankingSetting(g_Game.g_nPlayKind).vItem, 0);
        DrawRanking();
    }
}

void cSceneWorldMap::DrawRanking() {
    if (!m_pRanking) return;
    m_pRanking->restored = 0;
    DDFillSurface(m_pRanking, 0);
    DrawLayout(m_pRanking, LayoutRanking(g_Ranking, 0, 0, g_PlayRecord.nRankTable, -1));
}

void cSceneWorldMap::DrawView() {
    DDSURFACEDATA* view = ScenePicture(PIC_EFFECTWORK);
    if (view) view->restored = 0;
    // Outside the map (and under a background picture's gaps) the map's own colour.
    DDFillRect(view, 0, 0, kScreenW, kScreenH, g_WorldMap.nBackColor);
    if (g_WorldMap.bBackPicture) {
        const int dx = m_nViewX < 0 ? -32 * m_nViewX : 0;
        const int sx = m_nViewX < 0 ? 0 : 32 * m_nViewX;
        const int dy = m_nViewY < 0 ? -32 * m_nViewY : 0;
        const int sy = m_nViewY < 0 ? 0 : 32 * m_nViewY;
        DDBlt(view, dx, dy, kScreenW, kScreenH, ScenePicture(PIC_WORLDBACK), sx, sy, 0);
    }
    DDSURFACEDATA* chips = ScenePicture(PIC_MAPCHIP);
    const int chipRows = chips ? chips->height / 32 : 0;
    D3DBeginBatch(0);
    for (int row = 0; row < 15; ++row)
        for (int col = 0; col < 20; ++col) {
            const i32 x = m_nViewX + col;
            const i32 y = m_nViewY + row;
            if (x < 0 || y < 0 || x >= g_WorldMap.nWidth || y >= g_WorldMap.nHeight) continue;
            const i32 p = g_WorldMap.ChipPicture(g_WorldMap.Cell(x, y));
            // A picture number from the file past the sheet draws nothing (and must not overflow).
            if (p < 0 || p / 5 > chipRows) continue;
            DDBlt(view, col * 32, row * 32, 32, 32, chips, (p % 5) * 32, (p / 5) * 32, DDBLT_KEY);
        }
    D3DFlushBatch();
    DDSURFACEDATA* marks = ScenePicture(PIC_MAPEVENT);
    const u32 markRows = marks ? static_cast<u32>(marks->height / 32) : 0;
    const WORLDMAPSTATE state = MapState();
    D3DBeginBatch(0);
    for (const cWorldMapEntry& e : g_WorldMap.m_vEntry) {
        const cWorldMapEntryItem* it = cWorldMapData::CurrentItem(e, state);
        if (!it) continue;
        // Marks outside the view fall off the surface; the file's numbers may be anything.
        if (e.nX < m_nViewX || e.nX >= m_nViewX + 20 || e.nY < m_nViewY || e.nY >= m_nViewY + 15) continue;
        if (it->nPicture > markRows) continue;
        DDBlt(view, (e.nX - m_nViewX) * 32, (e.nY - m_nViewY) * 32, 32, 32, marks, ItemDone(*it) ? 32 : 0,
              32 * static_cast<int>(it->nPicture), DDBLT_KEY);
    }
    D3DFlushBatch();
    m_nDrawnViewX = m_nViewX;
    m_nDrawnViewY = m_nViewY;
}

void cSceneWorldMap::DrawFrame(bool info) {
    DDSURFACEDATA* back = &g_sdBackBuffer;
    DDSURFACEDATA* view = ScenePicture(PIC_EFFECTWORK);
    if (view && view->restored) DrawView();
    DDBlt(back, 0, 0, kScreenW, kScreenH, view, 0, 0, 0);
    static const int src[4][2] = {{0, 64}, {64, 64}, {64, 96}, {0, 96}};
    const int d = m_nDir >= 0 && m_nDir < 4 ? m_nDir : 0;
    if (++m_nFigureFrame > 80) m_nFigureFrame = 1;
    Accessory(kFigureX, kFigureY, 32, src[d][0] + (m_nFigureFrame >= 41 ? 32 : 0), src[d][1]);
    const cPlayRecord& r = g_PlayRecord;
    if (g_SystemData.bMapLives) {
        const std::string lives = r.nLives == kInfiniteLives ? Utf8ToSjis("∞") : Number(r.nLives);
        const int n = r.nLives == kInfiniteLives ? 1 : static_cast<int>(Number(r.nLives).size());
        const int w = (n + 1) * 16;
        const int x = 621 - w;
        Box(x, 17, w, 20);
        Accessory(x, 19, 16, 0, 48);
        Text(x + 16, 19, lives, 16);
    }
    if (!info || !StageItem()) return;
    if (g_SystemData.RankingSetting(0).bRanking && r.bShowRanking) {
        if (m_pRanking && m_pRanking->restored) DrawRanking();
        DDBlt(back, 367, 64, 272, 352, m_pRanking, 0, 0, DDBLT_KEY);
    }
    const bool best = SysSwitch(SW_MAP_STAGE_BEST) && m_nStageBest > 0;
    const int y = best ? 184 : 204;
    const int chars = Chars(m_pItem->strCaption);
    if (chars > 0) {
        Box(304 - chars * 16 / 2, y, chars * 16, 16);
        Text(304 - chars * 16 / 2, y, m_pItem->strCaption, 16);
    }
    if (best) {
        const std::string text = g_SystemData.Message(2) + Number(m_nStageBest);
        const int w = Chars(text) * 16;
        Box(304 - w / 2, y + 20, w, 16);
        Text(304 - w / 2, y + 20, text, 16);
    }
}

void cSceneWorldMap::FadeIn() {
    cPlayRecord& r = g_PlayRecord;
    // The palette mode draws the ranking again with the palette it fades in.
    if (!lpDTCon && g_nBpp == 8) DrawRanking();
    DrawFrame(!r.bMapReturn);
    if (!SceneFade(true)) return;
    m_nState = 1;
    if (!StageItem()) return;
    if (r.bMapReturn) {
        r.bMapReturn = 0;
        // Back from a stage left unfinished: on the cell the stage was entered from, so that
        // it does not start again by itself. The view follows at the next step.
        if (!ItemDone(*m_pItem)) {
            SetPlace(r.nMapPrevX, r.nMapPrevY);
            FindAt(r.nMapPrevX, r.nMapPrevY, m_pEntry, m_pItem, m_nEntryIndex, m_nItemIndex);
            DrawView();
        }
        return;
    }
    if (g_Game.g_nPrevScene == SCENE_MAPMENU || ItemWaits(*m_pItem)) return;
    const int loaded = g_Services.loadStage ? g_Services.loadStage(m_pItem->strStageFile, 1) : 0;
    if (!loaded) {
        ErrorBox("ステージファイル %s が読み込めません！", ToDisplayText(m_pItem->strStageFile).c_str());
        PostMessage(g_hWnd, WM_CLOSE, 0, 0);
        return;
    }
    StartStage();
    r.nMapPrevX = Place().col;
    r.nMapPrevY = Place().row;
    m_nSubState = 0;
    m_nState = 3;
    g_Game.g_nNextScene = SCENE_PLAY;
}

void cSceneWorldMap::StartStage() {
    cPlayRecord& r = g_PlayRecord;
    playrec::MapEntry(r) = playrec::MakeMapEntryRef(m_nEntryIndex, m_nItemIndex);
    // Keyed by the file that was loaded ("Forest.stg4_000"), not by the item's name, which may
    // lack the extension: the results and the map's total look the stage up by that key.
    r.SetStageFile(g_strStageFile, m_pItem->nStageArg0, m_pItem->nStageArg1, m_pItem->nStageArg2);
    r.bStageStarted = 1;
    r.nStageNo = m_pItem->nDoneSwitch;
    if (!g_SystemData.bMapSwitch) r.nStartLives = g_SystemData.StartLives(0);
    else r.nStartLives = g_SystemData.InfiniteLives(0) ? kInfiniteLives : r.nLives + 1;
}

void cSceneWorldMap::RankingButtons() {
    cPlayRecord& r = g_PlayRecord;
    const cItemSwitches& rank = g_SystemData.RankingSetting(0);
    const u16 buttons = Player1().wButtons;
    if (buttons & 4) {
        if (rank.bRanking) {
            PlaySE(6);
            r.bShowRanking = !r.bShowRanking;
            DrawRanking();
        } else {
            r.bShowRanking = 0;
        }
    }
    if ((buttons & 8) && rank.bRanking) {
        if (g_SystemData.CountItems(g_Game.g_nPlayKind) >= 2) {
            PlaySE(6);
            MenuCursorStep(r.nRankTable, rank.vItem, 1);
        }
        DrawRanking();
    }
}

void cSceneWorldMap::Walk() {
    cInput& in = Player1();
    cPlayRecord& r = g_PlayRecord;
    const u16 dir = in.wDirection;
    if (dir & 15) {
        r.nMapPrevX = m_rcBack[0] = Place().col;
        r.nMapPrevY = m_rcBack[1] = Place().row;
        i32 x = Place().col;
        i32 y = Place().row;
        // Only the first direction bit counts.
        if (dir & 1) {
            m_nDir = 2;
            if (x > 0) --x;
        } else if (dir & 2) {
            m_nDir = 3;
            if (x + 1 < g_WorldMap.nWidth) ++x;
        } else if (dir & 4) {
            m_nDir = 1;
            if (y > 0) --y;
        } else {
            m_nDir = 0;
            if (y + 1 < g_WorldMap.nHeight) ++y;
        }
        const cWorldMapEntry* e;
        const cWorldMapEntryItem* it;
        i32 ei, ii;
        FindAt(x, y, e, it, ei, ii);
        const bool blocked = it ? it->nKind == 2 : g_WorldMap.IsImpassableChip(g_WorldMap.Cell(x, y));
        if (blocked) {
            SetPlace(m_rcBack[0], m_rcBack[1]);
        } else {
            SetPlace(x, y);
            m_nViewX = x - 9;
            m_nViewY = y - 7;
            r.nMapSceneValue = static_cast<u32>(m_nDir);
            if (m_nViewX != m_nDrawnViewX || m_nViewY != m_nDrawnViewY) DrawView();
        }
    }
    CursorSound(dir, 3);
    FindAt(Place().col, Place().row, m_pEntry, m_pItem, m_nEntryIndex, m_nItemIndex);
    if (StageItem()) {
        bool ask = false;
        if (Place().col != m_rcInfo[0] || Place().row != m_rcInfo[1]) {
            PrepareInfo();
            m_rcInfo[0] = Place().col;
            m_rcInfo[1] = Place().row;
        }
        if (!ItemDone(*m_pItem) && !ItemWaits(*m_pItem)) {
            ask = true;
        } else if (in.wButtons & 1) {
            if (!m_pItem->bReenter && ItemDone(*m_pItem)) return;
            ask = true;
        } else {
            RankingButtons();
        }
        if (ask) {
            r.nMapX = Place().col;
            r.nMapY = Place().row;
            MenuCursorBuild(1);
            m_nSubState = 0;
            m_nState = 2;
            return;
        }
    }
    if (in.wButtons & 2) {
        PlaySE(4);
        r.nMapX = Place().col;
        r.nMapY = Place().row;
        m_nSubState = 0;
        m_nState = 3;
        g_Game.g_nNextScene = SCENE_MAPMENU;
        return;
    }
    DrawFrame(true);
}

void cSceneWorldMap::Question() {
    cInput& in = Player1();
    if (m_nSubState == 0) {
        PlaySE(1);
        m_bStageLoaded = g_Services.loadStage && g_Services.loadStage(m_pItem->strStageFile, 1);
        if (!m_bStageLoaded) ErrorBox("ステージファイル %s が読み込めません！", ToDisplayText(m_pItem->strStageFile).c_str());
        g_WorldMapPos.Cur().row = 1;
        m_nSubState = 1;
    }
    const ANSWER answer = AskQuestion(in, 304, 260, 10);
    auto leave = [this] {
        MenuCursorShift(1);
        // A question that opened on arrival leaves the figure where it stood before the step.
        if (!ItemWaits(*m_pItem)) {
            SetPlace(m_rcBack[0], m_rcBack[1]);
            FindAt(m_rcBack[0], m_rcBack[1], m_pEntry, m_pItem, m_nEntryIndex, m_nItemIndex);
        }
        m_nSubState = 0;
        m_nState = 1;
    };
    if (answer != ANSWER::None) {
        PlaySE(answer == ANSWER::Cancel ? 2 : 1);
        if (answer == ANSWER::First && m_bStageLoaded) {
            g_PlayRecord.nMapSceneValue = static_cast<u32>(m_nDir);
            StartStage();
            m_nSubState = 0;
            m_nState = 3;
            g_Game.g_nNextScene = SCENE_PLAY;
        } else {
            leave();
        }
        return;
    }
    RankingButtons();
    DrawFrame(true);
    QuestionBox(304, 260, 10, 2, true);
    Accessory(g_WorldMapPos.Cur().x, g_WorldMapPos.Cur().y, 16, 0, 64);
}

void cSceneWorldMap::FadeOut() {
    DrawFrame(true);
    if (!SceneFade(false)) return;
    DDFillSurface(&g_sdBackBuffer, kBack);
    g_WorldMapPos.Reset();
    g_Game.g_nPrevScene = SCENE_WORLDMAP;
    g_Game.g_nScene = g_Game.g_nNextScene;
}
