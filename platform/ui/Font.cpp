#include "platform/ui/Font.h"

#include <algorithm>
#include <array>
#include <atomic>
#include <cstdarg>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <mutex>
#include <string_view>

#include "platform/graphics/Raster.h"
#include "platform/system/Format.h"
#include "platform/system/Report.h"
#include "platform/system/Sjis.h"
#include "platform/ui/GlyphFace.h"

const char* const kFullSheetPrefill =
    "０１２３４５６７８９ー～、。．！？「」（）・…※→↑↓←＋－＝○●×ＡＢＣＤＥＦＧＨＩＪＫＬＭＮＯＰＱＲＳＴＵＶＷＸＹＺａｂｃｄｅｆｇｈｉｊｋｌｍｎｏｐｑｒｓｔｕｖｗｘｙｚあいうえおかきくけこさしすせそたちつてとなにぬねのはひふへほまみむめもやゆよらりるれろわをんがぎぐげござじずぜぞだぢづでどばびぶべぼぱぴぷぺぽぁぃぅぇぉっゃゅょアイウエオカキクケコサシスセソタチツテトナニヌネノハヒフヘホマミムメモヤユヨラリルレロワヲンガギグゲゴザジズゼゾダヂヅデトバビブベボヴパピプペポァィゥェォッャュョ□■☆★％＆＜＞：";

namespace {
// Never destroyed: fonts are globals too, and the last of them may go after this file's
// statics at exit.
std::vector<Font*>& FontListRef() {
    static auto* list = new std::vector<Font*>();
    return *list;
}

u32 DecodeUtf8(const std::string& s) {
    const auto* p = reinterpret_cast<const unsigned char*>(s.data());
    const std::size_t n = s.size();
    if (n == 1 && p[0] < 0x80) return p[0];
    if (n == 2 && (p[0] & 0xE0) == 0xC0) return (p[0] & 0x1Fu) << 6 | (p[1] & 0x3Fu);
    if (n == 3 && (p[0] & 0xF0) == 0xE0) return (p[0] & 0x0Fu) << 12 | (p[1] & 0x3Fu) << 6 | (p[2] & 0x3Fu);
    if (n == 4 && (p[0] & 0xF8) == 0xF0)
        return (p[0] & 0x07u) << 18 | (p[1] & 0x3Fu) << 12 | (p[2] & 0x3Fu) << 6 | (p[3] & 0x3Fu);
    return 0;
}

// CP932 to Unicode through iconv's "CP932" (never "SHIFT_JIS", which would turn the backslash
// into a yen sign). A row of 256 (the single bytes, or the characters of one lead byte) is
// made when a character of it is first asked for: a game's texts use a few of the sixty rows,
// and making all of them cost every start milliseconds of iconv.
class cCp932Rows {
public:
    // Row 0 holds the single bytes (0 is never a lead byte); row b the characters led by b.
    const u32* Row(u8 key) {
        std::atomic<const u32*>& slot = m_row[key];
        if (const u32* row = slot.load(std::memory_order_acquire)) return row;
        std::lock_guard lock(m_mutex);
        if (const u32* row = slot.load(std::memory_order_relaxed)) return row;
        auto made = std::make_unique<u32[]>(256);
        if (key == 0) MakeSingles(made.get());
        else MakeLeadRow(key, made.get());
        const u32* row = made.get();
        m_made.push_back(std::move(made));
        slot.store(row, std::memory_order_release);
        return row;
    }

private:
    static void MakeSingles(u32* row) {
        for (int c = 0x20; c < 0x100; ++c) {
            if (c == 0x7F || c == 0x80 || c == 0xA0 || c >= 0xFD || IsSjisLead(static_cast<u8>(c))) continue;
            const std::string in(1, static_cast<char>(c));
            const std::string u = SjisToUtf8(in);
            if (u != "?" || c == '?') row[c] = DecodeUtf8(u);
        }
    }
    static void MakeLeadRow(u8 lead, u32* row) {
        for (int trail = 0x40; trail <= 0xFC; ++trail) {
            if (!IsSjisTrail(static_cast<u8>(trail))) continue;
            const char in[2] = {static_cast<char>(lead), static_cast<char>(trail)};
            const std::string u = SjisToUtf8(std::string(in, 2));
            if (u != "?") row[trail] = DecodeUtf8(u);
        }
    }

