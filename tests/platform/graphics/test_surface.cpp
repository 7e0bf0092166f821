// Surface records: creation, picture tables, mirrored cells, aliases, containers, release.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <fstream>
#include <utility>

#include "platform/system/MessageBox.h"
#include "tests/platform/graphics/GfxTestUtil.h"
#include "tests/support/ScratchGame.h"

namespace {

// A strip of cells: pixel value = x (blue) | y (green), opaque.
cImage Strip(int w, int h) {
    return MakeImage(w, h, [](int x, int y) { return 0xFF000000u | u32(y) << 8 | u32(x); });
}

struct BoxCatcher {
    std::vector<std::string> texts;
    BoxCatcher() {
        SetMessageBoxSink([this](const std::string& text, const std::string&, u32 type) {
            texts.push_back(text);
            return DefaultButton(type);
        });
    }
    ~BoxCatcher() { SetMessageBoxSink(nullptr); }
};
} // namespace

TEST(Surface, TextureSizeRulesKeepThePictureSize) {
    ScopedMode mode(kD3D);
    DDTestSetTextureCaps(true, true);
    i32 w = 100, h = 60;
    D3DTextureSize(&w, &h);
    EXPECT_EQ(w, 128);
    EXPECT_EQ(h, 128);
    i32 z = 0, one = 1;
    D3DTextureSize(&z, &one);
    EXPECT_EQ(z, 1); // 0 stays 0, then square takes the larger
    DDSURFACEDATA sd;
    ASSERT_TRUE(DDCreateSurface(&sd, 100, 60, 0, 0));
    EXPECT_EQ(sd.width, 100);
    EXPECT_EQ(sd.height, 60);
    EXPECT_EQ(sd.texWidth, 128);
    EXPECT_EQ(sd.texHeight, 128);
    EXPECT_TRUE(DDCheckTextureSize(kMaxTextureSize, 1));
    EXPECT_FALSE(DDCheckTextureSize(kMaxTextureSize + 1, 1));
}

TEST(Surface, EmptySlotsAndFailedLoads) {
    for (GfxMode m : {kD3D, kDD}) {
        DDSURFACEDATA pics[3];
        DDPICTUREDEF defs[3];
        defs[0].file = "E";
        defs[0].width = 640;
        defs[0].height = 480;
        defs[0].colorKey = 1;
        defs[1].file = "missing.bmp";
        defs[1].optional = 1;
        defs[2].file = "missing2.bmp";
        ScopedMode mode(m, pics, defs, 3);
        ASSERT_TRUE(mode.ok);
        TempDir dir;
        BoxCatcher boxes;
        const i32 first[] = {0, 1};
        EXPECT_TRUE(DDLoadPictures(pics, first, 2)) << "an optional slot may fail";
        EXPECT_EQ(PixelAt(&pics[0], 639, 479), m.direct3D ? 0u : 0xFF00FFu) << "cleared to colour 0";
        EXPECT_EQ(pics[0].source, m.direct3D ? "E" : "");
        EXPECT_EQ(SurfacePixels(&pics[1]), nullptr);
        const i32 second[] = {2};
        EXPECT_FALSE(DDLoadPictures(pics, second, 1));
        ASSERT_EQ(boxes.texts.size(), 1u);
        EXPECT_NE(boxes.texts[0].find("missing2.bmp の読み込みに失敗！"), std::string::npos);
        const i32 bad[] = {7};
        EXPECT_FALSE(DDLoadPictures(pics, bad, 1)) << "a slot number past the table";
        // An "E" slot that cannot be made is out of memory.
        defs[0].width = 0;
        EXPECT_FALSE(DDLoadPictures(pics, first, 1));
        EXPECT_NE(boxes.texts.back().find("メモリが不足しています"), std::string::npos);
    }
}

