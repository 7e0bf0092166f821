// Start-up and release of the drawing modes, palettes and colour keys.
#include <cstdio>
#include <cstring>

#include "platform/graphics/Graphics.h"
#include "platform/graphics/Image.h"
#include "platform/graphics/Presenter.h"
#include "platform/graphics/Raster.h"
#include "platform/system/MessageBox.h"
#include "platform/system/PathResolver.h"
#include "platform/system/Report.h"
#include "platform/system/Timers.h"

DTCON* lpDTCon = nullptr;
DDSTATE* g_lpDDState = nullptr;
i32 g_nBpp = 0;
u32 g_nWindowMode = 1;
u32 g_bDDInit = 0;
u32 g_dwTransColor = 0;
PIXELFORMAT g_PixelFormat;
PIXELFORMAT g_PixelFormatBack;
PALETTE g_palCur{};
PALETTE g_palBase{};
PALETTE g_palDisplay{};
DDSURFACEDATA g_sdPrimary;
DDSURFACEDATA g_sdBackBuffer;
DDSURFACEDATA g_sdBack2;
DDSURFACEDATA g_sdVirBackBuffer;
DDSURFACEDATA g_sdWork;
DDGRAPHICS g_DDGraphics;

namespace {
bool g_bForceD3DFailure = false;
int g_nTestRefresh = 0;
bool g_bDDObject = false; // stands for DirectDraw's interface: set while DirectDraw runs
bool g_bD3DObject = false;

void SetName(DDSURFACEDATA* sd, const char* name) { sd->name = name; }

int DisplayRefresh() {
    if (g_nTestRefresh) return g_nTestRefresh;
    cPresenter* p = GetPresenter();
    const int hz = p ? p->RefreshRate() : 0;
    return hz ? hz : 60;
}
} // namespace

void DDTestForceD3DFailure(bool fail) { g_bForceD3DFailure = fail; }
void DDTestSetDisplayRefresh(int hz) { g_nTestRefresh = hz; }

bool DDCheckInitError(i32 code) {
    const char* name = nullptr;
    switch (code) {
    case 1: name = "CREATEEX_ERR"; break;
    case 2: name = "SETCOOPLEVEL_ERR"; break;
    case 3: name = "SETDISPLAYMODE_ERR"; break;
    case 4: name = "CREATESURFACE_ERR"; break;
    case 5: name = "GETATTACHEDSURFACE_ERR"; break;
    case 6: name = "CREATEPALETTE_ERR"; break;
    case 7: name = "SETPALETTE_ERR"; break;
    case 10: name = "CLIPPER_ERR"; break;
    case 11: name = "SETHWND_ERR"; break;
    case 12: name = "SETCLIPPER_ERR"; break;
    default: return true;
    }
    DebugLog(name);
    return false;
}

namespace {
// The surfaces of a software DirectDraw: the back buffer (screen or client size) and the
// system copy for the transitions. The primary has sizes only: frames go to the presenter.
i32 DDCreateScreenSurfaces(i32 width, i32 height) {
    g_sdPrimary.width = g_sdPrimary.texWidth = width;
    g_sdPrimary.height = g_sdPrimary.texHeight = height;
    // The format first: the new surfaces are cleared to palette colour 0 in it.
    DDPixelFormatShifts(&g_PixelFormat);
    GridSetup(g_nBpp == 16 ? &g_PixelFormat : nullptr);
    if (!DDCreateSurface(&g_sdBackBuffer, width, height, 0, 0)) return 4;
    if (!DDCreateSurface(&g_sdBack2, width, height, 0, 1)) return 4;
    return 0;
}
} // namespace

