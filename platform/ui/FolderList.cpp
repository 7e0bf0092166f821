// The listing of a folder for the file choices, and the patterns its files are matched by.
#include <algorithm>
#include <filesystem>

#include "platform/system/PathResolver.h"
#include "platform/ui/Dialog.h"

namespace fs = std::filesystem;

namespace {

std::string Lower(std::string s) {
    for (char& ch : s)
        if (ch >= 'A' && ch <= 'Z') ch = static_cast<char>(ch - 'A' + 'a');
    return s;
}

} // namespace

bool DlgMatchPattern(const std::string& utf8Name, const std::string& pattern) {
    std::string p = pattern;
    if (p.rfind("*.", 0) == 0) p = p.substr(2);
    const std::size_t dot = utf8Name.rfind('.');
    if (dot == std::string::npos) return false;
    const std::string ext = Lower(utf8Name.substr(dot + 1));
    p = Lower(p);
    if (!p.empty() && p.back() == '*') return ext.rfind(p.substr(0, p.size() - 1), 0) == 0;
    return ext == p;
}

std::vector<DLGFILEENTRY> DlgListFolder(const std::string& sjisFolder, const std::vector<std::string>& patterns,
                                        bool withParent, int* error) {
    std::vector<DLGFILEENTRY> folders, files;
    std::error_code ec;
    const fs::path dir = ResolvePath(sjisFolder);
    fs::directory_iterator it(dir, ec);
    if (error) *error = ec ? ec.value() : 0;
    for (const fs::directory_iterator end; !ec && it != end; it.increment(ec)) {
        const std::string name = it->path().filename().string();
        if (name.empty()) continue; // the iterator never gives "." or ".."
        const std::string sjis = GameNameOf(name);
        std::error_code e2;
        if (it->is_directory(e2)) {
            folders.push_back({DisplayPathOf(sjis), true, sjis});
        } else {
            for (const auto& p : patterns)
                if (DlgMatchPattern(name, p)) {
                    files.push_back({DisplayPathOf(sjis), false, sjis});
                    break;
                }
        }
    }
    auto byName = [](const DLGFILEENTRY& a, const DLGFILEENTRY& b) { return Lower(a.strName) < Lower(b.strName); };
    std::sort(folders.begin(), folders.end(), byName);
    std::sort(files.begin(), files.end(), byName);
    std::vector<DLGFILEENTRY> out;
    if (withParent) out.push_back({"..", true, ".."});
    out.insert(out.end(), folders.begin(), folders.end());
    out.insert(out.end(), files.begin(), files.end());
    return out;
}
