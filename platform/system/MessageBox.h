#pragma once
// Message boxes. With a display they are SDL's message boxes, shown by the window thread (or,
// before the main window exists, by the thread that asks, as the second copy's question is); in
// headless runs (no display, or the dummy video driver) the text goes to the report file and
// standard error and the answer of a box nobody sees is taken (DefaultButton), so nothing ever
// blocks a test or CI.
// Texts are UTF-8; Shift-JIS texts from the data are converted on the way. Once a termination
// signal has arrived (Termination.h), an SDL box that is up is closed and none is shown any more:
// the text goes to the report and the answer is the one that changes nothing (No, Cancel, OK).
#include <functional>
#include <string>

#include "platform/system/Types.h"

constexpr u32 MB_OK = 0;
constexpr u32 MB_OKCANCEL = 1;
constexpr u32 MB_YESNO = 4;
constexpr u32 MB_ICONERROR = 0x10;
constexpr u32 MB_DEFBUTTON2 = 0x100;
// Not a Windows style: a question whose Yes changes what the user has not agreed to (closes a
// running program, starts beside one). Shown, Yes stays its default button; unseen, it is
// answered No, which changes nothing.
constexpr u32 MB_UNSEEN_NO = 0x80000000u;
constexpr int IDOK = 1;
constexpr int IDCANCEL = 2;
constexpr int IDYES = 6;
constexpr int IDNO = 7;

// Where boxes go. The default sink picks SDL or headless as described above; tests install
// their own to script the answers, and the graphics layer one for full screen.
using MessageBoxSink = std::function<int(const std::string& text, const std::string& caption, u32 type)>;
// The game's window (an SDL_Window), which owns the boxes and leaves full screen while one is
// up; null: boxes have no owner.
void SetMessageBoxOwner(void* sdlWindow);
void SetMessageBoxSink(MessageBoxSink sink); // empty: back to the default

// The answer of a box that nobody can see: its default button, or No for MB_UNSEEN_NO. In
// headless runs the boxes with a choice take the answers that TOBRELK_BOX_ANSWERS lists first
// ("yes", "no", "ok", "cancel", separated by ','; one for each such box, in order): the
// scripted answers of tests that run the whole program.
int DefaultButton(u32 type);

// True once a box could not be answered by the player: closed or killed from outside, or its
// display gone. It was answered as a signal leaves a box (No, Cancel, OK); a start that meets
// one ends in order, as it does for a signal.
bool MessageBoxLost();

int MesBox(const char* text, const char* caption, u32 type);
int ErrorBoxS(const char* text);
int ErrorBox(const char* format, ...) __attribute__((format(printf, 1, 2)));
int ErrorBoxLog(const char* format, ...) __attribute__((format(printf, 1, 2)));
// Writes the line to the report and the debug log and shows it in an error box.
int WriteReportBox(const char* format, ...) __attribute__((format(printf, 1, 2)));
void OutOfMemory();
