// The runtime as a whole, headless: start on a game folder, reach the title menu, move the
// cursor by scripted keys, quit from the menu; a second copy ends the first.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <map>
#include <set>
#include <sstream>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <thread>
#include <fcntl.h>
#include <grp.h>
#include <unistd.h>

#include "app/PlayRecord.h"
#include "app/Ranking.h"
#include "app/StorySave.h"
#include "database/SystemData.h"
#include "platform/system/AtomicFile.h"
#include "platform/system/PathResolver.h"
#include "records/DataFile.h"
#include "records/Stage.h"
#include "tests/records/ActorsStage.h"
#include "tests/support/DemoGameCopy.h"

namespace fs = std::filesystem;

namespace {

class EndToEnd : public ::testing::Test {
protected:
    void SetUp() override {
        game = fs::temp_directory_path() / ("tobrelk_e2e_" + std::to_string(::getpid()) + "_" +
                                            ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(game);
        fs::create_directories(game);
        std::string error;
        ASSERT_TRUE(CopyDemoGame(game, error)) << error;
    }
    void TearDown() override { fs::remove_all(game); }

    // Starts the runtime in the game folder with extra environment entries ("NAME=value"; a
    // bare "NAME" removes the variable).
    pid_t Start(const std::vector<std::string>& env, const std::string& arg = std::string()) {
        return Start(env, arg.empty() ? std::vector<std::string>{} : std::vector<std::string>{arg});
    }
    pid_t Start(const std::vector<std::string>& env, const std::vector<std::string>& args) {
        const pid_t pid = fork();
        if (pid == 0) {
            if (chdir(game.c_str()) != 0) _exit(97);
            if (runAs && (setgroups(0, nullptr) != 0 || setresgid(runAs, runAs, runAs) != 0 || setresuid(runAs, runAs, runAs) != 0))
                _exit(96);
            setenv("SDL_VIDEODRIVER", "dummy", 1);
            setenv("SDL_AUDIODRIVER", "dummy", 1);
            for (const auto& e : env) {
                if (e.find('=') == std::string::npos) unsetenv(e.c_str());
                else putenv(strdup(e.c_str()));
            }
            const int devnull = open("/dev/null", O_WRONLY);
            dup2(devnull, 2);
            std::vector<char*> argv{const_cast<char*>(TOBRELK_EXE)};
            for (const auto& a : args) argv.push_back(const_cast<char*>(a.c_str()));
            argv.push_back(nullptr);
            execv(TOBRELK_EXE, argv.data());
            _exit(98);
        }
        return pid;
    }

    // The exit code, or -1 when it did not end in time (it is then killed). The bound is far
    // beyond any run's length on an idle machine: a sanitizer build on a busy one plays its
    // frames many times slower, and a scripted run ends by its script, not by the clock.
    static int WaitExit(pid_t pid, int seconds = 240) {
        const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(seconds);
        while (std::chrono::steady_clock::now() < until) {
            int status = 0;
            const pid_t r = waitpid(pid, &status, WNOHANG);
            if (r == pid) return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        kill(pid, SIGKILL);
        waitpid(pid, nullptr, 0);
        return -1;
    }

    // Polls until done() holds; false when it did not within the given seconds.
    template <class Done> static bool WaitUntil(Done done, int seconds) {
        const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(seconds);
        while (!done()) {
            if (std::chrono::steady_clock::now() >= until) return false;
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        return true;
    }

    std::string Read(const fs::path& p) {
        std::ifstream in(p, std::ios::binary);
        std::stringstream ss;
        ss << in.rdbuf();
        return ss.str();
    }

    // Pixel (x, y) of a binary PPM as 0xRRGGBB.
    static unsigned Pixel(const std::string& ppm, int x, int y) {
        const std::string header = "P6\n640 480\n255\n";
        if (ppm.compare(0, header.size(), header) != 0) return 0xFFFFFFFFu;
        const std::size_t at = header.size() + (static_cast<std::size_t>(y) * 640 + x) * 3;
        if (at + 3 > ppm.size()) return 0xFFFFFFFFu;
        return (static_cast<unsigned char>(ppm[at]) << 16) | (static_cast<unsigned char>(ppm[at + 1]) << 8) |
               static_cast<unsigned char>(ppm[at + 2]);
    }
    // The frame above the caption line and the frame counter is one colour (the title menu never
    // is).
    static bool Flat(const std::string& ppm) {
        for (int y = 0; y < 440; y += 7)
            for (int x = 0; x < 640; x += 7)
                if (Pixel(ppm, x, y) != Pixel(ppm, 0, 0)) return false;
        return Pixel(ppm, 0, 0) != 0xFFFFFFFFu;
    }
    // The first demo stage is played: its stone wall stands at the left edge of the view before
    // the sky (the title menu shows sky at both places), and the grass of its ground runs across.
    static bool DemoStageShown(const std::string& ppm) {
        return !Flat(ppm) && Pixel(ppm, 16, 200) != Pixel(ppm, 320, 200) && Pixel(ppm, 16, 200) == Pixel(ppm, 16, 264) &&
               Pixel(ppm, 100, 388) == Pixel(ppm, 500, 388);
    }

    fs::path game;
    uid_t runAs = 0; // the user the runtime runs as (0: the tests' own)
};

TEST_F(EndToEnd, TitleMenuCursorAndQuitEndInOrder) {
    const fs::path before = game / "before.ppm";
    const fs::path dump = game / "frame.ppm";
    // The fade-in ends before frame 30. Down at 40 (row 1); frame 46 is dumped; then up twice
    // wraps to the last row (quit), which the decide button takes.
    const pid_t pid = Start({"TOBRELK_INPUT_SCRIPT=40:40+,42:40-,50:38+,52:38-,55:38+,57:38-,62:90+,64:90-",
                             "TOBRELK_FRAME_DUMP=38:" + before.string() + ",46:" + dump.string()});
    ASSERT_GT(pid, 0);
    EXPECT_EQ(WaitExit(pid), 0);

    const std::string first = Read(before);
    const std::string frame = Read(dump);
    ASSERT_FALSE(first.empty()) << "the title menu was never drawn";
    ASSERT_EQ(frame.size(), first.size());
    // The cursor moved from the first row to the second: the frames differ only inside the
    // 32-pixel cursor column of those two rows (the menu starts at y 240), in both rows. The
    // frame counter's row at the bottom changes by itself and is left out.
    int top = 480, bottom = -1, left = 640, right = -1;
    for (int y = 0; y < 460; ++y)
        for (int x = 0; x < 640; ++x)
            if (Pixel(frame, x, y) != Pixel(first, x, y)) {
                top = std::min(top, y);
                bottom = std::max(bottom, y);
                left = std::min(left, x);
                right = std::max(right, x);
            }
    EXPECT_GE(top, 240);
    EXPECT_LT(top, 240 + 32);
    EXPECT_GE(bottom, 240 + 32);
    EXPECT_LT(bottom, 240 + 64);
    EXPECT_LT(right - left, 32);

    const std::string report = Read(game / "Report_Game.txt");
    EXPECT_NE(report.find("App : ver 824"), std::string::npos);
    EXPECT_NE(report.find("\r\nDDInit成功\r\n"), std::string::npos);
    EXPECT_NE(report.find("\r\nMode : Window\r\nBpp : 32\r\nVRAM Total : 0.000MB\r\nVRAM Free : 0.000MB\r\n"),
              std::string::npos)
        << "the display report";

    const std::string window = Read(game / "user_data" / "Window.dat");
    ASSERT_EQ(window.size(), 32u);
    unsigned words[8];
    std::memcpy(words, window.data(), 32);
    EXPECT_EQ(words[0], 824u);
    EXPECT_EQ(words[1], 5u);
    EXPECT_EQ(words[7], 0u);
    EXPECT_EQ(words[4], 640u);
    EXPECT_EQ(words[5], 480u);
}

TEST_F(EndToEnd, EscapeClosesAndAStageOnTheCommandLineThatIsMissingFallsBackToTheTitle) {
    std::ofstream(game / "System.ini") << "FreeStage=data\\stg4\\nothing\nExit\n";
    const fs::path shown = game / "shown.ppm";
    const pid_t pid = Start({"TOBRELK_INPUT_SCRIPT=40:27+,41:27-", "TOBRELK_FRAME_DUMP=35:" + shown.string()});
    ASSERT_GT(pid, 0);
    EXPECT_EQ(WaitExit(pid), 0);
    const std::string report = Read(game / "Report_Game.txt");
    EXPECT_NE(report.find("「data\\stg4\\nothing」の読み込みに失敗しました！ (No such file or directory)\r\n"), std::string::npos)
        << report;
    // The title menu runs, not the play scene.
    const std::string frame = Read(shown);
    ASSERT_FALSE(frame.empty()) << "no frame was drawn";
    EXPECT_FALSE(Flat(frame));
    EXPECT_EQ(Read(game / "user_data" / "Window.dat").size(), 32u);

    // Named on the command line, in full, through a file where a folder should be: the line says
    // so, not what failed before it.
    std::ofstream(game / "System.ini") << "Exit\n";
    std::ofstream(game / "data" / "stg4" / "flat") << "x";
    const pid_t named = Start({"TOBRELK_INPUT_SCRIPT=40:27+,41:27-"}, "data\\stg4\\flat\\nothere.stg4_001");
    ASSERT_GT(named, 0);
    EXPECT_EQ(WaitExit(named), 0);
    EXPECT_NE(Read(game / "Report_Game.txt").find("「data\\stg4\\flat\\nothere.stg4_001」の読み込みに失敗しました！ (Not a directory)\r\n"),
              std::string::npos)
        << Read(game / "Report_Game.txt");
}

// A FreeStage that leads to no stage file starts the title menu with a report line naming the
// value read and why, however it came to be no stage: a System.ini value that a '/' ended (a
// path there is written with '\'), to a folder or to nothing at all, and a folder named in
// System.ini or on the command line. The player is to correct these: a box says so too. Each
// run: its exit, the report's lines that name the stage or the cut, and what its frame shows.
TEST_F(EndToEnd, AFreeStageThatIsAFolderOrCutAtASlashStartsTheTitleWithItsCause) {
    if (!fs::exists(game / "data" / "stg4" / "c01-1.stg4_001")) GTEST_SKIP() << "no demo game";
    const fs::path shown = game / "shown.ppm";
    const struct {
        const char* how;
        const char* ini;
        std::vector<std::string> args;
    } ways[] = {{"cut at '/'", "FreeStage=data/stg4/c01-1.stg4_001\nExit\n", {}},
                {"folder", "FreeStage=data\nExit\n", {}},
                {"command line", "Exit\n", {"data"}},
                {"cut to nothing", "FreeStage=/home/player/game/data/stg4/c01-1.stg4_001\nExit\n", {}}};
    std::string trace;
    for (const auto& way : ways) {
        fs::remove(game / "Report_Game.txt");
        fs::remove(shown);
        std::ofstream(game / "System.ini", std::ios::binary | std::ios::trunc) << way.ini;
        const pid_t pid = Start({"TOBRELK_INPUT_SCRIPT=40:27+,41:27-", "TOBRELK_FRAME_DUMP=35:" + shown.string()}, way.args);
        ASSERT_GT(pid, 0);
        trace += std::string(way.how) + ": exit " + std::to_string(WaitExit(pid)) + "\n";
        std::istringstream report(Read(game / "Report_Game.txt"));
        for (std::string line; std::getline(report, line);)
            if (line.find("「") != std::string::npos || line.rfind("System.ini", 0) == 0)
                trace += "  " + line.substr(0, line.find('\r')) + "\n";
        // The title's sky, settled after its fade-in.
        const std::string frame = Read(shown);
        trace += std::string("  ") + (frame.empty() ? "no frame" : Pixel(frame, 10, 200) == 0x64C8FFu ? "title" : "not the title") + "\n";
    }
    const std::string hint = "System.ini の値は「/」で終わります。パスは「\\」で区切って下さい。";
    EXPECT_EQ(trace, "cut at '/': exit 0\n"
                     "  「data」の読み込みに失敗しました！ (Is a directory) : " + hint + "\n"
                     "  [エラー] 「data」の読み込みに失敗しました！\n"
                     "  " + hint + "\n"
                     "  title\n"
                     "folder: exit 0\n"
                     "  「data」の読み込みに失敗しました！ (Is a directory)\n"
                     "  [エラー] 「data」の読み込みに失敗しました！\n"
                     "  title\n"
                     "command line: exit 0\n"
                     "  「data」の読み込みに失敗しました！ (Is a directory)\n"
                     "  [エラー] 「data」の読み込みに失敗しました！\n"
                     "  title\n"
                     "cut to nothing: exit 0\n"
                     "  「」の読み込みに失敗しました！ (No such file or directory) : " + hint + "\n"
                     "  [エラー] 「」の読み込みに失敗しました！\n"
                     "  " + hint + "\n"
                     "  title\n");
}

// One System.ini value past its limit costs that setting alone: the report names its key, and
// the settings after it are read. Here a FreeStage of 5,000 bytes is followed by ShowFps=2: the
// title menu starts, and its frame differs from the same frame without a counter only where the
// small counter is written (the boxed one, the default, reaches further left and up).
TEST_F(EndToEnd, AnOverlongSystemIniValueCostsItsOwnSettingOnly) {
    const fs::path plain = game / "plain.ppm", counted = game / "counted.ppm";
    const auto run = [&](const std::string& ini, const fs::path& dump) {
        std::ofstream(game / "System.ini", std::ios::binary | std::ios::trunc) << ini;
        const pid_t pid = Start({"TOBRELK_INPUT_SCRIPT=60:27+,61:27-", "TOBRELK_FRAME_DUMP=45:" + dump.string()});
        ASSERT_GT(pid, 0);
        EXPECT_EQ(WaitExit(pid), 0);
    };
    run("ShowFps=0\nExit\n", plain);
    run("FreeStage=" + std::string(5000, 's') + "\nShowFps=2\nExit\n", counted);
    const std::string report = Read(game / "Report_Game.txt");
    EXPECT_NE(report.find("\r\nSystem.ini : FreeStage の値 (5000 バイト) は長すぎるため読みません (4095 バイトまで)\r\n"),
              std::string::npos)
        << report;
    EXPECT_EQ(report.find("System.ini の読み込みに失敗しました"), std::string::npos) << report;
    const std::string without = Read(plain), with = Read(counted);
    ASSERT_FALSE(without.empty());
    ASSERT_FALSE(with.empty());
    EXPECT_EQ(Pixel(with, 10, 200), 0x64C8FFu) << "the title menu";
    int left = 640, top = 480, changed = 0;
    for (int y = 0; y < 480; ++y)
        for (int x = 0; x < 640; ++x)
            if (Pixel(with, x, y) != Pixel(without, x, y)) {
                left = std::min(left, x);
                top = std::min(top, y);
                ++changed;
            }
    EXPECT_GT(changed, 20) << "a counter is written";
    EXPECT_GE(left, 549) << "the small counter's place (the boxed one starts at 494)";
    EXPECT_GE(top, 469);
}

TEST_F(EndToEnd, StageOnTheCommandLineStartsDirectPlayAndFreePlayChoosesAStage) {
    const fs::path stage = game / "data" / "stg4" / "Demo-1.stg4_001";
    if (!fs::exists(stage)) GTEST_SKIP() << "no demo game";
    // Direct start: the stage's name without its number; the play scene comes first.
    const fs::path play = game / "play.ppm";
    pid_t pid = Start({"TOBRELK_INPUT_SCRIPT=60:27+", "TOBRELK_FRAME_DUMP=40:" + play.string()},
                      (game / "data" / "stg4" / "Demo-1").string());
    ASSERT_GT(pid, 0);
    EXPECT_EQ(WaitExit(pid), 0);
    const std::string direct = Read(play);
    ASSERT_FALSE(direct.empty());
    EXPECT_TRUE(DemoStageShown(direct)) << "the play scene runs";

    // From the title: free play (the fourth entry), the stage dialog answered by script.
    fs::remove(play);
    pid = Start({"TOBRELK_INPUT_SCRIPT=40:38+,41:38-,43:38+,44:38-,46:38+,47:38-,49:38+,50:38-,52:90+,53:90-,130:27+",
                 "TOBRELK_DIALOG_ANSWERS=1:data\\stg4\\Demo-1.stg4_001", "TOBRELK_FRAME_DUMP=120:" + play.string()});
    ASSERT_GT(pid, 0);
    EXPECT_EQ(WaitExit(pid), 0);
    const std::string free = Read(play);
    ASSERT_FALSE(free.empty());
    EXPECT_TRUE(DemoStageShown(free));
}

// Counts the pixels of a rectangle that are not the colour of its top-left corner.
struct TEXTCHECK {
    int ink = 0;
};

TEXTCHECK InkIn(const std::string& ppm, int x0, int y0, int w, int h, unsigned (*pixel)(const std::string&, int, int)) {
    TEXTCHECK c;
    const unsigned back = pixel(ppm, x0, y0);
    for (int y = y0; y < y0 + h; ++y)
        for (int x = x0; x < x0 + w; ++x) c.ink += pixel(ppm, x, y) != back;
    return c;
}

TEST_F(EndToEnd, NewGameChoosesASlotAndReachesTheWorldMap) {
    if (!fs::exists(game / "data" / "WorldMap.dat")) GTEST_SKIP() << "no demo game";
    const fs::path title = game / "title.ppm";
    const fs::path slots = game / "slots.ppm";
    const fs::path map = game / "map.ppm";
    // New game is preselected: decide at 50 opens the slot list, decide at 80 takes slot 1.
    const pid_t pid = Start({"TOBRELK_INPUT_SCRIPT=50:90+,51:90-,80:90+,81:90-,210:27+,211:27-",
                             "TOBRELK_FRAME_DUMP=45:" + title.string() + ",70:" + slots.string() + ",200:" + map.string()});
    ASSERT_GT(pid, 0);
    EXPECT_EQ(WaitExit(pid), 0);
    const std::string t = Read(title), s = Read(slots), m = Read(map);
    ASSERT_FALSE(t.empty());
    ASSERT_FALSE(s.empty()) << "the slot list was never drawn";
    ASSERT_FALSE(m.empty()) << "the world map was never drawn";

    // The slot list shows its slot numbers in the game's font: "1" in the first row, "10" in
    // the last, at x 176 on rows 16 pixels high from y 160.
    for (int row : {0, 9}) {
        const TEXTCHECK c = InkIn(s, 176, 160 + 16 * row + 1, 32, 14, Pixel);
        EXPECT_GT(c.ink, 8) << "row " << row;
    }
    // The world map: its lives box framed at the top right in the palette's frame colour (the
    // demo has unlimited lives: one character wide plus the life icon), and a view that is
    // not the title picture.
    EXPECT_EQ(Pixel(m, 588, 16), 0x101860u);
    EXPECT_EQ(Pixel(m, 621, 37), 0x101860u);
    EXPECT_GT(InkIn(m, 605, 19, 16, 16, Pixel).ink, 4) << "the lives text";
    int differ = 0, lit = 0;
    for (int y = 0; y < 460; y += 4)
        for (int x = 0; x < 640; x += 4) {
            differ += Pixel(m, x, y) != Pixel(t, x, y);
            lit += Pixel(m, x, y) != 0;
        }
    EXPECT_GT(differ, 115 * 160 / 2);
    EXPECT_GT(lit, 115 * 160 / 2) << "the map's cells are drawn, not a black screen";
    // Nothing is saved before a stage has been played.
    EXPECT_FALSE(fs::exists(game / "user_data" / "story" / "Story01.dat"));
}

// A held key from one poll to another, as the input script writes it.
std::string Hold(int key, int from, int to) {
    return std::to_string(from) + ":" + std::to_string(key) + "+," + std::to_string(to) + ":" + std::to_string(key) + "-";
}

TEST_F(EndToEnd, NewGamePlaysTheFirstStageAndReturnsToTheMapWithItCleared) {
    if (!fs::exists(game / "data" / "WorldMap.dat")) GTEST_SKIP() << "no demo game";
    const fs::path playing = game / "playing.ppm";
    const fs::path result = game / "result.ppm";
    const fs::path map = game / "map.ppm";
    // New game, slot 1; on the map right twice and up to the first stage, decide to play it;
    // right held walks the hero past the coins to the goal (the switch on the way opens the
    // wall); decide at the result goes back to the map; escape there ends the program.
    const std::string script = Hold(90, 50, 51) + "," + Hold(90, 80, 81) + "," + Hold(39, 200, 202) + "," +
                               Hold(39, 215, 217) + "," + Hold(38, 270, 271) + "," + Hold(90, 280, 281) + "," +
                               Hold(39, 400, 1300) + "," + Hold(90, 1400, 1401) + "," + Hold(27, 1700, 1701);
    const pid_t pid = Start({"TOBRELK_INPUT_SCRIPT=" + script, "TOBRELK_FRAME_DUMP=500:" + playing.string() + ",1200:" +
                                                                   result.string() + ",1395:" + map.string()});
    ASSERT_GT(pid, 0);
    EXPECT_EQ(WaitExit(pid), 0);
    const std::string p = Read(playing), r = Read(result), m = Read(map);
    ASSERT_FALSE(p.empty()) << "the stage was never played";
    ASSERT_FALSE(r.empty());
    ASSERT_FALSE(m.empty()) << "the map never came back";
    // The status bar across the top and the grass of the ground under the sky.
    EXPECT_FALSE(Flat(p));
    EXPECT_EQ(Pixel(p, 100, 388), Pixel(p, 500, 388));
    EXPECT_NE(Pixel(p, 100, 388), Pixel(p, 100, 300));
    // The result: the clear banner's letters and the result table's dark box.
    EXPECT_GT(InkIn(r, 256, 192, 128, 32, Pixel).ink, 200) << "the clear banner";
    EXPECT_GT(InkIn(r, 340, 228, 120, 60, Pixel).ink, 100) << "the result table";

    // The auto-save of slot 1 holds the clear switch, the stage's best and the carried score.
    SetGameRoot(game);
    cPlayRecord saved;
    ASSERT_EQ(LoadStorySlot(saved, 0), 1) << "no auto-save after the clear";
    ASSERT_GE(saved.vSwitch.Size(), 2);
    EXPECT_EQ(saved.vSwitch[1], 1u) << "the first stage is marked cleared";
    ASSERT_EQ(saved.vStageBest.Size(), 1);
    EXPECT_EQ(saved.vStageBest[0].nBest, 200u) << "two coins of 100";
    EXPECT_EQ(saved.nTotalScore, 200u) << "the score carried onto the map";
    SetGameRoot(fs::path());
    // The map shows the stage's best under its name.
    EXPECT_GT(InkIn(m, 250, 200, 110, 16, Pixel).ink, 30);
}

TEST_F(EndToEnd, AChallengeRunEndsWithItsRankingFileWritten) {
    if (!fs::exists(game / "data" / "stg4" / "c01-1.stg4_001")) GTEST_SKIP() << "no demo challenge stages";
    // Challenge (third entry), the first stage; right held to the goal; F3 at the result
    // enters the name the dialog answers; decide leaves the ranking and then the result.
    const std::string script = Hold(40, 40, 41) + "," + Hold(40, 43, 44) + "," + Hold(90, 50, 51) + "," +
                               Hold(90, 150, 151) + "," + Hold(39, 300, 900) + "," + Hold(114, 1000, 1001) + "," +
                               Hold(90, 1100, 1101) + "," + Hold(90, 1300, 1301) + "," + Hold(27, 1500, 1501);
    const pid_t pid = Start({"TOBRELK_INPUT_SCRIPT=" + script, "TOBRELK_DIALOG_ANSWERS=1:ABC"});
    ASSERT_GT(pid, 0);
    EXPECT_EQ(WaitExit(pid), 0);
    ASSERT_TRUE(fs::exists(game / "user_data" / "challenge" / "c01.rkg")) << Read(game / "Report_Game.txt");
    SetGameRoot(game);
    cRankingFile ranking;
    ASSERT_EQ(LoadUserFile(ranking, "user_data\\challenge\\c01.rkg"), LoadResult::Loaded);
    ASSERT_EQ(ranking.vTable.Size(), kRankTables);
    // Every table got the one result under the entered name, but the time left: the stage runs
    // against no time limit.
    for (int k = 0; k < kRankTables; ++k) {
        if (k == 1) {
            EXPECT_EQ(ranking.vTable[k].vEntry[0].bUsed, 0u) << "no time left to rank";
            continue;
        }
        EXPECT_EQ(ranking.vTable[k].vEntry[0].bUsed, 1u) << "table " << k;
        EXPECT_EQ(ranking.vTable[k].vEntry[0].strName, "ABC") << "table " << k;
        EXPECT_EQ(ranking.vTable[k].vEntry[1].bUsed, 0u) << "filed once, table " << k;
    }
    cPlayRecord challenge;
    ASSERT_EQ(LoadChallenge(challenge), 1);
    ASSERT_GE(challenge.vChallenge.Size(), 1);
    EXPECT_EQ(challenge.vChallenge[0].nValue1, 1u) << "the first challenge stage is cleared";
    SetGameRoot(fs::path());
}

TEST_F(EndToEnd, ADirectStartPlaysItsStageAgainAfterItsEnd) {
    const fs::path stage = game / "data" / "stg4" / "Demo-1.stg4_001";
    if (!fs::exists(stage)) GTEST_SKIP() << "no demo game";
    const fs::path cleared = game / "cleared.ppm";
    const fs::path again = game / "again.ppm";
    // Right held walks the hero to the goal; decide at the result starts the stage over.
    const std::string script = Hold(39, 60, 700) + "," + Hold(90, 800, 801) + "," + Hold(27, 1000, 1001);
    const pid_t pid = Start({"TOBRELK_INPUT_SCRIPT=" + script,
                             "TOBRELK_FRAME_DUMP=750:" + cleared.string() + ",900:" + again.string()},
                            (game / "data" / "stg4" / "Demo-1").string());
    ASSERT_GT(pid, 0);
    EXPECT_EQ(WaitExit(pid), 0);
    const std::string c = Read(cleared), a = Read(again);
    ASSERT_FALSE(c.empty());
    ASSERT_FALSE(a.empty()) << "the program ended instead of starting the stage again";
    // At the clear the view stands at the stage's right end (sky at the left edge, where the
    // left end has its wall; the banner is not probed); the stage started again shows its left
    // end.
    EXPECT_EQ(Pixel(c, 16, 200), Pixel(c, 320, 120));
    EXPECT_GT(InkIn(c, 256, 192, 128, 32, Pixel).ink, 200) << "the clear banner";
    EXPECT_TRUE(DemoStageShown(a));
}

TEST_F(EndToEnd, OptionsChangeMusicAndVolumeAndSaveOptionDat) {
    if (!fs::exists(game / "data" / "System.dat")) GTEST_SKIP() << "no demo game";
    const fs::path shown = game / "options.ppm";
    // Up twice wraps to the options entry; the demo shows rows for entries 1 to 5 (the blend
    // table is off). Row 0 (music) down to OFF, row 1 (volume) down one step, then cancel
    // leaves, applies the music switch and saves.
    const pid_t pid = Start({"TOBRELK_INPUT_SCRIPT=40:38+,41:38-,43:38+,44:38-,50:90+,51:90-,"
                             "134:90+,135:90-,138:40+,139:40-,142:90+,143:90-,146:40+,147:40-,150:90+,151:90-,"
                             "154:40+,155:40-,158:90+,159:90-,170:88+,171:88-,260:27+,261:27-",
                             "TOBRELK_FRAME_DUMP=165:" + shown.string()});
    ASSERT_GT(pid, 0);
    EXPECT_EQ(WaitExit(pid), 0);
    const std::string option = Read(game / "user_data" / "Option.dat");
    ASSERT_GE(option.size(), 24u);
    unsigned words[6];
    std::memcpy(words, option.data(), 24);
    EXPECT_EQ(words[0], 824u);
    EXPECT_EQ(words[1], 4u);
    EXPECT_EQ(words[3], 0u) << "music off";
    EXPECT_EQ(words[4], 6u) << "volume one step down from 7";

    // The options are written in the game's font: the heading (32 dots, centred at y 32) and
    // the five rows' labels and values from (64, 96).
    const std::string frame = Read(shown);
    ASSERT_FALSE(frame.empty());
    const TEXTCHECK heading = InkIn(frame, 240, 32, 160, 32, Pixel);
    EXPECT_GT(heading.ink, 40);
    for (int row = 0; row < 5; ++row) {
        const TEXTCHECK label = InkIn(frame, 64, 96 + 16 * row, 120, 16, Pixel);
        EXPECT_GT(label.ink, 8) << "row " << row;
    }
    EXPECT_GT(InkIn(frame, 208, 96 + 16 * 1, 32, 16, Pixel).ink, 8) << "the volume's value";
    // The ranking name (row 3) is drawn as the letters typed, in the text colour: not as the
    // menu font's yellow icons, which the demo does not switch on.
    int nameWhite = 0, nameYellow = 0;
    for (int y = 96 + 16 * 3; y < 96 + 16 * 4; ++y)
        for (int x = 208; x < 256; ++x) {
            const unsigned p = Pixel(frame, x, y);
            nameWhite += p == 0xFFFFFFu;
            nameYellow += (p >> 16) >= 0xC0 && ((p >> 8) & 0xFF) >= 0x80 && (p & 0xFF) < 0x60;
        }
    EXPECT_GT(nameWhite, 8);
    EXPECT_EQ(nameYellow, 0) << "icons instead of the name's letters";
    // Texts take their colour from the game's palette (the demo's text entry is white).
    int white = 0;
    for (int y = 32; y < 64; ++y)
        for (int x = 240; x < 400; ++x) white += Pixel(frame, x, y) == 0xFFFFFFu;
    EXPECT_GT(white, 40) << "the heading in the palette's text colour";
}

// A scene-music list too short for the scenes that ask for it (the options' row, the fourth,
// missing) is a bad index, as a sound number past the sound list is: the report says so and the
// program closes in order by itself, long before the script's Escape.
TEST_F(EndToEnd, ASceneMusicListTooShortForTheOptionsIsReportedAndCloses) {
    if (!fs::exists(game / "data" / "System.dat")) GTEST_SKIP() << "no demo game";
    const fs::path root = GetGameRoot();
    SetGameRoot(game);
    cSystemData sys;
    const int loaded = LoadFromFile(sys, "data\\System.dat");
    sys.vSceneBgm.resize(3);
    const int saved = loaded ? SaveToFile(sys, "data\\System.dat") : 0;
    SetGameRoot(root);
    ASSERT_EQ(loaded, 1);
    ASSERT_EQ(saved, 1);
    const fs::path late = game / "late.ppm";
    // Up twice wraps to the options entry.
    const pid_t pid = Start({"TOBRELK_INPUT_SCRIPT=40:38+,41:38-,43:38+,44:38-,50:90+,51:90-,400:27+,401:27-",
                             "TOBRELK_FRAME_DUMP=300:" + late.string()});
    ASSERT_GT(pid, 0);
    EXPECT_EQ(WaitExit(pid), 0);
    const std::string report = Read(game / "Report_Game.txt");
    EXPECT_NE(report.find("\r\nerr V[3] ( 3 , 4 )\r\n"), std::string::npos) << report;
    EXPECT_FALSE(fs::exists(late)) << "the program played on";
}

// The scene music's play flags too short for the options' row, and a scene-music list left
// empty, which the title menu asks first: each read is a bad index of its own list, reported with
// that list's length and element size, and the program closes in order by itself.
TEST_F(EndToEnd, SceneMusicFlagsPastTheirListAndAnEmptyMusicListAreReportedAndClose) {
    if (!fs::exists(game / "data" / "System.dat")) GTEST_SKIP() << "no demo game";
    const std::string intact = Read(game / "data" / "System.dat");
    struct DAMAGE {
        const char* name;
        void (*apply)(cSystemData&);
        const char* line;
    };
    const DAMAGE damages[] = {
        {"flags short", [](cSystemData& s) { s.vSceneBgmFlag.resize(3); }, "\r\nerr V[3] ( 3 , 1 )\r\n"},
        {"music list empty", [](cSystemData& s) { s.vSceneBgm.clear(); }, "\r\nerr V[0] ( 0 , 4 )\r\n"},
    };
    for (const DAMAGE& d : damages) {
        std::ofstream(game / "data" / "System.dat", std::ios::binary | std::ios::trunc) << intact;
        const fs::path root = GetGameRoot();
        SetGameRoot(game);
        cSystemData sys;
        const int loaded = LoadFromFile(sys, "data\\System.dat");
        d.apply(sys);
        const int saved = loaded ? SaveToFile(sys, "data\\System.dat") : 0;
        SetGameRoot(root);
        ASSERT_EQ(loaded, 1) << d.name;
        ASSERT_EQ(saved, 1) << d.name;
        const fs::path late = game / "late.ppm";
        fs::remove(late);
        // Up twice wraps to the options entry.
        const pid_t pid = Start({"TOBRELK_INPUT_SCRIPT=40:38+,41:38-,43:38+,44:38-,50:90+,51:90-,400:27+,401:27-",
                                 "TOBRELK_FRAME_DUMP=300:" + late.string()});
        ASSERT_GT(pid, 0);
        EXPECT_EQ(WaitExit(pid), 0) << d.name;
        const std::string report = Read(game / "Report_Game.txt");
        EXPECT_NE(report.find(d.line), std::string::npos) << d.name << "\n" << report;
        EXPECT_FALSE(fs::exists(late)) << d.name << ": the program played on";
    }
}

TEST_F(EndToEnd, PaletteModeShowsTheTitleMenuAndOptionsTexts) {
    if (!fs::exists(game / "data" / "System.dat")) GTEST_SKIP() << "no demo game";
    // The 8-bit palette mode runs full screen and refuses a game with a transparent colour of
    // its own, so the demo's switch is turned off for it; its title menu becomes the text one.
    const fs::path root = GetGameRoot();
    SetGameRoot(game);
    cSystemData sys;
    const int loaded = LoadFromFile(sys, "data\\System.dat");
    sys.bTransColor = 0;
    sys.bSwitch157 = 0;
    const int saved = loaded ? SaveToFile(sys, "data\\System.dat") : 0;
    SetGameRoot(root);
    ASSERT_EQ(loaded, 1);
    ASSERT_EQ(saved, 1);
    {
        std::ofstream ini(game / "System.ini", std::ios::binary | std::ios::trunc);
        ini << "Direct3D=0\r\nWindowMode=0\r\nBpp=8\r\nVSync=0\r\nShowFps=2\r\nExit\r\n";
    }
    const fs::path title = game / "title.ppm";
    const fs::path shown = game / "options.ppm";
    // Up twice wraps to the options entry; the frame is dumped there, then Escape closes.
    const pid_t pid = Start({"TOBRELK_INPUT_SCRIPT=40:38+,41:38-,43:38+,44:38-,50:90+,51:90-,170:27+,171:27-",
                             "TOBRELK_FRAME_DUMP=38:" + title.string() + ",165:" + shown.string()});
    ASSERT_GT(pid, 0);
    EXPECT_EQ(WaitExit(pid), 0);
    const std::string report = Read(game / "Report_Game.txt");
    EXPECT_NE(report.find("\r\nBpp : 8\r\n"), std::string::npos) << "the palette mode ran";

    // The title menu's entries in the 32-dot font, one row each from (224, 240), not bars.
    const std::string menu = Read(title);
    ASSERT_FALSE(menu.empty()) << "the title menu was never drawn";
    for (int row = 0; row < 7; ++row) {
        const TEXTCHECK entry = InkIn(menu, 226, 242 + 32 * row, 156, 28, Pixel);
        EXPECT_GT(entry.ink, 40) << "entry " << row;
    }

    const std::string frame = Read(shown);
    ASSERT_FALSE(frame.empty()) << "the options were never drawn";
    const TEXTCHECK heading = InkIn(frame, 240, 32, 160, 32, Pixel);
    EXPECT_GT(heading.ink, 40);
    for (int row = 0; row < 5; ++row) {
        const TEXTCHECK label = InkIn(frame, 64, 96 + 16 * row, 120, 16, Pixel);
        EXPECT_GT(label.ink, 8) << "row " << row;
    }
    // The glyphs' palette index shows as the palette's colour (the demo's text entry is white),
    // and the frame counter (ShowFps 2) is written at the bottom right.
    int white = 0;
    for (int y = 32; y < 64; ++y)
        for (int x = 240; x < 400; ++x) white += Pixel(frame, x, y) == 0xFFFFFFu;
    EXPECT_GT(white, 40) << "the heading in the palette's text colour";
    EXPECT_GT(InkIn(frame, 549, 469, 60, 9, Pixel).ink, 8) << "the frame counter";
}

// The front end in each drawing mode, through the one renderer: the title's fade-in (darker
// than the settled title, not black), the world map (the map's back colour beyond its left
// edge), the options; in the palette mode the title's cycling colours change by themselves.
struct DRAWMODE {
    const char* name;
    const char* ini;
    bool palette;
    int greenMax = 0; // 16 bits: the green channel's steps (31 or 63); 0: 8-bit channels
};
// Printed by its name: the test's name in CTest stays the same from one build to the next
// (printed as raw bytes it carried the strings' addresses).
void PrintTo(const DRAWMODE& m, std::ostream* os) { *os << m.name; }

// A colour as the mode's screen holds it: at 16 bits each channel reduced to its steps.
unsigned Held(unsigned rgb, const DRAWMODE& m) {
    if (!m.greenMax) return rgb;
    unsigned out = 0;
    for (int lane = 0; lane < 3; ++lane) {
        const unsigned max = lane == 1 ? static_cast<unsigned>(m.greenMax) : 31u, c = (rgb >> (8 * lane)) & 255;
        out |= (c * max / 255 * 255 / max) << (8 * lane);
    }
    return out;
}

class EndToEndModes : public EndToEnd, public ::testing::WithParamInterface<DRAWMODE> {};

TEST_P(EndToEndModes, TitleFadeWorldMapAndOptions) {
    if (!fs::exists(game / "data" / "WorldMap.dat")) GTEST_SKIP() << "no demo game";
    const DRAWMODE mode = GetParam();
    const fs::path root = GetGameRoot();
    SetGameRoot(game);
    cSystemData sys;
    ASSERT_EQ(LoadFromFile(sys, "data\\System.dat"), 1);
    // The palette mode refuses a game with a transparent colour of its own; the cycling of the
    // palette is the system data's switch.
    sys.bTransColor = 0;
    sys.bCompat289 = 1;
    ASSERT_EQ(SaveToFile(sys, "data\\System.dat"), 1);
    SetGameRoot(root);
    std::ofstream(game / "System.ini", std::ios::binary | std::ios::trunc) << mode.ini << "ShowFps=0\r\nExit\r\n";
    std::map<int, fs::path> dumps;
    std::string spec;
    for (int f : {3, 40, 46, 200}) {
        dumps[f] = game / ("f" + std::to_string(f) + ".ppm");
        spec += (spec.empty() ? "" : ",") + std::to_string(f) + ":" + dumps[f].string();
    }
    // Title (fade-in from frame 1), new game into slot 1, the map; Escape at the map's menu
    // would need more: the options come from a second run.
    const pid_t pid = Start({"TOBRELK_INPUT_SCRIPT=50:90+,51:90-,80:90+,81:90-,210:27+,211:27-", "TOBRELK_FRAME_DUMP=" + spec});
    ASSERT_GT(pid, 0);
    EXPECT_EQ(WaitExit(pid), 0);
    const std::string fading = Read(dumps[3]), title = Read(dumps[40]), later = Read(dumps[46]), map = Read(dumps[200]);
    ASSERT_FALSE(fading.empty());
    ASSERT_FALSE(title.empty());
    ASSERT_FALSE(map.empty());
    // The sky of the title picture, at its fade's third frame and settled.
    const unsigned sky = Held(0x64C8FFu, mode);
    EXPECT_EQ(Pixel(title, 10, 200), sky);
    const unsigned dim = Pixel(fading, 10, 200);
    EXPECT_NE(dim, sky);
    EXPECT_NE(dim, 0u);
    EXPECT_LT(dim & 0xFF, sky & 0xFF);
    // The sparkles in the colours 208..239: still in the 32-bit modes, turning in the palette
    // mode, where nothing else changes.
    int sparkles = 0, elsewhere = 0;
    for (int y = 0; y < 480; ++y)
        for (int x = 0; x < 640; ++x) {
            if (Pixel(title, x, y) == Pixel(later, x, y)) continue;
            if (y >= 40 && y < 58 && x >= 16 && x < 16 + 32 * 19) ++sparkles;
            else ++elsewhere;
        }
    if (mode.palette) EXPECT_GT(sparkles, 36) << "the cycling colours turn";
    else EXPECT_EQ(sparkles, 0);
    // The cursor's place is the only other change between the two frames: none here.
    EXPECT_EQ(elsewhere, 0);
    // The world map: the view starts left of the map, which shows the map's back colour (the
    // demo's blue) there, and the map's cells beyond.
    EXPECT_EQ(Pixel(map, 8, 100), Held(0x325AD2u, mode));
    EXPECT_NE(Pixel(map, 300, 100), Held(0x325AD2u, mode));

    // The options, in a second run: up twice to the options entry.
    fs::remove(game / "user_data" / "Option.dat");
    const fs::path options = game / "options.ppm";
    const pid_t second = Start({"TOBRELK_INPUT_SCRIPT=40:38+,41:38-,43:38+,44:38-,50:90+,51:90-,170:27+,171:27-",
                                "TOBRELK_FRAME_DUMP=165:" + options.string()});
    ASSERT_GT(second, 0);
    EXPECT_EQ(WaitExit(second), 0);
    const std::string shown = Read(options);
    ASSERT_FALSE(shown.empty());
    EXPECT_GT(InkIn(shown, 240, 32, 160, 32, Pixel).ink, 40) << "the heading";
    for (int row = 0; row < 5; ++row) EXPECT_GT(InkIn(shown, 64, 96 + 16 * row, 120, 16, Pixel).ink, 8) << row;
    const std::string report = Read(game / "Report_Game.txt");
    EXPECT_EQ(report.find("LoadImage Err"), std::string::npos) << report;
}

INSTANTIATE_TEST_SUITE_P(
    Modes, EndToEndModes,
    ::testing::Values(DRAWMODE{"Direct3D32", "Direct3D=1\r\nWindowMode=1\r\nBpp=32\r\nVSync=0\r\n", false},
                      DRAWMODE{"DirectDraw32", "Direct3D=0\r\nWindowMode=1\r\nBpp=32\r\nVSync=0\r\n", false},
                      DRAWMODE{"DirectDraw8", "Direct3D=0\r\nWindowMode=0\r\nBpp=8\r\nVSync=0\r\n", true},
                      DRAWMODE{"Direct3D16", "Direct3D=1\r\nWindowMode=0\r\nBpp=16\r\nVSync=0\r\n", false, 31},
                      DRAWMODE{"DirectDraw16", "Direct3D=0\r\nWindowMode=0\r\nBpp=16\r\nVSync=0\r\n", false, 63}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(EndToEnd, ChallengeChoiceListsTheDemoGamesStages) {
    if (!fs::exists(game / "data" / "stg4" / "c03-1.stg4_001")) GTEST_SKIP() << "no demo challenge stages";
    const fs::path shown = game / "challenge.ppm";
    const pid_t pid = Start({"TOBRELK_INPUT_SCRIPT=40:40+,41:40-,43:40+,44:40-,50:90+,51:90-,160:27+,161:27-",
                             "TOBRELK_FRAME_DUMP=150:" + shown.string()});
    ASSERT_GT(pid, 0);
    EXPECT_EQ(WaitExit(pid), 0);
    const std::string frame = Read(shown);
    ASSERT_FALSE(frame.empty());
    // One 32-dot row per stage from y 160: the demo's three, and nothing below them.
    for (int row = 0; row < 4; ++row) {
        const TEXTCHECK c = InkIn(frame, 64, 160 + 32 * row, 160, 32, Pixel);
        if (row < 3) EXPECT_GT(c.ink, 40) << "row " << row;
        else EXPECT_EQ(c.ink, 0);
    }
}

TEST_F(EndToEnd, MissingOrDamagedWorldDataIsReportedOnce) {
    if (!fs::exists(game / "data" / "WorldMap.dat")) GTEST_SKIP() << "no demo game";
    auto boxes = [](const std::string& report, const std::string& text) {
        int n = 0;
        for (std::size_t at = report.find("] " + text); at != std::string::npos; at = report.find("] " + text, at + 1)) ++n;
        return n;
    };
    fs::remove(game / "data" / "WorldMap.dat");
    pid_t pid = Start({});
    ASSERT_GT(pid, 0);
    EXPECT_EQ(WaitExit(pid), 1) << "a start that fails ends with an error code";
    std::string report = Read(game / "Report_Game.txt");
    EXPECT_EQ(boxes(report, "data\\WorldMap.dat のロードに失敗！"), 1) << report;

    // The demo again, with its common palette cut short.
    std::string error;
    ASSERT_TRUE(CopyDemoGame(game, error)) << error;
    fs::resize_file(game / "data" / "CommonPalette.cplt4", 100);
    fs::remove(game / "Report_Game.txt");
    pid = Start({});
    ASSERT_GT(pid, 0);
    EXPECT_EQ(WaitExit(pid), 1);
    report = Read(game / "Report_Game.txt");
    EXPECT_EQ(boxes(report, "data\\CommonPalette.cplt4 のロードに失敗！"), 1) << report;
}

TEST_F(EndToEnd, DamagedSettingsAndStrayTemporariesDoNotStopTheStart) {
    if (!fs::exists(game / "data" / "System.dat")) GTEST_SKIP() << "no demo game";
    const fs::path user = game / "user_data";
    fs::create_directories(user / "story");
    // Asked for the drawing mode (Direct3D=2), so that Boot.dat is read too.
    std::ofstream(game / "System.ini") << "Direct3D=2\nWindowMode=1\nBpp=0\nExit\n";
    std::ofstream(user / "Option.dat", std::ios::binary) << std::string("\x38\x03\x00\x00\xFF\xFF\xFF\x7F", 8);
    std::ofstream(user / "Window.dat", std::ios::binary) << std::string("\x38\x03", 2);
    std::ofstream(user / "Boot.dat", std::ios::binary) << "";
    fs::create_directory(user / "KeyConfig.dat");
    // A save cut short by a kill: its writer (no such process) is gone. A temporary of a
    // process that runs (this test) is another program's business and stays.
    std::ofstream(user / "story" / "Story01.dat.tmp999999999") << "half";
    const std::string live = "Option.dat.tmp" + std::to_string(::getpid());
    std::ofstream(user / live) << "busy";
    const fs::path shown = game / "title.ppm";
    const pid_t pid = Start({"TOBRELK_DIALOG_ANSWERS=1", "TOBRELK_INPUT_SCRIPT=60:27+,61:27-",
                             "TOBRELK_FRAME_DUMP=45:" + shown.string()});
    ASSERT_GT(pid, 0);
    EXPECT_EQ(WaitExit(pid), 0);
    EXPECT_FALSE(Read(shown).empty()) << "the title menu was never drawn";
    const std::string report = Read(game / "Report_Game.txt");
    for (const char* line : {"user_data\\Option.dat が破損しています！", "user_data\\Window.dat が破損しています！",
                             "user_data\\Boot.dat が破損しています！", "user_data\\KeyConfig.dat の読み込みに失敗しました！",
                             "Story01.dat.tmp999999999 を削除しました"})
        EXPECT_NE(report.find(line), std::string::npos) << line << "\n" << report;
    EXPECT_FALSE(fs::exists(user / "story" / "Story01.dat.tmp999999999"));
    EXPECT_TRUE(fs::exists(user / live));
}

// A stage whose file name is as long as the system takes (255 bytes) is cleared and its ranking
// entered and saved, though the temporary beside the ranking must be cut to fit; temporaries of
// such names that a kill left behind (ASCII and UTF-8, cut at a character's start) are removed at
// the start like any other.
TEST_F(EndToEnd, ALongStageNamesRankingIsSavedAndItsCutTemporariesAreCleaned) {
    const fs::path demo = game / "data" / "stg4" / "Demo-1.stg4_001";
    if (!fs::exists(demo)) GTEST_SKIP() << "no demo game";
    const std::string stem(246, 'a');
    fs::copy_file(demo, game / "data" / "stg4" / (stem + ".stg4_001"));
    const fs::path free = game / "user_data" / "free";
    fs::create_directories(free);
    std::string wide = "b";
    while (wide.size() + 3 + 4 <= 255) wide += "あ";
    const std::vector<std::string> strays = {TemporaryName(stem + ".rkg", 999999999),
                                             TemporaryName(wide + ".rkg", 999999999)};
    for (const std::string& stray : strays) std::ofstream(free / stray) << "half";
    // Right held to the goal; F3 at the result enters the name the dialog answers; decide
    // leaves the ranking and then the result.
    const std::string script = Hold(39, 60, 700) + "," + Hold(114, 760, 761) + "," + Hold(90, 860, 861) + "," +
                               Hold(90, 960, 961) + "," + Hold(27, 1100, 1101);
    // Named from the game folder: a whole path of this length would pass the command line's limit.
    const pid_t pid = Start({"TOBRELK_INPUT_SCRIPT=" + script, "TOBRELK_DIALOG_ANSWERS=1:ABC"}, "data/stg4/" + stem);
    ASSERT_GT(pid, 0);
    EXPECT_EQ(WaitExit(pid), 0);
    const std::string report = Read(game / "Report_Game.txt");
    for (const std::string& stray : strays) {
        EXPECT_FALSE(fs::exists(free / stray)) << stray;
        EXPECT_NE(report.find(stray + " を削除しました"), std::string::npos) << stray << "\n" << report;
    }
    EXPECT_EQ(report.find("the ranking was not saved"), std::string::npos) << report;
    SetGameRoot(game);
    cRankingFile ranking;
    const LoadResult loaded = LoadUserFile(ranking, "user_data\\free\\" + stem + ".rkg");
    SetGameRoot(fs::path());
    ASSERT_EQ(loaded, LoadResult::Loaded) << report;
    EXPECT_EQ(ranking.vTable[0].vEntry[0].bUsed, 1u);
    EXPECT_EQ(ranking.vTable[0].vEntry[0].strName, "ABC");
    for (const auto& e : fs::directory_iterator(free))
        EXPECT_EQ(e.path().filename().string(), stem + ".rkg") << "nothing else is left beside it";
}

// A stage whose name is as long as the system takes (255 bytes), in a game folder 200 bytes deep,
// opens every way a player names it: in full on the command line (an absolute path of 465 bytes),
// by its name without the number (the highest that exists), as System.ini's FreeStage, and
// chosen in the stage choice. A name longer than the system takes is refused with its cause,
// and the title menu starts.
TEST_F(EndToEnd, AStageNamedUpToTheSystemsLimitOpensFromADeepFolderEveryWay) {
    if (!fs::exists(game / "data" / "stg4" / "Demo-1.stg4_001")) GTEST_SKIP() << "no demo game";
    const fs::path top = game;
    struct Back {
        fs::path& game;
        fs::path top;
        ~Back() { game = top; }
    } back{game, top};
    fs::path deep = top;
    while (deep.string().size() < 195) deep /= std::string(std::min<std::size_t>(60, 195 - deep.string().size()), 'd');
    deep /= "game";
    std::string error;
    ASSERT_TRUE(CopyDemoGame(deep, error)) << error;
    game = deep;
    ASSERT_GE(game.string().size(), 200u);
    const std::string stem(246, 'a');
    fs::copy_file(game / "data" / "stg4" / "Demo-1.stg4_001", game / "data" / "stg4" / (stem + ".stg4_001"));
    std::ofstream(game / "data" / "stg4" / (stem + ".stg4_000")) << "not a stage";
    const fs::path shown = game / "shown.ppm";
    auto plays = [&](const char* way, const std::vector<std::string>& env, const std::string& arg, int frame) {
        fs::remove(shown);
        std::vector<std::string> all = env;
        all.push_back("TOBRELK_FRAME_DUMP=" + std::to_string(frame) + ":" + shown.string());
        const pid_t pid = Start(all, arg);
        ASSERT_GT(pid, 0) << way;
        EXPECT_EQ(WaitExit(pid), 0) << way;
        EXPECT_TRUE(DemoStageShown(Read(shown))) << way << "\n" << Read(game / "Report_Game.txt");
    };
    const std::string quit = "TOBRELK_INPUT_SCRIPT=60:27+";
    plays("in full", {quit}, (game / "data" / "stg4" / (stem + ".stg4_001")).string(), 40);
    plays("without its number", {quit}, "data/stg4/" + stem, 40);
    std::ofstream(game / "System.ini") << "FreeStage=data\\stg4\\" << stem << ".stg4_001\nExit\n";
    plays("System.ini", {quit}, {}, 40);
    fs::remove(game / "System.ini");
    plays("stage choice",
          {"TOBRELK_INPUT_SCRIPT=40:38+,41:38-,43:38+,44:38-,46:38+,47:38-,49:38+,50:38-,52:90+,53:90-,130:27+",
           "TOBRELK_DIALOG_ANSWERS=1:" + GamePathOf(game / "data" / "stg4" / (stem + ".stg4_001"))},
          {}, 120);

    const std::string overlong = std::string(256, 'a');
    const pid_t pid = Start({"TOBRELK_INPUT_SCRIPT=40:27+,41:27-", "TOBRELK_FRAME_DUMP=35:" + shown.string()},
                            "data/stg4/" + overlong);
    ASSERT_GT(pid, 0);
    EXPECT_EQ(WaitExit(pid), 0);
    const std::string report = Read(game / "Report_Game.txt");
    EXPECT_NE(report.find("「data\\stg4\\" + overlong + "」の読み込みに失敗しました！ (File name too long)\r\n"), std::string::npos)
        << report;
    EXPECT_FALSE(Flat(Read(shown))) << "the title menu runs";
}

// A save of the window's place or of the drawing-mode answer that fails (here into a user_data
// that is a link, refused) has its report line with its cause, like every other save.
TEST_F(EndToEnd, FailedSettingsSavesAreReportedWithTheirCause) {
    if (!fs::exists(game / "data" / "System.dat")) GTEST_SKIP() << "no demo game";
    const fs::path outside = game.string() + "_outside";
    fs::remove_all(outside);
    fs::create_directories(outside);
    fs::remove_all(game / "user_data");
    fs::create_symlink(outside, game / "user_data");
    // The drawing-mode question answered: its Boot.dat save fails the same way.
    std::ofstream(game / "System.ini") << "Direct3D=2\nWindowMode=1\nBpp=0\nExit\n";
    const pid_t pid = Start({"TOBRELK_DIALOG_ANSWERS=1", "TOBRELK_INPUT_SCRIPT=60:27+,61:27-"});
    ASSERT_GT(pid, 0);
    EXPECT_EQ(WaitExit(pid), 0);
    const std::string report = Read(game / "Report_Game.txt");
    for (const char* name : {"Window.dat", "Boot.dat"})
        EXPECT_NE(report.find("\r\nuser_data\\" + std::string(name) +
                              " の保存に失敗しました！ (Too many levels of symbolic links)\r\n"),
                  std::string::npos)
            << report;
    EXPECT_TRUE(fs::is_empty(outside));
    fs::remove_all(outside);
}

// A damaged, empty or newer settings file is kept aside whole before the runtime writes a fresh
// one: Boot.dat when the question is answered, Option.dat when the options are left, Window.dat
// at the close.
TEST_F(EndToEnd, SpoiltSettingsAreKeptAsideBeforeFreshOnesAreWritten) {
    if (!fs::exists(game / "data" / "System.dat")) GTEST_SKIP() << "no demo game";
    const fs::path user = game / "user_data";
    fs::create_directories(user);
    std::ofstream(game / "System.ini") << "Direct3D=2\nWindowMode=1\nBpp=0\nExit\n";
    const std::map<std::string, std::string> spoilt = {
        {"Option.dat", std::string("\x38\x03\x00\x00\xFF\xFF\xFF\x7F", 8)}, // a count past its end
        {"Window.dat", ""},
        {"Boot.dat", std::string("\x39\x03\x00\x00\x02\x00\x00\x00", 8)}}; // a newer version
    for (const auto& [name, bytes] : spoilt) std::ofstream(user / name, std::ios::binary) << bytes;
    const pid_t pid = Start({"TOBRELK_DIALOG_ANSWERS=1", "TOBRELK_INPUT_SCRIPT=40:38+,41:38-,43:38+,44:38-,50:90+,51:90-,"
                                                         "130:88+,131:88-,200:27+,201:27-"});
    ASSERT_GT(pid, 0);
    EXPECT_EQ(WaitExit(pid), 0);
    const std::string report = Read(game / "Report_Game.txt");
    for (const auto& [name, bytes] : spoilt) {
        const fs::path aside = user / (name + ".damaged");
        EXPECT_EQ(fs::exists(aside) ? Read(aside) : "(none)", bytes) << name;
        EXPECT_EQ(Read(user / name).substr(0, 4), std::string("\x38\x03\x00\x00", 4)) << name << " written afresh";
        EXPECT_NE(report.find("user_data\\" + name + " を " + name + ".damaged として残しました"), std::string::npos) << report;
    }
}

// Without the Ogg Vorbis library the music manager says so as it starts ("oggの初期化に失敗！",
// answered unseen and written to the report) and the game runs silent.
TEST_F(EndToEnd, AnOggLibraryThatCannotBeOpenedIsShownAndTheGameRunsSilent) {
    if (!fs::exists(game / "data" / "System.dat")) GTEST_SKIP() << "no demo game";
    const fs::path shown = game / "title.ppm";
    const pid_t pid = Start({"TOBRELK_VORBISFILE=" + (game / "no-such-libvorbisfile.so.3").string(),
                             "TOBRELK_INPUT_SCRIPT=60:27+,61:27-", "TOBRELK_FRAME_DUMP=45:" + shown.string()});
    ASSERT_GT(pid, 0);
    EXPECT_EQ(WaitExit(pid), 0);
    EXPECT_FALSE(Read(shown).empty()) << "the title menu was never drawn";
    const std::string report = Read(game / "Report_Game.txt");
    EXPECT_NE(report.find("] oggの初期化に失敗！"), std::string::npos) << report;
}

// A stage named at start that exists but does not load ends the start, wherever it was named:
// on the command line, in System.ini, and by an editor's test play, which hears "end 0" after
// "start 1" instead of finding the title menu. Each run: its exit status, the stage's box and the
// failed start in the report, whether a frame was drawn, and what the editor heard. (A name that
// does not exist still falls back to the title menu: see the test of a missing stage.)
TEST_F(EndToEnd, ADamagedStageNamedAtStartEndsTheStart) {
    const fs::path stage = game / "data" / "stg4" / "Demo-1.stg4_001";
    if (!fs::exists(stage)) GTEST_SKIP() << "no demo game";
    std::string bytes = Read(stage);
    bytes[4] = static_cast<char>(bytes[4] ^ 0x80); // the header's field count
    std::ofstream(stage, std::ios::binary) << bytes;
    const fs::path fifo = game / "editor.fifo";
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    const fs::path shown = game / "shown.ppm";
    const struct {
        const char* how;
        std::vector<std::string> args;
        const char* ini;
    } ways[] = {{"command line", {stage.string()}, nullptr},
                {"System.ini", {}, "FreeStage=data\\stg4\\Demo-1\nExit\n"},
                {"editor", {"--from-editor=" + fifo.string(), (game / "data" / "stg4" / "Demo-1").string()}, nullptr}};
    std::string trace;
    for (const auto& way : ways) {
        fs::remove(game / "Report_Game.txt");
        fs::remove(shown);
        fs::remove(game / "System.ini");
        if (way.ini) std::ofstream(game / "System.ini") << way.ini;
        // The editor reads before it starts the game.
        const int in = open(fifo.c_str(), O_RDONLY | O_NONBLOCK);
        ASSERT_GE(in, 0);
        const pid_t pid = Start({"TOBRELK_INPUT_SCRIPT=60:27+,61:27-", "TOBRELK_FRAME_DUMP=45:" + shown.string()}, way.args);
        ASSERT_GT(pid, 0);
        const int code = WaitExit(pid);
        std::string heard;
        char buf[256];
        for (ssize_t n; (n = read(in, buf, sizeof buf)) > 0;) heard.append(buf, static_cast<std::size_t>(n));
        close(in);
        const std::string report = Read(game / "Report_Game.txt");
        const auto has = [&](const char* line) { return report.find(line) != std::string::npos ? "yes" : "no"; };
        for (char& ch : heard)
            if (ch == '\n') ch = '/';
        trace += std::string(way.how) + ": exit " + std::to_string(code) + ", damaged box " +
                 has("] ステージファイル data\\stg4\\Demo-1.stg4_001 が破損しています！") + ", failed start " +
                 has("起動に失敗しました") + ", frame drawn " + (fs::exists(shown) ? "yes" : "no") + ", editor heard \"" +
                 heard + "\"\n";
    }
    EXPECT_EQ(trace, "command line: exit 1, damaged box yes, failed start yes, frame drawn no, editor heard \"\"\n"
                     "System.ini: exit 1, damaged box yes, failed start yes, frame drawn no, editor heard \"\"\n"
                     "editor: exit 1, damaged box yes, failed start yes, frame drawn no, editor heard \"start 1/end 0/\"\n")
        << trace;
}

TEST_F(EndToEnd, SecondCopyEndsTheFirstWhenAnsweredYes) {
    const pid_t first = Start({});
    ASSERT_GT(first, 0);
    // The process that holds the lock names itself in it; a copy does so only once it can be
    // asked to close.
    const fs::path lock = game / "user_data" / "ゲーム.lock";
    const auto owner = [&] { return std::atoi(Read(lock).c_str()); };
    ASSERT_TRUE(WaitUntil([&] { return owner() == first; }, 240)) << "the first copy never took the lock";
    // Headless, nobody sees the question: the test answers it.
    const pid_t second = Start({"TOBRELK_BOX_ANSWERS=yes", "TOBRELK_INPUT_SCRIPT=40:27+,41:27-"});
    // The first copy closes in order, or is ended when it takes longer than the second one's
    // grace (a busy machine): either way it is gone, never ended by the request's default action.
    const int firstEnd = WaitExit(first);
    EXPECT_TRUE(firstEnd == 0 || firstEnd == 128 + SIGKILL) << "the first copy ended with " << firstEnd;
    // The second copy took over the lock and ran up to its own Escape.
    EXPECT_EQ(WaitExit(second), 0);
    EXPECT_EQ(owner(), second) << "the second copy did not take over";
    // The question is a line of its own in the report, and every line there ends.
    const std::string report = Read(game / "Report_Game.txt");
    EXPECT_NE(report.find("\n[二重起動] "), std::string::npos) << report;
    EXPECT_NE(report.find("\n[二重起動] TOBRELK_BOX_ANSWERS により「はい」と答えました\r\n"), std::string::npos) << report;
    EXPECT_EQ(report.rfind("App : ver 824\r\n", 0), 0u) << "the copy that goes on starts its report afresh";
    EXPECT_EQ(report.find("プログラムの終了に失敗しました"), std::string::npos) << report;
    for (std::size_t at = report.find("Audio : "); at != std::string::npos; at = report.find("Audio : ", at + 1)) {
        const std::string line = report.substr(at, report.find('\n', at) - at);
        EXPECT_EQ(line.find('['), std::string::npos) << "joined lines: " << line;
    }
}

// A second copy that cannot show its question, from a terminal without a display or under the
// dummy driver, ends its start as No does: the running copy plays on, holds the lock, and its
// report keeps every line it had, followed by the second copy's own lines, which say why.
TEST_F(EndToEnd, ASecondCopyThatCannotAskLeavesTheRunningCopyAlone) {
    const pid_t first = Start({});
    ASSERT_GT(first, 0);
    const fs::path lock = game / "user_data" / "ゲーム.lock";
    const fs::path reportFile = game / "Report_Game.txt";
    const auto owner = [&] { return std::atoi(Read(lock).c_str()); };
    ASSERT_TRUE(WaitUntil([&] { return owner() == first; }, 240)) << "the first copy never took the lock";
    ASSERT_TRUE(WaitUntil([&] { return Read(reportFile).find("Audio : ") != std::string::npos; }, 240));
    std::string trace;
    const std::vector<std::pair<std::string, std::vector<std::string>>> starts{
        {"no display", {"SDL_VIDEODRIVER", "DISPLAY", "WAYLAND_DISPLAY"}}, {"dummy driver", {}}};
    bool firstRuns = true;
    for (const auto& [how, removed] : starts) {
        // Should it start after all, Escape ends it.
        std::vector<std::string> env = removed;
        env.push_back("TOBRELK_INPUT_SCRIPT=40:27+,41:27-");
        const std::string before = Read(reportFile);
        const pid_t second = Start(env);
        const int code = WaitExit(second);
        firstRuns = firstRuns && waitpid(first, nullptr, WNOHANG) == 0;
        const std::string report = Read(reportFile);
        const std::string pid = std::to_string(second);
        const std::size_t from = report.find("==== 起動を取りやめたプロセス (PID " + pid + ") の記録 ====\r\nApp : ver 824\r\n");
        const std::size_t to = report.find("==== PID " + pid + " の記録ここまで ====\r\n");
        const std::string block = from < to && to != std::string::npos ? report.substr(from, to - from) : std::string();
        const auto has = [&](const std::string& line) { return block.find("\r\n" + line + "\r\n") != std::string::npos ? "yes" : "no"; };
        trace += how + ": exit " + std::to_string(code) + ", first runs " + (firstRuns ? "yes" : "no") + ", lock first's " +
                 (owner() == first ? "yes" : "no") + ", report kept " + (report.compare(0, before.size(), before) == 0 ? "yes" : "no") +
                 ", block after it " + (from != std::string::npos && from >= before.size() ? "yes" : "no") + ", unseen No " +
                 has("[二重起動] 表示できないため「いいえ」と答えました") + ", why " +
                 has("SingleInstance : 「いいえ」のため起動を終えます。どのプログラムも終了させていません") +
                 "\n";
    }
    EXPECT_EQ(trace, "no display: exit 0, first runs yes, lock first's yes, report kept yes, block after it yes, unseen No yes, why yes\n"
                     "dummy driver: exit 0, first runs yes, lock first's yes, report kept yes, block after it yes, unseen No yes, why yes\n")
        << trace << Read(reportFile);
    // The running copy still closes in order when asked.
    if (firstRuns) {
        kill(first, SIGTERM);
        EXPECT_EQ(WaitExit(first), 0);
    }
}

// A folder other users can write: another user holds the lock and names in it a program of the
// player. The player's start leaves that program alone and says why; answered Yes (nobody sees
// the question here: the test answers it), it plays without the lock.
TEST_F(EndToEnd, ALockNamingAnotherProgramOfThePlayerSignalsNothing) {
    runAs = geteuid() == 0 ? 65534 : 0;
    const fs::path lock = game / "user_data" / "ゲーム.lock";
    fs::create_directories(lock.parent_path());
    fs::permissions(game, fs::perms::all);
    fs::permissions(lock.parent_path(), fs::perms::all);
    std::ofstream(lock).flush();
    ASSERT_EQ(chown(lock.c_str(), runAs, runAs), 0) << "the player's lock file, left by an earlier run";
    int running[2]; // closes once the player's program runs
    ASSERT_EQ(pipe2(running, O_CLOEXEC), 0);
    const pid_t program = fork();
    if (program == 0) {
        if (runAs && (setgroups(0, nullptr) != 0 || setresgid(runAs, runAs, runAs) != 0 || setresuid(runAs, runAs, runAs) != 0))
            _exit(1);
        execl("/bin/sleep", "sleep", "1000", static_cast<char*>(nullptr));
        _exit(1);
    }
    close(running[1]);
    char c;
    ASSERT_EQ(read(running[0], &c, 1), 0);
    close(running[0]);
    const int held = open(lock.c_str(), O_RDWR | O_CLOEXEC);
    ASSERT_EQ(flock(held, LOCK_EX), 0);
    std::ofstream(lock) << program << "\n";
    EXPECT_EQ(WaitExit(Start({"TOBRELK_BOX_ANSWERS=yes", "TOBRELK_INPUT_SCRIPT=60:27+,61:27-"})), 0);
    EXPECT_EQ(waitpid(program, nullptr, WNOHANG), 0) << "the player's program was ended";
    kill(program, SIGKILL);
    waitpid(program, nullptr, 0);
    close(held);
    const std::string report = Read(game / "Report_Game.txt");
    const std::string why = "ロックに書かれたプロセス (PID " + std::to_string(program) + ") はこのゲームではありません";
    EXPECT_NE(report.find("SingleInstance : ロックは使用中ですが、" + why + "。どのプログラムも終了させません"), std::string::npos) << report;
    EXPECT_NE(report.find("[二重起動] このゲームフォルダのロックは使用中ですが、" + why + "。"), std::string::npos);
    EXPECT_NE(report.find("SingleInstance : ロックを取らずに起動します"), std::string::npos) << report;
    EXPECT_NE(report.find("DDInit"), std::string::npos) << "the game did not start";
}

// An editor that starts a test play names a channel with --from-editor: here a named pipe it
// reads. It hears "start 1" once the window exists and "end 1" when the play is closed; a
// start that fails sends "end 0" and ends with an error code, one that the player ends at the
// drawing-mode question "end 0" and exit code 0.
TEST_F(EndToEnd, TheEditorHearsTheStartAndTheEndThroughItsChannel) {
    if (!fs::exists(game / "data" / "stg4" / "Demo-1.stg4_001")) GTEST_SKIP() << "no demo game";
    const fs::path fifo = game / "editor.fifo";
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    auto run = [&](const std::vector<std::string>& env, int& code) {
        // The editor reads before it starts the game, as a tool listening on its pipe does.
        const int in = open(fifo.c_str(), O_RDONLY | O_NONBLOCK);
        EXPECT_GE(in, 0);
        const pid_t pid = Start(env, {"--from-editor=" + fifo.string(), (game / "data" / "stg4" / "Demo-1").string()});
        code = WaitExit(pid);
        std::string heard;
        char buf[256];
        for (ssize_t n; (n = read(in, buf, sizeof buf)) > 0;) heard.append(buf, static_cast<std::size_t>(n));
        close(in);
        return heard;
    };
    int code = -1;
    EXPECT_EQ(run({"TOBRELK_INPUT_SCRIPT=60:27+,61:27-"}, code), "start 1\nend 1\n");
    EXPECT_EQ(code, 0);

    fs::rename(game / "data" / "WorldMap.dat", game / "WorldMap.dat");
    EXPECT_EQ(run({}, code), "start 1\nend 0\n");
    EXPECT_EQ(code, 1);
    const std::string report = Read(game / "Report_Game.txt");
    EXPECT_NE(report.find("起動に失敗しました"), std::string::npos) << report;

    // The drawing-mode question cancelled (its Cancel; its window's close and Alt+F4 end it
    // alike) ends the start as a close does, it is no failure: exit 0, the editor hears the
    // start's end, and the window that was not moved leaves its place as it was.
    fs::rename(game / "WorldMap.dat", game / "data" / "WorldMap.dat");
    const std::string ini = Read(game / "System.ini");
    std::ofstream(game / "System.ini") << "Direct3D=2\nWindowMode=1\nBpp=0\nExit\n";
    const fs::path placeFile = game / "user_data" / "Window.dat";
    const std::string place = Read(placeFile);
    EXPECT_EQ(run({"TOBRELK_DIALOG_ANSWERS=0"}, code), "start 1\nend 0\n");
    EXPECT_EQ(code, 0);
    const std::string cancelled = Read(game / "Report_Game.txt");
    EXPECT_NE(cancelled.find("drawing-mode question cancelled : the start is ended"), std::string::npos) << cancelled;
    EXPECT_EQ(cancelled.find("起動に失敗しました"), std::string::npos) << cancelled;
    EXPECT_EQ(Read(placeFile), place);
    EXPECT_EQ(fs::exists(placeFile), !place.empty());
    std::ofstream(game / "System.ini", std::ios::binary) << ini;

    // A channel that cannot be opened costs only the notifications.
    pid_t pid = Start({"TOBRELK_INPUT_SCRIPT=60:27+,61:27-"}, {"--from-editor=" + (game / "no" / "such").string()});
    EXPECT_EQ(WaitExit(pid), 0);
    EXPECT_NE(Read(game / "Report_Game.txt").find("--from-editor :"), std::string::npos);
}

// The menu texts are laid out by the glyphs' own advances: in the map menu (opened with button
// 2 on the world map) "オートセーブ" and "タイトルへ" have no wide gap inside the word, as they
// had when the demo's proportional face was set in fixed cells.
TEST_F(EndToEnd, MapMenuTextsHaveNoGapsInsideWords) {
    if (!fs::exists(game / "data" / "WorldMap.dat")) GTEST_SKIP() << "no demo game";
    const fs::path menu = game / "menu.ppm";
    const pid_t pid = Start({"TOBRELK_INPUT_SCRIPT=50:90+,51:90-,80:90+,81:90-,220:88+,221:88-,320:27+",
                             "TOBRELK_FRAME_DUMP=300:" + menu.string()});
    ASSERT_GT(pid, 0);
    EXPECT_EQ(WaitExit(pid), 0);
    const std::string m = Read(menu);
    ASSERT_FALSE(m.empty()) << "the map menu was never drawn";
    for (int row : {1, 3}) {
        // Ink columns of the entry (white text on the menu's blue): the widest run of empty
        // columns between two inked ones.
        int widest = 0, run = 0, inked = 0;
        bool seen = false;
        for (int x = 280; x < 400; ++x) {
            bool ink = false;
            for (int y = 192 + 16 * row; y < 208 + 16 * row; ++y) ink = ink || (Pixel(m, x, y) >> 16) > 150;
            if (ink) {
                if (seen) widest = std::max(widest, run);
                seen = true;
                run = 0;
                ++inked;
            } else {
                ++run;
            }
        }
        EXPECT_GT(inked, 30) << "row " << row << " has its text";
        EXPECT_LE(widest, 5) << "row " << row;
    }
}

// 8 bits are for games without a transparent colour: the demo has one, so a full-screen 8-bit
// DirectDraw start is refused, with its report line and an error code.
TEST_F(EndToEnd, EightBitsAreRefusedForAGameWithATransparentColour) {
    if (!fs::exists(game / "data" / "System.dat")) GTEST_SKIP() << "no demo game";
    std::ofstream(game / "System.ini") << "Direct3D=0\nWindowMode=0\nBpp=8\nExit\n";
    const pid_t pid = Start({});
    EXPECT_EQ(WaitExit(pid), 1);
    const std::string report = Read(game / "Report_Game.txt");
    EXPECT_NE(report.find("画面モードが不正です！ Direct3D=0 WindowMode=0 Bpp=8"), std::string::npos) << report;
    EXPECT_NE(report.find("起動に失敗しました"), std::string::npos) << report;
}

// Two starts that cannot go on say which file and why: the game's first picture, which gives
// every colour, is missing; the report itself cannot be made (standard error says why).
TEST_F(EndToEnd, AMissingPaletteOrAReportThatCannotBeMadeIsNamedWithItsCause) {
    if (!fs::exists(game / "bmp" / "plt" / "Palette.bmp")) GTEST_SKIP() << "no demo game";
    fs::remove(game / "bmp" / "plt" / "Palette.bmp");
    EXPECT_EQ(WaitExit(Start({})), 1);
    const std::string report = Read(game / "Report_Game.txt");
    EXPECT_NE(report.find("LoadImage Err bmp\\plt\\Palette.bmp ("), std::string::npos) << report;
    EXPECT_NE(report.find("bmp\\plt\\Palette.bmp の読み込みに失敗！"), std::string::npos) << report;

    fs::remove(game / "Report_Game.txt");
    fs::create_directory(game / "Report_Game.txt");
    const fs::path err = game / "stderr.txt";
    const pid_t pid = fork();
    if (pid == 0) {
        if (chdir(game.c_str()) != 0) _exit(97);
        setenv("SDL_VIDEODRIVER", "dummy", 1);
        setenv("SDL_AUDIODRIVER", "dummy", 1);
        const int out = open(err.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        dup2(out, 2);
        execl(TOBRELK_EXE, TOBRELK_EXE, static_cast<char*>(nullptr));
        _exit(98);
    }
    ASSERT_GT(pid, 0);
    EXPECT_EQ(WaitExit(pid), 1);
    EXPECT_NE(Read(err).find("Report_Game.txt (Is a directory)\n"), std::string::npos) << Read(err);
}

// Without a display the game does not run unseen: it refuses with a report line and an error
// code, unless a driver without a display was asked for (as every other test here does).
TEST_F(EndToEnd, NoDisplayIsRefusedUnlessADummyDriverWasAsked) {
    const pid_t pid = fork();
    if (pid == 0) {
        if (chdir(game.c_str()) != 0) _exit(97);
        unsetenv("SDL_VIDEODRIVER");
        unsetenv("DISPLAY");
        unsetenv("WAYLAND_DISPLAY");
        setenv("SDL_AUDIODRIVER", "dummy", 1);
        const int devnull = open("/dev/null", O_WRONLY);
        dup2(devnull, 2);
        execl(TOBRELK_EXE, TOBRELK_EXE, static_cast<char*>(nullptr));
        _exit(98);
    }
    ASSERT_GT(pid, 0);
    EXPECT_EQ(WaitExit(pid), 1);
    const std::string report = Read(game / "Report_Game.txt");
    EXPECT_NE(report.find("Video : no display"), std::string::npos) << report;
    const int lock = open((game / "user_data" / "ゲーム.lock").c_str(), O_RDONLY);
    EXPECT_TRUE(lock < 0 || flock(lock, LOCK_EX | LOCK_NB) == 0) << "the lock is released";
    if (lock >= 0) close(lock);
}

// Every name below a folder with its contents (a link with where it points).
std::map<std::string, std::string> Tree(const fs::path& dir) {
    std::map<std::string, std::string> out;
    std::error_code ec;
    for (fs::recursive_directory_iterator it(dir, ec), end; !ec && it != end; it.increment(ec)) {
        const fs::path rel = fs::relative(it->path(), dir);
        if (it->is_symlink()) out[rel.string()] = "-> " + fs::read_symlink(it->path()).string();
        else if (it->is_regular_file()) out[rel.string()] = std::string(std::istreambuf_iterator<char>(std::ifstream(it->path(), std::ios::binary).rdbuf()), {});
        else out[rel.string()] = "folder";
    }
    return out;
}

// A game folder whose report, lock, user_data or save folder is a link to a folder outside it:
// nothing there is written, truncated, renamed or removed. The report becomes a file of its own;
// the lock is not used; a link at user_data or one of its folders is refused with a report line,
// so that a save into it fails and says so, and the walk for stray temporaries stays out of it.
TEST_F(EndToEnd, LinksInTheGameFolderCarryNoWriteOutsideIt) {
    if (!fs::exists(game / "data" / "WorldMap.dat")) GTEST_SKIP() << "no demo game";
    const fs::path outside = game.string() + "_outside";
    fs::remove_all(outside);
    fs::create_directories(outside / "story");
    std::ofstream(outside / "notes.txt") << "someone's notes";
    std::ofstream(outside / "Window.dat") << "someone's file";
    std::ofstream(outside / "story" / "Story02.dat") << "not a save"; // damaged: a save keeps it aside
    std::ofstream(outside / "story" / "Story02.dat.tmp999999999") << "someone's file";
    std::ofstream(outside / "Option.dat.tmp999999999") << "someone's file";
    const auto before = Tree(outside);
    // New game in slot 1; on the map, its menu's save into slot 2 (down, decide; up to "save",
    // decide); escape.
    const std::string script = "TOBRELK_INPUT_SCRIPT=" + Hold(90, 50, 51) + "," + Hold(90, 80, 81) + "," + Hold(88, 220, 221) +
                               "," + Hold(90, 260, 261) + "," + Hold(40, 275, 276) + "," + Hold(90, 290, 291) + "," +
                               Hold(38, 305, 306) + "," + Hold(90, 320, 321) + "," + Hold(27, 360, 361);
    const auto lines = [&](std::initializer_list<const char*> expected) {
        const std::string report = Read(game / "Report_Game.txt");
        for (const char* line : expected) EXPECT_NE(report.find(line), std::string::npos) << line << "\n" << report;
    };

    // Links at the report, at the lock, at a file the runtime saves and at the story folder.
    fs::create_directories(game / "user_data");
    fs::create_symlink(outside / "notes.txt", game / "Report_Game.txt");
    fs::create_symlink(outside / "notes.txt", game / "user_data" / "ゲーム.lock");
    fs::create_symlink(outside / "Window.dat", game / "user_data" / "Window.dat");
    fs::create_symlink(outside / "story", game / "user_data" / "story");
    pid_t pid = Start({script});
    ASSERT_GT(pid, 0);
    EXPECT_EQ(WaitExit(pid), 0);
    EXPECT_EQ(Tree(outside), before);
    EXPECT_TRUE(fs::is_regular_file(fs::symlink_status(game / "Report_Game.txt")));
    EXPECT_TRUE(fs::is_regular_file(fs::symlink_status(game / "user_data" / "Window.dat"))) << "saved in the link's place";
    lines({"Report_Game.txt はリンクだったため、新しいファイルにしました", "ゲーム.lock はリンクのため使いません",
           "user_data\\story はリンクのため書き込みに使いません", "user_data\\story\\Story02.dat を残せないため保存しません",
           "user_data\\story\\Story02.dat の保存に失敗しました！"});

    // user_data itself a link.
    fs::remove_all(game / "user_data");
    fs::create_symlink(outside, game / "user_data");
    pid = Start({script});
    ASSERT_GT(pid, 0);
    EXPECT_EQ(WaitExit(pid), 0);
    EXPECT_EQ(Tree(outside), before);
    lines({"user_data はリンクのため書き込みに使いません", "user_data\\story\\Story02.dat の保存に失敗しました！"});
    fs::remove_all(outside);
}

// A title picture of 2 GiB is too large to read, and the report says so rather than that it
// cannot be opened.
TEST_F(EndToEnd, ATitlePictureTooLargeToReadIsReportedAsSuch) {
    if (!fs::exists(game / "bmp" / "Title.bmp")) GTEST_SKIP() << "no demo game";
    fs::resize_file(game / "bmp" / "Title.bmp", std::uintmax_t(2) << 30); // sparse: no disk taken
    const pid_t pid = Start({"TOBRELK_INPUT_SCRIPT=60:27+,61:27-"});
    ASSERT_GT(pid, 0);
    EXPECT_EQ(WaitExit(pid), 1);
    const std::string report = Read(game / "Report_Game.txt");
    EXPECT_NE(report.find("LoadImage Err bmp\\Title.bmp (the file is too large (over 1024 MB))"), std::string::npos) << report;
}

} // namespace

// Writes data\stg4\Talk.stg4_001: the first demo stage cut down to a room with the hero, the
// villager at x 6 and the goal at x 11. A villager's message that holds the game for `tenths`
// tenths of a second instead of the demo's time, where given.
bool WriteTalkStage(const fs::path& game, u32 tenths = 0) {
    const fs::path old = GetGameRoot();
    SetGameRoot(game);
    cStage st;
    bool ok = LoadFromFile(st, "data\\stg4\\Demo-1.stg4_001");
    int timed = 0;
    cVector<cEdChara> charas;
    for (cEdChara c : st.vChara)
        if (c.byOperation == 0 || c.wPaletteIndex == 3) {
            if (c.byOperation != 0) {
                c.sPosX = 6;
                // The message command (kind 19) keeps its time in tenths in its eighth parameter.
                for (cFlow& f : c.vFlow)
                    for (cFlowCmd& cmd : f.cmds)
                        if (tenths && cmd.cmdSet == 0 && cmd.cmdKind == 19 && cmd.params.size() > 7) {
                            cmd.params[7] = tenths;
                            ++timed;
                        }
            }
            charas.push_back(c);
        }
    st.vChara = charas;
    cVector<cEdItem> items;
    for (cEdItem i : st.vItem)
        if (i.wPaletteIndex == 3) {
            i.sPosX = 11;
            items.push_back(i);
        }
    st.vItem = items;
    ok = ok && (tenths == 0 || timed == 1) && SaveToFile(st, "data\\stg4\\Talk.stg4_001");
    SetGameRoot(old);
    return ok;
}

// The demo's villager, his counter and the goal, through the executable: a room with the hero,
// the villager and the goal. Walking right, the hero meets the villager, who says his count in a
// message while the play stands still; on at the goal, the stage clears and starts over, and
// the villager says the next count.
TEST_F(EndToEnd, TheVillagerCountsHisTalksAndTheGoalClearsTheStage) {
    if (!fs::exists(game / "data" / "stg4" / "Demo-1.stg4_001")) GTEST_SKIP() << "no demo game";
    ASSERT_TRUE(WriteTalkStage(game));
    // Right held from frame 40; the decide button after the results.
    const int frames[] = {80, 120, 240, 280, 400, 680, 760};
    const auto file = [&](int f) { return (game / "t") += std::to_string(f); };
    std::string dumps = "TOBRELK_FRAME_DUMP=";
    for (int f : frames) dumps.append(std::to_string(f)).append(":").append(file(f).string()).append(",");
    const pid_t pid = Start({"TOBRELK_INPUT_SCRIPT=40:39+,600:90+,602:90-,800:27+", dumps},
                            (game / "data" / "stg4" / "Talk").string());
    ASSERT_GT(pid, 0);
    EXPECT_EQ(WaitExit(pid), 0);
    std::map<int, std::string> shot;
    for (int f : frames) {
        shot[f] = Read(file(f));
        ASSERT_FALSE(shot[f].empty()) << f;
    }
    // Pixels of a rectangle that differ between two frames.
    const auto changed = [&](int a, int b, int left, int top, int right, int bottom) {
        int n = 0;
        for (int y = top; y < bottom; ++y)
            for (int x = left; x < right; ++x) n += Pixel(shot[a], x, y) != Pixel(shot[b], x, y);
        return n;
    };
    // The villager's message over the left of the view (its text, the count among it).
    EXPECT_GT(changed(80, 120, 64, 316, 344, 352), 2000) << "the message is shown";
    // Meanwhile the play stands still though right is held: two seconds later the same frame.
    EXPECT_EQ(changed(120, 240, 0, 0, 640, 440), 0) << "the game waits";
    // The message went, the hero walked on to the goal: the results at the top right.
    EXPECT_GT(changed(280, 400, 340, 224, 580, 300), 2000) << "the stage is cleared";
    // Decided, the stage starts over and the villager talks again.
    EXPECT_GT(changed(680, 760, 64, 316, 344, 352), 2000) << "the villager talks again";
}

// A route as playsim's --input writes it ("R*24 RJ*15 .*40": right, right with the jump button,
// nothing, each for so many frames) as the input script's presses and releases from poll `from`.
std::string Route(const std::string& route, int from) {
    std::istringstream in(route);
    std::string step, out;
    std::set<int> held;
    int poll = from;
    const auto key = [&](int k, char edge) { out += "," + std::to_string(poll) + ":" + std::to_string(k) + edge; };
    for (bool more = true; more;) {
        std::set<int> want;
        int frames = 0;
        if ((more = static_cast<bool>(in >> step))) {
            const std::size_t star = step.find('*');
            frames = star == std::string::npos ? 1 : std::stoi(step.substr(star + 1));
            for (char c : step.substr(0, star)) {
                if (c == 'R') want.insert(39);
                if (c == 'J') want.insert(90);
            }
        }
        for (int k : held)
            if (!want.count(k)) key(k, '-');
        for (int k : want)
            if (!held.count(k)) key(k, '+');
        held = want;
        poll += frames;
    }
    return out.substr(1);
}

// The last story stage, climbed to its goal: the pit jumped onto the first ledge, then one ledge
// up after another, the boss passed, right along the top to the goal (cleared on play frame 397,
// the same in playsim).
const char kBossStageRoute[] = "R*25 RJ*15 R*10 .*40 R*24 RJ*15 R*10 .*40 R*21 RJ*15 R*10 .*40 R*27 RJ*15 R*10 .*40 R*60";

// The boss stage plays after its banner in the executable as it does in playsim, as a direct
// start and from the story's map: the hero walks and jumps from the first frame of the play and
// clears the stage.
TEST_F(EndToEnd, TheBossStagePlaysToItsClearAsADirectStartAndFromTheMap) {
    if (!fs::exists(game / "data" / "stg4" / "Demo-3.stg4_001")) GTEST_SKIP() << "no demo game";
    const auto file = [&](const char* name, int f) { return (game / name) += std::to_string(f); };
    // Frames drawn while the hero should stand on the ground, on the first ledge, and after
    // the clear, counted from the first play frame.
    const int atStart = 10, onLedge = 60, cleared = 470;
    const auto check = [&](const char* name, int first) {
        const std::string start = Read(file(name, first + atStart)), ledge = Read(file(name, first + onLedge)),
                          clear = Read(file(name, first + cleared));
        ASSERT_FALSE(start.empty() || ledge.empty() || clear.empty()) << name;
        // The hero stands on the ledge over the pit's left side, where there was only sky.
        int moved = 0;
        for (int y = 280; y < 320; ++y)
            for (int x = 224; x < 288; ++x) moved += Pixel(start, x, y) != Pixel(ledge, x, y);
        EXPECT_GT(moved, 100) << name << ": the hero never reached the first ledge";
        EXPECT_GT(InkIn(clear, 256, 192, 128, 32, Pixel).ink, 200) << name << ": the clear banner";
        EXPECT_GT(InkIn(clear, 340, 228, 120, 60, Pixel).ink, 100) << name << ": the result table";
    };

    // Direct start: the first play frame reads poll 91 (ten frames of fade, eighty of banner).
    const int direct = 91;
    std::string dumps = "TOBRELK_FRAME_DUMP=";
    for (int f : {atStart, onLedge, cleared})
        dumps += std::to_string(direct + f) + ":" + file("direct", direct + f).string() + ",";
    dumps.pop_back();
    pid_t pid = Start({"TOBRELK_INPUT_SCRIPT=" + Route(kBossStageRoute, direct) + "," + Hold(27, 700, 701), dumps},
                      (game / "data" / "stg4" / "Demo-3").string());
    ASSERT_GT(pid, 0);
    EXPECT_EQ(WaitExit(pid, 90), 0);
    check("direct", direct);

    // From the map: a story saved with the first two stages done and the figure on the last
    // one; continue, slot 1, decide on the stage and take "play it" (up, decide). The banner
    // runs to poll 261.
    SetGameRoot(game);
    fs::create_directories(game / "user_data" / "story");
    cPlayRecord saved;
    saved.ResetMapProgress();
    saved.vSwitch[1] = saved.vSwitch[2] = 1;
    saved.nMapX = 17;
    saved.nMapY = 7;
    saved.nLives = kInfiniteLives;
    const int written = SaveStorySlot(saved, 0);
    SetGameRoot(fs::path());
    ASSERT_EQ(written, 1);
    const int story = 262;
    const int title = story + cleared + 250;
    dumps = "TOBRELK_FRAME_DUMP=" + std::to_string(title) + ":" + file("title", title).string();
    for (int f : {atStart, onLedge, cleared}) dumps += "," + std::to_string(story + f) + ":" + file("story", story + f).string();
    const std::string script = Hold(40, 50, 51) + "," + Hold(90, 60, 61) + "," + Hold(90, 90, 91) + "," +
                               Hold(90, 130, 131) + "," + Hold(38, 150, 151) + "," + Hold(90, 160, 161) + "," +
                               Route(kBossStageRoute, story) + "," + Hold(90, story + cleared + 50, story + cleared + 51) +
                               "," + Hold(27, title + 50, title + 51);
    pid = Start({"TOBRELK_INPUT_SCRIPT=" + script, dumps});
    ASSERT_GT(pid, 0);
    EXPECT_EQ(WaitExit(pid, 120), 0);
    check("story", story);
    // The last stage ends the story: decided at the result, the title menu comes back.
    const std::string menu = Read(file("title", title));
    ASSERT_FALSE(menu.empty());
    EXPECT_FALSE(Flat(menu));
    EXPECT_FALSE(DemoStageShown(menu));
}

// The loudest sample of each whole second of a mix that SDL's disk audio driver wrote (32-bit
// floats, the mixer's stereo at its rate), from the first audible sample on; empty when the mix
// never sounds.
static std::vector<float> PeaksPerSecondFromTheFirstSound(const std::string& raw, float audible) {
    std::vector<float> samples(raw.size() / sizeof(float));
    std::memcpy(samples.data(), raw.data(), samples.size() * sizeof(float));
    const auto first = std::find_if(samples.begin(), samples.end(), [&](float s) { return std::fabs(s) >= audible; });
    std::vector<float> peaks;
    const std::ptrdiff_t second = 44100 * 2;
    for (auto at = first; samples.end() - at >= second; at += second) {
        float peak = 0.0F;
        for (auto s = at; s != at + second; ++s) peak = std::max(peak, std::fabs(*s));
        peaks.push_back(peak);
    }
    return peaks;
}

// The stage music sounds for as long as the stage is played: the game's mix, recorded through
// SDL's disk audio driver over ten seconds of the first stage and of the boss stage (both at
// once, each in a copy of the game of its own: a second copy in one folder asks to end the
// first), has sound in every second from the music's start on. The hero stands still, so the
// mix is the music alone.
TEST_F(EndToEnd, StageMusicSoundsForTheWholeOfTheFirstAndTheBossStage) {
    if (!fs::exists(game / "data" / "stg4" / "Demo-3.stg4_001")) GTEST_SKIP() << "no demo game";
    const fs::path first = game;
    const fs::path boss = game / "boss_game";
    std::string error;
    ASSERT_TRUE(CopyDemoGame(boss, error)) << error;
    // Escape at frame 660: eleven seconds of play at the stages' sixty frames a second.
    const auto record = [&](const fs::path& folder, const char* stage, const fs::path& mix) {
        game = folder;
        const pid_t pid = Start({"SDL_AUDIODRIVER=disk", "SDL_DISKAUDIOFILE=" + mix.string(),
                                 "TOBRELK_INPUT_SCRIPT=660:27+,661:27-"},
                                (folder / "data" / "stg4" / stage).string());
        game = first;
        return pid;
    };
    const fs::path mixFirst = first / "first.raw", mixBoss = first / "boss.raw";
    const pid_t a = record(first, "Demo-1", mixFirst);
    const pid_t b = record(boss, "Demo-3", mixBoss);
    ASSERT_GT(a, 0);
    ASSERT_GT(b, 0);
    EXPECT_EQ(WaitExit(a), 0);
    EXPECT_EQ(WaitExit(b), 0);
    for (const fs::path& mix : {mixFirst, mixBoss}) {
        const std::vector<float> peaks = PeaksPerSecondFromTheFirstSound(Read(mix), 0.02F);
        std::string shown;
        for (float p : peaks) shown += " " + std::to_string(p).substr(0, 5);
        ASSERT_GE(peaks.size(), 10u) << mix.filename() << ": less than ten seconds recorded from the first sound on; peaks:" << shown;
        std::vector<std::size_t> silent;
        for (std::size_t s = 0; s < 10; ++s)
            if (peaks[s] < 0.02F) silent.push_back(s + 1);
        EXPECT_TRUE(silent.empty()) << mix.filename() << ": " << silent.size() << " silent seconds of ten, from second "
                                    << (silent.empty() ? 0 : silent[0]) << " on; peaks:" << shown;
    }
}

// The stage whose NaN gravity hung the play, started directly with the right arrow held: its
// hero walks by a ground-turn move, the report says once that the file held such a value, and
// the play goes on (its frame 300 is drawn). A SIGTERM then closes the game in order: exit code
// 0, and no thread that does not end.
TEST_F(EndToEnd, AStageWithANaNGravityPlaysOnAndClosesInOrder) {
    const fs::path dump = game / "frame300.ppm";
    std::ofstream(game / "data" / "stg4" / "nan-gravity.stg4_001", std::ios::binary) << stagetest::NanGravityStageBytes();
    const pid_t pid = Start({"TOBRELK_INPUT_SCRIPT=60:39+", "TOBRELK_FRAME_DUMP=300:" + dump.string()},
                            "data/stg4/nan-gravity.stg4_001");
    ASSERT_GT(pid, 0);
    const bool drawn = WaitUntil(
        [&] {
            int status = 0;
            if (waitpid(pid, &status, WNOHANG) == pid) return true; // ended early: reported below
            return fs::exists(dump);
        },
        240);
    EXPECT_TRUE(drawn && fs::exists(dump)) << "frame 300 was never drawn";
    kill(pid, SIGTERM);
    EXPECT_EQ(WaitExit(pid, 60), 0);
    const std::string report = Read(game / "Report_Game.txt");
    EXPECT_NE(report.find("nan-gravity.stg4_001 に数でない値 (NaN、無限大) があるため 0 として読みました。\r\n"),
              std::string::npos)
        << report;
    EXPECT_EQ(report.find("に数でない値"), report.rfind("に数でない値")) << report;
    EXPECT_NE(report.find("signal 15 (Terminated) : closing in order"), std::string::npos) << report;
    for (const char* hung : {"does not end", "abandoned"}) EXPECT_EQ(report.find(hung), std::string::npos) << hung << "\n" << report;
}

// A terminal that closes sends SIGHUP: it ends the game in order, as SIGTERM does, while a loop
// holds the game on its own thread: the villager's message (the game waits for a minute) and the
// ranking after a challenge clear (until a key). Exit code 0 within 2 s, a report line, the
// window's place saved, the lock released; the ranking entered before stays saved.
TEST_F(EndToEnd, AHangupClosesTheGameInOrderWhileAMessageOrTheRankingHoldsIt) {
    if (!fs::exists(game / "data" / "stg4" / "c01-1.stg4_001")) GTEST_SKIP() << "no demo game";
    ASSERT_TRUE(WriteTalkStage(game, 600));
    const fs::path held = game / "held.ppm";
    const fs::path ranking = game / "user_data" / "challenge" / "c01.rkg";
    struct Case {
        const char* name;
        std::vector<std::string> env;
        std::string stage;
        std::vector<fs::path> ready; // all there: the loop runs
    };
    const Case cases[] = {
        // Right held from 40: the hero meets the villager before frame 80; frame 150 is held.
        {"message", {"TOBRELK_INPUT_SCRIPT=40:39+", "TOBRELK_FRAME_DUMP=150:" + held.string()},
         (game / "data" / "stg4" / "Talk").string(), {held}},
        // The challenge run of AChallengeRunEndsWithItsRankingFileWritten up to the ranking, which
        // F3 at 1000 opens after the name; no key leaves it.
        {"ranking",
         {"TOBRELK_INPUT_SCRIPT=" + Hold(40, 40, 41) + "," + Hold(40, 43, 44) + "," + Hold(90, 50, 51) + "," +
              Hold(90, 150, 151) + "," + Hold(39, 300, 900) + "," + Hold(114, 1000, 1001),
          "TOBRELK_DIALOG_ANSWERS=1:ABC", "TOBRELK_FRAME_DUMP=1060:" + held.string()},
         "",
         {held, ranking}},
    };
    for (const Case& c : cases) {
        fs::remove(held);
        fs::remove(game / "Report_Game.txt");
        fs::remove(game / "user_data" / "Window.dat");
        const pid_t pid = Start(c.env, c.stage);
        ASSERT_GT(pid, 0);
        const bool ready = WaitUntil(
            [&] {
                int status = 0;
                if (waitpid(pid, &status, WNOHANG) == pid) return true; // ended early: reported below
                return std::all_of(c.ready.begin(), c.ready.end(), [](const fs::path& p) { return fs::exists(p); });
            },
            240);
        EXPECT_TRUE(ready) << c.name << ": the loop never ran";
        const auto sent = std::chrono::steady_clock::now();
        kill(pid, SIGHUP);
        const int code = WaitExit(pid, 30);
        const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - sent).count();
        EXPECT_EQ(code, 0) << c.name;
        EXPECT_LT(ms, 2000) << c.name;
        const std::string report = Read(game / "Report_Game.txt");
        EXPECT_NE(report.find("signal 1 (Hangup) : closing in order"), std::string::npos) << c.name << "\n" << report;
        EXPECT_EQ(Read(game / "user_data" / "Window.dat").size(), 32u) << c.name << ": the window's place";
        const int lock = open((game / "user_data" / "ゲーム.lock").c_str(), O_RDWR);
        EXPECT_TRUE(lock >= 0 && flock(lock, LOCK_EX | LOCK_NB) == 0) << c.name << ": the lock is still held";
        if (lock >= 0) close(lock);
    }
    EXPECT_TRUE(fs::exists(ranking));
}

// A game thread that does not end when asked (held on purpose, as a frame caught in an endless
// loop would hold it) is left after its grace, and the close goes on without releasing what it
// still draws with: a signal or Esc ends the program with exit code 0, the window's place saved,
// the lock released and the thread named in the report, never with a crash.
TEST_F(EndToEnd, ACloseLeavesAGameThreadThatDoesNotEndWithoutACrash) {
    const fs::path shown = game / "shown.ppm";
    struct Case {
        const char* name;
        std::string script; // Esc, or nothing: SIGTERM once the title menu is drawn
        const char* line;   // how the close came, in the report (Esc writes none)
    };
    const Case cases[] = {{"SIGTERM", "", "signal 15 (Terminated) : closing in order"},
                          {"Esc", "90:27+,91:27-", nullptr}};
    for (const Case& c : cases) {
        fs::remove(shown);
        fs::remove(game / "Report_Game.txt");
        fs::remove(game / "user_data" / "Window.dat");
        std::vector<std::string> env{"TOBRELK_HOLD_GAME_THREAD=1", "TOBRELK_FRAME_DUMP=60:" + shown.string()};
        if (!c.script.empty()) env.push_back("TOBRELK_INPUT_SCRIPT=" + c.script);
        // In play: the stage's scene, the largest of what it draws with.
        const pid_t pid = Start(env, (game / "data" / "stg4" / "Demo-1").string());
        ASSERT_GT(pid, 0);
        EXPECT_TRUE(WaitUntil([&] { return fs::exists(shown); }, 240)) << c.name << ": no frame was drawn";
        if (c.script.empty()) kill(pid, SIGTERM);
        EXPECT_EQ(WaitExit(pid, 120), 0) << c.name;
        const std::string report = Read(game / "Report_Game.txt");
        if (c.line) {
            EXPECT_NE(report.find(c.line), std::string::npos) << c.name << "\n" << report;
        }
        EXPECT_NE(report.find(" abandoned\r\n"), std::string::npos) << c.name << "\n" << report;
        EXPECT_EQ(Read(game / "user_data" / "Window.dat").size(), 32u) << c.name << ": the window's place";
        const int lock = open((game / "user_data" / "ゲーム.lock").c_str(), O_RDWR);
        EXPECT_TRUE(lock >= 0 && flock(lock, LOCK_EX | LOCK_NB) == 0) << c.name << ": the lock is still held";
        if (lock >= 0) close(lock);
    }
}
