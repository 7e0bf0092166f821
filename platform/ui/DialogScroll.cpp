// Scroll bars: a bar bound to its value, where its parts lie, and what its keys and the
// pointer on it ask for. The scroll request itself (DlgScroll) is sent with the dialog's other
// messages (Dialog.cpp).
#include <algorithm>

#include "platform/system/Input.h"
#include "platform/ui/Dialog.h"
#include "platform/ui/DialogKit.h"

using namespace dlgkit;

namespace dlgkit {

i32& ScrollValue(DLGCONTROL& c) { return c.scroll.pValue ? *c.scroll.pValue : c.scroll.nPos; }

i32 ScrollMaxPos(const SCROLLDEF& d) {
    const i32 page = std::max(d.nPage, 1);
    return std::max(d.nMin, d.nMax - page + 1);
}

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

} // namespace dlgkit

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
