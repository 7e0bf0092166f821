// The single-instance lock: a second copy asks; No leaves the running copy alone; a process that
// is not a running copy holding the lock is never signalled, whatever the lock file names.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <csignal>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <regex>
#include <sstream>
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

// The processes around a lock for the tests below. Each is forked, set up as told, reports
// ready, then waits until the test lets them go (the go pipe closes), lingers a moment and ends
// with 0: a signal shows in its status.
struct PARTY {
    bool holdsLock = false; // takes the lock
    bool opensLock = false; // has the lock file open, without the lock
    bool namesSelf = false; // writes its id into the lock file
    const char* folder = nullptr; // works in this folder instead of the game's
    uid_t user = 0;               // becomes this user once set up (0: stays)
    bool runsShell = false;       // becomes another program (a shell) once set up
};

class LockParties : public Instance {
protected:
    void SetUp() override {
        Instance::SetUp();
        ASSERT_EQ(pipe(go), 0);
    }
    void TearDown() override {
        LetGo();
        for (pid_t p : parties) {
            kill(p, SIGKILL);
            waitpid(p, nullptr, 0);
        }
        if (go[0] >= 0) close(go[0]);
        Instance::TearDown();
    }
    void LetGo() {
        if (go[1] >= 0) close(go[1]);
        go[1] = -1;
    }
    pid_t Spawn(const PARTY& party) {
        const std::string path = SingleInstanceLockPath();
        int ready[2];
        if (pipe(ready) != 0) return -1;
        const pid_t pid = fork();
        if (pid == 0) {
            close(go[1]);
            close(ready[0]);
            if (party.folder && chdir(party.folder) != 0) _exit(1);
            if (party.holdsLock || party.opensLock || party.namesSelf) {
                const int fd = open(path.c_str(), O_RDWR | O_CREAT, 0644);
                if (fd < 0 || (party.holdsLock && flock(fd, LOCK_EX) != 0)) _exit(1);
                const std::string id = std::to_string(getpid()) + "\n";
                if (party.namesSelf && (ftruncate(fd, 0) != 0 || pwrite(fd, id.data(), id.size(), 0) < 0)) _exit(1);
            }
            if (party.user && (setresgid(party.user, party.user, party.user) != 0 ||
                               setresuid(party.user, party.user, party.user) != 0))
                _exit(1);
            if (party.runsShell) {
                // Ready once it is the other program.
                dup2(go[0], 0);
                dup2(ready[1], 3);
                execl("/bin/sh", "sh", "-c", "echo >&3; exec 3>&-; read x; sleep 0.3", static_cast<char*>(nullptr));
                _exit(1);
            }
            if (write(ready[1], "x", 1) != 1) _exit(1);
            close(ready[1]);
            char c;
            while (read(go[0], &c, 1) > 0) {
            }
            usleep(300000);
            _exit(0);
        }
        close(ready[1]);
        char c;
        const bool up = read(ready[0], &c, 1) == 1;
        close(ready[0]);
        if (pid > 0) parties.push_back(pid);
        return up ? pid : -1;
    }
    // Writes the id the lock file names (empty for none), as anyone who can write the folder can.
    void Name(pid_t pid) {
        std::ofstream(SingleInstanceLockPath(), std::ios::trunc) << (pid ? std::to_string(pid) + "\n" : std::string());
    }
    // How a party ended.
    std::string End(pid_t pid) {
        int status = 0;
        if (waitpid(pid, &status, 0) != pid) return "not a child";
        parties.erase(std::find(parties.begin(), parties.end(), pid));
        if (WIFSIGNALED(status)) return "ended by signal " + std::to_string(WTERMSIG(status));
        return WEXITSTATUS(status) == 0 ? "ended by itself" : "failed " + std::to_string(WEXITSTATUS(status));
    }
    // The second copy answers Yes and lets the parties go once asked. One table row: the
    // question's first line, its report lines, how the named process and the holder ended, and
    // whether the lock was taken.
    std::string Row(const std::string& label, pid_t named, pid_t holderPid) {
        const fs::path report = dir / "Report_Game.txt";
        const std::size_t seen = fs::exists(report) ? fs::file_size(report) : 0;
        std::string question, failure;
        SetMessageBoxSink([&](const std::string& text, const std::string&, u32 type) {
            if ((type & 0xF) == MB_YESNO) {
                question = text.substr(0, text.find('\n'));
                LetGo();
            } else {
                failure = text;
            }
            return IDYES;
        });
        const bool taken = SingleInstanceAcquire();
        SingleInstanceRelease();
        std::ifstream in(report, std::ios::binary);
        in.seekg(static_cast<std::streamoff>(seen));
        std::string lines;
        for (std::string line; std::getline(in, line);) {
            if (!line.empty() && line.back() == '\r') line.pop_back();
            const std::size_t at = line.find("SingleInstance : ");
            if (at != std::string::npos) lines += (lines.empty() ? "" : " / ") + line.substr(at);
        }
        std::string row = label + " | " + question + " | " + lines + " | named: " + (named > 0 ? End(named) : "-");
        if (holderPid > 0 && holderPid != named) row += ", holder: " + End(holderPid);
        row += taken ? " | taken" : " | not taken: " + failure;
        return std::regex_replace(row, std::regex("PID [0-9]+"), "PID n") + "\n";
    }
    int go[2] = {-1, -1};
    std::vector<pid_t> parties;
};

