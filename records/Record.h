#pragma once
// The record base. A record class lists its stored members once, in RegisterFields, in file
// order and gated by the data version that introduced each; the base streams, clears and copies
// whatever is listed. The lists hold addresses inside the record, so they are rebuilt by every
// operation that uses them and are never copied from another record.
#include <cstring>
#include <memory>
#include <string>
#include <type_traits>
#include <utility>

#include "platform/system/Containers.h"
#include "records/RecordStream.h"

class cRecord;

struct DATAFIELD {
    cRecord* owner = nullptr;
    void* address = nullptr;
    u32 count = 0;
    i8 size = 0; // bytes per element: 1, 2, 4 or 8
};

struct STRFIELD {
    cRecord* owner = nullptr;
    std::string* address = nullptr;
};

// The data version this program writes and understands.
constexpr u32 kProgVer = 824;
extern u32 g_nProgVer;
// The version of the file being read, per thread (a stage may load while the window thread
// reads something else). Load overrides should prefer the reader's Version().
//
// Both are reached from other files, and both always live in the executable: they take the
// direct (local-exec) access, written by the compiler. With the default model the linker
// rewrites each access's "add" into a "lea", and GCC's sanitizer builds at -O2 test the flags of
// that "add" for a null address: after the rewrite they test stale flags and stop the program
// with a store to a null pointer that never happens. constinit: no per-access init check.
#define TOBRELK_EXE_TLS __attribute__((tls_model("local-exec")))
extern thread_local constinit u32 g_nFileVer TOBRELK_EXE_TLS;
extern thread_local constinit u32 g_bNewerFile TOBRELK_EXE_TLS;
// Loaded strings lose their carriage returns while set (start-up sets it).
extern u32 g_bFixStrings;

class cRecord {
public:
    cRecord() = default;
    // Copies never take the other record's descriptor lists: those point into the other record.
    cRecord(const cRecord&) {}
    cRecord& operator=(const cRecord& src);
    virtual ~cRecord() = default;

    virtual void OnVersion(u32 /*version*/) const {}
    virtual void RegisterFields(u32 /*version*/) { ResetFieldLists(); }
    virtual void Load(cRecordReader& r);
    virtual void Save(cRecordWriter& w);

    void LoadStrings(cRecordReader& r);
    void SaveStrings(cRecordWriter& w);
    void Clear();
    void CopyFrom(const cRecord& src);
    void FixStrings();

    // Access by field number (the arrange command works on numbered fields); the lists are
    // those of the program's version after this call.
    int FieldCount();
    DATAFIELD Field(int i);
    int StringCount();
    std::string* StringField(int i);

protected:
    // False for a class that registers members kept outside the record (side storage): its
    // fields then always go through the descriptor lists, never through a per-class layout.
    virtual bool FieldsInside() const { return true; }
    // Told once, when the descriptor lists are first made (they live until the record goes).
    virtual void FieldListsMade() {}
    void ResetFieldLists();
    void AddFieldU32(void* address, u32 count = 1) { AddField(address, count, 4); }
    void AddFieldU16(void* address, u32 count = 1) { AddField(address, count, 2); }
    void AddFieldU8(void* address, u32 count = 1) { AddField(address, count, 1); }
    // Every 8-byte field is a double (the reader makes one that is not finite 0: FixDouble).
    void AddField8(double* address, u32 count = 1) { AddField(address, count, 8); }
    // size 8 only for doubles, as AddField8.
    void AddField(void* address, u32 count, i8 size);
    void AddString(std::string* address);
    // Whether the descriptor lists were ever made (then the destructor has them to free).
    bool HasFieldLists() const noexcept { return m_lists != nullptr; }

    // The descriptor lists, made on the first registration: most records (a stage's hundred
    // thousand placed blocks) are streamed through their class's layout and never build them,
    // and then carry one pointer instead of two vectors.
    struct FieldLists {
        cVector<DATAFIELD> fields;
        cVector<STRFIELD> strings;
        virtual ~FieldLists() = default;
    };
    // A class may keep storage of its own in the same allocation (a larger FieldLists made
    // here), so that its records carry no second pointer; it then reaches the allocation
    // through ListsSlot. Copies of a record never share it (see the copy constructor).
    virtual std::unique_ptr<FieldLists> MakeFieldLists() const { return std::make_unique<FieldLists>(); }
    std::unique_ptr<FieldLists>& ListsSlot() noexcept { return m_lists; }
    const FieldLists* ListsIfMade() const noexcept { return m_lists.get(); }

private:
    FieldLists& Lists();
    std::unique_ptr<FieldLists> m_lists;

