#include "platform/ui/Dialog.h"

#include <SDL.h>
#include <SDL_ttf.h>
#include <algorithm>
#include <cstdlib>
#include <filesystem>

#include "platform/system/Input.h"
#include "platform/system/MessageBox.h"
#include "platform/system/PathResolver.h"
#include "platform/system/Report.h"
#include "platform/system/Sjis.h"

namespace fs = std::filesystem;

namespace {

constexpr int kW = 640;
constexpr int kH = 480;
constexpr int kCaption = 20;
constexpr int kRow = 18; // list row height

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
    if (!TTF_WasInit() && TTF_Init() != 0) return nullptr;
    // The dialogs' own font, else the game's font, else IPA Gothic where Debian puts it.
    const char* paths[] = {std::getenv("TOBRELK_UI_FONT"), std::getenv("TOBRELK_FONT"),
                           "/usr/share/fonts/opentype/ipafont-gothic/ipag.ttf",
                           "/usr/share/fonts/truetype/fonts-japanese-gothic.ttf"};
    for (const char* p : paths) {
        if (!p) continue;
        font = TTF_OpenFont(p, 13);
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

// Text clipped to the rectangle (x, y, w, h), vertically centred in it.
void Text(std::vector<u32>& f, int x, int y, int w, int h, const std::string& utf8, u32 colour, bool centre = false) {
    TTF_Font* font = UiFont();
    if (!font || utf8.empty() || w <= 0) return;
    const SDL_Color c{static_cast<Uint8>(colour >> 16), static_cast<Uint8>(colour >> 8), static_cast<Uint8>(colour), 255};
    SDL_Surface* s = TTF_RenderUTF8_Blended(font, utf8.c_str(), c);
    if (!s) return;
    SDL_Surface* dst = SDL_CreateRGBSurfaceWithFormatFrom(f.data(), kW, kH, 32, kW * 4, SDL_PIXELFORMAT_ARGB8888);
    if (dst) {
        SDL_Rect clip{x, y, w, h};
        SDL_SetClipRect(dst, &clip);
        SDL_Rect at{centre ? x + (w - s->w) / 2 : x, y + (h - s->h) / 2, s->w, s->h};
        SDL_SetSurfaceBlendMode(s, SDL_BLENDMODE_BLEND);
        SDL_BlitSurface(s, nullptr, dst, &at);
        SDL_FreeSurface(dst);
    }
    SDL_FreeSurface(s);
}

bool Focusable(const DLGCONTROL& c) {
    return c.nKind == DLG_BUTTON || c.nKind == DLG_RADIO || c.nKind == DLG_CHECK || c.nKind == DLG_EDIT ||
           c.nKind == DLG_LIST;
}

std::string Lower(std::string s) {
    for (char& ch : s)
        if (ch >= 'A' && ch <= 'Z') ch = static_cast<char>(ch - 'A' + 'a');
    return s;
}

// Removes the last character of a Shift-JIS text, never half of a double-byte one.
void EraseLastChar(std::string& s) {
    std::size_t last = 0, i = 0;
    bool any = false;
    while (i < s.size()) {
        last = i;
        any = true;
        i += IsDoubleByte(s.c_str() + i) ? 2 : 1;
    }
    if (any) s.erase(last);
}

bool g_bDlgInteractive = false;

class cYesNo : public DLG_CLASS {
public:
    cYesNo(const std::string& text, const std::string& caption) {
        m_nW = 360;
        m_nH = 140;
        m_nX = (kW - m_nW) / 2;
        m_nY = (kH - m_nH) / 2;
        m_strTitle = caption;
        int y = 8;
        std::size_t start = 0;
        while (start <= text.size()) {
            const std::size_t end = text.find('\n', start);
            DLGCONTROL line;
            line.nKind = DLG_STATIC;
            line.x = 12;
            line.y = y;
            line.w = m_nW - 24;
            line.h = 16;
            line.strText = text.substr(start, end == std::string::npos ? std::string::npos : end - start);
            Add(line);
            y += 16;
            if (end == std::string::npos) break;
            start = end + 1;
        }
        m_nH = std::max(m_nH, y + 60);
        DLGCONTROL yes;
        yes.nKind = DLG_BUTTON;
        yes.nId = IDYES;
        yes.strText = "はい";
        yes.bDefault = true;
        yes.x = m_nW / 2 - 90;
        yes.y = m_nH - kCaption - 36;
        yes.w = 80;
        yes.h = 24;
        Add(yes);
        DLGCONTROL no = yes;
        no.nId = IDNO;
        no.strText = "いいえ";
        no.bDefault = false;
        no.x = m_nW / 2 + 10;
        Add(no);
    }

protected:
    void OnCommand(u32 id) override { DlgEnd(static_cast<int>(id)); }
    void OnClose() override { DlgEnd(IDNO); }
};

} // namespace

DLG_CLASS::~DLG_CLASS() = default;

DLGCONTROL& DLG_CLASS::Add(const DLGCONTROL& control) {
    m_vControl.push_back(control);
    return m_vControl.back();
}

DLGCONTROL* DLG_CLASS::Control(u32 id) {
    for (auto& c : m_vControl)
        if (c.nId == id) return &c;
    return nullptr;
}

void DLG_CLASS::DlgEnd(int code) {
    m_nEndCode = code;
    m_bEnded = true;
}

void DLG_CLASS::DlgDataToControls() {
    m_bFilling = true;
    for (auto& c : m_vControl) {
        if (c.nKind == DLG_RADIO && c.pField) c.bChecked = *c.pField == c.nValue;
        else if (c.nKind == DLG_CHECK && c.pField) c.bChecked = *c.pField != 0;
        else if (c.nKind == DLG_EDIT && c.pText) c.strEdit = *c.pText;
    }
    m_bFilling = false;
}

void DLG_CLASS::DlgControlsToData() {
    if (m_bFilling) return;
    for (auto& c : m_vControl) {
        // An unchecked radio button leaves its field alone: a stored value that no button
        // stands for survives.
        if (c.nKind == DLG_RADIO && c.pField && c.bChecked) *c.pField = c.nValue;
        else if (c.nKind == DLG_CHECK && c.pField) *c.pField = c.bChecked ? 1 : 0;
        else if (c.nKind == DLG_EDIT && c.pText)
            *c.pText = c.nByteLimit > 0 ? CutSjis(c.strEdit, static_cast<std::size_t>(c.nByteLimit)) : c.strEdit;
    }
}

void DLG_CLASS::Open() {
    m_bOpen = true;
    m_bEnded = false;
    m_nEndCode = 0;
    m_nFocus = -1;
    for (std::size_t i = 0; i < m_vControl.size(); ++i)
        if (Focusable(m_vControl[i])) {
            m_nFocus = static_cast<i32>(i);
            break;
        }
    OnInit();
    DlgDataToControls();
}

void DLG_CLASS::Close() { m_bOpen = false; }

int DLG_CLASS::DlgDoModal() {
    if (m_bOpen) return 0;
    Open();
    if (!AppWindowExists() || (AppIsHeadless() && !g_bDlgInteractive)) {
        // Nobody can see or operate it: it answers as a message box would.
        OnUnattended();
        if (!m_bEnded) DlgEnd(0);
        Close();
        return m_nEndCode;
    }
    AppWindowShow(false);
    std::vector<u32> back;
    if (!AppLastFrame(back) || back.size() != static_cast<std::size_t>(kW) * kH)
        back.assign(static_cast<std::size_t>(kW) * kH, 0xFF000000u);
    bool hasEdit = false;
    for (auto& c : m_vControl) hasEdit = hasEdit || c.nKind == DLG_EDIT;
    // A dialog opened from another one (the overwrite question of the save dialog) hands the
    // events and the text input back to it when it ends.
    AppEventHook outer = SetAppEventHook([this](const APPEVENT& e) { return HandleEvent(e); });
    const bool outerText = SDL_IsTextInputActive() == SDL_TRUE;
    AppTextInput(hasEdit);
    while (!m_bEnded) {
        std::vector<u32> frame = back;
        Draw(frame);
        AppSubmitFrame(frame.data(), kW);
        AppPresent(false);
        AppPumpEvents(15);
    }
    SetAppEventHook(std::move(outer));
    AppTextInput(outerText);
    AppSubmitFrame(back.data(), kW);
    AppPresent(false);
    Close();
    return m_nEndCode;
}

void DLG_CLASS::OnUnattended() {
    for (auto& c : m_vControl)
        if (c.nKind == DLG_BUTTON && c.bDefault && !m_bEnded) OnCommand(c.nId);
}

void DLG_CLASS::MoveFocus(int step) {
    const int n = static_cast<int>(m_vControl.size());
    if (n == 0) return;
    int i = m_nFocus < 0 ? (step > 0 ? -1 : 0) : m_nFocus;
    for (int tries = 0; tries < n; ++tries) {
        i = (i + step + n) % n;
        if (Focusable(m_vControl[static_cast<std::size_t>(i)])) {
            m_nFocus = i;
            return;
        }
    }
}

void DLG_CLASS::Activate(DLGCONTROL& c) {
    switch (c.nKind) {
    case DLG_BUTTON: OnCommand(c.nId); break;
    case DLG_RADIO:
        for (auto& o : m_vControl)
            if (o.nKind == DLG_RADIO) o.bChecked = false;
        c.bChecked = true;
        break;
    case DLG_CHECK: c.bChecked = !c.bChecked; break;
    case DLG_LIST: OnListChoose(c); break;
    default: break;
    }
}

void DLG_CLASS::TypeText(DLGCONTROL& c, const std::string& sjis) {
    if (c.bSelectAll) {
        c.strEdit.clear();
        c.bSelectAll = false;
    }
    std::size_t i = 0;
    while (i < sjis.size()) {
        const std::size_t len = IsDoubleByte(sjis.c_str() + i) ? 2 : 1;
        const std::string next = c.strEdit + sjis.substr(i, len);
        if (c.nLimit > 0 && CountChars(next.c_str()) > c.nLimit) break;
        if (c.nByteLimit > 0 && next.size() > static_cast<std::size_t>(c.nByteLimit)) break;
        c.strEdit = next;
        i += len;
    }
}

int DLG_CLASS::HitTest(i32 x, i32 y) const {
    const i32 cx = x - m_nX, cy = y - m_nY - kCaption;
    for (std::size_t i = 0; i < m_vControl.size(); ++i) {
        const DLGCONTROL& c = m_vControl[i];
        if (Focusable(c) && cx >= c.x && cx < c.x + c.w && cy >= c.y && cy < c.y + c.h) return static_cast<int>(i);
    }
    return -1;
}

bool DLG_CLASS::HandleEvent(const APPEVENT& e) {
    if (!m_bOpen || m_bEnded) return false;
    DLGCONTROL* focus =
        m_nFocus >= 0 && m_nFocus < static_cast<i32>(m_vControl.size()) ? &m_vControl[static_cast<std::size_t>(m_nFocus)] : nullptr;
    switch (e.kind) {
    case APPEVENT::Close:
        OnClose();
        return false; // the window goes on to close
    case APPEVENT::KeyDown:
        switch (e.vk) {
        case VK_ESCAPE: OnClose(); break;
        case VK_TAB: MoveFocus(GetAsyncKeyState(VK_SHIFT) < 0 ? -1 : 1); break;
        case VK_RETURN:
            if (focus && (focus->nKind == DLG_BUTTON || focus->nKind == DLG_LIST)) {
                Activate(*focus);
            } else {
                for (auto& c : m_vControl)
                    if (c.nKind == DLG_BUTTON && c.bDefault) {
                        OnCommand(c.nId);
                        break;
                    }
            }
            break;
        case VK_SPACE:
            if (focus && focus->nKind != DLG_EDIT && focus->nKind != DLG_LIST) Activate(*focus);
            else if (focus && focus->nKind == DLG_EDIT) TypeText(*focus, " ");
            break;
        case VK_BACK:
            if (focus && focus->nKind == DLG_EDIT) {
                if (focus->bSelectAll) focus->strEdit.clear();
                else EraseLastChar(focus->strEdit);
                focus->bSelectAll = false;
            }
            break;
        case VK_UP:
        case VK_DOWN:
        case VK_PRIOR:
        case VK_NEXT:
        case VK_LEFT:
        case VK_RIGHT:
            if (focus && focus->nKind == DLG_LIST && !focus->vItem.empty()) {
                const i32 rows = std::max(focus->h / kRow, 1);
                const i32 step = e.vk == VK_UP ? -1 : e.vk == VK_DOWN ? 1 : e.vk == VK_PRIOR ? -rows : e.vk == VK_NEXT ? rows : 0;
                if (step == 0) {
                    MoveFocus(e.vk == VK_LEFT ? -1 : 1);
                    break;
                }
                const i32 last = static_cast<i32>(focus->vItem.size()) - 1;
                focus->nSel = std::clamp(focus->nSel + step, 0, last);
                if (focus->nSel < focus->nTop) focus->nTop = focus->nSel;
                if (focus->nSel >= focus->nTop + rows) focus->nTop = focus->nSel - rows + 1;
            } else if (focus && focus->nKind == DLG_RADIO) {
                MoveFocus(e.vk == VK_UP || e.vk == VK_LEFT ? -1 : 1);
                DLGCONTROL& next = m_vControl[static_cast<std::size_t>(m_nFocus)];
                if (next.nKind == DLG_RADIO) Activate(next);
            } else {
                MoveFocus(e.vk == VK_UP || e.vk == VK_LEFT || e.vk == VK_PRIOR ? -1 : 1);
            }
            break;
        default: break;
        }
        return true;
    case APPEVENT::Text:
        if (focus && focus->nKind == DLG_EDIT) {
            const std::string sjis = Utf8ToSjis(e.text);
            // Text CP932 cannot hold is refused rather than stored as '?'.
            if (SjisToUtf8(sjis) == e.text) TypeText(*focus, sjis);
        }
        return true;
    case APPEVENT::MouseDown: {
        if (e.button != 1) return true;
        const int hit = HitTest(e.x, e.y);
        if (hit < 0) return true;
        m_nFocus = hit;
        DLGCONTROL& c = m_vControl[static_cast<std::size_t>(hit)];
        if (c.nKind == DLG_LIST) {
            const i32 row = c.nTop + (e.y - m_nY - kCaption - c.y) / kRow;
            if (row >= 0 && row < static_cast<i32>(c.vItem.size())) {
                if (row == c.nSel) OnListChoose(c);
                else c.nSel = row;
            }
        } else if (c.nKind != DLG_EDIT) {
            Activate(c);
        }
        return true;
    }
    case APPEVENT::Wheel:
        if (focus && focus->nKind == DLG_LIST) {
            const i32 rows = std::max(focus->h / kRow, 1);
            const i32 maxTop = std::max(static_cast<i32>(focus->vItem.size()) - rows, 0);
            focus->nTop = std::clamp(focus->nTop - e.y * 3, 0, maxTop);
        }
        return true;
    default: return true;
    }
}

void DLG_CLASS::Draw(std::vector<u32>& f) {
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
        case DLG_STATIC: Text(f, x, y, c.w, c.h, c.strText, 0xFF000000); break;
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
        case DLG_EDIT: {
            Fill(f, x, y, c.w, c.h, kWhite);
            Bevel(f, x, y, c.w, c.h, false);
            const std::string text = SjisToUtf8(c.strEdit);
            if (c.bSelectAll && !text.empty()) Fill(f, x + 2, y + 2, c.w - 4, c.h - 4, kSelect);
            Text(f, x + 3, y, c.w - 6, c.h, text + (focused ? "_" : ""), c.bSelectAll ? kWhite : 0xFF000000);
            break;
        }
        case DLG_LIST: {
            Fill(f, x, y, c.w, c.h, kWhite);
            Bevel(f, x, y, c.w, c.h, false);
            const i32 rows = std::max(c.h / kRow, 1);
            for (i32 r = 0; r < rows; ++r) {
                const i32 item = c.nTop + r;
                if (item >= static_cast<i32>(c.vItem.size())) break;
                const bool sel = item == c.nSel;
                if (sel) Fill(f, x + 2, y + 1 + r * kRow, c.w - 4, kRow, focused ? kSelect : kShadow);
                Text(f, x + 4, y + 1 + r * kRow, c.w - 8, kRow, c.vItem[static_cast<std::size_t>(item)], sel ? kWhite : 0xFF000000);
            }
            break;
        }
        }
    }
}

