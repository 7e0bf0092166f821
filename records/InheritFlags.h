#pragma once
// The inherit flags of a placed record: one byte per settings group, as many as the file gives
// (a record keeps them all, so that it is written back as it was read). A stage places a
// hundred thousand blocks; their handful of flags live inside the record, without an allocation
// each, and only an unusually long row spills to the heap. Indexing is checked like every
// container's (a bad index is reported and gives entry 0).
#include <algorithm>
#include <cstring>
#include <stdexcept>
#include <vector>

#include "platform/system/Containers.h"

template <std::size_t N>
class cInlineBytes {
public:
    cInlineBytes() = default;
    cInlineBytes(std::size_t n, u8 value) { resize(n, value); }
    // Flags given as a byte row (a test's or a tool's).
    cInlineBytes& operator=(const std::vector<u8>& row) {
        clear();
        resize(row.size(), 0);
        if (!row.empty()) std::memcpy(data(), row.data(), row.size());
        return *this;
    }

    std::size_t size() const { return m_n; }
    int Size() const { return static_cast<int>(m_n); }
    bool empty() const { return m_n == 0; }
    u8* data() { return m_n <= N ? m_in : m_big.data(); }
    const u8* data() const { return m_n <= N ? m_in : m_big.data(); }
    u8* begin() { return data(); }
    u8* end() { return data() + m_n; }
    const u8* begin() const { return data(); }
    const u8* end() const { return data() + m_n; }

    void clear() {
        m_n = 0;
        m_big.clear();
    }
    void assign(std::size_t n, u8 value) {
        clear();
        resize(n, value);
    }
    void resize(std::size_t n, u8 value = 0) {
        if (n <= N) {
            if (m_n > N) {
                std::memcpy(m_in, m_big.data(), n);
                m_big.clear();
            } else if (n > m_n) {
                std::memset(m_in + m_n, value, n - m_n);
            }
        } else {
            if (m_n <= N) m_big.assign(m_in, m_in + m_n);
            m_big.resize(n, value);
        }
        m_n = n;
    }

    u8& operator[](long long i) {
        if (i >= 0 && static_cast<unsigned long long>(i) < m_n) return data()[i];
        ReportBadIndex('V', i, m_n, 1);
        if (m_n) return data()[0];
        throw std::out_of_range("invalid vector<T> subscript");
    }
    const u8& operator[](long long i) const { return const_cast<cInlineBytes&>(*this)[i]; }

    bool operator==(const cInlineBytes& o) const { return m_n == o.m_n && std::equal(begin(), end(), o.begin()); }

private:
    std::size_t m_n = 0;
    u8 m_in[N] = {};
    std::vector<u8> m_big;
};

template <std::size_t N>
inline void FillBytes(cInlineBytes<N>& v, u8 value) {
    std::fill(v.begin(), v.end(), value);
}