// The lock names, in turn, every kind of process a shared or stale lock file can name. Only a
// running copy of this program that holds the lock in this folder is asked to close; the others
// are left alone, the question says why, and Yes waits for the lock instead.
TEST_F(LockParties, OnlyARunningCopyHoldingTheLockInThisFolderIsSignalled) {
    std::string table;
    auto fresh = [&] {
        close(go[0]);
        ASSERT_EQ(pipe(go), 0);
    };
    {
        const pid_t copy = Spawn({.holdsLock = true, .namesSelf = true});
        table += Row("a copy holding the lock", copy, copy);
    }
    {
        fresh();
        const pid_t other = Spawn({.holdsLock = true, .namesSelf = true, .runsShell = true});
        table += Row("another program holding the lock", other, other);
    }
    {
        fresh();
        const pid_t copy = Spawn({.holdsLock = true});
        const pid_t other = Spawn({.runsShell = true});
        Name(other);
        table += Row("another program named, a copy holds the lock", other, copy);
    }
    {
        fresh();
        const pid_t away = Spawn({.holdsLock = true, .namesSelf = true, .folder = "/"});
        table += Row("a copy in another folder holding the lock", away, away);
    }
    {
        fresh();
        const pid_t copy = Spawn({.holdsLock = true});
        const pid_t waiting = Spawn({.opensLock = true});
        Name(waiting);
        table += Row("a copy named that does not hold the lock", waiting, copy);
    }
    {
        fresh();
        const pid_t gone = fork();
        if (gone == 0) _exit(0);
        waitpid(gone, nullptr, 0);
        const pid_t copy = Spawn({.holdsLock = true});
        Name(gone);
        table += Row("a process that has ended named", -1, copy);
    }
    {
        fresh();
        const pid_t copy = Spawn({.holdsLock = true});
        Name(0);
        table += Row("no process named", -1, copy);
    }
    {
        fresh();
        const pid_t copy = Spawn({.holdsLock = true});
        Name(getpid());
        table += Row("this process named", -1, copy);
    }
    const std::string ask = "このゲームフォルダのロックは使用中ですが、";
    const std::string told = "SingleInstance : ロックは使用中ですが、";
    const std::string nothing = "。どのプログラムも終了させません";
    const std::string named = "ロックに書かれたプロセス (PID n) ";
    auto row = [&](const std::string& label, const std::string& why, const std::string& ends) {
        return label + " | " + ask + why + "。 | " + told + why + nothing + " | " + ends + " | taken\n";
    };
    EXPECT_EQ(table,
              "a copy holding the lock | 既に起動しています。 |  | named: ended by signal 15 | taken\n" +
                  row("another program holding the lock", named + "はこのゲームではありません", "named: ended by itself") +
                  row("another program named, a copy holds the lock", named + "はこのゲームではありません",
                      "named: ended by itself, holder: ended by itself") +
                  row("a copy in another folder holding the lock", named + "は別のフォルダのゲームです", "named: ended by itself") +
                  row("a copy named that does not hold the lock", named + "はロックを持っていません",
                      "named: ended by itself, holder: ended by itself") +
                  row("a process that has ended named", named + "は実行されていません", "named: -, holder: ended by itself") +
                  row("no process named", "ロックを持つプロセスが書かれていません", "named: -, holder: ended by itself") +
                  row("this process named", named + "はロックを持っていません", "named: -, holder: ended by itself"));
}

// Another user's process is never signalled, though this one (the superuser here) could.
TEST_F(LockParties, AnotherUsersProcessHoldingTheLockIsNotSignalled) {
    if (geteuid() != 0) GTEST_SKIP() << "needs to run as the superuser to start a process of another user";
    const pid_t other = Spawn({.holdsLock = true, .namesSelf = true, .user = 65534});
    ASSERT_GT(other, 0);
    EXPECT_EQ(Row("another user's process", other, other),
              "another user's process | このゲームフォルダのロックは使用中ですが、ロックに書かれたプロセス (PID n) "
              "は別のユーザーのものです。 | SingleInstance : ロックは使用中ですが、ロックに書かれたプロセス (PID n) "
              "は別のユーザーのものです。どのプログラムも終了させません | named: ended by itself | taken\n");
}

// The copy is checked again before it is forced: one that has become another program since it
// was asked to close (its id, and here even its lock, carried on) is not forced.
TEST_F(LockParties, ACopyThatBecameAnotherProgramIsNotForced) {
    const std::string path = SingleInstanceLockPath();
    int ready[2];
    ASSERT_EQ(pipe(ready), 0);
    holder = fork();
    if (holder == 0) {
        // Asked to close, it runs another program that keeps the lock past the close's grace.
        struct sigaction becomeOther {};
        becomeOther.sa_handler = [](int) { execl("/bin/sleep", "sleep", "4", static_cast<char*>(nullptr)); };
        sigaction(SIGTERM, &becomeOther, nullptr);
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
    std::string failure;
    SetMessageBoxSink([&](const std::string& text, const std::string&, u32 type) {
        if ((type & 0xF) == MB_OK) failure = text;
        return IDYES;
    });
    EXPECT_TRUE(SingleInstanceAcquire()) << failure;
    int status = 0;
    ASSERT_EQ(waitpid(holder, &status, 0), holder);
    holder = -1;
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "ended by signal " << WTERMSIG(status);
    std::ifstream in(dir / "Report_Game.txt");
    std::stringstream report;
    report << in.rdbuf();
    EXPECT_NE(report.str().find("はこのゲームではありません。シグナルを送りません"), std::string::npos) << report.str();
}

} // namespace
