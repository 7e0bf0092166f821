#pragma once
// The five drawing modes the graphics benchmarks run in, and the graphics started in one of them
// the same way for all: a palette whose entries all differ, magenta as the transparent colour,
// and a blend table of halves.
#include <string>

#include "platform/graphics/Graphics.h"
#include "platform/system/WindowMessages.h"

namespace bench_modes {

struct Mode {
    bool d3d;
    int bpp;
};
constexpr Mode kModes[] = {{true, 32}, {false, 32}, {false, 8}, {true, 16}, {false, 16}};
constexpr int kModeCount = static_cast<int>(sizeof kModes / sizeof kModes[0]);

inline std::string ModeName(const Mode& m) { return std::string(m.d3d ? "D3D" : "DD") + std::to_string(m.bpp); }

// False when the graphics do not start in the mode.
inline bool StartGraphics(const Mode& m) {
    if (!DDInit(m.d3d, MainWindowHandle(), 640, 480, m.bpp, 0, 1, 1, 60, 0, nullptr, nullptr, 0, 0)) return false;
    for (int i = 0; i < 256; ++i) g_palCur[i] = PALETTEENTRY{static_cast<u8>(i), static_cast<u8>(255 - i), 128, 1};
    g_palCur[0] = PALETTEENTRY{255, 0, 255, 1};
    g_palBase = g_palCur;
    DDSetDisplayPalette(g_palCur);
    DDSetTransmit(255, 0, 255);
    if (m.bpp == 8) g_dwTransColor = 0;
    for (int a = 0; a < 256; ++a)
        for (int b = 0; b < 256; ++b) g_lpBlendTable[a * 256 + b] = static_cast<u8>((a + b) / 2);
    return true;
}

} // namespace bench_modes
