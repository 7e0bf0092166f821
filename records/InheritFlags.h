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
    cInlineBytes(const cInlineBytes& o) { CopyFrom(o); }
    cInlineBytes(cInlineBytes&& o) noexcept { TakeFrom(o); }
    cInlineBytes& operator=(const cInlineBytes& o) {
        if (this != &o) {
            clear();
            CopyFrom(o);
        }
        return *this;
    }
    cInlineBytes& operator=(cInlineBytes&& o) noexcept {
        if (this != &o) {
            clear();
            TakeFrom(o);
        }
        return *this;
    }
    ~cInlineBytes() { clear(); }
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
    u8* data() { return m_n <= N ? m_in : m_heap; }
    const u8* data() const { return m_n <= N ? m_in : m_heap; }
    u8* begin() { return data(); }
    u8* end() { return data() + m_n; }
    const u8* begin() const { return data(); }
    const u8* end() const { return data() + m_n; }

    void clear() {
        if (m_n > N) delete[] m_heap;
        m_n = 0;
    }
    void assign(std::size_t n, u8 value) {
        clear();
        resize(n, value);
    }
    // New entries get value; a row that outgrows the inline bytes moves to the heap, sized
    // exactly (rows are read whole and rarely grow).
    void resize(std::size_t n, u8 value = 0) {
        if (n == m_n) return;
        if (n <= N && m_n <= N) {
            if (n > m_n) std::memset(m_in + m_n, value, n - m_n);
        } else {
            u8* from = data();
            u8 inl[N];
            if (n <= N) {
                // Back inline from the heap.
                std::memcpy(inl, from, n);
                delete[] m_heap;
                std::memcpy(m_in, inl, n);
            } else {
                u8* to = new u8[n];
                const std::size_t keep = std::min(n, m_n);
                std::memcpy(to, from, keep);
                std::memset(to + keep, value, n - keep);
                if (m_n > N) delete[] m_heap;
                m_heap = to;
            }
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
    void CopyFrom(const cInlineBytes& o) {
        if (o.m_n > N) {
            m_heap = new u8[o.m_n];
            std::memcpy(m_heap, o.m_heap, o.m_n);
        } else {
            std::memcpy(m_in, o.m_in, N);
        }
        m_n = o.m_n;
    }
    void TakeFrom(cInlineBytes& o) {
        if (o.m_n > N)
            m_heap = o.m_heap;
        else
            std::memcpy(m_in, o.m_in, N);
        m_n = o.m_n;
        o.m_n = 0;
    }

    std::size_t m_n = 0;
    union {
        u8 m_in[N] = {};
        u8* m_heap;
    };
};

template <std::size_t N>
inline void FillBytes(cInlineBytes<N>& v, u8 value) {
    std::fill(v.begin(), v.end(), value);
}
