// Picture decoders: every BMP depth the games use, PNG and JPEG, and hostile files.
#include <gtest/gtest.h>

#include <cstring>

#include "platform/graphics/Image.h"
#include "platform/graphics/Presenter.h"
#include "platform/system/PathResolver.h"
#include "tests/platform/graphics/GfxTestUtil.h"

namespace {

cImage Paletted(int w, int h, int colors) {
    cImage img;
    img.width = w;
    img.height = h;
    img.hasIndices = true;
    img.indices.resize(static_cast<std::size_t>(w) * h);
    for (int i = 0; i < colors; ++i) img.colorTable[i] = u32((i * 40) & 255) << 16 | u32((255 - i * 17) & 255) << 8 | u32(i * 3);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) img.indices[y * w + x] = static_cast<u8>((x + 2 * y) % colors);
    return img;
}

void Put32(std::vector<u8>& f, std::size_t at, u32 v) {
    for (int i = 0; i < 4; ++i) f[at + i] = static_cast<u8>(v >> (8 * i));
}

} // namespace

TEST(ImageDecode, PalettedBmpKeepsIndicesAtEveryDepth) {
    for (int bpp : {1, 4, 8}) {
        const cImage src = Paletted(13, 7, 1 << (bpp < 8 ? bpp : 6));
        const auto file = EncodeBmp(src, bpp);
        cImage out;
        std::string err;
        ASSERT_TRUE(DecodeImage(file.data(), file.size(), &out, &err)) << bpp << ": " << err;
        EXPECT_EQ(out.width, 13);
        EXPECT_EQ(out.height, 7);
        EXPECT_EQ(out.bitsPerPixel, bpp);
        ASSERT_TRUE(out.hasIndices);
        EXPECT_EQ(out.indices, src.indices) << bpp;
        ASSERT_EQ(out.argb.size(), src.indices.size());
        for (std::size_t i = 0; i < out.argb.size(); ++i)
            ASSERT_EQ(out.argb[i], 0xFF000000u | src.colorTable[src.indices[i]]) << bpp << " pixel " << i;
    }
}

TEST(ImageDecode, DirectColourBmpBottomUpAndTopDown) {
    const cImage src = MakeImage(9, 5, [](int x, int y) { return 0xFF000000u | u32(x * 20) << 16 | u32(y * 40) << 8 | 7u; });
    for (int bpp : {24, 32}) {
        for (bool topDown : {false, true}) {
            const auto file = EncodeBmp(src, bpp, topDown);
            cImage out;
            std::string err;
            ASSERT_TRUE(DecodeImage(file.data(), file.size(), &out, &err)) << err;
            EXPECT_EQ(out.argb, src.argb) << bpp << (topDown ? " top-down" : " bottom-up");
        }
    }
    // 16 bits (5-5-5): channels come back scaled to 0..255.
    const auto file = EncodeBmp(MakeImage(2, 1, [](int x, int) { return x ? 0xFFFFFFFFu : 0xFF000000u; }), 16);
    cImage out;
    ASSERT_TRUE(DecodeBmp(file.data(), file.size(), &out, nullptr));
    EXPECT_EQ(out.argb[0], 0xFF000000u);
    EXPECT_EQ(out.argb[1], 0xFFFFFFFFu);
}

TEST(ImageDecode, BitfieldsBmp) {
    // 16-bit 5-6-5 with explicit masks after a 40-byte header.
    std::vector<u8> f(14 + 40 + 12 + 4, 0);
    f[0] = 'B'; f[1] = 'M';
    Put32(f, 10, 14 + 40 + 12);
    Put32(f, 14, 40);
    Put32(f, 18, 2);
    Put32(f, 22, 1);
    f[26] = 1; f[28] = 16;
    Put32(f, 30, 3);
    Put32(f, 54, 0xF800); Put32(f, 58, 0x07E0); Put32(f, 62, 0x001F);
    f[66] = 0x00; f[67] = 0xF8; // pure red
    f[68] = 0xE0; f[69] = 0x07; // pure green
    cImage out;
    std::string err;
    ASSERT_TRUE(DecodeBmp(f.data(), f.size(), &out, &err)) << err;
    EXPECT_EQ(out.argb[0], 0xFFFF0000u);
    EXPECT_EQ(out.argb[1], 0xFF00FF00u);

    // 32 bits with the masks in the order B, R, G from the low byte (a 10-bit red among them):
    // the channels are taken by the masks, not by their usual places.
    f.assign(14 + 40 + 12 + 8, 0);
    f[0] = 'B'; f[1] = 'M';
    Put32(f, 10, 14 + 40 + 12);
    Put32(f, 14, 40);
    Put32(f, 18, 2);
    Put32(f, 22, 1);
    f[26] = 1; f[28] = 32;
    Put32(f, 30, 3);
    Put32(f, 54, 0x0003FF00); Put32(f, 58, 0xFF000000); Put32(f, 62, 0x000000FF);
    Put32(f, 66, 0x0003FF00 | 0x80); // full red, blue half
    Put32(f, 70, 0x40000000);        // green a quarter
    ASSERT_TRUE(DecodeBmp(f.data(), f.size(), &out, &err)) << err;
    EXPECT_EQ(out.argb[0], 0xFFFF0080u);
    EXPECT_EQ(out.argb[1], 0xFF004000u);
}

