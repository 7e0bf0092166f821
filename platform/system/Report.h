#pragma once
// The report file ("Report_Game.txt") is always on: every subsystem appends its errors to it.
// The debug log ("VI_Veda.txt") takes trace lines only when switched on, which the game never
// does. Each line is a whole open-append-close, so a crash loses nothing already written.
// Lines are UTF-8 on disk; Shift-JIS names inside a line are converted on the way.
#include <string>

bool SetReportFile(const std::string& path);
// For a start that does not yet know whether the report is its own: a second copy shares the
// game folder's report with the copy that runs there. Checks the file as SetReportFile does but
// empties nothing, and keeps the lines in memory until ReleaseReport.
bool HoldReportFile(const std::string& path);
// The held lines go out: to the report emptied first when this run goes on (own), else appended
// after what the report holds, as one block between two lines that name this process, so that
// the running copy's lines before and after it stay whole.
bool ReleaseReport(bool own);
const std::string& GetReportFile();
// A line that cannot be written to the report file goes to standard error instead (after one
// line that names the report and why it cannot be written).
// Sends the report to standard error instead of a file (tools that play a game folder without
// being the game: a running game's report is never theirs to write).
void SetReportToStderr();

int WriteReport(const char* format, ...) __attribute__((format(printf, 1, 2)));
int WriteReportLog(const char* format, ...) __attribute__((format(printf, 1, 2)));
// The report line of a failed read or save, followed by its cause: the system's text for this
// thread's last file failure (FileError.h), as "<line> (<error text>)".
int WriteFailureReport(const char* format, ...) __attribute__((format(printf, 1, 2)));

// The line WriteReportLog writes for a text (display text, cut to the line limit), and writing
// such a line to the report and the debug log: for the reports that also show it in a box.
std::string ReportLine(const std::string& text);
int WriteReportLine(const std::string& line);

// Appends text exactly as given (the system report ends its own lines).
int WriteReportRaw(const std::string& text);

std::string SetDebugLog(bool on, const std::string& path);
bool IsDebugLogOn();
void DebugLog(const char* text);
void DebugLogS(const char* text);
void DebugLogF(const char* format, ...) __attribute__((format(printf, 1, 2)));
