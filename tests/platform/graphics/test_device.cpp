// Start-up and release of the drawing modes; palettes and colour keys.
#include <gtest/gtest.h>

#include <cstring>
#include <fstream>
#include <sstream>

#include "platform/system/MessageBox.h"
#include "platform/system/Report.h"
#include "tests/platform/graphics/GfxTestUtil.h"
#include "tests/support/ScratchGame.h"

namespace {

bool Start(bool d3d, int bpp, u32 windowMode = 1, DDSURFACEDATA* pics = nullptr, const DDPICTUREDEF* defs = nullptr,
           int n = 0) {
    return DDInit(d3d, MainWindowHandle(), 640, 480, bpp, 1, windowMode, 1, 60, 1, pics, defs, n, 0);
}
} // namespace

TEST(Device, Direct3DStartSetsUpTheFixedSurfacesAndQuadDefaults) {
    DDTestSetDisplayRefresh(60);
    ASSERT_TRUE(Start(true, 32));
    ASSERT_NE(lpDTCon, nullptr);
    EXPECT_EQ(g_lpDDState, nullptr);
    EXPECT_EQ(g_bDDInit, 1u);
    EXPECT_TRUE(g_sdBackBuffer.lpDT->bRenderTarget);
    EXPECT_EQ(lpDTCon->backBufferFormat, D3DFMT_X8R8G8B8);
    EXPECT_EQ(lpDTCon->textureFormat, D3DFMT_A8R8G8B8);
    EXPECT_EQ(lpDTCon->lpRenderTarget, &g_sdVirBackBuffer);
    DDRelease();
    EXPECT_EQ(lpDTCon, nullptr);
    EXPECT_EQ(SurfacePixels(&g_sdBackBuffer), nullptr);
    DDTestSetDisplayRefresh(0);
}

TEST(Device, Direct3DFailuresFallBackToDirectDraw) {
    EXPECT_FALSE(Start(true, 24)) << "Direct3D has no 24-bit mode";
    DDRelease();
    EXPECT_EQ(lpDTCon, nullptr);
    DDTestForceD3DFailure(true);
    EXPECT_FALSE(Start(true, 32));
    DDTestForceD3DFailure(false);
    DDRelease();
    EXPECT_EQ(lpDTCon, nullptr);
    ASSERT_TRUE(Start(false, 32));
    EXPECT_NE(g_lpDDState, nullptr);
    EXPECT_EQ(lpDTCon, nullptr) << "every entry now takes the DirectDraw branch";
    DDRelease();
}

TEST(Device, SecondStartReleasesTheFirstAndReleaseIsRepeatable) {
    DDRelease(); // nothing started
    DDRelease();
    DDSURFACEDATA pics[1];
    DDPICTUREDEF defs[1];
    defs[0].file = "E";
    defs[0].width = defs[0].height = 8;
    ASSERT_TRUE(Start(false, 32, 0, pics, defs, 1));
    const i32 slot[] = {0};
    ASSERT_TRUE(DDLoadPictures(pics, slot, 1));
    ASSERT_TRUE(Start(false, 32, 0, pics, defs, 1));
    EXPECT_NE(g_lpDDState, nullptr);
    EXPECT_EQ(SurfacePixels(&pics[0]), nullptr) << "the first start's pictures were released";
    DDRelease();
    DDRelease();
    EXPECT_EQ(g_lpDDState, nullptr);
    EXPECT_EQ(g_bDDInit, 0u);
}

TEST(Device, UnknownWindowModeIsWindowedWithSurfaces) {
    ASSERT_TRUE(Start(false, 32, 2));
    EXPECT_EQ(g_nWindowMode, 1u);
    EXPECT_NE(SurfacePixels(&g_sdBackBuffer), nullptr);
    EXPECT_NE(SurfacePixels(&g_sdBack2), nullptr);
    DDRelease();
}

