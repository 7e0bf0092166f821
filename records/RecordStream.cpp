#include "records/RecordStream.h"

#include <cstring>

bool cRecordReader::ReadBytes(void* dst, std::size_t n) {
    if (m_failed || n > m_data.size() - m_pos) {
        m_failed = true;
        return false;
    }
    if (n) std::memcpy(dst, m_data.data() + m_pos, n);
    m_pos += n;
    return true;
}

bool cRecordReader::Skip(std::size_t n) {
    if (m_failed || n > m_data.size() - m_pos) {
        m_failed = true;
        return false;
    }
    m_pos += n;
    return true;
}

bool cRecordReader::ReadCount(u32& n, std::size_t minElementBytes) {
    u32 v;
    if (!ReadU32(v)) return false;
    if (minElementBytes && static_cast<unsigned long long>(v) * minElementBytes > Left()) {
        m_failed = true;
        return false;
    }
    n = v;
    return true;
}

bool cRecordReader::ReadString(std::string& s) {
    u32 len;
    if (!ReadU32(len)) return false;
    if (len <= 1) {
        s.clear();
        return true;
    }
    if (len > Left()) {
        m_failed = true;
        return false;
    }
    const char* p = m_data.data() + m_pos;
    s.assign(p, strnlen(p, len));
    m_pos += len;
    return true;
}

void cRecordWriter::WriteString(const std::string& s) {
    const std::size_t textLen = strnlen(s.c_str(), s.size());
    WriteU32(static_cast<u32>(textLen + 1));
    if (textLen > 0) {
        WriteBytes(s.data(), textLen);
        WriteU8(0);
    }
}
