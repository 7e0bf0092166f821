#pragma once
// The runtime's graphics layer: the DD* / D3D* drawing API of the game over one software
// renderer in memory. Two personalities keep what a caller or a player can see of the two
// drawing modes the game was made for:
//  - Direct3D (lpDTCon non-null): pixels are ARGB, alpha 0 is transparent, quads are blended
//    (SRCALPHA / INVSRCALPHA on all four channels) and modulated by the quad colour, batches
//    reorder draws by layer, text is anti-aliased on render targets.
//  - DirectDraw (g_lpDDState non-null): a colour-key compare decides transparency, no blending,
//    and at 8 bits per pixel every pixel is a palette index shown through the display palette.
// Every entry re-reads the mode at each call, because a failed Direct3D start continues in
// DirectDraw mode in the same process.
// Pixels are 32 bits in memory at every depth. At 16 bits each one holds a colour of the
// 16-bit format (5-6-5 in DirectDraw, 5-5-5 with one alpha bit in Direct3D), widened to 8 bits
// a channel (Raster.h); the API's 16-bit values (the key, DirectDraw's pixel values) are those
// of the format.
#include <array>
#include <memory>
#include <string>
#include <vector>

#include "platform/graphics/PixelMemory.h"
#include "platform/system/Containers.h"
#include "platform/system/Types.h"
#include "platform/system/WindowMessages.h"

// ---------------------------------------------------------------------------------------------
// Pixels and surfaces

// The pixels of one surface: 32 bits each, row after row without padding. ARGB in Direct3D
// and 16/32-bit DirectDraw (at 16 bits on the format's steps); the palette index (0..255) in
// 8-bit DirectDraw.
struct PixelStore {
    int width = 0;
    int height = 0;
    PixelVector px;
    u32* Row(int y) { return px.data() + static_cast<std::size_t>(y) * static_cast<std::size_t>(width); }
    const u32* Row(int y) const { return px.data() + static_cast<std::size_t>(y) * static_cast<std::size_t>(width); }
};
std::shared_ptr<PixelStore> MakePixelStore(int width, int height, u32 fill);
// A store that holds a size but no pixels is one not yet used: a file picture decoded here, or a
// blank one (all zero), on first use. Every way to a store's pixels goes through this.
PixelStore* PixelsInUse(PixelStore* s);

// Direct3D memory types of a surface.
constexpr u32 DTMEMORYTYPE_VIDEO_RT = 0;
constexpr u32 DTMEMORYTYPE_SYSTEM = 1;
constexpr u32 DTMEMORYTYPE_VIDEO_NORT = 2;

class cTexelBlocks;

// The Direct3D part of a surface record.
struct DTDATA {
    u32 id = 0;
    std::shared_ptr<PixelStore> lpSurface; // the texture (or the device back buffer)
    u32 bSystemTexture = 0;                // routes every blit through the CPU path
    u32 bColorKey = 0;                     // the picture has transparent pixels
    u32 bRenderTarget = 0;                 // quads drawn into it are blended
    std::vector<u8> indexMap;              // palette index per pixel, when built
    // Where the texels show, for a texture nothing draws into once it is made (a line of text
    // kept whole): its quads draw only those parts.
    std::shared_ptr<const cTexelBlocks> blocks;
};

// The DirectDraw part of a surface record.
struct DDSURFACEHOLDER {
    std::shared_ptr<PixelStore> lpSurface;
    std::vector<u8> indexMap;
    u32 bColorKey = 0;
};

// One picture or work surface. A value-initialised record is an empty one.
struct DDSURFACEDATA {
    std::unique_ptr<DTDATA> lpDT;
    std::unique_ptr<DDSURFACEHOLDER> holder;
    std::string name;
    i32 width = 0, height = 0;
    i32 texWidth = 0, texHeight = 0;
    std::string source; // the picture's file, "E" for an empty surface
    u32 memoryType = 0;
    i32 mirrorW = 0, mirrorH = 0;
    DDSURFACEDATA* alias = nullptr; // the slot whose picture this slot shares
    u32 restored = 0;
};

