#include "records/PaletteSource.h"

#include "records/EdBlockItem.h"
#include "records/EdChara.h"

namespace {
COMMONPALETTEVIEW g_commonView;
} // namespace

void SetCommonPaletteView(const COMMONPALETTEVIEW& view) { g_commonView = view; }
const COMMONPALETTEVIEW& GetCommonPaletteView() { return g_commonView; }

u32 CommonBlockCount() { return g_commonView.pBlock ? static_cast<u32>(g_commonView.pBlock->size()) : 0; }
u32 CommonCharaCount() { return g_commonView.pChara ? static_cast<u32>(g_commonView.pChara->size()) : 0; }
u32 CommonItemCount() { return g_commonView.pItem ? static_cast<u32>(g_commonView.pItem->size()) : 0; }

bool PastLimit(u32 index, u32 limit) { return limit != kSizeUnknown && index >= limit; }
