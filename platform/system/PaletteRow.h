#pragma once
// Palette-indexed pixels turned into colours, as every 8-bit frame is on its way to the screen.
#include <cstddef>

#include "platform/system/Types.h"

// out[i] = lut[indexes[i] & 255] | alpha. Eight table reads go before their eight stores: with
// a store between each read and the next, the processor holds the table reads back behind
// stores it cannot yet tell apart from the table, and a 640x480 frame takes about twice as long.
// out must not overlap the table.
inline void PaletteRow(u32* out, const u32* indexes, const u32* lut, std::size_t n, u32 alpha) {
    const std::size_t whole = n - n % 8;
    std::size_t i = 0;
    for (; i < whole; i += 8) {
        u32 v[8];
        for (int k = 0; k < 8; ++k) v[k] = lut[indexes[i + k] & 255];
        for (int k = 0; k < 8; ++k) out[i + k] = v[k] | alpha;
    }
    for (; i < n; ++i) out[i] = lut[indexes[i] & 255] | alpha;
}
