#include "records/StageLoad.h"

#include <atomic>
#include <chrono>
#include <thread>

#include "platform/system/FileError.h"
#include "platform/system/MessageBox.h"
#include "platform/system/PathUtil.h"
#include "platform/system/Report.h"
#include "platform/system/Sjis.h"
#include "platform/system/WindowMessages.h"

cThread thLoad;
std::string& g_strStageFile = g_Stage.strFilePath;

namespace {

std::atomic<bool> g_loadDone{false};
// Why the last load failed; written by thLoad before it signals the end.
std::atomic<LoadResult> g_loadResult{LoadResult::Loaded};
// And the system's error behind it, which stays with thLoad's own thread otherwise.
std::atomic<int> g_loadError{0};
std::atomic<STAGELOADPUMP> g_pump{nullptr};

unsigned thLoadProc(void*) {
    LoadResult why = LoadResult::Loaded;
    SetFileError(0);
    if (LoadStageFile(g_Stage, g_strStageFile, &why)) g_Stage.bLoaded = 1;
    g_loadError.store(FileError());
    g_loadResult.store(why);
    g_loadDone.store(true);
    return 0;
}

bool DefaultPump() {
    MSG msg;
    if (IsWindowThread()) {
        // Waits up to 1 ms for a message instead of spinning.
        if (PeekMessage(&msg, 1)) {
            if (msg.message == WM_QUIT) return true;
            DispatchMessage(msg);
        }
        return false;
    }
    // A worker thread: its own queue holds nothing but the quit request.
    while (PeekThreadMessage(&msg))
        if (msg.message == WM_QUIT) return true;
    if (ThreadQuitRequested()) return true;
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
    return false;
}

} // namespace

void SetStageLoadPump(STAGELOADPUMP pump) { g_pump.store(pump); }

int LoadStageForPlay(const char* path, u32 numbered, cStage* out) {
    g_Stage.bNumberedFile = numbered;
    const std::string given = path ? path : "";
    if (numbered) {
        std::string found;
        if (!FindNumberedFile(found, given, "stg4")) return 0;
        g_strStageFile = found;
    } else {
        g_strStageFile = given;
    }
    MakeRelativePathStr(g_strStageFile);
    g_loadResult.store(LoadResult::Loaded);
    if (!CheckStageFile(g_strStageFile)) {
        g_loadResult.store(LoadResult::Damaged);
        return 0;
    }

    g_Stage.bLoaded = 0;
    g_loadResult.store(LoadResult::Missing);
    g_loadDone.store(false);
    if (thLoad.Create(thLoadProc, nullptr)) {
        const STAGELOADPUMP pump = g_pump.load();
        while (!g_loadDone.load()) {
            if (pump ? pump() : DefaultPump()) {
                DebugLog("msg.message == WM_QUIT");
                thLoad.Exit();
                return 0;
            }
        }
        thLoad.Exit();
    }
    if (!g_Stage.bLoaded) {
        // A damaged body costs this stage only: the player is told, and the program goes on.
        if (g_loadResult.load() == LoadResult::Damaged)
            WriteReportBox("ステージファイル %s が破損しています！", ToDisplayText(g_strStageFile).c_str());
        else {
            // The report line says why; the box keeps to its text.
            const std::string text =
                ReportLine("ステージファイル " + ToDisplayText(g_strStageFile) + " の読み込みに失敗しました！");
            WriteReportLine(text + FileErrorCause(g_loadError.load()));
            ErrorBoxS(text.c_str());
        }
        return 0;
    }
    if (!g_Stage.HasHero()) {
        WriteReportBox("主人公が配置されていないのでプレイできません！");
        PostMessage(g_hWnd, WM_CLOSE, 0, 0);
        return 0;
    }
    if (!out) return 1;
    out->CopyHeader(g_Stage);
    out->vBack = g_Stage.vBack;
    out->vName = g_Stage.vName;
    out->aParams = g_Stage.aParams;
    out->vRankSwitch = g_Stage.vRankSwitch;
    out->vBlockPalette.clear();
    out->vCharaPalette.clear();
    out->vItemPalette.clear();
    out->vBlock.clear();
    out->vChara.clear();
    out->vItem.clear();
    return 1;
}