// A table row names its picture whole, however deep the game folder and long the name: the
// picture under a name of 255 bytes in a folder of as many loads, in both modes, and keeps its
// name for a reload.
TEST(Surface, APictureNamedPastTwoHundredAndSixtyBytesLoadsWhole) {
    for (GfxMode m : {kD3D, kDD}) {
        DDSURFACEDATA pics[1];
        DDPICTUREDEF defs[1];
        TempDir dir;
        const std::string folder(255, 'f'), name = std::string(251, 'p') + ".bmp";
        std::filesystem::create_directory(dir.Path(folder));
        ASSERT_TRUE(dir.Write(folder + "/" + name, EncodeBmp(Strip(16, 4), 24)));
        defs[0].file = folder + "\\" + name;
        ScopedMode mode(m, pics, defs, 1);
        const i32 slot[] = {0};
        ASSERT_TRUE(DDLoadPictures(pics, slot, 1)) << ModeName(m);
        EXPECT_EQ(pics[0].width, 16);
        EXPECT_EQ(pics[0].source, defs[0].file);
        if (!m.direct3D) {
            EXPECT_TRUE(DDReloadBitmap(&pics[0], 32));
        }
    }
}

TEST(Surface, MirroredCellsLandReversedAndPartialCellsAreSkipped) {
    for (GfxMode m : {kDD, kD3D}) {
        ScopedMode mode(m);
        TempDir dir;
        ASSERT_TRUE(dir.Write("s.bmp", EncodeBmp(Strip(64, 8), 24)));
        DDSURFACEDATA sd;
        ASSERT_EQ(DDCreateSurfaceFromFile(&sd, "s.bmp", 0, 32, 0, 0, 0, 0, 32, 0, 0), 0);
        EXPECT_EQ(PixelAt(&sd, 63, 0) & 0xFF, 32u) << ModeName(m) << ": pixel 0 of cell 1 lands at 63";
        EXPECT_EQ(PixelAt(&sd, 0, 0) & 0xFF, 31u);
        // 40 wide with 32-wide cells: the last cell's pixels would land at 56..63, past the row.
        ASSERT_TRUE(dir.Write("p.bmp", EncodeBmp(Strip(40, 8), 24)));
        DDSURFACEDATA part;
        ASSERT_EQ(DDCreateSurfaceFromFile(&part, "p.bmp", 0, 32, 0, 0, 0, 0, 32, 0, 0), 0);
        EXPECT_EQ(PixelAt(&part, 32, 0), 0u);
        EXPECT_EQ(PixelAt(&part, 31, 0) & 0xFF, 0u);
        // Mirror cell height: rows reversed per cell in DirectDraw; Direct3D keeps it unmirrored.
        DDSURFACEDATA rows;
        ASSERT_EQ(DDCreateSurfaceFromFile(&rows, "s.bmp", 0, 32, 0, 0, 0, 0, 0, 4, 0), 0);
        EXPECT_EQ((PixelAt(&rows, 0, 0) >> 8) & 0xFF, m.direct3D ? 0u : 3u) << ModeName(m);
    }
}

TEST(Surface, AliasSlotsShareOrMirrorAndReleaseKeepsSharedPixels) {
    DDSURFACEDATA pics[3];
    DDPICTUREDEF defs[3];
    defs[0].file = "s.bmp";
    defs[1].file = "s.bmp";
    defs[1].noOwnTexture = 1;
    defs[2].file = "S.BMP";
    defs[2].noOwnTexture = 1;
    defs[2].mirrorW = 32;
    ScopedMode mode(kD3D, pics, defs, 3);
    TempDir dir;
    ASSERT_TRUE(dir.Write("s.bmp", EncodeBmp(Strip(64, 8), 24)));
    pics[1].alias = &pics[0];
    pics[2].alias = &pics[0];
    const i32 all[] = {0, 1, 2};
    ASSERT_TRUE(DDLoadPictures(pics, all, 3));
    EXPECT_EQ(SurfacePixels(&pics[1]), SurfacePixels(&pics[0])) << "a plain alias shares the picture";
    EXPECT_NE(SurfacePixels(&pics[2]), SurfacePixels(&pics[0])) << "a mirrored alias holds its own copy";
    // Drawing from the mirrored slot gives the cell read right to left, as in DirectDraw.
    DDBlt(&g_sdBackBuffer, 0, 0, 32, 8, &pics[2], 32, 0, 0);
    EXPECT_EQ(PixelAt(&g_sdBackBuffer, 0, 0) & 0xFF, 63u);
    DDReleaseSurface(&pics[1]);
    EXPECT_EQ(PixelAt(&pics[0], 5, 5) & 0xFF, 5u);
    DDReleaseSurface(&pics[0]);
    DDReleaseSurface(&pics[0]);
}

