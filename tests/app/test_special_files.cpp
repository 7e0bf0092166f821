// The runtime, started on a game folder where a file it reads is a FIFO (or a device, or a
// socket): it never waits for a writer. Each such file is refused with its report line and
// handled as a file that cannot be read, and the game starts, or ends in order, at once.
#include <gtest/gtest.h>

#include <chrono>
#include <csignal>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <sstream>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <thread>
#include <fcntl.h>
#include <unistd.h>

#include "app/PlayRecord.h"
#include "app/StorySave.h"
#include "platform/system/PathResolver.h"
#include "tests/support/DemoGameCopy.h"

namespace fs = std::filesystem;

namespace {

std::string Read(const fs::path& p) {
    std::ifstream in(p, std::ios::binary);
    std::stringstream ss;
    ss << in.rdbuf();
    return ss.str();
}

// One game folder of the demo and a run of the executable on it.
struct cRun {
    fs::path game;
    pid_t pid = -1;

    explicit cRun(const std::string& name) {
        game = fs::temp_directory_path() / ("tobrelk_special_" + std::to_string(::getpid()) + "_" + name);
        fs::remove_all(game);
        std::string error;
        EXPECT_TRUE(CopyDemoGame(game, error)) << error;
        fs::create_directories(game / "user_data" / "story");
    }
    ~cRun() { fs::remove_all(game); }

    void Start(const std::vector<std::string>& env, const std::vector<std::string>& args = {}) {
        pid = fork();
        if (pid == 0) {
            if (chdir(game.c_str()) != 0) _exit(97);
            setenv("SDL_VIDEODRIVER", "dummy", 1);
            setenv("SDL_AUDIODRIVER", "dummy", 1);
            for (const auto& e : env) putenv(strdup(e.c_str()));
            const int devnull = open("/dev/null", O_WRONLY);
            dup2(devnull, 2);
            std::vector<char*> argv{const_cast<char*>(TOBRELK_EXE)};
            for (const auto& a : args) argv.push_back(const_cast<char*>(a.c_str()));
            argv.push_back(nullptr);
            execv(TOBRELK_EXE, argv.data());
            _exit(98);
        }
    }

    // The exit code, or "waits" when the run did not end (it is then killed). The bound is far
    // beyond a run's length: a scripted run ends by its script, never by the clock, and a
    // sanitizer build on a busy machine is many times slower.
    std::string Wait(int seconds = 240) {
        const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(seconds);
        while (std::chrono::steady_clock::now() < until) {
            int status = 0;
            if (waitpid(pid, &status, WNOHANG) == pid)
                return std::to_string(WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status));
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        kill(pid, SIGKILL);
        waitpid(pid, nullptr, 0);
        return "waits";
    }

    // The report's lines that name the file, joined by " / ".
    std::string LinesNaming(const std::string& shown) const {
        std::istringstream in(Read(game / "Report_Game.txt"));
        std::string out;
        for (std::string line; std::getline(in, line);) {
            if (!line.empty() && line.back() == '\r') line.pop_back();
            if (line.find(shown) != std::string::npos || line == "起動に失敗しました")
                out += (out.empty() ? "" : " / ") + line;
        }
        return out;
    }
};

void MakeFifo(const fs::path& p) {
    fs::remove_all(p);
    EXPECT_EQ(::mkfifo(p.c_str(), 0600), 0) << p;
}

void MakeSocket(const fs::path& p) {
    fs::remove_all(p);
    const int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
    ASSERT_GE(fd, 0);
    sockaddr_un addr{};
    addr.sun_family = AF_UNIX;
    ASSERT_LT(p.string().size(), sizeof addr.sun_path);
    std::memcpy(addr.sun_path, p.c_str(), p.string().size() + 1);
    EXPECT_EQ(::bind(fd, reinterpret_cast<const sockaddr*>(&addr), sizeof addr), 0) << p;
    ::close(fd);
}

void MakeDeviceLink(const fs::path& p) {
    fs::remove_all(p);
    fs::create_symlink("/dev/zero", p);
}

// A file read as the game starts, what stands in its place, and how the report names it.
struct SPECIAL {
    const char* file;
    const char* kind;
    std::function<void(const fs::path&)> make;
    std::vector<std::string> env = {};
    const char* ini = nullptr; // System.ini written for the run
};

} // namespace

