#include "platform/graphics/Image.h"

#include <csetjmp>
#include <cstdio>
#include <cstring>
#include <new>

#include <png.h>

#include "platform/graphics/JpegLibrary.h"
#include "platform/system/Format.h"
#include "platform/system/PathResolver.h"

namespace {

u32 Le16(const u8* p) { return u32(p[0]) | u32(p[1]) << 8; }
u32 Le32(const u8* p) { return u32(p[0]) | u32(p[1]) << 8 | u32(p[2]) << 16 | u32(p[3]) << 24; }

bool Fail(std::string* error, const std::string& text) {
    if (error) *error = text;
    return false;
}

// The rows of an uncompressed picture are all in the file. The last row may lack its padding
// in files some tools write.
bool UncompressedBitsFit(int w, int h, u32 bpp, std::size_t avail) {
    const std::size_t stride = ((static_cast<std::size_t>(w) * bpp + 31) / 32) * 4;
    if (stride * static_cast<std::size_t>(h) <= avail) return true;
    return stride * (h - 1) + (static_cast<std::size_t>(w) * bpp + 7) / 8 <= avail;
}

bool SizeOk(i64 w, i64 h) {
    return w > 0 && h > 0 && w <= kMaxImageSide && h <= kMaxImageSide &&
           static_cast<std::size_t>(w) * static_cast<std::size_t>(h) <= kMaxImagePixels;
}

// Shift and width of a channel mask; a channel value scales to 0..255.
struct MaskInfo {
    u32 mask = 0;
    int shift = 0;
    u32 max = 0;
};
MaskInfo MakeMask(u32 mask) {
    MaskInfo m;
    m.mask = mask;
    if (!mask) return m;
    while (!((mask >> m.shift) & 1)) ++m.shift;
    m.max = mask >> m.shift;
    return m;
}
u32 Channel(u32 v, const MaskInfo& m) {
    if (!m.mask) return 0;
    const u32 c = (v & m.mask) >> m.shift;
    return m.max ? (c * 255 + m.max / 2) / m.max : 0;
}

} // namespace

