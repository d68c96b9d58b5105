// FIR filters: the float filter on its linear history against numpy.convolve, the Fract32 filter on its ring against
// an exact integer model, both carried across calls of every length so that several short blocks equal one long
// run.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <string>
#include <vector>

#include "Dsp/ExactModels.h"
#include "Dsp/Fir/FirSignals.h"
#include "Dsp/GuardedVector.h"
#include "kve/kve_vec.h"
#include "support/PythonOracle.h"

namespace {

using kvetest::bitsOf;
using kvetest::firBlockLengths;
using kvetest::firNoise;
using kvetest::firNoiseWords;

const float kGuardValue = kvetest::floatOf(kvetest::kGuardWord);

// Runs the float filter over x in calls of the given lengths, the coefficients time-reversed as the kernel takes
// them. The state is numTaps - 1 + (longest call) words; each call must leave the words past its own numTaps - 1 + n
// alone.
std::vector<float> runFloatFir(const std::vector<float> &h, const std::vector<float> &x,
                               const std::vector<int32_t> &lengths)
{
    const std::vector<float> reversed(h.rbegin(), h.rend());
    const size_t kept = h.size() - 1;
    std::vector<float> state(kept + static_cast<size_t>(*std::max_element(lengths.begin(), lengths.end())) + 4, 0.0f);
    std::vector<float> y(x.size());
    size_t done = 0;
    for (int32_t len : lengths) {
        std::fill(state.begin() + static_cast<ptrdiff_t>(kept) + len, state.end(), kGuardValue);
        kve_vecFIR(x.data() + done, 1, y.data() + done, 1, reversed.data(), state.data(), len,
                   static_cast<int32_t>(h.size()));
        for (size_t k = kept + static_cast<size_t>(len); k < state.size(); ++k)
            EXPECT_EQ(bitsOf(state[k]), kvetest::kGuardWord) << "state word " << k << " after a call of " << len;
        done += static_cast<size_t>(len);
    }
    return y;
}

TEST(FloatFir, IsTheConvolutionWithItsTapsCarriedAcrossCalls)
{
    for (int32_t numTaps : {1, 2, 3, 4, 5, 15, 16, 17, 20, 33, 64, 67}) {
        const std::vector<float> h = firNoise(static_cast<size_t>(numTaps), 10u + static_cast<uint64_t>(numTaps), 0.5f);
        const std::vector<float> x = firNoise(300, 20u + static_cast<uint64_t>(numTaps));
        std::vector<std::string> args = {"convolve", std::to_string(numTaps)};
        kvetest::appendOracleArgs(args, h);
        kvetest::appendOracleArgs(args, x);
        const std::vector<double> expected = kvetest::runOracle("fir_filter.py", args);
        ASSERT_EQ(expected.size(), x.size()) << numTaps << " taps";

        const std::vector<int32_t> lengths = firBlockLengths(static_cast<int32_t>(x.size()));
        const std::vector<float> y = runFloatFir(h, x, lengths);
        double sumAbs = 0.0;
        for (float c : h)
            sumAbs += std::fabs(c);
        const double tol = (numTaps + 2) * 0x1p-24 * sumAbs;
        for (size_t i = 0; i < x.size(); ++i)
            ASSERT_NEAR(y[i], expected[i], tol) << numTaps << " taps, sample " << i;

        // Where a sample falls in a call does not change its sum.
        const std::vector<float> whole = runFloatFir(h, x, {static_cast<int32_t>(x.size())});
        for (size_t i = 0; i < x.size(); ++i)
            ASSERT_EQ(bitsOf(whole[i]), bitsOf(y[i])) << numTaps << " taps, one call, sample " << i;
    }
}

TEST(FloatFir, ReadsAndWritesAlongItsIncrementsAndRunsInPlace)
{
    const int32_t numTaps = 21;
    const int32_t n = 45;
    const std::vector<float> coeffs = firNoise(numTaps, 3);
    const std::vector<float> x = firNoise(n, 4);
    std::vector<float> state(numTaps - 1 + n, 0.0f);
    std::vector<float> expected(n);
    kve_vecFIR(x.data(), 1, expected.data(), 1, coeffs.data(), state.data(), n, numTaps);

    const struct {
        int32_t srcInc;
        int32_t dstInc;
    } cases[] = {{3, 2}, {2, -1}, {0, 1}, {1, 0}};
    for (const auto &c : cases) {
        kvetest::GuardedVector src(n, c.srcInc);
        for (int32_t i = 0; i < n; ++i)
            src[i] = bitsOf(x[static_cast<size_t>(c.srcInc == 0 ? n - 1 : i)]);
        kvetest::GuardedVector dst(n, c.dstInc);
        std::fill(state.begin(), state.end(), 0.0f);
        kve_vecFIR(src.as<float>(), c.srcInc, dst.as<float>(), c.dstInc, coeffs.data(), state.data(), n, numTaps);
        if (c.srcInc == 0) {
            // One sample read n times: the sums of the filter's step response.
            std::vector<float> steady(static_cast<size_t>(n), x.back());
            std::vector<float> reference(static_cast<size_t>(n));
            std::fill(state.begin(), state.end(), 0.0f);
            kve_vecFIR(steady.data(), 1, reference.data(), 1, coeffs.data(), state.data(), n, numTaps);
            for (int32_t i = 0; i < n; ++i)
                ASSERT_EQ(dst[i], bitsOf(reference[static_cast<size_t>(i)])) << "input increment 0, sample " << i;
        } else if (c.dstInc == 0) {
            EXPECT_EQ(dst[0], bitsOf(expected.back())) << "output increment 0 keeps the last sample";
        } else {
            for (int32_t i = 0; i < n; ++i)
                ASSERT_EQ(dst[i], bitsOf(expected[static_cast<size_t>(i)]))
                    << "increments " << c.srcInc << ", " << c.dstInc << ", sample " << i;
        }
        const std::vector<uint32_t> &words = dst.words();
        for (ptrdiff_t g = 0; g < kvetest::GuardedVector::kGuards; ++g) {
            EXPECT_EQ(words[static_cast<size_t>(g)], kvetest::kGuardWord);
            EXPECT_EQ(words[words.size() - 1 - static_cast<size_t>(g)], kvetest::kGuardWord);
        }
    }

    std::vector<float> inPlace = x;
    std::fill(state.begin(), state.end(), 0.0f);
    kve_vecFIR(inPlace.data(), 1, inPlace.data(), 1, coeffs.data(), state.data(), n, numTaps);
    for (int32_t i = 0; i < n; ++i)
        ASSERT_EQ(bitsOf(inPlace[static_cast<size_t>(i)]), bitsOf(expected[static_cast<size_t>(i)])) << "in place " << i;
}

// The ring filter, exactly: sums of floor products (each clamped at 0x7FFFFFFF) in 128 bits, scaled by 2^shift
// rounding toward minus infinity, clamped; samples before the first are 0.
std::vector<int32_t> exactFir(const std::vector<int32_t> &x, const std::vector<int32_t> &h, int32_t shift)
{
    std::vector<int32_t> y(x.size());
    for (size_t i = 0; i < x.size(); ++i) {
        __int128 sum = 0;
        for (size_t j = 0; j < h.size() && j <= i; ++j)
            sum += kvetest::exactFract32Product(x[i - j], h[j]);
        y[i] = kvetest::clampTo32(kvetest::scaleByPow2(sum, shift));
    }
    return y;
}

TEST(Fract32Fir, IsTheExactRingFilterCarriedAcrossCalls)
{
    // Full-scale taps and samples: sums leave the 32-bit range, so the shift decides what saturates.
    const struct {
        int32_t numTaps;
        int32_t postShift;
    } cases[] = {{1, 0}, {2, 1}, {3, -2}, {7, 0}, {16, -4}, {31, 3}, {64, -6}, {5, 31}, {5, 40}, {9, -31}, {9, -70}};
    for (const auto &c : cases) {
        const std::vector<int32_t> h = firNoiseWords(static_cast<size_t>(c.numTaps), 30u + static_cast<uint64_t>(c.numTaps));
        std::vector<int32_t> x = firNoiseWords(250, 40u + static_cast<uint64_t>(c.numTaps));
        if (c.postShift > 0) {
            for (int32_t &v : x)
                v >>= 12; // small enough that not every output saturates
        }
        const std::vector<int32_t> expected = exactFir(x, h, c.postShift);

        std::vector<int32_t> state(static_cast<size_t>(c.numTaps), 0);
        const int32_t start = c.numTaps / 2;
        int32_t index = start;
        std::vector<int32_t> y(x.size(), 0x5A5A5A5A);
        size_t done = 0;
        for (int32_t len : firBlockLengths(static_cast<int32_t>(x.size()))) {
            kve_vecFIRFract32(x.data() + done, 1, y.data() + done, 1, h.data(), state.data(), len, c.numTaps, &index,
                              c.postShift);
            done += static_cast<size_t>(len);
        }
        for (size_t i = 0; i < x.size(); ++i)
            ASSERT_EQ(y[i], expected[i]) << c.numTaps << " taps, shift " << c.postShift << ", sample " << i;
        EXPECT_EQ(index, (start + static_cast<int32_t>(x.size())) % c.numTaps);
    }
}

TEST(Fract32Fir, ClampsEachProductBeforeTheSumAndTheShift)
{
    const struct {
        int32_t coeff;
        int32_t x;
        int32_t postShift;
        int32_t expected;
    } cases[] = {
        {INT32_MAX, 0x40000000, 0, 0x3FFFFFFF}, // x (1 - 2^-31), rounded down
        {INT32_MIN, INT32_MIN, 0, INT32_MAX},   // -1 x -1
        {INT32_MIN, INT32_MIN, -1, 0x3FFFFFFF}, // the product is clamped before the shift
        {0x40000000, -0x40000000, -31, -1},     // right shifts round toward minus infinity
    };
    for (const auto &c : cases) {
        int32_t state = 0;
        int32_t index = 0;
        int32_t y = 0;
        kve_vecFIRFract32(&c.x, 1, &y, 1, &c.coeff, &state, 1, 1, &index, c.postShift);
        EXPECT_EQ(y, c.expected) << std::hex << c.coeff << " x " << c.x << " shift " << std::dec << c.postShift;
    }
    // Three full-scale products sum past 32 bits and come back into range under a right shift.
    const int32_t h[3] = {INT32_MAX, INT32_MAX, INT32_MAX};
    const int32_t x[3] = {INT32_MAX, INT32_MAX, INT32_MAX};
    int32_t state[3] = {};
    int32_t index = 0;
    int32_t y[3];
    kve_vecFIRFract32(x, 1, y, 1, h, state, 3, 3, &index, -2);
    EXPECT_EQ(y[2], static_cast<int32_t>((3 * int64_t{INT32_MAX - 1}) >> 2));
}

} // namespace
