// Fonts and text: the CP932 table, glyph sheets, text drawing in both personalities, boxes,
// digits, bitmap text and the bounded formatting.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>
#include <unistd.h>

#include "platform/graphics/Graphics.h"
#include "platform/graphics/Image.h"
#include "platform/graphics/Raster.h"
#include "platform/system/PathResolver.h"
#include "platform/system/Sjis.h"
#include "platform/ui/Font.h"

namespace {

struct Mode {
    explicit Mode(bool d3d, int bpp = 32) {
        DDTestSetDisplayRefresh(60);
        for (int i = 0; i < 256; ++i) g_palCur[i] = PALETTEENTRY{static_cast<u8>(i), static_cast<u8>(i), static_cast<u8>(i), 1};
        g_palCur[0] = PALETTEENTRY{255, 0, 255, 1};
        g_palCur[7] = PALETTEENTRY{255, 255, 255, 1};
        ok = DDInit(d3d, MainWindowHandle(), 640, 480, bpp, 1, 1, 1, 60, 1, nullptr, nullptr, 0, 0);
        DDSetTransmit(255, 0, 255);
        if (bpp == 8) {
            g_dwTransColor = 0;
            DDSetDisplayPalette(g_palCur);
        }
    }
    ~Mode() {
        DDRelease();
        DDTestSetDisplayRefresh(0);
    }
    bool ok = false;
};

std::string S(const char* utf8) { return Utf8ToSjis(utf8); }

u32 Px(DDSURFACEDATA* sd, int x, int y) { return SurfacePixels(sd)->Row(y)[x]; }

int CountColour(DDSURFACEDATA* sd, int x0, int y0, int x1, int y1, u32 rgb) {
    int n = 0;
    for (int y = y0; y < y1; ++y)
        for (int x = x0; x < x1; ++x) n += (Px(sd, x, y) & 0xFFFFFF) == rgb;
    return n;
}

void MakeFont(Font* f, int height, int cell, u32 fast, DDSURFACEDATA* frame = nullptr, DDSURFACEDATA* icon = nullptr) {
    FontCreate(f, S("ＭＳ ゴシック").c_str(), 0, height, cell, cell, 7, frame, 1, 3, icon, fast);
}

} // namespace

TEST(Cp932, TableFollowsWindowsNotShiftJis) {
    EXPECT_EQ(Cp932ToUnicode(0x5C, 0), 0x5Cu) << "backslash, not yen";
    EXPECT_EQ(Cp932ToUnicode(0x7E, 0), 0x7Eu);
    EXPECT_EQ(Cp932ToUnicode(0x81, 0x60), 0xFF5Eu);
    EXPECT_EQ(Cp932ToUnicode(0x87, 0x40), 0x2460u) << "NEC extension ①";
    EXPECT_EQ(Cp932ToUnicode(0xFB, 0xFC), 0x9AD9u) << "IBM extension 髙";
    EXPECT_EQ(Cp932ToUnicode(0xB1, 0), 0xFF71u) << "half-width katakana";
    EXPECT_EQ(Cp932ToUnicode(0x81, 0), 0u) << "a lone lead byte is no character";
    EXPECT_EQ(Cp932ToUnicode(0x85, 0x40), 0u) << "an unassigned pair";
}

