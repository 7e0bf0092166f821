#include "platform/system/AtomicFile.h"

#include <atomic>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <fcntl.h>
#include <string>
#include <unistd.h>

#include "platform/system/Report.h"

namespace {
std::atomic<long long> g_failAfter{-1};

constexpr const char* kTempMark = ".tmp";

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

// The writer's process id in a temporary's file name, or 0 when the name is no temporary's.
pid_t TemporaryOwner(const std::string& name) {
    const std::size_t mark = name.rfind(kTempMark);
    if (mark == std::string::npos || mark == 0) return 0;
    const std::string digits = name.substr(mark + std::char_traits<char>::length(kTempMark));
    if (digits.empty() || digits.size() > 9 || digits.find_first_not_of("0123456789") != std::string::npos) return 0;
    return static_cast<pid_t>(std::stol(digits));
}

// This process's own id counts as gone: at start-up nothing of ours is being written yet, so a
// temporary under our id was left by an earlier process that had the same id.
bool WriterRuns(pid_t pid) { return pid != ::getpid() && (::kill(pid, 0) == 0 || errno == EPERM); }

bool SyncFolder(const std::filesystem::path& file) {
    std::filesystem::path folder = file.parent_path();
    if (folder.empty()) folder = ".";
    const int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) return false;
    // A file system that cannot flush a folder (EINVAL) has nothing more to offer.
    const bool ok = ::fsync(fd) == 0 || errno == EINVAL;
    ::close(fd);
    return ok;
}

} // namespace

void SetAtomicWriteFailAfter(long long bytes) { g_failAfter.store(bytes); }

int RemoveStrayTemporaries(const std::filesystem::path& folder) {
    namespace fs = std::filesystem;
    std::error_code ec;
    int removed = 0;
    for (fs::recursive_directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec)) {
        if (!it->is_regular_file(ec)) continue;
        const pid_t owner = TemporaryOwner(it->path().filename().string());
        if (owner <= 0 || WriterRuns(owner)) continue;
        std::error_code gone;
        if (fs::remove(it->path(), gone)) {
            WriteReport("書き込み途中で残った一時ファイル %s を削除しました", it->path().string().c_str());
            ++removed;
        }
    }
    return removed;
}

bool WriteFileAtomic(const std::filesystem::path& path, const std::string& bytes) {
    std::filesystem::path tmp = path;
    tmp += kTempMark;
    tmp += std::to_string(::getpid());
    const int fd = ::open(tmp.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (fd < 0) return false;
    bool ok = WriteAll(fd, bytes.data(), bytes.size());
    ok = (::fsync(fd) == 0) && ok;
    ok = (::close(fd) == 0) && ok;
    if (ok) ok = ::rename(tmp.c_str(), path.c_str()) == 0;
    if (!ok) {
        ::unlink(tmp.c_str());
        return false;
    }
    // The rename lives in the folder's own entries: until the folder reaches the disk, a power
    // cut may lose the new file and the old one with it.
    if (!SyncFolder(path)) WriteReport("フォルダ %s をディスクに書き出せませんでした", path.parent_path().string().c_str());
    return true;
}
