#include "tests/play/EffectTestUtil.h"

std::vector<u32> VisiblePixels(DDSURFACEDATA* sd) {
    const PixelStore* s = SurfacePixels(sd);
    std::vector<u32> out(s->px.size());
    for (std::size_t i = 0; i < out.size(); ++i) {
        const u32 p = s->px[i];
        if (!lpDTCon && g_nBpp == 8) {
            const PALETTEENTRY& e = g_palDisplay[p & 255];
            out[i] = 0xFF000000u | u32(e.peRed) << 16 | u32(e.peGreen) << 8 | e.peBlue;
        } else {
            out[i] = p | 0xFF000000u;
        }
    }
    return out;
}

void ContactSheet::Put(int col, int row, const std::vector<u32>& src, int srcW, int sx, int sy, int step) {
    const int w = Width();
    for (int y = 0; y < m_cellH; ++y)
        for (int x = 0; x < m_cellW; ++x)
            m_px[static_cast<std::size_t>(row * m_cellH + y) * w + col * m_cellW + x] =
                src[static_cast<std::size_t>(sy + y * step) * srcW + sx + x * step];
}

std::vector<GfxMode> EffectModes() {
    return {GfxMode{true, 32}, GfxMode{true, 16}, GfxMode{false, 32}, GfxMode{false, 16}, GfxMode{false, 8}};
}

std::string EffectGoldenName(const char* what, const GfxMode& m) {
    return std::string(what) + (m.direct3D ? "_d3d" : "_dd") + std::to_string(m.bpp == 16 ? 32 : m.bpp);
}
