// The crossfader: the fade position read from the control pin (limited to 0..1, a position that is not a number
// taken as 1), the linear and equal-power laws, glides against the one-pole closed form on every channel, a control
// pin without samples, and input wires shorter than the output.
#include "FaderTestSupport.h"

#include <limits>

namespace fadertest {
namespace {

// Variables in member order.
enum : uint32_t { kTime, kEqualPower, kCurrentA, kCurrentB, kCoeff };

using CrossFader = Faders;

// The equal-power law in double, from its published coefficients.
double equalPower(double g) { return g * g * ((3.31369996 * g - 8.6274004) * g + 6.3137002); }

TEST_F(CrossFader, ControlPositionPicksTheGainsOfBothInputs)
{
    const float nan = std::numeric_limits<float>::quiet_NaN();
    struct Case {
        const char *what;
        float control;
        uint32_t equalPower;
        double gainA, gainB;
    } cases[] = {
        {"past the end is B only", 1.7f, 0, 0.0, 1.0},
        {"before the start is A only", -0.3f, 0, 1.0, 0.0},
        {"not a number is B only", nan, 0, 0.0, 1.0},
        {"a quarter, linear", 0.25f, 0, 0.75, 0.25},
        {"a quarter, equal power", 0.25f, 1, equalPower(0.75), 0.27274728},
        {"the middle, equal power", 0.5f, 1, 0.70710623, 0.70710623},
        {"the end, equal power", 1.0f, 1, 0.0, 0.99999952},
        {"past the end, equal power", 3.0f, 1, 0.0, 0.99999952},
    };
    for (const Case &c : cases) {
        GenericWire *control = wire(1, 4);
        GenericWire *a = wire(2, 8);
        GenericWire *b = wire(2, 8);
        GenericWire *out = wire(2, 8);
        fill(control, c.control);
        ramp(a, 1.0f);
        ramp(b, -20.0f);
        // A smoothing time of 0 reaches the target on the first sample.
        ClassModule *m = build(kCrossFader, 0x103, {control, a, b, out}, {0, c.equalPower, 0, 0, 0});
        ASSERT_NE(m, nullptr) << c.what;
        pump(m);
        EXPECT_NEAR(var(m, kCurrentA), c.gainA, 2e-7) << c.what;
        EXPECT_NEAR(var(m, kCurrentB), c.gainB, 2e-7) << c.what;
        for (uint32_t i = 0; i < 16; ++i)
            EXPECT_NEAR(data(out)[i], data(a)[i] * c.gainA + data(b)[i] * c.gainB, 1e-5) << c.what << ": word " << i;
    }
}

TEST_F(CrossFader, EveryChannelGlidesAlongTheSameTrajectoryAcrossBlocks)
{
    // From A only toward B only, over two blocks of three channels; A held at 1, 2, 3 and B at -1, -2, -3.
    const double a = stepOf(2.0);
    GenericWire *control = wire(1, 16);
    GenericWire *inA = wire(3, 16);
    GenericWire *inB = wire(3, 16);
    GenericWire *out = wire(3, 16);
    fill(control, 1.0f);
    for (uint32_t t = 0; t < 16; ++t)
        for (uint32_t c = 0; c < 3; ++c) {
            data(inA)[3 * t + c] = static_cast<float>(c + 1);
            data(inB)[3 * t + c] = -static_cast<float>(c + 1);
        }
    ClassModule *m = build(kCrossFader, 0x103, {control, inA, inB, out}, {bitsOf(2.0f), 0, bitsOf(1.0f), 0, 0});
    ASSERT_NE(m, nullptr);
    EXPECT_NEAR(var(m, kCoeff), a, 1e-7);
    for (int block = 0; block < 2; ++block) {
        pump(m);
        for (uint32_t t = 0; t < 16; ++t) {
            const int k = block * 16 + static_cast<int>(t) + 1;
            for (uint32_t c = 0; c < 3; ++c)
                EXPECT_NEAR(data(out)[3 * t + c], (c + 1.0) * (glide(1.0, 0.0, a, k) - glide(0.0, 1.0, a, k)), 1e-5)
                    << "sample " << k << " channel " << c;
        }
    }
    EXPECT_NEAR(var(m, kCurrentA), glide(1.0, 0.0, a, 32), 2e-6);
    EXPECT_NEAR(var(m, kCurrentB), glide(0.0, 1.0, a, 32), 2e-6);
}

TEST_F(CrossFader, ControlPinWithoutSamplesHoldsTheGains)
{
    for (GenericWire *control : {wire(1, 0), wire(0, 8)}) {
        GenericWire *a = wire(1, 8);
        GenericWire *b = wire(1, 8);
        GenericWire *out = wire(1, 8);
        ramp(a, 1.0f);
        ramp(b, 100.0f);
        ClassModule *m = build(kCrossFader, 0x103, {control, a, b, out},
                               {bitsOf(2.0f), 1, bitsOf(0.25f), bitsOf(0.5f), 0});
        ASSERT_NE(m, nullptr);
        pump(m);
        for (uint32_t t = 0; t < 8; ++t)
            EXPECT_FLOAT_EQ(data(out)[t], 0.25f * data(a)[t] + 0.5f * data(b)[t]) << "frame " << t;
        EXPECT_EQ(var(m, kCurrentA), 0.25f);
        EXPECT_EQ(var(m, kCurrentB), 0.5f);
    }
}

TEST_F(CrossFader, OnlyTheFramesEveryWireHoldsAreFaded)
{
    struct Case {
        const char *what;
        uint32_t blockA, blockB, blockOut, written;
    } cases[] = {
        {"input B shorter", 16, 4, 16, 4},
        {"output shorter", 16, 16, 4, 4},
        {"input A shorter", 4, 16, 16, 4},
    };
    for (const Case &c : cases) {
        GenericWire *control = wire(1, 1);
        GenericWire *a = wire(2, c.blockA);
        GenericWire *b = wire(2, c.blockB);
        GenericWire *out = wire(2, c.blockOut);
        GenericWire *after = wire(1, 4);
        fill(control, 0.5f);
        ramp(a, 1.0f);
        ramp(b, 1.0f);
        fill(out, kSentinel);
        fill(after, kSentinel);
        ClassModule *m = build(kCrossFader, 0x103, {control, a, b, out}, {0, 0, 0, 0, 0});
        ASSERT_NE(m, nullptr) << c.what;
        pump(m);
        for (uint32_t i = 0; i < 2 * c.blockOut; ++i)
            EXPECT_EQ(data(out)[i] == kSentinel, i >= 2 * c.written) << c.what << ": word " << i;
        EXPECT_EQ(after->guard, KVE_GUARD_WORD) << c.what;
        for (uint32_t t = 0; t < 4; ++t)
            EXPECT_EQ(data(after)[t], kSentinel) << c.what;
    }
}

} // namespace
} // namespace fadertest
