#include "records/FieldTable.h"

#include <algorithm>
#include <cstring>

namespace {

u32 FieldsAt(std::span<const FIELDDEF> table, u32 version) {
    return static_cast<u32>(std::count_if(table.begin(), table.end(),
                                          [version](const FIELDDEF& f) { return f.from <= version; }));
}

char* At(void* data, const FIELDDEF& f) { return static_cast<char*>(data) + f.offset; }

// What a table holds at one version: its field count and their packed bytes. Worked out once
// per table and version (a thread reads one file at a time, so one entry serves a whole list).
struct TablePlan {
    const FIELDDEF* table = nullptr;
    std::size_t size = 0;
    u32 version = 0;
    u32 fields = 0;
    std::size_t bytes = 0;
};

const TablePlan& PlanOf(std::span<const FIELDDEF> table, u32 version) {
    thread_local TablePlan plan;
    if (plan.table != table.data() || plan.size != table.size() || plan.version != version) {
        plan = TablePlan{table.data(), table.size(), version, 0, 0};
        for (const FIELDDEF& f : table)
            if (f.from <= version) {
                ++plan.fields;
                plan.bytes += f.size;
            }
    }
    return plan;
}

// Copies one field out of a body already bounds-checked.
inline void PutField(void* data, const FIELDDEF& f, const char* p) {
    char* d = At(data, f);
    switch (f.size) {
    case 1: *d = *p; break;
    case 2: std::memcpy(d, p, 2); break;
    case 4: std::memcpy(d, p, 4); break;
    case 8: std::memcpy(d, p, 8); break;
    default: std::memcpy(d, p, f.size); break;
    }
}

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
    u32 n = 0;
    if (!r.ReadU32(n)) return false;
    return LoadTableAfterCount(r, data, table, str, n);
}

bool cTableRecord::LoadTableAfterCount(cRecordReader& r, void* data, std::span<const FIELDDEF> table,
                                       std::string* str, u32 n) {
    const u32 version = r.Version();
    const TablePlan& plan = PlanOf(table, version);
    if (n > plan.fields) {
        // More fields than this version of the record has: the load fails, as in the base.
        r.Fail();
        return false;
    }
    if (n == plan.fields) {
        // The whole body, as every file of this version holds it: one bounds check.
        const char* p = r.Take(plan.bytes);
        if (!p) return false;
        for (const FIELDDEF& f : table) {
            if (f.from > version) continue;
            PutField(data, f, p);
            if (f.size == 8) r.FixDouble(At(data, f));
            p += f.size;
        }
    } else {
        u32 done = 0;
        for (const FIELDDEF& f : table) {
            if (done == n) break;
            if (f.from > version) continue;
            if (!r.ReadBytes(At(data, f), f.size)) return false;
            if (f.size == 8) r.FixDouble(At(data, f));
            ++done;
        }
    }
    return LoadTableString(r, str);
}

bool cTableRecord::LoadTableString(cRecordReader& r, std::string* str) {
    u32 m = 0;
    if (!r.ReadU32(m)) return false;
    const u32 strings = str ? 1 : 0;
    if (m > strings) {
        r.Fail();
        return false;
    }
    if (m == 1) {
        // A failed read leaves the string as it was.
        if (!r.ReadString(*str)) return false;
        if (g_bFixStrings) str->erase(std::remove(str->begin(), str->end(), '\r'), str->end());
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