    std::array<std::atomic<const u32*>, 256> m_row{};
    std::mutex m_mutex;
    std::vector<std::unique_ptr<u32[]>> m_made;
};

// Never destroyed: glyphs may be drawn while statics go at exit.
cCp932Rows& Cp932Rows() {
    static auto* rows = new cCp932Rows();
    return *rows;
}

bool IsRenderTarget(const DDSURFACEDATA* sd) { return lpDTCon && sd && sd->lpDT && sd->lpDT->bRenderTarget; }

// Glyphs drawn onto a transparent surface (a sheet, the work surface) keep their coverage as
// alpha where it can blend. A 16-bit texture has one bit of alpha, which would cut thin strokes
// at half coverage: there, as on a surface that does not blend, they are drawn unsmoothed.
bool MonoOnto(const DDSURFACEDATA* sd) { return !IsRenderTarget(sd) || g_Grid.on; }

// The value a glyph pixel is written with on a surface of the running mode.
u32 GlyphValue(const Font* font) {
    if (lpDTCon) return font->color;
    if (g_nBpp == 8) return font->colorIndex;
    const u32 c = font->color; // COLORREF: blue << 16 | green << 8 | red
    return (c & 0xFF) << 16 | (c & 0xFF00) | (c >> 16 & 0xFF);
}

DDSURFACEDATA* DrawTargetOf(DDSURFACEDATA* sd) {
    DDResolveSD(&sd);
    DDSetDrawTarget(&sd);
    return sd;
}

i32 GlyphWidth(Font* font, u32 cp) {
    if (font->cellWidth) return font->cellWidth;
    return font->face ? font->face->Advance(cp) : 0;
}

// Walks a text laid out in cells: visit(p, len, xo, yo) for each character but the line breaks,
// at its pen position, then the pen moves on by advance(p, len).
template <class Advance, class Visit>
void WalkCells(const char* text, i32 lineHeight, Advance advance, Visit visit) {
    i32 xo = 0, yo = 0;
    for (const char* p = text; *p;) {
        const int len = IsDoubleByte(p) ? 2 : 1;
        if (len == 1 && *p == '\n') {
            yo += lineHeight;
            xo = 0;
        } else {
            visit(p, len, xo, yo);
            xo += advance(p, len);
        }
        p += len;
    }
}

bool IsFullWidthSpace(const char* p) { return static_cast<u8>(p[0]) == 0x81 && static_cast<u8>(p[1]) == 0x40; }

u32 CodeAt(const char* p, int* len) {
    const auto b0 = static_cast<u8>(p[0]);
    if (IsDoubleByte(p)) {
        *len = 2;
        return Cp932ToUnicode(b0, static_cast<u8>(p[1]));
    }
    *len = 1;
    return Cp932ToUnicode(b0, 0);
}

// One character (one or two bytes) at the cell corner (x, y).
void FontDrawGlyph(Font* font, DDSURFACEDATA* dst, i32 x, i32 y, const char* p, int len, bool mono) {
    if (!font->face || !dst) return;
    PixelStore* s = SurfacePixels(dst);
    if (!s) return;
    const u32 cp = len == 2 ? Cp932ToUnicode(static_cast<u8>(p[0]), static_cast<u8>(p[1]))
                            : Cp932ToUnicode(static_cast<u8>(p[0]), 0);
    if (!cp) return;
    const GlyphBitmap* g = font->face->Glyph(cp, mono);
    if (!g) return;
    i32 gx = x, gy = y;
    if (font->centreGlyphs && font->cellWidth) {
        gx = x + (font->cellWidth / 2 - g->advance / 2);
        gy = y + (font->cellHeight / 2 - font->face->cellHeight / 2);
    } else if (len == 1 && font->cellWidth) {
        gx = x + font->cellWidth / 8;
        gy = y + font->cellHeight / 16 - 1;
    }
    if (font->glyphAdvance && font->cellWidth) gx = x; // the pen already stands where it goes
    // A 16-bit texture takes the colour reduced, and blended edges snapped to its steps (the
    // DirectDraw colour is made from the entry's 16-bit channels already).
    const u32 value = lpDTCon ? GridCut(GlyphValue(font)) : GlyphValue(font);
    for (int j = 0; j < g->height; ++j) {
        const i64 py = static_cast<i64>(gy) + g->top + j;
        if (py < 0 || py >= s->height) continue;
        u32* row = s->Row(static_cast<int>(py));
        for (int i = 0; i < g->width; ++i) {
            const i64 px = static_cast<i64>(gx) + g->left + i;
            if (px < 0 || px >= s->width) continue;
            const u32 c = g->coverage[static_cast<std::size_t>(j) * g->width + i];
            if (!c) continue;
            if (mono) {
                if (c >= 128) row[px] = value;
            } else {
                const u32 a = (c * (value >> 24) + 127) / 255;
                // Onto a transparent pixel (a glyph sheet) the coverage becomes the alpha, so
                // a glyph copied from a sheet looks as one drawn directly.
                if ((row[px] >> 24) == 0) row[px] = GridSnap(a << 24 | (value & 0xFFFFFF));
                else row[px] = GridSnap(BlendPixel(a << 24 | (value & 0xFFFFFF), row[px]));
            }
        }
    }
}

void RenderIntoSheet(Font* font, FastFont* sheet, const FASTFONTGLYPH& e) {
    ++font->sheetVersion;
    // Fast font and icons are off while a sheet is drawn, so the glyph goes in directly.
    FontDrawGlyph(font, &sheet->sheet, e.x, e.y, e.text, 2, MonoOnto(&sheet->sheet));
}

void FontDrawLines(Font* font, DDSURFACEDATA* target, i32 x, i32 y, const char* text, bool icons, bool mono) {
    if (!text) return;
    D3DBeginBatch(1);
    if (font->cellWidth == 0) {
        i32 py = y;
        const char* p = text;
        while (*p) {
            i32 px = x;
            while (*p && *p != '\n') {
                int len = 1;
                const u32 cp = CodeAt(p, &len);
                FontDrawGlyph(font, target, px, py, p, len, mono);
                px += font->face ? font->face->Advance(cp) : 0;
                p += len;
            }
            if (*p == '\n') ++p;
            py += font->cellHeight;
        }
        D3DFlushBatch();
        return;
    }
    // By the glyphs' own advances the sheets' fixed cells do not apply: glyphs go in directly.
    const bool byGlyph = font->glyphAdvance && font->face && !icons;
    const bool fast = !byGlyph && font->fastFont && font->m_lpFastFont_Half && font->m_lpFastFont_FullAdd && target;
    const auto step = [&](const char* p, int len) {
        if (!byGlyph) return font->cellWidth;
        const u32 cp = len == 2 ? Cp932ToUnicode(static_cast<u8>(p[0]), static_cast<u8>(p[1]))
                                : Cp932ToUnicode(static_cast<u8>(p[0]), 0);
        const i32 advance = cp ? font->face->Advance(cp) : 0;
        return advance > 0 ? std::min(advance, font->cellWidth) : font->cellWidth;
    };
    WalkCells(text, font->cellHeight, step, [&](const char* p, int len, i32 xo, i32 yo) {
        const auto c = static_cast<u8>(*p);
        if (len == 2) {
            if (IsFullWidthSpace(p)) return;
            const char pair[3] = {p[0], p[1], 0};
            FastFont* full = font->m_lpFastFont_FullAdd.get();
            if (fast) {
                if (!full->DrawChar(target, x + xo, y + yo, pair, DDBLT_KEY)) {
                    if (full->AddGlyph(pair)) {
                        RenderIntoSheet(font, full, full->glyphs.back());
                        full->DrawChar(target, x + xo, y + yo, pair, DDBLT_KEY);
                    } else {
                        FontDrawGlyph(font, target, x + xo, y + yo, p, 2, mono);
                    }
                }
            } else {
                FontDrawGlyph(font, target, x + xo, y + yo, p, 2, mono);
            }
        } else if (c != ' ' && !(icons && c >= 'a' && c <= 'z')) {
            if (fast) font->m_lpFastFont_Half->DrawIndex(target, x + xo, y + yo, c, DDBLT_KEY);
            else FontDrawGlyph(font, target, x + xo, y + yo, p, 1, mono);
        }
    });
    D3DFlushBatch();
}

void FontDrawIcons(Font* font, DDSURFACEDATA* dst, i32 x, i32 y, const char* text) {
    if (!font->iconsOn || !font->icon || !SurfacePixels(font->icon) || font->cellWidth == 0 || !text) return;
    D3DBeginBatch(0);
    const auto cellStep = [&](const char*, int) { return font->cellWidth; };
    WalkCells(text, font->cellHeight, cellStep, [&](const char* p, int len, i32 xo, i32 yo) {
        const auto c = static_cast<u8>(*p);
        if (len == 1 && c >= 'a' && c <= 'z')
            DDBlt(dst, x + xo, y + yo, font->cellWidth, font->cellHeight, font->icon, (c - 'a') * font->cellWidth, 0, DDBLT_KEY);
    });
    D3DFlushBatch();
}

bool IconsActive(const Font* font) { return font->iconsOn && font->icon && SurfacePixels(font->icon); }
} // namespace

