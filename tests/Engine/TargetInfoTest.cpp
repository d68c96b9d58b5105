// Target information words and the packed instance name.
#include <gtest/gtest.h>

#include "support/TestEngine.h"

namespace {

TEST(TargetInfo, InterfaceDefaultsGiveTheFixedWords)
{
    kvetest::TestEngine engine;
    uint32_t words[12] = {};
    ASSERT_EQ(kve_fwGetTargetInfo(engine.get(), words), KVE_OK);
    EXPECT_EQ(words[0], kvetest::bitsOf(48000.0f));
    EXPECT_EQ(words[2], 32u | (1u << 12));
    EXPECT_EQ(words[3], 0x12020264u);
    EXPECT_EQ(words[4], 0x061A01E2u);
    EXPECT_EQ(words[5], 4104u) << "one pin each way, 4105 stored minus one";
    EXPECT_EQ(words[6], 0x74736574u) << "\"test\", first character in the low byte";
    EXPECT_EQ(words[7], 0u);
    EXPECT_EQ(words[10], KVE_TARGET_MAGIC);
    EXPECT_EQ(engine->self, engine.get());
    EXPECT_EQ(kve_fwGetTargetInfo(engine.get(), nullptr), KVE_E_NOT_A_LAYOUT);
}

TEST(TargetInfo, BlockSizeReplacesOnlyItsTwelveBits)
{
    kvetest::TestEngine engine;
    engine->targetInfo[2] |= 0x30000u;
    kve_fwSetBlockSize(engine.get(), 0x1040);
    EXPECT_EQ(engine->targetInfo[2], 0x1040u) << "low 12 bits of the size, the 4-bit number kept";
}

TEST(TargetInfo, PackedNamesHoldEightCharactersAtMost)
{
    uint32_t name[2] = {0xFFFFFFFFu, 0xFFFFFFFFu};
    kve_SetPackedName(name, "ABCDEFGHIJ");
    EXPECT_EQ(name[0], 0x44434241u);
    EXPECT_EQ(name[1], 0x48474645u);
    kve_SetPackedName(name, "");
    EXPECT_EQ(name[0], 0u);
    EXPECT_EQ(name[1], 0u);
}

} // namespace