    struct Layout;
    // The registered fields of this record's class at a version, as offsets from the record,
    // worked out once per class and version (per thread) instead of once per record. Null when
    // a class registers something outside the record, which then goes through the lists.
    const Layout* LayoutAt(u32 version);
    const Layout* WorkOutLayout(u32 version);
    void LoadStrings(cRecordReader& r, const Layout& layout);
};

// The body of a record whose registered members are exactly M (in their stored order) and whose
// strings are texts, every string empty: the form nearly every small record of a stage (a
// command, a flow, a condition) is stored in. Read in one bounds check, without the layout
// lookup and the loops of cRecord::Load, which reads exactly the same; false, with nothing read,
// for any other form (the caller then reads it through the base).
template <auto... M, class T, class... S>
bool ReadPlainBody(cRecordReader& r, T& rec, S*... texts) {
    constexpr std::size_t kBytes = (sizeof(std::declval<T&>().*M) + ... + 0);
    constexpr std::size_t kAll = 4 + kBytes + 4 + 4 * sizeof...(S);
    const char* const p = r.Peek(kAll);
    if (!p) return false;
    u32 n, m;
    std::memcpy(&n, p, 4);
    std::memcpy(&m, p + 4 + kBytes, 4);
    if (n != sizeof...(M) || m != sizeof...(S)) return false;
    for (std::size_t k = 0; k < sizeof...(S); ++k) {
        u32 len;
        std::memcpy(&len, p + 8 + kBytes + 4 * k, 4);
        if (len > 1) return false;
    }
    const char* q = p + 4;
    ((std::memcpy(&(rec.*M), q, sizeof(rec.*M)), q += sizeof(rec.*M)), ...);
    (texts->clear(), ...);
    r.Advance(kAll);
    auto fix = [&r](auto& member) {
        using Member = std::remove_cvref_t<decltype(member)>;
        if constexpr (std::is_same_v<std::remove_all_extents_t<Member>, double>)
            for (std::size_t k = 0; k < sizeof(Member); k += 8) r.FixDouble(reinterpret_cast<char*>(&member) + k);
    };
    (fix(rec.*M), ...);
    return true;
}

// Reads an empty record list (the form of nearly every list a stage holds) in one look, emptying
// v; false, with nothing read, for any other (the caller then reads it whole).
template <class T>
bool ReadEmptyList(cRecordReader& r, cVector<T>& v) {
    const char* const p = r.Peek(4);
    if (!p) return false;
    u32 n;
    std::memcpy(&n, p, 4);
    if (n != 0) return false;
    r.Advance(4);
    v.clear();
    return true;
}

// Set (by specialising) for a class whose fresh record is already a cleared one: every member
// it registers starts at zero and every string empty. Its list elements then skip the clear.
template <class T>
inline constexpr bool kFreshIsCleared = false;

// Reads n records into v (cleared first), each starting as a copy of blank. Elements are made
// one by one as they are read, so a damaged count costs no more memory than the bytes really
// there.
template <class T>
bool ReadRecordsInto(cRecordReader& r, cVector<T>& v, u32 n, const T& blank) {
    v.clear();
    v.reserve(n < 256 ? n : 256);
    for (u32 i = 0; i < n; ++i) {
        v.push_back(blank);
        v.back().Load(r);
        if (r.Failed()) return false;
    }
    return true;
}

// Reads a u32 count and that many records into v, each starting as a copy of blank. The count
// must fit in the bytes left (a record takes at least minBytes).
template <class T>
bool ReadRecordVectorFrom(cRecordReader& r, cVector<T>& v, const T& blank, std::size_t minBytes = 8) {
    u32 n = 0;
    // A record body is at least its two u32 counts.
    if (!r.ReadCount(n, minBytes)) return false;
    return ReadRecordsInto(r, v, n, blank);
}

// The pattern of every class that keeps records in a vector: each element starts as a cleared
// record of the current version, then loads. The count comes first: most lists in a file are
// empty, and an empty one builds nothing. Each element is cleared where it stays rather than
// copied from a cleared one.
template <class T>
bool ReadRecordVector(cRecordReader& r, cVector<T>& v, std::size_t minBytes = 8) {
    u32 n = 0;
    if (!r.ReadCount(n, minBytes)) return false;
    v.clear();
    if (n == 0) return true;
    v.reserve(n < 256 ? n : 256);
    for (u32 i = 0; i < n; ++i) {
        T& e = v.emplace_back();
        if constexpr (!kFreshIsCleared<T>) e.Clear();
        e.Load(r);
        if (r.Failed()) return false;
    }
    return true;
}

template <class T>
void WriteRecordVector(cRecordWriter& w, cVector<T>& v) {
    w.WriteU32(static_cast<u32>(v.size()));
    for (auto& e : v) e.Save(w);
}
