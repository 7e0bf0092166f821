#pragma once
// Everything the runtime saves is written beside its target under a temporary name, flushed to
// disk, checked, and renamed over the old file; the folder is flushed after it, so that a power
// cut keeps the rename. A failed or interrupted save leaves the old file as it was.
//
// A game folder is often someone else's making, and it can hold links: one at user_data, at one
// of its folders or at a file the runtime writes would carry a write, a truncation, a rename or a
// removal to wherever it points. So inside the game folder nothing is written through a link:
// every name between the game folder and the file written must be a real folder, and a link there
// is refused with a report line. The game folder itself (the player's choice) and a file the
// player saves outside it are taken as named.
#include <cstddef>
#include <filesystem>
#include <string>

// Opens a folder to write into (a descriptor of O_DIRECTORY), or -1: missing, unreadable, or in
// the game folder with a link standing between the game folder and it (a report line names the
// link unless quiet).
int OpenWriteFolder(const std::filesystem::path& folder, bool quiet = false);

// How making a folder of the game folder went. Link: the folder, or one on its way, is a link,
// and nothing was made.
enum class FolderMade { Made, Existed, Link, Failed };
// Makes one folder (its parent must exist) and flushes it into its parent: the saves written in
// it later must not lose their folder to a power cut. A failed flush writes a report line.
FolderMade MakeWriteFolder(const std::filesystem::path& folder);
// The same for a folder named as the game's data names it (Shift-JIS, backslash-separated):
// true when it exists afterwards as a folder the runtime writes into.
bool MakeDirectory(const std::string& sjisPath);

// Writes bytes to path (a file-system path); false, with the old file untouched, on any failure,
// whose system error is left as the thread's file error (FileError.h). A folder flush that fails
// after the rename counts as a failure too (with a report line): the new file is in place but
// may not survive a power cut. The temporary is "<name>.tmp<process id>"; where that would pass
// the longest name the file system takes, it is "<name cut>~<check>.tmp<process id>", the name
// cut at a character's start and the check (8 hex digits) taken over the whole name, so that
// every name the system takes can be saved.
bool WriteFileAtomic(const std::filesystem::path& path, const std::string& bytes);

// The temporary's name for a file named name, written by process pid, in a folder whose file
// system takes names of up to nameMax bytes.
std::string TemporaryName(const std::string& name, long pid, std::size_t nameMax = 255);

// Renames the file at path, within its folder, to the first free name of "<name>.damaged",
// "<name>.damaged2", ... "<name>.damaged99" (the name cut as for a temporary where it is too
// long to take the mark); the name taken, or empty when none could be (the thread's file error
// says why).
std::string RenameAside(const std::filesystem::path& path);

// Removes, below folder (recursively), the temporaries that a write interrupted by a crash or a
// kill left behind: "<name>.tmp<process id>" (the name maybe cut) whose writing process no
// longer runs. Only plain
// files are removed, never through a link (a folder that is one, or lies in one, is not walked).
// Writes one report line per file removed and returns how many were.
int RemoveStrayTemporaries(const std::filesystem::path& folder);

// Test seams: when set, the write fails after this many bytes as a full disk would; the folder
// flush fails as on a disk that gave up.
void SetAtomicWriteFailAfter(long long bytes); // negative: never fail
void SetFolderFlushFails(bool fail);
