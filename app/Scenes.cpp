#include "app/Scenes.h"

#include <algorithm>

#include "app/SceneDraw.h"
#include "app/SceneInput.h"
#include "platform/system/Input.h"
#include "platform/system/MenuCursor.h"
#include "platform/system/PathResolver.h"
#include "platform/system/PathUtil.h"
#include "platform/system/Report.h"
#include "platform/system/Sjis.h"
#include "platform/system/Thread.h"
#include "platform/system/WindowMessages.h"

i32 g_nMenuX = 192;
i32 g_nMenuY = 240;
u32 g_bPictureMenu = 0;
i32 g_nGameModeWidth = 256;

std::atomic<u32> g_bDlgDone{0};
std::atomic<i32> g_nDlgResult{0};
std::atomic<u32> g_bNameDone{0};

namespace {

// Palette colours of the scenes: the plain background and the frames of windows.
constexpr u32 kBackColour = 16;
constexpr u32 kFrameColour = 240;

// The chosen mode's play kind and its ranking switch, which the later scenes read.
void SetPlayKind(i32 kind) {
    g_Game.g_nPlayKind = kind;
    g_Game.g_bUseRanking = g_Services.rankingSwitch ? g_Services.rankingSwitch(kind) : 0;
}

} // namespace

// ---- Title menu ----

cSceneMenu::cSceneMenu() {
    SetHandlers({[this] { MainMenu(); }, [this] { SlotChoice(true); }, [this] { SlotChoice(false); }});
}

cSceneMenu::~cSceneMenu() = default;

void cSceneMenu::Init() {
    const int bgm = g_Services.sceneBgm ? g_Services.sceneBgm(0) : 0;
    const u32 flag = g_Services.sceneBgmFlag ? g_Services.sceneBgmFlag(0) : 0;
    g_Game.RequestBgm(bgm, flag, 0);
    LoadScenePictures({PIC_TITLE, PIC_GAMEMODE, PIC_ACCESSORY, PIC_WINDOW});
    if (const DDSURFACEDATA* mode = ScenePicture(PIC_GAMEMODE); mode && SurfacePixels(mode))
        g_nGameModeWidth = mode->width;
    g_WorldMapPos.Reset();

    std::vector<TITLEENTRY> entries =
        g_Services.titleMenu ? g_Services.titleMenu() : std::vector<TITLEENTRY>(7);
    m_nEntryCount = 0;
    m_vText.clear();
    for (std::size_t i = 0; i < entries.size() && m_nEntryCount < 7; ++i)
        if (entries[i].bEnabled) {
            m_anEntry[m_nEntryCount++] = static_cast<i32>(i);
            m_vText.push_back(entries[i].strText);
        }
    if (m_nEntryCount == 0) {
        m_anEntry[0] = 0;
        m_nEntryCount = 1;
        m_vText.assign(1, entries.empty() ? std::string() : entries[0].strText);
    }
    i32 row = 0;
    for (i32 k = 0; k < m_nEntryCount; ++k)
        if (m_anEntry[k] == g_Game.g_nGameMode) {
            row = k;
            break;
        }
    g_WorldMapPos.Cur().row = row;
    if (g_bPictureMenu) g_nMenuX = 288 - g_nGameModeWidth / 2;
    MoveCursor(g_WorldMapPos, 0, g_nMenuX, g_nMenuY, 0, 32, 1, m_nEntryCount);
    BuildMenuSurface();
    m_nSubState = 0;
}

void cSceneMenu::BuildMenuSurface() {
    int chars = 0;
    for (const std::string& t : m_vText) chars = std::max(chars, CountChars(t.c_str()));
    m_nMenuW = g_bPictureMenu ? g_nGameModeWidth + 32 : 32 * chars + 34;
    m_nMenuH = 32 * m_nEntryCount + 2;
    ReleaseSceneSurfaces();
    m_pMenu = AddSceneSurface(m_nMenuW, m_nMenuH, 1, 1);
    DrawMenu();
}

