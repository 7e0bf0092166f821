// Connects the front end to the subsystems built beside it: the game's data, sound effects,
// music and stage loading. Only the program itself links them; the front end's tests run
// without.
#include <algorithm>
#include <array>
#include <cstdio>
#include <string>
#include <vector>

#include "app/FrontEnd.h"
#include "app/Game.h"
#include "app/MainWnd.h"
#include "app/PlayRecord.h"
#include "app/PlayRecordNames.h"
#include "app/SceneDraw.h"
#include "app/Scenes.h"
#include "app/Services.h"
#include "app/SystemIni.h"
#include "database/CommonPalette.h"
#include "database/DataPaths.h"
#include "database/Database.h"
#include "database/OptionData.h"
#include "database/SystemData.h"
#include "database/SystemSwitches.h"
#include "database/WorldMap.h"
#include "flow/CmdParams.h"
#include "platform/graphics/Graphics.h"
#include "platform/graphics/Image.h"
#include "platform/graphics/Presenter.h"
#include "platform/ui/Font.h"
#include "platform/sound/Bgm.h"
#include "platform/sound/Sound.h"
#include "platform/system/AppWindow.h"
#include "platform/system/Format.h"
#include "platform/system/Thread.h"
#include "platform/system/Report.h"
#include "play/GameScene.h"
#include "records/DataFile.h"
#include "records/FlowCmd.h"
#include "records/StageLoad.h"

