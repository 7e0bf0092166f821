#include "records/StageSettings.h"

namespace {

constexpr NAMEDSETTING kSettings[] = {
#define TOBRELK_X(name, type, n, mark, why, shared) {#name, "#" #n, eMark::mark, why, shared},
    TOBRELK_STAGE_SETTINGS(TOBRELK_X)
#undef TOBRELK_X
};
static_assert(std::size(kSettings) == static_cast<std::size_t>(eStage::Count));

constexpr NAMEDSETTING kDoubles[] = {
#define TOBRELK_X(name, n, mark, why, shared) {#name, "#" #n, eMark::mark, why, shared},
    TOBRELK_STAGE_DOUBLES(TOBRELK_X)
#undef TOBRELK_X
};
static_assert(std::size(kDoubles) == static_cast<std::size_t>(eStageD::Count));

} // namespace

std::span<const NAMEDSETTING> StageSettings::Table() { return kSettings; }
std::span<const NAMEDSETTING> StageSettings::DoubleTable() { return kDoubles; }

bool StageSettings::AreaOn(const cStage& st, int area) {
    if (area < 1 || area > kStageParamCount) return false;
    return st.aParams[static_cast<std::size_t>(area - 1)].AnyEdge();
}

bool StageSettings::RankEnabled(const cStage& st, int i) {
    if (i < 0 || i >= st.vRankSwitch.Size()) return false;
    if (i == 1 && !Get(st, eStage::TimeLimitOn)) return false;
    return st.vRankSwitch[i] != 0;
}
