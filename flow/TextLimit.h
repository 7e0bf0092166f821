#pragma once
// Statements and message texts are worked in buffers of kTextBufferSize bytes: a text is cut
// at its first NUL and to kTextBufferSize - 1 bytes, never inside a Shift-JIS character.
#include <cstring>
#include <string>

#include "platform/system/Sjis.h"

constexpr std::size_t kTextBufferSize = 5120;

inline std::string StrCopyVia(const std::string& text) {
    return CutSjis(std::string(text.c_str(), std::strlen(text.c_str())), kTextBufferSize - 1);
}

// The n bytes of text from pos, tolerating positions outside it: a negative pos starts at 0 and
// shortens n by as much; a pos past the end or n = 0 gives the empty text; n = -1, or a range
// running past the end, gives the rest of the text.
inline std::string StrMid(const std::string& text, long long pos, long long n) {
    if (pos < 0) {
        if (n != -1) n += pos;
        pos = 0;
    }
    const long long size = static_cast<long long>(text.size());
    if (pos >= size || n == 0 || n < -1) return std::string();
    if (n == -1 || n > size - pos) n = size - pos;
    return text.substr(static_cast<std::size_t>(pos), static_cast<std::size_t>(n));
}
