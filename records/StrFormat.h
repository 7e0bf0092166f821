#pragma once
// printf-style formatting into a string. The result may be of any length: nothing is cut and no
// buffer is overrun, whatever text the data brings in.
#include <string>

void StrFormat(std::string& out, const char* format, ...) __attribute__((format(printf, 2, 3)));
std::string& StrAppendF(std::string& out, const char* format, ...) __attribute__((format(printf, 2, 3)));
