#pragma once
// The shared rasteriser under both personalities: one textured-quad routine with nearest
// sampling. Every write is clipped to the destination and every read to the source, whatever
// the caller computed, so no blit or fill can touch memory outside a surface.
#include "platform/graphics/Graphics.h"
#include "platform/graphics/Image.h"

// The hot pixel loops are built twice, for AVX2 and for the baseline processor, and the one
// the processor runs is picked at load time (GCC on x86-64; elsewhere the baseline only).
// Both give the same pixels; TOBRELK_NO_PIXEL_CLONES (cmake -DTOBRELK_PIXEL_CLONES=OFF)
// builds the baseline alone, so the goldens can be checked as a processor without AVX2 draws.
// A sanitizer build has the baseline alone too, whatever flags brought the sanitizer in: the
// selector runs before the sanitizer's runtime is set up, and crashes the program at load.
#if defined(__GNUC__) && !defined(__clang__) && defined(__x86_64__) && !defined(TOBRELK_NO_PIXEL_CLONES) && \
    !defined(__SANITIZE_THREAD__) && !defined(__SANITIZE_ADDRESS__)
#define PIXEL_LOOP_CLONES __attribute__((target_clones("avx2", "default")))
// A loop built for AVX2 alone, beside a plain one its caller runs elsewhere: for vector code
// whose baseline clone would lose to the plain loop (without AVX, GCC compares 256-bit
// vectors lane by lane). Undefined where the clones are not built.
#define PIXEL_LOOP_AVX2 __attribute__((target("avx2")))
#else
#define PIXEL_LOOP_CLONES
#endif

// The lanes of v picked by the lanes of idx (each taken modulo the lane count), into out (a
// vector returned by value would change the calling convention outside the AVX2 clones). GCC permutes
// in one instruction; clang, which builds only the fuzz targets, has no permute by a variable
// vector and picks lane by lane.
template <class V, class I>
[[gnu::always_inline]] inline void PermuteLanes(const V& v, const I& idx, V& out) {
#if defined(__clang__)
    constexpr int n = static_cast<int>(sizeof(V) / sizeof(v[0]));
    for (int k = 0; k < n; ++k) out[k] = v[static_cast<int>(idx[k]) & (n - 1)];
#else
    out = __builtin_shuffle(v, idx);
#endif
}

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

// What a run of texels holds, by their alpha: the bits of a look.
enum : u8 { kTexelsVisible = 1, kTexelsNotOpaque = 2, kTexelsPartial = 4 };

// The looks at pictures' texels kept while one batch of quads is drawn: a plain blend picks
// its loop by what its texels hold (a copy, a keyed copy, the blend or nothing), and the many
// quads a batch draws from one cell of a picture (tiles, sprites, glyphs) would otherwise each
// look at the same texels again. Kept by source rectangle, for small quads only. Only for
// pictures the batch does not draw into, whose texels cannot change while it draws; Clear()
// when the batch ends, since a picture may change after it.
class cTexelLooks {
public:
    cTexelLooks() : m_kept(kSlots) {}
    // A store the batch draws into: never kept, each quad from it looks at its own texels.
    void Exclude(const PixelStore* s);
    // The kept look at texels (sx, sy, n, rows) of s (kKept, in look); else whether the look
    // the quad makes for itself is to be handed to Keep() (kToKeep: not made yet) or not (a
    // large rectangle, one outside s, s excluded, or no room).
    enum Found { kKept, kToKeep, kNotKept };
    Found Look(const PixelStore& s, int sx, int sy, int n, int rows, u8* look);
    void Keep(u8 look);
    void Clear();

private:
    static constexpr i64 kMaxTexels = 4096; // what the plain blend looks at in one go
    static constexpr u32 kSlots = 256, kProbes = 8;
    struct Kept {
        const PixelStore* store = nullptr;
        int sx = 0, sy = 0, n = 0, rows = 0;
        u32 round = 0; // kept in this round only
        u8 look = 0;
    };
    std::vector<Kept> m_kept;
    Kept* m_toKeep = nullptr; // the slot Look() found for the rectangle it did not have
    u32 m_round = 1;
    std::vector<const PixelStore*> m_excluded;
};

