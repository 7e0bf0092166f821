#include "records/RecordStream.h"

#include <algorithm>
#include <cstring>

bool cRecordReader::ReadStringBody(std::string& s, u32 len) {
    const char* p = len <= Left() ? Take(len) : nullptr;
    if (!p) {
        m_failed = true;
        return false;
    }
    s.assign(p, strnlen(p, len));
    return true;
}

namespace {
// Big enough that fetching costs next to nothing beside reading, small enough to stay in the
// processor's caches while the records in it are read.
constexpr std::size_t kWindowBytes = 256 * 1024;
} // namespace

cRecordReader cRecordReader::Window(std::shared_ptr<const cFileSource> file, u32 version, std::size_t start) {
    cRecordReader r;
    r.m_version = version;
    const std::size_t size = file ? file->Size() : 0;
    r.m_done = start < size ? start : size;
    r.m_rest = size - r.m_done;
    r.m_file = std::move(file);
    // The body's offsets count from its start, as a whole file's reader counts them.
    r.m_fileStart = r.m_done;
    r.m_done = 0;
    return r;
}

bool cRecordReader::Fill(std::size_t n) {
    const std::size_t keep = m_size - m_pos;
    if (!m_file || n > keep + m_rest) return false;
    const std::size_t want = std::max(n, kWindowBytes);
    if (m_buffer.size() < want) {
        cByteBuffer grown;
        grown.resize(want);
        if (keep) std::memcpy(grown.data(), m_bytes + m_pos, keep);
        m_buffer = std::move(grown);
    } else if (keep) {
        std::memmove(m_buffer.data(), m_bytes + m_pos, keep);
    }
    m_done += m_pos;
    m_pos = 0;
    m_size = keep;
    m_bytes = m_buffer.data();
    const std::size_t get = std::min(m_buffer.size() - keep, m_rest);
    const std::size_t at = m_fileStart + m_done + keep;
    const std::size_t got = m_file->ReadAt(m_buffer.data() + keep, get, at);
    m_size += got;
    m_rest -= got;
    if (got < get) {
        // Cut short since it was opened: damaged, as a file that was short from the start.
        m_rest = 0;
        m_failed = true;
        return false;
    }
    if (m_rest == 0) {
        // A file that grew meanwhile does not end where its body was to end.
        char probe;
        m_grown = m_file->ReadAt(&probe, 1, at + got) != 0;
    }
    return n <= m_size;
}

void cRecordWriter::WriteString(const std::string& s) {
    const std::size_t textLen = strnlen(s.c_str(), s.size());
    WriteU32(static_cast<u32>(textLen + 1));
    if (textLen > 0) {
        WriteBytes(s.data(), textLen);
        WriteU8(0);
    }
}
