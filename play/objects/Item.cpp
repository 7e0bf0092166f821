#include "play/objects/Item.h"

#include "play/objects/ObjScene.h"
#include "records/Stage.h"
#include "records/StageSettings.h"

// The record's own defaults are the item's: graphic kind 2, graphic 0, size factor 1 and the
// rest of a new item record.
cItem::cItem() = default;

cItem::~cItem() = default;

void cItem::ScaleHook(i32 nNew, i32 nOld) {
    if (nNew == nOld) return;
    m_dY -= static_cast<double>(m_nBoxH0 + m_nGfxOffY0) * (nNew - nOld);
    ClampY(2);
}

void cItem::Init(u32 carried, const cEdItem& def, u32 id) {
    // A size factor of 0 is taken as 1 in the item's copy; the palette entry stays as it was.
    m_Def = def;
    if (m_Def.bySize < 1) m_Def.bySize = 1;
    const i32 w = static_cast<i32>(StageSettings::Get(g_Stage, eStage::ItemHitW));
    const i32 h = static_cast<i32>(StageSettings::Get(g_Stage, eStage::ItemHitH));
    cObj::Init(id, 0, 0, 0, m_Def.wPicture, nullptr, 0, 16 - w / 2, 16 - h / 2, w, h, 32, 32, 0, FLY_THROUGH, 0);
    m_bScrollSync = 0;
    m_bCarried = carried;
    if (carried) m_bPresent = 1;
    else SetScale(m_Def.bySize, 1);
    m_pCmds = ObjFlow::ExpandItemCmds(m_pScene, m_Def.vCmd);
}

void cItem::PlaceAtCell(i32 cellX, i32 cellY) {
    m_dX = static_cast<double>(cellX + 10) * 32 + m_nGfxOffX0 + 0.5;
    m_dY = static_cast<double>(cellY + 10) * 32 + m_nGfxOffY0;
    if (m_Def.bySize != 1) {
        KeepCentreX(m_Def.bySize, 1);
        ScaleHook(m_Def.bySize, 1);
    }
    ClampX(2);
    ClampY(2);
}

bool cItem::IsShown() const { return !m_Def.bHidden && m_Def.wPicture != 0; }

i32 cItem::AnimFrame(u32 frameCounter) const {
    // Two frames, each shown for the item's animation speed in frames (0: no animation), by the
    // play's frame count: a held frame shows the frame it holds on.
    const u32 speed = m_Def.byGroup5;
    return speed > 0 ? static_cast<i32>(frameCounter / speed % 2) : 0;
}
