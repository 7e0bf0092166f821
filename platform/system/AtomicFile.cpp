#include "platform/system/AtomicFile.h"

#include <atomic>
#include <cerrno>
#include <csignal>
#include <cstdint>
#include <cstdio>
#include <climits>
#include <fcntl.h>
#include <mutex>
#include <set>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

#include "platform/system/FileError.h"
#include "platform/system/NameFit.h"
#include "platform/system/PathResolver.h"
#include "platform/system/Report.h"

namespace fs = std::filesystem;

namespace {
std::atomic<long long> g_failAfter{-1};
std::atomic<bool> g_flushFails{false};

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
    if (injectFailure) errno = ENOSPC;
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

// The game folder, absolute and without a trailing separator.
fs::path GameFolder() {
    std::error_code ec;
    fs::path root = GetGameRoot();
    if (root.empty()) root = ".";
    root = fs::absolute(root, ec).lexically_normal();
    if (!root.has_filename() && root.has_relative_path()) root = root.parent_path();
    return root;
}

// The part of path below the game folder; false when path lies outside it.
bool BelowGameFolder(const fs::path& path, fs::path& below) {
    std::error_code ec;
    below = fs::absolute(path, ec).lexically_normal().lexically_relative(GameFolder());
    return !below.empty() && *below.begin() != "..";
}

// A path as the report shows it: below the game folder with the data's '\', else whole.
std::string Shown(const fs::path& path) {
    fs::path below;
    if (!BelowGameFolder(path, below) || below == ".") return path.string();
    std::string s = below.string();
    for (char& c : s)
        if (c == '/') c = '\\';
    return s;
}

std::mutex g_linksMutex;
std::set<std::string> g_linksReported;

// One line per link and run, however many writes it turns away.
void ReportLink(const std::string& shown) {
    std::lock_guard lock(g_linksMutex);
    if (g_linksReported.insert(shown).second) WriteReport("%s はリンクのため書き込みに使いません", shown.c_str());
}

bool IsLinkIn(int dir, const char* name) {
    struct stat st {};
    return ::fstatat(dir, name, &st, AT_SYMLINK_NOFOLLOW) == 0 && S_ISLNK(st.st_mode);
}

// Opens folder for writing into. In the game folder, every name from the game folder down is
// opened without following a link; *link tells a refusal for one.
int OpenFolder(const fs::path& folder, bool quiet, bool* link) {
    *link = false;
    fs::path below;
    if (!BelowGameFolder(folder, below)) {
        const int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        if (fd < 0) SetFileError(errno);
        return fd;
    }
    int fd = ::open(GameFolder().c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) SetFileError(errno);
    fs::path walked;
    for (const fs::path& part : below) {
        if (fd < 0) break;
        if (part.empty() || part == ".") continue;
        walked /= part;
        const int next = ::openat(fd, part.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
        if (next < 0) SetFileError(errno);
        if (next < 0 && IsLinkIn(fd, part.c_str())) {
            // What the system says of a link that is not followed (as O_NOFOLLOW on a file).
            SetFileError(ELOOP);
            *link = true;
            if (!quiet) ReportLink(Shown(GameFolder() / walked));
        }
        ::close(fd);
        fd = next;
    }
    return fd;
}

fs::path ParentOf(const fs::path& path) {
    const fs::path parent = path.parent_path();
    return parent.empty() ? fs::path(".") : parent;
}

bool FlushFolder(int dir) {
    if (g_flushFails.load()) {
        SetFileError(EIO);
        return false;
    }
    // A file system that cannot flush a folder (EINVAL) has nothing more to offer.
    if (::fsync(dir) == 0 || errno == EINVAL) return true;
    SetFileError(errno);
    return false;
}

void ReportFlushFailure(const fs::path& folder) {
    WriteFailureReport("フォルダ %s をディスクに書き出せませんでした", Shown(folder).c_str());
}

} // namespace

std::string TemporaryName(const std::string& name, long pid, std::size_t nameMax) {
    const std::string mark = kTempMark + std::to_string(pid);
    if (name.size() + mark.size() <= nameMax) return name + mark;
    // Cut names of one beginning would share a temporary, and two saves of this process at once
    // would write into each other's: the whole name's check tells them apart.
    std::uint32_t check = 2166136261u; // FNV-1a
    for (unsigned char c : name) check = (check ^ c) * 16777619u;
    char hex[10];
    std::snprintf(hex, sizeof hex, "~%08x", static_cast<unsigned>(check));
    return FittedName(name, hex + mark, nameMax);
}

void SetAtomicWriteFailAfter(long long bytes) { g_failAfter.store(bytes); }

void SetFolderFlushFails(bool fail) { g_flushFails.store(fail); }

int OpenWriteFolder(const fs::path& folder, bool quiet) {
    bool link = false;
    return OpenFolder(folder, quiet, &link);
}

FolderMade MakeWriteFolder(const fs::path& folder) {
    const fs::path name = folder.filename();
    std::error_code ec;
    if (name.empty() || name == "." || name == "..") return fs::is_directory(folder, ec) ? FolderMade::Existed : FolderMade::Failed;
    // A link on the way was reported where it is the folder itself: the list of folders made
    // at start names each parent before its children.
    bool link = false;
    const int parent = OpenFolder(ParentOf(folder), true, &link);
    if (parent < 0) return link ? FolderMade::Link : FolderMade::Failed;
    FolderMade result = FolderMade::Failed;
    struct stat st {};
    if (::mkdirat(parent, name.c_str(), 0755) == 0) {
        result = FolderMade::Made;
        if (!FlushFolder(parent)) ReportFlushFailure(ParentOf(folder));
    } else if (::fstatat(parent, name.c_str(), &st, AT_SYMLINK_NOFOLLOW) == 0) {
        if (S_ISLNK(st.st_mode)) {
            ReportLink(Shown(folder));
            result = FolderMade::Link;
        } else if (S_ISDIR(st.st_mode)) {
            result = FolderMade::Existed;
        }
    }
    ::close(parent);
    return result;
}

std::string RenameAside(const fs::path& path) {
    const int dir = OpenWriteFolder(ParentOf(path));
    if (dir < 0) return std::string();
    const std::string name = path.filename().string();
    const std::size_t max = NameMax(dir);
    std::string taken;
    SetFileError(EEXIST); // when every name is taken
    for (int n = 1; n <= 99 && !name.empty(); ++n) {
        const std::string to = FittedName(name, n == 1 ? std::string(".damaged") : ".damaged" + std::to_string(n), max);
        struct stat st {};
        if (::fstatat(dir, to.c_str(), &st, AT_SYMLINK_NOFOLLOW) == 0) continue;
        if (::renameat(dir, name.c_str(), dir, to.c_str()) == 0) taken = to;
        else SetFileError(errno);
        break;
    }
    ::close(dir);
    return taken;
}

int RemoveStrayTemporaries(const fs::path& folder) {
    // Walked only when the folder is the game folder's own; the walk follows no link below it.
    const int check = OpenWriteFolder(folder, true);
    if (check < 0) return 0;
    ::close(check);
    std::error_code ec;
    int removed = 0;
    for (fs::recursive_directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec)) {
        if (!fs::is_regular_file(it->symlink_status(ec))) continue;
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

bool WriteFileAtomic(const fs::path& path, const std::string& bytes) {
    const std::string name = path.filename().string();
    if (name.empty() || name == "." || name == "..") {
        SetFileError(EINVAL);
        return false;
    }
    const int dir = OpenWriteFolder(ParentOf(path));
    if (dir < 0) return false;
    const std::size_t max = NameMax(dir);
    if (name.size() > max) {
        SetFileError(ENAMETOOLONG);
        ::close(dir);
        return false;
    }
    const std::string tmp = TemporaryName(name, ::getpid(), max);
    // Whatever has that name (a temporary of an earlier process of this id, a link) goes, and
    // the temporary is made afresh: never written through what stood there.
    ::unlinkat(dir, tmp.c_str(), 0);
    const int fd = ::openat(dir, tmp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0644);
    bool ok = fd >= 0;
    // The first call that fails says why.
    const auto failed = [&ok](bool callOk) {
        if (ok && !callOk) {
            SetFileError(errno);
            ok = false;
        }
    };
    if (fd < 0) SetFileError(errno);
    if (ok) {
        failed(WriteAll(fd, bytes.data(), bytes.size()));
        failed(::fsync(fd) == 0);
        failed(::close(fd) == 0);
    }
    if (ok) failed(::renameat(dir, tmp.c_str(), dir, name.c_str()) == 0);
    if (!ok) {
        if (fd >= 0) ::unlinkat(dir, tmp.c_str(), 0);
        ::close(dir);
        return false;
    }
    // The rename lives in the folder's own entries: until the folder reaches the disk, a power
    // cut may lose the new file and the old one with it. Not done is not saved.
    const bool flushed = FlushFolder(dir);
    ::close(dir);
    if (!flushed) ReportFlushFailure(ParentOf(path));
    return flushed;
}

bool MakeDirectory(const std::string& sjisPath) {
    const FolderMade made = MakeWriteFolder(ResolvePath(sjisPath));
    return made == FolderMade::Made || made == FolderMade::Existed;
}
