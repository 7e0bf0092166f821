#include "play/objects/Item.h"

// The record's own defaults are the item's: graphic kind 2, graphic 0, size factor 1 and the
// rest of a new item record.
cItem::cItem() = default;

cItem::~cItem() = default;

void cItem::ScaleHook(i32 nNew, i32 nOld) {
    if (nNew == nOld) return;
    m_dY -= static_cast<double>(m_nBoxH0 + m_nGfxOffY0) * (nNew - nOld);
    ClampY(2);
}
