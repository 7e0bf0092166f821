#pragma once
// Names made from other names (the temporary beside a save, a file kept aside, the name a
// replay is proposed under) must still fit the longest name the folder's file system takes
// (most take 255 bytes). Where one would not, the borrowed part is cut at the start of a
// character, and the part that marks the name (its suffix) is kept whole.
#include <cstddef>
#include <filesystem>
#include <string>

// The longest name, in bytes, that the file system of the open folder dir takes (NAME_MAX when
// it does not say).
std::size_t NameMax(int dir);
// The same for a folder named by its path (NAME_MAX when it cannot be asked: a missing folder).
std::size_t NameMax(const std::filesystem::path& folder);

// A name on disk (UTF-8) with suffix after it, in at most max bytes: a name that leaves no room
// for its suffix is cut as far as the suffix needs, at the start of a character. A suffix that
// fills max alone is given with the whole name (the system then refuses it, saying why).
std::string FittedName(const std::string& name, const std::string& suffix, std::size_t max);

// The same for a name of the game's form (Shift-JIS; DiskNameOf gives its name on disk, where a
// double-byte character takes up to three bytes): the result's name on disk takes at most max
// bytes, the name cut at the start of a Shift-JIS character, never inside a double-byte one.
std::string FittedGameName(const std::string& sjisName, const std::string& sjisSuffix, std::size_t max);