i32 DDInitFullScreen(HWND, i32 width, i32 height, i32, u32 backBufferMode) {
    g_bDDObject = true;
    if (const i32 code = DDCreateScreenSurfaces(width, height)) return code;
    // The primary shows what the last flip brought to the front; the chain behind the back
    // buffer starts as the back buffer does.
    const PixelStore* back = SurfacePixels(&g_sdBackBuffer);
    DDPrepareSD(&g_sdPrimary);
    g_sdPrimary.holder->lpSurface = std::make_shared<PixelStore>(*back);
    g_DDGraphics.flipChain.clear();
    if (backBufferMode != 1) g_DDGraphics.flipChain.push_back(std::make_shared<PixelStore>(*back));
    for (int i = 0; i < 256; ++i)
        g_palDisplay[i] = PALETTEENTRY{static_cast<u8>(i), static_cast<u8>(i), 0, 1};
    g_palDisplay[0] = PALETTEENTRY{0, 0, 255, 1};
    return 0;
}

i32 DDInitWindow(HWND) {
    g_bDDObject = true;
    if (const i32 code = DDCreateScreenSurfaces(g_DDGraphics.width, g_DDGraphics.height)) return code;
    for (int i = 0; i < 256; ++i) {
        const bool system = i < 10 || i > 245;
        g_palDisplay[i] = system ? PALETTEENTRY{static_cast<u8>(i), 0, 0, 2}
                                 : PALETTEENTRY{static_cast<u8>(i), static_cast<u8>(i), 0, 1};
    }
    return 0;
}

void D3DSetDefaultStates() {
    if (!lpDTCon) return;
    lpDTCon->dwQuadColor = 0xFFFFFFFF;
}

bool D3DInit(HWND, i32 width, i32 height, i32 bpp, u32) {
    if (bpp != 16 && bpp != 32) return false;
    lpDTCon = new DTCON();
    g_bD3DObject = true;
    if (g_bForceD3DFailure) {
        DebugLog("CreateDevice Err");
        return false;
    }
    if (g_DDGraphics.vsync) {
        const int hz = DisplayRefresh();
        WriteReport("RefreshRate : %d", hz);
        if (hz != 60) {
            g_DDGraphics.vsync = 0;
            WriteReport("リフレッシュレートの変更に失敗しました！垂直同期が無効になります！");
        }
    }
    constexpr PIXELFORMAT kA1R5G5B5{10, 5, 0, 15, 31, 31, 31, 1};
    if (bpp == 16) {
        lpDTCon->backBufferFormat = g_nWindowMode ? D3DFMT_A1R5G5B5 : D3DFMT_R5G6B5;
        lpDTCon->textureFormat = D3DFMT_A1R5G5B5;
        g_PixelFormat = kA1R5G5B5;
        g_PixelFormatBack = g_nWindowMode ? kA1R5G5B5 : PIXELFORMAT{11, 5, 0, 16, 31, 63, 31, 0};
        // Every surface keeps the textures' 5-5-5 colours, the back buffer too: whatever reaches
        // it comes from 5-5-5 textures (the full-screen R5G6B5 back buffer only doubles their
        // green into its wider field), and one grid keeps copies free of conversions.
        GridSetup(&g_PixelFormat);
    } else {
        lpDTCon->backBufferFormat = D3DFMT_X8R8G8B8;
        lpDTCon->textureFormat = D3DFMT_A8R8G8B8;
        g_PixelFormat = g_PixelFormatBack = PIXELFORMAT{};
        GridSetup(nullptr);
    }
    WriteReport("Device HAL-HARD");
    WriteReport("%s", lpDTCon->backBufferFormat == D3DFMT_X8R8G8B8 ? "X8R8G8B8"
                      : lpDTCon->backBufferFormat == D3DFMT_R5G6B5 ? "R5G6B5" : "A1R5G5B5");
    D3DSetDefaultStates();
    D3DResetVertexColor();
    D3DResetColorOp();
    D3DResetAlphaOp();

    DDPrepareSD(&g_sdBackBuffer);
    DTDATA* dt = g_sdBackBuffer.lpDT.get();
    dt->id = 0;
    dt->bRenderTarget = 1;
    dt->lpSurface = MakePixelStore(width, height, 0xFF000000);
    g_sdBackBuffer.width = g_sdBackBuffer.texWidth = width;
    g_sdBackBuffer.height = g_sdBackBuffer.texHeight = height;
    SetName(&g_sdBackBuffer, "BackBuffer");
    g_sdBackBuffer.source = "BackBuffer";
    lpDTCon->nNextSurfaceId = 1;
    lpDTCon->nFontCount = 0;

    DDPrepareSD(&g_sdVirBackBuffer);
    DDSetRenderToVirtual(0);
    lpDTCon->bCopyingVirtual = 0;
    DDCreateSurface(&g_sdVirBackBuffer, width, height, 0, 0, 0, 0, 0);
    DDCreateSurface(&g_sdWork, width, height, 0, 0, 0, 0, 0);
    SetName(&g_sdVirBackBuffer, "VirBackBuffer");
    SetName(&g_sdWork, "WorkSD");
    DDSetRenderToVirtual(0);
    return true;
}