namespace {
std::vector<u8> Rle8File(const std::vector<u8>& stream, int w, int h) {
    std::vector<u8> f(14 + 40 + 8, 0);
    f[0] = 'B'; f[1] = 'M';
    Put32(f, 10, static_cast<u32>(f.size()));
    Put32(f, 14, 40);
    Put32(f, 18, static_cast<u32>(w));
    Put32(f, 22, static_cast<u32>(h));
    f[26] = 1; f[28] = 8;
    Put32(f, 30, 1);
    Put32(f, 46, 2);
    Put32(f, 54, 0x000000); Put32(f, 58, 0xFFFFFF);
    for (u8 b : stream) f.push_back(b);
    return f;
}
} // namespace

TEST(ImageDecode, RleRunsAndOverruns) {
    // Bottom row: a run of two ones, three absolute bytes (padded), end of line; top row: a
    // delta of two, one one, end of picture. Pixels no code reached stay 0.
    const auto good = Rle8File({2, 1, 0, 3, 0, 1, 0, 0, 0, 0, 0, 2, 2, 0, 1, 1, 0, 1}, 5, 2);
    cImage out;
    std::string err;
    ASSERT_TRUE(DecodeBmp(good.data(), good.size(), &out, &err)) << err;
    EXPECT_EQ(out.indices, (std::vector<u8>{0, 0, 1, 0, 0, /*bottom row*/ 1, 1, 0, 1, 0}));

    const auto overrun = Rle8File({6, 1, 0, 1}, 5, 2);   // a run past the row
    EXPECT_FALSE(DecodeBmp(overrun.data(), overrun.size(), &out, &err));
    const auto delta = Rle8File({0, 2, 9, 0, 0, 1}, 5, 2); // a jump past the picture
    EXPECT_FALSE(DecodeBmp(delta.data(), delta.size(), &out, &err));
    const auto cut = Rle8File({0, 5, 1, 1}, 5, 2);         // absolute bytes missing
    EXPECT_FALSE(DecodeBmp(cut.data(), cut.size(), &out, &err));
    const auto rows = Rle8File({0, 0, 0, 0, 0, 0, 1, 1, 0, 1}, 5, 2); // more rows than the picture
    EXPECT_FALSE(DecodeBmp(rows.data(), rows.size(), &out, &err));
}

TEST(ImageDecode, HostileHeadersAreRejected) {
    const auto good = EncodeBmp(Paletted(4, 4, 16), 8);
    cImage out;
    std::string err;
    auto mutate = [&](auto fn) {
        auto f = good;
        fn(f);
        return DecodeImage(f.data(), f.size(), &out, &err);
    };
    EXPECT_FALSE(mutate([](auto& f) { Put32(f, 18, 0x7FFFFFFF); })) << "huge width";
    EXPECT_FALSE(mutate([](auto& f) { Put32(f, 22, 0x80000000u); })) << "huge negative height";
    EXPECT_FALSE(mutate([](auto& f) { Put32(f, 18, 20000); Put32(f, 22, 20000); })) << "too many pixels";
    EXPECT_FALSE(mutate([](auto& f) { Put32(f, 46, 300); })) << "more than 256 colours";
    EXPECT_FALSE(mutate([](auto& f) { Put32(f, 14, 0xFFFFFF); })) << "header size past the file";
    EXPECT_FALSE(mutate([](auto& f) { f[28] = 7; })) << "bad depth";
    EXPECT_FALSE(mutate([](auto& f) { Put32(f, 30, 9); })) << "bad compression";
    EXPECT_FALSE(mutate([](auto& f) { Put32(f, 10, 0xFFFFFF00u); })) << "pixel offset past the file";
    EXPECT_FALSE(mutate([](auto& f) { f.resize(f.size() - 20); })) << "truncated pixels";
    EXPECT_FALSE(mutate([](auto& f) { f.resize(20); })) << "truncated header";
    EXPECT_FALSE(mutate([](auto& f) { f[0] = 'X'; })) << "unknown format";
    EXPECT_FALSE(DecodeImage(nullptr, 0, &out, &err));
}

