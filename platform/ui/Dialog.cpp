#include "platform/ui/Dialog.h"

#include <SDL.h>
#include <algorithm>
#include <cstdlib>
#include <filesystem>

#include "platform/system/Clock.h"
#include "platform/system/Input.h"
#include "platform/system/MessageBox.h"
#include "platform/system/PathResolver.h"
#include "platform/system/Report.h"
#include "platform/system/Sjis.h"
#include "platform/system/WindowMessages.h"
#include "platform/ui/TtfLibrary.h"

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
    const TtfLibrary* ttf = TtfApi();
    if (!ttf || (!ttf->wasInit() && ttf->init() != 0)) return nullptr;
    // The dialogs' own font, else the game's font, else IPA Gothic where Debian puts it.
    const char* paths[] = {std::getenv("TOBRELK_UI_FONT"), std::getenv("TOBRELK_FONT"),
                           "/usr/share/fonts/opentype/ipafont-gothic/ipag.ttf",
                           "/usr/share/fonts/truetype/fonts-japanese-gothic.ttf"};
    for (const char* p : paths) {
        if (!p) continue;
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

// Text clipped to the rectangle (x, y, w, h), vertically centred in it.
void Text(std::vector<u32>& f, int x, int y, int w, int h, const std::string& utf8, u32 colour, bool centre = false) {
    TTF_Font* font = UiFont();
    if (!font || utf8.empty() || w <= 0) return;
    const SDL_Color c{static_cast<Uint8>(colour >> 16), static_cast<Uint8>(colour >> 8), static_cast<Uint8>(colour), 255};
    SDL_Surface* s = TtfApi()->renderUtf8Blended(font, utf8.c_str(), c);
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

bool g_bDlgInteractive = false;

// Window messages as the trace names them (the rest are written as numbers).
constexpr u32 WM_SETTEXT = 0x000C;
constexpr u32 WM_KEYUP = 0x0101;
constexpr u32 WM_CHAR = 0x0102;
constexpr u32 WM_IME_ENDCOMPOSITION = 0x010E;
constexpr u32 WM_IME_COMPOSITION = 0x010F;
constexpr u32 WM_INITDIALOG = 0x0110;
constexpr u32 WM_COMMAND = 0x0111;
constexpr u32 WM_HSCROLL = 0x0114;
constexpr u32 WM_VSCROLL = 0x0115;
constexpr u32 WM_MOUSEMOVE = 0x0200;
constexpr u32 WM_LBUTTONDOWN = 0x0201;
constexpr u32 WM_LBUTTONUP = 0x0202;
constexpr u32 WM_RBUTTONDOWN = 0x0204;
constexpr u32 WM_RBUTTONUP = 0x0205;
constexpr u32 WM_MBUTTONDOWN = 0x0207;
constexpr u32 WM_MBUTTONUP = 0x0208;
constexpr u32 WM_MOUSEWHEEL = 0x020A;
constexpr u32 WM_IME_CHAR = 0x0286;
// Notification codes of WM_COMMAND.
constexpr u32 LBN_DBLCLK = 2;
constexpr u32 EN_UPDATE = 0x0400;

struct MSGNAME {
    u32 msg;
    const char* name;
};
constexpr MSGNAME kMsgNames[] = {
    {0x0000, "WM_NULL"}, {0x0001, "WM_CREATE"}, {0x0002, "WM_DESTROY"}, {0x0003, "WM_MOVE"}, {0x0005, "WM_SIZE"},
    {0x0006, "WM_ACTIVATE"}, {0x0007, "WM_SETFOCUS"}, {0x0008, "WM_KILLFOCUS"}, {0x000A, "WM_ENABLE"},
    {0x000B, "WM_SETREDRAW"}, {0x000C, "WM_SETTEXT"}, {0x000D, "WM_GETTEXT"}, {0x000E, "WM_GETTEXTLENGTH"},
    {0x000F, "WM_PAINT"}, {0x0010, "WM_CLOSE"}, {0x0012, "WM_QUIT"}, {0x0014, "WM_ERASEBKGND"},
    {0x0015, "WM_SYSCOLORCHANGE"}, {0x0018, "WM_SHOWWINDOW"}, {0x001C, "WM_ACTIVATEAPP"}, {0x0020, "WM_SETCURSOR"},
    {0x0021, "WM_MOUSEACTIVATE"}, {0x0024, "WM_GETMINMAXINFO"}, {0x0028, "WM_NEXTDLGCTL"}, {0x002B, "WM_DRAWITEM"},
    {0x002C, "WM_MEASUREITEM"}, {0x0030, "WM_SETFONT"}, {0x0031, "WM_GETFONT"}, {0x0046, "WM_WINDOWPOSCHANGING"},
    {0x0047, "WM_WINDOWPOSCHANGED"}, {0x004E, "WM_NOTIFY"}, {0x007B, "WM_CONTEXTMENU"}, {0x007F, "WM_GETICON"},
    {0x0081, "WM_NCCREATE"}, {0x0082, "WM_NCDESTROY"}, {0x0083, "WM_NCCALCSIZE"}, {0x0084, "WM_NCHITTEST"},
    {0x0085, "WM_NCPAINT"}, {0x0086, "WM_NCACTIVATE"}, {0x0087, "WM_GETDLGCODE"}, {0x00A0, "WM_NCMOUSEMOVE"},
    {0x00A1, "WM_NCLBUTTONDOWN"}, {0x0100, "WM_KEYDOWN"}, {0x0101, "WM_KEYUP"}, {0x0102, "WM_CHAR"},
    {0x0104, "WM_SYSKEYDOWN"}, {0x0105, "WM_SYSKEYUP"}, {0x0106, "WM_SYSCHAR"}, {0x010D, "WM_IME_STARTCOMPOSITION"},
    {0x010E, "WM_IME_ENDCOMPOSITION"}, {0x010F, "WM_IME_COMPOSITION"}, {0x0110, "WM_INITDIALOG"},
    {0x0111, "WM_COMMAND"}, {0x0112, "WM_SYSCOMMAND"}, {0x0113, "WM_TIMER"}, {0x0114, "WM_HSCROLL"},
    {0x0115, "WM_VSCROLL"}, {0x0116, "WM_INITMENU"}, {0x011F, "WM_MENUSELECT"}, {0x0121, "WM_ENTERIDLE"},
    {0x0133, "WM_CTLCOLOREDIT"}, {0x0134, "WM_CTLCOLORLISTBOX"}, {0x0135, "WM_CTLCOLORBTN"}, {0x0136, "WM_CTLCOLORDLG"},
    {0x0137, "WM_CTLCOLORSCROLLBAR"}, {0x0138, "WM_CTLCOLORSTATIC"}, {0x0200, "WM_MOUSEMOVE"},
    {0x0201, "WM_LBUTTONDOWN"}, {0x0202, "WM_LBUTTONUP"}, {0x0203, "WM_LBUTTONDBLCLK"}, {0x0204, "WM_RBUTTONDOWN"},
    {0x0205, "WM_RBUTTONUP"}, {0x0206, "WM_RBUTTONDBLCLK"}, {0x0207, "WM_MBUTTONDOWN"}, {0x0208, "WM_MBUTTONUP"},
    {0x0209, "WM_MBUTTONDBLCLK"}, {0x020A, "WM_MOUSEWHEEL"}, {0x0210, "WM_PARENTNOTIFY"}, {0x0215, "WM_CAPTURECHANGED"},
    {0x0281, "WM_IME_SETCONTEXT"}, {0x0282, "WM_IME_NOTIFY"}, {0x0286, "WM_IME_CHAR"}, {0x02A3, "WM_MOUSELEAVE"},
    {0x0400, "WM_USER"},
};

const char* MessageName(u32 msg) {
    for (const MSGNAME& m : kMsgNames)
        if (m.msg == msg) return m.name;
    return nullptr;
}

u32 MakeLong(i32 low, i32 high) { return (static_cast<u32>(high) & 0xFFFF) << 16 | (static_cast<u32>(low) & 0xFFFF); }

// What a text typed into a path edit becomes: each name of it in the game's form.
std::string PathTextOf(const std::string& utf8) {
    std::string out;
    std::size_t start = 0;
    for (;;) {
        const std::size_t sep = utf8.find('\\', start);
        out += GameNameOf(utf8.substr(start, sep == std::string::npos ? std::string::npos : sep - start));
        if (sep == std::string::npos) return out;
        out += '\\';
        start = sep + 1;
    }
}

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

namespace {

constexpr int kBar = 16;          // scroll-bar thickness
constexpr int kEditLine = 16;     // line height of a multi-line edit
constexpr u64 kTipDelay = 500;    // the pointer rests this long before a tooltip shows
constexpr u64 kTipShown = 5000;   // and the tooltip goes again after this long
constexpr u32 kTipColour = 0xFFFFFFE1;

int TextWidth(const std::string& utf8) {
    TTF_Font* font = UiFont();
    int w = 0, h = 0;
    if (!font || utf8.empty() || TtfApi()->sizeUtf8(font, utf8.c_str(), &w, &h) != 0) return 0;
    return w;
}

// Byte offsets where the edit's characters start ("\r\n" and a double-byte pair are one), and
// the text's length at the end.
std::vector<std::size_t> Units(const std::string& s) {
    std::vector<std::size_t> out;
    std::size_t i = 0;
    while (i < s.size()) {
        out.push_back(i);
        if (s[i] == '\r' && i + 1 < s.size() && s[i + 1] == '\n') i += 2;
        else i += IsDoubleByte(s.c_str() + i) ? 2 : 1;
    }
    out.push_back(s.size());
    return out;
}

std::size_t PrevUnit(const std::string& s, std::size_t pos) {
    std::size_t prev = 0;
    for (std::size_t u : Units(s)) {
        if (u >= pos) break;
        prev = u;
    }
    return prev;
}

std::size_t NextUnit(const std::string& s, std::size_t pos) {
    for (std::size_t u : Units(s))
        if (u > pos) return u;
    return s.size();
}

std::size_t LineStart(const std::string& s, std::size_t pos) {
    if (pos < 2) return 0;
    const std::size_t nl = s.rfind("\r\n", pos - 2);
    return nl == std::string::npos ? 0 : nl + 2;
}

std::size_t LineEnd(const std::string& s, std::size_t pos) {
    const std::size_t nl = s.find("\r\n", pos);
    return nl == std::string::npos ? s.size() : nl;
}

int CharsIn(const std::string& s, std::size_t from, std::size_t to) { return CountChars(s.substr(from, to - from).c_str()); }

std::vector<std::string> SplitLines(const std::string& s) {
    std::vector<std::string> out;
    std::size_t start = 0;
    for (;;) {
        const std::size_t nl = s.find("\r\n", start);
        out.push_back(s.substr(start, nl == std::string::npos ? std::string::npos : nl - start));
        if (nl == std::string::npos) return out;
        start = nl + 2;
    }
}

// A text cut to the edit's limits: characters beyond a line's limit and lines beyond the
// line limit go.
std::string FitEdit(const std::string& s, const DLGCONTROL& c) {
    std::vector<std::string> lines = c.bMultiLine ? SplitLines(s) : std::vector<std::string>{s};
    if (c.nLineLimit > 0 && lines.size() > static_cast<std::size_t>(c.nLineLimit))
        lines.resize(static_cast<std::size_t>(c.nLineLimit));
    std::string out;
    for (std::size_t i = 0; i < lines.size(); ++i) {
        std::string line = lines[i];
        if (c.nLimit > 0) {
            const auto u = Units(line);
            if (u.size() - 1 > static_cast<std::size_t>(c.nLimit)) line.erase(u[static_cast<std::size_t>(c.nLimit)]);
        }
        if (i) out += "\r\n";
        out += line;
    }
    if (c.nByteLimit > 0) out = CutSjis(out, static_cast<std::size_t>(c.nByteLimit));
    return out;
}

i32& ScrollValue(DLGCONTROL& c) { return c.scroll.pValue ? *c.scroll.pValue : c.scroll.nPos; }

i32 ScrollMaxPos(const SCROLLDEF& d) {
    const i32 page = std::max(d.nPage, 1);
    return std::max(d.nMin, d.nMax - page + 1);
}

// Where the parts of a bar lie, along its length: the two arrows, the track between them and
// the thumb in it.
struct BarGeom {
    int len, arrow, track0, trackLen, thumb0, thumbLen;
};

BarGeom Geometry(const DLGCONTROL& c, i32 value) {
    BarGeom g{};
    const SCROLLDEF& d = c.scroll;
    g.len = d.bVertical ? c.h : c.w;
    const int thick = d.bVertical ? c.w : c.h;
    g.arrow = std::min(thick, g.len / 2);
    g.track0 = g.arrow;
    g.trackLen = std::max(g.len - 2 * g.arrow, 0);
    const i64 range = std::max<i64>(static_cast<i64>(d.nMax) - d.nMin + 1, 1);
    const i64 page = std::clamp<i64>(d.nPage, 0, range);
    g.thumbLen = static_cast<int>(std::min<i64>(std::max<i64>(g.trackLen * page / range, 8), g.trackLen));
    const i32 maxPos = ScrollMaxPos(d);
    const int room = g.trackLen - g.thumbLen;
    g.thumb0 = g.track0;
    if (maxPos > d.nMin && room > 0)
        g.thumb0 += static_cast<int>(static_cast<i64>(std::clamp(value, d.nMin, maxPos) - d.nMin) * room / (maxPos - d.nMin));
    return g;
}

// The modeless dialogs, the active one, and the hook and overlay they share (window thread).
std::vector<DLG_CLASS*> g_vModeless;
DLG_CLASS* g_pActive = nullptr;
int g_nModalDepth = 0;
AppEventHook g_outerHook;
bool g_bModelessText = false;

void Deactivate() {
    g_pActive = nullptr;
    if (g_bModelessText) AppTextInput(false);
    g_bModelessText = false;
}

void ActivateModeless(DLG_CLASS* d, bool hasEdit) {
    if (g_pActive == d) return;
    Deactivate();
    g_pActive = d;
    if (hasEdit) {
        AppTextInput(true);
        g_bModelessText = true;
    }
}

bool PassOn(const APPEVENT& e) { return g_outerHook && g_outerHook(e); }

bool ModelessHook(const APPEVENT& e) {
    const std::vector<DLG_CLASS*> open = g_vModeless; // a dialog may close while it handles
    bool used = false;
    switch (e.kind) {
    case APPEVENT::Close:
        for (DLG_CLASS* d : open) d->HandleEvent(e);
        PassOn(e);
        break;
    case APPEVENT::MouseMove:
        for (DLG_CLASS* d : open) used = d->HandleEvent(e) || used; // hover and thumb drags
        if (!used) used = PassOn(e);
        break;
    case APPEVENT::MouseDown:
    case APPEVENT::MouseUp:
    case APPEVENT::Wheel: {
        DLG_CLASS* hit = nullptr;
        for (auto it = open.rbegin(); it != open.rend() && !hit; ++it)
            if ((*it)->Contains(e.x, e.y) || (*it == g_pActive && e.kind != APPEVENT::MouseDown)) hit = *it;
        if (!hit) {
            if (e.kind == APPEVENT::MouseDown) Deactivate();
            return PassOn(e);
        }
        if (e.kind == APPEVENT::MouseDown) ActivateModeless(hit, hit->HasEditControl());
        hit->HandleEvent(e);
        used = true;
        break;
    }
    default:
        if (!g_pActive) return PassOn(e);
        g_pActive->HandleEvent(e);
        used = true;
        break;
    }
    AppPresent(true);
    return used;
}

void ModelessAdd(DLG_CLASS* d) {
    if (g_vModeless.empty()) {
        g_outerHook = SetAppEventHook(ModelessHook);
        SetAppOverlay([](std::vector<u32>& f) {
            if (g_nModalDepth == 0) DlgDrawModeless(f);
        });
    }
    g_vModeless.push_back(d);
}

void ModelessRemove(DLG_CLASS* d) {
    const auto it = std::find(g_vModeless.begin(), g_vModeless.end(), d);
    if (it == g_vModeless.end()) return;
    g_vModeless.erase(it);
    if (g_pActive == d) Deactivate();
    if (g_vModeless.empty()) {
        SetAppEventHook(std::move(g_outerHook));
        g_outerHook = nullptr;
        SetAppOverlay(nullptr);
    }
    AppPresent(true);
}

} // namespace

DLGCONTROL DlgMakeControl(DlgKind kind, u32 id, i32 x, i32 y, i32 w, i32 h, const std::string& utf8Text) {
    DLGCONTROL c;
    c.nKind = kind;
    c.nId = id;
    c.x = x;
    c.y = y;
    c.w = w;
    c.h = h;
    c.strText = utf8Text;
    return c;
}

void DlgDrawModeless(std::vector<u32>& frame) {
    for (DLG_CLASS* d : g_vModeless) d->Draw(frame);
}

DLG_CLASS::~DLG_CLASS() {
    if (m_bModeless) ModelessRemove(this);
}

DLGCONTROL& DLG_CLASS::Add(const DLGCONTROL& control) {
    m_vControl.push_back(control);
    return m_vControl.back();
}

DLGCONTROL* DLG_CLASS::Control(u32 id) {
    for (auto& c : m_vControl)
        if (c.nId == id) return &c;
    return nullptr;
}

bool DLG_CLASS::HasEditControl() const {
    for (const auto& c : m_vControl)
        if (c.nKind == DLG_EDIT) return true;
    return false;
}

void DLG_CLASS::DlgEnd(int code) {
    m_nEndCode = code;
    m_bEnded = true;
    if (m_bModeless && m_bOpen) {
        Close();
        ModelessRemove(this);
    }
}

void DLG_CLASS::DlgDataToControls() {
    m_bFilling = true;
    for (auto& c : m_vControl) {
        if (c.nKind == DLG_RADIO && c.pField) c.bChecked = *c.pField == c.nValue;
        else if (c.nKind == DLG_CHECK && c.pField) c.bChecked = *c.pField != 0;
        else if (c.nKind == DLG_EDIT && c.pText) c.strEdit = FitEdit(*c.pText, c);
        if (c.nKind == DLG_EDIT) c.nCaret = c.strEdit.size();
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

void DLG_CLASS::ScrollAttach(const SCROLLDEF& def) {
    DLGCONTROL* bar = Control(def.nId);
    if (!bar && (def.nId == kDlgOwnVScroll || def.nId == kDlgOwnHScroll)) {
        DLGCONTROL c;
        c.nKind = DLG_SCROLL;
        c.nId = def.nId;
        bar = &Add(c);
    }
    if (!bar) return;
    bar->nKind = DLG_SCROLL;
    bar->scroll = def;
    i32& v = ScrollValue(*bar);
    v = std::clamp(v, def.nMin, ScrollMaxPos(def));
}

void DLG_CLASS::DlgScroll(DLGCONTROL& bar, int code, i32 track) {
    if (bar.nKind != DLG_SCROLL) return;
    const SCROLLDEF& d = bar.scroll;
    i64 v = ScrollValue(bar);
    switch (code) {
    case SB_LINEUP: v -= 1; break;
    case SB_LINEDOWN: v += 1; break;
    case SB_PAGEUP: v -= d.nPage; break;
    case SB_PAGEDOWN: v += d.nPage; break;
    case SB_THUMBTRACK: v = track; break;
    case SB_TOP: v = d.nMin; break;
    case SB_BOTTOM: v = d.nMax; break;
    default: return;
    }
    Trace(d.bVertical ? WM_VSCROLL : WM_HSCROLL, MakeLong(code, code == SB_THUMBTRACK ? track : 0), 0);
    ScrollValue(bar) = static_cast<i32>(std::clamp<i64>(v, d.nMin, ScrollMaxPos(d)));
    OnScroll(bar);
}

void DLG_CLASS::TooltipCreate(u32 id, const std::string& utf8Text) {
    if (DLGCONTROL* c = Control(id)) c->strTooltip = utf8Text;
}

std::string DLG_CLASS::TooltipShown() const {
    if (!m_bOpen || m_bTipDismissed || m_nHoverX < 0) return {};
    const int hit = HitTest(m_nHoverX, m_nHoverY, true);
    if (hit < 0) return {};
    const std::string& text = m_vControl[static_cast<std::size_t>(hit)].strTooltip;
    const u64 rested = timeGetTime() - m_nHoverSince;
    return rested >= kTipDelay && rested < kTipDelay + kTipShown ? text : std::string();
}

void DLG_CLASS::Open() {
    m_bOpen = true;
    m_bEnded = false;
    m_nEndCode = 0;
    m_nFocus = -1;
    m_strComposition.clear();
    m_nHoverX = m_nHoverY = -1;
    m_nDragBar = -1;
    const int clientH = m_nH - kCaption;
    const bool v = m_nFrameOption & 1, h = m_nFrameOption & 2;
    if (v) {
        SCROLLDEF d = m_ownScroll[0];
        d.nId = kDlgOwnVScroll;
        d.bVertical = true;
        ScrollAttach(d);
        DLGCONTROL* c = Control(kDlgOwnVScroll);
        c->x = m_nW - kBar;
        c->y = 0;
        c->w = kBar;
        c->h = clientH - (h ? kBar : 0);
    }
    if (h) {
        SCROLLDEF d = m_ownScroll[1];
        d.nId = kDlgOwnHScroll;
        d.bVertical = false;
        ScrollAttach(d);
        DLGCONTROL* c = Control(kDlgOwnHScroll);
        c->x = 0;
        c->y = clientH - kBar;
        c->w = m_nW - (v ? kBar : 0);
        c->h = kBar;
    }
    for (std::size_t i = 0; i < m_vControl.size(); ++i)
        if (Focusable(m_vControl[i])) {
            m_nFocus = static_cast<i32>(i);
            break;
        }
    Trace(WM_INITDIALOG, 0, 0);
    OnInit();
    DlgDataToControls();
}

void DLG_CLASS::Close() {
    if (m_bOpen) Trace(WM_DESTROY, 0, 0);
    m_bOpen = false;
}

void DLG_CLASS::Trace(u32 msg, u64 wParam, i64 lParam) const {
    if (!m_bTrace || msg == WM_SETTEXT || !IsDebugLogOn()) return;
    const u32 wp = static_cast<u32>(wParam);
    const i32 lp = static_cast<i32>(lParam);
    const u32 lpBits = static_cast<u32>(lp);
    const char* name = MessageName(msg);
    if (name)
        DebugLogF("%s | msg:%s | wp:%u(%u,%u) | lp:%d(%d,%d)", m_strTraceName.c_str(), name, wp, wp >> 16, wp & 0xFFFF, lp,
                  static_cast<int>(lpBits >> 16), static_cast<int>(lpBits & 0xFFFF));
    else
        DebugLogF("%s | msg:0x%4x | wp:%u(%u,%u) | lp:%d(%d,%d)", m_strTraceName.c_str(), msg, wp, wp >> 16, wp & 0xFFFF,
                  lp, static_cast<int>(lpBits >> 16), static_cast<int>(lpBits & 0xFFFF));
}

void DLG_CLASS::Command(u32 id, u32 code) {
    Trace(WM_COMMAND, MakeLong(static_cast<i32>(id), static_cast<i32>(code)), 0);
    OnCommand(id);
}

bool DLG_CLASS::DlgCreate() {
    if (m_bOpen) return false;
    Open();
    m_bModeless = true;
    ModelessAdd(this);
    ActivateModeless(this, HasEditControl());
    AppPresent(true);
    return true;
}

int DLG_CLASS::DlgDoModal() {
    if (m_bOpen) return 0;
    m_bModeless = false;
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
    // Modeless dialogs stay in view under the modal one, but do not take its events.
    DlgDrawModeless(back);
    ++g_nModalDepth;
    // A dialog opened from another one (the overwrite question of the save dialog) hands the
    // events and the text input back to it when it ends.
    AppEventHook outer = SetAppEventHook([this](const APPEVENT& e) { return HandleEvent(e); });
    const bool outerText = SDL_IsTextInputActive() == SDL_TRUE;
    AppTextInput(HasEditControl());
    while (!m_bEnded) {
        std::vector<u32> frame = back;
        Draw(frame);
        AppSubmitFrame(frame.data(), kW);
        AppPresent(false);
        // The events after the one that ends the dialog belong to what is open then: the
        // dialog that asked this question, or the main window.
        AppPumpEvents(15, [this] { return m_bEnded; });
    }
    SetAppEventHook(std::move(outer));
    AppTextInput(outerText);
    --g_nModalDepth;
    AppSubmitFrame(back.data(), kW);
    AppPresent(false);
    Close();
    return m_nEndCode;
}

void DLG_CLASS::OnUnattended() {
    for (auto& c : m_vControl)
        if (c.nKind == DLG_BUTTON && c.bDefault && !m_bEnded) Command(c.nId);
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
    case DLG_BUTTON: Command(c.nId); break;
    case DLG_RADIO:
        Trace(WM_COMMAND, MakeLong(static_cast<i32>(c.nId), 0), 0);
        for (auto& o : m_vControl)
            if (o.nKind == DLG_RADIO) o.bChecked = false;
        c.bChecked = true;
        break;
    case DLG_CHECK:
        Trace(WM_COMMAND, MakeLong(static_cast<i32>(c.nId), 0), 0);
        c.bChecked = !c.bChecked;
        break;
    case DLG_LIST:
        Trace(WM_COMMAND, MakeLong(static_cast<i32>(c.nId), LBN_DBLCLK), 0);
        OnListChoose(c);
        break;
    default: break;
    }
}

void DLG_CLASS::TypeText(DLGCONTROL& c, const std::string& sjis) {
    if (c.bSelectAll) {
        c.strEdit.clear();
        c.nCaret = 0;
        c.bSelectAll = false;
    }
    c.nCaret = std::min(c.nCaret, c.strEdit.size());
    std::size_t i = 0;
    while (i < sjis.size()) {
        const std::size_t len = IsDoubleByte(sjis.c_str() + i) ? 2 : 1;
        // What does not fit the line or the byte limit is refused; nothing typed before goes.
        const std::size_t ls = LineStart(c.strEdit, c.nCaret), le = LineEnd(c.strEdit, c.nCaret);
        if (c.nLimit > 0 && CharsIn(c.strEdit, ls, le) + 1 > c.nLimit) break;
        if (c.nByteLimit > 0 && c.strEdit.size() + len > static_cast<std::size_t>(c.nByteLimit)) break;
        if (sjis[i] == '\r' || sjis[i] == '\n') {
            ++i;
            continue;
        }
        c.strEdit.insert(c.nCaret, sjis, i, len);
        c.nCaret += len;
        i += len;
    }
}

// The edit's own keys; false for a key it leaves to the dialog.
bool DLG_CLASS::EditKey(DLGCONTROL& c, u32 vk) {
    std::string& s = c.strEdit;
    c.nCaret = std::min(c.nCaret, s.size());
    if (c.bSelectAll && (vk == VK_BACK || vk == VK_DELETE)) {
        s.clear();
        c.nCaret = 0;
        c.bSelectAll = false;
        return true;
    }
    // Only the keys handled here act on the selection: a letter, Shift or any key left to the
    // dialog keeps it, so that the text typed next replaces it.
    const bool wasAll = c.bSelectAll;
    switch (vk) {
    case VK_BACK:
    case VK_DELETE:
    case VK_LEFT:
    case VK_RIGHT:
    case VK_HOME:
    case VK_END: break;
    case VK_UP:
    case VK_DOWN:
    case VK_RETURN:
        if (!c.bMultiLine) return false;
        break;
    default: return false;
    }
    c.bSelectAll = false;
    // Removing a line break joins two lines: only when the joined line keeps to the limit.
    auto joinFits = [&](std::size_t br) {
        return c.nLimit <= 0 || CharsIn(s, LineStart(s, br), br) + CharsIn(s, br + 2, LineEnd(s, br + 2)) <= c.nLimit;
    };
    auto isBreak = [&](std::size_t at) { return at + 1 < s.size() && s[at] == '\r' && s[at + 1] == '\n'; };
    switch (vk) {
    case VK_BACK: {
        if (c.nCaret == 0) return true;
        const std::size_t prev = PrevUnit(s, c.nCaret);
        if (isBreak(prev) && !joinFits(prev)) {
            c.nCaret = prev; // the caret goes up to the line's end instead
            return true;
        }
        s.erase(prev, c.nCaret - prev);
        c.nCaret = prev;
        return true;
    }
    case VK_DELETE: {
        if (c.nCaret >= s.size()) return true;
        if (isBreak(c.nCaret) && !joinFits(c.nCaret)) return true;
        s.erase(c.nCaret, NextUnit(s, c.nCaret) - c.nCaret);
        return true;
    }
    case VK_LEFT: c.nCaret = wasAll ? 0 : PrevUnit(s, c.nCaret); return true;
    case VK_RIGHT: c.nCaret = wasAll ? s.size() : NextUnit(s, c.nCaret); return true;
    case VK_HOME: c.nCaret = LineStart(s, c.nCaret); return true;
    case VK_END: c.nCaret = LineEnd(s, c.nCaret); return true;
    case VK_UP:
    case VK_DOWN: {
        if (!c.bMultiLine) return false;
        const std::size_t ls = LineStart(s, c.nCaret);
        const int col = CharsIn(s, ls, c.nCaret);
        std::size_t target;
        if (vk == VK_UP) {
            if (ls == 0) return true;
            target = LineStart(s, ls - 2);
        } else {
            const std::size_t le = LineEnd(s, c.nCaret);
            if (le >= s.size()) return true;
            target = le + 2;
        }
        const std::size_t end = LineEnd(s, target);
        for (int k = 0; k < col && target < end; ++k) target = NextUnit(s, target);
        c.nCaret = target;
        return true;
    }
    case VK_RETURN: {
        if (!c.bMultiLine) return false;
        if (c.nLineLimit > 0 && static_cast<i32>(SplitLines(s).size()) >= c.nLineLimit) return true;
        if (c.nByteLimit > 0 && s.size() + 2 > static_cast<std::size_t>(c.nByteLimit)) return true;
        s.insert(c.nCaret, "\r\n");
        c.nCaret += 2;
        return true;
    }
    default: return false;
    }
}

void DLG_CLASS::OwnScrollKey(u32 vk) {
    int code = -1;
    bool vertical = true;
    switch (vk) {
    case VK_PRIOR: code = SB_PAGEUP; break;
    case VK_NEXT: code = SB_PAGEDOWN; break;
    case VK_HOME: code = SB_PAGEUP; vertical = false; break;
    case VK_END: code = SB_PAGEDOWN; vertical = false; break;
    case VK_LEFT: code = SB_LINEUP; vertical = false; break;
    case VK_RIGHT: code = SB_LINEDOWN; vertical = false; break;
    case VK_UP: code = SB_LINEUP; break;
    case VK_DOWN: code = SB_LINEDOWN; break;
    default: return;
    }
    if (DLGCONTROL* bar = Control(vertical ? kDlgOwnVScroll : kDlgOwnHScroll)) DlgScroll(*bar, code);
}

bool DLG_CLASS::ScrollMouse(DLGCONTROL& bar, const APPEVENT& e) {
    const int index = static_cast<int>(&bar - m_vControl.data());
    const i32 cx = e.x - m_nX - bar.x, cy = e.y - m_nY - kCaption - bar.y;
    const int along = bar.scroll.bVertical ? cy : cx;
    const BarGeom g = Geometry(bar, ScrollValue(bar));
    switch (e.kind) {
    case APPEVENT::MouseDown:
        if (e.button != 1) return true;
        if (along < g.arrow) DlgScroll(bar, SB_LINEUP);
        else if (along >= g.len - g.arrow) DlgScroll(bar, SB_LINEDOWN);
        else if (along < g.thumb0) DlgScroll(bar, SB_PAGEUP);
        else if (along >= g.thumb0 + g.thumbLen) DlgScroll(bar, SB_PAGEDOWN);
        else {
            m_nDragBar = index;
            m_nDragGrab = along - g.thumb0;
        }
        return true;
    case APPEVENT::MouseMove: {
        const int room = g.trackLen - g.thumbLen;
        const i32 maxPos = ScrollMaxPos(bar.scroll);
        if (room <= 0) return true;
        const i64 off = std::clamp(along - m_nDragGrab - g.track0, 0, room);
        DlgScroll(bar, SB_THUMBTRACK,
                  static_cast<i32>(bar.scroll.nMin + (off * (static_cast<i64>(maxPos) - bar.scroll.nMin) + room / 2) / room));
        return true;
    }
    default: return true; // a release, the right button's too, ends with the bar
    }
}

int DLG_CLASS::HitTest(i32 x, i32 y, bool any) const {
    const i32 cx = x - m_nX, cy = y - m_nY - kCaption;
    for (std::size_t i = m_vControl.size(); i-- > 0;) {
        const DLGCONTROL& c = m_vControl[i];
        if ((any || Focusable(c) || c.nKind == DLG_SCROLL) && cx >= c.x && cx < c.x + c.w && cy >= c.y && cy < c.y + c.h)
            return static_cast<int>(i);
    }
    return -1;
}

bool DLG_CLASS::HandleEvent(const APPEVENT& e) {
    if (!m_bOpen || m_bEnded) return false;
    if (!m_bTrace) return Dispatch(e);
    // The event as the window message it stands for; the client area is where mice point from.
    const i32 cx = e.x - m_nX, cy = e.y - m_nY - kCaption;
    switch (e.kind) {
    case APPEVENT::KeyDown: Trace(WM_KEYDOWN, e.vk, 1); break;
    case APPEVENT::KeyUp: Trace(WM_KEYUP, e.vk, static_cast<i32>(0xC0000001u)); break;
    case APPEVENT::Text: {
        const std::string sjis = Utf8ToSjis(e.text);
        for (std::size_t i = 0; i < sjis.size(); ++i) {
            const auto b = static_cast<u8>(sjis[i]);
            if (IsDoubleByte(sjis.c_str() + i)) {
                Trace(WM_IME_CHAR, static_cast<u32>(b) << 8 | static_cast<u8>(sjis[i + 1]), 1);
                ++i;
            } else {
                Trace(WM_CHAR, b, 1);
            }
        }
        break;
    }
    case APPEVENT::Editing:
        if (e.text.empty()) Trace(WM_IME_ENDCOMPOSITION, 0, 0);
        else Trace(WM_IME_COMPOSITION, 0, 0x8); // GCS_COMPSTR
        break;
    case APPEVENT::MouseMove: Trace(WM_MOUSEMOVE, 0, static_cast<i32>(MakeLong(cx, cy))); break;
    case APPEVENT::MouseDown:
        Trace(e.button == 1 ? WM_LBUTTONDOWN : e.button == 2 ? WM_RBUTTONDOWN : WM_MBUTTONDOWN,
              e.button == 1 ? 1 : e.button == 2 ? 2 : 0x10, static_cast<i32>(MakeLong(cx, cy)));
        break;
    case APPEVENT::MouseUp:
        Trace(e.button == 1 ? WM_LBUTTONUP : e.button == 2 ? WM_RBUTTONUP : WM_MBUTTONUP, 0,
              static_cast<i32>(MakeLong(cx, cy)));
        break;
    case APPEVENT::Wheel: Trace(WM_MOUSEWHEEL, MakeLong(0, e.y * 120), 0); break;
    case APPEVENT::Close: Trace(WM_CLOSE, 0, 0); break;
    }
    // An edit whose text changed tells it as its update notification.
    const DLGCONTROL* edit = m_nFocus >= 0 && m_nFocus < static_cast<i32>(m_vControl.size()) &&
                                     m_vControl[static_cast<std::size_t>(m_nFocus)].nKind == DLG_EDIT
                                 ? &m_vControl[static_cast<std::size_t>(m_nFocus)]
                                 : nullptr;
    const u32 editId = edit ? edit->nId : 0;
    const std::string before = edit ? edit->strEdit : std::string();
    const bool used = Dispatch(e);
    if (edit && !m_bEnded)
        if (const DLGCONTROL* after = Control(editId); after && after->strEdit != before)
            Trace(WM_COMMAND, MakeLong(static_cast<i32>(editId), EN_UPDATE), 0);
    return used;
}

bool DLG_CLASS::Dispatch(const APPEVENT& e) {
    DLGCONTROL* focus =
        m_nFocus >= 0 && m_nFocus < static_cast<i32>(m_vControl.size()) ? &m_vControl[static_cast<std::size_t>(m_nFocus)] : nullptr;
    const bool composing = !m_strComposition.empty() && focus && focus->nKind == DLG_EDIT;
    if (e.kind == APPEVENT::KeyDown || e.kind == APPEVENT::MouseDown) m_bTipDismissed = true;
    switch (e.kind) {
    case APPEVENT::Close:
        OnClose();
        return false; // the window goes on to close
    case APPEVENT::KeyDown:
        // While the input method composes, its keys (Enter commits) are its own.
        if (!composing) KeyDown(focus, e.vk);
        return true;
    case APPEVENT::Text:
        m_strComposition.clear();
        if (focus && focus->nKind == DLG_EDIT && focus->bPathText) {
            TypeText(*focus, PathTextOf(e.text));
        } else if (focus && focus->nKind == DLG_EDIT) {
            const std::string sjis = Utf8ToSjis(e.text);
            // Text CP932 cannot hold is refused rather than stored as '?'.
            if (SjisToUtf8(sjis) == e.text) TypeText(*focus, sjis);
        }
        return true;
    case APPEVENT::Editing:
        m_strComposition = focus && focus->nKind == DLG_EDIT ? e.text : std::string();
        return true;
    case APPEVENT::MouseMove: return MouseMove(e);
    case APPEVENT::MouseUp: {
        const bool dragging = m_nDragBar >= 0;
        m_nDragBar = -1;
        const int hit = HitTest(e.x, e.y);
        // A release on a scroll bar, the right button's included, stays with the bar.
        return dragging || (hit >= 0 && m_vControl[static_cast<std::size_t>(hit)].nKind == DLG_SCROLL) ||
               Contains(e.x, e.y) || !m_bModeless;
    }
    case APPEVENT::MouseDown: return MouseDown(e);
    case APPEVENT::Wheel:
        if (focus && focus->nKind == DLG_LIST) {
            const i32 rows = std::max(focus->h / kRow, 1);
            const i32 maxTop = std::max(static_cast<i32>(focus->vItem.size()) - rows, 0);
            focus->nTop = std::clamp(focus->nTop - e.y * 3, 0, maxTop);
        } else if (DLGCONTROL* bar = Control(kDlgOwnVScroll)) {
            for (int i = 0; i < std::abs(e.y) * 3; ++i) DlgScroll(*bar, e.y > 0 ? SB_LINEUP : SB_LINEDOWN);
        }
        return true;
    default: return true;
    }
}

void DLG_CLASS::KeyDown(DLGCONTROL* focus, u32 vk) {
    if (m_nFrameOption & 3) OwnScrollKey(vk);
    if (focus && focus->nKind == DLG_EDIT && EditKey(*focus, vk)) return;
    switch (vk) {
    case VK_ESCAPE: OnClose(); break;
    case VK_TAB: MoveFocus(GetAsyncKeyState(VK_SHIFT) < 0 ? -1 : 1); break;
    case VK_RETURN:
        if (focus && (focus->nKind == DLG_BUTTON || focus->nKind == DLG_LIST)) {
            Activate(*focus);
        } else {
            for (auto& c : m_vControl)
                if (c.nKind == DLG_BUTTON && c.bDefault) {
                    Command(c.nId);
                    break;
                }
        }
        break;
    case VK_SPACE:
        if (focus && focus->nKind == DLG_LIST && focus->bMultiSel && !focus->vItem.empty()) {
            focus->vMarked.resize(focus->vItem.size(), 0);
            focus->vMarked[static_cast<std::size_t>(focus->nSel)] ^= 1;
        } else if (focus && focus->nKind != DLG_EDIT && focus->nKind != DLG_LIST) {
            Activate(*focus);
        }
        // In an edit the space arrives as text input, like every other character.
        break;
    case VK_UP:
    case VK_DOWN:
    case VK_PRIOR:
    case VK_NEXT:
    case VK_LEFT:
    case VK_RIGHT: ArrowKey(focus, vk); break;
    default: break;
    }
}

void DLG_CLASS::ArrowKey(DLGCONTROL* focus, u32 vk) {
    if (focus && focus->nKind == DLG_LIST && !focus->vItem.empty()) {
        const i32 rows = std::max(focus->h / kRow, 1);
        const i32 step = vk == VK_UP ? -1 : vk == VK_DOWN ? 1 : vk == VK_PRIOR ? -rows : vk == VK_NEXT ? rows : 0;
        if (step == 0) {
            MoveFocus(vk == VK_LEFT ? -1 : 1);
            return;
        }
        const i32 last = static_cast<i32>(focus->vItem.size()) - 1;
        focus->nSel = std::clamp(focus->nSel + step, 0, last);
        if (focus->nSel < focus->nTop) focus->nTop = focus->nSel;
        if (focus->nSel >= focus->nTop + rows) focus->nTop = focus->nSel - rows + 1;
    } else if (focus && focus->nKind == DLG_RADIO) {
        MoveFocus(vk == VK_UP || vk == VK_LEFT ? -1 : 1);
        DLGCONTROL& next = m_vControl[static_cast<std::size_t>(m_nFocus)];
        if (next.nKind == DLG_RADIO) Activate(next);
    } else if (!(m_nFrameOption & 3)) {
        MoveFocus(vk == VK_UP || vk == VK_LEFT || vk == VK_PRIOR ? -1 : 1);
    }
}

bool DLG_CLASS::MouseMove(const APPEVENT& e) {
    const int before = m_nHoverX < 0 ? -1 : HitTest(m_nHoverX, m_nHoverY, true);
    const int now = HitTest(e.x, e.y, true);
    if (now != before) {
        m_nHoverSince = timeGetTime();
        m_bTipDismissed = false;
    }
    m_nHoverX = e.x;
    m_nHoverY = e.y;
    if (m_nDragBar >= 0 && m_nDragBar < static_cast<i32>(m_vControl.size()))
        return ScrollMouse(m_vControl[static_cast<std::size_t>(m_nDragBar)], e);
    return Contains(e.x, e.y);
}

bool DLG_CLASS::MouseDown(const APPEVENT& e) {
    const int hit = HitTest(e.x, e.y);
    if (hit >= 0 && m_vControl[static_cast<std::size_t>(hit)].nKind == DLG_SCROLL)
        return ScrollMouse(m_vControl[static_cast<std::size_t>(hit)], e);
    if (e.button != 1 || hit < 0) return true;
    m_nFocus = hit;
    DLGCONTROL& c = m_vControl[static_cast<std::size_t>(hit)];
    if (c.nKind == DLG_LIST) ListClick(c, c.nTop + (e.y - m_nY - kCaption - c.y) / kRow);
    else if (c.nKind != DLG_EDIT) Activate(c);
    return true;
}

void DLG_CLASS::ListClick(DLGCONTROL& c, i32 row) {
    if (row < 0 || row >= static_cast<i32>(c.vItem.size())) return;
    if (c.bMultiSel && GetAsyncKeyState(VK_CONTROL) < 0) {
        c.vMarked.resize(c.vItem.size(), 0);
        c.vMarked[static_cast<std::size_t>(row)] ^= 1;
        c.nSel = row;
    } else if (row == c.nSel) {
        Trace(WM_COMMAND, MakeLong(static_cast<i32>(c.nId), LBN_DBLCLK), 0);
        OnListChoose(c);
    } else {
        c.vMarked.assign(c.vItem.size(), 0);
        c.nSel = row;
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
// that holds the caret.
void DLG_CLASS::DrawEdit(std::vector<u32>& f, const DLGCONTROL& c, int x, int y, bool focused) const {
    Fill(f, x, y, c.w, c.h, kWhite);
    Bevel(f, x, y, c.w, c.h, false);
    if (c.bSelectAll && !c.strEdit.empty()) Fill(f, x + 2, y + 2, c.w - 4, c.h - 4, kSelect);
    const u32 ink = c.bSelectAll ? kWhite : 0xFF000000;
    const std::size_t caret = std::min(c.nCaret, c.strEdit.size());
    const std::vector<std::string> lines = c.bMultiLine ? SplitLines(c.strEdit) : std::vector<std::string>{c.strEdit};
    auto shown = [&c](const std::string& sjis) { return c.bPathText ? DisplayPathOf(sjis) : SjisToUtf8(sjis); };
    std::size_t at = 0;
    for (std::size_t l = 0; l < lines.size(); ++l) {
        const int ly = c.bMultiLine ? y + 2 + static_cast<int>(l) * kEditLine : y;
        const int lh = c.bMultiLine ? kEditLine : c.h;
        const std::size_t end = at + lines[l].size();
        if (!focused || caret < at || caret > end) {
            Text(f, x + 3, ly, c.w - 6, lh, shown(lines[l]), ink);
        } else {
            // The input method's composition is shown at the caret, underlined.
            const std::string before = shown(lines[l].substr(0, caret - at));
            const std::string after = shown(lines[l].substr(caret - at));
            const int bx = x + 3 + TextWidth(before), cw = TextWidth(m_strComposition);
            Text(f, x + 3, ly, c.w - 6, lh, before, ink);
            if (cw > 0) {
                Text(f, bx, ly, x + c.w - 3 - bx, lh, m_strComposition, 0xFF000000);
                Fill(f, bx, ly + lh - 4, std::min(cw, x + c.w - 3 - bx), 1, 0xFF000000);
            }
            Text(f, bx + cw, ly, x + c.w - 3 - bx - cw, lh, after, ink);
            Fill(f, bx + cw, ly + 3, 1, lh - 6, ink);
            AppTextInputRect(bx, ly, std::max(cw, 1), lh);
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
        if (name.empty()) continue; // the iterator never gives "." or ".."
        const std::string sjis = GameNameOf(name);
        std::error_code e2;
        if (it->is_directory(e2)) {
            folders.push_back({DisplayPathOf(sjis), true, sjis});
        } else {
            for (const auto& p : patterns)
                if (DlgMatchPattern(name, p)) {
                    files.push_back({DisplayPathOf(sjis), false, sjis});
                    break;
                }
        }
    }
    auto byName = [](const DLGFILEENTRY& a, const DLGFILEENTRY& b) { return Lower(a.strName) < Lower(b.strName); };
    std::sort(folders.begin(), folders.end(), byName);
    std::sort(files.begin(), files.end(), byName);
    std::vector<DLGFILEENTRY> out;
    if (withParent) out.push_back({"..", true, ".."});
    out.insert(out.end(), folders.begin(), folders.end());
    out.insert(out.end(), files.begin(), files.end());
    return out;
}
