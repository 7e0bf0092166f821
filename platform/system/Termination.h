#pragma once
// Requests from outside to end the program: SIGTERM (a logout, a shutdown, `timeout`, a second
// copy of the game), SIGINT (Ctrl+C) and SIGHUP (its terminal closed). The handler only notes the
// signal; whatever runs at that moment turns it into a close in order: the window thread's event
// pump, a modal dialog's loop, the watch kept over a message box (ChildWatch.h).

// Installs the handler for the three signals, and ignores SIGPIPE.
void CatchTerminationSignals();
// The first of them that arrived, or 0.
int TerminationSignal();
