// How a dialog looks: its frame and caption, each kind of control, an edit's text with the
// caret and the input method's composition, and the tooltip, painted into a 640x480 ARGB frame
// with the dialogs' own font.
#include <SDL.h>
#include <algorithm>
#include <cstdlib>

#include "platform/system/AppWindow.h"
#include "platform/system/FileOpen.h"
#include "platform/system/Report.h"
#include "platform/ui/Dialog.h"
#include "platform/ui/DialogKit.h"
#include "platform/ui/TtfLibrary.h"

using namespace dlgkit;

namespace {

constexpr u32 kFace = 0xFFD4D0C8;
constexpr u32 kCaptionColour = 0xFF0A246A;
constexpr u32 kShadow = 0xFF808080;
constexpr u32 kLight = 0xFFFFFFFF;
constexpr u32 kDark = 0xFF404040;
constexpr u32 kWhite = 0xFFFFFFFF;
constexpr u32 kSelect = 0xFF316AC5;
constexpr u32 kFocus = 0xFF000000;

TTF_Font* UiFont() {
    static TTF_Font* font = nullptr;
    static bool tried = false;
    if (tried) return font;
    tried = true;
    const TtfLibrary* ttf = TtfApi();
    if (!ttf || (!ttf->wasInit() && ttf->init() != 0)) return nullptr;
    // The dialogs' own font, else the game's font, else IPA Gothic where Debian puts it.
    const char* paths[] = {std::getenv("TOBRELK_UI_FONT"), std::getenv("TOBRELK_FONT"),
                           "/usr/share/fonts/opentype/ipafont-gothic/ipag.ttf",
                           "/usr/share/fonts/truetype/fonts-japanese-gothic.ttf"};
    for (const char* p : paths) {
        if (!p || !IsReadableFile(p)) continue;
        font = ttf->openFont(p, 13);
        if (font) break;
    }
    if (!font) WriteReport("Dialog : フォントがありません");
    return font;
}

void Fill(std::vector<u32>& f, int x, int y, int w, int h, u32 c) {
    const int x0 = std::max(x, 0), y0 = std::max(y, 0);
    const int x1 = std::min(x + w, kW), y1 = std::min(y + h, kH);
    for (int yy = y0; yy < y1; ++yy)
        for (int xx = x0; xx < x1; ++xx) f[static_cast<std::size_t>(yy) * kW + xx] = c;
}

void Bevel(std::vector<u32>& f, int x, int y, int w, int h, bool raised) {
    const u32 tl = raised ? kLight : kShadow, br = raised ? kDark : kLight;
    Fill(f, x, y, w, 1, tl);
    Fill(f, x, y, 1, h, tl);
    Fill(f, x, y + h - 1, w, 1, br);
    Fill(f, x + w - 1, y, 1, h, br);
}

void Dotted(std::vector<u32>& f, int x, int y, int w, int h) {
    for (int i = 0; i < w; i += 2) {
        Fill(f, x + i, y, 1, 1, kFocus);
        Fill(f, x + i, y + h - 1, 1, 1, kFocus);
    }
    for (int i = 0; i < h; i += 2) {
        Fill(f, x, y + i, 1, 1, kFocus);
        Fill(f, x + w - 1, y + i, 1, 1, kFocus);
    }
}

// Text from x on (or centred), vertically centred in the rectangle (cx, y, w, h) and cut to it:
// a text may start left of the part of it that shows.
void TextClipped(std::vector<u32>& f, int x, int cx, int y, int w, int h, const std::string& utf8, u32 colour,
                 bool centre = false) {
    TTF_Font* font = UiFont();
    if (!font || utf8.empty() || w <= 0) return;
    const SDL_Color c{static_cast<Uint8>(colour >> 16), static_cast<Uint8>(colour >> 8), static_cast<Uint8>(colour), 255};
    SDL_Surface* s = TtfApi()->renderUtf8Blended(font, utf8.c_str(), c);
    if (!s) return;
    SDL_Surface* dst = SDL_CreateRGBSurfaceWithFormatFrom(f.data(), kW, kH, 32, kW * 4, SDL_PIXELFORMAT_ARGB8888);
    if (dst) {
        SDL_Rect clip{cx, y, w, h};
        SDL_SetClipRect(dst, &clip);
        SDL_Rect at{centre ? cx + (w - s->w) / 2 : x, y + (h - s->h) / 2, s->w, s->h};
        SDL_SetSurfaceBlendMode(s, SDL_BLENDMODE_BLEND);
        SDL_BlitSurface(s, nullptr, dst, &at);
        SDL_FreeSurface(dst);
    }
    SDL_FreeSurface(s);
}

// Text clipped to the rectangle (x, y, w, h), vertically centred in it.
void Text(std::vector<u32>& f, int x, int y, int w, int h, const std::string& utf8, u32 colour, bool centre = false) {
    TextClipped(f, x, x, y, w, h, utf8, colour, centre);
}

constexpr int kEditLine = 16;     // line height of a multi-line edit
constexpr int kStaticLine = 16;   // line height of a static text of several lines
constexpr u32 kTipColour = 0xFFFFFFE1;

} // namespace

