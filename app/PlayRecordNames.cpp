#include "app/PlayRecordNames.h"

#include "database/WorldMap.h"

namespace playrec {

namespace {
#define TOBRELK_X(name, type, member, mark, why, shared) {#name, #member, eMark::mark, why, shared},
#define TOBRELK_F(name, field, mark, why) {#name, field, eMark::mark, why, nullptr},
constexpr NAMEDSETTING kNames[] = {TOBRELK_PLAY_RECORD_NAMES(TOBRELK_X, TOBRELK_F)};
#undef TOBRELK_X
#undef TOBRELK_F
} // namespace

std::span<const NAMEDSETTING> Table() { return kNames; }

u32 MakeMapEntryRef(int entry, int item) {
    if (entry < 0 || item < 0 || item > 0xFFFF) return 0;
    return (static_cast<u32>(entry) + 1) * 65536u + static_cast<u32>(item);
}

const cWorldMapEntryItem* MapEntryItem(u32 ref) {
    if (ref < 65536u) return nullptr;
    const u32 entry = ref / 65536u - 1;
    const u32 item = ref % 65536u;
    if (entry >= g_WorldMap.m_vEntry.size()) return nullptr;
    const cWorldMapEntry& e = g_WorldMap.m_vEntry[entry];
    if (item >= e.m_vItem.size()) return nullptr;
    return &e.m_vItem[item];
}

u32 MapEntryKind(const cPlayRecord& r) {
    const cWorldMapEntryItem* it = MapEntryItem(MapEntry(r));
    return it ? it->nData : 0;
}

void NextWorld(cPlayRecord& r) {
    ++WorldCounter(r);
    r.ResetMapProgress();
}

} // namespace playrec
