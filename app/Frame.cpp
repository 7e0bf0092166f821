#include "app/Frame.h"

#include <algorithm>

cFrame g_BackBuffer;
u32 g_dwKeyColour = 0x000000;

namespace {

void Copy(u32* dst, int dstW, int dstH, int x, int y, int w, int h, const cPicture& src, int sx, int sy, bool key) {
    // Clip against the source, then the target.
    if (sx < 0) { x -= sx; w += sx; sx = 0; }
    if (sy < 0) { y -= sy; h += sy; sy = 0; }
    w = std::min(w, src.w - sx);
    h = std::min(h, src.h - sy);
    if (x < 0) { sx -= x; w += x; x = 0; }
    if (y < 0) { sy -= y; h += y; y = 0; }
    w = std::min(w, dstW - x);
    h = std::min(h, dstH - y);
    if (w <= 0 || h <= 0) return;
    for (int r = 0; r < h; ++r) {
        const u32* s = &src.px[static_cast<std::size_t>(sy + r) * src.w + sx];
        u32* d = dst + static_cast<std::size_t>(y + r) * dstW + x;
        for (int c = 0; c < w; ++c) {
            const u32 p = s[c];
            if (key && (((p & 0xFFFFFF) == (g_dwKeyColour & 0xFFFFFF)) || (p >> 24) == 0)) continue;
            d[c] = p;
        }
    }
}

} // namespace

void PictureBlt(cPicture& dst, int x, int y, int w, int h, const cPicture& src, int sx, int sy, bool key) {
    if (dst.Empty() || src.Empty() || dst.px.size() != static_cast<std::size_t>(dst.w) * dst.h ||
        src.px.size() != static_cast<std::size_t>(src.w) * src.h)
        return;
    Copy(dst.px.data(), dst.w, dst.h, x, y, w, h, src, sx, sy, key);
}

void cFrame::Blt(int x, int y, int w, int h, const cPicture& src, int sx, int sy, bool key) {
    if (src.Empty() || src.px.size() != static_cast<std::size_t>(src.w) * src.h) return;
    Copy(Data(), kScreenW, kScreenH, x, y, w, h, src, sx, sy, key);
}

void cFrame::BltIndexed(int x, int y, int w, int h, const u32* indexes, const u32 (&lut)[256], u32 skip) {
    if (!indexes) return;
    const int x0 = std::max(x, 0), y0 = std::max(y, 0);
    const int x1 = std::min(x + std::max(w, 0), kScreenW), y1 = std::min(y + std::max(h, 0), kScreenH);
    for (int yy = y0; yy < y1; ++yy) {
        const u32* s = indexes + static_cast<std::size_t>(yy) * kScreenW;
        u32* d = Data() + static_cast<std::size_t>(yy) * kScreenW;
        for (int xx = x0; xx < x1; ++xx)
            if (s[xx] != skip && s[xx] < 256) d[xx] = lut[s[xx]];
    }
}

void cFrame::Fill(u32 argb) { std::fill(Data(), Data() + static_cast<std::size_t>(kScreenW) * kScreenH, argb); }

void cFrame::FillRect(int x, int y, int w, int h, u32 argb) {
    const int x0 = std::max(x, 0), y0 = std::max(y, 0);
    const int x1 = std::min(x + std::max(w, 0), kScreenW), y1 = std::min(y + std::max(h, 0), kScreenH);
    for (int yy = y0; yy < y1; ++yy)
        std::fill(Data() + yy * kScreenW + x0, Data() + yy * kScreenW + std::max(x0, x1), argb);
}

void cFrame::FrameRect(int x, int y, int w, int h, u32 argb) {
    FillRect(x, y, w, 1, argb);
    FillRect(x, y + h - 1, w, 1, argb);
    FillRect(x, y, 1, h, argb);
    FillRect(x + w - 1, y, 1, h, argb);
}

void cFrame::Darken(int level) {
    level = std::clamp(level, 0, 256);
    if (level == 256) return;
    u32* px = Data();
    for (std::size_t i = 0; i < static_cast<std::size_t>(kScreenW) * kScreenH; ++i) {
        u32& p = px[i];
        const u32 r = ((p >> 16) & 0xFF) * level >> 8;
        const u32 g = ((p >> 8) & 0xFF) * level >> 8;
        const u32 b = (p & 0xFF) * level >> 8;
        p = 0xFF000000u | (r << 16) | (g << 8) | b;
    }
}

u32 cFrame::At(int x, int y) const {
    if (x < 0 || y < 0 || x >= kScreenW || y >= kScreenH) return 0;
    return Data()[static_cast<std::size_t>(y) * kScreenW + x];
}

void cFrame::CopyFrom(const cFrame& src) {
    if (&src == this) return;
    std::copy(src.Data(), src.Data() + static_cast<std::size_t>(kScreenW) * kScreenH, Data());
}
