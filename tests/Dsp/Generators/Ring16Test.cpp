// The 16-bit delay lines: how Fract32 and float samples round to 16 bits (a table of hand-worked words, and the
// exact rounding over many words), how the stored samples read back, and the delay across blocks.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <limits>
#include <random>
#include <vector>

#include "Dsp/ExactModels.h"
#include "Dsp/Generators/RingModels.h"
#include "kve/kve_vec.h"

namespace {

using kvetest::ringPosition;

// The top 16 bits of a Fract32 rounded half up, held at 32767: floor((x + 2^15) / 2^16) in 128 bits.
int16_t rounded16(Fract32 x)
{
    const __int128 v = kvetest::floorDivPow2(static_cast<__int128>(x) + 32768, 16);
    return static_cast<int16_t>(v > 32767 ? 32767 : v);
}

// Stores one sample through the strided writer and returns it.
int16_t store16(Fract32 x)
{
    int16_t ring[3] = {111, 111, 111};
    int32_t idx = 1;
    kve_vecCircWrite16(ring, 3, &idx, 1, &x, 1, 1);
    EXPECT_EQ(ring[0], 111);
    EXPECT_EQ(ring[2], 111);
    EXPECT_EQ(idx, 2);
    return ring[1];
}

TEST(Ring16Bit, RoundsFract32ToTheNearest16BitSampleHalfUpAndHoldsFullScale)
{
    struct Case {
        uint32_t x;
        int16_t stored;
    };
    const Case cases[] = {
        {0x7FFFFFFFu, 32767},  {0x80000000u, -32768}, {0x00008000u, 1},      {0x00007FFFu, 0},
        {0xFFFF8000u, 0},      {0xFFFF7FFFu, -1},     {0x7FFF7FFFu, 32767},  {0x7FFF7FFEu, 32767},
        {0x7FFE7FFFu, 32766},  {0x00018000u, 2},      {0xFFFE8000u, -1},     {0xFFFE7FFFu, -2},
        {0x80008000u, -32767}, {0x80007FFFu, -32768}, {0x00000000u, 0},      {0x40000000u, 16384},
    };
    for (const Case &c : cases) {
        const auto x = static_cast<Fract32>(c.x);
        EXPECT_EQ(store16(x), c.stored) << std::hex << c.x;
        EXPECT_EQ(rounded16(x), c.stored) << std::hex << c.x << " (the model)";
    }
    std::mt19937 rng(7);
    for (int i = 0; i < 20000; ++i) {
        const auto x = static_cast<Fract32>(rng());
        ASSERT_EQ(store16(x), rounded16(x)) << std::hex << x;
    }
}

TEST(Ring16Bit, WritesStridedSamplesAtTheModularPositions)
{
    struct Walk {
        int32_t len, idx, step, inc, n;
    };
    const Walk walks[] = {{8, 7, 1, 1, 1}, {8, 0, -1, 1, 1}, {8, 3, 3, 2, 19}, {8, -2, -11, -1, 9}, {1, 4, 2, 1, 3}};
    for (const Walk &w : walks) {
        std::vector<Fract32> src(static_cast<size_t>(w.n * std::abs(w.inc)));
        const Fract32 *first = src.data() + (w.inc < 0 ? src.size() - 1 : 0);
        for (int32_t k = 0; k < w.n; ++k)
            const_cast<Fract32 *>(first)[k * w.inc] = static_cast<Fract32>(0x12345678u * static_cast<uint32_t>(k + 1));
        std::vector<int16_t> ring(static_cast<size_t>(w.len) + 2, 555);
        std::vector<int16_t> expected = ring;
        for (int32_t k = 0; k < w.n; ++k)
            expected[1 + static_cast<size_t>(ringPosition(w.idx, w.step, k, w.len))] = rounded16(first[k * w.inc]);
        int32_t idx = w.idx;
        kve_vecCircWrite16(ring.data() + 1, w.len, &idx, w.step, first, w.inc, w.n);
        EXPECT_EQ(ring, expected) << "len " << w.len << " idx " << w.idx << " step " << w.step;
        EXPECT_EQ(idx, ringPosition(w.idx, w.step, w.n, w.len));
    }
}

TEST(Ring16Bit, StoresFloatsTimes32768PlusOneHalfTruncatedAndReadsBackOver32767)
{
    struct Case {
        float x;
        int16_t stored;
    };
    const float inf = std::numeric_limits<float>::infinity();
    const Case cases[] = {
        {1.0f, 32767},         {0.999985f, 32767},     {0.99999f, 32767},      {0.9999f, 32765},
        {-1.0f, -32767},       {-2.0f, -32767},        {2.0f, 32767},          {inf, 32767},
        {-inf, -32767},        {-0.00001f, 0},         {0.5f, 16384},          {0.5f / 32768.0f, 1},
        {0.49f / 32768.0f, 0}, {-1.0f / 32768.0f, 0},  {-3.0f / 32768.0f, -2}, {0.0f, 0},
        {std::numeric_limits<float>::quiet_NaN(), 0},
    };
    for (const Case &c : cases) {
        int16_t ring[3] = {111, 111, 111};
        int32_t w = 1;
        int32_t r = 1;
        float out = 0.0f;
        kve_vecCircWriteRead16Float(ring + 1, 1, &w, &r, &c.x, &out, 1);
        EXPECT_EQ(ring[1], c.stored) << c.x;
        EXPECT_EQ(ring[0], 111);
        EXPECT_EQ(ring[2], 111);
        EXPECT_NEAR(out, c.stored / 32767.0, 1e-7) << c.x;
        EXPECT_EQ(w, 0);
        EXPECT_EQ(r, 0);
    }
}

TEST(Ring16Bit, DelayLinesDelayByTheGapBetweenTheIndicesAcrossBlocks)
{
    constexpr int32_t kLen = 40;
    constexpr int32_t kBlock = 16;
    for (const int32_t delay : {0, 1, 13, kLen - 1}) {
        std::vector<int16_t> fixedRing(kLen, 0);
        std::vector<int16_t> floatRing(kLen, 0);
        int32_t fw = 3;
        int32_t fr = 3 - delay + kLen;
        int32_t gw = 3;
        int32_t gr = 3 - delay; // a negative read index counts from the end
        std::vector<Fract32> in(kBlock);
        std::vector<Fract32> out(kBlock);
        std::vector<float> floatIn(kBlock);
        std::vector<float> floatOut(kBlock);
        const auto sample = [](int32_t t) { return static_cast<Fract32>(static_cast<uint32_t>(t) * 0x9E3779B9u); };
        for (int32_t blk = 0; blk < 30; ++blk) {
            for (int32_t i = 0; i < kBlock; ++i) {
                in[static_cast<size_t>(i)] = sample(blk * kBlock + i);
                floatIn[static_cast<size_t>(i)] = static_cast<float>(sample(blk * kBlock + i)) * 0x1p-31f;
            }
            kve_vecCircWriteRead16(fixedRing.data(), kLen, &fw, &fr, in.data(), out.data(), kBlock);
            kve_vecCircWriteRead16Float(floatRing.data(), kLen, &gw, &gr, floatIn.data(), floatOut.data(), kBlock);
            for (int32_t i = 0; i < kBlock; ++i) {
                const int32_t t = blk * kBlock + i - delay;
                const int16_t held = t < 0 ? 0 : rounded16(sample(t));
                ASSERT_EQ(out[static_cast<size_t>(i)], static_cast<Fract32>(static_cast<uint32_t>(held) << 16))
                    << "delay " << delay << " sample " << blk * kBlock + i;
                // A float sample is the Fract32 one over 2^31, so it stores within one step of the same word.
                ASSERT_LE(std::abs(std::lround(floatOut[static_cast<size_t>(i)] * 32767.0) - held), 1)
                    << "delay " << delay << " sample " << blk * kBlock + i;
            }
        }
        EXPECT_EQ(fw, ringPosition(3, 1, 30 * kBlock, kLen));
        EXPECT_EQ(fr, ringPosition(3 - delay, 1, 30 * kBlock, kLen));
        EXPECT_EQ(gr, fr);
    }
}

} // namespace