// The pixels of a record in either mode, or null when it has none.
PixelStore* SurfacePixels(const DDSURFACEDATA* sd);
bool SurfaceHasColorKey(const DDSURFACEDATA* sd);

// One row of a picture table. The file is a path from the game's data, as long as the data
// names it: a cut would load another picture, or none.
struct DDPICTUREDEF {
    std::string file; // Shift-JIS path; "E" = an empty surface
    u32 colorKey = 0;
    u32 memoryType = 0;
    u32 d3dMemoryType = 0;
    u32 noOwnTexture = 0;
    u32 buildIndexMap = 0;
    u32 optional = 0;
    i32 mirrorW = 0, mirrorH = 0;
    i32 width = 0, height = 0;
};

// ---------------------------------------------------------------------------------------------
// Mode records and the process-wide state

struct RGBTRIPLE {
    u8 rgbtBlue = 0, rgbtGreen = 0, rgbtRed = 0;
};
struct PALETTEENTRY {
    u8 peRed = 0, peGreen = 0, peBlue = 0, peFlags = 0;
};
using PALETTE = std::array<PALETTEENTRY, 256>;

// D3DTEXTUREOP values the combiner knows.
constexpr u32 D3DTOP_DISABLE = 1;
constexpr u32 D3DTOP_SELECTARG1 = 2;
constexpr u32 D3DTOP_SELECTARG2 = 3;
constexpr u32 D3DTOP_MODULATE = 4;
constexpr u32 D3DTOP_ADD = 7;
constexpr u32 D3DTOP_SUBTRACT = 10;
constexpr u32 D3DTOP_BLENDFACTORALPHA = 14;

// Direct3D texture and back-buffer formats.
constexpr u32 D3DFMT_A8R8G8B8 = 21;
constexpr u32 D3DFMT_X8R8G8B8 = 22;
constexpr u32 D3DFMT_R5G6B5 = 23;
constexpr u32 D3DFMT_A1R5G5B5 = 25;

struct DTCON {
    u32 backBufferFormat = 0;
    u32 textureFormat = 0;
    u32 bVirtual = 0;
    DDSURFACEDATA* lpRenderTarget = nullptr; // the rest target
    u32 bCopyingVirtual = 0;
    RGBTRIPLE rgbTransmit;
    RGBTRIPLE rgbTransmitRead;
    u32 dwTexClearColor = 0;
    u32 dwBackClearColor = 0xFF000000;
    u16 wTexClear_16 = 0;
    u16 wTransmit_16 = 0;
    u32 bInScene = 0;
    u32 dwQuadColor = 0xFFFFFFFF;
    u32 dwColorOp = D3DTOP_MODULATE;
    u32 dwAlphaOp = D3DTOP_MODULATE;
    u32 nNextSurfaceId = 1;
    u32 nFontCount = 0;
    std::string strFatal;
    // Software stand-ins for the device's state, visible to tests.
    u32 nBeginSceneCalls = 0;
    u32 dwTextureFactor = 0;
};

struct DDSTATE {
    RGBTRIPLE rgbTransmit;
    u32 unused = 0;
    u32 nFontCount = 0;
};

// Pixel-format descriptor: shifts then maxima of red, green, blue, alpha.
struct PIXELFORMAT {
    u32 shiftR = 16, shiftG = 8, shiftB = 0, shiftA = 24;
    u32 maxR = 255, maxG = 255, maxB = 255, maxA = 255;
};

extern DTCON* lpDTCon;
extern DDSTATE* g_lpDDState;
extern i32 g_nBpp;
extern u32 g_nWindowMode;
extern u32 g_bDDInit;
extern u32 g_dwTransColor;          // the colour key value of the surface format
extern PIXELFORMAT g_PixelFormat;   // textures (Direct3D) or all surfaces (DirectDraw)
extern PIXELFORMAT g_PixelFormatBack; // the Direct3D back buffer
extern PALETTE g_palCur;            // the colours in use
extern PALETTE g_palBase;           // the palette as loaded
extern PALETTE g_palDisplay;        // the 8-bit display palette (DirectDraw's palette object)

