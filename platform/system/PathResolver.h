#pragma once
// Paths inside the game's data and settings are Windows paths: Shift-JIS bytes, '\' between
// components, any letter case, relative to the game folder. This maps them onto the Linux file
// system: the text is decoded from CP932 first (0x5C can be a trail byte), only then split, and
// each component that does not exist under its exact name is looked up case-insensitively.
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "platform/system/ByteBuffer.h"
#include "platform/system/FileOpen.h"
#include "platform/system/Types.h"

// A name on disk that CP932 cannot hold (a Latin "é", a wave dash that comes back as a full-width
// tilde, bytes that are no UTF-8 at all, a '\' inside a name) still has a path of this form:
// each byte of it that does not convert is kept as one double-byte character of the lead bytes
// 0x85 and 0x86, which CP932 leaves unassigned and no Shift-JIS text of the data ever holds.
// ResolvePath gives the byte back; a path of a file the player chose therefore opens whatever
// the bytes of its name.
std::string GameNameOf(const std::string& diskName);
// The name on disk of one component of a path of the game's form.
std::string DiskNameOf(const std::string& sjisName);
// The game's form of a file-system path: '\' between the names, a leading '\' when absolute.
std::string GamePathOf(const std::filesystem::path& path);
// A name or a path of the game's form fit to show (UTF-8; bytes that are no UTF-8 show as U+FFFD).
std::string DisplayPathOf(const std::string& sjisPath);

// The game folder that relative data paths start from; the current folder until set.
void SetGameRoot(const std::filesystem::path& root);
std::filesystem::path GetGameRoot();

// The file-system path for a data path. Components that exist (under any letter case) take the
// name they have on disk; the rest keep their converted text, so a file can be created there.
std::filesystem::path ResolvePath(const std::string& sjisPath);

// Opens a file of the game to be read (mode "r" or "rb"; any other mode opens nothing), as every
// read does (OpenReadFile): quiet leaves the refusal of a FIFO, a device or a socket unsaid, for
// a look ahead of the read that will say it.
FILE* OpenFile(const std::string& sjisPath, const char* mode, bool quiet = false);
// False leaves why (no such name, a folder on the way that cannot be searched) as the thread's
// file error (FileError.h).
bool FileExists(const std::string& sjisPath);
bool IsDirectory(const std::string& sjisPath);

// Reads a whole file (a game path). Out of memory counts as TooLarge.
constexpr std::size_t kWholeFileLimit = std::size_t(1) << 30;
FileRead ReadWholeFile(const std::string& sjisPath, std::vector<u8>& out, std::size_t limit = kWholeFileLimit);
FileRead ReadWholeFile(const std::string& sjisPath, std::string& out, std::size_t limit = kWholeFileLimit);
// The same into storage that is not cleared before the read fills it (big data files).
FileRead ReadWholeFile(const std::string& sjisPath, cByteBuffer& out, std::size_t limit = kWholeFileLimit);
// Reads at most the first maxBytes of a file and gives the file's size: the whole file when
// fileSize == out.size(). Outcomes as a whole read's (never TooLarge).
FileRead ReadFileHead(const std::string& sjisPath, std::vector<u8>& out, std::size_t maxBytes, std::size_t& fileSize);

// A regular file opened to be read piece by piece at given offsets (a big data file read through
// a small window instead of whole). Reading at an offset never moves a shared position, so
// copies of a reader may share one. A file cut short after it was opened reads short, never
// faults: it is never mapped into memory.
class cFileSource {
public:
    // Outcomes as a whole read's; Ok with no file open for a file whose size the system does not
    // tell (an empty file, one of /proc), which only a whole read can take.
    FileRead Open(const std::string& sjisPath, std::size_t limit = kWholeFileLimit);
    bool IsOpen() const { return m_fd >= 0; }
    // The file's size when it was opened.
    std::size_t Size() const { return m_size; }
    // Reads up to n bytes at offset; fewer at the file's end, 0 on an input error.
    std::size_t ReadAt(void* dst, std::size_t n, std::size_t offset) const;

    cFileSource() = default;
    cFileSource(const cFileSource&) = delete;
    cFileSource& operator=(const cFileSource&) = delete;
    ~cFileSource();

private:
    int m_fd = -1;
    std::size_t m_size = 0;
};
