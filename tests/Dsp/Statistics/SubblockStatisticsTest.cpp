// Per-subblock statistics: each of numSubblocks results is the statistic of its own n / numSubblocks samples
// (float against numpy, Fract32 against exact integer models), samples past the last whole subblock are left out,
// and a count of subblocks below 1 writes nothing.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <vector>

#include "Dsp/ExactModels.h"
#include "Dsp/Fir/FirSignals.h"
#include "Dsp/GuardedVector.h"
#include "Dsp/Statistics/StatsReference.h"
#include "kve/kve_vec_math.h"
#include "kve/kve_vec_stats.h"

namespace
{

using kvetest::BlockStats;
using kvetest::clampTo32;
using kvetest::floorDivPow2;

using FloatSubblocks = void (*)(const float *, float *, int32_t, int32_t);
using Fract32Subblocks = void (*)(const Fract32 *, Fract32 *, int32_t, int32_t);

struct FloatKernel {
    const char *name;
    FloatSubblocks kernel;
    double (*expected)(const BlockStats &);
    double (*bound)(const BlockStats &, double len); // rounding of a single-precision sum of len terms
};

constexpr double kUnit = 0x1p-24;

const FloatKernel kFloatKernels[] = {
    {"Mean", kve_vecMeanSubblock, [](const BlockStats &r) { return r.mean; },
     [](const BlockStats &, double len) { return (len + 4) * kUnit * 2.0; }},
    {"RMS", kve_vecRMSSubblock, [](const BlockStats &r) { return r.rms; },
     [](const BlockStats &r, double len) { return std::sqrt((len + 4) * kUnit * r.meanSquare) + kUnit; }},
    {"AvgEnergy", kve_vecAvgEnergySubblock, [](const BlockStats &r) { return r.meanSquare; },
     [](const BlockStats &r, double len) { return (len + 4) * kUnit * r.meanSquare; }},
    {"Variance", kve_vecVarianceSubblock, [](const BlockStats &r) { return r.variance; },
     [](const BlockStats &r, double len) { return (len + 8) * kUnit * (r.variance + 1e-6); }},
    {"SD", kve_vecSDSubblock, [](const BlockStats &r) { return r.sd; },
     [](const BlockStats &r, double len) { return std::sqrt((len + 8) * kUnit * (r.variance + 1e-6)) + kUnit; }},
    {"Sum", kve_vecSumSubblock, [](const BlockStats &r) { return r.sum; },
     [](const BlockStats &, double len) { return (len + 4) * kUnit * 2.0 * len; }},
    {"SumSquared", kve_vecSumSquaredSubblock, [](const BlockStats &r) { return r.sumSquares; },
     [](const BlockStats &r, double len) { return (len + 4) * kUnit * r.sumSquares; }},
    {"Max", kve_vecMaxSubblock, [](const BlockStats &r) { return r.max; },
     [](const BlockStats &, double) { return 0.0; }},
    {"Min", kve_vecMinSubblock, [](const BlockStats &r) { return r.min; },
     [](const BlockStats &, double) { return 0.0; }},
    {"MaxAbs", kve_vecMaxAbsSubblock, [](const BlockStats &r) { return r.maxAbs; },
     [](const BlockStats &, double) { return 0.0; }},
};

struct Shape {
    int32_t n;
    int32_t numSubblocks;
};
const Shape kShapes[] = {{10, 3}, {64, 4}, {100, 7}, {256, 1}, {35, 5}, {1000, 16}, {21, 20}};

TEST(SubblockStatistics, FloatFormsMatchNumpyPerSubblock)
{
    std::vector<std::vector<float>> blocks;
    std::vector<std::vector<float>> signals;
    for (const Shape &s : kShapes) {
        // A large last sample shows whether the samples past the whole subblocks are read.
        std::vector<float> x = kvetest::offsetNoise(static_cast<size_t>(s.n), 900u + static_cast<uint64_t>(s.n), 0.2f);
        const int32_t len = s.n / s.numSubblocks;
        if (len * s.numSubblocks < s.n)
            x.back() = 1e30f;
        for (int32_t j = 0; j < s.numSubblocks; ++j)
            blocks.emplace_back(x.begin() + j * len, x.begin() + (j + 1) * len);
        signals.push_back(x);
    }
    const std::vector<BlockStats> ref = kvetest::referenceStats(blocks);
    ASSERT_EQ(ref.size(), blocks.size());

    for (const FloatKernel &k : kFloatKernels) {
        size_t row = 0;
        for (size_t s = 0; s < std::size(kShapes); ++s) {
            const Shape shape = kShapes[s];
            const double len = shape.n / shape.numSubblocks;
            kvetest::GuardedVector dst(shape.numSubblocks, 1);
            k.kernel(signals[s].data(), dst.as<float>(), shape.n, shape.numSubblocks);
            for (int32_t j = 0; j < shape.numSubblocks; ++j, ++row)
                EXPECT_NEAR(kvetest::floatOf(dst[j]), k.expected(ref[row]), k.bound(ref[row], len))
                    << k.name << ", n = " << shape.n << ", subblock " << j << " of " << shape.numSubblocks;
            for (ptrdiff_t g = 0; g < kvetest::GuardedVector::kGuards; ++g) {
                EXPECT_EQ(dst[-1 - g], kvetest::kGuardWord) << k.name;
                EXPECT_EQ(dst[shape.numSubblocks + g], kvetest::kGuardWord) << k.name;
            }
        }
    }
}

// Exact models of one Fract32 subblock, each from the samples alone.
int32_t modelSum(const std::vector<int32_t> &x)
{
    __int128 s = 0;
    for (int32_t v : x)
        s += v;
    return clampTo32(s);
}

__int128 squaresOf(const std::vector<int32_t> &x)
{
    __int128 s = 0;
    for (int32_t v : x)
        s += clampTo32(floorDivPow2(static_cast<__int128>(v) * v, 31));
    return s;
}

int32_t modelMean(const std::vector<int32_t> &x)
{
    __int128 s = 0;
    for (int32_t v : x)
        s += v;
    const __int128 n = static_cast<__int128>(x.size());
    return static_cast<int32_t>(s < 0 ? -(-s / n) : s / n);
}

int32_t modelEnergy(const std::vector<int32_t> &x)
{
    return static_cast<int32_t>(squaresOf(x) / x.size());
}

int32_t modelVariance(const std::vector<int32_t> &x)
{
    const __int128 m = modelMean(x);
    __int128 s = 0;
    for (int32_t v : x)
        s += floorDivPow2((v - m) * (v - m), 31);
    return clampTo32(s / static_cast<__int128>(x.size()));
}

int32_t rootOf(int32_t v)
{
    Fract32 r = 0;
    kve_vecSqrtFract32(&v, 1, &r, 1, 1);
    return r;
}

struct Fract32Kernel {
    const char *name;
    Fract32Subblocks kernel;
    int32_t (*model)(const std::vector<int32_t> &);
};

const Fract32Kernel kFract32Kernels[] = {
    {"Mean", kve_vecMeanSubblockFract32, modelMean},
    {"AvgEnergy", kve_vecAvgEnergySubblockFract32, modelEnergy},
    {"RMS", kve_vecRMSSubblockFract32, [](const std::vector<int32_t> &x) { return rootOf(modelEnergy(x)); }},
    {"Variance", kve_vecVarianceSubblockFract32, modelVariance},
    {"SD", kve_vecSDSubblockFract32, [](const std::vector<int32_t> &x) { return rootOf(modelVariance(x)); }},
    {"Sum", kve_vecSumSubblockFract32, modelSum},
    {"SumSquared", kve_vecSumSquaredSubblockFract32,
     [](const std::vector<int32_t> &x) { return clampTo32(squaresOf(x)); }},
    {"Max", kve_vecMaxSubblockFract32,
     [](const std::vector<int32_t> &x) { return *std::max_element(x.begin(), x.end()); }},
    {"Min", kve_vecMinSubblockFract32,
     [](const std::vector<int32_t> &x) { return *std::min_element(x.begin(), x.end()); }},
    {"MaxAbs", kve_vecMaxAbsSubblockFract32,
     [](const std::vector<int32_t> &x) {
         int64_t peak = 0;
         for (int32_t v : x)
             peak = std::max<int64_t>(peak, std::llabs(v));
         return static_cast<int32_t>(std::min<int64_t>(peak, INT32_MAX));
     }},
};

TEST(SubblockStatistics, Fract32FormsMatchTheExactModelPerSubblock)
{
    for (const Shape &s : kShapes) {
        std::vector<int32_t> x = kvetest::firNoiseWords(static_cast<size_t>(s.n), 1200u + static_cast<uint64_t>(s.n));
        const int32_t len = s.n / s.numSubblocks;
        if (len * s.numSubblocks < s.n)
            x.back() = INT32_MIN; // left out: it would be every subblock's smallest and largest magnitude
        for (const Fract32Kernel &k : kFract32Kernels) {
            kvetest::GuardedVector dst(s.numSubblocks, 1);
            k.kernel(x.data(), dst.as<int32_t>(), s.n, s.numSubblocks);
            for (int32_t j = 0; j < s.numSubblocks; ++j) {
                const std::vector<int32_t> sub(x.begin() + j * len, x.begin() + (j + 1) * len);
                EXPECT_EQ(kvetest::intOf(dst[j]), k.model(sub))
                    << k.name << ", n = " << s.n << ", subblock " << j << " of " << s.numSubblocks;
            }
            EXPECT_EQ(dst[-1], kvetest::kGuardWord) << k.name;
            EXPECT_EQ(dst[s.numSubblocks], kvetest::kGuardWord) << k.name;
        }
    }
}

TEST(SubblockStatistics, LoudSubblocksSaturateTheirSums)
{
    const int32_t x[] = {INT32_MAX, INT32_MAX, INT32_MIN, INT32_MIN, 7, 8};
    int32_t sums[3] = {};
    kve_vecSumSubblockFract32(x, sums, 6, 3);
    EXPECT_EQ(sums[0], INT32_MAX);
    EXPECT_EQ(sums[1], INT32_MIN);
    EXPECT_EQ(sums[2], 15);
    int32_t squares[3] = {};
    kve_vecSumSquaredSubblockFract32(x, squares, 6, 3);
    EXPECT_EQ(squares[0], INT32_MAX);
    EXPECT_EQ(squares[1], INT32_MAX);
    EXPECT_EQ(squares[2], 0);
}

// With fewer than one subblock no word of dst changes; with more subblocks than samples every subblock is empty,
// and the statistic of nothing is 0 (the word 0 for float and Fract32 alike).
template <typename T, typename Table> void expectEmptyShapesHandled(const Table &kernels)
{
    const T x[4] = {1, 2, 3, 4};
    for (const auto &k : kernels) {
        for (int32_t numSubblocks : {0, -1, INT32_MIN}) {
            kvetest::GuardedVector dst(4, 1);
            k.kernel(x, dst.template as<T>(), 4, numSubblocks);
            for (int32_t j = -4; j < 8; ++j)
                EXPECT_EQ(dst[j], kvetest::kGuardWord) << k.name << " with " << numSubblocks << " subblocks";
        }
        kvetest::GuardedVector dst(6, 1);
        k.kernel(x, dst.template as<T>(), 4, 6);
        for (int32_t j = 0; j < 6; ++j)
            EXPECT_EQ(dst[j], 0u) << k.name << ", subblock " << j << " of 6 over 4 samples";
        EXPECT_EQ(dst[6], kvetest::kGuardWord) << k.name;
    }
}

TEST(SubblockStatistics, NoSubblocksWritesNothingAndSubblocksWithoutSamplesGiveZero)
{
    expectEmptyShapesHandled<float>(kFloatKernels);
    expectEmptyShapesHandled<Fract32>(kFract32Kernels);
}

} // namespace
