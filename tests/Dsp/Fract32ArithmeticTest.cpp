// Fixed-point arithmetic shared by the kernels and modules: products, saturating sums, magnitudes, post-shifts,
// conversions between float, Fract32 and integers, word shifts and wrapping integer arithmetic.
#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <limits>
#include <random>

#include "Dsp/Fract32.h"
#include "ExactModels.h"

namespace {

using kvetest::clampTo32;
using kvetest::exactFloatToFract32;
using kvetest::exactFract32Product;
using kvetest::exactFract32ToFloat;
using kvetest::scaleByPow2;

constexpr int32_t kMin = INT32_MIN;
constexpr int32_t kMax = INT32_MAX;
constexpr float kNaN = std::numeric_limits<float>::quiet_NaN();
constexpr float kInf = std::numeric_limits<float>::infinity();

int32_t word(uint32_t bits) { return static_cast<int32_t>(bits); }

struct WordPair {
    int32_t a;
    int32_t b;
    int32_t expected;
};

TEST(Fract32Product, FullScaleAndRoundingEdgeCases)
{
    const WordPair cases[] = {
        {kMin, kMin, kMax},                                    // -1 x -1 is the one product out of range
        {kMin, kMax, word(0x80000001)},                        // -1 x (1 - 1 ulp)
        {0x40000000, word(0xC0000000), word(0xE0000000)},      // 0.5 x -0.5
        {kMin, 1, -1},                                         // -1 x 1 ulp rounds down to -1 ulp, not to 0
        {1, -1, -1},                                           // the smallest negative product still rounds down
        {1, 1, 0},                                             // the smallest positive product rounds down to 0
        {kMax, kMax, 0x7FFFFFFE},                              // (1 - 1 ulp)^2
        {0x40000000, 0x40000000, 0x20000000},                  // 0.5 x 0.5
        {-3, 0x40000000, -2},                                  // -1.5 ulp rounds toward minus infinity
        {3, 0x40000000, 1},                                    // 1.5 ulp rounds toward minus infinity
    };
    for (const WordPair &c : cases) {
        EXPECT_EQ(kve_mulFract32(c.a, c.b), c.expected) << std::hex << c.a << " x " << c.b;
        EXPECT_EQ(kve_mulFract32(c.b, c.a), c.expected) << std::hex << c.b << " x " << c.a;
    }
}

TEST(Fract32Product, MatchesTheExactProductRoundedDown)
{
    std::mt19937 rng(7);
    std::uniform_int_distribution<int32_t> any(kMin, kMax);
    for (int i = 0; i < 200000; ++i) {
        const int32_t a = any(rng);
        const int32_t b = i % 4 == 0 ? kMin : any(rng);
        ASSERT_EQ(kve_mulFract32(a, b), exactFract32Product(a, b)) << a << " x " << b;
    }
}

TEST(Fract32Saturation, ClampsSixtyFourBitValuesToTheFract32Range)
{
    const struct {
        int64_t value;
        int32_t expected;
    } cases[] = {
        {INT64_MIN, kMin}, {-(int64_t{1} << 31) - 1, kMin}, {-(int64_t{1} << 31), kMin},
        {-(int64_t{1} << 31) + 1, kMin + 1}, {0, 0}, {(int64_t{1} << 31) - 1, kMax},
        {int64_t{1} << 31, kMax}, {INT64_MAX, kMax},
    };
    for (const auto &c : cases)
        EXPECT_EQ(kve_saturate64(c.value), c.expected) << c.value;
}

TEST(Fract32SumAndDifference, SaturateAtFullScale)
{
    const WordPair sums[] = {
        {kMax, 1, kMax},
        {kMin, -1, kMin},
        {kMin, kMin, kMin},
        {kMax, kMin, -1},
        {0x40000000, 0x3FFFFFFF, kMax},
        {0x40000000, 0x40000000, kMax},
    };
    for (const WordPair &c : sums)
        EXPECT_EQ(kve_addFract32(c.a, c.b), c.expected) << c.a << " + " << c.b;
    const WordPair differences[] = {
        {kMin, 1, kMin},
        {kMax, -1, kMax},
        {0, kMin, kMax}, // 0 - (-1) is +1, which saturates
        {-1, kMax, kMin},
        {kMin, kMin, 0},
    };
    for (const WordPair &c : differences)
        EXPECT_EQ(kve_subFract32(c.a, c.b), c.expected) << c.a << " - " << c.b;

    std::mt19937 rng(11);
    std::uniform_int_distribution<int32_t> any(kMin, kMax);
    for (int i = 0; i < 100000; ++i) {
        const int32_t a = any(rng);
        const int32_t b = any(rng);
        ASSERT_EQ(kve_addFract32(a, b), clampTo32(static_cast<__int128>(a) + b));
        ASSERT_EQ(kve_subFract32(a, b), clampTo32(static_cast<__int128>(a) - b));
    }
}

TEST(Fract32Magnitude, MinusOneSaturatesButTheIntegerMagnitudeWraps)
{
    const struct {
        int32_t x;
        int32_t fract32;
        int32_t integer;
    } cases[] = {
        {kMin, kMax, kMin}, {kMin + 1, kMax, kMax}, {-1, 1, 1}, {0, 0, 0}, {1, 1, 1}, {kMax, kMax, kMax},
    };
    for (const auto &c : cases) {
        EXPECT_EQ(kve_absFract32(c.x), c.fract32) << c.x;
        EXPECT_EQ(kve_absInt32(c.x), c.integer) << c.x;
    }
}

struct ShiftCase {
    int32_t product;
    int32_t postShift;
    int32_t expected;
};

TEST(Fract32PostShift, ScalesTheProductByAPowerOfTwo)
{
    const ShiftCase cases[] = {
        {0x40000000, 1, kMax},                  // 2^31 saturates
        {0x40000000, -1, 0x20000000},
        {-5, -31, -1},                          // a negative product shifted right stays at -1 ulp, not 0
        {5, -31, 0},
        {-3, -1, -2},                           // right shifts round toward minus infinity
        {0x00010000, 14, 0x40000000},
        {0x00010000, 15, kMax},
        {word(0xFFFF0000), 15, kMin},           // exactly -1.0 fits
        {word(0xFFFF0000), 16, kMin},
        {0x12345678, 0, 0x12345678},
        {0x40000000, 0x00010001, kMax},         // only the low 16 bits count: +1
        {0x40000000, 0x0000FFFF, 0x20000000},   // 0xFFFF is -1
        // Counts the exact scaling saturates or empties, as a gain of 2^-32 or 2^40 asks for.
        {0x40000000, -32, 0},
        {word(0xC0000000), -32, -1},
        {kMax, -32768, 0},
        {1, 40, kMax},
        {-1, 40, kMin},
        {1, 64, kMax},
        {0, 64, 0},
    };
    for (const ShiftCase &c : cases)
        EXPECT_EQ(kve_shiftProductFract32(c.product, c.postShift), c.expected)
            << std::hex << c.product << " shift " << std::dec << c.postShift;
}

TEST(Fract32PostShift, MatchesTheExactScaledProduct)
{
    std::mt19937 rng(13);
    std::uniform_int_distribution<int32_t> any(kMin, kMax);
    std::uniform_int_distribution<int32_t> shifts(-70, 70);
    for (int i = 0; i < 100000; ++i) {
        const int32_t p = any(rng);
        const int32_t s = shifts(rng);
        ASSERT_EQ(kve_shiftProductFract32(p, s), clampTo32(scaleByPow2(p, s))) << p << " shift " << s;
    }
}

TEST(Fract32PostShiftWithOffset, SaturatesOnlyTheSumSoAnOffsetCanBringAnOverflowBack)
{
    // Gain 0x7FFFFFFF, postShift 1, offset -1.0 on a full-scale input: the shifted product 0xFFFFFFFC is above full
    // scale, the offset brings it back to 0x7FFFFFFC.
    const Fract32 p = kve_mulFract32(kMax, kMax);
    EXPECT_EQ(kve_saturate64(kve_shiftProduct64(p, 1) + kMin), 0x7FFFFFFC);

    std::mt19937 rng(17);
    std::uniform_int_distribution<int32_t> any(kMin, kMax);
    std::uniform_int_distribution<int32_t> shifts(-80, 80);
    for (int i = 0; i < 100000; ++i) {
        const int32_t product = any(rng);
        const int32_t shift = shifts(rng);
        const int32_t offset = any(rng);
        ASSERT_EQ(kve_saturate64(kve_shiftProduct64(product, shift) + offset),
                  clampTo32(scaleByPow2(product, shift) + offset))
            << product << " shift " << shift << " offset " << offset;
    }
}

struct FloatToWord {
    float x;
    int32_t expected;
};

TEST(FloatToFract32, TruncatesTowardZeroAndSaturates)
{
    const FloatToWord cases[] = {
        {0.5f, 0x40000000},
        {-0.5f, word(0xC0000000)},
        {1.0f, kMax},
        {2.0f, kMax},
        {kInf, kMax},
        {-1.0f, kMin},
        {-1.5f, kMin},
        {-kInf, kMin},
        {kNaN, 0},
        {-kNaN, 0},
        {-1e-12f, 0},                 // just below zero truncates to 0, not -1 ulp
        {0x1p-31f, 1},
        {-0x1p-31f, -1},
        {0x1.8p-31f, 1},
        {-0x1.8p-31f, -1},
        {0x1.fffffep-1f, 0x7FFFFF80}, // the largest float below 1.0
        {-0.0f, 0},
    };
    for (const FloatToWord &c : cases)
        EXPECT_EQ(kve_floatToFract32(c.x), c.expected) << c.x;
}

TEST(Fract32ToFloat, RoundsToNearestEven)
{
    const struct {
        int32_t w;
        float expected;
    } cases[] = {
        {kMax, 1.0f},
        {kMin, -1.0f},
        {1, 0x1p-31f},
        {-1, -0x1p-31f},
        {0x40000000, 0.5f},
        {0x7FFFFFC0, 1.0f},             // halfway between 1 - 2^-24 and 1.0: to the even one
        {0x7FFFFF40, 0x1.fffffcp-1f},   // halfway between 1 - 2^-23 and 1 - 2^-24: to the even one
        {0x01000001, 0x1p-7f},          // 2^24 + 1 loses its last bit
        {0, 0.0f},
    };
    for (const auto &c : cases)
        EXPECT_EQ(kve_fract32ToFloat(c.w), c.expected) << std::hex << c.w;
}

TEST(FloatFract32Conversions, MatchExactModelsOverSpreadOfBitPatterns)
{
    for (uint64_t bits = 0; bits <= UINT32_MAX; bits += 65521) {
        const int32_t w = static_cast<int32_t>(bits);
        const float x = std::bit_cast<float>(static_cast<uint32_t>(bits));
        ASSERT_EQ(kve_floatToFract32(x), exactFloatToFract32(x)) << x;
        ASSERT_EQ(std::bit_cast<uint32_t>(kve_fract32ToFloat(w)), std::bit_cast<uint32_t>(exactFract32ToFloat(w)))
            << w;
    }
}

TEST(FloatToInt, RoundsHalfAwayFromZeroInSinglePrecision)
{
    const FloatToWord cases[] = {
        {2.5f, 3},
        {-2.5f, -3},
        {1.5f, 2},
        {-1.49f, -1},
        {0.5f, 1},
        {-0.5f, -1},
        {0.49999997f, 1},        // the sum 0.49999997 + 0.5 rounds to 1.0 first
        {-0.49999997f, -1},
        {8388609.0f, 8388610},   // 2^23 + 1: the sum 2^23 + 1.5 rounds to 2^23 + 2
        {0.0f, 0},
        {-0.0f, 0},
        {kNaN, 0},
        {3e9f, kMax},
        {2147483648.0f, kMax},
        {kInf, kMax},
        {-3e9f, -kMax},          // the negative side saturates at -2147483647
        {-2147483648.0f, -kMax},
        {-kInf, -kMax},
        {2147483520.0f, 2147483520},
    };
    for (const FloatToWord &c : cases)
        EXPECT_EQ(kve_floatToInt(c.x), c.expected) << c.x;
}

TEST(RoundedFract32Conversion, RoundsHalfAwayFromZeroAndSaturates)
{
    const FloatToWord cases[] = {
        {1.0f, kMax},
        {-1.0f, kMin},
        {-1.5f, kMin},
        {kInf, kMax},
        {-kInf, kMin},
        {kNaN, 0},
        {0.5f, 0x40000000},
        {-0.5f, word(0xC0000000)},
        {0x1p-32f, 1},                // half an ulp rounds away from zero
        {-0x1p-32f, -1},
        {0x1p-33f, 0},
        {0x1.fffffep-1f, 0x7FFFFF80},
        {0.0f, 0},
    };
    for (const FloatToWord &c : cases)
        EXPECT_EQ(kve_rounded(c.x), c.expected) << c.x;
}

TEST(WordShifts, CountsAreTakenModuloThirtyTwo)
{
    const struct {
        uint32_t x;
        int32_t shift;
        uint32_t arithmetic;
        uint32_t logical;
    } cases[] = {
        {0x80000000u, -1, 0xC0000000u, 0x40000000u},
        {0xFFFFFFFFu, -1, 0xFFFFFFFFu, 0x7FFFFFFFu},
        {0x40000000u, 1, 0x80000000u, 0x80000000u},   // left shifts do not saturate
        {0x00000001u, 31, 0x80000000u, 0x80000000u},
        {0x12345678u, 32, 0x12345678u, 0x12345678u},
        {0x80000000u, -33, 0xC0000000u, 0x40000000u},
        {0x80000000u, INT32_MIN, 0x80000000u, 0x80000000u},
        {0xF0000000u, -28, 0xFFFFFFFFu, 0x0000000Fu},
    };
    for (const auto &c : cases) {
        EXPECT_EQ(static_cast<uint32_t>(kve_shiftWordArith(word(c.x), c.shift)), c.arithmetic)
            << std::hex << c.x << " shift " << std::dec << c.shift;
        EXPECT_EQ(static_cast<uint32_t>(kve_shiftWordLogical(word(c.x), c.shift)), c.logical)
            << std::hex << c.x << " shift " << std::dec << c.shift;
    }
}

TEST(IntegerArithmetic, WrapsModuloTwoToTheThirtyTwo)
{
    EXPECT_EQ(kve_addInt32Wrap(kMax, 1), kMin);
    EXPECT_EQ(kve_subInt32Wrap(kMin, 1), kMax);
    EXPECT_EQ(kve_mulInt32Wrap(0x10000, 0x10000), 0);
    EXPECT_EQ(kve_mulInt32Wrap(kMax, 2), -2);
    EXPECT_EQ(kve_mulInt32Wrap(kMin, -1), kMin);
}

} // namespace
