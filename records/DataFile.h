#pragma once
// Data files: a u32 data version, then the body of the top record. Files newer than this
// program are refused; a damaged file (too short, counts or lengths past its end) fails to load.
#include <memory>
#include <string>
#include <type_traits>

#include "records/Record.h"

// Opens a data file (a Shift-JIS path of the game) and reads it whole. Null when it cannot be
// opened, is shorter than its version word, or is newer than the program (g_bNewerFile = 1).
// Sets g_nFileVer. An empty name opens the file "err", as it always has.
std::unique_ptr<cRecordReader> OpenDataFileRead(const std::string& name);

// A writer that starts with the program's data version.
cRecordWriter OpenDataFileWrite();
// Writes the writer's bytes to the named file safely (temporary file, flush, rename).
bool CloseDataFile(cRecordWriter& w, const std::string& name);

// Loads a record from a file: 1 on success, 0 when the file cannot be opened, is newer than the
// program or is damaged. A failed load leaves the record as it was.
template <class T>
int LoadFromFile(T& record, const std::string& name) {
    static_assert(std::is_base_of_v<cRecord, T>);
    auto r = OpenDataFileRead(name);
    if (!r) return 0;
    T loaded(record);
    loaded.Load(*r);
    if (r->Failed()) return 0;
    record = loaded;
    return 1;
}

// Saves a record: 1 on success, 0 with the old file untouched on failure.
int SaveToFile(cRecord& record, const std::string& name);

// Reports why a data file could not be read, in the report file and an error box.
void ShowFileVersionError(const std::string& name);
