// The allocator's block headers: live blocks, sizes, resizing, and the reports for misuse and exhausted memory.
#include "RuntimeTestSupport.h"

#include <kve/kve_recognizer.h>

#include <cstdint>
#include <cstring>
#include <regex>

namespace {

// A block header forged in memory the test owns: the allocator must report it and leave it alone.
struct ForgedBlock {
    alignas(16) uint64_t size = 64;
    uint32_t state;
    uint32_t unused = 0;
    unsigned char payload[64] = {};
};

std::string foreignReport(const void *ptr)
{
    char text[160];
    snprintf(text, sizeof text,
             "Unknown heap pointer %p: it was not returned by an allocation call for this heap memory manager.", ptr);
    return text;
}

} // namespace

TEST(RecognizerAllocator, BlocksRecordTheSizeLastAskedForAndKeepTheirContents)
{
    struct Case {
        size_t first;
        size_t second;
    };
    for (const Case c : {Case{0, 0}, Case{0, 24}, Case{24, 0}, Case{5, 4096}, Case{4096, 7}}) {
        SCOPED_TRACE(testing::Message() << c.first << " -> " << c.second);
        auto *p = static_cast<unsigned char *>(dbMalloc(c.first));
        ASSERT_NE(p, nullptr);
        EXPECT_EQ(reinterpret_cast<uintptr_t>(p) % 16, 0u);
        EXPECT_EQ(dbAllocSize(p), c.first);
        for (size_t i = 0; i < c.first; ++i)
            p[i] = static_cast<unsigned char>(i * 7 + 1);
        auto *q = static_cast<unsigned char *>(dbRealloc(p, c.second));
        ASSERT_NE(q, nullptr);
        EXPECT_EQ(dbAllocSize(q), c.second);
        for (size_t i = 0; i < std::min(c.first, c.second); ++i)
            ASSERT_EQ(q[i], static_cast<unsigned char>(i * 7 + 1)) << i;
        std::string reports = stderrOf([&] { dbFree(q); });
        EXPECT_EQ(reports, "");
    }
    void *fresh = dbRealloc(nullptr, 33);
    EXPECT_EQ(dbAllocSize(fresh), 33u);
    qhvFree(fresh);
    void *exported = qhvMalloc(9);
    EXPECT_EQ(dbAllocSize(exported), 9u);
    dbFree(exported);
    EXPECT_EQ(stderrOf([] { dbFree(nullptr); }), "");
}

TEST(RecognizerAllocator, SizesThatWrapWithTheHeaderFailWithBothReports)
{
    for (size_t below : {0, 1, 8, 15}) {
        const size_t size = SIZE_MAX - below;
        const size_t total = size + 16;
        SCOPED_TRACE(size);
        void *p = reinterpret_cast<void *>(1);
        const std::string reports = withoutStamps(stderrOf([&] { p = dbMalloc(size); }));
        EXPECT_EQ(p, nullptr);
        char expected[160];
        snprintf(expected, sizeof expected, "%s|Unable to malloc %d bytes\n|Failed to allocate %zi bytes",
                 total == 0 ? "|Trying to allocate 0 bytes" : "", static_cast<int>(total), static_cast<ssize_t>(total));
        EXPECT_EQ(reports, expected);

        void *block = dbMalloc(8);
        std::memcpy(block, "kept.", 6);
        void *q = reinterpret_cast<void *>(1);
        const std::string resized = withoutStamps(stderrOf([&] { q = dbRealloc(block, size); }));
        EXPECT_EQ(q, nullptr);
        snprintf(expected, sizeof expected, "|Unable to realloc %d bytes\n|Failed to realloc %zi bytes",
                 static_cast<int>(total), static_cast<ssize_t>(total));
        EXPECT_EQ(resized, expected);
        EXPECT_EQ(dbAllocSize(block), 8u);
        EXPECT_STREQ(static_cast<char *>(block), "kept.");
        dbFree(block);
    }
}

TEST(RecognizerAllocator, PointersThatAreNotLiveBlocksAreReportedAndLeftAlone)
{
    struct Case {
        const char *name;
        uint32_t state;
        bool freedReport;
    };
    for (const Case c : {Case{"freed", DB_BLOCK_FREED, true}, Case{"foreign", 0x12345678u, false}}) {
        SCOPED_TRACE(c.name);
        ForgedBlock forged;
        forged.state = c.state;
        void *p = forged.payload;
        const std::string foreign = "|" + foreignReport(p);

        EXPECT_EQ(withoutStamps(stderrOf([&] { dbFree(p); })),
                  (c.freedReport ? "|Attempt to free already free()ed pointer." : "") + foreign);
        void *resized = reinterpret_cast<void *>(1);
        EXPECT_EQ(withoutStamps(stderrOf([&] { resized = dbRealloc(p, 128); })), foreign);
        EXPECT_EQ(resized, nullptr);
        size_t size = 1;
        EXPECT_EQ(withoutStamps(stderrOf([&] { size = dbAllocSize(p); })), foreign);
        EXPECT_EQ(size, 0u);
        // Nothing was written into the forged header or released.
        EXPECT_EQ(forged.state, c.state);
        EXPECT_EQ(forged.size, 64u);
    }
}

TEST(RecognizerPanic, ReportCarriesLocalTimeStampAndIsCutAt255Characters)
{
    const std::string report = stderrOf([] { DBPanic("value %d of %s", 42, "seven"); });
    EXPECT_TRUE(std::regex_match(report, std::regex("\nDBPanic:\n \\d{8} \\d\\d:\\d\\d:\\d\\d value 42 of seven")))
        << report;

    const std::string longText(400, 'x');
    const std::string cut = stderrOf([&] { DBPanic("%s", longText.c_str()); });
    const std::string header = "\nDBPanic:\n ";
    ASSERT_EQ(cut.substr(0, header.size()), header);
    const std::string text = cut.substr(header.size());
    EXPECT_EQ(text.size(), 255u);
    EXPECT_EQ(text.substr(18), std::string(255 - 18, 'x'));
}
