#include "platform/system/BoxText.h"

#include <algorithm>

namespace {

// Measured under Xvfb with the core fonts of xfonts-base and xfonts-intl-japanese: the box draws
// Latin-1 in a 7 px fixed font, half-width katakana 8 px wide and every other character (kana,
// kanji, full-width forms, and the Greek, Cyrillic and symbols that JIS X 0208 holds) 17 px wide,
// and adds 30 to 36 px of its own around the text. A column is taken as 9 px and the margin as
// 80 px (the box's own, a window manager's frame, and room to spare), so that a server that
// picks slightly larger fonts still fits.
constexpr int kColumnPx = 9;
constexpr int kMarginPx = 80;
// No screen is so narrow that a box may not hold a short line.
constexpr int kMinColumns = 20;

struct Glyph {
    std::size_t bytes;
    int columns;
};

// The character at text[i]: its length in bytes (a broken sequence is taken byte by byte) and
// the columns it takes.
Glyph GlyphAt(const std::string& text, std::size_t i) {
    const auto lead = static_cast<unsigned char>(text[i]);
    if (lead < 0x80) return {1, lead < 0x20 ? 0 : 1};
    std::size_t n = lead >= 0xF0 ? 4 : lead >= 0xE0 ? 3 : lead >= 0xC0 ? 2 : 1;
    if (n == 1 || i + n > text.size()) return {1, 1};
    char32_t cp = lead & (0x3F >> (n - 1));
    for (std::size_t k = 1; k < n; ++k) {
        const auto c = static_cast<unsigned char>(text[i + k]);
        if ((c & 0xC0) != 0x80) return {1, 1};
        cp = (cp << 6) | (c & 0x3F);
    }
    const bool narrow = cp < 0x100 || (cp >= 0xFF61 && cp <= 0xFF9F);
    return {n, narrow ? 1 : 2};
}

bool BreaksAfter(char c) { return c == ' ' || c == '\\' || c == '/'; }

} // namespace

int BoxTextColumns(int screenWidth) { return std::max((screenWidth - kMarginPx) / kColumnPx, kMinColumns); }

int BoxTextColumnsOf(const std::string& utf8) {
    int columns = 0;
    for (std::size_t i = 0; i < utf8.size();) {
        const Glyph g = GlyphAt(utf8, i);
        columns += g.columns;
        i += g.bytes;
    }
    return columns;
}

std::string WrapBoxText(const std::string& utf8, int columns) {
    columns = std::max(columns, 1);
    std::string out;
    std::string line;
    int width = 0;
    // Where the line may be broken: the bytes and columns up to its last separator.
    std::size_t breakBytes = 0;
    int breakWidth = 0;
    for (std::size_t i = 0; i < utf8.size();) {
        if (utf8[i] == '\n') {
            out += line;
            out += '\n';
            line.clear();
            width = breakWidth = 0;
            breakBytes = 0;
            ++i;
            continue;
        }
        const Glyph g = GlyphAt(utf8, i);
        while (!line.empty() && width + g.columns > columns) {
            if (breakBytes > 0) {
                out.append(line, 0, breakBytes);
                line.erase(0, breakBytes);
                width -= breakWidth;
            } else {
                out += line;
                line.clear();
                width = 0;
            }
            out += '\n';
            breakBytes = 0;
            breakWidth = 0;
        }
        line.append(utf8, i, g.bytes);
        width += g.columns;
        if (g.bytes == 1 && BreaksAfter(utf8[i])) {
            breakBytes = line.size();
            breakWidth = width;
        }
        i += g.bytes;
    }
    out += line;
    return out;
}
