// Status-result texts: where a text lives (inline or in a recognizer block) at the boundaries, growth by appending,
// texts lent with their disposer, and formatting.
#include "RuntimeTestSupport.h"

#include <kve/kve_recognizer.h>

#include <cstring>
#include <string>
#include <vector>

namespace {

bool isInline(const gsResult *result)
{
    return result->text == result->inlineText;
}

// A disposer that records what it was handed.
std::vector<const char *> disposed;

void recordDisposal(char *text)
{
    disposed.push_back(text);
}

uintptr_t recordingDisposer()
{
    return reinterpret_cast<uintptr_t>(&recordDisposal);
}

} // namespace

TEST(RecognizerResultTexts, CopiedTextsUpTo199CharactersStayInline)
{
    struct Case {
        size_t length;
        bool inlined;
    };
    for (const Case c : {Case{0, true}, Case{199, true}, Case{200, false}, Case{350, false}}) {
        SCOPED_TRACE(c.length);
        gsResult *result = GS_NewResult();
        const std::string text(c.length, 'q');
        GS_SetResult(result, text.c_str(), GS_RESULT_COPY);
        EXPECT_EQ(result->text, text);
        EXPECT_EQ(isInline(result), c.inlined);
        EXPECT_EQ(result->disposer, c.inlined ? GS_RESULT_STATIC : GS_RESULT_DYNAMIC);
        EXPECT_EQ(result->capacity, c.length + 1);
        if (!c.inlined) {
            EXPECT_EQ(dbAllocSize(result->text), c.length + 1);
            EXPECT_EQ(result->length, c.length);
        }
        // A later, longer copy gets a block of its own size.
        const std::string longer(c.length + 250, 'r');
        GS_SetResult(result, longer.c_str(), GS_RESULT_COPY);
        EXPECT_EQ(result->text, longer);
        EXPECT_EQ(dbAllocSize(result->text), longer.size() + 1);
        GS_SetResult(result, nullptr, GS_RESULT_COPY);
        EXPECT_TRUE(isInline(result));
        EXPECT_STREQ(result->text, "");
        GS_FreeResult(result);
    }
}

TEST(RecognizerResultTexts, AppendingPastATotalOf198MovesTheTextToTheHeap)
{
    struct Case {
        size_t start;
        std::vector<std::string> appended;
        bool inlined;
    };
    const std::vector<Case> cases = {
        {150, {std::string(20, 'a'), std::string(28, 'b')}, true},   // 198
        {150, {std::string(20, 'a'), std::string(29, 'b')}, false},  // 199
        {0, {"x"}, true},
        {199, {"y"}, false},
        {10, {std::string(500, 'c'), "", "d"}, false},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.start);
        gsResult *result = GS_NewResult();
        std::string expected(c.start, 's');
        GS_SetResult(result, expected.c_str(), GS_RESULT_COPY);
        std::vector<const char *> texts;
        for (const std::string &text : c.appended) {
            texts.push_back(text.c_str());
            expected += text;
        }
        while (texts.size() < 3)
            texts.push_back(nullptr);
        GS_AppendResult(result, texts[0], texts[1], texts[2], static_cast<const char *>(nullptr));
        EXPECT_EQ(result->text, expected);
        EXPECT_EQ(isInline(result), c.inlined);
        if (!c.inlined) {
            EXPECT_EQ(result->length, expected.size());
            EXPECT_GE(dbAllocSize(result->text), expected.size() + 1);
        }
        GS_FreeResult(result);
    }
}

TEST(RecognizerResultTexts, HeapTextHandedOverKeepsGrowingByAppends)
{
    // The holder takes the block's room from the allocator, so appends double from it instead of from nothing.
    gsResult *result = GS_NewResult();
    auto *owned = static_cast<char *>(dbMalloc(4));
    std::strcpy(owned, "abc");
    GS_SetResult(result, owned, GS_RESULT_DYNAMIC);
    EXPECT_EQ(result->capacity, 4u);
    EXPECT_EQ(result->length, 3u);

    GS_AppendResult(result, "defgh", static_cast<const char *>(nullptr));
    EXPECT_STREQ(result->text, "abcdefgh");
    EXPECT_EQ(result->capacity, 16u);
    EXPECT_EQ(dbAllocSize(result->text), 16u);

    std::string expected = "abcdefgh";
    for (int i = 0; i < 60; ++i) {
        GS_AppendResult(result, "0123456789", "-", static_cast<const char *>(nullptr));
        expected += "0123456789-";
    }
    EXPECT_EQ(result->text, expected);
    EXPECT_EQ(result->length, expected.size());
    EXPECT_EQ(dbAllocSize(result->text), result->capacity);

    // Handing the holder its own text again keeps it.
    GS_SetResult(result, result->text, GS_RESULT_DYNAMIC);
    EXPECT_EQ(result->text, expected);
    GS_ResetResult(result);
    EXPECT_TRUE(isInline(result));
    EXPECT_STREQ(result->text, "");
    GS_FreeResult(result);
}