TEST(Surface, AddersReportFailureAndListsKeepDefinitionsInStep) {
    for (GfxMode m : {kD3D, kDD}) {
        ScopedMode mode(m);
        cVector<DDSURFACEDATA> v;
        cVector<DDPICTUREDEF> vd;
        EXPECT_TRUE(DDAddSurface(v, vd, 64, 32, 1, 1));
        EXPECT_FALSE(DDAddSurface(v, vd, 0, 32, 1, 1));
        EXPECT_FALSE(DDAddSurface(v, vd, 100000, 32, 1, 1));
        EXPECT_EQ(v.size(), 3u);
        EXPECT_EQ(vd.size(), 3u);
        EXPECT_EQ(vd[0].colorKey, 1u);
        DDReleaseSurfaceVector(v);
        cList<DDSURFACEDATA> l;
        cList<DDPICTUREDEF> ld;
        EXPECT_TRUE(DDListAddSurface(l, ld, 8, 8, 0, 0));
        EXPECT_TRUE(DDListInsertSurface(l, ld, -3, 16, 16, 1, 0));
        EXPECT_TRUE(DDListInsertSurface(l, ld, 99, 24, 24, 0, 0));
        ASSERT_EQ(l.size(), 3u);
        EXPECT_EQ(l[0].width, 16);
        EXPECT_EQ(l[2].width, 24);
        EXPECT_EQ(ld[0].colorKey, 1u);
        DDSURFACEDATA* middle = &l[1];
        EXPECT_TRUE(DDListRemoveSurface(l, ld, middle));
        DDSURFACEDATA stranger;
        EXPECT_FALSE(DDListRemoveSurface(l, ld, &stranger));
        EXPECT_EQ(l.size(), 2u);
        EXPECT_EQ(ld.size(), 2u);
        DDReleaseSurfaceArray(l);
    }
}

TEST(Surface, ReloadRefusesAResizedFile) {
    ScopedMode mode(kDD);
    TempDir dir;
    ASSERT_TRUE(dir.Write("r.bmp", EncodeBmp(Strip(16, 8), 24)));
    DDSURFACEDATA sd;
    ASSERT_EQ(DDCreateSurfaceFromFile(&sd, "r.bmp", 0, 32, 0, 0, 0, 0, 0, 0, 0), 0);
    ASSERT_TRUE(dir.Write("r.bmp", EncodeBmp(MakeImage(16, 8, [](int, int) { return 0xFF00FF00u; }), 24)));
    EXPECT_TRUE(DDReloadBitmap(&sd, 32));
    EXPECT_EQ(PixelAt(&sd, 3, 3) & 0xFFFFFF, 0x00FF00u);
    ASSERT_TRUE(dir.Write("r.bmp", EncodeBmp(Strip(32, 8), 24)));
    EXPECT_FALSE(DDReloadBitmap(&sd, 32));
    EXPECT_EQ(SurfacePixels(&sd)->width, 16);
    EXPECT_EQ(PixelAt(&sd, 3, 3) & 0xFFFFFF, 0x00FF00u);
    u32 fits = 9;
    EXPECT_TRUE(DDBitmapFits(&fits, "r.bmp", 32, 8));
    EXPECT_EQ(fits, 0u);
    EXPECT_TRUE(DDBitmapFits(&fits, "r.bmp", 31, 8));
    EXPECT_EQ(fits, 1u);
    EXPECT_FALSE(DDBitmapFits(&fits, "none.bmp", 31, 8));
}

TEST(Surface, IndexMapMatchesThePaletteAndZeroesTheRest) {
    ScopedMode mode(kDD);
    TempDir dir;
    const cImage img = MakeImage(3, 1, [](int x, int) { return x == 0 ? 0xFFFF0000u : x == 1 ? 0xFF0000FFu : 0xFF123457u; });
    ASSERT_TRUE(dir.Write("i.bmp", EncodeBmp(img, 24)));
    DDSURFACEDATA sd;
    ASSERT_EQ(DDCreateSurfaceFromFile(&sd, "i.bmp", 0, 32, 0, 0, 0, 1, 0, 0, 0), 0);
    ASSERT_EQ(sd.holder->indexMap.size(), 3u);
    EXPECT_EQ(sd.holder->indexMap[0], 3);
    EXPECT_EQ(sd.holder->indexMap[1], 5);
    EXPECT_EQ(sd.holder->indexMap[2], 0);
}

