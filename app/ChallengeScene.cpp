// Scene 3: the list of challenge stages that are open, with marks, bests and the ranking of the
// stage under the cursor.
#include <algorithm>

#include "app/FrontEndScenes.h"
#include "app/PlayRecord.h"
#include "app/Ranking.h"
#include "app/SceneKit.h"
#include "app/Scenes.h"
#include "database/DataPaths.h"
#include "database/SystemData.h"
#include "database/SystemSwitches.h"
#include "platform/system/MenuCursor.h"
#include "platform/system/MessageBox.h"
#include "platform/system/Sjis.h"
#include "records/StrFormat.h"

using namespace scenekit;

cSceneChallenge::cSceneChallenge() { SetHandlers({[this] { Choice(); }}); }

std::string cSceneChallenge::StageFileName(int n) {
    std::string name;
    StrFormat(name, "%s%02d-1.%s", g_DataPath[DP_CHALLENGE_STAGE].c_str(), n, g_FileExt[1].c_str());
    return name;
}

void cSceneChallenge::Counts() {
    const cPlayRecord& r = g_PlayRecord;
    i32 count = static_cast<i32>(g_SystemData.bChallengeSwitch ? ChallengeStageCount() : std::min(r.nChallengeOpen, kMaxChallengeStages));
    // A stage is listed only with its result row: a game without challenge stages lists none.
    count = std::clamp(count, 0, r.vChallenge.Size());
    m_nStageCount = count;
    m_nListTop = std::clamp(m_nListTop, 0, std::max(0, count - 1));
    m_nListRows = count >= m_nListTop + 10 ? 10 : count - m_nListTop;
}

void cSceneChallenge::Prepare(int n) {
    cPlayRecord& r = g_PlayRecord;
    r.SetStageFile(StageFileName(n), 0, 0, 0);
    if (g_Game.g_bUseRanking)
        LoadRanking(g_Ranking, g_Game.g_nPlayKind, r.strStageFile, r.bStageVar, r.nStageVarIndex, r.nStageVarValue);
}

void cSceneChallenge::Init() {
    RequestSceneBgm(2);
    LoadScenePictures({PIC_ACCESSORY, PIC_WINDOW});
    // A record reset for a new challenge (no Challenge.dat yet) has no result rows.
    cVector<cRecInt2>& rows = g_PlayRecord.vChallenge;
    if (rows.Size() < static_cast<int>(ChallengeStageCount())) rows.resize(ChallengeStageCount());
    g_WorldMapPos.Reset();
    m_nListTop = g_Game.g_nChallengeTop;
    Counts();
    g_WorldMapPos.Cur().row = std::clamp(g_Game.g_nChallengeRow, 0, std::max(0, m_nStageCount - 1));
    MenuCursorMoveList(g_WorldMapPos, 0, true, m_nListTop, 160, 32, 32, m_nListRows, m_nStageCount, true);
    if (m_nStageCount > 0) Prepare(g_WorldMapPos.Cur().row + 1);
    ReleaseSceneSurfaces();
    m_pList = AddSceneSurface(kScreenW, kScreenH, 0, 1);
    DrawList();
    m_nSubState = 0;
}

void cSceneChallenge::DrawList() {
    DDSURFACEDATA* list = m_pList;
    if (!list) return;
    list->restored = 0;
    const cPlayRecord& r = g_PlayRecord;
    DDFillSurface(list, kBack);
    FontDrawFrame(&g_aFont[2], list, 1, 1, 638, 478);
    const std::string heading = g_SystemData.vTitleMenu.Size() > 2 ? g_SystemData.vTitleMenu[2].text : std::string();
    SceneText(list, 320 - Chars(heading) * 16, 32, heading, 32);
    if (SysSwitch(SW_CHALLENGE_TOTAL) && r.nBestSum > 0) {
        const std::string total = g_SystemData.Message(4) + Number(r.nBestSum);
        SceneText(list, 320 - Chars(total) * 16 / 2, 88, total, 16);
    }
    if (!r.bShowRanking && SysSwitch(SW_CHALLENGE_BEST_COLUMN)) SceneText(list, 32, 128, "         " + g_SystemData.Message(3), 32);
    Counts();
    const std::string& stage = g_SystemData.Message(1);
    const int markX = (Chars(stage) + 4) * 32;
    for (int k = 0; k < m_nListRows; ++k) {
        const int n = m_nListTop + k;
        const int y = 160 + 32 * k;
        SceneText(list, 64, y, stage + Number(n + 1), 32);
        if (r.vChallenge[n].nValue1) DDBlt(list, markX, y, 32, 32, ScenePicture(PIC_ACCESSORY), 0, 96, DDBLT_KEY);
        if (SysSwitch(SW_CHALLENGE_BEST_COLUMN)) SceneText(list, markX + 64, y, Number(r.vChallenge[n].nValue2), 32);
    }
    if (g_SystemData.RankingSetting(1).bRanking && r.bShowRanking && m_nStageCount > 0)
        DrawLayout(list, LayoutRanking(g_Ranking, 292, 108, r.nRankTable, -1));
}