// Where a picture's texels show, found once: each row's texels of alpha above 0 covered by as
// few blocks of eight neighbouring texels as there can be, none overlapping another, listed
// by the way their texels let them be drawn, with the blocks' texels in the same order. A
// line of text is mostly space between strokes; the blend of a 1:1 quad from such a picture
// draws only these blocks (the blend is exact for transparent texels, so the pixels are the
// same), reading their texels one after another rather than here and there in the picture.
// Only for pictures whose texels never change after.
class cTexelBlocks {
public:
    explicit cTexelBlocks(const PixelStore& s);
    // Blocks all opaque (a copy), opaque and transparent (the keyed copy on alpha), with
    // partial alpha (the blend); and texels left over at the end of a row, one by one.
    enum Way { kCopy, kKey, kBlend, kSingle, kWays };
    static constexpr int kBlock = 8;
    int Width() const { return m_width; }
    int Height() const { return m_height; }
    // The first texels of a way's blocks from row y on (y == Height(): the end of the list),
    // row by row.
    const u16* From(Way w, int y) const { return m_x[w].data() + m_rowStart[w][static_cast<std::size_t>(y)]; }
    // The texels of the same blocks, a block's (kBlock, or 1 for kSingle) after another's.
    const u32* TexelsFrom(Way w, int y) const {
        return m_texels[w].data() + m_rowStart[w][static_cast<std::size_t>(y)] * (w == kSingle ? 1 : kBlock);
    }

private:
    int m_width = 0, m_height = 0;
    std::vector<u16> m_x[kWays];
    std::vector<u32> m_texels[kWays];
    std::vector<u32> m_rowStart[kWays]; // the first block of each row, and the end
};

// Draws source rectangle (sx, sy, sw, sh) onto destination rectangle (x, y, w, h); a negative
// sw or sh reads the source mirrored from its right (bottom) edge. Destination pixel c samples
// source column sx + floor((c + 0.5) * sw / w), the centre rule of the quad path, so a 1:1 blit
// is exact and a 2x stretch doubles every pixel.
// A batch passes its kept looks (looks), used by the plain blend of a 1:1 quad, and the
// source's blocks when it has them (blocks, made from src as it is).
void RasterBlit(PixelStore& dst, int x, int y, int w, int h, const PixelStore& src, int sx, int sy, int sw, int sh,
                const RasterOp& op, cTexelLooks* looks = nullptr, const cTexelBlocks* blocks = nullptr);
// The transparent-colour clear under a quad of (sx, sy, sw, sh) drawn to (x, y, w, h): rows of
// a 1:1 quad whose texels are all opaque are left alone, since the quad covers them whatever
// lies under it (a background picture without transparent pixels costs no clear). Only for a
// quad whose combiner keeps the texel's alpha (diffuse and alpha ops).
void RasterPreClear(PixelStore& dst, int x, int y, int w, int h, const PixelStore& src, int sx, int sy, int sw, int sh,
                    u32 value, u32 diffuse, u32 alphaOp);
// Fills (x, y, w, h) with a value, or blends a colour over it (Direct3D quad fill).
void RasterFill(PixelStore& dst, int x, int y, int w, int h, u32 value, bool blend);
// SRCALPHA / INVSRCALPHA on all four channels.
u32 BlendPixel(u32 src, u32 dst);
u32 CombineStage0(u32 tex, u32 diffuse, u32 colorOp, u32 alphaOp, u32 textureFactor);