// The table is made a row at a time as characters are asked for, from several threads at
// once: every pair of bytes comes out as iconv's CP932 gives it, whatever row was made first.
TEST(Cp932, RowsMadeOnDemandFromSeveralThreadsMatchIconvForEveryPair) {
    auto expected = [](int lead, int trail) -> u32 {
        std::string in;
        if (trail == 0) {
            if (lead < 0x20 || lead == 0x7F || lead == 0x80 || lead == 0xA0 || lead >= 0xFD || IsSjisLead(static_cast<u8>(lead)))
                return 0;
            in.assign(1, static_cast<char>(lead));
        } else {
            if (!IsSjisLead(static_cast<u8>(lead)) || !IsSjisTrail(static_cast<u8>(trail))) return 0;
            in = {static_cast<char>(lead), static_cast<char>(trail)};
        }
        const std::string u = SjisToUtf8(in);
        if (u == "?" && in != "?") return 0;
        // One character's UTF-8 (iconv's answer for an unmapped pair may be longer: no character).
        const auto* b = reinterpret_cast<const unsigned char*>(u.data());
        if (u.size() == 1 && b[0] < 0x80) return b[0];
        if (u.size() == 2 && (b[0] & 0xE0) == 0xC0) return (b[0] & 0x1Fu) << 6 | (b[1] & 0x3Fu);
        if (u.size() == 3 && (b[0] & 0xF0) == 0xE0) return (b[0] & 0x0Fu) << 12 | (b[1] & 0x3Fu) << 6 | (b[2] & 0x3Fu);
        if (u.size() == 4 && (b[0] & 0xF8) == 0xF0)
            return (b[0] & 0x07u) << 18 | (b[1] & 0x3Fu) << 12 | (b[2] & 0x3Fu) << 6 | (b[3] & 0x3Fu);
        return 0;
    };
    // Four threads walk the leads in different orders, so rows are first asked for by any of them.
    std::vector<std::vector<u32>> got(4, std::vector<u32>(65536));
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t)
        threads.emplace_back([&, t] {
            for (int i = 0; i < 256; ++i) {
                const int lead = (i * (2 * t + 1) + 61 * t) & 255;
                for (int trail = 0; trail < 256; ++trail)
                    got[static_cast<std::size_t>(t)][static_cast<std::size_t>(lead << 8 | trail)] =
                        Cp932ToUnicode(static_cast<u8>(lead), static_cast<u8>(trail));
            }
        });
    for (auto& th : threads) th.join();
    int mismatches = 0;
    for (int lead = 0; lead < 256; ++lead)
        for (int trail = 0; trail < 256; ++trail) {
            const u32 want = expected(lead, trail);
            for (const auto& g : got)
                if (g[static_cast<std::size_t>(lead << 8 | trail)] != want && ++mismatches < 5)
                    ADD_FAILURE() << std::hex << lead << " " << trail << ": " << g[static_cast<std::size_t>(lead << 8 | trail)]
                                  << " instead of " << want;
        }
    EXPECT_EQ(mismatches, 0);
}

TEST(Font, FilePathAndRelease) {
    EXPECT_NE(FontFilePath("ＭＳ Ｐゴシック").find("ipagp.ttf"), std::string::npos);
    setenv("TOBRELK_FONT", "/nonexistent/font.ttf", 1);
    EXPECT_EQ(FontFilePath("x"), "/nonexistent/font.ttf");
    {
        Mode m(true);
        Font f;
        MakeFont(&f, 16, 16, 1); // a missing font file: reported, text draws nothing, no crash
        EXPECT_EQ(f.face, nullptr);
        DDDrawText(&f, &g_sdBackBuffer, 0, 0, S("漢字").c_str(), 0);
        f.Release();
    }
    unsetenv("TOBRELK_FONT");
    Mode m(false);
    Font f;
    MakeFont(&f, 16, 16, 1);
    ASSERT_NE(f.face, nullptr);
    EXPECT_EQ(FontList().back(), &f);
    f.Release();
    f.Release();
    EXPECT_EQ(f.m_lpFastFont_Half, nullptr);
    EXPECT_EQ(SurfacePixels(&f.work), nullptr);
    EXPECT_TRUE(FontList().empty() || FontList().back() != &f);
}