TEST(ImageDecode, PngWithAlphaAndPaletteFromDebian) {
    TempDir dir;
    const cImage src = MakeImage(6, 3, [](int x, int y) { return u32(x * 40) << 24 | u32(y * 80) << 8 | 0x30u; });
    ASSERT_TRUE(WritePngFile(dir.Path("a.png"), src.argb.data(), 6, 3));
    cImage out;
    std::string err;
    ASSERT_TRUE(LoadImageFile("a.png", &out, &err)) << err;
    EXPECT_TRUE(out.hasAlpha);
    EXPECT_EQ(out.argb, src.argb);
    const char* debianPng = "/usr/share/cmake-3.25/Templates/Windows/SmallLogo.png";
    std::vector<u8> data;
    if (ReadWholeFile(debianPng, data) == FileRead::Ok) {
        EXPECT_TRUE(DecodeImage(data.data(), data.size(), &out, &err)) << err;
        EXPECT_GT(out.width, 0);
    }
    std::vector<u8> broken(data.begin(), data.begin() + std::min<std::size_t>(data.size(), 60));
    if (!broken.empty()) {
        EXPECT_FALSE(DecodeImage(broken.data(), broken.size(), &out, &err));
    }
}

TEST(ImageDecode, JpegRoundTripAndDamage) {
    const cImage src = MakeImage(32, 16, [](int x, int) { return x < 16 ? 0xFFFF0000u : 0xFF0000FFu; });
    const auto jpg = EncodeJpeg(src, 95);
    cImage out;
    std::string err;
    ASSERT_TRUE(DecodeImage(jpg.data(), jpg.size(), &out, &err)) << err;
    EXPECT_EQ(out.width, 32);
    EXPECT_EQ(out.height, 16);
    const u32 left = out.argb[16 * 8 + 4], right = out.argb[16 * 8 + 28];
    EXPECT_GT((left >> 16) & 255, 200u);
    EXPECT_GT(right & 255, 200u);
    std::vector<u8> cut(jpg.begin(), jpg.begin() + 40);
    EXPECT_FALSE(DecodeImage(cut.data(), cut.size(), &out, &err));
}

// The load-time check of a picture that is decoded later gives the decoder's verdict and
// message for every file, good or damaged; only where the size alone settles it (an
// uncompressed BMP) does it leave the pixels unmade.
TEST(ImageDecode, CheckingAFileGivesTheDecodersVerdictAndMessage) {
    TempDir dir;
    const auto paletted = EncodeBmp(Paletted(5, 3, 16), 8);
    const auto direct = EncodeBmp(MakeImage(7, 3, [](int x, int y) { return 0xFF000000u | u32(x * 30) << 8 | u32(y); }), 24);
    struct Case {
        std::string name;
        std::vector<u8> bytes;
        bool pixelsLeftOut;
    };
    auto cut = [](std::vector<u8> f, std::size_t n) {
        f.resize(f.size() - n);
        return f;
    };
    auto with = [](std::vector<u8> f, std::size_t at, u32 v) {
        Put32(f, at, v);
        return f;
    };
    const auto bigPaletted = EncodeBmp(Paletted(300, 240, 200), 8);
    const auto bigDirect = EncodeBmp(MakeImage(200, 120, [](int x, int y) { return 0xFF000000u | u32(x) << 8 | u32(y); }), 24);
    // Runs of 100 over 700 rows (well past the head): a row of 300 in a picture 299 wide runs
    // past it; in one 300 wide the stream is whole.
    std::vector<u8> runs;
    for (int row = 0; row < 700; ++row) {
        for (int k = 0; k < 3; ++k) runs.insert(runs.end(), {100, static_cast<u8>((row + k) & 1)});
        runs.insert(runs.end(), {0, 0});
    }
    runs.insert(runs.end(), {0, 1});
    const auto bigRle = Rle8File(runs, 299, 700);
    const auto bigRleOk = Rle8File(runs, 300, 700);
    const std::vector<Case> cases = {
        {"paletted.bmp", paletted, true},
        {"direct.bmp", direct, true},
        // The last row without its padding is read as the decoder reads it; one byte less is not.
        {"nopad.bmp", cut(direct, 3), true},
        {"short.bmp", cut(direct, 4), false},
        {"pixels.bmp", cut(paletted, 9), false},
        {"header.bmp", cut(paletted, paletted.size() - 20), false},
        {"colours.bmp", with(paletted, 46, 300), false},
        {"offset.bmp", with(paletted, 10, 0xFFFFFF00u), false},
        {"rle.bmp", Rle8File({2, 1, 0, 3, 0, 1, 0, 0, 0, 0, 0, 2, 2, 0, 1, 1, 0, 1}, 5, 2), false},
        {"overrun.bmp", Rle8File({6, 1, 0, 1}, 5, 2), false},
        {"garbage.bmp", {'X', 'Y', 'Z'}, false},
        // Pictures longer than the head a check reads: the verdict still takes the whole file.
        {"big.bmp", bigPaletted, true},
        {"bigdirect.bmp", bigDirect, true},
        {"bigshort.bmp", cut(bigPaletted, 301), false},
        {"bigoffset.bmp", with(bigPaletted, 10, static_cast<u32>(bigPaletted.size())), false},
        {"bigheader.bmp", with(bigPaletted, 14, 60000), true},
        {"bigcolours.bmp", with(bigPaletted, 46, 0), true},
        {"bigrle.bmp", bigRle, false},
        {"bigrlecut.bmp", cut(bigRle, 2), false},
        {"bigrleok.bmp", bigRleOk, false},
    };
    for (const Case& c : cases) {
        ASSERT_TRUE(dir.Write(c.name, c.bytes));
        cImage decoded, checked;
        std::string decodeError, checkError;
        const bool decodes = LoadImageFile(c.name, &decoded, &decodeError);
        EXPECT_EQ(CheckImageFile(c.name, &checked, &checkError), decodes) << c.name;
        EXPECT_EQ(checkError, decodeError) << c.name;
        if (!decodes) continue;
        EXPECT_EQ(checked.width, decoded.width) << c.name;
        EXPECT_EQ(checked.height, decoded.height) << c.name;
        EXPECT_EQ(checked.bitsPerPixel, decoded.bitsPerPixel) << c.name;
        EXPECT_EQ(checked.argb.empty(), c.pixelsLeftOut) << c.name;
    }
    cImage none;
    std::string error;
    EXPECT_FALSE(CheckImageFile("missing.bmp", &none, &error));
    EXPECT_EQ(error, "cannot open the file");
}