void cSceneMenu::DrawMenu() {
    DDSURFACEDATA* menu = m_pMenu;
    if (menu) menu->restored = 0;
    if (g_bPictureMenu) {
        // Colour 0 is transparent where the strips leave it.
        DDFillSurface(menu, 0);
        DDSURFACEDATA* mode = ScenePicture(PIC_GAMEMODE);
        for (i32 k = 0; k < m_nEntryCount; ++k)
            DDBlt(menu, 32, 32 * k, g_nGameModeWidth, 32, mode, 0, 32 * m_anEntry[k], 0);
        return;
    }
    DDBltFrame(menu, 1, 1, m_nMenuW - 2, m_nMenuH - 2, ScenePicture(PIC_WINDOW), 1, kFrameColour);
    for (i32 k = 0; k < m_nEntryCount && k < static_cast<i32>(m_vText.size()); ++k)
        SceneText(menu, 32, 32 * k, m_vText[static_cast<std::size_t>(k)], 32);
}

void cSceneMenu::DrawFrame() {
    DDSURFACEDATA* back = &g_sdBackBuffer;
    DDBlt(back, 0, 0, kScreenW, kScreenH, ScenePicture(PIC_TITLE), 0, 0, 0);
    if (m_pMenu && m_pMenu->restored) DrawMenu();
    DDBlt(back, g_nMenuX, g_nMenuY, m_nMenuW, m_nMenuH, m_pMenu, 0, 0, DDBLT_KEY);
    UpdateCycleColors();
}

void cSceneMenu::DrawCursor(int size, int sy) {
    const MENUCURSOR& c = g_WorldMapPos.Cur();
    DDBlt(&g_sdBackBuffer, c.x, c.y, size, size, ScenePicture(PIC_ACCESSORY), 0, sy, DDBLT_KEY);
}

void cSceneMenu::FadeIn() {
    // The palette mode draws the menu once more with the palette it fades in.
    if (!lpDTCon && g_nBpp == 8) DrawMenu();
    DrawFrame();
    if (SceneFade(true)) m_nState = 1;
}

void cSceneMenu::MainMenu() {
    cInput& in = Player1();
    MoveCursor(g_WorldMapPos, in.wDirection, g_nMenuX, g_nMenuY, 0, 32, 1, m_nEntryCount);
    CursorSound(in.wDirection, 2);
    if (in.wButtons & 1) {
        PlaySE(1);
        const i32 row = std::clamp(g_WorldMapPos.Cur().row, 0, m_nEntryCount - 1);
        g_Game.g_nGameMode = m_anEntry[row];
        switch (g_Game.g_nGameMode) {
        case 0:
        case 1:
            SetPlayKind(0);
            MenuCursorBuild(0);
            m_nSubState = 0;
            m_nState = g_Game.g_nGameMode == 0 ? 2 : 3;
            break;
        case 2:
            SetPlayKind(1);
            if (g_Services.startChallenge) g_Services.startChallenge();
            g_Game.g_nNextScene = SCENE_CHALLENGE;
            m_nState = 4;
            break;
        case 3:
            SetPlayKind(2);
            // A stage that was not chosen or did not load keeps the menu as it was.
            if (ReqFileDialog() == 1) {
                g_Game.g_nNextScene = SCENE_PLAY;
                m_nState = 4;
            }
            break;
        case 4:
            SetPlayKind(3);
            if (ReqLoadReplayDlg() == 1) {
                g_Game.g_nNextScene = SCENE_PLAY;
                m_nState = 4;
            }
            break;
        case 5:
            g_Game.g_nNextScene = SCENE_OPTION;
            m_nState = 4;
            break;
        case 6: PostMessage(g_hWnd, WM_CLOSE, 0, 0); break;
        default: break;
        }
        return;
    }
    DrawFrame();
    DrawCursor(32, 0);
}

void cSceneMenu::NewGameReset(int slot) {
    if (g_Services.newGame) g_Services.newGame(slot);
    else if (g_Services.resetPlayRecord) g_Services.resetPlayRecord();
}