void cSceneChallenge::Draw() {
    if (m_pList && m_pList->restored) DrawList();
    DDBlt(&g_sdBackBuffer, 0, 0, kScreenW, kScreenH, m_pList, 0, 0, 0);
    UpdateCycleColors();
}

void cSceneChallenge::FadeIn() {
    if (!lpDTCon && g_nBpp == 8) DrawList();
    Draw();
    if (SceneFade(true)) m_nState = 1;
}

void cSceneChallenge::Choice() {
    cInput& in = Player1();
    cPlayRecord& r = g_PlayRecord;
    Counts();
    MenuCursorMoveList(g_WorldMapPos, in.wDirection, true, m_nListTop, 160, 32, 32, m_nListRows, m_nStageCount, true);
    CursorSound(in.wDirection, 3);
    const int row = g_WorldMapPos.Cur().row;
    if (in.wDirection && m_nStageCount > 0) {
        Prepare(row + 1);
        DrawList();
    }
    if (in.wButtons & 1) {
        if (m_nStageCount <= 0) {
            PlaySE(3);
            return;
        }
        const std::string name = StageFileName(row + 1);
        const int loaded = g_Services.loadStage ? g_Services.loadStage(name, 1) : 0;
        if (!loaded) {
            PlaySE(3);
            ErrorBox("ステージファイル %s が読み込めません！", ToDisplayText(name).c_str());
            return;
        }
        PlaySE(1);
        r.SetStageFile(name, 0, 0, 0);
        r.bStageStarted = 1;
        r.nStageNo = static_cast<u32>(row + 1);
        if (g_SystemData.InfiniteLives(1)) {
            r.nStartLives = r.nLives = kInfiniteLives;
        } else {
            r.nStartLives = g_SystemData.StartLives(1);
            r.nLives = r.nStartLives - 1;
        }
        r.bChallengeName = 1;
        g_Game.g_nChallengeRow = row;
        g_Game.g_nChallengeTop = m_nListTop;
        g_Game.g_nNextScene = SCENE_PLAY;
        g_Game.g_nPrevScene = SCENE_CHALLENGE;
        m_nState = 2;
        return;
    }
    if (in.wButtons & 2) {
        PlaySE(2);
        g_Game.g_nNextScene = SCENE_MENU;
        g_Game.g_nPrevScene = SCENE_CHALLENGE;
        m_nState = 2;
        return;
    }
    const cItemSwitches& rank = g_SystemData.RankingSetting(1);
    if (in.wButtons & 4) {
        if (rank.bRanking) {
            PlaySE(6);
            r.bShowRanking = !r.bShowRanking;
            DrawList();
        } else {
            r.bShowRanking = 0;
        }
    } else if ((in.wButtons & 8) && rank.bRanking) {
        if (g_SystemData.CountItems(g_Game.g_nPlayKind) >= 2) {
            PlaySE(6);
            MenuCursorStep(r.nRankTable, rank.vItem, 1);
        }
        DrawList();
    }
    Draw();
    const MENUCURSOR& c = g_WorldMapPos.Cur();
    Accessory(c.x, c.y, 32, 0, 0);
}

void cSceneChallenge::FadeOut() {
    Draw();
    if (!SceneFade(false)) return;
    DDFillSurface(&g_sdBackBuffer, kBack);
    g_WorldMapPos.Reset();
    g_Game.g_nPrevScene = SCENE_CHALLENGE;
    g_Game.g_nScene = g_Game.g_nNextScene;
}
