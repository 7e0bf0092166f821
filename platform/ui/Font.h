#pragma once
// Fonts and text on surfaces. Glyphs come from FreeType and the IPA Gothic font (the file is
// found at its Debian path or through TOBRELK_FONT); texts are Shift-JIS bytes, one cell per
// character. In Direct3D mode glyphs are anti-aliased (text for a texture the device cannot
// draw into goes through the work surface and a keyed copy); DirectDraw draws monochrome
// glyphs, whose pixels never mix with the key colour, and shapes them with the definition's
// width as the GDI font did.
#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

#include "platform/graphics/Graphics.h"

// One row of the font table, 296 bytes in the game's files.
struct FONTDEF {
    char face[256] = {};
    u32 width = 0, height = 0;
    u32 cellWidth = 0, cellHeight = 0;
    u32 color = 0;
    u32 frameSlot = 0, border = 0, frameColor = 0;
    u32 iconSlot = 0;
    u32 fastFont = 0;
};
static_assert(sizeof(FONTDEF) == 296);

struct FASTFONTGLYPH {
    char text[4] = {}; // lead byte, trail byte, NUL
    i32 index = 0;
    i32 x = 0, y = 0;
};

// A glyph sheet: characters pre-rendered once in fixed cells, later copied with blits.
class FastFont {
public:
    u32 kind = 0; // 0 single-byte, 1 double-byte
    i32 cellWidth = 0, cellHeight = 0;
    i32 columns = 0, rows = 0, capacity = 0;
    DDSURFACEDATA sheet;
    std::vector<FASTFONTGLYPH> glyphs;
    i32 count = 0;
    i32 next = 0;

    bool AddGlyph(const char* text);
    void DrawIndex(DDSURFACEDATA* dst, i32 x, i32 y, u8 byte, u32 flags);
    bool DrawChar(DDSURFACEDATA* dst, i32 x, i32 y, const char* text, u32 flags);
    // The first glyph of the two bytes, or null.
    const FASTFONTGLYPH* Find(const char* text) const;

private:
    // Position in glyphs of each character's first glyph, for the glyphs seen so far: a message
    // looks up every character it draws, and a sheet holds up to hundreds.
    mutable std::unordered_map<u16, std::size_t> m_first;
    mutable std::size_t m_indexed = 0;
};

struct GlyphFace;
struct cLineImages;

class Font {
public:
    Font() = default;
    ~Font() { Release(); }
    Font(const Font&) = delete;
    Font& operator=(const Font&) = delete;

    // Lets go of the face, both sheets (half first) and the work surface; a second call
    // finds nothing left.
    void Release();

    u32 id = 0;
    std::shared_ptr<GlyphFace> face; // stands for the GDI font and the D3DX font alike
    u32 unused[2] = {};
    std::string faceName;
    i32 width = 0, height = 0;
    i32 cellWidth = 0, cellHeight = 0;
    u32 colorIndex = 0;
    u32 color = 0;
    u32 centreGlyphs = 0;
    // Fixed-cell text laid out by each glyph's own advance (never wider than a cell), as the
    // system lays out a proportional face: menu texts keep no gaps inside words, and a box
    // measured in cells clears its text. Ignored while icons are drawn (they keep the cells).
    u32 glyphAdvance = 0;
    DDSURFACEDATA work;
    DDSURFACEDATA* frame = nullptr;
    i32 border = 0;
    u32 frameColor = 0;
    DDSURFACEDATA* icon = nullptr;
    u32 iconsOn = 0;
    u32 fastFont = 0;
    std::unique_ptr<FastFont> m_lpFastFont_Half;
    std::unique_ptr<FastFont> m_lpFastFont_FullAdd;
    // Counts every redraw of either sheet, so that texts kept drawn from them know when to go.
    u32 sheetVersion = 0;
    // Texts already drawn, kept as pictures: a game draws the same lines frame after frame.
    std::shared_ptr<cLineImages> lineImages;
};

// The characters the double-byte sheet is filled with when it is made (UTF-8 here; the sheet
// holds their CP932 bytes).
extern const char* const kFullSheetPrefill;

bool FontCreateAll(Font* fonts, const FONTDEF* defs, i32 count);
void FontCreate(Font* font, const char* face, i32 width, i32 height, i32 cellWidth, i32 cellHeight, u32 colorIndex,
                DDSURFACEDATA* frame, i32 border, u32 frameColor, DDSURFACEDATA* icon, u32 fastFont);
void FontRestore(Font* font);
void FontBuildHalfSheet(Font* font);
void FontBuildFullSheet(Font* font, bool rebuild);

void DDDrawText(Font* font, DDSURFACEDATA* dst, i32 x, i32 y, const char* text, u32 noIcons);
void DDDrawTextF(Font* font, DDSURFACEDATA* dst, i32 x, i32 y, const char* format, ...)
    __attribute__((format(printf, 5, 6)));
void FontDrawBoxText(Font* font, DDSURFACEDATA* dst, i32 x, i32 y, i32 w, i32 h, const char* text, i32 indent, u32 color);
void FontDrawTextDefault(Font* font, DDSURFACEDATA* dst, i32 x, i32 y, i32 w, i32 h, const char* text, i32 indent);
void DDDrawTextBox(Font* font, DDSURFACEDATA* dst, i32 x, i32 y, i32 w, i32 h, const char* format, ...)
    __attribute__((format(printf, 7, 8)));
void FontDrawFrame(Font* font, DDSURFACEDATA* dst, i32 x, i32 y, i32 w, i32 h);
bool FontCreateDigits(DDSURFACEDATA* digits, const DDPICTUREDEF* defs, i32 count, Font* fonts, const FONTDEF* fontDefs);
void FontDrawDigits(DDSURFACEDATA* sd, Font* font);
void DDDrawBmpText(DDSURFACEDATA* dst, i32 x, i32 y, i32 cellWidth, i32 cellHeight, DDSURFACEDATA* sheet, const char* text);
void DDDrawBmpTextF(DDSURFACEDATA* dst, i32 x, i32 y, i32 cellWidth, i32 cellHeight, DDSURFACEDATA* sheet,
                    const char* format, i32 a, i32 b, i32 c, i32 d);

// Text utilities.
i32 LineLength(const char* text);
// Width of the widest line and lines x cell height (a line of width 0 counts too).
void FontMeasure(Font* font, const char* text, i32* width, i32* height);
// The process-wide list of fonts, which the device restore walks.
const std::vector<Font*>& FontList();

// The font file: TOBRELK_FONT when set, else IPA Gothic (its proportional face for faces
// named with "Ｐ").
std::string FontFilePath(const std::string& faceUtf8);
// The code point of one CP932 character (one or two bytes); 0 when it has none.
u32 Cp932ToUnicode(u8 lead, u8 trail);

// The "second quad batch" frame outline and the framed box behind text windows.
void DDDrawFrame(DDSURFACEDATA* sd, i32 x, i32 y, i32 w, i32 h, i32 b, u32 palIndex);
void DDBltFrame(DDSURFACEDATA* dst, i32 x, i32 y, i32 w, i32 h, DDSURFACEDATA* src, i32 b, u32 palIndex);

// The box of a text in the font's cells: the widest line in characters (a double-byte pair
// counts once) times the character width, and the number of lines times the line height.
struct TEXTSIZE {
    i32 width = 0, height = 0;
};
TEXTSIZE MeasureTextLines(const Font* font, const char* text);