TEST(Surface, EightBitModeKeepsIndicesOfPalettedFiles) {
    ScopedMode mode({false, 8});
    TempDir dir;
    cImage img;
    img.width = 4;
    img.height = 1;
    img.hasIndices = true;
    img.indices = {0, 7, 200, 3};
    ASSERT_TRUE(dir.Write("e.bmp", EncodeBmp(img, 8)));
    DDSURFACEDATA sd;
    ASSERT_EQ(DDCreateSurfaceFromFile(&sd, "e.bmp", 1, 8, 0, 0, 0, 0, 0, 0, 0), 0);
    EXPECT_EQ(PixelAt(&sd, 2, 0), 200u);
    // A direct-colour file takes the nearest palette entry.
    ASSERT_TRUE(dir.Write("c.bmp", EncodeBmp(MakeImage(1, 1, [](int, int) { return 0xFFFE0101u; }), 24)));
    DDSURFACEDATA c;
    ASSERT_EQ(DDCreateSurfaceFromFile(&c, "c.bmp", 0, 8, 0, 0, 0, 0, 0, 0, 0), 0);
    EXPECT_EQ(PixelAt(&c, 0, 0), 3u);
}

// A Direct3D file picture is decoded on its first use, yet a damaged file still fails at load,
// with the report line that names it and the decoder's reason, as in DirectDraw.
TEST(Surface, DamagedPicturesFailAtLoadInEveryMode) {
    for (const GfxMode m : {kD3D, kDD}) {
        ScratchGame game;
        ScopedMode mode(m);
        ASSERT_TRUE(mode.ok);
        std::vector<u8> bytes = EncodeBmp(Strip(16, 8), 24);
        bytes.resize(bytes.size() - 40);
        std::ofstream(game.Dir() / "cut.bmp", std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()),
                                                                        static_cast<std::streamsize>(bytes.size()));
        DDSURFACEDATA pic;
        EXPECT_EQ(DDCreateSurfaceFromFile(&pic, "cut.bmp", 0, g_nBpp, 0, 0, 0, 0, 0, 0, 0), 8);
        EXPECT_NE(game.Report().find("LoadImage Err cut.bmp (truncated BMP pixel data)"), std::string::npos)
            << game.Report();
        DDReleaseSurface(&pic);
    }
}

// A blank work surface or a file picture costs no pixel memory until something draws into it or
// from it; then it is what it would have been from the start, and blits land as they always did.
TEST(Surface, PicturesAndBlankWorkSurfacesTakePixelsOnlyWhenUsed) {
    ScopedMode mode(kD3D);
    ASSERT_TRUE(mode.ok);
    TempDir dir;
    DDSURFACEDATA pic, work, unused;
    ASSERT_TRUE(MakePicture(&pic, dir, "s.bmp", Strip(32, 16), 0));
    ASSERT_TRUE(DDCreateSurface(&work, 1024, 1024, 1, 0, DTMEMORYTYPE_VIDEO_RT, 0, 0));
    ASSERT_TRUE(DDCreateSurface(&unused, 1024, 1024, 1, 0, DTMEMORYTYPE_SYSTEM, 0, 0));
    EXPECT_TRUE(work.lpDT->lpSurface->px.empty());
    EXPECT_TRUE(unused.lpDT->lpSurface->px.empty());
    EXPECT_EQ(work.width, 1024);
    // A file picture is read at load (a bad file fails there) and decoded again on first use.
    EXPECT_TRUE(pic.lpDT->lpSurface->px.empty());
    EXPECT_EQ(pic.width, 32);

    DDBlt(&work, 100, 200, 32, 16, &pic, 0, 0, 0);
    DDEndScene();
    EXPECT_EQ(PixelAt(&work, 100 + 5, 200 + 3) & 0xFFFFFF, 3u << 8 | 5u);
    EXPECT_EQ(PixelAt(&work, 0, 0), 0u);
    EXPECT_EQ(PixelAt(&work, 1023, 1023), 0u);
    EXPECT_TRUE(unused.lpDT->lpSurface->px.empty()) << "the other blank surface is still untouched";

    // Drawn from while still blank: nothing shows, as from a surface cleared to colour 0.
    const std::vector<u32> before = VisiblePixels(&g_sdBackBuffer);
    DDBlt(&g_sdBackBuffer, 0, 0, 64, 64, &unused, 0, 0, DDBLT_KEY);
    DDEndScene();
    EXPECT_EQ(VisiblePixels(&g_sdBackBuffer), before);
    ASSERT_NE(SurfacePixels(&unused), nullptr);
    EXPECT_EQ(SurfacePixels(&unused)->px.size(), 1024u * 1024u);
    DDReleaseSurface(&pic);
    DDReleaseSurface(&work);
    DDReleaseSurface(&unused);
}