extern DDSURFACEDATA g_sdPrimary;
extern DDSURFACEDATA g_sdBackBuffer;
extern DDSURFACEDATA g_sdBack2;
extern DDSURFACEDATA g_sdVirBackBuffer;
extern DDSURFACEDATA g_sdWork;

// The rest of the start-up values, kept as given.
struct DDGRAPHICS {
    HWND hWnd = nullptr;
    i32 width = 0, height = 0;
    u32 backBufferMode = 1;
    u32 vsync = 0;
    u32 refreshRate = 60;
    u32 useRefreshRate = 0;
    DDSURFACEDATA* pictures = nullptr;
    const DDPICTUREDEF* pictureDefs = nullptr;
    i32 pictureCount = 0;
    u32 extra = 0;
    u8 bInitOnce = 0;
    // DirectDraw full screen: the back buffers behind the first one in the flip chain (none
    // with back-buffer mode 1, one otherwise). A flip turns the chain: the first back buffer
    // is shown, the next one takes its place, the shown one goes to the end.
    std::vector<std::shared_ptr<PixelStore>> flipChain;
};
extern DDGRAPHICS g_DDGraphics;

// ---------------------------------------------------------------------------------------------
// Device (start-up and release)

bool DDInit(bool useDirect3D, HWND hWnd, i32 width, i32 height, i32 bpp, u32 vsync, u32 windowMode,
            u32 backBufferMode, u32 refreshRate, u32 useRefreshRate, DDSURFACEDATA* pictures,
            const DDPICTUREDEF* pictureDefs, i32 pictureCount, u32 extra);
bool D3DInit(HWND hWnd, i32 width, i32 height, i32 bpp, u32 backBufferMode);
void D3DSetDefaultStates();
i32 DDInitFullScreen(HWND hWnd, i32 width, i32 height, i32 bpp, u32 backBufferMode);
i32 DDInitWindow(HWND hWnd);
bool DDCheckInitError(i32 code);
void DDRelease();
void DDExit();
// Test hooks: make the next Direct3D start fail (as a missing device would); the display's
// refresh rate the start-up sees (0: ask the presenter).
void DDTestForceD3DFailure(bool fail);
void DDTestSetDisplayRefresh(int hz);

// ---------------------------------------------------------------------------------------------
// Surfaces and pictures

bool DDCreateSurface(DDSURFACEDATA* sd, i32 width, i32 height, u32 colorKey, u32 memoryType,
                     u32 d3dMemoryType = 0, u32 noOwnTexture = 0, u32 recreate = 0);
i32 DDCreateSurfaceFromFile(DDSURFACEDATA* sd, const char* file, u32 colorKey, i32 bpp, u32 memoryType,
                            u32 d3dMemoryType, u32 noOwnTexture, u32 buildIndexMap, i32 mirrorW, i32 mirrorH,
                            u32 recreate);
bool DDCheckResult(i32 code);
bool DDLoadPictures(DDSURFACEDATA* pictures, const i32* slots, i32 count);
bool DDAddSurface(cVector<DDSURFACEDATA>& v, cVector<DDPICTUREDEF>& defs, i32 width, i32 height, u32 colorKey,
                  u32 memoryType, u32 d3dMemoryType = 0, u32 noOwnTexture = 0);
bool DDListAddSurface(cList<DDSURFACEDATA>& l, cList<DDPICTUREDEF>& defs, i32 width, i32 height, u32 colorKey,
                      u32 memoryType, u32 d3dMemoryType = 0, u32 noOwnTexture = 0);
bool DDListInsertSurface(cList<DDSURFACEDATA>& l, cList<DDPICTUREDEF>& defs, i32 index, i32 width, i32 height,
                         u32 colorKey, u32 memoryType, u32 d3dMemoryType = 0, u32 noOwnTexture = 0);
