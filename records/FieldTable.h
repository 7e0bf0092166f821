#pragma once
// Records whose stored fields are described by a static table instead of one registration call
// per member. The table gives each field's place in a plain data block, its width, the data
// version that introduced it and its inherit group, so that registration, the record stream and
// the per-group copies of palette inheritance all walk the same list.
//
// The big record lists of a stage (a hundred thousand placed blocks) are streamed straight from
// the table, without building the base class's descriptor lists for every element; the byte
// form is exactly that of cRecord::Load and cRecord::Save.
#include <array>
#include <cstddef>
#include <cstring>
#include <utility>
#include <span>
#include <string>
#include <type_traits>

#include "records/Record.h"

constexpr u8 kNoGroup = 0xFF;

struct FIELDDEF {
    u32 offset; // within the record's data block
    u8 size;    // 1, 2, 4 or 8 bytes (8: a double, which the reader makes 0 when it is not finite)
    u16 from;   // first data version whose files hold the field (0: all)
    u8 group;   // inherit group, kNoGroup when none
};

// The size of a member as a table field: an 8-byte member must be a double, and a double is a
// field of its own (the reader looks at each 8-byte field as one).
template <class M>
constexpr u8 FieldSize() {
    static_assert(sizeof(M) != 8 || std::is_same_v<M, double>, "an 8-byte field is read as a double");
    static_assert(!std::is_same_v<std::remove_all_extents_t<M>, double> || sizeof(M) == 8,
                  "a double is a table field of its own");
    return static_cast<u8>(sizeof(M));
}

#define TOBRELK_FIELD(Data, member, from, group)                                                 \
    FIELDDEF {                                                                                   \
        static_cast<u32>(offsetof(Data, member)), FieldSize<decltype(Data::member)>(),           \
            static_cast<u16>(from), static_cast<u8>(group)                                       \
    }

class cTableRecord : public cRecord {
protected:
    // Registers the table's fields present at version, then the string (null: none).
    void RegisterTable(void* data, std::span<const FIELDDEF> table, u32 version, std::string* str);
    // The record stream at the reader's version into data and str; fails r on a damaged body.
    // Fields absent from the file keep their values.
    bool LoadTable(cRecordReader& r, void* data, std::span<const FIELDDEF> table, std::string* str);
    // The same for a table fixed at compile time: a body holding every field (any file of a
    // version from the table's newest field on) is bounds-checked once and copied with
    // constant offsets, the way a stage's hundred thousand blocks are read.
    template <const auto& Table>
    bool LoadFixedTable(cRecordReader& r, void* data, std::string* str);
    bool LoadTableAfterCount(cRecordReader& r, void* data, std::span<const FIELDDEF> table, std::string* str, u32 n);
    bool LoadTableString(cRecordReader& r, std::string* str);
    // The record stream at the program's version.
    void SaveTable(cRecordWriter& w, void* data, std::span<const FIELDDEF> table, std::string* str);
};

namespace field_table_detail {
template <const auto& Table>
struct Fixed {
    static constexpr std::size_t kCount = Table.size();
    static constexpr u16 Newest() {
        u16 v = 0;
        for (const FIELDDEF& f : Table) v = f.from > v ? f.from : v;
        return v;
    }
    static constexpr auto Packed() {
        std::array<u32, kCount + 1> at{};
        for (std::size_t i = 0; i < kCount; ++i) at[i + 1] = at[i] + Table[i].size;
        return at;
    }
    static constexpr u16 kNewest = Newest();
    static constexpr bool kHasDoubles = [] {
        for (const FIELDDEF& f : Table)
            if (f.size == 8) return true;
        return false;
    }();
    static constexpr auto kPacked = Packed();
    // Neighbours in the file that are neighbours in the data block too are copied as one run:
    // a data block laid out after the file takes a few moves instead of one per field.
    struct Run {
        u32 dst, src, bytes;
    };
    static constexpr std::size_t CountRuns() {
        std::size_t n = kCount ? 1 : 0;
        for (std::size_t i = 1; i < kCount; ++i)
            if (Table[i].offset != Table[i - 1].offset + Table[i - 1].size) ++n;
        return n;
    }
    static constexpr std::size_t kRunCount = CountRuns();
    static constexpr auto Runs() {
        std::array<Run, kRunCount> runs{};
        std::size_t n = 0;
        for (std::size_t i = 0; i < kCount; ++i) {
            if (i && Table[i].offset == Table[i - 1].offset + Table[i - 1].size)
                runs[n - 1].bytes += Table[i].size;
            else
                runs[n++] = Run{Table[i].offset, kPacked[i], Table[i].size};
        }
        return runs;
    }
    static constexpr auto kRuns = Runs();
    template <std::size_t... I>
    static void CopyRuns(void* data, const char* p, std::index_sequence<I...>) {
        (std::memcpy(static_cast<char*>(data) + kRuns[I].dst, p + kRuns[I].src, kRuns[I].bytes), ...);
    }
    // Copies a whole packed body into the data block.
    static void Copy(void* data, const char* p) { CopyRuns(data, p, std::make_index_sequence<kRunCount>{}); }
};
} // namespace field_table_detail

template <const auto& Table>
bool cTableRecord::LoadFixedTable(cRecordReader& r, void* data, std::string* str) {
    using F = field_table_detail::Fixed<Table>;
    u32 n = 0;
    if (!r.ReadU32(n)) return false;
    if (n != F::kCount || r.Version() < F::kNewest) return LoadTableAfterCount(r, data, Table, str, n);
    const char* p = r.Take(F::kPacked[F::kCount]);
    if (!p) return false;
    F::Copy(data, p);
    if constexpr (F::kHasDoubles)
        for (const FIELDDEF& f : Table)
            if (f.size == 8) r.FixDouble(static_cast<char*>(data) + f.offset);
    return LoadTableString(r, str);
}

// Zeroes every field of the table (the base's Clear, without the descriptor lists).
void ClearTable(void* data, std::span<const FIELDDEF> table);
// Copies the fields of one inherit group from src to dst (both data blocks of the same table).
void CopyTableGroup(void* dst, const void* src, std::span<const FIELDDEF> table, u8 group);
