#include "records/FieldTable.h"

#include <algorithm>
#include <cstring>

namespace {

u32 FieldsAt(std::span<const FIELDDEF> table, u32 version) {
    return static_cast<u32>(std::count_if(table.begin(), table.end(),
                                          [version](const FIELDDEF& f) { return f.from <= version; }));
}

char* At(void* data, const FIELDDEF& f) { return static_cast<char*>(data) + f.offset; }

} // namespace

void cTableRecord::RegisterTable(void* data, std::span<const FIELDDEF> table, u32 version,
                                 std::string* str) {
    ResetFieldLists();
    for (const FIELDDEF& f : table)
        if (f.from <= version) AddField(At(data, f), 1, static_cast<i8>(f.size));
    if (str) AddString(str);
}

bool cTableRecord::LoadTable(cRecordReader& r, void* data, std::span<const FIELDDEF> table,
                             std::string* str) {
    const u32 version = r.Version();
    const u32 registered = FieldsAt(table, version);
    u32 n = 0;
    if (!r.ReadU32(n)) return false;
    if (n > registered) {
        // More fields than this version of the record has: the load fails, as in the base.
        r.Fail();
        return false;
    }
    u32 done = 0;
    for (const FIELDDEF& f : table) {
        if (done == n) break;
        if (f.from > version) continue;
        if (!r.ReadBytes(At(data, f), f.size)) return false;
        ++done;
    }
    u32 m = 0;
    if (!r.ReadU32(m)) return false;
    const u32 strings = str ? 1 : 0;
    if (m > strings) {
        r.Fail();
        return false;
    }
    if (m == 1) {
        std::string s;
        if (!r.ReadString(s)) return false;
        if (g_bFixStrings) s.erase(std::remove(s.begin(), s.end(), '\r'), s.end());
        *str = std::move(s);
    }
    return true;
}

void cTableRecord::SaveTable(cRecordWriter& w, void* data, std::span<const FIELDDEF> table,
                             std::string* str) {
    w.WriteU32(FieldsAt(table, g_nProgVer));
    for (const FIELDDEF& f : table)
        if (f.from <= g_nProgVer) w.WriteBytes(At(data, f), f.size);
    w.WriteU32(str ? 1 : 0);
    if (str) {
        const std::size_t nul = str->find('\0');
        if (nul != std::string::npos) str->resize(nul);
        w.WriteString(*str);
    }
}

void ClearTable(void* data, std::span<const FIELDDEF> table) {
    for (const FIELDDEF& f : table) std::memset(At(data, f), 0, f.size);
}

void CopyTableGroup(void* dst, const void* src, std::span<const FIELDDEF> table, u8 group) {
    for (const FIELDDEF& f : table)
        if (f.group == group)
            std::memmove(At(dst, f), static_cast<const char*>(src) + f.offset, f.size);
}