namespace {

// What the two headers of a BMP say, checked.
struct BmpHeader {
    u32 offBits = 0;
    u32 infoSize = 0;
    int W = 0, H = 0;
    u32 bpp = 0, compression = 0, clrUsed = 0;
    int paletteEntrySize = 4;
    bool topDown = false, rle8 = false, rle4 = false, bitfields = false;
};

// The file header and the info header (the old 12-byte one or a later one of 40 bytes or more):
// size, depth and a compression that fits the depth.
bool ReadBmpHeader(const u8* data, std::size_t size, BmpHeader& hd, std::string* error) {
    if (size < 14 + 12 || data[0] != 'B' || data[1] != 'M') return Fail(error, "not a BMP file");
    hd.offBits = Le32(data + 10);
    hd.infoSize = Le32(data + 14);
    const u32 infoSize = hd.infoSize;
    if (infoSize < 12 || infoSize > size - 14) return Fail(error, "bad BMP header size");
    const u8* info = data + 14;
    i64 w = 0, h = 0;
    u32 planes = 0, bpp = 0, compression = 0;
    if (infoSize == 12) {
        w = Le16(info + 4);
        h = static_cast<i16>(Le16(info + 6));
        planes = Le16(info + 8);
        bpp = Le16(info + 10);
        hd.paletteEntrySize = 3;
    } else {
        if (infoSize < 40) return Fail(error, "bad BMP header size");
        w = static_cast<i32>(Le32(info + 4));
        h = static_cast<i32>(Le32(info + 8));
        planes = Le16(info + 12);
        bpp = Le16(info + 14);
        compression = Le32(info + 16);
        hd.clrUsed = Le32(info + 32);
    }
    hd.topDown = h < 0;
    if (hd.topDown) h = -h;
    if (planes != 1) return Fail(error, "bad BMP planes");
    if (!SizeOk(w, h)) return Fail(error, Format("bad BMP size %lldx%lld", (long long)w, (long long)h));
    if (bpp != 1 && bpp != 4 && bpp != 8 && bpp != 16 && bpp != 24 && bpp != 32)
        return Fail(error, Format("unsupported BMP depth %u", bpp));
    // Compression must fit the depth.
    hd.rle8 = compression == 1;
    hd.rle4 = compression == 2;
    hd.bitfields = compression == 3 || compression == 6;
    if ((hd.rle8 && bpp != 8) || (hd.rle4 && bpp != 4) || (hd.bitfields && bpp != 16 && bpp != 32) ||
        (compression != 0 && !hd.rle8 && !hd.rle4 && !hd.bitfields))
        return Fail(error, Format("unsupported BMP compression %u", compression));
    if (hd.topDown && (hd.rle8 || hd.rle4)) return Fail(error, "top-down RLE BMP");
    hd.W = static_cast<int>(w);
    hd.H = static_cast<int>(h);
    hd.bpp = bpp;
    hd.compression = compression;
    return true;
}

// The channel masks of a 16- or 32-bit picture.
struct BmpMasks {
    MaskInfo r, g, b;
};

// The channel masks and the colour table (pictures of 8 bits or fewer) into out.
bool ReadBmpColours(const u8* data, std::size_t size, const BmpHeader& hd, cImage* out, BmpMasks& m,
                    std::string* error) {
    out->colorTable.fill(0);
    out->colorCount = 0;
    std::size_t tablePos = 14 + hd.infoSize;
    if (hd.bitfields) {
        const u8* info = data + 14;
        u32 r, g, b;
        if (hd.infoSize >= 52) {
            r = Le32(info + 40); g = Le32(info + 44); b = Le32(info + 48);
        } else {
            if (tablePos + 12 > size) return Fail(error, "truncated BMP bitfields");
            r = Le32(data + tablePos); g = Le32(data + tablePos + 4); b = Le32(data + tablePos + 8);
            tablePos += hd.compression == 6 ? 16 : 12;
        }
        m.r = MakeMask(r); m.g = MakeMask(g); m.b = MakeMask(b);
    } else if (hd.bpp == 16) {
        m.r = MakeMask(0x7C00); m.g = MakeMask(0x03E0); m.b = MakeMask(0x001F);
    }
    if (hd.bpp <= 8) {
        const u32 maxEntries = 1u << hd.bpp;
        u32 n = hd.clrUsed ? hd.clrUsed : maxEntries;
        if (n > 256) return Fail(error, Format("BMP colour table of %u entries", n));
        if (tablePos + static_cast<std::size_t>(n) * hd.paletteEntrySize > size) return Fail(error, "truncated BMP colour table");
        for (u32 i = 0; i < n; ++i) {
            const u8* e = data + tablePos + static_cast<std::size_t>(i) * hd.paletteEntrySize;
            out->colorTable[i] = u32(e[2]) << 16 | u32(e[1]) << 8 | e[0];
        }
        out->colorCount = static_cast<int>(n);
    }
    return true;
}

// Runs an RLE stream (8 or 4 bits) into the picture's indices: only running it shows that it
// fits the picture.
bool DecodeBmpRle(const u8* bits, std::size_t avail, const BmpHeader& hd, cImage* out, std::string* error) {
    const int W = hd.W, H = hd.H;
    const bool rle8 = hd.rle8;
    int x = 0, fileRow = 0;
    std::size_t p = 0;
    // RLE pictures are bottom-up.
    auto put = [&](u32 idx) -> bool {
        if (x >= W || fileRow >= H) return false;
        out->indices[static_cast<std::size_t>(H - 1 - fileRow) * W + x] = static_cast<u8>(idx);
        ++x;
        return true;
    };
    for (;;) {
        if (p + 2 > avail) return Fail(error, "truncated BMP RLE data");
        const u8 count = bits[p], value = bits[p + 1];
        p += 2;
        if (count) {
            for (int i = 0; i < count; ++i) {
                const u32 idx = rle8 ? value : ((i & 1) ? (value & 15) : (value >> 4));
                if (!put(idx)) return Fail(error, "BMP RLE run past the picture");
            }
        } else if (value == 0) {
            x = 0;
            ++fileRow;
        } else if (value == 1) {
            break;
        } else if (value == 2) {
            if (p + 2 > avail) return Fail(error, "truncated BMP RLE data");
            x += bits[p];
            fileRow += bits[p + 1];
            p += 2;
            if (x > W || fileRow > H) return Fail(error, "BMP RLE delta past the picture");
        } else {
            const std::size_t bytes = rle8 ? value : (value + 1u) / 2u;
            if (p + bytes > avail) return Fail(error, "truncated BMP RLE data");
            for (int i = 0; i < value; ++i) {
                const u32 idx = rle8 ? bits[p + i] : ((i & 1) ? (bits[p + i / 2] & 15) : (bits[p + i / 2] >> 4));
                if (!put(idx)) return Fail(error, "BMP RLE run past the picture");
            }
            p += (bytes + 1) & ~std::size_t(1);
        }
        if (fileRow > H) return Fail(error, "BMP RLE past the picture");
    }
    // The indices give the colours once the whole stream has run.
    for (std::size_t i = 0; i < out->argb.size(); ++i) out->argb[i] = 0xFF000000 | out->colorTable[out->indices[i]];
    return true;
}

// The rows of an uncompressed picture, whose size was checked against the file.
void DecodeBmpRows(const u8* bits, const BmpHeader& hd, const BmpMasks& m, cImage* out) {
    const int W = hd.W, H = hd.H;
    const u32 bpp = hd.bpp;
    const bool bitfields = hd.bitfields;
    // Local copies: the pixel stores cannot touch them, so they stay in registers.
    const MaskInfo mr = m.r, mg = m.g, mb = m.b;
    const std::size_t stride = ((static_cast<std::size_t>(W) * bpp + 31) / 32) * 4;
    const u32* table = out->colorTable.data();
    for (int fr = 0; fr < H; ++fr) {
        const u8* row = bits + stride * fr;
        const int y = hd.topDown ? fr : H - 1 - fr;
        u32* dst = out->argb.data() + static_cast<std::size_t>(y) * W;
        u8* idx = out->hasIndices ? out->indices.data() + static_cast<std::size_t>(y) * W : nullptr;
        // Indexed rows give their colours as they are read: one pass, not a second over the
        // whole picture.
        if (bpp == 8) {
            if (idx) {
                for (int x = 0; x < W; ++x) {
                    idx[x] = row[x];
                    dst[x] = 0xFF000000 | table[row[x]];
                }
            } else {
                for (int x = 0; x < W; ++x) dst[x] = 0xFF000000 | table[row[x]];
            }
            continue;
        }
        if (bpp == 4 || bpp == 1) {
            for (int x = 0; x < W; ++x) {
                const u8 i = bpp == 4 ? ((x & 1) ? (row[x >> 1] & 15) : (row[x >> 1] >> 4))
                                      : (row[x >> 3] >> (7 - (x & 7))) & 1;
                if (idx) idx[x] = i;
                dst[x] = 0xFF000000 | table[i];
            }
            continue;
        }
        // The depth is chosen once a row, so that each loop is a plain pass over the row.
        switch (bpp) {
        case 16:
            for (int x = 0; x < W; ++x) {
                const u32 v = Le16(row + 2 * x);
                dst[x] = 0xFF000000 | Channel(v, mr) << 16 | Channel(v, mg) << 8 | Channel(v, mb);
            }
            break;
        case 24:
            for (int x = 0; x < W; ++x)
                dst[x] = 0xFF000000 | u32(row[3 * x + 2]) << 16 | u32(row[3 * x + 1]) << 8 | row[3 * x];
            break;
        case 32:
            if (bitfields) {
                for (int x = 0; x < W; ++x) {
                    const u32 v = Le32(row + 4 * x);
                    dst[x] = 0xFF000000 | Channel(v, mr) << 16 | Channel(v, mg) << 8 | Channel(v, mb);
                }
            } else {
                for (int x = 0; x < W; ++x) dst[x] = 0xFF000000 | (Le32(row + 4 * x) & 0xFFFFFF);
            }
            break;
        default: break;
        }
    }
}

// The whole check of a BMP; the pixels are made only when asked for. Without them an RLE stream
// is still decoded (only running it shows that it fits the picture), an uncompressed picture
// is checked by its size alone. An uncompressed paletted picture keeps its indices unless told
// that its colours are all that is wanted (an RLE one decodes through them and keeps them).
bool ReadBmp(const u8* data, std::size_t size, cImage* out, std::string* error, bool pixels, bool indices = true) {
    BmpHeader hd;
    if (!ReadBmpHeader(data, size, hd, error)) return false;
    BmpMasks masks;
    if (!ReadBmpColours(data, size, hd, out, masks, error)) return false;
    if (hd.offBits >= size) return Fail(error, "BMP pixel data missing");
    const std::size_t avail = size - hd.offBits;
    const bool rle = hd.rle8 || hd.rle4;

    out->width = hd.W;
    out->height = hd.H;
    out->bitsPerPixel = static_cast<int>(hd.bpp);
    out->hasAlpha = false;
    out->hasIndices = hd.bpp <= 8 && (indices || rle);
    if (!rle && !UncompressedBitsFit(hd.W, hd.H, hd.bpp, avail)) return Fail(error, "truncated BMP pixel data");
    if (!pixels && !rle) {
        out->argb.clear();
        out->indices.clear();
        return true;
    }
    // Past the check of an uncompressed picture, data holds every byte of the file.
    const u8* bits = data + hd.offBits;
    out->argb.assign(static_cast<std::size_t>(hd.W) * hd.H, 0xFF000000);
    out->indices.assign(out->hasIndices ? static_cast<std::size_t>(hd.W) * hd.H : 0, 0);
    if (rle) return DecodeBmpRle(bits, avail, hd, out, error);
    DecodeBmpRows(bits, hd, masks, out);
    return true;
}
} // namespace

