#include "platform/system/FileError.h"

#include <cstring>

namespace {
thread_local int t_fileError = 0;
} // namespace

void SetFileError(int err) { t_fileError = err; }

int FileError() { return t_fileError; }

std::string FileErrorCause(int err) {
    if (err == 0) return std::string();
    // The GNU strerror_r: safe beside other threads, and it may answer with its own string.
    char buffer[256];
    const char* text = ::strerror_r(err, buffer, sizeof buffer);
    return std::string(" (") + text + ")";
}