TEST(Device, VsyncOffWhenTheDisplayIsNotAt60Hz) {
    ScratchGame report;
    DDTestSetDisplayRefresh(75);
    ASSERT_TRUE(Start(true, 32));
    EXPECT_EQ(g_DDGraphics.vsync, 0u);
    const std::string text = report.Report();
    EXPECT_NE(text.find("VSync : 1"), std::string::npos);
    EXPECT_NE(text.find("RefreshRate : 75"), std::string::npos);
    EXPECT_NE(text.find("リフレッシュレートの変更に失敗しました！垂直同期が無効になります！"), std::string::npos);
    DDRelease();
    DDTestSetDisplayRefresh(0);
}

TEST(Device, DirectDrawStartPalettesAreReservedEntries) {
    // Flags: 1 reserved (the game's own entries), 2 explicit (the system's).
    ASSERT_TRUE(Start(false, 8, 0));
    EXPECT_EQ(g_palDisplay[0].peBlue, 255);
    EXPECT_EQ(g_palDisplay[0].peFlags, 1);
    EXPECT_EQ(g_palDisplay[100].peGreen, 100);
    EXPECT_EQ(g_palDisplay[100].peFlags, 1);
    ASSERT_TRUE(Start(false, 8, 1));
    EXPECT_EQ(g_palDisplay[5].peRed, 5);
    EXPECT_EQ(g_palDisplay[5].peFlags, 2);
    EXPECT_EQ(g_palDisplay[100].peFlags, 1);
    EXPECT_EQ(g_palDisplay[250].peFlags, 2);
    DDRelease();
}

TEST(Device, InitErrorTable) {
    for (i32 code : {1, 2, 3, 4, 5, 6, 7, 10, 11, 12}) EXPECT_FALSE(DDCheckInitError(code)) << code;
    for (i32 code : {0, 8, 9, 13}) EXPECT_TRUE(DDCheckInitError(code)) << code;
    EXPECT_FALSE(DDCheckResult(4));
    EXPECT_FALSE(DDCheckResult(8));
    EXPECT_FALSE(DDCheckResult(9));
    EXPECT_TRUE(DDCheckResult(0));
    EXPECT_TRUE(DDCheckResult(1));
}

// ---------------------------------------------------------------------------------------------
// Palettes and colour keys

TEST(Palette, PaletteNumbersPerMode) {
    {
        ScopedMode mode(kD3D);
        EXPECT_EQ(PalNumToRGB(0), 0u) << "index 0 is fully transparent";
        EXPECT_EQ(PalNumToRGB(3), 0xFFFF0000u);
        EXPECT_EQ(PalNumToRGB(300), 0u);
        EXPECT_EQ(lpDTCon->dwBackClearColor, 0xFFFF00FFu);
        EXPECT_EQ(lpDTCon->dwTexClearColor, 0u);
    }
    {
        ScopedMode mode(kDD);
        EXPECT_EQ(PalNumToRGB(0), 0xFF00FFu);
        EXPECT_EQ(PalNumToRGB(5), 0x0000FFu);
        EXPECT_EQ(PalNumToRGB(300), 0u);
    }
    {
        ScopedMode mode({false, 8});
        EXPECT_EQ(PalNumToRGB(77), 77u);
    }
}

TEST(Palette, DirectDrawKeyHasTheOrderOfThePixels) {
    ScopedMode mode(kDD);
    DDSetTransmit(255, 0, 128);
    EXPECT_EQ(g_dwTransColor, 0xFF0080u);
    EXPECT_EQ(g_lpDDState->rgbTransmit.rgbtRed, 255);
    TempDir dir;
    DDSURFACEDATA pic;
    ASSERT_TRUE(MakePicture(&pic, dir, "k.bmp", MakeImage(2, 1, [](int x, int) { return x ? 0xFF8000FFu : 0xFFFF0080u; }), 1));
    DDFillSurface(&g_sdBackBuffer, 1);
    DDBlt(&g_sdBackBuffer, 0, 0, 2, 1, &pic, 0, 0, DDBLT_KEY);
    EXPECT_EQ(PixelAt(&g_sdBackBuffer, 0, 0) & 0xFFFFFF, 0u) << "the key colour is transparent";
    EXPECT_EQ(PixelAt(&g_sdBackBuffer, 1, 0) & 0xFFFFFF, 0x8000FFu) << "red and blue swapped is not";
}

