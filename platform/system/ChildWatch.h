#pragma once
// SDL's X11 message box shows itself from a child process and waits for that child without
// looking at signals: while a box is up, a termination request would reach nothing. A watch,
// made by the thread that is about to show the box, ends the child processes of that thread as
// soon as its condition holds (a termination request, Termination.h; the box's own process lost,
// after which SDL would start another program to ask again); the box then returns unanswered and
// the program goes on in order. The child only draws the box: ending it loses nothing.
#include <condition_variable>
#include <functional>
#include <mutex>
#include <sys/types.h>
#include <thread>

class cChildWatch {
public:
    // Returns once the watch has taken its first look: what SDL forks after it may find no
    // lock held by the watch's thread on its way up.
    explicit cChildWatch(std::function<bool()> endWhen);
    ~cChildWatch();
    cChildWatch(const cChildWatch&) = delete;
    cChildWatch& operator=(const cChildWatch&) = delete;

    // True once a child was ended.
    bool Ended() const;

private:
    void Run();

    pid_t m_tid;
    std::function<bool()> m_endWhen;
    mutable std::mutex m_mutex;
    std::condition_variable m_stop;
    std::condition_variable m_started;
    bool m_bStop = false;
    bool m_bRunning = false;
    bool m_bEnded = false;
    std::thread m_thread;
};
