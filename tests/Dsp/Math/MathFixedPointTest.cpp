// Fixed-point roots, reciprocals, sine, polynomial and table interpolation: every word against an exact integer
// model, and the values against numpy where the kernel approximates a function.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <random>
#include <vector>

#include "Dsp/GuardedVector.h"
#include "Dsp/Math/MathModels.h"
#include "kve/kve_vec.h"

namespace {

using kvetest::reference;

constexpr int32_t kMin = INT32_MIN;
constexpr int32_t kMax = INT32_MAX;

std::vector<int32_t> nonNegativeSpread(uint32_t seed, size_t count)
{
    std::vector<int32_t> w = {0, 1, 2, 3, 4, 0x40000000, 0x3FFFFFFF, kMax, kMax - 1, 0x10000000, 0x20000000};
    std::mt19937 rng(seed);
    std::uniform_int_distribution<int> octave(0, 30);
    std::uniform_int_distribution<int32_t> any(0, kMax);
    while (w.size() < count)
        w.push_back(any(rng) >> octave(rng));
    return w;
}

TEST(FixedPointSqrt, MatchesItsIntegerModelAndNumpy)
{
    const std::vector<int32_t> x = nonNegativeSpread(21, 30000);
    std::vector<int32_t> out(x.size());
    kve_vecSqrtFract32(x.data(), 1, out.data(), 1, static_cast<int32_t>(x.size()));
    std::vector<float> values;
    for (size_t i = 0; i < x.size(); ++i) {
        ASSERT_EQ(out[i], kvetest::modelSqrtFract32(x[i])) << x[i];
        if (i < 3000)
            values.push_back(static_cast<float>(std::ldexp(x[i], -31)));
    }
    const std::vector<double> expected = reference("sqrt", values);
    for (size_t i = 0; i < expected.size(); ++i) // the float argument carries 2^-24 relative rounding
        ASSERT_NEAR(std::ldexp(out[i], -31), expected[i], 1e-5 * expected[i] + std::ldexp(1.0, -30)) << x[i];
}

TEST(FixedPointSqrt, EdgeValues)
{
    const int32_t x[4] = {0, 1, 0x40000000, kMax};
    int32_t out[4];
    kve_vecSqrtFract32(x, 1, out, 1, 4);
    EXPECT_EQ(out[0], 0);
    EXPECT_EQ(out[1], 46340);                 // 2^15.5, truncated
    EXPECT_NEAR(out[2], 0x5A827999, 0x4000);  // sqrt 0.5
    EXPECT_LT(out[3], kMax);
    EXPECT_GT(out[3], kMax - (1 << 14));      // within 2^-17 of full scale
}

TEST(FixedPointReciprocal, MatchesItsIntegerModelForEveryShift)
{
    std::vector<int32_t> x = nonNegativeSpread(22, 8000);
    const size_t positives = x.size();
    for (size_t i = 0; i < positives; ++i)
        x.push_back(-x[i]);
    x.push_back(kMin);
    x.push_back(-1);
    for (int32_t shift : {0, 1, 2, 8, 31, 32, 40, -1, -8, -40, 0x10001, kMin, kMax}) {
        std::vector<int32_t> out(x.size());
        kve_vecReciprocalFract32(x.data(), 1, out.data(), 1, shift, static_cast<int32_t>(x.size()));
        for (size_t i = 0; i < x.size(); ++i)
            ASSERT_EQ(out[i], kvetest::modelReciprocalFract32(x[i], shift)) << x[i] << " shift " << shift;
    }
}

TEST(FixedPointReciprocal, EdgeValuesAndFormats)
{
    const struct {
        int32_t x, shift, expected;
    } cases[] = {
        {0, 0, kMax},           {0, 9, kMax},           {-1, 0, kMin},         {-1, 9, kMin},
        {0x40000000, 1, kMax},  // 1/0.5 = 2 does not fit with 30 fractional bits
        {0x40000000, 2, 0x3FFFFFFF}, {kMin, 0, kMin},   // 1/-1 = -1
        {0x20000000, 3, 0x3FFFFFFF}, // 1/0.25 = 4 with 28 fractional bits
    };
    for (const auto &c : cases) {
        int32_t out = 0x5A5A5A5A;
        kve_vecReciprocalFract32(&c.x, 1, &out, 1, c.shift, 1);
        EXPECT_EQ(out, c.expected) << c.x << " shift " << c.shift;
    }
}

TEST(FixedPointReciprocal, ScalarNewtonFormGivesHalfTheReciprocal)
{
    std::vector<int64_t> x;
    for (int64_t w = 0x40000000; w <= kMax; w += 65537)
        x.push_back(w);
    x.insert(x.end(), {kMax, 0x40FFFFFF, 0x41000000});
    for (int64_t w : x) {
        int32_t result = 0x5A5A5A5A;
        EXPECT_EQ(kve_vecRecipFract32(static_cast<int32_t>(w), &result), 0);
        ASSERT_EQ(result, kvetest::modelRecipFract32(static_cast<int32_t>(w))) << w;
        // Two Newton steps from a seed within 0.8 % leave about 10 steps of 2^-31.
        ASSERT_NEAR(std::ldexp(result, -31), 0.5 / std::ldexp(static_cast<double>(w), -31), 1e-8) << w;
    }
}

TEST(FixedPointSine, MatchesItsIntegerModelAndNumpyOverAQuarterTurn)
{
    std::vector<int32_t> x;
    for (int64_t w = -1686629713; w <= 1686629713; w += 104729)
        x.push_back(static_cast<int32_t>(w));
    for (int32_t w : {0, 1, -1, 1686629713, -1686629713, kMin, kMax})
        x.push_back(w);
    std::vector<float> angles;
    for (size_t i = 0; i < x.size(); ++i) {
        ASSERT_EQ(kve_vecSineFract32(x[i]), kvetest::modelSineFract32(x[i])) << x[i];
        if (i % 10 == 0)
            angles.push_back(static_cast<float>(std::ldexp(2.0 * x[i], -31)));
    }
    const std::vector<double> expected = reference("sin", angles);
    for (size_t i = 0; i < expected.size(); ++i) // the float angle carries 2^-24 relative rounding
        ASSERT_NEAR(std::ldexp(kve_vecSineFract32(x[i * 10]), -31), expected[i], 2e-6) << x[i * 10];
    EXPECT_EQ(kve_vecSineFract32(0), 0);
    EXPECT_GT(kve_vecSineFract32(1686629713), kMax - 8192); // pi/2
    EXPECT_EQ(kve_vecSineFract32(-1686629713), -kve_vecSineFract32(1686629713));
}

TEST(FixedPointPolynomial, MatchesItsIntegerModel)
{
    const std::vector<std::vector<int32_t>> coefficientSets = {
        {},
        {0x12345678},
        {0x40000000, 0x10000000},
        {kMin, kMin, kMin, kMin},
        {kMax, kMax, kMax, kMax, kMax, kMax, kMax},
        {0x10000000, -0x20000000, 0x30000000, -0x7000000, 0x01000000},
    };
    std::vector<int32_t> x = {0, 1, -1, kMin, kMax, 0x40000000, -0x40000000};
    std::mt19937 rng(23);
    std::uniform_int_distribution<int32_t> any(kMin, kMax);
    while (x.size() < 500)
        x.push_back(any(rng));
    for (const auto &c : coefficientSets) {
        for (int32_t postShift : {0, 1, 2, 5, 31, 32, 33, 64, -1, -3, -31, -32, -70, kMin, kMax}) {
            std::vector<int32_t> out(x.size());
            kve_vecPolynomialFract32(x.data(), 1, out.data(), 1, static_cast<int32_t>(c.size()), c.data(), postShift,
                                     static_cast<int32_t>(x.size()));
            for (size_t i = 0; i < x.size(); ++i)
                ASSERT_EQ(out[i], kvetest::modelPolynomialFract32(x[i], c, postShift))
                    << x[i] << " with " << c.size() << " coefficients, postShift " << postShift;
        }
    }
}

// A table cut from one cubic, f(x) = 0.5 x^3 + 0.25 x, with each segment's coefficients the Taylor coefficients at
// its first point divided by 256 (the headroom the kernel's final 8-bit shift takes back): the kernel follows f
// across the segments, matches the integer model word for word, and holds the end values outside the table.
TEST(FixedPointTableInterp, FollowsTheTabulatedCubicAndMatchesItsModel)
{
    const auto f = [](double x) { return (0.5 * x * x + 0.25) * x; };
    const auto q31 = [](double v) { return static_cast<int32_t>(std::llround(std::ldexp(v, 31))); };
    const double xs[4] = {-0.75, -0.25, 0.5, 0.875};
    std::vector<int32_t> points;
    std::vector<int32_t> coeffs;
    for (int k = 0; k < 4; ++k) {
        points.insert(points.end(), {q31(xs[k]), q31(f(xs[k]))});
        if (k < 3)
            coeffs.insert(coeffs.end(), {q31(0.5 / 256), q31(1.5 * xs[k] / 256),
                                         q31((1.5 * xs[k] * xs[k] + 0.25) / 256), q31(f(xs[k]) / 256)});
    }
    std::vector<int32_t> x = {kMin, q31(-0.75), q31(-0.75) + 1, q31(-0.25), q31(0.5), q31(0.875) - 1, q31(0.875), kMax};
    for (int64_t w = -0x70000000; w <= 0x7F000000; w += 0x00531AB7)
        x.push_back(static_cast<int32_t>(w));
    std::vector<int32_t> out(x.size());
    kve_vecTableInterpFract32(x.data(), points.data(), 4, coeffs.data(), out.data(), static_cast<int32_t>(x.size()));
    for (size_t i = 0; i < x.size(); ++i) {
        ASSERT_EQ(out[i], kvetest::modelTableInterpFract32(x[i], points, coeffs)) << x[i];
        const double v = std::clamp(std::ldexp(x[i], -31), xs[0], xs[3]);
        ASSERT_NEAR(std::ldexp(out[i], -31), f(v), 4e-6) << x[i];
    }
    // One point: its y everywhere; no points: 0.
    const int32_t single[2] = {0x1000, 77};
    int32_t two[2];
    kve_vecTableInterpFract32(x.data(), single, 1, nullptr, two, 2);
    EXPECT_EQ(two[0], 77);
    EXPECT_EQ(two[1], 77);
    kve_vecTableInterpFract32(x.data(), nullptr, 0, nullptr, two, 2);
    EXPECT_EQ(two[0], 0);
}

TEST(FixedPointKernels, CountBelowOneWritesNothingAndStridesApply)
{
    using Strided = void (*)(const int32_t *, int32_t, int32_t *, int32_t, int32_t);
    static const int32_t coeffs[2] = {0x40000000, 5};
    const Strided kernels[] = {
        kve_vecSqrtFract32,
        kve_vecLog10Fract32,
        [](const int32_t *s, int32_t si, int32_t *d, int32_t di, int32_t n) {
            kve_vecReciprocalFract32(s, si, d, di, 1, n);
        },
        [](const int32_t *s, int32_t si, int32_t *d, int32_t di, int32_t n) {
            kve_vecPolynomialFract32(s, si, d, di, 2, coeffs, 0, n);
        },
    };
    const int32_t src[6] = {0x10000000, 0x7000, 0x20000000, 0x7000, 0x30000000, 0x7000};
    for (Strided kernel : kernels) {
        for (int32_t n : {0, -2}) {
            kvetest::GuardedVector dst(4, 1);
            kernel(src, 1, dst.as<int32_t>(), 1, n);
            for (uint32_t w : dst.words())
                ASSERT_EQ(w, kvetest::kGuardWord);
        }
        // Every other input, written backward: the same words as one call per sample.
        kvetest::GuardedVector dst(3, -1);
        kernel(src, 2, dst.as<int32_t>(), -1, 3);
        for (int32_t i = 0; i < 3; ++i) {
            int32_t alone = 0;
            kernel(&src[2 * i], 1, &alone, 1, 1);
            ASSERT_EQ(kvetest::intOf(dst[i]), alone);
        }
        EXPECT_EQ(dst.words().front(), kvetest::kGuardWord);
        EXPECT_EQ(dst.words().back(), kvetest::kGuardWord);
    }
    kvetest::GuardedVector dst(4, 1);
    kve_vecTableInterpFract32(src, src, 3, src, dst.as<int32_t>(), 0);
    for (uint32_t w : dst.words())
        ASSERT_EQ(w, kvetest::kGuardWord);
}

} // namespace
