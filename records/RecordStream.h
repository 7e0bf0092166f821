#pragma once
// The byte streams records are read from and written to. The reader is bounded: it knows how
// many bytes are left, so a count or a length that the rest of the file cannot hold, or a file
// that ends early, fails the load instead of allocating or reading garbage. Once failed, every
// further read fails too and leaves its target untouched.
#include <cstring>
#include <string>
#include <string_view>

#include "platform/system/ByteBuffer.h"
#include "platform/system/Types.h"

static_assert(__BYTE_ORDER__ == __ORDER_LITTLE_ENDIAN__, "record files are little-endian");

class cRecordReader {
public:
    cRecordReader() = default;
    // bytes: the body after the version word; version: the data version of the file. start:
    // where the body begins in bytes (a whole file's bytes are read from 4, without moving them).
    cRecordReader(std::string bytes, u32 version, std::size_t start = 0)
        : m_data(std::move(bytes)), m_start(start < m_data.size() ? start : m_data.size()),
          m_bytes(m_data.data() + m_start), m_size(m_data.size() - m_start), m_version(version) {}
    // The same for bytes a file was read into.
    cRecordReader(cByteBuffer bytes, u32 version, std::size_t start = 0)
        : m_buffer(std::move(bytes)), m_start(start < m_buffer.size() ? start : m_buffer.size()),
          m_bytes(m_buffer.data() + m_start), m_size(m_buffer.size() - m_start), m_version(version) {}
    // Reads bytes that the caller keeps alive and unchanged while the reader is used, without
    // a copy of them (bytes already in memory: a replay's stage, a benchmark's file).
    static cRecordReader Over(std::string_view bytes, u32 version) {
        cRecordReader r;
        r.m_bytes = bytes.data();
        r.m_size = bytes.size();
        r.m_version = version;
        r.m_borrowed = true;
        return r;
    }
    cRecordReader(const cRecordReader& o) { *this = o; }
    cRecordReader& operator=(const cRecordReader& o) {
        if (this != &o) {
            m_data = o.m_data;
            m_buffer = o.m_buffer;
            Adopt(o);
        }
        return *this;
    }
    cRecordReader(cRecordReader&& o) noexcept { *this = std::move(o); }
    cRecordReader& operator=(cRecordReader&& o) noexcept {
        if (this != &o) {
            m_data = std::move(o.m_data);
            m_buffer = std::move(o.m_buffer);
            Adopt(o);
            // What is left behind reads as empty.
            o.m_data.clear();
            o.m_buffer.clear();
            o.m_bytes = o.m_data.data();
            o.m_start = o.m_size = o.m_pos = 0;
            o.m_borrowed = false;
        }
        return *this;
    }

    u32 Version() const { return m_version; }
    std::size_t Left() const { return m_failed ? 0 : m_size - m_pos; }
    std::size_t Position() const { return m_pos; }
    bool Failed() const { return m_failed; }
    void Fail() { m_failed = true; }
    bool AtEnd() const { return !m_failed && m_pos == m_size; }

    bool ReadBytes(void* dst, std::size_t n) {
        if (m_failed || n > m_size - m_pos) return FailRead();
        if (n) std::memcpy(dst, m_bytes + m_pos, n);
        m_pos += n;
        return true;
    }
    bool Skip(std::size_t n) {
        if (m_failed || n > m_size - m_pos) return FailRead();
        m_pos += n;
        return true;
    }
    // The next n bytes, or null (and the reader failed) when fewer are left; the caller reads
    // them in place, so a fixed-size body is bounds-checked once.
    const char* Take(std::size_t n) {
        if (m_failed || n > m_size - m_pos) {
            FailRead();
            return nullptr;
        }
        const char* p = m_bytes + m_pos;
        m_pos += n;
        return p;
    }
    // The next n bytes without reading them, or null when fewer are left (the reader is not
    // failed then): a caller looks at a record's usual form in one bounds check and takes the
    // general path for anything else.
    const char* Peek(std::size_t n) const {
        if (m_failed || n > m_size - m_pos) return nullptr;
        return m_bytes + m_pos;
    }
    // Past n bytes that Peek has shown.
    void Advance(std::size_t n) { m_pos += n; }
    bool ReadU32(u32& v) { return ReadBytes(&v, 4); }
    bool ReadI32(i32& v) { return ReadBytes(&v, 4); }
    bool ReadU16(u16& v) { return ReadBytes(&v, 2); }
    bool ReadU8(u8& v) { return ReadBytes(&v, 1); }
    // A count of elements that take at least minElementBytes each: more than the bytes left
    // could hold means the file is damaged.
    bool ReadCount(u32& n, std::size_t minElementBytes) {
        u32 v;
        if (!ReadU32(v)) return false;
        if (minElementBytes && static_cast<unsigned long long>(v) * minElementBytes > Left()) return FailRead();
        n = v;
        return true;
    }
    // A stored string: u32 L (length + 1), then L bytes when L > 1; the text ends at its first NUL.
    bool ReadString(std::string& s) {
        u32 len;
        if (!ReadU32(len)) return false;
        if (len <= 1) {
            s.clear();
            return true;
        }
        return ReadStringBody(s, len);
    }

private:
    bool ReadStringBody(std::string& s, u32 len);
    bool FailRead() {
        m_failed = true;
        return false;
    }

    void Adopt(const cRecordReader& o) {
        m_start = o.m_start;
        m_bytes = o.m_borrowed ? o.m_bytes : (m_buffer.empty() ? m_data.data() : m_buffer.data()) + m_start;
        m_size = o.m_size;
        m_pos = o.m_pos;
        m_version = o.m_version;
        m_failed = o.m_failed;
        m_borrowed = o.m_borrowed;
    }

    std::string m_data;             // the bytes, unless borrowed or in m_buffer
    cByteBuffer m_buffer;
    std::size_t m_start = 0;        // of the body in m_data
    const char* m_bytes = m_data.data();
    std::size_t m_size = 0;
    std::size_t m_pos = 0;
    u32 m_version = 0;
    bool m_failed = false;
    bool m_borrowed = false;
};

class cRecordWriter {
public:
    void WriteBytes(const void* src, std::size_t n) { m_data.append(static_cast<const char*>(src), n); }
    void WriteU32(u32 v) { WriteBytes(&v, 4); }
    void WriteI32(i32 v) { WriteBytes(&v, 4); }
    void WriteU16(u16 v) { WriteBytes(&v, 2); }
    void WriteU8(u8 v) { WriteBytes(&v, 1); }
    // Writes the text up to its first NUL, whole, whatever its length.
    void WriteString(const std::string& s);

    const std::string& Bytes() const { return m_data; }
    std::string Take() { return std::move(m_data); }

private:
    std::string m_data;
};
