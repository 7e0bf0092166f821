// A game folder that other users can write: another user holds the lock and writes into it the
// id of an unrelated program of the player. The player's start leaves that program alone, says
// why, and waits for the lock instead; it starts once the lock is let go.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <sys/file.h>
#include <sys/stat.h>

#include "RuntimeProcess.h"
#include "tests/support/DemoGameCopy.h"

namespace fs = std::filesystem;
using namespace runtimeproc;

namespace {

class ForeignLock : public ::testing::Test {
protected:
    void SetUp() override {
        game = fs::temp_directory_path() / ("tobrelk_lock_" + std::to_string(::getpid()) + "_" +
                                            ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(game);
        std::string error;
        ASSERT_TRUE(CopyDemoGame(game, error)) << error;
        // Shared: every user may write the folder and its user_data.
        fs::create_directories(game / "user_data");
        fs::permissions(game, fs::perms::all);
        fs::permissions(game / "user_data", fs::perms::all);
        lock = game / "user_data" / "ゲーム.lock";
        // The player's lock file, left by an earlier run.
        std::ofstream(lock).flush();
        if (player && chown(lock.c_str(), player, player) != 0) FAIL() << "cannot hand the lock file to the player";

        // An unrelated program of the player; the pipe closes once it runs.
        int running[2];
        ASSERT_EQ(pipe2(running, O_CLOEXEC), 0);
        stranger = fork();
        if (stranger == 0) {
            if (!BecomeUser(player)) _exit(1);
            execl("/bin/sleep", "sleep", "1000", static_cast<char*>(nullptr));
            _exit(1);
        }
        close(running[1]);
        char none;
        ASSERT_EQ(read(running[0], &none, 1), 0);
        close(running[0]);
        // Another user (the one the tests run as) takes the lock and names the player's program.
        int ready[2];
        ASSERT_EQ(pipe(ready), 0);
        holder = fork();
        if (holder == 0) {
            const int fd = open(lock.c_str(), O_RDWR);
            const std::string id = std::to_string(stranger) + "\n";
            if (fd < 0 || flock(fd, LOCK_EX) != 0 || ftruncate(fd, 0) != 0 || pwrite(fd, id.data(), id.size(), 0) < 0) _exit(1);
            if (write(ready[1], "x", 1) != 1) _exit(1);
            for (;;) pause();
        }
        char c;
        ASSERT_EQ(read(ready[0], &c, 1), 1);
        close(ready[0]);
        close(ready[1]);
    }
    void TearDown() override {
        for (pid_t p : {holder, stranger})
            if (p > 0) {
                kill(p, SIGKILL);
                waitpid(p, nullptr, 0);
            }
        fs::remove_all(game);
    }
    // The player's program runs on: it was not signalled.
    bool StrangerRuns() {
        int status = 0;
        return waitpid(stranger, &status, WNOHANG) == 0;
    }
    // The report's lines of the question and its reasons, as they were written.
    std::string Expected(const std::string& why) {
        return "SingleInstance : ロックは使用中ですが、" + why + "。どのプログラムも終了させません";
    }

    fs::path game, lock;
    uid_t player = PlayerUser();
    pid_t stranger = -1, holder = -1;
};

TEST_F(ForeignLock, ThePlayersProgramIsNotSignalledAndTheStartStopsWhenTheLockStaysHeld) {
    // Headless, the question takes its default answer (Yes): wait for the lock.
    const pid_t game1 = Start(game, {"TOBRELK_INPUT_SCRIPT=60:27+,61:27-"}, player);
    ASSERT_GT(game1, 0);
    EXPECT_EQ(WaitExit(game1), 0) << "a start that does not take place is no error";
    EXPECT_TRUE(StrangerRuns()) << "the player's program was ended";
    const std::string report = Read(game / "Report_Game.txt");
    const std::string why = "ロックに書かれたプロセス (PID " + std::to_string(stranger) + ") はこのゲームではありません";
    EXPECT_NE(report.find(Expected(why)), std::string::npos) << report;
    EXPECT_NE(report.find("[二重起動] このゲームフォルダのロックは使用中ですが、" + why + "。"), std::string::npos) << report;
    EXPECT_NE(report.find("[二重起動] ロックが空かないため、起動を中止します。"), std::string::npos) << report;
    EXPECT_EQ(report.find("プログラムの終了に失敗しました"), std::string::npos) << report;
    EXPECT_EQ(report.find("DDInit"), std::string::npos) << "the game started";
    EXPECT_EQ(Read(lock), std::to_string(stranger) + "\n") << "the lock was taken over";
}

TEST_F(ForeignLock, TheStartWaitsForTheLockAndPlaysOnceItIsLetGo) {
    const pid_t game1 = Start(game, {"TOBRELK_INPUT_SCRIPT=60:27+,61:27-"}, player);
    ASSERT_GT(game1, 0);
    // The question is asked (and answered): the holder lets go within the wait.
    ASSERT_TRUE(WaitUntil([&] { return Read(game / "Report_Game.txt").find("[二重起動] ") != std::string::npos; }));
    kill(holder, SIGKILL);
    waitpid(holder, nullptr, 0);
    holder = -1;
    // It takes the lock, names itself in it and plays up to its Escape.
    ASSERT_TRUE(WaitUntil([&] { return Read(lock) == std::to_string(game1) + "\n"; })) << Read(game / "Report_Game.txt");
    EXPECT_EQ(WaitExit(game1), 0);
    EXPECT_TRUE(StrangerRuns()) << "the player's program was ended";
    const std::string report = Read(game / "Report_Game.txt");
    EXPECT_EQ(report.find("ロックが空かないため"), std::string::npos) << report;
    EXPECT_NE(report.find("DDInit"), std::string::npos) << report;
}

} // namespace
