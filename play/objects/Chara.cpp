#include "play/objects/Chara.h"

#include "database/SystemSwitches.h"
#include "play/objects/ObjScene.h"
#include "play/objects/StageChara.h"

cChara::cChara() = default;

cChara::cChara(const cChara& src) : cObj(src), CHARADATA(src) { ObjFlow::BindFlows(*this); }

cChara& cChara::operator=(const cChara& src) {
    if (this == &src) return *this;
    cObj::operator=(src);
    CHARADATA::operator=(src);
    ObjFlow::BindFlows(*this);
    if (m_pScene && !m_Def.vCond.empty()) ObjScene::CharaCondsAdded(*m_pScene);
    if (const cStageChara* c = AsStageChara(); c && m_pScene) ObjScene::WalkedChanged(*m_pScene, *c);
    return *this;
}

// Nobody keeps a link to a character that is gone.
cChara::~cChara() { UnlinkTargets(); }

void cChara::ScaleHook(i32 nNew, i32 nOld) {
    if (nNew == nOld) return;
    const i32 d = nNew - nOld;
    if (SysSwitch(SW_SCALE_FROM_BOX)) {
        m_dY -= static_cast<double>(m_nBoxH0) * d;
    } else {
        m_dY -= static_cast<double>(m_nGfxH0) * d;
        m_dY += static_cast<double>(m_nGfxOffY0) * d;
    }
    OnMovedY();
}

void cChara::SetCentre(i32 x, i32 y) {
    SetCentreX(x);
    SetCentreY(y);
}

void cChara::SetCentreX(i32 x) {
    const i32 centre = m_rcScreen.left + m_nGfxW / 2;
    m_dX += x - centre;
    OnMovedX();
}

void cChara::SetCentreY(i32 y) {
    const i32 centre = m_rcScreen.top + m_nGfxH / 2;
    m_dY += y - centre;
    OnMovedY();
}

void cChara::Assign(const cChara& src) { cChara::operator=(src); }

void cChara::SetHitRect(i32 bottomAlign, i32 width, i32 height) {
    BOXRECT& b = m_rcBody.cur;
    b.x = 16 - m_nGfxOffX - width / 2;
    b.y = bottomAlign ? 32 - m_nGfxOffY - height : 16 - m_nGfxOffY - height / 2;
    b.w = width;
    b.h = height;
    m_rcBody.base = b;
}

bool cChara::IsBlockChara() const {
    const cStageChara* s = AsStageChara();
    return s && s->m_bBlockChara;
}
