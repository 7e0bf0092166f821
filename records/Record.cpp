#include "records/Record.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <memory>
#include <cstring>
#include <typeinfo>
#include <unordered_map>
#include <vector>

u32 g_nProgVer = kProgVer;
thread_local constinit u32 g_nFileVer TOBRELK_EXE_TLS = 0;
thread_local constinit u32 g_bNewerFile TOBRELK_EXE_TLS = 0;
u32 g_bFixStrings = 0;

cRecord::FieldLists& cRecord::Lists() {
    if (!m_lists) {
        m_lists = MakeFieldLists();
        // Most records register a handful of fields: one allocation each instead of a growing
        // series.
        m_lists->fields.reserve(16);
        m_lists->strings.reserve(4);
        FieldListsMade();
    }
    return *m_lists;
}

void cRecord::ResetFieldLists() {
    FieldLists& l = Lists();
    l.fields.clear();
    l.strings.clear();
}

namespace {
// Copies a run of a record body: runs are a few bytes long, and two overlapping moves of a
// fixed width cost less than a call to copy any length.
inline void CopyRun(char* dst, const char* src, std::size_t n) {
    if (n >= 4 && n <= 16) {
        if (n >= 8) {
            u64 a, b;
            std::memcpy(&a, src, 8);
            std::memcpy(&b, src + n - 8, 8);
            std::memcpy(dst, &a, 8);
            std::memcpy(dst + n - 8, &b, 8);
        } else {
            u32 a, b;
            std::memcpy(&a, src, 4);
            std::memcpy(&b, src + n - 4, 4);
            std::memcpy(dst, &a, 4);
            std::memcpy(dst + n - 4, &b, 4);
        }
    } else if (n == 2 || n == 3) {
        u16 a, b;
        std::memcpy(&a, src, 2);
        std::memcpy(&b, src + n - 2, 2);
        std::memcpy(dst, &a, 2);
        std::memcpy(dst + n - 2, &b, 2);
    } else if (n == 1) {
        *dst = *src;
    } else if (n) {
        std::memcpy(dst, src, n);
    }
}
} // namespace

struct cRecord::Layout {
    struct Slot {
        u32 offset;
        u32 bytes;
    };
    std::vector<Slot> fields;
    // The fields again, with neighbours that lie back to back in memory as in the file joined
    // into one slot: a whole body is copied in a few moves.
    std::vector<Slot> runs;
    std::vector<u32> strings;
    // Each double (every element of an 8-byte field): the field's number and its offset.
    struct Double {
        u32 field;
        u32 offset;
    };
    std::vector<Double> doubles;
    std::size_t bytes = 0; // of the whole body
};

namespace {
struct LayoutKey {
    const std::type_info* type;
    u32 version;
    bool operator==(const LayoutKey& o) const { return type == o.type && version == o.version; }
};
struct LayoutKeyHash {
    std::size_t operator()(const LayoutKey& k) const {
        return std::hash<const void*>()(k.type) ^ (static_cast<std::size_t>(k.version) * 0x9E3779B97F4A7C15ull);
    }
};
// A record class never registers a member further than this from its start; anything else
// (an address outside the record) is not cached.
constexpr std::ptrdiff_t kMaxRecordBytes = std::ptrdiff_t(1) << 20;
} // namespace

// Nested records alternate between a few classes (a flow, its conditions, its commands, their
// movements and shots): the recent ones are found without a map lookup. Per thread: loads run
// on several threads, and a lookup then needs no lock.
struct RecentLayout {
    const std::type_info* type;
    u32 version;
    const void* layout; // a cRecord::Layout, or null for a class outside the layouts
};
thread_local constinit std::array<RecentLayout, 16> t_recentLayouts{};

std::size_t RecentSlot(const std::type_info* type, u32 version) {
    return (reinterpret_cast<std::uintptr_t>(type) >> 4 ^ version) & 15;
}

const cRecord::Layout* cRecord::LayoutAt(u32 version) {
    if (!FieldsInside()) return nullptr;
    const std::type_info* type = &typeid(*this);
    const RecentLayout& slot = t_recentLayouts[RecentSlot(type, version)];
    if (slot.type == type && slot.version == version) return static_cast<const Layout*>(slot.layout);
    return WorkOutLayout(version);
}

