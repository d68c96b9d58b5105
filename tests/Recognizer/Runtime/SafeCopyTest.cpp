// Checked copies: each case fences its destination inside a larger area whose other bytes must stay as they were,
// and checks the code, the destination afterwards and the one line the failure prints.
#include "RuntimeTestSupport.h"

#include <kve/kve_recognizer.h>

#include <cstdint>
#include <cstring>
#include <functional>
#include <vector>

namespace {

constexpr size_t kTooLarge = size_t{1} << 63;
constexpr ptrdiff_t kSeparateSource = 1000;
constexpr ptrdiff_t kNullSource = 1001;

// A destination 32 bytes into a 96-byte area of recognisable bytes; whatever lies outside [dest, dest + dmax) is
// the test's guard and must not change.
class FencedArea {
public:
    FencedArea() : bytes_(96)
    {
        for (size_t i = 0; i < bytes_.size(); ++i)
            bytes_[i] = static_cast<char>('A' + i % 26);
    }
    char *dest() { return bytes_.data() + 32; }
    void snapshot() { before_ = bytes_; }
    // Whether every byte outside the first `dmax` bytes of the destination is unchanged.
    bool guardsIntact(size_t dmax) const
    {
        const size_t end = 32 + std::min<size_t>(dmax, bytes_.size() - 32);
        for (size_t i = 0; i < bytes_.size(); ++i)
            if ((i < 32 || i >= end) && bytes_[i] != before_[i])
                return false;
        return true;
    }
    bool unchanged() const { return bytes_ == before_; }

private:
    std::vector<char> bytes_;
    std::vector<char> before_;
};

std::string errorLine(unsigned code, const char *message)
{
    return code == 0 ? "" : "ERROR: (" + std::to_string(code) + ") " + message + "\n";
}

struct StringCase {
    const char *name;
    bool nullDest;
    size_t dmax;
    std::string destInit;  // bytes laid at dest first (a string carries its terminator only when written in)
    ptrdiff_t srcOffset;   // from dest, or kSeparateSource / kNullSource
    std::string srcInit;   // laid at the source (from dest + srcOffset, or a separate buffer)
    size_t slen;
    unsigned code;
    const char *text;      // the destination's text on success
    const char *message;
};

using StringCopy = std::function<unsigned(char *, size_t, const char *, size_t)>;

void runStringCases(const StringCopy &copy, const std::vector<StringCase> &cases)
{
    for (const StringCase &c : cases) {
        SCOPED_TRACE(c.name);
        FencedArea area;
        std::memcpy(area.dest(), c.destInit.data(), c.destInit.size());
        std::string separate = c.srcInit;
        const char *src = nullptr;
        if (c.srcOffset == kSeparateSource) {
            src = separate.c_str();
        } else if (c.srcOffset != kNullSource) {
            std::memcpy(area.dest() + c.srcOffset, c.srcInit.data(), c.srcInit.size());
            src = area.dest() + c.srcOffset;
        }
        area.snapshot();
        char *dest = c.nullDest ? nullptr : area.dest();
        unsigned code = 0;
        const std::string printed = stderrOf([&] { code = copy(dest, c.dmax, src, c.slen); });
        EXPECT_EQ(code, c.code);
        EXPECT_EQ(printed, errorLine(c.code, c.message));
        if (c.nullDest || c.dmax == 0 || c.dmax >= kTooLarge) {
            EXPECT_TRUE(area.unchanged());
            continue;
        }
        EXPECT_TRUE(area.guardsIntact(c.dmax));
        if (c.code == 0)
            EXPECT_STREQ(area.dest(), c.text);
        else
            EXPECT_EQ(area.dest()[0], '\0');
    }
}

} // namespace

TEST(RecognizerCheckedCopies, MemcpyCopiesOrZeroFillsItsDestination)
{
    struct Case {
        const char *name;
        bool nullDest;
        size_t dmax;
        ptrdiff_t srcOffset;
        size_t smax;
        unsigned code;
        std::string after;  // the dmax bytes of the destination afterwards
        const char *message;
    };
    // The area's bytes around the destination are "...CDEF" GHIJKLMN "OP...".
    const std::string zeros(8, '\0');
    const std::vector<Case> cases = {
        {"fits exactly", false, 8, kSeparateSource, 8, 0, "01234567", ""},
        {"shorter source", false, 8, kSeparateSource, 3, 0, "012JKLMN", ""},
        {"one byte too many", false, 8, kSeparateSource, 9, 7003, zeros, "memcpy_s: smax > dmax"},
        {"null destination", true, 8, kSeparateSource, 4, 7000, "", "memcpy_s: dest is NULL"},
        {"no room", false, 0, kSeparateSource, 4, 7001, "", "memcpy_s: dmax is 0"},
        {"room of a negative size", false, kTooLarge, kSeparateSource, 4, 7003, "", "memcpy_s: dmax exceeds RSIZE_MAX"},
        {"null source", false, 8, kNullSource, 4, 7000, zeros, "memcpy_s: src is NULL"},
        {"nothing to copy", false, 8, kSeparateSource, 0, 7001, zeros, "memcpy_s: smax is 0"},
        {"source inside destination", false, 8, 3, 4, 7004, zeros, "memcpy_s: overlapping segments"},
        {"source ending inside destination", false, 8, -3, 4, 7004, zeros, "memcpy_s: overlapping segments"},
        {"source just after destination", false, 8, 4, 4, 0, "KLMNKLMN", ""},
        {"source just before destination", false, 8, -4, 4, 0, "CDEFKLMN", ""},
        {"source is destination", false, 8, 0, 8, 0, "GHIJKLMN", ""},
    };
    const char separate[] = "0123456789abcdef";
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        FencedArea area;
        area.snapshot();
        const void *src = c.srcOffset == kSeparateSource ? separate
                          : c.srcOffset == kNullSource   ? nullptr
                                                         : area.dest() + c.srcOffset;
        void *dest = c.nullDest ? nullptr : area.dest();
        unsigned code = 0;
        const std::string printed = stderrOf([&] { code = memcpy_s(dest, c.dmax, src, c.smax); });
        EXPECT_EQ(code, c.code);
        EXPECT_EQ(printed, errorLine(c.code, c.message));
        if (c.after.empty()) {
            EXPECT_TRUE(area.unchanged());
        } else {
            EXPECT_EQ(std::string(area.dest(), c.dmax), c.after);
            EXPECT_TRUE(area.guardsIntact(c.dmax));
        }
    }
}

