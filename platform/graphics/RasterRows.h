#pragma once
// The rows of 1:1 blits and quads that the blit, the combiner and the turned quad draw through:
// keyed (RasterKeyed.cpp) and blended (RasterBlend.cpp). Each draws `rows` rows of n pixels,
// each surface with its own pitch (dp, sp), in one call.
#include <cstddef>

#include "platform/graphics/Raster.h"

namespace pixel_loops {

// The keyed copy under a mask (DirectDraw): the texel where it is not the key.
void KeyRows(u32* d, std::ptrdiff_t dp, const u32* s, std::ptrdiff_t sp, int n, int rows, u32 key, u32 mask);
// The keyed copy on alpha: the texel where its alpha is not 0.
void AlphaKeyRows(u32* d, std::ptrdiff_t dp, const u32* s, std::ptrdiff_t sp, int n, int rows);
// The plain blend, each group of rows drawn the way its texels' look allows; gives the looks.
u8 BlendRows(u32* d, std::ptrdiff_t dp, const u32* s, std::ptrdiff_t sp, int n, int rows);
// The same rows with their texels' look known beforehand.
void BlendRowsLooked(u32* d, std::ptrdiff_t dp, const u32* s, std::ptrdiff_t sp, int n, int rows, u8 look);
// The plain blend of a 1:1 quad's rows, rows as wide as a screen without a look of their own.
void BlendRowsAny(u32* d, std::ptrdiff_t dp, const u32* s, std::ptrdiff_t sp, int n, int rows);
// The plain blend of rows [y0, y1) of a picture whose blocks are known, cut to texels [c0, c1).
void BlendBlocks(u32* d, std::ptrdiff_t dp, const cTexelBlocks& b, int y0, int y1, int c0, int c1);
// One row of the plain blend.
inline void SpanBlend(u32* d, const u32* s, int n) { BlendRows(d, 0, s, 0, n, 1); }

} // namespace pixel_loops
