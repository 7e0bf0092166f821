// A dialog of the kit: its controls, the exchange of their data with bound fields, its opening
// and end, and the messages it sends and traces (a control's command, a scroll request, each
// event as the window message it stands for).
#include "platform/ui/Dialog.h"

#include <algorithm>

#include "platform/system/Clock.h"
#include "platform/system/Input.h"
#include "platform/system/Report.h"
#include "platform/system/Sjis.h"
#include "platform/system/WindowMessages.h"
#include "platform/ui/DialogKit.h"

using namespace dlgkit;

namespace {

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

constexpr int kBar = 16;          // scroll-bar thickness
constexpr u64 kTipDelay = 500;    // the pointer rests this long before a tooltip shows
constexpr u64 kTipShown = 5000;   // and the tooltip goes again after this long

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
        if (c.nKind == DLG_EDIT) {
            c.nCaret = c.strEdit.size();
            FollowCaret(c);
        }
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

void DLG_CLASS::ListClick(DLGCONTROL& c, i32 row) {
    if (row < 0 || row >= static_cast<i32>(c.vItem.size())) return;
    if (c.bMultiSel && GetKeyState(VK_CONTROL) < 0) {
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