TEST(RecognizerCheckedCopies, StrcpyCopiesWholeStringsOrLeavesAnEmptyOne)
{
    const auto copy = [](char *d, size_t dmax, const char *s, size_t) { return strcpy_s(d, dmax, s); };
    runStringCases(copy, {
        {"fits with its terminator", false, 4, "", kSeparateSource, "abc", 0, 0, "abc", ""},
        {"terminator does not fit", false, 3, "", kSeparateSource, "abc", 0, 7006, "",
         "strcpy_s: src longer than dmax"},
        {"empty source", false, 1, "", kSeparateSource, "", 0, 0, "", ""},
        {"null destination", true, 4, "", kSeparateSource, "abc", 0, 7000, "", "strcpy_s: dest is NULL"},
        {"no room", false, 0, "", kSeparateSource, "abc", 0, 7001, "", "strcpy_s: dmax is 0"},
        {"room of a negative size", false, kTooLarge, "", kSeparateSource, "abc", 0, 7003, "",
         "strcpy_s: dmax exceeds RSIZE_MAX"},
        {"null source", false, 4, "xyz", kNullSource, "", 0, 7000, "", "strcpy_s: src is NULL"},
        {"onto itself", false, 8, "", 0, std::string("self", 5), 0, 0, "self", ""},
        {"writes into the source", false, 16, "", 2, std::string("abcdefgh", 9), 0, 7004, "",
         "strcpy_s: overlapping objects"},
        {"reads its own output", false, 16, "", -2, std::string("abcdefgh", 9), 0, 7004, "",
         "strcpy_s: overlapping objects"},
        {"ends before the source", false, 16, "", 4, std::string("ab", 3), 0, 0, "ab", ""},
    });
}

TEST(RecognizerCheckedCopies, StrcatAppendsWithinTheRoomLeft)
{
    const auto copy = [](char *d, size_t dmax, const char *s, size_t) { return strcat_s(d, dmax, s); };
    runStringCases(copy, {
        {"fits with its terminator", false, 5, std::string("ab", 3), kSeparateSource, "cd", 0, 0, "abcd", ""},
        {"onto an empty text", false, 3, std::string("", 1), kSeparateSource, "cd", 0, 0, "cd", ""},
        {"terminator does not fit", false, 4, std::string("ab", 3), kSeparateSource, "cd", 0, 7006, "",
         "strcat_s: not enough space in dest for src"},
        {"unterminated destination", false, 4, "abcd", kSeparateSource, "x", 0, 7007, "",
         "strcat_s: unterminated dest string"},
        {"null source", false, 4, std::string("ab", 3), kNullSource, "", 0, 7000, "", "strcat_s: src is NULL"},
        {"null destination", true, 4, "", kSeparateSource, "x", 0, 7000, "", "strcat_s: dest is NULL"},
        {"no room", false, 0, "", kSeparateSource, "x", 0, 7001, "", "strcat_s: dmax is 0"},
        {"room of a negative size", false, kTooLarge, "", kSeparateSource, "x", 0, 7003, "",
         "strcat_s: dmax exceeds RSIZE_MAX"},
        {"onto itself", false, 8, "", 0, std::string("ab", 3), 0, 7004, "", "strcat_s: overlapping objects"},
        {"destination text runs into the source", false, 16, "", 0, std::string("abcdef", 7), 0, 7004, "",
         "strcat_s: overlapping objects"},
        {"appending writes into the source", false, 16, std::string("ab", 3), 4, std::string("xyz12", 6), 0, 7004,
         "", "strcat_s: overlapping objects"},
        {"appending reads its own output", false, 16, "", -3, std::string("xyzab", 6), 0, 7004, "",
         "strcat_s: overlapping objects"},
    });
}

