// A stress frame composed on one thread, per personality: two full-screen background layers,
// 600 colour-keyed 32x32 blocks, 300 32x32 sprites (a third mirrored), 50 alpha-blended
// sprites and 20 lines of Japanese text, then presented to memory. Goal: under 2 ms.
#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdio>
#include <filesystem>
#include <unistd.h>

#include "bench/Reference.h"
#include "platform/graphics/Graphics.h"
#include "platform/graphics/Image.h"
#include "platform/graphics/Presenter.h"
#include "platform/system/PathResolver.h"
#include "platform/system/Sjis.h"
#include "platform/ui/Font.h"

namespace {

enum { BG1, BG2, BLOCKS, SPRITES, SPRITESM, ALPHA, kSlots };

struct Scene {
    DDSURFACEDATA pics[kSlots];
    DDPICTUREDEF defs[kSlots];
    Font font;
    std::vector<std::string> lines;
    cMemoryPresenter mem;
    std::filesystem::path dir;
};

bool Save(const std::filesystem::path& p, const std::vector<u8>& data) {
    FILE* f = std::fopen(p.c_str(), "wb");
    if (!f) return false;
    const bool ok = std::fwrite(data.data(), 1, data.size(), f) == data.size();
    return std::fclose(f) == 0 && ok;
}

cImage Picture(int w, int h, u32 (*fn)(int, int)) {
    cImage img;
    img.width = w;
    img.height = h;
    img.argb.resize(static_cast<std::size_t>(w) * h);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) img.argb[static_cast<std::size_t>(y) * w + x] = fn(x, y);
    return img;
}

bool Setup(Scene& s, bool d3d, int bpp) {
    s.dir = std::filesystem::temp_directory_path() / ("tobrelk_bench_" + std::to_string(getpid()));
    std::filesystem::create_directories(s.dir);
    SetGameRoot(s.dir);
    Save(s.dir / "bg1.bmp", EncodeBmp(Picture(640, 480, [](int x, int y) { return 0xFF000000u | u32(x & 255) << 16 | u32(y & 255) << 8 | 64u; }), 24));
    Save(s.dir / "bg2.bmp", EncodeBmp(Picture(640, 480, [](int x, int y) {
        return ((x / 40 + y / 40) & 1) ? 0xFFFF00FFu : 0xFF206020u | u32(x & 63); }), 24));
    Save(s.dir / "blocks.bmp", EncodeBmp(Picture(256, 32, [](int x, int y) {
        return (x % 32 < 2 || y < 2) ? 0xFFFF00FFu : 0xFF000000u | u32(x * 7) << 16 | u32(y * 5) << 8 | 200u; }), 24));
    Save(s.dir / "sprites.bmp", EncodeBmp(Picture(256, 32, [](int x, int y) {
        const int dx = x % 32 - 16, dy = y - 16;
        return dx * dx + dy * dy < 200 ? 0xFF000000u | u32(x) << 16 | 0x80C0u : 0xFFFF00FFu; }), 24));
    const cImage orb = Picture(32, 32, [](int x, int y) {
        const double d = std::hypot(x - 15.5, y - 15.5) / 16.0;
        return d >= 1 ? 0x00FF00FFu : u32(255 * (1 - d)) << 24 | 0xFFE080u; });
    WritePngFile((s.dir / "alpha.png").string(), orb.argb.data(), 32, 32);
    const char* files[kSlots] = {"bg1.bmp", "bg2.bmp", "blocks.bmp", "sprites.bmp", "sprites.bmp", "alpha.png"};
    for (int i = 0; i < kSlots; ++i) {
        s.defs[i] = DDPICTUREDEF{};
        s.defs[i].file = files[i];
        s.defs[i].colorKey = i == BG1 ? 0 : 1;
    }
    s.defs[SPRITESM].mirrorW = 32;
    if (!DDInit(d3d, MainWindowHandle(), 640, 480, bpp, 1, 1, 1, 60, 1, s.pics, s.defs, kSlots, 0)) return false;
    for (int i = 0; i < 256; ++i) g_palCur[i] = PALETTEENTRY{static_cast<u8>(i), static_cast<u8>(255 - i), 128, 1};
    g_palCur[0] = PALETTEENTRY{255, 0, 255, 1};
    DDSetDisplayPalette(g_palCur);
    // The transparent colour from a picture, as the game sets it (at 16 bits in DirectDraw the
    // pictures are keyed by it only then).
    Save(s.dir / "key.bmp", EncodeBmp(Picture(1, 1, [](int, int) { return 0xFFFF00FFu; }), 24));
    if (!DDSetTransmitFromFile("key.bmp")) return false;
    if (bpp == 8) g_dwTransColor = 0;
    const i32 slots[kSlots] = {0, 1, 2, 3, 4, 5};
    if (!DDLoadPictures(s.pics, slots, kSlots)) return false;
    FontCreate(&s.font, Utf8ToSjis("ＭＳ ゴシック").c_str(), 0, 16, 16, 16, 200, nullptr, 0, 0, nullptr, 1);
    for (int i = 0; i < 20; ++i) s.lines.push_back(Utf8ToSjis("ステージ" + std::to_string(i) + "：敵の攻撃をかわして進め！ スコア 12345"));
    SetPresenter(&s.mem);
    return true;
}

