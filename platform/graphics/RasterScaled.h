#pragma once
// The scaled blits: which source texel each destination column and row takes, and the walk
// that draws a scaled rectangle by rows through the same span loops as a 1:1 blit.
#include <algorithm>
#include <utility>
#include <vector>

#include "platform/graphics/Raster.h"

namespace pixel_loops {

// Source index of every destination column (or row) of a span; -1 outside the source.
// Only [first, last) is mapped: the part of the span inside the destination.
void MapSpan(int first, int last, int s0, int sLen, int dLen, int srcLimit, std::vector<int>* out);

// A source row's texels for n mapped columns, t[i] = s[c[i]] (each c[i] inside the row, whose
// width is limit). Where eight neighbouring columns read from eight neighbouring texels (a
// magnified row: each column reads the texel of the one before or the next), the eight are
// read at once and put in place by one shuffle.
void GatherMapped(u32* __restrict t, const u32* __restrict s, const int* __restrict c, int n, int limit);

// The scaled blits by rows: each destination row's texels are gathered through the column map
// (only the runs that fall inside the source), then drawn by the same span loops as a 1:1
// blit; consecutive rows of one source row reuse the gathered texels.
template <class SpanFn>
void WalkSpans(PixelStore& dst, int x, int y, int w, int h, const PixelStore& src, int sx, int sy, int sw, int sh,
               SpanFn span) {
    if (w <= 0 || h <= 0 || sw == 0 || sh == 0) return;
    const int c0 = static_cast<int>(std::max<i64>(0, -static_cast<i64>(x)));
    const int c1 = static_cast<int>(std::min<i64>(w, static_cast<i64>(dst.width) - x));
    const int r0 = static_cast<int>(std::max<i64>(0, -static_cast<i64>(y)));
    const int r1 = static_cast<int>(std::min<i64>(h, static_cast<i64>(dst.height) - y));
    if (c0 >= c1 || r0 >= r1) return;
    thread_local std::vector<int> cols, rows;
    thread_local std::vector<u32> texels;
    thread_local std::vector<std::pair<int, int>> runs;
    MapSpan(c0, c1, sx, sw, w, src.width, &cols);
    MapSpan(r0, r1, sy, sh, h, src.height, &rows);
    texels.resize(cols.size());
    const int n = c1 - c0;
    // The runs of columns inside the source are the same on every row: found once.
    runs.clear();
    for (int i = 0; i < n;) {
        if (cols[static_cast<std::size_t>(i)] < 0) {
            ++i;
            continue;
        }
        int e = i + 1;
        while (e < n && cols[static_cast<std::size_t>(e)] >= 0) ++e;
        runs.emplace_back(i, e);
        i = e;
    }
    int gathered = -1;
    for (int r = r0; r < r1; ++r) {
        const int v = rows[static_cast<std::size_t>(r - r0)];
        if (v < 0) continue;
        if (v != gathered) {
            for (const auto& [i, e] : runs) GatherMapped(texels.data() + i, src.Row(v), cols.data() + i, e - i, src.width);
            gathered = v;
        }
        u32* d = dst.Row(y + r) + x + c0;
        for (const auto& [i, e] : runs) span(d + i, texels.data() + i, e - i);
    }
}

} // namespace pixel_loops