__attribute__((noinline)) const cRecord::Layout* cRecord::WorkOutLayout(u32 version) {
    // Registration depends on the class and the version alone, so the offsets of one record
    // serve every record of its class.
    thread_local std::unordered_map<LayoutKey, std::unique_ptr<Layout>, LayoutKeyHash> layouts;
    const LayoutKey key{&typeid(*this), version};
    auto it = layouts.find(key);
    if (it == layouts.end()) {
        RegisterFields(version);
        auto layout = std::make_unique<Layout>();
        const char* base = reinterpret_cast<const char*>(this);
        bool inside = true;
        auto offsetOf = [&](const void* address) {
            const std::ptrdiff_t d = static_cast<const char*>(address) - base;
            if (d < 0 || d >= kMaxRecordBytes) inside = false;
            return static_cast<u32>(d);
        };
        for (const DATAFIELD& f : Lists().fields) {
            const u32 at = offsetOf(f.address);
            if (f.size == 8)
                for (u32 k = 0; k < f.count; ++k)
                    layout->doubles.push_back({static_cast<u32>(layout->fields.size()), at + 8 * k});
            layout->fields.push_back({at, static_cast<u32>(f.count) * static_cast<u32>(f.size)});
        }
        for (const STRFIELD& f : Lists().strings) layout->strings.push_back(offsetOf(f.address));
        for (const Layout::Slot& f : layout->fields) {
            layout->bytes += f.bytes;
            if (!layout->runs.empty() && layout->runs.back().offset + layout->runs.back().bytes == f.offset)
                layout->runs.back().bytes += f.bytes;
            else
                layout->runs.push_back(f);
        }
        if (!inside) layout.reset();
        it = layouts.emplace(key, std::move(layout)).first;
    }
    t_recentLayouts[RecentSlot(key.type, version)] = RecentLayout{key.type, version, it->second.get()};
    return it->second.get();
}

void cRecord::AddField(void* address, u32 count, i8 size) {
    Lists().fields.push_back(DATAFIELD{this, address, count, size});
}

void cRecord::AddString(std::string* address) { Lists().strings.push_back(STRFIELD{this, address}); }

cRecord& cRecord::operator=(const cRecord& /*src*/) {
    // Member values are copied by the classes' own assignment; the lists stay this record's own
    // (they point into this record, and every use registers them again first). Nothing is
    // registered here: a stage's characters copy their palette entries' flows, commands,
    // movements and shots by the thousand, and lists made for each would only be freed again.
    return *this;
}

void cRecord::Load(cRecordReader& r) {
    const u32 version = r.Version();
    if (const Layout* layout = LayoutAt(version)) {
        char* base = reinterpret_cast<char*>(this);
        u32 n = 0;
        if (!r.ReadU32(n)) return;
        if (n > layout->fields.size()) {
            r.Fail();
            return;
        }
        if (n == layout->fields.size()) {
            // The whole body, as every file of this version holds it: one bounds check.
            const char* p = r.Take(layout->bytes);
            if (!p) return;
            for (const Layout::Slot& s : layout->runs) {
                CopyRun(base + s.offset, p, s.bytes);
                p += s.bytes;
            }
        } else {
            for (std::size_t i = 0; i < n; ++i)
                if (!r.ReadBytes(base + layout->fields[i].offset, layout->fields[i].bytes)) return;
        }
        for (const Layout::Double& d : layout->doubles)
            if (d.field < n) r.FixDouble(base + d.offset);
        LoadStrings(r, *layout);
        return;
    }
    RegisterFields(version);
    u32 n = 0;
    if (r.ReadU32(n)) {
        if (n > static_cast<u32>(Lists().fields.size())) {
            // More fields than this version of the record has: the file is not what it claims,
            // and its load fails. Whoever loads the file says so in the file's own words.
            r.Fail();
        } else {
            for (u32 i = 0; i < n && !r.Failed(); ++i) {
                const DATAFIELD& f = Lists().fields[i];
                if (!r.ReadBytes(f.address, static_cast<std::size_t>(f.count) * static_cast<std::size_t>(f.size))) break;
                if (f.size == 8)
                    for (u32 k = 0; k < f.count; ++k) r.FixDouble(static_cast<char*>(f.address) + 8 * k);
            }
            if (!r.Failed()) LoadStrings(r);
        }
    }
    if (version != g_nProgVer) RegisterFields(g_nProgVer);
}

void cRecord::LoadStrings(cRecordReader& r) {
    u32 m = 0;
    if (!r.ReadU32(m)) return;
    if (m > static_cast<u32>(Lists().strings.size())) {
        r.Fail();
        return;
    }
    for (u32 i = 0; i < m; ++i) {
        std::string s;
        if (!r.ReadString(s)) return;
        *Lists().strings[i].address = std::move(s);
    }
    if (g_bFixStrings) FixStrings();
}

