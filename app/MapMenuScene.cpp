// Scene 2: the world-map menu: save to a story slot, auto-save, back to the map or the title.
#include <algorithm>

#include "app/FrontEndScenes.h"
#include "app/PlayRecord.h"
#include "app/SceneKit.h"
#include "app/StorySave.h"
#include "database/SystemData.h"
#include "database/SystemSwitches.h"
#include "platform/system/MenuCursor.h"

using namespace scenekit;

void DrawStorySlotList(int x, int y, const cVector<cStorySlotInfo>& slots, int first, int rows) {
    Box(x, y, 320, rows * 16);
    for (int r = 0; r < rows; ++r) {
        const int s = first + r;
        const int top = y + 16 * r;
        if (r != rows - 1) DDFillRect(&g_sdBackBuffer, x, top + 15, 320, 1, kBorder);
        if (s < 0 || s >= slots.Size()) break;
        Text(x + 16, top, Number(s + 1), 16);
        Text(x + 64, top, FormatSaveTime(slots[s]), 16);
    }
}

cSceneMapMenu::cSceneMapMenu() {
    SetHandlers({[this] { Menu(); }, [this] { Save(); }, [this] { AutoSave(); }, [this] { BackToMap(); },
                 [this] { BackToTitle(); }});
    m_nSubState = 0;
}

void cSceneMapMenu::Init() {
    RequestSceneBgm(1);
    LoadScenePictures({PIC_ACCESSORY, PIC_WINDOW});
    m_nEntryCount = 0;
    for (int i = 0; i < g_SystemData.vMapMenu.Size() && i < 4; ++i)
        if (g_SystemData.vMapMenu[i].enabled) m_anEntry[m_nEntryCount++] = i;
    if (m_nEntryCount == 0) {
        m_anEntry[0] = 0;
        m_nEntryCount = 1;
    }
    g_WorldMapPos.Reset();
}

void cSceneMapMenu::DrawMenu() {
    DDFillSurface(&g_sdBackBuffer, kBack);
    int widest = 0;
    for (int k = 0; k < m_nEntryCount; ++k)
        if (m_anEntry[k] < g_SystemData.vMapMenu.Size())
            widest = std::max(widest, Chars(g_SystemData.vMapMenu[m_anEntry[k]].text));
    Box(264, 192, (widest + 1) * 16, m_nEntryCount * 16);
    for (int k = 0; k < m_nEntryCount; ++k)
        if (m_anEntry[k] < g_SystemData.vMapMenu.Size()) Text(280, 192 + 16 * k, g_SystemData.vMapMenu[m_anEntry[k]].text, 16);
    const u32 best = g_PlayRecord.nBestSum;
    if (SysSwitch(SW_MAP_MENU_TOTAL) && best > 0) {
        const std::string& label = g_SystemData.Message(4);
        const int width = (Chars(label) + static_cast<int>(Number(best).size())) * 16;
        const int x = 320 - width / 2;
        Box(x, 260, width, 16);
        Text(x, 260, label + Number(best), 16);
    }
    UpdateCycleColors();
}

void cSceneMapMenu::DrawSlots() {
    DDFillSurface(&g_sdBackBuffer, kBack);
    DrawStorySlotList(152, 160, g_StorySlots, m_nSlotTop, m_nSlotRows);
}

void cSceneMapMenu::FadeIn() {
    DrawMenu();
    Accessory(264, 192, 16, 0, 64);
    if (SceneFade(true)) m_nState = 1;
}

void cSceneMapMenu::Menu() {
    cInput& in = Player1();
    MoveCursor(g_WorldMapPos, in.wDirection, 264, 192, 0, 16, 1, m_nEntryCount);
    CursorSound(in.wDirection, 2);
    if (in.wButtons & 1) {
        PlaySE(1);
        const int row = std::clamp(g_WorldMapPos.Cur().row, 0, m_nEntryCount - 1);
        m_nState = m_anEntry[row] + 2;
        MenuCursorBuild(0);
        return;
    }
    if (in.wButtons & 2) {
        PlaySE(2);
        m_nState = 4;
        return;
    }
    DrawMenu();
    Accessory(g_WorldMapPos.Cur().x, g_WorldMapPos.Cur().y, 16, 0, 64);
}