bool DecodeBmp(const u8* data, std::size_t size, cImage* out, std::string* error) {
    return ReadBmp(data, size, out, error, true);
}

bool DecodePng(const u8* data, std::size_t size, cImage* out, std::string* error) {
    png_image image;
    std::memset(&image, 0, sizeof image);
    image.version = PNG_IMAGE_VERSION;
    if (!png_image_begin_read_from_memory(&image, data, size))
        return Fail(error, Format("PNG: %s", image.message));
    if (!SizeOk(image.width, image.height)) {
        png_image_free(&image);
        return Fail(error, Format("bad PNG size %ux%u", image.width, image.height));
    }
    out->hasAlpha = (image.format & PNG_FORMAT_FLAG_ALPHA) != 0;
    image.format = PNG_FORMAT_BGRA;
    out->width = static_cast<int>(image.width);
    out->height = static_cast<int>(image.height);
    out->bitsPerPixel = out->hasAlpha ? 32 : 24;
    out->argb.assign(static_cast<std::size_t>(out->width) * out->height, 0);
    out->hasIndices = false;
    out->indices.clear();
    out->colorCount = 0;
    if (!png_image_finish_read(&image, nullptr, out->argb.data(), 0, nullptr)) {
        const std::string msg = image.message;
        png_image_free(&image);
        return Fail(error, "PNG: " + msg);
    }
    return true;
}

