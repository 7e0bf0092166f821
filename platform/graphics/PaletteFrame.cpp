// The 8-bit frame through the palette on its way to the screen.
#include "platform/graphics/Raster.h"

#include <cstdint>

#include "platform/graphics/PixelLanes.h"
#include "platform/system/PaletteRow.h"
#include "platform/system/StreamedRows.h"

#ifdef PIXEL_LOOP_AVX2
#include <immintrin.h>
#endif

using namespace pixel_loops;

namespace {
#ifdef PIXEL_LOOP_AVX2
// Eight table reads in one gather: the table (a kilobyte) stays in the first-level cache, and
// the lookups no longer go one by one through the scalar units and back into vectors.
template <bool kStreamed>
PIXEL_LOOP_AVX2 void PaletteGathered(u32* out, const u32* indexes, const u32* lut, std::size_t n, u32 alpha) {
    const __m256i low = _mm256_set1_epi32(255), a = _mm256_set1_epi32(static_cast<int>(alpha));
    std::size_t i = 0;
    // A streaming store takes a whole aligned block: the pixels before the first go plainly.
    if constexpr (kStreamed)
        for (; i < n && (reinterpret_cast<std::uintptr_t>(out + i) & 31) != 0; ++i) out[i] = lut[indexes[i] & 255] | alpha;
    for (; i + 8 <= n; i += 8) {
        const __m256i at = _mm256_and_si256(_mm256_loadu_si256(reinterpret_cast<const __m256i*>(indexes + i)), low);
        const __m256i colours = _mm256_i32gather_epi32(reinterpret_cast<const int*>(lut), at, 4);
        if constexpr (kStreamed) _mm256_stream_si256(reinterpret_cast<__m256i*>(out + i), _mm256_or_si256(colours, a));
        else _mm256_storeu_si256(reinterpret_cast<__m256i*>(out + i), _mm256_or_si256(colours, a));
    }
    PaletteRow(out + i, indexes + i, lut, n - i, alpha);
}
#endif
} // namespace

void PaletteFrame(u32* out, const u32* indexes, const u32* lut, std::size_t n, u32 alpha, bool streamed) {
#ifdef PIXEL_LOOP_AVX2
    if (Avx2Here()) {
        if (!streamed) {
            PaletteGathered<false>(out, indexes, lut, n, alpha);
            return;
        }
        PaletteGathered<true>(out, indexes, lut, n, alpha);
        StreamedDone();
        return;
    }
#endif
    if (!streamed) {
        PaletteRow(out, indexes, lut, n, alpha);
        return;
    }
    StreamedPaletteRow(out, indexes, lut, n, alpha);
    StreamedDone();
}
