#include "app/App.h"

#include <atomic>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <unistd.h>

#include "app/Dialogs.h"
#include "app/EditorLink.h"
#include "app/Game.h"
#include "app/MainWnd.h"
#include "app/Scenes.h"
#include "app/Services.h"
#include "app/SingleInstance.h"
#include "app/SystemIni.h"
#include "platform/system/AppWindow.h"
#include "platform/system/AtomicFile.h"
#include "platform/system/Clock.h"
#include "platform/system/FileError.h"
#include "platform/system/FirstFrame.h"
#include "platform/system/Input.h"
#include "platform/system/MessageBox.h"
#include "platform/system/PathResolver.h"
#include "platform/system/PathUtil.h"
#include "platform/system/Random.h"
#include "platform/system/Report.h"
#include "platform/system/Sjis.h"
#include "platform/system/SystemReport.h"
#include "platform/system/Termination.h"
#include "platform/system/Thread.h"
#include "platform/system/Timers.h"
#include "records/DataFile.h"
#include "records/FlowCmd.h"

APPSTARTUP g_Startup;
int g_nDepth = 32;

namespace {

const char* const kFolders[] = {
    "user_data", "user_data\\story", "user_data\\challenge", "user_data\\free", "user_data\\rpl4",
    "data", "data\\database", "data\\stg4", "data\\stg4\\old_ver", "data\\work", "data\\plt4",
    "bmp", "bmp\\back", "bmp\\chara_sp", "bmp\\effect", "bmp\\picture", "bmp\\sword", "bmp\\convert",
    "bmp\\plt", "bmp\\hbt", "wave", "bgm"};

// A start is ended from outside by a signal, by its window or display lost, or by a box that the
// player could no longer answer: nothing more is shown, and it ends in order.
bool StartEndedFromOutside() { return AppCloseAsked() || MessageBoxLost(); }

// The player ended the start at the drawing-mode question: its Cancel, its window's close button
// or Alt+F4. Window thread only.
bool g_bStartCancelled = false;

// The window's place at the start, window thread only: where the start put it (a start ended from
// outside saves the place only when the player moved the window from there), and whether it was
// put where the player left it before the drawing-mode question showed it.
struct STARTWINDOW {
    int x = 0, y = 0, w = 0, h = 0;
    bool placed = false;
    bool fromFile = false; // Window.dat held a place
};
STARTWINDOW g_StartWindow;

void NoteStartPlace() {
    AppWindowGetRect(g_StartWindow.x, g_StartWindow.y, g_StartWindow.w, g_StartWindow.h);
}

bool MovedSinceStart() {
    int x, y, w, h;
    AppWindowGetRect(x, y, w, h);
    return x != g_StartWindow.x || y != g_StartWindow.y || w != g_StartWindow.w || h != g_StartWindow.h;
}

// Puts the window, not yet shown, where the player left it (Window.dat), once a start.
void PlaceWindowWhereLeft() {
    if (g_StartWindow.placed) return;
    g_StartWindow.placed = true;
    int dw, dh;
    AppDesktopBounds(dw, dh);
    SetWindowDataLimits(dw, dh);
    g_StartWindow.fromFile = LoadUserFile(g_WindowData, "user_data\\Window.dat") == LoadResult::Loaded;
    if (g_StartWindow.fromFile) AppWindowMove(g_WindowData.nX, g_WindowData.nY);
    NoteStartPlace();
}

// A path from the Linux command line in the program's own form (CP932, '\' separators);
// empty when CP932 cannot hold the name.
std::string IncomingPath(const std::string& utf8) {
    const std::string sjis = Utf8ToSjis(utf8);
    if (SjisToUtf8(sjis) != utf8) return std::string();
    std::string out = sjis;
    for (std::size_t i = 0; i < out.size(); ++i) {
        if (IsDoubleByte(out.c_str() + i)) {
            ++i;
            continue;
        }
        if (out[i] == '/') out[i] = '\\';
    }
    return out;
}

bool DisplayModeOk(bool direct3D, bool windowed, int depth, int desktop, bool transColor) {
    bool allowed;
    if (direct3D) allowed = depth == 16 || depth == 32;
    else allowed = depth == 16 || depth == 32 || (depth == 8 && !transColor);
    if (windowed && (depth != desktop || depth == 8)) allowed = false;
    return allowed;
}

// The process-wide state that records and play rely on: a time-seeded random sequence, the data
// version this program reads and writes, and the command parameter tables.
void PrepareRecords() {
    CrtSrand(static_cast<u32>(timeGetTime()));
    g_nProgVer = kProgVer;
    g_bFixStrings = 1;
    g_bNewerFile = 0;
    if (g_Startup.initCmdParams) g_Startup.initCmdParams();
}

// The game's folders: the data made from the defaults on a first start, every folder the
// runtime writes into, and no half-written file left over from a write that a crash cut short.
bool PrepareFolders() {
    if (g_Startup.createDefaultData && !g_Startup.createDefaultData()) {
        // A question that nobody could answer (closed from outside) made nothing, and nothing
        // failed: the start ends quietly.
        if (!StartEndedFromOutside())
            WriteReportBox("「data」フォルダの作成に失敗…\n「default」フォルダに問題がある可能性があります。");
        return false;
    }
    for (const char* folder : kFolders) MakeDirectory(folder);
    RemoveStrayTemporaries(ResolvePath("user_data"));
    return true;
}

// The databases and System.dat: without them nothing can be shown.
bool LoadGameDatabases() {
    TimerElapsed(true);
    if (g_Startup.loadDatabases && !g_Startup.loadDatabases()) {
        WriteReportBox("データベースの読み込みに失敗…");
        return false;
    }
    if (g_Startup.loadSystemData && !g_Startup.loadSystemData()) {
        WriteReportBox("%s の読み込みに失敗…", "data\\System.dat");
        return false;
    }
    // The window is first shown by the drawing-mode question or a box of the start, already
    // with the game's name.
    AppWindowSetTitle(g_Startup.title ? g_Startup.title() : std::string());
    return true;
}

// The player's technical settings: System.ini (an unreadable file only costs its settings), the
// drawing-mode question unless Boot.dat says not to ask, and a stage named on the command line.
// False when the player cancels the question, or when the start is ended from outside.
bool ReadStartSettings(const std::string& cmdLine) {
    std::vector<INIKEYDEF> keys = DefaultIniKeys();
    if (g_Startup.iniKeys) g_Startup.iniKeys(keys);
    SetSystemIniDefaults(g_SystemIni, keys);
    if (!ReadSystemIni("System.ini", g_SystemIni, keys)) {
        WriteReportBox("System.ini の読み込みに失敗しました！");
        SetSystemIniDefaults(g_SystemIni, keys);
    }
    SYSTEMINI& ini = g_SystemIni;
    g_bEnglish = ini.English != 0;
    // Its box may have been closed from outside: the question is not asked of a start that ends.
    if (StartEndedFromOutside()) return false;
    if (ini.Direct3D >= 2) {
        LoadUserFile(g_BootData, "user_data\\Boot.dat");
        // The question shows the window: a game that will play in a window shows it where the
        // player left it, and it stays where the player puts it while the question is open.
        if (g_BootData.bDoNotAsk == 0 && ini.WindowMode != 0) PlaceWindowWhereLeft();
        if (g_BootData.bDoNotAsk == 0 && !RunStartDialog()) {
            g_bStartCancelled = true;
            return false;
        }
        ini.Direct3D = g_BootData.nDrawMode == 1 ? 1 : 0;
    }
    if (!cmdLine.empty()) {
        ini.FreeStage = cmdLine;
        ini.FreeStageCut.reset();
    }
    return true;
}

// Frame pacing, fades and key repeat: the same for every game.
void SetTimingDefaults() {
    g_Game.g_nFrameRate = 60;
    g_Game.g_nFadeSpeed = 10;
    for (cInput& in : g_vInput) InputSetRepeat(in, 18, 6);
}

// Window or full screen, vertical sync and colour depth, from System.ini and the system data,
// checked against what the desktop can show. False (after its box) for a mode that cannot run.
bool ChooseDisplayMode() {
    SYSTEMINI& ini = g_SystemIni;
    const bool direct3D = ini.Direct3D != 0;
    if (direct3D) {
        g_bWindowed = ini.WindowMode != 0;
        if (ini.VSync == 2) ini.VSync = 1;
    } else if (ini.WindowMode != 0) {
        g_bWindowed = 1;
        ini.VSync = 0;
    } else {
        g_bWindowed = 0;
        if (ini.VSync == 2) ini.VSync = 0; // the system is "6.0 or later"
    }
    const int desktop = AppDesktopDepth();
    const bool transColor = g_Startup.transColor && g_Startup.transColor();
    if (ini.Bpp == 0) {
        if (g_bWindowed) {
            ini.Bpp = desktop;
        } else {
            const int choice = g_Startup.depthChoice ? g_Startup.depthChoice(direct3D) : 0;
            if (direct3D) ini.Bpp = choice == 1 ? 16 : 32;
            else ini.Bpp = choice == 1 ? 16 : (choice == 2 && !transColor) ? 8 : 32;
        }
    }
    if (!DisplayModeOk(direct3D, g_bWindowed, ini.Bpp, desktop, transColor)) {
        // The box may be answered unseen: the report keeps what was asked and why it cannot run.
        WriteReport("画面モードが不正です！ Direct3D=%d WindowMode=%d Bpp=%d (desktop %d bit%s)", direct3D ? 1 : 0,
                    static_cast<int>(ini.WindowMode), static_cast<int>(ini.Bpp), desktop,
                    ini.Bpp == 8 && transColor ? ", 8 bit needs a game without a transparent colour" : "");
        if (g_bWindowed && (ini.Bpp == 16 || ini.Bpp == 32))
            ErrorBoxS("画面モードが不正です！\nウインドウモードではSystem.iniの設定と画面の色の設定を合わせて下さい！");
        else
            ErrorBoxS("画面モードが不正です！\nSystem.iniと画面の設定を見直して下さい！");
        return false;
    }
    g_nDepth = ini.Bpp;
    if (direct3D && g_bWindowed && ini.WindowMode == 2) AppWindowSetResizable(true);
    return true;
}

// The graphics device. A failed Direct3D start goes on in DirectDraw mode inside initGraphics,
// which then clears System.ini's Direct3D.
bool StartGraphics() {
    SYSTEMINI& ini = g_SystemIni;
    g_hWnd = MainWindowHandle();
    AppWindowSetMinimumSize(320, 240);
    TimerElapsed(true);
    if (ini.Bpp == 8) ini.DD_VideoStretch = 0;
    if (g_Startup.initGraphics && !g_Startup.initGraphics(ini.Direct3D != 0, ini.Bpp, ini.VSync != 0, g_bWindowed)) {
        DebugLog("DDInit失敗");
        WriteReport("DDInit失敗");
        return false;
    }
    WriteReport("DDInit成功");
    AppSetVSync(ini.VSync != 0);
    return true;
}

// Puts the window where the player left it (Window.dat), unless the drawing-mode question did,
// and shows it, then reports the mode.
void ShowMainWindow() {
    const SYSTEMINI& ini = g_SystemIni;
    const bool direct3D = ini.Direct3D != 0;
    bool zoomed = false;
    if (g_bWindowed) {
        PlaceWindowWhereLeft();
        if (g_StartWindow.fromFile) {
            if (direct3D && ini.WindowMode == 2 && g_WindowData.nWidth > 0 && g_WindowData.nHeight > 0)
                AppWindowResize(g_WindowData.nWidth, g_WindowData.nHeight);
            zoomed = g_WindowData.bZoomed != 0;
        }
    } else {
        AppWindowSetFullscreen(true);
    }
    AppWindowShow(zoomed);
    DISPLAYREPORT display;
    display.fullscreen = !g_bWindowed;
    display.bpp = static_cast<int>(g_nDepth);
    display.direct3D = direct3D;
    display.refreshRate = static_cast<u32>(AppRefreshRate());
    ReportDisplayInfo(display);
    // A window just shown is the active one; focus events keep it up to date from here.
    g_bActive.store(1);
    // DirectDraw copies the back buffer where a flip could not keep pace with the frame rate.
    g_bFlipByCopy = !direct3D && (g_bWindowed || ini.VSync == 0 || AppRefreshRate() < g_Game.g_nFrameRate);
}

// The key configuration (its defaults when KeyConfig.dat is missing or damaged, with a report
// line for a damaged one) and, for scripted runs, the keyboard script.
void LoadKeyConfig() {
    for (cInput& in : g_vInput) JoyButtonMaskInit(in);
    if (!KeyConfigLoad("user_data\\KeyConfig.dat", g_KeyConfig)) KeyConfigDefault(g_KeyConfig);
    KeyConfigApply();
    // Scripted runs (tests, demonstrations) drive the keyboard snapshot frame by frame.
    if (const char* script = std::getenv("TOBRELK_INPUT_SCRIPT")) {
        if (!InputScriptLoad(script)) WriteReport("TOBRELK_INPUT_SCRIPT : %s", script);
    }
}

// The player's options and, in the 8-bit mode, the blend table they choose.
bool LoadOptions() {
    if (g_Startup.loadOptions) g_Startup.loadOptions();
    g_nDepth8 = g_SystemIni.Direct3D == 0 && g_SystemIni.Bpp == 8;
    return !g_nDepth8 || LoadBlendTable(g_Startup.blendTableNumber ? static_cast<int>(g_Startup.blendTableNumber()) : 0);
}

// Music and sound effects. No sound device is no reason not to play.
void StartSound() {
    if (g_Startup.initMusic) g_Startup.initMusic();
    // The missing device has its one report line from the sound layer.
    const bool opened = g_Startup.initSound && g_Startup.initSound();
    if (g_Startup.initSound && !opened) DebugLog("DS_Init失敗！");
    ReportAudioInfo(opened);
}

// A stage named on the command line, in System.ini or by the editor is played at once. A name
// that leads to no stage file only costs its report line, with the name and why: the title menu
// starts. A name that is there but no stage (a folder), or a System.ini value that a '/' ended
// (paths there are written with '\'), is the player's to correct: a box says so as well. A stage
// file that exists but does not load (damaged, unreadable, no hero: its message is shown) ends
// start-up, so that an editor's test play hears that it did not start instead of finding the
// title menu.
bool StartFreeStage() {
    SYSTEMINI& ini = g_SystemIni;
    // A value that the '/' left too short to be taken named a stage all the same.
    const bool cut = ini.FreeStageCut && (ini.FreeStage.empty() || *ini.FreeStageCut == ini.FreeStage);
    if (ini.FreeStage.empty() && !cut) return true;
    std::string found;
    if (ini.FreeStage.empty() || !FindNumberedFile(found, ini.FreeStage, "stg4")) {
        // Only a numbered stage file starts (the loader looks for one again and says nothing
        // when there is none): what the name is instead is the cause.
        const std::string named = ini.FreeStage.empty() ? *ini.FreeStageCut : ini.FreeStage;
        ini.FreeStage.clear();
        // Whatever the system refuses (a name longer than it takes) is refused here, with why.
        const bool there = FileExists(named);
        const std::string cause = !there              ? FileErrorCause(FileError())
                                  : IsDirectory(named) ? FileErrorCause(EISDIR)
                                                       : std::string(" (no stage file .stg4_000 to .stg4_999 of this name)");
        const std::string shown = ToDisplayText(named);
        const char* const hint = "System.ini の値は「/」で終わります。パスは「\\」で区切って下さい。";
        WriteReport("「%s」の読み込みに失敗しました！%s%s%s", shown.c_str(), cause.c_str(), cut ? " : " : "", cut ? hint : "");
        if (there || cut) ErrorBox("「%s」の読み込みに失敗しました！%s%s", shown.c_str(), cut ? "\n" : "", cut ? hint : "");
        return true;
    }
    ini.FreeStage = found;
    g_bDirectStart = 1;
    if (!StartStage(ini.FreeStage, 1)) return false;
    if (g_Services.directStarted) g_Services.directStarted();
    g_Game.g_nPlayKind = 2;
    g_Game.g_bUseRanking = 1;
    g_Game.g_nGameMode = 3;
    g_Game.g_nScene = SCENE_PLAY;
    g_Game.g_nPrevScene = 0;
    return true;
}

} // namespace

