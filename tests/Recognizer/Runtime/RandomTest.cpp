// The lagged-Fibonacci generator against its author's published check values, and the order in which it hands
// out cached values.
#include <kve/kve_recognizer_runtime.h>

#include <gtest/gtest.h>

#include <cstring>
#include <vector>

TEST(RecognizerRandom, PublishedCheckValuesAfterSeeding310952)
{
    // Seed 310952: 2010 passes of 1009 values, or 1010 passes of 2009, leave 995235265 first.
    struct Case {
        size_t length;
        int passes;
    };
    for (const Case c : {Case{1009, 2010}, Case{2009, 1010}}) {
        SCOPED_TRACE(c.length);
        srandomRecord *generator = srandomCreate(310952);
        ASSERT_NE(generator, nullptr);
        std::vector<uint32_t> values(c.length);
        for (int pass = 0; pass < c.passes; ++pass)
            srandomFill(generator->state, values.data(), values.size());
        EXPECT_EQ(values[0], 995235265u);
        srandomDestroy(generator);
    }
}

TEST(RecognizerRandom, HandsOutTheFirstHundredOfEachPassAndRefillsOnThe101stCall)
{
    srandomRecord *generator = srandomCreate(2024);
    srandomRecord *twin = srandomCreate(2024);
    srandomRecord *other = srandomCreate(2025);
    uint32_t state[SRANDOM_LAG];
    std::memcpy(state, generator->state, sizeof state);
    std::vector<uint32_t> pass(SRANDOM_WORK);
    bool differs = false;
    for (int refill = 0; refill < 3; ++refill) {
        srandomFill(state, pass.data(), pass.size());
        for (int i = 0; i < SRANDOM_LAG; ++i) {
            const uint32_t value = srandomNext(generator);
            ASSERT_EQ(value, pass[i]) << "refill " << refill << " value " << i;
            ASSERT_LT(value, 1u << 30);
            EXPECT_EQ(srandomNext(twin), value);
            differs |= srandomNext(other) != value;
        }
        EXPECT_EQ(generator->index, uint32_t(SRANDOM_LAG));
    }
    EXPECT_TRUE(differs);
    srandomDestroy(generator);
    srandomDestroy(twin);
    srandomDestroy(other);
    srandomDestroy(nullptr);
}

TEST(RecognizerRandom, PassShorterThanTheLagWritesNothing)
{
    // The state is rebuilt from the last 100 values of a pass, which a shorter output array does not hold.
    srandomRecord *generator = srandomCreate(7);
    uint32_t state[SRANDOM_LAG];
    std::memcpy(state, generator->state, sizeof state);
    std::vector<uint32_t> output(SRANDOM_LAG - 1, 0xFFFFFFFFu);
    srandomFill(generator->state, output.data(), output.size());
    EXPECT_EQ(std::memcmp(state, generator->state, sizeof state), 0);
    for (uint32_t v : output)
        EXPECT_EQ(v, 0xFFFFFFFFu);
    srandomDestroy(generator);
}
