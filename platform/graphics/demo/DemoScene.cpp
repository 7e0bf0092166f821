#include "platform/graphics/demo/DemoScene.h"

#include <cmath>
#include <cstdio>
#include <filesystem>
#include <string>
#include <utility>

#include "platform/graphics/Graphics.h"
#include "platform/graphics/Image.h"
#include "platform/graphics/Presenter.h"
#include "platform/system/PathResolver.h"
#include "platform/system/Sjis.h"
#include "platform/ui/Font.h"

namespace {

constexpr int kSlots = 10;
DDSURFACEDATA g_pics[kSlots];
DDPICTUREDEF g_defs[kSlots];
Font g_fonts[3];
DDSURFACEDATA g_digits[3];
DDPICTUREDEF g_digitDefs[3];

enum Slot { BG, CHIP, CHIPM, SPRITE, PHOTO, ICONS, FRAME, BMPFONT, WORK, SYSTEX };

u32 Rgb(int r, int g, int b) { return 0xFF000000u | u32(r & 255) << 16 | u32(g & 255) << 8 | u32(b & 255); }

std::array<u32, 256> DemoPalette() {
    std::array<u32, 256> p{};
    p[0] = 0xFF00FF;
    const u32 fixed[] = {0x000000, 0xFFFFFF, 0xE02020, 0x20C040, 0x2040E0, 0xF0E040, 0x40E0E0, 0x808080, 0x000060};
    for (int i = 0; i < 9; ++i) p[1 + i] = fixed[i];
    for (int i = 10; i < 256; ++i) p[i] = u32((i * 53) & 255) << 16 | u32((i * 97) & 255) << 8 | u32((i * 29) & 255);
    for (int i = 1; i < 256; ++i)
        if (p[i] == 0xFF00FF) p[i] = 0xFE00FF;
    return p;
}

bool Save(const std::string& path, const std::vector<u8>& data) {
    FILE* f = std::fopen(path.c_str(), "wb");
    if (!f) return false;
    const bool ok = std::fwrite(data.data(), 1, data.size(), f) == data.size();
    return std::fclose(f) == 0 && ok;
}

cImage Indexed(int w, int h, const std::array<u32, 256>& pal) {
    cImage img;
    img.width = w;
    img.height = h;
    img.hasIndices = true;
    img.indices.assign(static_cast<std::size_t>(w) * h, 0);
    img.argb.assign(static_cast<std::size_t>(w) * h, 0);
    img.colorTable = pal;
    img.colorCount = 256;
    return img;
}

cImage Rgb24(int w, int h) {
    cImage img;
    img.width = w;
    img.height = h;
    img.argb.assign(static_cast<std::size_t>(w) * h, 0xFFFF00FF);
    return img;
}

std::string Sjis(const char* utf8) { return Utf8ToSjis(utf8); }

} // namespace

