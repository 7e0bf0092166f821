// Scene 5: the player's options, changed in place and written to Option.dat on leaving.
#include <algorithm>

#include "app/FrontEnd.h"
#include "app/FrontEndScenes.h"
#include "app/SceneKit.h"
#include "app/Scenes.h"
#include "database/DataPaths.h"
#include "database/OptionData.h"
#include "database/SystemData.h"
#include "platform/system/MenuCursor.h"
#include "platform/system/Report.h"
#include "platform/system/Thread.h"
#include "platform/system/WindowMessages.h"
#include "records/DataFile.h"

using namespace scenekit;

cSceneOption::cSceneOption() { SetHandlers({[this] { Options(); }}); }

void cSceneOption::Init() {
    RequestSceneBgm(3);
    LoadScenePictures({PIC_ACCESSORY, PIC_WINDOW});
    g_WorldMapPos.Reset();
    m_nEntryCount = 0;
    for (int i = 0; i < g_SystemData.vOptionMenu.Size() && i < 6; ++i)
        if (g_SystemData.vOptionMenu[i].enabled) m_anEntry[m_nEntryCount++] = i;
    if (m_nEntryCount == 0) {
        m_anEntry[0] = 0;
        m_nEntryCount = 1;
    }
    ReleaseSceneSurfaces();
    m_pList = AddSceneSurface(kScreenW, kScreenH, 0, 1);
    DrawList();
    m_nSubState = 0;
}

void cSceneOption::DrawList() {
    DDSURFACEDATA* list = m_pList;
    if (!list) return;
    list->restored = 0;
    DDFillSurface(list, kBack);
    FontDrawFrame(&g_aFont[2], list, 1, 1, 638, 478);
    const std::string heading = g_SystemData.vTitleMenu.Size() > 5 ? g_SystemData.vTitleMenu[5].text : std::string();
    SceneText(list, 320 - Chars(heading) * 16, 32, heading, 32);
    for (int k = 0; k < m_nEntryCount; ++k) {
        const int e = m_anEntry[k];
        const int y = 96 + 16 * k;
        if (e < g_SystemData.vOptionMenu.Size()) SceneText(list, 64, y, g_SystemData.vOptionMenu[e].text, 16);
        std::string value;
        switch (e) {
        case 0: value = Number(g_OptionData.nBlendTable); break;
        case 1: value = g_OptionData.bBgm ? "ON" : "OFF"; break;
        case 2: value = Number(g_OptionData.nSeVolume); break;
        case 3:
            if (static_cast<int>(g_OptionData.nRankingMode) < g_SystemData.vRankingMode.Size())
                value = g_SystemData.vRankingMode[g_OptionData.nRankingMode];
            break;
        case 4: value = g_OptionData.strRankingName; break;
        default: break;
        }
        // The ranking name is the player's text: its lowercase letters are letters, not icons.
        const bool plain = e == 4 && g_SystemData.nMenuFontA != 0;
        if (plain) g_aFont[1].iconsOn = 0;
        SceneText(list, 208, y, value, 16);
        if (plain) g_aFont[1].iconsOn = 1;
    }
}

void cSceneOption::Draw() {
    if (m_pList && m_pList->restored) DrawList();
    DDBlt(&g_sdBackBuffer, 0, 0, kScreenW, kScreenH, m_pList, 0, 0, 0);
    UpdateCycleColors();
}

void cSceneOption::FadeIn() {
    if (!lpDTCon && g_nBpp == 8) DrawList();
    Draw();
    if (SceneFade(true)) m_nState = 1;
}

void cSceneOption::Apply() {
    if (m_nKind == 0) LoadBlendTable(static_cast<int>(g_OptionData.nBlendTable));
    else if (m_nKind == 2 && g_FrontEnd.setSeVolume) g_FrontEnd.setSeVolume(g_OptionData.nSeVolume);
    DrawList();
}