void Teardown(Scene& s) {
    SetPresenter(nullptr);
    s.font.Release();
    DDRelease();
    std::error_code ec;
    std::filesystem::remove_all(s.dir, ec);
}

void DrawFrame(Scene& s) {
    DDSURFACEDATA* back = &g_sdBackBuffer;
    DDBlt(back, 0, 0, 640, 480, &s.pics[BG1], 0, 0, 0);
    DDBlt(back, 0, 0, 640, 480, &s.pics[BG2], 0, 0, DDBLT_KEY);
    D3DBeginBatch(1);
    D3DBatchAddLayer(&s.pics[BLOCKS]);
    D3DBatchAddLayer(&s.pics[SPRITES]);
    D3DBatchAddLayer(&s.pics[SPRITESM]);
    D3DBatchAddLayer(&s.pics[ALPHA]);
    for (int i = 0; i < 600; ++i)
        DDBlt(back, (i % 20) * 32, (i / 20) * 16, 32, 32, &s.pics[BLOCKS], (i % 8) * 32, 0, DDBLT_KEY);
    for (int i = 0; i < 300; ++i) {
        DDSURFACEDATA* src = (i % 3 == 0) ? &s.pics[SPRITESM] : &s.pics[SPRITES];
        DDBlt(back, (i * 37) % 608, (i * 53) % 448, 32, 32, src, (i % 8) * 32, 0, DDBLT_KEY);
    }
    for (int i = 0; i < 50; ++i) DDBlt(back, (i * 71) % 608, (i * 29) % 448, 32, 32, &s.pics[ALPHA], 0, 0, DDBLT_KEY);
    D3DFlushBatch();
    for (int i = 0; i < 20; ++i) DDDrawText(&s.font, back, 8, 8 + i * 23, s.lines[static_cast<std::size_t>(i)].c_str(), 1);
    DDEndScene();
    DDPresent(); // the flip without its frame pacing: the benchmark measures the work only
}

void BM_StressFrame(benchmark::State& state, bool d3d, int bpp) {
    Scene s;
    if (!Setup(s, d3d, bpp)) {
        state.SkipWithError("graphics start-up failed");
        Teardown(s);
        return;
    }
    // Against a plain alpha blend of a 640x480 frame (x_blend). Goal: within 1.5x.
    bench_ref::RunAgainst(
        state, "blend",
        [&] {
            DrawFrame(s);
            benchmark::DoNotOptimize(s.mem.FrameCount());
        },
        bench_ref::RefBlend);
    state.SetItemsProcessed(state.iterations());
    Teardown(s);
}

} // namespace

BENCHMARK_CAPTURE(BM_StressFrame, Direct3D32, true, 32)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_StressFrame, DirectDraw32, false, 32)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_StressFrame, DirectDraw8, false, 8)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_StressFrame, Direct3D16, true, 16)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_StressFrame, DirectDraw16, false, 16)->Unit(benchmark::kMillisecond);
