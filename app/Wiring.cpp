// Connects the front end to the subsystems built beside it: the game's data, sound effects,
// music and stage loading. Only the program itself links them; the front end's tests run
// without.
#include <algorithm>
#include <array>
#include <cstdio>
#include <string>
#include <vector>

#include "app/Frame.h"
#include "app/FrontEnd.h"
#include "app/Game.h"
#include "app/MainWnd.h"
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

template <class T>
T ListValue(const cVector<T>& v, int i, T fallback) {
    return i >= 0 && i < v.Size() ? v[i] : fallback;
}

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
        d.dwFlag = 1;
    }
    g_vSound.assign(g_vSoundDef.size(), DSSOUND{});
}

void PlayMusic(int track, int number) {
    if (!g_Bgm.IsInit()) return;
    // A bad music number follows the containers' rule: report, close, and take row 0.
    const cBgmData& row = g_Database.m_vBgm[number];
    BgmSetFile(g_Bgm, track, row.strFile.c_str(), static_cast<i32>(row.nVolume));
    BgmPlay(g_Bgm, 0, track, 1, 0, 1);
}

// The picture slots of the graphics layer, the three fonts and their digit strips.
std::array<DDSURFACEDATA, SURFACE_COUNT> g_aPicture;
Font g_aFont[3];
std::array<DDSURFACEDATA, 3> g_aDigit;

// The 8-bit palette mode keeps the front end's own ARGB frame apart from the graphics layer's
// index back buffer, so the fonts draw onto an index surface of the frame's size and what they
// wrote goes into the frame through the display palette. Only the game thread draws texts.
DDSURFACEDATA g_sdText8;
constexpr u32 kNoInk = 0x100; // no palette index has this value

// Clears (x, y, w, h) of the index surface, lets draw write into it, and copies every pixel
// it wrote into the front end's frame at the same place.
template <class Draw>
void DrawIndexedText(int x, int y, int w, int h, Draw draw) {
    PixelStore* s = SurfacePixels(&g_sdText8);
    if (!s || s->width != kScreenW || s->height != kScreenH) return;
    const int x0 = std::max(x, 0), y0 = std::max(y, 0);
    const int x1 = std::min(x + std::max(w, 0), kScreenW), y1 = std::min(y + std::max(h, 0), kScreenH);
    if (x0 >= x1 || y0 >= y1) return;
    for (int yy = y0; yy < y1; ++yy) std::fill(s->Row(yy) + x0, s->Row(yy) + x1, kNoInk);
    draw(&g_sdText8);
    u32 lut[256];
    for (int i = 0; i < 256; ++i)
        lut[i] = 0xFF000000u | u32{g_palDisplay[i].peRed} << 16 | u32{g_palDisplay[i].peGreen} << 8 |
                 g_palDisplay[i].peBlue;
    g_BackBuffer.BltIndexed(x0, y0, x1 - x0, y1 - y0, s->px.data(), lut, kNoInk);
}

// Text at (x, y) with room around the measured box for glyphs and icons that reach past it.
void DrawIndexedText(Font& font, int x, int y, const std::string& sjis) {
    if (!font.face) return;
    i32 w = 0, h = 0;
    FontMeasure(&font, sjis.c_str(), &w, &h);
    const int m = std::max({font.cellWidth, font.cellHeight, font.height, 8});
    DrawIndexedText(x - m, y - m, w + 2 * m, h + 2 * m,
                    [&](DDSURFACEDATA* dst) { DDDrawText(&font, dst, x, y, sjis.c_str(), 0); });
}

