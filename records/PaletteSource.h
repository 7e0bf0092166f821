#pragma once
// Where palette inheritance and reference checks find their palettes. The common palette
// (CommonPalette.cplt4) belongs to the database subsystem, which hands its three lists over
// here once loaded; until then the common palette is empty. The material-database sizes come
// from the command checks' limits (GetCmdLimits), where an unknown size is not checked.
#include "platform/system/Containers.h"
#include "records/BlockAlloc.h"

class cEdBlock;
class cEdChara;
class cEdItem;

struct COMMONPALETTEVIEW {
    const cVector<cEdBlock>* pBlock = nullptr;
    const cVector<cEdChara>* pChara = nullptr;
    const cVector<cEdItem>* pItem = nullptr;
};

// Set once at start-up (and by tests); the lists must outlive their use.
void SetCommonPaletteView(const COMMONPALETTEVIEW& view);
const COMMONPALETTEVIEW& GetCommonPaletteView();

// Element counts of the common lists (0 while none is set).
u32 CommonBlockCount();
u32 CommonCharaCount();
u32 CommonItemCount();

// True when a database list of `limit` records (kSizeUnknown: not known, never past) has no
// record `index`. The index is taken as unsigned, so a negative one is past every list.
bool PastLimit(u32 index, u32 limit);
