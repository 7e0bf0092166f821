// The single-instance lock: a second copy asks; No leaves the running copy alone; a process that
// is not a running copy in this folder holding the lock is never offered to be closed.
#include <gtest/gtest.h>

#include <chrono>
#include <csignal>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <regex>
#include <string>
#include <sys/file.h>
#include <sys/resource.h>
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
        // A copy plays the folder it works in; the copies forked here inherit it.
        before = fs::current_path();
        fs::current_path(dir);
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
        fs::current_path(before);
        SetGameRoot(before);
        fs::remove_all(dir);
    }
    // A child process that holds the lock as a running copy would (its pid in the file), then
    // does what then says.
    void StartHolder(bool ignoresRequests = false, void (*then)() = nullptr) {
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
            if (then) then();
            if (write(ready[1], "x", 1) != 1) _exit(1);
            for (;;) pause();
        }
        char c;
        ASSERT_EQ(read(ready[0], &c, 1), 1);
        close(ready[0]);
        close(ready[1]);
    }
    std::string ReadReport() const {
        std::ifstream in(dir / "Report_Game.txt", std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), {});
    }
    fs::path dir, before;
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
    const pid_t forced = holder;
    SetMessageBoxSink([&](const std::string&, const std::string&, u32) { return IDYES; });
    const auto start = std::chrono::steady_clock::now();
    EXPECT_TRUE(SingleInstanceAcquire());
    EXPECT_GE(std::chrono::steady_clock::now() - start, std::chrono::seconds(2)) << "it was given time to close";
    int status = 0;
    ASSERT_EQ(waitpid(holder, &status, 0), holder);
    holder = -1;
    EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGKILL);
    // The player whose game was ended without its saves learns why from the report.
    EXPECT_NE(ReadReport().find("SingleInstance : 実行中のプログラム (PID " + std::to_string(forced) +
                                ") が 3 秒待っても終了しないため、強制終了しました\r\n"),
              std::string::npos)
        << ReadReport();
}

