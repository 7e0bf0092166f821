#pragma once
// The stress frame of the graphics frame benchmark, per personality: two full-screen background
// layers, 600 colour-keyed 32x32 blocks, 300 32x32 sprites (a third mirrored), 50 alpha-blended
// sprites and 20 lines of Japanese text, then presented to memory.
//
// The frame is checked by its parts before it is timed (bench/DrawCheck.h): each part, drawn
// alone into a primed back buffer, must change it in every drawing mode. A whole frame that
// changed the back buffer would not do: a part that stopped drawing (say the keyed blocks in
// Direct3D) leaves the others drawing, and the frame reads faster for work it no longer does.
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <span>
#include <string>
#include <unistd.h>
#include <vector>

#include "bench/DrawCheck.h"
#include "platform/graphics/Graphics.h"
#include "platform/graphics/Image.h"
#include "platform/graphics/Presenter.h"
#include "platform/system/PathResolver.h"
#include "platform/system/Sjis.h"
#include "platform/system/WindowMessages.h"
#include "platform/ui/Font.h"

namespace bench_stress {

enum { BG1, BG2, BLOCKS, SPRITES, SPRITESM, ALPHA, kSlots };

struct Scene {
    DDSURFACEDATA pics[kSlots];
    DDPICTUREDEF defs[kSlots];
    Font font;
    std::vector<std::string> lines;
    cMemoryPresenter mem;
    std::filesystem::path dir;
};

// The parts of the frame, in the order it draws them.
enum ePart { kBackground, kKeyedBackground, kBlocks, kSprites, kMirroredSprites, kAlphaSprites, kText, kPartCount };
constexpr const char* kPartName[kPartCount] = {"background",       "keyed background", "blocks", "sprites",
                                               "mirrored sprites", "alpha sprites",    "text"};
constexpr unsigned kAllParts = (1u << kPartCount) - 1;
constexpr unsigned Bit(int part) { return 1u << part; }

inline bool Save(const std::filesystem::path& p, const std::vector<u8>& data) {
    FILE* f = std::fopen(p.c_str(), "wb");
    if (!f) return false;
    const bool ok = std::fwrite(data.data(), 1, data.size(), f) == data.size();
    return std::fclose(f) == 0 && ok;
}

inline cImage Picture(int w, int h, u32 (*fn)(int, int)) {
    cImage img;
    img.width = w;
    img.height = h;
    img.argb.resize(static_cast<std::size_t>(w) * h);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) img.argb[static_cast<std::size_t>(y) * w + x] = fn(x, y);
    return img;
}

inline bool Setup(Scene& s, bool d3d, int bpp) {
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

inline void Teardown(Scene& s) {
    SetPresenter(nullptr);
    s.font.Release();
    DDRelease();
    std::error_code ec;
    std::filesystem::remove_all(s.dir, ec);
}

// The parts asked for (bits of ePart) drawn into the back buffer, each as the whole frame draws
// it (the sprites in Direct3D's batch).
inline void DrawParts(Scene& s, unsigned parts) {
    DDSURFACEDATA* back = &g_sdBackBuffer;
    if (parts & Bit(kBackground)) DDBlt(back, 0, 0, 640, 480, &s.pics[BG1], 0, 0, 0);
    if (parts & Bit(kKeyedBackground)) DDBlt(back, 0, 0, 640, 480, &s.pics[BG2], 0, 0, DDBLT_KEY);
    D3DBeginBatch(1);
    D3DBatchAddLayer(&s.pics[BLOCKS]);
    D3DBatchAddLayer(&s.pics[SPRITES]);
    D3DBatchAddLayer(&s.pics[SPRITESM]);
    D3DBatchAddLayer(&s.pics[ALPHA]);
    if (parts & Bit(kBlocks))
        for (int i = 0; i < 600; ++i)
            DDBlt(back, (i % 20) * 32, (i / 20) * 16, 32, 32, &s.pics[BLOCKS], (i % 8) * 32, 0, DDBLT_KEY);
    for (int i = 0; i < 300; ++i) {
        const bool mirrored = i % 3 == 0;
        if (!(parts & Bit(mirrored ? kMirroredSprites : kSprites))) continue;
        DDBlt(back, (i * 37) % 608, (i * 53) % 448, 32, 32, &s.pics[mirrored ? SPRITESM : SPRITES], (i % 8) * 32, 0,
              DDBLT_KEY);
    }
    if (parts & Bit(kAlphaSprites))
        for (int i = 0; i < 50; ++i) DDBlt(back, (i * 71) % 608, (i * 29) % 448, 32, 32, &s.pics[ALPHA], 0, 0, DDBLT_KEY);
    D3DFlushBatch();
    if (parts & Bit(kText))
        for (int i = 0; i < 20; ++i) DDDrawText(&s.font, back, 8, 8 + i * 23, s.lines[static_cast<std::size_t>(i)].c_str(), 1);
    DDEndScene();
}

// The frame the benchmark times.
inline void DrawFrame(Scene& s) {
    DrawParts(s, kAllParts);
    DDPresent(); // the flip without its frame pacing: the benchmark measures the work only
}

// The back buffer as each part finds it before its check: one flat colour.
inline void PrimeBackBuffer() {
    DDEndScene();
    DDFillSurface(&g_sdBackBuffer, 7);
}

// The parts that have no pixel work in a mode by design: none, every part draws in every mode.
constexpr std::span<const bench_draw::cByDesign> kNoPixelWork{};

// Each part checked in the scene's mode (its name, "D3D32" say): the failures, "; " between
// them ("" when every part draws).
inline std::string CheckParts(Scene& s, const std::string& mode) {
    std::string failures;
    for (int part = 0; part < kPartCount; ++part) {
        const bench_draw::eDraws found = bench_draw::WhatItDraws(PrimeBackBuffer, [&] { DrawParts(s, Bit(part)); });
        const bench_draw::cVerdict v =
            bench_draw::Judge(std::string("StressFrame ") + kPartName[part], mode, found, kNoPixelWork);
        if (!v.failure.empty()) failures += (failures.empty() ? "" : "; ") + v.failure;
    }
    return failures;
}

} // namespace bench_stress
