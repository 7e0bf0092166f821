// playsim: plays a stage of a game folder without a window.
//
//   playsim --game DIR --stage FILE [--seed N] [--input SCRIPT | --input-file PATH] [--frames N]
//           [--record REPLAY] [--png FRAME:PATH ...] [--mode d3d32|d3d16|dd32|dd16|dd8] [--quiet]
//           [--rss EVERY] [--keep-alive] [--verbose]
//   playsim --game DIR --replay REPLAY [--frames N] [--png FRAME:PATH ...] [--mode ...] [--quiet]
//   (either form) [--report PATH]
//
// Prints one line per play frame: the frame number and the hash of the play state after it
// (positions, speeds, HP, score, time, object counts, random state). The input script is words
// "<keys>*<frames>" with keys from L R U D and 1 2 3 4 (J = 1, "." none); it is played to its
// end, then --frames more frames without keys (the default: only the script; a replay plays
// until its input ends unless --frames says how many frames). --rss prints the resident memory
// every EVERY frames (a soak run); --keep-alive keeps the player's HP up, so that a long run
// stays in play. --verbose adds the scene's state, the hero's position and HP, score and time
// to each line. The stage is a path of the game (in the game folder); the replay, the
// recording, the pictures and the input file are paths from where playsim runs. The report
// goes to standard error, or to the file --report names: never to the game folder's
// Report_Game.txt, which a game running there writes.
#include <algorithm>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <unistd.h>

#include "app/PlayRecord.h"
#include "platform/system/PathResolver.h"
#include "platform/system/Sjis.h"
#include "play/GameScene.h"
#include "tools/PlaySim.h"

namespace {

// Resident memory of the process in kilobytes.
long ResidentKb() {
    long pages = 0, resident = 0;
    if (FILE* f = std::fopen("/proc/self/statm", "r")) {
        if (std::fscanf(f, "%ld %ld", &pages, &resident) != 2) resident = 0;
        std::fclose(f);
    }
    return resident * (sysconf(_SC_PAGESIZE) / 1024);
}

// A path from the command line, taken from where playsim runs, in the game's form of a path, as
// the game's file choices give it: a name that Shift-JIS cannot hold keeps its bytes. Empty when
// there is no folder to take it from.
std::string HostPath(const char* path) {
    std::error_code ec;
    const std::filesystem::path full = std::filesystem::absolute(path, ec);
    return ec ? std::string() : GamePathOf(full.lexically_normal());
}

int Usage() {
    std::fprintf(stderr,
                 "usage: playsim --game DIR (--stage FILE [--seed N] [--input SCRIPT | --input-file PATH] "
                 "[--record REPLAY] | --replay REPLAY) [--frames N] [--png FRAME:PATH]... "
                 "[--mode d3d32|d3d16|dd32|dd16|dd8] [--quiet] [--verbose] [--rss EVERY] [--keep-alive] "
                 "[--report PATH]\n");
    return 2;
}

} // namespace

