#include "tests/play/EffectTestUtil.h"

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
    return std::string(what) + (m.direct3D ? "_d3d" : "_dd") + std::to_string(m.bpp);
}
