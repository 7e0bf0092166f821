#pragma once
// An item: lying in the stage, carried by a stage character (dropped to the player when it is
// defeated), out of a block, or riding on a shot. Taking it runs its commands for the player.
#include "play/objects/Obj.h"
#include "records/EdBlockItem.h"

class cCmdList;

class cItem : public cObj {
public:
    cItem();
    cItem(const cItem&) = default;
    cItem& operator=(const cItem&) = default;
    ~cItem() override;

    cItem* AsItem() override { return this; }
    // Keeps the feet: y -= (unscaled box height + unscaled graphic offset y) x (new - old), then
    // ClampY(2).
    void ScaleHook(i32 nNew, i32 nOld) override;

    // Makes the item from a definition: the stage's item box centred in its cell, flight mode 1;
    // a carried item (inside a stage character, or a temporary one taken at once) is present at
    // once, a free one takes its size factor; the command list's loops are expanded.
    void Init(u32 carried, const cEdItem& def, u32 id);
    using cObj::Init;
    // Puts the item on a stage cell (its size factor keeping it centred and on the ground).
    void PlaceAtCell(i32 cellX, i32 cellY);
    // Whether the item has a graphic to show (the play drawing draws it, DrawItem).
    bool IsShown() const;
    // The animation frame (0 or 1) shown at the play's frame count.
    i32 AnimFrame(u32 frameCounter) const;

    cEdItem m_Def;     // its definition (the stage row or palette entry it was made from)
    // The definition's commands with their loops expanded (shared with the stage's other items
    // of the same commands), set by Init; m_Def keeps them as written.
    std::shared_ptr<cCmdList> m_pCmds;
    u32 m_bCarried = 0; // lives inside a stage character
    u32 m_bTaken = 0;  // picked up (no longer drawn or touched)
    i32 m_nLife = 0x7fffffff; // steps left of its life time (0x7fffffff: unlimited)
};
