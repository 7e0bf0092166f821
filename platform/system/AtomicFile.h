#pragma once
// Everything the runtime saves is written beside its target under a temporary name, flushed to
// disk, checked, and renamed over the old file: a failed or interrupted save leaves the old file
// as it was.
#include <filesystem>
#include <string>

// Writes bytes to path (a file-system path); false, with the old file untouched, on any failure.
bool WriteFileAtomic(const std::filesystem::path& path, const std::string& bytes);

// Removes, below folder (recursively), the temporaries that a write interrupted by a crash or a
// kill left behind: "<name>.tmp<process id>" whose writing process no longer runs. Writes one
// report line per file removed and returns how many were.
int RemoveStrayTemporaries(const std::filesystem::path& folder);

// Test seam: when set, the write fails after this many bytes as a full disk would.
void SetAtomicWriteFailAfter(long long bytes); // negative: never fail