bool DDInit(bool useDirect3D, HWND hWnd, i32 width, i32 height, i32 bpp, u32 vsync, u32 windowMode,
            u32 backBufferMode, u32 refreshRate, u32 useRefreshRate, DDSURFACEDATA* pictures,
            const DDPICTUREDEF* pictureDefs, i32 pictureCount, u32 extra) {
    // A second start releases the first before anything of the new one exists, so the new
    // mode records are never freed by that release.
    if (g_DDGraphics.bInitOnce || lpDTCon || g_lpDDState) DDRelease();
    g_DDGraphics.hWnd = hWnd;
    g_DDGraphics.width = width;
    g_DDGraphics.height = height;
    g_nBpp = bpp;
    // The colour key of a mode started before is not this mode's (the 8-bit mode keys index 0,
    // which its DDSetTransmit never sets).
    g_dwTransColor = 0;
    // Any value but full screen is windowed: there is no third kind of window, and a value
    // the settings file invented must not leave the layer without surfaces.
    g_nWindowMode = windowMode == 0 ? 0 : 1;
    g_DDGraphics.backBufferMode = backBufferMode;
    g_DDGraphics.vsync = vsync;
    g_DDGraphics.refreshRate = refreshRate;
    g_DDGraphics.useRefreshRate = useRefreshRate;
    g_DDGraphics.pictures = pictures;
    g_DDGraphics.pictureDefs = pictureDefs;
    g_DDGraphics.pictureCount = pictures ? pictureCount : 0;
    g_DDGraphics.extra = extra;
    WriteReport("VSync : %d", vsync);
    if (width <= 0 || height <= 0 || width > kMaxTextureSize || height > kMaxTextureSize) return false;

    if (!useDirect3D) {
        if (bpp != 8 && bpp != 16 && bpp != 24 && bpp != 32) return false;
        g_lpDDState = new DDSTATE();
        FrameWaitSetDirect3D(false);
        const i32 code = g_nWindowMode == 0 ? DDInitFullScreen(hWnd, width, height, bpp, backBufferMode) : DDInitWindow(hWnd);
        if (!DDCheckInitError(code)) return false;
    } else {
        if (!D3DInit(hWnd, width, height, bpp, backBufferMode)) return false;
        FrameWaitSetDirect3D(true);
    }
    g_bDDInit = 1;
    g_DDGraphics.bInitOnce = 1;
    return true;
}