namespace {
struct JpegError {
    jpeg_error_mgr mgr;
    std::jmp_buf jump;
    char message[JMSG_LENGTH_MAX];
};
void JpegErrorExit(j_common_ptr cinfo) {
    auto* err = reinterpret_cast<JpegError*>(cinfo->err);
    (*cinfo->err->format_message)(cinfo, err->message);
    std::longjmp(err->jump, 1);
}
void JpegSilence(j_common_ptr, int) {}

// Sizes the picture's pixels; false when there is no memory for them. Kept out of the frame that
// calls setjmp, which must hold nothing with a destructor.
bool AllocatePixels(cImage* out, std::size_t count) {
    try {
        out->argb.assign(count, 0);
        return true;
    } catch (const std::bad_alloc&) {
        return false;
    }
}

// Plain C in the frame that calls setjmp: nothing here has a destructor. The decoder's errors
// jump back here with its message.
bool JpegDecodeRaw(const JpegLibrary& J, const u8* data, std::size_t size, cImage* out, char* message) {
    jpeg_decompress_struct cinfo;
    JpegError err;
    cinfo.err = J.stdError(&err.mgr);
    err.mgr.error_exit = JpegErrorExit;
    err.mgr.emit_message = JpegSilence;
    err.message[0] = 0;
    if (setjmp(err.jump)) {
        std::snprintf(message, JMSG_LENGTH_MAX, "%s", err.message);
        J.destroyDecompress(&cinfo);
        return false;
    }
    J.createDecompress(&cinfo, JPEG_LIB_VERSION, sizeof cinfo);
    J.memSrc(&cinfo, data, static_cast<unsigned long>(size));
    J.readHeader(&cinfo, TRUE);
    const char* refused = nullptr;
    if (cinfo.jpeg_color_space == JCS_CMYK || cinfo.jpeg_color_space == JCS_YCCK) refused = "CMYK JPEG";
    else if (!SizeOk(cinfo.image_width, cinfo.image_height)) refused = "bad JPEG size";
    else if (!AllocatePixels(out, static_cast<std::size_t>(cinfo.image_width) * cinfo.image_height)) refused = "JPEG too large";
    if (refused) {
        std::snprintf(message, JMSG_LENGTH_MAX, "%s %ux%u", refused, cinfo.image_width, cinfo.image_height);
        J.destroyDecompress(&cinfo);
        return false;
    }
    cinfo.out_color_space = JCS_EXT_BGRA;
    J.startDecompress(&cinfo);
    const int w = static_cast<int>(cinfo.output_width);
    u8* base = reinterpret_cast<u8*>(out->argb.data());
    const std::size_t needed = static_cast<std::size_t>(w) * cinfo.output_height;
    if (out->argb.size() != needed || cinfo.output_components != 4) {
        std::snprintf(message, JMSG_LENGTH_MAX, "JPEG output size mismatch");
        J.destroyDecompress(&cinfo);
        return false;
    }
    while (cinfo.output_scanline < cinfo.output_height) {
        JSAMPROW row = base + static_cast<std::size_t>(cinfo.output_scanline) * w * 4;
        J.readScanlines(&cinfo, &row, 1);
    }
    out->width = w;
    out->height = static_cast<int>(cinfo.output_height);
    J.finishDecompress(&cinfo);
    J.destroyDecompress(&cinfo);
    return true;
}
} // namespace

