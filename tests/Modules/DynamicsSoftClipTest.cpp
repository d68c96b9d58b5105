// The soft clippers: threshold from dB, shaping of the signal, and the momentary gain Get reports.
#include <cmath>
#include <cstdint>

#include "Modules/DynamicsTestSupport.h"

namespace dynamicstest {
namespace {

class SoftClippers : public Dynamics {};

TEST_F(SoftClippers, ThresholdIsTheLinearAmplitudeOfItsDecibels)
{
    for (float dB : {-6.0f, -20.0f, 0.0f}) {
        GenericWire *in = wire(1, 4);
        GenericWire *out = wire(1, 4);
        ClassModule *f = build(0xBEEF0850u, io(1, 1), {in, out}, {argOf(dB), 0});
        ClassModule *q = build(0xBEEF08CCu, io(1, 1), {in, out}, {argOf(dB), 0, 0});
        ASSERT_NE(f, nullptr);
        ASSERT_NE(q, nullptr);
        ASSERT_EQ(ClassModule_Set(f, 0xFFFFFFFFu), KVE_OK);
        ASSERT_EQ(ClassModule_Set(q, 0xFFFFFFFFu), KVE_OK);
        const double linear = std::pow(10.0, dB / 20.0);
        EXPECT_NEAR(var(f, 1), linear, 1e-6 * linear) << dB;
        EXPECT_NEAR(var<int32_t>(q, 2), std::min(linear * 2147483648.0, 2147483647.0), 2e-6 * linear * 2147483648.0)
            << dB;
    }
}

// Below the threshold the signal passes unchanged; above it the output stays within full scale and keeps the sign.
TEST_F(SoftClippers, QuietSamplesPassAndLoudOnesStayWithinFullScale)
{
    GenericWire *in = wire(2, 4);
    GenericWire *out = wire(2, 4);
    put(in, std::vector<float>{0.1f, -0.2f, 0.3f, -0.45f, 0.9f, -2.0f, 5.0f, -0.7f});
    ClassModule *m = build(0xBEEF0850u, io(1, 1), {in, out}, {argOf(-6.0f), 0});
    ASSERT_NE(m, nullptr);
    ASSERT_EQ(ClassModule_Set(m, 0xFFFFFFFFu), KVE_OK);
    pump(m);
    for (uint32_t i = 0; i < 8; ++i) {
        const float x = data(in)[i];
        const float y = data(out)[i];
        if (std::fabs(x) < 0.5f)
            EXPECT_EQ(y, x) << i;
        else {
            EXPECT_LE(std::fabs(y), 1.0f) << i;
            EXPECT_LE(std::fabs(y), std::fabs(x)) << i;
            EXPECT_GT(y * x, 0.0f) << i;
        }
    }
}

// Get reports last output / last input per channel; a channel whose last input is 0 keeps the gain it had.
TEST_F(SoftClippers, GetReportsTheLastFramesGainAndKeepsItForSilence)
{
    GenericWire *in = wire(2, 3);
    GenericWire *out = wire(2, 3);
    ClassModule *m = build(0xBEEF0850u, io(1, 1), {in, out}, {argOf(-12.0f), 0});
    ASSERT_NE(m, nullptr);
    ASSERT_EQ(ClassModule_Set(m, 0xFFFFFFFFu), KVE_OK);
    put(in, std::vector<float>{0.0f, 0.0f, 0.0f, 0.0f, 0.9f, 0.1f});
    pump(m);
    ASSERT_EQ(kve_fwGetCall(m, 0x7FFFFFFFu), KVE_OK);
    EXPECT_FLOAT_EQ(array(m, 4)[0], data(out)[4] / 0.9f);
    EXPECT_FLOAT_EQ(array(m, 4)[1], 1.0f);
    const float before = array(m, 4)[0];
    put(in, std::vector<float>{0.3f, 0.2f, 0.3f, 0.2f, 0.0f, 0.05f});
    pump(m);
    ASSERT_EQ(kve_fwGetCall(m, 0x7FFFFFFFu), KVE_OK);
    EXPECT_EQ(array(m, 4)[0], before);
    EXPECT_FLOAT_EQ(array(m, 4)[1], 1.0f);
}

TEST_F(SoftClippers, Fract32GetReportsUnityForASilentChannel)
{
    GenericWire *in = wire(2, 2);
    GenericWire *out = wire(2, 2);
    ClassModule *m = build(0xBEEF08CCu, io(1, 1), {in, out}, {argOf(-12.0f), 0, 0});
    ASSERT_NE(m, nullptr);
    ASSERT_EQ(ClassModule_Set(m, 0xFFFFFFFFu), KVE_OK);
    put(in, std::vector<int32_t>{0x10000000, 0x7FFFFFFF, 0, 0x70000000});
    pump(m);
    ASSERT_EQ(kve_fwGetCall(m, 0x7FFFFFFFu), KVE_OK);
    EXPECT_EQ(array(m, 5)[0], 1.0f);
    EXPECT_FLOAT_EQ(array(m, 5)[1], static_cast<float>(data<int32_t>(out)[3]) / static_cast<float>(0x70000000));
    EXPECT_LT(array(m, 5)[1], 1.0f);
    EXPECT_EQ(array<int32_t>(m, 3)[1], 0x70000000);
}

// A headroom beyond a word's 31 bits shapes as 31 bits does.
TEST_F(SoftClippers, Fract32HeadroomBeyondThirtyOneBitsActsAsThirtyOne)
{
    std::vector<int32_t> outputs[2];
    const int32_t shifts[2] = {31, 40};
    for (int k = 0; k < 2; ++k) {
        GenericWire *in = wire(1, 4);
        GenericWire *out = wire(1, 4);
        put(in, std::vector<int32_t>{0, 1, -2, 0x40000000});
        ClassModule *m =
            build(0xBEEF08CCu, io(1, 1), {in, out}, {argOf(-6.0f), static_cast<uint32_t>(shifts[k]), 0});
        ASSERT_NE(m, nullptr);
        ASSERT_EQ(ClassModule_Set(m, 0xFFFFFFFFu), KVE_OK);
        pump(m);
        outputs[k].assign(data<int32_t>(out), data<int32_t>(out) + 4);
    }
    EXPECT_EQ(outputs[0], outputs[1]);
}

} // namespace
} // namespace dynamicstest
