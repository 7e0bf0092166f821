#include "records/StageSettings.h"

#include <iterator>

namespace {

const NAMEDFIELD kSettings[] = {
#define TOBRELK_X(name, field, sgn, chosen, why) {#name, field, 0, sgn, chosen, why},
    TOBRELK_STAGE_SETTINGS(TOBRELK_X)
#undef TOBRELK_X
};
static_assert(std::size(kSettings) == static_cast<std::size_t>(eStage::Count));

const NAMEDFIELD kDoubles[] = {
#define TOBRELK_X(name, field, chosen, why) {#name, field, 0, true, chosen, why},
    TOBRELK_STAGE_DOUBLES(TOBRELK_X)
#undef TOBRELK_X
};
static_assert(std::size(kDoubles) == static_cast<std::size_t>(eStageD::Count));

} // namespace

const NAMEDFIELD& StageSettings::Entry(eStage s) { return kSettings[static_cast<int>(s)]; }
const NAMEDFIELD& StageSettings::Entry(eStageD s) { return kDoubles[static_cast<int>(s)]; }

i64 StageSettings::Get(const cStage& st, eStage s) {
    const NAMEDFIELD& e = Entry(s);
    const u32 v = st.Field(e.field);
    return e.isSigned ? static_cast<i64>(static_cast<i32>(v)) : static_cast<i64>(v);
}

void StageSettings::Set(cStage& st, eStage s, i64 v) { st.Field(Entry(s).field) = static_cast<u32>(v); }

double StageSettings::Get(const cStage& st, eStageD s) { return st.FieldF(Entry(s).field); }

void StageSettings::Set(cStage& st, eStageD s, double v) { st.FieldF(Entry(s).field) = v; }

bool StageSettings::AreaOn(const cStage& st, int area) {
    if (area < 1 || area > kStageParamCount) return false;
    return st.aParams[static_cast<std::size_t>(area - 1)].AnyEdge();
}

bool StageSettings::RankEnabled(const cStage& st, int i) {
    if (i < 0 || i >= st.vRankSwitch.Size()) return false;
    return st.vRankSwitch[i] != 0;
}
