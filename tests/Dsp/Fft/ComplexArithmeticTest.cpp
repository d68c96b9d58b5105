// The elementwise complex kernels on interleaved (re, im) pairs: products and multiply-accumulate against the exact
// product in double precision, magnitudes against sqrt in double, the Fract32 magnitude against its exact integer
// sum of squares, and polar to rectangular against cos and sin.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <iterator>
#include <vector>

#include "Dsp/ExactModels.h"
#include "Dsp/GuardedVector.h"
#include "kve/kve_vec.h"

namespace {

// Values over several decades, both signs, none zero.
std::vector<float> spread(size_t count, float seed)
{
    std::vector<float> v(count);
    for (size_t i = 0; i < count; ++i) {
        const float x = std::sin(seed + 1.7f * static_cast<float>(i));
        v[i] = x * std::pow(10.0f, static_cast<float>(static_cast<int>(i % 7) - 3)) + (x < 0 ? -1e-3f : 1e-3f);
    }
    return v;
}

// A part formed from two products of floats, with at most one rounding of a product and one of the fused sum, is
// within 2^-23 of the larger product magnitude sum from the exact value.
double productBound(double p, double q, double acc = 0.0)
{
    return std::ldexp(std::fabs(p) + std::fabs(q) + std::fabs(acc), -23);
}

TEST(ComplexProducts, MatchTheExactProductContiguousAndStrided)
{
    constexpr int32_t kN = 37;
    const std::vector<float> a = spread(2 * kN, 0.3f);
    const std::vector<float> b = spread(2 * kN, 1.1f);
    const std::vector<float> acc = spread(2 * kN, 2.9f);
    const struct {
        const char *what;
        bool accumulates;
        void (*call)(const float *, const float *, float *);
    } cases[] = {
        {"ComplexMult", false, [](const float *x, const float *y, float *d) { kve_vecComplexMult(x, y, d, kN); }},
        {"ComplexMultAdd", true, [](const float *x, const float *y, float *d) { kve_vecComplexMultAdd(x, y, d, kN); }},
        {"MultiplyComplexByComplex", false,
         [](const float *x, const float *y, float *d) { kve_vecMultiplyComplexByComplex(x, 2, y, 2, d, 2, kN); }},
    };
    for (const auto &c : cases) {
        kvetest::GuardedVector dst(2 * kN, 1);
        float *d = dst.as<float>();
        for (size_t i = 0; i < acc.size(); ++i)
            d[i] = acc[i];
        c.call(a.data(), b.data(), d);
        for (size_t k = 0; k < kN; ++k) {
            const double ar = a[2 * k], ai = a[2 * k + 1], br = b[2 * k], bi = b[2 * k + 1];
            const double accRe = c.accumulates ? acc[2 * k] : 0.0;
            const double accIm = c.accumulates ? acc[2 * k + 1] : 0.0;
            EXPECT_NEAR(d[2 * k], accRe + ar * br - ai * bi, productBound(ar * br, ai * bi, accRe)) << c.what << k;
            EXPECT_NEAR(d[2 * k + 1], accIm + ar * bi + ai * br, productBound(ar * bi, ai * br, accIm)) << c.what << k;
        }
        EXPECT_EQ(dst.words().front(), kvetest::kGuardWord) << c.what;
        EXPECT_EQ(dst.words().back(), kvetest::kGuardWord) << c.what;
    }
}

TEST(ComplexProducts, InPlaceOutputReadsEachElementBeforeWritingIt)
{
    std::vector<float> a = {1.5f, -2.0f, 0.25f, 4.0f, -3.0f, 0.5f};
    const std::vector<float> b = {2.0f, 1.0f, -1.0f, 0.5f, 0.5f, 0.5f};
    std::vector<float> strided = a;
    kve_vecComplexMult(a.data(), b.data(), a.data(), 3);
    kve_vecMultiplyComplexByComplex(strided.data(), 2, b.data(), 2, strided.data(), 2, 3);
    // (1.5 - 2j)(2 + j) = 5 - 2.5j; (0.25 + 4j)(-1 + 0.5j) = -2.25 - 3.875j; (-3 + 0.5j)(0.5 + 0.5j) = -1.75 - 1.25j
    const std::vector<float> expected = {5.0f, -2.5f, -2.25f, -3.875f, -1.75f, -1.25f};
    EXPECT_EQ(a, expected);
    EXPECT_EQ(strided, expected);
}

TEST(ComplexProducts, IncrementsCountFloatsAndZeroRepeatsTheFirstElement)
{
    const std::vector<float> a = spread(40, 0.7f);
    const std::vector<float> b = spread(40, 5.3f);
    const struct {
        int32_t aInc, bInc, dstInc;
    } cases[] = {{0, 0, 2}, {4, 0, 3}, {0, 6, 2}, {2, 4, 5}, {-2, 2, 2}};
    constexpr int32_t kN = 6;
    for (const auto &c : cases) {
        std::vector<float> dst(64, 99.0f);
        const float *aStart = c.aInc < 0 ? a.data() + 2 * kN : a.data();
        kve_vecMultiplyComplexByComplex(aStart, c.aInc, b.data(), c.bInc, dst.data(), c.dstInc, kN);
        std::vector<bool> written(dst.size(), false);
        for (int32_t k = 0; k < kN; ++k) {
            const float *x = aStart + k * c.aInc;
            const float *y = b.data() + k * c.bInc;
            const size_t at = static_cast<size_t>(k * c.dstInc);
            const double re = double{x[0]} * y[0] - double{x[1]} * y[1];
            const double im = double{x[0]} * y[1] + double{x[1]} * y[0];
            EXPECT_NEAR(dst[at], re, productBound(double{x[0]} * y[0], double{x[1]} * y[1])) << k;
            EXPECT_NEAR(dst[at + 1], im, productBound(double{x[0]} * y[1], double{x[1]} * y[0])) << k;
            written[at] = written[at + 1] = true;
        }
        for (size_t i = 0; i < dst.size(); ++i) {
            if (!written[i]) {
                EXPECT_EQ(dst[i], 99.0f) << "untouched float " << i;
            }
        }
    }
}

TEST(ComplexProducts, RealTimesComplexScalesBothPartsWithOneRounding)
{
    const std::vector<float> r = spread(24, 0.2f);
    const std::vector<float> c = spread(48, 3.3f);
    const struct {
        int32_t rInc, cInc, dstInc, n;
    } cases[] = {{1, 2, 2, 24}, {2, 4, 2, 12}, {0, 2, 3, 10}, {1, 0, 2, 8}};
    for (const auto &k : cases) {
        std::vector<float> dst(80, 0.0f);
        kve_vecMultiplyRealByComplex(r.data(), k.rInc, c.data(), k.cInc, dst.data(), k.dstInc, k.n);
        for (int32_t i = 0; i < k.n; ++i) {
            const double g = r[static_cast<size_t>(i * k.rInc)];
            const size_t ci = static_cast<size_t>(i * k.cInc);
            const size_t di = static_cast<size_t>(i * k.dstInc);
            EXPECT_EQ(dst[di], static_cast<float>(g * c[ci])) << i;
            EXPECT_EQ(dst[di + 1], static_cast<float>(g * c[ci + 1])) << i;
        }
    }
}

TEST(ComplexMagnitudes, MatchSqrtAndSumOfSquaresOnEveryPath)
{
    const std::vector<float> x = spread(90, 4.1f);
    const struct {
        int32_t srcInc, dstInc, n;
    } layouts[] = {{2, 1, 45}, {2, 1, 3}, {2, 3, 20}, {3, 1, 29}, {0, 1, 5}};
    for (const auto &l : layouts) {
        std::vector<float> squared(150, -1.0f);
        std::vector<float> magnitude(150, -1.0f);
        kve_vecMagnitudeSquared(x.data(), l.srcInc, squared.data(), l.dstInc, l.n);
        kve_vecMagnitude(x.data(), l.srcInc, magnitude.data(), l.dstInc, l.n);
        for (int32_t k = 0; k < l.n; ++k) {
            const double re = x[static_cast<size_t>(k * l.srcInc)];
            const double im = x[static_cast<size_t>(k * l.srcInc + 1)];
            const double power = re * re + im * im;
            const size_t at = static_cast<size_t>(k * l.dstInc);
            EXPECT_NEAR(squared[at], power, std::ldexp(power, -23)) << "srcInc " << l.srcInc << " element " << k;
            EXPECT_NEAR(magnitude[at], std::sqrt(power), std::ldexp(std::sqrt(power), -22)) << k;
        }
    }
}

TEST(ComplexMagnitudes, Fract32SaturatesTheSumOfSquaresBeforeTheRoot)
{
    const struct {
        int32_t re, im;
        const char *what;
    } cases[] = {
        {INT32_MIN, INT32_MIN, "both parts -1: 1 + 1 saturates to just below 1"},
        {INT32_MIN, 0, "-1 squared saturates to just below 1"},
        {0x5A827999, 0x5A827999, "two halves of power sum to just below 1"},
        {0x40000000, 0x30000000, "3-4-5 triangle: 0.625"},
        {0, 0, "zero"},
        {-0x00010000, 0x00020000, "small parts"},
        {0x7FFFFFFF, -0x7FFFFFFF, "near full scale both"},
    };
    std::vector<int32_t> src;
    for (const auto &c : cases) {
        src.push_back(c.re);
        src.push_back(c.im);
    }
    std::vector<int32_t> dst(std::size(cases), 0);
    kve_vecMagnitudeFract32(src.data(), 2, dst.data(), 1, static_cast<int32_t>(std::size(cases)));
    for (size_t k = 0; k < std::size(cases); ++k) {
        const __int128 re2 = kvetest::floorDivPow2(static_cast<__int128>(cases[k].re) * cases[k].re, 31);
        const __int128 im2 = kvetest::floorDivPow2(static_cast<__int128>(cases[k].im) * cases[k].im, 31);
        const __int128 sum = static_cast<__int128>(kvetest::clampTo32(re2)) + kvetest::clampTo32(im2);
        const int32_t power = kvetest::clampTo32(sum);
        const double expected = std::sqrt(std::ldexp(power, -31));
        EXPECT_NEAR(std::ldexp(dst[k], -31), expected, 1e-5 * expected + std::ldexp(1.0, -30)) << cases[k].what;
        EXPECT_GE(dst[k], 0) << cases[k].what;
    }
}

TEST(PolarToComplex, MatchesMagnitudeTimesCosAndSinAndWritesContiguousPairs)
{
    constexpr int32_t kN = 33;
    std::vector<float> mag(kN);
    std::vector<float> phase(2 * kN);
    for (int32_t k = 0; k < kN; ++k) {
        mag[static_cast<size_t>(k)] = 0.1f + 0.37f * static_cast<float>(k);
        phase[static_cast<size_t>(2 * k)] = -3.14159f + 6.28318f * static_cast<float>(k) / (kN - 1);
    }
    for (int32_t dstInc : {2, 7}) {
        kvetest::GuardedVector out(2 * kN, 1);
        kve_vecPolarToComplex(mag.data(), 1, phase.data(), 2, out.as<float>(), dstInc, kN);
        const float *d = out.as<float>();
        for (int32_t k = 0; k < kN; ++k) {
            const double m = mag[static_cast<size_t>(k)];
            const double p = phase[static_cast<size_t>(2 * k)];
            EXPECT_NEAR(d[2 * k], m * std::cos(p), 2e-6 * m) << "dstInc " << dstInc << " element " << k;
            EXPECT_NEAR(d[2 * k + 1], m * std::sin(p), 2e-6 * m) << "dstInc " << dstInc << " element " << k;
        }
        EXPECT_EQ(out.words().front(), kvetest::kGuardWord);
        EXPECT_EQ(out.words().back(), kvetest::kGuardWord);
    }
}

TEST(ComplexKernels, CountsBelowOneWriteNothing)
{
    const std::vector<float> a = spread(8, 0.5f);
    const std::vector<int32_t> w = {1, 2, 3, 4};
    for (int32_t n : {0, -1}) {
        std::vector<float> dst(8, 7.0f);
        std::vector<int32_t> dstWords(4, 7);
        kve_vecComplexMult(a.data(), a.data(), dst.data(), n);
        kve_vecComplexMultAdd(a.data(), a.data(), dst.data(), n);
        kve_vecMultiplyComplexByComplex(a.data(), 2, a.data(), 2, dst.data(), 2, n);
        kve_vecMultiplyRealByComplex(a.data(), 1, a.data(), 2, dst.data(), 2, n);
        kve_vecMagnitude(a.data(), 2, dst.data(), 1, n);
        kve_vecMagnitudeSquared(a.data(), 2, dst.data(), 1, n);
        kve_vecPolarToComplex(a.data(), 1, a.data(), 1, dst.data(), 2, n);
        kve_vecMagnitudeFract32(w.data(), 2, dstWords.data(), 1, n);
        EXPECT_EQ(dst, std::vector<float>(8, 7.0f)) << n;
        EXPECT_EQ(dstWords, std::vector<int32_t>(4, 7)) << n;
    }
}

} // namespace
