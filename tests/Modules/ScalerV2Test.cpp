// ScalerV2: plain and control-pin gains in linear and dB modes, the glide toward the target, and when it holds.
#include "ScalerTestSupport.h"

namespace scalertest {
namespace {

constexpr uint32_t kScalerV2 = 0xBEEF0813u;

// Arguments: gain, smoothingTime, isDB, targetGain, currentGain, smoothingCoeff.
std::vector<uint32_t> argsOf(float gain, float timeMs, int32_t isDB, float current = 0.0f)
{
    return {bitsOf(gain), bitsOf(timeMs), static_cast<uint32_t>(isDB), 0, bitsOf(current), bitsOf(1.0f)};
}

TEST_F(Scalers, ScalerV2AppliesItsGainWithoutSmoothing)
{
    struct Case {
        const char *what;
        float gain;
        int32_t isDB;
        bool control;
        float controlSample;
        double expected;
    } cases[] = {
        {"linear gain", -3.0f, 0, false, 0, -3.0},
        {"-6.0206 dB halves", -6.0206f, 1, false, 0, 0.5},
        {"control sample times the linear gain", 3.0f, 0, true, 0.25f, 0.75},
        {"control sample in dB added to 0 dB", 0.0f, 1, true, 6.0f, std::exp(6.0 * 0.115129255)},
        {"control sample in dB added to -6 dB", -6.0f, 1, true, 6.0f, 1.0},
    };
    for (const Case &c : cases) {
        GenericWire *control = wire(1, 8);
        GenericWire *in = wire(2, 8);
        GenericWire *out = wire(2, 8);
        ramp(in);
        fill(control, c.controlSample);
        data(control)[1] = 100.0f; // only the first control sample counts
        ClassModule *m = c.control ? build(kScalerV2, 0x102, {control, in, out}, argsOf(c.gain, 0.0f, c.isDB))
                                   : build(kScalerV2, 0x101, {in, out}, argsOf(c.gain, 0.0f, c.isDB));
        ASSERT_NE(m, nullptr) << c.what;
        pump(m);
        for (uint32_t i = 0; i < 16; ++i)
            EXPECT_NEAR(data(out)[i], data(in)[i] * c.expected, 1e-6 * std::fabs(data(in)[i] * c.expected)) << c.what;
        EXPECT_EQ(var(m, 4), 0.0f) << c.what << ": an unsmoothed block keeps currentGain";
    }
}

TEST_F(Scalers, ScalerV2WhiteNoiseArgumentsScaleByExactlyTwoToTheMinus31)
{
    const float g = std::ldexp(1.0f, -31);
    GenericWire *in = wire(1, 16);
    GenericWire *out = wire(1, 16);
    ramp(in, -7.0f);
    ClassModule *m =
        build(kScalerV2, 0x101, {in, out}, {bitsOf(g), bitsOf(0.0f), 0, bitsOf(g), bitsOf(g), bitsOf(1.0f)});
    ASSERT_NE(m, nullptr);
    pump(m);
    for (uint32_t i = 0; i < 16; ++i)
        EXPECT_EQ(data(out)[i], std::ldexp(data(in)[i], -31)) << i;
}

TEST_F(Scalers, ScalerV2GlidesEveryPairAlongOneTrajectoryAcrossBlocks)
{
    const double a = stepOf(1.0);
    GenericWire *in[2] = {wire(2, 32), wire(1, 32)};
    GenericWire *out[2] = {wire(2, 32), wire(1, 32)};
    fill(in[0], 1.0f);
    fill(in[1], -2.0f);
    ClassModule *m = build(kScalerV2, 0x202, {in[0], in[1], out[0], out[1]}, argsOf(2.0f, 1.0f, 0, 0.5f));
    ASSERT_NE(m, nullptr);
    EXPECT_NEAR(var(m, 5), a, 1e-7);
    for (int block = 0; block < 2; ++block) {
        pump(m);
        for (int t = 0; t < 32; ++t) {
            const double g = glide(0.5, 2.0, a, 32 * block + t + 1);
            EXPECT_NEAR(data(out[0])[2 * t], g, 1e-5) << "block " << block << " frame " << t;
            EXPECT_NEAR(data(out[0])[2 * t + 1], g, 1e-5);
            EXPECT_NEAR(data(out[1])[t], -2.0 * g, 2e-5) << "the second pair starts from the same gain";
        }
        EXPECT_NEAR(var(m, 4), glide(0.5, 2.0, a, 32 * (block + 1)), 1e-5);
    }
}

TEST_F(Scalers, ScalerV2HoldsCurrentGainWhileUnsmoothedAndGlidesFromItLater)
{
    GenericWire *in = wire(1, 32);
    GenericWire *out = wire(1, 32);
    fill(in, 1.0f);
    ClassModule *m = build(kScalerV2, 0x101, {in, out}, argsOf(4.0f, 0.0f, 0, 1.0f));
    ASSERT_NE(m, nullptr);
    pump(m);
    pump(m);
    EXPECT_EQ(var(m, 4), 1.0f);
    EXPECT_EQ(data(out)[31], 4.0f);

    // Turning smoothing on without flagging smoothingTime keeps the old coefficient; flagging it recomputes it.
    var(m, 1) = 2.0f;
    ASSERT_EQ(ClassModule_Set(m, 1u << 8), 0);
    EXPECT_EQ(var(m, 5), 1.0f);
    ASSERT_EQ(ClassModule_Set(m, 1u << 9), 0);
    const double a = stepOf(2.0);
    EXPECT_NEAR(var(m, 5), a, 1e-7);
    pump(m);
    for (int t = 0; t < 32; ++t)
        EXPECT_NEAR(data(out)[t], glide(1.0, 4.0, a, t + 1), 2e-5) << t;
}

TEST_F(Scalers, ScalerV2SetRecomputesTheTargetOnEveryMask)
{
    GenericWire *in = wire(1, 8);
    GenericWire *out = wire(1, 8);
    ClassModule *m = build(kScalerV2, 0x101, {in, out}, argsOf(2.0f, 0.0f, 0));
    ASSERT_NE(m, nullptr);
    for (uint32_t mask : {0u, 1u << 8, 1u << 10, 0x7FFFFFFFu}) {
        var(m, 3) = 0.0f;
        ASSERT_EQ(ClassModule_Set(m, mask), 0);
        EXPECT_EQ(var(m, 3), 2.0f) << std::hex << mask;
    }
    var<int32_t>(m, 2) = 1;
    var(m, 0) = 20.0f;
    ASSERT_EQ(ClassModule_Set(m, 0), 0);
    EXPECT_NEAR(var(m, 3), 10.0, 1e-5) << "20 dB";
}

TEST_F(Scalers, ScalerV2NeverSmoothsAComplexInput)
{
    GenericWire *in = wire(2, 8, true);
    GenericWire *out = wire(2, 8, true);
    ramp(in);
    ClassModule *m = build(kScalerV2, 0x101, {in, out}, argsOf(3.0f, 5.0f, 0, 0.25f));
    ASSERT_NE(m, nullptr);
    pump(m);
    for (uint32_t i = 0; i < 16; ++i)
        EXPECT_EQ(data(out)[i], 3.0f * data(in)[i]) << i;
    EXPECT_EQ(var(m, 4), 0.25f);
}

TEST_F(Scalers, ScalerV2RefusesFewerInputsThanOutputs)
{
    GenericWire *w = wire(1, 8);
    for (uint32_t wireWord : {0x201u, 0x100u, 0x1u}) {
        int32_t status = KVE_OK;
        EXPECT_EQ(build(kScalerV2, wireWord, {w, w, w}, argsOf(1.0f, 0.0f, 0), &status), nullptr)
            << std::hex << wireWord;
        EXPECT_EQ(status, KVE_E_ARG_COUNT);
    }
}

} // namespace
} // namespace scalertest
