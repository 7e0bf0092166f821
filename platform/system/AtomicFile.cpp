#include "platform/system/AtomicFile.h"

#include <atomic>
#include <cerrno>
#include <cstdio>
#include <fcntl.h>
#include <unistd.h>

namespace {
std::atomic<long long> g_failAfter{-1};

bool WriteAll(int fd, const char* data, std::size_t size) {
    const long long limit = g_failAfter.load();
    std::size_t allowed = size;
    const bool injectFailure = limit >= 0 && static_cast<unsigned long long>(limit) < size;
    if (injectFailure) allowed = static_cast<std::size_t>(limit);
    std::size_t done = 0;
    while (done < allowed) {
        const ssize_t n = ::write(fd, data + done, allowed - done);
        if (n < 0) {
            if (errno == EINTR) continue;
            return false;
        }
        done += static_cast<std::size_t>(n);
    }
    return !injectFailure;
}
} // namespace

void SetAtomicWriteFailAfter(long long bytes) { g_failAfter.store(bytes); }

bool WriteFileAtomic(const std::filesystem::path& path, const std::string& bytes) {
    std::filesystem::path tmp = path;
    tmp += ".tmp";
    tmp += std::to_string(::getpid());
    const int fd = ::open(tmp.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (fd < 0) return false;
    bool ok = WriteAll(fd, bytes.data(), bytes.size());
    ok = (::fsync(fd) == 0) && ok;
    ok = (::close(fd) == 0) && ok;
    if (ok) ok = ::rename(tmp.c_str(), path.c_str()) == 0;
    if (!ok) ::unlink(tmp.c_str());
    return ok;
}