// Later stages read what earlier ones loaded: the system data gives the window title, the
// colour key and the font face; System.ini the drawing mode, which Boot.dat may override.
bool AppInit(const std::string& cmdLine) {
    PrepareRecords();
    // A start asked to end from outside goes no further than the step that met the request: it
    // asks nothing more, shows no window and starts no graphics any more.
    const auto goesOn = [] { return !StartEndedFromOutside(); };
    if (!PrepareFolders() || !goesOn() || !LoadGameDatabases() || !goesOn() || !ReadStartSettings(cmdLine) ||
        !goesOn())
        return false;
    SetTimingDefaults();
    if (!ChooseDisplayMode() || !goesOn() || !StartGraphics()) return false;
    ShowMainWindow();
    if (g_Startup.loadGraphicsData && !g_Startup.loadGraphicsData()) {
        WriteReport("画像の読み込みに失敗");
        return false;
    }
    LoadKeyConfig();
    if (!goesOn() || !LoadOptions()) return false;
    StartSound();
    // The world data's loaders show "... のロードに失敗！" themselves; one box is enough.
    std::string failed;
    if (!goesOn() || (g_Startup.loadWorldData && !g_Startup.loadWorldData(failed))) return false;
    return goesOn() && StartFreeStage() && goesOn();
}