void DDRelease() {
    DDSURFACEDATA* pictures = g_DDGraphics.pictures;
    const i32 count = g_DDGraphics.pictureCount;
    if (g_bDDObject || g_lpDDState) {
        if (pictures) DDReleaseSurfaceArray(pictures, count);
        DDReleaseSurface(&g_sdBackBuffer);
        DDReleaseSurface(&g_sdPrimary);
        DDReleaseSurface(&g_sdBack2);
        g_DDGraphics.flipChain.clear();
        g_bDDObject = false;
        delete g_lpDDState;
        g_lpDDState = nullptr;
    }
    if (g_bD3DObject || lpDTCon) {
        D3DBeginBatch(0);
        D3DBeginFillBatch();
        if (pictures) DDReleaseSurfaceArray(pictures, count);
        DDReleaseSurface(&g_sdWork);
        DDReleaseSurface(&g_sdVirBackBuffer);
        DDReleaseSurface(&g_sdBackBuffer);
        g_bD3DObject = false;
        delete lpDTCon;
        lpDTCon = nullptr;
        // Batches opened in this mode must not outlive it.
        D3DBeginBatch(0);
        D3DBeginFillBatch();
    }
    g_bDDInit = 0;
    GridSetup(nullptr);
    FrameWaitSetDirect3D(false);
}

void DDExit() { DDRelease(); }

// ---------------------------------------------------------------------------------------------
// Palettes and colour keys

u32 PalNumToRGB(u32 palIndex) {
    if (lpDTCon) {
        if (palIndex > 255) {
            DebugLogF("PalNumToRGB(DWORD dwPalNum) Err dwPalNum = %d", static_cast<int>(palIndex));
            return 0;
        }
        const PALETTEENTRY& e = g_palCur[palIndex];
        switch (g_nBpp) {
        case 8: return palIndex;
        case 16:
        case 32:
            if (palIndex == 0) return lpDTCon->dwTexClearColor;
            return 0xFF000000 | u32(e.peRed) << 16 | u32(e.peGreen) << 8 | e.peBlue;
        case 24: return u32(e.peBlue) << 16 | u32(e.peGreen) << 8 | e.peRed;
        default: return 0;
        }
    }
    if (palIndex > 255) return 0; // no such entry: never read past the palette
    const PALETTEENTRY& e = g_palCur[palIndex];
    switch (g_nBpp) {
    case 8: return palIndex;
    case 16: return DDPalToRGB16(e); // the entries hold channel values of the format
    case 24:
    case 32: return u32(e.peRed) << 16 | u32(e.peGreen) << 8 | e.peBlue;
    default: return 0;
    }
}

void DDSetTransmit(u8 red, u8 green, u8 blue) {
    if (lpDTCon) {
        lpDTCon->rgbTransmit = RGBTRIPLE{blue, green, red};
        lpDTCon->rgbTransmitRead = lpDTCon->rgbTransmit;
        DebugLogF("SetTrans lpDTCon->rgbTransmit.rgbtRed = %d,lpDTCon->rgbTransmit.rgbtGreen = %d,lpDTCon->rgbTransmit.rgbtBlue = %d",
                  red, green, blue);
        lpDTCon->dwTexClearColor = 0;
        lpDTCon->wTexClear_16 = 0;
        lpDTCon->dwBackClearColor = 0xFF000000 | u32(red) << 16 | u32(green) << 8 | blue;
        if (g_nBpp == 16) {
            // Scaled into the channels like every other colour: masking the 8-bit components
            // would give a clear colour that is not the transparent one for most keys.
            const PIXELFORMAT& f = g_PixelFormat;
            lpDTCon->wTransmit_16 = static_cast<u16>(Scale16(red, green, blue, f) | (f.maxA & 1) << f.shiftA);
        } else if (g_nBpp == 32) {
            lpDTCon->wTransmit_16 = 0;
            g_dwTransColor = 0;
        }
        return;
    }
    if (g_nBpp == 16) {
        // The pictures keep the transparent colour they were given (the colour bytes of the
        // mode record, written by the file variant): here only the key value changes.
        const PIXELFORMAT& f = g_PixelFormat;
        g_dwTransColor = Scale16(red, green, blue, f);
        DebugLog("※16bit色で　DDSetTransmit(BYTE cbRed,BYTE cbGreen,BYTE cbBlue)　は未対応！");
        const auto back = [](u32 v, u32 max) { return max ? static_cast<int>(v * 255 / max) : 0; };
        const u32 v = g_dwTransColor;
        const char* fmt = "Tr %d RGB32(%d,%d,%d) -> RGB16(%d,%d,%d)";
        const int r16 = back((v >> f.shiftR) & f.maxR, f.maxR), g16 = back((v >> f.shiftG) & f.maxG, f.maxG),
                  b16 = back((v >> f.shiftB) & f.maxB, f.maxB);
        DebugLogF(fmt, static_cast<int>(v), red, green, blue, r16, g16, b16);
        ErrorBoxLog(fmt, static_cast<int>(v), red, green, blue, r16, g16, b16);
    } else if (g_nBpp == 32) {
        // The key compares with pixels stored as R << 16 | G << 8 | B, so it is built the same way.
        g_dwTransColor = u32(red) << 16 | u32(green) << 8 | blue;
        if (g_lpDDState) g_lpDDState->rgbTransmit = RGBTRIPLE{blue, green, red};
    }
}