// Hands the graphics layer's finished frames to the window thread.
class cAppPresenter : public cPresenter {
public:
    void Present(const u32* argb, int width, int height) override {
        if (width == kScreenW && height == kScreenH) AppSubmitFrame(argb, kScreenW);
    }
    int RefreshRate() override { return m_nRefresh; }
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
    // The front end draws straight into the back buffer when its pixels are ARGB (every mode
    // but the 8-bit palette one, which keeps the front end's own frame for now).
    PixelStore* back = SurfacePixels(&g_sdBackBuffer);
    if (g_nBpp != 8 && back && back->width == kScreenW && back->height == kScreenH &&
        back->px.size() == static_cast<std::size_t>(kScreenW) * kScreenH) {
        g_BackBuffer.Bind(back->px.data());
        g_Services.present = [] {
            if (lpDTCon) DDFlip(static_cast<u32>(g_Game.g_nFrameRate), 0, 0);
            else DDPresent();
        };
        g_Services.presentPaces = [] { return lpDTCon != nullptr; };
        g_Services.drawFps = [](u32 fps, u32 work, int mode) {
            if (mode == 2) DDDrawTextF(&g_aFont[0], &g_sdBackBuffer, 549, 469, "FPS%2d(%2d)", fps, work);
            else DDDrawTextBox(&g_aFont[1], &g_sdBackBuffer, 495, 463, 144, 16, "FPS%2d(%2d)", fps, work);
        };
        // The front end's texts: the 16-dot font, or the 32-dot one for headings and menus.
        g_Services.drawText = [](int x, int y, const std::string& sjis, int dots) {
            Font& font = g_aFont[dots >= 32 ? 2 : 1];
            if (font.face) DDDrawText(&font, &g_sdBackBuffer, x, y, sjis.c_str(), 0);
        };
        // The system data's two-line text menus, in the menu font; no surface means the frame.
        SetTextBoxDrawer([](void* surface, int x, int y, int w, int h, const std::string& sjis) {
            DDSURFACEDATA* dst = surface ? static_cast<DDSURFACEDATA*>(surface) : &g_sdBackBuffer;
            if (g_aFont[1].face) DDDrawTextBox(&g_aFont[1], dst, x, y, w, h, "%s", sjis.c_str());
        });
    } else if (!lpDTCon && g_nBpp == 8 && DDCreateSurface(&g_sdText8, kScreenW, kScreenH, 0, 0)) {
        // The same texts as above, onto the front end's frame through the display palette.
        g_Services.drawFps = [](u32 fps, u32 work, int mode) {
            const std::string text = Format("FPS%2d(%2d)", static_cast<int>(fps), static_cast<int>(work));
            if (mode == 2) DrawIndexedText(g_aFont[0], 549, 469, text);
            else if (g_aFont[1].face)
                DrawIndexedText(495, 463, 144, 16, [&](DDSURFACEDATA* dst) {
                    DDDrawTextBox(&g_aFont[1], dst, 495, 463, 144, 16, "%s", text.c_str());
                });
        };
        g_Services.drawText = [](int x, int y, const std::string& sjis, int dots) {
            DrawIndexedText(g_aFont[dots >= 32 ? 2 : 1], x, y, sjis);
        };
        SetTextBoxDrawer([](void* surface, int x, int y, int w, int h, const std::string& sjis) {
            if (!g_aFont[1].face) return;
            if (surface) {
                DDDrawTextBox(&g_aFont[1], static_cast<DDSURFACEDATA*>(surface), x, y, w, h, "%s", sjis.c_str());
                return;
            }
            DrawIndexedText(x, y, w, h, [&](DDSURFACEDATA* dst) {
                DDDrawTextBox(&g_aFont[1], dst, x, y, w, h, "%s", sjis.c_str());
            });
        });
    }
    return true;
}

