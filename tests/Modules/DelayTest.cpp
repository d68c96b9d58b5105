// The whole-sample delay: impulses come out exactly `currentDelay` samples later, across block edges and channels,
// and delays or indices a host writes past what was built stay inside the ring.
#include <cmath>

#include "DelayTableTestSupport.h"

namespace delaytest {
namespace {

class Delays : public DelayTable {
protected:
    // Runs `blocks` blocks of a delay of `delay` (ring for `maxDelay`) on ch channels of L frames, with an impulse
    // on every channel c at frame c of the first block; returns every output word in order.
    std::vector<float> impulses(uint32_t ch, uint32_t block, uint32_t maxDelay, uint32_t delay, uint32_t blocks,
                                ClassModule **built = nullptr)
    {
        GenericWire *in = wire(ch, block);
        GenericWire *out = wire(ch, block);
        ClassModule *m = build(0xBEEF0800u, 0x101, {in, out}, {maxDelay, delay, 0, KVE_HEAPS_DEFAULT});
        EXPECT_NE(m, nullptr);
        if (built != nullptr)
            *built = m;
        std::vector<float> got;
        if (m == nullptr)
            return got;
        for (uint32_t b = 0; b < blocks; ++b) {
            std::vector<float> x(ch * block, 0.0f);
            if (b == 0)
                for (uint32_t c = 0; c < ch && c < block; ++c)
                    x[c * ch + c] = 1.0f + static_cast<float>(c);
            fill(in, x);
            pump(m);
            got.insert(got.end(), data(out), data(out) + ch * block);
        }
        return got;
    }
};

TEST_F(Delays, ImpulseComesOutExactlyTheDelayLater)
{
    struct Case {
        uint32_t ch, block, maxDelay, delay;
    };
    const Case cases[] = {{1, 8, 10, 0}, {1, 8, 10, 3}, {1, 4, 10, 10}, {2, 4, 7, 5}, {3, 5, 20, 13}, {1, 1, 3, 2}};
    for (const Case &c : cases) {
        const uint32_t blocks = (c.delay + c.ch + c.block) / c.block + 1;
        const std::vector<float> got = impulses(c.ch, c.block, c.maxDelay, c.delay, blocks);
        for (uint32_t frame = 0; frame < blocks * c.block; ++frame)
            for (uint32_t ch = 0; ch < c.ch; ++ch) {
                // Channel ch's impulse was at frame ch.
                const float want = frame == ch + c.delay && ch < c.block ? 1.0f + static_cast<float>(ch) : 0.0f;
                ASSERT_EQ(got[frame * c.ch + ch], want) << "delay " << c.delay << " ch " << ch << " frame " << frame;
            }
    }
}

TEST_F(Delays, DelayPastTheRingIsHeldToTheLongestBuilt)
{
    // A host that raises currentDelay, maxDelay or stateIndex past what was built gets the longest delay built.
    ClassModule *m = nullptr;
    impulses(1, 4, 6, 2, 1, &m);
    ASSERT_NE(m, nullptr);
    var<uint32_t>(m, 0) = 1000000;
    var<uint32_t>(m, 1) = 999999;
    var<uint32_t>(m, 2) = 0xFFFFFFF0u;
    GenericWire *in = m->wires[0];
    GenericWire *out = m->wires[1];
    // Clear what the first block left, then send one impulse.
    for (int b = 0; b < 4; ++b) {
        fill(in, {});
        pump(m);
    }
    fill(in, {1.0f});
    std::vector<float> got;
    for (int b = 0; b < 4; ++b) {
        pump(m);
        got.insert(got.end(), data(out), data(out) + 4);
        fill(in, {});
    }
    for (size_t i = 0; i < got.size(); ++i)
        EXPECT_EQ(got[i], i == 6 ? 1.0f : 0.0f) << i;
}

TEST_F(Delays, ShortOutputIsWrittenOnlyAsFarAsItHolds)
{
    GenericWire *in = wire(1, 8);
    GenericWire *out = wire(1, 3);
    data(out)[2] = 0.0f;
    ClassModule *m = build(0xBEEF0800u, 0x101, {in, out}, {4, 0, 0, KVE_HEAPS_DEFAULT});
    ASSERT_NE(m, nullptr);
    fill(in, {1, 2, 3, 4, 5, 6, 7, 8});
    pump(m);
    EXPECT_EQ(data(out)[0], 1.0f);
    EXPECT_EQ(data(out)[2], 3.0f);

    int32_t status = KVE_OK;
    EXPECT_EQ(build(0xBEEF0800u, 0x100, {in}, {4, 0, 0, KVE_HEAPS_DEFAULT}, &status), nullptr);
    EXPECT_EQ(status, KVE_E_ARG_COUNT);
}

} // namespace
} // namespace delaytest

namespace delaytest {
namespace {

class DelayMsec : public DelayTable {};

TEST_F(DelayMsec, BuildsItsDelayInSamplesAndSetsTheDelayInWholeSamples)
{
    GenericWire *in = wire(1, 8);
    GenericWire *out = wire(1, 8);
    ASSERT_EQ(in->sampleRate, 48000.0f);
    ClassModule *m = build(0xBEEF0801u, 0x101, {in, out},
                           {kvetest::bitsOf(10.01f), kvetest::bitsOf(0.0625f), KVE_HEAPS_DEFAULT});
    ASSERT_NE(m, nullptr);
    ClassModule *inner;
    std::memcpy(&inner, reinterpret_cast<char *>(m) + kve_ClassVariableOffsets(m->classRecord)[3], sizeof inner);
    ASSERT_NE(inner, nullptr);
    EXPECT_EQ(inner->classRecord->classId, 0xBEEF0800u);
    EXPECT_EQ(var<uint32_t>(inner, 0), 481u); // ceil(480.48)
    EXPECT_EQ(var<uint32_t>(inner, 1), 3u);   // 0.0625 ms = 3 samples

    // An impulse comes out 3 samples later through the composite.
    fill(in, {1.0f});
    pump(m);
    for (int t = 0; t < 8; ++t)
        EXPECT_EQ(data(out)[t], t == 3 ? 1.0f : 0.0f) << t;

    // Set floors the delay and holds it to the inner ring; NaN and negatives give no delay.
    struct Case {
        float ms;
        uint32_t samples;
    };
    const Case cases[] = {{1.0f, 48}, {0.03f, 1}, {50.0f, 481}, {-4.0f, 0}, {std::nanf(""), 0}};
    for (const Case &c : cases) {
        var(m, 1) = c.ms;
        ASSERT_EQ(set(m, 1u << 9), KVE_OK);
        EXPECT_EQ(var<uint32_t>(inner, 1), c.samples) << c.ms;
    }
}

TEST_F(DelayMsec, RefusesAnyWiringButOneInOneOut)
{
    GenericWire *a = wire(1, 8);
    GenericWire *b = wire(1, 8);
    GenericWire *c = wire(1, 8);
    for (uint32_t wireWord : {0x100u, 0x201u, 0x102u, 0x10101u}) {
        int32_t status = KVE_OK;
        EXPECT_EQ(build(0xBEEF0801u, wireWord, {a, b, c}, {kvetest::bitsOf(1.0f), 0, 0}, &status), nullptr);
        EXPECT_EQ(status, KVE_E_ARG_COUNT) << std::hex << wireWord;
    }
}

} // namespace
} // namespace delaytest
