#include "records/StrFormat.h"

#include <cstdarg>

#include "platform/system/Format.h"

void StrFormat(std::string& out, const char* format, ...) {
    va_list args;
    va_start(args, format);
    out = FormatV(format, args);
    va_end(args);
}

std::string& StrAppendF(std::string& out, const char* format, ...) {
    va_list args;
    va_start(args, format);
    out += FormatV(format, args);
    va_end(args);
    return out;
}