TEST(RecognizerResultTexts, FailedGrowthLeavesTheOldTextWhole)
{
    // A text whose header says it is no live block: the holder cannot grow it and keeps it as it was.
    struct {
        alignas(16) uint64_t size = 4;
        uint32_t state = 0x0BADF00D;
        uint32_t unused = 0;
        char text[8] = "abc";
    } lent;
    gsResult *result = GS_NewResult();
    stderrOf([&] { GS_SetResult(result, lent.text, GS_RESULT_DYNAMIC); });
    const std::string reports = withoutStamps(stderrOf([&] {
        GS_AppendResult(result, "defgh", static_cast<const char *>(nullptr));
    }));
    EXPECT_NE(reports.find("Unknown heap pointer"), std::string::npos);
    EXPECT_STREQ(result->text, "abc");
    EXPECT_STREQ(lent.text, "abc");
    // Letting it go reports it again and releases nothing.
    EXPECT_NE(stderrOf([&] { GS_SetResult(result, nullptr, GS_RESULT_COPY); }).find("Unknown heap pointer"),
              std::string::npos);
    GS_FreeResult(result);
}

TEST(RecognizerResultTexts, LentTextsGoBackToTheirDisposerOnce)
{
    disposed.clear();
    char lent[] = "lent";
    gsResult *result = GS_NewResult();
    GS_SetResult(result, lent, recordingDisposer());
    EXPECT_EQ(result->text, lent);
    GS_AppendResult(result, "x", static_cast<const char *>(nullptr));
    EXPECT_STREQ(result->text, "lentx");
    EXPECT_TRUE(isInline(result));
    ASSERT_EQ(disposed.size(), 1u);
    EXPECT_EQ(disposed[0], lent);

    GS_SetResult(result, lent, recordingDisposer());
    GS_SetResult(result, "static", GS_RESULT_STATIC);
    EXPECT_EQ(disposed.size(), 2u);
    GS_SetResult(result, lent, recordingDisposer());
    GS_FreeResult(result);
    EXPECT_EQ(disposed.size(), 3u);
    GS_FreeResult(nullptr);
    GS_SetResult(nullptr, "x", GS_RESULT_COPY);
}

TEST(RecognizerResultTexts, AppendingTheHoldersOwnTextDoublesIt)
{
    disposed.clear();
    char lent[] = "lent text";
    struct Case {
        const char *name;
        std::string start;
        uintptr_t mode;
    };
    const std::vector<Case> cases = {
        {"inline", "short", GS_RESULT_COPY},
        {"inline moving to the heap", std::string(120, 'i'), GS_RESULT_COPY},
        {"heap block that must grow", std::string(300, 'h'), GS_RESULT_COPY},
        {"lent text", lent, recordingDisposer()},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        gsResult *result = GS_NewResult();
        GS_SetResult(result, c.mode == GS_RESULT_COPY ? c.start.c_str() : lent, c.mode);
        GS_AppendResult(result, result->text, static_cast<const char *>(nullptr));
        EXPECT_EQ(result->text, c.start + c.start);
        GS_FreeResult(result);
    }
    EXPECT_EQ(disposed.size(), 1u);
}

TEST(RecognizerResultTexts, FormattedTextsSetAppendAndReportCutOutput)
{
    gsResult *result = GS_NewResult();
    GS_SpfResult(result, "%s %d", "code", 7);
    GS_ApfResult(result, ", %s", "again");
    EXPECT_STREQ(result->text, "code 7, again");

    const std::string huge(20000, 'h');
    const std::string reports = withoutStamps(stderrOf([&] { GS_SpfResult(result, "%s", huge.c_str()); }));
    EXPECT_EQ(reports, "|buffer overrun in GS_SpfResult");
    EXPECT_EQ(std::string(result->text), std::string(16347, 'h'));
    GS_FreeResult(result);

    char buffer[GS_SPFL];
    EXPECT_EQ(GS_Spf(buffer, "%05d|%s", 42, "x"), buffer);
    EXPECT_STREQ(buffer, "00042|x");
    std::strcpy(buffer, "untouched");
    const auto *index = reinterpret_cast<const char *>(uintptr_t{3});
    std::string misuse;
    misuse = withoutStamps(stderrOf([&] { EXPECT_EQ(GS_Spf(buffer, index), buffer); }));
    EXPECT_EQ(misuse, "|GS_Spf() called with buffer index as first argument, should be pointer to stack-allocated char "
                      "buffer[GS_SPFL].");
    EXPECT_STREQ(buffer, "untouched");
}
