#pragma once
#include <cstdarg>
#include <string>

// printf-style formatting into a string of any length. Every formatted line of the runtime
// (reports, messages, file names) goes through here, so no caller needs a fixed buffer.
std::string FormatV(const char* format, va_list args);
std::string Format(const char* format, ...) __attribute__((format(printf, 1, 2)));

// Cuts a UTF-8 text to at most maxBytes bytes without splitting a character; used where the
// system keeps the size limits of its old fixed buffers (report lines, message boxes).
std::string CutUtf8(const std::string& text, std::size_t maxBytes);
