#pragma once
// The lane arithmetic that the rasteriser's pixel loops share (Raster*.cpp, PixelGrid.cpp,
// PaletteFrame.cpp): blocks of eight pixels as GCC/Clang vectors, the division by 255, the
// plain blend and the keyed copy on alpha. Inline, so that every loop and each of its clones
// builds them in.
#include <cstring>

#include "platform/graphics/Raster.h"

namespace pixel_loops {

inline u32 Div255(u32 v) {
    v += 128;
    return (v + (v >> 8)) >> 8;
}

inline u32 Ch(u32 p, int s) { return (p >> s) & 255; }

typedef u32 SpanV __attribute__((vector_size(32)));
typedef u16 SpanW __attribute__((vector_size(32)));
constexpr int kLanes = 8;

inline void LoadV(SpanV& v, const u32* p) { std::memcpy(&v, p, sizeof v); }
inline void StoreV(u32* p, const SpanV& v) { std::memcpy(p, &v, sizeof v); }

// A keyed copy on alpha: the texel where its alpha is not 0.
inline void AlphaKeyRow(u32* d, const u32* s, int n) {
    int i = 0;
    for (; i + kLanes <= n; i += kLanes) {
        SpanV t, o;
        LoadV(t, s + i);
        LoadV(o, d + i);
        const SpanV m = (SpanV)((t >> 24) != 0u);
        StoreV(d + i, (t & m) | (o & ~m));
    }
    for (; i < n; ++i) {
        const u32 v = s[i];
        const u32 m = 0u - static_cast<u32>((v >> 24) != 0);
        d[i] = (v & m) | (d[i] & ~m);
    }
}
// The blend written without branches: alpha 255 gives the texel and alpha 0 the target
// exactly, as BlendPixel's shortcuts do. Two channels share one 32-bit product (each stays
// below 65,536), with Div255 on both halves at once: the same values, half the work.
template <class V>
inline void BlendLanes(const V& v, V& o) {
    const V a = v >> 24, ia = 255 - a;
    const V rb = (v & 0x00FF00FFu) * a + (o & 0x00FF00FFu) * ia;
    const V ag = ((v >> 8) & 0x00FF00FFu) * a + ((o >> 8) & 0x00FF00FFu) * ia;
    const V rb1 = rb + 0x00800080u, ag1 = ag + 0x00800080u;
    o = (((rb1 + ((rb1 >> 8) & 0x00FF00FFu)) >> 8) & 0x00FF00FFu) |
        (((ag1 + ((ag1 >> 8) & 0x00FF00FFu)) >> 8) & 0x00FF00FFu) << 8;
}
// BlendLanes on a block of eight (GCC/Clang vectors) in 16-bit lanes: each channel's sum of
// products stays below 65,536 and so does every step of Div255 after it, so the halves never
// carry into each other and the products need only the 16-bit multiply (the same values).
// (Vectors pass by reference: an AVX vector by value would change the call's ABI.)
inline void BlendBlock(const SpanV& t, SpanV& o) {
    const SpanV a = t >> 24, aa = a | a << 16;
    const SpanW a2 = (SpanW)aa, ia2 = (SpanW)(0x00FF00FFu - aa);
    const SpanW rb = (SpanW)(t & 0x00FF00FFu) * a2 + (SpanW)(o & 0x00FF00FFu) * ia2 + 128;
    const SpanW ag = (SpanW)((t >> 8) & 0x00FF00FFu) * a2 + (SpanW)((o >> 8) & 0x00FF00FFu) * ia2 + 128;
    o = (SpanV)((rb + (rb >> 8)) >> 8) | (SpanV)((ag + (ag >> 8)) >> 8) << 8;
}
#ifdef PIXEL_LOOP_AVX2
// Whether the processor runs AVX2, asked as the clones' resolvers ask it.
inline bool Avx2Here() {
    static const bool has = [] {
        __builtin_cpu_init();
        return __builtin_cpu_supports("avx2") != 0;
    }();
    return has;
}
#endif

} // namespace pixel_loops
