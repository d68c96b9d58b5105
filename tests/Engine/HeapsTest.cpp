// The word heaps: block sizes, guard words, alignment, heap-list fallback and failures that change nothing.
#include <gtest/gtest.h>

#include "support/TestEngine.h"

namespace {

using kvetest::EngineOptions;
using kvetest::TestEngine;

struct BlockCase {
    uint32_t bytes;
    uint32_t align;
    uint32_t words; // heap words the block takes
};

class HeapBlocks : public ::testing::TestWithParam<BlockCase> {};

TEST_P(HeapBlocks, TakeDataGuardAndAlignmentRoomAndStayFenced)
{
    const BlockCase c = GetParam();
    TestEngine engine;
    const uint32_t before = engine->heap1Used;
    int32_t status = -1;
    auto *p = static_cast<uint32_t *>(kve_fwMalloc2(engine.get(), c.bytes, c.align, 0x1, &status));
    ASSERT_NE(p, nullptr);
    EXPECT_EQ(status, KVE_OK);
    EXPECT_EQ(engine->heap1Used - before, c.words);
    const uint32_t a = c.align < 4 ? 4 : c.align;
    EXPECT_EQ(reinterpret_cast<uintptr_t>(p) % a, 0u);
    const uint32_t userWords = (c.bytes + 3) / 4;
    EXPECT_EQ(p[userWords], KVE_GUARD_WORD);
    EXPECT_EQ(engine->heap1Base[before + c.words - 1], KVE_GUARD_WORD);
    if (p != engine->heap1Base + before) {
        EXPECT_EQ(p[-1], KVE_GUARD_WORD);
    }
    for (uint32_t i = 0; i < userWords; ++i)
        EXPECT_EQ(p[i], 0u);
}

INSTANTIATE_TEST_SUITE_P(Sizes, HeapBlocks,
                         ::testing::Values(BlockCase{1, 4, 2}, BlockCase{16, 16, 9}, BlockCase{0, 4, 1},
                                           BlockCase{4, 4, 2}, BlockCase{5, 8, 5}, BlockCase{100, 64, 42}));

TEST(EngineHeaps, FirstBlockStartsAfterTheGuardWordOfEachHeap)
{
    TestEngine engine;
    for (uint32_t *base : {engine->heap1Base, engine->heap2Base, engine->heap3Base})
        EXPECT_EQ(base[0], KVE_GUARD_WORD);
    int32_t status = -1;
    EXPECT_EQ(kve_fwMalloc2(engine.get(), 4, 4, 0x2, &status), engine->heap2Base + 1);
}

TEST(EngineHeaps, ABlockThatWouldFillTheHeapExactlyDoesNotFit)
{
    EngineOptions o;
    o.heapWords = 64;
    TestEngine engine(o);
    int32_t status = KVE_OK;
    // 63 free words; a block of 63 words (248 bytes + guard) is refused, 62 words fit.
    EXPECT_EQ(kve_fwMalloc2(engine.get(), 248, 4, 0x1, &status), nullptr);
    EXPECT_EQ(status, KVE_E_HEAPS_FULL);
    EXPECT_EQ(engine->heap1Used, 1u);
    EXPECT_NE(kve_fwMalloc2(engine.get(), 244, 4, 0x1, &status), nullptr);
    EXPECT_EQ(status, KVE_OK);
}

TEST(EngineHeaps, HeapListsAreTriedFromTheLowNibble)
{
    EngineOptions o;
    o.heapWords = 64;
    TestEngine engine(o);
    int32_t status = KVE_OK;
    ASSERT_NE(kve_fwMalloc2(engine.get(), 240, 4, 0x1, &status), nullptr); // heap 1 now nearly full

    auto *p = static_cast<uint32_t *>(kve_fwMalloc2(engine.get(), 16, 4, 0x231, &status));
    EXPECT_EQ(status, KVE_OK);
    EXPECT_EQ(p, engine->heap3Base + 1) << "heap 1 full: the list 0x231 goes on to heap 3";

    const uint32_t used[3] = {engine->heap1Used, engine->heap2Used, engine->heap3Used};
    EXPECT_EQ(kve_fwMalloc2(engine.get(), 16, 4, 0x1, &status), nullptr);
    EXPECT_EQ(status, KVE_E_HEAPS_FULL);
    EXPECT_EQ(kve_fwMalloc2(engine.get(), 16, 4, 0x0, &status), nullptr);
    EXPECT_EQ(status, KVE_E_BAD_HEAP_LIST);
    EXPECT_EQ(kve_fwMalloc2(engine.get(), 16, 4, 0x30, &status), nullptr) << "an empty first entry ends the list";
    EXPECT_EQ(status, KVE_E_BAD_HEAP_LIST);
    EXPECT_EQ(kve_fwMalloc2(engine.get(), 0xFFFFFFF0u, 16, 0x231, &status), nullptr)
        << "a request near 4 GiB fails instead of wrapping to a small block";
    EXPECT_EQ(status, KVE_E_HEAPS_FULL);
    EXPECT_EQ(engine->heap1Used, used[0]);
    EXPECT_EQ(engine->heap2Used, used[1]);
    EXPECT_EQ(engine->heap3Used, used[2]);
}

TEST(EngineHeaps, ModuleAllocatorsWorkOnTheInstanceAtWork)
{
    TestEngine engine;
    g_pKVE_instance = engine.get();
    int32_t status = -1;
    auto *p = kve_fwMalloc(3, 0x2, &status);
    EXPECT_EQ(status, KVE_OK);
    EXPECT_EQ(reinterpret_cast<uintptr_t>(p) % 16, 0u);
    EXPECT_GT(p, static_cast<void *>(engine->heap2Base));
    auto *q = kve_fwMallocAligned(8, 64, 0x3, &status);
    EXPECT_EQ(reinterpret_cast<uintptr_t>(q) % 64, 0u);
    EXPECT_GT(q, static_cast<void *>(engine->heap3Base));
}

TEST(EngineHeaps, HeapSizeReportListsFreeWordsThenSizesInHeapOrderOneThreeTwo)
{
    EngineOptions o;
    o.heapWords = 100;
    TestEngine engine(o);
    kve_fwAllocateHeaps(engine.get(), 100, 200, 300);
    int32_t status = KVE_OK;
    kve_fwMalloc2(engine.get(), 36, 4, 0x3, &status); // 10 words of heap 3
    uint32_t words[6] = {};
    EXPECT_EQ(kve_fwGetHeapSize(engine.get(), words), KVE_OK);
    const uint32_t expected[6] = {99, 289, 199, 100, 300, 200};
    for (int i = 0; i < 6; ++i)
        EXPECT_EQ(words[i], expected[i]) << "word " << i;
    EXPECT_EQ(kve_fwGetHeapCount(), 3u);
}

TEST(EngineHeaps, AMissingBlockIsAllocatedByTheFirstRequest)
{
    TestEngine engine;
    kve_fwDestroyHeaps(engine.get());
    EXPECT_EQ(engine->heap1Base, nullptr);
    int32_t status = -1;
    EXPECT_NE(kve_fwMalloc2(engine.get(), 8, 4, 0x1, &status), nullptr);
    EXPECT_EQ(status, KVE_OK);
    EXPECT_EQ(engine->heap1Size, 1u << 16) << "sizes survive the block";
}

TEST(EngineHeaps, DestroyZeroesTheHeapsAndMemoryComesBackZeroFilled)
{
    TestEngine engine;
    int32_t status = KVE_OK;
    auto *p = static_cast<uint32_t *>(kve_fwMalloc2(engine.get(), 64, 4, 0x1, &status));
    for (int i = 0; i < 16; ++i)
        p[i] = 0xA5A5A5A5u;
    kve_fwDestroy(engine.get());
    EXPECT_EQ(engine->heap1Used, 1u);
    auto *q = static_cast<uint32_t *>(kve_fwMalloc2(engine.get(), 64, 4, 0x1, &status));
    EXPECT_EQ(q, p);
    for (int i = 0; i < 16; ++i)
        EXPECT_EQ(q[i], 0u);
}

} // namespace