bool DDListRemoveSurface(cList<DDSURFACEDATA>& l, cList<DDPICTUREDEF>& defs, DDSURFACEDATA* sd);
bool DDBitmapFits(u32* result, const char* file, i32 width, i32 height);
bool CopyBitmap(DDSURFACEDATA* sd, const char* file, i32 bpp, u32 buildIndexMap, i32 mirrorW, i32 mirrorH);
bool DDReloadBitmap(DDSURFACEDATA* sd, i32 bpp);
bool D3DCreateMirror(DDSURFACEDATA* dst, DDSURFACEDATA* src, i32 cellW, i32 cellH);
bool DDBuildIndexMap(std::vector<u8>* indexMap, DDSURFACEDATA* sd);
void D3DTextureSize(i32* width, i32* height);
bool DDCheckTextureSize(i32 width, i32 height);
void DDResolveSD(DDSURFACEDATA** sd);
void DDPrepareSD(DDSURFACEDATA* sd);
void DDReleaseSurface(DDSURFACEDATA* sd);
inline void DDReleaseDT(DDSURFACEDATA* sd) { DDReleaseSurface(sd); }
void DDReleaseSurfaceVector(cVector<DDSURFACEDATA>& v);
void DDReleaseSurfaceArray(cList<DDSURFACEDATA>& l);
void DDReleaseSurfaceArray(DDSURFACEDATA* records, i32 count);
// Largest texture side the software device accepts.
constexpr i32 kMaxTextureSize = 8192;
// Test hook: texture-size capabilities (power of two, square only) of the pretend device.
void DDTestSetTextureCaps(bool pow2, bool squareOnly);

// ---------------------------------------------------------------------------------------------
// Blits, fills and shapes

constexpr u32 DDBLT_KEY = 1;
struct BLTEXTRA {
    u32 dwColor = 0xFFFFFFFF;
    u32 dwColorOp = D3DTOP_MODULATE;
};

void D3DSetVertexColor(u32 color);
void D3DResetVertexColor();
void D3DSetColorOp(u32 op);
void D3DResetColorOp();
void D3DSetAlphaOp(u32 op);
void D3DResetAlphaOp();

void DDBlt(DDSURFACEDATA* dst, i32 x, i32 y, i32 w, i32 h, DDSURFACEDATA* src, i32 sx, i32 sy, u32 flags);
void DDBltEx(DDSURFACEDATA* dst, i32 x, i32 y, i32 w, i32 h, DDSURFACEDATA* src, i32 sx, i32 sy, u32 flags,
             const BLTEXTRA* extra);
void DDBltExQuad(DDSURFACEDATA* dst, i32 x, i32 y, i32 w, i32 h, DDSURFACEDATA* src, i32 sx, i32 sy, i32 sw, i32 sh,
                 u32 flags, const BLTEXTRA* extra);
void D3DBltQuad(DDSURFACEDATA* dst, i32 x, i32 y, i32 w, i32 h, DDSURFACEDATA* src, i32 sx, i32 sy, i32 sw, i32 sh,
                u32 flags);
bool DDClipBlt(DDSURFACEDATA* dst, i32* x, i32* y, i32* w, i32* h, DDSURFACEDATA* src, i32* sx, i32* sy, i32* sw,
               i32* sh);
void D3DAdjustSrcRect(DDSURFACEDATA* src, i32* sx, i32* sy, i32* sw, i32* sh);

void DDFillRect(DDSURFACEDATA* sd, i32 x, i32 y, i32 w, i32 h, u32 palIndex);
void DDFillSurface(DDSURFACEDATA* sd, u32 palIndex);
void D3DFillRect(DDSURFACEDATA* sd, i32 x, i32 y, i32 w, i32 h, u32 color);
void D3DClearSurface(DDSURFACEDATA* sd, u32 color);
void DDSetPixel(DDSURFACEDATA* sd, i32 x, i32 y, u32 palIndex);
void DDDrawCircle(DDSURFACEDATA* sd, i32 cx, i32 cy, i32 radius, u32 palIndex);
// DirectDraw only: the surface's pixels (32 bits each, pitch = width pixels).
struct DDSURFACEDESC2 {
    i32 width = 0, height = 0;
    u32* lpSurface = nullptr;
};
bool DDLock(DDSURFACEDATA* sd, DDSURFACEDESC2* desc, u32** pixels, i32 bpp);

