// The runtime, started on a game folder where a file it reads is a FIFO (or a device, or a
// socket): it never waits for a writer. Each such file is refused with its report line and
// handled as a file that cannot be read, and the game starts, or ends in order, at once.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <csignal>
#include <cstring>
#include <filesystem>
#include <fstream>
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

// One copy of the demo game and a run of the executable on it.
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

    void Start(const std::string& script, const std::vector<std::string>& args = {}, const std::string& env = "") {
        pid = fork();
        if (pid == 0) {
            if (chdir(game.c_str()) != 0) _exit(97);
            setenv("SDL_VIDEODRIVER", "dummy", 1);
            setenv("SDL_AUDIODRIVER", "dummy", 1);
            setenv("TOBRELK_INPUT_SCRIPT", script.c_str(), 1);
            if (!env.empty()) putenv(strdup(env.c_str()));
            dup2(open("/dev/null", O_WRONLY), 2);
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
    std::string Wait() {
        for (int i = 0; i < 24000; ++i) {
            int status = 0;
            if (waitpid(pid, &status, WNOHANG) == pid)
                return std::to_string(WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status));
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        kill(pid, SIGKILL);
        waitpid(pid, nullptr, 0);
        return "waits";
    }

    // What the report says of the file, each line once (a file read again says it again), and
    // whether the start failed, joined by " / ". What becomes of a file that could not be read
    // when the game writes its own in its place is the business of the saves' own tests.
    std::string LinesNaming(const std::string& shown) const {
        std::ifstream in(game / "Report_Game.txt", std::ios::binary);
        std::vector<std::string> said;
        for (std::string line; std::getline(in, line);) {
            if (!line.empty() && line.back() == '\r') line.pop_back();
            const bool names = line.find(shown) != std::string::npos && line.find("残") == std::string::npos;
            if ((names || line == "起動に失敗しました") && std::find(said.begin(), said.end(), line) == said.end())
                said.push_back(line);
        }
        std::string out;
        for (const std::string& line : said) out += (out.empty() ? "" : " / ") + line;
        return out;
    }
};

void MakeFifo(const fs::path& p) { EXPECT_EQ(::mkfifo(p.c_str(), 0600), 0) << p; }

void MakeSocket(const fs::path& p) {
    const int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
    sockaddr_un addr{};
    addr.sun_family = AF_UNIX;
    std::strncpy(addr.sun_path, p.c_str(), sizeof addr.sun_path - 1);
    EXPECT_EQ(::bind(fd, reinterpret_cast<const sockaddr*>(&addr), sizeof addr), 0) << p;
    ::close(fd);
}

void MakeDeviceLink(const fs::path& p) { fs::create_symlink("/dev/zero", p); }

} // namespace