void cSceneMapMenu::Save() {
    cInput& in = Player1();
    if (m_nSubState == 0) {
        g_WorldMapPos.Cur() = MENUCURSOR{};
        g_WorldMapPos.Cur().row = g_PlayRecord.nSaveSlot;
        LoadStorySlotList(g_StorySlots);
        m_nSlotRows = std::min(g_StorySlots.Size(), 10);
        // The current slot heads the list; no slot yet starts at the first.
        m_nSlotTop = std::max(0, static_cast<int>(g_PlayRecord.nSaveSlot));
        m_nSubState = 1;
    }
    if (m_nSubState == 1) {
        const ANSWER chosen = ChooseSlot(in, m_nSlotTop, 152, m_nSlotRows, g_StorySlots.Size());
        if (chosen == ANSWER::First) {
            PlaySE(1);
            MenuCursorBuild(0);
            g_WorldMapPos.Cur().row = 1;
            m_nSubState = 2;
            return;
        }
        if (chosen == ANSWER::Cancel) {
            BackToMenu(*this, 2);
            return;
        }
        DrawSlots();
        Accessory(g_WorldMapPos.Cur().x, g_WorldMapPos.Cur().y, 16, 0, 64);
        return;
    }
    const ANSWER answer = AskQuestion(in, 320, 400, 12);
    const MENUCURSOR* slotCursor = g_WorldMapPos.Below();
    if (answer == ANSWER::First) {
        PlaySE(5);
        const int slot = slotCursor ? std::clamp(slotCursor->row, 0, kStorySlots - 1) : 0;
        g_PlayRecord.nSaveSlot = slot;
        // A failed write says so and keeps the old save; the menu goes on either way.
        SaveStorySlot(g_PlayRecord, slot);
    }
    if (answer != ANSWER::None) {
        if (answer != ANSWER::First) PlaySE(answer == ANSWER::Second ? 1 : 2);
        MenuCursorShift(1);
        m_nSubState = 1;
        return;
    }
    DrawSlots();
    QuestionBox(320, 400, 12, 2, true);
    if (slotCursor) Accessory(slotCursor->x, slotCursor->y, 16, 0, 80);
    Accessory(g_WorldMapPos.Cur().x, g_WorldMapPos.Cur().y, 16, 0, 64);
}

void cSceneMapMenu::AutoSave() {
    cInput& in = Player1();
    if (m_nSubState == 0) {
        g_WorldMapPos.Cur() = MENUCURSOR{};
        g_WorldMapPos.Cur().row = g_PlayRecord.bAutoSave ? 0 : 1;
        m_nSubState = g_PlayRecord.nSaveSlot == -1 ? 2 : 1;
    }
    if (m_nSubState == 1) {
        const ANSWER answer = AskQuestion(in, 320, 224, 14);
        if (answer == ANSWER::First) {
            // Saved before the switch is set: the slot holds auto-save off.
            SaveStorySlot(g_PlayRecord, g_PlayRecord.nSaveSlot);
            g_PlayRecord.bAutoSave = 1;
        } else if (answer == ANSWER::Second) {
            g_PlayRecord.bAutoSave = 0;
        }
        if (answer != ANSWER::None) {
            BackToMenu(*this, answer == ANSWER::Cancel ? 2 : 1);
            return;
        }
        DDFillSurface(&g_sdBackBuffer, kBack);
        QuestionBox(320, 224, 14, 2, true);
        Accessory(g_WorldMapPos.Cur().x, g_WorldMapPos.Cur().y, 16, 0, 64);
        return;
    }
    if (in.wButtons & 3) {
        BackToMenu(*this, in.wButtons & 1 ? 1 : 2);
        return;
    }
    DDFillSurface(&g_sdBackBuffer, kBack);
    QuestionBox(320, 232, 16, 1, false);
}

void cSceneMapMenu::BackToMap() {
    m_nSubState = 0;
    m_nState = 6;
    g_Game.g_nNextScene = SCENE_WORLDMAP;
}

void cSceneMapMenu::BackToTitle() {
    cInput& in = Player1();
    if (m_nSubState == 0) {
        g_WorldMapPos.Cur() = MENUCURSOR{};
        g_WorldMapPos.Cur().row = 1;
        m_nSubState = 1;
    }
    const ANSWER answer = AskQuestion(in, 320, 224, 17);
    if (answer == ANSWER::First) {
        PlaySE(1);
        m_nState = 6;
        g_Game.g_nNextScene = SCENE_MENU;
        return;
    }
    if (answer != ANSWER::None) {
        BackToMenu(*this, answer == ANSWER::Cancel ? 2 : 1);
        return;
    }
    DDFillSurface(&g_sdBackBuffer, kBack);
    QuestionBox(320, 224, 17, 2, true);
    Accessory(g_WorldMapPos.Cur().x, g_WorldMapPos.Cur().y, 16, 0, 64);
}

void cSceneMapMenu::FadeOut() {
    DrawMenu();
    if (!SceneFade(false)) return;
    DDFillSurface(&g_sdBackBuffer, kBack);
    g_Game.g_nPrevScene = SCENE_MAPMENU;
    g_Game.g_nScene = g_Game.g_nNextScene;
    // A kept scene object starts again with Init.
    m_nState = -1;
}
