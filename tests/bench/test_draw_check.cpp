// The graphics effects benchmark's cases, checked as the benchmark checks them before timing:
// in each drawing mode, which draw into the back buffer and which have no pixel work (and so
// are named and given no ratio). A case that stops drawing, or starts, changes the table. The
// parts of the graphics frame benchmark's stress frame are checked the same way.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>

#include "bench/DrawCheck.h"
#include "bench/GraphicsModes.h"
#include "bench/graphics/EffectCases.h"
#include "bench/graphics/StressFrame.h"

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

// The benchmark checks a case again for each of its runs, after its earlier runs left the fade
// anywhere in its round: the 8-bit fades change the palette only, wherever they stood.
TEST(EffectBenchCases, AFadeIsNamedTheSameWhereverEarlierRunsLeftIt) {
    const bench_fx::Mode m{false, 8};
    for (const char* name : {"TransitionOut", "TransitionIn"}) {
        const auto c = std::find_if(bench_fx::Cases().begin(), bench_fx::Cases().end(),
                                    [&](const bench_fx::Case& k) { return std::string(k.name) == name; });
        ASSERT_NE(c, bench_fx::Cases().end());
        bench_fx::Fixture f(m);
        ASSERT_TRUE(f.ok);
        const auto work = [&] {
            c->draw(&g_sdBackBuffer, f);
            DDEndScene();
        };
        // A round of either fade is eleven calls.
        for (int earlier = 0; earlier < 12; ++earlier) {
            for (int i = 0; i < earlier; ++i) work();
            EXPECT_EQ(bench_draw::WhatItDraws(bench_fx::PrimeBackBuffer, work), bench_draw::eDraws::PaletteOnly)
                << name << " after " << earlier << " earlier runs";
        }
    }
}

TEST(EffectBenchCases, TheCheckNamesWhatACaseLeavesUnchanged) {
    EXPECT_EQ(bench_draw::NoPixelWork(bench_draw::eDraws::Pixels), "");
    EXPECT_NE(bench_draw::NoPixelWork(bench_draw::eDraws::Nothing).find("draws nothing"), std::string::npos);
    EXPECT_NE(bench_draw::NoPixelWork(bench_draw::eDraws::PaletteOnly).find("palette only"), std::string::npos);
}

// The benchmark's list of cases without pixel work by design is what the cases do: with it, no
// case of any mode fails the benchmark's check.
TEST(EffectBenchCases, TheListOfCasesWithoutPixelWorkIsWhatTheyDo) {
    std::string failures;
    for (const bench_fx::Mode& m : bench_fx::kModes)
        for (const bench_fx::Case& c : bench_fx::Cases()) {
            bench_fx::Fixture f(m);
            ASSERT_TRUE(f.ok) << bench_fx::ModeName(m);
            const bench_draw::eDraws d = bench_draw::WhatItDraws(bench_fx::PrimeBackBuffer, [&] {
                c.draw(&g_sdBackBuffer, f);
                DDEndScene();
            });
            failures += bench_draw::Judge(c.name, bench_fx::ModeName(m), d, bench_fx::kNoPixelWork).failure;
        }
    EXPECT_EQ(failures, "");
}

// The graphics frame benchmark's stress frame, checked by its parts as the benchmark checks it
// before timing the frame: each part draws in every drawing mode (one line a mode, with the
// parts that fail).
TEST(StressFrameBench, EveryPartOfTheFrameDrawsInEveryMode) {
    std::string table;
    for (const bench_modes::Mode& m : bench_modes::kModes) {
        bench_stress::Scene s;
        const bool started = bench_stress::Setup(s, m.d3d, m.bpp);
        const std::string failures = started ? bench_stress::CheckParts(s, bench_modes::ModeName(m)) : "";
        bench_stress::Teardown(s);
        ASSERT_TRUE(started) << bench_modes::ModeName(m);
        table += bench_modes::ModeName(m) + ":" + (failures.empty() ? "" : " " + failures) + "\n";
    }
    EXPECT_EQ(table, "D3D32:\nDD32:\nDD8:\nD3D16:\nDD16:\n");
}

// Every way a case's check can meet its list: only a case that draws, or one that does what its
// list entry says, passes; a case meant to draw that stops fails, and so does a listed one that
// does other than listed.
TEST(DrawCheck, ACaseThatDoesNotDrawAsListedFails) {
    using bench_draw::eDraws;
    constexpr bench_draw::cByDesign list[] = {{"Fade", "DD8", eDraws::PaletteOnly, "made by the palette"},
                                              {"Tint", "DD8", eDraws::Nothing, "not in this mode"}};
    std::string trace;
    for (const char* name : {"Wave", "Fade", "Tint"})
        for (const eDraws found : {eDraws::Pixels, eDraws::PaletteOnly, eDraws::Nothing}) {
            const bench_draw::cVerdict v = bench_draw::Judge(name, "DD8", found, list);
            trace += v.timed ? "timed" : v.failure.empty() ? "named: " + v.label : "FAILS: " + v.failure;
            trace += "\n";
        }
    EXPECT_EQ(trace, "timed\n"
                     "FAILS: Wave in DD8 is meant to draw but changes the palette only\n"
                     "FAILS: Wave in DD8 is meant to draw but draws nothing\n"
                     "FAILS: Fade in DD8 is listed as one that changes the palette only (made by the palette) but "
                     "draws: the list is out of date\n"
                     "named: no pixel work: changes the palette only (made by the palette)\n"
                     "FAILS: Fade in DD8 is listed as one that changes the palette only (made by the palette) but "
                     "draws nothing: the list is out of date\n"
                     "FAILS: Tint in DD8 is listed as one that draws nothing (not in this mode) but draws: the list "
                     "is out of date\n"
                     "FAILS: Tint in DD8 is listed as one that draws nothing (not in this mode) but changes the "
                     "palette only: the list is out of date\n"
                     "named: no pixel work: draws nothing in this mode (not in this mode)\n");
    // The same case in another mode is not the listed one.
    EXPECT_FALSE(bench_draw::Judge("Tint", "DD32", eDraws::Nothing, list).failure.empty());
}

} // namespace