bool WriteDemoPictures(const std::string& dir) {
    std::error_code ec;
    std::filesystem::create_directories(dir, ec);
    const auto pal = DemoPalette();
    bool ok = true;
    {   // Palette file: rows 0..7 index 0 (the key), rows 8..23 the 16 x 16 swatch.
        cImage img = Indexed(16, 24, pal);
        for (int y = 8; y < 24; ++y)
            for (int x = 0; x < 16; ++x) img.indices[y * 16 + x] = static_cast<u8>((y - 8) * 16 + x);
        ok &= Save(dir + "/pal.bmp", EncodeBmp(img, 8));
    }
    {   // Background: a gradient with a grid.
        cImage img = Rgb24(640, 480);
        for (int y = 0; y < 480; ++y)
            for (int x = 0; x < 640; ++x) {
                const bool grid = x % 32 == 0 || y % 32 == 0;
                img.argb[y * 640 + x] = grid ? Rgb(40, 40, 60) : Rgb(x * 255 / 639, y * 255 / 479, 96);
            }
        ok &= Save(dir + "/bg.bmp", EncodeBmp(img, 24));
    }
    {   // Four 32x32 chips around the key colour, each with a bar on its left (shows mirroring).
        cImage img = Indexed(128, 32, pal);
        for (int k = 0; k < 4; ++k)
            for (int y = 0; y < 32; ++y)
                for (int x = 0; x < 32; ++x) {
                    const int dx = x - 16, dy = y - 16;
                    u8 v = 0;
                    if (std::abs(dx) + std::abs(dy) < 14) v = static_cast<u8>(3 + k);
                    if (x >= 2 && x < 6 && y >= 4 && y < 28) v = 1;
                    if (x == 16 && y < 4) v = 2;
                    img.indices[y * 128 + k * 32 + x] = v;
                }
        ok &= Save(dir + "/chip.bmp", EncodeBmp(img, 8));
    }
    {   // An orb with soft alpha; fully transparent pixels hold the key colour for DirectDraw.
        cImage img = Rgb24(64, 32);
        for (int y = 0; y < 32; ++y)
            for (int x = 0; x < 64; ++x) {
                const double d = std::hypot((x - 31.5) / 32.0, (y - 15.5) / 16.0);
                const int a = d >= 1.0 ? 0 : static_cast<int>(255 * (1.0 - d * d));
                img.argb[y * 64 + x] = a == 0 ? 0x00FF00FFu : (u32(a) << 24 | u32(255) << 16 | u32(200) << 8 | 64u);
            }
        ok &= WritePngFile(dir + "/sprite.png", img.argb.data(), 64, 32);
    }
    {   // A photo-like JPEG.
        cImage img = Rgb24(96, 64);
        for (int y = 0; y < 64; ++y)
            for (int x = 0; x < 96; ++x)
                img.argb[y * 96 + x] = ((x / 8 + y / 8) & 1) ? Rgb(200, 80 + y * 2, 40) : Rgb(40, 90, 160 + x);
        ok &= Save(dir + "/photo.jpg", EncodeJpeg(img, 90));
    }
    {   // Icons for 'a'..'z', 16x16 each.
        cImage img = Rgb24(26 * 16, 16);
        for (int k = 0; k < 26; ++k)
            for (int y = 3; y < 13; ++y)
                for (int x = 3; x < 13; ++x)
                    if (std::abs(x - 8) + std::abs(y - 8) < 6 + k % 3)
                        img.argb[y * 416 + k * 16 + x] = Rgb(40 + k * 8, 220 - k * 6, 60 + (k % 3) * 80);
        ok &= Save(dir + "/icons.bmp", EncodeBmp(img, 24));
    }
    {   // Text-box background.
        cImage img = Rgb24(200, 100);
        for (int y = 0; y < 100; ++y)
            for (int x = 0; x < 200; ++x) img.argb[y * 200 + x] = Rgb(16, 24 + y / 2, 80 + x / 4);
        ok &= Save(dir + "/frame.bmp", EncodeBmp(img, 24));
    }
    {   // An 8x8 character sheet: each cell shows its code as dots.
        cImage img = Indexed(128, 128, pal);
        for (int c = 0; c < 256; ++c)
            for (int bit = 0; bit < 8; ++bit) {
                if (!((c >> bit) & 1)) continue;
                const int x = (c % 16) * 8 + (bit % 4) * 2, y = (c / 16) * 8 + (bit / 4) * 4 + 1;
                img.indices[y * 128 + x] = img.indices[y * 128 + x + 1] = img.indices[(y + 1) * 128 + x] = 2;
                img.indices[(y + 1) * 128 + x + 1] = 2;
            }
        ok &= Save(dir + "/bmpfont.bmp", EncodeBmp(img, 8));
    }
    return ok;
}

