// Texts made of pictures: the digits picture each font draws, and texts copied cell by cell
// from a bitmap sheet of characters.
#include <cstdio>
#include <cstring>
#include <string>

#include "platform/ui/Font.h"

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
