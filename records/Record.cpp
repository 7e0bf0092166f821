#include "records/Record.h"

#include <algorithm>
#include <cstring>

u32 g_nProgVer = kProgVer;
thread_local constinit u32 g_nFileVer TOBRELK_EXE_TLS = 0;
thread_local constinit u32 g_bNewerFile TOBRELK_EXE_TLS = 0;
u32 g_bFixStrings = 0;

void cRecord::ResetFieldLists() {
    m_vField.clear();
    m_vStr.clear();
    // Most records register a handful of fields: one allocation each instead of a growing series
    // keeps loading large lists (a stage's placed blocks) cheap.
    if (m_vField.capacity() == 0) m_vField.reserve(16);
    if (m_vStr.capacity() == 0) m_vStr.reserve(4);
}

void cRecord::AddField(void* address, u32 count, i8 size) {
    m_vField.push_back(DATAFIELD{this, address, count, size});
}

void cRecord::AddString(std::string* address) { m_vStr.push_back(STRFIELD{this, address}); }

cRecord& cRecord::operator=(const cRecord& src) {
    // Member values are copied by the classes' own assignment; the lists stay this record's own.
    if (this != &src) {
        src.OnVersion(g_nProgVer);
        RegisterFields(g_nProgVer);
    }
    return *this;
}

void cRecord::Load(cRecordReader& r) {
    const u32 version = r.Version();
    RegisterFields(version);
    u32 n = 0;
    if (r.ReadU32(n)) {
        if (n > static_cast<u32>(m_vField.size())) {
            // More fields than this version of the record has: the file is not what it claims,
            // and its load fails. Whoever loads the file says so in the file's own words.
            r.Fail();
        } else {
            for (u32 i = 0; i < n && !r.Failed(); ++i) {
                const DATAFIELD& f = m_vField[i];
                r.ReadBytes(f.address, static_cast<std::size_t>(f.count) * static_cast<std::size_t>(f.size));
            }
            if (!r.Failed()) LoadStrings(r);
        }
    }
    if (version != g_nProgVer) RegisterFields(g_nProgVer);
}

void cRecord::LoadStrings(cRecordReader& r) {
    u32 m = 0;
    if (!r.ReadU32(m)) return;
    if (m > static_cast<u32>(m_vStr.size())) {
        r.Fail();
        return;
    }
    for (u32 i = 0; i < m; ++i) {
        std::string s;
        if (!r.ReadString(s)) return;
        *m_vStr[i].address = std::move(s);
    }
    if (g_bFixStrings) FixStrings();
}

void cRecord::Save(cRecordWriter& w) {
    RegisterFields(g_nProgVer);
    w.WriteU32(static_cast<u32>(m_vField.size()));
    for (const DATAFIELD& f : m_vField)
        w.WriteBytes(f.address, static_cast<std::size_t>(f.count) * static_cast<std::size_t>(f.size));
    SaveStrings(w);
}

void cRecord::SaveStrings(cRecordWriter& w) {
    w.WriteU32(static_cast<u32>(m_vStr.size()));
    for (const STRFIELD& s : m_vStr) {
        std::string& text = *s.address;
        const std::size_t nul = text.find('\0');
        if (nul != std::string::npos) text.resize(nul);
        w.WriteString(text);
    }
}

void cRecord::Clear() {
    RegisterFields(g_nProgVer);
    for (const DATAFIELD& f : m_vField)
        std::memset(f.address, 0, static_cast<std::size_t>(f.count) * static_cast<std::size_t>(f.size));
    for (const STRFIELD& s : m_vStr) s.address->clear();
}

void cRecord::CopyFrom(const cRecord& src) {
    if (this == &src) return;
    cRecord& from = const_cast<cRecord&>(src);
    RegisterFields(g_nProgVer);
    from.RegisterFields(g_nProgVer);
    const std::size_t nf = std::min(m_vField.size(), from.m_vField.size());
    for (std::size_t i = 0; i < nf; ++i) {
        const DATAFIELD& d = m_vField[static_cast<long long>(i)];
        const DATAFIELD& s = from.m_vField[static_cast<long long>(i)];
        const std::size_t bytes = std::min(static_cast<std::size_t>(d.count) * d.size,
                                           static_cast<std::size_t>(s.count) * s.size);
        std::memmove(d.address, s.address, bytes);
    }
    const std::size_t ns = std::min(m_vStr.size(), from.m_vStr.size());
    for (std::size_t i = 0; i < ns; ++i)
        *m_vStr[static_cast<long long>(i)].address = *from.m_vStr[static_cast<long long>(i)].address;
}

void cRecord::FixStrings() {
    for (const STRFIELD& s : m_vStr) {
        std::string& text = *s.address;
        text.erase(std::remove(text.begin(), text.end(), '\r'), text.end());
    }
}

int cRecord::FieldCount() {
    RegisterFields(g_nProgVer);
    return m_vField.Size();
}

DATAFIELD cRecord::Field(int i) {
    RegisterFields(g_nProgVer);
    return m_vField[i];
}

int cRecord::StringCount() {
    RegisterFields(g_nProgVer);
    return m_vStr.Size();
}

std::string* cRecord::StringField(int i) {
    RegisterFields(g_nProgVer);
    return m_vStr[i].address;
}