// A picture loaded for its colours alone gives what the full load gives (verdict, message,
// size, depth, every colour); only the indices of an uncompressed paletted picture are left
// out, and an RLE picture, which is decoded through them, keeps them.
TEST(ImageDecode, LoadingColoursAloneGivesTheFullLoadsColoursAndVerdict) {
    TempDir dir;
    const auto direct = MakeImage(7, 3, [](int x, int y) { return 0xFF000000u | u32(x * 30) << 8 | u32(y * 70) << 16 | 5u; });
    struct Case {
        std::string name;
        std::vector<u8> bytes;
        bool indicesKept;
    };
    auto cut = [](std::vector<u8> f, std::size_t n) {
        f.resize(f.size() - n);
        return f;
    };
    const std::vector<Case> cases = {
        {"p1.bmp", EncodeBmp(Paletted(13, 7, 2), 1), false},
        {"p4.bmp", EncodeBmp(Paletted(13, 7, 16), 4), false},
        {"p8.bmp", EncodeBmp(Paletted(13, 7, 64), 8), false},
        {"p8down.bmp", EncodeBmp(Paletted(6, 5, 200), 8, true), false},
        {"d16.bmp", EncodeBmp(direct, 16), false},
        {"d24.bmp", EncodeBmp(direct, 24), false},
        {"d32.bmp", EncodeBmp(direct, 32), false},
        {"rle.bmp", Rle8File({2, 1, 0, 3, 0, 1, 0, 0, 0, 0, 0, 2, 2, 0, 1, 1, 0, 1}, 5, 2), true},
        {"overrun.bmp", Rle8File({6, 1, 0, 1}, 5, 2), false},
        {"short.bmp", cut(EncodeBmp(Paletted(13, 7, 64), 8), 9), false},
        {"jpeg.jpg", EncodeJpeg(direct, 90), false},
        {"garbage.bmp", {'B', 'M', 'Z'}, false},
    };
    for (const Case& c : cases) {
        if (c.bytes.empty()) continue; // no JPEG library
        ASSERT_TRUE(dir.Write(c.name, c.bytes));
        cImage full, colours;
        std::string fullError, coloursError;
        const bool loads = LoadImageFile(c.name, &full, &fullError);
        EXPECT_EQ(LoadImageColours(c.name, &colours, &coloursError), loads) << c.name;
        EXPECT_EQ(coloursError, fullError) << c.name;
        if (!loads) continue;
        EXPECT_EQ(colours.width, full.width) << c.name;
        EXPECT_EQ(colours.height, full.height) << c.name;
        EXPECT_EQ(colours.bitsPerPixel, full.bitsPerPixel) << c.name;
        EXPECT_EQ(colours.argb, full.argb) << c.name;
        EXPECT_EQ(colours.hasIndices, c.indicesKept) << c.name;
        EXPECT_EQ(colours.indices, c.indicesKept ? full.indices : std::vector<u8>{}) << c.name;
    }
    cImage none;
    std::string error;
    EXPECT_FALSE(LoadImageColours("missing.bmp", &none, &error));
    EXPECT_EQ(error, "cannot open the file");
}