int main(int argc, char** argv) {
    playsim::SIMOPTIONS options;
    std::string stage, replay, record, script;
    std::map<long, std::string> png;
    long frames = -1;
    unsigned long seed = 1;
    bool quiet = false, keepAlive = false, verbose = false;
    long rssEvery = 0;
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        auto next = [&]() -> const char* { return i + 1 < argc ? argv[++i] : nullptr; };
        const char* v = nullptr;
        if (a == "--quiet" || a == "--keep-alive" || a == "--verbose") {
            (a == "--quiet" ? quiet : a == "--verbose" ? verbose : keepAlive) = true;
            continue;
        }
        if (!(v = next())) return Usage();
        if (a == "--game") options.gameDir = v;
        else if (a == "--stage") stage = v;
        else if (a == "--replay" || a == "--record") {
            (a == "--replay" ? replay : record) = HostPath(v);
            if ((a == "--replay" ? replay : record).empty()) {
                std::fprintf(stderr, "playsim: the name %s cannot be used\n", v);
                return 2;
            }
        } else if (a == "--report") options.report = v;
        else if (a == "--seed") seed = std::strtoul(v, nullptr, 10);
        else if (a == "--frames") frames = std::strtol(v, nullptr, 10);
        else if (a == "--rss") rssEvery = std::strtol(v, nullptr, 10);
        else if (a == "--input") script = v;
        else if (a == "--input-file") {
            std::ifstream in(v);
            std::stringstream ss;
            ss << in.rdbuf();
            script = ss.str();
        } else if (a == "--png") {
            const char* colon = std::strchr(v, ':');
            if (!colon) return Usage();
            png[std::strtol(v, nullptr, 10)] = colon + 1;
        } else if (a == "--mode") {
            const std::string m = v;
            options.direct3D = m.rfind("d3d", 0) == 0;
            options.bpp = std::atoi(m.c_str() + (options.direct3D ? 3 : 2));
            if (options.bpp != 8 && options.bpp != 16 && options.bpp != 32) return Usage();
        } else {
            return Usage();
        }
    }
    if (options.gameDir.empty() || stage.empty() == replay.empty()) return Usage();
    std::vector<playsim::SIMKEYS> keys;
    if (!playsim::ParseScript(script, keys)) {
        std::fprintf(stderr, "playsim: bad input script\n");
        return 2;
    }

    playsim::cPlaySim sim;
    std::string error;
    const bool started = sim.Open(options, error) &&
                         (replay.empty() ? sim.StartStage(stage, static_cast<u32>(seed), error) : sim.StartReplay(replay, error));
    if (!started) {
        std::fprintf(stderr, "playsim: %s\n", ToDisplayText(error).c_str());
        return 1;
    }
    // A replay plays until it starts over (its input ended) unless the frames are given.
    const long total = frames >= 0 ? static_cast<long>(keys.size()) + frames : replay.empty() ? static_cast<long>(keys.size()) : -1;
    for (long f = 0; total < 0 || f < total; ++f) {
        const playsim::SIMKEYS k = f < static_cast<long>(keys.size()) ? keys[static_cast<std::size_t>(f)] : playsim::SIMKEYS{};
        if (keepAlive)
            if (cPlayer* p = sim.Scene().Player0()) p->m_nHP = std::max(p->m_nHP, 1);
        const bool play = sim.Frame(k);
        if (rssEvery > 0 && f % rssEvery == 0) std::fprintf(stderr, "frame %ld rss %ld kB\n", f, ResidentKb());
        if (play && !quiet) std::printf("%ld %016llx", f, static_cast<unsigned long long>(sim.Hashes().back()));
        // A soak run keeps no hashes once this frame's is printed.
        if (rssEvery > 0) sim.ClearHashes();
        if (!quiet && verbose) {
            const cGameScene& s = sim.Scene();
            const cPlayer* p = const_cast<cGameScene&>(s).Player0();
            std::printf("%s state %d x %.1f y %.1f hp %d score %u total %u time %d", play ? "" : std::to_string(f).c_str(),
                        s.m_nState, p ? p->m_dX : 0.0, p ? p->m_dY : 0.0, p ? p->m_nHP : 0, g_PlayRecord.nScore,
                        g_PlayRecord.nTotalScore, s.m_nTimeLeft);
        }
        if ((play || verbose) && !quiet) std::printf("\n");
        if (auto it = png.find(f); it != png.end() && !sim.DumpPng(it->second))
            std::fprintf(stderr, "playsim: cannot write %s\n", it->second.c_str());
        if (total < 0 && !replay.empty() && !play && f > 0) break;
    }
    if (!record.empty() && !sim.SaveReplay(record)) {
        std::fprintf(stderr, "playsim: cannot write %s\n", ResolvePath(record).c_str());
        return 1;
    }
    return 0;
}
