#pragma once
// An X server error must never end the program. Xlib's own handler prints the error and calls
// exit() from whichever thread met it, while the game thread still runs; a window destroyed by
// another program (a window manager's kill, `xdotool windowclose`) raises such errors at the
// next present. The guard notes them instead, and tells the window thread that its window is
// gone so that it can close in order. A connection that breaks (`xdotool windowkill`, xkill)
// is survived the same way.

// Puts the guard in before SDL starts video on X11 (and keeps the X library loaded).
void X11GuardPrepare();
// Installs the guard for the SDL window (an SDL_Window*) when SDL runs on X11; nothing on other
// drivers. Window thread.
void X11GuardInstall(void* sdlWindow);
// Holds every library loaded so far open until the process ends (SDL unloads the X and OpenGL
// libraries at video end, and leaks they keep would lose their names). After the renderer is up.
void X11GuardPinLibraries();
// True once an X error named the guarded window, or the connection to the X server broke: the
// window can no longer be seen.
bool X11WindowLost();
// True once the connection to the X server broke: nothing may be asked of the display any more
// (not even the window's destruction).
bool X11ConnectionLost();
// Waits for the X server to answer every request sent so far, so that errors they raise meet
// the guard and not Xlib's handler, which SDL puts back when video ends. Window thread.
void X11GuardSync();
// SDL draws a message box in a process it forks. The loss of the box there (its window
// destroyed, its connection killed by another program, the server ended) ends that process at
// once, and the guard notes it where this process can read it; the process ended by a signal
// (killed from outside) is noted as the box lost too. Another X error there is noted and the box
// stays up. Begin puts the guard in place (also before video has started) and clears the note
// before a box is shown (the thread that shows it); Lost tells afterwards, or while it is up,
// whether its process ended so; End, once the box has returned, writes the errors its process
// noted to the report. Between Begin and End, a process forked after the box was lost (SDL asking
// again another way) ends before it shows anything, and every process forked for the box ends
// with this one, however this one ends.
void X11GuardBoxBegin();
bool X11GuardBoxLost();
void X11GuardBoxEnd();
// Forgets the window (after it was destroyed).
void X11GuardRelease();
