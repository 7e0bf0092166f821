#include "records/RecordStream.h"

#include <cstring>

bool cRecordReader::ReadStringBody(std::string& s, u32 len) {
    if (len > Left()) {
        m_failed = true;
        return false;
    }
    const char* p = m_bytes + m_pos;
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
