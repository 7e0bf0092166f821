// Texts drawn with a font: a text at a point, formatted or framed in a box, and measured.
#include <algorithm>
#include <cstdarg>
#include <string>

#include "platform/system/Format.h"
#include "platform/system/Sjis.h"
#include "platform/ui/Font.h"
#include "platform/ui/FontKit.h"
#include "platform/ui/GlyphFace.h"

using namespace fontkit;

namespace {

DDSURFACEDATA* DrawTargetOf(DDSURFACEDATA* sd) {
    DDResolveSD(&sd);
    DDSetDrawTarget(&sd);
    return sd;
}

i32 GlyphWidth(Font* font, u32 cp) {
    if (font->cellWidth) return font->cellWidth;
    return font->face ? font->face->Advance(cp) : 0;
}
} // namespace

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
