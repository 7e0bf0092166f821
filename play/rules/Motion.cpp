// Motion and block collision: clamps, moves, screen and stage tests.
#include "play/GameScene.h"

i32 cObj::ClampX(i32 /*mode*/) {
    UpdateEdgesX();
    return 0;
}

i32 cObj::ClampY(i32 /*mode*/) {
    UpdateEdgesY();
    return 0;
}

void cObj::ScreenPos() {
    const double sx = m_pScene ? m_pScene->m_ScrollX.m_dPos : 0.0;
    const double sy = m_pScene ? m_pScene->m_ScrollY.m_dPos : 0.0;
    m_rcScreen.left = Trunc32(m_dX) - Trunc32(sx) - m_nGfxOffX;
    m_rcScreen.top = Trunc32(m_dY) - Trunc32(sy) - m_nGfxOffY;
    m_rcScreen.right = m_rcScreen.left + m_nGfxW - 1;
    m_rcScreen.bottom = m_rcScreen.top + m_nGfxH - 1;
}

i32 cObj::IsOnScreen() const {
    const double sx = m_pScene ? m_pScene->m_ScrollX.m_dPos : 0.0;
    const double sy = m_pScene ? m_pScene->m_ScrollY.m_dPos : 0.0;
    return m_dRight >= sx && m_dX <= sx + 640 && m_dBottom >= sy && m_dY <= sy + 480 ? 1 : 0;
}

i32 cObj::IsInStage(i32 /*mode*/) const {
    if (!m_pScene) return 0;
    return m_dX >= 0 && m_dRight <= m_pScene->StageWidthPx() && m_dY >= 0 && m_dBottom <= m_pScene->StageHeightPx() ? 1 : 0;
}
