// A font's life: made from its definition (face, cells, colour, frame, icons, glyph sheets),
// listed for the device restore, restored, and let go.
#include "platform/ui/Font.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>

#include "platform/graphics/Raster.h"
#include "platform/system/Report.h"
#include "platform/system/Sjis.h"
#include "platform/ui/GlyphFace.h"

namespace {
// Never destroyed: fonts are globals too, and the last of them may go after this file's
// statics at exit.
std::vector<Font*>& FontListRef() {
    static auto* list = new std::vector<Font*>();
    return *list;
}
} // namespace

std::string FontFilePath(const std::string& faceUtf8) {
    if (const char* env = std::getenv("TOBRELK_FONT"); env && *env) return env;
    if (faceUtf8.find("Ｐ") != std::string::npos) return "/usr/share/fonts/opentype/ipafont-gothic/ipagp.ttf";
    return "/usr/share/fonts/opentype/ipafont-gothic/ipag.ttf";
}

const std::vector<Font*>& FontList() { return FontListRef(); }

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
    font->work.name = "Font::Work";
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
