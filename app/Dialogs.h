#pragma once
// The front end's three dialogs, run modally on the window thread.
#include <string>
#include <vector>

// The start-up drawing-mode dialog bound to Boot.dat: 1 Start (Boot.dat saved), 0 Cancel.
int RunStartDialog();
// The ranking-name dialog on a Shift-JIS name (null: nothing bound): 1 OK, 0 closed.
int RunNameDialog(std::string* name);
// The file choice: mode 0 stage file, 1 replay to load, 2 replay to save (path carries the
// proposed name in). 1 and the chosen path in internal form, or 0.
int RunFileDialog(int mode, std::string& path);

// Scripted answers for the next dialogs, in order (as TOBRELK_DIALOG_ANSWERS gives them): "1" or
// "0" for the end code, "1:text" with a name or a path (UTF-8). Replaces what is queued.
void SetDialogAnswers(const std::vector<std::string>& answers);
