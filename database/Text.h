#pragma once
// The system's own texts are written here in UTF-8; records keep the game's Shift-JIS bytes.
// Every default text that lands in a record goes through Sj() so that a saved file and a
// loaded one hold the same bytes and character counts work on them.
#include <string>

#include "platform/system/Sjis.h"

inline std::string Sj(const char* utf8) { return Utf8ToSjis(utf8); }
