// The runtime as a whole, headless: start on a game folder, reach the title menu, move the
// cursor by scripted keys, quit from the menu; a second copy ends the first.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <sys/wait.h>
#include <thread>
#include <fcntl.h>
#include <unistd.h>

namespace fs = std::filesystem;

namespace {

class EndToEnd : public ::testing::Test {
protected:
    void SetUp() override {
        game = fs::temp_directory_path() / ("tobrelk_e2e_" + std::to_string(::getpid()) + "_" +
                                            ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(game);
        fs::create_directories(game);
        if (fs::exists(TOBRELK_DEMO_TOOL)) {
            const std::string cmd = std::string(TOBRELK_DEMO_TOOL) + " '" + game.string() + "' >/dev/null 2>&1";
            ASSERT_EQ(std::system(cmd.c_str()), 0);
        }
    }
    void TearDown() override { fs::remove_all(game); }

    // Starts the runtime in the game folder with extra environment entries.
    pid_t Start(const std::vector<std::string>& env, const std::string& arg = std::string()) {
        const pid_t pid = fork();
        if (pid == 0) {
            if (chdir(game.c_str()) != 0) _exit(97);
            setenv("SDL_VIDEODRIVER", "dummy", 1);
            setenv("SDL_AUDIODRIVER", "dummy", 1);
            for (const auto& e : env) putenv(strdup(e.c_str()));
            const int devnull = open("/dev/null", O_WRONLY);
            dup2(devnull, 2);
            if (arg.empty()) execl(TOBRELK_EXE, TOBRELK_EXE, static_cast<char*>(nullptr));
            else execl(TOBRELK_EXE, TOBRELK_EXE, arg.c_str(), static_cast<char*>(nullptr));
            _exit(98);
        }
        return pid;
    }

    // The exit code, or -1 when it did not end in time (it is then killed).
    static int WaitExit(pid_t pid, int seconds) {
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

    fs::path game;
};

TEST_F(EndToEnd, TitleMenuCursorAndQuitEndInOrder) {
    const fs::path before = game / "before.ppm";
    const fs::path dump = game / "frame.ppm";
    // The fade-in ends before frame 30. Down at 40 (row 1); frame 46 is dumped; then up twice
    // wraps to the last row (quit), which the decide button takes.
    const pid_t pid = Start({"TOBRELK_INPUT_SCRIPT=40:40+,42:40-,50:38+,52:38-,55:38+,57:38-,62:90+,64:90-",
                             "TOBRELK_FRAME_DUMP=38:" + before.string() + ",46:" + dump.string()});
    ASSERT_GT(pid, 0);
    EXPECT_EQ(WaitExit(pid, 30), 0);

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
    EXPECT_EQ(WaitExit(pid, 30), 0);
    const std::string report = Read(game / "Report_Game.txt");
    EXPECT_NE(report.find("「data\\stg4\\nothing」の読み込みに失敗しました！"), std::string::npos) << report;
    // The title menu runs, not the play scene (whose placeholder is a plain grey screen).
    const std::string frame = Read(shown);
    ASSERT_FALSE(frame.empty()) << "no frame was drawn";
    EXPECT_NE(Pixel(frame, 10, 10), 0x303030u);
    EXPECT_EQ(Read(game / "user_data" / "Window.dat").size(), 32u);
}

TEST_F(EndToEnd, StageOnTheCommandLineStartsDirectPlayAndFreePlayChoosesAStage) {
    const fs::path stage = game / "data" / "stg4" / "Demo-1.stg4_001";
    if (!fs::exists(stage)) GTEST_SKIP() << "no demo game";
    // Direct start: the stage's name without its number; the play scene comes first.
    const fs::path play = game / "play.ppm";
    pid_t pid = Start({"TOBRELK_INPUT_SCRIPT=60:27+", "TOBRELK_FRAME_DUMP=40:" + play.string()},
                      (game / "data" / "stg4" / "Demo-1").string());
    ASSERT_GT(pid, 0);
    EXPECT_EQ(WaitExit(pid, 30), 0);
    const std::string direct = Read(play);
    ASSERT_FALSE(direct.empty());
    EXPECT_EQ(Pixel(direct, 10, 10), 0x303030u) << "the play scene (a placeholder for now) runs";

    // From the title: free play (the fourth entry), the stage dialog answered by script.
    fs::remove(play);
    pid = Start({"TOBRELK_INPUT_SCRIPT=40:38+,41:38-,43:38+,44:38-,46:38+,47:38-,49:38+,50:38-,52:90+,53:90-,130:27+",
                 "TOBRELK_DIALOG_ANSWERS=1:data\\stg4\\Demo-1.stg4_001", "TOBRELK_FRAME_DUMP=120:" + play.string()});
    ASSERT_GT(pid, 0);
    EXPECT_EQ(WaitExit(pid, 30), 0);
    const std::string free = Read(play);
    ASSERT_FALSE(free.empty());
    EXPECT_EQ(Pixel(free, 10, 10), 0x303030u);
}

TEST_F(EndToEnd, SecondCopyEndsTheFirstWhenAnsweredYes) {
    const pid_t first = Start({});
    ASSERT_GT(first, 0);
    // Wait until the first copy holds the lock and runs.
    const fs::path lock = game / "user_data" / "ゲーム.lock";
    for (int i = 0; i < 500 && !(fs::exists(lock) && fs::file_size(lock) > 0); ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    // Headless, the question takes its default answer: Yes.
    const pid_t second = Start({"TOBRELK_INPUT_SCRIPT=40:27+,41:27-"});
    EXPECT_EQ(WaitExit(first, 10), 0) << "the first copy closes in order";
    EXPECT_EQ(WaitExit(second, 30), 0);
    const std::string report = Read(game / "Report_Game.txt");
    EXPECT_NE(report.find("二重起動"), std::string::npos);
}

} // namespace