// ---------------------------------------------------------------------------------------------
// Draw batches (Direct3D only)

void D3DBeginBatch(u32 layerMode);
void D3DBatchAddLayer(const DDSURFACEDATA* key);
void D3DFlushBatch();
void D3DBeginFillBatch();
void D3DFlushFillBatch();
bool D3DBatchIsOpen();
bool D3DFillBatchIsOpen();
// Draw calls the last flushes issued: one per run of equal state (tests watch the runs).
u32 D3DBatchRunCount();

// ---------------------------------------------------------------------------------------------
// Palettes and colour keys

u32 PalNumToRGB(u32 palIndex);
void DDSetTransmit(u8 red, u8 green, u8 blue);
bool DDSetTransmitFromFile(const char* file);
// Part of the start-up contract: the table's row 0 names the file, the third value is unused.
bool DDLoadPaletteFromFile(PALETTE* palette, const char* file, u32 unused);
bool DDLoadPaletteFromFile(PALETTE* palette, const DDPICTUREDEF* defs, u32 unused);
bool DDSetTransmitFromFile(const DDPICTUREDEF* defs);
void DDSetPalette_UnPal(PALETTE* palette, DDSURFACEDATA* sd);
// Sets all 256 entries of the 8-bit display palette.
void DDSetDisplayPalette(const PALETTE& palette);
// 65,536-byte blend table of the 8-bit DirectDraw mode.
bool DDLoadBlendTable(u8* table, const char* path);

// ---------------------------------------------------------------------------------------------
// Frame, render targets, present

u32 DDBeginScene();
void DDEndScene();
u32 DDSetRenderTarget(u32 unused, DDSURFACEDATA* sd);
void DDSetRenderToVirtual(u32 on);
u32 DDSetDrawTarget(DDSURFACEDATA** sd);
void DDCopyVirtual(DDSURFACEDATA* back, DDSURFACEDATA* vir);
u32 DDFlip(u32 frameRate, u32 show, u32 unused);
// DDFlip's two halves, for a caller with work between the hand-over of a frame and the wait for
// the next: DDFlipShow presents (0 when the device is lost, and no wait is due then), DDFlipWait
// paces. Both do nothing outside Direct3D mode, as DDFlip does.
u32 DDFlipShow();
void DDFlipWait(u32 frameRate, u32 show);
// DirectDraw's page flip: hands the back buffer to the presenter (8 bits through the display
// palette of this moment); in full screen the flip chain then turns, so the back buffer holds
// the frame shown one flip before (two with two back buffers). With copy, full screen copies
// the back buffer to the front instead, and the back buffer keeps the frame, as a window's
// always does. DDFlip presents in Direct3D mode, whose back buffer keeps its pixels.
void DDPresent(bool copy = false);
u32 DDSetDialogBoxMode(u32 on);
u32 DDMesBox(const char* text, const char* caption, u32 type);
// Test hooks: the next DDFlip reports a lost device; count of presents.
void DDTestLoseDevice(bool lost);
constexpr u32 D3DERR_DEVICELOST = 0x88760868u;

// The frame as the next flip shows it (the virtual back buffer while drawing goes there), ARGB
// with alpha forced opaque, whatever the mode: what a player would see.
void DDSnapshotFrame(std::vector<u32>* argb, i32* width, i32* height);

// ---------------------------------------------------------------------------------------------
// Effect blitters: geometric (wave, split, quarters, depth rotate, circle, lens, rotate) and
// pixel effects (colour blend, alpha, mosaic, blur, colour change). Every blitter walks its
// rectangle inside both surfaces only; "key" 1 skips the source's transparent pixels (the key
// value in DirectDraw, alpha 0 in Direct3D).

