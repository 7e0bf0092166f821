#pragma once
// Worker threads (game loop, pause loop, ranking loop, stage loading). Nothing is ever killed
// or suspended from outside: a thread is asked to quit (its quit flag and a WM_QUIT in its
// queue) and leaves at its next cancel point; a suspended thread parks at its next cancel point.
#include <atomic>
#include <memory>
#include <mutex>
#include <thread>

#include "platform/system/Types.h"
#include "platform/system/WindowTypes.h"

using THREADPROC = unsigned (*)(void*);

struct ThreadState;

class cThread {
public:
    cThread();
    ~cThread();
    cThread(const cThread&) = delete;
    cThread& operator=(const cThread&) = delete;

    // Starts the routine on a new thread; 1 on success, 0 when no thread could be made.
    int Create(THREADPROC routine, void* argument);
    // Waits until the thread has ended on its own, then releases it.
    int Wait();
    // Asks the thread to park at its next cancel point; never waits for it.
    bool Suspend();
    bool Resume();
    // Ends the thread in order: resume, ask it to quit, and join.
    void Exit();

    // True from Create until Wait or Exit releases the thread, even after its routine returned:
    // the window thread's close logic asks "is there a pause loop to end?" this way, so a
    // finished thread must be released with Wait before the next close request.
    bool IsRunning() const { return m_bRunning.load(); }
    // True once the routine has returned (the thread may still need Wait).
    bool HasEnded() const;
    u32 GetId() const { return m_dwId.load(); }

private:
    void ExitLocked();
    void Release();

    // The object is used from two threads: the loading thread, say, is started and ended by the
    // game thread while the window thread's close ends it too. One of them joins; the other
    // waits here and then finds no thread. The two questions need no lock, so that even the
    // worker may ask them while it is being ended.
    mutable std::mutex m_lock;
    std::atomic<bool> m_bRunning{false};
    std::atomic<u32> m_dwId{0};
    std::shared_ptr<ThreadState> m_hThread;
    std::thread m_thread;
};

// Posts a message to a worker thread's own queue (WM_QUIT also sets its quit flag).
bool PostThreadMessage(u32 threadId, u32 message, WPARAM wParam, LPARAM lParam);
// Takes the next message of the calling worker thread's queue; false when it is empty.
bool PeekThreadMessage(MSG* msg);

// True when the calling thread has been asked to quit. Threads not made by cThread are never
// asked (the window thread ends by its own loop).
bool ThreadQuitRequested();
// A cancel point: parks while the thread is suspended; true when it must quit.
bool ThreadCancelPoint();
// Sleep of the runtime's clock with a cancel point before it; true when the thread must quit.
bool SleepMs(u32 ms);

// What the threads need of the window queue above them, which gives it when it is linked in: a
// fault in a worker asks the program to close, and ending a thread wakes whoever waits on the
// queue so that a waiting worker sees its quit flag. Null: nothing to do.
void SetThreadQueueHooks(void (*requestClose)(), void (*wakeWaiters)());

// True once a thread that would not end had to be left behind; the process must then end with
// _exit rather than run static destructors under it.
bool AnyThreadAbandoned();