TEST(Font, SheetSizesPrefillAndOnDemandGlyphs) {
    {
        Mode m(true);
        Font f;
        MakeFont(&f, 16, 16, 1);
        ASSERT_NE(f.m_lpFastFont_FullAdd, nullptr);
        EXPECT_EQ(f.m_lpFastFont_FullAdd->columns, 32);
        EXPECT_EQ(f.m_lpFastFont_FullAdd->rows, 32);
        EXPECT_EQ(f.m_lpFastFont_Half->columns, 16);
        const std::string list = S(kFullSheetPrefill);
        EXPECT_EQ(f.m_lpFastFont_FullAdd->count, static_cast<i32>(list.size() / 2));
        const std::string to = S("ト"), dot = S("ド");
        EXPECT_NE(f.m_lpFastFont_FullAdd->Find(to.c_str()), nullptr);
        EXPECT_EQ(f.m_lpFastFont_FullAdd->Find(dot.c_str()), nullptr) << "ト is listed twice, ド never";
        const i32 before = f.m_lpFastFont_FullAdd->count;
        DDDrawText(&f, &g_sdBackBuffer, 0, 0, dot.c_str(), 0);
        EXPECT_EQ(f.m_lpFastFont_FullAdd->count, before + 1);
        DDDrawText(&f, &g_sdBackBuffer, 0, 20, dot.c_str(), 0);
        EXPECT_EQ(f.m_lpFastFont_FullAdd->count, before + 1) << "added once";
        f.Release();
    }
    {
        Mode m(false);
        Font f;
        MakeFont(&f, 16, 16, 1);
        EXPECT_EQ(f.m_lpFastFont_FullAdd->columns, 32);
        EXPECT_EQ(f.m_lpFastFont_FullAdd->rows, 30);
        // A full sheet draws further characters directly.
        FastFont* full = f.m_lpFastFont_FullAdd.get();
        while (full->AddGlyph(S("あ").c_str())) {}
        EXPECT_EQ(full->count, full->capacity);
        DDDrawText(&f, &g_sdBackBuffer, 0, 0, S("髙").c_str(), 0);
        EXPECT_GT(CountColour(&g_sdBackBuffer, 0, 0, 16, 16, 0xFFFFFF), 10);
        f.Release();
    }
}

TEST(Font, SheetFindsTheFirstGlyphOfEachCharacter) {
    Mode m(true);
    Font f;
    MakeFont(&f, 16, 16, 1);
    FastFont* full = f.m_lpFastFont_FullAdd.get();
    // The first glyph of each character as a walk over the list finds it.
    const auto firstOf = [&](const std::string& c) -> const FASTFONTGLYPH* {
        for (const auto& e : full->glyphs)
            if (e.text[0] == c[0] && e.text[1] == c[1]) return &e;
        return nullptr;
    };
    const std::string a = S("ア"), b = S("イ"), none = "\xFC\xFC"; // no character
    ASSERT_TRUE(full->AddGlyph(a.c_str()));
    EXPECT_EQ(full->Find(a.c_str()), firstOf(a));
    // Glyphs added after a look-up are found, and a second glyph of a character is not taken.
    ASSERT_TRUE(full->AddGlyph(b.c_str()));
    ASSERT_TRUE(full->AddGlyph(a.c_str()));
    EXPECT_EQ(full->Find(b.c_str()), firstOf(b));
    EXPECT_EQ(full->Find(a.c_str()), firstOf(a));
    EXPECT_EQ(full->Find(none.c_str()), nullptr);
    // A list changed from outside is looked at again, not through stale positions.
    full->glyphs.erase(full->glyphs.begin(), full->glyphs.end() - 2);
    EXPECT_EQ(full->Find(b.c_str()), firstOf(b));
    EXPECT_EQ(full->Find(a.c_str()), firstOf(a));
    full->glyphs.insert(full->glyphs.begin(), full->glyphs.back());
    EXPECT_EQ(full->Find(a.c_str()), &full->glyphs.front());
    f.Release();
    // Through the frame: a line whose characters enter the sheet as it is drawn, then drawn
    // again from the sheet, gives the same pixels both times.
    Font g;
    MakeFont(&g, 16, 16, 1);
    const std::string line = S("カキクケコカキクケコサシ");
    D3DFillRect(&g_sdBackBuffer, 0, 0, 640, 480, 0xFF000000);
    DDDrawText(&g, &g_sdBackBuffer, 0, 0, line.c_str(), 0);
    DDDrawText(&g, &g_sdBackBuffer, 0, 20, line.c_str(), 0);
    EXPECT_GT(CountColour(&g_sdBackBuffer, 0, 0, 192, 16, 0xFFFFFF), 50);
    for (int y = 0; y < 16; ++y)
        for (int x = 0; x < 192; ++x) ASSERT_EQ(Px(&g_sdBackBuffer, x, y), Px(&g_sdBackBuffer, x, y + 20)) << x << "," << y;
    g.Release();
}