namespace dlgkit {

int TextWidth(const std::string& utf8) {
    TTF_Font* font = UiFont();
    int w = 0, h = 0;
    if (!font || utf8.empty() || TtfApi()->sizeUtf8(font, utf8.c_str(), &w, &h) != 0) return 0;
    return w;
}

std::vector<std::string> WrapLines(const std::string& utf8, int width) {
    std::vector<std::string> out;
    std::size_t start = 0;
    for (;;) {
        const std::size_t end = std::min(utf8.find('\n', start), utf8.size());
        std::string line = utf8.substr(start, end - start);
        while (TextWidth(line) > width) {
            // The longest head that fits, at least one character (a UTF-8 lead byte starts one).
            std::size_t cut = 0;
            for (std::size_t i = 1; i <= line.size(); ++i) {
                if (i < line.size() && (static_cast<u8>(line[i]) & 0xC0) == 0x80) continue;
                if (cut != 0 && TextWidth(line.substr(0, i)) > width) break;
                cut = i;
            }
            if (cut >= line.size()) break;
            const std::size_t blank = line.rfind(' ', cut - 1);
            if (blank != std::string::npos && blank > 0) cut = blank + 1;
            out.push_back(line.substr(0, cut));
            line.erase(0, cut);
        }
        out.push_back(line);
        if (end == utf8.size()) return out;
        start = end + 1;
    }
}

} // namespace dlgkit

