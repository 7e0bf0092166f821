#include "platform/system/PathResolver.h"

#include <cerrno>
#include <mutex>
#include <new>
#include <system_error>
#include <vector>

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

template <class Bytes>
FileRead ReadWhole(const std::string& sjisPath, Bytes& out, std::size_t limit) {
    out.clear();
    if (sjisPath.empty()) return FileRead::Missing;
    const fs::path path = ResolvePath(sjisPath);
    std::error_code ec;
    const fs::file_status st = fs::status(path, ec);
    if (!fs::exists(st)) return ec && ec != std::errc::no_such_file_or_directory ? FileRead::Unreadable : FileRead::Missing;
    if (fs::is_directory(st)) return FileRead::Unreadable;
    FILE* f = std::fopen(path.c_str(), "rb");
    if (!f) return errno == ENOENT ? FileRead::Missing : FileRead::Unreadable;
    FileRead result = FileRead::Ok;
    char chunk[65536];
    std::size_t n;
    try {
        while ((n = std::fread(chunk, 1, sizeof chunk, f)) > 0) {
            if (out.size() + n > limit) {
                result = FileRead::TooLarge;
                break;
            }
            out.insert(out.end(), chunk, chunk + n);
        }
    } catch (const std::bad_alloc&) {
        result = FileRead::TooLarge;
    }
    if (result == FileRead::Ok && std::ferror(f)) result = FileRead::Unreadable;
    std::fclose(f);
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

void SetGameRoot(const fs::path& root) {
    std::lock_guard lock(g_rootMutex);
    g_root = root;
}

fs::path GetGameRoot() {
    std::lock_guard lock(g_rootMutex);
    return g_root;
}

fs::path ResolvePath(const std::string& sjisPath) {
    // Strictly CP932: a guess by UTF-8 well-formedness would misread half-width katakana and
    // some kanji pairs, which are well-formed UTF-8 too. Callers hand over Shift-JIS only.
    const std::string utf8 = SjisToUtf8(sjisPath);
    std::vector<std::string> parts;
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

    fs::path base;
    std::size_t first = 0;
    if (!utf8.empty() && (utf8[0] == '\\' || utf8[0] == '/')) {
        base = "/";
        first = 1;
    } else {
        base = GetGameRoot();
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

FILE* OpenFile(const std::string& sjisPath, const char* mode) {
    if (sjisPath.empty()) return nullptr;
    return std::fopen(ResolvePath(sjisPath).c_str(), mode);
}

bool FileExists(const std::string& sjisPath) {
    if (sjisPath.empty()) return false;
    std::error_code ec;
    return fs::exists(ResolvePath(sjisPath), ec);
}

bool IsDirectory(const std::string& sjisPath) {
    if (sjisPath.empty()) return false;
    std::error_code ec;
    return fs::is_directory(ResolvePath(sjisPath), ec);
}

bool MakeDirectory(const std::string& sjisPath) {
    const fs::path p = ResolvePath(sjisPath);
    std::error_code ec;
    fs::create_directory(p, ec);
    return fs::is_directory(p, ec);
}
