#pragma once
// Headless stage play: a game folder opened without a window (databases, system data, world
// data, the graphics layer on a memory presenter with the game's pictures and fonts), a stage
// played frame by frame from given keys or from a replay, a hash of the play state after each
// frame, replays recorded and saved, and frames written as pictures.
//
// One cPlaySim at a time: it sets the process's game folder, databases and graphics layer, and
// puts back what it can when it ends.
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "platform/system/Types.h"

class cGameScene;

namespace playsim {

struct SIMOPTIONS {
    SIMOPTIONS(std::string dir = {}, bool d3d = true, int depth = 32, std::string reportTo = {})
        : gameDir(std::move(dir)), direct3D(d3d), bpp(depth), report(std::move(reportTo)) {}
    std::string gameDir;
    bool direct3D = true;
    int bpp = 32;
    // Where the report goes: a file, or standard error when empty. Never the game folder's
    // Report_Game.txt unless named: a game running there keeps its report.
    std::string report;
};

// One frame of input: direction bits (1 left, 2 right, 4 up, 8 down) and button bits.
struct SIMKEYS {
    u16 dir = 0;
    u16 buttons = 0;
};

// An input script: words "<keys>*<frames>" (or "<keys>" for one frame) separated by blanks;
// keys from L R U D and 1 2 3 4 (J = 1), "." for none. False on a malformed word.
bool ParseScript(const std::string& script, std::vector<SIMKEYS>& out);

class cPlaySim {
public:
    cPlaySim();
    ~cPlaySim();
    cPlaySim(const cPlaySim&) = delete;
    cPlaySim& operator=(const cPlaySim&) = delete;

    // Opens the game folder. False with a reason.
    bool Open(const SIMOPTIONS& options, std::string& error);
    // Free play of a stage file (a game path) with a seed, recording its input, up to the play
    // state (through the fade-in and the intro banners).
    bool StartStage(const std::string& stageFile, u32 seed, std::string& error);
    // The play of a replay file, up to the play state.
    bool StartReplay(const std::string& replayFile, std::string& error);

    // One frame with these keys held (a replay takes its own). True when it was a play frame
    // (the update ran the play; not the frame in which a replay that ran out starts over).
    bool Frame(SIMKEYS keys = {});
    // The play state now: positions, speeds, HP, score, time, object counts, random state.
    u64 Hash();
    // The frames that ran the update, with the state after each.
    const std::vector<u64>& Hashes() const { return m_vHash; }
    // Forgets the hashes kept so far (a long run keeps none).
    void ClearHashes() { m_vHash.clear(); }

    // The replay of what was played so far (the play record as it was at the stage's start).
    bool SaveReplay(const std::string& path);
    // The last frame drawn, as a PNG file.
    bool DumpPng(const std::string& path);

    cGameScene& Scene();
    bool Playing() const;

private:
    bool Begin(i32 gameMode, i64 seed, std::string& error);
    struct IMPL;
    std::unique_ptr<IMPL> m;
    std::vector<u64> m_vHash;
};

} // namespace playsim
