#pragma once
// The shared rasteriser under both personalities: one textured-quad routine with nearest
// sampling. Every write is clipped to the destination and every read to the source, whatever
// the caller computed, so no blit or fill can touch memory outside a surface.
#include "platform/graphics/Graphics.h"

// The hot pixel loops are built twice, for AVX2 and for the baseline processor, and the one
// the processor runs is picked at load time (GCC on x86-64; elsewhere the baseline only).
#if defined(__GNUC__) && !defined(__clang__) && defined(__x86_64__)
#define PIXEL_LOOP_CLONES __attribute__((target_clones("avx2", "default")))
#else
#define PIXEL_LOOP_CLONES
#endif

enum class RasterKind {
    Copy,    // opaque copy (DirectDraw without key, Direct3D CPU path without key)
    DDKey,   // skip source pixels equal to the key under the mask (DirectDraw)
    AlphaKey,// skip source pixels with alpha 0 (Direct3D CPU path)
    Gpu,     // Direct3D fixed function: stage-0 combiner, then SRCALPHA/INVSRCALPHA
};

struct RasterOp {
    RasterKind kind = RasterKind::Copy;
    u32 key = 0, keyMask = 0xFFFFFFFF;
    u32 diffuse = 0xFFFFFFFF;
    u32 colorOp = D3DTOP_MODULATE, alphaOp = D3DTOP_SELECTARG1;
    u32 textureFactor = 0;
};

// Draws source rectangle (sx, sy, sw, sh) onto destination rectangle (x, y, w, h); a negative
// sw or sh reads the source mirrored from its right (bottom) edge. Destination pixel c samples
// source column sx + floor((c + 0.5) * sw / w), the centre rule of the quad path, so a 1:1 blit
// is exact and a 2x stretch doubles every pixel.
void RasterBlit(PixelStore& dst, int x, int y, int w, int h, const PixelStore& src, int sx, int sy, int sw, int sh,
                const RasterOp& op);
// Fills (x, y, w, h) with a value, or blends a colour over it (Direct3D quad fill).
void RasterFill(PixelStore& dst, int x, int y, int w, int h, u32 value, bool blend);
// SRCALPHA / INVSRCALPHA on all four channels.
u32 BlendPixel(u32 src, u32 dst);
u32 CombineStage0(u32 tex, u32 diffuse, u32 colorOp, u32 alphaOp, u32 textureFactor);

// The palette entry nearest to an RGB colour (the first exact match when there is one).
u8 PaletteIndexOf(u32 rgb);
// The transparent colour of a Direct3D surface's clears: the back buffer's or a texture's.
u32 D3DClearColorFor(const DDSURFACEDATA* sd);

// The transparency test of the running mode: the key value under the depth's mask in
// DirectDraw, alpha 0 in Direct3D.
struct KeyTest {
    u32 mask = 0xFFFFFF, value = 0; // Direct3D: the alpha byte and 0
    bool operator()(u32 p) const { return (p & mask) == value; }
};
KeyTest ModeKeyTest();

// Rotated textured quad (the Direct3D path of rotations): the w x h source rectangle at (sx, sy)
// turned by angle degrees about its pivot, which lands on (cx, cy); every destination pixel
// whose centre falls inside the turned rectangle samples its nearest texel.
void RasterRotatedQuad(PixelStore& dst, double cx, double cy, int w, int h, double pivotX, double pivotY,
                       double angle, const PixelStore& src, int sx, int sy, const RasterOp& op);
// The Direct3D quad's combiner and blend over a row of n texels.
void RasterGpuSpan(u32* d, const u32* s, int n, const RasterOp& op);
// One destination pixel through the op (the Walk step of RasterBlit).
void RasterPixel(u32& d, u32 s, const RasterOp& op);
