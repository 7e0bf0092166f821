#include "app/MainWnd.h"

#include <exception>

#include "app/Dialogs.h"
#include "app/EditorLink.h"
#include "app/Game.h"
#include "app/Scenes.h"
#include "app/SystemIni.h"
#include "platform/graphics/Graphics.h"
#include "platform/system/AppWindow.h"
#include "platform/system/MessageBox.h"
#include "platform/system/Report.h"
#include "platform/system/Sjis.h"
#include "records/DataFile.h"

std::atomic<u32> g_bQuit{0};
std::atomic<u32> g_bQuitting{0};

namespace {

std::atomic<i32> g_nStageBgm{0};

// Requests being served on the window thread (a stage load inside one serves messages again).
int g_nRequestDepth = 0;
bool g_bClosePending = false;

// Marks a request being served. A close that arrives inside it waits for its end: the game
// thread that sent the request cannot end before it is answered.
struct RequestScope {
    RequestScope() { ++g_nRequestDepth; }
    ~RequestScope() {
        if (--g_nRequestDepth == 0 && g_bClosePending) {
            g_bClosePending = false;
            PostMessage(g_hWnd, WM_CLOSE, 0, 0);
        }
    }
};

void FinishDialogRequest(i32 result) {
    g_nDlgResult.store(result);
    g_bDlgDone.store(1);
}

// A dialog request answered at once (closing, or nothing to show).
bool Refused(u32 msg) {
    if (!g_bQuitting.load()) return false;
    if (msg == WM_GAME_NAMEDLG) g_bNameDone.store(1);
    else FinishDialogRequest(0);
    return true;
}

void SaveWindowPlacement() {
    if (!g_bWindowed || !g_bGameStarted.load() || AppWindowMinimized()) return;
    StoreWindowPlacement();
}

void PlaySoundRow(WPARAM n) {
    const int count = g_Services.soundCount ? g_Services.soundCount() : 0;
    if (n >= static_cast<WPARAM>(count)) {
        // The containers' bad-index rule: report, close in order, and play row 0 instead.
        WriteReport("err V[%d] ( %d , %d )", static_cast<int>(n), count, 268);
        PostMessage(g_hWnd, WM_CLOSE, 0, 0);
        n = 0;
        if (count == 0) return;
    }
    if (g_Services.playSound) g_Services.playSound(static_cast<int>(n));
}

void Bgm(WPARAM which, LPARAM number) {
    if (which > 4) return;
    int n = static_cast<int>(number);
    if (which == 4) g_nStageBgm.store(n);
    else if (g_Services.sceneBgm) n = g_Services.sceneBgm(static_cast<int>(which));
    if (n == 0) {
        if (g_Services.stopBgm) g_Services.stopBgm();
        return;
    }
    // The play setting: the scene's music flag, or the one the stage's music request stored.
    u32 flag = 0;
    if (which == 4) flag = g_Services.stageBgmFlag ? g_Services.stageBgmFlag() : 1;
    else if (g_Services.sceneBgmFlag) flag = g_Services.sceneBgmFlag(static_cast<int>(which));
    if (g_Services.playBgm) g_Services.playBgm(static_cast<int>(which), n, (flag & 0xFF) != 0 ? 1 : 0);
}

void CloseInOrder(HWND hWnd) {
    if (g_nRequestDepth > 0) {
        g_bClosePending = true;
        return;
    }
    SaveWindowPlacement();
    if (thPause.IsRunning()) {
        // A blocking screen runs: end it and the play; the game thread then closes again.
        DebugLog("WM_CLOSE thPause.m_hThread");
        if (g_Services.endPlay) g_Services.endPlay();
        PostThreadMessage(thPause.GetId(), WM_QUIT, 0, 0);
        return;
    }
    DebugLog("WM_CLOSE 成功！");
    // From here on no request waits for the window thread: a game thread blocked in one is
    // answered at once, so joining it below cannot deadlock.
    g_bQuitting.store(1);
    if (g_Services.stopBgm) g_Services.stopBgm();
    thLoad.Exit();
    thPause.Exit();
    thRanking.Exit();
    DebugLog("thPause.Exit()");
    thGame.Exit();
    DebugLog("thGame.Exit()");
    MainWndProc(hWnd, WM_DESTROY, 0, 0);
}

} // namespace

void StoreWindowPlacement() {
    int x, y, w, h;
    AppWindowGetRect(x, y, w, h);
    g_WindowData.Set(x, y, w, h, AppWindowMaximized() ? 1 : 0);
    // A failed write costs only the window's place at the next start, but it is told like every
    // other. A damaged file in its place is kept aside first.
    if (!SaveUserFile(g_WindowData, "user_data\\Window.dat"))
        WriteFailureReport("%s の保存に失敗しました！", "user_data\\Window.dat");
}