void cRecord::LoadStrings(cRecordReader& r, const Layout& layout) {
    u32 m = 0;
    if (!r.ReadU32(m)) return;
    if (m > layout.strings.size()) {
        r.Fail();
        return;
    }
    char* base = reinterpret_cast<char*>(this);
    for (u32 i = 0; i < m; ++i) {
        std::string& text = *reinterpret_cast<std::string*>(base + layout.strings[i]);
        if (!r.ReadString(text)) return;
        if (g_bFixStrings) text.erase(std::remove(text.begin(), text.end(), '\r'), text.end());
    }
}

void cRecord::Save(cRecordWriter& w) {
    if (const Layout* layout = LayoutAt(g_nProgVer)) {
        const char* base = reinterpret_cast<const char*>(this);
        w.WriteU32(static_cast<u32>(layout->fields.size()));
        for (const Layout::Slot& f : layout->runs) w.WriteBytes(base + f.offset, f.bytes);
        w.WriteU32(static_cast<u32>(layout->strings.size()));
        for (u32 off : layout->strings) {
            std::string& text = *reinterpret_cast<std::string*>(const_cast<char*>(base) + off);
            const std::size_t nul = text.find('\0');
            if (nul != std::string::npos) text.resize(nul);
            w.WriteString(text);
        }
        return;
    }
    RegisterFields(g_nProgVer);
    w.WriteU32(static_cast<u32>(Lists().fields.size()));
    for (const DATAFIELD& f : Lists().fields)
        w.WriteBytes(f.address, static_cast<std::size_t>(f.count) * static_cast<std::size_t>(f.size));
    SaveStrings(w);
}

void cRecord::SaveStrings(cRecordWriter& w) {
    w.WriteU32(static_cast<u32>(Lists().strings.size()));
    for (const STRFIELD& s : Lists().strings) {
        std::string& text = *s.address;
        const std::size_t nul = text.find('\0');
        if (nul != std::string::npos) text.resize(nul);
        w.WriteString(text);
    }
}

void cRecord::Clear() {
    if (const Layout* layout = LayoutAt(g_nProgVer)) {
        char* base = reinterpret_cast<char*>(this);
        for (const Layout::Slot& f : layout->runs) std::memset(base + f.offset, 0, f.bytes);
        for (u32 off : layout->strings) reinterpret_cast<std::string*>(base + off)->clear();
        return;
    }
    RegisterFields(g_nProgVer);
    for (const DATAFIELD& f : Lists().fields)
        std::memset(f.address, 0, static_cast<std::size_t>(f.count) * static_cast<std::size_t>(f.size));
    for (const STRFIELD& s : Lists().strings) s.address->clear();
}

void cRecord::CopyFrom(const cRecord& src) {
    if (this == &src) return;
    cRecord& from = const_cast<cRecord&>(src);
    RegisterFields(g_nProgVer);
    from.RegisterFields(g_nProgVer);
    const std::size_t nf = std::min(Lists().fields.size(), from.Lists().fields.size());
    for (std::size_t i = 0; i < nf; ++i) {
        const DATAFIELD& d = Lists().fields[static_cast<long long>(i)];
        const DATAFIELD& s = from.Lists().fields[static_cast<long long>(i)];
        const std::size_t bytes = std::min(static_cast<std::size_t>(d.count) * d.size,
                                           static_cast<std::size_t>(s.count) * s.size);
        std::memmove(d.address, s.address, bytes);
    }
    const std::size_t ns = std::min(Lists().strings.size(), from.Lists().strings.size());
    for (std::size_t i = 0; i < ns; ++i)
        *Lists().strings[static_cast<long long>(i)].address = *from.Lists().strings[static_cast<long long>(i)].address;
}

void cRecord::FixStrings() {
    for (const STRFIELD& s : Lists().strings) {
        std::string& text = *s.address;
        text.erase(std::remove(text.begin(), text.end(), '\r'), text.end());
    }
}

int cRecord::FieldCount() {
    RegisterFields(g_nProgVer);
    return Lists().fields.Size();
}

DATAFIELD cRecord::Field(int i) {
    RegisterFields(g_nProgVer);
    return Lists().fields[i];
}

int cRecord::StringCount() {
    RegisterFields(g_nProgVer);
    return Lists().strings.Size();
}

std::string* cRecord::StringField(int i) {
    RegisterFields(g_nProgVer);
    return Lists().strings[i].address;
}
