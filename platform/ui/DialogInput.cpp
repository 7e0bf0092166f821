// A dialog operated: the keys, the text typed and composed, the pointer's moves, presses and
// wheel, and the focus they move from control to control.
#include <algorithm>
#include <cstdlib>

#include "platform/system/Clock.h"
#include "platform/system/Input.h"
#include "platform/system/Sjis.h"
#include "platform/ui/Dialog.h"
#include "platform/ui/DialogKit.h"

using namespace dlgkit;

namespace dlgkit {

bool Focusable(const DLGCONTROL& c) {
    return c.nKind == DLG_BUTTON || c.nKind == DLG_RADIO || c.nKind == DLG_CHECK || c.nKind == DLG_EDIT ||
           c.nKind == DLG_LIST;
}

} // namespace dlgkit

void DLG_CLASS::MoveFocus(int step) {
    const int n = static_cast<int>(m_vControl.size());
    if (n == 0) return;
    int i = m_nFocus < 0 ? (step > 0 ? -1 : 0) : m_nFocus;
    for (int tries = 0; tries < n; ++tries) {
        i = (i + step + n) % n;
        if (Focusable(m_vControl[static_cast<std::size_t>(i)])) {
            SetFocus(i);
            return;
        }
    }
}

void DLG_CLASS::SetFocus(int index) {
    const int before = m_nFocus;
    m_nFocus = index;
    // A composition shows in the focused edit alone: the edit that loses it and the one that
    // gains it scroll as their carets now need.
    for (const int i : {before, index})
        if (i >= 0 && i < static_cast<int>(m_vControl.size()) && m_vControl[static_cast<std::size_t>(i)].nKind == DLG_EDIT)
            FollowCaret(m_vControl[static_cast<std::size_t>(i)]);
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
        if (focus && focus->nKind == DLG_EDIT) FollowCaret(*focus); // the composition is gone
        return true;
    case APPEVENT::Editing:
        m_strComposition = focus && focus->nKind == DLG_EDIT ? e.text : std::string();
        if (focus && focus->nKind == DLG_EDIT) FollowCaret(*focus);
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
    case VK_TAB: MoveFocus(GetKeyState(VK_SHIFT) < 0 ? -1 : 1); break;
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
    SetFocus(hit);
    DLGCONTROL& c = m_vControl[static_cast<std::size_t>(hit)];
    if (c.nKind == DLG_LIST) ListClick(c, c.nTop + (e.y - m_nY - kCaption - c.y) / kRow);
    else if (c.nKind != DLG_EDIT) Activate(c);
    return true;
}
