#pragma once
// Shift-JIS (code page 932) text: the game's data keeps it as raw bytes; it becomes UTF-8 only
// where it meets the outside (drawing, message boxes, file names on disk).
#include <cstddef>
#include <string>

inline bool IsSjisLead(unsigned char c) { return (c >= 0x81 && c <= 0x9F) || (c >= 0xE0 && c <= 0xFC); }
inline bool IsSjisTrail(unsigned char c) { return (c >= 0x40 && c <= 0x7E) || (c >= 0x80 && c <= 0xFC); }

// True when p[0] is a lead byte and p[1] a valid trail byte. p[1] is read only after p[0]
// proved to be a lead byte, so a NUL-terminated text is never read past its end.
bool IsDoubleByte(const char* p);

// Characters of a Shift-JIS text: a pair counts once, a line feed not at all.
int CountChars(const char* text);

// Cuts a Shift-JIS text to at most maxBytes bytes without splitting a pair.
std::string CutSjis(const std::string& text, std::size_t maxBytes);

// CP932 <-> UTF-8 through iconv's "CP932" (not "SHIFT_JIS", which maps 0x5C to the yen sign).
// Bytes that do not convert become '?', so a damaged name never loses the rest of the text.
std::string SjisToUtf8(const std::string& sjis);
std::string Utf8ToSjis(const std::string& utf8);

// True when the whole text is well-formed UTF-8.
bool IsValidUtf8(const std::string& text);

// A text fit to show or log: UTF-8 as it stands; otherwise taken as Shift-JIS and converted.
std::string ToDisplayText(const std::string& text);
