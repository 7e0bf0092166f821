#include "app/Game.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <exception>
#include <string>

#include "app/SceneDraw.h"
#include "platform/graphics/Presenter.h"
#include "app/SystemIni.h"
#include "platform/system/AppWindow.h"
#include "platform/system/Clock.h"
#include "platform/system/FirstFrame.h"
#include "platform/system/Input.h"
#include "platform/system/MessageBox.h"
#include "platform/system/Report.h"
#include "platform/system/WindowMessages.h"
#include "records/StageLoad.h"
#include "records/StageSettings.h"

cGame g_Game;
cScene* g_pGameScene = nullptr;

std::atomic<u32> g_bActive{0};
std::atomic<u32> g_bGameStarted{0};
u32 g_bFromEditor = 0;
u32 g_bDirectStart = 0;
u32 g_bWindowed = 1;
u32 g_bEnglish = 0;
u32 g_bFlipByCopy = 0;

cThread thGame;
cThread thPause;
cThread thRanking;

namespace {

SceneFactory g_factory[kSceneCount];

// Stored order of the scene pointers: 0, 1, 2, 3, 5, 4.
int Slot(int index) {
    static const int slot[kSceneCount] = {0, 1, 2, 3, 5, 4};
    return slot[index];
}

std::atomic<int> g_surfacesLost{0}; // 0 none, 1 lost, 2 lost and not restorable

// Frame pacing on the steady clock: frame n of a run at rate r is due at base + n * 1000 / r.
u64 g_paceBase = 0;
u64 g_paceFrames = 0;
i32 g_paceRate = 0;

// Frames handed to the window so far, up to the first that shows a picture.
constexpr u32 kFirstPictureFrame = 2;
u32 g_framesPresented = 0;

// DirectDraw full screen copies the frame to the front instead of flipping where start-up found
// that a flip could not keep pace, and while a stage runs at more than 60 frames a second.
bool PresentCopies() {
    if (g_bFlipByCopy) return true;
    return g_pGameScene && StageSettings::Get(g_Stage, eStage::FrameRate) > 60;
}

u64 g_fpsSecond = 0;
u32 g_fpsCount = 0;
u64 g_fpsLastFrame = 0;
constexpr u64 kFpsStallMs = 100;

// A test seam: TOBRELK_FRAME_DUMP="N:path[,N:path...]" writes frame N as a PPM file. Frames are
// counted from 1 as the input script counts them: every polled and shown frame, those of a
// nested loop (a message that holds the game) included.
void DumpFrameIfAsked(u64 frame) {
    static const char* spec = std::getenv("TOBRELK_FRAME_DUMP");
    if (!spec) return;
    const std::string all = spec;
    std::size_t start = 0;
    while (start < all.size()) {
        std::size_t end = all.find(',', start);
        if (end == std::string::npos) end = all.size();
        const std::string item = all.substr(start, end - start);
        start = end + 1;
        const std::size_t colon = item.find(':');
        if (colon == std::string::npos || std::strtoull(item.c_str(), nullptr, 10) != frame) continue;
        if (!AppDumpFrame(item.substr(colon + 1))) WriteReport("TOBRELK_FRAME_DUMP : %s", item.c_str());
    }
}

} // namespace

void SetSceneFactory(int index, SceneFactory factory) {
    if (index >= 0 && index < kSceneCount) g_factory[index] = std::move(factory);
}

// ---- cScene ----

void cScene::SetHandlers(std::vector<std::function<void()>> middle) {
    m_vHandler.clear();
    m_vHandler.push_back([this] { FadeIn(); });
    for (auto& h : middle) m_vHandler.push_back(std::move(h));
    m_vHandler.push_back([this] { FadeOut(); });
}

void cScene::Run() {
    if (!g_vInput.empty()) {
        InputRepeat(g_vInput[0]);
        InputLatchButtons(g_vInput[0], 3);
    }
    if (m_nState == -1) {
        try {
            Init();
        } catch (const std::exception& e) {
            DebugLogClose(g_hWnd, "cScene::Init : %s", e.what());
        } catch (...) {
            DebugLogClose(g_hWnd, "cScene::Init");
        }
        m_nState = 0;
    }
    if (m_nState >= 0 && m_nState < static_cast<i32>(m_vHandler.size())) m_vHandler[m_nState]();
}

// ---- cGame ----

cScene* cGame::Scene(int index) {
    if (index < 0 || index >= kSceneCount) return nullptr;
    return m_pScene[Slot(index)];
}

