// The sine generators against the sine of their frequency: the float and Q1.31 rotating phasors (mono: the sine;
// any other channel count: (cos, sin) pairs at the start of the wire), the Q1.31 phasor word for word against a
// plain integer model of its rotation, product limit and renormalisation, the glide of the smoothed sines toward
// their target frequency, and the sine that follows its control wire.
#include <algorithm>
#include <cmath>
#include <numbers>

#include "OscillatorsTestSupport.h"
#include "kve/kve_vec_math.h"

namespace osctest {
namespace {

constexpr double kTwoPi = 2.0 * std::numbers::pi;

class Sines : public OscillatorTable {};

TEST_F(Sines, SineGenFollowsTheSineOfItsFrequencyOverSeveralBlocks)
{
    struct Case {
        uint32_t channels, block;
        float freq;
    } cases[] = {{1, 32, 1000.0f}, {1, 7, 440.0f}, {2, 16, 3000.0f}, {1, 64, 20.0f}};
    for (const Case &c : cases) {
        GenericWire *out = wire(c.channels, c.block);
        ClassModule *m = build(kSineGen, 0x100, {out}, {bitsOf(c.freq), 0, bitsOf(1.0f), 0, 0, 0});
        ASSERT_NE(m, nullptr);
        // Set gives the step angle's sine and cosine to single precision; the phasor then turns by that angle, each
        // step's rounding adding a few parts in 10^8.
        const double w = std::atan2(var(m, 5), var(m, 4));
        EXPECT_NEAR(var(m, 4), std::cos(kTwoPi * c.freq / kRate), 1e-7);
        EXPECT_NEAR(var(m, 5), std::sin(kTwoPi * c.freq / kRate), 1e-7);
        EXPECT_NEAR(w, kTwoPi * c.freq / kRate, 1e-7);
        for (uint32_t b = 0, n = 0; b < 4; ++b) {
            pump(m);
            for (uint32_t i = 0; i < c.block; ++i, ++n) {
                const double angle = w * n;
                if (c.channels == 1) {
                    ASSERT_NEAR(data(out)[i], std::sin(angle), 2e-6) << c.freq << " Hz, sample " << n;
                } else {
                    ASSERT_NEAR(data(out)[2 * i], std::cos(angle), 2e-6) << c.freq << " Hz, sample " << n;
                    ASSERT_NEAR(data(out)[2 * i + 1], std::sin(angle), 2e-6) << c.freq << " Hz, sample " << n;
                }
            }
        }
    }
}

// Any channel count but one writes block-size pairs at the start of the wire and leaves the rest as it was; an
// empty wire is written nowhere.
TEST_F(Sines, SineGensOnWiderWiresWritePairsAtTheStartOnly)
{
    for (uint32_t cls : {kSineGen, kSineGenFract32}) {
        GenericWire *out = wire(3, 8);
        const uint32_t phasorA = cls == kSineGen ? bitsOf(1.0f) : 0x7FFFFFFFu;
        ClassModule *m = build(cls, 0x100, {out}, {bitsOf(1000.0f), 0, phasorA, 0, 0, 0});
        ASSERT_NE(m, nullptr);
        std::fill(data<uint32_t>(out), data<uint32_t>(out) + 24, 0xA5A5A5A5u);
        pump(m);
        const std::vector<uint32_t> got = contents<uint32_t>(out);
        EXPECT_EQ(got[0], phasorA) << std::hex << cls;
        EXPECT_EQ(got[1], 0u) << std::hex << cls;
        EXPECT_NE(got[15], 0xA5A5A5A5u) << std::hex << cls;
        for (uint32_t i = 16; i < 24; ++i)
            EXPECT_EQ(got[i], 0xA5A5A5A5u) << std::hex << cls << " word " << i;
    }
}

// The Q1.31 phasor as the generator defines it, in plain 64-bit arithmetic: the products shifted by 31 and held at
// 0x7FFFFFFF, the sums saturated; after the block, the length through the library's fixed-point square root and
// reciprocal (1/(2r)), applied doubled.
struct PhasorModel {
    int64_t a, b;

    static int64_t product(int64_t x, int64_t y) { return std::min<int64_t>((x * y) >> 31, 0x7FFFFFFF); }
    static int64_t sat(int64_t v) { return std::clamp<int64_t>(v, INT32_MIN, INT32_MAX); }

