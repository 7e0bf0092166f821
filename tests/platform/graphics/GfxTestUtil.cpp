#include "tests/platform/graphics/GfxTestUtil.h"

#include <cstdio>
#include <cstdlib>
#include <unistd.h>

#include "platform/graphics/Presenter.h"
#include "platform/graphics/Raster.h"
#include "platform/system/Random.h"
#include "platform/system/PathResolver.h"

std::string ModeName(const GfxMode& m) {
    return std::string(m.direct3D ? "D3D" : "DD") + std::to_string(m.bpp);
}

void SetTestPalette() {
    for (int i = 0; i < 256; ++i)
        g_palCur[i] = PALETTEENTRY{static_cast<u8>(i), static_cast<u8>(255 - i), static_cast<u8>((i * 7) & 255), 1};
    g_palCur[0] = PALETTEENTRY{255, 0, 255, 1};
    g_palCur[1] = PALETTEENTRY{0, 0, 0, 1};
    g_palCur[2] = PALETTEENTRY{255, 255, 255, 1};
    g_palCur[3] = PALETTEENTRY{255, 0, 0, 1};
    g_palCur[4] = PALETTEENTRY{0, 255, 0, 1};
    g_palCur[5] = PALETTEENTRY{0, 0, 255, 1};
    g_palBase = g_palCur;
    g_palDisplay = g_palCur;
}

namespace {
u32 ChannelMax(int lane, const GfxMode& m) { return lane == 1 && !m.direct3D ? 63 : 31; }
} // namespace

u32 Reduced(u32 rgb, const GfxMode& m) {
    if (m.bpp != 16) return rgb & 0xFFFFFF;
    u32 out = 0;
    for (int lane = 0; lane < 3; ++lane) {
        const u32 max = ChannelMax(lane, m), c = (rgb >> (8 * lane)) & 255;
        out |= (c * max / 255 * 255 / max) << (8 * lane);
    }
    return out;
}

int OffGrid(const std::vector<u32>& argb, const GfxMode& m) {
    if (m.bpp != 16) return 0;
    bool held[3][256] = {};
    for (int lane = 0; lane < 3; ++lane)
        for (u32 v = 0, max = ChannelMax(lane, m); v <= max; ++v) held[lane][v * 255 / max] = true;
    int n = 0;
    for (u32 p : argb) n += !(held[0][p & 255] && held[1][(p >> 8) & 255] && held[2][(p >> 16) & 255]);
    return n;
}

ScopedMode::ScopedMode(GfxMode mode, DDSURFACEDATA* pictures, const DDPICTUREDEF* defs, int count) {
    DDTestSetDisplayRefresh(60);
    SetTestPalette();
    ok = DDInit(mode.direct3D, MainWindowHandle(), 640, 480, mode.bpp, 1, 1, 1, 60, 1, pictures, defs, count, 0);
    if (ok) {
        if (!mode.direct3D && mode.bpp == 16) {
            for (PALETTEENTRY& e : g_palCur)
                e = PALETTEENTRY{static_cast<u8>(e.peRed * 31 / 255), static_cast<u8>(e.peGreen * 63 / 255),
                                 static_cast<u8>(e.peBlue * 31 / 255), e.peFlags};
            g_palBase = g_palCur;
            // The transparent colour as the game sets it at 16 bits: from its picture.
            g_lpDDState->rgbTransmit = RGBTRIPLE{255, 0, 255};
        }
        DDSetTransmit(255, 0, 255);
        if (!mode.direct3D && mode.bpp == 8) {
            g_dwTransColor = 0;
            DDSetDisplayPalette(g_palCur);
        }
    }
}

ScopedMode::~ScopedMode() {
    DDRelease();
    DDTestSetDisplayRefresh(0);
    DDTestForceD3DFailure(false);
    DDTestSetTextureCaps(false, false);
    DDTestLoseDevice(false);
}

TempDir::TempDir() {
    static int counter = 0;
    m_dir = std::filesystem::temp_directory_path() /
            ("tobrelk_gfx_" + std::to_string(getpid()) + "_" + std::to_string(counter++));
    std::filesystem::create_directories(m_dir);
    SetGameRoot(m_dir);
}

TempDir::~TempDir() {
    std::error_code ec;
    std::filesystem::remove_all(m_dir, ec);
}

