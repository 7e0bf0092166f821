#include "app/LockOwner.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <dirent.h>
#include <fstream>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

namespace {

bool SameFile(const struct stat& a, const struct stat& b) { return a.st_dev == b.st_dev && a.st_ino == b.st_ino; }

bool SameFile(const std::string& path, const struct stat& b) {
    struct stat a {};
    return stat(path.c_str(), &a) == 0 && SameFile(a, b);
}

// What a link of /proc names; empty when it cannot be read.
std::string LinkText(const std::string& link) {
    char buf[4096];
    const ssize_t n = readlink(link.c_str(), buf, sizeof buf);
    return n > 0 && n < static_cast<ssize_t>(sizeof buf) ? std::string(buf, static_cast<std::size_t>(n)) : std::string();
}

// The real and effective user of a process, from its status file; false when it is gone.
bool ReadUsers(const std::string& proc, uid_t& real, uid_t& effective) {
    std::ifstream in(proc + "/status");
    for (std::string line; std::getline(in, line);) {
        unsigned long r = 0, e = 0;
        if (std::sscanf(line.c_str(), "Uid: %lu %lu", &r, &e) == 2) {
            real = static_cast<uid_t>(r);
            effective = static_cast<uid_t>(e);
            return true;
        }
    }
    return false;
}

// Whether one of the process's open files is the lock file.
bool HasOpen(const std::string& proc, const struct stat& lock) {
    DIR* fds = opendir((proc + "/fd").c_str());
    if (!fds) return false;
    bool found = false;
    while (const dirent* e = readdir(fds)) {
        if (e->d_name[0] == '.') continue;
        if (SameFile(proc + "/fd/" + e->d_name, lock)) {
            found = true;
            break;
        }
    }
    closedir(fds);
    return found;
}

// Whether the system's lock table has a whole-file lock of pid on the lock file's inode. The
// device is left out: on stacked file systems the table and stat() may name different ones;
// that the process has the very file open is checked through its open files instead.
bool HoldsLockOn(pid_t pid, const struct stat& lock) {
    std::ifstream in("/proc/locks");
    for (std::string line; std::getline(in, line);) {
        char kind[16] = {}, mode[16] = {}, access[16] = {};
        long holder = 0;
        unsigned major = 0, minor = 0;
        unsigned long long inode = 0;
        // "1: FLOCK  ADVISORY  WRITE 1234 08:01:5678 0 EOF"; a waiter's line ("1: -> FLOCK ...")
        // reads "->" as its kind and is passed over.
        if (std::sscanf(line.c_str(), "%*d: %15s %15s %15s %ld %x:%x:%llu", kind, mode, access, &holder, &major, &minor,
                        &inode) != 7)
            continue;
        if (std::strcmp(kind, "FLOCK") == 0 && holder == pid && inode == static_cast<unsigned long long>(lock.st_ino))
            return true;
    }
    return false;
}

} // namespace

eLockOwner CheckLockOwner(pid_t pid, int lockFd, const std::filesystem::path& gameRoot) {
    if (pid <= 0) return eLockOwner::Unnamed;
    const std::string proc = "/proc/" + std::to_string(pid);
    // The user first: nothing of another user's process is looked into further.
    uid_t real = 0, effective = 0;
    if (!ReadUsers(proc, real, effective)) return eLockOwner::Gone;
    if (real != getuid() || effective != geteuid()) return eLockOwner::OtherUser;
    // The same program: the very file this copy runs, or the one that stood at its path before
    // a rebuild replaced it (a copy started before the rebuild is still a copy of this game).
    struct stat self {};
    if (stat("/proc/self/exe", &self) != 0) return eLockOwner::OtherProgram;
    struct stat exe {};
    if (stat((proc + "/exe").c_str(), &exe) != 0) return errno == ENOENT ? eLockOwner::Gone : eLockOwner::Hidden;
    if (!SameFile(exe, self) && !(exe.st_nlink == 0 && LinkText(proc + "/exe") == LinkText("/proc/self/exe") + " (deleted)"))
        return eLockOwner::OtherProgram;
    // Playing this game folder: a copy works in its game folder from its start to its end.
    struct stat root {};
    if (stat(gameRoot.c_str(), &root) != 0 || !SameFile(proc + "/cwd", root)) return eLockOwner::OtherFolder;
    struct stat lock {};
    if (fstat(lockFd, &lock) != 0 || !HasOpen(proc, lock) || !HoldsLockOn(pid, lock)) return eLockOwner::NotHolding;
    return eLockOwner::Copy;
}

std::string LockOwnerReason(eLockOwner who, pid_t pid, bool english) {
    if (who == eLockOwner::Unnamed)
        return english ? "no process is named in it" : "ロックを持つプロセスが書かれていません";
    const std::string named = english ? "the process named in it (PID " + std::to_string(pid) + ") "
                                      : "ロックに書かれたプロセス (PID " + std::to_string(pid) + ") ";
    switch (who) {
    case eLockOwner::Copy: return named + (english ? "is this game" : "はこのゲームです");
    case eLockOwner::Unnamed: break;
    case eLockOwner::Gone: return named + (english ? "is not running" : "は実行されていません");
    case eLockOwner::OtherUser: return named + (english ? "belongs to another user" : "は別のユーザーのものです");
    case eLockOwner::OtherProgram: return named + (english ? "is not this game" : "はこのゲームではありません");
    case eLockOwner::Hidden: return named + (english ? "cannot be looked into" : "は調べられません");
    case eLockOwner::OtherFolder:
        return named + (english ? "plays another game folder" : "は別のフォルダのゲームです");
    case eLockOwner::NotHolding: return named + (english ? "does not hold it" : "はロックを持っていません");
    }
    return named;
}
