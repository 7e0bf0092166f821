// Picking up items: the items lying in the stage and the items of blocks.
#include "play/rules/Items.h"

#include <algorithm>

#include "play/rules/Collision.h"
#include "play/rules/Motion.h"

namespace {

enum : u8 { PICKUP_ONCE = 0, PICKUP_AGAIN = 1, PICKUP_NEVER = 2 };

HITRECT RectOf(const cObj& o) { return HITRECT{o.m_dX, o.m_dY, o.m_dRight, o.m_dBottom}; }

} // namespace

i32 PickUpItems(cGameScene& scene, cPlayer& p) {
    // Items taken here are marked and swept later; one a command drops meanwhile is reached.
    cObjList<cItem>::WalkScope hold(scene.m_lstItem);
    for (int i = 0; i < scene.m_lstItem.Size(); ++i) {
        cItem* item = scene.m_lstItem.Live(i);
        if (!item || !item->m_bPresent || item->m_bCarried || item->m_Def.byPickup == PICKUP_NEVER) continue;
        const u8 mode = item->m_Def.byPickup;
        const u32 id = item->m_nId;
        if (!IsHitRect(p.m_rcPickup.rc, RectOf(*item))) {
            if (mode == PICKUP_AGAIN) std::erase(p.m_vTouching, id);
            continue;
        }
        RunFlows(p, TRIG_HIT_ITEM, item, 0);
        if (item->IsRemoved()) continue;
        if (mode == PICKUP_AGAIN) {
            if (std::find(p.m_vTouching.begin(), p.m_vTouching.end(), id) != p.m_vTouching.end()) continue;
            p.m_vTouching.push_back(id);
        }
        const u32 r = ApplyItem(scene, item, p);
        if (mode == PICKUP_ONCE) scene.RemoveItem(*item);
        if (r) return static_cast<i32>(r);
    }
    return 0;
}

i32 TakeBlockItem(cGameScene& scene, cPlayer& p) {
    const i32 cell = p.m_nFloorCell;
    i32 result = 0;
    if (!p.IsFlying() && cell >= 0 && p.m_nBlockItemWait == 0 && IsBlockSolid(scene, cell, static_cast<i32>(p.m_nBlockSide))) {
        const EDBLOCK_DATA& b = scene.m_vBlockMap.At(cell).block;
        if (b.byItemKind != 0) {
            if (const cEdItem* def = GetEdItem(b.byItemKind, static_cast<i16>(b.wItemIndex))) {
                cItem item;
                item.m_pScene = &scene;
                item.Init(1, *def, 0);
                result = static_cast<i32>(ApplyItem(scene, &item, p));
                if (result == 0) p.m_nBlockItemWait = static_cast<i32>(SpeedUnit()) * 60;
            }
        }
    } else if (p.m_nBlockItemWait > 0) {
        if (p.m_bFalling) {
            p.m_nBlockItemWait = 0;
        } else {
            p.m_nBlockItemWait = std::max(p.m_nBlockItemWait - 1, 0);
            // Onto another block: the wait is over. The block last stood on is the one compared,
            // as a standing player touches its floor only every few steps.
            if (p.m_nLastFloorCell != p.m_nPrevFloorCell) {
                p.m_nBlockItemWait = 0;
                FloorSnap(p);
            }
        }
    }
    p.m_nPrevFloorCell = p.m_nLastFloorCell;
    return result;
}