namespace {

std::vector<DSSOUND> g_vSound;
std::vector<DSSOUNDDEF> g_vSoundDef;
BGMTRACK g_aOggTrack[5];
BGMTRACK g_aMidiTrack[5];

void MakeSoundList() {
    // Rows 0-16 are the system sounds; row i from 17 on is the database's sound row i - 16.
    const int rows = StartupSoundCount(g_Database);
    g_vSoundDef.assign(static_cast<std::size_t>(rows), DSSOUNDDEF{});
    for (int i = 0; i < rows; ++i) {
        DSSOUNDDEF& d = g_vSoundDef[static_cast<std::size_t>(i)];
        if (i < SYS_SE_FILES) d.strFile = g_SystemData.SeFile(i);
        else if (i - 16 < g_Database.m_vSound.Size()) d.strFile = g_Database.m_vSound[i - 16].strFile;
        d.nBufferCount = 1;
        d.nVolume = 0;
    }
    g_vSound.assign(g_vSoundDef.size(), DSSOUND{});
}

void PlayMusic(int track, int number, int loop) {
    if (!g_Bgm.IsInit()) return;
    // A bad music number follows the containers' rule: report, close, and take row 0.
    const cBgmData& row = g_Database.m_vBgm[number];
    BgmSetFile(g_Bgm, track, row.strFile.c_str(), static_cast<i32>(row.nVolume));
    BgmPlay(g_Bgm, 0, track, loop, 0, 1);
}

// The fonts' digit strips.
std::array<DDSURFACEDATA, 3> g_aDigit;
static_assert(kPictureSlots == SURFACE_COUNT);

// Hands the graphics layer's finished frames to the window thread: one copy of the pixels
// (through the display palette in the 8-bit mode) into the window's frame mailbox. With
// vertical sync on a display of the game's rate, the window's presents pace the game.
class cAppPresenter : public cPresenter {
public:
    void Present(const u32* argb, int width, int height) override {
        if (width == kScreenW && height == kScreenH) AppSubmitFrame(argb, kScreenW);
    }
    void PresentIndexed(const u32* indexes, const u32 (&lut)[256], int width, int height) override {
        if (width == kScreenW && height == kScreenH) AppSubmitIndexedFrame(indexes, kScreenW, lut);
    }
    int RefreshRate() override { return m_nRefresh; }
    bool PacesAt(u32 fps) override { return AppVsyncPaces(static_cast<int>(fps)); }
    void WaitFrame() override { AppWaitPresented(); }
    int m_nRefresh = 60;
};
cAppPresenter g_AppPresenter;

bool InitGraphics(bool direct3D, int depth, bool vsync, bool windowed) {
    g_AppPresenter.m_nRefresh = AppRefreshRate();
    SetPresenter(&g_AppPresenter);
    auto init = [&](bool d3d) {
        return DDInit(d3d, g_hWnd, kScreenW, kScreenH, depth, vsync ? 1 : 0, windowed ? 1 : 0, 1, 60, vsync ? 1 : 0,
                      g_aPicture.data(), g_SurfaceFile.data(), SURFACE_COUNT, 0);
    };
    bool ok = init(direct3D);
    if (!ok && direct3D) {
        DDRelease();
        g_SystemIni.Direct3D = 0;
        ok = init(false);
    }
    if (!ok) return false;
    if (lpDTCon)
        lpDTCon->strFatal = "テクスチャの作成に失敗しました！\nビデオカードの性能が十分ではないかもしれません。\n"
                            "System.iniファイルで「Direct3D=0」に変更してDirect3Dを無効にすれば改善される可能性があります。";
    // The system data's two-line text menus, in the menu font; no surface means the back buffer.
    SetTextBoxDrawer([](void* surface, int x, int y, int w, int h, const std::string& sjis) {
        DDSURFACEDATA* dst = surface ? static_cast<DDSURFACEDATA*>(surface) : &g_sdBackBuffer;
        if (g_aFont[1].face) DDDrawTextBox(&g_aFont[1], dst, x, y, w, h, "%s", sjis.c_str());
    });
    SetCycleColorSettings(g_SystemData.nCycleColor, g_SystemData.bCompat289 != 0);
    return true;
}

// Palette, transparent colour, the picture table (its paired slots sharing one picture) and
// the fonts.
bool LoadGraphicsData() {
    int alias[SURFACE_COUNT];
    LinkSurfaceAliases(alias);
    for (int i = 0; i < SURFACE_COUNT; ++i)
        g_aPicture[static_cast<std::size_t>(i)].alias = alias[i] >= 0 ? &g_aPicture[static_cast<std::size_t>(alias[i])] : nullptr;
    // DirectDraw makes its palette object in every colour depth, so the palette is loaded in both
    // modes. It becomes the colours in use (fills and font colours are palette indexes) and stays
    // as the start-up palette that fades return to.
    if (lpDTCon || g_lpDDState) {
        if (!DDLoadPaletteFromFile(&g_palCur, g_SurfaceFile.data(), g_bWindowed)) {
            DebugLog("DDLoadPaletteFromFile失敗");
            return false;
        }
        g_palBase = g_palCur;
        if (!g_SystemData.bTransColor || g_nBpp == 16) {
            if (!DDSetTransmitFromFile(g_SurfaceFile.data())) {
                DebugLog("DDSetTransmit失敗");
                return false;
            }
        }
        if (g_SystemData.bTransColor) DDSetTransmit(g_SystemData.byTransR, g_SystemData.byTransG, g_SystemData.byTransB);
    }
    std::vector<i32> slots(SURFACE_COUNT);
    for (int i = 0; i < SURFACE_COUNT; ++i) slots[static_cast<std::size_t>(i)] = i;
    if (!DDLoadPictures(g_aPicture.data(), slots.data(), SURFACE_COUNT)) return false;
    ApplyFontFace(g_SystemData.nFontFace);
    for (FONTDEF& d : g_FontDef)
        if (d.fastFont == 2) d.fastFont = static_cast<u32>(lpDTCon ? g_SystemIni.D3D_FontCache : g_SystemIni.DD_FontCache);
    if (!FontCreateAll(g_aFont, g_FontDef.data(), 3)) return false;
    // The menu font's icons (lowercase letters drawn as the icon picture's cells) and centred
    // glyphs are the game's choice.
    g_aFont[1].iconsOn = g_SystemData.nMenuFontA;
    g_aFont[1].centreGlyphs = g_SystemData.nMenuFontB;
    if (!FontCreateDigits(g_aDigit.data(), g_WorkSurfaceDef.data(), 3, g_aFont, g_FontDef.data())) return false;
    return true;
}

void ReleaseGraphics() {
    for (int i = 0; i < 2; ++i)
        if (g_aFont[i].m_lpFastFont_FullAdd)
            WriteReport("Font%d : %d", i == 0 ? 10 : 16, g_aFont[i].m_lpFastFont_FullAdd->count);
    for (Font& f : g_aFont) f.Release();
    for (DDSURFACEDATA& d : g_aDigit) DDReleaseSurface(&d);
    ReleaseSceneSurfaces();
    SetTextBoxDrawer(nullptr);
    if (g_bDDInit) DDRelease();
    SetPresenter(nullptr);
}

// While a stage loads, the thread that asked keeps serving what it must. On the window thread
// that is the window's events and requests, and the last frame stays on screen; the load ends
// early once the program is closing.
bool StageLoadPump() {
    if (IsWindowThread()) {
        AppPumpEvents(1);
        MSG msg;
        while (!g_bQuit.load() && PeekMessage(&msg, 0)) DispatchMessage(msg);
        AppPresent(false);
        return g_bQuit.load() != 0;
    }
    MSG msg;
    while (PeekThreadMessage(&msg))
        if (msg.message == WM_QUIT) return true;
    return SleepMs(1);
}

} // namespace

