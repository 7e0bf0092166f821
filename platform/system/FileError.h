#pragma once
// Why a read or a save of a file failed. The system's error number is spent by the next call
// that fails, and a failure is reported layers above the call that met it, so the file layer
// keeps it per thread, from the failed call to the report line that tells it. The line then ends
// with the system's own text: "<line> (<error text>)".
#include <string>

// Records err (an errno value) as this thread's last file failure; 0 when the failure is none of
// the system's (the line already says what it is).
void SetFileError(int err);
int FileError();

// " (<the system's text for err>)", or nothing for 0: what a failure's report line ends with.
std::string FileErrorCause(int err);