void cGame::ChangeScene(int index) {
    static const int order[kSceneCount] = {0, 2, 1, 3, 4, 5};
    for (int i : order) {
        if (i == index) continue;
        cScene*& p = m_pScene[Slot(i)];
        if (!p) continue;
        delete p;
        p = nullptr;
        if (i == SCENE_PLAY) g_pGameScene = nullptr;
    }
    if (index < 0 || index >= kSceneCount) return;
    cScene*& p = m_pScene[Slot(index)];
    if (p) return;
    if (!g_factory[index]) return;
    p = g_factory[index]().release();
    if (index == SCENE_PLAY) g_pGameScene = p;
}

void cGame::CleanUp() {
    for (cScene*& p : m_pScene) {
        delete p;
        p = nullptr;
    }
    g_pGameScene = nullptr;
}

void cGame::RequestBgm(int number, u32 flag, int which) {
    // The same music with its keep flag set is already playing.
    if (number != 0 && (flag & 0xFF) && number == m_nBgmNumber && m_bBgmFlag) return;
    m_nBgmNumber = number;
    m_bBgmFlag = flag;
    SendMessage(g_hWnd, WM_GAME_BGM, static_cast<WPARAM>(which), number);
}

bool cGame::GameFrame() {
    GameWaitFrame();
    const u64 start = timeGetTime();
    if (!RestoreLostSurfaces()) return false;
    GamePollInput();
    try {
        ChangeScene(g_nScene);
    } catch (const std::exception& e) {
        DebugLogClose(g_hWnd, "ChangeScene : %s", e.what());
    } catch (...) {
        DebugLogClose(g_hWnd, "ChangeScene");
    }
    if (cScene* scene = Scene(g_nScene)) {
        // A fault inside a scene must end the program in order, never take it down.
        try {
            scene->Run();
        } catch (const std::exception& e) {
            DebugLogClose(g_hWnd, "cScene::Run : %s", e.what());
        } catch (...) {
            DebugLogClose(g_hWnd, "cScene::Run");
        }
    }

    DrawFrameStats(start);
    GamePresent();
    ++m_nFrames;
    return true;
}

void cGame::DrawFrameStats(u64 start) {
    const u64 now = timeGetTime();
    // A frame that follows a stall (a dialog held the game) starts the counted second afresh:
    // the held time is no frame rate, and the last real rate stays shown meanwhile.
    const bool stalled = g_fpsLastFrame != 0 && now - g_fpsLastFrame > kFpsStallMs;
    g_fpsLastFrame = now;
    if (stalled) {
        g_fpsSecond = now;
        g_fpsCount = 0;
    } else {
        ++g_fpsCount;
    }
    if (now - g_fpsSecond >= 1000) {
        m_nFps = g_fpsCount;
        g_fpsCount = 0;
        g_fpsSecond = now;
    }
    if (g_SystemIni.ShowFps != 0) {
        m_vWork[m_nWorkPos] = static_cast<u32>(now - start);
        if (++m_nWorkPos == m_vWork.size()) {
            u64 sum = 0;
            for (u32 w : m_vWork) sum += w;
            m_nWorkAverage = static_cast<u32>(sum / m_vWork.size());
            m_nWorkPos = 0;
        }
        if (g_SystemIni.ShowFps == 2)
            DDDrawTextF(&g_aFont[0], &g_sdBackBuffer, 549, 469, "FPS%2d(%2d)", m_nFps, m_nWorkAverage);
        else
            DDDrawTextBox(&g_aFont[1], &g_sdBackBuffer, 495, 463, 144, 16, "FPS%2d(%2d)", m_nFps, m_nWorkAverage);
    }
}

// ---- Frame services ----

void GameWaitFrame() {
    if (lpDTCon) return; // the present waits (DDFlip)
    const i32 rate = std::clamp(g_Game.g_nFrameRate, 1, 1000);
    // With vertical sync on a display of the game's rate, the display's blank paces the frame;
    // otherwise the clock does. Either way one wait per frame.
    if (cPresenter* p = GetPresenter(); p && p->PacesAt(static_cast<u32>(rate))) {
        p->WaitFrame();
        g_paceRate = 0;
        return;
    }
    u64 now = timeGetTime();
    // A new rate, or a stall of more than a few frames, restarts the schedule instead of racing
    // to catch up.
    if (rate != g_paceRate || g_paceBase == 0 ||
        now > g_paceBase + (g_paceFrames * 1000) / rate + 100) {
        g_paceRate = rate;
        g_paceBase = now;
        g_paceFrames = 0;
    }
    const u64 due = g_paceBase + (g_paceFrames * 1000) / rate;
    while ((now = timeGetTime()) < due) {
        if (SleepMs(1)) return;
    }
    ++g_paceFrames;
}