TEST(Font, HalfSheetCellsFollowTheByteValue) {
    Mode m(false);
    Font f;
    MakeFont(&f, 16, 16, 1);
    FastFont* half = f.m_lpFastFont_Half.get();
    // 0xB1 (ｱ) lies in cell 177: column 1, row 11; the byte after a lead byte is its own cell.
    EXPECT_GT(CountColour(&half->sheet, 16, 11 * 16, 32, 12 * 16, 0xFFFFFF), 5);
    EXPECT_EQ(CountColour(&half->sheet, 1 * 16, 8 * 16, 2 * 16, 9 * 16, 0xFFFFFF), 0) << "0x81 alone draws nothing";
    // Drawn from the sheet: the same pixels as drawn without it.
    Font slow;
    MakeFont(&slow, 16, 16, 0);
    DDFillSurface(&g_sdBackBuffer, 1);
    DDDrawText(&f, &g_sdBackBuffer, 0, 0, "A\xB1", 0);
    DDDrawText(&slow, &g_sdBackBuffer, 0, 20, "A\xB1", 0);
    for (int y = 0; y < 16; ++y)
        for (int x = 0; x < 32; ++x) ASSERT_EQ(Px(&g_sdBackBuffer, x, y), Px(&g_sdBackBuffer, x, y + 20)) << x << "," << y;
    f.Release();
    slow.Release();
}

TEST(Font, MonochromeInDirectDrawAntiAliasedInDirect3D) {
    const std::string text = S("あA");
    {
        Mode m(false);
        Font f;
        MakeFont(&f, 16, 16, 0);
        DDFillSurface(&g_sdBackBuffer, 1);
        DDDrawText(&f, &g_sdBackBuffer, 10, 10, text.c_str(), 0);
        int white = 0, other = 0;
        for (int y = 0; y < 40; ++y)
            for (int x = 0; x < 60; ++x) {
                const u32 p = Px(&g_sdBackBuffer, x, y) & 0xFFFFFF;
                white += p == 0xFFFFFF;
                other += p != 0xFFFFFF && p != 0x010101;
            }
        EXPECT_GT(white, 20);
        EXPECT_EQ(other, 0) << "no grey fringe in DirectDraw";
        f.Release();
    }
    {
        Mode m(true);
        Font f;
        MakeFont(&f, 16, 16, 0);
        D3DFillRect(&g_sdBackBuffer, 0, 0, 640, 480, 0xFF000000);
        DDDrawText(&f, &g_sdBackBuffer, 10, 10, text.c_str(), 0);
        int grey = 0;
        for (int y = 0; y < 40; ++y)
            for (int x = 0; x < 60; ++x) {
                const u32 p = Px(&g_sdBackBuffer, x, y) & 0xFF;
                grey += p != 0 && p != 0xFF;
            }
        EXPECT_GT(grey, 5) << "anti-aliased edges on a render target";
        // A system texture takes the work surface and a keyed copy: anti-aliased glyphs as on
        // screen, the same with glyph sheets (the text is not lost on the way).
        Font fast;
        MakeFont(&fast, 16, 16, 1);
        DDSURFACEDATA sys, sys2;
        ASSERT_TRUE(DDCreateSurface(&sys, 64, 32, 0, 1, DTMEMORYTYPE_SYSTEM));
        ASSERT_TRUE(DDCreateSurface(&sys2, 64, 32, 0, 1, DTMEMORYTYPE_SYSTEM));
        DDDrawText(&f, &sys, 0, 0, text.c_str(), 0);
        DDDrawText(&fast, &sys2, 0, 0, text.c_str(), 0);
        int solid = 0, partial = 0;
        for (int y = 0; y < 32; ++y)
            for (int x = 0; x < 64; ++x) {
                const u32 p = Px(&sys, x, y);
                solid += (p >> 24) >= 0x80 && (p & 0xFFFFFF) == 0xFFFFFF;
                partial += p >> 24 != 0 && p >> 24 != 0xFF;
                ASSERT_EQ(p, Px(&sys2, x, y)) << x << "," << y;
            }
        EXPECT_GT(solid, 20);
        EXPECT_GT(partial, 5);
        fast.Release();
        f.Release();
    }
}

