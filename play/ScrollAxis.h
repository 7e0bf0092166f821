#pragma once
// One axis of the play view's scroll: its position, the bounds it is kept in and its
// auto-scroll. Positions are world pixels (a stage pixel p is world pixel p + 320).
#include "platform/system/Types.h"

class cScrollAxis {
public:
    // Sets the axis up for a stage: axis 0 x (view 640), 1 y (view 480); cells = the stage's
    // width or height in cells; the view extension of the axis. The bounds become the whole
    // stage; speed and position are left as they are.
    void Setup(i32 axis, i32 cells, i32 viewExtension);
    // Keeps the position inside the bounds: below the lower bound L it becomes L; when the view
    // reaches the upper bound U (position + view length >= U) it becomes U - view length, but
    // never below L. The limit-hit flag tells whether either applied.
    void Clamp();
    // One logic step of auto-scroll: position += speed, then Clamp.
    void Step();
    // Auto-scroll on with a speed setting n (tenths of a pixel per frame): speed n x 0.1 / unit;
    // off clears speed and flag.
    void SetSpeed(u32 enable, i32 n, double unit);
    // Scroll limits in stage cells: lower = origin + from x 32 when useFrom, else the origin;
    // upper = origin + (to + 1) x 32 when useTo, else the default upper bound; never below the
    // lower bound.
    void SetBounds(i32 from, i32 to, u32 useFrom, u32 useTo);

    double m_dPos = 0.0;
    u32 m_bLimitHit = 0;
    i32 m_nLower = 0;
    i32 m_nUpper = 0;
    i32 m_nOrigin = 320;
    i32 m_nDefaultUpper = 0;
    i32 m_nView = 640;
    double m_dSpeed = 0.0; // pixels per logic step
    u32 m_bAuto = 0;

    i32 m_nMargin = 10;
    i32 m_nCells = 0;      // cells with the margins
    i32 m_nViewExtended = 640;
};