bool TempDir::Write(const std::string& name, const std::vector<u8>& data) const {
    FILE* f = std::fopen(Path(name).c_str(), "wb");
    if (!f) return false;
    const bool ok = std::fwrite(data.data(), 1, data.size(), f) == data.size();
    return std::fclose(f) == 0 && ok;
}

bool MakePicture(DDSURFACEDATA* sd, const TempDir& dir, const std::string& name, const cImage& img, u32 colorKey,
                 u32 d3dMemoryType) {
    if (!dir.Write(name, EncodeBmp(img, img.hasIndices ? 8 : 24))) return false;
    return DDCreateSurfaceFromFile(sd, name.c_str(), colorKey, g_nBpp, 0, d3dMemoryType, 0, 0, 0, 0, 0) == 0;
}

u32 PixelAt(DDSURFACEDATA* sd, int x, int y) {
    const PixelStore* s = SurfacePixels(sd);
    if (!s || x < 0 || y < 0 || x >= s->width || y >= s->height) return 0xDEADBEEF;
    return s->Row(y)[x];
}

std::vector<u32> VisiblePixels(DDSURFACEDATA* sd) {
    const PixelStore* s = SurfacePixels(sd);
    std::vector<u32> out(s->px.size());
    for (std::size_t i = 0; i < out.size(); ++i) {
        const u32 p = s->px[i];
        if (!lpDTCon && g_nBpp == 8) {
            const PALETTEENTRY& e = g_palDisplay[p & 255];
            out[i] = 0xFF000000u | u32(e.peRed) << 16 | u32(e.peGreen) << 8 | e.peBlue;
        } else {
            out[i] = p | 0xFF000000u;
        }
    }
    return out;
}

::testing::AssertionResult MatchesGolden(const std::string& name, const std::vector<u32>& argb, int w, int h) {
    const std::string golden = std::string(TOBRELK_TEST_DATA_DIR) + "/graphics/" + name + ".png";
    const char* update = std::getenv("TOBRELK_UPDATE_GOLDENS");
    if (update && *update == '1') {
        if (!WritePngFile(golden, argb.data(), w, h)) return ::testing::AssertionFailure() << "cannot write " << golden;
        return ::testing::AssertionSuccess();
    }
    const std::string actual = (std::filesystem::current_path() / ("actual_" + name + ".png")).string();
    std::vector<u32> want;
    int gw = 0, gh = 0;
    if (!ReadPngFile(golden, &want, &gw, &gh)) {
        WritePngFile(actual, argb.data(), w, h);
        return ::testing::AssertionFailure() << "no golden " << golden << "; actual frame written to " << actual;
    }
    if (gw != w || gh != h)
        return ::testing::AssertionFailure() << "golden " << gw << "x" << gh << " but frame " << w << "x" << h;
    std::size_t diff = 0, first = 0;
    for (std::size_t i = 0; i < want.size(); ++i) {
        if ((want[i] | 0xFF000000u) != (argb[i] | 0xFF000000u)) {
            if (!diff) first = i;
            ++diff;
        }
    }
    if (!diff) return ::testing::AssertionSuccess();
    WritePngFile(actual, argb.data(), w, h);
    char pos[64];
    std::snprintf(pos, sizeof pos, "(%zu, %zu)", first % static_cast<std::size_t>(w), first / static_cast<std::size_t>(w));
    return ::testing::AssertionFailure() << diff << " pixels differ from " << golden << ", first at " << pos
                                         << "; actual frame written to " << actual;
}

void RandomisePair(PixelStore& src, PixelStore& dst, u32 seed, bool texelAlpha) {
    cCrtRandom gen(seed);
    const KeyTest isKey = ModeKeyTest();
    auto next = [&] { return static_cast<u32>(gen.Next()) << 17 ^ static_cast<u32>(gen.Next()) << 2 ^ static_cast<u32>(gen.Next()); };
    for (u32& p : src.px) {
        p = next();
        const bool keyed = gen.Next() % 6 == 0;
        if (keyed) p = (p & ~isKey.mask) | isKey.value;
        if (texelAlpha) p = keyed ? p & 0xFFFFFFu : p | 0xFF000000u;
    }
    for (u32& p : dst.px) p = next();
}
