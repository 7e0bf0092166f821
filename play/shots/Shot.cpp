#include "play/shots/Shot.h"

cShot::cShot() = default;
cShot::~cShot() = default;

// A shot's own box and scale rules belong to the shot code.
i32 cShot::ScaleBoxes(i32 scale) {
    m_rcHit.Scale(scale);
    return 0;
}

void cShot::ScaleHook(i32, i32) {}

void cShot::UpdateBoxesX() { m_rcHit.UpdateX(Trunc32(m_dX)); }

void cShot::UpdateBoxesY() { m_rcHit.UpdateY(Trunc32(m_dY)); }
