#include "records/EdSettings.h"

namespace {

#define TOBRELK_X(name, type, n, member, mark, why, shared) {#name, "#" #n " " #member, eMark::mark, why, shared},
#define TOBRELK_N(name, why) {#name, "-", eMark::Chosen, why, nullptr},
constexpr NAMEDSETTING kMove[] = {TOBRELK_MOVE_SETTINGS(TOBRELK_X, TOBRELK_N)};
constexpr NAMEDSETTING kShot[] = {TOBRELK_SHOT_SETTINGS(TOBRELK_X, TOBRELK_N)};
constexpr NAMEDSETTING kBlock[] = {TOBRELK_BLOCK_SETTINGS(TOBRELK_X, TOBRELK_N)};
#undef TOBRELK_X
#undef TOBRELK_N
static_assert(std::size(kMove) == static_cast<std::size_t>(eMove::Count));
static_assert(std::size(kShot) == static_cast<std::size_t>(eShot::Count));
static_assert(std::size(kBlock) == static_cast<std::size_t>(eBlock::Count));

} // namespace

std::span<const NAMEDSETTING> MoveSettings::Table() { return kMove; }
std::span<const NAMEDSETTING> ShotSettings::Table() { return kShot; }
std::span<const NAMEDSETTING> BlockSettings::Table() { return kBlock; }