    std::vector<int32_t> block(uint32_t channels, uint32_t steps, int64_t c, int64_t s)
    {
        std::vector<int32_t> y;
        for (uint32_t i = 0; i < steps; ++i) {
            if (channels != 1)
                y.push_back(static_cast<int32_t>(a));
            y.push_back(static_cast<int32_t>(b));
            const int64_t a2 = sat(product(a, c) - product(b, s));
            b = sat(product(a, s) + product(b, c));
            a = a2;
        }
        const auto m = static_cast<Fract32>(sat(product(a, a) + product(b, b)));
        Fract32 r = 0, g = 0;
        kve_vecSqrtFract32(&m, 1, &r, 1, 1);
        kve_vecRecipFract32(r, &g);
        a = sat(2 * ((g * a) >> 31));
        b = sat(2 * ((g * b) >> 31));
        return y;
    }
};

TEST_F(Sines, SineGenFract32MatchesTheIntegerPhasorModelWordForWord)
{
    struct Case {
        const char *what;
        uint32_t channels, block;
        float freq;
        int32_t a, b;
        // The phasor's length in the first blocks; renormalised, it runs at unit length after them. One shorter
        // than a half (whose reciprocal Q1.31 cannot hold) doubles each block until it gets there.
        std::vector<double> lengths;
    } cases[] = {
        {"mono 1 kHz", 1, 32, 1000.0f, 0x7FFFFFFF, 0, {}},
        {"stereo 3 kHz", 2, 16, 3000.0f, 0x7FFFFFFF, 0, {}},
        {"short phasor grows back", 1, 16, 500.0f, 0x60000000, 0, {0.75}},
        {"very short phasor grows back", 2, 16, 700.0f, 0, 0x26666666, {0.3, 0.6}},
        {"phasor at -1 turned by -1 (half the rate)", 2, 8, 24000.0f, INT32_MIN, 0, {}},
    };
    for (const Case &c : cases) {
        GenericWire *out = wire(c.channels, c.block);
        ClassModule *m = build(kSineGenFract32, 0x100, {out},
                               {bitsOf(c.freq), 0, static_cast<uint32_t>(c.a), static_cast<uint32_t>(c.b), 0, 0});
        ASSERT_NE(m, nullptr) << c.what;
        // Set gives the Q1.31 cosine and sine of the step angle (the float sine and cosine are good to 2^-23).
        const double w = kTwoPi * c.freq / kRate;
        const auto cosW = var<int32_t>(m, 4);
        const auto sinW = var<int32_t>(m, 5);
        EXPECT_NEAR(cosW, std::cos(w) * kQ31, 256.0) << c.what;
        EXPECT_NEAR(sinW, std::sin(w) * kQ31, 256.0) << c.what;

        // The phasor turns by the angle of the stored words.
        const double turn = std::atan2(static_cast<double>(sinW), static_cast<double>(cosW));
        EXPECT_NEAR(std::remainder(turn - w, kTwoPi), 0.0, 2e-7) << c.what;
        PhasorModel model{c.a, c.b};
        const double start = std::atan2(static_cast<double>(c.b), static_cast<double>(c.a));
        for (uint32_t blk = 0, n = 0; blk < 100; ++blk) {
            pump(m);
            const std::vector<int32_t> want = model.block(c.channels, c.block, cosW, sinW);
            const std::vector<int32_t> got = contents<int32_t>(out);
            for (size_t i = 0; i < want.size(); ++i)
                ASSERT_EQ(got[i], want[i]) << c.what << ", block " << blk << ", word " << i;
            EXPECT_EQ(var<int32_t>(m, 2), model.a) << c.what << ", block " << blk;
            EXPECT_EQ(var<int32_t>(m, 3), model.b) << c.what << ", block " << blk;
            // And the words are the sine (and cosine) of the running angle. The renormalisation cannot shorten a
            // phasor past unit length (its squared length saturates at full scale, whose root falls short of one by
            // about 4e-6), so the length creeps up by that much a block until saturation at the peaks pulls it
            // back: a few parts in 10^5 at most, never building up.
            const double amplitude = blk < c.lengths.size() ? c.lengths[blk] : 1.0;
            for (uint32_t i = 0; i < c.block; ++i, ++n) {
                const double angle = start + turn * n;
                const double sine = got[c.channels == 1 ? i : 2 * i + 1] / kQ31;
                ASSERT_NEAR(sine, amplitude * std::sin(angle), 5e-5) << c.what << ", sample " << n;
                if (c.channels != 1) {
                    ASSERT_NEAR(got[2 * i] / kQ31, amplitude * std::cos(angle), 5e-5) << c.what << ", sample " << n;
                }
            }
        }
    }
}

// Both smoothed sines start from rest (increment 0) and glide toward the increment of `freq`: 1 - 1/e of the way
// after `smoothingTime`, then settled, when a block is the sine of the stored phase advancing by the target step.
TEST_F(Sines, SmoothedSinesGlideToTheirTargetFrequency)
{
    constexpr float kFreq = 1000.0f;
    constexpr float kTimeMs = 10.0f;
    constexpr uint32_t kBlock = 48; // 10 blocks are the smoothing time
    const double target = kTwoPi * kFreq / kRate;
    for (const bool fixedPoint : {false, true}) {
        const char *what = fixedPoint ? "SineSmoothedGenFract32" : "SineSmoothedGen";
        // Increments and phase as radians, output samples as values.
        const double radian = fixedPoint ? 268435456.0 : 1.0;
        const double unit = fixedPoint ? kQ31 : 1.0;
        auto radians = [&](ClassModule *m, uint32_t k) {
            return fixedPoint ? var<int32_t>(m, k) / radian : static_cast<double>(var(m, k));
        };
        GenericWire *out = wire(1, kBlock);
        ClassModule *m = build(fixedPoint ? kSineSmoothedGenFract32 : kSineSmoothedGen, 0x100, {out},
                               {bitsOf(kFreq), bitsOf(kTimeMs), 0, 0, 0, 0, 0});
        ASSERT_NE(m, nullptr) << what;
        EXPECT_NEAR(radians(m, 5), target, 1e-6) << what;
        for (int b = 0; b < 10; ++b)
            pump(m);
        EXPECT_NEAR(radians(m, 6) / target, 1.0 - std::exp(-1.0), 0.01) << what;
        for (int b = 0; b < 400; ++b)
            pump(m);
        // Settled to what the glide's rounding lets it reach (the float glide stops a few parts in 10^5 short).
        EXPECT_NEAR(radians(m, 6) / target, 1.0, 1e-4) << what;
        const double phase = radians(m, 4);
        const double settled = radians(m, 6);
        pump(m);
        EXPECT_EQ(radians(m, 6), settled) << what;
        for (uint32_t i = 0; i < kBlock; ++i) {
            const double y = (fixedPoint ? data<int32_t>(out)[i] : data(out)[i]) / unit;
            ASSERT_NEAR(y, std::sin(phase + settled * i), 2e-5) << what << ", sample " << i;
        }
    }
}

TEST_F(Sines, SineGenControlFract32FollowsItsControlWire)
{
    constexpr uint32_t kBlock = 32;
    GenericWire *control = wire(1, kBlock);
    GenericWire *out = wire(1, kBlock);
    // No smoothing time: the frequency takes the control value in one block.
    ClassModule *m = build(kSineGenControlFract32, 0x101, {control, out}, {0, 0, 0, 0x7FFFFFFFu, 0, 0});
    ASSERT_NE(m, nullptr);
    EXPECT_EQ(var(m, 5), 1.0f);
    double angle = 0.0;
    for (uint32_t b = 0; b < 6; ++b) {
        const float hz = b < 3 ? 1000.0f : 3000.0f;
        std::fill(data(control), data(control) + kBlock, hz);
        pump(m);
        EXPECT_EQ(var(m, 2), hz);
        for (uint32_t i = 0; i < kBlock; ++i) {
            ASSERT_NEAR(data<int32_t>(out)[i] / kQ31, std::sin(angle), 5e-5) << "block " << b << ", sample " << i;
            angle += kTwoPi * hz / kRate;
        }
    }

    // With a smoothing time the frequency covers 1 - 1/e of the way to the control value in that time.
    GenericWire *control2 = wire(1, kBlock);
    GenericWire *out2 = wire(1, kBlock);
    ClassModule *glide =
        build(kSineGenControlFract32, 0x101, {control2, out2}, {bitsOf(100.0f), 0, 0, 0x7FFFFFFFu, 0, 0});
    ASSERT_NE(glide, nullptr);
    std::fill(data(control2), data(control2) + kBlock, 2000.0f);
    for (int b = 0; b < 150; ++b) // 100 ms
        pump(glide);
    EXPECT_NEAR(var(glide, 2) / 2000.0, 1.0 - std::exp(-1.0), 0.01);

    // Bypassed, it keeps generating.
    ASSERT_EQ(kve_fwSetModuleState(m, KVE_STATE_BYPASSED), KVE_OK);
    std::fill(data<int32_t>(out), data<int32_t>(out) + kBlock, 0);
    pump(m);
    EXPECT_NEAR(data<int32_t>(out)[1] / kQ31, std::sin(angle + kTwoPi * 3000.0 / kRate), 5e-5);
}

TEST_F(Sines, GeneratorsRefuseWiringWithoutTheWiresTheyRead)
{
    struct Case {
        uint32_t cls, wireWord;
    } cases[] = {{kSineGen, 0x000}, {kSineGenFract32, 0x001}, {kSineSmoothedGen, 0x000},
                 {kSineSmoothedGenFract32, 0x000}, {kSineGenControlFract32, 0x100}, {kRand, 0x000}};
    for (const Case &c : cases) {
        GenericWire *w = wire(1, 8);
        int32_t status = KVE_OK;
        const uint32_t argc = kve_ClassPublicCount(LookupModuleClass(engine_.get(), c.cls));
        const std::vector<uint32_t> args(argc, 0);
        GenericWire *wires[] = {w, w};
        EXPECT_EQ(ClassModule_Constructor3(engine_.get(), c.cls, &status, c.wireWord, wires, argc, args.data()),
                  nullptr);
        EXPECT_EQ(status, KVE_E_ARG_COUNT) << std::hex << c.cls;
    }
}

} // namespace
} // namespace osctest
