#pragma once
// What a drawing benchmark's case changes of what the player sees. Some effects have no pixel
// work in some drawing modes (a call that a mode does not support returns at once; an 8-bit
// fade only changes the palette): timed against a frame's blend, such a case would report a
// ratio for work it never does. Each case is run a few times from a primed back buffer before it
// is timed. The cases without pixel work by design are listed in their benchmark, each with the
// reason; such a case is named so in the output and left out of the ratios. Any other case that
// leaves the back buffer as it was has stopped drawing: it fails (an error in the table, which
// fails the program: bench/BenchMain.h), so that a broken effect cannot drop out of the table
// unseen. A listed case that does other than listed fails the same way: the list must be mended.
#include <cstring>
#include <span>
#include <string>
#include <string_view>
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

// A case that has no pixel work in a drawing mode by design: what it does there instead, and why.
struct cByDesign {
    const char* name; // the case, as its benchmark names it
    const char* mode; // the drawing mode's name
    eDraws draws;     // PaletteOnly or Nothing
    const char* why;
};

// What a benchmark makes of a case's check: timed against the blend, named as having no pixel
// work (its label), or failed (why).
struct cVerdict {
    bool timed = false;
    std::string label, failure;
};

inline cVerdict Judge(std::string_view name, std::string_view mode, eDraws found, std::span<const cByDesign> byDesign) {
    const cByDesign* listed = nullptr;
    for (const cByDesign& d : byDesign)
        if (name == d.name && mode == d.mode) listed = &d;
    const auto does = [](eDraws d) {
        return d == eDraws::Pixels ? "draws" : d == eDraws::PaletteOnly ? "changes the palette only" : "draws nothing";
    };
    const std::string what = std::string(name) + " in " + std::string(mode);
    cVerdict v;
    if (!listed) {
        if (found == eDraws::Pixels) v.timed = true;
        else v.failure = what + " is meant to draw but " + does(found);
    } else if (found == listed->draws) {
        v.label = NoPixelWork(found) + " (" + listed->why + ")";
    } else {
        v.failure = what + " is listed as one that " + does(listed->draws) + " (" + listed->why + ") but " +
                    does(found) + ": the list is out of date";
    }
    return v;
}

} // namespace bench_draw
