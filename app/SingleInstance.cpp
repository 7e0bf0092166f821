#include "app/SingleInstance.h"

#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <string>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include "platform/system/AtomicFile.h"
#include "platform/system/MessageBox.h"
#include "platform/system/PathResolver.h"
#include "platform/system/Report.h"

namespace {

int g_lockFd = -1;

// How long the running copy may take to close in order (save its files, end its threads)
// before it is forced: enough for a sanitizer build on a machine busy with other work.
constexpr auto kCloseGrace = std::chrono::seconds(3);
// After a forced end the system closes the copy's files; on a busy machine that is not instant.
// A forced copy always ends, so the wait ends as soon as it has: the bound only has to hold on a
// machine ten times busier than usual.
constexpr auto kKillGrace = std::chrono::seconds(10);

bool TryLock(int fd) { return flock(fd, LOCK_EX | LOCK_NB) == 0; }

// Waits up to the given time for the lock, retrying every few milliseconds. Measured on the
// clock rather than by counting sleeps, which a busy machine stretches.
bool WaitLock(int fd, std::chrono::steady_clock::duration limit) {
    const auto until = std::chrono::steady_clock::now() + limit;
    for (;;) {
        if (TryLock(fd)) return true;
        if (std::chrono::steady_clock::now() >= until) return false;
        usleep(5000);
    }
}

pid_t ReadOwner(int fd) {
    char buf[32] = {};
    const ssize_t n = pread(fd, buf, sizeof buf - 1, 0);
    if (n <= 0) return 0;
    const long pid = std::strtol(buf, nullptr, 10);
    return pid > 0 && pid < 0x7FFFFFFF ? static_cast<pid_t>(pid) : 0;
}

void WriteOwner(int fd) {
    const std::string pid = std::to_string(getpid()) + "\n";
    if (ftruncate(fd, 0) == 0 && pwrite(fd, pid.data(), pid.size(), 0) != static_cast<ssize_t>(pid.size()))
        WriteReport("SingleInstance : PID を書き込めません");
}

// The lock file, opened in the game's own user_data only: never through a link (the folder's or
// the file's), nor a file with a second name, which the id written in it would overwrite.
int OpenLockFile(const std::string& path) {
    const std::filesystem::path p(path);
    const int dir = OpenWriteFolder(p.parent_path());
    if (dir < 0) return -1;
    const std::string name = p.filename().string();
    int fd = openat(dir, name.c_str(), O_RDWR | O_CREAT | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC, 0644);
    struct stat st {};
    if (fd < 0 ? errno == ELOOP : (fstat(fd, &st) != 0 || !S_ISREG(st.st_mode) || st.st_nlink != 1)) {
        WriteReport("SingleInstance : %s はリンクのため使いません", path.c_str());
        if (fd >= 0) close(fd);
        fd = -1;
    }
    close(dir);
    return fd;
}

} // namespace

std::string SingleInstanceLockPath() {
    MakeDirectory("user_data");
    return (ResolvePath("user_data") / "ゲーム.lock").string();
}

bool SingleInstanceAcquire() {
    const std::string path = SingleInstanceLockPath();
    const int fd = OpenLockFile(path);
    if (fd < 0) {
        // Without a lock file (read-only folder, or a link in its place) there is nothing to
        // guard against: run.
        WriteReport("SingleInstance : %s を開けません", path.c_str());
        return true;
    }
    if (!TryLock(fd)) {
        const int answer = MesBox("既に起動しています。\n実行中のプログラムを閉じて再起動しますか？\n\nRunning this program now. Restart?",
                                  "二重起動", MB_YESNO);
        if (answer != IDYES) {
            close(fd);
            return false;
        }
        const pid_t owner = ReadOwner(fd);
        bool ended = false;
        if (owner > 0 && owner != getpid()) {
            // Asked first, so that it can close in order; forced only when it does not.
            if (kill(owner, SIGTERM) == 0 || errno == ESRCH) ended = WaitLock(fd, kCloseGrace);
            // The copy may end on its own between the grace's end and the force, and its files
            // (the lock with them) are closed a moment after it is gone: either way the lock is
            // waited for, not only when the force found the copy still there.
            if (!ended) {
                kill(owner, SIGKILL);
                ended = WaitLock(fd, kKillGrace);
            }
        } else {
            // The owner is still starting and has not written its id yet, or ended a moment ago.
            ended = WaitLock(fd, kCloseGrace);
        }
        if (!ended) {
            MesBox("プログラムの終了に失敗しました。", "二重起動", MB_OK);
            close(fd);
            return false;
        }
    }
    WriteOwner(fd);
    g_lockFd = fd;
    return true;
}

void SingleInstanceRelease() {
    if (g_lockFd < 0) return;
    flock(g_lockFd, LOCK_UN);
    close(g_lockFd);
    g_lockFd = -1;
}