// Texts kept as the pictures they draw: a line drawn again in the same state is one blit of
// its picture instead of a fill, a blit per glyph and the copy out. Everything that shapes the
// picture is in the stamp; a change to any of it draws the text anew.
struct cLineStamp {
    bool d3d = false;
    i32 bpp = 0;
    bool grid = false;
    bool icons = false;
    const GlyphFace* face = nullptr;
    i32 cellWidth = 0, cellHeight = 0;
    u32 glyphAdvance = 0, centreGlyphs = 0, fastFont = 0, color = 0, colorIndex = 0;
    const PixelStore* half = nullptr;
    const PixelStore* full = nullptr;
    u32 sheetVersion = 0;
    // DirectDraw draws through the work surface: its fill colour and the key of the glyph blits.
    const PixelStore* work = nullptr;
    i32 workWidth = 0, workHeight = 0;
    u32 fill = 0, keyValue = 0, keyMask = 0;
    bool operator==(const cLineStamp&) const = default;
};

struct cLineImages {
    struct Entry {
        std::string text;
        cLineStamp stamp;
        // A record of the picture's own, in no list and with no number: blitting from it takes
        // the same way as blitting from the surface it was made for.
        DDSURFACEDATA sd;
        i64 texels = 0;
        u64 used = 0;
    };
    std::vector<std::unique_ptr<Entry>> entries;
    i64 texels = 0;
    u64 clock = 0;

    // Lines a font keeps at most, and their texels together (a megabyte at 32 bits): a frame's
    // texts fit, a message typed out character by character passes through.
    static constexpr std::size_t kEntries = 48;
    static constexpr i64 kTexels = 256 * 1024;

    Entry* Find(const std::string_view text, const cLineStamp& stamp) {
        for (auto& e : entries)
            if (e->stamp == stamp && e->text == text) {
                e->used = ++clock;
                return e.get();
            }
        return nullptr;
    }
    // A new entry of width x height texels (false: too big to keep).
    Entry* Add(const std::string_view text, const cLineStamp& stamp, i32 width, i32 height) {
        const i64 n = static_cast<i64>(width) * height;
        if (width <= 0 || height <= 0 || n > kTexels / 4) return nullptr;
        while (!entries.empty() && (entries.size() >= kEntries || texels + n > kTexels)) {
            auto oldest = std::min_element(entries.begin(), entries.end(),
                                           [](const auto& a, const auto& b) { return a->used < b->used; });
            texels -= (*oldest)->texels;
            entries.erase(oldest);
        }
        auto e = std::make_unique<Entry>();
        e->text = text;
        e->stamp = stamp;
        e->texels = n;
        e->used = ++clock;
        e->sd.width = e->sd.texWidth = width;
        e->sd.height = e->sd.texHeight = height;
        texels += n;
        entries.push_back(std::move(e));
        return entries.back().get();
    }
};