TEST(RecognizerCheckedCopies, StrncpyCopiesAtMostSlenCharacters)
{
    const auto copy = [](char *d, size_t dmax, const char *s, size_t slen) { return strncpy_s(d, dmax, s, slen); };
    runStringCases(copy, {
        {"first three of six", false, 4, "", kSeparateSource, "abcdef", 3, 0, "abc", ""},
        {"terminator does not fit", false, 3, "", kSeparateSource, "abcdef", 3, 7006, "",
         "strncpy_s: src longer than dmax"},
        {"source shorter than slen", false, 3, "", kSeparateSource, "ab", 5, 0, "ab", ""},
        {"slen 0", false, 4, "", kSeparateSource, "ab", 0, 7001, "", "strncpy_s: smax is 0"},
        {"slen of a negative size", false, 4, "", kSeparateSource, "ab", kTooLarge, 7003, "",
         "strncpy_s: slen exceeds RSIZE_MAX"},
        {"null source", false, 4, "", kNullSource, "", 2, 7000, "", "strncpy_s: src is NULL"},
        {"null destination", true, 4, "", kSeparateSource, "ab", 2, 7000, "", "strncpy_s: dest is NULL"},
        {"no room", false, 0, "", kSeparateSource, "ab", 2, 7001, "", "strncpy_s: dmax is 0"},
        {"room of a negative size", false, kTooLarge, "", kSeparateSource, "ab", 2, 7003, "",
         "strncpy_s: dmax exceeds RSIZE_MAX"},
        {"onto itself", false, 8, "", 0, std::string("self", 5), 4, 7004, "", "strncpy_s: overlapping objects"},
        {"writes into the source", false, 16, "", 2, std::string("abcdefgh", 9), 8, 7004, "",
         "strncpy_s: overlapping objects"},
        {"reads its own output", false, 16, "", -2, std::string("abcdefgh", 9), 8, 7004, "",
         "strncpy_s: overlapping objects"},
    });
}

TEST(RecognizerCheckedCopies, BlockCopiesTakeTheirRoomFromTheAllocator)
{
    struct Case {
        const char *name;
        size_t blockSize;  // 0: a null destination
        std::function<void *(char *)> copy;
        const char *text;  // the block's text afterwards; null when the copy failed
        const char *printed;
    };
    const std::vector<Case> cases = {
        {"string fits", 4, [](char *d) { return strcpy_c(d, "abc"); }, "abc", ""},
        {"string one short", 3, [](char *d) { return strcpy_c(d, "abc"); }, nullptr,
         "ERROR: (7006) strcpy_s: src longer than dmax\n|strcpy_s failed, error code 7006"},
        {"null string destination", 0, [](char *d) { return strcpy_c(d, "abc"); }, nullptr,
         "ERROR: (7000) strcpy_s: dest is NULL\n|strcpy_s failed, error code 7000"},
        {"append fits", 5, [](char *d) { strcpy_c(d, "ab"); return strcat_c(d, "cd"); }, "abcd", ""},
        {"append one short", 4, [](char *d) { strcpy_c(d, "ab"); return strcat_c(d, "cd"); }, nullptr,
         "ERROR: (7006) strcat_s: not enough space in dest for src\n|strcat_s failed, error code 7006"},
        {"bounded copy", 4, [](char *d) { return strncpy_c(d, "abcdef", 3); }, "abc", ""},
        {"bounded copy one short", 3, [](char *d) { return strncpy_c(d, "abcdef", 3); }, nullptr,
         "ERROR: (7006) strncpy_s: src longer than dmax\n|strncpy_s failed, error code 7006"},
        {"bytes fit", 6, [](char *d) { return memcpy_c(d, "bytes", 6); }, "bytes", ""},
        {"bytes one too many", 5, [](char *d) { return memcpy_c(d, "bytes", 6); }, nullptr,
         "ERROR: (7003) memcpy_s: smax > dmax\n|memcpy_s failed, error code 7003"},
        {"null byte destination", 0, [](char *d) { return memcpy_c(d, "bytes", 6); }, nullptr,
         "|memcpy_c error: s1 is NULL"},
        {"null byte source", 6, [](char *d) { return memcpy_c(d, nullptr, 6); }, nullptr,
         "|memcpy_c error: s2 is NULLERROR: (7000) memcpy_s: src is NULL\n|memcpy_s failed, error code 7000"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        // Exactly the block's size, so that a copy past it is caught by the address checker.
        char *block = c.blockSize > 0 ? static_cast<char *>(dbMalloc(c.blockSize)) : nullptr;
        if (block != nullptr)
            std::memset(block, '#', c.blockSize);
        void *returned = nullptr;
        const std::string printed = stderrOf([&] { returned = c.copy(block); });
        EXPECT_EQ(returned, block);
        // A report is "|" + its message once its stamp is gone; the checked copies' own lines stay as they are.
        EXPECT_EQ(withoutStamps(printed), std::string(c.printed));
        if (block != nullptr) {
            if (c.text != nullptr)
                EXPECT_STREQ(block, c.text);
            else
                EXPECT_EQ(block[0], '\0');
        }
        dbFree(block);
    }
}
