#include "platform/system/PathUtil.h"

#include <filesystem>
#include <set>
#include <system_error>

#include "platform/system/Format.h"
#include "platform/system/PathResolver.h"
#include "platform/system/Sjis.h"

namespace fs = std::filesystem;

namespace {

bool IsForeignAbsolute(const std::string& path) {
    return path.size() >= 2 && path[1] == ':' &&
           ((path[0] >= 'A' && path[0] <= 'Z') || (path[0] >= 'a' && path[0] <= 'z'));
}

bool IsLocalAbsolute(const std::string& path) {
    return !path.empty() && (path[0] == '/' || path[0] == '\\');
}

// The '.' that starts the extension of the last component, or npos.
std::size_t FindExtensionDot(const std::string& path) {
    const std::size_t sep = FindLastSeparator(path);
    const std::size_t start = sep == std::string::npos ? 0 : sep + 1;
    std::size_t dot = std::string::npos;
    for (std::size_t i = start; i < path.size();) {
        if (i + 1 < path.size() && IsDoubleByte(path.c_str() + i)) {
            i += 2;
            continue;
        }
        if (path[i] == '.') dot = i;
        ++i;
    }
    return dot;
}

std::string AsciiLower(std::string s) {
    for (auto& c : s)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    return s;
}

} // namespace

std::size_t FindLastSeparator(const std::string& path) {
    std::size_t sep = std::string::npos;
    for (std::size_t i = 0; i < path.size();) {
        if (i + 1 < path.size() && IsDoubleByte(path.c_str() + i)) {
            i += 2;
            continue;
        }
        if (path[i] == '\\' || path[i] == '/') sep = i;
        ++i;
    }
    return sep;
}

int MakeRelativePath(std::string& path) {
    if (IsForeignAbsolute(path)) return 0;
    if (!IsLocalAbsolute(path)) return 1;
    std::error_code ec;
    fs::path root = GetGameRoot();
    if (root.empty()) root = fs::current_path(ec);
    root = fs::absolute(root, ec);
    const fs::path target = ResolvePath(path);
    const fs::path rel = target.lexically_normal().lexically_relative(root.lexically_normal());
    if (rel.empty()) return 0;
    path = GamePathOf(rel); // names CP932 cannot hold keep their bytes
    return 1;
}

int MakeRelativePathStr(std::string& path) { return MakeRelativePath(path); }

int MakeAbsolutePath(std::string& path) {
    if (IsLocalAbsolute(path) || IsForeignAbsolute(path)) return 1;
    std::error_code ec;
    const fs::path abs = fs::absolute(ResolvePath(path), ec);
    if (ec) return 0;
    path = GamePathOf(abs.lexically_normal());
    return 1;
}

void PathStripDir(std::string& path) {
    const std::size_t sep = FindLastSeparator(path);
    if (sep != std::string::npos) path.erase(0, sep + 1);
}

int ReplaceExtension(std::string& out, const std::string& path, const char* ext) {
    out = path;
    const std::size_t dot = FindExtensionDot(path);
    if (dot == std::string::npos) return 0;
    if (ext)
        out = path.substr(0, dot + 1) + ext;
    else
        out = path.substr(0, dot);
    return 1;
}

int RemoveExtension(std::string& path) {
    const std::size_t dot = FindExtensionDot(path);
    if (dot == std::string::npos) return 0;
    path.resize(dot);
    return 1;
}

int RemoveExtensionStr(std::string& path) { return RemoveExtension(path); }

int GetExtension(std::string& out, const std::string& path) {
    const std::size_t dot = FindExtensionDot(path);
    if (dot == std::string::npos) return 0;
    out = path.substr(dot + 1);
    return 1;
}

int FindNumberedFile(std::string& out, const std::string& path, const char* ext) {
    std::string base;
    if (!ReplaceExtension(base, path, ext) && ext) base = path + "." + ext;

    // List the folder once instead of probing a thousand names one by one.
    const std::size_t sep = FindLastSeparator(base);
    const std::string dirPart = sep == std::string::npos ? std::string() : base.substr(0, sep);
    const std::string namePart = sep == std::string::npos ? base : base.substr(sep + 1);
    const fs::path dir = dirPart.empty() ? ResolvePath(".") : ResolvePath(dirPart);
    std::set<std::string> names;
    std::error_code ec;
    for (fs::directory_iterator it(dir, ec), end; !ec && it != end; it.increment(ec))
        names.insert(AsciiLower(it->path().filename().string()));
    const std::string nameUtf8 = AsciiLower(DiskNameOf(namePart));
    for (int n = 999; n >= 0; --n) {
        const std::string suffix = Format("_%d%d%d", n / 100, (n / 10) % 10, n % 10);
        if (names.count(nameUtf8 + suffix)) {
            out = base + suffix;
            return 1;
        }
    }
    return 0;
}

int FindNumberedFileStr(std::string& out, const std::string& path, const char* ext) {
    return FindNumberedFile(out, path, ext);
}