void DLG_CLASS::Draw(std::vector<u32>& f) const {
    if (f.size() != static_cast<std::size_t>(kW) * kH) f.assign(static_cast<std::size_t>(kW) * kH, 0xFF000000u);
    const int x0 = m_nX, y0 = m_nY;
    Fill(f, x0, y0, m_nW, m_nH, kFace);
    Bevel(f, x0, y0, m_nW, m_nH, true);
    Fill(f, x0 + 2, y0 + 2, m_nW - 4, kCaption - 2, kCaptionColour);
    Text(f, x0 + 6, y0 + 2, m_nW - 12, kCaption - 2, m_strTitle, kWhite);
    const int cx = x0, cy = y0 + kCaption;
    for (std::size_t i = 0; i < m_vControl.size(); ++i) {
        const DLGCONTROL& c = m_vControl[i];
        const int x = cx + c.x, y = cy + c.y;
        const bool focused = static_cast<i32>(i) == m_nFocus;
        switch (c.nKind) {
        case DLG_STATIC:
            // A text of several lines (a note wrapped to its width) goes down a line at a time.
            if (c.strText.find('\n') == std::string::npos) {
                Text(f, x, y, c.w, c.h, c.strText, 0xFF000000);
            } else {
                int ly = y + 1;
                for (std::size_t at = 0; at <= c.strText.size(); ly += kStaticLine) {
                    const std::size_t end = std::min(c.strText.find('\n', at), c.strText.size());
                    Text(f, x, ly, c.w, kStaticLine, c.strText.substr(at, end - at), 0xFF000000);
                    at = end + 1;
                }
            }
            break;
        case DLG_GROUP:
            Bevel(f, x, y + 6, c.w, c.h - 6, false);
            Fill(f, x + 8, y, std::min(c.w - 16, 8 + 13 * static_cast<int>(c.strText.size()) / 2), 13, kFace);
            Text(f, x + 10, y - 1, c.w - 20, 14, c.strText, 0xFF000000);
            break;
        case DLG_BUTTON:
            Bevel(f, x, y, c.w, c.h, true);
            if (c.bDefault) {
                Fill(f, x - 1, y - 1, c.w + 2, 1, kFocus);
                Fill(f, x - 1, y + c.h, c.w + 2, 1, kFocus);
                Fill(f, x - 1, y - 1, 1, c.h + 2, kFocus);
                Fill(f, x + c.w, y - 1, 1, c.h + 2, kFocus);
            }
            Text(f, x + 2, y, c.w - 4, c.h, c.strText, 0xFF000000, true);
            if (focused) Dotted(f, x + 3, y + 3, c.w - 6, c.h - 6);
            break;
        case DLG_RADIO:
        case DLG_CHECK: {
            const int box = 11, by = y + (c.h - box) / 2;
            Fill(f, x, by, box, box, kWhite);
            Bevel(f, x, by, box, box, false);
            if (c.bChecked) Fill(f, x + 3, by + 3, box - 6, box - 6, 0xFF000000);
            Text(f, x + box + 4, y, c.w - box - 4, c.h, c.strText, 0xFF000000);
            if (focused) Dotted(f, x + box + 2, y, c.w - box - 2, c.h);
            break;
        }
        case DLG_EDIT: DrawEdit(f, c, x, y, focused); break;
        case DLG_LIST: {
            Fill(f, x, y, c.w, c.h, kWhite);
            Bevel(f, x, y, c.w, c.h, false);
            const i32 rows = std::max(c.h / kRow, 1);
            for (i32 r = 0; r < rows; ++r) {
                const i32 item = c.nTop + r;
                if (item >= static_cast<i32>(c.vItem.size())) break;
                const bool marked = static_cast<std::size_t>(item) < c.vMarked.size() && c.vMarked[static_cast<std::size_t>(item)];
                const bool sel = item == c.nSel || marked;
                if (sel) Fill(f, x + 2, y + 1 + r * kRow, c.w - 4, kRow, focused ? kSelect : kShadow);
                if (item == c.nSel && c.bMultiSel && focused) Dotted(f, x + 2, y + 1 + r * kRow, c.w - 4, kRow);
                Text(f, x + 4, y + 1 + r * kRow, c.w - 8, kRow, c.vItem[static_cast<std::size_t>(item)], sel ? kWhite : 0xFF000000);
            }
            break;
        }
        case DLG_SCROLL: {
            Fill(f, x, y, c.w, c.h, 0xFFE8E8E8);
            const BarGeom g = Geometry(c, c.scroll.pValue ? *c.scroll.pValue : c.scroll.nPos);
            auto part = [&](int from, int len) {
                if (c.scroll.bVertical) {
                    Fill(f, x, y + from, c.w, len, kFace);
                    Bevel(f, x, y + from, c.w, len, true);
                } else {
                    Fill(f, x + from, y, len, c.h, kFace);
                    Bevel(f, x + from, y, len, c.h, true);
                }
            };
            part(0, g.arrow);
            part(g.len - g.arrow, g.arrow);
            if (g.trackLen > 0) part(g.thumb0, g.thumbLen);
            break;
        }
        }
    }
    DrawTooltip(f);
}