void ConnectSubsystems() {
    SetStageLoadPump(StageLoadPump);
    APPSTARTUP& s = g_Startup;
    s.initCmdParams = InitCmdParams;
    s.createDefaultData = [] { return CreateDefaultData(g_hWnd) != 0; };
    s.loadDatabases = [] {
        if (!LoadDatabases()) return false;
        PrepareDatabase();
        return true;
    };
    s.loadSystemData = [] {
        if (!LoadFromFile(g_SystemData, g_DataPath[DP_SYSTEM])) return false;
        UpdateCmdLimits([](CMDLIMITS& l) { l.bKeepEditorOnlyFlows = SysSwitch(SW_KEEP_EDITOR_ONLY_FLOWS) != 0; });
        g_bPictureMenu = SysSwitch(SW_PICTURE_TITLE_MENU);
        return true;
    };
    s.iniKeys = [](std::vector<INIKEYDEF>& keys) {
        for (int i = 0; i < SYS_INI_KEYS && i < static_cast<int>(keys.size()); ++i) {
            const cIniKeyRow& row = g_SystemData.IniKey(i);
            if (row.strKey.empty()) continue;
            keys[static_cast<std::size_t>(i)] = INIKEYDEF{row.strKey, row.nValue, row.strValue};
        }
    };
    s.title = [] { return g_SystemData.strTitle; };
    s.depthChoice = [](bool direct3D) { return static_cast<int>(direct3D ? g_SystemData.nDepthD3D : g_SystemData.nDepthDD); };
    s.transColor = [] { return g_SystemData.bTransColor != 0; };
    s.loadGraphicsData = LoadGraphicsData;
    s.initGraphics = InitGraphics;
    s.releaseGraphics = ReleaseGraphics;
    s.blendTableNumber = [] { return g_OptionData.nBlendTable; };
    s.loadOptions = [] { LoadUserFile(g_OptionData, g_DataPath[DP_OPTION]); };
    s.initMusic = [] {
        if (!g_OptionData.bBgm) return;
        g_aOggTrack[0].szPath = "bgm\\Title.ogg";
        g_aMidiTrack[0].szPath = "bgm\\Title.mid";
        g_Bgm.Init(1, g_aOggTrack, g_aMidiTrack, 5);
    };
    s.initSound = [] {
        MakeSoundList();
        if (!DS_Init(g_hWnd, 22050, 8, 1)) return false;
        DSCreate(g_vSound, g_vSoundDef, SeVolumeCentiDb(g_OptionData.nSeVolume));
        return true;
    };
    s.loadWorldData = [](std::string& failed) {
        if (!LoadWorldMapFile(g_WorldMap, g_DataPath[DP_WORLDMAP])) {
            failed = g_DataPath[DP_WORLDMAP];
            return false;
        }
        if (!LoadCommonPaletteFile(g_CommonPalette, g_DataPath[DP_COMMON_PALETTE])) {
            failed = g_DataPath[DP_COMMON_PALETTE];
            return false;
        }
        return true;
    };
    s.releaseAll = [] {
        DSRelease();
        g_Bgm.Release();
    };

    APPSERVICES& v = g_Services;
    v.loadStage = [](const std::string& path, int flag) {
        return LoadStageForPlay(path.c_str(), static_cast<u32>(flag), &g_StageAtStart);
    };
    v.soundCount = [] { return static_cast<int>(g_vSound.size()); };
    v.playSound = [](int row) {
        if (row >= 0 && row < static_cast<int>(g_vSound.size())) DSPlay(g_vSound[static_cast<std::size_t>(row)], 0);
    };
    v.cursorSound = [](u32 keys, u32 which) { PlayCursorSound(keys, which, 0); };
    v.playBgm = [](int which, int number, int loop) { PlayMusic(which, number, loop); };
    v.stopBgm = [] {
        if (g_Bgm.IsInit()) g_Bgm.Stop();
    };
    v.sceneBgm = [](int which) { return static_cast<int>(g_SystemData.SceneBgm(which)); };
    v.sceneBgmFlag = [](int which) { return static_cast<u32>(g_SystemData.SceneBgmFlag(which)); };
    v.stageBgmFlag = [] { return playrec::MusicFlag(g_PlayRecord); };
    v.rankingSwitch = [](int kind) {
        return kind >= 0 && kind < g_SystemData.vRankingSetting.Size() ? g_SystemData.vRankingSetting[kind].bRanking : 0u;
    };
    v.titleMenu = [] {
        std::vector<TITLEENTRY> out;
        for (const cCmd& c : g_SystemData.vTitleMenu) out.push_back(TITLEENTRY{c.enabled, c.text});
        return out;
    };
    // The name dialog edits the play record's ranking name after a stage clear, the option's
    // registration name in the options.
    v.rankingName = []() -> std::string* {
        if (g_Game.g_nScene == SCENE_PLAY) return &g_PlayRecord.strRankName;
        return g_Game.g_nGameMode == 5 ? &g_OptionData.strRankingName : nullptr;
    };
    // A close request while the game is held ends the play's nested loop and the play.
    v.endPlay = [] {
        if (auto* scene = dynamic_cast<cGameScene*>(g_pGameScene)) scene->m_bQuit.store(1);
    };

    // The options scene (game thread) sets the effects' volume; the sound layer takes it under
    // its own lock, and the list itself does not change after start-up.
    g_FrontEnd.setSeVolume = [](u32 step) {
        const i32 volume = SeVolumeCentiDb(step);
        for (DSSOUND& s : g_vSound)
            for (u32 i = 0; i < s.dwCount; ++i) DSSetVolume(s, i, volume, false);
    };
    // Starting or releasing the music manager belongs to the window thread, which also serves
    // the music requests: the game thread hands the switch over and waits.
    g_FrontEnd.applyMusicSwitch = [](u32 on) {
        LRESULT changed = 0;
        RunOnWindowThread(
            [on]() -> LRESULT {
                if (g_Bgm.IsInit() == (on != 0)) return 0;
                g_Bgm.Release();
                if (on) g_Startup.initMusic();
                return 1;
            },
            &changed);
        return changed != 0;
    };
    ConnectFrontEnd(); // scenes 0, 1, 2, 3 and 5, the title menu's links into the player's records, replays
    SetSceneFactory(SCENE_PLAY, MakeGameScene);
}