u32 Scale16(u8 red, u8 green, u8 blue, const PIXELFORMAT& f) {
    return (blue * f.maxB / 255) << f.shiftB | (green * f.maxG / 255) << f.shiftG | (red * f.maxR / 255) << f.shiftR;
}

namespace {
u8 NearestPaletteIndex(u32 rgb) {
    int best = 0;
    long bestD = -1;
    for (int i = 0; i < 256; ++i) {
        const long dr = long((rgb >> 16) & 255) - g_palCur[i].peRed;
        const long dg = long((rgb >> 8) & 255) - g_palCur[i].peGreen;
        const long db = long(rgb & 255) - g_palCur[i].peBlue;
        const long d = dr * dr + dg * dg + db * db;
        if (bestD < 0 || d < bestD) {
            best = i;
            bestD = d;
            if (d == 0) break;
        }
    }
    return static_cast<u8>(best);
}
} // namespace

u8 PaletteIndexOf(u32 rgb) { return NearestPaletteIndex(rgb); }

bool DDSetTransmitFromFile(const char* file) {
    cImage img;
    std::string error;
    if (!file || !LoadImageFile(file, &img, &error)) {
        DebugLogF("%s 作成失敗！", file ? file : "");
        return false;
    }
    const u32 p = img.argb[0];
    const u8 red = static_cast<u8>(p >> 16), green = static_cast<u8>(p >> 8), blue = static_cast<u8>(p);
    if (lpDTCon) {
        if (g_nBpp == 16) g_dwTransColor = Scale16(red, green, blue, g_PixelFormat) | (g_PixelFormat.maxA & 1) << g_PixelFormat.shiftA;
        DDSetTransmit(red, green, blue);
        if (g_nBpp == 16) {
            if (img.hasIndices) {
                const u32 c = img.colorTable[0];
                lpDTCon->rgbTransmitRead = RGBTRIPLE{static_cast<u8>(c), static_cast<u8>(c >> 8), static_cast<u8>(c >> 16)};
            }
            DebugLogF("SetTrans(filename) lpDTCon->wTransmit_16 = (%x)", lpDTCon->wTransmit_16);
        }
        return true;
    }
    if (g_nBpp == 8) {
        g_dwTransColor = img.hasIndices ? img.indices[0] : NearestPaletteIndex(p);
        return true;
    }
    g_dwTransColor = g_nBpp == 16 ? Scale16(red, green, blue, g_PixelFormat) : p & 0xFFFFFF;
    // Also at 16 bits: pictures load their pixels of this colour as the key, and without it
    // black would be the colour that vanishes while this one stayed.
    if (g_lpDDState) g_lpDDState->rgbTransmit = RGBTRIPLE{blue, green, red};
    return true;
}

bool DDSetTransmitFromFile(const DDPICTUREDEF* defs) { return defs && DDSetTransmitFromFile(defs[0].file.c_str()); }

