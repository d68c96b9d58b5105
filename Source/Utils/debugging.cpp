// The trace and the two in-memory logs of the host utilities.
#include <cstdarg>
#include <cstdio>

#include "kve/kve_log.h"

namespace {
constexpr int kLineBytes = 4096;
} // namespace

extern "C" {

int32_t g_use_text_log = 0;
int32_t g_use_bin_log = 0;
char g_fault_buffer[4096];

void Trace(const char *format, ...)
{
    if (format == nullptr || format[0] == '\0')
        return;
    char line[kLineBytes];
    line[0] = '\0';
    va_list args;
    va_start(args, format);
    const int n = std::vsnprintf(line, sizeof line, format, args);
    va_end(args);
    if (n < 0) {
        // What was formatted before the failure, if anything, is still printed below.
        std::snprintf(g_fault_buffer, sizeof g_fault_buffer, "Assertion (nBuf >= 0) failed: %s(%d)\r\n",
                      "Source/Utils/debugging", __LINE__);
        Trace("%.256s", g_fault_buffer);
    }
    line[kLineBytes - 1] = '\0';
    std::fputs(line, stderr);
}
}
