// The limiter cores: steady-state gain curves against the closed forms of a hard and a soft knee.
#include <cmath>
#include <cstdint>

#include "Modules/DynamicsTestSupport.h"

namespace dynamicstest {
namespace {

class Limiters : public Dynamics {};

// Gain in dB of a limiter at a steady level L dB: 0 below threshold T, -(1 - 1/ratio)·(L - T) above it; a soft knee
// K dB wide blends the two with the quadratic that meets both lines at T ± K.
double closedFormDb(double level, double threshold, double ratio, double knee, double makeUp)
{
    const double slope = 1.0 - 1.0 / ratio;
    if (knee == 0.0)
        return makeUp + (level < threshold ? 0.0 : -slope * (level - threshold));
    const double x = (level - threshold) / knee;
    const double y = x > 1.0 ? x : (x < -1.0 ? 0.0 : (x + 1.0) * (x + 1.0) / 4.0);
    return makeUp - knee * slope * y;
}

struct Case {
    double levelDb, threshold, ratio, knee, makeUp;
};

constexpr Case kCases[] = {
    {-30.0, -20.0, 4.0, 0.0, 0.0}, {-10.0, -20.0, 4.0, 0.0, 0.0}, {-6.0, -12.0, 10.0, 0.0, 3.0},
    {-20.0, -20.0, 4.0, 6.0, 0.0}, {-16.0, -20.0, 4.0, 6.0, 0.0}, {-14.0, -20.0, 4.0, 6.0, 0.0},
    {-13.9, -20.0, 4.0, 6.0, 0.0}, {-26.0, -20.0, 4.0, 6.0, 2.0}, {-3.0, -20.0, 2.0, 6.0, -1.0},
};

// A steady level held long enough for the envelope to settle: the last gain of the block is the curve's.
TEST_F(Limiters, SteadyGainFollowsTheKneeCurveWithinAHundredthOfADecibelScale)
{
    for (const Case &c : kCases) {
        GenericWire *in = wire(1, 256);
        GenericWire *out = wire(1, 256);
        const float level = static_cast<float>(std::pow(10.0, c.levelDb / 20.0));
        fill(in, level);
        ClassModule *m = build(0xBEEF0804u, io(1, 1), {in, out},
                               {argOf(float(c.threshold)), argOf(float(c.makeUp)), 0, argOf(float(c.knee)),
                                argOf(float(c.ratio)), argOf(0.1f), argOf(50.0f), 0, 0, 0, 0, 0});
        ASSERT_NE(m, nullptr);
        ASSERT_EQ(ClassModule_Set(m, 0xFFFFFFFFu), KVE_OK);
        pump(m);
        pump(m);
        const double expected = closedFormDb(c.levelDb, c.threshold, c.ratio, c.knee, c.makeUp);
        EXPECT_NEAR(20.0 * std::log10(data(out)[255]), expected, 0.05) << c.levelDb << " dB, knee " << c.knee;
        EXPECT_EQ(var(m, 7), data(out)[255]);
    }
}

// The soft knee meets the straight line at its upper edge: gains just inside and just outside differ by no more
// than the step in level.
TEST_F(Limiters, SoftKneeIsContinuousAtItsEdges)
{
    EXPECT_NEAR(closedFormDb(-14.0, -20.0, 4.0, 6.0, 0.0), -4.5, 1e-12);
    EXPECT_NEAR(closedFormDb(-26.0, -20.0, 4.0, 6.0, 0.0), 0.0, 1e-12);
    float gains[2];
    const double levels[2] = {-14.01, -13.99};
    for (int k = 0; k < 2; ++k) {
        GenericWire *in = wire(1, 256);
        GenericWire *out = wire(1, 256);
        fill(in, static_cast<float>(std::pow(10.0, levels[k] / 20.0)));
        ClassModule *m = build(0xBEEF0804u, io(1, 1), {in, out},
                               {argOf(-20.0f), 0, 0, argOf(6.0f), argOf(4.0f), argOf(0.1f), argOf(50.0f), 0, 0, 0, 0,
                                0});
        ASSERT_EQ(ClassModule_Set(m, 0xFFFFFFFFu), KVE_OK);
        pump(m);
        pump(m);
        gains[k] = data(out)[255];
    }
    EXPECT_NEAR(20.0 * std::log10(gains[1] / gains[0]), -0.75 * 0.02, 0.01);
}

TEST_F(Limiters, SetDerivesSlopeKneeReciprocalAndSmoothers)
{
    GenericWire *in = wire(1, 8);
    GenericWire *out = wire(1, 8);
    ClassModule *m = build(0xBEEF0804u, io(1, 1), {in, out},
                           {argOf(-20.0f), 0, 0, 0, argOf(5.0f), argOf(1.0f), argOf(100.0f), 0, 0, 0, 0, 0});
    ASSERT_EQ(ClassModule_Set(m, 0xFFFFFFFFu), KVE_OK);
    EXPECT_FLOAT_EQ(var(m, 2), 0.8f);
    EXPECT_EQ(var(m, 8), 100.0f);
    EXPECT_NEAR(var(m, 9), 1.0 - std::exp(-1000.0 / (1.0 * kRate)), 1e-5);
    EXPECT_NEAR(var(m, 10), 1.0 - std::exp(-1000.0 / (100.0 * kRate)), 1e-6);
    var(m, 3) = 4.0f;
    ASSERT_EQ(ClassModule_Set(m, 0xFFFFFFFFu), KVE_OK);
    EXPECT_EQ(var(m, 8), 0.25f);
}

// Fract32 arguments: threshold, gain, slopeFract32, kneeDepth, ratio, attackTime, decayTime, reserved, then the
// derived words.
std::vector<uint32_t> fract32Args(float threshold, float knee, float ratio)
{
    std::vector<uint32_t> a = {argOf(threshold), 0, 0, argOf(knee), argOf(ratio), argOf(0.1f), argOf(50.0f), 0};
    a.resize(16, 0);
    return a;
}

// Q1.31 of x rounded half away from zero.
int32_t q31(double x) { return static_cast<int32_t>(std::min(std::round(x * 2147483648.0), 2147483647.0)); }

TEST_F(Limiters, Fract32SetScalesDecibelsAndHonoursTheMaskForTimesAndRatio)
{
    GenericWire *in = wire(1, 8);
    GenericWire *out = wire(1, 8);
    ClassModule *m = build(0xBEEF0882u, io(1, 1), {in, out}, fract32Args(-20.0f, 6.0f, 4.0f));
    ASSERT_NE(m, nullptr);
    ASSERT_EQ(ClassModule_Set(m, 0xFFFFFFFFu), KVE_OK);
    EXPECT_EQ(var<int32_t>(m, 2), q31(0.75));
    EXPECT_NEAR(var<int32_t>(m, 8), q31(0.0078125 / 6.0), 1);
    EXPECT_EQ(var<int32_t>(m, 13), q31(-20.0 / 128.0));
    EXPECT_EQ(var<int32_t>(m, 14), q31(6.0 / 128.0));
    EXPECT_NEAR(var<int32_t>(m, 9), q31(1.0 - std::exp(-1000.0 / (0.1 * kRate))), 2048);
    var(m, 4) = 2.0f;
    var(m, 5) = 10.0f;
    const int32_t attack = var<int32_t>(m, 9);
    ASSERT_EQ(ClassModule_Set(m, 1u << 14), KVE_OK);
    EXPECT_EQ(var<int32_t>(m, 2), q31(0.75));
    EXPECT_EQ(var<int32_t>(m, 9), attack);
    ASSERT_EQ(ClassModule_Set(m, (1u << 12) | (1u << 13)), KVE_OK);
    EXPECT_EQ(var<int32_t>(m, 2), q31(0.5));
    EXPECT_NE(var<int32_t>(m, 9), attack);
    // A knee of 0 dB is given to the core as 0.01 dB, the knee its reciprocal 0x64000000 stands for.
    var(m, 3) = 0.0f;
    ASSERT_EQ(ClassModule_Set(m, 0), KVE_OK);
    EXPECT_EQ(var<int32_t>(m, 8), 0x64000000);
    EXPECT_EQ(var<int32_t>(m, 14), q31(0.01 / 128.0));
}

// The Fract32 limiter on a steady level: a hard knee (knee 0) holds the level to the threshold line, a soft knee
// follows its curve; the fixed-point level and gain conversions allow a tenth of a dB. The gain signal carries the
// linear gain / 128 (unity is 2^24), as the Fract32 gain appliers take it with a post-shift of 7.
TEST_F(Limiters, Fract32SteadyGainFollowsTheKneeCurve)
{
    for (const Case &c : kCases) {
        if (c.makeUp != 0.0)
            continue;
        GenericWire *in = wire(1, 256);
        GenericWire *out = wire(1, 256);
        fill(in, q31(std::pow(10.0, c.levelDb / 20.0)));
        ClassModule *m = build(0xBEEF0882u, io(1, 1), {in, out},
                               fract32Args(float(c.threshold), float(c.knee), float(c.ratio)));
        ASSERT_NE(m, nullptr);
        ASSERT_EQ(ClassModule_Set(m, 0xFFFFFFFFu), KVE_OK);
        pump(m);
        pump(m);
        const int32_t last = data<int32_t>(out)[255];
        const double expected = closedFormDb(c.levelDb, c.threshold, c.ratio, c.knee == 0.0 ? 0.0 : c.knee, 0.0);
        EXPECT_NEAR(20.0 * std::log10(last / 16777216.0), expected, 0.1) << c.levelDb << " dB, knee " << c.knee;
        EXPECT_EQ(var<int32_t>(m, 12), static_cast<int32_t>(std::clamp<int64_t>(int64_t{last} * 128, INT32_MIN,
                                                                                   INT32_MAX)));
    }
}

TEST_F(Limiters, BypassWritesUnityGain)
{
    GenericWire *in = wire(1, 8);
    GenericWire *out = wire(1, 8);
    ClassModule *f = build(0xBEEF0804u, io(1, 1), {in, out}, std::vector<uint32_t>(12, 0));
    ASSERT_NE(f, nullptr);
    fill(out, 0.0f);
    f->classRecord->bypass(f);
    for (uint32_t i = 0; i < 8; ++i)
        EXPECT_EQ(data(out)[i], 1.0f);
    ClassModule *q = build(0xBEEF0882u, io(1, 1), {in, out}, std::vector<uint32_t>(16, 0));
    ASSERT_NE(q, nullptr);
    q->classRecord->bypass(q);
    for (uint32_t i = 0; i < 8; ++i)
        EXPECT_EQ(data<int32_t>(out)[i], 0x7FFFFFFF);
}

} // namespace
} // namespace dynamicstest
