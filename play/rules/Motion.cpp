// Motion and block collision: clamps, moves, screen and stage tests.
#include "play/rules/Motion.h"

#include <algorithm>
#include <cmath>

#include "play/GameScene.h"
#include "records/StageSettings.h"

PLAYBOUNDS InnerBounds(const cGameScene& scene) {
    return PLAYBOUNDS{scene.m_ScrollX.m_nLower, scene.m_ScrollY.m_nLower, scene.m_ScrollX.m_nUpper,
                      scene.m_ScrollY.m_nUpper};
}

PLAYBOUNDS OuterBounds(const cGameScene& scene) {
    constexpr i32 o = cBlockMap::kOrigin;
    return PLAYBOUNDS{o, o, o + scene.m_vBlockMap.StageWidth() * 32, o + scene.m_vBlockMap.StageHeight() * 32};
}

// ---- Clamps ----

namespace {

// The clamp of one axis: pos is x (y), size the box width (height), stage the stage's extent,
// lo/hi the bounds of that axis. Codes by the rule of ClampX; codes5 gives ClampY's lower-side
// codes (mode 1: 4, mode 2: 5 and 6) in place of the horizontal ones.
struct AXIS {
    i32 innerLo, innerHi, outerLo, outerHi, stage;
};

i32 ClampAxis(double& pos, i32 size, const AXIS& a, i32 mode, bool vertical) {
    const double far = pos + size - 1;
    switch (mode) {
    case 0:
        if (pos < a.innerLo) pos = a.innerLo;
        else if (far >= a.innerHi) pos = a.innerHi - size;
        return 0;
    case 1:
        if (pos < a.outerLo) {
            pos = a.outerLo;
            return 0;
        }
        if (far >= a.outerHi) {
            pos = a.outerHi - size;
            return 0;
        }
        if (pos < a.innerLo) return 1;
        if (far >= a.innerHi) return vertical ? 4 : 1;
        return 0;
    case 2: {
        // Vertically a box at least the margin high is never held at the field's edge.
        const bool clampable = !vertical || size < 32 * cBlockMap::kMargin;
        if (pos < 0 && clampable) {
            pos = 0;
            return 3;
        }
        if (far >= a.stage && clampable) {
            pos = a.stage - size;
            return vertical ? 6 : 3;
        }
        if (pos < a.outerLo) return 2;
        if (far >= a.outerHi) return vertical ? 5 : 2;
        if (pos < a.innerLo) return 1;
        if (far >= a.innerHi) return vertical ? 4 : 1;
        return 0;
    }
    default: return 0;
    }
}

} // namespace

namespace {

i32 ClampOfX(cObj& o, i32 mode) {
    if (!o.m_pScene) return 0;
    const cGameScene& s = *o.m_pScene;
    const PLAYBOUNDS in = InnerBounds(s), out = OuterBounds(s);
    return ClampAxis(o.m_dX, o.m_nBoxW, AXIS{in.left, in.right, out.left, out.right, s.StageWidthPx()}, mode, false);
}

i32 ClampOfY(cObj& o, i32 mode) {
    if (!o.m_pScene) return 0;
    const cGameScene& s = *o.m_pScene;
    const PLAYBOUNDS in = InnerBounds(s), out = OuterBounds(s);
    return ClampAxis(o.m_dY, o.m_nBoxH, AXIS{in.top, in.bottom, out.top, out.bottom, s.StageHeightPx()}, mode, true);
}

} // namespace

i32 cObj::ClampX(i32 mode) {
    const i32 r = ClampOfX(*this, mode);
    UpdateEdgesX();
    return r;
}

i32 cObj::ClampY(i32 mode) {
    const i32 r = ClampOfY(*this, mode);
    UpdateEdgesY();
    return r;
}

// A position the clamp left alone compares equal (a NaN never does, and is made again as before).
i32 cObj::ReclampX(i32 mode) {
    const double before = m_dX;
    const i32 r = ClampOfX(*this, mode);
    if (!(m_dX == before)) UpdateEdgesX();
    return r;
}

i32 cObj::ReclampY(i32 mode) {
    const double before = m_dY;
    const i32 r = ClampOfY(*this, mode);
    if (!(m_dY == before)) UpdateEdgesY();
    return r;
}

i32 MoveObjX(cObj& o, i32 mode) {
    const double lim = SpeedLimit();
    o.m_dSpeedX = std::clamp(o.m_dSpeedX, -lim, lim);
    o.m_dX += o.m_dSpeedX;
    return o.ClampX(mode);
}

i32 MoveObjY(cObj& o, i32 mode) {
    const double lim = SpeedLimit();
    o.m_dSpeedY = std::clamp(o.m_dSpeedY, -lim, lim);
    o.m_dY += o.m_dSpeedY;
    return o.ClampY(mode);
}

void DecelStep(const cObj& o, double& accel, u32 on) {
    if (!on) return;
    if (accel > 0) accel = std::max(accel - o.m_dDecel, 0.0);
    else if (accel < 0) accel = std::min(accel + o.m_dDecel, 0.0);
}

// ---- Screen and stage ----

