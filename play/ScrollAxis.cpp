#include "play/ScrollAxis.h"

#include <algorithm>
#include <cstdint>

void cScrollAxis::Setup(i32 axis, i32 cells, i32 viewExtension) {
    m_nView = axis == 0 ? 640 : 480;
    m_nMargin = 10;
    m_nCells = cells + 2 * m_nMargin;
    m_nOrigin = m_nMargin * 32;
    m_nDefaultUpper = std::max((m_nCells - m_nMargin) * 32, 0);
    m_nViewExtended = m_nView + viewExtension;
    m_nLower = m_nOrigin;
    m_nUpper = std::max(m_nDefaultUpper, m_nLower);
}

void cScrollAxis::Clamp() {
    bool hit = false;
    if (m_dPos < m_nLower) {
        m_dPos = m_nLower;
        hit = true;
    }
    if (m_dPos + m_nView >= m_nUpper) {
        m_dPos = std::max(m_nUpper - m_nView, m_nLower);
        hit = true;
    }
    m_bLimitHit = hit ? 1 : 0;
}

void cScrollAxis::Step() {
    m_dPos += m_dSpeed;
    Clamp();
}

void cScrollAxis::SetSpeed(u32 enable, i32 n, double unit) {
    if (enable) {
        m_dSpeed = n * 0.1 / (unit >= 1.0 ? unit : 1.0);
        m_bAuto = 1;
    } else {
        m_dSpeed = 0.0;
        m_bAuto = 0;
    }
}

void cScrollAxis::SetBounds(i32 from, i32 to, u32 useFrom, u32 useTo) {
    // Cells from data never overflow the pixel bounds.
    auto px = [this](i64 cells) { return static_cast<i32>(std::clamp<i64>(m_nOrigin + cells * 32, INT32_MIN / 2, INT32_MAX / 2)); };
    m_nLower = useFrom ? px(from) : m_nOrigin;
    m_nUpper = useTo ? px(i64{to} + 1) : m_nDefaultUpper;
    m_nUpper = std::max(m_nUpper, m_nLower);
}