// The definition's width shapes DirectDraw's font (the average character width, half a cell in
// this face); Direct3D's font ignores it.
TEST(Font, WidthStretchesDirectDrawGlyphsOnly) {
    auto inkWidth = [](bool d3d, int width) {
        Mode m(d3d);
        Font f;
        FontCreate(&f, S("ＭＳ ゴシック").c_str(), width, 16, 32, 16, 7, nullptr, 0, 0, nullptr, 0);
        if (d3d) D3DFillRect(&g_sdBackBuffer, 0, 0, 640, 480, 0xFF000000);
        else DDFillSurface(&g_sdBackBuffer, 1);
        DDDrawText(&f, &g_sdBackBuffer, 0, 0, S("田").c_str(), 0);
        int x0 = 640, x1 = -1;
        for (int y = 0; y < 16; ++y)
            for (int x = 0; x < 40; ++x)
                if ((Px(&g_sdBackBuffer, x, y) & 0xFF) > 0x80) {
                    x0 = std::min(x0, x);
                    x1 = std::max(x1, x);
                }
        f.Release();
        return x1 - x0 + 1;
    };
    const int normal = inkWidth(false, 0);
    EXPECT_NEAR(inkWidth(false, 8), normal, 1) << "about half the height is the face's own average width";
    EXPECT_NEAR(inkWidth(false, 16), 2 * normal, 2);
    EXPECT_NEAR(inkWidth(false, 4), normal / 2, 1);
    EXPECT_EQ(inkWidth(true, 16), inkWidth(true, 0));
}

TEST(Font, EightBitModeDrawsTheColourIndex) {
    Mode m(false, 8);
    Font f;
    MakeFont(&f, 16, 16, 1);
    DDFillSurface(&g_sdBackBuffer, 1);
    DDDrawText(&f, &g_sdBackBuffer, 0, 0, S("字").c_str(), 0);
    int seven = 0;
    for (int y = 0; y < 16; ++y)
        for (int x = 0; x < 16; ++x) {
            const u32 p = Px(&g_sdBackBuffer, x, y);
            ASSERT_TRUE(p == 1 || p == 7) << p;
            seven += p == 7;
        }
    EXPECT_GT(seven, 20);
    f.Release();
}

TEST(Font, FormattedTextIsCutAtACharacterBoundary) {
    Mode m(false);
    Font f;
    MakeFont(&f, 9, 10, 0);
    // 600 bytes of double-byte characters through the 560-byte buffer: 279 whole characters.
    std::string longText;
    for (int i = 0; i < 300; ++i) longText += S("字");
    DDDrawTextF(&f, &g_sdBackBuffer, 0, 0, "%s", longText.c_str());
    DDDrawTextBox(&f, &g_sdBackBuffer, 0, 0, 0, 0, "%s%s", longText.c_str(), longText.c_str());
    EXPECT_EQ(CutSjis(longText, 559).size(), 558u);
    // What is drawn ends where the buffer does. Lines of 30 characters and a line feed are 61
    // bytes: 559 bytes are 9 lines and 5 characters, 1023 bytes 16 lines and 23 characters.
    std::string line;
    for (int i = 0; i < 30; ++i) line += S("字");
    line += "\n";
    std::string lines;
    for (int i = 0; i < 20; ++i) lines += line;
    auto lit = [](int col, int row) { return CountColour(&g_sdBackBuffer, col * 10, row * 10, col * 10 + 10, row * 10 + 10, 0xFFFFFF); };
    DDFillSurface(&g_sdBackBuffer, 1);
    DDDrawTextF(&f, &g_sdBackBuffer, 0, 0, "%s", lines.c_str());
    EXPECT_GT(lit(29, 8), 0);
    EXPECT_GT(lit(4, 9), 0);
    EXPECT_EQ(lit(5, 9), 0) << "past the 560-byte buffer";
    EXPECT_EQ(lit(0, 10), 0);
    DDFillSurface(&g_sdBackBuffer, 1);
    DDDrawTextBox(&f, &g_sdBackBuffer, 0, 0, 0, 0, "%s", lines.c_str());
    EXPECT_GT(lit(22, 16), 0);
    EXPECT_EQ(lit(23, 16), 0) << "past the 1024-byte buffer";
    EXPECT_EQ(lit(0, 17), 0);
    f.Release();
}

