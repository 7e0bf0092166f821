#include "platform/system/PathResolver.h"

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <mutex>
#include <new>
#include <string_view>
#include <system_error>
#include <vector>

#include "platform/system/FileError.h"
#include "platform/system/Prefault.h"
#include "platform/system/Sjis.h"

namespace fs = std::filesystem;

namespace {

std::mutex g_rootMutex;
fs::path g_root;

std::string AsciiLowerOf(const std::string& s) {
    std::string r = s;
    for (auto& c : r)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    return r;
}

// Case-insensitive match of one component in a folder: ASCII letters fold, and full-width
// Latin letters (common in Japanese file names) fold too through their UTF-8 form.
std::string FoldCase(const std::string& utf8) {
    std::string r = AsciiLowerOf(utf8);
    // Full-width A-Z (U+FF21..U+FF3A, EF BC A1..BA) to a-z (U+FF41..U+FF5A, EF BD 81..9A).
    for (std::size_t i = 0; i + 2 < r.size(); ++i) {
        auto* p = reinterpret_cast<unsigned char*>(&r[i]);
        if (p[0] == 0xEF && p[1] == 0xBC && p[2] >= 0xA1 && p[2] <= 0xBA) {
            p[1] = 0xBD;
            p[2] = static_cast<unsigned char>(p[2] - 0xA1 + 0x81);
            i += 2;
        }
    }
    return r;
}

fs::path FindComponent(const fs::path& dir, const std::string& name) {
    std::error_code ec;
    const fs::path exact = dir / name;
    if (fs::exists(fs::symlink_status(exact, ec))) return exact;
    const std::string folded = FoldCase(name);
    fs::path found;
    for (fs::directory_iterator it(dir.empty() ? fs::path(".") : dir, ec), end; !ec && it != end;
         it.increment(ec)) {
        const std::string candidate = it->path().filename().string();
        if (FoldCase(candidate) == folded) {
            // Several names differing only in case: take the first in name order, every time.
            if (found.empty() || candidate < found.filename().string()) found = dir / candidate;
        }
    }
    return found.empty() ? exact : found;
}

// Bytes of names on disk that CP932 cannot hold ride in the game's paths as pairs of the lead
// bytes 0x85 and 0x86, which CP932 leaves unassigned: (0x85, b) holds a byte b of 0x80..0xFC,
// (0x86, 0x40..0x42) the bytes 0xFD..0xFF and (0x86, 0x5C) a '\' that is part of a name.
constexpr unsigned char kKeptHigh = 0x85;
constexpr unsigned char kKeptOther = 0x86;

// The byte a kept pair at p stands for, or -1 when p starts no kept pair.
int KeptByte(const char* p) {
    const auto lead = static_cast<unsigned char>(p[0]);
    if ((lead != kKeptHigh && lead != kKeptOther) || !IsDoubleByte(p)) return -1;
    const auto trail = static_cast<unsigned char>(p[1]);
    if (lead == kKeptHigh) return trail >= 0x80 ? trail : '?';
    if (trail >= 0x40 && trail <= 0x42) return 0xFD + (trail - 0x40);
    return trail == 0x5C ? 0x5C : '?';
}

void AppendKept(std::string& out, unsigned char b) {
    if (b >= 0x80 && b <= 0xFC) {
        out += static_cast<char>(kKeptHigh);
        out += static_cast<char>(b);
    } else {
        out += static_cast<char>(kKeptOther);
        out += static_cast<char>(b >= 0xFD ? 0x40 + (b - 0xFD) : b); // b is 0xFD..0xFF or '\'
    }
}

bool HasKept(const std::string& sjis) {
    for (std::size_t i = 0; i < sjis.size();) {
        if (!IsDoubleByte(sjis.c_str() + i)) {
            ++i;
            continue;
        }
        if (KeptByte(sjis.c_str() + i) >= 0) return true;
        i += 2;
    }
    return false;
}

// Length of the UTF-8 sequence that starts at i when it is well formed, else 0.
std::size_t Utf8Length(const std::string& s, std::size_t i) {
    const auto c = static_cast<unsigned char>(s[i]);
    const std::size_t len = c < 0x80 ? 1 : c >= 0xC2 && c <= 0xDF ? 2 : c >= 0xE0 && c <= 0xEF ? 3 : c >= 0xF0 && c <= 0xF4 ? 4 : 0;
    return len && i + len <= s.size() && IsValidUtf8(s.substr(i, len)) ? len : 0;
}

// A ".." moves up from whatever the name before it turned out to be: only the walk by names
// says where that is.
bool HasDotDot(const std::vector<std::string>& parts, std::size_t first) {
    for (std::size_t i = first; i < parts.size(); ++i)
        if (parts[i] == "..") return true;
    return false;
}

// Opens the file that a data path names for reading, with its status: a missing name, and a
// folder or a file the system refuses, are told apart; nothing but a regular file opens.
FileRead OpenForRead(const std::string& sjisPath, int& fd, struct stat& st) {
    fd = -1;
    if (sjisPath.empty()) return FileRead::Missing;
    return OpenReadFile(ResolvePath(sjisPath), fd, st, DisplayPathOf(sjisPath));
}

template <class Bytes>
FileRead ReadWhole(const std::string& sjisPath, Bytes& out, std::size_t limit) {
    out.clear();
    int fd = -1;
    struct stat st {};
    if (const FileRead opened = OpenForRead(sjisPath, fd, st); opened != FileRead::Ok) return opened;
    // Read straight into storage of the file's size (a file that grows meanwhile is read on to
    // its end, up to the limit; one the system sizes as empty, such as those of /proc, as well).
    FileRead result = FileRead::Ok;
    try {
        const std::size_t expect = st.st_size > 0 ? static_cast<std::size_t>(st.st_size) : 0;
        if (expect > limit) {
            result = FileRead::TooLarge;
        } else {
            std::size_t have = 0;
            const std::size_t first = expect > 0 ? expect : std::min<std::size_t>(limit, 65536);
            // The read fills storage of the file's size from end to end: its pages are made in
            // one call.
            if (expect > 0) ReservePrefaulted(out, first);
            out.resize(first);
            for (;;) {
                if (have == out.size()) {
                    // Full: one byte more tells whether the file goes on. Growing the storage
                    // first would copy and clear twice the file's size to find its usual end.
                    char probe;
                    const ssize_t more = ::read(fd, &probe, 1);
                    if (more < 0 && errno == EINTR) continue;
                    if (more < 0) {
                        SetFileError(errno);
                        result = FileRead::Unreadable;
                    }
                    if (more <= 0) break;
                    if (out.size() >= limit) {
                        // Full at the limit: that byte passes it.
                        result = FileRead::TooLarge;
                        break;
                    }
                    out.resize(std::min(limit, std::max<std::size_t>(out.size() * 2, 65536)));
                    out[have++] = static_cast<typename Bytes::value_type>(probe);
                    continue;
                }
                const ssize_t n = ::read(fd, reinterpret_cast<char*>(out.data()) + have, out.size() - have);
                if (n < 0) {
                    if (errno == EINTR) continue;
                    SetFileError(errno);
                    result = FileRead::Unreadable;
                    break;
                }
                if (n == 0) break;
                have += static_cast<std::size_t>(n);
            }
            out.resize(have);
        }
    } catch (const std::bad_alloc&) {
        result = FileRead::TooLarge;
    }
    ::close(fd);
    if (result != FileRead::Ok) out.clear();
    return result;
}

} // namespace

