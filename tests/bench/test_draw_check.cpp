// The graphics effects benchmark's cases, checked as the benchmark checks them before timing:
// in each drawing mode, which draw into the back buffer and which have no pixel work (and so
// are named and given no ratio). A case that stops drawing, or starts, changes the table.
#include <gtest/gtest.h>

#include <string>

#include "bench/DrawCheck.h"
#include "bench/graphics/EffectCases.h"

namespace {

// One line a mode: the cases without pixel work, with what they do instead. Each case starts
// from graphics started anew, as in the benchmark (a fade keeps its state between calls).
std::string NoWorkCases(const bench_fx::Mode& m) {
    std::string line = bench_fx::ModeName(m) + ":";
    for (const bench_fx::Case& c : bench_fx::Cases()) {
        bench_fx::Fixture f(m);
        if (!f.ok) return line + " graphics start-up failed";
        const bench_draw::eDraws d = bench_draw::WhatItDraws(bench_fx::PrimeBackBuffer, [&] {
            c.draw(&g_sdBackBuffer, f);
            DDEndScene();
        });
        if (d == bench_draw::eDraws::PaletteOnly) line += std::string(" ") + c.name + "(palette)";
        if (d == bench_draw::eDraws::Nothing) line += std::string(" ") + c.name + "(nothing)";
    }
    return line;
}

TEST(EffectBenchCases, OnlyTheCasesAModeCannotDrawAreLeftOutOfTheRatios) {
    std::string table;
    for (const bench_fx::Mode& m : bench_fx::kModes) table += NoWorkCases(m) + "\n";
    // Colour change is for Direct3D alone, blur needs more than 8 bits, and an 8-bit fade is
    // made by the palette.
    EXPECT_EQ(table, "D3D32:\n"
                     "DD32: ChangeColor(nothing)\n"
                     "DD8: Blur(nothing) ChangeColor(nothing) TransitionOut(palette) TransitionIn(palette)\n"
                     "D3D16:\n"
                     "DD16: ChangeColor(nothing)\n");
}

TEST(EffectBenchCases, TheCheckNamesWhatACaseLeavesUnchanged) {
    EXPECT_EQ(bench_draw::NoPixelWork(bench_draw::eDraws::Pixels), "");
    EXPECT_NE(bench_draw::NoPixelWork(bench_draw::eDraws::Nothing).find("draws nothing"), std::string::npos);
    EXPECT_NE(bench_draw::NoPixelWork(bench_draw::eDraws::PaletteOnly).find("palette only"), std::string::npos);
}

} // namespace