TEST(Font, BoxesDigitsIconsAndBitmapText) {
    Mode m(true);
    DDSURFACEDATA frame, icons, sheet, digits[1];
    ASSERT_TRUE(DDCreateSurface(&frame, 200, 100, 0, 0));
    D3DFillRect(&frame, 0, 0, 200, 100, 0xFF202080);
    ASSERT_TRUE(DDCreateSurface(&icons, 26 * 16, 16, 1, 0));
    D3DFillRect(&icons, 16, 0, 16, 16, 0xFF00FF00); // icon 'b'
    Font f;
    MakeFont(&f, 16, 16, 1, &frame, &icons);
    D3DFillRect(&g_sdBackBuffer, 0, 0, 640, 480, 0xFF000000);
    // Centred on the frame picture: a 100-wide box at x = 200 / 2 - 100 / 2.
    FontDrawBoxText(&f, &g_sdBackBuffer, 10000, 300, 100, 20, "x", 0, 0);
    EXPECT_EQ(Px(&g_sdBackBuffer, 50, 310) & 0xFFFFFF, 0x202080u);
    EXPECT_EQ(Px(&g_sdBackBuffer, 49, 310) & 0xFFFFFF, 0x030303u) << "left of the box: the border colour";
    EXPECT_EQ(Px(&g_sdBackBuffer, 48, 310) & 0xFFFFFF, 0u);
    // Measured box: width of the text, one line high.
    i32 w = 0, h = 0;
    FontMeasure(&f, "ab\nabcd", &w, &h);
    EXPECT_EQ(w, 64);
    EXPECT_EQ(h, 32);
    // Icons stand for 'a'..'z'.
    DDDrawText(&f, &g_sdBackBuffer, 100, 100, "b", 0);
    EXPECT_EQ(Px(&g_sdBackBuffer, 108, 108), 0xFF00FF00u);
    DDDrawText(&f, &g_sdBackBuffer, 200, 100, "b", 1);
    EXPECT_NE(Px(&g_sdBackBuffer, 208, 108), 0xFF00FF00u) << "with icons off the letter is a letter";
    // Digits: ten cells, digit k at x = k * cell width.
    DDPICTUREDEF defs[1];
    defs[0].colorKey = 1;
    ASSERT_TRUE(FontCreateDigits(digits, defs, 1, &f, nullptr));
    EXPECT_EQ(digits[0].width, 160);
    u32 brightest = 0;
    for (int y = 0; y < 16; ++y)
        for (int x = 16; x < 32; ++x) brightest = std::max(brightest, Px(&digits[0], x, y) >> 24);
    EXPECT_GT(brightest, 0x80u);
    // Bitmap text: A, B, newline, C draws C one cell lower at x.
    ASSERT_TRUE(DDCreateSurface(&sheet, 128, 128, 1, 0));
    D3DFillRect(&sheet, ('C' % 16) * 8, ('C' / 16) * 8, 8, 8, 0xFFFF0000);
    D3DFillRect(&sheet, (0xB1 % 16) * 8, ((0xB1 / 16) - 10) * 8, 8, 8, 0xFF0000FF);
    D3DFillRect(&g_sdBackBuffer, 0, 0, 640, 480, 0xFF000000);
    DDDrawBmpText(&g_sdBackBuffer, 20, 20, 8, 8, &sheet, "AB\nC\xB1");
    EXPECT_EQ(Px(&g_sdBackBuffer, 21, 29), 0xFFFF0000u);
    EXPECT_EQ(Px(&g_sdBackBuffer, 29, 29), 0xFF0000FFu) << "0xB1 uses row - 10";
    DDDrawBmpTextF(&g_sdBackBuffer, 0, 0, 8, 8, &sheet, "%d %s %05x%%", 1, 2, 3, 4);
    f.Release();
    DDReleaseSurface(&digits[0]);
}

