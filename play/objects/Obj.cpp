#include "play/objects/Obj.h"

#include <climits>

#include "records/Stage.h"
#include "records/StageSettings.h"

double SpeedUnit() {
    const double u = StageSettings::Get(g_Stage, eStageD::SpeedUnit);
    return u >= 1.0 ? u : 1.0;
}

double SpeedPerFrame(double value) { return value / SpeedUnit() / 60; }

cObj::~cObj() {
    if (m_Self.m_pReg) m_Self.m_pReg->Leave(*this);
}

void cObj::CopyFrom(const cObj& src) {
    if (this != &src) cObj::operator=(src);
}

i32 cObj::SetScale(i32 nNew, i32 nOld) {
    if (nNew == nOld) return nOld;
    m_nScale = nNew;
    ScaleSizes(nNew);
    KeepCentreX(nNew, nOld);
    ScaleHook(nNew, nOld);
    return ScaleBoxes(nNew);
}

void cObj::ScaleSizes(i32 scale) {
    m_nGfxOffX = m_nGfxOffX0 * scale;
    m_nGfxOffY = m_nGfxOffY0 * scale;
    m_nGfxW = m_nGfxW0 * scale;
    m_nGfxH = m_nGfxH0 * scale;
    m_nBoxW = m_nBoxW0 * scale;
    m_nBoxH = m_nBoxH0 * scale;
}

void cObj::KeepCentreX(i32 nNew, i32 nOld) {
    m_dX -= static_cast<double>(m_nBoxW0 / 2) * (nNew - nOld);
    ClampX(2);
}

void cObj::Init(u32 id, u32 kind, u32 kind2, u32 blockSide, u32 mark, const cVector<cVector<ANIMSTEP>>* anim,
                i32 animStart, i32 gfxOffX, i32 gfxOffY, i32 boxW, i32 boxH, i32 gfxW, i32 gfxH, i32 dir, i32 flyMode,
                i16 spawnIndex) {
    m_nId = id;
    m_nKind = kind;
    m_nKind2 = kind2;
    m_nBlockSide = blockSide;
    m_nMark = mark;
    m_nGfxOffX = m_nGfxOffX0 = gfxOffX;
    m_nGfxOffY = m_nGfxOffY0 = gfxOffY;
    m_nBoxW = m_nBoxW0 = boxW;
    m_nBoxH = m_nBoxH0 = boxH;
    m_nGfxW = m_nGfxW0 = gfxW;
    m_nGfxH = m_nGfxH0 = gfxH;
    m_nDir = dir;
    m_nSpawnIndex = spawnIndex;
    m_nOrder = INT_MAX;
    m_dSpeedX = m_dSpeedY = m_dAccelX = m_dAccelY = 0.0;
    m_bPresent = m_bOnScreen = m_bFlag3 = 0;
    if (anim) {
        m_Anim.vProgram = *anim;
        m_Anim.nProgram = m_Anim.nStep = m_Anim.nTick = 0;
        AnimeSetPattern(m_Anim, animStart, 1);
    }
    SetFlyMode(flyMode);
}

void cObj::SetFlyMode(i32 mode) {
    switch (mode) {
    case FLY_WALK: m_bFly = 0, m_byFlySub = 1; break;
    case FLY_THROUGH: m_bFly = 1, m_byFlySub = 0; break;
    case FLY_BLOCKED: m_bFly = 1, m_byFlySub = 1; break;
    case FLY_STOP: m_bFly = 1, m_byFlySub = 2; break;
    default: break;
    }
}

i32 cObj::FlyMode() const {
    if (!m_bFly) return FLY_WALK;
    return m_byFlySub == 0 ? FLY_THROUGH : m_byFlySub == 2 ? FLY_STOP : FLY_BLOCKED;
}

void cObj::UpdateEdgesX() {
    m_dRight = m_dX + m_nBoxW - 1;
    UpdateBoxesX();
    m_nCellL = Trunc32(m_dX) >> 5;
    m_nCellR = Trunc32(m_dRight) >> 5;
}

void cObj::UpdateEdgesY() {
    m_dBottom = m_dY + m_nBoxH - 1;
    UpdateBoxesY();
    m_nCellT = Trunc32(m_dY) >> 5;
    m_nCellB = Trunc32(m_dBottom) >> 5;
}