// The 8-bit frame on its way to the screen: out[i] = lut[indexes[i] & 255] | alpha, as
// PaletteRow gives it (out must not overlap the table). streamed: written around the caches,
// for a frame handed on and not read again soon (platform/system/StreamedRows.h), the streamed
// stores done (StreamedDone) on return.
void PaletteFrame(u32* out, const u32* indexes, const u32* lut, std::size_t n, u32 alpha, bool streamed = false);
// The palette entry nearest to an RGB colour (the first exact match when there is one).
u8 PaletteIndexOf(u32 rgb);
// The transparent colour of a Direct3D surface's clears: the back buffer's or a texture's.
u32 D3DClearColorFor(const DDSURFACEDATA* sd);
// What that clear leaves in the pixels of the surface (at 16 bits the colour's 16-bit form).
u32 D3DClearPixelFor(const DDSURFACEDATA* sd);

// The transparency test of the running mode: the key value under the depth's mask in
// DirectDraw, alpha 0 in Direct3D.
struct KeyTest {
    u32 mask = 0xFFFFFF, value = 0; // Direct3D: the alpha byte and 0
    bool operator()(u32 p) const { return (p & mask) == value; }
};
KeyTest ModeKeyTest();

// ---------------------------------------------------------------------------------------------
// 16-bit modes. Pixels stay 32 bits in memory at every depth; in a 16-bit mode each stored
// pixel is the 32-bit form of a 16-bit value of the mode's surface format (g_PixelFormat):
// every channel v (0..max) is kept as v * 255 / max, the scale in which the 16-bit effect
// rules compute. Copies and the colour-key compare therefore need no conversion (the form is
// one to one), and only the points where a new colour is made reduce it:
//  - a colour entering a surface (picture, fill, key) by c * max / 255: GridCut;
//  - a value the blender computed, to the nearest step, as a display card writes it:
//    GridSnap. Snapping leaves every stored value as it is, so a blended rectangle is
//    snapped whole without tracking which of its pixels changed.
// A format without alpha (max 0) keeps the alpha byte as it is.
// The lane rules as arithmetic, for loops that convert whole rows (vectorised): each lane's
// maximum (255 for a lane the format lacks, which keeps the byte) and a multiply-shift that
// divides by it exactly on the products that occur (see GridMath* below).
struct cGridMath {
    u32 max[4] = {255, 255, 255, 255};
    u32 mul[4] = {16777470, 16777470, 16777470, 16777470}; // 255 * ceil(2^shift / max)
    u32 shift[4] = {24, 24, 24, 24};
};
struct cPixelGrid {
    bool on = false;
    PIXELFORMAT fmt;
    cGridMath math;
    u8 cut[4][256] = {};    // channel lanes blue, green, red, alpha
    u8 snap[4][256] = {};
    u8 raw[4][256] = {};    // stored byte -> channel value 0..max
    u8 expand[4][256] = {}; // channel value -> stored byte
};
extern cPixelGrid g_Grid;
// Turns the grid on for a 16-bit format, or off (null).
void GridSetup(const PIXELFORMAT* fmt);

