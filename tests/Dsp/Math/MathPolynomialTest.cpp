// Float polynomials, piecewise-cubic tables, phase unwrapping, square roots and reciprocals.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <limits>
#include <vector>

#include "Dsp/GuardedVector.h"
#include "Dsp/Math/MathModels.h"
#include "kve/kve_vec.h"

namespace {

using kvetest::bitsOf;
using kvetest::reference;

constexpr float kNaN = std::numeric_limits<float>::quiet_NaN();
constexpr float kInf = std::numeric_limits<float>::infinity();

std::vector<float> spread(int count, float from, float to)
{
    std::vector<float> x;
    for (int i = 0; i < count; ++i)
        x.push_back(from + (to - from) * static_cast<float>(i) / static_cast<float>(count - 1) +
                    0.000731f * static_cast<float>(i % 5));
    return x;
}

TEST(Polynomial, EvaluatesHighestPowerFirst)
{
    const std::vector<float> coeffs = {0.5f, -1.25f, 2.0f, 0.75f, -3.0f}; // 0.5 x^4 - 1.25 x^3 + 2 x^2 + 0.75 x - 3
    const std::vector<float> x = spread(101, -4.0f, 4.0f);
    std::vector<float> out(x.size());
    kve_vecPolynomial(x.data(), 1, out.data(), 1, 5, coeffs.data(), static_cast<int32_t>(x.size()));
    for (size_t i = 0; i < x.size(); ++i) {
        const long double v = x[i];
        const long double exact = (((0.5L * v - 1.25L) * v + 2.0L) * v + 0.75L) * v - 3.0L;
        ASSERT_NEAR(out[i], static_cast<double>(exact), 1e-5 * (1.0 + std::fabs(static_cast<double>(exact)))) << x[i];
    }
}

TEST(Polynomial, OneCoefficientIsAConstantAndNoneIsZero)
{
    const float x[3] = {kNaN, 5.0f, -kInf};
    const float c = 2.5f;
    float out[3];
    kve_vecPolynomial(x, 1, out, 1, 1, &c, 3);
    for (float v : out)
        EXPECT_EQ(v, 2.5f);
    kve_vecPolynomial_SIMD4(x, out, 1, &c, 3);
    for (float v : out)
        EXPECT_EQ(v, 2.5f);
    kve_vecPolynomial(x, 1, out, 1, 0, nullptr, 3);
    for (float v : out)
        EXPECT_EQ(v, 0.0f);
    std::vector<float> many(21, 3.0f);
    std::vector<float> manyOut(21, 9.0f);
    kve_vecPolynomial_SIMD4(many.data(), manyOut.data(), 0, nullptr, 21);
    for (float v : manyOut)
        EXPECT_EQ(v, 0.0f);
}

// The four-lane copy gives the plain kernel's words over blocks of sixteen, of four and the tail, and the plain
// kernel reads and writes at its increments.
TEST(Polynomial, FourLaneFormAndStridesGiveTheSameWords)
{
    const std::vector<float> coeffs = {1.0e-3f, -0.02f, 0.3f, -1.7f, 2.9f, 0.01f, -6.0f};
    const std::vector<float> x = spread(37, -3.0f, 3.0f);
    const auto n = static_cast<int32_t>(x.size());
    for (int32_t numCoeffs = 1; numCoeffs <= 7; ++numCoeffs) {
        std::vector<float> plain(x.size());
        kve_vecPolynomial(x.data(), 1, plain.data(), 1, numCoeffs, coeffs.data(), n);
        std::vector<float> four(x.size());
        kve_vecPolynomial_SIMD4(x.data(), four.data(), numCoeffs, coeffs.data(), n);
        kvetest::GuardedVector strided(n / 2, -3);
        kve_vecPolynomial(x.data(), 2, strided.as<float>(), -3, numCoeffs, coeffs.data(), n / 2);
        for (size_t i = 0; i < x.size(); ++i) {
            ASSERT_EQ(bitsOf(four[i]), bitsOf(plain[i])) << numCoeffs << " coefficients, x " << x[i];
            if (i % 2 == 0 && static_cast<int32_t>(i / 2) < n / 2) {
                ASSERT_EQ(strided[static_cast<ptrdiff_t>(i / 2)], bitsOf(plain[i]));
            }
        }
        EXPECT_EQ(strided.words().front(), kvetest::kGuardWord);
        EXPECT_EQ(strided.words().back(), kvetest::kGuardWord);
    }
}

// A table cut from one cubic, f(x) = 0.5 x^3 - x^2 - 2x + 1, with each segment's coefficients the Taylor
// coefficients at its first point: every segment continues the same curve, so the kernels follow f inside the table
// and hold the end values outside it.
struct CubicTable {
    std::vector<float> points;
    std::vector<float> coeffs4; // a, f''/2, f', f(x_k) per segment
    std::vector<float> coeffs3; // a, f''/2, f' per segment

    static double f(double x) { return ((0.5 * x - 1.0) * x - 2.0) * x + 1.0; }

