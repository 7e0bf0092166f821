#pragma once
// Messages to the window thread. The window thread alone touches SDL video, dialogs and the
// audio device; other threads post to it (WM_CLOSE from anywhere) or send it a request and
// wait for the answer. Every wait watches the waiting thread's quit flag and the queue's
// shut-down, so closing the program never deadlocks on a pending request.
#include <cstdint>
#include <functional>

#include "platform/system/Types.h"

using HWND = struct tagTobrelkWindow*;
using WPARAM = std::uintptr_t;
using LPARAM = std::intptr_t;
using LRESULT = std::intptr_t;
using WNDPROC = LRESULT (*)(HWND, u32, WPARAM, LPARAM);

constexpr u32 WM_DESTROY = 0x0002;
constexpr u32 WM_CLOSE = 0x0010;
constexpr u32 WM_QUIT = 0x0012;
constexpr u32 WM_ACTIVATEAPP = 0x001C;
constexpr u32 WM_KEYDOWN = 0x0100;
constexpr u32 WM_USER = 0x0400;
constexpr u32 WM_GAME_NAMEDLG = WM_USER + 1;
constexpr u32 WM_GAME_STAGEDLG = WM_USER + 2;
constexpr u32 WM_GAME_REPLAYLOAD = WM_USER + 3;
constexpr u32 WM_GAME_REPLAYSAVE = WM_USER + 4;
constexpr u32 WM_GAME_PLAYSE = WM_USER + 5;
constexpr u32 WM_GAME_BGM = WM_USER + 6;
constexpr u32 WM_GAME_RESTORE = 0x464;

struct MSG {
    HWND hwnd = nullptr;
    u32 message = 0;
    WPARAM wParam = 0;
    LPARAM lParam = 0;
};

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
