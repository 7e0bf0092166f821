#pragma once
// The runtime started as a player starts it: in a game folder, headless, optionally as another
// (unprivileged) user, for the tests that look at what it did to the processes and files around
// it.
#include <chrono>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <grp.h>
#include <sstream>
#include <string>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

#ifndef TOBRELK_EXE
#error "the test program needs the runtime's path (TOBRELK_EXE)"
#endif

namespace runtimeproc {

// The user the tests run the player's processes as: "nobody" when they run as the superuser (a
// player is no superuser, and the superuser may signal anyone), else the user they run as.
inline uid_t PlayerUser() { return geteuid() == 0 ? 65534 : 0; }

// Makes the calling (forked) process the given user; 0 keeps it. False when that fails.
inline bool BecomeUser(uid_t user) {
    if (user == 0) return true;
    return setgroups(0, nullptr) == 0 && setresgid(user, user, user) == 0 && setresuid(user, user, user) == 0;
}

// Starts the runtime in the game folder with extra environment entries, as the given user.
inline pid_t Start(const std::filesystem::path& game, const std::vector<std::string>& env, uid_t user = 0) {
    const pid_t pid = fork();
    if (pid == 0) {
        if (chdir(game.c_str()) != 0 || !BecomeUser(user)) _exit(97);
        setenv("SDL_VIDEODRIVER", "dummy", 1);
        setenv("SDL_AUDIODRIVER", "dummy", 1);
        for (const auto& e : env) putenv(strdup(e.c_str()));
        const int devnull = open("/dev/null", O_WRONLY);
        dup2(devnull, 2);
        execl(TOBRELK_EXE, TOBRELK_EXE, static_cast<char*>(nullptr));
        _exit(98);
    }
    return pid;
}

// The exit code (128 + the signal when one ended it), or -1 when it did not end in time (it is
// then killed). The bound is far beyond a run's length on an idle machine.
inline int WaitExit(pid_t pid, int seconds = 240) {
    const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(seconds);
    while (std::chrono::steady_clock::now() < until) {
        int status = 0;
        if (waitpid(pid, &status, WNOHANG) == pid) return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    kill(pid, SIGKILL);
    waitpid(pid, nullptr, 0);
    return -1;
}

// Polls until done() holds; false when it did not within the given seconds.
template <class Done> bool WaitUntil(Done done, int seconds = 240) {
    const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(seconds);
    while (!done()) {
        if (std::chrono::steady_clock::now() >= until) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return true;
}

inline std::string Read(const std::filesystem::path& p) {
    std::ifstream in(p, std::ios::binary);
    std::stringstream ss;
    ss << in.rdbuf();
    return ss.str();
}

} // namespace runtimeproc
