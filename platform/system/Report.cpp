#include "platform/system/Report.h"

#include <cerrno>
#include <cstdarg>
#include <cstdio>
#include <fcntl.h>
#include <mutex>
#include <sys/stat.h>
#include <unistd.h>

#include "platform/system/FileError.h"
#include "platform/system/Format.h"
#include "platform/system/Sjis.h"

namespace {

// The old fixed line buffers held 1024 bytes; the same limit keeps box texts to a readable size.
constexpr std::size_t kLineLimit = 1023;

std::mutex g_reportMutex;
std::string g_reportPath;
bool g_reportStderr = false;
bool g_reportFailed = false; // a line of this report went to standard error instead
bool g_reportHeld = false;
std::string g_heldLines; // on-disk form

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

// Never through a link: a link at the report's name would carry every line (and the truncation
// at start) to the file it names. Never waits on a pipe with nobody reading it.
constexpr int kLogOpen = O_WRONLY | O_CREAT | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC;

bool WriteTo(int fd, const std::string& bytes) {
    std::size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        done += static_cast<std::size_t>(n);
    }
    return true;
}

// False with errno set by the call that failed.
bool AppendTo(const std::string& path, bool fresh, const std::string& bytes) {
    if (path.empty()) return false;
    const int fd = ::open(path.c_str(), kLogOpen | (fresh ? O_TRUNC : O_APPEND), 0644);
    if (fd < 0) return false;
    const bool written = WriteTo(fd, bytes);
    const int err = errno;
    const bool closed = ::close(fd) == 0;
    if (!written) errno = err;
    return written && closed;
}

bool ToStderr(const std::string& text) {
    const std::string utf8 = ToDisplayText(text);
    return std::fwrite(utf8.data(), 1, utf8.size(), stderr) == utf8.size();
}

int AppendReport(const std::string& text) {
    std::lock_guard lock(g_reportMutex);
    if (g_reportStderr) return ToStderr(text) ? 1 : 0;
    if (g_reportHeld) {
        g_heldLines += ToDiskLine(text);
        return 1;
    }
    if (AppendTo(g_reportPath, false, ToDiskLine(text))) return 1;
    if (g_reportPath.empty()) return 0;
    // A report that cannot take its line (a full disk, a folder gone read-only) must not swallow
    // it: the line is all that tells of the failure it reports. Standard error takes it, after
    // one line that says why.
    if (!g_reportFailed)
        ToStderr("tobrelk: cannot write " + g_reportPath + FileErrorCause(errno) + "\n");
    g_reportFailed = true;
    ToStderr(text);
    return 0;
}

// With the report's mutex held.
bool OpenReport(const std::string& path, bool empty) {
    int fd = ::open(path.c_str(), kLogOpen, 0644);
    struct stat st {};
    const bool own = fd >= 0 && ::fstat(fd, &st) == 0 && !(S_ISREG(st.st_mode) && st.st_nlink > 1);
    bool replaced = false;
    if (fd >= 0 && !own) ::close(fd);
    if (own) {
        // Emptied once it is known to be the report's own file (a device such as /dev/null
        // stays as it is).
        if (empty && S_ISREG(st.st_mode) && ::ftruncate(fd, 0) != 0) {
            ::close(fd);
            return false;
        }
    } else if (fd >= 0 || errno == ELOOP) {
        // A link at the report's name, or a second name of another file: the name gets a report
        // of its own, and what it named stays as it was.
        replaced = ::unlink(path.c_str()) == 0;
        fd = replaced ? ::open(path.c_str(), kLogOpen | O_EXCL, 0644) : -1;
    }
    if (fd < 0) return false;
    ::close(fd);
    g_reportPath = path;
    g_reportStderr = false;
    g_reportFailed = false;
    g_reportHeld = !empty;
    g_heldLines.clear();
    if (replaced) {
        const std::string name = path.substr(path.find_last_of('/') + 1);
        const std::string line = ToDiskLine(name + " はリンクだったため、新しいファイルにしました\n");
        if (g_reportHeld) g_heldLines += line;
        else AppendTo(g_reportPath, false, line);
    }
    return true;
}

} // namespace

bool SetReportFile(const std::string& path) {
    std::lock_guard lock(g_reportMutex);
    return OpenReport(path, true);
}

bool HoldReportFile(const std::string& path) {
    std::lock_guard lock(g_reportMutex);
    return OpenReport(path, false);
}

bool ReleaseReport(bool own) {
    std::lock_guard lock(g_reportMutex);
    if (!g_reportHeld) return true;
    std::string lines;
    lines.swap(g_heldLines);
    bool written;
    if (own) {
        const std::string path = g_reportPath;
        written = OpenReport(path, true) && AppendTo(g_reportPath, false, lines);
    } else {
        // One write: the running copy's lines never come between these.
        const std::string pid = std::to_string(::getpid());
        lines = ToDiskLine("==== 起動を取りやめたプロセス (PID " + pid + ") の記録 ====\n") + lines +
                ToDiskLine("==== PID " + pid + " の記録ここまで ====\n");
        written = AppendTo(g_reportPath, false, lines);
    }
    g_reportHeld = false;
    if (!written) {
        // As any line the report cannot take: standard error has them, after why.
        ToStderr("tobrelk: cannot write " + g_reportPath + FileErrorCause(errno) + "\n");
        g_reportFailed = true;
        std::fwrite(lines.data(), 1, lines.size(), stderr);
    }
    return written;
}

void SetReportToStderr() {
    std::lock_guard lock(g_reportMutex);
    g_reportPath.clear();
    g_reportStderr = true;
    g_reportHeld = false;
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

int WriteFailureReport(const char* format, ...) {
    const int err = FileError();
    va_list args;
    va_start(args, format);
    std::string line = FormatV(format, args);
    va_end(args);
    return AppendReport(line + FileErrorCause(err) + "\n");
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

std::string ReportLine(const std::string& text) { return CutUtf8(ToDisplayText(text), kLineLimit); }

int WriteReportLine(const std::string& line) { return ReportAndLog(line); }

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
    if (AppendTo(g_debugPath, !g_debugFirstDone, line)) g_debugFirstDone = true;
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