void DDSetPalette_UnPal(PALETTE* palette, DDSURFACEDATA* sd) {
    const PixelStore* s = SurfacePixels(sd);
    if (!palette || !s) {
        DebugLog("DDSetPalette_UnPal Lock Err");
        return;
    }
    for (int row = 8; row < 24; ++row) {
        for (int col = 0; col < 16; ++col) {
            if (row >= s->height || col >= s->width) continue;
            u32 p = s->Row(row)[col];
            PALETTEENTRY& e = (*palette)[(row - 8) * 16 + col];
            if (lpDTCon && (p >> 24) == 0) continue;
            // DirectDraw at 16 bits keeps the channel values themselves; Direct3D takes them
            // on the 0..255 scale, as the pixels are stored.
            if (!lpDTCon && g_Grid.on) p = (p & 0xFF000000) | (GridRaw(p) & 0xFFFFFF);
            e = PALETTEENTRY{static_cast<u8>(p >> 16), static_cast<u8>(p >> 8), static_cast<u8>(p), static_cast<u8>(p >> 24)};
        }
    }
}

void DDSetDisplayPalette(const PALETTE& palette) { g_palDisplay = palette; }

bool DDLoadPaletteFromFile(PALETTE* palette, const char* file, u32) {
    cImage img;
    std::string error;
    if (!palette || !file) return false;
    if (!LoadImageFile(file, &img, &error)) {
        if (file[0]) WriteReport("LoadImage Err %s (%s)", file, error.c_str());
        return false;
    }
    bool fromTable = false;
    if (img.hasIndices) {
        if (lpDTCon) {
            for (int i = 0; i < 256; ++i) {
                const u32 c = img.colorTable[i];
                (*palette)[i] = PALETTEENTRY{static_cast<u8>(c >> 16), static_cast<u8>(c >> 8), static_cast<u8>(c), 255};
            }
            fromTable = true;
        } else if (g_nBpp == 8) {
            for (int i = 0; i < 256; ++i) {
                const u32 c = img.colorTable[i];
                (*palette)[i] = PALETTEENTRY{static_cast<u8>(c >> 16), static_cast<u8>(c >> 8), static_cast<u8>(c),
                                             static_cast<u8>((i < 10 || i > 245) ? 2 : 1)};
            }
            fromTable = true;
        }
    }
    if (!lpDTCon && g_nBpp == 8) DDSetDisplayPalette(*palette);
    if ((g_nBpp == 16 || g_nBpp == 24 || g_nBpp == 32) && !fromTable) {
        DDSURFACEDATA tmp;
        DDPrepareSD(&tmp);
        auto store = PixelsFromImage(img, 0, 0, false);
        if (lpDTCon) tmp.lpDT->lpSurface = store;
        else tmp.holder->lpSurface = store;
        DDSetPalette_UnPal(palette, &tmp);
        DDReleaseSurface(&tmp);
    }
    return true;
}

bool DDLoadPaletteFromFile(PALETTE* palette, const DDPICTUREDEF* defs, u32 windowed) {
    if (!defs) return false;
    if (DDLoadPaletteFromFile(palette, defs[0].file.c_str(), windowed)) return true;
    // The game's first picture gives every colour; without it nothing can be drawn, and the
    // player is told which file it is, as for the pictures after it.
    ErrorBox("%s の読み込みに失敗！", defs[0].file.c_str());
    return false;
}

bool DDLoadBlendTable(u8* table, const char* path) {
    if (lpDTCon) return true;
    if (!table || !path) return false;
    FILE* f = OpenFile(path, "rb");
    if (!f) return false;
    // Read whole, then take it: a short file must not leave a half-new table behind.
    std::vector<u8> data(65536);
    const std::size_t n = std::fread(data.data(), 1, data.size(), f);
    std::fclose(f);
    if (n != data.size()) {
        WriteReport("%s の読み込みに失敗しました！", path);
        return false;
    }
    std::memcpy(table, data.data(), data.size());
    return true;
}
