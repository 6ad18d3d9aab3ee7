// printf-style formatting into a std::string.
#include "sim/StringFormat.h"

#include <cstdarg>
#include <cstdio>

void appendf(std::string& out, const char* fmt, ...) {
    char buf[256];
    va_list args;
    va_start(args, fmt);
    const int len = std::vsnprintf(buf, sizeof(buf), fmt, args);
    va_end(args);
    if (len < 0) return;
    if (size_t(len) < sizeof(buf)) {
        out.append(buf, size_t(len));
        return;
    }
    // Longer than the buffer (a %f of a huge value): format again at full length.
    const size_t at = out.size();
    out.resize(at + size_t(len) + 1);
    va_start(args, fmt);
    std::vsnprintf(&out[at], size_t(len) + 1, fmt, args);
    va_end(args);
    out.resize(at + size_t(len));
}
