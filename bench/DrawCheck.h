#pragma once
// What a drawing benchmark's case changes of what the player sees. Some effects have no pixel
// work in some drawing modes (a call that a mode does not support returns at once; an 8-bit
// fade only changes the palette): timed against a frame's blend, such a case reports a ratio
// for work it never does. Each case is run a few times from a primed back buffer before it is
// timed, and one that leaves the back buffer as it was is named in the output and left out of
// the ratios.
#include <cstring>
#include <string>
#include <vector>

#include "platform/graphics/Graphics.h"

namespace bench_draw {

enum class eDraws { Pixels, PaletteOnly, Nothing };

namespace detail {
inline std::vector<u32> BackPixels() {
    DDEndScene();
    const PixelStore* s = PixelsInUse(SurfacePixels(&g_sdBackBuffer));
    return s ? std::vector<u32>(s->px.begin(), s->px.end()) : std::vector<u32>{};
}
} // namespace detail

// Primes the back buffer, then runs the case up to `runs` times (an effect that moves the frame
// may start where it stands): Pixels once the back buffer differs from the primed one, else
// PaletteOnly when a run left either palette different from the primed one. Each run is looked
// at, not only the last: a fade that comes round to where it started within the runs still
// changed the palette.
template <class Prime, class Case>
eDraws WhatItDraws(Prime&& prime, Case&& runCase, int runs = 4) {
    prime();
    const std::vector<u32> before = detail::BackPixels();
    const PALETTE display = g_palDisplay, current = g_palCur;
    bool palette = false;
    for (int i = 0; i < runs; ++i) {
        runCase();
        if (detail::BackPixels() != before) return eDraws::Pixels;
        palette = palette || std::memcmp(g_palDisplay.data(), display.data(), sizeof(PALETTE)) != 0 ||
                  std::memcmp(g_palCur.data(), current.data(), sizeof(PALETTE)) != 0;
    }
    return palette ? eDraws::PaletteOnly : eDraws::Nothing;
}

// The case's name in the output when it has no pixel work ("" when it has).
inline std::string NoPixelWork(eDraws d) {
    switch (d) {
    case eDraws::Pixels: return "";
    case eDraws::PaletteOnly: return "no pixel work: changes the palette only";
    case eDraws::Nothing: return "no pixel work: draws nothing in this mode";
    }
    return "";
}

} // namespace bench_draw
