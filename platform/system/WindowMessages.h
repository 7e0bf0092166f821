#pragma once
// Messages to the window thread. The window thread alone touches SDL video, dialogs and the
// audio device; other threads post to it (WM_CLOSE from anywhere) or send it a request and
// wait for the answer. Every wait watches the waiting thread's quit flag and the queue's
// shut-down, so closing the program never deadlocks on a pending request.
#include <functional>

#include "platform/system/WindowTypes.h"

// The main window; null until the application has made it and again after WM_DESTROY.
extern HWND g_hWnd;

// The handle the application gives its one window (any non-null value would do).
HWND MainWindowHandle();

// Makes the calling thread the window thread and opens the queue; wndProc serves the messages.
void WindowQueueOpen(WNDPROC wndProc);
// Closes the queue: every pending and later SendMessage completes at once with failure, and
// later posts are dropped. Called when the window is destroyed.
void WindowQueueShutdown();
bool IsWindowThread();

// Called after each post or send, from the posting thread: lets the window thread's event loop
// wake up (the SDL layer pushes an event of its own).
void SetWindowQueueWakeHook(std::function<void()> hook);

// Posts to the window queue. WM_CLOSE is also counted, so that a close request can be seen
// even before a window exists (tests, start-up). Returns false without a window or queue.
bool PostMessage(HWND hWnd, u32 message, WPARAM wParam, LPARAM lParam);

// Sends a request and waits for the window thread's answer. On the window thread itself the
// window procedure runs at once. Returns false, without an answer, when the queue shuts down
// or the waiting thread is asked to quit before the request is served.
bool SendMessageWait(HWND hWnd, u32 message, WPARAM wParam, LPARAM lParam, LRESULT* result);
LRESULT SendMessage(HWND hWnd, u32 message, WPARAM wParam, LPARAM lParam);

// Window-thread side: takes the next message, waiting at most timeoutMs (0: no wait).
bool PeekMessage(MSG* msg, u32 timeoutMs = 0);
// Runs the window procedure for a message taken by PeekMessage and completes its sender.
LRESULT DispatchMessage(const MSG& msg);

// WM_CLOSE posts since start (or the last reset), wherever they came from.
u32 CloseRequestCount();
void ResetCloseRequestCount();

// Runs a function on the window thread and returns its result: at once when called there or
// when no window queue is open (start-up, tools, tests); else as a request like SendMessage.
// False when the request was cancelled (shut-down, or the caller asked to quit).
bool RunOnWindowThread(const std::function<LRESULT()>& fn, LRESULT* result);

// Wakes every thread waiting in SendMessageWait so that it re-checks its quit flag.
void WakeWindowQueueWaiters();

// Writes the line to the debug log (when that is on) and asks the window to close: how a fault
// that must end the program ends it in order.
bool DebugLogClose(HWND hWnd, const char* format, ...) __attribute__((format(printf, 2, 3)));
