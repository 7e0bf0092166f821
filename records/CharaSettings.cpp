#include "records/CharaSettings.h"

namespace {

#define TOBRELK_X(name, type, n, member, mark, why, shared) {#name, "#" #n " " #member, eMark::mark, why, shared},
#define TOBRELK_N(name, why) {#name, "-", eMark::Chosen, why, nullptr},
constexpr NAMEDSETTING kChara[] = {TOBRELK_CHARA_SETTINGS(TOBRELK_X, TOBRELK_N)};
#undef TOBRELK_X
#undef TOBRELK_N
static_assert(std::size(kChara) == static_cast<std::size_t>(eChara::Count));

} // namespace

std::span<const NAMEDSETTING> CharaSettings::Table() { return kChara; }