// A question nobody can see (no display: the test's dummy driver) is answered with what changes
// nothing: whether the holder is a running copy or a program of another folder, the start ends,
// the holder goes on, and the report says so.
TEST_F(Instance, AQuestionNobodySeesEndsTheStartAndLeavesTheHolder) {
    SetMessageBoxSink(nullptr);
    std::string trace;
    for (const bool copy : {true, false}) {
        void (*elsewhere)() = [] { (void)!chdir("/"); };
        StartHolder(false, copy ? nullptr : elsewhere);
        trace += std::string(copy ? "copy" : "stranger") + ": start " + (SingleInstanceAcquire() ? "goes on" : "ends") +
                 ", holder " + (waitpid(holder, nullptr, WNOHANG) == 0 ? "runs" : "ended") + "\n";
        kill(holder, SIGKILL);
        waitpid(holder, nullptr, 0);
        holder = -1;
        SingleInstanceRelease();
    }
    EXPECT_EQ(trace, "copy: start ends, holder runs\nstranger: start ends, holder runs\n");
    const std::string report = std::regex_replace(ReadReport(), std::regex("PID [0-9]+"), "PID n");
    const std::string ended = "[二重起動] 表示できないため「いいえ」と答えました\r\n"
                              "SingleInstance : 「いいえ」のため起動を終えます。どのプログラムも終了させていません\r\n";
    const std::size_t first = report.find(ended);
    EXPECT_NE(first, std::string::npos) << report;
    EXPECT_NE(report.find(ended, first + 1), std::string::npos) << report;
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

// The lock names a process that is no copy in this folder holding it: the question says so (the
// process is left alone whatever the answer; the runtime's own test answers Yes).
TEST_F(Instance, TheQuestionSaysWhyTheNamedProcessIsNotClosed) {
    std::string asked;
    SetMessageBoxSink([&](const std::string& text, const std::string&, u32) {
        asked += text.substr(0, text.find('\n')) + "\n";
        return IDNO;
    });
    StartHolder(false, [] { (void)!chdir("/"); });
    EXPECT_FALSE(SingleInstanceAcquire());
    const auto endHolder = [&] {
        kill(holder, SIGKILL);
        waitpid(holder, nullptr, 0);
    };
    if (geteuid() == 0) {
        endHolder();
        StartHolder(false, [] { (void)!setresuid(65534, 65534, 65534); });
        EXPECT_FALSE(SingleInstanceAcquire());
    }
    // A copy that has the file open without the lock.
    const pid_t waiting = fork();
    if (waiting == 0) {
        open(SingleInstanceLockPath().c_str(), O_RDONLY);
        for (;;) pause();
    }
    std::ofstream(SingleInstanceLockPath()) << waiting << "\n";
    EXPECT_FALSE(SingleInstanceAcquire());
    kill(waiting, SIGKILL);
    waitpid(waiting, nullptr, 0);
    const std::string lead = "このゲームフォルダのロックは使用中ですが、ロックに書かれたプロセス (PID n) ";
    EXPECT_EQ(std::regex_replace(asked, std::regex("PID [0-9]+"), "PID n"),
              lead + "は別のフォルダのゲームです。\n" + (geteuid() == 0 ? lead + "は別のユーザーのものです。\n" : "") + lead +
                  "はロックを持っていません。\n");
}

// Checked again before it is forced: a copy that became another program on the request to close
// (its id and lock carried on past the grace) is not forced, and the lock is taken once it ends.
TEST_F(Instance, ACopyThatBecameAnotherProgramIsNotForced) {
    StartHolder(false, [] { signal(SIGTERM, [](int) { execl("/bin/sleep", "sleep", "4", static_cast<char*>(nullptr)); }); });
    SetMessageBoxSink([&](const std::string&, const std::string&, u32) { return IDYES; });
    EXPECT_TRUE(SingleInstanceAcquire());
    int status = 0;
    ASSERT_EQ(waitpid(holder, &status, 0), holder);
    holder = -1;
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "ended by signal " << WTERMSIG(status);
}

// Without a lock file (here a folder, or a file where user_data should be, as a read-only or
// refused folder would) there is nothing to guard with: the game runs without the one-copy
// check, and the report says why the lock could not be made.
TEST_F(Instance, ALockThatCannotBeMadeSaysWhyAndTheGameRuns) {
    std::string table;
    for (const bool folder : {true, false}) {
        fs::remove_all(dir / "user_data");
        if (folder) fs::create_directories(dir / "user_data" / "ゲーム.lock");
        else std::ofstream(dir / "user_data") << "x";
        const char* place = folder ? "folder in the lock's place" : "file in user_data's place";
        const bool runs = SingleInstanceAcquire();
        SingleInstanceRelease();
        const std::string report = ReadReport();
        const std::size_t at = report.rfind("SingleInstance : ");
        table += std::string(place) + ": " + (runs ? "runs" : "ends") + ", " +
                 (at == std::string::npos ? "no line" : report.substr(at + 17, report.find("\r\n", at) - at - 17)) + "\n";
    }
    const std::string lock = (dir / "user_data" / "ゲーム.lock").string();
    EXPECT_EQ(table, "folder in the lock's place: runs, " + lock + " を開けません (Is a directory)\n" +
                         "file in user_data's place: runs, " + lock + " を開けません (Not a directory)\n");
}

// A disk that takes no byte more (a file size limit of 0 stands in for a full disk: the same
// write fails): the lock is held, the id is not written, and the line says why.
TEST_F(Instance, AnIdTheDiskDoesNotTakeSaysWhy) {
    int out[2];
    ASSERT_EQ(pipe(out), 0);
    const pid_t child = fork();
    if (child == 0) {
        dup2(out[1], 2);
        SetReportToStderr();
        signal(SIGXFSZ, SIG_IGN);
        const rlimit none{0, 0};
        if (setrlimit(RLIMIT_FSIZE, &none) != 0) _exit(3);
        _exit(SingleInstanceAcquire() ? 0 : 1);
    }
    close(out[1]);
    std::string err;
    char buf[256];
    for (ssize_t n; (n = read(out[0], buf, sizeof buf)) > 0;) err.append(buf, static_cast<std::size_t>(n));
    close(out[0]);
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
    EXPECT_EQ(err, "SingleInstance : PID を書き込めません (File too large)\n");
}

} // namespace
