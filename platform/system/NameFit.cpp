#include "platform/system/NameFit.h"

#include <climits>
#include <unistd.h>

#include "platform/system/PathResolver.h"
#include "platform/system/Sjis.h"

std::size_t NameMax(int dir) {
    const long max = ::fpathconf(dir, _PC_NAME_MAX);
    return max > 0 ? static_cast<std::size_t>(max) : NAME_MAX;
}

std::size_t NameMax(const std::filesystem::path& folder) {
    const long max = ::pathconf(folder.c_str(), _PC_NAME_MAX);
    return max > 0 ? static_cast<std::size_t>(max) : NAME_MAX;
}

std::string FittedName(const std::string& name, const std::string& suffix, std::size_t max) {
    if (name.size() + suffix.size() <= max || suffix.size() >= max) return name + suffix;
    std::size_t keep = max - suffix.size();
    while (keep > 0 && (static_cast<unsigned char>(name[keep]) & 0xC0) == 0x80) --keep;
    return name.substr(0, keep) + suffix;
}

std::string FittedGameName(const std::string& sjisName, const std::string& sjisSuffix, std::size_t max) {
    const std::size_t suffix = DiskNameOf(sjisSuffix).size();
    if (DiskNameOf(sjisName).size() + suffix <= max || suffix >= max) return sjisName + sjisSuffix;
    // Shift-JIS is read from the front only (a trail byte can look like a lead byte), and each
    // character's bytes on disk are its own: they are added up until the next would not fit.
    std::size_t keep = 0, used = suffix;
    while (keep < sjisName.size()) {
        const std::size_t len = IsDoubleByte(sjisName.c_str() + keep) ? 2 : 1;
        used += DiskNameOf(sjisName.substr(keep, len)).size();
        if (used > max) break;
        keep += len;
    }
    return sjisName.substr(0, keep) + sjisSuffix;
}