bool RestoreLostSurfaces() {
    const int lost = g_surfacesLost.exchange(0);
    if (lost == 0) return true;
    if (lost == 2) {
        WriteReport("RestoreLostSurfaces : 復元に失敗");
        return false;
    }
    return true;
}

void MarkSurfacesLost(bool fail) { g_surfacesLost.store(fail ? 2 : 1); }

void GamePollInput() {
    InputScriptStep();
    // After the script: a scripted press and release on one poll is a tap, as a player's is.
    KeyStateNextFrame();
    if (g_vInput.empty()) return;
    if (g_bMultiJoy) PollInput(g_vInput, 1, 60);
    else PollJoystick(g_vInput[0], 0, 3, 60);
}

void GamePresent() {
    if (!g_bDDInit) return;
    // Direct3D mode waits for the next frame's turn after the present (DDFlip); what belongs to
    // the frame handed over comes before that wait.
    bool wait = false;
    if (!lpDTCon) DDPresent(PresentCopies());
    else if (DDFlipShow()) wait = true;
    else if (g_bWindowed) SendMessage(g_hWnd, WM_GAME_RESTORE, 0, 0);
    DumpFrameIfAsked(InputPollCount());
    // Every scene opens with its fade-in, whose first frame is black: the player's first picture
    // is the game's second frame. Once it is handed to the window, what waits for it may go.
    if (g_framesPresented < kFirstPictureFrame && ++g_framesPresented == kFirstPictureFrame) FirstFrameShown();
    if (wait) DDFlipWait(static_cast<u32>(std::clamp(g_Game.g_nFrameRate, 1, 1000)), 0);
}

unsigned GameLoop(void*) {
    // For tests: a game thread that will not end when asked (as one caught in an endless loop
    // would), going on with its frames: the close must neither wait for it for ever nor release
    // what it still draws with.
    static const bool hold = std::getenv("TOBRELK_HOLD_GAME_THREAD") != nullptr;
    for (;;) {
        MSG msg;
        if (PeekThreadMessage(&msg)) {
            if (msg.message == WM_QUIT && !hold) {
                DebugLog("GameLoop WM_QUIT!");
                return 1;
            }
            continue;
        }
        if (ThreadQuitRequested() && !hold) return 1;
        if (g_bActive.load()) {
            if (!g_Game.GameFrame() && !hold) {
                PostMessage(g_hWnd, WM_CLOSE, 0, 0);
                return 1;
            }
        } else if (SleepMs(1) && !hold) {
            return 1;
        }
    }
}

int g_nDepth8 = 0;

void BlendTablePalette(u32* palette, int n) {
    // The option file is not trusted: a number past the tables would read past the palette.
    n = std::clamp(n, 0, 23);
    u32 src[256];
    std::copy(palette, palette + 256, src);
    if (n < 12) {
        for (int i = 0; i < 192; ++i) palette[16 + i] = src[16 + (i + n * 16) % 192];
    } else {
        const int from = (n - 11) * 16;
        for (int block = 0; block < 12; ++block)
            for (int i = 0; i < 16; ++i) palette[16 + block * 16 + i] = src[from + i];
    }
}

bool LoadBlendTable(int n) {
    if (!g_nDepth8) return true;
    n = std::clamp(n, 0, 23);
    char path[32];
    std::snprintf(path, sizeof path, "bmp\\hbt\\hbt%02d.dat", n);
    if (!DDLoadBlendTable(g_lpBlendTable, path)) {
        ErrorBox("%s の読み込みに失敗！", path);
        return false;
    }
    PALETTE palette{};
    if (!g_DDGraphics.pictureDefs || !DDLoadPaletteFromFile(&palette, g_DDGraphics.pictureDefs, 0)) {
        DebugLog("DDLoadPaletteFromFile失敗");
        return false;
    }
    u32 packed[256];
    for (int i = 0; i < 256; ++i) packed[i] = static_cast<u32>(i);
    BlendTablePalette(packed, n);
    PALETTE arranged = palette;
    for (int i = 0; i < 256; ++i) arranged[i] = palette[packed[i]];
    // The reference palette of every later fade and cycle; the display shows 0..254.
    g_palCur = arranged;
    DDSetDisplayEntries(g_palCur, 0, 254);
    return true;
}

void PlaySE(int n) { SendMessage(g_hWnd, WM_GAME_PLAYSE, static_cast<WPARAM>(n), 0); }