// An edit's text, line by line, with the caret and the input method's composition in the line
// that holds the caret, scrolled sideways together as far as the edit's scroll says (set where
// its text, caret or composition changes): a text longer than the field never draws past it.
void DLG_CLASS::DrawEdit(std::vector<u32>& f, const DLGCONTROL& c, int x, int y, bool focused) const {
    Fill(f, x, y, c.w, c.h, kWhite);
    Bevel(f, x, y, c.w, c.h, false);
    if (c.bSelectAll && !c.strEdit.empty()) Fill(f, x + 2, y + 2, c.w - 4, c.h - 4, kSelect);
    const u32 ink = c.bSelectAll ? kWhite : 0xFF000000;
    const std::size_t caret = std::min(c.nCaret, c.strEdit.size());
    const std::vector<std::string> lines = c.bMultiLine ? SplitLines(c.strEdit) : std::vector<std::string>{c.strEdit};
    const std::string& composition = focused ? m_strComposition : std::string();
    // The text's room: 3 pixels in from either side.
    const int left = x + 3, room = c.w - 6;
    const CARETLINE split = CaretLine(c);
    const int cw = TextWidth(composition);
    const int caretX = TextWidth(split.before) + cw;
    const int tx = left - c.nScrollX;
    std::size_t at = 0;
    for (std::size_t l = 0; l < lines.size(); ++l) {
        const int ly = c.bMultiLine ? y + 2 + static_cast<int>(l) * kEditLine : y;
        const int lh = c.bMultiLine ? kEditLine : c.h;
        const std::size_t end = at + lines[l].size();
        if (!focused || caret < at || caret > end) {
            TextClipped(f, tx, left, ly, room, lh, EditShown(c, lines[l]), ink);
        } else {
            // The input method's composition is shown at the caret, underlined.
            const int bx = tx + caretX - cw;
            TextClipped(f, tx, left, ly, room, lh, split.before, ink);
            if (cw > 0) {
                TextClipped(f, bx, left, ly, room, lh, composition, 0xFF000000);
                const int ux = std::max(bx, left);
                Fill(f, ux, ly + lh - 4, std::min(bx + cw, left + room) - ux, 1, 0xFF000000);
            }
            TextClipped(f, bx + cw, left, ly, room, lh, split.after, ink);
            // A line's first character may be inked in its first column: a caret before it
            // stands in the column left of the text, which leaves the character whole.
            Fill(f, caretX > 0 ? bx + cw : left - 1, ly + 3, 1, lh - 6, ink);
            // Where the candidates show: at the composition, or at its end when its start is
            // scrolled out.
            const int ix = std::max(bx, left);
            AppTextInputRect(ix, ly, std::max(bx + cw - ix, 1), lh);
        }
        at = end + 2;
    }
}

// The tooltip of the control under the pointer, below the pointer (above it near the bottom).
void DLG_CLASS::DrawTooltip(std::vector<u32>& f) const {
    const std::string tip = TooltipShown();
    if (!tip.empty()) {
        const int w = TextWidth(tip) + 8, h = 18;
        const int tx = std::clamp(m_nHoverX, 0, std::max(kW - w, 0));
        const int ty = m_nHoverY + 20 + h <= kH ? m_nHoverY + 20 : std::max(m_nHoverY - h - 2, 0);
        Fill(f, tx, ty, w, h, kTipColour);
        Fill(f, tx, ty, w, 1, 0xFF000000);
        Fill(f, tx, ty + h - 1, w, 1, 0xFF000000);
        Fill(f, tx, ty, 1, h, 0xFF000000);
        Fill(f, tx + w - 1, ty, 1, h, 0xFF000000);
        Text(f, tx + 4, ty, w - 8, h, tip, 0xFF000000);
    }
}
