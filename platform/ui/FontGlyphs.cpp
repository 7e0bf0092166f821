// The glyph pen: one character drawn from the font's face into a surface of the running mode,
// the lines of a text laid out in cells or by the glyphs' own advances (from the glyph sheets
// where the font has them), and the icons that letters stand for.
#include <algorithm>

#include "platform/graphics/Raster.h"
#include "platform/system/Sjis.h"
#include "platform/ui/Font.h"
#include "platform/ui/FontKit.h"
#include "platform/ui/GlyphFace.h"

using namespace fontkit;

namespace {

bool IsRenderTarget(const DDSURFACEDATA* sd) { return lpDTCon && sd && sd->lpDT && sd->lpDT->bRenderTarget; }

// The value a glyph pixel is written with on a surface of the running mode.
u32 GlyphValue(const Font* font) {
    if (lpDTCon) return font->color;
    if (g_nBpp == 8) return font->colorIndex;
    const u32 c = font->color; // COLORREF: blue << 16 | green << 8 | red
    return (c & 0xFF) << 16 | (c & 0xFF00) | (c >> 16 & 0xFF);
}
} // namespace

namespace fontkit {

// Glyphs drawn onto a transparent surface (a sheet, the work surface) keep their coverage as
// alpha where it can blend. A 16-bit texture has one bit of alpha, which would cut thin strokes
// at half coverage: there, as on a surface that does not blend, they are drawn unsmoothed.
bool MonoOnto(const DDSURFACEDATA* sd) { return !IsRenderTarget(sd) || g_Grid.on; }

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
} // namespace fontkit