// Every file of the start (the player's settings, the game's settings and data, its music,
// pictures and sounds) in turn: no run waits, each says what it refused, and the outcome of
// each, going on to the title or ending in order, is the one a file that cannot be read has.
TEST(SpecialFiles, NoFileReadAtTheStartIsWaitedFor) {
    if (!fs::exists(fs::path(TOBRELK_DEMO_GAME_DIR) / "data" / "WorldMap.dat")) GTEST_SKIP() << "no demo game";
    const std::vector<SPECIAL> cases = {
        {"user_data\\Window.dat", "FIFO", MakeFifo},
        {"user_data\\Option.dat", "FIFO", MakeFifo},
        {"user_data\\KeyConfig.dat", "FIFO", MakeFifo},
        // Asked for the drawing mode, so that Boot.dat is read.
        {"user_data\\Boot.dat", "FIFO", MakeFifo, {"TOBRELK_DIALOG_ANSWERS=1"}, "Direct3D=2\nWindowMode=1\nBpp=0\nExit\n"},
        {"System.ini", "FIFO", MakeFifo},
        {"data\\System.dat", "FIFO", MakeFifo},
        {"data\\database\\Anime.dat", "FIFO", MakeFifo},
        {"data\\WorldMap.dat", "FIFO", MakeFifo},
        {"data\\CommonPalette.cplt4", "FIFO", MakeFifo},
        {"bgm\\Title.mid", "FIFO", MakeFifo},
        {"bmp\\Title.bmp", "FIFO", MakeFifo},
        {"wave\\decide.wav", "FIFO", MakeFifo},
        // Read whole, an endless device would fill the memory up to the read's limit.
        {"user_data\\Window.dat", "a link to /dev/zero", MakeDeviceLink},
        {"user_data\\Option.dat", "socket", MakeSocket},
    };
    std::string table;
    // A few runs at a time: each is a whole game.
    constexpr std::size_t kAtOnce = 4;
    for (std::size_t first = 0; first < cases.size(); first += kAtOnce) {
        std::vector<std::unique_ptr<cRun>> runs;
        for (std::size_t i = first; i < std::min(cases.size(), first + kAtOnce); ++i) {
            const SPECIAL& c = cases[i];
            auto run = std::make_unique<cRun>(std::to_string(i));
            if (c.ini) std::ofstream(run->game / "System.ini") << c.ini;
            SetGameRoot(run->game);
            c.make(ResolvePath(c.file));
            SetGameRoot(fs::path());
            std::vector<std::string> env = c.env;
            env.push_back("TOBRELK_INPUT_SCRIPT=60:27+,61:27-");
            run->Start(env);
            runs.push_back(std::move(run));
        }
        for (std::size_t i = 0; i < runs.size(); ++i) {
            const SPECIAL& c = cases[first + i];
            const std::string exit = runs[i]->Wait();
            table += std::string(c.file) + " | " + c.kind + " | exit " + exit + " | " + runs[i]->LinesNaming(c.file) + "\n";
        }
    }
    const fs::path golden = fs::path(TOBRELK_TEST_DATA_DIR) / "app" / "special_files_at_start.txt";
    if (std::getenv("TOBRELK_UPDATE_GOLDENS")) {
        fs::create_directories(golden.parent_path());
        std::ofstream(golden, std::ios::binary) << table;
    }
    EXPECT_EQ(table, Read(golden));
}

// A FIFO where a save goes: the slot shows as one that does not load, and the save the player
// makes there from the map's menu keeps the FIFO aside, as it keeps a damaged save, and is
// written whole.
TEST(SpecialFiles, AFifoAtASaveIsKeptAsideWhenThePlayerSavesThere) {
    if (!fs::exists(fs::path(TOBRELK_DEMO_GAME_DIR) / "data" / "WorldMap.dat")) GTEST_SKIP() << "no demo game";
    cRun run("save");
    const fs::path save = run.game / "user_data" / "story" / "Story02.dat";
    MakeFifo(save);
    // New game in slot 1; on the map, its menu's save into slot 2 (down, decide; up to "save",
    // decide); escape.
    auto hold = [](int key, int from, int to) {
        return std::to_string(from) + ":" + std::to_string(key) + "+," + std::to_string(to) + ":" + std::to_string(key) + "-";
    };
    run.Start({"TOBRELK_INPUT_SCRIPT=" + hold(90, 50, 51) + "," + hold(90, 80, 81) + "," + hold(88, 220, 221) + "," +
               hold(90, 260, 261) + "," + hold(40, 275, 276) + "," + hold(90, 290, 291) + "," + hold(38, 305, 306) + "," +
               hold(90, 320, 321) + "," + hold(27, 360, 361)});
    EXPECT_EQ(run.Wait(), "0");
    const std::string lines = run.LinesNaming("Story02.dat");
    EXPECT_NE(lines.find("user_data\\story\\Story02.dat は通常のファイルではないため読みません（FIFO）"), std::string::npos) << lines;
    EXPECT_NE(lines.find("user_data\\story\\Story02.dat を Story02.dat.damaged として残しました"), std::string::npos) << lines;
    struct stat st {};
    ASSERT_EQ(::lstat((save.string() + ".damaged").c_str(), &st), 0);
    EXPECT_TRUE(S_ISFIFO(st.st_mode)) << "the FIFO kept aside";
    ASSERT_TRUE(fs::is_regular_file(fs::symlink_status(save)));
    SetGameRoot(run.game);
    cPlayRecord saved;
    EXPECT_EQ(LoadStorySlot(saved, 1), 1) << "the new save loads";
    SetGameRoot(fs::path());
}

// A stage named on the command line that is a FIFO is a stage that cannot be read: its box, and
// the start ends in order instead of waiting for a writer.
TEST(SpecialFiles, AFifoStageOnTheCommandLineEndsTheStartInOrder) {
    cRun run("stage");
    const fs::path stage = run.game / "data" / "stg4" / "Fifo.stg4_001";
    MakeFifo(stage);
    run.Start({"TOBRELK_INPUT_SCRIPT=60:27+,61:27-"}, {stage.string()});
    EXPECT_EQ(run.Wait(), "1");
    EXPECT_EQ(run.LinesNaming("Fifo.stg4_001"),
              "data\\stg4\\Fifo.stg4_001 は通常のファイルではないため読みません（FIFO） / "
              "ステージファイル data\\stg4\\Fifo.stg4_001 の読み込みに失敗しました！ / "
              "[エラー] ステージファイル data\\stg4\\Fifo.stg4_001 の読み込みに失敗しました！ / 起動に失敗しました");
    struct stat st {};
    ASSERT_EQ(::lstat(stage.c_str(), &st), 0);
    EXPECT_TRUE(S_ISFIFO(st.st_mode)) << "a stage is never written";
}