namespace {
cLineStamp LineStampOf(const Font* font, bool icons) {
    cLineStamp st;
    st.d3d = lpDTCon != nullptr;
    st.bpp = g_nBpp;
    st.grid = g_Grid.on;
    st.icons = icons;
    st.face = font->face.get();
    st.cellWidth = font->cellWidth;
    st.cellHeight = font->cellHeight;
    st.glyphAdvance = font->glyphAdvance;
    st.centreGlyphs = font->centreGlyphs;
    st.fastFont = font->fastFont;
    st.color = font->color;
    st.colorIndex = font->colorIndex;
    if (font->m_lpFastFont_Half) st.half = SurfacePixels(&font->m_lpFastFont_Half->sheet);
    if (font->m_lpFastFont_FullAdd) st.full = SurfacePixels(&font->m_lpFastFont_FullAdd->sheet);
    st.sheetVersion = font->sheetVersion;
    return st;
}

cLineImages& LineImagesOf(Font* font) {
    if (!font->lineImages) font->lineImages = std::make_shared<cLineImages>();
    return *font->lineImages;
}

// DirectDraw text: the work surface's rectangle as the glyphs left it, kept and blitted with
// the key. False when the text is drawn the usual way (and kept for the next time when it can).
bool DrawKeptLineDD(Font* font, DDSURFACEDATA* dst, i32 x, i32 y, const char* text, bool icons, i32 w, i32 h) {
    PixelStore* work = SurfacePixels(&font->work);
    if (!work || !font->work.holder) return false;
    cLineStamp st = LineStampOf(font, icons);
    st.work = work;
    st.workWidth = work->width;
    st.workHeight = work->height;
    st.fill = PalNumToRGB(0);
    const KeyTest key = ModeKeyTest();
    st.keyValue = key.value;
    st.keyMask = key.mask;
    cLineImages& kept = LineImagesOf(font);
    if (cLineImages::Entry* e = kept.Find(text, st)) {
        DDBlt(dst, x, y, w, h, &e->sd, 0, 0, DDBLT_KEY);
        return true;
    }
    DDFillRect(&font->work, 0, 0, w, h, 0);
    FontDrawLines(font, &font->work, 0, 0, text, icons, true);
    st.sheetVersion = font->sheetVersion; // glyphs met for the first time went onto a sheet
    // The blit below reads no further than the work surface reaches.
    const i32 cw = std::min(w, work->width), ch = std::min(h, work->height);
    if (cLineImages::Entry* e = kept.Add(text, st, cw, ch)) {
        auto store = MakePixelStore(cw, ch, 0);
        for (i32 r = 0; r < ch; ++r)
            std::memcpy(store->Row(r), work->Row(r), static_cast<std::size_t>(cw) * sizeof(u32));
        e->sd.holder = std::make_unique<DDSURFACEHOLDER>();
        e->sd.holder->lpSurface = std::move(store);
        e->sd.holder->bColorKey = font->work.holder->bColorKey;
    }
    DDBlt(dst, x, y, w, h, &font->work, 0, 0, DDBLT_KEY);
    return true;
}

// Direct3D text drawn into a render target: one quad per glyph from the sheets, none of them
// overlapping. Under a quad state that draws a transparent texel as nothing, the glyphs' cells
// laid out in one transparent picture draw the same pixels in one quad. False when the text
// must go glyph by glyph (a glyph not on a sheet yet, or another quad state).
bool DrawKeptLineD3D(Font* font, DDSURFACEDATA* target, i32 x, i32 y, const char* text, bool icons) {
    const bool byGlyph = font->glyphAdvance && font->face && !icons;
    FastFont* half = font->m_lpFastFont_Half.get();
    FastFont* full = font->m_lpFastFont_FullAdd.get();
    if (byGlyph || !font->fastFont || !half || !full || font->cellWidth <= 0 || font->cellHeight <= 0) return false;
    const u32 co = lpDTCon->dwColorOp, ao = lpDTCon->dwAlphaOp;
    if (lpDTCon->bCopyingVirtual || lpDTCon->dwQuadColor != 0xFFFFFFFFu ||
        (co != D3DTOP_MODULATE && co != D3DTOP_SELECTARG1) || (ao != D3DTOP_MODULATE && ao != D3DTOP_SELECTARG1))
        return false;
    const PixelStore* hs = SurfacePixels(&half->sheet);
    const PixelStore* fs = SurfacePixels(&full->sheet);
    if (!hs || !fs || !half->sheet.lpDT || !full->sheet.lpDT || half->columns <= 0) return false;
    // The cells tile the line: each glyph's quad is a cell wide and the pen moves by as much.
    if (half->cellWidth != font->cellWidth || full->cellWidth != font->cellWidth ||
        half->cellHeight != font->cellHeight || full->cellHeight != font->cellHeight)
        return false;
    const DTDATA& flags = *full->sheet.lpDT;
    const DTDATA& hflags = *half->sheet.lpDT;
    if (flags.bColorKey != hflags.bColorKey || flags.bRenderTarget != hflags.bRenderTarget ||
        flags.bSystemTexture != hflags.bSystemTexture)
        return false;
    cLineStamp st = LineStampOf(font, icons);
    cLineImages& kept = LineImagesOf(font);
    cLineImages::Entry* e = kept.Find(text, st);
    if (!e) {
        // Every glyph must be on a sheet already: the usual way adds the missing ones.
        for (const char* p = text; *p;) {
            if (IsDoubleByte(p)) {
                const char pair[3] = {p[0], p[1], 0};
                if (!IsFullWidthSpace(p) && !full->Find(pair)) return false;
                p += 2;
            } else {
                ++p;
            }
        }
        i32 w = 0, h = 0;
        FontMeasure(font, text, &w, &h);
        if (w <= 0 || h <= 0) return false;
        e = kept.Add(text, st, w, h);
        if (!e) return false;
        auto store = MakePixelStore(w, h, 0);
        // A cell is copied as far as it lies inside its sheet, as its quad is clipped there.
        const auto cell = [&](const PixelStore& sheet, i32 sx, i32 sy, i32 dx, i32 dy) {
            const i32 cw = std::min(font->cellWidth, sheet.width - sx), ch = std::min(font->cellHeight, sheet.height - sy);
            for (i32 r = 0; r < ch; ++r)
                std::memcpy(store->Row(dy + r) + dx, sheet.Row(sy + r) + sx, static_cast<std::size_t>(std::max(cw, 0)) * sizeof(u32));
        };
        const auto cellStep = [&](const char*, int) { return font->cellWidth; };
        WalkCells(text, font->cellHeight, cellStep, [&](const char* p, int len, i32 xo, i32 yo) {
            const auto c = static_cast<u8>(*p);
            if (len == 2) {
                const char pair[3] = {p[0], p[1], 0};
                if (!IsFullWidthSpace(p)) {
                    const FASTFONTGLYPH* g = full->Find(pair);
                    cell(*fs, g->x, g->y, xo, yo);
                }
            } else if (c != ' ' && !(icons && c >= 'a' && c <= 'z')) {
                cell(*hs, (c % half->columns) * font->cellWidth, (c / half->columns) * font->cellHeight, xo, yo);
            }
        });
        e->sd.lpDT = std::make_unique<DTDATA>();
        e->sd.lpDT->lpSurface = std::move(store);
        e->sd.lpDT->bColorKey = flags.bColorKey;
        e->sd.lpDT->bRenderTarget = flags.bRenderTarget;
        e->sd.lpDT->bSystemTexture = flags.bSystemTexture;
        e->sd.lpDT->blocks = std::make_shared<const cTexelBlocks>(*e->sd.lpDT->lpSurface);
    }
    D3DBeginBatch(1);
    DDBlt(target, x, y, e->sd.width, e->sd.height, &e->sd, 0, 0, DDBLT_KEY);
    D3DFlushBatch();
    return true;
}
} // namespace

