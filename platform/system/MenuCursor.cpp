#include "platform/system/MenuCursor.h"

#include <algorithm>
#include <mutex>

cMenuCursor g_WorldMapPos;
MOUSEBUTTONS g_MouseButtons;

namespace {

std::mutex g_mouseMutex;
bool g_mouseLeft = false;
bool g_mouseRight = false;
i32 g_mouseX = 0;
i32 g_mouseY = 0;

// Module state of MouseButtons: the held states of the previous call and the press latches.
u32 g_prevLeft = 0;
u32 g_prevRight = 0;
u32 g_latchLeft = 0;
u32 g_latchRight = 0;

// Wraps an index into 0..size-1; an axis without entries stays at 0 rather than going to -1.
i32 Wrap(i32 v, i32 size) {
    if (size <= 0) return 0;
    if (v < 0) return size - 1;
    if (v >= size) return 0;
    return v;
}

} // namespace

void cMenuCursor::Reset() {
    m_v.assign(1, MENUCURSOR{});
}

void cMenuCursor::Build(int mode) {
    m_v.push_back(MENUCURSOR{});
    if (mode == 1 && m_v.size() >= 2) m_v.back() = m_v[m_v.size() - 2];
}

void cMenuCursor::Shift(int mode) {
    if (m_v.size() <= 1) return;
    const MENUCURSOR popped = m_v.back();
    m_v.pop_back();
    if (mode == 2) m_v.back() = popped;
}

void MoveCursor(cMenuCursor& cursor, u16 input, i32 x0, i32 y0, i32 xStep, i32 yStep, i32 columns,
                i32 rows) {
    if (columns < 0 || rows < 0) return;
    MENUCURSOR& c = cursor.Cur();
    if (input & 1) --c.col;
    else if (input & 2) ++c.col;
    if (input & 4) --c.row;
    else if (input & 8) ++c.row;
    c.row = Wrap(c.row, rows);
    c.col = Wrap(c.col, columns);
    c.x = c.col * xStep + x0;
    c.y = c.row * yStep + y0;
}

void MenuCursorMoveList(cMenuCursor& cursor, u16 input, bool secondAxis, i32& firstVisible,
                        i32 origin, i32 step, i32 other, i32 rowsShown, i32 rowsAll, bool paging) {
    MENUCURSOR& c = cursor.Cur();
    i32& index = secondAxis ? c.row : c.col;
    if (input & 4) {
        if (index - firstVisible < 1) --firstVisible;
        --index;
    } else if (input & 8) {
        if (index - firstVisible >= rowsShown - 1) ++firstVisible;
        ++index;
    }
    if (paging) {
        const i32 page = rowsShown - 1;
        if (input & 2) {
            if (firstVisible != rowsAll - rowsShown) {
                firstVisible += page;
                index += page;
            } else {
                index = rowsAll - 1;
            }
        } else if (input & 1) {
            if (firstVisible != 0) {
                firstVisible -= page;
                index -= page;
            } else {
                index = 0;
            }
        }
    }
    index = std::clamp(index, 0, std::max(rowsAll - 1, 0));
    firstVisible = std::clamp(firstVisible, 0, std::max(rowsAll - rowsShown, 0));
    const i32 pos = (index - firstVisible) * step + origin;
    if (secondAxis) {
        c.y = pos;
        c.x = other;
    } else {
        c.x = pos;
        c.y = other;
    }
}

void MouseButtons(int what) {
    bool left, right;
    i32 x, y;
    MouseStateGet(left, right, x, y);
    g_prevLeft = g_MouseButtons.bLeft;
    g_prevRight = g_MouseButtons.bRight;
    if (what & 1) {
        g_MouseButtons.bLeft = left;
        g_MouseButtons.bRight = right;
    }
    if (what & 2) {
        g_MouseButtons.bLeftPressed = 0;
        g_MouseButtons.bRightPressed = 0;
        if (left) {
            if (!g_latchLeft) g_MouseButtons.bLeftPressed = 1;
            g_latchLeft = 1;
        } else {
            g_latchLeft = 0;
        }
        if (right) {
            if (!g_latchRight) g_MouseButtons.bRightPressed = 1;
            g_latchRight = 1;
        } else {
            g_latchRight = 0;
        }
    }
    if (what & 4) {
        g_MouseButtons.bLeftReleased = g_prevLeft && !left;
        g_MouseButtons.bRightReleased = g_prevRight && !right;
    }
}

void MouseButtonsReset() {
    g_MouseButtons = MOUSEBUTTONS{};
    g_prevLeft = g_prevRight = g_latchLeft = g_latchRight = 0;
}

void MouseStateSet(bool left, bool right, i32 x, i32 y) {
    std::lock_guard lock(g_mouseMutex);
    g_mouseLeft = left;
    g_mouseRight = right;
    g_mouseX = x;
    g_mouseY = y;
}

void MouseStateGet(bool& left, bool& right, i32& x, i32& y) {
    std::lock_guard lock(g_mouseMutex);
    left = g_mouseLeft;
    right = g_mouseRight;
    x = g_mouseX;
    y = g_mouseY;
}
