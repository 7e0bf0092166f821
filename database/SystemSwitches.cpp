#include "database/SystemSwitches.h"

namespace {

#define TOBRELK_X(id, member, mark, why, shared) {#id, #member, eMark::mark, why, shared},
#define TOBRELK_N(id, why) {#id, "-", eMark::Chosen, why, nullptr},
constexpr NAMEDSETTING kSwitches[] = {TOBRELK_SYS_SWITCHES(TOBRELK_X, TOBRELK_N)};
#undef TOBRELK_X
#undef TOBRELK_N
static_assert(std::size(kSwitches) == SW_COUNT);

} // namespace

std::span<const NAMEDSETTING> SysSwitchTable() { return kSwitches; }