// Palette, transparent colour, the picture table and the fonts.
bool LoadGraphicsData() {
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
    // The front end's own pictures use the same transparent colour.
    if (g_SystemData.bTransColor) {
        g_dwKeyColour = (u32{g_SystemData.byTransR} << 16) | (u32{g_SystemData.byTransG} << 8) | g_SystemData.byTransB;
    } else {
        cImage img;
        std::string error;
        if (LoadImageFile(g_SurfaceFile[0].file, &img, &error) && !img.argb.empty()) g_dwKeyColour = img.argb[0] & 0xFFFFFF;
    }
    std::vector<i32> slots(SURFACE_COUNT);
    for (int i = 0; i < SURFACE_COUNT; ++i) slots[static_cast<std::size_t>(i)] = i;
    if (!DDLoadPictures(g_aPicture.data(), slots.data(), SURFACE_COUNT)) return false;
    ApplyFontFace(g_SystemData.nFontFace);
    for (FONTDEF& d : g_FontDef)
        if (d.fastFont == 2) d.fastFont = static_cast<u32>(lpDTCon ? g_SystemIni.D3D_FontCache : g_SystemIni.DD_FontCache);
    if (!FontCreateAll(g_aFont, g_FontDef.data(), 3)) return false;
    if (!FontCreateDigits(g_aDigit.data(), g_WorkSurfaceDef.data(), 3, g_aFont, g_FontDef.data())) return false;
    return true;
}

void ReleaseGraphics() {
    for (int i = 0; i < 2; ++i)
        if (g_aFont[i].m_lpFastFont_FullAdd)
            WriteReport("Font%d : %d", i == 0 ? 10 : 16, g_aFont[i].m_lpFastFont_FullAdd->count);
    for (Font& f : g_aFont) f.Release();
    for (DDSURFACEDATA& d : g_aDigit) DDReleaseSurface(&d);
    g_Services.present = nullptr;
    g_Services.presentPaces = nullptr;
    g_Services.drawFps = nullptr;
    g_Services.drawText = nullptr;
    SetTextBoxDrawer(nullptr);
    g_BackBuffer.Bind(nullptr);
    DDReleaseSurface(&g_sdText8);
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
    s.loadOptions = [] { LoadFromFile(g_OptionData, g_DataPath[DP_OPTION]); };
    s.initMusic = [] {
        if (!g_OptionData.bBgm) return;
        std::snprintf(g_aOggTrack[0].szPath, sizeof g_aOggTrack[0].szPath, "%s", "bgm\\Title.ogg");
        std::snprintf(g_aMidiTrack[0].szPath, sizeof g_aMidiTrack[0].szPath, "%s", "bgm\\Title.mid");
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
    v.playBgm = [](int which, int number) { PlayMusic(which, number); };
    v.stopBgm = [] {
        if (g_Bgm.IsInit()) g_Bgm.Stop();
    };
    v.sceneBgm = [](int which) { return static_cast<int>(ListValue<u32>(g_SystemData.vSceneBgm, which, 0)); };
    v.sceneBgmFlag = [](int which) { return static_cast<u32>(ListValue<u8>(g_SystemData.vSceneBgmFlag, which, 0)); };
    v.rankingSwitch = [](int kind) {
        return kind >= 0 && kind < g_SystemData.vRankingSetting.Size() ? g_SystemData.vRankingSetting[kind].bRanking : 0u;
    };
    v.titleMenu = [] {
        std::vector<TITLEENTRY> out;
        for (const cCmd& c : g_SystemData.vTitleMenu) out.push_back(TITLEENTRY{c.enabled, c.text});
        return out;
    };
    v.loadPicture = [](const std::string& path, int& w, int& h, std::vector<u32>& argb) {
        cImage img;
        std::string error;
        if (!LoadImageFile(path, &img, &error)) {
            WriteReport("%s : %s", path.c_str(), error.c_str());
            return false;
        }
        w = img.width;
        h = img.height;
        argb = std::move(img.argb);
        return true;
    };
    v.rankingName = []() -> std::string* { return g_Game.g_nGameMode == 5 ? &g_OptionData.strRankingName : nullptr; };

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
        RunOnWindowThread(
            [on]() -> LRESULT {
                if (g_Bgm.IsInit() == (on != 0)) return 0;
                g_Bgm.Release();
                if (on) g_Startup.initMusic();
                return 0;
            },
            nullptr);
        // The next scene music request plays again even when its number has not changed.
        g_Game.m_nBgmNumber = 0;
    };
    ConnectFrontEnd(); // scenes 1, 2, 3 and 5, the title menu's links into the player's records, replays
    SetSceneFactory(SCENE_PLAY, MakeGameScene);
}
