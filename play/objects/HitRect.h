#pragma once
// Rectangles of the play field.
#include "platform/system/Types.h"

// Stage pixels, both ends inclusive.
struct HITRECT {
    double left = 0.0;
    double top = 0.0;
    double right = 0.0;
    double bottom = 0.0;
    bool operator==(const HITRECT&) const = default;
};

struct HITRECT2 {
    HITRECT a;
    HITRECT b;
};

// Touching edges and corners count as a hit.
inline bool IsHitRect(const HITRECT& a, const HITRECT& b) {
    return a.left <= b.right && a.right >= b.left && a.top <= b.bottom && a.bottom >= b.top;
}

// Offset from the object's position and size, in pixels.
struct BOXRECT {
    i32 x = 0;
    i32 y = 0;
    i32 w = 0;
    i32 h = 0;
    bool operator==(const BOXRECT&) const = default;
};

// A character rectangle kept three ways: in stage pixels (rebuilt from the position), and as an
// offset box at the current scale and unscaled.
struct CHARARECT {
    HITRECT rc;
    BOXRECT cur;
    BOXRECT base;
    // cur = base x scale.
    void Scale(i32 scale) {
        cur = BOXRECT{base.x * scale, base.y * scale, base.w * scale, base.h * scale};
    }
    // rc from the integer position: left = x + offset, right = left + width - 1.
    void UpdateX(i32 x) {
        rc.left = x + cur.x;
        rc.right = rc.left + cur.w - 1;
    }
    void UpdateY(i32 y) {
        rc.top = y + cur.y;
        rc.bottom = rc.top + cur.h - 1;
    }
};

// Where an object is drawn this frame, in view pixels.
struct SCREENRECT {
    i32 left = 0;
    i32 top = 0;
    i32 right = 0;
    i32 bottom = 0;
    bool operator==(const SCREENRECT&) const = default;
};