TEST(Font, TableCreationProportionalTextAndRestore) {
    Mode m(true);
    DDSURFACEDATA pics[2];
    ASSERT_TRUE(DDCreateSurface(&pics[0], 64, 32, 0, 0));
    ASSERT_TRUE(DDCreateSurface(&pics[1], 26 * 16, 16, 1, 0));
    g_DDGraphics.pictures = pics;
    g_DDGraphics.pictureCount = 2;
    FONTDEF defs[2];
    const std::string face = S("ＭＳ Ｐゴシック");
    std::memcpy(defs[0].face, face.c_str(), face.size() + 1);
    defs[0].height = 16;
    defs[0].color = 7;
    defs[0].frameSlot = 0;
    defs[0].iconSlot = 99; // past the table: no icon picture
    defs[1] = defs[0];
    defs[1].cellWidth = defs[1].cellHeight = 16;
    defs[1].iconSlot = 1;
    defs[1].fastFont = 1;
    Font fonts[2];
    ASSERT_TRUE(FontCreateAll(fonts, defs, 2));
    EXPECT_EQ(fonts[0].frame, &pics[0]);
    EXPECT_EQ(fonts[0].icon, nullptr);
    EXPECT_EQ(fonts[1].icon, &pics[1]);
    EXPECT_EQ(fonts[1].id, fonts[0].id + 1);
    // Proportional (cell width 0): no sheets, widths from the face's advances.
    EXPECT_EQ(fonts[0].m_lpFastFont_Half, nullptr);
    i32 wi = 0, wm = 0, h = 0;
    FontMeasure(&fonts[0], "i", &wi, &h);
    FontMeasure(&fonts[0], "m", &wm, &h);
    EXPECT_LT(wi, wm);
    EXPECT_EQ(h, 0) << "line height is the cell height, 0 here";
    D3DFillRect(&g_sdBackBuffer, 0, 0, 640, 480, 0xFF000000);
    DDDrawText(&fonts[0], &g_sdBackBuffer, 0, 0, S("プロポーショナル").c_str(), 0);
    EXPECT_GT(CountColour(&g_sdBackBuffer, 0, 0, 200, 20, 0xFFFFFF), 20);
    // After a device reset the sheets are drawn again from their glyph lists.
    FastFont* full = fonts[1].m_lpFastFont_FullAdd.get();
    const i32 count = full->count;
    DDFillSurface(&full->sheet, 0);
    full->sheet.restored = 1;
    FontRestore(&fonts[1]);
    EXPECT_EQ(full->sheet.restored, 0u);
    EXPECT_EQ(full->count, count);
    u32 alpha = 0;
    for (int y = 0; y < 16; ++y)
        for (int x = 0; x < 16; ++x) alpha = std::max(alpha, Px(&full->sheet, x, y) >> 24);
    EXPECT_EQ(alpha, 255u) << "the first glyph (０) is back";
    fonts[0].Release();
    fonts[1].Release();
    g_DDGraphics.pictures = nullptr;
    g_DDGraphics.pictureCount = 0;
}

namespace {
struct TextMode {
    bool d3d;
    int bpp;
};

class KeptTextTest : public ::testing::TestWithParam<TextMode> {};

std::vector<u32> BackPixels() {
    const PixelStore* s = SurfacePixels(&g_sdBackBuffer);
    return std::vector<u32>(s->px.begin(), s->px.end());
}

// Stripes of palette colours under the text, so that every kind of pixel meets the glyphs.
void PaintStripes() {
    for (int x = 0; x < 640; x += 4) DDFillRect(&g_sdBackBuffer, x, 0, 4, 480, static_cast<u32>(x / 4 * 37 % 256));
}

// Each glyph's cell of a text: fn(sheet, cell x, cell y, x, y in the text).
template <class Fn>
void ForEachCell(Font& f, const std::string& text, Fn fn) {
    int xo = 0, yo = 0;
    for (const char* p = text.c_str(); *p;) {
        const auto c = static_cast<u8>(*p);
        if (IsDoubleByte(p)) {
            if (!(c == 0x81 && static_cast<u8>(p[1]) == 0x40)) {
                const FASTFONTGLYPH* g = f.m_lpFastFont_FullAdd->Find(p);
                ASSERT_NE(g, nullptr);
                fn(&f.m_lpFastFont_FullAdd->sheet, g->x, g->y, xo, yo);
            }
            p += 2;
        } else {
            ++p;
            if (c == '\n') {
                yo += f.cellHeight;
                xo = 0;
                continue;
            }
            if (c != ' ') fn(&f.m_lpFastFont_Half->sheet, c % 16 * f.cellWidth, c / 16 * f.cellHeight, xo, yo);
        }
        xo += f.cellWidth;
    }
}

// Direct3D's rule: each glyph's cell on its sheet blended onto the target, cut at its edges.
std::vector<u32> GlyphCellsBlended(Font& f, const std::string& text, int x, int y, std::vector<u32> px) {
    ForEachCell(f, text, [&](DDSURFACEDATA* sheet, int sx, int sy, int xo, int yo) {
        const PixelStore* s = SurfacePixels(sheet);
        for (int r = 0; r < f.cellHeight; ++r)
            for (int k = 0; k < f.cellWidth; ++k) {
                const int X = x + xo + k, Y = y + yo + r;
                if (X < 0 || Y < 0 || X >= 640 || Y >= 480) continue;
                u32& d = px[static_cast<std::size_t>(Y) * 640 + X];
                d = BlendPixel(s->Row(sy + r)[sx + k], d);
            }
    });
    return px;
}
} // namespace

