#pragma once
// The link to the kit's editor. A run started by an editor (--from-editor) tells it when the
// game has started and when it ends. On this system the editor is an outside tool that names a
// channel: --from-editor=PATH (a named pipe or a file, written line by line) or
// --from-editor=fd:N (a descriptor the tool passed down). Each notification is one line:
//   "start 1"   the window exists and start-up goes on
//   "end V"     the program ends: V is 1 after a run, 0 when the start failed
// Without a channel the notifications only reach the debug log, as when no editor runs.
#include <string>

#include "platform/system/Types.h"

// Opens the channel (empty: none). False, with a report line, when it cannot be opened; the
// run goes on without it.
bool EditorLinkOpen(const std::string& channel);
// Writes one notification: kind 1 the start, 0 the end.
void EditorLinkSend(u32 kind, u32 value);
void EditorLinkClose();