void SuspendGameThreads() {
    thGame.Suspend();
    thPause.Suspend();
    thRanking.Suspend();
    thLoad.Suspend();
}

void ResumeGameThreads() {
    thGame.Resume();
    thPause.Resume();
    thRanking.Resume();
    thLoad.Resume();
}

void NotifyEditorStart() { EditorLinkSend(1, 1); }
void NotifyEditorEnd(u32 value) { EditorLinkSend(0, value); }

namespace {

LRESULT Serve(HWND hWnd, u32 msg, WPARAM wParam, LPARAM lParam) {
    switch (msg) {
    case WM_DESTROY:
        DebugLog("WM_DESTROY");
        g_hWnd = nullptr;
        if (g_bFromEditor) NotifyEditorEnd(1);
        WindowQueueShutdown();
        g_bQuit.store(1);
        return 0;
    case WM_CLOSE: CloseInOrder(hWnd); return 0;
    case WM_ACTIVATEAPP: g_bActive.store(wParam ? 1 : 0); return 0;
    case WM_KEYDOWN:
        if (wParam == 0x1B) PostMessage(hWnd, WM_CLOSE, 0, 0);
        return 0;
    case WM_GAME_NAMEDLG: {
        if (Refused(msg)) return 0;
        RequestScope scope;
        SuspendGameThreads();
        RunNameDialog(g_Services.rankingName ? g_Services.rankingName() : nullptr);
        ResumeGameThreads();
        g_bNameDone.store(1);
        return 0;
    }
    case WM_GAME_STAGEDLG: {
        if (Refused(msg)) return 0;
        RequestScope scope;
        std::string path;
        SuspendGameThreads();
        const int chosen = RunFileDialog(0, path);
        // A stage that does not load is not a choice: the menu stays. The loader has shown why
        // (and closes the program itself only for a stage without a hero).
        const int started = chosen ? StartStage(path, 0) : 0;
        ResumeGameThreads();
        FinishDialogRequest(started ? 1 : 0);
        return 0;
    }
    case WM_GAME_REPLAYLOAD: {
        if (Refused(msg)) return 0;
        RequestScope scope;
        std::string path;
        SuspendGameThreads();
        int result = 0;
        if (RunFileDialog(1, path)) {
            result = g_Services.loadReplay ? g_Services.loadReplay(path) : 0;
            if (!result) ErrorBox("%s の読み込みに失敗しました！", ToDisplayText(path).c_str());
        }
        ResumeGameThreads();
        FinishDialogRequest(result);
        return 0;
    }
    case WM_GAME_REPLAYSAVE: {
        if (Refused(msg)) return 0;
        RequestScope scope;
        std::string path = g_Services.replayFileName ? g_Services.replayFileName() : std::string();
        SuspendGameThreads();
        int result = 0;
        if (RunFileDialog(2, path)) {
            result = g_Services.saveReplay ? g_Services.saveReplay(wParam == 0 ? 0 : 1, path) : 0;
            // The play goes on: a failed save is reported, never a reason to close.
            if (!result) ErrorBox("%s の保存に失敗しました！", ToDisplayText(path).c_str());
        }
        ResumeGameThreads();
        FinishDialogRequest(result);
        return 0;
    }
    case WM_GAME_PLAYSE: PlaySoundRow(wParam); return 0;
    case WM_GAME_BGM: Bgm(wParam, lParam); return 0;
    case WM_GAME_RESTORE:
        // Surfaces in memory are never lost: the restores succeed (and mark what a device loss
        // would have cost, under the graphics layer's test hook).
        DDRestoreSurface();
        if (!lpDTCon) DDRestore();
        return 0;
    default: return 0;
    }
}

} // namespace

LRESULT MainWndProc(HWND hWnd, u32 msg, WPARAM wParam, LPARAM lParam) {
    // The window thread must never be ended by an exception (an index into an empty list of the
    // game's data throws): report it, answer a waiting requester and close in order.
    try {
        return Serve(hWnd, msg, wParam, lParam);
    } catch (const std::exception& e) {
        WriteReport("MainWndProc 0x%x : %s", msg, e.what());
    } catch (...) {
        WriteReport("MainWndProc 0x%x", msg);
    }
    if (msg == WM_GAME_NAMEDLG) g_bNameDone.store(1);
    else if (msg >= WM_GAME_STAGEDLG && msg <= WM_GAME_REPLAYSAVE) FinishDialogRequest(0);
    if (msg != WM_CLOSE) PostMessage(g_hWnd, WM_CLOSE, 0, 0); // a failing close must not repeat itself
    return 0;
}