namespace {
// An 8-bit palette file whose colour table differs from its swatch: table entry i is
// (i, 0, 0); swatch pixel i shows table entry 255 - i.
std::vector<u8> PaletteFile() {
    cImage img;
    img.width = 16;
    img.height = 24;
    img.hasIndices = true;
    img.indices.assign(16 * 24, 9);
    for (int i = 0; i < 256; ++i) {
        img.colorTable[i] = u32(i) << 16;
        img.indices[(8 + i / 16) * 16 + i % 16] = static_cast<u8>(255 - i);
    }
    return EncodeBmp(img, 8);
}
} // namespace

TEST(Palette, LoadFromFileTakesTheTableOrTheSwatch) {
    TempDir dir;
    ASSERT_TRUE(dir.Write("pal.bmp", PaletteFile()));
    ASSERT_TRUE(dir.Write("rgb.bmp", EncodeBmp(MakeImage(16, 24, [](int x, int y) {
        return y < 8 ? 0xFF000000u : 0xFF000000u | u32(((y - 8) * 16 + x)) << 8; }), 24)));
    {
        ScopedMode mode(kD3D);
        PALETTE p{};
        ASSERT_TRUE(DDLoadPaletteFromFile(&p, "pal.bmp", 0));
        EXPECT_EQ(p[10].peRed, 10);
        EXPECT_EQ(p[10].peFlags, 255);
        ASSERT_TRUE(DDLoadPaletteFromFile(&p, "rgb.bmp", 0)); // no table: the swatch
        EXPECT_EQ(p[10].peGreen, 10);
        EXPECT_FALSE(DDLoadPaletteFromFile(&p, "none.bmp", 0));
    }
    {
        ScopedMode mode(kDD);
        PALETTE p{};
        ASSERT_TRUE(DDLoadPaletteFromFile(&p, "pal.bmp", 0));
        EXPECT_EQ(p[10].peRed, 245) << "16/32-bit DirectDraw reads the swatch";
    }
    {
        ScopedMode mode({false, 16});
        PALETTE p{};
        ASSERT_TRUE(DDLoadPaletteFromFile(&p, "pal.bmp", 0));
        EXPECT_EQ(p[10].peRed, 29) << "at 16 bits the swatch's channel values: 245 * 31 / 255";
    }
    {
        ScopedMode mode({false, 8});
        PALETTE p{};
        ASSERT_TRUE(DDLoadPaletteFromFile(&p, "pal.bmp", 0));
        EXPECT_EQ(p[10].peRed, 10);
        EXPECT_EQ(p[9].peFlags, 2);
        EXPECT_EQ(p[10].peFlags, 1);
        EXPECT_EQ(p[246].peFlags, 2);
        EXPECT_EQ(g_palDisplay[10].peRed, 10) << "set into the display palette";
    }
}

TEST(Palette, TransparentColourFromTheTopLeftPixel) {
    TempDir dir;
    ASSERT_TRUE(dir.Write("t.bmp", EncodeBmp(MakeImage(4, 4, [](int x, int y) {
        return x == 0 && y == 0 ? 0xFF00FF80u : 0xFF123456u; }), 24)));
    {
        ScopedMode mode(kDD);
        ASSERT_TRUE(DDSetTransmitFromFile("t.bmp"));
        EXPECT_EQ(g_dwTransColor, 0x00FF80u);
        EXPECT_EQ(g_lpDDState->rgbTransmit.rgbtBlue, 0x80);
        EXPECT_FALSE(DDSetTransmitFromFile("none.bmp"));
    }
    {
        ScopedMode mode(kD3D);
        ASSERT_TRUE(DDSetTransmitFromFile("t.bmp"));
        EXPECT_EQ(lpDTCon->dwBackClearColor, 0xFF00FF80u);
        EXPECT_EQ(lpDTCon->rgbTransmit.rgbtGreen, 0xFF);
    }
}

