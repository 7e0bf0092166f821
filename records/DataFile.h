#pragma once
// Data files: a u32 data version, then the body of the top record. Files newer than this
// program are refused; a damaged file (too short, counts or lengths past its end) fails to load.
#include <memory>
#include <string>
#include <type_traits>

#include "records/Record.h"

// How loading a data file went.
enum class LoadResult {
    Loaded,
    Missing,    // no file of that name
    Unreadable, // it exists but cannot be read: no permission, a folder in its place
    Newer,      // written by a newer program
    Damaged,    // shorter than its version word, or its body does not read to the end it claims
};

// Opens a data file (a Shift-JIS path of the game) and reads it whole. Null when it cannot be
// opened, is shorter than its version word, or is newer than the program (g_bNewerFile = 1);
// why says which. Sets g_nFileVer. An empty name stands for the file "err".
std::unique_ptr<cRecordReader> OpenDataFileRead(const std::string& name, LoadResult* why = nullptr);

// A writer that starts with the program's data version.
cRecordWriter OpenDataFileWrite();
// Writes the writer's bytes to the named file safely (temporary file, flush, rename).
bool CloseDataFile(cRecordWriter& w, const std::string& name);

// While a record loads from a file, the file's name, for the report lines of the values its
// Load repairs (ReportRepair). Scopes nest; the innermost names the file.
class LoadingFileScope {
public:
    explicit LoadingFileScope(const std::string& name);
    ~LoadingFileScope();
    LoadingFileScope(const LoadingFileScope&) = delete;
    LoadingFileScope& operator=(const LoadingFileScope&) = delete;

private:
    std::string m_previous;
};
// Writes "<file> の <field> (<was>) が範囲外のため <now> にしました。" for a value a record's Load
// found outside its range and set to now (the file named by the innermost LoadingFileScope).
void ReportRepair(const char* field, long long was, long long now);

// Writes "<file> に数でない値 (NaN、無限大) があるため 0 として読みました。", once for a file whose
// load met such a value (cRecordReader::MetNotFinite) and was taken.
void ReportNotFinite(const std::string& name);
// The same when the reader met one.
inline void ReportNotFinite(const cRecordReader& r, const std::string& name) {
    if (r.MetNotFinite()) ReportNotFinite(name);
}

// Loads a record from a file. Anything but Loaded leaves the record as it was. whole: bytes
// past the record's last field make the file damaged (the player's own files, which nothing
// but this program writes; game data keeps the tolerance it always had).
template <class T>
LoadResult LoadRecordFile(T& record, const std::string& name, bool whole = false) {
    static_assert(std::is_base_of_v<cRecord, T>);
    LoadResult why = LoadResult::Loaded;
    auto r = OpenDataFileRead(name, &why);
    if (!r) return why;
    T loaded(record);
    {
        LoadingFileScope scope(name);
        loaded.Load(*r);
    }
    if (r->Failed() || (whole && !r->AtEnd())) return LoadResult::Damaged;
    ReportNotFinite(*r, name);
    record = loaded;
    return LoadResult::Loaded;
}

// 1 when the record was loaded; 0 when the file cannot be opened, is newer than the program or
// is damaged, with the record as it was.
template <class T>
int LoadFromFile(T& record, const std::string& name) {
    return LoadRecordFile(record, name) == LoadResult::Loaded ? 1 : 0;
}

// The report line of a file that did not load (nothing for Loaded and Missing).
void ReportLoadFailure(const std::string& name, LoadResult why);

// Loads one of the player's own files (settings, saves, rankings): a file that is there but does
// not load leaves a report line naming it; the record keeps what it had.
template <class T>
LoadResult LoadUserFile(T& record, const std::string& name) {
    const LoadResult result = LoadRecordFile(record, name, true);
    ReportLoadFailure(name, result);
    return result;
}

// Saves a record: 1 on success, 0 with the old file untouched on failure.
int SaveToFile(cRecord& record, const std::string& name);

// Renames whatever stands at name (a damaged file, a folder) to the first free name of
// "<name>.damaged", "<name>.damaged2", ... with a report line; false when it cannot.
bool KeepFileAside(const std::string& name);

// Saves one of the player's own files (a save, a ranking, a setting) over an older one.
// Whatever stands in its place and does not load as a T (damaged, newer, a folder) is first
// kept aside, so that nothing the player saved disappears without trace. 1 saved; 0 with
// nothing overwritten.
// How the file at name opens, without a report line (its read said what it was): Loaded when it
// opens as a regular file, whatever its contents.
LoadResult ProbeUserFile(const std::string& name);

template <class T>
int SaveUserFile(T& record, const std::string& name) {
    static_assert(std::is_base_of_v<cRecord, T>);
    T present;
    LoadResult old = ProbeUserFile(name);
    if (old == LoadResult::Loaded) old = LoadRecordFile(present, name, true);
    if (old != LoadResult::Loaded && old != LoadResult::Missing && !KeepFileAside(name)) return 0;
    return SaveToFile(record, name);
}

// Reports why a data file could not be read, in the report file and an error box.
void ShowFileVersionError(const std::string& name);
