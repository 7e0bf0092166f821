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

} // namespace
