// printf-style formatting into a std::string, for text that is assembled before it is printed.
#pragma once

#include <string>

// Appends the text that printf(fmt, ...) would print to out.
void appendf(std::string& out, const char* fmt, ...) __attribute__((format(printf, 2, 3)));
