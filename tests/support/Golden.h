#pragma once
// Bytes written by hand from a format's table, and the field tables of the stored records.
//
// A record's generic body is a u32 field count, the fields raw, a u32 string count and the
// strings. A test writes a record's table as the data format gives it: each field's width, the
// data versions whose files hold it, and the value an older file leaves in it. The helpers lay
// out the body of any version from the table with a distinct value in every field, so that a
// swapped, widened, dropped or wrongly gated field shows. A round trip through our own reader
// and writer cannot see a mistake made the same way on both sides; these tables are the other
// side.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <functional>
#include <limits>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "platform/system/Types.h"
#include "records/RecordStream.h"

namespace golden {

// Little-endian bytes, field by field.
struct Bytes {
    std::string s;
    Bytes& Le(u64 v, int n) {
        for (int i = 0; i < n; ++i) s += static_cast<char>(v >> (8 * i));
        return *this;
    }
    Bytes& U8(u32 v) { return Le(v, 1); }
    Bytes& U16(u32 v) { return Le(v, 2); }
    Bytes& I16(i32 v) { return Le(static_cast<u16>(v), 2); }
    Bytes& U32(u32 v) { return Le(v, 4); }
    Bytes& I32(i32 v) { return Le(static_cast<u32>(v), 4); }
    Bytes& F64(double d) {
        u64 v;
        std::memcpy(&v, &d, 8);
        return Le(v, 8);
    }
    // u32 L = length + 1, then the text and its NUL when it is not empty.
    Bytes& Str(const std::string& t) {
        U32(static_cast<u32>(t.size() + 1));
        if (!t.empty()) s.append(t).push_back('\0');
        return *this;
    }
    Bytes& Raw(const std::string& b) {
        s += b;
        return *this;
    }
};

constexpr i64 kAny = std::numeric_limits<i64>::min(); // an older file leaves no stated value

// One entry of a record's table, in stream order: a field of `size` bytes (8: a double; 0: a
// string) held by files of versions from .. until - 1; `old` is what the field holds after an
// older file is read (kAny: not stated), `copyOf` the entry whose value it takes instead. An
// element entry continues the array of the field before it (one field in the count).
struct Fld {
    u8 size;
    u16 from = 0;
    u16 until = 0xFFFF;
    i64 old = kAny;
    int copyOf = -1;
    bool element = false;
    bool In(u32 v) const { return v >= from && v < until; }
};
using Table = std::vector<Fld>;

// A field of every version, or from version `from` on (an older file leaving `old` in it).
inline Fld F(u8 size, u16 from = 0, i64 old = kAny) { return Fld{size, from, 0xFFFF, old}; }
// A field of the versions before `until` only.
inline Fld Until(u8 size, u16 until) { return Fld{size, 0, until}; }
// A field from version `from` on; an older file gives it the value of entry `entry`.
inline Fld CopyOf(u8 size, u16 from, int entry) { return Fld{size, from, 0xFFFF, kAny, entry}; }
// The next element of the array field before it.
inline Fld Elem(Fld field) { return field.element = true, field; }
// A string, from version `from` on.
inline Fld Text(u16 from = 0) { return Fld{0, from}; }

inline i64 Cut(i64 v, u8 size) { return size >= 8 ? v : static_cast<i64>(static_cast<u64>(v) & ((1ull << (8 * size)) - 1)); }

// The string an entry holds in the bytes these helpers lay out.
inline std::string StrOf(int i) {
    char text[16];
    std::snprintf(text, sizeof text, "s%d", i);
    return text;
}

// The generic body of version v: entry i holds vals[i] (a double holds it as a double), a
// string entry StrOf(i) or the text `strs` gives it.
inline std::string Body(const Table& t, u32 v, const std::vector<i64>& vals, const std::map<int, std::string>& strs = {}) {
    Bytes f, s;
    u32 nf = 0, ns = 0;
    for (std::size_t i = 0; i < t.size(); ++i) {
        if (!t[i].In(v)) continue;
        if (t[i].size == 0) {
            const auto other = strs.find(static_cast<int>(i));
            s.Str(other != strs.end() ? other->second : StrOf(static_cast<int>(i)));
            ++ns;
        } else {
            if (t[i].size == 8) f.F64(static_cast<double>(vals[i]));
            else f.Le(static_cast<u64>(vals[i]), t[i].size);
            if (!t[i].element) ++nf;
        }
    }
    return Bytes().U32(nf).Raw(f.s).U32(ns).Raw(s.s).s;
}

// Reads the body of version v at the start of bytes: entry i's value (strings: 0) and the
// strings by entry. False when the counts are not the table's.
inline bool Parse(const Table& t, u32 v, const std::string& bytes, std::vector<i64>& vals, std::vector<std::string>& strs) {
    std::size_t pos = 0;
    auto take = [&](std::size_t n, u64& out) {
        if (pos + n > bytes.size()) return false;
        out = 0;
        for (std::size_t k = 0; k < n; ++k) out |= static_cast<u64>(static_cast<u8>(bytes[pos + k])) << (8 * k);
        pos += n;
        return true;
    };
    vals.assign(t.size(), 0);
    strs.assign(t.size(), std::string());
    u64 n = 0, nf = 0, ns = 0;
    for (const Fld& f : t)
        if (f.In(v) && !f.element) ++(f.size ? nf : ns);
    if (!take(4, n) || n != nf) return false;
    for (std::size_t i = 0; i < t.size(); ++i) {
        if (!t[i].In(v) || t[i].size == 0) continue;
        u64 raw;
        if (!take(t[i].size, raw)) return false;
        double d;
        std::memcpy(&d, &raw, 8);
        vals[i] = t[i].size == 8 ? static_cast<i64>(d) : static_cast<i64>(raw);
    }
    if (!take(4, n) || n != ns) return false;
    for (std::size_t i = 0; i < t.size(); ++i) {
        if (!t[i].In(v) || t[i].size != 0) continue;
        u64 len;
        if (!take(4, len) || pos + (len > 1 ? len : 0) > bytes.size()) return false;
        if (len > 1) strs[i] = bytes.substr(pos, len - 1);
        pos += len > 1 ? len : 0;
    }
    return true;
}

// 1, 2, ... n (from `first` on): a distinct value for every entry.
inline std::vector<i64> Seq(int n, i64 first = 1) {
    std::vector<i64> v(static_cast<std::size_t>(n));
    for (int i = 0; i < n; ++i) v[static_cast<std::size_t>(i)] = first + i;
    return v;
}

// Members read by name, in the order of the table.
template <class... T>
std::vector<i64> Vals(const T&... v) {
    return {static_cast<i64>(v)...};
}

// What the by-name members of a record read from Body(t, v, vals) hold: the values of the
// fields of version v, cut to their widths (strings and absent fields left out).
inline std::vector<i64> Expected(const Table& t, u32 v, const std::vector<i64>& vals) {
    std::vector<i64> out;
    for (std::size_t i = 0; i < t.size(); ++i)
        if (t[i].In(v) && t[i].size) out.push_back(Cut(vals[i], t[i].size));
    return out;
}

// The versions at which the table's layout changes.
inline std::set<u32> Gates(const Table& t) {
    std::set<u32> g;
    for (const Fld& f : t) {
        if (f.from > 0) g.insert(f.from);
        if (f.until != 0xFFFF) g.insert(f.until);
    }
    return g;
}

// Every version gate g of the table, read at g - 1 and at g: `reload` reads the body of that
// version (with whatever the record keeps after it) and returns what the record then writes at
// the current version. Each field and string the version holds comes back with its value; an
// absent one with the value an older file leaves (where the table states one). `skip` names the
// entries an upgrade recomputes at a version.
inline void ExpectGates(const Table& t, const std::vector<i64>& vals, u32 current,
                        const std::function<std::string(const std::string& body, u32 v)>& reload,
                        const std::function<bool(u32 v, int i)>& skip = nullptr) {
    for (u32 g : Gates(t)) {
        for (u32 v : {g - 1, g}) {
            std::vector<i64> got;
            std::vector<std::string> strs;
            ASSERT_TRUE(Parse(t, current, reload(Body(t, v, vals), v), got, strs)) << "version " << v;
            for (std::size_t i = 0; i < t.size(); ++i) {
                const Fld& f = t[i];
                if (!f.In(current) || (skip && skip(v, static_cast<int>(i)))) continue;
                const auto where = [&] { return "entry " + std::to_string(i) + " at version " + std::to_string(v); };
                if (f.In(v) && !f.size) {
                    EXPECT_EQ(strs[i], StrOf(static_cast<int>(i))) << where();
                    continue;
                }
                const i64 want = f.In(v) ? Cut(vals[i], f.size)
                                 : f.copyOf >= 0 ? Cut(vals[static_cast<std::size_t>(f.copyOf)], f.size) : f.old;
                EXPECT_TRUE(want == kAny || got[i] == want) << where() << ": " << got[i] << " for " << want;
            }
        }
    }
}

// Reads a record from bytes of version v; false unless every byte was read.
template <class T>
bool ReadWhole(T& rec, const std::string& bytes, u32 v) {
    cRecordReader r(bytes, v);
    rec.Load(r);
    return !r.Failed() && r.AtEnd();
}

template <class T>
std::string Written(T& rec) {
    cRecordWriter w;
    rec.Save(w);
    return w.Take();
}

} // namespace golden