u32 Cp932ToUnicode(u8 lead, u8 trail) {
    if (!trail) return Cp932Rows().Row(0)[lead];
    return IsSjisLead(lead) ? Cp932Rows().Row(lead)[trail] : 0;
}

std::string FontFilePath(const std::string& faceUtf8) {
    if (const char* env = std::getenv("TOBRELK_FONT"); env && *env) return env;
    if (faceUtf8.find("Ｐ") != std::string::npos) return "/usr/share/fonts/opentype/ipafont-gothic/ipagp.ttf";
    return "/usr/share/fonts/opentype/ipafont-gothic/ipag.ttf";
}

const std::vector<Font*>& FontList() { return FontListRef(); }

i32 LineLength(const char* text) {
    i32 n = 0;
    while (text && text[n] && text[n] != '\n') ++n;
    return n;
}

void FontMeasure(Font* font, const char* text, i32* width, i32* height) {
    i32 widest = 0, lines = 0;
    const char* p = text ? text : "";
    for (;;) {
        i32 w = 0;
        while (*p && *p != '\n') {
            int len = 1;
            const u32 cp = CodeAt(p, &len);
            w += GlyphWidth(font, cp);
            p += len;
        }
        widest = std::max(widest, w);
        ++lines;
        if (*p != '\n') break;
        ++p;
    }
    *width = widest;
    *height = lines * font->cellHeight;
}

// ---------------------------------------------------------------------------------------------
// Glyph sheets

bool FastFont::AddGlyph(const char* text) {
    if (next >= capacity || !text) return false;
    FASTFONTGLYPH e;
    e.text[0] = text[0];
    e.text[1] = text[0] ? text[1] : 0;
    e.index = next;
    e.x = (next % columns) * cellWidth;
    e.y = (next / columns) * cellHeight;
    glyphs.push_back(e);
    ++count;
    ++next;
    return true;
}

void FastFont::DrawIndex(DDSURFACEDATA* dst, i32 x, i32 y, u8 byte, u32 flags) {
    if (columns <= 0) return;
    DDBlt(dst, x, y, cellWidth, cellHeight, &sheet, (byte % columns) * cellWidth, (byte / columns) * cellHeight, flags);
}

const FASTFONTGLYPH* FastFont::Find(const char* text) const {
    const auto key = [](char lead, char trail) { return static_cast<u16>(static_cast<u8>(lead) << 8 | static_cast<u8>(trail)); };
    const u16 wanted = key(text[0], text[1]);
    for (int pass = 0; pass < 2; ++pass) {
        // The list only grows while the sheet lives; one that was changed otherwise is indexed
        // again.
        if (pass == 1 || m_indexed > glyphs.size()) {
            m_first.clear();
            m_indexed = 0;
        }
        for (; m_indexed < glyphs.size(); ++m_indexed)
            m_first.emplace(key(glyphs[m_indexed].text[0], glyphs[m_indexed].text[1]), m_indexed);
        const auto it = m_first.find(wanted);
        if (it == m_first.end()) return nullptr;
        const FASTFONTGLYPH& e = glyphs[it->second];
        if (key(e.text[0], e.text[1]) == wanted) return &e;
    }
    return nullptr;
}

bool FastFont::DrawChar(DDSURFACEDATA* dst, i32 x, i32 y, const char* text, u32 flags) {
    const FASTFONTGLYPH* e = Find(text);
    if (!e) return false;
    DDBlt(dst, x, y, cellWidth, cellHeight, &sheet, e->x, e->y, flags);
    return true;
}

void Font::Release() {
    lineImages.reset();
    ++sheetVersion;
    face.reset();
    if (m_lpFastFont_Half) DDReleaseSurface(&m_lpFastFont_Half->sheet);
    m_lpFastFont_Half.reset();
    if (m_lpFastFont_FullAdd) DDReleaseSurface(&m_lpFastFont_FullAdd->sheet);
    m_lpFastFont_FullAdd.reset();
    DDReleaseSurface(&work);
    std::erase(FontListRef(), this);
}

