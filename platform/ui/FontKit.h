#pragma once
// What the font files share among themselves, and nothing outside them uses: the walk over a
// text's cells, the glyph pen and the icons (FontGlyphs.cpp), a glyph drawn into its sheet
// (FontSheets.cpp), and the texts kept as the pictures they draw (FontLineImages.cpp).
#include "platform/graphics/Graphics.h"
#include "platform/system/Sjis.h"
#include "platform/system/Types.h"
#include "platform/ui/Font.h"

namespace fontkit {

// Glyphs onto a surface that cannot blend them are drawn unsmoothed.
bool MonoOnto(const DDSURFACEDATA* sd);

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

bool IsFullWidthSpace(const char* p);
// The code point of the character at p, and its length in bytes.
u32 CodeAt(const char* p, int* len);
void FontDrawGlyph(Font* font, DDSURFACEDATA* dst, i32 x, i32 y, const char* p, int len, bool mono);
void FontDrawLines(Font* font, DDSURFACEDATA* target, i32 x, i32 y, const char* text, bool icons, bool mono);
void FontDrawIcons(Font* font, DDSURFACEDATA* dst, i32 x, i32 y, const char* text);
bool IconsActive(const Font* font);

void RenderIntoSheet(Font* font, FastFont* sheet, const FASTFONTGLYPH& e);

bool DrawKeptLineDD(Font* font, DDSURFACEDATA* dst, i32 x, i32 y, const char* text, bool icons, i32 w, i32 h);
bool DrawKeptLineD3D(Font* font, DDSURFACEDATA* target, i32 x, i32 y, const char* text, bool icons);

} // namespace fontkit