bool DecodeJpeg(const u8* data, std::size_t size, cImage* out, std::string* error) {
    const JpegLibrary* jpeg = JpegApi();
    if (!jpeg) return Fail(error, "JPEG: the JPEG library cannot be loaded");
    char message[JMSG_LENGTH_MAX] = {};
    if (!JpegDecodeRaw(*jpeg, data, size, out, message)) return Fail(error, std::string("JPEG: ") + message);
    out->bitsPerPixel = 24;
    out->hasAlpha = false;
    out->hasIndices = false;
    out->indices.clear();
    out->colorCount = 0;
    for (u32& p : out->argb) p |= 0xFF000000;
    return true;
}

bool DecodeImage(const u8* data, std::size_t size, cImage* out, std::string* error) {
    if (size >= 2 && data[0] == 'B' && data[1] == 'M') return DecodeBmp(data, size, out, error);
    if (size >= 8 && std::memcmp(data, "\x89PNG\r\n\x1a\n", 8) == 0) return DecodePng(data, size, out, error);
    if (size >= 3 && data[0] == 0xFF && data[1] == 0xD8 && data[2] == 0xFF) return DecodeJpeg(data, size, out, error);
    return Fail(error, "unknown picture format");
}

namespace {
// Why a picture file could not be read, as the report gives it.
bool ReadFailure(std::string* error, FileRead why) {
    if (why == FileRead::TooLarge)
        return Fail(error, "the file is too large (over " + std::to_string(kWholeFileLimit >> 20) + " MB)");
    return Fail(error, "cannot open the file");
}
} // namespace