bool DemoBegin(const DemoConfig& config) {
    SetGameRoot(config.pictureDir);
    for (auto& d : g_defs) d = DDPICTUREDEF{};
    auto def = [](Slot s, std::string file, u32 key) {
        g_defs[s].file = std::move(file);
        g_defs[s].colorKey = key;
    };
    def(BG, "bg.bmp", 0);
    def(CHIP, "chip.bmp", 1);
    def(CHIPM, "CHIP.BMP", 1); // found whatever the letter case
    g_defs[CHIPM].mirrorW = 32;
    g_defs[CHIPM].noOwnTexture = 1;
    def(SPRITE, "sprite.png", 1);
    def(PHOTO, "photo.jpg", 0);
    def(ICONS, "icons.bmp", 1);
    def(FRAME, "frame.bmp", 0);
    def(BMPFONT, "bmpfont.bmp", 1);
    def(WORK, "E", 1);
    g_defs[WORK].width = 96;
    g_defs[WORK].height = 64;
    def(SYSTEX, "E", 0);
    g_defs[SYSTEX].width = 64;
    g_defs[SYSTEX].height = 64;
    g_defs[SYSTEX].d3dMemoryType = DTMEMORYTYPE_SYSTEM;

    if (!DDInit(config.direct3D, MainWindowHandle(), 640, 480, config.bpp, 1, 1, 1, 60, 1, g_pics, g_defs, kSlots, 0))
        return false;
    g_pics[CHIPM].alias = &g_pics[CHIP];
    if (!DDLoadPaletteFromFile(&g_palCur, "pal.bmp", 1)) return false;
    g_palBase = g_palCur;
    if (!DDSetTransmitFromFile("pal.bmp")) return false;
    i32 slots[kSlots];
    for (int i = 0; i < kSlots; ++i) slots[i] = i;
    if (!DDLoadPictures(g_pics, slots, kSlots)) return false;

    const char* face = "ＭＳ ゴシック";
    const std::string sjisFace = Sjis(face);
    // One cell per character, half- or full-width.
    FontCreate(&g_fonts[0], sjisFace.c_str(), 0, 9, 10, 10, 2, &g_pics[FRAME], 1, 8, nullptr, 1);
    FontCreate(&g_fonts[1], sjisFace.c_str(), 0, 16, 16, 16, 6, &g_pics[FRAME], 2, 2, &g_pics[ICONS], 1);
    FontCreate(&g_fonts[2], sjisFace.c_str(), 0, 30, 32, 32, 7, &g_pics[FRAME], 1, 8, nullptr, 0);
    for (auto& d : g_digitDefs) {
        d = DDPICTUREDEF{};
        d.colorKey = 1;
    }
    FontCreateDigits(g_digits, g_digitDefs, 3, g_fonts, nullptr);
    return true;
}

