#pragma once
// Bytes read from a file into storage that is not cleared first: the read fills it at once, and
// clearing a stage file's megabytes beforehand cost nearly as much as reading them. Growing keeps
// the bytes already there; new bytes past them hold nothing until written.
#include <cstddef>
#include <cstring>
#include <memory>
#include <string_view>
#include <utility>

class cByteBuffer {
public:
    using value_type = char;

    cByteBuffer() = default;
    cByteBuffer(const cByteBuffer& o) { *this = o; }
    cByteBuffer& operator=(const cByteBuffer& o) {
        if (this != &o) {
            clear();
            resize(o.m_size);
            if (m_size) std::memcpy(m_p.get(), o.m_p.get(), m_size);
        }
        return *this;
    }
    cByteBuffer(cByteBuffer&& o) noexcept { *this = std::move(o); }
    cByteBuffer& operator=(cByteBuffer&& o) noexcept {
        if (this != &o) {
            m_p = std::move(o.m_p);
            m_size = std::exchange(o.m_size, 0);
            m_capacity = std::exchange(o.m_capacity, 0);
        }
        return *this;
    }

    // Never null, so that an empty buffer reads like an empty string.
    char* data() noexcept { return m_p ? m_p.get() : Empty(); }
    const char* data() const noexcept { return m_p ? m_p.get() : Empty(); }
    std::size_t size() const noexcept { return m_size; }
    bool empty() const noexcept { return m_size == 0; }
    char& operator[](std::size_t i) noexcept { return m_p[i]; }
    std::string_view View() const noexcept { return {data(), m_size}; }

    // Keeps the first min(size(), n) bytes.
    void resize(std::size_t n) {
        if (n > m_capacity) {
            std::unique_ptr<char[]> grown = std::make_unique_for_overwrite<char[]>(n);
            if (m_size) std::memcpy(grown.get(), m_p.get(), m_size);
            m_p = std::move(grown);
            m_capacity = n;
        }
        m_size = n;
    }
    std::size_t capacity() const noexcept { return m_capacity; }
    // Room for n bytes; the size and the bytes there stay.
    void reserve(std::size_t n) {
        const std::size_t keep = m_size;
        if (n > m_capacity) resize(n);
        m_size = keep;
    }
    // Gives the storage back.
    void clear() noexcept {
        m_p.reset();
        m_size = m_capacity = 0;
    }

private:
    static char* Empty() noexcept {
        static char none = 0;
        return &none;
    }

    std::unique_ptr<char[]> m_p;
    std::size_t m_size = 0;
    std::size_t m_capacity = 0;
};
