#pragma once
// Menu cursors: a stack so that leaving a submenu gives back the cursor of the menu below, grid
// and scrolled-list moves driven by the direction bits of the input word, and the mouse buttons.
#include <vector>

#include "platform/system/Types.h"

struct MENUCURSOR {
    i32 col = 0;
    i32 row = 0;
    i32 x = 0;
    i32 y = 0;
};

class cMenuCursor {
public:
    cMenuCursor() { Reset(); }

    // Back to one zeroed cursor (every front-end scene does this on entering).
    void Reset();
    // Pushes a zeroed cursor; with mode 1 it copies the one below.
    void Build(int mode);
    // Pops the top cursor when there are at least two; with mode 2 the popped cursor's fields are
    // copied into the new top.
    void Shift(int mode);

    MENUCURSOR& Cur() { return m_v.back(); }
    const MENUCURSOR& Cur() const { return m_v.back(); }
    // The cursor below the current one, or null.
    MENUCURSOR* Below() { return m_v.size() >= 2 ? &m_v[m_v.size() - 2] : nullptr; }
    std::size_t Depth() const { return m_v.size(); }

private:
    std::vector<MENUCURSOR> m_v;
};

// The shared cursor of the front-end menus.
extern cMenuCursor g_WorldMapPos;

inline void MenuCursorBuild(int mode) { g_WorldMapPos.Build(mode); }
inline void MenuCursorShift(int mode) { g_WorldMapPos.Shift(mode); }

// Grid move of the current cursor with wrap-around. An axis of size 0 keeps its index at 0.
void MoveCursor(cMenuCursor& cursor, u16 input, i32 x0, i32 y0, i32 xStep, i32 yStep, i32 columns,
                i32 rows);
// Scrolled-list move: the column (or the row with secondAxis) moves over rowsAll entries of
// which rowsShown are visible from firstVisible; paging moves by rowsShown - 1 on bits 1 and 2.
void MenuCursorMoveList(cMenuCursor& cursor, u16 input, bool secondAxis, i32& firstVisible,
                        i32 origin, i32 step, i32 other, i32 rowsShown, i32 rowsAll, bool paging);

struct MOUSEBUTTONS {
    u32 bLeft = 0;
    u32 bRight = 0;
    u32 bLeftPressed = 0;
    u32 bRightPressed = 0;
    u32 bLeftReleased = 0;
    u32 bRightReleased = 0;
};

extern MOUSEBUTTONS g_MouseButtons;

// what bit 0 reads the held states, bit 1 the pressed latches, bit 2 the releases.
void MouseButtons(int what);
void MouseButtonsReset();
// The mouse snapshot the window thread keeps (position in the 640x480 frame).
void MouseStateSet(bool left, bool right, i32 x, i32 y);
void MouseStateGet(bool& left, bool& right, i32& x, i32& y);
