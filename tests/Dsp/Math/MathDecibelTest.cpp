// Decibel, power and logarithm kernels: the exact float conversions, the polynomial approximations with their
// exponent-field arithmetic, and the fixed-point forms against exact integer models and numpy.
#include <gtest/gtest.h>

#include <bit>
#include <cfloat>
#include <cmath>
#include <cstdint>
#include <limits>
#include <random>
#include <vector>

#include "Dsp/GuardedVector.h"
#include "Dsp/Math/MathModels.h"
#include "kve/kve_vec.h"

namespace {

using kvetest::bitsOf;
using kvetest::reference;

constexpr float kNaN = std::numeric_limits<float>::quiet_NaN();
constexpr float kInf = std::numeric_limits<float>::infinity();
constexpr float kDbFloor = -758.5955810546875f; // 20 log10(2^-126)

using BlockKernel = void (*)(const float *, float *, int32_t);

float one(BlockKernel kernel, float x)
{
    float out = 0.0f;
    kernel(&x, &out, 1);
    return out;
}

// Magnitudes from 1e-30 to 1e30, both signs, odd spacing so that mantissas spread over [0.5, 1).
std::vector<float> magnitudes()
{
    std::vector<float> x;
    for (int i = 0; i <= 1200; ++i) {
        const float m = static_cast<float>(std::pow(10.0, -30.0 + 60.0 * i / 1200.0 + 0.00037 * (i % 11)));
        x.push_back(i % 2 == 0 ? m : -m);
    }
    return x;
}

// Decibels from -700 to 700, inside the range where 10^(x/20) is a normal float.
std::vector<float> decibels()
{
    std::vector<float> x;
    for (int i = 0; i <= 1400; ++i)
        x.push_back(-700.0f + static_cast<float>(i) + 0.0371f * static_cast<float>(i % 13));
    return x;
}

std::vector<float> run(BlockKernel kernel, const std::vector<float> &x)
{
    std::vector<float> out(x.size());
    kernel(x.data(), out.data(), static_cast<int32_t>(x.size()));
    return out;
}

TEST(DecibelKernels, ExactFormsFollowNumpy)
{
    const std::vector<float> m = magnitudes();
    const std::vector<float> db = decibels();
    const std::vector<double> toDb = reference("db20", m);
    const std::vector<double> toLinear = reference("undb20", db);
    for (BlockKernel kernel : {kve_vecDb20, kve_vecLinearToDB}) {
        const std::vector<float> out = run(kernel, m);
        for (size_t i = 0; i < m.size(); ++i)
            ASSERT_NEAR(out[i], toDb[i], 1e-5 + 1e-6 * std::fabs(toDb[i])) << m[i];
    }
    for (BlockKernel kernel : {kve_vecDBToLinear, kve_vecUnDb20}) {
        const std::vector<float> out = run(kernel, db);
        for (size_t i = 0; i < db.size(); ++i) // the float dB value itself carries up to 4e-5 dB of rounding
            ASSERT_NEAR(out[i] / toLinear[i], 1.0, 2e-5) << db[i];
    }
}

TEST(DecibelKernels, ZeroHasAFloorInDb20AndNoneInLinearToDB)
{
    EXPECT_EQ(one(kve_vecDb20, 0.0f), kDbFloor);
    EXPECT_EQ(one(kve_vecDb20, -0.0f), kDbFloor);
    EXPECT_NEAR(one(kve_vecDb20, 0x1p-126f), kDbFloor, 1e-3); // the smallest normal already takes the logarithm
    EXPECT_EQ(one(kve_vecLinearToDB, 0.0f), -kInf);
    EXPECT_EQ(one(kve_vecDb20, -10.0f), one(kve_vecDb20, 10.0f));
    EXPECT_EQ(one(kve_vecDBToLinear, 0.0f), 1.0f);
    EXPECT_EQ(one(kve_vecUnDb20, 0.0f), 1.0f);
}

// The approximate dB conversion: within 0.01 dB of 20 log10 |x| (the cubic's error, times 6.02 dB per octave).
TEST(ApproxDecibels, Db20ApproxFollowsNumpyWithinAHundredthOfADecibel)
{
    const std::vector<float> m = magnitudes();
    const std::vector<double> expected = reference("db20", m);
    const std::vector<float> out = run(kve_vecDb20_Approx, m);
    for (size_t i = 0; i < m.size(); ++i)
        ASSERT_NEAR(out[i], expected[i], 0.01) << m[i];
}

// Zero is held at 1.1755e-38 (just above the smallest normal float) and infinity at the largest float; the sign
// is dropped; NaN stays NaN.
TEST(ApproxDecibels, Db20ApproxHoldsZeroAndInfinityAtTheEndsOfTheFloatRange)
{
    const float lowest = std::bit_cast<float>(0x00800028u);
    const float cases[] = {0.0f, -0.0f, 1e-45f, lowest, kInf, -kInf, FLT_MAX, -3.5f, 3.5f};
    const float expected[] = {one(kve_vecDb20_Approx, lowest), one(kve_vecDb20_Approx, lowest),
                              one(kve_vecDb20_Approx, lowest), one(kve_vecDb20_Approx, lowest),
                              one(kve_vecDb20_Approx, FLT_MAX), one(kve_vecDb20_Approx, FLT_MAX),
                              one(kve_vecDb20_Approx, FLT_MAX), one(kve_vecDb20_Approx, 3.5f),
                              one(kve_vecDb20_Approx, 3.5f)};
    std::vector<float> block;
    for (int copy = 0; copy < 3; ++copy) // 27 samples: a block of sixteen, two of four and a tail of three
        block.insert(block.end(), std::begin(cases), std::end(cases));
    const std::vector<float> out = run(kve_vecDb20_Approx, block);
    for (size_t i = 0; i < block.size(); ++i)
        EXPECT_EQ(bitsOf(out[i]), bitsOf(expected[i % 9])) << block[i] << " at " << i;
    EXPECT_NEAR(one(kve_vecDb20_Approx, lowest), -758.5955, 0.01);
    EXPECT_NEAR(one(kve_vecDb20_Approx, FLT_MAX), 770.6368, 0.01);
    const std::vector<float> nans = run(kve_vecDb20_Approx, std::vector<float>(21, kNaN));
    for (float v : nans)
        EXPECT_TRUE(std::isnan(v));
}

// The four-lane blocks split a float by its bits, the one-by-one tail by frexp: on every normal magnitude both give
// the same word.
TEST(ApproxDecibels, Db20ApproxBlocksAndTailAgreeBitForBit)
{
    std::vector<float> x;
    for (uint64_t bits = 0; bits <= UINT32_MAX; bits += 40009)
        x.push_back(std::bit_cast<float>(static_cast<uint32_t>(bits)));
    const std::vector<float> block = run(kve_vecDb20_Approx, x);
    for (size_t i = 0; i < x.size(); ++i)
        ASSERT_EQ(bitsOf(block[i]), bitsOf(one(kve_vecDb20_Approx, x[i]))) << x[i];
    std::vector<float> inPlace = x;
    kve_vecDb20_Approx(inPlace.data(), inPlace.data(), static_cast<int32_t>(inPlace.size()));
    for (size_t i = 0; i < x.size(); ++i)
        ASSERT_EQ(bitsOf(inPlace[i]), bitsOf(block[i]));
}

// Within 0.4 % of 10^(x/20) (the quintic's error; about 0.03 dB), in blocks and one by one.
TEST(ApproxDecibels, UnDb20ApproxFollowsNumpyInBlocksAndAlone)
{
    const std::vector<float> db = decibels();
    const std::vector<double> expected = reference("undb20", db);
    const std::vector<float> block = run(kve_vecUnDb20_Approx, db);
    for (size_t i = 0; i < db.size(); ++i) {
        ASSERT_NEAR(block[i] / expected[i], 1.0, 0.004) << db[i];
        const float alone = one(kve_vecUnDb20_Approx, db[i]);
        ASSERT_NEAR(alone / expected[i], 1.0, 0.004) << db[i];
        if (db[i] >= 0.0f) { // the two take the same whole part for positive exponents
            ASSERT_EQ(bitsOf(alone), bitsOf(block[i])) << db[i];
        }
    }
}

// Beyond the float range the result is infinity, below the normal range 0, in blocks as one by one: the exponent
// never wraps around to a value at the other end of the range.
TEST(ApproxDecibels, UnDb20ApproxSaturatesInsteadOfWrappingTheExponent)
{
    std::vector<float> x;
    for (float v = 760.0f; v < 1600.0f; v += 0.37f)
        x.push_back(v);
    for (float v : {1e6f, 1e30f, FLT_MAX, kInf})
        x.push_back(v);
    const auto high = x.size();
    for (float v = -740.0f; v > -1600.0f; v -= 0.37f)
        x.push_back(v);
    for (float v : {-1e6f, -1e30f, -FLT_MAX, -kInf})
        x.push_back(v);
    const std::vector<float> block = run(kve_vecUnDb20_Approx, x);
    for (size_t i = 0; i < x.size(); ++i) {
        const float alone = one(kve_vecUnDb20_Approx, x[i]);
        for (float v : {block[i], alone}) {
            if (i < high)
                ASSERT_TRUE(v == kInf || (v > 1e37f && x[i] < 771.0f)) << x[i] << " gave " << v;
            else
                ASSERT_TRUE(v == 0.0f || (v < 1e-36f && v > 0.0f && x[i] > -760.0f)) << x[i] << " gave " << v;
        }
    }
    EXPECT_EQ(one(kve_vecUnDb20_Approx, 800.0f), kInf);
    EXPECT_EQ(one(kve_vecUnDb20_Approx, -800.0f), 0.0f);
    const std::vector<float> nans = run(kve_vecUnDb20_Approx, std::vector<float>(7, kNaN));
    for (float v : nans)
        EXPECT_TRUE(std::isnan(v));
}

TEST(ApproxDecibels, CountBelowOneWritesNothing)
{
    for (BlockKernel kernel : {kve_vecDb20, kve_vecLinearToDB, kve_vecDBToLinear, kve_vecUnDb20, kve_vecDb20_Approx,
                               kve_vecUnDb20_Approx}) {
        for (int32_t n : {0, -5}) {
            kvetest::GuardedVector dst(8, 1);
            const float src[8] = {};
            kernel(src, dst.as<float>(), n);
            for (uint32_t w : dst.words())
                ASSERT_EQ(w, kvetest::kGuardWord);
        }
    }
}

// ---- Fixed point ----

std::vector<int32_t> wordSpread(uint32_t seed, size_t count)
{
    std::vector<int32_t> w = {0, 1, -1, 2, -2, INT32_MIN, INT32_MAX, INT32_MIN + 1, 0x40000000, 0x3FFFFFFF, 0x00800000,
                              0x00400000, -0x00800000, 0x7FFFFFFE, 0x20000000, 12345, -12345};
    std::mt19937 rng(seed);
    std::uniform_int_distribution<int> octave(0, 31);
    std::uniform_int_distribution<int32_t> any(INT32_MIN, INT32_MAX);
    while (w.size() < count) // every magnitude, not only the large ones a uniform draw would give
        w.push_back(any(rng) >> octave(rng));
    return w;
}

TEST(FixedPointLog, Log10MatchesItsIntegerModelAndNumpy)
{
    const std::vector<int32_t> x = wordSpread(11, 20000);
    std::vector<int32_t> out(x.size());
    kve_vecLog10Fract32(x.data(), 1, out.data(), 1, static_cast<int32_t>(x.size()));
    std::vector<float> positive;
    std::vector<int32_t> got;
    for (size_t i = 0; i < x.size(); ++i) {
        ASSERT_EQ(out[i], kvetest::modelLog10Fract32(x[i])) << x[i];
        if (x[i] > 0 && positive.size() < 2000) {
            positive.push_back(static_cast<float>(std::ldexp(x[i], -23)));
            got.push_back(out[i]);
        }
    }
    const std::vector<double> expected = reference("log10", positive);
    for (size_t i = 0; i < got.size(); ++i) // the cubic keeps log2 of the mantissa within 0.0013
        ASSERT_NEAR(std::ldexp(got[i], -23), expected[i], 4.2e-4) << positive[i];

    const int32_t edges[] = {0, -0x00800000, 0x00800000, INT32_MIN};
    int32_t edgeOut[4];
    kve_vecLog10Fract32(edges, 1, edgeOut, 1, 4);
    EXPECT_EQ(edgeOut[0], INT32_MIN);  // log of 0
    EXPECT_EQ(edgeOut[1], edgeOut[2]); // a negative input gives the value of its magnitude
    EXPECT_NEAR(edgeOut[2], 0, 3500);  // log10 1.0
    EXPECT_EQ(edgeOut[3], kvetest::modelLog10Fract32(INT32_MAX));
}

TEST(FixedPointDecibels, LinearToDbMatchesItsIntegerModelForEveryFormat)
{
    const std::vector<int32_t> x = wordSpread(12, 6000);
    const struct {
        int32_t inBits, outBits;
    } formats[] = {{1, 8}, {1, 12}, {1, 1}, {9, 8}, {32, 16}, {1, 40}, {1, -30}, {1, 12 - 0x10020}, {-5, 3},
                   {INT32_MAX, 8}, {INT32_MIN, INT32_MIN}};
    for (const auto &f : formats) {
        std::vector<int32_t> out(x.size());
        kve_vecLinearToDBFract32(x.data(), out.data(), static_cast<int32_t>(x.size()), f.inBits, f.outBits);
        for (size_t i = 0; i < x.size(); ++i)
            ASSERT_EQ(out[i], kvetest::modelLinearToDbFract32(x[i], f.inBits, f.outBits))
                << x[i] << " in " << f.inBits << " out " << f.outBits;
    }
}

// Q1.31 in, 8 integer bits out (as the limiter calls it): 20 log10 x within 0.01 dB.
TEST(FixedPointDecibels, LinearToDbFollowsNumpy)
{
    std::vector<int32_t> x;
    std::vector<float> linear;
    for (int32_t w = 1 << 10; w < INT32_MAX / 3; w = w * 3 + 1) // from -126 dB: 8 integer bits end at -128
        for (int32_t step = 0; step < 40; ++step) {
            const int32_t v = w + step * (w / 40 + 1);
            x.push_back(v);
            linear.push_back(static_cast<float>(std::ldexp(v, -31)));
        }
    const std::vector<double> expected = reference("db20", linear);
    std::vector<int32_t> out(x.size());
    kve_vecLinearToDBFract32(x.data(), out.data(), static_cast<int32_t>(x.size()), 1, 8);
    for (size_t i = 0; i < x.size(); ++i)
        ASSERT_NEAR(std::ldexp(out[i], -24), expected[i], 0.01) << x[i];
}

TEST(FixedPointDecibels, DbToLinearMatchesItsIntegerModelAndNumpy)
{
    const std::vector<int32_t> x = wordSpread(13, 20000);
    std::vector<int32_t> out(x.size());
    kve_vecDBToLinearFract32(x.data(), out.data(), static_cast<int32_t>(x.size()));
    for (size_t i = 0; i < x.size(); ++i)
        ASSERT_EQ(out[i], kvetest::modelDbToLinearFract32(x[i])) << x[i];

    // -120 dB to +42 dB in Q24; the output is linear in Q24, so it saturates from 2^7 (42.1 dB) up.
    std::vector<int32_t> db;
    std::vector<float> dbValue;
    for (int i = 0; i <= 1620; ++i) {
        db.push_back(static_cast<int32_t>((-120.0 + i * 0.1 + 0.0013 * (i % 7)) * 16777216.0));
        dbValue.push_back(static_cast<float>(std::ldexp(db.back(), -24)));
    }
    const std::vector<double> expected = reference("undb20", dbValue);
    std::vector<int32_t> linear(db.size());
    kve_vecDBToLinearFract32(db.data(), linear.data(), static_cast<int32_t>(db.size()));
    for (size_t i = 0; i < db.size(); ++i) {
        const double got = std::ldexp(linear[i], -24);
        if (expected[i] >= 128.0)
            ASSERT_EQ(linear[i], INT32_MAX) << dbValue[i];
        else // 0.014 % from the cubic, and two 2^-24 steps of the output for the small values
            ASSERT_NEAR(got, expected[i], 1.4e-4 * expected[i] + std::ldexp(1.0, -23)) << dbValue[i];
    }
}

TEST(FixedPointDecibels, CountBelowOneWritesNothing)
{
    for (int32_t n : {0, -1}) {
        kvetest::GuardedVector dst(4, 1);
        const int32_t src[4] = {1, 2, 3, 4};
        kve_vecLinearToDBFract32(src, dst.as<int32_t>(), n, 1, 8);
        kve_vecDBToLinearFract32(src, dst.as<int32_t>(), n);
        kve_vecLog10Fract32(src, 1, dst.as<int32_t>(), 1, n);
        for (uint32_t w : dst.words())
            ASSERT_EQ(w, kvetest::kGuardWord);
    }
}

} // namespace
