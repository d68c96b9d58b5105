// Impulse and pulse trains: where every impulse and pulse lands over many blocks, against the train's closed form,
// and what happens to positions, periods and counters a host writes out of the ordinary.
#include <cstdint>

#include "GeneratorsTestSupport.h"

namespace generatortest {
namespace {

struct Twin {
    uint32_t classId;
    bool fract32;
};
constexpr Twin kImpulseTwins[] = {{kImpulseSource, false}, {kImpulseSourceFract32, true}};
constexpr Twin kPulseTwins[] = {{kPulseGen, false}, {kPulseGenFract32, true}};

// A pulse generator whose host wrote its period and width in samples (construction derived them from 0 ms).
class Pulses : public Generators {
protected:
    ClassModule *pulses(uint32_t classId, int32_t repeat, int32_t period, int32_t width, int32_t counter,
                        uint32_t block = 32)
    {
        ClassModule *m = build(classId, {0, 0, static_cast<uint32_t>(repeat), 0, 0, static_cast<uint32_t>(counter)},
                               block);
        if (m != nullptr) {
            var(m, 3) = period;
            var(m, 4) = width;
        }
        return m;
    }
};

// The word expected at sample g of an endless train: full scale where `on` says, else 0.
template <class On> void expectTrain(const std::vector<uint32_t> &got, bool fract32, On on, const char *what)
{
    for (size_t g = 0; g < got.size(); ++g)
        ASSERT_EQ(got[g], on(static_cast<int64_t>(g)) ? fullScaleWord(fract32) : 0u) << what << ", sample " << g;
}

TEST_F(Generators, ImpulsesLandEveryPeriodFromThePositionAcrossBlocks)
{
    // An impulse at every sample g >= max(position, 0) with (g - position) a multiple of the period.
    struct Case {
        int32_t period, position;
        uint32_t block;
    };
    const Case cases[] = {{10, 0, 32}, {10, 3, 32}, {1, 0, 8}, {7, 10, 5}, {32, 31, 32}, {100, 40, 16}, {3, -5, 4}};
    for (const Twin &twin : kImpulseTwins)
        for (const Case &c : cases) {
            ClassModule *m = build(twin.classId, {static_cast<uint32_t>(c.period), static_cast<uint32_t>(c.position)},
                                   c.block);
            const int64_t first = c.position > c.period ? 0 : std::max(c.position, 0);
            expectTrain(run<uint32_t>(m, 12), twin.fract32,
                        [&](int64_t g) { return g >= first && (g - first) % c.period == 0; }, "impulse train");
        }
}

TEST_F(Generators, ImpulsePositionCarriesToTheNextBlock)
{
    ClassModule *m = build(kImpulseSource, {10, 0}, 32);
    const std::vector<float> first = run(m, 1);
    for (uint32_t t = 0; t < 32; ++t)
        EXPECT_EQ(first[t], t % 10 == 0 ? 1.0f : 0.0f) << t;
    EXPECT_EQ(var(m, 1), 8);
    const std::vector<float> second = run(m, 1);
    for (uint32_t t = 0; t < 32; ++t)
        EXPECT_EQ(second[t], t == 8 || t == 18 || t == 28 ? 1.0f : 0.0f) << t;
    EXPECT_EQ(var(m, 1), 6);

    // A period shortened below the position restarts the train at the block's start.
    var(m, 0) = 4;
    var(m, 1) = 8;
    const std::vector<float> restarted = run(m, 1);
    for (uint32_t t = 0; t < 32; ++t)
        EXPECT_EQ(restarted[t], t % 4 == 0 ? 1.0f : 0.0f) << t;
    EXPECT_EQ(var(m, 1), 0);
}

TEST_F(Generators, ImpulsePeriodBelowOneIsSilentAndKeepsThePosition)
{
    for (const Twin &twin : kImpulseTwins)
        for (const int32_t period : {0, -1, INT32_MIN}) {
            ClassModule *m = build(twin.classId, {static_cast<uint32_t>(period), 5});
            for (uint32_t word : run<uint32_t>(m, 2))
                ASSERT_EQ(word, 0u) << "period " << period;
            EXPECT_EQ(var(m, 1), 5);
        }
}

TEST_F(Generators, ImpulseFarPositionAndLongestPeriodCountDownWithoutOverflow)
{
    // Position at the period: no restart, the first impulse lies beyond many blocks.
    ClassModule *m = build(kImpulseSource, {static_cast<uint32_t>(INT32_MAX), static_cast<uint32_t>(INT32_MAX)}, 32);
    for (float v : run(m, 2))
        ASSERT_EQ(v, 0.0f);
    EXPECT_EQ(var(m, 1), INT32_MAX - 64);
    // An impulse at the last sample of a block with the longest period: the next one lies a whole period on.
    var(m, 1) = 31;
    const std::vector<float> y = run(m, 1);
    EXPECT_EQ(y[31], 1.0f);
    EXPECT_EQ(var(m, 1), INT32_MAX - 1);
}

TEST_F(Generators, ImpulseMsecPeriodIsTheMillisecondsAtTheWireRate)
{
    struct Case {
        int32_t periodMs, period;
    };
    // 48 samples per millisecond; lengths past the integer range hold at the longest period.
    const Case cases[] = {{1, 48}, {3, 144}, {0, 0}, {-2, -96}, {INT32_MAX, INT32_MAX}, {INT32_MIN, INT32_MIN}};
    for (const uint32_t classId : {kImpulseMsecSource, kImpulseMsecSourceFract32})
        for (const Case &c : cases) {
            ClassModule *m = build(classId, {static_cast<uint32_t>(c.periodMs), 0, 0});
            EXPECT_EQ(set(m), KVE_OK);
            EXPECT_EQ(var(m, 1), c.period) << c.periodMs << " ms";
        }
    // A 1 ms train at 48 kHz on blocks of 20.
    ClassModule *m = build(kImpulseMsecSourceFract32, {1, 0, 0}, 20);
    set(m);
    expectTrain(run<uint32_t>(m, 10), true, [](int64_t g) { return g % 48 == 0; }, "1 ms train");
}

TEST_F(Generators, PulseSetRoundsMillisecondsToSamples)
{
    struct Case {
        float periodMs, widthMs;
        int32_t periodSamples, widthSamples;
    };
    // 48 samples per millisecond, rounded half up; NaN is no length, lengths past the range hold at the longest.
    const Case cases[] = {{1.0f, 0.25f, 48, 12}, {0.5f, 0.011f, 24, 1}, {2.0f, 0.01f, 96, 0},
                          {NAN, -1.0f, 0, -47},  {1e9f, 1e30f, INT32_MAX, INT32_MAX}};
    for (const Twin &twin : kPulseTwins)
        for (const Case &c : cases) {
            ClassModule *m = build(twin.classId, {kvetest::bitsOf(c.periodMs), kvetest::bitsOf(c.widthMs), 1, 0, 0, 0});
            EXPECT_EQ(set(m), KVE_OK);
            EXPECT_EQ(var(m, 3), c.periodSamples) << c.periodMs;
            EXPECT_EQ(var(m, 4), c.widthSamples) << c.widthMs;
        }
}

TEST_F(Pulses, RepeatingPulsesAreOnForTheWidthOfEveryPeriod)
{
    struct Case {
        int32_t period, width;
        uint32_t block;
    };
    // Sample g is on while g mod period < width; a width past the period is always on, one below 1 never.
    const Case cases[] = {{48, 12, 32}, {5, 2, 32}, {1, 1, 8}, {7, 9, 4}, {10, 0, 16}, {3, -4, 16}, {64, 63, 32}};
    for (const Twin &twin : kPulseTwins)
        for (const Case &c : cases) {
            ClassModule *m = pulses(twin.classId, 1, c.period, c.width, 0, c.block);
            expectTrain(run<uint32_t>(m, 10), twin.fract32, [&](int64_t g) { return g % c.period < c.width; },
                        "pulse train");
        }
}

TEST_F(Pulses, OneShotPulseIdlesUntilTheHostWritesACounter)
{
    for (const Twin &twin : kPulseTwins) {
        ClassModule *m = pulses(twin.classId, 0, 48, 12, 0);
        for (uint32_t word : run<uint32_t>(m, 3))
            ASSERT_EQ(word, 0u);
        // Counter 1: the rest of one period from its second sample, the pulse's last 11 samples first, then idle.
        var(m, 5) = 1;
        expectTrain(run<uint32_t>(m, 4), twin.fract32, [](int64_t g) { return g < 11; }, "one period");
        EXPECT_EQ(var(m, 5), 0);
    }
}

TEST_F(Pulses, PulseCounterPastThePeriodWrapsAtOnce)
{
    // A host-written counter at or past the period's end wraps after one silent sample; the train then restarts.
    for (const int32_t counter : {47, 48, 1000, INT32_MAX}) {
        ClassModule *m = pulses(kPulseGen, 1, 48, 12, counter);
        expectTrain(run<uint32_t>(m, 6), false, [](int64_t g) { return g >= 1 && (g - 1) % 48 < 12; },
                    "wrapped train");
    }
    // The same counter without repeat plays that one silent sample and idles.
    ClassModule *m = pulses(kPulseGen, 0, 48, 12, 5000);
    for (float v : run(m, 3))
        ASSERT_EQ(v, 0.0f);
    EXPECT_EQ(var(m, 5), 0);
}

TEST_F(Pulses, PulsePeriodBelowOneIsSilent)
{
    for (const int32_t period : {0, -5}) {
        ClassModule *m = pulses(kPulseGenFract32, 1, period, 4, 3);
        for (uint32_t word : run<uint32_t>(m, 2))
            ASSERT_EQ(word, 0u);
        EXPECT_EQ(var(m, 5), 3);
    }
}

} // namespace
} // namespace generatortest