FileRead ReadWholeFile(const std::string& sjisPath, std::vector<u8>& out, std::size_t limit) {
    return ReadWhole(sjisPath, out, limit);
}

FileRead ReadWholeFile(const std::string& sjisPath, std::string& out, std::size_t limit) {
    return ReadWhole(sjisPath, out, limit);
}

FileRead ReadWholeFile(const std::string& sjisPath, cByteBuffer& out, std::size_t limit) {
    return ReadWhole(sjisPath, out, limit);
}

FileRead ReadFileHead(const std::string& sjisPath, std::vector<u8>& out, std::size_t maxBytes, std::size_t& fileSize) {
    out.clear();
    fileSize = 0;
    int fd = -1;
    struct stat st {};
    if (const FileRead opened = OpenForRead(sjisPath, fd, st); opened != FileRead::Ok) return opened;
    // One byte past the head tells whether the file goes on.
    FileRead result = FileRead::Ok;
    std::size_t have = 0;
    try {
        out.resize(maxBytes + 1);
        while (have < out.size()) {
            const ssize_t n = ::read(fd, out.data() + have, out.size() - have);
            if (n < 0 && errno == EINTR) continue;
            if (n < 0) {
                SetFileError(errno);
                result = FileRead::Unreadable;
                break;
            }
            if (n == 0) break;
            have += static_cast<std::size_t>(n);
        }
    } catch (const std::bad_alloc&) {
        SetFileError(ENOMEM);
        result = FileRead::Unreadable;
    }
    ::close(fd);
    if (result != FileRead::Ok) {
        out.clear();
        return result;
    }
    if (have <= maxBytes) {
        out.resize(have);
        fileSize = have;
    } else {
        out.resize(maxBytes);
        fileSize = std::max<std::size_t>(static_cast<std::size_t>(std::max<off_t>(st.st_size, 0)), maxBytes + 1);
    }
    return result;
}

