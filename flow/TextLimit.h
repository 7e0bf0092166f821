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
