#include "app/EditorLink.h"

#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>

#include "platform/system/Format.h"
#include "platform/system/Report.h"

namespace {

int g_fd = -1;
bool g_owned = false;

} // namespace

bool EditorLinkOpen(const std::string& channel) {
    EditorLinkClose();
    if (channel.empty()) return true;
    // A tool that stops reading must not end the game with SIGPIPE: the write fails instead.
    std::signal(SIGPIPE, SIG_IGN);
    if (channel.rfind("fd:", 0) == 0) {
        char* end = nullptr;
        const long fd = std::strtol(channel.c_str() + 3, &end, 10);
        if (end && *end == '\0' && fd >= 0 && fd < 65536 && fcntl(static_cast<int>(fd), F_GETFD) != -1) {
            g_fd = static_cast<int>(fd);
            g_owned = false;
            return true;
        }
        WriteReport("--from-editor : %s は開いていません", channel.c_str());
        return false;
    }
    // Not blocking: a named pipe nobody reads yet fails at once instead of holding the start.
    g_fd = open(channel.c_str(), O_WRONLY | O_APPEND | O_CREAT | O_NONBLOCK | O_CLOEXEC, 0644);
    if (g_fd < 0) {
        WriteReport("--from-editor : %s を開けません (%s)", channel.c_str(), std::strerror(errno));
        return false;
    }
    g_owned = true;
    return true;
}

void EditorLinkSend(u32 kind, u32 value) {
    DebugLogF("NotifyEditor : %u , %u", kind, value);
    if (g_fd < 0) return;
    const std::string line = Format("%s %u\n", kind == 1 ? "start" : "end", value);
    // One write of a short line: a pipe takes it whole or not at all.
    ssize_t n;
    do {
        n = write(g_fd, line.data(), line.size());
    } while (n < 0 && errno == EINTR);
    if (n != static_cast<ssize_t>(line.size())) WriteReport("--from-editor : 通知を書けません (%s)", std::strerror(errno));
}

void EditorLinkClose() {
    if (g_fd >= 0 && g_owned) close(g_fd);
    g_fd = -1;
    g_owned = false;
}
