// The four-lane divide and the reciprocal estimate and step it is built on. The estimate and step must give the
// AArch64 FRECPE and FRECPS results bit for bit on every machine: they are compared with models written from the
// architecture's pseudocode over every exponent and every table entry, in the library's flush-to-zero mode and
// without it. The divide is compared with the exact quotient: its tail exactly, its blocks within two units in the
// last place and bit for bit with the modelled steps.
#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <cstdint>
#include <limits>
#include <random>
#include <vector>

#if defined(__x86_64__)
#include <xmmintrin.h>
#endif

#include "Dsp/Arithmetic/ArithmeticModels.h"
#include "Dsp/Arithmetic/Reciprocal.h"
#include "kve/kve_engine.h"
#include "kve/kve_vec.h"

namespace {

using kvetest::modelRecipEstimate;
using kvetest::modelRecipStep;

// Runs a scope without flush-to-zero (denormal operands and results kept, round to nearest), then restores the mode.
class WithoutFlushToZero {
public:
    WithoutFlushToZero()
    {
#if defined(__aarch64__)
        __asm__ volatile("mrs %0, fpcr" : "=r"(saved_));
        __asm__ volatile("msr fpcr, %0" : : "r"(uint64_t{0}));
#else
        saved_ = _mm_getcsr();
        _mm_setcsr(0x1F80u); // exceptions masked, no FTZ or DAZ
#endif
    }
    ~WithoutFlushToZero()
    {
#if defined(__aarch64__)
        __asm__ volatile("msr fpcr, %0" : : "r"(saved_));
#else
        _mm_setcsr(static_cast<unsigned>(saved_));
#endif
    }
    WithoutFlushToZero(const WithoutFlushToZero &) = delete;
    WithoutFlushToZero &operator=(const WithoutFlushToZero &) = delete;

private:
    uint64_t saved_ = 0;
};

float fl(uint32_t w) { return std::bit_cast<float>(w); }
uint32_t bits(float x) { return std::bit_cast<uint32_t>(x); }

// Every exponent, sign and table entry (the top eight fraction bits), with a few patterns of the low fraction bits:
// zeros, denormals, normals, infinities, quiet and signalling NaNs.
std::vector<uint32_t> estimateOperands()
{
    std::vector<uint32_t> operands;
    for (uint32_t sign = 0; sign < 2; ++sign)
        for (uint32_t exponent = 0; exponent < 256; ++exponent)
            for (uint32_t entry = 0; entry < 256; ++entry)
                for (uint32_t low : {0x0000u, 0x0001u, 0x4000u, 0x7FFFu})
                    operands.push_back(sign << 31 | exponent << 23 | entry << 15 | low);
    return operands;
}

std::vector<uint32_t> estimatesOf(const std::vector<uint32_t> &operands)
{
    std::vector<uint32_t> out(operands.size());
    for (size_t i = 0; i + 4 <= operands.size(); i += 4)
        vst1q_f32(reinterpret_cast<float *>(&out[i]),
                  kve_reciprocalEstimate(vld1q_f32(reinterpret_cast<const float *>(&operands[i]))));
    return out;
}

std::vector<uint32_t> stepsOf(const std::vector<uint32_t> &d, const std::vector<uint32_t> &r)
{
    std::vector<uint32_t> out(d.size());
    for (size_t i = 0; i + 4 <= d.size(); i += 4)
        vst1q_f32(reinterpret_cast<float *>(&out[i]),
                  kve_reciprocalStep(vld1q_f32(reinterpret_cast<const float *>(&d[i])),
                                     vld1q_f32(reinterpret_cast<const float *>(&r[i]))));
    return out;
}

void expectEstimatesMatchTheModel(bool fz)
{
    const std::vector<uint32_t> operands = estimateOperands();
    const std::vector<uint32_t> estimates = estimatesOf(operands);
    for (size_t i = 0; i < operands.size(); ++i)
        ASSERT_EQ(estimates[i], modelRecipEstimate(operands[i], fz))
            << std::hex << "operand 0x" << operands[i] << (fz ? " with" : " without") << " flush to zero";
}

TEST(ReciprocalEstimate, MatchesTheArchitecturePseudocodeUnderFlushToZero)
{
    kve_fwSetFloatMode();
    expectEstimatesMatchTheModel(true);
}

TEST(ReciprocalEstimate, MatchesTheArchitecturePseudocodeWithDenormals)
{
    WithoutFlushToZero mode;
    expectEstimatesMatchTheModel(false);
}

// Estimates worked by hand from the table (1.0 gives 0.998046875, the value the instruction is known for), and the
// table's defining property: each entry is 1/x for the middle of its interval, rounded to nine significant bits,
// so it stays within about one part in 2^8 of 1/x across the interval.
TEST(ReciprocalEstimate, GivesTheNineBitReciprocalOfEachTableInterval)
{
    kve_fwSetFloatMode();
    const struct {
        float x;
        float estimate;
    } known[] = {{1.0f, 0.998046875f}, {2.0f, 0.4990234375f}, {0.5f, 1.99609375f}, {-4.0f, -0.24951171875f},
                 {1.5f, 0.666015625f}, {0x1.ffp0f, 0.5f}};
    for (const auto &k : known) {
        float out[4];
        vst1q_f32(out, kve_reciprocalEstimate(vdupq_n_f32(k.x)));
        EXPECT_EQ(out[0], k.estimate) << k.x;
    }
    std::vector<uint32_t> operands;
    for (uint32_t entry = 0; entry < 256; ++entry)
        for (uint32_t low : {0u, 0x7FFFu})
            operands.push_back(0x3F800000u | entry << 15 | low); // [1, 2)
    const std::vector<uint32_t> estimates = estimatesOf(operands);
    for (size_t i = 0; i < operands.size(); ++i) {
        const double x = fl(operands[i]);
        EXPECT_NEAR(fl(estimates[i]) * x, 1.0, 1.0 / 256) << x;
    }
}

// Operand pairs for the step: the pairs the divide forms (a denominator with its estimate and with the once-refined
// reciprocal), random words, and every pairing of the special values.
void stepOperands(std::vector<uint32_t> &d, std::vector<uint32_t> &r, bool fz)
{
    const std::vector<uint32_t> operands = estimateOperands();
    const std::vector<uint32_t> estimates = estimatesOf(operands);
    for (size_t i = 0; i < operands.size(); ++i) {
        d.push_back(operands[i]);
        r.push_back(estimates[i]);
        const float r1 = fl(modelRecipStep(operands[i], estimates[i], fz)) * fl(estimates[i]);
        d.push_back(operands[i]);
        r.push_back(bits(r1));
    }
    std::mt19937 rng(53);
    for (int i = 0; i < 200000; ++i) {
        d.push_back(static_cast<uint32_t>(rng()));
        r.push_back(static_cast<uint32_t>(rng()));
    }
    const uint32_t specials[] = {
        0x00000000u, 0x80000000u, 0x00000001u, 0x807FFFFFu, 0x00400000u, 0x00200000u, 0x7F800000u, 0xFF800000u,
        0x7FC00000u, 0xFFC12345u, 0x7F800001u, 0xFFA00000u, 0x3F800000u, 0xBF800000u, 0x7F000000u, 0x00800000u,
        0x40000000u, 0x3F000000u, 0x7F7FFFFFu, 0x3FFFFFFFu,
    };
    for (uint32_t a : specials)
        for (uint32_t b : specials) {
            d.push_back(a);
            r.push_back(b);
        }
    while (d.size() % 4 != 0) {
        d.push_back(0x3F800000u);
        r.push_back(0x3F800000u);
    }
}

void expectStepsMatchTheModel(bool fz)
{
    std::vector<uint32_t> d;
    std::vector<uint32_t> r;
    stepOperands(d, r, fz);
    const std::vector<uint32_t> steps = stepsOf(d, r);
    for (size_t i = 0; i < d.size(); ++i)
        ASSERT_EQ(steps[i], modelRecipStep(d[i], r[i], fz))
            << std::hex << "d 0x" << d[i] << " r 0x" << r[i] << (fz ? " with" : " without") << " flush to zero";
}

TEST(ReciprocalStep, MatchesTheArchitecturePseudocodeUnderFlushToZero)
{
    kve_fwSetFloatMode();
    expectStepsMatchTheModel(true);
}

TEST(ReciprocalStep, MatchesTheArchitecturePseudocodeWithDenormals)
{
    WithoutFlushToZero mode;
    expectStepsMatchTheModel(false);
}

TEST(ReciprocalStep, IsOneFusedStepAndTwoForInfinityTimesZero)
{
    kve_fwSetFloatMode();
    const float d[4] = {1.0f + 0x1p-12f, std::numeric_limits<float>::infinity(), -0.0f, 3.0f};
    const float r[4] = {1.0f + 0x1p-12f, 0.0f, -std::numeric_limits<float>::infinity(), 0.25f};
    float out[4];
    vst1q_f32(out, kve_reciprocalStep(vld1q_f32(d), vld1q_f32(r)));
    EXPECT_EQ(out[0], 1.0f - 0x1p-11f - 0x1p-24f); // 2 - (1 + 2^-12)^2, rounded once
    EXPECT_EQ(out[1], 2.0f);
    EXPECT_EQ(out[2], 2.0f);
    EXPECT_EQ(out[3], 1.25f);
}

// ---- The divide ----

TEST(DivideKernel, ZeroDenominatorsGiveZeroInBlocksAndTail)
{
    kve_fwSetFloatMode();
    const float num[6] = {1.0f, -3.0f, 0.0f, std::numeric_limits<float>::infinity(),
                          std::numeric_limits<float>::quiet_NaN(), 5.0f};
    const float den[6] = {0.0f, -0.0f, 0.0f, -0.0f, 0.0f, -0.0f};
    float out[6];
    for (float &y : out)
        y = 7.0f;
    kve_vecDivide2x1(num, den, out, 6);
    for (int i = 0; i < 6; ++i)
        EXPECT_EQ(bits(out[i]), 0u) << i;
}

// Under the library's flush-to-zero mode a denormal denominator reads as zero, in the blocks and in the tail alike.
TEST(DivideKernel, DenormalDenominatorsCountAsZeroUnderFlushToZero)
{
    kve_fwSetFloatMode();
    const float num[5] = {1.0f, 1.0f, 1.0f, 1.0f, 1.0f};
    const float den[5] = {1e-40f, -1e-40f, 0x1p-149f, 2.0f, 1e-40f};
    float out[5];
    kve_vecDivide2x1(num, den, out, 5);
    EXPECT_EQ(out[0], 0.0f);
    EXPECT_EQ(out[1], 0.0f);
    EXPECT_EQ(out[2], 0.0f);
    EXPECT_EQ(out[3], 0.5f);
    EXPECT_EQ(out[4], 0.0f);
}

int64_t ulpsBetween(float a, float b)
{
    const auto ordered = [](float x) {
        const int32_t w = std::bit_cast<int32_t>(x);
        return w < 0 ? int64_t{INT32_MIN} - w : int64_t{w};
    };
    return std::llabs(ordered(a) - ordered(b));
}

TEST(DivideKernel, BlocksFollowTheStepsAndStayWithinTwoUlpsWhileTheTailIsExact)
{
    kve_fwSetFloatMode();
    std::mt19937 rng(59);
    std::uniform_real_distribution<float> mantissa(1.0f, 2.0f);
    std::uniform_int_distribution<int> exponent(-60, 60);
    const auto draw = [&] {
        const float x = std::ldexp(mantissa(rng), exponent(rng));
        return rng() % 2 == 0 ? x : -x;
    };
    const int32_t n = 40003; // 10000 blocks of four and a tail of three
    std::vector<float> num(static_cast<size_t>(n));
    std::vector<float> den(static_cast<size_t>(n));
    for (int32_t i = 0; i < n; ++i) {
        num[static_cast<size_t>(i)] = draw();
        den[static_cast<size_t>(i)] = draw();
    }
    std::vector<float> out(static_cast<size_t>(n));
    kve_vecDivide2x1(num.data(), den.data(), out.data(), n);
    int64_t worst = 0;
    for (int32_t i = 0; i < n; ++i) {
        const float a = num[static_cast<size_t>(i)];
        const float b = den[static_cast<size_t>(i)];
        const float y = out[static_cast<size_t>(i)];
        const auto exact = static_cast<float>(static_cast<double>(a) / b); // correctly rounded
        if (i >= n / 4 * 4) {
            ASSERT_EQ(y, exact) << a << " / " << b;
            continue;
        }
        ASSERT_EQ(bits(y), bits(kvetest::modelBlockQuotient(a, b, true))) << a << " / " << b;
        worst = std::max(worst, ulpsBetween(y, exact));
    }
    EXPECT_LE(worst, 2);
}

} // namespace
