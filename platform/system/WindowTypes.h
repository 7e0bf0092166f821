#pragma once
// The types of the window messages: the handles, the message numbers and the message itself.
// Apart from the queue (WindowMessages.h), so that the threads, whose own queues carry the same
// messages, need not know the window's queue.
#include <cstdint>

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
