// The wet/dry blend: the linear and square laws of the mix, glides against the one-pole closed form, inputs shorter
// than the output; and the refusal of wiring short of what the balance, polarity, crossfade and wet/dry modules read.
#include "FaderTestSupport.h"

namespace fadertest {
namespace {

// Variables in member order.
enum : uint32_t { kMix, kSquareLaw, kTime, kCurrentA, kCurrentB, kCoeff };

using WetDry = Faders;

TEST_F(WetDry, MixGivesLinearOrSquareLawGains)
{
    struct Case {
        float mix;
        uint32_t squareLaw;
        double gainA, gainB;
    } cases[] = {
        {0.0f, 0, 1.0, 0.0},  {0.3f, 0, 0.7, 0.3},   {1.0f, 0, 0.0, 1.0},
        {0.0f, 1, 1.0, 0.0},  {0.3f, 1, 0.49, 0.09}, {1.0f, 1, 0.0, 1.0},
        {0.5f, 1, 0.25, 0.25},
    };
    for (const Case &c : cases) {
        GenericWire *a = wire(2, 8);
        GenericWire *b = wire(2, 8);
        GenericWire *out = wire(2, 8);
        ramp(a, 1.0f);
        ramp(b, -30.0f);
        // A smoothing time of 0 reaches the target on the first sample.
        ClassModule *m = build(kWetDry, 0x102, {a, b, out}, {bitsOf(c.mix), c.squareLaw, 0, 0, 0, 0});
        ASSERT_NE(m, nullptr);
        pump(m);
        EXPECT_NEAR(var(m, kCurrentA), c.gainA, 1e-7) << "mix " << c.mix << " square law " << c.squareLaw;
        EXPECT_NEAR(var(m, kCurrentB), c.gainB, 1e-7) << "mix " << c.mix << " square law " << c.squareLaw;
        for (uint32_t i = 0; i < 16; ++i)
            EXPECT_NEAR(data(out)[i], data(a)[i] * c.gainA + data(b)[i] * c.gainB, 1e-5)
                << "mix " << c.mix << " square law " << c.squareLaw << ": word " << i;
    }
}

TEST_F(WetDry, GainsGlideTowardTheMixAcrossBlocks)
{
    // Square law at 0.8: A glides from 1 down to 0.04, B from 0 up to 0.64; A held at 1 and 2, B at 10 and 20.
    const double a = stepOf(1.5);
    GenericWire *inA = wire(2, 16);
    GenericWire *inB = wire(2, 16);
    GenericWire *out = wire(2, 16);
    for (uint32_t t = 0; t < 16; ++t) {
        data(inA)[2 * t] = 1.0f;
        data(inA)[2 * t + 1] = 2.0f;
        data(inB)[2 * t] = 10.0f;
        data(inB)[2 * t + 1] = 20.0f;
    }
    const double targetA = (1.0 - 0.8f) * (1.0 - 0.8f);
    const double targetB = 0.8f * 0.8f;
    ClassModule *m = build(kWetDry, 0x102, {inA, inB, out}, {bitsOf(0.8f), 1, bitsOf(1.5f), bitsOf(1.0f), 0, 0});
    ASSERT_NE(m, nullptr);
    EXPECT_NEAR(var(m, kCoeff), a, 1e-7);
    for (int block = 0; block < 2; ++block) {
        pump(m);
        for (uint32_t t = 0; t < 16; ++t) {
            const int k = block * 16 + static_cast<int>(t) + 1;
            const double mixed = glide(1.0, targetA, a, k) + 10.0 * glide(0.0, targetB, a, k);
            EXPECT_NEAR(data(out)[2 * t], mixed, 2e-5) << "sample " << k;
            EXPECT_NEAR(data(out)[2 * t + 1], 2.0 * mixed, 4e-5) << "sample " << k;
        }
    }
    EXPECT_NEAR(var(m, kCurrentA), glide(1.0, targetA, a, 32), 1e-6);
    EXPECT_NEAR(var(m, kCurrentB), glide(0.0, targetB, a, 32), 1e-6);
}

TEST_F(WetDry, OnlyTheFramesEveryWireHoldsAreBlended)
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
        GenericWire *a = wire(2, c.blockA);
        GenericWire *b = wire(2, c.blockB);
        GenericWire *out = wire(2, c.blockOut);
        GenericWire *after = wire(1, 4);
        ramp(a, 1.0f);
        ramp(b, 1.0f);
        fill(out, kSentinel);
        fill(after, kSentinel);
        ClassModule *m = build(kWetDry, 0x102, {a, b, out}, {bitsOf(0.5f), 0, 0, 0, 0, 0});
        ASSERT_NE(m, nullptr) << c.what;
        pump(m);
        for (uint32_t i = 0; i < 2 * c.blockOut; ++i)
            EXPECT_EQ(data(out)[i] == kSentinel, i >= 2 * c.written) << c.what << ": word " << i;
        EXPECT_EQ(after->guard, KVE_GUARD_WORD) << c.what;
        for (uint32_t t = 0; t < 4; ++t)
            EXPECT_EQ(data(after)[t], kSentinel) << c.what;
    }
}

TEST_F(WetDry, FadersRefuseWiringShortOfWhatProcessReads)
{
    struct Case {
        const char *what;
        uint32_t classId, wireWord, argc;
    } cases[] = {
        {"Balance without a right output", kBalance, 0x102, 7},
        {"Balance without a right input", kBalance, 0x201, 7},
        {"BalanceFract32 without a right output", kBalanceFract32, 0x102, 7},
        {"BalanceFract32 without a right input", kBalanceFract32, 0x201, 7},
        {"Invert without an output", kInvert, 0x001, 4},
        {"InvertFract32 without an output", kInvertFract32, 0x001, 6},
        {"InvertFract32 without an input", kInvertFract32, 0x100, 6},
        {"CrossFader without input B", kCrossFader, 0x102, 5},
        {"CrossFader without an output", kCrossFader, 0x003, 5},
        {"WetDry without input B", kWetDry, 0x101, 6},
        {"WetDry without an output", kWetDry, 0x002, 6},
    };
    for (const Case &c : cases) {
        const uint32_t count = (c.wireWord & 0xFF) + ((c.wireWord >> 8) & 0xFF);
        std::vector<GenericWire *> wires;
        for (uint32_t k = 0; k < count; ++k)
            wires.push_back(wire(1, 8));
        const KVEObject *before = engine_->lastObject;
        int32_t status = KVE_OK;
        EXPECT_EQ(build(c.classId, c.wireWord, wires, std::vector<uint32_t>(c.argc, 0), &status), nullptr) << c.what;
        EXPECT_EQ(status, KVE_E_ARG_COUNT) << c.what;
        EXPECT_EQ(engine_->lastObject, before) << c.what << ": nothing is left behind";
    }
}

} // namespace
} // namespace fadertest
