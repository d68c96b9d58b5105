// The trace and the two in-memory logs of the host utilities. A log switched off costs one integer read; a line is
// formatted before any lock is taken, the stores' lock covers only an append or a take-out, and files are written
// under a second lock so that logging threads never wait on the disk and two dumps never interleave in one file.
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <string>
#include <utility>
#include <vector>

#include "Utils/SectionLock.h"
#include "kve/kve_log.h"
#include "kve/kve_string_vector.h"
#include "kve/kve_sync.h"

namespace {

constexpr int kLineBytes = 4096;
// Room the time stamp may take at the head of a stored line.
constexpr int kPrefixBytes = 256;

// Both stores are usable from the first call on, whichever log it belongs to: the sections are initialised
// statically, so no first-use set-up can race.
CRITICAL_SECTION s_log_mutex = {PTHREAD_MUTEX_INITIALIZER};
CRITICAL_SECTION s_log_mutex2 = {PTHREAD_MUTEX_INITIALIZER};
string_vector s_log_messages;
std::vector<uint32_t> s_binaryData;

bool switchedOn(const int32_t &logSwitch)
{
    return __atomic_load_n(&logSwitch, __ATOMIC_RELAXED) != 0;
}

// A line that could not be formatted is reported through the fault buffer and, shortened, on standard error.
void reportFormatFault(int sourceLine)
{
    std::snprintf(g_fault_buffer, sizeof g_fault_buffer, "Assertion (nBuf >= 0) failed: %s(%d)\r\n",
                  "Source/Utils/debugging", sourceLine);
    Trace("%.256s", g_fault_buffer);
}

// Opens the file for appending under the file lock and hands it to `write`; nothing is written when it cannot be
// opened (what was taken out for it is dropped by the caller).
template <class Write> void appendToFile(const char *path, Write &&write)
{
    kve::SectionLock fileLock(s_log_mutex2);
    FILE *file = std::fopen(path, "a");
    if (file == nullptr)
        return;
    write(file);
    std::fclose(file);
}

// Formats and stores one text line. Kept out of line, so a switched-off Tlog sets up no line buffer.
__attribute__((noinline)) void storeLine(const char *format, va_list args)
{
    char line[kLineBytes];
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    int prefix = std::snprintf(line, kPrefixBytes, "%ld.%06ld: ", static_cast<long>(now.tv_sec),
                               static_cast<long>(now.tv_nsec / 1000));
    prefix = prefix < 0 ? 0 : prefix > kPrefixBytes - 1 ? kPrefixBytes - 1 : prefix;
    line[prefix] = '\0';
    const int n = std::vsnprintf(line + prefix, static_cast<size_t>(kLineBytes - prefix), format, args);
    // The line is kept all the same, with whatever part of the text was formatted.
    if (n < 0)
        reportFormatFault(__LINE__);
    line[kLineBytes - 1] = '\0';
    try {
        std::string stored(line);
        kve::SectionLock storeLock(s_log_mutex);
        s_log_messages.push_back(std::move(stored));
    } catch (...) {
        // Out of memory: the line is lost, the caller goes on.
    }
}

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
    // What was formatted before a failure, if anything, is still printed below.
    if (n < 0)
        reportFormatFault(__LINE__);
    line[kLineBytes - 1] = '\0';
    std::fputs(line, stderr);
}

void Tlog(const char *format, ...)
{
    if (!switchedOn(g_use_text_log) || format == nullptr)
        return;
    va_list args;
    va_start(args, format);
    storeLine(format, args);
    va_end(args);
}

void DumpLog(const char *path)
{
    if (path == nullptr || path[0] == '\0' || !switchedOn(g_use_text_log))
        return;
    string_vector lines;
    {
        kve::SectionLock storeLock(s_log_mutex);
        lines.swap(s_log_messages);
    }
    if (lines.empty())
        return;
    appendToFile(path, [&](FILE *file) {
        for (const std::string &line : lines)
            std::fwrite(line.data(), 1, line.size(), file);
    });
}

void LogBinary(const void *data, uint32_t count)
{
    if (!switchedOn(g_use_bin_log) || data == nullptr || count < 4)
        return;
    // Only whole words are kept: the trailing one to three bytes of the count are not.
    const size_t words = count / 4;
    try {
        kve::SectionLock storeLock(s_log_mutex);
        const size_t old = s_binaryData.size();
        s_binaryData.resize(old + words);
        std::memcpy(s_binaryData.data() + old, data, words * 4);
    } catch (...) {
        // Out of memory: these bytes are lost, the store keeps what it had.
    }
}

void DumpBinaryLog(const char *path)
{
    if (path == nullptr || path[0] == '\0' || !switchedOn(g_use_bin_log))
        return;
    std::vector<uint32_t> words;
    {
        kve::SectionLock storeLock(s_log_mutex);
        words.swap(s_binaryData);
    }
    if (words.empty())
        return;
    appendToFile(path, [&](FILE *file) { std::fwrite(words.data(), sizeof(uint32_t), words.size(), file); });
}
}
