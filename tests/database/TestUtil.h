#pragma once
// Shared helpers of the database tests: a scratch game folder and stored words and strings.
#include <cstring>
#include <string>

#include "records/RecordStream.h"
#include "tests/support/ScratchGame.h"

// A reader over bytes that include the version word, as OpenDataFileRead gives it.
inline cRecordReader ReaderOf(const std::string& fileBytes) {
    u32 v = 0;
    std::memcpy(&v, fileBytes.data(), 4);
    return cRecordReader(fileBytes.substr(4), v);
}

inline std::string U32(u32 v) { return std::string(reinterpret_cast<const char*>(&v), 4); }
inline std::string Str(const std::string& s) { return s.empty() ? U32(1) : U32(static_cast<u32>(s.size() + 1)) + s + '\0'; }
