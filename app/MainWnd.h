#pragma once
// The main window's procedure on the window thread: the window's own messages, the close in
// order, and the requests of the game-side threads (dialogs, sound, music, restore).
#include <atomic>

#include "platform/system/WindowMessages.h"

LRESULT MainWndProc(HWND hWnd, u32 msg, WPARAM wParam, LPARAM lParam);

// Set once WM_DESTROY has run: the window thread's loop ends (the WM_QUIT of the window thread).
extern std::atomic<u32> g_bQuit;
// Set when the close has begun: requests still arriving are answered at once with 0.
extern std::atomic<u32> g_bQuitting;

// Saves the window's place (user_data\Window.dat), with a report line when the write fails.
void StoreWindowPlacement();

void SuspendGameThreads();
void ResumeGameThreads();

// The editor link: the start and the end with its value, through the channel the editor named
// (app/EditorLink.h), and a debug-log line.
void NotifyEditorStart();
void NotifyEditorEnd(u32 value);
