// Trigonometric kernels: the sine and arctangent tables, the turn-based table kernels, and the polynomial sine,
// cosine and arctangent in radians, against numpy and at the angles where their index arithmetic turns.
#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <cstdint>
#include <limits>
#include <vector>

#include "Dsp/GuardedVector.h"
#include "Dsp/Math/MathModels.h"
#include "kve/kve_vec.h"
#include "support/PythonOracle.h"

namespace {

using kvetest::bitsOf;
using kvetest::GuardedVector;
using kvetest::reference;

constexpr float kNaN = std::numeric_limits<float>::quiet_NaN();
constexpr float kInf = std::numeric_limits<float>::infinity();

using TurnKernel = void (*)(const float *, int32_t, float *, int32_t, int32_t);
using PairKernel = void (*)(const float *, int32_t, const float *, int32_t, float *, int32_t, int32_t);

float one(TurnKernel kernel, float x)
{
    float out = 0.0f;
    kernel(&x, 1, &out, 1, 1);
    return out;
}

float one(PairKernel kernel, float y, float x)
{
    float out = 0.0f;
    kernel(&y, 1, &x, 1, &out, 1, 1);
    return out;
}

// Angles in turns across three circles either way, avoiding nothing: whole, half and quarter turns included.
std::vector<float> turnsSpread()
{
    std::vector<float> x;
    for (int i = -1500; i <= 1500; ++i)
        x.push_back(static_cast<float>(i) / 500.0f + 0.000123f * static_cast<float>(i % 7));
    return x;
}

TEST(MathTables, HoldSineAndArctangentOfTheirIndexAsNumpyRoundsThem)
{
    const std::vector<double> expected = kvetest::runOracle("math_tables.py");
    ASSERT_EQ(expected.size(), 512u + 514u);
    for (int i = 0; i < 512; ++i)
        EXPECT_EQ(Vec_SinTable[i], static_cast<float>(expected[static_cast<size_t>(i)])) << "sine entry " << i;
    for (int i = 0; i < 514; ++i)
        EXPECT_EQ(Vec_AtanTable[i], static_cast<float>(expected[static_cast<size_t>(512 + i)])) << "atan entry " << i;
    EXPECT_EQ(Vec_AtanTable[512], 0.125f);
    const float sign[4] = {1.0f, -1.0f, -1.0f, 1.0f};
    const float offs[4] = {0.0f, 0.5f, 0.0f, -0.5f};
    for (int q = 0; q < 4; ++q) {
        EXPECT_EQ(Vec_AtanQuadSign[q], sign[q]);
        EXPECT_EQ(Vec_AtanQuadOffs[q], offs[q]);
    }
}

TEST(TurnTableKernels, ReadTheEntriesTheirIndexArithmeticNames)
{
    const float *T = Vec_SinTable;
    const struct {
        TurnKernel kernel;
        float x;
        float expected;
        const char *what;
    } cases[] = {
        {kve_vecCosuiNear, 0.0f, 1.0f, "cos 0"},
        {kve_vecCosuiLinear, 0.0f, 1.0f, "cos 0"},
        {kve_vecCosuiNear, 0.25f, T[256], "cos of a quarter turn is sin pi as the table holds it"},
        {kve_vecCosuiLinear, 0.25f, T[256], "cos of a quarter turn is sin pi as the table holds it"},
        {kve_vecCosuiNear, -0.25f, one(kve_vecCosuiNear, 0.75f), "cos -1/4 = cos 3/4"},
        {kve_vecCosuiLinear, -0.25f, one(kve_vecCosuiLinear, 0.75f), "cos -1/4 = cos 3/4"},
        {kve_vecSinuiNear, 1.0f / 1024.0f, T[1], "half an entry rounds away from zero"},
        {kve_vecSinuiNear, -1.0f / 1024.0f, T[511], "half an entry below zero rounds down and wraps"},
        {kve_vecSinuiNear, 0.9f / 1024.0f, T[0], "less than half an entry"},
        {kve_vecSinuiLinear, 3.0f / 512.0f, T[3], "a whole positive position"},
        {kve_vecSinuiLinear, -1.0f / 512.0f, std::fma(T[511] - T[510], 1.0f, T[510]),
         "a whole negative position reads the entry below with a fraction of 1"},
        {kve_vecSinuiLinear, 2.5f / 512.0f, std::fma(T[3] - T[2], 0.5f, T[2]), "halfway between entries"},
        {kve_vecCosuiLinear, 2.5f / 512.0f, std::fma(T[131] - T[130], 0.5f, T[130]), "both entries a quarter ahead"},
        {kve_vecSinuiLinear, 1e30f, 0.0f, "a huge whole number of turns reads entry 0"},
        {kve_vecSinuiNear, -1e30f, 0.0f, "a huge whole number of turns reads entry 0"},
        {kve_vecSinuiNear, 4194304.5f, T[256], "positions past the 32-bit range still wrap by the table"},
    };
    for (const auto &c : cases)
        EXPECT_EQ(bitsOf(one(c.kernel, c.x)), bitsOf(c.expected)) << c.what << ": x = " << c.x;
    EXPECT_NE(T[256], 0.0f);
    EXPECT_LT(std::fabs(T[256]), 1e-15f);
    EXPECT_TRUE(std::isnan(one(kve_vecSinuiLinear, kNaN)));
    EXPECT_TRUE(std::isnan(one(kve_vecCosuiLinear, kNaN)));
}

TEST(TurnTableKernels, FollowSineAndCosineWithinTheirTableSpacing)
{
    const std::vector<float> x = turnsSpread();
    const auto n = static_cast<int32_t>(x.size());
    const std::vector<double> sine = reference("sin_turns", x);
    const std::vector<double> cosine = reference("cos_turns", x);
    const struct {
        TurnKernel kernel;
        const std::vector<double> &expected;
        double bound; // interpolation: (2 pi / 512)^2 / 8; nearest entry: half an entry's step, 2 pi / 1024
    } kernels[] = {
        {kve_vecSinuiLinear, sine, 2e-5},   {kve_vecCosuiLinear, cosine, 2e-5},
        {kve_vecSinuiNear, sine, 0.00615},  {kve_vecCosuiNear, cosine, 0.00615},
    };
    for (const auto &k : kernels) {
        std::vector<float> out(x.size());
        k.kernel(x.data(), 1, out.data(), 1, n);
        for (size_t i = 0; i < x.size(); ++i)
            ASSERT_NEAR(out[i], k.expected[i], k.bound) << "x = " << x[i];
    }
}

// The complex exponential writes the cosine and the sine kernels' values as (real, imaginary) pairs, dstInc floats
// apart, reading its input at its own increment.
TEST(TurnTableKernels, ComplexExponentialPairsTheCosineAndSine)
{
    const std::vector<float> x = turnsSpread();
    const int32_t n = 37;
    const int32_t srcInc = 3;
    const int32_t dstInc = 5; // gaps between pairs stay untouched
    const struct {
        TurnKernel cexp, cos, sin;
    } forms[] = {{kve_vecCexpuiLinear, kve_vecCosuiLinear, kve_vecSinuiLinear},
                 {kve_vecCexpuiNear, kve_vecCosuiNear, kve_vecSinuiNear}};
    for (const auto &f : forms) {
        GuardedVector out(n, dstInc);
        f.cexp(x.data(), srcInc, out.as<float>(), dstInc, n);
        for (int32_t i = 0; i < n; ++i) {
            const float xi = x[static_cast<size_t>(i * srcInc)];
            ASSERT_EQ(out[i], bitsOf(one(f.cos, xi))) << xi;
            ASSERT_EQ(out.words()[static_cast<size_t>(GuardedVector::kGuards + i * dstInc + 1)], bitsOf(one(f.sin, xi)))
                << xi;
            for (int32_t gap = 2; gap < dstInc && i + 1 < n; ++gap)
                ASSERT_EQ(out.words()[static_cast<size_t>(GuardedVector::kGuards + i * dstInc + gap)],
                          kvetest::kGuardWord);
        }
        EXPECT_EQ(out.words().front(), kvetest::kGuardWord);
        EXPECT_EQ(out.words().back(), kvetest::kGuardWord);
    }
}

TEST(TurnArctangent, PlacesEachQuadrantOnTheCircle)
{
    const struct {
        float y, x, expected;
    } cases[] = {
        {0.0f, 0.0f, 0.0f}, {1.0f, 0.0f, 0.25f}, {0.0f, -1.0f, 0.5f}, {-1.0f, 0.0f, -0.25f},
        {-1.0f, -1.0f, -0.375f}, {1.0f, 1.0f, 0.125f}, {1.0f, -1.0f, 0.375f}, {-1.0f, 1.0f, -0.125f},
        {-0.0f, -1.0f, 0.5f},  // a negative zero counts as not negative
        {0.0f, -0.0f, 0.0f},   // both zero: the angle is 0 and only the quadrant's offset remains
        {-0.0f, -0.0f, 0.0f},
    };
    for (PairKernel kernel : {kve_vecAtan2uiLinear, kve_vecAtan2uiNear})
        for (const auto &c : cases)
            EXPECT_EQ(one(kernel, c.y, c.x), c.expected) << "(" << c.y << ", " << c.x << ")";
    for (PairKernel kernel : {kve_vecAtan2uiLinear, kve_vecAtan2uiNear}) {
        EXPECT_TRUE(std::isnan(one(kernel, kNaN, 1.0f)));
        EXPECT_TRUE(std::isnan(one(kernel, 0.0f, kNaN)));
        EXPECT_TRUE(std::isnan(one(kernel, kInf, -kInf)));
        EXPECT_EQ(one(kernel, kInf, 1.0f), 0.25f);
    }
}

TEST(TurnArctangent, FollowsAtan2InTurnsWithinTheTableSpacing)
{
    std::vector<float> yx;
    for (int i = 0; i < 1500; ++i) {
        const double a = -3.14159 + 6.28318 * i / 1499.0;
        const double r = i % 3 == 0 ? 1e-3 : (i % 3 == 1 ? 1.0 : 1e4);
        yx.push_back(static_cast<float>(r * std::sin(a)));
        yx.push_back(static_cast<float>(r * std::cos(a)));
    }
    const std::vector<double> expected = reference("atan2_turns", yx);
    const auto n = static_cast<int32_t>(yx.size() / 2);
    const struct {
        PairKernel kernel;
        double bound; // interpolation: (1/512)^2 / 8 x max |atan''| / 2 pi, plus rounding; nearest: 1/1024 / 2 pi
    } kernels[] = {{kve_vecAtan2uiLinear, 2e-7}, {kve_vecAtan2uiNear, 1.56e-4}};
    for (const auto &k : kernels) {
        std::vector<float> out(static_cast<size_t>(n));
        k.kernel(yx.data(), 2, yx.data() + 1, 2, out.data(), 1, n);
        for (size_t i = 0; i < out.size(); ++i)
            ASSERT_NEAR(out[i], expected[i], k.bound) << "(" << yx[2 * i] << ", " << yx[2 * i + 1] << ")";
    }
}

TEST(FastTrigonometry, FollowsSineCosineAndAtan2InRadians)
{
    std::vector<float> x;
    for (int i = 0; i <= 2000; ++i)
        x.push_back(static_cast<float>(-3.1415927 + 6.2831853 * i / 2000.0));
    const auto n = static_cast<int32_t>(x.size());
    const struct {
        TurnKernel kernel;
        const char *function;
    } polys[] = {{kve_vecFastSin, "sin"}, {kve_vecFastCos, "cos"}};
    for (const auto &p : polys) {
        const std::vector<double> expected = reference(p.function, x);
        std::vector<float> out(x.size());
        p.kernel(x.data(), 1, out.data(), 1, n);
        for (size_t i = 0; i < x.size(); ++i)
            ASSERT_NEAR(out[i], expected[i], 1e-6) << p.function << " " << x[i];
    }

    std::vector<float> yx;
    for (int i = 0; i < 1500; ++i) {
        const double a = -3.14159 + 6.28318 * i / 1499.0;
        yx.push_back(static_cast<float>(2.0 * std::sin(a)));
        yx.push_back(static_cast<float>(2.0 * std::cos(a)));
    }
    const auto pairs = static_cast<int32_t>(yx.size() / 2);
    const std::vector<double> expected = reference("atan2", yx);
    std::vector<float> scratch(2 * yx.size() / 2);
    std::vector<float> fast(static_cast<size_t>(pairs));
    kve_vecFastAtan2(yx.data(), 2, yx.data() + 1, 2, fast.data(), 7, scratch.data(), pairs);
    std::vector<float> exact(static_cast<size_t>(pairs));
    kve_vecAtan2(yx.data(), 2, yx.data() + 1, 2, exact.data(), 1, pairs);
    for (size_t i = 0; i < fast.size(); ++i) {
        ASSERT_NEAR(fast[i], expected[i], 2e-5) << "(" << yx[2 * i] << ", " << yx[2 * i + 1] << ")";
        ASSERT_NEAR(exact[i], expected[i], 4e-7) << "(" << yx[2 * i] << ", " << yx[2 * i + 1] << ")";
    }
}

TEST(FastTrigonometry, FastAtan2AtTheOriginAndOnTheNegativeAxis)
{
    const float y[3] = {0.0f, 0.0f, -1.0f};
    const float x[3] = {0.0f, -1.0f, -1.0f};
    float dst[4] = {9.0f, 9.0f, 9.0f, 9.0f};
    float scratch[6];
    kve_vecFastAtan2(y, 1, x, 1, dst, 3, scratch, 3); // the output is contiguous whatever dstInc says
    EXPECT_EQ(dst[0], -1.5707964f); // a zero denominator takes 2^23 as its reciprocal, in quadrant code -1
    EXPECT_EQ(dst[1], 3.1415927f);  // pi itself is not reduced
    EXPECT_NEAR(dst[2], -2.3561945f, 2e-5);
    EXPECT_EQ(dst[3], 9.0f);
}

// Every strided kernel of the family leaves its output alone for a count below 1, and an in-place call with
// matching increments gives what a separate output gets.
TEST(TrigKernels, CountBelowOneWritesNothingAndInPlaceMatches)
{
    const TurnKernel kernels[] = {kve_vecSinuiLinear, kve_vecSinuiNear, kve_vecCosuiLinear, kve_vecCosuiNear,
                                  kve_vecCexpuiLinear, kve_vecCexpuiNear, kve_vecFastSin, kve_vecFastCos};
    for (TurnKernel kernel : kernels) {
        for (int32_t n : {0, -1}) {
            GuardedVector src(4, 1);
            GuardedVector dst(4, 2);
            kernel(src.as<float>(), 1, dst.as<float>(), 2, n);
            for (uint32_t w : dst.words())
                ASSERT_EQ(w, kvetest::kGuardWord);
        }
        const std::vector<float> x = {0.1f, -0.3f, 0.7f, 1.25f, -2.6f};
        std::vector<float> separate(2 * x.size()); // room for the complex pairs
        kernel(x.data(), 1, separate.data(), 2, 5);
        std::vector<float> inPlace(2 * x.size());
        for (size_t i = 0; i < x.size(); ++i)
            inPlace[2 * i] = x[i];
        kernel(inPlace.data(), 2, inPlace.data(), 2, 5);
        for (size_t i = 0; i < x.size(); ++i)
            ASSERT_EQ(bitsOf(inPlace[2 * i]), bitsOf(separate[2 * i]));
    }
    for (PairKernel kernel : {kve_vecAtan2, kve_vecAtan2uiLinear, kve_vecAtan2uiNear}) {
        GuardedVector dst(4, 1);
        const float y[1] = {1.0f};
        kernel(y, 1, y, 1, dst.as<float>(), 1, 0);
        for (uint32_t w : dst.words())
            ASSERT_EQ(w, kvetest::kGuardWord);
    }
    GuardedVector dst(4, 1);
    const float y[1] = {1.0f};
    float scratch[2] = {5.0f, 5.0f};
    kve_vecFastAtan2(y, 1, y, 1, dst.as<float>(), 1, scratch, -3);
    for (uint32_t w : dst.words())
        ASSERT_EQ(w, kvetest::kGuardWord);
    EXPECT_EQ(scratch[0], 5.0f);
}

} // namespace