void DemoDrawFrame() {
    DDSURFACEDATA* back = &g_sdBackBuffer;
    DDSURFACEDATA* chip = &g_pics[CHIP];
    using L = DemoLayout;
    DDBlt(back, 0, 0, 640, 480, &g_pics[BG], 0, 0, 0);
    for (int k = 0; k < 4; ++k) DDBlt(back, L::kKeyedX + 40 * k, L::kKeyedY, 32, 32, chip, 32 * k, 0, DDBLT_KEY);
    DDBlt(back, L::kOpaqueX, L::kOpaqueY, 32, 32, chip, 0, 0, 0);
    D3DBltQuad(back, L::kStretchX, L::kStretchY, 64, 64, chip, 32, 0, 32, 32, DDBLT_KEY);
    D3DBltQuad(back, L::kMirrorX, L::kMirrorY, 32, 32, chip, 64, 0, -32, 32, DDBLT_KEY);
    DDBlt(back, L::kMirrorCellX, L::kMirrorCellY, 32, 32, &g_pics[CHIPM], 32, 0, DDBLT_KEY);
    DDBlt(back, L::kAlphaX, L::kAlphaY, 64, 32, &g_pics[SPRITE], 0, 0, DDBLT_KEY);
    const BLTEXTRA tint{0xFFFF8080, D3DTOP_MODULATE};
    DDBltEx(back, L::kTintX, L::kTintY, 32, 32, chip, 0, 0, DDBLT_KEY, &tint);

    // Clipped at every edge.
    DDBlt(back, -16, 200, 32, 32, chip, 0, 0, DDBLT_KEY);
    DDBlt(back, 624, 200, 32, 32, chip, 32, 0, DDBLT_KEY);
    DDBlt(back, 600, -16, 32, 32, chip, 64, 0, DDBLT_KEY);
    DDBlt(back, 300, 464, 32, 32, chip, 96, 0, DDBLT_KEY);
    D3DBltQuad(back, 600, 100, 64, 64, chip, 0, 0, 32, 32, DDBLT_KEY);

    // Fills, pixels and circles.
    DDFillRect(back, L::kFillX, L::kFillY, 40, 20, 3);
    DDFillRect(back, L::kFillX + 44, L::kFillY, 40, 20, 4);
    DDFillRect(back, L::kFillX + 88, L::kFillY, 40, 20, 5);
    DDFillRect(back, -10, L::kFillY + 24, 40, 10, 6);
    D3DFillRect(back, 140, L::kFillY, 60, 40, lpDTCon ? 0x8000FF00u : PalNumToRGB(7));
    DDFillRect(back, 630, L::kFillY, 40, 20, 2);
    for (int i = 0; i < 20; ++i) DDSetPixel(back, 210 + i * 2, 90, 2);
    DDDrawCircle(back, 270, 100, 18, 6);
    DDDrawCircle(back, 300, 100, 1, 2);

    // A render-target work surface and a system texture (the CPU path).
    DDSURFACEDATA* work = &g_pics[WORK];
    DDFillSurface(work, 0);
    DDBlt(work, 0, 0, 32, 32, chip, 0, 0, DDBLT_KEY);
    DDFillRect(work, 40, 10, 30, 30, 5);
    DDBlt(back, 330, 80, 96, 64, work, 0, 0, DDBLT_KEY);
    DDSURFACEDATA* sys = &g_pics[SYSTEX];
    DDBlt(sys, 0, 0, 64, 64, &g_pics[PHOTO], 0, 0, 0);
    DDFillRect(sys, 0, 0, 10, 64, 3);
    DDBlt(back, 440, 80, 64, 64, sys, 0, 0, 0);
    DDBlt(back, 520, 80, 96, 64, &g_pics[PHOTO], 0, 0, 0);

    // A layered batch: the sprites' layer draws over the chips' whatever the order of calls.
    D3DBeginBatch(1);
    D3DBatchAddLayer(chip);
    D3DBatchAddLayer(&g_pics[SPRITE]);
    for (int i = 0; i < 8; ++i) {
        DDBlt(back, 8 + i * 28, 156, 64, 32, &g_pics[SPRITE], 0, 0, DDBLT_KEY);
        DDBlt(back, 8 + i * 28, 156, 32, 32, chip, 32 * (i % 4), 0, DDBLT_KEY);
    }
    D3DFlushBatch();
    D3DBeginFillBatch();
    for (int i = 0; i < 6; ++i) DDFillRect(back, 280 + i * 12, 160, 8, 24, static_cast<u32>(3 + i));
    D3DFlushFillBatch();

    // Text: a framed box, three sizes of Japanese, icons, formatted text, digits, a bitmap font.
    const std::string box = Sjis("箱の中の文字");
    DDDrawTextBox(&g_fonts[1], back, 16, 216, 0, 0, "%s %d", box.c_str(), 42);
    const std::string small = Sjis("日本語テキスト：小さい文字 0123 ABC");
    const std::string middle = Sjis("ドラゴンの剣 ｱｲｳｴｵ abc Ｐ");
    const std::string large = Sjis("大きな文字 Ａ１");
    DDDrawText(&g_fonts[0], back, 8, L::kTextY, small.c_str(), 0);
    DDDrawText(&g_fonts[1], back, 8, L::kTextY + 16, middle.c_str(), 0);
    DDDrawText(&g_fonts[2], back, 8, L::kTextY + 40, large.c_str(), 0);
    const std::string left = Sjis("残り");
    DDDrawTextF(&g_fonts[1], back, 8, 400, "Score %05d %s%d", 1234, left.c_str(), 3);
    DDBlt(back, 400, 380, 160, 16, &g_digits[1], 0, 0, DDBLT_KEY);
    DDDrawBmpText(back, 400, 410, 8, 8, &g_pics[BMPFONT], "AB\nC\xB1");
}

void DemoEnd() {
    for (auto& f : g_fonts) f.Release();
    for (auto& d : g_digits) DDReleaseSurface(&d);
    DDRelease();
    for (auto& p : g_pics) p = DDSURFACEDATA{};
}
