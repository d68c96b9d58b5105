// The polarity inverters: the float glide toward -1 and back against the one-pole closed form, the Fract32 twin word
// for word against an integer model of its per-channel glide, and the start gain every Fract32 Set restarts from.
#include "FaderTestSupport.h"

namespace fadertest {
namespace {

using Invert = Faders;

TEST_F(Invert, GlidesTowardMinusOneAndBack)
{
    // isInverted, smoothingTime, currentGain, smoothingCoeff.
    const double a = stepOf(1.0);
    GenericWire *in = wire(3, 16);
    GenericWire *out = wire(3, 16);
    ramp(in, 1.0f);
    ClassModule *m = build(kInvert, 0x101, {in, out}, {1, bitsOf(1.0f), bitsOf(1.0f), 0});
    ASSERT_NE(m, nullptr);
    pump(m);
    for (uint32_t t = 0; t < 16; ++t)
        for (uint32_t c = 0; c < 3; ++c)
            EXPECT_NEAR(data(out)[3 * t + c], data(in)[3 * t + c] * glide(1.0, -1.0, a, t + 1), 1e-4)
                << "frame " << t << " channel " << c;
    const double halfway = glide(1.0, -1.0, a, 16);
    EXPECT_NEAR(var(m, 2), halfway, 1e-6);

    // Clearing the flag turns the glide back toward +1 from where it stands, with no Set needed.
    var<int32_t>(m, 0) = 0;
    pump(m);
    for (uint32_t t = 0; t < 16; ++t)
        EXPECT_NEAR(data(out)[3 * t], data(in)[3 * t] * glide(halfway, 1.0, a, t + 1), 1e-4) << "frame " << t;
}

TEST_F(Invert, CoefficientFollowsTheSmoothingTimeOnlyWhenItsBitIsSet)
{
    struct Case {
        const char *what;
        uint32_t classId;
        std::vector<uint32_t> args;
        uint32_t timeVariable, coeffVariable;
        bool fract32;
    } cases[] = {
        {"Invert", kInvert, {0, bitsOf(1.0f), bitsOf(1.0f), 0}, 1, 3, false},
        {"InvertFract32", kInvertFract32, {0, bitsOf(1.0f), bitsOf(1.0f), 0, 0, 0}, 1, 5, true},
        {"WetDry", kWetDry, {0, 0, bitsOf(1.0f), 0, 0, 0}, 2, 5, false},
    };
    for (const Case &c : cases) {
        GenericWire *in = wire(1, 8);
        GenericWire *other = wire(1, 8);
        GenericWire *out = wire(1, 8);
        ClassModule *m = c.classId == kWetDry ? build(c.classId, 0x102, {in, other, out}, c.args)
                                              : build(c.classId, 0x101, {in, out}, c.args);
        const uint32_t timeBit = 8 + c.timeVariable;
        ASSERT_NE(m, nullptr) << c.what;
        auto coefficient = [&] {
            return c.fract32 ? var<int32_t>(m, c.coeffVariable) / 2147483648.0 : var(m, c.coeffVariable);
        };
        EXPECT_NEAR(coefficient(), stepOf(1.0), 1e-6) << c.what;
        var(m, c.timeVariable) = 4.0f;
        ClassModule_Set(m, KVE_MASK_ALL & ~(1u << timeBit));
        EXPECT_NEAR(coefficient(), stepOf(1.0), 1e-6) << c.what << ": other bits leave it";
        ClassModule_Set(m, 1u << timeBit);
        EXPECT_NEAR(coefficient(), stepOf(4.0), 1e-6) << c.what << ": its bit recomputes it";
    }
}

TEST_F(Invert, Fract32GlidesEveryChannelFromTheStoredGainWordForWord)
{
    // isInverted, smoothingTime, startGain, floatCoeff, currentGain, smoothingCoeff.
    GenericWire *in = wire(3, 10);
    GenericWire *out = wire(3, 10);
    ClassModule *m = build(kInvertFract32, 0x101, {in, out}, {1, bitsOf(0.5f), bitsOf(1.0f), bitsOf(0.25f), 0, 0});
    ASSERT_NE(m, nullptr);
    EXPECT_EQ(var<int32_t>(m, 4), kMax) << "Set starts the glide from startGain";
    const int32_t a = var<int32_t>(m, 5);
    EXPECT_NEAR(a, q31(stepOf(0.5)), 64.0);
    int32_t gain = kMax;
    for (uint32_t block = 0; block < 3; ++block) {
        const int32_t target = block < 2 ? kMin : kMax;
        var<int32_t>(m, 0) = block < 2 ? 1 : 0;
        const std::vector<int32_t> x = testWords(30, block);
        put(in, x);
        pump(m);
        EXPECT_EQ(get(out), modelGlide(x, 3, 10, gain, target, a, &gain)) << "block " << block;
        EXPECT_EQ(var<int32_t>(m, 4), gain) << "block " << block;
    }
    EXPECT_EQ(var(m, 3), 0.25f) << "floatCoeff is the host's";
}

TEST_F(Invert, Fract32SetRestartsTheGlideFromTheStartGain)
{
    struct Case {
        float startGain;
        int32_t word;
    } cases[] = {{1.0f, kMax}, {-1.0f, kMin}, {-0.5f, -0x40000000}, {0.25f, 0x20000000}, {-3.0f, kMin}, {0.0f, 0}};
    GenericWire *in = wire(1, 8);
    GenericWire *out = wire(1, 8);
    ClassModule *m = build(kInvertFract32, 0x101, {in, out}, {1, bitsOf(1.0f), bitsOf(1.0f), 0, 0, 0});
    ASSERT_NE(m, nullptr);
    for (const Case &c : cases) {
        pump(m); // moves the current gain away from where Set puts it
        var(m, 2) = c.startGain;
        ClassModule_Set(m, 0);
        EXPECT_EQ(var<int32_t>(m, 4), c.word) << "startGain " << c.startGain;
    }
}

} // namespace
} // namespace fadertest
