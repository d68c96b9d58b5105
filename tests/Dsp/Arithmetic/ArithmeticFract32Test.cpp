// Fixed-point and integer arithmetic kernels: their edge values, and agreement with exact models (128-bit
// integers) over many random words, in contiguous vectors (the four-lane path of the Fract32 product) and strided.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <random>
#include <vector>

#include "Dsp/Arithmetic/ArithmeticModels.h"
#include "Dsp/ExactModels.h"
#include "kve/kve_vec.h"

namespace {

using kvetest::clampTo32;
using kvetest::exactFract32Product;
using kvetest::scaleByPow2;

constexpr int32_t kMin = INT32_MIN;
constexpr int32_t kMax = INT32_MAX;

int32_t word(uint32_t bits) { return static_cast<int32_t>(bits); }

// Random words with the edge values mixed in often.
class Words {
public:
    explicit Words(uint32_t seed) : rng_(seed) {}
    int32_t next()
    {
        static const int32_t edges[] = {kMin, kMax, 0, 1, -1, 0x40000000, word(0xC0000000), kMin + 1, kMax - 1};
        if (rng_() % 8 == 0)
            return edges[rng_() % std::size(edges)];
        return static_cast<int32_t>(rng_());
    }
    std::vector<int32_t> vector(size_t n)
    {
        std::vector<int32_t> v(n);
        for (int32_t &x : v)
            x = next();
        return v;
    }
    std::mt19937 &rng() { return rng_; }

private:
    std::mt19937 rng_;
};

struct Pair {
    int32_t a;
    int32_t b;
    int32_t expected;
};

TEST(Fract32SumKernels, SaturateAtFullScaleWhileIntegerSumsWrap)
{
    const Pair sums[] = {{kMax, 1, kMax}, {kMin, -1, kMin}, {kMin, kMin, kMin}, {kMax, kMin, -1}, {5, -7, -2}};
    for (const Pair &c : sums) {
        int32_t out = 0;
        kve_vecAdd2x1Fract32(&c.a, 1, &c.b, 1, &out, 1, 1);
        EXPECT_EQ(out, c.expected) << c.a << " + " << c.b;
    }
    const Pair differences[] = {{kMin, 1, kMin}, {0, kMin, kMax}, {kMax, -1, kMax}, {kMin, kMin, 0}};
    for (const Pair &c : differences) {
        int32_t out = 0;
        kve_vecSubtract2x1Fract32(&c.a, 1, &c.b, 1, &out, 1, 1);
        EXPECT_EQ(out, c.expected) << c.a << " - " << c.b;
    }
    const int32_t a[] = {kMax, kMin, -1};
    const int32_t b[] = {1, 1, kMin};
    int32_t out[3];
    kve_vecAdd2x1Int32(a, 1, b, 1, out, 1, 3);
    EXPECT_EQ(out[0], kMin); // wraps
    EXPECT_EQ(out[1], kMin + 1);
    EXPECT_EQ(out[2], kMax);
    kve_vecSubtract2x1Int32(a, b, out, 3);
    EXPECT_EQ(out[0], kMax - 1);
    EXPECT_EQ(out[1], kMax); // wraps
    EXPECT_EQ(out[2], kMax);
}

TEST(Fract32ProductKernel, RoundsDownAndSaturatesOnlyMinusOneSquared)
{
    // Every case in a vector of four (the four-lane path) and alone (the tail).
    const Pair cases[] = {
        {kMin, kMin, kMax}, {kMin, kMax, word(0x80000001)}, {0x40000000, word(0xC0000000), word(0xE0000000)},
        {kMin, 1, -1},      {1, -1, -1},                    {1, 1, 0},
        {kMax, kMax, 0x7FFFFFFE}, {-3, 0x40000000, -2},
    };
    std::vector<int32_t> a;
    std::vector<int32_t> b;
    for (const Pair &c : cases) {
        a.push_back(c.a);
        b.push_back(c.b);
    }
    std::vector<int32_t> out(a.size());
    kve_vecMultiply2x1Fract32(a.data(), 1, b.data(), 1, out.data(), 1, static_cast<int32_t>(a.size()));
    for (size_t i = 0; i < std::size(cases); ++i) {
        int32_t single = 0;
        kve_vecMultiply2x1Fract32(&cases[i].a, 1, &cases[i].b, 1, &single, 1, 1);
        EXPECT_EQ(out[i], cases[i].expected) << std::hex << cases[i].a << " x " << cases[i].b;
        EXPECT_EQ(single, cases[i].expected) << std::hex << cases[i].a << " x " << cases[i].b;
    }
}

TEST(Fract32ProductKernel, MultipliesEverySecondSampleByOneHeldSample)
{
    const int32_t a[] = {0x40000000, 99, word(0xC0000000), 99, kMin, 99, kMax, 99};
    const int32_t b = 0x40000000;
    int32_t out[4] = {};
    kve_vecMultiply2x1Fract32(a, 2, &b, 0, out, 1, 4);
    EXPECT_EQ(out[0], 0x20000000);
    EXPECT_EQ(out[1], word(0xE0000000));
    EXPECT_EQ(out[2], word(0xC0000000));
    EXPECT_EQ(out[3], 0x3FFFFFFF);
}

TEST(Fract32ProductKernel, MatchesTheExactProductOverRandomWords)
{
    Words words(23);
    const size_t n = 100003;
    const std::vector<int32_t> a = words.vector(n);
    const std::vector<int32_t> b = words.vector(n);
    std::vector<int32_t> contiguous(n);
    kve_vecMultiply2x1Fract32(a.data(), 1, b.data(), 1, contiguous.data(), 1, static_cast<int32_t>(n));
    std::vector<int32_t> strided(2 * n);
    kve_vecMultiply2x1Fract32(a.data(), 1, b.data(), 1, strided.data(), 2, static_cast<int32_t>(n));
    for (size_t i = 0; i < n; ++i) {
        ASSERT_EQ(contiguous[i], exactFract32Product(a[i], b[i])) << a[i] << " x " << b[i];
        ASSERT_EQ(strided[2 * i], contiguous[i]) << a[i] << " x " << b[i];
    }
}

// The multiply-add saturates like every other Fract32 sum (a wrapped sum would flip full scale to minus full scale).
TEST(Fract32MultiplyAddKernel, SaturatesItsSum)
{
    const struct {
        int32_t a, b, c, expected;
    } cases[] = {
        {1, kMax, kMax, kMax},             // a product of 0 (rounded down) leaves c alone
        {0x00000002, 0x40000000, kMax, kMax}, // c + 1 saturates
        {kMin, kMin, 0x00000001, kMax},    // 0x7FFFFFFF + 1 saturates
        {kMin, kMax, kMin, kMin},          // -1 + -1 saturates
        {0x40000000, 0x40000000, 0x10000000, 0x30000000},
        {kMin, 1, 0, -1},                  // the product rounds toward minus infinity
    };
    for (const auto &c : cases) {
        int32_t out = 0;
        kve_vecMultiplyAddFract32(&c.a, 1, &c.b, 1, &c.c, 1, &out, 1, 1);
        EXPECT_EQ(out, c.expected) << c.a << " x " << c.b << " + " << c.c;
    }
    Words words(29);
    for (int i = 0; i < 100000; ++i) {
        const int32_t a = words.next();
        const int32_t b = words.next();
        const int32_t c = words.next();
        int32_t out = 0;
        kve_vecMultiplyAddFract32(&a, 1, &b, 1, &c, 1, &out, 1, 1);
        ASSERT_EQ(out, clampTo32(static_cast<__int128>(c) + exactFract32Product(a, b)))
            << a << " x " << b << " + " << c;
    }
}

TEST(Fract32ScaleKernel, HalfGainWithShiftOneClearsTheLowestBit)
{
    const int32_t src[] = {kMax, kMin, -3, 3, 0, 0x12345679};
    const int32_t expected[] = {0x7FFFFFFE, kMin, -4, 2, 0, 0x12345678};
    int32_t out[6] = {};
    kve_vecScaleFract32(src, 1, out, 1, 0x40000000, 1, 6);
    for (int i = 0; i < 6; ++i)
        EXPECT_EQ(out[i], expected[i]) << src[i];
}

TEST(Fract32ScaleKernel, PostShiftWidensTheGainRangeAndSaturates)
{
    const struct {
        int32_t x, gain, shift, expected;
    } cases[] = {
        {0x40000000, kMax, 1, 0x7FFFFFFE},        // 0.5 x (1 - ulp) x 2
        {0x40000000, 0x40000000, 1, 0x40000000},   // 0.5 x 0.5 x 2
        {0x40000000, 0x40000000, 2, kMax},         // 1.0 saturates
        {word(0xC0000000), 0x40000000, 2, kMin},   // -1.0 fits
        {word(0xC0000000), 0x40000000, 3, kMin},
        {0x40000000, 0x40000000, -1, 0x10000000},
        {-5, kMax, -31, -1},                       // a negative product shifted right stays at -1 ulp
        {5, kMax, -31, 0},
        {0x40000000, 0x40000000, 0x00010001, 0x40000000}, // only the low 16 bits count: 0x10001 is 1
        {0x40000000, 0x40000000, 0x0000FFFF, 0x10000000}, // 0xFFFF is -1
        // Counts beyond the word: the exact scaling (2^-40 empties the product, 2^40 saturates it), not the count
        // taken modulo 32 or 64.
        {0x40000000, 0x40000000, -40, 0},
        {word(0xC0000000), 0x40000000, -40, -1},
        {1 << 20, 1 << 20, 40, kMax},
        {-(1 << 20), 1 << 20, 64, kMin},
    };
    for (const auto &c : cases) {
        int32_t out = 0;
        kve_vecScaleFract32(&c.x, 1, &out, 1, c.gain, c.shift, 1);
        EXPECT_EQ(out, c.expected) << std::hex << c.x << " x " << c.gain << std::dec << " shift " << c.shift;
    }
}

TEST(Fract32ScaleKernels, MatchTheExactScaledProductForEveryShift)
{
    Words words(31);
    std::uniform_int_distribution<int32_t> shifts(-70, 70);
    for (int i = 0; i < 100000; ++i) {
        const int32_t x = words.next();
        const int32_t gain = words.next();
        const int32_t shift = shifts(words.rng());
        const int32_t d = words.next();
        const int32_t offset = words.next();
        const int32_t scaled = clampTo32(scaleByPow2(exactFract32Product(x, gain), shift));

        int32_t out = 0;
        kve_vecScaleFract32(&x, 1, &out, 1, gain, shift, 1);
        ASSERT_EQ(out, scaled) << x << " x " << gain << " shift " << shift;

        // Scale-add saturates the shifted product, then the sum.
        out = d;
        kve_vecScaleAddFract32(&x, 1, &out, 1, gain, shift, 1);
        ASSERT_EQ(out, clampTo32(static_cast<__int128>(d) + scaled)) << x << " x " << gain << " shift " << shift;

        // Scale-and-offset saturates only the sum.
        kve_vecScaleOffsetFract32(&x, 1, &out, 1, gain, shift, offset, 1);
        ASSERT_EQ(out, clampTo32(scaleByPow2(exactFract32Product(x, gain), shift) + offset))
            << x << " x " << gain << " shift " << shift << " + " << offset;
    }
}

TEST(Fract32ScaleAddKernel, SaturatesTheShiftedProductBeforeTheSum)
{
    // 0.5 x 0.5 x 8 = 2.0 saturates to 1 - ulp first; adding -1.0 then gives -ulp, not +1.0.
    const int32_t x = 0x40000000;
    int32_t dst = kMin;
    kve_vecScaleAddFract32(&x, 1, &dst, 1, 0x40000000, 3, 1);
    EXPECT_EQ(dst, -1);
}

TEST(Fract32ScaleOffsetKernel, AnOffsetBringsAnOverflowingProductBack)
{
    // The product 0x7FFFFFFE shifted left is 0xFFFFFFFC in 64 bits; adding -2^31 brings it back into range.
    const int32_t x = kMax;
    int32_t out = 0;
    kve_vecScaleOffsetFract32(&x, 1, &out, 1, kMax, 1, kMin, 1);
    EXPECT_EQ(out, 0x7FFFFFFC);
    // A shift beyond the word keeps the product's side, so a full-scale offset cannot bring it back.
    kve_vecScaleOffsetFract32(&x, 1, &out, 1, kMax, 40, kMin, 1);
    EXPECT_EQ(out, kMax);
    kve_vecScaleOffsetFract32(&x, 1, &out, 1, kMax, kMin, 5, 1); // shift -2^31: the product empties to 0
    EXPECT_EQ(out, 5);
}

TEST(IntegerScaleKernels, WrapModuloTwoToTheThirtyTwo)
{
    const int32_t src[] = {0x10000, kMax, kMin, -3};
    int32_t out[4];
    kve_vecIntegerScale(src, 1, out, 1, 0x10000, 4);
    EXPECT_EQ(out[0], 0);
    EXPECT_EQ(out[1], word(0xFFFF0000));
    EXPECT_EQ(out[2], 0);
    EXPECT_EQ(out[3], -0x30000);
    kve_vecScaleOffsetInt32(src, 1, out, 1, 2, 1, 4);
    EXPECT_EQ(out[0], 0x20001);
    EXPECT_EQ(out[1], -1); // 2 x 0x7FFFFFFF wraps to -2
    EXPECT_EQ(out[2], 1);
    EXPECT_EQ(out[3], -5);
}

TEST(Fract32SquareAddKernel, SaturatesAtFullScaleOnly)
{
    const int32_t src[] = {kMin, 0x40000000, kMax, 0x40000000, 0};
    int32_t dst[] = {0, 0x70000000, kMin, kMin, kMin};
    kve_vecSquareAddFract32(src, 1, dst, 1, 5);
    EXPECT_EQ(dst[0], kMax);       // (-1)^2 is 0x7FFFFFFF
    EXPECT_EQ(dst[1], kMax);       // 0.875 + 0.25 saturates
    EXPECT_EQ(dst[2], -2);         // -1 + (1 - 2 ulp)
    EXPECT_EQ(dst[3], word(0xA0000000));
    EXPECT_EQ(dst[4], kMin);
}

TEST(HalfSumAndDifferenceKernels, HalveBeforeOrAfterTheSumAsTheTypeDemands)
{
    const int32_t a[] = {-3, kMax, kMin, kMax, 3};
    const int32_t b[] = {0, 1, kMin, kMin, -1};
    int32_t sum[5];
    int32_t diff[5];
    kve_vecScaleSumDiffInt32(a, b, sum, diff, 5);
    EXPECT_EQ(sum[0], -1); // -3 / 2 truncates toward zero
    EXPECT_EQ(diff[0], -1);
    EXPECT_EQ(sum[1], -1073741824); // the sum wraps before the halving
    EXPECT_EQ(diff[1], 0x3FFFFFFF);
    EXPECT_EQ(sum[2], 0);           // -2^32 wraps to 0
    EXPECT_EQ(diff[2], 0);
    EXPECT_EQ(sum[3], 0);           // -1 / 2
    EXPECT_EQ(diff[3], 0);          // 2^32 - 1 wraps to -1, halved toward zero
    EXPECT_EQ(sum[4], 1);
    EXPECT_EQ(diff[4], 2);
    kve_vecScaleSumDiffFract32(a, b, sum, diff, 5);
    EXPECT_EQ(sum[0], -2); // -3 >> 1 rounds toward minus infinity
    EXPECT_EQ(diff[0], -2);
    EXPECT_EQ(sum[1], 0x3FFFFFFF);
    EXPECT_EQ(diff[1], 0x3FFFFFFF);
    EXPECT_EQ(sum[2], kMin); // -0.5 + -0.5 reaches -1.0 without overflow
    EXPECT_EQ(diff[2], 0);
    EXPECT_EQ(sum[3], -1);
    EXPECT_EQ(diff[3], kMax); // 0.5 - ulp + 0.5
    EXPECT_EQ(sum[4], 0);
    EXPECT_EQ(diff[4], 2);
}

TEST(MagnitudeKernels, MinusOneSaturatesAsFract32AndWrapsAsInteger)
{
    const int32_t src[] = {kMin, kMin + 1, -1, 0, 7};
    int32_t fract[5];
    int32_t integer[5];
    kve_vecAbsFract32(src, 1, fract, 1, 5);
    kve_vecAbsInt(src, 1, integer, 1, 5);
    const int32_t expectedFract[] = {kMax, kMax, 1, 0, 7};
    const int32_t expectedInteger[] = {kMin, kMax, 1, 0, 7};
    for (int i = 0; i < 5; ++i) {
        EXPECT_EQ(fract[i], expectedFract[i]) << src[i];
        EXPECT_EQ(integer[i], expectedInteger[i]) << src[i];
    }
}

TEST(Fract32ClipKernel, AppliesTheLowerBoundFirst)
{
    const int32_t src[] = {kMin, -5, 0, 5, kMax};
    int32_t out[5];
    kve_vecClipAsymFract32(src, out, -3, 4, 5);
    const int32_t expected[] = {-3, -3, 0, 4, 4};
    for (int i = 0; i < 5; ++i)
        EXPECT_EQ(out[i], expected[i]) << src[i];
    kve_vecClipAsymFract32(src, out, 10, -10, 5); // lower above upper: upper everywhere
    for (int i = 0; i < 5; ++i)
        EXPECT_EQ(out[i], -10) << src[i];
}

TEST(WordShiftKernels, SaturateOnlyInTheSaturatingLeftShift)
{
    const struct {
        uint32_t x;
        int32_t shift;
        uint32_t saturating, arithmetic, logical;
    } cases[] = {
        {0x3FFFFFFFu, 1, 0x7FFFFFFEu, 0x7FFFFFFEu, 0x7FFFFFFEu}, // equal to 0x7FFFFFFF >> 1 still fits
        {0x3FFFFFFEu, 1, 0x7FFFFFFCu, 0x7FFFFFFCu, 0x7FFFFFFCu},
        {0xC0000000u, 1, 0x80000000u, 0x80000000u, 0x80000000u}, // equal to 0x80000000 >> 1
        {0xC0000001u, 1, 0x80000002u, 0x80000002u, 0x80000002u},
        {0x40000000u, 1, 0x7FFFFFFFu, 0x80000000u, 0x80000000u},
        {0xFFFFFFFFu, -1, 0xFFFFFFFFu, 0xFFFFFFFFu, 0x7FFFFFFFu},
        {0x80000000u, -1, 0xC0000000u, 0xC0000000u, 0x40000000u},
        {0x00000001u, 31, 0x7FFFFFFFu, 0x80000000u, 0x80000000u},
        {0x12345678u, 0, 0x12345678u, 0x12345678u, 0x12345678u},
        {0x7FFFFFFFu, 0, 0x7FFFFFFFu, 0x7FFFFFFFu, 0x7FFFFFFFu},
        {0x12345678u, 32, 0x12345678u, 0x12345678u, 0x12345678u}, // counts modulo 32
        {0x00000003u, 33, 0x00000006u, 0x00000006u, 0x00000006u},
        {0x80000000u, -33, 0xC0000000u, 0xC0000000u, 0x40000000u},
        {0x80000000u, kMin, 0x80000000u, 0x80000000u, 0x80000000u},
        // With a count of 31 the top is 0: silence stays silence.
        {0x00000000u, 31, 0x00000000u, 0x00000000u, 0x00000000u},
        {0xFFFFFFFFu, 31, 0x80000000u, 0x80000000u, 0x80000000u},
    };
    for (const auto &c : cases) {
        const int32_t x = word(c.x);
        int32_t out = 0;
        kve_vecShift(&x, 1, &out, 1, c.shift, 1);
        EXPECT_EQ(static_cast<uint32_t>(out), c.saturating) << std::hex << c.x << std::dec << " shift " << c.shift;
        kve_vecShiftNoSat(&x, 1, &out, 1, c.shift, 1);
        EXPECT_EQ(static_cast<uint32_t>(out), c.arithmetic) << std::hex << c.x << std::dec << " shift " << c.shift;
        kve_vecLShift(&x, 1, &out, 1, c.shift, 1);
        EXPECT_EQ(static_cast<uint32_t>(out), c.logical) << std::hex << c.x << std::dec << " shift " << c.shift;
    }
}

// ---- Fract32 soft clip ----

TEST(Fract32SoftClipKernel, PassesSmallSamplesAndMinusOne)
{
    const int32_t src[] = {kMin, 0, 0x1FFFFFFF, -0x1FFFFFFF};
    int32_t out[4];
    kve_vecSoftClipFract32(src, 0x20000000, 0x60000000, out, 4);
    for (int i = 0; i < 4; ++i)
        EXPECT_EQ(out[i], src[i]);
}

// The float curve t + (L - t)(|x| - t)/(|x| + L - 2t), at threshold 0.5 and limit 1 - ulp: 0.5 gives 0.5,
// 1.0 gives 0.75, -1.0 gives -0.75, to within the half-scale rounding.
TEST(Fract32SoftClipKernel, FollowsTheSoftClipCurve)
{
    const int32_t t = 0x40000000;
    const int32_t limit = kMax;
    const struct {
        int32_t x;
        double expected;
    } cases[] = {{0x40000000, 0.5}, {kMax, 0.75}, {-kMax, -0.75}, {0x60000000, 0.5 + 0.5 * 0.25 / 0.75}};
    for (const auto &c : cases) {
        int32_t out = 0;
        kve_vecSoftClipFract32(&c.x, t, limit, &out, 1);
        EXPECT_NEAR(out / 2147483648.0, c.expected, 1e-7) << c.x;
    }
    // Over random thresholds, limits and samples, against the curve in double precision, wherever the denominator
    // |x| + L - 2t stays below full scale (beyond, the denominator is held at 1.0 and the output rises to the limit).
    Words words(37);
    for (int i = 0; i < 20000; ++i) {
        const int32_t th = static_cast<int32_t>(words.rng()() % 0x7F000000u);
        const int32_t lim = th + static_cast<int32_t>(words.rng()() % static_cast<uint32_t>(kMax - th));
        const int32_t x = words.next();
        int32_t out = 0;
        kve_vecSoftClipFract32(&x, th, lim, &out, 1);
        const double T = th / 2147483648.0;
        const double L = lim / 2147483648.0;
        const double a = std::fabs(x / 2147483648.0);
        if (x == kMin || a < T || a + L - 2 * T >= 1.0)
            continue;
        const double y = T + (L - T) * (a - T) / (a + L - 2 * T);
        EXPECT_NEAR(std::fabs(out / 2147483648.0), y, 1e-6) << "x " << x << " t " << th << " L " << lim;
    }
}

TEST(Fract32SoftClipKernel, NeverExceedsTheLimit)
{
    Words words(41);
    for (int i = 0; i < 100000; ++i) {
        int32_t th = words.next();
        int32_t lim = words.next();
        if (th < 0)
            th = th == kMin ? 0 : -th;
        if (lim < 0)
            lim = lim == kMin ? 0 : -lim;
        if (th > lim)
            std::swap(th, lim);
        const int32_t x = words.next();
        int32_t out = 0;
        kve_vecSoftClipFract32(&x, th, lim, &out, 1);
        if (x == kMin)
            continue;
        ASSERT_LE(std::abs(static_cast<int64_t>(out)), lim) << "x " << x << " t " << th << " L " << lim;
    }
}

TEST(Fract32SoftClipKernel, MatchesItsStepByStepModelForAnyParameters)
{
    Words words(43);
    for (int i = 0; i < 100000; ++i) {
        const int32_t th = words.next();
        const int32_t lim = words.next();
        const int32_t x = words.next();
        int32_t out = 0;
        kve_vecSoftClipFract32(&x, th, lim, &out, 1);
        ASSERT_EQ(out, kvetest::modelSoftClipFract32(x, th, lim)) << "x " << x << " t " << th << " L " << lim;
    }
}

} // namespace
