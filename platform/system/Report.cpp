#include "platform/system/Report.h"

#include <cstdarg>
#include <cstdio>
#include <mutex>

#include "platform/system/Format.h"
#include "platform/system/MessageBox.h"
#include "platform/system/Sjis.h"

namespace {

// The old fixed line buffers held 1024 bytes; the same limit keeps box texts to a readable size.
constexpr std::size_t kLineLimit = 1023;

std::mutex g_reportMutex;
std::string g_reportPath;
bool g_reportStderr = false;

std::mutex g_debugMutex;
bool g_debugOn = false;
bool g_debugFirstDone = false;
std::string g_debugPath;

// Lines end in CR LF on disk, like every text file of a game folder, so that the report reads
// the same in any editor the game's author uses.
std::string ToDiskLine(const std::string& text) {
    std::string out;
    const std::string utf8 = ToDisplayText(text);
    out.reserve(utf8.size() + 2);
    for (char c : utf8) {
        if (c == '\n') out += '\r';
        out += c;
    }
    return out;
}

bool AppendTo(const std::string& path, const char* mode, const std::string& bytes) {
    if (path.empty()) return false;
    FILE* f = std::fopen(path.c_str(), mode);
    if (!f) return false;
    const bool ok = std::fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size();
    return (std::fclose(f) == 0) && ok;
}

int AppendReport(const std::string& text) {
    std::lock_guard lock(g_reportMutex);
    if (g_reportStderr) {
        const std::string utf8 = ToDisplayText(text);
        return std::fwrite(utf8.data(), 1, utf8.size(), stderr) == utf8.size() ? 1 : 0;
    }
    return AppendTo(g_reportPath, "ab", ToDiskLine(text)) ? 1 : 0;
}

} // namespace

bool SetReportFile(const std::string& path) {
    std::lock_guard lock(g_reportMutex);
    FILE* f = std::fopen(path.c_str(), "wb");
    if (!f) return false;
    std::fclose(f);
    g_reportPath = path;
    g_reportStderr = false;
    return true;
}

void SetReportToStderr() {
    std::lock_guard lock(g_reportMutex);
    g_reportPath.clear();
    g_reportStderr = true;
}

const std::string& GetReportFile() { return g_reportPath; }

int WriteReportRaw(const std::string& text) { return AppendReport(text); }

int WriteReport(const char* format, ...) {
    va_list args;
    va_start(args, format);
    std::string line = FormatV(format, args);
    va_end(args);
    return AppendReport(line + "\n");
}

static int ReportAndLog(const std::string& line) {
    const int r = AppendReport(line + "\n");
    DebugLog(line.c_str());
    return r;
}

int WriteReportLog(const char* format, ...) {
    va_list args;
    va_start(args, format);
    std::string line = CutUtf8(ToDisplayText(FormatV(format, args)), kLineLimit);
    va_end(args);
    return ReportAndLog(line);
}

int WriteReportBox(const char* format, ...) {
    va_list args;
    va_start(args, format);
    std::string line = CutUtf8(ToDisplayText(FormatV(format, args)), kLineLimit);
    va_end(args);
    const int r = ReportAndLog(line);
    ErrorBoxS(line.c_str());
    return r;
}

std::string SetDebugLog(bool on, const std::string& path) {
    std::lock_guard lock(g_debugMutex);
    g_debugOn = on;
    g_debugPath = path;
    return g_debugPath;
}

bool IsDebugLogOn() {
    std::lock_guard lock(g_debugMutex);
    return g_debugOn;
}

void DebugLog(const char* text) {
    std::lock_guard lock(g_debugMutex);
    if (!g_debugOn) return;
    const std::string line = ToDiskLine(std::string(text ? text : "") + "\n");
    // The first line of a run starts the log afresh; later lines append.
    if (AppendTo(g_debugPath, g_debugFirstDone ? "ab" : "wb", line)) g_debugFirstDone = true;
}

void DebugLogS(const char* text) { DebugLog(text); }

void DebugLogF(const char* format, ...) {
    if (!IsDebugLogOn()) return;
    va_list args;
    va_start(args, format);
    const std::string line = FormatV(format, args);
    va_end(args);
    DebugLog(line.c_str());
}

bool DebugLogClose(HWND hWnd, const char* format, ...) {
    if (IsDebugLogOn()) {
        va_list args;
        va_start(args, format);
        const std::string line = FormatV(format, args);
        va_end(args);
        DebugLog(line.c_str());
    }
    return PostMessage(hWnd, WM_CLOSE, 0, 0);
}
