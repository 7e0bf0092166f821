// The single-instance lock: a second copy asks; No leaves the running copy alone.
#include <gtest/gtest.h>

#include <chrono>
#include <csignal>
#include <fcntl.h>
#include <filesystem>
#include <string>
#include <sys/file.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

#include "app/SingleInstance.h"
#include "platform/system/MessageBox.h"
#include "platform/system/PathResolver.h"
#include "platform/system/Report.h"

namespace fs = std::filesystem;

namespace {

class Instance : public ::testing::Test {
protected:
    void SetUp() override {
        dir = fs::temp_directory_path() / ("tobrelk_inst_" + std::to_string(::getpid()));
        fs::remove_all(dir);
        fs::create_directories(dir);
        SetGameRoot(dir);
        SetReportFile((dir / "Report_Game.txt").string());
    }
    void TearDown() override {
        if (holder > 0) {
            kill(holder, SIGKILL);
            waitpid(holder, nullptr, 0);
        }
        SingleInstanceRelease();
        SetMessageBoxSink(nullptr);
        SetGameRoot(fs::current_path());
        fs::remove_all(dir);
    }
    // A child process that holds the lock as a running copy would (its pid in the file).
    void StartHolder(bool ignoresRequests = false) {
        const std::string path = SingleInstanceLockPath();
        int ready[2];
        ASSERT_EQ(pipe(ready), 0);
        holder = fork();
        if (holder == 0) {
            if (ignoresRequests) signal(SIGTERM, SIG_IGN);
            const int fd = open(path.c_str(), O_RDWR | O_CREAT, 0644);
            if (fd < 0 || flock(fd, LOCK_EX) != 0) _exit(1);
            const std::string pid = std::to_string(getpid()) + "\n";
            if (pwrite(fd, pid.data(), pid.size(), 0) < 0) _exit(1);
            if (write(ready[1], "x", 1) != 1) _exit(1);
            for (;;) pause();
        }
        char c;
        ASSERT_EQ(read(ready[0], &c, 1), 1);
        close(ready[0]);
        close(ready[1]);
    }
    fs::path dir;
    pid_t holder = -1;
};

TEST_F(Instance, FirstCopyTakesTheLockAndReleasesIt) {
    int asked = 0;
    SetMessageBoxSink([&](const std::string&, const std::string&, u32) {
        ++asked;
        return IDNO;
    });
    ASSERT_TRUE(SingleInstanceAcquire());
    EXPECT_EQ(asked, 0);
    SingleInstanceRelease();
    ASSERT_TRUE(SingleInstanceAcquire());
    EXPECT_EQ(asked, 0);
}

TEST_F(Instance, NoLeavesTheRunningCopyAndThisOneEnds) {
    StartHolder();
    std::string caption;
    SetMessageBoxSink([&](const std::string&, const std::string& c, u32 type) {
        caption = c;
        EXPECT_EQ(type & 0xF, MB_YESNO);
        return IDNO;
    });
    EXPECT_FALSE(SingleInstanceAcquire());
    EXPECT_EQ(caption, "二重起動");
    EXPECT_EQ(waitpid(holder, nullptr, WNOHANG), 0) << "the running copy is untouched";
}

TEST_F(Instance, YesEndsTheRunningCopyAndTakesOver) {
    StartHolder();
    SetMessageBoxSink([&](const std::string&, const std::string&, u32) { return IDYES; });
    EXPECT_TRUE(SingleInstanceAcquire());
    int status = 0;
    EXPECT_EQ(waitpid(holder, &status, 0), holder);
    holder = -1;
}

TEST_F(Instance, YesForcesACopyThatDoesNotCloseWithinItsGrace) {
    StartHolder(true);
    SetMessageBoxSink([&](const std::string&, const std::string&, u32) { return IDYES; });
    const auto start = std::chrono::steady_clock::now();
    EXPECT_TRUE(SingleInstanceAcquire());
    EXPECT_GE(std::chrono::steady_clock::now() - start, std::chrono::seconds(2)) << "it was given time to close";
    int status = 0;
    ASSERT_EQ(waitpid(holder, &status, 0), holder);
    holder = -1;
    EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGKILL);
}

// The copy named in the lock is gone by the time it would be forced, but the lock is not free
// yet (its files are closed a moment later; here a child of it keeps the lock a while longer):
// the second copy waits for the lock instead of reporting that the first could not be ended.
TEST_F(Instance, YesWaitsForTheLockWhenItsOwnerIsAlreadyGone) {
    const std::string path = SingleInstanceLockPath();
    int ready[2];
    ASSERT_EQ(pipe(ready), 0);
    // Ended copies are reaped at once, so that the named owner is truly gone (not a zombie).
    struct sigaction ignore {}, before {};
    ignore.sa_handler = SIG_IGN;
    sigaction(SIGCHLD, &ignore, &before);
    const pid_t owner = fork();
    if (owner == 0) {
        const int fd = open(path.c_str(), O_RDWR | O_CREAT, 0644);
        if (fd < 0 || flock(fd, LOCK_EX) != 0) _exit(1);
        const std::string pid = std::to_string(getpid()) + "\n";
        if (pwrite(fd, pid.data(), pid.size(), 0) < 0) _exit(1);
        const pid_t self = getpid();
        if (fork() == 0) {
            // Shares the lock; keeps it for longer than the close's grace after the owner ended.
            while (getppid() == self) usleep(1000);
            sleep(4);
            _exit(0);
        }
        if (write(ready[1], "x", 1) != 1) _exit(1);
        for (;;) pause(); // ends on the request, at once
    }
    char c;
    ASSERT_EQ(read(ready[0], &c, 1), 1);
    close(ready[0]);
    close(ready[1]);
    std::string failure;
    SetMessageBoxSink([&](const std::string& text, const std::string&, u32 type) {
        if ((type & 0xF) == MB_OK) failure = text;
        return IDYES;
    });
    EXPECT_TRUE(SingleInstanceAcquire());
    EXPECT_EQ(failure, "");
    sigaction(SIGCHLD, &before, nullptr);
}

} // namespace