// A picture first used by a quad of a batch takes its pixels when the quad is queued, and the
// flush draws them where the quad was clipped to, as a quad drawn at once does.
TEST(Surface, PicturesFirstUsedByABatchDrawTheirPixels) {
    ScopedMode mode(kD3D);
    ASSERT_TRUE(mode.ok);
    TempDir dir;
    DDSURFACEDATA pic, work;
    ASSERT_TRUE(MakePicture(&pic, dir, "s.bmp", Strip(32, 16), 0));
    ASSERT_TRUE(DDCreateSurface(&work, 64, 64, 1, 0, DTMEMORYTYPE_VIDEO_RT, 0, 0));
    ASSERT_TRUE(pic.lpDT->lpSurface->px.empty());
    D3DBeginBatch(0);
    DDBlt(&work, 40, -4, 32, 16, &pic, 0, 0, 0);
    EXPECT_FALSE(pic.lpDT->lpSurface->px.empty());
    D3DFlushBatch();
    DDEndScene();
    for (const auto& [x, y] : {std::pair{40, 0}, {45, 3}, {63, 11}})
        EXPECT_EQ(PixelAt(&work, x, y) & 0xFFFFFF, u32(y + 4) << 8 | u32(x - 40)) << x << "," << y;
    EXPECT_EQ(PixelAt(&work, 39, 0), 0u);
    EXPECT_EQ(PixelAt(&work, 40, 12), 0u);
    DDReleaseSurface(&pic);
    DDReleaseSurface(&work);
}

// Copies between two buffers slow down several times when their addresses agree modulo a page
// up to a few dozen bytes; where the heap put them used to decide it. The back buffer, work
// surfaces and a loaded picture all start 64-byte steps apart modulo a page, each on its own step.
TEST(Surface, LargeBuffersNeverLieAFewBytesApartModuloAPage) {
    ScopedMode mode(kD3D);
    ASSERT_TRUE(mode.ok);
    TempDir dir;
    DDSURFACEDATA work[3], pic;
    std::vector<std::uintptr_t> at{reinterpret_cast<std::uintptr_t>(SurfacePixels(&g_sdBackBuffer)->px.data())};
    for (DDSURFACEDATA& w : work) {
        ASSERT_TRUE(DDCreateSurface(&w, 640, 480, 0, 0));
        at.push_back(reinterpret_cast<std::uintptr_t>(SurfacePixels(&w)->px.data()));
    }
    ASSERT_TRUE(MakePicture(&pic, dir, "big.bmp", Strip(640, 480), 0));
    at.push_back(reinterpret_cast<std::uintptr_t>(SurfacePixels(&pic)->px.data()));
    for (std::size_t i = 0; i < at.size(); ++i)
        for (std::size_t j = 0; j < i; ++j) {
            const std::uintptr_t apart = (at[i] - at[j]) % 4096;
            EXPECT_TRUE(apart % 64 == 0 && apart != 0) << "buffers " << j << " and " << i << " lie " << apart << " bytes apart";
        }
    for (DDSURFACEDATA& w : work) DDReleaseSurface(&w);
    DDReleaseSurface(&pic);
}