// Each file of the start (the player's settings, the game's settings and data, its music,
// pictures and sounds) and a stage named on the command line, in turn: no run waits, each says
// what it refused, and each goes on to the title or ends in order as it does for a file that
// cannot be read.
TEST(SpecialFiles, NoFileReadAtTheStartIsWaitedFor) {
    if (!fs::exists(fs::path(TOBRELK_DEMO_GAME_DIR) / "data" / "WorldMap.dat")) GTEST_SKIP() << "no demo game";
    struct SPECIAL {
        const char* file;
        const char* kind;
        void (*make)(const fs::path&);
        bool named = false; // named on the command line
        bool asksMode = false; // System.ini asks for the drawing mode, so that Boot.dat is read
    };
    const std::vector<SPECIAL> cases = {
        {"user_data\\Window.dat", "FIFO", MakeFifo},
        {"user_data\\Option.dat", "FIFO", MakeFifo},
        {"user_data\\KeyConfig.dat", "FIFO", MakeFifo},
        {"user_data\\Boot.dat", "FIFO", MakeFifo, false, true},
        {"System.ini", "FIFO", MakeFifo},
        {"data\\System.dat", "FIFO", MakeFifo},
        {"data\\database\\Anime.dat", "FIFO", MakeFifo},
        {"data\\WorldMap.dat", "FIFO", MakeFifo},
        {"data\\CommonPalette.cplt4", "FIFO", MakeFifo},
        {"bgm\\Title.mid", "FIFO", MakeFifo},
        {"bmp\\Title.bmp", "FIFO", MakeFifo},
        {"wave\\decide.wav", "FIFO", MakeFifo},
        {"data\\stg4\\Fifo.stg4_001", "FIFO", MakeFifo, true},
        // Read whole, an endless device would fill the memory up to the read's limit.
        {"user_data\\Window.dat", "a link to /dev/zero", MakeDeviceLink},
        {"user_data\\Option.dat", "socket", MakeSocket},
    };
    std::string table;
    constexpr std::size_t kAtOnce = 4; // runs at a time: each is a whole game
    for (std::size_t first = 0; first < cases.size(); first += kAtOnce) {
        std::vector<std::unique_ptr<cRun>> runs;
        for (std::size_t i = first; i < std::min(cases.size(), first + kAtOnce); ++i) {
            const SPECIAL& c = cases[i];
            auto& run = runs.emplace_back(std::make_unique<cRun>(std::to_string(i)));
            if (c.asksMode) std::ofstream(run->game / "System.ini") << "Direct3D=2\nWindowMode=1\nBpp=0\nExit\n";
            SetGameRoot(run->game);
            const fs::path disk = ResolvePath(c.file);
            SetGameRoot(fs::path());
            fs::remove_all(disk);
            c.make(disk);
            run->Start("60:27+,61:27-", c.named ? std::vector<std::string>{disk.string()} : std::vector<std::string>{},
                       c.asksMode ? "TOBRELK_DIALOG_ANSWERS=1" : "");
        }
        for (std::size_t i = 0; i < runs.size(); ++i) {
            const SPECIAL& c = cases[first + i];
            const std::string exit = runs[i]->Wait();
            table += std::string(c.file) + " | " + c.kind + " | exit " + exit + " | " + runs[i]->LinesNaming(c.file) + "\n";
        }
    }
    const fs::path golden = fs::path(TOBRELK_TEST_DATA_DIR) / "app" / "special_files_at_start.txt";
    if (std::getenv("TOBRELK_UPDATE_GOLDENS")) std::ofstream(golden, std::ios::binary) << table;
    std::ifstream in(golden, std::ios::binary);
    EXPECT_EQ(table, std::string(std::istreambuf_iterator<char>(in), {}));
}

// A FIFO where a save goes: the save the player makes there from the map's menu keeps the FIFO
// aside, as it keeps a damaged save, and is written whole.
TEST(SpecialFiles, AFifoAtASaveIsKeptAsideWhenThePlayerSavesThere) {
    if (!fs::exists(fs::path(TOBRELK_DEMO_GAME_DIR) / "data" / "WorldMap.dat")) GTEST_SKIP() << "no demo game";
    cRun run("save");
    const fs::path save = run.game / "user_data" / "story" / "Story02.dat";
    MakeFifo(save);
    // New game in slot 1; on the map, its menu's save into slot 2 (down, decide; up to "save",
    // decide); escape.
    run.Start("50:90+,51:90-,80:90+,81:90-,220:88+,221:88-,260:90+,261:90-,275:40+,276:40-,290:90+,291:90-,"
              "305:38+,306:38-,320:90+,321:90-,360:27+,361:27-");
    EXPECT_EQ(run.Wait(), "0");
    std::ifstream in(run.game / "Report_Game.txt", std::ios::binary);
    const std::string report(std::istreambuf_iterator<char>(in), {});
    for (const char* line : {"user_data\\story\\Story02.dat は通常のファイルではないため読みません（FIFO）",
                             "user_data\\story\\Story02.dat を Story02.dat.damaged として残しました"})
        EXPECT_NE(report.find(line), std::string::npos) << line << "\n" << report;
    struct stat st {};
    ASSERT_EQ(::lstat((save.string() + ".damaged").c_str(), &st), 0);
    EXPECT_TRUE(S_ISFIFO(st.st_mode)) << "the FIFO kept aside";
    SetGameRoot(run.game);
    cPlayRecord saved;
    EXPECT_EQ(LoadStorySlot(saved, 1), 1) << "the new save loads";
    SetGameRoot(fs::path());
}
