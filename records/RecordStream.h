#pragma once
// The byte streams records are read from and written to. The reader is bounded: it knows how
// many bytes are left, so a count or a length that the rest of the file cannot hold, or a file
// that ends early, fails the load instead of allocating or reading garbage. Once failed, every
// further read fails too and leaves its target untouched.
#include <cstring>
#include <memory>
#include <string>
#include <string_view>

#include "platform/system/ByteBuffer.h"
#include "platform/system/PathResolver.h"
#include "platform/system/Types.h"

static_assert(__BYTE_ORDER__ == __ORDER_LITTLE_ENDIAN__, "record files are little-endian");

// Makes the double stored at p a 0 when it is not finite (a NaN or an infinity); true when it
// was not. The bytes are looked at as they are: nothing is computed with the value first.
inline bool ZeroIfNotFinite(void* p) {
    constexpr u64 kExponent = 0x7FF0000000000000ull;
    u64 bits;
    std::memcpy(&bits, p, 8);
    if ((bits & kExponent) != kExponent) return false;
    std::memset(p, 0, 8);
    return true;
}

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
    // Reads a file's body from `start` through a window of a few hundred kilobytes that moves
    // along it, so that a big file never sits in memory whole beside what is read from it. The
    // file's size when it was opened bounds every count; a file cut short meanwhile fails the
    // read as a damaged one does.
    static cRecordReader Window(std::shared_ptr<const cFileSource> file, u32 version, std::size_t start);
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
            o.m_file.reset();
            o.m_fileStart = o.m_done = o.m_rest = 0;
            o.m_grown = false;
            o.m_bNotFinite = false;
        }
        return *this;
    }

    u32 Version() const { return m_version; }
    std::size_t Left() const { return m_failed ? 0 : m_size - m_pos + m_rest; }
    std::size_t Position() const { return m_done + m_pos; }
    bool Failed() const { return m_failed; }
    void Fail() { m_failed = true; }
    bool AtEnd() const { return !m_failed && m_pos == m_size && m_rest == 0 && !m_grown; }

    // Every double a record reads from the file goes through here once it is in place: one that
    // is not finite becomes 0 (a damaged or hostile file must not carry a value into the play
    // that no comparison can end a loop on), and the reader remembers it for its file's one
    // report line.
    void FixDouble(void* p) {
        if (ZeroIfNotFinite(p)) m_bNotFinite = true;
    }
    // Whether a double that was not finite has been read as 0.
    bool MetNotFinite() const { return m_bNotFinite; }

    // Reads from a window (Window) fetch the next part of the file when the bytes asked for run
    // past the window; a pointer that Take or Peek gave is good until the next read.
    bool ReadBytes(void* dst, std::size_t n) {
        if (m_failed || (n > m_size - m_pos && !Fill(n))) return FailRead();
        if (n) std::memcpy(dst, m_bytes + m_pos, n);
        m_pos += n;
        return true;
    }
    bool Skip(std::size_t n) {
        if (m_failed || (n > m_size - m_pos && !Fill(n))) return FailRead();
        m_pos += n;
        return true;
    }
    // The next n bytes, or null (and the reader failed) when fewer are left; the caller reads
    // them in place, so a fixed-size body is bounds-checked once.
    const char* Take(std::size_t n) {
        if (m_failed || (n > m_size - m_pos && !Fill(n))) {
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
    const char* Peek(std::size_t n) {
        if (m_failed || (n > m_size - m_pos && !Fill(n))) return nullptr;
        return m_bytes + m_pos;
    }
    // The bytes at hand without another fetch, at least `atLeast` of them when that many are
    // left (else whatever is left): a reader of many records in a row reads them in place and
    // asks again where these end. Null when the reader has failed.
    const char* InHand(std::size_t atLeast, std::size_t& have) {
        have = 0;
        if (m_failed || (atLeast > m_size - m_pos && atLeast <= Left() && !Fill(atLeast))) return nullptr;
        have = m_size - m_pos;
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
    // Makes at least n bytes at hand, when n are left; the window holds as much of the rest as
    // it can afterwards, so a second look at bytes already shown never fetches again. False when
    // fewer are left; a file found cut short fails the reader.
    bool Fill(std::size_t n);
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
        m_file = o.m_file;
        m_fileStart = o.m_fileStart;
        m_done = o.m_done;
        m_rest = o.m_rest;
        m_grown = o.m_grown;
        m_bNotFinite = o.m_bNotFinite;
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
    // A window's file (m_buffer holds the window, from body byte m_done on), the body's bytes
    // after the window, and whether the file turned out longer than when it was opened.
    std::shared_ptr<const cFileSource> m_file;
    std::size_t m_fileStart = 0; // of the body in the file
    std::size_t m_done = 0;
    std::size_t m_rest = 0;
    bool m_grown = false;
    bool m_bNotFinite = false;
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