void FontBuildHalfSheet(Font* font) {
    FastFont* sheet = font->m_lpFastFont_Half.get();
    if (!sheet) return;
    ++font->sheetVersion;
    DDFillSurface(&sheet->sheet, 0);
    // Byte by byte into cell (c mod 16, c / 16): a lead byte never swallows the next code.
    const bool mono = MonoOnto(&sheet->sheet);
    for (int c = 0x21; c < 0x100; ++c) {
        const char b[2] = {static_cast<char>(c), 0};
        FontDrawGlyph(font, &sheet->sheet, (c % 16) * sheet->cellWidth, (c / 16) * sheet->cellHeight, b, 1, mono);
    }
}

void FontBuildFullSheet(Font* font, bool rebuild) {
    FastFont* sheet = font->m_lpFastFont_FullAdd.get();
    if (!sheet) return;
    if (!rebuild) {
        const std::string list = Utf8ToSjis(kFullSheetPrefill);
        for (std::size_t i = 0; i + 1 < list.size(); i += 2)
            if (!sheet->AddGlyph(list.c_str() + i)) break;
    }
    ++font->sheetVersion;
    DDFillSurface(&sheet->sheet, 0);
    for (const auto& e : sheet->glyphs) RenderIntoSheet(font, sheet, e);
}

void FontCreate(Font* font, const char* face, i32 width, i32 height, i32 cellWidth, i32 cellHeight, u32 colorIndex,
                DDSURFACEDATA* frame, i32 border, u32 frameColor, DDSURFACEDATA* icon, u32 fastFont) {
    if (!font) return;
    font->lineImages.reset();
    ++font->sheetVersion;
    font->faceName = face ? face : "";
    font->width = width;
    font->height = height;
    font->cellWidth = cellWidth > 0 ? cellWidth : 0;
    font->cellHeight = cellHeight > 0 ? cellHeight : 0;
    font->colorIndex = colorIndex;
    font->frame = frame;
    font->border = border;
    font->frameColor = frameColor;
    font->icon = icon;
    font->iconsOn = icon != nullptr;
    const u8 idx = static_cast<u8>(colorIndex > 255 ? 0 : colorIndex);
    const PALETTEENTRY& e = g_palCur[idx];
    if (lpDTCon) font->color = 0xFF000000 | u32(e.peRed) << 16 | u32(e.peGreen) << 8 | e.peBlue;
    else if (g_nBpp == 16) {
        // The entries hold channel values at 16 bits: the colour is taken on the 0..255 scale.
        const u32 c = GridFromRaw(u32(e.peRed) << 16 | u32(e.peGreen) << 8 | e.peBlue);
        font->color = (c & 0xFF) << 16 | (c & 0xFF00) | ((c >> 16) & 0xFF);
    } else if (g_nBpp != 0) font->color = u32(e.peBlue) << 16 | u32(e.peGreen) << 8 | e.peRed;

    const i32 glyphHeight = height > 0 ? height : font->cellHeight;
    // The width shapes the GDI font of DirectDraw mode; the Direct3D font is made with width 0.
    const i32 glyphWidth = lpDTCon ? 0 : width;
    font->face = GlyphFace::Open(FontFilePath(ToDisplayText(font->faceName)), glyphHeight, glyphWidth);
    if (!SurfacePixels(&font->work) &&
        !DDCreateSurface(&font->work, g_DDGraphics.width, g_DDGraphics.height, 1, 0, 0, 0, 0)) {
        DebugLog("DDCreateSurface Font::Work");
        PostMessage(g_hWnd, WM_CLOSE, 0, 0);
    }
    std::snprintf(font->work.name, sizeof font->work.name, "Font::Work");
    if (lpDTCon) font->id = lpDTCon->nFontCount++;
    else if (g_lpDDState) font->id = g_lpDDState->nFontCount++;
    if (std::find(FontListRef().begin(), FontListRef().end(), font) == FontListRef().end()) FontListRef().push_back(font);

    auto dropSheets = [font] {
        if (font->m_lpFastFont_Half) DDReleaseSurface(&font->m_lpFastFont_Half->sheet);
        if (font->m_lpFastFont_FullAdd) DDReleaseSurface(&font->m_lpFastFont_FullAdd->sheet);
        font->m_lpFastFont_Half.reset();
        font->m_lpFastFont_FullAdd.reset();
    };
    font->fastFont = fastFont ? 1 : 0;
    if (!font->fastFont) {
        dropSheets();
        return;
    }
    if (font->cellWidth == 0 || font->cellHeight == 0) {
        DebugLog("※フォントクラスで文字間が未設定！");
        dropSheets();
        font->fastFont = 0;
        return;
    }
    dropSheets();
    auto makeSheet = [](u32 kind, i32 cw, i32 ch, i32 cols, i32 rows) -> std::unique_ptr<FastFont> {
        if (cols <= 0 || rows <= 0) return nullptr;
        auto s = std::make_unique<FastFont>();
        s->kind = kind;
        s->cellWidth = cw;
        s->cellHeight = ch;
        s->columns = cols;
        s->rows = rows;
        s->capacity = cols * rows;
        if (!DDCreateSurface(&s->sheet, cols * cw, rows * ch, 1, 0, 0, 0, 0)) return nullptr;
        return s;
    };
    font->m_lpFastFont_Half = makeSheet(0, font->cellWidth, font->cellHeight, 16, 16);
    if (!font->m_lpFastFont_Half) {
        DebugLog("m_lpFastFont_Half Err");
        PostMessage(g_hWnd, WM_CLOSE, 0, 0);
        font->fastFont = 0;
        return;
    }
    i32 cols, rows;
    if (lpDTCon) {
        cols = std::min(1024 / font->cellWidth, 32);
        rows = std::min(1024 / font->cellHeight, 32);
    } else {
        cols = std::min(g_DDGraphics.width / font->cellWidth, 32);
        rows = std::min(g_DDGraphics.height / font->cellHeight, 30);
    }
    font->m_lpFastFont_FullAdd = makeSheet(1, font->cellWidth, font->cellHeight, cols, rows);
    if (!font->m_lpFastFont_FullAdd) {
        DebugLog("m_lpFastFont_FullAdd Err");
        PostMessage(g_hWnd, WM_CLOSE, 0, 0);
        dropSheets();
        font->fastFont = 0;
        return;
    }
    FontBuildHalfSheet(font);
    FontBuildFullSheet(font, false);
}