    explicit CubicTable(const std::vector<float> &xs)
    {
        for (float xk : xs) {
            const double v = xk;
            points.push_back(xk);
            points.push_back(static_cast<float>(f(v)));
        }
        for (size_t k = 0; k + 1 < xs.size(); ++k) {
            const double v = xs[k];
            const float slope = static_cast<float>((1.5 * v - 2.0) * v - 2.0);
            const float half2nd = static_cast<float>(1.5 * v - 1.0);
            coeffs4.insert(coeffs4.end(), {0.5f, half2nd, slope, static_cast<float>(f(v))});
            coeffs3.insert(coeffs3.end(), {0.5f, half2nd, slope});
        }
    }
};

TEST(TableInterp, FollowsTheTabulatedCurveAndHoldsItsEnds)
{
    const CubicTable table({-2.0f, -1.0f, 0.25f, 1.5f, 3.0f});
    const std::vector<float> x = spread(203, -4.0f, 5.0f);
    const auto n = static_cast<int32_t>(x.size());
    using Interp = void (*)(const float *, const float *, int32_t, const float *, float *, int32_t);
    const struct {
        Interp kernel;
        const std::vector<float> &coeffs;
    } kernels[] = {{kve_vecTableInterp, table.coeffs4}, {kve_vecTableInterpRuntime, table.coeffs3}};
    for (const auto &k : kernels) {
        std::vector<float> out(x.size());
        k.kernel(x.data(), table.points.data(), 5, k.coeffs.data(), out.data(), n);
        for (size_t i = 0; i < x.size(); ++i) {
            if (x[i] <= -2.0f)
                ASSERT_EQ(out[i], table.points[1]) << x[i];
            else if (x[i] >= 3.0f)
                ASSERT_EQ(out[i], table.points[9]) << x[i];
            else
                ASSERT_NEAR(out[i], CubicTable::f(x[i]), 2e-6 * (1.0 + std::fabs(CubicTable::f(x[i])))) << x[i];
        }
    }
}

// The four-lane blocks and the one-by-one tail take the same segment everywhere but at a breakpoint, where they
// take the two sides of it; on a continuous table both give the point's value.
TEST(TableInterp, BlocksAndTailAgree)
{
    const CubicTable table({-2.0f, -1.0f, 0.25f, 1.5f, 3.0f});
    std::vector<float> x = spread(61, -2.5f, 3.5f);
    const size_t between = x.size();
    for (float p : {-2.0f, -1.0f, 0.25f, 1.5f, 3.0f})
        x.push_back(p);
    x.push_back(kNaN);
    while (x.size() % 4 != 0)
        x.push_back(0.0f);
    std::vector<float> block(x.size());
    kve_vecTableInterp(x.data(), table.points.data(), 5, table.coeffs4.data(), block.data(),
                       static_cast<int32_t>(x.size()));
    for (size_t i = 0; i < x.size(); ++i) {
        float alone = 0.0f;
        kve_vecTableInterp(&x[i], table.points.data(), 5, table.coeffs4.data(), &alone, 1);
        if (std::isnan(x[i]))
            EXPECT_TRUE(std::isnan(block[i]) && std::isnan(alone));
        else if (i < between)
            ASSERT_EQ(bitsOf(block[i]), bitsOf(alone)) << x[i];
        else
            ASSERT_NEAR(block[i], alone, 1e-6) << "breakpoint " << x[i];
    }
}

TEST(TableInterp, OnePointGivesItsValueAndNoPointsGiveZero)
{
    const std::vector<float> x = spread(9, -1.0f, 1.0f);
    const float point[2] = {0.0f, 4.5f};
    using Interp = void (*)(const float *, const float *, int32_t, const float *, float *, int32_t);
    for (Interp kernel : {kve_vecTableInterp, kve_vecTableInterpRuntime}) {
        std::vector<float> out(x.size(), 9.0f);
        kernel(x.data(), point, 1, nullptr, out.data(), static_cast<int32_t>(x.size()));
        for (float v : out)
            EXPECT_EQ(v, 4.5f);
        kernel(x.data(), nullptr, 0, nullptr, out.data(), static_cast<int32_t>(x.size()));
        for (float v : out)
            EXPECT_EQ(v, 0.0f);
        kvetest::GuardedVector dst(4, 1);
        kernel(x.data(), point, 1, nullptr, dst.as<float>(), 0);
        for (uint32_t w : dst.words())
            EXPECT_EQ(w, kvetest::kGuardWord);
    }
}

TEST(Unwrap, FollowsNumpyOnAWrappedPhaseRamp)
{
    // The phase of a chirp, wrapped into [-pi, pi): steps from -0.7 up to 4.1 radians, past half a turn.
    std::vector<float> wrapped;
    for (int i = 0; i < 800; ++i) {
        const double phase = 0.003 * i * i - 0.7 * i;
        wrapped.push_back(static_cast<float>(phase - 2.0 * M_PI * std::floor((phase + M_PI) / (2.0 * M_PI))));
    }
    const std::vector<double> expected = reference("unwrap", wrapped);
    std::vector<float> out(wrapped.size());
    kve_vecUnwrap(wrapped.data(), 1, out.data(), 1, static_cast<int32_t>(wrapped.size()));
    for (size_t i = 0; i < expected.size(); ++i) // the float phase rounds to a few steps of its magnitude
        ASSERT_NEAR(out[i], expected[i], 1e-6 * std::fabs(expected[i]) + 1e-5) << i;
    for (size_t i = 1; i < out.size(); ++i) {
        ASSERT_LE(std::fabs(out[i] - out[i - 1]), 3.1415927f + 1e-3f) << i;
        const double turns = (static_cast<double>(out[i]) - wrapped[i]) / 6.2831855;
        ASSERT_NEAR(turns, std::round(turns), 1e-3) << i; // only whole turns are added
    }
}

TEST(Unwrap, EdgeCases)
{
    const double kTurn = 6.2831855f; // the float turn, in double
    const struct {
        std::vector<float> in;
        std::vector<float> out;
        const char *what;
    } cases[] = {
        {{3.0f, -3.0f}, {3.0f, 3.2831855f}, "one turn up"},
        {{-3.0f, 3.0f}, {-3.0f, -3.2831855f}, "one turn down"},
        {{0.0f, 3.1415927f, 0.0f}, {0.0f, 3.1415927f, 0.0f}, "a step of exactly pi stays"},
        {{0.0f, 1000.0f}, {0.0f, static_cast<float>(1000.0 - 159 * kTurn)}, "159 turns at once, rounded once"},
        {{1.0f, kInf, 2.0f, 8.5f}, {1.0f, kInf, 2.0f, static_cast<float>(8.5 - kTurn)},
         "infinity passes and restarts the track"},
        {{1.0f, kNaN, -20.0f, -20.0f}, {1.0f, kNaN, -20.0f, -20.0f}, "NaN passes and restarts the track"},
        {{0.5f, -kInf, -kInf}, {0.5f, -kInf, -kInf}, "infinities in a row"},
    };
    for (const auto &c : cases) {
        std::vector<float> out(c.in.size());
        kve_vecUnwrap(c.in.data(), 1, out.data(), 1, static_cast<int32_t>(c.in.size()));
        for (size_t i = 0; i < out.size(); ++i)
            EXPECT_EQ(bitsOf(out[i]), bitsOf(c.out[i])) << c.what << ", sample " << i;
    }
    // Phases far out: the turns come in one go and the result stays within pi of its predecessor.
    const float far[3] = {0.0f, 3.0e7f, -1.0e30f};
    float out[3];
    kve_vecUnwrap(far, 1, out, 1, 3);
    EXPECT_LE(std::fabs(out[1]), 3.2f);
    EXPECT_TRUE(std::isfinite(out[2]));
}

TEST(Unwrap, StridedInPlaceAndCountBelowOne)
{
    float x[6] = {3.0f, 99.0f, -3.0f, 99.0f, 3.0f, 99.0f};
    kve_vecUnwrap(x, 2, x, 2, 3);
    EXPECT_EQ(x[0], 3.0f);
    EXPECT_EQ(x[2], 3.2831855f);
    EXPECT_EQ(x[4], 3.0f);
    EXPECT_EQ(x[1], 99.0f);
    for (int32_t n : {0, -1}) {
        kvetest::GuardedVector dst(4, 1);
        kve_vecUnwrap(x, 1, dst.as<float>(), 1, n);
        for (uint32_t w : dst.words())
            ASSERT_EQ(w, kvetest::kGuardWord);
    }
}

// sqrtf and 1/x round once, so they equal numpy's double results rounded to single precision.
TEST(RootAndReciprocal, RoundOnceLikeNumpy)
{
    std::vector<float> x = spread(500, -1000.0f, 1000.0f);
    x.insert(x.end(), {1e-30f, 3e38f, 7.0f, 0.1f});
    std::vector<float> magnitude;
    for (float v : x)
        magnitude.push_back(std::fabs(v));
    const std::vector<double> roots = reference("sqrt", magnitude);
    const std::vector<double> inverses = reference("reciprocal", x);
    std::vector<float> root(x.size());
    std::vector<float> inverse(x.size());
    kve_vecSqrt(x.data(), 1, root.data(), 1, static_cast<int32_t>(x.size()));
    kve_vecReciprocal(x.data(), 1, inverse.data(), 1, static_cast<int32_t>(x.size()));
    for (size_t i = 0; i < x.size(); ++i) {
        ASSERT_EQ(root[i], static_cast<float>(roots[i])) << x[i];
        ASSERT_EQ(inverse[i], static_cast<float>(inverses[i])) << x[i];
    }
    const float zeros[2] = {0.0f, -0.0f};
    float out[2];
    kve_vecReciprocal(zeros, 1, out, 1, 2);
    EXPECT_EQ(out[0], kInf);
    EXPECT_EQ(out[1], -kInf);
    kve_vecSqrt(zeros, 1, out, 1, 2);
    EXPECT_EQ(bitsOf(out[0]), 0u);
}

} // namespace