// Direct pixel access for the software blitters. Pixels are 32 bits in every mode (the palette
// index at 8 bits); nBpp is the mode's depth, nBytes the stored size of a pixel.
struct SurfaceLock {
    DDSURFACEDATA* lpSD = nullptr;
    u32* lpPixels = nullptr;
    i32 nPitch = 0; // in pixels
    i32 nBpp = 32;
    i32 nBytes = 4;
    i32 nWidth = 0, nHeight = 0;
};
// Locks sd (through its alias and the virtual back buffer in Direct3D): false, with the lock
// left empty, when it has no pixels.
bool DDLockSurface(SurfaceLock* lock, DDSURFACEDATA* sd);
// Ends a pixel access and clears the lock.
void DDUnlockUpload(SurfaceLock* lock);
// 1 when sd is the back buffer of a full-screen display, whose pixels would need conversion
// from the texture format (never here: at 16 bits the back buffer keeps the textures' colours).
u32 DDLockHelper(const DDSURFACEDATA* sd);

void DDBltWave(DDSURFACEDATA* dst, i32 x, i32 y, i32 w, i32 h, i32 waves, double amplitude, i32 phase, i32 roughness,
               DDSURFACEDATA* src, i32 sx, i32 sy, u32 key, i32 axis);
void DDBltSplit(DDSURFACEDATA* dst, i32 x, i32 y, i32 w, i32 h, i32 strip, i32 offset, DDSURFACEDATA* src, i32 sx,
                i32 sy, u32 key, i32 axis);
void DDBltQuarters(DDSURFACEDATA* dst, i32 x, i32 y, i32 w, i32 h, DDSURFACEDATA* src, i32 sx, i32 sy, i32 offset,
                   u32 key);
void DDBltDepthRotate(DDSURFACEDATA* dst, i32 x, i32 y, i32 w, i32 h, DDSURFACEDATA* front, i32 fsx, i32 fsy,
                      DDSURFACEDATA* back, i32 bsx, i32 bsy, i32 srcW, i32 srcH, u32 key, i32 phase, i32 axis);
void DDBltCircle(DDSURFACEDATA* dst, i32 cx, i32 cy, i32 halfW, i32 halfH, i32 radius, i32 band, DDSURFACEDATA* src,
                 i32 scx, i32 scy, u32 key);
// Rows of a lens's target made ready just before the lens uses them, for a source that is
// filled row by row from the target itself (a copy of the frame the lens magnifies): fn(ctx,
// top, bottom) readies rows [top, bottom) of the target and the same rows of the source. Each
// row is readied once, before the lens reads that row of the source or writes that row of the
// target, and by the time the lens returns (drawn or not) every row of the target has been.
struct LensRows {
    void (*fn)(void* ctx, i32 top, i32 bottom);
    void* ctx;
};
// 1 when drawn, 0 when skipped or a lock failed.
i32 DDBltLens(DDSURFACEDATA* dst, i32 cx, i32 cy, i32 radius, i32 strength, DDSURFACEDATA* src, i32 scx, i32 scy,
              u32 key, u32 clearOutside, const LensRows* rows = nullptr);
// DDFillSurface(dst, palIndex) followed by DDBltLens(dst, cx, cy, radius, strength, src, scx, scy,
// 0, 0), each pixel written once in DirectDraw.
i32 DDBltLensOnFill(DDSURFACEDATA* dst, u32 palIndex, i32 cx, i32 cy, i32 radius, i32 strength, DDSURFACEDATA* src, i32 scx,
                    i32 scy, const LensRows* rows = nullptr);
i32 DDBltRotate(DDSURFACEDATA* dst, i32 cx, i32 cy, i32 w, i32 h, i32 pivotX, i32 pivotY, i32 angle,
                DDSURFACEDATA* src, i32 sx, i32 sy, u32 key);

