#pragma once
// Fixed-width names used across the runtime's data code: the game's files are little-endian
// records of exactly these widths.
#include <cstddef>
#include <cstdint>

using u8 = std::uint8_t;
using u16 = std::uint16_t;
using u32 = std::uint32_t;
using u64 = std::uint64_t;
using i8 = std::int8_t;
using i16 = std::int16_t;
using i32 = std::int32_t;
using i64 = std::int64_t;

static_assert(sizeof(float) == 4 && sizeof(double) == 8);