namespace grid_detail {
inline u32 Lanes(const u8 (&t)[4][256], u32 p) {
    return u32(t[0][p & 255]) | u32(t[1][(p >> 8) & 255]) << 8 | u32(t[2][(p >> 16) & 255]) << 16 |
           u32(t[3][p >> 24]) << 24;
}
} // namespace grid_detail
inline u32 GridCut(u32 argb) { return g_Grid.on ? grid_detail::Lanes(g_Grid.cut, argb) : argb; }
inline u32 GridSnap(u32 argb) { return g_Grid.on ? grid_detail::Lanes(g_Grid.snap, argb) : argb; }
// The same rules computed: exact for every byte (GridSetup checks them against the tables).
// Written without tables or branches so that row loops built with them vectorise.
inline u32 GridMathRawLane(u32 c, u32 max) { return ((c * max + 127) * 32897u) >> 23; } // (c * max + 127) / 255
inline u32 GridMathExpandLane(u32 v, u32 max, u32 mul, u32 shift) { return ((v < max ? v : max) * mul) >> shift; }
inline u32 GridMathRaw(u32 p, const cGridMath& g) {
    return GridMathRawLane(p & 255, g.max[0]) | GridMathRawLane((p >> 8) & 255, g.max[1]) << 8 |
           GridMathRawLane((p >> 16) & 255, g.max[2]) << 16 | GridMathRawLane(p >> 24, g.max[3]) << 24;
}
inline u32 GridMathFromRaw(u32 p, const cGridMath& g) {
    return GridMathExpandLane(p & 255, g.max[0], g.mul[0], g.shift[0]) |
           GridMathExpandLane((p >> 8) & 255, g.max[1], g.mul[1], g.shift[1]) << 8 |
           GridMathExpandLane((p >> 16) & 255, g.max[2], g.mul[2], g.shift[2]) << 16 |
           GridMathExpandLane(p >> 24, g.max[3], g.mul[3], g.shift[3]) << 24;
}
inline u32 GridMathSnap(u32 p, const cGridMath& g) { return GridMathFromRaw(GridMathRaw(p, g), g); }
// Cut: c * max / 255 rounded down, then expanded.
inline u32 GridMathCutLane(u32 c, u32 max, u32 mul, u32 shift) {
    return GridMathExpandLane(((c * max) * 32897u) >> 23, max, mul, shift);
}
inline u32 GridMathCut(u32 p, const cGridMath& g) {
    return GridMathCutLane(p & 255, g.max[0], g.mul[0], g.shift[0]) |
           GridMathCutLane((p >> 8) & 255, g.max[1], g.mul[1], g.shift[1]) << 8 |
           GridMathCutLane((p >> 16) & 255, g.max[2], g.mul[2], g.shift[2]) << 16 |
           GridMathCutLane(p >> 24, g.max[3], g.mul[3], g.shift[3]) << 24;
}
// Rows of n pixels through the rules (out may be in): GridRaw, GridFromRaw and GridSnap.
void GridRawRow(u32* out, const u32* in, int n);
void GridFromRawRow(u32* out, const u32* in, int n);
void GridSnapRow(u32* px, int n);

// Channel values (0..max) in the byte lanes, and back.
inline u32 GridRaw(u32 stored) { return grid_detail::Lanes(g_Grid.raw, stored); }
inline u32 GridFromRaw(u32 raw) { return grid_detail::Lanes(g_Grid.expand, raw); }
// A stored pixel as the 16-bit value of the format, and a 16-bit value as stored.
u32 GridPack(u32 stored);
u32 GridUnpack(u32 value);
// The 16-bit value of an 8-bit colour in a format, each channel c * max / 255.
u32 Scale16(u8 red, u8 green, u8 blue, const PIXELFORMAT& f);
// A decoded picture as the running mode stores it: palette indexes at 8 bits, 16-bit colours
// reduced (pixels of the transparent colour becoming the key), mirrored cells turned; d3dKey
// turns Direct3D's pixels of the loading key colour into transparent black.
std::shared_ptr<PixelStore> PixelsFromImage(const cImage& img, i32 mirrorW, i32 mirrorH, bool d3dKey);
// Snaps every pixel of the rectangle (clipped to the store); nothing when the grid is off.
void GridSnapRect(PixelStore& dst, i64 x, i64 y, i64 w, i64 h);

// Rotated textured quad (the Direct3D path of rotations): the w x h source rectangle at (sx, sy)
// turned by angle degrees about its pivot, which lands on (cx, cy); every destination pixel
// whose centre falls inside the turned rectangle samples its nearest texel.
void RasterRotatedQuad(PixelStore& dst, double cx, double cy, int w, int h, double pivotX, double pivotY,
                       double angle, const PixelStore& src, int sx, int sy, const RasterOp& op);
// The Direct3D quad's combiner and blend over a row of n texels.
void RasterGpuSpan(u32* d, const u32* s, int n, const RasterOp& op);
// The same row snapped to the grid afterwards (RasterGpuSpan, then GridSnapRow), in one pass.
void RasterGpuSpanSnapped(u32* d, const u32* s, int n, const RasterOp& op);
// One destination pixel through the op (the Walk step of RasterBlit).
void RasterPixel(u32& d, u32 s, const RasterOp& op);
