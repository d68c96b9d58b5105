// ScalerControl, ScalerDBControl, ScalerNControl: gains read from a control pin, glided at the audio rate.
#include "ScalerTestSupport.h"

namespace scalertest {
namespace {

constexpr uint32_t kScalerControl = 0xBEEF0818u;
constexpr uint32_t kScalerDBControl = 0xBEEF0819u;
constexpr uint32_t kScalerNControl = 0xBEEF08DBu;

// The control pin runs at a rate of its own; the smoothing step must come from the audio wire's rate.
constexpr float kControlRate = 1500.0f;

TEST_F(Scalers, ScalerControlGlidesTowardEachControlSampleOverItsSubBlock)
{
    GenericWire *control = wire(1, 4);
    control->sampleRate = kControlRate;
    GenericWire *in[2] = {wire(2, 32), wire(1, 32)};
    GenericWire *out[2] = {wire(2, 32), wire(1, 32)};
    const float targets[4] = {1.0f, 2.0f, -1.0f, 0.5f};
    std::copy(targets, targets + 4, data(control));
    fill(in[0], 1.0f);
    fill(in[1], -2.0f);
    ClassModule *m = build(kScalerControl, 0x203, {control, in[0], in[1], out[0], out[1]},
                           {bitsOf(1.0f), bitsOf(0.25f), 0});
    ASSERT_NE(m, nullptr);
    const double a = stepOf(1.0);
    EXPECT_NEAR(var(m, 2), a, 1e-5 * a);
    pump(m);
    double start = 0.25;
    for (int j = 0; j < 4; ++j) {
        for (int t = 0; t < 8; ++t) {
            const double g = glide(start, targets[j], a, t + 1);
            const int frame = 8 * j + t;
            EXPECT_NEAR(data(out[0])[2 * frame], g, 2e-5) << "frame " << frame;
            EXPECT_NEAR(data(out[0])[2 * frame + 1], g, 2e-5) << "frame " << frame;
            EXPECT_NEAR(data(out[1])[frame], -2.0 * g, 4e-5) << "the second pair starts from the same gain";
        }
        start = glide(start, targets[j], a, 8);
    }
    EXPECT_NEAR(var(m, 1), start, 2e-5);
}

TEST_F(Scalers, ScalerDBControlCarriesTheGlideFromPairToPair)
{
    GenericWire *control = wire(1, 4);
    control->sampleRate = kControlRate;
    GenericWire *in[2] = {wire(2, 16), wire(1, 16)};
    GenericWire *out[2] = {wire(2, 16), wire(1, 16)};
    fill(control, 6.0206f);
    data(control)[1] = -40.0f; // only the first control sample counts
    fill(in[0], 1.0f);
    fill(in[1], 1.0f);
    ClassModule *m = build(kScalerDBControl, 0x203, {control, in[0], in[1], out[0], out[1]},
                           {bitsOf(2.0f), bitsOf(0.0f), 0});
    ASSERT_NE(m, nullptr);
    const double a = stepOf(2.0);
    const double target = linearOf(6.0206);
    pump(m);
    for (int t = 0; t < 16; ++t) {
        EXPECT_NEAR(data(out[0])[2 * t], glide(0.0, target, a, t + 1), 2e-5) << t;
        EXPECT_NEAR(data(out[1])[t], glide(0.0, target, a, 16 + t + 1), 2e-5) << "second pair goes on, frame " << t;
    }
    EXPECT_NEAR(var(m, 1), glide(0.0, target, a, 32), 2e-5);
}

TEST_F(Scalers, ControlScalersNeverSmoothAComplexInput)
{
    struct Case {
        const char *what;
        uint32_t classId;
        float controlSample;
        float gain;
    } cases[] = {
        {"ScalerControl", kScalerControl, -3.0f, -3.0f},
        {"ScalerDBControl", kScalerDBControl, -6.0206f, 0.5f},
    };
    for (const Case &c : cases) {
        GenericWire *control = wire(1, 4);
        GenericWire *in = wire(2, 8, true);
        GenericWire *out = wire(2, 8, true);
        fill(control, c.controlSample);
        ramp(in);
        ClassModule *m = build(c.classId, 0x102, {control, in, out}, {bitsOf(5.0f), bitsOf(0.75f), 0});
        ASSERT_NE(m, nullptr) << c.what;
        pump(m);
        for (uint32_t i = 0; i < 16; ++i)
            EXPECT_FLOAT_EQ(data(out)[i], c.gain * data(in)[i]) << c.what << " " << i;
        EXPECT_EQ(var(m, 1), 0.75f) << c.what << ": currentGain kept";
    }
}

TEST_F(Scalers, ScalerNControlScalesEachChannelByItsControlSample)
{
    const float gains[3] = {0.5f, -2.0f, 4.0f};
    for (float timeMs : {0.0f, 1.0f}) {
        GenericWire *control = wire(3, 1);
        control->sampleRate = kControlRate;
        GenericWire *in = wire(3, 32);
        GenericWire *out = wire(3, 32);
        std::copy(gains, gains + 3, data(control));
        fill(in, 1.0f);
        ClassModule *m = build(kScalerNControl, 0x102, {control, in, out}, {bitsOf(timeMs), 0});
        ASSERT_NE(m, nullptr);
        ASSERT_EQ(kve::kit::capacity(m, 0), 3u);
        array(m, 2)[1] = 1.0f;
        pump(m);
        const double a = timeMs == 0.0f ? 0.0 : stepOf(timeMs);
        for (int t = 0; t < 32; ++t)
            for (int c = 0; c < 3; ++c) {
                const double g = timeMs == 0.0f ? gains[c] : glide(c == 1 ? 1.0 : 0.0, gains[c], a, t + 1);
                EXPECT_NEAR(data(out)[3 * t + c], g, 2e-5 * std::fabs(gains[c])) << timeMs << " ms, frame " << t;
            }
        EXPECT_EQ(array(m, 2)[1], timeMs == 0.0f ? 1.0f : data(out)[3 * 31 + 1]) << timeMs << " ms";
    }
}

TEST_F(Scalers, ScalerNControlServesOnlyTheChannelsItsGainsWereBuiltFor)
{
    GenericWire *control = wire(2, 2);
    GenericWire *in = wire(2, 8);
    GenericWire *out = wire(2, 8);
    ClassModule *m = build(kScalerNControl, 0x102, {control, in, out}, {bitsOf(1.0f), 0});
    ASSERT_NE(m, nullptr);
    for (GenericWire *w : {control, in, out})
        w->info1 = (w->info1 & ~0x3FFu) | 4u;
    in->info2 = out->info2 = 4;
    control->info2 = 1;
    fill(control, 3.0f);
    fill(in, 1.0f);
    fill(out, 1234.0f);
    pump(m);
    for (uint32_t t = 0; t < 4; ++t) {
        EXPECT_NE(data(out)[4 * t], 1234.0f);
        EXPECT_NE(data(out)[4 * t + 1], 1234.0f);
        EXPECT_EQ(data(out)[4 * t + 2], 1234.0f) << "channel 2 has no current gain";
        EXPECT_EQ(data(out)[4 * t + 3], 1234.0f) << "channel 3 has no current gain";
    }
}

TEST_F(Scalers, ControlScalersRefuseWiringWithoutAControlPinAndAPair)
{
    struct Case {
        uint32_t classId;
        uint32_t wireWord;
    } cases[] = {
        {kScalerControl, 0x101}, {kScalerControl, 0x202}, {kScalerControl, 0x2},
        {kScalerDBControl, 0x101}, {kScalerDBControl, 0x302}, {kScalerNControl, 0x101}, {kScalerNControl, 0x2},
    };
    GenericWire *w = wire(1, 8);
    for (const Case &c : cases) {
        int32_t status = KVE_OK;
        EXPECT_EQ(build(c.classId, c.wireWord, {w, w, w, w, w, w}, zeroArgs(c.classId), &status), nullptr);
        EXPECT_EQ(status, KVE_E_ARG_COUNT) << std::hex << c.classId << " " << c.wireWord;
    }
}

TEST_F(Scalers, AnEmptyControlPinLeavesTheGainAsItStands)
{
    constexpr uint32_t kScalerV2 = 0xBEEF0813u;
    struct Case {
        const char *what;
        uint32_t classId;
        std::vector<uint32_t> args;
        float gain;
    } cases[] = {
        {"ScalerV2 linear", kScalerV2, {bitsOf(3.0f), 0, 0, 0, 0, 0}, 3.0f},
        {"ScalerV2 dB", kScalerV2, {bitsOf(-6.0206f), 0, 1, 0, 0, 0}, 0.5f},
        {"ScalerControl", kScalerControl, {0, 0, 0}, 1.0f},
        {"ScalerDBControl", kScalerDBControl, {0, 0, 0}, 1.0f},
    };
    for (const Case &c : cases) {
        GenericWire *control = wire(1, 0);
        GenericWire *in = wire(2, 8, true);
        GenericWire *out = wire(2, 8, true);
        ramp(in);
        ClassModule *m = build(c.classId, 0x102, {control, in, out}, c.args);
        ASSERT_NE(m, nullptr) << c.what;
        pump(m);
        for (uint32_t i = 0; i < 16; ++i)
            EXPECT_FLOAT_EQ(data(out)[i], c.gain * data(in)[i]) << c.what << " " << i;
    }
}

} // namespace
} // namespace scalertest
