// Glyph sheets: characters drawn once into the fixed cells of a surface (every single byte in
// one, the common double-byte characters and those met since in the other), later copied with
// blits.
#include <string>

#include "platform/system/Sjis.h"
#include "platform/ui/Font.h"
#include "platform/ui/FontKit.h"

using namespace fontkit;

const char* const kFullSheetPrefill =
    "０１２３４５６７８９ー～、。．！？「」（）・…※→↑↓←＋－＝○●×ＡＢＣＤＥＦＧＨＩＪＫＬＭＮＯＰＱＲＳＴＵＶＷＸＹＺａｂｃｄｅｆｇｈｉｊｋｌｍｎｏｐｑｒｓｔｕｖｗｘｙｚあいうえおかきくけこさしすせそたちつてとなにぬねのはひふへほまみむめもやゆよらりるれろわをんがぎぐげござじずぜぞだぢづでどばびぶべぼぱぴぷぺぽぁぃぅぇぉっゃゅょアイウエオカキクケコサシスセソタチツテトナニヌネノハヒフヘホマミムメモヤユヨラリルレロワヲンガギグゲゴザジズゼゾダヂヅデトバビブベボヴパピプペポァィゥェォッャュョ□■☆★％＆＜＞：";

namespace fontkit {
void RenderIntoSheet(Font* font, FastFont* sheet, const FASTFONTGLYPH& e) {
    ++font->sheetVersion;
    // Fast font and icons are off while a sheet is drawn, so the glyph goes in directly.
    FontDrawGlyph(font, &sheet->sheet, e.x, e.y, e.text, 2, MonoOnto(&sheet->sheet));
}
} // namespace fontkit

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
