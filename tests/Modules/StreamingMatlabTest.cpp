// The fixed-message stream: messages of msgLength words, taken one a block, first up to the start threshold, then
// whenever one fits, with the last flag kept in `state`.
#include "StreamingTestSupport.h"

namespace {

using namespace streamtest;

class MatlabStreaming : public StreamingTable {
protected:
    ClassModule *build(uint32_t bufferSize, uint32_t startThreshold)
    {
        ClassModule *m = stream(kMatlabStreaming,
                                {.msgLength = 4, .bufferSize = bufferSize, .startThreshold = startThreshold,
                                 .state = 0},
                                wire(1, 1));
        EXPECT_NE(m, nullptr);
        return m;
    }
    // Sends message k (words 4k .. 4k + 3) with flag word `flag`, runs one block and tells whether it was taken.
    bool offer(ClassModule *m, uint32_t k, uint32_t flag)
    {
        send(m, counting(4 * k, 4), flag);
        EXPECT_EQ(kve_fwPumpModule(engine_.get(), m), KVE_OK);
        return pendingHeader(m) == 0;
    }
};

TEST_F(MatlabStreaming, FillsToTheThresholdThenTakesWhatFits)
{
    ClassModule *m = build(16, 8);
    EXPECT_TRUE(offer(m, 0, 11));
    EXPECT_EQ(var(m, Prefilling), 1u);
    EXPECT_TRUE(offer(m, 1, 12));
    EXPECT_EQ(var(m, Prefilling), 0u);
    EXPECT_EQ(var(m, State), 0u) << "flags of the filling messages are not kept";
    EXPECT_TRUE(offer(m, 2, 13));
    EXPECT_EQ(var(m, State), 13u);
    EXPECT_EQ(var<int32_t>(m, FillLevel), 12);
    // 4 words free of 16: a message needs more than its length free, so that the ring never looks empty when full.
    EXPECT_FALSE(offer(m, 3, 14));
    EXPECT_EQ(var(m, State), 13u);
    EXPECT_EQ(var<int32_t>(m, FillLevel), 12);
    index(m, ReadIndex) = 8; // the source played two messages
    EXPECT_TRUE(offer(m, 3, 14));
    EXPECT_EQ(var(m, State), 14u);
    EXPECT_EQ(var<int32_t>(m, FillLevel), 8);
    for (uint32_t i = 0; i < 16; ++i)
        EXPECT_EQ(array(m, CircBuffer)[i], i) << "ring word " << i;
}

// A threshold past the ring: filling ends when no further message fits, and a message that would overwrite unread
// words waits instead.
TEST_F(MatlabStreaming, FillingEndsWhenNoFurtherMessageFits)
{
    ClassModule *m = build(10, 100);
    EXPECT_TRUE(offer(m, 0, 1));
    EXPECT_EQ(var(m, Prefilling), 1u);
    EXPECT_TRUE(offer(m, 1, 1));
    EXPECT_EQ(var(m, Prefilling), 0u);
    EXPECT_FALSE(offer(m, 2, 1));
    EXPECT_FALSE(offer(m, 2, 1));
    for (uint32_t i = 0; i < 8; ++i)
        EXPECT_EQ(array(m, CircBuffer)[i], i) << "unread word " << i;
    EXPECT_EQ(var<int32_t>(m, FillLevel), 8);
    EXPECT_EQ(var(m, WriteIndex), 8u);
}

TEST_F(MatlabStreaming, WaitsWithoutAFlag)
{
    ClassModule *m = build(16, 0);
    EXPECT_TRUE(offer(m, 0, 0));
    EXPECT_EQ(var(m, WriteIndex), 0u);
    EXPECT_EQ(var(m, Prefilling), 1u);
}

} // namespace
