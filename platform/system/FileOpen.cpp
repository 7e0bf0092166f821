#include "platform/system/FileOpen.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>

#include "platform/system/FileError.h"
#include "platform/system/Report.h"

namespace {

const char* KindOf(mode_t mode) {
    if (S_ISFIFO(mode)) return "FIFO";
    if (S_ISCHR(mode) || S_ISBLK(mode)) return "デバイス";
    if (S_ISSOCK(mode)) return "ソケット";
    return "特殊ファイル";
}

FileRead Refuse(const std::filesystem::path& path, mode_t mode, const std::string& shown, bool quiet) {
    // A folder is what the system would refuse to read; the other kinds are named by the line.
    SetFileError(S_ISDIR(mode) ? EISDIR : 0);
    // A folder in a file's place has always been a file that cannot be read, told by its reader.
    if (!quiet && !S_ISDIR(mode))
        WriteReport("%s は通常のファイルではないため読みません（%s）", shown.empty() ? path.c_str() : shown.c_str(),
                    KindOf(mode));
    return FileRead::Unreadable;
}

} // namespace

namespace {

FileRead Failed(int err) {
    SetFileError(err);
    return err == ENOENT ? FileRead::Missing : FileRead::Unreadable;
}

} // namespace

FileRead OpenReadFile(const std::filesystem::path& path, int& fd, struct stat& st, const std::string& shown, bool quiet) {
    fd = -1;
    if (path.empty()) return Failed(ENOENT);
    // Looked at before it is opened: opening a device can act on it (a tape rewinds, a modem
    // line hangs up), and nothing but a regular file is opened at all.
    if (::stat(path.c_str(), &st) != 0) return Failed(errno);
    if (!S_ISREG(st.st_mode)) return Refuse(path, st.st_mode, shown, quiet);
    // Without blocking all the same: the name may stand for a FIFO by the time it is opened.
    // O_NONBLOCK means nothing to the reads of a regular file.
    const int opened = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (opened < 0) return Failed(errno);
    if (::fstat(opened, &st) != 0) {
        const int err = errno;
        ::close(opened);
        return Failed(err);
    }
    if (!S_ISREG(st.st_mode)) {
        ::close(opened);
        return Refuse(path, st.st_mode, shown, quiet);
    }
    fd = opened;
    return FileRead::Ok;
}

bool IsReadableFile(const std::filesystem::path& path, const std::string& shown) {
    int fd = -1;
    struct stat st {};
    if (OpenReadFile(path, fd, st, shown) != FileRead::Ok) return false;
    ::close(fd);
    return true;
}
