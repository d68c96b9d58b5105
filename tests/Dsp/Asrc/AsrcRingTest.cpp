// The converter's ring: what init sets up, where the writers put each channel, the free and readable counts and the
// latency, reading no frames, and converters whose ring or table cannot be used.
#include <gtest/gtest.h>

#include <cstdint>
#include <limits>
#include <vector>

#include "Dsp/Asrc/AsrcConverter.h"
#include "Dsp/Fir/FirSignals.h"

namespace {

using kvetest::AsrcConverter;
using kvetest::AsrcSet;

AsrcSet &set64()
{
    static AsrcSet set(64, 56, std::vector<int32_t>(67 * 56, 0));
    return set;
}

// A set of 67 rows of 56 taps for equal rates at M = 64: nominal step 64 x 2^32, 56 taps; after reset one slot is
// kept free and the latency is 1 - taps/2.
TEST(AsrcRing, InitTakesTheSetAndResetEmptiesTheRing)
{
    AsrcConverter conv(set64().props, 1000, 2, 5);
    const qirn_asrc_state &s = conv.state;
    EXPECT_EQ(s.step, int64_t{64} << 32);
    EXPECT_EQ(s.taps, 56u);
    EXPECT_EQ(s.rows, 67u);
    EXPECT_EQ(s.log2Phases, 6u);
    EXPECT_EQ(s.phaseMask, 63u);
    EXPECT_EQ(s.fractionMask, (uint64_t{1} << 38) - 1);
    EXPECT_EQ(s.total, 2010u);
    EXPECT_EQ(s.regulate, 1u);
    EXPECT_EQ(conv.ring, std::vector<int32_t>(2010, 0));
    EXPECT_EQ(qirn_asrc_input_avail(&s), 999);
    EXPECT_EQ(qirn_asrc_latency(&s), 1 - 28);

    const std::vector<int32_t> frames(2 * 300, 77);
    qirn_asrc_write_input_Q31(&conv.state, frames.data(), 300);
    conv.state.readPosition = int64_t{100} << 38;
    qirn_asrc_reset_Q31(&conv.state);
    EXPECT_EQ(conv.ring, std::vector<int32_t>(2010, 0));
    EXPECT_EQ(qirn_asrc_input_avail(&s), 999);
    EXPECT_EQ(qirn_asrc_latency(&s), 1 - 28);
}

// Reading no frames only brings the read position back into the ring, keeping phase and fraction; the loop filter
// does not run, for a read of no frames nor when called for fewer than one frame.
TEST(AsrcRing, ReadingNoFramesOnlyWrapsThePosition)
{
    AsrcConverter conv(set64().props, 1000, 1);
    const int64_t low = (int64_t{45} << 32) | 0x12345678;
    conv.state.readPosition = (int64_t{1003} << 38) | low;
    const qirn_asrc_state before = conv.state;
    int32_t out = 99;
    EXPECT_EQ(qirn_asrc_read_output_cubic_Q31(&conv.state, &out, 0), 0);
    EXPECT_EQ(conv.state.readPosition, (int64_t{3} << 38) | low);
    EXPECT_EQ(qirn_asrc_read_output_linear_Q31(&conv.state, nullptr, -4), 0);
    EXPECT_EQ(out, 99);
    for (int32_t n : {0, -1, std::numeric_limits<int32_t>::min()})
        EXPECT_EQ(qirn_asrc_regulate_fstep(&conv.state, n), before.step);
    EXPECT_EQ(conv.state.step, before.step);
    EXPECT_EQ(conv.state.integral, before.integral);
    EXPECT_EQ(conv.state.loopState[0], before.loopState[0]);
    EXPECT_EQ(conv.state.loopState[1], before.loopState[1]);
}

// Channel c of each frame goes to the plane at c x (L + guard), the index wrapping at L and leaving the guard
// alone; of more frames than the ring holds the last L stay.
TEST(AsrcRing, WriterFillsEachChannelsPlane)
{
    constexpr uint32_t kLength = 7, kGuard = 3;
    for (uint32_t channels : {1u, 2u, 3u}) {
        AsrcConverter conv(set64().props, kLength, channels, kGuard);
        std::vector<std::vector<int32_t>> planes(channels, std::vector<int32_t>(kLength, 0));
        uint32_t index = 0;
        int32_t next = 1;
        for (int32_t n : {3, 5, 0, 16, 2}) {
            std::vector<int32_t> frames;
            for (int32_t k = 0; k < n; ++k, index = (index + 1) % kLength) {
                for (uint32_t c = 0; c < channels; ++c) {
                    frames.push_back(next);
                    planes[c][index] = next++;
                }
            }
            ASSERT_EQ(qirn_asrc_write_input_Q31(&conv.state, frames.data(), n), 0);
            ASSERT_EQ(conv.state.writeIndex, index);
        }
        ASSERT_EQ(qirn_asrc_write_zeros_Q31(&conv.state, 2), 0);
        for (uint32_t k = 0; k < 2; ++k, index = (index + 1) % kLength) {
            for (uint32_t c = 0; c < channels; ++c)
                planes[c][index] = 0;
        }
        EXPECT_EQ(conv.state.writeIndex, index);
        for (uint32_t c = 0; c < channels; ++c) {
            const auto plane = conv.ring.begin() + c * (kLength + kGuard);
            EXPECT_EQ(std::vector<int32_t>(plane, plane + kLength), planes[c]) << channels << " channels, plane " << c;
            EXPECT_EQ(std::vector<int32_t>(plane + kLength, plane + kLength + kGuard), std::vector<int32_t>(kGuard, 0));
        }
        EXPECT_EQ(qirn_asrc_write_input_Q31(&conv.state, nullptr, 1), -1);
        EXPECT_EQ(qirn_asrc_write_input_Q31(&conv.state, nullptr, 0), 0);
        EXPECT_EQ(conv.state.writeIndex, index);
    }
}

// The 16-bit writers put channel c at c x L, whatever the channel count, and zeros in the same planes.
TEST(AsrcRing, SixteenBitWriterFillsPlanesLWordsApart)
{
    constexpr uint32_t kLength = 5, kGuard = 2;
    for (uint32_t channels : {1u, 2u, 3u}) {
        std::vector<int16_t> ring((kLength + kGuard) * channels, -1);
        qirn_asrc_state s{};
        qirn_asrc_init_Q15(&set64().props, ring.data(), kLength, kGuard, channels, &s);
        EXPECT_EQ(ring, std::vector<int16_t>(ring.size(), 0));
        std::vector<int16_t> expected(ring.size(), 0);
        std::vector<int16_t> frames;
        for (uint32_t k = 0; k < 7; ++k) {
            for (uint32_t c = 0; c < channels; ++c) {
                const auto v = static_cast<int16_t>(100 * c + k + 1);
                frames.push_back(v);
                expected[c * kLength + k % kLength] = v;
            }
        }
        ASSERT_EQ(qirn_asrc_write_input_Q15(&s, frames.data(), 7), 0);
        ASSERT_EQ(qirn_asrc_write_zeros_Q15(&s, 1), 0);
        for (uint32_t c = 0; c < channels; ++c)
            expected[c * kLength + 2] = 0;
        EXPECT_EQ(ring, expected) << channels << " channels";
        EXPECT_EQ(s.writeIndex, 3u);
        qirn_asrc_reset_Q15(&s);
        EXPECT_EQ(ring, std::vector<int16_t>(ring.size(), 0));
    }
}

// The readable count at the nominal step is the filled samples less the taps, and follows the step; it and the
// buffer time stay right past 65,536 frames, where a 32-bit product would overflow.
TEST(AsrcRing, CountsHoldForLongRings)
{
    AsrcSet set(1, 4, std::vector<int32_t>(16, 0));
    AsrcConverter conv(set.props, 200000, 1);
    qirn_asrc_write_zeros_Q31(&conv.state, 150000);
    EXPECT_EQ(qirn_asrc_output_avail(&conv.state), 149996);
    conv.state.step = int64_t{2} << 32;
    EXPECT_EQ(qirn_asrc_output_avail(&conv.state), 74998);
    conv.state.step = int64_t{1} << 30;
    EXPECT_EQ(qirn_asrc_output_avail(&conv.state), 200000);
    conv.state.step = 0;
    EXPECT_EQ(qirn_asrc_output_avail(&conv.state), 0);
    conv.state.step = int64_t{1} << 32;
    conv.state.readPosition = int64_t{150002} << 32;
    EXPECT_EQ(qirn_asrc_input_avail(&conv.state), 1);
    EXPECT_EQ(qirn_asrc_output_avail(&conv.state), 199994);

    struct Time {
        int32_t a, b, rate, expected;
    };
    const Time times[] = {
        {400000, 300000, 48000, 62500},    // max(b, 2a - b) = 500,000
        {100000, 300000, 44100, 40816},    // b the larger
        {-5, -20, 3, 20000},               // 2a - b = 10
        {70000, 70000, 0, 0},              // no rate
        {2000000000, 0, 1, INT32_MAX},     // saturated above
        {-2000000000, -1000000000, 1, INT32_MIN}, // saturated below
    };
    for (const Time &t : times)
        EXPECT_EQ(qirn_asrc_msec(t.a, t.b, t.rate), t.expected) << t.a << ", " << t.b << ", " << t.rate;
}

// Converters whose ring or table cannot be used: every call reports it, readers give silence, nothing is written
// outside what the caller handed over.
TEST(AsrcRing, UnusableConvertersRefuseEveryCall)
{
    AsrcSet oddPhases(3, 4, std::vector<int32_t>(24, 1 << 28));
    struct Case {
        const char *what;
        const qirn_asrc_props *props;
        uint32_t length;
        uint32_t channels;
        bool withBuffer;
        bool writable;
    };
    const Case cases[] = {
        {"no ring length", &set64().props, 0, 1, true, false},
        {"no channels", &set64().props, 64, 0, true, false},
        {"no buffer", &set64().props, 64, 1, false, false},
        {"fewer ring samples than taps", &set64().props, 55, 2, true, true},
        {"no set", nullptr, 64, 1, true, true},
        {"phase count not a power of two", &oddPhases.props, 64, 1, true, true},
    };
    for (const Case &c : cases) {
        std::vector<int32_t> ring(size_t{c.length} * c.channels + 1, 5);
        qirn_asrc_state s{};
        qirn_asrc_init_Q31(c.props, c.withBuffer ? ring.data() : nullptr, c.length, 0, c.channels, &s);
        std::vector<int32_t> out(4 * size_t{c.channels} + 1, 9);
        EXPECT_EQ(qirn_asrc_read_output_cubic_Q31(&s, out.data(), 4), -1) << c.what;
        EXPECT_EQ(qirn_asrc_read_output_linear_Q31(&s, out.data(), 4), -1) << c.what;
        std::vector<int32_t> silence(out.size(), 0);
        silence.back() = 9;
        EXPECT_EQ(out, silence) << c.what;
        const std::vector<int32_t> frames(8 * 3, 1);
        EXPECT_EQ(qirn_asrc_write_input_Q31(&s, frames.data(), 8), c.writable ? 0 : -1) << c.what;
        EXPECT_EQ(qirn_asrc_write_zeros_Q31(&s, 8), c.writable ? 0 : -1) << c.what;
        EXPECT_EQ(ring.back(), 5) << c.what;
        if (!c.writable) {
            EXPECT_EQ(qirn_asrc_input_avail(&s), 0) << c.what;
            EXPECT_EQ(qirn_asrc_output_avail(&s), 0) << c.what;
            EXPECT_EQ(qirn_asrc_latency(&s), 0) << c.what;
            EXPECT_EQ(qirn_asrc_regulate_fstep(&s, 8), s.step) << c.what;
        }
        qirn_asrc_reset_Q31(&s);
    }
    // A 16-bit ring is refused by the calls that take 32-bit words: it was sized for half as many bytes.
    std::vector<int16_t> halfRing(2 * 64 + 1, 5);
    qirn_asrc_state q15{};
    qirn_asrc_init_Q15(&set64().props, halfRing.data(), 64, 0, 2, &q15);
    const std::vector<int32_t> frames(2 * 64, 1);
    EXPECT_EQ(qirn_asrc_write_input_Q31(&q15, frames.data(), 64), -1);
    EXPECT_EQ(qirn_asrc_write_zeros_Q31(&q15, 64), -1);
    std::vector<int32_t> out(2 * 8, 9);
    EXPECT_EQ(qirn_asrc_read_output_cubic_Q31(&q15, out.data(), 8), -1);
    EXPECT_EQ(qirn_asrc_read_output_linear_Q31(&q15, out.data(), 8), -1);
    EXPECT_EQ(out, std::vector<int32_t>(2 * 8, 0));
    halfRing.assign(halfRing.size(), 5);
    qirn_asrc_reset_Q31(&q15);
    EXPECT_EQ(halfRing, std::vector<int16_t>(halfRing.size(), 5));
    EXPECT_EQ(qirn_asrc_write_zeros_Q15(&q15, 64), 0);
    // ... and a 32-bit ring by the 16-bit writers.
    std::vector<int32_t> wideRing(64, 5);
    qirn_asrc_state q31{};
    qirn_asrc_init_Q31(&set64().props, wideRing.data(), 64, 0, 1, &q31);
    EXPECT_EQ(qirn_asrc_write_zeros_Q15(&q31, 8), -1);

    qirn_asrc_init_Q31(&set64().props, nullptr, 10, 0, 1, nullptr);
    EXPECT_EQ(qirn_asrc_read_output_cubic_Q31(nullptr, nullptr, 4), -1);
    EXPECT_EQ(qirn_asrc_write_zeros_Q31(nullptr, 4), -1);
    EXPECT_EQ(qirn_asrc_regulate_fstep(nullptr, 4), 0);
    EXPECT_EQ(qirn_asrc_input_avail(nullptr), 0);
    EXPECT_EQ(qirn_asrc_latency(nullptr), 0);
    qirn_asrc_reset_Q15(nullptr);
}

} // namespace
