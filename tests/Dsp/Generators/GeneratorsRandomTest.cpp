// Random-number and noise kernels: the linear congruential sequence against its published first words and a model
// in unbounded integers, the noise against the range, moments and spread of uniform noise.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <string>
#include <vector>

#include "Dsp/GuardedVector.h"
#include "kve/kve_vec.h"
#include "support/PythonOracle.h"

namespace {

using kvetest::GuardedVector;
using kvetest::kGuardWord;

TEST(RandomNumbers, FirstWordsFromStateZeroAreThePublishedSequence)
{
    uint32_t state = 0;
    int32_t out[3] = {0, 0, 7};
    kve_vecRand(out, &state, 2);
    EXPECT_EQ(static_cast<uint32_t>(out[0]), 1013904223u);
    EXPECT_EQ(static_cast<uint32_t>(out[1]), 1196435762u);
    EXPECT_EQ(out[2], 7) << "a word past the count";
    EXPECT_EQ(state, 1196435762u);

    for (const int32_t n : {0, -4}) {
        state = 99;
        kve_vecRand(out, &state, n);
        EXPECT_EQ(state, 99u) << "count " << n;
        EXPECT_EQ(static_cast<uint32_t>(out[0]), 1013904223u) << "count " << n;
    }
}

TEST(RandomNumbers, ContinueFromBlockToBlockAsTheUnboundedIntegerModel)
{
    constexpr int32_t kTotal = 5000;
    const std::vector<double> expected =
        kvetest::runOracle("generators_lcg.py", {"2463534242", std::to_string(kTotal)});
    ASSERT_EQ(expected.size(), static_cast<size_t>(kTotal));
    uint32_t state = 2463534242u;
    std::vector<int32_t> out(kTotal);
    const int32_t blocks[] = {1, 7, 64, 3, 1000, 2, 256};
    int32_t done = 0;
    for (size_t b = 0; done < kTotal; ++b) {
        const int32_t n = std::min(blocks[b % std::size(blocks)], kTotal - done);
        kve_vecRand(out.data() + done, &state, n);
        done += n;
    }
    for (size_t i = 0; i < out.size(); ++i)
        ASSERT_EQ(static_cast<uint32_t>(out[i]), static_cast<uint32_t>(expected[i])) << "word " << i;
    EXPECT_EQ(state, static_cast<uint32_t>(expected.back()));
}

TEST(WhiteNoise, IsUniformOverPlusMinusTheAmplitudeWithZeroMean)
{
    constexpr int32_t kCount = 1 << 17;
    for (const float amplitude : {1.0f, 0.25f}) {
        std::vector<float> x(kCount);
        kve_vecWhiteNoise(x.data(), 1, kCount, amplitude);
        const double bound = amplitude * (1.0 + std::ldexp(1.0, -30));
        double sum = 0.0;
        double squares = 0.0;
        int bins[8] = {};
        for (const float v : x) {
            ASSERT_LE(std::fabs(v), bound);
            sum += v;
            squares += static_cast<double>(v) * v;
            const int bin = static_cast<int>((v / amplitude + 1.0) * 4.0);
            ++bins[std::min(bin, 7)];
        }
        // Uniform on [-A, A]: mean 0 with a standard error of A / sqrt(3N), mean square A^2 / 3.
        const double mean = sum / kCount;
        EXPECT_LT(std::fabs(mean), 5.0 * amplitude / std::sqrt(3.0 * kCount)) << "amplitude " << amplitude;
        EXPECT_NEAR(squares / kCount, amplitude * amplitude / 3.0, 0.01 * amplitude * amplitude);
        for (const int count : bins)
            EXPECT_NEAR(count, kCount / 8, kCount / 8 / 20) << "amplitude " << amplitude;
    }
}

TEST(WhiteNoise, FillsOnlyTheStridedSamplesAndNeverRepeatsABlock)
{
    for (const int32_t inc : {3, -2, 1}) {
        GuardedVector out(64, inc);
        kve_vecWhiteNoise(out.as<float>(), inc, 64, 0.5f);
        int changed = 0;
        for (ptrdiff_t i = 0; i < 64; ++i)
            changed += out[i] != kGuardWord;
        EXPECT_GE(changed, 63) << "increment " << inc;
        size_t outside = 0;
        for (const uint32_t w : out.words())
            outside += w != kGuardWord;
        EXPECT_EQ(outside, static_cast<size_t>(changed)) << "increment " << inc << ": a word between or around";
    }
    std::vector<float> a(32);
    std::vector<float> b(32);
    kve_vecWhiteNoise(a.data(), 1, 32, 1.0f);
    kve_vecWhiteNoise(b.data(), 1, 32, 1.0f);
    EXPECT_NE(a, b);
    float held = 5.0f;
    kve_vecWhiteNoise(&held, 1, 0, 1.0f);
    EXPECT_EQ(held, 5.0f);
}

} // namespace