namespace {
// A picture file read and decoded; a paletted BMP keeps its indices only when asked to.
bool LoadImage(const std::string& sjisPath, cImage* out, std::string* error, bool indices) {
    // The file's bytes are all overwritten by the read: no cleared storage first.
    cByteBuffer data;
    if (const FileRead read = ReadWholeFile(sjisPath, data); read != FileRead::Ok) return ReadFailure(error, read);
    const u8* bytes = reinterpret_cast<const u8*>(data.data());
    if (!indices && data.size() >= 2 && bytes[0] == 'B' && bytes[1] == 'M')
        return ReadBmp(bytes, data.size(), out, error, true, false);
    return DecodeImage(bytes, data.size(), out, error);
}
} // namespace

bool LoadImageFile(const std::string& sjisPath, cImage* out, std::string* error) {
    return LoadImage(sjisPath, out, error, true);
}

bool LoadImageColours(const std::string& sjisPath, cImage* out, std::string* error) {
    return LoadImage(sjisPath, out, error, false);
}

namespace {
// What the check of an uncompressed BMP reads lies in its first bytes: the headers, the bit
// fields and a colour table of at most 256 entries. A compressed one is judged by running it.
constexpr std::size_t kBmpHead = 4096;
bool BmpHeadSuffices(const std::vector<u8>& head) {
    if (head.size() < 34 || head[0] != 'B' || head[1] != 'M') return false;
    const u32 infoSize = Le32(head.data() + 14);
    if (infoSize >= 40) {
        const u32 compression = Le32(head.data() + 30);
        if (compression == 1 || compression == 2) return false;
    }
    return static_cast<u64>(infoSize) + 14 + 16 + 256 * 4 <= head.size();
}
} // namespace

bool CheckImageFile(const std::string& sjisPath, cImage* out, std::string* error) {
    // Most pictures are uncompressed BMPs: their head is read, not their pixels.
    std::vector<u8> data;
    std::size_t fileSize = 0;
    if (const FileRead read = ReadFileHead(sjisPath, data, kBmpHead, fileSize); read != FileRead::Ok)
        return ReadFailure(error, read);
    const bool whole = fileSize == data.size();
    if (!whole && fileSize <= kWholeFileLimit && BmpHeadSuffices(data)) return ReadBmp(data.data(), fileSize, out, error, false);
    if (!whole) {
        if (const FileRead read = ReadWholeFile(sjisPath, data); read != FileRead::Ok) return ReadFailure(error, read);
    }
    if (data.size() >= 2 && data[0] == 'B' && data[1] == 'M') return ReadBmp(data.data(), data.size(), out, error, false);
    return DecodeImage(data.data(), data.size(), out, error);
}

