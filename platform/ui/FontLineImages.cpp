// Texts kept as the pictures they draw, a few per font, so that a line a game draws frame after
// frame is one blit.
#include <algorithm>
#include <cstring>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "platform/graphics/Raster.h"
#include "platform/system/Sjis.h"
#include "platform/ui/Font.h"
#include "platform/ui/FontKit.h"

using namespace fontkit;

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
} // namespace

namespace fontkit {

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
} // namespace fontkit