void AppExit() {
    // A thread that would not end was left running (cThread::Exit): it may still be inside a
    // frame, drawing with the scenes, pictures and sounds. None of them is released under it;
    // once the saves and the lock are done the process ends at once (main), and the system takes
    // back what it held.
    if (AnyThreadAbandoned()) return;
    if (g_Startup.releaseAll) g_Startup.releaseAll();
    g_Game.CleanUp();
    if (g_Startup.releaseGraphics) g_Startup.releaseGraphics();
    AppVideoQuit();
}

int WinMain(int argc, char** argv) {
    std::string stage;
    bool fromEditor = false;
    std::string editorChannel;
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        if (a == "--from-editor" || a.rfind("--from-editor=", 0) == 0) {
            fromEditor = true;
            if (a.size() > 14) editorChannel = a.substr(14);
        } else if (a == "--game-dir" && i + 1 < argc) {
            if (chdir(argv[++i]) != 0) {
                std::fprintf(stderr, "tobrelk: cannot enter %s\n", argv[i]);
                return 1;
            }
        } else if (stage.empty() && !a.empty() && a[0] != '-') {
            stage = IncomingPath(a);
            if (stage.empty()) std::fprintf(stderr, "tobrelk: the name %s cannot be used\n", a.c_str());
        }
    }
    std::error_code ec;
    SetGameRoot(std::filesystem::current_path(ec));

    // The report file comes first: every later failure is written to it. Without it the
    // program ends at once, with nothing to tell and nothing yet to release. Its lines are held
    // until this copy knows it is the folder's only one: the report is the running copy's until
    // then.
    SetDebugLog(false, "VI_Veda.txt");
    const std::string report = (std::filesystem::current_path(ec) / "Report_Game.txt").string();
    if (!HoldReportFile(report)) {
        const int cause = errno;
        std::fprintf(stderr, "tobrelk: cannot write %s%s\n", report.c_str(), FileErrorCause(cause).c_str());
        return 1;
    }
    WriteReport("App : ver %s", "824");
    ReportSystemInfo();
    g_bFromEditor = fromEditor ? 1 : 0;
    if (fromEditor) EditorLinkOpen(editorChannel);
    // A play started by the editor keeps the flows made for testing in the editor.
    UpdateCmdLimits([](CMDLIMITS& l) { l.bStartedByEditor = g_bFromEditor != 0; });

    // A copy that holds the lock can always be asked to close in order: the handler is in
    // place before the lock names this process to a second copy.
    CatchTerminationSignals();
    // One copy per game folder; asked before any window exists. A start that ends here leaves
    // the running copy's report whole and adds its own lines after them.
    const bool alone = SingleInstanceAcquire();
    ReleaseReport(alone);
    if (!alone) return 0;

    // The main window, not shown until the display mode is known.
    if (!AppVideoInit() || !AppWindowCreate(640, 480)) {
        ErrorBoxS("ウインドウが生成出来ません！");
        if (g_bFromEditor) NotifyEditorEnd(0);
        EditorLinkClose();
        SingleInstanceRelease();
        return 1;
    }
    AppWindowCenterOnDesktop();
    NoteStartPlace();
    WindowQueueOpen(MainWndProc);
    // Start-up; the editor hears of the start, and of a failed one. What the first frame does
    // not need (the sound font) waits for it.
    FirstFrameExpect();
    if (g_bFromEditor) NotifyEditorStart();
    if (!AppInit(stage)) {
        // Asked to end while it started (the drawing-mode question closed by a signal or by the
        // lost display, a box that could not be answered), or ended by the player at the
        // drawing-mode question, as the window's close button closes the game: the start was
        // ended, it did not fail. Each cause is read once: a signal that arrives while this is
        // decided must not be named in the report of a start that is then taken for a failure.
        const int sig = TerminationSignal();
        const bool windowLost = AppWindowLost();
        const bool boxLost = MessageBoxLost();
        const bool ended = sig != 0 || windowLost || boxLost || g_bStartCancelled;
        if (sig) WriteReport("signal %d (%s) : the start is ended", sig, strsignal(sig));
        else if (windowLost) WriteReport("window lost : the start is ended");
        else if (boxLost) WriteReport("message box lost : the start is ended");
        else if (g_bStartCancelled) WriteReport("drawing-mode question cancelled : the start is ended");
        if (ended && g_SystemIni.WindowMode != 0 && !AppWindowMinimized() && MovedSinceStart()) StoreWindowPlacement();
        if (!ended) WriteReport("起動に失敗しました");
        AppExit();
        if (g_bFromEditor) NotifyEditorEnd(0);
        EditorLinkClose();
        SingleInstanceRelease();
        return ended ? 0 : 1;
    }
    // The game thread runs the frames from here; the window thread serves the window.
    g_bGameStarted.store(1);
    if (!thGame.Create(GameLoop, nullptr)) {
        WriteReport("thGame を開始できません");
        PostMessage(g_hWnd, WM_CLOSE, 0, 0);
    }
    // The window thread's loop, until the window is closed.
    // A termination signal (another copy, the user, the session's end) or the window lost (to
    // another program, or with its display: nothing can be shown any more, but the saves, the
    // report and the lock still end in order) closes it from the event pump, as the window's
    // close button does.
    while (!g_bQuit.load()) {
        MSG msg;
        while (!g_bQuit.load() && PeekMessage(&msg, 0)) DispatchMessage(msg);
        if (g_bQuit.load()) break;
        AppPresent(false);
        AppPumpEvents(g_bActive.load() ? 2 : 20);
    }
    AppExit();
    EditorLinkClose();
    SingleInstanceRelease();
    return 0;
}