bool FontCreateAll(Font* fonts, const FONTDEF* defs, i32 count) {
    DDSURFACEDATA* pics = g_DDGraphics.pictures;
    const i32 n = g_DDGraphics.pictureCount;
    for (i32 i = 0; fonts && defs && i < count; ++i) {
        const FONTDEF& d = defs[i];
        char face[256];
        std::memcpy(face, d.face, sizeof face);
        face[255] = 0;
        DDSURFACEDATA* frame = pics && static_cast<i32>(d.frameSlot) < n ? &pics[d.frameSlot] : nullptr;
        DDSURFACEDATA* icon = pics && static_cast<i32>(d.iconSlot) < n ? &pics[d.iconSlot] : nullptr;
        FontCreate(&fonts[i], face, static_cast<i32>(d.width), static_cast<i32>(d.height), static_cast<i32>(d.cellWidth),
                   static_cast<i32>(d.cellHeight), d.color, frame, static_cast<i32>(d.border), d.frameColor, icon,
                   d.fastFont);
    }
    return true;
}

void FontRestore(Font* font) {
    if (!font) return;
    for (FastFont* s : {font->m_lpFastFont_Half.get(), font->m_lpFastFont_FullAdd.get()}) {
        if (!s) continue;
        if (lpDTCon && !s->sheet.restored) continue;
        s->sheet.restored = 0;
        if (s == font->m_lpFastFont_Half.get()) FontBuildHalfSheet(font);
        else FontBuildFullSheet(font, true);
    }
}

// ---------------------------------------------------------------------------------------------
// Text

void DDDrawText(Font* font, DDSURFACEDATA* dst, i32 x, i32 y, const char* text, u32 noIcons) {
    if (!font || !dst || !text) return;
    const bool icons = !noIcons && IconsActive(font);
    if (!lpDTCon) {
        i32 w = 0, h = 0;
        FontMeasure(font, text, &w, &h);
        if (w > 0 && h > 0 && !DrawKeptLineDD(font, dst, x, y, text, icons, w, h)) {
            DDFillRect(&font->work, 0, 0, w, h, 0);
            FontDrawLines(font, &font->work, 0, 0, text, icons, true);
            DDBlt(dst, x, y, w, h, &font->work, 0, 0, DDBLT_KEY);
        }
        if (icons) FontDrawIcons(font, dst, x, y, text);
        return;
    }
    DDSURFACEDATA* target = DrawTargetOf(dst);
    if (!target->lpDT) return;
    if (target->lpDT->bSystemTexture || !target->lpDT->bRenderTarget) {
        // A texture the device cannot draw into: the text is drawn into the work surface, a
        // render target, with anti-aliased glyphs as on screen, icons included, and the
        // rectangle is then copied with the key. The glyphs go in directly: a sheet's cells
        // blended onto the cleared work surface would lose half their edges' alpha.
        i32 w = 0, h = 0;
        FontMeasure(font, text, &w, &h);
        if (w <= 0 || h <= 0) return;
        DDFillRect(&font->work, 0, 0, w, h, 0);
        DDBeginScene();
        const u32 saved = font->fastFont;
        font->fastFont = 0;
        FontDrawLines(font, &font->work, 0, 0, text, icons, MonoOnto(&font->work));
        font->fastFont = saved;
        if (icons) FontDrawIcons(font, &font->work, 0, 0, text);
        DDBlt(target, x, y, w, h, &font->work, 0, 0, DDBLT_KEY);
        return;
    }
    DDBeginScene();
    if (!DrawKeptLineD3D(font, target, x, y, text, icons)) FontDrawLines(font, target, x, y, text, icons, false);
    if (icons) FontDrawIcons(font, target, x, y, text);
}

namespace {
// Formats into a buffer of the old fixed size, cut at a character boundary rather than past
// the buffer's end.
std::string FormatLimited(std::size_t limit, const char* format, va_list args) {
    return CutSjis(FormatV(format ? format : "", args), limit - 1);
}
} // namespace

void DDDrawTextF(Font* font, DDSURFACEDATA* dst, i32 x, i32 y, const char* format, ...) {
    va_list args;
    va_start(args, format);
    const std::string text = FormatLimited(560, format, args);
    va_end(args);
    DDDrawText(font, dst, x, y, text.c_str(), 0);
}

void DDDrawFrame(DDSURFACEDATA* sd, i32 x, i32 y, i32 w, i32 h, i32 b, u32 palIndex) {
    D3DBeginFillBatch();
    DDFillRect(sd, x, y, w, b, palIndex);
    DDFillRect(sd, x, y + h - b, w, b, palIndex);
    DDFillRect(sd, x, y, b, h, palIndex);
    DDFillRect(sd, x + w - b, y, b, h, palIndex);
    D3DFlushFillBatch();
}

void DDBltFrame(DDSURFACEDATA* dst, i32 x, i32 y, i32 w, i32 h, DDSURFACEDATA* src, i32 b, u32 palIndex) {
    DDBlt(dst, x, y, w, h, src, 0, 0, 0);
    DDDrawFrame(dst, x - b, y - b, w + 2 * b, h + 2 * b, b, palIndex);
}

