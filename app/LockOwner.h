#pragma once
// Who the process named in the single-instance lock is. A second copy may ask it to close, and
// force it, only when it is a running copy of this program, of this user, playing this game
// folder and holding this lock. The id in the file is only a claim: anyone who can write the
// folder can write it, and an id left by an earlier run names whatever process the system gave
// that number since.
#include <filesystem>
#include <string>
#include <sys/types.h>

enum class eLockOwner {
    Copy,         // a running copy of this program that holds the lock: it may be asked to close
    Unnamed,      // the file names no process (a copy that has just taken the lock writes it next)
    Gone,         // the process named is not running
    OtherUser,    // it belongs to another user
    OtherProgram, // it runs another program
    Hidden,       // its program cannot be looked into (another group, a program that hides itself)
    OtherFolder,  // a copy of this program playing another game folder
    NotHolding,   // it does not hold this lock
};

// The verdict on pid for the lock file open at lockFd, which guards the game folder gameRoot.
eLockOwner CheckLockOwner(pid_t pid, int lockFd, const std::filesystem::path& gameRoot);

// Why the process named pid may not be closed (a verdict other than Copy), as a clause for the
// report and the question: "ロックに書かれたプロセス (PID 12) は実行されていません".
std::string LockOwnerReason(eLockOwner who, pid_t pid, bool english);