FileRead cFileSource::Open(const std::string& sjisPath, std::size_t limit) {
    int fd = -1;
    struct stat st {};
    if (const FileRead opened = OpenForRead(sjisPath, fd, st); opened != FileRead::Ok) return opened;
    if (st.st_size <= 0) {
        ::close(fd);
        return FileRead::Ok;
    }
    if (static_cast<std::size_t>(st.st_size) > limit) {
        ::close(fd);
        return FileRead::TooLarge;
    }
    if (m_fd >= 0) ::close(m_fd);
    m_fd = fd;
    m_size = static_cast<std::size_t>(st.st_size);
    return FileRead::Ok;
}

std::size_t cFileSource::ReadAt(void* dst, std::size_t n, std::size_t offset) const {
    std::size_t have = 0;
    while (have < n) {
        const ssize_t got = ::pread(m_fd, static_cast<char*>(dst) + have, n - have, static_cast<off_t>(offset + have));
        if (got < 0 && errno == EINTR) continue;
        if (got <= 0) break;
        have += static_cast<std::size_t>(got);
    }
    return have;
}

cFileSource::~cFileSource() {
    if (m_fd >= 0) ::close(m_fd);
}

void SetGameRoot(const fs::path& root) {
    std::lock_guard lock(g_rootMutex);
    g_root = root;
}

fs::path GetGameRoot() {
    std::lock_guard lock(g_rootMutex);
    return g_root;
}

std::string GameNameOf(const std::string& diskName) {
    if (diskName.find('\\') == std::string::npos && IsValidUtf8(diskName)) {
        std::string sjis = Utf8ToSjis(diskName);
        if (SjisToUtf8(sjis) == diskName) return sjis;
    }
    // Character by character: what CP932 holds (and gives back the same) is converted, the
    // bytes of the rest are kept.
    std::string out;
    for (std::size_t i = 0; i < diskName.size();) {
        const auto c = static_cast<unsigned char>(diskName[i]);
        const std::size_t len = Utf8Length(diskName, i);
        if (c < 0x80) {
            if (c == '\\') AppendKept(out, c);
            else out += static_cast<char>(c);
        } else if (len) {
            const std::string ch = diskName.substr(i, len);
            const std::string sjis = Utf8ToSjis(ch);
            if (SjisToUtf8(sjis) == ch) out += sjis;
            else
                for (char b : ch) AppendKept(out, static_cast<unsigned char>(b));
        } else {
            AppendKept(out, c);
        }
        i += len ? len : 1;
    }
    return out;
}

std::string DiskNameOf(const std::string& sjisName) {
    // Strictly CP932: a guess by UTF-8 well-formedness would misread half-width katakana and
    // some kanji pairs, which are well-formed UTF-8 too. Callers hand over Shift-JIS only.
    if (!HasKept(sjisName)) return SjisToUtf8(sjisName);
    std::string out, run;
    for (std::size_t i = 0; i < sjisName.size();) {
        const char* p = sjisName.c_str() + i;
        if (!IsDoubleByte(p)) {
            run += *p;
            ++i;
            continue;
        }
        const int kept = KeptByte(p);
        if (kept < 0) {
            run.append(p, 2);
        } else {
            out += SjisToUtf8(run);
            run.clear();
            out += static_cast<char>(kept);
        }
        i += 2;
    }
    return out + SjisToUtf8(run);
}

