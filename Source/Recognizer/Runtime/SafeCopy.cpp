// Checked copies: a failing copy prints one line naming the fault, returns its code and leaves the destination in a
// known state (zero-filled bytes, or an empty string), so that a caller that ignores the code reads no stale text.
#include <kve/kve_recognizer.h>

#include <cstdint>
#include <cstdio>
#include <cstring>

namespace {

constexpr unsigned kNullPointer = 7000;
constexpr unsigned kZeroSize = 7001;
constexpr unsigned kTooLarge = 7003;
constexpr unsigned kOverlap = 7004;
constexpr unsigned kNoSpace = 7006;
constexpr unsigned kUnterminated = 7007;

// Sizes with the top bit set are negative numbers gone astray.
constexpr size_t kLargestSize = SIZE_MAX >> 1;

unsigned clearAndReport(char *dest, const char *message, unsigned code)
{
    dest[0] = '\0';
    return boundsCheckHandler(message, code);
}

unsigned reportNamed(const char *name, const char *what, unsigned code)
{
    char message[64];
    snprintf(message, sizeof message, "%s: %s", name, what);
    return boundsCheckHandler(message, code);
}

// The tests every copy makes first, in order, before the destination may be touched; 0 when the copy may go on.
unsigned checkDestination(const char *name, const void *dest, size_t dmax)
{
    if (dest == nullptr)
        return reportNamed(name, "dest is NULL", kNullPointer);
    if (dmax == 0)
        return reportNamed(name, "dmax is 0", kZeroSize);
    if (dmax > kLargestSize)
        return reportNamed(name, "dmax exceeds RSIZE_MAX", kTooLarge);
    return 0;
}

// The destination tests, then a null source, which empties dest.
unsigned checkStringArguments(const char *name, char *dest, size_t dmax, const char *src)
{
    if (unsigned code = checkDestination(name, dest, dmax))
        return code;
    if (src == nullptr) {
        dest[0] = '\0';
        return reportNamed(name, "src is NULL", kNullPointer);
    }
    return 0;
}

// Copies src into dest[0..dmax) up to its terminator or `limit` characters, whichever comes first, then a
// terminator; `start` is the destination string's first byte (dest itself, or the end of the text appended to).
// The copy stops when the write position reaches src (start below it) or the read position reaches start (start
// above src), so that overlapping strings are refused before either is changed past the meeting point.
unsigned copyString(const char *name, char *dest, size_t dmax, const char *src, size_t limit, char *start)
{
    const bool destBelow = start < src;
    const char *const bumper = destBelow ? src : start;
    while (dmax > 0) {
        if ((destBelow ? static_cast<const char *>(dest) : src) == bumper) {
            start[0] = '\0';
            return reportNamed(name, "overlapping objects", kOverlap);
        }
        if (limit == 0) {
            *dest = '\0';
            return 0;
        }
        *dest = *src;
        if (*dest == '\0')
            return 0;
        --dmax;
        --limit;
        ++dest;
        ++src;
    }
    start[0] = '\0';
    const bool appending = std::strcmp(name, "strcat_s") == 0;
    return reportNamed(name, appending ? "not enough space in dest for src" : "src longer than dmax", kNoSpace);
}

} // namespace

extern "C" unsigned int boundsCheckHandler(const char *message, unsigned int code)
{
    fprintf(stderr, "ERROR: (%u) %s\n", code, message);
    return code;
}

extern "C" unsigned int memcpy_s(void *dest, size_t dmax, const void *src, size_t smax)
{
    if (unsigned code = checkDestination("memcpy_s", dest, dmax))
        return code;
    const auto fail = [&](const char *message, unsigned code) {
        std::memset(dest, 0, dmax);
        return boundsCheckHandler(message, code);
    };
    if (src == nullptr)
        return fail("memcpy_s: src is NULL", kNullPointer);
    if (smax == 0)
        return fail("memcpy_s: smax is 0", kZeroSize);
    if (smax > dmax)
        return fail("memcpy_s: smax > dmax", kTooLarge);
    const auto d = reinterpret_cast<uintptr_t>(dest);
    const auto s = reinterpret_cast<uintptr_t>(src);
    if ((s < d && d - s < smax) || (d < s && s - d < smax))
        return fail("memcpy_s: overlapping segments", kOverlap);
    std::memcpy(dest, src, smax);
    return 0;
}

extern "C" unsigned int strcpy_s(char *dest, size_t dmax, const char *src)
{
    if (unsigned code = checkStringArguments("strcpy_s", dest, dmax, src))
        return code;
    if (src == dest)
        return 0;
    return copyString("strcpy_s", dest, dmax, src, SIZE_MAX, dest);
}

extern "C" unsigned int strncpy_s(char *dest, size_t dmax, const char *src, size_t slen)
{
    if (unsigned code = checkStringArguments("strncpy_s", dest, dmax, src))
        return code;
    if (slen == 0)
        return clearAndReport(dest, "strncpy_s: smax is 0", kZeroSize);
    if (slen > kLargestSize)
        return clearAndReport(dest, "strncpy_s: slen exceeds RSIZE_MAX", kTooLarge);
    if (src == dest)
        return clearAndReport(dest, "strncpy_s: overlapping objects", kOverlap);
    return copyString("strncpy_s", dest, dmax, src, slen, dest);
}

extern "C" unsigned int strcat_s(char *dest, size_t dmax, const char *src)
{
    if (unsigned code = checkStringArguments("strcat_s", dest, dmax, src))
        return code;
    if (src == dest)
        return clearAndReport(dest, "strcat_s: overlapping objects", kOverlap);
    // Find the end of dest within its room; scanning into src (dest below it) means the two overlap.
    char *end = dest;
    size_t room = dmax;
    while (*end != '\0') {
        ++end;
        --room;
        if (dest < src && end == src)
            return clearAndReport(dest, "strcat_s: overlapping objects", kOverlap);
        if (room == 0)
            return clearAndReport(dest, "strcat_s: unterminated dest string", kUnterminated);
    }
    return copyString("strcat_s", end, room, src, SIZE_MAX, dest);
}

extern "C" void *memcpy_c(void *dest, const void *src, size_t n)
{
    if (dest == nullptr) {
        // A null destination has no room to take: nothing is copied.
        DBPanic("memcpy_c error: s1 is NULL");
        return dest;
    }
    if (src == nullptr)
        DBPanic("memcpy_c error: s2 is NULL");
    if (unsigned code = memcpy_s(dest, dbAllocSize(dest), src, n))
        DBPanic("memcpy_s failed, error code %u", code);
    return dest;
}

namespace {

// A null destination goes to the checked copy, which reports it, with no block header to read.
size_t roomOf(const char *dest)
{
    return dest != nullptr ? dbAllocSize(dest) : 1;
}

} // namespace

extern "C" char *strcpy_c(char *dest, const char *src)
{
    if (unsigned code = strcpy_s(dest, roomOf(dest), src))
        DBPanic("strcpy_s failed, error code %u", code);
    return dest;
}

extern "C" char *strcat_c(char *dest, const char *src)
{
    if (unsigned code = strcat_s(dest, roomOf(dest), src))
        DBPanic("strcat_s failed, error code %u", code);
    return dest;
}

extern "C" char *strncpy_c(char *dest, const char *src, size_t slen)
{
    if (unsigned code = strncpy_s(dest, roomOf(dest), src, slen))
        DBPanic("strncpy_s failed, error code %u", code);
    return dest;
}