namespace {
void CentreBox(Font* font, i32* x, i32* y, i32 w, i32 h) {
    const i32 fw = font->frame ? font->frame->width : 0;
    const i32 fh = font->frame ? font->frame->height : 0;
    if (*x == 10000) *x = fw / 2 - w / 2;
    if (*y == 10000) *y = fh / 2 - h / 2;
}
} // namespace

void FontDrawBoxText(Font* font, DDSURFACEDATA* dst, i32 x, i32 y, i32 w, i32 h, const char* text, i32 indent, u32) {
    if (!font || !text) return;
    if (w == 0 || h == 0) {
        i32 mw = 0, mh = 0;
        FontMeasure(font, text, &mw, &mh);
        if (w == 0) w = mw + indent;
        if (h == 0) h = mh;
    }
    CentreBox(font, &x, &y, w, h);
    if (font->frame) DDBltFrame(dst, x, y, w, h, font->frame, font->border, font->frameColor);
    DDDrawText(font, dst, x + indent, y, text, 0);
}

void FontDrawTextDefault(Font* font, DDSURFACEDATA* dst, i32 x, i32 y, i32 w, i32 h, const char* text, i32 indent) {
    FontDrawBoxText(font, dst, x, y, w, h, text, indent, font ? font->colorIndex : 0);
}

void DDDrawTextBox(Font* font, DDSURFACEDATA* dst, i32 x, i32 y, i32 w, i32 h, const char* format, ...) {
    va_list args;
    va_start(args, format);
    const std::string text = FormatLimited(1024, format, args);
    va_end(args);
    FontDrawBoxText(font, dst, x, y, w, h, text.c_str(), 0, 0);
}

void FontDrawFrame(Font* font, DDSURFACEDATA* dst, i32 x, i32 y, i32 w, i32 h) {
    if (!font || !font->frame) return;
    CentreBox(font, &x, &y, w, h);
    DDBltFrame(dst, x, y, w, h, font->frame, font->border, font->frameColor);
}

void FontDrawDigits(DDSURFACEDATA* sd, Font* font) {
    if (!sd || !font) return;
    DDFillSurface(sd, 0);
    DDDrawText(font, sd, 0, 0, "0123456789", 0);
}

bool FontCreateDigits(DDSURFACEDATA* digits, const DDPICTUREDEF* defs, i32 count, Font* fonts, const FONTDEF*) {
    for (i32 k = 0; digits && defs && fonts && k < count; ++k) {
        Font& f = fonts[k];
        if (f.cellWidth <= 0 || f.cellHeight <= 0) continue;
        if (DDCreateSurface(&digits[k], 10 * f.cellWidth, f.cellHeight, defs[k].colorKey, defs[k].memoryType,
                            defs[k].d3dMemoryType, defs[k].noOwnTexture, 0))
            FontDrawDigits(&digits[k], &f);
    }
    return true;
}

void DDDrawBmpText(DDSURFACEDATA* dst, i32 x, i32 y, i32 cellWidth, i32 cellHeight, DDSURFACEDATA* sheet, const char* text) {
    if (!text || cellWidth <= 0 || cellHeight <= 0) return;
    if (lpDTCon) D3DBeginBatch(0);
    const i32 screenW = g_DDGraphics.width > 0 ? g_DDGraphics.width : 640;
    i32 xo = 0;
    for (const char* p = text; *p; ++p) {
        const auto b = static_cast<u8>(*p);
        if (b == '\n') {
            y += cellHeight;
            xo = 0;
            continue;
        }
        const i32 col = b % 16;
        i32 row = (b / 16) % 16;
        if (b >= 0xA6 && b <= 0xBF) row -= 10;
        else if (b >= 0xC0 && b <= 0xDD) row -= 4;
        DDBlt(dst, x + xo, y, cellWidth, cellHeight, sheet, col * cellWidth, row * cellHeight, DDBLT_KEY);
        xo += cellWidth;
        if (xo >= screenW) {
            y += cellHeight;
            xo = 0;
        }
    }
    if (lpDTCon) D3DFlushBatch();
}

void DDDrawBmpTextF(DDSURFACEDATA* dst, i32 x, i32 y, i32 cellWidth, i32 cellHeight, DDSURFACEDATA* sheet,
                    const char* format, i32 a, i32 b, i32 c, i32 d) {
    // The format comes from the game's data: only %d-style conversions of the four values
    // are honoured, so a stray %s cannot read a string that was never passed.
    std::string out;
    const i32 values[4] = {a, b, c, d};
    int used = 0;
    for (const char* p = format ? format : ""; *p; ++p) {
        if (*p != '%') {
            out += *p;
            continue;
        }
        std::string conv = "%";
        ++p;
        while (*p && std::strchr("-+ #0123456789", *p)) conv += *p++;
        if (!*p) break;
        if (*p == '%') {
            out += '%';
        } else if (std::strchr("dixXuoc", *p) && used < 4) {
            conv += *p;
            char buf[64];
            std::snprintf(buf, sizeof buf, conv.c_str(), values[used++]);
            out += buf;
        }
    }
    DDDrawBmpText(dst, x, y, cellWidth, cellHeight, sheet, out.c_str());
}

TEXTSIZE MeasureTextLines(const Font* font, const char* text) {
    TEXTSIZE size;
    if (!font) return size;
    i32 widest = 0, lines = 0;
    const char* p = text ? text : "";
    for (;;) {
        i32 chars = 0;
        while (*p && *p != '\n') {
            const int len = (p[1] && IsDoubleByte(p)) ? 2 : 1;
            ++chars;
            p += len;
        }
        widest = std::max(widest, chars);
        ++lines;
        if (*p != '\n') break;
        ++p;
    }
    size.width = widest * font->cellWidth;
    size.height = lines * font->cellHeight;
    return size;
}
