// Fixed-point smoothing kernels against exact integer models: the smoothed scalers (scale, scale-add, interleaved),
// the attack/release envelope and the sine whose phase step glides. The models work in 128-bit integers, one formula
// per step, and share nothing with the library's arithmetic helpers.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <random>
#include <string>
#include <vector>

#include "Dsp/ExactModels.h"
#include "Dsp/GuardedVector.h"
#include "kve/kve_vec.h"

namespace {

using kvetest::bitsOf;
using kvetest::clampTo32;
using kvetest::exactFract32Product;
using kvetest::GuardedVector;
using kvetest::intOf;

constexpr int32_t kMin = INT32_MIN;
constexpr int32_t kMax = INT32_MAX;

// 0x7FFFFFFF - c, held in range for a coefficient below zero.
int32_t complement(int32_t c)
{
    return clampTo32(static_cast<__int128>(kMax) - c);
}

// g = sat(sat(g x (0x7FFFFFFF - coeff)) + sat(target x coeff)).
int32_t smootherStep(int32_t g, int32_t target, int32_t coeff)
{
    return clampTo32(static_cast<__int128>(exactFract32Product(g, complement(coeff))) +
                     exactFract32Product(target, coeff));
}

// x x g scaled by 2^postShift, the count read as a signed 16-bit number, then saturated.
int32_t shiftedProduct(int32_t x, int32_t g, int32_t postShift)
{
    return clampTo32(kvetest::scaleByPow2(exactFract32Product(x, g), static_cast<int16_t>(postShift)));
}

struct Draw {
    std::mt19937 rng{2024};