void cSceneMenu::SlotChoice(bool newGame) {
    cInput& in = Player1();
    if (m_nSubState == 0) {
        const bool slotsUsed = !g_Services.storySlotsUsed || g_Services.storySlotsUsed() != 0;
        m_vSlot = (slotsUsed || !newGame) && g_Services.storySlots ? g_Services.storySlots() : std::vector<STORYSLOT>();
        if (newGame && m_vSlot.empty()) {
            // Without save slots a new game starts at once.
            NewGameReset(-1);
            g_Game.g_nNextScene = SCENE_WORLDMAP;
            m_nState = 4;
            return;
        }
        g_WorldMapPos.Cur() = MENUCURSOR{};
        m_nSlotTop = 0;
        m_nSubState = 1;
    }
    const i32 count = static_cast<i32>(m_vSlot.size());
    m_nSlotRows = std::min(count, 10);
    const ANSWER chosen = ChooseSlot(in, m_nSlotTop, 160, m_nSlotRows, count);
    const i32 row = g_WorldMapPos.Cur().row;
    if (chosen == ANSWER::First) {
        const bool used = row >= 0 && row < count && m_vSlot[static_cast<std::size_t>(row)].bUsed;
        if (newGame ? used || row >= count : !used) {
            PlaySE(3);
        } else if (newGame) {
            PlaySE(1);
            NewGameReset(row);
            g_Game.g_nNextScene = SCENE_WORLDMAP;
            m_nState = 4;
        } else if (g_Services.continueGame && !g_Services.continueGame(row)) {
            // The slot was listed but cannot be read now (damaged or removed): the choice stays.
            PlaySE(3);
        } else {
            PlaySE(1);
            g_Game.g_nNextScene = SCENE_WORLDMAP;
            m_nState = 4;
        }
        return;
    }
    if (chosen == ANSWER::Cancel) {
        BackToMenu(*this, 2);
        return;
    }
    DrawSlots();
}

void cSceneMenu::DrawSlots() {
    DDBlt(&g_sdBackBuffer, 0, 0, kScreenW, kScreenH, ScenePicture(PIC_TITLE), 0, 0, 0);
    UpdateCycleColors();
    if (g_Services.drawStorySlots) g_Services.drawStorySlots(160, 160, m_nSlotTop, m_nSlotRows);
    DrawCursor(16, 64);
}

void cSceneMenu::FadeOut() {
    DrawFrame();
    if (!SceneFade(false)) return;
    DDFillSurface(&g_sdBackBuffer, kBackColour);
    g_WorldMapPos.Reset();
    g_Game.g_nPrevScene = SCENE_MENU;
    g_Game.g_nScene = g_Game.g_nNextScene;
}

// ---- Routines owned by the title menu ----

int StartStage(const std::string& fileName, int flag) {
    std::string name = fileName;
    if (g_Services.resetPlayRecord) g_Services.resetPlayRecord();
    int loaded;
    if (g_Services.loadStage) {
        loaded = g_Services.loadStage(name, flag);
    } else {
        loaded = FileExists(name) && !IsDirectory(name);
        if (!loaded) WriteReport("「%s」の読み込みに失敗しました！", ToDisplayText(name).c_str());
    }
    if (!loaded) return 0;
    MakeRelativePath(name);
    if (g_Services.stageStarted) g_Services.stageStarted(name);
    return 1;
}

int ReqFileDialog() {
    g_bDlgDone.store(0);
    g_nDlgResult.store(0);
    SendMessage(g_hWnd, WM_GAME_STAGEDLG, 0, 0);
    while (!g_bDlgDone.load()) {
        if (SleepMs(1)) return 0; // closing: the request will never be answered
    }
    return g_nDlgResult.load() != 0 ? 1 : 0;
}

int ReqLoadReplayDlg() {
    g_bDlgDone.store(0);
    g_nDlgResult.store(0);
    SendMessage(g_hWnd, WM_GAME_REPLAYLOAD, 0, 0);
    while (!g_bDlgDone.load()) {
        if (SleepMs(1)) return 0;
    }
    return g_nDlgResult.load() != 0 ? 1 : 0;
}

void MenuCursorStep(i32& nRankTable, const std::vector<u8>& switches, int step) {
    auto on = [&](i32 c) { return c >= 0 && c < static_cast<i32>(switches.size()) && c < 5 && switches[static_cast<std::size_t>(c)]; };
    bool any = false;
    for (i32 c = 0; c < 5; ++c) any = any || on(c);
    if (!any) return;
    auto next = [](i32 c, i32 d) {
        c += d;
        if (c < 0) c = 4;
        if (c > 4) c = 0;
        return c;
    };
    i32 c = nRankTable;
    if (step == 0) {
        if (!on(c)) {
            do c = next(c, 1);
            while (!on(c));
        }
    } else {
        const i32 d = step > 0 ? 1 : -1;
        for (int k = 0; k < (step > 0 ? step : -step); ++k) {
            c = next(c, d);
            while (!on(c)) c = next(c, d);
        }
    }
    nRankTable = c;
}