void cObj::ScreenPos() {
    if (!m_pScene) return;
    const cScrollAxis& ax = m_pScene->m_ScrollX;
    const cScrollAxis& ay = m_pScene->m_ScrollY;
    const bool fly = IsFlying();
    // Whole pixels of each before the subtraction, or of the difference: only the rounding
    // differs, and replays depend on it.
    if (ax.m_bAuto || m_bScrollSync || !fly) m_rcScreen.left = Trunc32(m_dX) - Trunc32(ax.m_dPos) - m_nGfxOffX;
    else m_rcScreen.left = Trunc32(m_dX - ax.m_dPos) - m_nGfxOffX;
    if (fly && ay.m_bAuto) m_rcScreen.top = Trunc32(m_dY - ay.m_dPos) - m_nGfxOffY + 1;
    else if (m_bScrollSync || !fly) m_rcScreen.top = Trunc32(m_dY) - Trunc32(ay.m_dPos) - m_nGfxOffY;
    else m_rcScreen.top = Trunc32(m_dY - ay.m_dPos) - m_nGfxOffY;
    m_rcScreen.right = m_rcScreen.left + m_nGfxW - 1;
    m_rcScreen.bottom = m_rcScreen.top + m_nGfxH - 1;
}

i32 IsOnScreenAxes(const cObj& o, bool x, bool y) {
    if (!o.m_pScene) return 0;
    const double sx = o.m_pScene->m_ScrollX.m_dPos, sy = o.m_pScene->m_ScrollY.m_dPos;
    if (x && !(o.m_dRight >= sx && o.m_dX <= sx + 640)) return 0;
    if (y && !(o.m_dBottom >= sy && o.m_dY <= sy + 480)) return 0;
    return 1;
}

i32 cObj::IsOnScreen() const { return IsOnScreenAxes(*this, true, true); }

i32 cObj::IsInStage(i32 mode) const {
    if (!m_pScene) return 0;
    if (mode == 1)
        return m_dX >= 0 && m_dRight <= m_pScene->StageWidthPx() && m_dY >= 0 && m_dBottom <= m_pScene->StageHeightPx()
                   ? 1
                   : 0;
    const PLAYBOUNDS out = OuterBounds(*m_pScene);
    return m_dX > out.left && m_dY > out.top && m_dRight <= out.right && m_dBottom <= out.bottom ? 1 : 0;
}

STAGEAREA StageArea(const cStage& st, i32 area) {
    STAGEAREA a;
    if (area < 1 || area > kStageParamCount) return a;
    const cStageParams& p = st.aParams[static_cast<std::size_t>(area - 1)];
    // The four edge switches, then the four margins, both in the order left, right, bottom,
    // top: the order in which the edges of an area are tested.
    const u32 on[4] = {p.dwValue1, p.dwValue2, p.dwValue3, p.dwValue4};
    const u32 margin[4] = {p.dwValue5, p.dwValue6, p.dwValue7, p.dwValue8};
    for (int i = 0; i < 4; ++i) {
        a.on[i] = on[i] != 0;
        // A margin is cells; a damaged value must not overflow the pixel arithmetic.
        a.margin[i] = static_cast<i32>(std::min<u32>(margin[i], 1u << 20));
    }
    return a;
}

bool IsOutOfRange(const cObj& o, const STAGEAREA& area, bool stay) {
    if (stay || !o.m_pScene) return false;
    const double sx = o.m_pScene->m_ScrollX.m_dPos, sy = o.m_pScene->m_ScrollY.m_dPos;
    if (area.on[0] && sx - area.margin[0] * 32.0 >= o.m_dRight) return true;
    if (area.on[1] && o.m_dX > sx + 640 + area.margin[1] * 32.0) return true;
    if (area.on[2] && o.m_dY > sy + 480 + area.margin[2] * 32.0) return true;
    if (area.on[3] && sy - area.margin[3] * 32.0 >= o.m_dBottom) return true;
    return o.m_dX < 0 || o.m_dRight > o.m_pScene->StageWidthPx() - 1 || o.m_dY < 0 ||
           o.m_dBottom > o.m_pScene->StageHeightPx() - 1;
}

// ---- Keeping the player in view ----

i32 MoveCharaX(cChara& c) {
    cGameScene* s = c.m_pScene;
    if (!s || !(s->m_ScrollX.m_bAuto || c.IsFlying())) return 0;
    c.ScreenPos();
    if (c.m_rcScreen.left + c.m_nGfxOffX < 0) {
        c.m_bContactL = 1;
        c.m_dX = s->m_ScrollX.m_dPos;
        c.OnMovedX();
    } else if (c.m_rcScreen.right - c.m_nGfxOffX + 1 >= 640) {
        c.m_bContactR = 1;
        c.m_dX = s->m_ScrollX.m_dPos + 640 - c.m_nBoxW - 1;
        c.OnMovedX();
    }
    return 0;
}

i32 MoveCharaY(cChara& c) {
    cGameScene* s = c.m_pScene;
    if (!s || !(s->m_ScrollY.m_bAuto || c.IsFlying())) return 0;
    c.ScreenPos();
    if (c.m_rcScreen.top + c.m_nGfxOffY < 0) {
        c.m_bContactT = 1;
        c.m_dY = s->m_ScrollY.m_dPos;
        c.OnMovedY();
    } else if (c.m_rcScreen.bottom - c.m_nGfxOffY + 1 >= 480) {
        c.m_bContactB = 1;
        c.m_dY = s->m_ScrollY.m_dPos + 480 - c.m_nBoxH - 1;
        c.OnMovedY();
        if (!c.IsFlying()) return 2;
    }
    return 0;
}