std::vector<u8> EncodeBmp(const cImage& image, int bpp, bool topDown) {
    const int W = image.width, H = image.height;
    const int tableEntries = bpp <= 8 ? (1 << bpp) : 0;
    const std::size_t stride = ((static_cast<std::size_t>(W) * bpp + 31) / 32) * 4;
    const std::size_t off = 14 + 40 + tableEntries * 4;
    std::vector<u8> f(off + stride * H, 0);
    auto p16 = [&](std::size_t at, u32 v) { f[at] = v & 255; f[at + 1] = (v >> 8) & 255; };
    auto p32 = [&](std::size_t at, u32 v) { for (int i = 0; i < 4; ++i) f[at + i] = (v >> (8 * i)) & 255; };
    f[0] = 'B'; f[1] = 'M';
    p32(2, static_cast<u32>(f.size()));
    p32(10, static_cast<u32>(off));
    p32(14, 40);
    p32(18, static_cast<u32>(W));
    p32(22, static_cast<u32>(topDown ? -H : H));
    p16(26, 1);
    p16(28, static_cast<u32>(bpp));
    p32(46, static_cast<u32>(tableEntries));
    for (int i = 0; i < tableEntries; ++i) {
        const u32 c = image.colorTable[i];
        f[54 + 4 * i] = c & 255; f[55 + 4 * i] = (c >> 8) & 255; f[56 + 4 * i] = (c >> 16) & 255;
    }
    for (int y = 0; y < H; ++y) {
        const int fr = topDown ? y : H - 1 - y;
        u8* row = f.data() + off + stride * fr;
        for (int x = 0; x < W; ++x) {
            const std::size_t i = static_cast<std::size_t>(y) * W + x;
            const u32 c = image.argb.empty() ? 0 : image.argb[i];
            const u32 idx = image.hasIndices ? image.indices[i] : 0;
            switch (bpp) {
            case 1: row[x >> 3] |= static_cast<u8>((idx & 1) << (7 - (x & 7))); break;
            case 4: row[x >> 1] |= static_cast<u8>((x & 1) ? (idx & 15) : (idx & 15) << 4); break;
            case 8: row[x] = static_cast<u8>(idx); break;
            case 16: {
                const u32 v = ((c >> 19) & 31) << 10 | ((c >> 11) & 31) << 5 | ((c >> 3) & 31);
                row[2 * x] = v & 255; row[2 * x + 1] = static_cast<u8>(v >> 8);
                break;
            }
            case 24: row[3 * x] = c & 255; row[3 * x + 1] = (c >> 8) & 255; row[3 * x + 2] = (c >> 16) & 255; break;
            case 32: for (int k = 0; k < 4; ++k) row[4 * x + k] = (c >> (8 * k)) & 255; break;
            }
        }
    }
    return f;
}

std::vector<u8> EncodeJpeg(const cImage& image, int quality) {
    const JpegLibrary* jpeg = JpegApi();
    if (!jpeg) return {};
    const JpegLibrary& J = *jpeg;
    jpeg_compress_struct cinfo;
    jpeg_error_mgr jerr;
    cinfo.err = J.stdError(&jerr);
    J.createCompress(&cinfo, JPEG_LIB_VERSION, sizeof cinfo);
    unsigned char* buffer = nullptr;
    unsigned long size = 0;
    J.memDest(&cinfo, &buffer, &size);
    cinfo.image_width = static_cast<JDIMENSION>(image.width);
    cinfo.image_height = static_cast<JDIMENSION>(image.height);
    cinfo.input_components = 4;
    cinfo.in_color_space = JCS_EXT_BGRA;
    J.setDefaults(&cinfo);
    J.setQuality(&cinfo, quality, TRUE);
    J.startCompress(&cinfo, TRUE);
    std::vector<u32> row(static_cast<std::size_t>(image.width));
    while (cinfo.next_scanline < cinfo.image_height) {
        std::memcpy(row.data(), image.argb.data() + static_cast<std::size_t>(cinfo.next_scanline) * image.width,
                    row.size() * 4);
        JSAMPROW r = reinterpret_cast<JSAMPROW>(row.data());
        J.writeScanlines(&cinfo, &r, 1);
    }
    J.finishCompress(&cinfo);
    std::vector<u8> out(buffer, buffer + size);
    J.destroyCompress(&cinfo);
    std::free(buffer);
    return out;
}
