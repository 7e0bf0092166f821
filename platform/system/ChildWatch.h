#pragma once
// SDL's X11 message box shows itself from a child process and waits for that child without
// looking at signals: while a box is up, a termination request would reach nothing. A watch,
// made by the thread that is about to show the box, ends the child processes of that thread as
// soon as a termination request arrives (Termination.h); the box then returns unanswered and the
// program closes in order. The child only draws the box: ending it loses nothing.
#include <condition_variable>
#include <mutex>
#include <sys/types.h>
#include <thread>

class cChildWatch {
public:
    cChildWatch();
    ~cChildWatch();
    cChildWatch(const cChildWatch&) = delete;
    cChildWatch& operator=(const cChildWatch&) = delete;

    // True once a child was ended.
    bool Ended() const;

private:
    void Run();

    pid_t m_tid;
    mutable std::mutex m_mutex;
    std::condition_variable m_stop;
    bool m_bStop = false;
    bool m_bEnded = false;
    std::thread m_thread;
};
