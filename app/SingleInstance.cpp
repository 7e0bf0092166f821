#include "app/SingleInstance.h"

#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <pthread.h>
#include <string>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include "app/LockOwner.h"
#include "platform/system/AtomicFile.h"
#include "platform/system/FileError.h"
#include "platform/system/MessageBox.h"
#include "platform/system/PathResolver.h"
#include "platform/system/PinnedSignal.h"
#include "platform/system/Report.h"

namespace {

int g_lockFd = -1;

// A process forked from this one (SDL's X11 message box is drawn by one) shares the lock's open
// file, and would hold the lock on after this process is gone, until its box is answered: its
// copy of the descriptor is closed as it starts. The lock stays this process's.
void CloseLockInChild() {
    if (g_lockFd >= 0) close(g_lockFd);
}

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

// False, with the system's error as the thread's file error, when the id is not all in the file.
bool PutOwner(int fd) {
    const std::string pid = std::to_string(getpid()) + "\n";
    if (ftruncate(fd, 0) != 0) {
        SetFileError(errno);
        return false;
    }
    // A write the disk cuts short is followed on: the next one tells why (a full disk, a file
    // size limit).
    std::size_t done = 0;
    while (done < pid.size()) {
        const ssize_t n = pwrite(fd, pid.data() + done, pid.size() - done, static_cast<off_t>(done));
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) {
            SetFileError(n < 0 ? errno : ENOSPC);
            return false;
        }
        done += static_cast<std::size_t>(n);
    }
    return true;
}

void WriteOwner(int fd) {
    if (!PutOwner(fd)) WriteFailureReport("SingleInstance : PID を書き込めません");
}

// The lock file, opened in the game's own user_data only: never through a link (the folder's or
// the file's), nor a file with a second name, which the id written in it would overwrite.
int OpenLockFile(const std::string& path) {
    const std::filesystem::path p(path);
    const int dir = OpenWriteFolder(p.parent_path());
    if (dir < 0) return -1;
    const std::string name = p.filename().string();
    int fd = openat(dir, name.c_str(), O_RDWR | O_CREAT | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC, 0644);
    if (fd < 0) SetFileError(errno);
    struct stat st {};
    if (fd < 0 ? errno == ELOOP : (fstat(fd, &st) != 0 || !S_ISREG(st.st_mode) || st.st_nlink != 1)) {
        WriteReport("SingleInstance : %s はリンクのため使いません", path.c_str());
        if (fd >= 0) {
            SetFileError(0); // a second name: the line says why, the system had no error
            close(fd);
        }
        fd = -1;
    }
    close(dir);
    return fd;
}

constexpr const char* kRestartQuestion =
    "既に起動しています。\n実行中のプログラムを閉じて再起動しますか？\n\nRunning this program now. Restart?";

// The question when the lock is held but its holder is not a copy of this game that may be
// closed: Yes starts without closing anything.
std::string StartQuestion(eLockOwner who, pid_t owner) {
    return "このゲームフォルダのロックは使用中ですが、" + LockOwnerReason(who, owner, false) +
           "。\nどのプログラムも終了させません。このまま起動しますか？\n\nThis game folder's lock is in use, but " +
           LockOwnerReason(who, owner, true) + ".\nNo program will be closed. Start anyway?";
}

// Sends sig to the process named in the lock when it is, at this moment, a running copy that
// holds it. False when nothing was sent.
bool SignalCopy(pid_t owner, int lockFd, int sig) {
    if (owner <= 0 || owner == getpid()) return false;
    return SendPinnedSignal(owner, sig, [&] {
        const eLockOwner who = CheckLockOwner(owner, lockFd, GetGameRoot());
        if (who != eLockOwner::Copy)
            WriteReport("SingleInstance : %s。シグナルを送りません", LockOwnerReason(who, owner, false).c_str());
        return who == eLockOwner::Copy;
    });
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
        WriteFailureReport("SingleInstance : %s を開けません", path.c_str());
        return true;
    }
    if (!TryLock(fd)) {
        const pid_t owner = ReadOwner(fd);
        const eLockOwner who = owner == getpid() ? eLockOwner::NotHolding : CheckLockOwner(owner, fd, GetGameRoot());
        if (who != eLockOwner::Copy)
            WriteReport("SingleInstance : ロックは使用中ですが、%s。どのプログラムも終了させません",
                        LockOwnerReason(who, owner, false).c_str());
        const std::string question = who == eLockOwner::Copy ? std::string(kRestartQuestion) : StartQuestion(who, owner);
        // Either Yes acts on what the user may not know of (a game in play, a program that holds
        // the folder): a question nobody sees ends this start instead.
        const int answer = MesBox(question.c_str(), "二重起動", MB_YESNO | MB_UNSEEN_NO);
        if (answer != IDYES) {
            WriteReport("SingleInstance : 「いいえ」のため起動を終えます。どのプログラムも終了させていません");
            close(fd);
            return false;
        }
        // No running copy to close: the start goes on, as when no copy is found at all. A
        // stranger holding the lock of a folder others can write must not keep the player out
        // of the game; the lock is taken only if it came free meanwhile.
        if (who != eLockOwner::Copy && !TryLock(fd)) {
            WriteReport("SingleInstance : ロックを取らずに起動します");
            close(fd);
            return true;
        }
        // Asked first, so that it can close in order; forced only when it does not. A copy
        // that ended or became something else since the question is only waited for.
        const bool asked = who == eLockOwner::Copy && SignalCopy(owner, fd, SIGTERM);
        bool ended = who != eLockOwner::Copy || WaitLock(fd, kCloseGrace);
        // The copy may end on its own between the grace's end and the force, and its files
        // (the lock with them) are closed a moment after it is gone: either way the lock is
        // waited for, not only when the force found the copy still there.
        if (!ended && asked) {
            if (SignalCopy(owner, fd, SIGKILL))
                WriteReport("SingleInstance : 実行中のプログラム (PID %d) が %d 秒待っても終了しないため、強制終了しました",
                            static_cast<int>(owner), static_cast<int>(kCloseGrace.count()));
            ended = WaitLock(fd, kKillGrace);
        }
        if (!ended) {
            MesBox("プログラムの終了に失敗しました。", "二重起動", MB_OK);
            close(fd);
            return false;
        }
    }
    WriteOwner(fd);
    static const bool childrenLetGo = pthread_atfork(nullptr, nullptr, CloseLockInChild) == 0;
    if (!childrenLetGo) WriteReport("SingleInstance : pthread_atfork に失敗しました");
    g_lockFd = fd;
    return true;
}

void SingleInstanceRelease() {
    if (g_lockFd < 0) return;
    flock(g_lockFd, LOCK_UN);
    close(g_lockFd);
    g_lockFd = -1;
}
