// Float block statistics (mean, average energy, RMS, variance, standard deviation and the sums) of every form
// against numpy on noise of many lengths, starts and increments. The bounds are the worst-case rounding of a
// single-precision sum of n terms, so they hold whatever order the lanes add in, yet a sample missed, taken twice
// or read from a gap (which holds NaN) breaks them.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <vector>

#include "Dsp/Statistics/StatsReference.h"
#include "kve/kve_vec_stats.h"

namespace
{

using kvetest::BlockStats;

constexpr double kUnit = 0x1p-24; // the unit roundoff of single precision

// What one form of the kernels computes on a block.
struct Results {
    float mean, energy, rms, variance, sd, sum, sumSquared;
};

// The bounds for a block of n samples with the given reference statistics.
struct Bounds {
    double sum, sumSquares, mean, energy, rms, variance, sd;
};

Bounds boundsFor(const std::vector<float> &x, const BlockStats &r)
{
    double absSum = 0.0;
    for (float v : x)
        absSum += std::fabs(v);
    const auto n = static_cast<double>(x.size());
    const double grow = (n + 8.0) * kUnit;
    Bounds b{};
    b.sum = grow * absSum + 1e-30;
    b.sumSquares = grow * r.sumSquares + 1e-30;
    b.mean = b.sum / n + kUnit * std::fabs(r.mean);
    b.energy = b.sumSquares / n + kUnit * r.meanSquare;
    b.rms = std::sqrt(b.energy) + kUnit * r.rms;
    // Two passes: the rounded mean shifts the mean squared deviation only by the square of its error.
    b.variance = grow * r.variance + 2.0 * b.mean * b.mean + 1e-30;
    b.sd = std::sqrt(b.variance) + kUnit * r.sd;
    return b;
}

void expectMatches(const Results &got, const std::vector<float> &x, const BlockStats &r, double varianceBound,
                   const char *form)
{
    const Bounds b = boundsFor(x, r);
    const double sdBound = std::sqrt(varianceBound) + kUnit * r.sd;
    EXPECT_NEAR(got.mean, r.mean, b.mean) << form << ", n = " << x.size();
    EXPECT_NEAR(got.energy, r.meanSquare, b.energy) << form << ", n = " << x.size();
    EXPECT_NEAR(got.rms, r.rms, b.rms) << form << ", n = " << x.size();
    EXPECT_NEAR(got.variance, r.variance, varianceBound) << form << ", n = " << x.size();
    EXPECT_NEAR(got.sd, r.sd, sdBound) << form << ", n = " << x.size();
    EXPECT_NEAR(got.sum, r.sum, b.sum) << form << ", n = " << x.size();
    EXPECT_NEAR(got.sumSquared, r.sumSquares, b.sumSquares) << form << ", n = " << x.size();
}

const int32_t kLengths[] = {1, 2, 3, 4, 5, 7, 8, 15, 16, 17, 19, 31, 32, 33, 63, 64, 65, 100, 255, 256, 1000};

TEST(FloatBlockStatistics, ContiguousFormsMatchNumpyFromAnyStart)
{
    // Starting one to three samples past a 16-byte boundary sends the first samples through the head of the loop.
    std::vector<std::vector<float>> blocks;
    for (int32_t n : kLengths)
        blocks.push_back(kvetest::offsetNoise(static_cast<size_t>(n), 100u + static_cast<uint64_t>(n), 0.25f));
    const std::vector<BlockStats> ref = kvetest::referenceStats(blocks);
    ASSERT_EQ(ref.size(), blocks.size());

    alignas(16) static float buffer[1024 + 4];
    for (size_t k = 0; k < blocks.size(); ++k) {
        const std::vector<float> &x = blocks[k];
        const auto n = static_cast<int32_t>(x.size());
        const Bounds b = boundsFor(x, ref[k]);
        // The one-pass variance cancels x² against the mean²: its error is relative to the mean square.
        const double onePassBound = (static_cast<double>(n) + 8.0) * kUnit * 4.0 * ref[k].meanSquare;
        for (int32_t start = 0; start < 4; ++start) {
            float *p = buffer + start;
            std::copy(x.begin(), x.end(), p);
            const Results plain{kve_vecMean(p, n),      kve_vecAvgEnergy(p, n), kve_vecRMS(p, n),
                                kve_vecVariance(p, n),  kve_vecSD(p, n),        kve_vecSum(p, n),
                                kve_vecSumSquared(p, n)};
            expectMatches(plain, x, ref[k], b.variance, "contiguous");
            const Results lanes{kve_vecMean_SIMD4(p, n),     kve_vecAvgEnergy_SIMD4(p, n), kve_vecRMS_SIMD4(p, n),
                                kve_vecVariance_SIMD4(p, n), kve_vecSD_SIMD4(p, n),        kve_vecSum(p, n),
                                kve_vecSumSquared(p, n)};
            expectMatches(lanes, x, ref[k], onePassBound, "four-lane");
        }
    }
}

TEST(FloatBlockStatistics, StridedFormsReadEachSampleAtItsIncrementAndNoOther)
{
    const int32_t incs[] = {1, 2, 3, -1, -4, 0};
    const int32_t lengths[] = {1, 2, 5, 16, 37, 300};
    std::vector<std::vector<float>> blocks;
    for (int32_t inc : incs)
        for (int32_t n : lengths)
            blocks.push_back(kvetest::asSeenAt(
                kvetest::offsetNoise(static_cast<size_t>(n), 300u + static_cast<uint64_t>(n * 7 + inc), -0.5f), inc));
    const std::vector<BlockStats> ref = kvetest::referenceStats(blocks);
    ASSERT_EQ(ref.size(), blocks.size());

    size_t k = 0;
    for (int32_t inc : incs) {
        for (int32_t n : lengths) {
            const std::vector<float> &x = blocks[k];
            const kvetest::StridedFloats s(x, inc);
            const Results got{kve_vecMeanStride(s.first(), inc, n),      kve_vecAvgEnergyStride(s.first(), inc, n),
                              kve_vecRMSStride(s.first(), inc, n),       kve_vecVarianceStride(s.first(), inc, n),
                              kve_vecSDStride(s.first(), inc, n),        kve_vecSumStride(s.first(), inc, n),
                              kve_vecSumSquaredStride(s.first(), inc, n)};
            SCOPED_TRACE(testing::Message() << "increment " << inc);
            expectMatches(got, x, ref[k], boundsFor(x, ref[k]).variance, "strided");
            ++k;
        }
    }
}

TEST(FloatBlockStatistics, EdgeBlocks)
{
    const float one[] = {-0.75f};
    const float loud[] = {3e38f};
    struct Case {
        const char *what;
        float got;
        float expected;
    } cases[] = {
        {"a single sample has variance exactly 0", kve_vecVariance(one, 1), 0.0f},
        {"a single sample, strided", kve_vecVarianceStride(one, 5, 1), 0.0f},
        {"a single sample, one pass: x² - x² is 0", kve_vecVariance_SIMD4(one, 1), 0.0f},
        {"a single huge sample keeps variance 0", kve_vecVariance(loud, 1), 0.0f},
        {"the standard deviation of one sample", kve_vecSD(one, 1), 0.0f},
        {"an empty block has mean 0", kve_vecMean(one, 0), 0.0f},
        {"an empty block has energy 0", kve_vecAvgEnergy(one, 0), 0.0f},
        {"an empty block has RMS 0", kve_vecRMS(one, -1), 0.0f},
        {"an empty block has variance 0", kve_vecVariance(one, 0), 0.0f},
        {"an empty strided block has mean 0", kve_vecMeanStride(one, 1, 0), 0.0f},
        {"an empty strided block has RMS 0", kve_vecRMSStride(one, 1, -2), 0.0f},
        {"an empty strided block has sum 0", kve_vecSumStride(one, 1, -2), 0.0f},
        {"an empty block, one pass, has SD 0", kve_vecSD_SIMD4(one, 0), 0.0f},
        {"an empty block has sum 0", kve_vecSum(one, 0), 0.0f},
        {"an empty block has sum of squares 0", kve_vecSumSquared(one, 0), 0.0f},
    };
    for (const Case &c : cases)
        EXPECT_EQ(c.got, c.expected) << c.what;
}

TEST(FloatBlockStatistics, OnePassVarianceOfConstantBlocksIsNeverNegative)
{
    // Rounding leaves sum of x² - (sum of x)² / n a little either side of 0 on constant data; the variance stays at
    // or above 0 and its square root a number.
    for (float level : {0.1f, 0.3f, -0.7f, 0.123456f, 1e-3f, 0.9999f}) {
        for (int32_t n : {3, 7, 100, 999, 1000, 4097}) {
            const std::vector<float> x(static_cast<size_t>(n), level);
            const float v = kve_vecVariance_SIMD4(x.data(), n);
            EXPECT_GE(v, 0.0f) << level << " x " << n;
            EXPECT_LE(v, 1e-5f * level * level) << level << " x " << n;
            EXPECT_FALSE(std::isnan(kve_vecSD_SIMD4(x.data(), n))) << level << " x " << n;
        }
    }
}

} // namespace
