// A stage of many looping definitions, played by playsim in a process of its own: what the
// expanded lists take is bounded for the stage as a whole, so its peak memory stays far below
// what the loops ask for, and each cut list says so once in the report.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include "flow/FlowEngine.h"
#include "records/CharaSettings.h"
#include "records/DataFile.h"
#include "tests/play/PlayFixture.h"
#include "tests/support/DemoGameCopy.h"

namespace fs = std::filesystem;

namespace {

#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
// A sanitizer's build keeps shadow memory and freed blocks of its own: its peak tells nothing of
// the lists, and it reserves far more address space than the limit below.
constexpr bool kMeasured = false;
#else
constexpr bool kMeasured = true;
#endif

cFlowCmd Cmd(u8 set, u8 kind, std::initializer_list<u32> params) { return playtest::MakeCmd(set, kind, params); }

// Adds n to variable 1 of whoever runs it (a character's flow, or the hero taking an item).
cFlowCmd Add(u8 set, u32 n) { return Cmd(set, set ? 7 : 22, {0, 0, 1, 0, 0, 1, 0, n}); }

// The stage's first character made a flying enemy on row 6.
cEdChara FlyingEnemy(const cStage& st) {
    cEdChara enemy = st.vChara[0];
    enemy.byOperation = 1;
    enemy.sPosY = 6;
    CharaSettings::Set(enemy, eChara::FlyMode, 2);
    return enemy;
}

// Twelve enemy types and twelve item kinds, each on a loop that reaches a list's bound of a
// million commands: without a bound on the stage's lists together, gigabytes (the types' run
// states alone some 2.5 GB).
cStage ManyLoopingDefinitions() {
    cStage st = playtest::MakeStage(40, 15);
    cEdChara enemy = FlyingEnemy(st);
    for (u32 type = 0; type < 12; ++type) {
        cFlow f;
        f.trigger = 0;
        f.cmds = {Cmd(0, 39, {999999, 1}), Add(0, type + 1)};
        enemy.vFlow = {f};
        enemy.sPosX = static_cast<i16>(4 + type);
        st.vChara.push_back(enemy);
    }
    for (u32 kind = 0; kind < 12; ++kind) {
        cEdItem item;
        item.wPicture = 1;
        item.vCmd = {Cmd(1, 24, {2000000000u, 2}), Add(1, kind + 1), Add(1, 1)};
        item.sPosX = static_cast<i16>(4 + kind);
        item.sPosY = 13;
        st.vItem.push_back(item);
    }
    st.Prepare();
    return st;
}

// Forty characters of one definition, each stepping one list of a million waits: what each
// holds of the list follows the command it stands on, not the list's length (a command run for
// every wait of every character took some 200 MB a character before the first frame).
cStage ManyCharactersOnOneLongLoop() {
    cStage st = playtest::MakeStage(60, 15);
    cEdChara enemy = FlyingEnemy(st);
    cFlow f;
    f.trigger = 0;
    f.cmds = {Cmd(0, 39, {999999, 1}), Cmd(0, 1, {})};
    enemy.vFlow = {f};
    for (i16 i = 0; i < 40; ++i) {
        enemy.sPosX = static_cast<i16>(4 + i);
        st.vChara.push_back(enemy);
    }
    st.Prepare();
    return st;
}

struct RUN {
    int status = -1;
    long peakKb = 0;
    std::string report;
};

// The stage saved as data\stg4\<name>.stg4_001 of a copy of the demo game, played by playsim for
// some frames, its address space limited in a measured build (so that a play that asks for
// gigabytes fails at once instead of taking them).
RUN PlaySim(const cStage& stage, const std::string& name) {
    RUN run;
    const fs::path game = fs::temp_directory_path() / ("tobrelk_loops_" + std::to_string(::getpid()));
    fs::remove_all(game);
    std::string error;
    cStage st = stage;
    if (!CopyDemoGame(game, error) || !SaveToFile(st, (game / "data" / "stg4" / (name + ".stg4_001")).string())) {
        run.report = "no game: " + error;
        return run;
    }
    const fs::path report = game / "report.txt";
    const std::string file = "data\\stg4\\" + name + ".stg4_001";
    const pid_t pid = fork();
    if (pid == 0) {
        if (kMeasured) {
            const rlimit limit{rlim_t{2} << 30, rlim_t{2} << 30};
            setrlimit(RLIMIT_AS, &limit);
        }
        setenv("SDL_VIDEODRIVER", "dummy", 1);
        setenv("SDL_AUDIODRIVER", "dummy", 1);
        execl(TOBRELK_PLAYSIM, TOBRELK_PLAYSIM, "--game", game.c_str(), "--stage", file.c_str(), "--frames", "30",
              "--quiet", "--report", report.c_str(), static_cast<char*>(nullptr));
        _exit(98);
    }
    int status = 0;
    rusage usage{};
    if (pid > 0 && wait4(pid, &status, 0, &usage) == pid) {
        run.status = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
        run.peakKb = usage.ru_maxrss;
    }
    std::stringstream text;
    text << std::ifstream(report, std::ios::binary).rdbuf();
    run.report = text.str();
    fs::remove_all(game);
    return run;
}

int Count(const std::string& text, const std::string& what) {
    int n = 0;
    for (std::size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1)) ++n;
    return n;
}

} // namespace

TEST(LoopMemory, ManyLoopingDefinitionsPlayWithinTheStagesBound) {
    const RUN run = PlaySim(ManyLoopingDefinitions(), "Loops");
    const std::string& text = run.report;
    EXPECT_EQ(run.status, 0) << text;
    // The enemy types are set up first: the first type's list is whole, the second's is cut at
    // the stage's bound, and the other lists, the items' too, run their loops once.
    EXPECT_EQ(Count(text, "ループの展開で"), 23) << text;
    EXPECT_EQ(Count(text, "ループの展開で命令が合わせて 256 MB を超えるため、"), 23) << text;
    EXPECT_EQ(Count(text, "ループの展開で命令が合わせて 256 MB を超えるため、繰り返しを 1 回に減らしました。"), 22)
        << text;
    if (kMeasured) {
        // The stage's bound, and what playing the demo game's pictures and fonts takes anyway.
        const long within = (cLoopExpansions::kStageBytes >> 10) + 128 * 1024;
        EXPECT_LT(run.peakKb, within) << "peak " << run.peakKb << " kB";
        RecordProperty("peak_kb", std::to_string(run.peakKb));
    }
}

TEST(LoopMemory, ManyCharactersOnOneLongLoopHoldWhatTheyRun) {
    const RUN run = PlaySim(ManyCharactersOnOneLongLoop(), "Waits");
    const std::string& text = run.report;
    EXPECT_EQ(run.status, 0) << text;
    EXPECT_EQ(Count(text, "ループの展開で"), 0) << text;
    if (kMeasured) {
        EXPECT_LT(run.peakKb, 400 * 1024) << "peak " << run.peakKb << " kB";
        RecordProperty("peak_kb", std::to_string(run.peakKb));
    }
}