std::string GamePathOf(const fs::path& path) {
    std::string out;
    for (const fs::path& part : path) {
        if (part == "/") {
            out = '\\';
            continue;
        }
        if (!out.empty() && out.back() != '\\') out += '\\';
        out += GameNameOf(part.string());
    }
    return out;
}

std::string DisplayPathOf(const std::string& sjisPath) {
    const std::string bytes = DiskNameOf(sjisPath);
    std::string out;
    for (std::size_t i = 0; i < bytes.size();) {
        const std::size_t len = Utf8Length(bytes, i);
        if (len) out.append(bytes, i, len);
        else out += "\xEF\xBF\xBD";
        i += len ? len : 1;
    }
    return out;
}

fs::path ResolvePath(const std::string& sjisPath) {
    // Split where the Shift-JIS text has a separator (a 0x5C trail byte is none), then each
    // name to its bytes on disk.
    std::vector<std::string> parts;
    if (HasKept(sjisPath)) {
        std::string cur;
        for (std::size_t i = 0; i < sjisPath.size();) {
            if (IsDoubleByte(sjisPath.c_str() + i)) {
                cur.append(sjisPath, i, 2);
                i += 2;
                continue;
            }
            const char c = sjisPath[i++];
            if (c == '\\' || c == '/') {
                parts.push_back(DiskNameOf(cur));
                cur.clear();
            } else {
                cur += c;
            }
        }
        parts.push_back(DiskNameOf(cur));
    } else {
        // Converted whole: CP932 never turns a trail byte into a separator.
        const std::string utf8 = SjisToUtf8(sjisPath);
        std::string cur;
        for (char c : utf8) {
            if (c == '\\' || c == '/') {
                parts.push_back(cur);
                cur.clear();
            } else {
                cur += c;
            }
        }
        parts.push_back(cur);
    }

    fs::path base;
    std::size_t first = 0;
    if (!sjisPath.empty() && (sjisPath[0] == '\\' || sjisPath[0] == '/')) {
        base = "/";
        first = 1;
    } else {
        base = GetGameRoot();
    }
    // The usual case, every name written as it is on disk: one look at the whole path instead
    // of two at each of its names. The walk below then would find each name exactly as written
    // and come to the same path.
    if (!HasDotDot(parts, first)) {
        fs::path exact = base;
        for (std::size_t i = first; i < parts.size(); ++i)
            if (!parts[i].empty() && parts[i] != ".") exact /= parts[i];
        std::error_code ec;
        if (!exact.empty() && fs::exists(fs::status(exact, ec))) return exact;
    }
    bool searching = true;
    for (std::size_t i = first; i < parts.size(); ++i) {
        const std::string& part = parts[i];
        if (part.empty() || part == ".") continue;
        if (part == "..") {
            base = base.empty() ? fs::path("..") : base / "..";
            continue;
        }
        if (searching) {
            base = FindComponent(base, part);
            std::error_code ec;
            if (!fs::exists(base, ec)) searching = false; // nothing below a missing folder
        } else {
            base /= part;
        }
    }
    return base.empty() ? fs::path(".") : base;
}

FILE* OpenFile(const std::string& sjisPath, const char* mode, bool quiet) {
    if (sjisPath.empty() || !mode || (std::string_view(mode) != "r" && std::string_view(mode) != "rb")) return nullptr;
    int fd = -1;
    struct stat st {};
    if (OpenReadFile(ResolvePath(sjisPath), fd, st, DisplayPathOf(sjisPath), quiet) != FileRead::Ok) return nullptr;
    FILE* f = ::fdopen(fd, mode);
    if (!f) ::close(fd);
    return f;
}

bool FileExists(const std::string& sjisPath) {
    if (sjisPath.empty()) {
        SetFileError(ENOENT);
        return false;
    }
    struct stat st {};
    if (::stat(ResolvePath(sjisPath).c_str(), &st) == 0) return true;
    SetFileError(errno);
    return false;
}

bool IsDirectory(const std::string& sjisPath) {
    if (sjisPath.empty()) return false;
    std::error_code ec;
    return fs::is_directory(ResolvePath(sjisPath), ec);
}
