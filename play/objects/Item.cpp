#include "play/objects/Item.h"

cItem::cItem() {
    m_Def.byPictureKind = 2;
    m_Def.wPicture = 0;
    m_Def.byGroup10 = 1;
    m_Def.bySize = 1;
    m_Def.byGroup5 = 6;
}

cItem::~cItem() = default;

void cItem::ScaleHook(i32 nNew, i32 nOld) {
    if (nNew == nOld) return;
    m_dY -= static_cast<double>(m_nBoxH0 + m_nGfxOffY0) * (nNew - nOld);
    ClampY(2);
}