// The 8-bit mode's blend table: entry [a * 256 + b] is the palette index of colours a and b
// mixed. All zero until DDLoadBlendTable fills it.
extern u8 g_lpBlendTable[65536];
// Results: 1 done, 0 skipped.
i32 DDBltColorBlend(DDSURFACEDATA* dst, i32 x, i32 y, i32 w, i32 h, DDSURFACEDATA* src, i32 sx, i32 sy, u32 key,
                    const PALETTE* palette, const u8* table, u32 colorIndex, i32 level);
i32 DDBltAlpha(DDSURFACEDATA* dst, i32 x, i32 y, i32 w, i32 h, DDSURFACEDATA* src, i32 sx, i32 sy, u32 key,
               const u8* table, i32 alpha);
i32 DDBltHalfAlpha(DDSURFACEDATA* dst, i32 x, i32 y, i32 w, i32 h, DDSURFACEDATA* src, i32 sx, i32 sy, u32 key,
                   const u8* table);
void DDMosaic(DDSURFACEDATA* dst, i32 x, i32 y, i32 w, i32 h, i32 block, DDSURFACEDATA* src, i32 sx, i32 sy, u32 key);
void DDBlur(DDSURFACEDATA* dst, i32 x, i32 y, i32 w, i32 h, i32 radiusX, i32 radiusY, DDSURFACEDATA* src, i32 sx,
            i32 sy, u32 key);
// Direct3D only: the source modulated by (255 - alpha, red, green, blue) over the rectangle.
void DDChangeColor(DDSURFACEDATA* dst, i32 x, i32 y, i32 w, i32 h, i32 alpha, u8 red, u8 green, u8 blue);
void DDChangeColorSrc(DDSURFACEDATA* dst, i32 x, i32 y, i32 w, i32 h, DDSURFACEDATA* src, i32 alpha, u8 red, u8 green,
                      u8 blue);

// ---------------------------------------------------------------------------------------------
// Transitions and palette effects. Palettes: g_palCur is the reference (the colours in use,
// which fades return to), g_palDisplay what the 8-bit display shows.

// dst entries first..last = src mixed with the colour by w (0..256): (src * w + c * (256 - w)) >> 8.
void DDPalFade(PALETTE* dst, i32 first, i32 last, i32 w, u8 red, u8 green, u8 blue, const PALETTE* src);
// dst = src, then entries first..last turned by n: direction 0 moves the last n to the front,
// 1 the first n to the back. src may be dst.
void DDPalRotate(PALETTE* dst, i32 first, i32 last, i32 n, i32 direction, const PALETTE* src);
// DirectDraw 16/32 bits: every pixel of dst = src's mixed with the colour by w.
void DDFade_UnPal(DDSURFACEDATA* dst, i32 w, u8 red, u8 green, u8 blue, DDSURFACEDATA* src);
// Sets display palette entries first..last from a palette (the 8-bit display).
void DDSetDisplayEntries(const PALETTE& palette, i32 first, i32 last);
void DDPixelFormatShifts(PIXELFORMAT* table);
u32 DDPalToRGB16(const PALETTEENTRY& entry);
// One frame of a fade toward the colour (DDTransition, 90 -> 0) or back from it (DDTransition2,
// 0 -> 90), called once per frame until true; true comes one call after the last frame.
// Direct3D: a black quad over the back buffer; DirectDraw 8 bits: dst = src faded, shown;
// 16/32 bits: the back buffer from a snapshot taken at the first call.
bool DDTransition(PALETTE* dst, i32 first, i32 last, u8 red, u8 green, u8 blue, double step, const PALETTE* src,
                  u32 finish);
bool DDTransition2(PALETTE* dst, i32 first, i32 last, u8 red, u8 green, u8 blue, double step, const PALETTE* src,
                   u32 finish);
// Nothing is ever lost in memory: both succeed. Surfaces made since the last restore are
// marked for a redraw by the test hook below.
i32 DDRestoreSurface();
i32 DDRestore();
// Test hook: the next restore acts as after a device loss (marks every picture restored).
void DDTestMarkLost(bool lost);
