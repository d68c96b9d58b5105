// Float arithmetic kernels: which steps are fused and which rounded (chosen operands whose fused and twice-rounded
// results differ), the clipping kernels at their edges, the soft-clip curve against its closed form, and the half
// sums and differences.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <limits>
#include <random>
#include <vector>

#include "Dsp/GuardedVector.h"
#include "kve/kve_vec.h"

namespace {

using kvetest::bitsOf;

constexpr float kNaN = std::numeric_limits<float>::quiet_NaN();
constexpr float kInf = std::numeric_limits<float>::infinity();

// (1 + 2^-12)^2 - 1 is 2^-11 + 2^-24 exactly; rounding the product first loses the 2^-24 (a tie, to even).
constexpr float kNearOne = 1.0f + 0x1p-12f;
constexpr float kFused = 0x1p-11f + 0x1p-24f;
constexpr float kRounded = 0x1p-11f;

// Lengths that reach the blocks of sixteen, the blocks of four and a one-by-one tail.
const int32_t kLengths[] = {1, 3, 4, 7, 16, 21, 37};

TEST(FloatMultiplyAddKernels, FuseTheProductAndTheSum)
{
    for (int32_t n : kLengths) {
        const std::vector<float> a(static_cast<size_t>(n), kNearOne);
        const std::vector<float> c(static_cast<size_t>(n), -1.0f);
        std::vector<float> out(static_cast<size_t>(n));
        kve_vecMultiplyAdd(a.data(), 1, a.data(), 1, c.data(), 1, out.data(), 1, n);
        for (float y : out)
            ASSERT_EQ(y, kFused) << "contiguous, n " << n;
        kve_vecMultiplyAdd(a.data(), 1, a.data(), 0, c.data(), 1, out.data(), 1, n);
        for (float y : out)
            ASSERT_EQ(y, kFused) << "strided, n " << n;

        kve_vecScaleOffset(a.data(), 1, out.data(), 1, kNearOne, -1.0f, n);
        for (float y : out)
            ASSERT_EQ(y, kFused) << "scale and offset, n " << n;

        std::vector<float> acc(c);
        kve_vecScaleAdd(a.data(), 1, acc.data(), 1, kNearOne, n);
        for (float y : acc)
            ASSERT_EQ(y, kFused) << "scale-add, n " << n;

        acc = c;
        kve_vecSquareAdd(a.data(), 1, acc.data(), 1, n);
        for (float y : acc)
            ASSERT_EQ(y, kFused) << "square-add, n " << n;
        acc = c;
        kve_vecSquareAdd_SIMD4(a.data(), acc.data(), n);
        for (float y : acc)
            ASSERT_EQ(y, kFused) << "four-lane square-add, n " << n;
    }
}

// The contiguous four-lane scale-and-offset and scale-add round the product in their blocks of four and fuse it in
// the last one to three samples.
TEST(FloatMultiplyAddKernels, FourLaneScaleFormsRoundTheProductInTheirBlocks)
{
    for (int32_t n : kLengths) {
        const std::vector<float> x(static_cast<size_t>(n), kNearOne);
        std::vector<float> out(static_cast<size_t>(n));
        kve_vecScaleOffset_SIMD4(x.data(), out.data(), kNearOne, -1.0f, n);
        std::vector<float> acc(static_cast<size_t>(n), -1.0f);
        kve_vecScaleAdd_SIMD4(x.data(), acc.data(), kNearOne, n);
        for (int32_t i = 0; i < n; ++i) {
            const float expected = i < n / 4 * 4 ? kRounded : kFused;
            ASSERT_EQ(out[static_cast<size_t>(i)], expected) << "scale and offset, n " << n << " sample " << i;
            ASSERT_EQ(acc[static_cast<size_t>(i)], expected) << "scale-add, n " << n << " sample " << i;
        }
    }
}

// a x gainA + gainB x b: gainB x b is rounded on its own, then fused with a x gainA.
TEST(FloatWeightedSumKernels, RoundTheSecondProductThenFuse)
{
    const std::vector<float> a(5, kNearOne);
    const std::vector<float> ones(5, 1.0f);
    std::vector<float> out(5);
    kve_vecScale2x1(a.data(), ones.data(), out.data(), kNearOne, -1.0f, 5);
    for (float y : out)
        EXPECT_EQ(y, kFused); // the first product is fused with the sum
    kve_vecWeightedAdd(ones.data(), a.data(), out.data(), -1.0f, kNearOne, 5);
    for (float y : out)
        EXPECT_EQ(y, kRounded); // the second product is rounded before the sum
    kve_vecWeightedAdd(a.data(), ones.data(), out.data(), kNearOne, -1.0f, 5);
    for (float y : out)
        EXPECT_EQ(y, kFused);
    kve_vecScale2x1(ones.data(), a.data(), out.data(), -1.0f, kNearOne, 5);
    for (float y : out)
        EXPECT_EQ(y, kRounded);
}

TEST(FloatSumDifferenceKernels, HalveOrScaleEachRoundedSum)
{
    const float a[] = {1.0f, 3.0f, -2.0f, 0x1p127f, 0x1p-126f, 5.0f};
    const float b[] = {0.5f, -1.0f, -2.0f, 0x1p127f, 0x1p-126f, kInf};
    float sum[6];
    float diff[6];
    kve_vecScaleSumDiff(a, b, sum, diff, 6);
    const float expectedSum[] = {0.75f, 1.0f, -2.0f, kInf, 0x1p-126f, kInf}; // 2^128 overflows before halving
    const float expectedDiff[] = {0.25f, 2.0f, 0.0f, 0.0f, 0.0f, -kInf};
    for (int i = 0; i < 6; ++i) {
        EXPECT_EQ(sum[i], expectedSum[i]) << i;
        EXPECT_EQ(diff[i], expectedDiff[i]) << i;
    }
    kve_vecScaleSumDiff_SIMD4(a, b, sum, diff, 0.25f, 6);
    const float expectedSum4[] = {0.375f, 0.5f, -1.0f, kInf, 0.0f, kInf}; // 2^-125 x 0.25 is denormal: flushed
    const float expectedDiff4[] = {0.125f, 1.0f, 0.0f, 0.0f, 0.0f, -kInf};
    for (int i = 0; i < 6; ++i) {
        EXPECT_EQ(sum[i], expectedSum4[i]) << i;
        EXPECT_EQ(diff[i], expectedDiff4[i]) << i;
    }
}

TEST(FloatAbsKernel, ClearsTheSignBitOnly)
{
    const float src[] = {-0.0f, -1.5f, kvetest::floatOf(0xFFC00001u), -kInf, 2.0f, -1e-40f, 7.0f};
    for (int32_t n : {3, 5, 7}) {
        float out[7];
        kve_vecAbs(src, 1, out, 1, n);
        for (int32_t i = 0; i < n; ++i)
            EXPECT_EQ(bitsOf(out[i]), bitsOf(src[i]) & 0x7FFFFFFFu) << "n " << n << " sample " << i;
    }
}

TEST(FloatClipKernel, AppliesTheLowerBoundFirst)
{
    for (int32_t n : kLengths) {
        std::vector<float> src(static_cast<size_t>(n));
        for (int32_t i = 0; i < n; ++i)
            src[static_cast<size_t>(i)] = static_cast<float>(i - 10) * 0.25f;
        std::vector<float> out(src.size());
        kve_vecClipAsym(src.data(), out.data(), -1.0f, 0.5f, n);
        for (int32_t i = 0; i < n; ++i)
            ASSERT_EQ(out[static_cast<size_t>(i)], std::min(std::max(src[static_cast<size_t>(i)], -1.0f), 0.5f));
        kve_vecClipAsym(src.data(), out.data(), 1.0f, -1.0f, n);
        for (float y : out)
            ASSERT_EQ(y, -1.0f) << "n " << n;
    }
}

// Four-lane blocks and the one-by-one tail agree on NaN samples and signed zeros.
TEST(FloatClipKernel, TreatsNaNAndZerosAlikeInBlocksAndTail)
{
    // Samples 0 to 3 form a block, 4 to 6 (the same values as 0 to 2) the tail.
    const float src[] = {kNaN, -0.0f, 0.0f, -kInf, kNaN, -0.0f, 0.0f};
    float out[7];
    kve_vecClipAsym(src, out, 0.0f, 1.0f, 7);
    for (int i = 0; i < 3; ++i)
        EXPECT_EQ(bitsOf(out[i]), bitsOf(out[i + 4])) << i;
    EXPECT_TRUE(std::isnan(out[0]));
    EXPECT_TRUE(std::isnan(out[4]));
    EXPECT_EQ(bitsOf(out[1]), bitsOf(-0.0f)); // -0 is not below +0: it passes
    EXPECT_EQ(bitsOf(out[5]), bitsOf(-0.0f));
    EXPECT_EQ(out[3], 0.0f);
    float bounded[7];
    kve_vecClipAsym(src, bounded, kNaN, kNaN, 7); // NaN bounds clip nothing
    for (int i = 0; i < 7; ++i)
        EXPECT_EQ(bitsOf(bounded[i]), bitsOf(src[i])) << i;
}

TEST(FloatSoftClipKernel, FollowsTheSoftClipCurve)
{
    const float src[] = {0.25f, 0.5f, 1.0f, -1.0f, -0.25f, 0.0f, 3.0f};
    const float expected[] = {0.25f, 0.5f, 0.75f, -0.75f, -0.25f, 0.0f, 0.5f + 0.5f * 2.5f / 3.0f};
    float out[7];
    kve_vecSoftClip(src, out, 0.5f, 1.0f, 7);
    for (int i = 0; i < 7; ++i)
        EXPECT_FLOAT_EQ(out[i], expected[i]) << src[i];
    EXPECT_EQ(out[2], 0.75f);
    EXPECT_EQ(out[3], -0.75f);
}

TEST(FloatSoftClipKernel, MatchesTheClosedFormAndStaysBelowTheLimit)
{
    std::mt19937 rng(47);
    std::uniform_real_distribution<float> unit(0.0f, 1.0f);
    std::uniform_real_distribution<float> wide(-20.0f, 20.0f);
    for (int i = 0; i < 20000; ++i) {
        const float t = unit(rng);
        const float limit = t + unit(rng);
        const float x = wide(rng);
        float y = 0.0f;
        kve_vecSoftClip(&x, &y, t, limit, 1);
        const double a = std::fabs(static_cast<double>(x));
        const double T = t;
        const double L = limit;
        const double curve = a < T ? a : T + (L - T) * (a - T) / (a + L - 2 * T);
        ASSERT_NEAR(std::fabs(y), curve, 1e-6 * std::max(1.0, curve)) << "x " << x << " t " << t << " L " << limit;
        ASSERT_LE(std::fabs(y), limit) << "x " << x << " t " << t << " L " << limit;
        ASSERT_EQ(std::signbit(y), std::signbit(x)) << x;
    }
}

} // namespace