// A text drawn again in the same state comes from the picture its first drawing left: every
// pixel as its glyphs drawn the usual way (in Direct3D each glyph's cell blended on), cut at
// each edge of the screen, over lines, full-width spaces and half-width characters, and drawn
// anew when the sheets, the colour 0 or the quad colour change.
TEST_P(KeptTextTest, TextDrawnAgainGivesThePixelsOfItsGlyphs) {
    const TextMode mode = GetParam();
    Mode m(mode.d3d, mode.bpp);
    ASSERT_TRUE(m.ok);
    Font f, g; // g draws DirectDraw's reference the usual way, keeping nothing
    MakeFont(&f, 16, 16, 1);
    MakeFont(&g, 16, 16, 1);
    const std::string text = S("あいう ＡＢ\n漢字　ab12\n\n｢x｣");
    const int at[][2] = {{8, 8}, {8, 8}, {-5, -7}, {600, 100}, {630, 470}, {100, 466}, {-30, 200}};
    auto check = [&](const char* what) {
        for (const auto& p : at) {
            PaintStripes();
            const std::vector<u32> bg = BackPixels();
            DDDrawText(&f, &g_sdBackBuffer, p[0], p[1], text.c_str(), 1);
            const std::vector<u32> drawn = BackPixels();
            std::vector<u32> want;
            if (mode.d3d && lpDTCon->dwQuadColor == 0xFFFFFFFFu) {
                want = GlyphCellsBlended(f, text, p[0], p[1], bg);
            } else {
                // On the same background (the stripes' colours are translucent in Direct3D:
                // painting them again would blend them onto the text), the usual way with
                // nothing kept; in Direct3D each glyph's cell blitted from its sheet.
                std::copy(bg.begin(), bg.end(), SurfacePixels(&g_sdBackBuffer)->px.begin());
                if (mode.d3d) {
                    ForEachCell(f, text, [&](DDSURFACEDATA* sheet, int sx, int sy, int xo, int yo) {
                        DDBlt(&g_sdBackBuffer, p[0] + xo, p[1] + yo, 16, 16, sheet, sx, sy, DDBLT_KEY);
                    });
                } else {
                    g.lineImages.reset();
                    DDDrawText(&g, &g_sdBackBuffer, p[0], p[1], text.c_str(), 1);
                }
                want = BackPixels();
            }
            ASSERT_EQ(drawn.size(), want.size());
            for (std::size_t i = 0; i < drawn.size(); ++i)
                ASSERT_EQ(drawn[i], want[i]) << what << " at " << p[0] << "," << p[1] << ", pixel " << i % 640 << ","
                                             << i / 640;
        }
    };
    check("first");
    // The sheets drawn again in another colour, the font's own set back: only the sheets say
    // that the text looks different now.
    for (Font* h : {&f, &g}) {
        const u32 colour = h->color, index = h->colorIndex;
        h->color = 0xFF20C040u;
        h->colorIndex = 9;
        FontBuildHalfSheet(h);
        FontBuildFullSheet(h, true);
        h->color = colour;
        h->colorIndex = index;
    }
    check("new sheets");
    if (mode.d3d) {
        // The quad's own alpha on every texel: the empty parts of the text's box draw too.
        D3DSetVertexColor(0x80FF8040u);
        D3DSetAlphaOp(D3DTOP_SELECTARG2);
        check("quad alpha");
        D3DResetAlphaOp();
        D3DResetVertexColor();
    } else {
        g_palCur[0] = PALETTEENTRY{10, 20, 30, 1};
        check("colour 0 changed");
    }
    g.Release();
    f.Release();
}

INSTANTIATE_TEST_SUITE_P(Modes, KeptTextTest,
                         ::testing::Values(TextMode{true, 32}, TextMode{false, 32}, TextMode{false, 8},
                                           TextMode{true, 16}, TextMode{false, 16}),
                         [](const ::testing::TestParamInfo<TextMode>& i) {
                             return std::string(i.param.d3d ? "D3D" : "DD") + std::to_string(i.param.bpp);
                         });
