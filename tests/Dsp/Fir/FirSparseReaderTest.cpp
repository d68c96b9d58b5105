// Sparse tap readers: weighted samples taken at given delays behind a read position in a ring that another module
// writes. The float reader against a double-precision sum, the Fract32 and Q15 readers against exact integer models;
// rings shorter and longer than a block, delays of 0, across the wrap and beyond the ring length.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <string>
#include <vector>

#include "Dsp/ExactModels.h"
#include "Dsp/Fir/FirSignals.h"
#include "Dsp/GuardedVector.h"
#include "kve/kve_vec.h"

namespace {

using kvetest::bitsOf;
using kvetest::firNoise;
using kvetest::firNoiseWords;

struct Ring {
    int32_t bufLen;
    int32_t readIndex;
    std::vector<uint32_t> delays;
};

const Ring kRings[] = {
    {37, 30, {0, 1, 5, 31, 36, 37, 100}}, // delays past the read position wrap; 37 and 100 go round the ring
    {5, 3, {0, 2, 4}},                    // a ring shorter than a block of eight
    {1024, 1020, {0, 7, 256, 1023}},      // reads across the wrap
    {64, 0, {3}},
};

const int32_t kCounts[] = {1, 3, 7, 8, 9, 13, 16, 21, 64};

// The ring index of output i's tap t.
size_t tapPosition(const Ring &r, int32_t i, uint32_t delay)
{
    const int64_t p = (int64_t{r.readIndex} + i - int64_t{delay}) % r.bufLen;
    return static_cast<size_t>(p < 0 ? p + r.bufLen : p);
}

std::string describe(const Ring &r, int32_t n)
{
    return "ring " + std::to_string(r.bufLen) + " read at " + std::to_string(r.readIndex) + ", n " + std::to_string(n);
}

TEST(FloatSparseReader, SumsTheWeightedTapsOfAnyCount)
{
    for (const Ring &r : kRings) {
        const std::vector<float> line = firNoise(static_cast<size_t>(r.bufLen), 130);
        const std::vector<float> gains = firNoise(r.delays.size(), 140);
        const auto numTaps = static_cast<int32_t>(r.delays.size());
        for (int32_t n : kCounts) {
            kvetest::GuardedVector dst(n, 1);
            kve_vecFIRSparseReader(r.delays.data(), dst.as<float>(), gains.data(), numTaps, n, r.readIndex, r.bufLen,
                                   line.data());
            for (int32_t i = 0; i < n; ++i) {
                double expected = 0.0, bound = 0.0;
                for (size_t t = 0; t < r.delays.size(); ++t) {
                    const double term = static_cast<double>(gains[t]) * line[tapPosition(r, i, r.delays[t])];
                    expected += term;
                    bound += std::fabs(term);
                }
                ASSERT_NEAR(kvetest::floatOf(dst[i]), expected, (numTaps + 1) * 0x1p-24 * bound)
                    << describe(r, n) << ", output " << i;
                // Blocks of eight and single outputs are formed alike: output i alone, read at its own position.
                float alone = 0.0f;
                kve_vecFIRSparseReader(r.delays.data(), &alone, gains.data(), numTaps, 1, r.readIndex + i, r.bufLen,
                                       line.data());
                ASSERT_EQ(dst[i], bitsOf(alone)) << describe(r, n) << ", output " << i;
            }
            EXPECT_EQ(dst.words().back(), kvetest::kGuardWord) << describe(r, n);
        }
    }
}

// The exact reader: products by the given rule, summed in 128 bits, scaled by 2^shift rounding toward minus
// infinity, clamped.
template <typename Sample, typename Product>
std::vector<int32_t> exactSparse(const Ring &r, const std::vector<Sample> &line, const std::vector<Sample> &gains,
                                 int32_t n, int32_t shift, Product product)
{
    std::vector<int32_t> y(static_cast<size_t>(n));
    for (int32_t i = 0; i < n; ++i) {
        __int128 sum = 0;
        for (size_t t = 0; t < r.delays.size(); ++t)
            sum += product(line[tapPosition(r, i, r.delays[t])], gains[t]);
        y[static_cast<size_t>(i)] = kvetest::clampTo32(kvetest::scaleByPow2(sum, shift));
    }
    return y;
}

const int32_t kShifts[] = {0, -3, 2, 40, -70};

TEST(Fract32SparseReader, IsTheExactSumOfTapProducts)
{
    for (const Ring &r : kRings) {
        const std::vector<int32_t> line = firNoiseWords(static_cast<size_t>(r.bufLen), 150);
        const std::vector<int32_t> gains = firNoiseWords(r.delays.size(), 160);
        for (int32_t shift : kShifts) {
            const int32_t n = 21;
            const std::vector<int32_t> expected =
                exactSparse(r, line, gains, n, shift, [](int32_t s, int32_t g) { return kvetest::exactFract32Product(s, g); });
            kvetest::GuardedVector dst(n, 1);
            kve_vecFIRSparseReaderFract32(r.delays.data(), dst.as<int32_t>(), gains.data(),
                                          static_cast<int32_t>(r.delays.size()), n, r.readIndex, r.bufLen, line.data(),
                                          shift);
            for (int32_t i = 0; i < n; ++i)
                ASSERT_EQ(kvetest::intOf(dst[i]), expected[static_cast<size_t>(i)])
                    << describe(r, n) << ", shift " << shift << ", output " << i;
            EXPECT_EQ(dst.words().back(), kvetest::kGuardWord);
        }
    }
}

// A Q15 sample times a Q15 gain is a Q31 word; -1 x -1 is held at the largest one.
int32_t exactQ31(int16_t s, int16_t g) { return kvetest::clampTo32(static_cast<__int128>(s) * g * 2); }

TEST(Fract16SparseReader, IsTheExactSumOfQ31TapProducts)
{
    for (const Ring &r : kRings) {
        std::vector<int16_t> line, gains;
        for (int32_t w : firNoiseWords(static_cast<size_t>(r.bufLen), 170))
            line.push_back(static_cast<int16_t>(w >> 16));
        for (int32_t w : firNoiseWords(r.delays.size(), 180))
            gains.push_back(static_cast<int16_t>(w >> 16));
        for (int32_t shift : kShifts) {
            const int32_t n = 21;
            const std::vector<int32_t> expected = exactSparse(r, line, gains, n, shift, exactQ31);
            kvetest::GuardedVector dst(n, 1);
            kve_vecFIRSparseReaderFract16(r.delays.data(), dst.as<int32_t>(), gains.data(),
                                          static_cast<int32_t>(r.delays.size()), n, r.readIndex, r.bufLen, line.data(),
                                          shift);
            for (int32_t i = 0; i < n; ++i)
                ASSERT_EQ(kvetest::intOf(dst[i]), expected[static_cast<size_t>(i)])
                    << describe(r, n) << ", shift " << shift << ", output " << i;
            EXPECT_EQ(dst.words().back(), kvetest::kGuardWord);
        }
    }
    // -1 x -1 does not wrap to -1.0.
    const uint32_t delay = 0;
    const int16_t minusOne = INT16_MIN;
    int32_t y = 0;
    kve_vecFIRSparseReaderFract16(&delay, &y, &minusOne, 1, 1, 0, 1, &minusOne, 0);
    EXPECT_EQ(y, INT32_MAX);
}

} // namespace
