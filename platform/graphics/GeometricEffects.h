#pragma once
// What the geometric effect blitters share (Effects.cpp, LensEffect.cpp, RotateEffect.cpp): both
// surfaces locked for one software blitter, the quad of the Direct3D state, degrees to radians.
#include "platform/graphics/Graphics.h"
#include "platform/graphics/Raster.h"

namespace geometric_effects {

constexpr double kDegToRad = 0.017453292519943295;

// A textured quad under the current Direct3D state (texture x diffuse), as the quad path draws it.
inline RasterOp QuadOpOfState() {
    RasterOp op;
    op.kind = RasterKind::Gpu;
    op.diffuse = lpDTCon->dwQuadColor;
    op.colorOp = lpDTCon->dwColorOp;
    op.alphaOp = lpDTCon->dwAlphaOp;
    op.textureFactor = lpDTCon->dwTextureFactor;
    return op;
}

// Both surfaces locked for one software blitter; released on every path out.
struct LockPair {
    SurfaceLock dst, src;
    bool ok = false;
    LockPair(DDSURFACEDATA* d, DDSURFACEDATA* s) { ok = DDLockSurface(&dst, d) && DDLockSurface(&src, s); }
    ~LockPair() {
        DDUnlockUpload(&src);
        DDUnlockUpload(&dst);
    }
    u32* D(i64 x, i64 y) { return dst.lpPixels + y * dst.nPitch + x; }
    bool InDst(i64 x, i64 y) const { return x >= 0 && y >= 0 && x < dst.nWidth && y < dst.nHeight; }
    bool InSrc(i64 x, i64 y) const { return x >= 0 && y >= 0 && x < src.nWidth && y < src.nHeight; }
    u32 S(i64 x, i64 y) const { return src.lpPixels[y * src.nPitch + x]; }
};

} // namespace geometric_effects