void DlgSetInteractiveForTests(bool on) { g_bDlgInteractive = on; }

int DlgYesNo(const std::string& utf8Text, const std::string& utf8Caption) {
    cYesNo box(utf8Text, utf8Caption);
    return box.DlgDoModal();
}

bool DlgMatchPattern(const std::string& utf8Name, const std::string& pattern) {
    std::string p = pattern;
    if (p.rfind("*.", 0) == 0) p = p.substr(2);
    const std::size_t dot = utf8Name.rfind('.');
    if (dot == std::string::npos) return false;
    const std::string ext = Lower(utf8Name.substr(dot + 1));
    p = Lower(p);
    if (!p.empty() && p.back() == '*') return ext.rfind(p.substr(0, p.size() - 1), 0) == 0;
    return ext == p;
}

std::vector<DLGFILEENTRY> DlgListFolder(const std::string& sjisFolder, const std::vector<std::string>& patterns,
                                        bool withParent) {
    std::vector<DLGFILEENTRY> folders, files;
    std::error_code ec;
    const fs::path dir = ResolvePath(sjisFolder);
    for (fs::directory_iterator it(dir, ec), end; !ec && it != end; it.increment(ec)) {
        const std::string name = it->path().filename().string();
        if (name.empty() || name[0] == '.') continue;
        if (SjisToUtf8(Utf8ToSjis(name)) != name) continue; // not a name the game can hold
        std::error_code e2;
        if (it->is_directory(e2)) {
            folders.push_back({name, true});
        } else {
            for (const auto& p : patterns)
                if (DlgMatchPattern(name, p)) {
                    files.push_back({name, false});
                    break;
                }
        }
    }
    auto byName = [](const DLGFILEENTRY& a, const DLGFILEENTRY& b) { return Lower(a.strName) < Lower(b.strName); };
    std::sort(folders.begin(), folders.end(), byName);
    std::sort(files.begin(), files.end(), byName);
    std::vector<DLGFILEENTRY> out;
    if (withParent) out.push_back({"..", true});
    out.insert(out.end(), folders.begin(), folders.end());
    out.insert(out.end(), files.begin(), files.end());
    return out;
}
