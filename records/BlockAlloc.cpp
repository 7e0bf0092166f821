#include "records/BlockAlloc.h"

namespace block_holders {
std::atomic<u32> g_count[kEntries] = {};
} // namespace block_holders