    int32_t any() { return std::uniform_int_distribution<int32_t>(kMin, kMax)(rng); }
    int32_t pick(const std::vector<int32_t> &values)
    {
        return values[std::uniform_int_distribution<size_t>(0, values.size() - 1)(rng)];
    }
    // Any word, with the ends of the range and zero well represented.
    int32_t sample() { return pick({kMin, kMax, 0, -1, 1, any(), any(), any(), any(), any()}); }
    int32_t count(int32_t most) { return std::uniform_int_distribution<int32_t>(-2, most)(rng); }
};

const std::vector<int32_t> kShifts = {0, 1, -1, 3, -5, -31, -32, -40, 31, 40, 0x10001, 0xFFFF, 0x7FFF0002};
const std::vector<int32_t> kCoeffs = {0, 1, 0x00112233, 0x0A000000, 0x40000000, kMax, -1, kMin};

std::string describe(int32_t g0, int32_t target, int32_t coeff, int32_t shift, int32_t n)
{
    return "g0 " + std::to_string(g0) + " target " + std::to_string(target) + " coeff " + std::to_string(coeff) +
           " shift " + std::to_string(shift) + " n " + std::to_string(n);
}

// Random gains, targets, coefficients, shifts, counts and increments; the output must match the model at every
// strided place and leave every other word alone, and the gain state must hold the model's last gain.
TEST(SmoothedGainFract32, ScaleAndScaleAddMatchTheExactModelOnAnyIncrement)
{
    Draw draw;
    for (int trial = 0; trial < 400; ++trial) {
        const int32_t g0 = draw.sample();
        const int32_t target = draw.sample();
        const int32_t coeff = draw.pick(kCoeffs);
        const int32_t shift = draw.pick(kShifts);
        const int32_t n = draw.count(37);
        const int32_t srcInc = draw.pick({1, 2, -1, 0});
        const int32_t dstInc = draw.pick({1, 3, -1});
        const std::string where = describe(g0, target, coeff, shift, n) + " increments " + std::to_string(srcInc) +
                                  " " + std::to_string(dstInc);

        GuardedVector src(n, srcInc);
        GuardedVector scaled(n, dstInc);
        GuardedVector summed(n, dstInc);
        for (int32_t i = 0; i < n; ++i) {
            src[i] = bitsOf(draw.sample());
            summed[i] = bitsOf(draw.sample());
        }
        GuardedVector expectScaled = scaled;
        GuardedVector expectSummed = summed;
        int32_t g = g0;
        for (int32_t i = 0; i < n; ++i) {
            g = smootherStep(g, target, coeff);
            const int32_t y = shiftedProduct(intOf(src[i]), g, shift);
            expectScaled[i] = bitsOf(y);
            expectSummed[i] = bitsOf(clampTo32(static_cast<__int128>(intOf(expectSummed[i])) + y));
        }

        int32_t state = g0;
        kve_vecScaleSmoothFract32(src.as<int32_t>(), srcInc, scaled.as<int32_t>(), dstInc, &state, target, shift,
                                  coeff, n);
        ASSERT_EQ(scaled.words(), expectScaled.words()) << where;
        ASSERT_EQ(state, g) << where;

        state = g0;
        kve_vecScaleAddSmoothFract32(src.as<int32_t>(), srcInc, summed.as<int32_t>(), dstInc, &state, target, shift,
                                     coeff, n);
        ASSERT_EQ(summed.words(), expectSummed.words()) << where;
        ASSERT_EQ(state, g) << where;
    }
}

// Every channel glides from the gain at entry; the state ends at the last channel's gain.
TEST(SmoothedGainFract32, InterleavedFormRunsEachChannelFromTheEntryGain)
{
    Draw draw;
    for (int trial = 0; trial < 200; ++trial) {
        const int32_t channels = draw.pick({1, 2, 3, 5});
        const int32_t g0 = draw.sample();
        const int32_t target = draw.sample();
        const int32_t coeff = draw.pick(kCoeffs);
        const int32_t shift = draw.pick(kShifts);
        const int32_t frames = draw.count(19);
        const std::string where = describe(g0, target, coeff, shift, frames) + " channels " + std::to_string(channels);
        const size_t count = frames > 0 ? static_cast<size_t>(frames * channels) : 4;

        std::vector<int32_t> src(count);
        for (int32_t &x : src)
            x = draw.sample();
        std::vector<int32_t> dst(count, 0x5A5A5A5A);
        std::vector<int32_t> expected = dst;
        int32_t lastGain = g0;
        for (int32_t c = 0; c < channels && frames > 0; ++c) {
            int32_t g = g0;
            for (int32_t t = 0; t < frames; ++t) {
                const auto i = static_cast<size_t>(t * channels + c);
                g = smootherStep(g, target, coeff);
                expected[i] = shiftedProduct(src[i], g, shift);
            }
            lastGain = g;
        }

        int32_t state = g0;
        kve_vecScaleSmooth_NchFract32(src.data(), dst.data(), channels, &state, target, shift, coeff, frames);
        ASSERT_EQ(dst, expected) << where;
        ASSERT_EQ(state, lastGain) << where;

        kve_vecScaleSmooth_NchFract32(src.data(), dst.data(), 0, &state, target, shift, coeff, frames);
        kve_vecScaleSmooth_NchFract32(src.data(), dst.data(), -2, &state, target, shift, coeff, frames);
        ASSERT_EQ(dst, expected) << where << ": no channels";
        ASSERT_EQ(state, lastGain) << where << ": no channels";
    }
}

TEST(SmoothedGainFract32, FullScaleTargetAndCoefficientArriveInOneSample)
{
    const int32_t src[3] = {kMax, kMax, kMin};
    int32_t dst[3] = {};
    int32_t state = 0;
    kve_vecScaleSmoothFract32(src, 1, dst, 1, &state, kMax, 0, kMax, 3);
    EXPECT_EQ(state, 0x7FFFFFFE);
    EXPECT_EQ(dst[0], 0x7FFFFFFD); // (1 - 1 ulp) x (1 - 2 ulp), rounded down
    EXPECT_EQ(dst[2], -0x7FFFFFFE);
}

// |x| of each sample, with |0x80000000| = 0x7FFFFFFF; attack while the envelope is below it, release otherwise.
TEST(AttackReleaseFract32, FollowsTheExactModelOnAnyIncrement)
{
    Draw draw;
    for (int trial = 0; trial < 300; ++trial) {
        const int32_t attack = draw.pick(kCoeffs);
        const int32_t release = draw.pick(kCoeffs);
        const int32_t env0 = draw.pick({0, kMax, 0x00010000, -5, kMin, draw.any()});
        const int32_t n = draw.count(29);
        const int32_t srcInc = draw.pick({1, 2, -1, 0});
        const int32_t dstInc = draw.pick({1, 2, -1});
        const std::string where = "attack " + std::to_string(attack) + " release " + std::to_string(release) +
                                  " env " + std::to_string(env0) + " n " + std::to_string(n);

        GuardedVector src(n, srcInc);
        GuardedVector dst(n, dstInc);
        for (int32_t i = 0; i < n; ++i)
            src[i] = bitsOf(draw.sample());
        GuardedVector expected = dst;
        int32_t env = env0;
        for (int32_t i = 0; i < n; ++i) {
            const int32_t x = intOf(src[i]);
            const int32_t a = x == kMin ? kMax : (x < 0 ? -x : x);
            const int32_t c = env < a ? attack : release;
            env = clampTo32(static_cast<__int128>(exactFract32Product(env, complement(c))) +
                            exactFract32Product(a, c));
            expected[i] = bitsOf(env);
        }

        int32_t state = env0;
        kve_vecAttackReleaseFract32(src.as<int32_t>(), srcInc, dst.as<int32_t>(), dstInc, attack, release, &state, n);
        ASSERT_EQ(dst.words(), expected.words()) << where;
        ASSERT_EQ(state, env) << where;
    }
}

// Angles in Q4.28 radians.
constexpr int32_t kTwoPi = 1686629713;
constexpr double kRadian = 268435456.0;

struct SineCase {
    const char *name;
    int32_t phase;
    int32_t increment;
    int32_t target;
    int32_t coeff;
    int32_t n;
};

// The phase and its step follow the exact model (the step glides by the Fract32 smoother, the phase wraps by one turn
// either way); each output is sin(phase) in Q1.31 to within the fixed-point sine's accuracy.
TEST(SineGenSmoothedFract32, PhaseAndStepFollowTheExactModelAndTheOutputIsTheSine)
{
    const int32_t kHz1 = static_cast<int32_t>(1000.0 * M_PI / 24000.0 * kRadian); // 1 kHz at 48 kHz
    const SineCase cases[] = {
        {"glide up from rest", 0, 0, kHz1, 0x01000000, 300},
        {"steady", 123456789, kHz1, kHz1, 0, 200},
        {"glide down through zero to a negative step", 1600000000, kHz1, -3 * kHz1, 0x04000000, 400},
        {"negative step", 5, -kHz1, -kHz1, 0x7FFFFFFF, 500},
        {"near the turn", kTwoPi - 2, 1, 1, 0, 6},
        {"fast", 0, 0x20000000, 0x20000000, 0, 50}, // two radians per sample
    };
    for (const SineCase &c : cases) {
        std::vector<int32_t> dst(static_cast<size_t>(c.n) + 1, 0x5A5A5A5A);
        int32_t phase = c.phase;
        int32_t step = c.increment;
        kve_vecSineGenSmoothedFract32(dst.data(), &phase, &step, c.target, c.coeff, c.n);

        int32_t p = c.phase;
        int32_t s = c.increment;
        for (int32_t k = 0; k < c.n; ++k) {
            const double expected = std::sin(p / kRadian) * 2147483648.0;
            ASSERT_NEAR(dst[static_cast<size_t>(k)], expected, 8192.0) << c.name << " sample " << k;
            p = clampTo32(static_cast<__int128>(p) + s);
            if (p > kTwoPi - 1)
                p -= kTwoPi;
            else if (p < 0)
                p += kTwoPi;
            ASSERT_GE(p, 0) << c.name << " sample " << k;
            s = clampTo32(static_cast<__int128>(exactFract32Product(s, complement(c.coeff))) +
                          exactFract32Product(c.target, c.coeff));
        }
        EXPECT_EQ(phase, p) << c.name;
        EXPECT_EQ(step, s) << c.name;
        EXPECT_EQ(dst.back(), 0x5A5A5A5A) << c.name << ": wrote past the block";
    }
}

TEST(SineGenSmoothedFract32, CountsBelowOneTouchNothing)
{
    for (int32_t n : {0, -1}) {
        int32_t dst = 7;
        int32_t phase = 11;
        int32_t step = 13;
        kve_vecSineGenSmoothedFract32(&dst, &phase, &step, 100, kMax, n);
        EXPECT_EQ(dst, 7);
        EXPECT_EQ(phase, 11);
        EXPECT_EQ(step, 13);
    }
}

} // namespace
