#pragma once
// What the pixel effect blitters share (PixelEffects.cpp, MosaicEffect.cpp, BlurEffect.cpp,
// BlurBlocks.cpp): both surfaces locked for one blitter, and the walks over the part of a
// rectangle that lies inside both.
#include <algorithm>

#include "platform/graphics/Graphics.h"

namespace pixel_effects {

struct Locked {
    SurfaceLock dst, src;
    bool ok = false;
    Locked(DDSURFACEDATA* d, DDSURFACEDATA* s) { ok = DDLockSurface(&dst, d) && DDLockSurface(&src, s); }
    ~Locked() {
        DDUnlockUpload(&src);
        DDUnlockUpload(&dst);
    }
};

// The part of a w x h walk that lies inside both surfaces.
struct Span {
    i64 i0, i1, j0, j1;
    bool Empty() const { return i0 >= i1 || j0 >= j1; }
};
inline Span Clip(const Locked& lk, i64 x, i64 y, i64 w, i64 h, i64 sx, i64 sy) {
    return Span{std::max({i64(0), -x, -sx}), std::min({w, lk.dst.nWidth - x, lk.src.nWidth - sx}),
                std::max({i64(0), -y, -sy}), std::min({h, lk.dst.nHeight - y, lk.src.nHeight - sy})};
}

// fn(d, s, n) for every row of the walk: the target and source rows at the walk's first column.
template <class Fn>
void ForRows(Locked& lk, i32 x, i32 y, i32 w, i32 h, i32 sx, i32 sy, Fn fn) {
    const Span sp = Clip(lk, x, y, w, h, sx, sy);
    if (sp.Empty()) return;
    for (i64 j = sp.j0; j < sp.j1; ++j)
        fn(lk.dst.lpPixels + (y + j) * lk.dst.nPitch + x + sp.i0, lk.src.lpPixels + (sy + j) * lk.src.nPitch + sx + sp.i0,
           static_cast<int>(sp.i1 - sp.i0));
}

inline u32 Rgb(u32 r, u32 g, u32 b) { return r << 16 | g << 8 | b; }

} // namespace pixel_effects