TEST(Palette, SixteenBitKeyIsComputedAndMatchedInSixteenBits) {
    TempDir dir;
    const std::string log = dir.Path("debug.txt");
    SetDebugLog(true, log);
    std::vector<std::string> boxes;
    SetMessageBoxSink([&](const std::string& text, const std::string&, u32) {
        boxes.push_back(text);
        return IDOK;
    });
    // The picture's key colour, one that reduces to the key without being it, and red.
    ASSERT_TRUE(dir.Write("k.bmp", EncodeBmp(MakeImage(3, 1, [](int x, int) {
        return x == 0 ? 0xFFFF00FFu : x == 1 ? 0xFFFF04FFu : 0xFFFF0000u; }), 24)));
    ASSERT_TRUE(dir.Write("t.bmp", EncodeBmp(MakeImage(2, 1, [](int x, int) { return x ? 0xFF123456u : 0xFF00FF80u; }), 24)));
    {
        ScopedMode mode({false, 16});
        EXPECT_EQ(g_dwTransColor, 0xF81Fu) << "(255, 0, 255) in 5-6-5";
        EXPECT_EQ(PalNumToRGB(3), 0xF800u) << "the entries hold channel values";
        DDSURFACEDATA pic;
        ASSERT_EQ(DDCreateSurfaceFromFile(&pic, "k.bmp", 1, 16, 0, 0, 0, 0, 0, 0, 0), 0);
        DDFillSurface(&g_sdBackBuffer, 1);
        DDBlt(&g_sdBackBuffer, 0, 0, 3, 1, &pic, 0, 0, DDBLT_KEY);
        EXPECT_EQ(PixelAt(&g_sdBackBuffer, 0, 0) & 0xFFFFFF, 0u) << "the key colour is transparent";
        EXPECT_EQ(PixelAt(&g_sdBackBuffer, 1, 0) & 0xFFFFFF, 0xFF00F6u) << "a colour that reduces to the key moves a step";
        EXPECT_EQ(PixelAt(&g_sdBackBuffer, 2, 0) & 0xFFFFFF, 0xFF0000u);
        // From a file: the key and the colour bytes pictures are keyed by.
        ASSERT_TRUE(DDSetTransmitFromFile("t.bmp"));
        EXPECT_EQ(g_dwTransColor, 0x07EFu);
        EXPECT_EQ(g_lpDDState->rgbTransmit.rgbtBlue, 0x80);
        // Setting the components changes the key value only.
        DDSetTransmit(0, 0, 255);
        EXPECT_EQ(g_dwTransColor, 0x001Fu);
        EXPECT_EQ(g_lpDDState->rgbTransmit.rgbtBlue, 0x80);
        DDReleaseSurface(&pic);
    }
    {
        ScopedMode mode({true, 16});
        DDSetTransmit(200, 0, 200);
        EXPECT_EQ(lpDTCon->wTransmit_16, 0xE018u) << "scaled into 5-5-5 with the alpha bit";
    }
    SetMessageBoxSink(nullptr);
    SetDebugLog(false, "");
    std::ifstream f(log);
    std::stringstream text;
    text << f.rdbuf();
    EXPECT_NE(text.str().find("※16bit色で　DDSetTransmit(BYTE cbRed,BYTE cbGreen,BYTE cbBlue)　は未対応！"), std::string::npos);
    EXPECT_NE(text.str().find("Tr 63519 RGB32(255,0,255) -> RGB16(255,0,255)"), std::string::npos);
    ASSERT_EQ(boxes.size(), 2u);
    EXPECT_EQ(boxes[1], "Tr 31 RGB32(0,0,255) -> RGB16(0,0,255)");
}