void cSceneOption::Options() {
    cInput& in = Player1();
    if (m_nSubState == 0) {
        g_WorldMapPos.Cur() = MENUCURSOR{};
        m_nSubState = 1;
    }
    if (m_nSubState == 1) {
        MoveCursor(g_WorldMapPos, in.wDirection, 48, 96, 0, 16, 1, m_nEntryCount);
        CursorSound(in.wDirection, 2);
        if (in.wButtons & 1) {
            PlaySE(1);
            const int row = std::clamp(g_WorldMapPos.Cur().row, 0, m_nEntryCount - 1);
            m_nKind = m_anEntry[row];
            switch (m_nKind) {
            case 0:
            case 1:
            case 2:
            case 3: {
                u32* values[4] = {&g_OptionData.nBlendTable, &g_OptionData.bBgm, &g_OptionData.nSeVolume,
                                  &g_OptionData.nRankingMode};
                const i32 max[4] = {OPTION_BLEND_MAX, 1, OPTION_SE_VOLUME_MAX, OPTION_RANKING_MODE_MAX};
                m_pValue = values[m_nKind];
                m_nMin = 0;
                m_nMax = max[m_nKind];
                m_nSaved = static_cast<i32>(*m_pValue);
                MenuCursorBuild(0);
                m_nSubState = 2;
                break;
            }
            case 4:
                g_bNameDone.store(0);
                SendMessage(g_hWnd, WM_GAME_NAMEDLG, 0, 0);
                while (!g_bNameDone.load())
                    if (SleepMs(1)) break; // closing: nobody will answer
                DrawList();
                Draw();
                break;
            default:
                g_Game.g_nNextScene = SCENE_MENU;
                m_nSubState = 0;
                m_nState = 2;
                break;
            }
            return;
        }
        if (in.wButtons & 2) {
            PlaySE(2);
            g_Game.g_nNextScene = SCENE_MENU;
            m_nSubState = 0;
            m_nState = 2;
            return;
        }
        Draw();
        const MENUCURSOR& c = g_WorldMapPos.Cur();
        Accessory(c.x, c.y, 16, 0, 64);
        return;
    }
    // Changing a value: up acts before down, both wrap.
    auto step = [this](i32 d) {
        i32 v = static_cast<i32>(*m_pValue) + d;
        if (v < m_nMin) v = m_nMax;
        if (v > m_nMax) v = m_nMin;
        *m_pValue = static_cast<u32>(v);
        Apply();
    };
    if (in.wDirection & 4) step(1);
    if (in.wDirection & 8) step(-1);
    CursorSound(in.wDirection, 2);
    if (in.wButtons & 1) {
        PlaySE(1);
        MenuCursorShift(1);
        m_nSubState = 1;
        return;
    }
    if (in.wButtons & 2) {
        PlaySE(2);
        *m_pValue = static_cast<u32>(m_nSaved);
        Apply();
        MenuCursorShift(1);
        m_nSubState = 1;
        return;
    }
    Draw();
    const MENUCURSOR* row = g_WorldMapPos.Below();
    const int y = row ? row->y : 96;
    Accessory(row ? row->x : 48, y, 16, 0, 80);
    Accessory(192, y, 16, 0, 64);
}

void cSceneOption::FadeOut() {
    Draw();
    if (!SceneFade(false)) return;
    DDFillSurface(&g_sdBackBuffer, kBack);
    // A music manager started or released anew plays the next scene's music even when its
    // number has not changed; an unchanged one goes on with the piece it plays.
    if (g_FrontEnd.applyMusicSwitch && g_FrontEnd.applyMusicSwitch(g_OptionData.bBgm)) g_Game.m_nBgmNumber = 0;
    if (!SaveUserFile(g_OptionData, g_DataPath[DP_OPTION]))
        WriteFailureReport("%s の保存に失敗しました！", g_DataPath[DP_OPTION].c_str());
    g_WorldMapPos.Reset();
    g_Game.g_nPrevScene = SCENE_OPTION;
    g_Game.g_nScene = g_Game.g_nNextScene;
}
