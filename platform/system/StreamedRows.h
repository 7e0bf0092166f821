#pragma once
// Frames written around the caches, for a frame nobody reads again soon (the memory presenter's
// kept frame): the lines an ordinary store would claim for it are those of the surfaces the next
// frame is drawn from and into, and a streaming store neither reads the target's lines first nor
// pushes those out. Not for a buffer read every frame (a mailbox the window thread takes): a
// streaming store into lines still in a cache costs more than a plain one (half as much again
// where they are clean, over three times where they are dirty).
// Streamed stores are not ordered with later ones: StreamedDone() before the frame is handed on
// (before the lock that guards it is released).
#include <cstddef>
#include <cstdint>
#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "platform/system/PaletteRow.h"
#include "platform/system/Types.h"

// out[i] = in[i] | alpha (out must not overlap in).
inline void StreamedCopyRow(u32* out, const u32* in, std::size_t n, u32 alpha) {
    std::size_t i = 0;
#if defined(__SSE2__)
    // A streaming store takes a whole aligned block: the pixels before the first go plainly.
    for (; i < n && (reinterpret_cast<std::uintptr_t>(out + i) & 15) != 0; ++i) out[i] = in[i] | alpha;
    const __m128i a = _mm_set1_epi32(static_cast<int>(alpha));
    for (; i + 4 <= n; i += 4)
        _mm_stream_si128(reinterpret_cast<__m128i*>(out + i),
                         _mm_or_si128(_mm_loadu_si128(reinterpret_cast<const __m128i*>(in + i)), a));
#endif
    for (; i < n; ++i) out[i] = in[i] | alpha;
}

// out[i] = lut[indexes[i] & 255] | alpha, as PaletteRow (eight table reads before their stores).
inline void StreamedPaletteRow(u32* out, const u32* indexes, const u32* lut, std::size_t n, u32 alpha) {
    std::size_t i = 0;
#if defined(__SSE2__)
    for (; i < n && (reinterpret_cast<std::uintptr_t>(out + i) & 15) != 0; ++i) out[i] = lut[indexes[i] & 255] | alpha;
    for (; i + 8 <= n; i += 8) {
        u32 v[8];
        for (int k = 0; k < 8; ++k) v[k] = lut[indexes[i + k] & 255] | alpha;
        _mm_stream_si128(reinterpret_cast<__m128i*>(out + i), _mm_loadu_si128(reinterpret_cast<const __m128i*>(v)));
        _mm_stream_si128(reinterpret_cast<__m128i*>(out + i + 4), _mm_loadu_si128(reinterpret_cast<const __m128i*>(v + 4)));
    }
#endif
    PaletteRow(out + i, indexes + i, lut, n - i, alpha);
}

// The streamed stores made so far are seen before any later store (and by another thread that
// takes a lock released after this).
inline void StreamedDone() {
#if defined(__SSE2__)
    _mm_sfence();
#endif
}
