// The gain-computing dynamics modules: static gains of the expanders and compressors against closed forms, their
// fixed-point forms bit-exact against an integer model, the ducker's hold and release counted in blocks, slew limits
// per unit, envelope stages and the mask handling of the envelope's Set, and the guards on what a layout writes.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <string>
#include <vector>

#include "Modules/Advanced/DynamicsCores.h"
#include "support/ModuleFixture.h"
#include "support/ModuleVariables.h"
#include "support/PythonOracle.h"
#include "support/TestEngine.h"

namespace {

using kvetest::bitsOf;
using kvetest::privateArray;
using kvetest::variable;

constexpr uint32_t kAttackRelease = 0xBEEF0CB1u;
constexpr uint32_t kAttackReleaseFract32 = 0xBEEF0CB0u;
constexpr uint32_t kCompressor = 0xBEEF0CB3u;
constexpr uint32_t kCompressorFract32 = 0xBEEF0CB2u;
constexpr uint32_t kAgcFract32 = 0xBEEF0CB4u;
constexpr uint32_t kVariableAttackRelease = 0xBEEF0CB5u;
constexpr uint32_t kEnvelope = 0xBEEF0CBCu;
constexpr uint32_t kExpander = 0xBEEF0CEFu;
constexpr uint32_t kExpanderFract32 = 0xBEEF0CEEu;
constexpr uint32_t kDucker = 0xBEEF0CF1u;
constexpr uint32_t kDuckerFract32 = 0xBEEF0CF0u;
constexpr uint32_t kSlew = 0xBEEF0D37u;

const ModClassDescriptor *const kTable[] = {
    &kve_modAGCAttackReleaseClass.record,         &kve_modAGCAttackReleaseFract32Class.record,
    &kve_modAGCCompressorCoreClass.record,        &kve_modAGCCompressorCoreFract32Class.record,
    &kve_modAGCCoreFract32Class.record,           &kve_modAGCVariableAttackReleaseClass.record,
    &kve_modAttackDecaySustainReleaseClass.record, &kve_modDownwardExpanderCoreClass.record,
    &kve_modDownwardExpanderCoreFract32Class.record, &kve_modDuckerClass.record,
    &kve_modDuckerFract32Class.record,            &kve_modSlewRateLimiterClass.record,
};

uint32_t f(float v) { return bitsOf(v); }
double db(double linear) { return 20.0 * std::log10(linear); }
Fract32 q31(double v) { return static_cast<Fract32>(std::lround(v * 2147483648.0)); }

class DynamicsCores : public kvetest::ModuleFixture {
protected:
    void SetUp() override { useTable(kTable); }

    // A module built with arguments assembled at run time.
    ClassModule *buildWith(uint32_t cls, uint32_t wireWord, std::vector<GenericWire *> wires,
                           std::vector<uint32_t> args)
    {
        int32_t status = KVE_OK;
        ClassModule *m = ClassModule_Constructor3(engine_.get(), cls, &status, wireWord, wires.data(),
                                                  static_cast<uint32_t>(args.size()), args.data());
        EXPECT_NE(m, nullptr) << "status " << status;
        return m;
    }

    // Runs a mono gain computer on a constant level for `blocks` blocks and returns the last gain, linear.
    template <class T> double steadyGain(ClassModule *m, GenericWire *in, GenericWire *out, T level, int blocks)
    {
        std::fill_n(data<T>(in), kve::kit::wireWords(in), level);
        for (int b = 0; b < blocks; ++b)
            pump(m);
        const T g = data<T>(out)[kve::kit::wireWords(out) - 1];
        if constexpr (std::is_same_v<T, float>)
            return g;
        else
            return g * 0x1p-31;
    }
};

std::vector<int64_t> oracle(const std::string &mode, const std::vector<int64_t> &words)
{
    std::vector<std::string> args;
    for (int64_t w : words)
        args.push_back(std::to_string(w));
    args.insert(args.begin(), mode);
    const std::vector<double> r = kvetest::runOracle("dynamics_fixed_point.py", args);
    return std::vector<int64_t>(r.begin(), r.end());
}

// ---- Downward expanders ----

// The expander's gain in dB at a detected level L: unity from threshold + knee up, (ratio - 1) dB per dB below
// threshold - knee, and the quadratic that meets both in between.
double expanderDb(double level, double threshold, double ratio, double knee)
{
    if (level >= threshold + knee)
        return 0.0;
    if (level < threshold - knee)
        return -(ratio - 1.0) * (threshold - level);
    const double over = level - threshold - knee;
    return (1.0 - ratio) * over * over / (4.0 * knee);
}

TEST_F(DynamicsCores, ExpanderStaticGainsMatchTheClosedFormOnBothSidesOfTheKnee)
{
    const float threshold = -40.0f;
    const float ratio = 3.0f;
    const double levels[] = {-10.0, -20.0, -34.0, -35.0, -37.0, -40.0, -43.0, -45.99, -46.01, -60.0, -90.0};
    for (float knee : {0.0f, 6.0f}) {
        for (uint32_t cls : {kExpander, kExpanderFract32}) {
            for (double level : levels) {
                GenericWire *in = engine_.wire(1, 32);
                GenericWire *out = engine_.wire(1, 32);
                const double amplitude = std::pow(10.0, level / 20.0);
                // Times of 0 make the detector follow the level at once.
                double gain = 0.0;
                if (cls == kExpander) {
                    ClassModule *m = build(cls, 0x101, {in, out}, {f(threshold), f(ratio), f(knee), 0, 0, 0, 0, 0, 0});
                    gain = steadyGain(m, in, out, static_cast<float>(amplitude), 2);
                } else {
                    ClassModule *m = build(cls, 0x101, {in, out},
                                           {f(threshold), f(ratio), f(knee), 0, 0, 0, 0, 0, 0, 0, 0, 0, 0});
                    gain = steadyGain(m, in, out, q31(amplitude), 2);
                }
                const std::string what = "class " + std::to_string(cls) + " knee " + std::to_string(knee) +
                                         " level " + std::to_string(level);
                EXPECT_NEAR(db(gain), expanderDb(level, threshold, ratio, knee), 0.05) << what;
                if (level >= threshold + knee + 1.0)
                    EXPECT_EQ(gain, cls == kExpander ? 1.0 : INT32_MAX * 0x1p-31) << what;
            }
        }
    }
}

TEST_F(DynamicsCores, ExpanderFract32MatchesTheIntegerModelSampleBySample)
{
    struct Case {
        float ratio, knee, attackMs, releaseMs;
    };
    const Case cases[] = {{2.0f, 0.0f, 1.0f, 20.0f}, {4.0f, 10.0f, 0.5f, 5.0f}, {1.5f, 30.0f, 0.0f, 0.0f}};
    for (const Case &c : cases) {
        GenericWire *in = engine_.wire(1, 64);
        GenericWire *out = engine_.wire(1, 64);
        ClassModule *m = build(kExpanderFract32, 0x101, {in, out},
                               {f(-30.0f), f(c.ratio), f(c.knee), f(c.attackMs), f(c.releaseMs), 0, 0, 0, 0, 0, 0,
                                0, 0});
        // Levels from silence to full scale, and a few negative ones, which the detector takes as they come.
        std::vector<Fract32> x = kvetest::noiseFract32(64, 7);
        for (size_t i = 0; i < x.size(); ++i)
            x[i] = static_cast<Fract32>(x[i] >> (i % 12));
        std::vector<int64_t> words = {variable<Fract32>(m, 9), variable<Fract32>(m, 6), variable<Fract32>(m, 7),
                                      variable<Fract32>(m, 8)};
        const Fract32 *knee = privateArray<Fract32>(m, 13);
        words.insert(words.end(), {knee[0], knee[1], knee[2], variable<Fract32>(m, 10), variable<Fract32>(m, 11)});
        words.insert(words.end(), x.begin(), x.end());
        const std::vector<int64_t> expected = oracle("expander", words);
        ASSERT_EQ(expected.size(), x.size() + 1);
        fill(in, x);
        pump(m);
        for (size_t i = 0; i < x.size(); ++i)
            ASSERT_EQ(data<Fract32>(out)[i], expected[i]) << "ratio " << c.ratio << " knee " << c.knee << " at " << i;
        EXPECT_EQ(variable<Fract32>(m, 9), expected.back());
        EXPECT_EQ(variable<Fract32>(m, 5), expected[x.size() - 1]);
    }
}

// ---- Compressor gain computers ----

TEST_F(DynamicsCores, CompressorsSettleOnTheSlopeAboveThreshold)
{
    const float threshold = -20.0f;
    const float offset = -1.0f;
    for (float ratio : {2.0f, 4.0f}) {
        for (double level : {-40.0, -20.0, -10.0, -3.0}) {
            const double expected = offset - (1.0 - 1.0 / ratio) * std::max(level - threshold, 0.0);
            const double amplitude = std::pow(10.0, level / 20.0);
            for (uint32_t cls : {kCompressor, kCompressorFract32}) {
                GenericWire *in = engine_.wire(1, 32);
                GenericWire *out = engine_.wire(1, 32);
                std::vector<uint32_t> args = {f(threshold), f(offset), f(ratio), f(2.0f), f(0.5f), f(4.0f), f(1.0f)};
                args.resize(cls == kCompressor ? 15 : 17, 0);
                ClassModule *built = buildWith(cls, 0x101, {in, out}, args);
                ASSERT_NE(built, nullptr);
                const double gain = cls == kCompressor
                                        ? steadyGain(built, in, out, static_cast<float>(amplitude), 400)
                                        : steadyGain(built, in, out, q31(amplitude), 400);
                EXPECT_NEAR(db(gain), expected, 0.05) << "class " << cls << " ratio " << ratio << " level " << level;
            }
        }
    }
}

// The compressor's words the model needs, read from the module after its Set: level state, gain, threshold, offset,
// slope and the four coefficients.
std::vector<int64_t> compressorWords(ClassModule *m)
{
    return {variable<Fract32>(m, 16), variable<Fract32>(m, 7),  variable<Fract32>(m, 8),
            variable<Fract32>(m, 9),  variable<Fract32>(m, 10), variable<Fract32>(m, 12),
            variable<Fract32>(m, 13), variable<Fract32>(m, 14), variable<Fract32>(m, 15)};
}

TEST_F(DynamicsCores, CompressorFract32MatchesTheIntegerModelBlockByBlock)
{
    struct Case {
        float threshold, offset, ratio;
        int shift; // the level's size: full-scale noise shifted right
    };
    const Case cases[] = {{-20.0f, 0.0f, 4.0f, 0}, {-6.0f, -3.0f, 2.0f, 1}, {-40.0f, 6.0f, 10.0f, 4},
                          {-60.0f, 0.0f, 1.5f, 12}, {0.0f, 12.0f, 100.0f, 0},
                          // Silence: a level state of 0, whose normalisation stops at the lowest octave.
                          {-20.0f, -6.0f, 4.0f, 31}};
    constexpr uint32_t kBlock = 16;
    constexpr int kBlocks = 6;
    for (const Case &c : cases) {
        GenericWire *in = engine_.wire(1, kBlock);
        GenericWire *out = engine_.wire(1, kBlock);
        ClassModule *m = buildWith(kCompressorFract32, 0x101, {in, out},
                                   {f(c.threshold), f(c.offset), f(c.ratio), f(3.0f), f(0.5f), f(30.0f), f(2.0f), 0, 0,
                                    0, 0, 0, 0, 0, 0, 0, 0});
        ASSERT_NE(m, nullptr);
        EXPECT_EQ(variable<Fract32>(m, 8), q31(c.threshold / 128.0));
        EXPECT_EQ(variable<Fract32>(m, 10), q31((1.0 - 1.0 / c.ratio) / 128.0));
        std::vector<Fract32> x = kvetest::noiseFract32(kBlock * kBlocks, 11);
        for (size_t i = 0; i < x.size(); ++i)
            x[i] = x[i] >> std::min(i < x.size() / 2 ? c.shift : c.shift + 6, 31); // loud, then quiet: both pairs
        std::vector<int64_t> words = compressorWords(m);
        words.push_back(kBlock);
        words.insert(words.end(), x.begin(), x.end());
        const std::vector<int64_t> expected = oracle("compressor", words);
        ASSERT_EQ(expected.size(), x.size() + 2);
        for (int b = 0; b < kBlocks; ++b) {
            fill(in, x, b * kBlock);
            pump(m);
            for (uint32_t i = 0; i < kBlock; ++i)
                ASSERT_EQ(data<Fract32>(out)[i], expected[b * kBlock + i])
                    << "threshold " << c.threshold << " block " << b << " sample " << i;
        }
        EXPECT_EQ(variable<Fract32>(m, 16), expected[x.size()]);
        EXPECT_EQ(variable<Fract32>(m, 7), expected[x.size() + 1]);
    }
}

TEST_F(DynamicsCores, CompressorFract32OnAnEmptyBlockReleasesItsLevelState)
{
    GenericWire *in = engine_.wire(1, 0);
    GenericWire *out = engine_.wire(1, 0);
    ASSERT_NE(in, nullptr);
    ClassModule *m = buildWith(kCompressorFract32, 0x101, {in, out},
                               {f(-20.0f), 0, f(4.0f), f(3.0f), f(0.5f), f(30.0f), f(2.0f), 0, 0, 0, 0, 0, 0, 0, 0, 0,
                                0x40000000});
    ASSERT_NE(m, nullptr);
    std::vector<int64_t> words = compressorWords(m);
    words.push_back(0);
    const std::vector<int64_t> expected = oracle("compressor", words);
    ASSERT_EQ(expected.size(), 2u);
    pump(m);
    EXPECT_EQ(variable<Fract32>(m, 16), expected[0]);
    EXPECT_LT(variable<Fract32>(m, 16), 0x40000000);
    EXPECT_GT(variable<Fract32>(m, 16), 0x40000000 - kve_mulFract32(0x40000000, variable<Fract32>(m, 14)) - 2);
}

// ---- AGC core ----

// The AGC core's arguments: target -20 dB, ratio 2 (half the distance), at most +6 dB of gain and 10 dB of
// attenuation, both smoothing times 1 ms, and the activation level given.
std::vector<uint32_t> agcArgs(float activationDb)
{
    std::vector<uint32_t> args(30, 0);
    args[0] = f(-20.0f);
    args[1] = f(2.0f);
    args[2] = f(6.0f);
    args[3] = f(10.0f);
    args[4] = f(activationDb);
    args[5] = f(1.0f);
    args[7] = f(1.0f);
    return args;
}

TEST_F(DynamicsCores, AgcCoreFract32SettlesOnTheTargetWithinItsLimits)
{
    struct Case {
        double levelDb; // of the mean square
        double gainDb;  // expected
    };
    const Case cases[] = {{-30.0, 5.0}, {-20.0, 0.0}, {-14.0, -3.0}, {-40.0, 6.0}, {-1.0, -9.5}, {0.0, -10.0}};
    for (const Case &c : cases) {
        GenericWire *in = engine_.wire(2, 32);
        GenericWire *out = engine_.wire(1, 32);
        std::vector<uint32_t> args = agcArgs(-60.0f);
        ClassModule *m = buildWith(kAgcFract32, 0x101, {in, out}, args);
        ASSERT_NE(m, nullptr);
        // A square wave of amplitude a has mean square a^2.
        const double a = std::pow(10.0, c.levelDb / 20.0);
        for (uint32_t i = 0; i < 64; ++i)
            data<Fract32>(in)[i] =
                static_cast<Fract32>(std::min(a * 2147483648.0, 2147483647.0)) * (i % 4 < 2 ? 1 : -1);
        for (int b = 0; b < 300; ++b)
            pump(m);
        const double gain = data<Fract32>(out)[31] * 0x1p-28;
        EXPECT_NEAR(db(gain), c.gainDb, 0.05) << "level " << c.levelDb;
        ASSERT_EQ(m->classRecord->get(m, 1u << 16), 0);
        EXPECT_EQ(variable<float>(m, 8), static_cast<float>(variable<Fract32>(m, 29)) * 0x1p-28f);
    }
}

TEST_F(DynamicsCores, AgcCoreFract32BelowActivationHoldsItsHoldGain)
{
    // The hold gain is 4 x hold level x scale in the Q8.24 of the gain kernel (512 x their product as fractions),
    // with the high scale above a hold level of 2^-7 and the low one at or below it.
    struct Case {
        float holdLevel, high, low;
        double gain;
    };
    const Case cases[] = {
        {0.0625f, 0.015625f, 0.5f, 0.5}, {0.0078125f, 0.5f, 0.125f, 0.5}, {0.25f, 0.0078125f, 0.0f, 1.0}};
    for (const Case &c : cases) {
        GenericWire *in = engine_.wire(1, 32);
        GenericWire *out = engine_.wire(1, 32);
        std::vector<uint32_t> args = agcArgs(-50.0f);
        args[15] = f(c.holdLevel);
        args[16] = f(c.high);
        args[17] = f(c.low);
        ClassModule *m = buildWith(kAgcFract32, 0x101, {in, out}, args);
        ASSERT_NE(m, nullptr);
        std::fill_n(data<Fract32>(in), 32, 1 << 12); // about -114 dB
        for (int b = 0; b < 300; ++b)
            pump(m);
        EXPECT_NEAR(data<Fract32>(out)[31] * 0x1p-28, c.gain, 1e-6) << "hold level " << c.holdLevel;
    }
}

// ---- Ducker ----

TEST_F(DynamicsCores, DuckerHoldsForItsCountOfBlocksThenReleases)
{
    struct Case {
        float attackMs, holdMs;
        int32_t holdBlocks; // 48 samples per ms, 32 per block: trunc(48 (3 attack + hold) / 32)
    };
    const Case cases[] = {{0.0f, 0.0f, 0}, {0.0f, 0.5f, 0}, {0.0f, 2.0f, 3}, {1.0f, 1.0f, 6}};
    for (uint32_t cls : {kDucker, kDuckerFract32}) {
        for (const Case &c : cases) {
            GenericWire *trigger = engine_.wire(1, 1);
            GenericWire *audio = engine_.wire(2, 32);
            GenericWire *out = engine_.wire(2, 32);
            ClassModule *m = build(cls, 0x102, {trigger, audio, out},
                                   {f(-20.0f), f(c.attackMs), f(c.holdMs), f(5.0f), 0, 0, 0, 0, 0, 0,
                                    cls == kDucker ? f(1.0f) : 0x7FFFFFFFu, 0, 0});
            ASSERT_EQ(variable<int32_t>(m, 8), c.holdBlocks);
            const uint32_t unity = cls == kDucker ? f(1.0f) : 0x7FFFFFFFu;
            data<uint32_t>(trigger)[0] = 1;
            pump(m);
            EXPECT_NE(variable<uint32_t>(m, 11), unity);
            data<uint32_t>(trigger)[0] = 0;
            // Ducked through the hold; released on the first block whose countdown stands at 0.
            int released = -1;
            for (int b = 1; b <= 20 && released < 0; ++b) {
                pump(m);
                if (variable<uint32_t>(m, 11) == unity)
                    released = b;
            }
            EXPECT_EQ(released, std::max(c.holdBlocks, 1)) << "class " << cls << " hold " << c.holdMs;
            for (int b = 0; b < 5; ++b)
                pump(m);
            EXPECT_EQ(variable<int32_t>(m, 9), 0) << "the countdown rests at 0";
            EXPECT_EQ(variable<uint32_t>(m, 12), variable<uint32_t>(m, 7)) << "released with the release coefficient";
        }
    }
}

TEST_F(DynamicsCores, DuckerScalesEveryChannelToTheDuckedGainAndForceDucksOnce)
{
    GenericWire *trigger = engine_.wire(1, 1);
    GenericWire *audio = engine_.wire(3, 8);
    GenericWire *out = engine_.wire(3, 8);
    ClassModule *m = build(kDucker, 0x102, {trigger, audio, out},
                           {f(-20.0f), 0, f(0.0f), f(0.0f), 1, 0, 0, 0, 0, 0, f(1.0f), f(1.0f), 0});
    const std::vector<float> x = kvetest::noise(24, 3);
    fill(audio, x);
    pump(m);
    EXPECT_EQ(variable<int32_t>(m, 4), 0) << "force is taken once";
    for (size_t i = 0; i < x.size(); ++i)
        EXPECT_NEAR(data<float>(out)[i], x[i] * 0.1f, 1e-6f) << i;
    pump(m);
    for (size_t i = 0; i < x.size(); ++i)
        EXPECT_NEAR(data<float>(out)[i], x[i], 1e-6f) << i;
}

// ---- Slew-rate limiter ----

TEST_F(DynamicsCores, SlewLimiterStepsAtMostItsRiseAndFallPerSampleInEachUnit)
{
    struct Case {
        int32_t unit;
        float fall, rise;
        float fallPerSample, risePerSample;
    };
    const Case cases[] = {{0, -0.25f, 0.125f, -0.25f, 0.125f},
                          {1, -2.0f, 1.0f, -2.0f / 48.0f, 1.0f / 48.0f},
                          {2, -9600.0f, 4800.0f, -0.2f, 0.1f}};
    for (const Case &c : cases) {
        GenericWire *in = engine_.wire(2, 32);
        GenericWire *out = engine_.wire(2, 32);
        ClassModule *m = build(kSlew, 0x101, {in, out}, {static_cast<uint32_t>(c.unit), f(c.fall), f(c.rise), 0, 0, 0});
        // Channel 0 jumps up to 1, channel 1 down to -1, from a start of 0.
        std::vector<float> x(64);
        for (size_t t = 0; t < 32; ++t) {
            x[2 * t] = 1.0f;
            x[2 * t + 1] = -1.0f;
        }
        fill(in, x);
        pump(m);
        for (size_t t = 0; t < 32; ++t) {
            EXPECT_NEAR(data<float>(out)[2 * t], std::min(1.0f, (t + 1) * c.risePerSample), 1e-5f)
                << "unit " << c.unit << " at " << t;
            EXPECT_NEAR(data<float>(out)[2 * t + 1], std::max(-1.0f, (t + 1) * c.fallPerSample), 1e-5f)
                << "unit " << c.unit << " at " << t;
        }
    }
}

TEST_F(DynamicsCores, SlewLimiterResetRestartsFromTheInputOnce)
{
    GenericWire *in = engine_.wire(1, 4);
    GenericWire *out = engine_.wire(1, 4);
    ClassModule *m = build(kSlew, 0x101, {in, out}, {0, f(-0.1f), f(0.1f), 1, 0, 0});
    fill(in, std::vector<float>{5.0f, 5.0f, 6.0f, 6.0f});
    pump(m);
    EXPECT_EQ(words<float>(out), (std::vector<float>{5.0f, 5.0f, 5.1f, 5.2f}));
    EXPECT_EQ(variable<int32_t>(m, 3), 0);
    fill(in, std::vector<float>{0.0f, 0.0f, 0.0f, 0.0f});
    pump(m);
    EXPECT_NEAR(data<float>(out)[0], 5.1f, 1e-6f);
}

// ---- Envelopes ----

TEST_F(DynamicsCores, EnvelopeSetRecomputesOnlyTheCoefficientsItsMaskNames)
{
    GenericWire *in = engine_.wire(1, 32);
    GenericWire *out = engine_.wire(1, 32);
    ClassModule *m =
        build(kEnvelope, 0x101, {in, out}, {f(1.0f), f(2.0f), f(0.5f), f(4.0f), f(1.0f), 0, 0, 0, 0, 0, 0});
    const float attack = design_smoother(1, 1.0f, 48000.0f);
    const float decay = design_smoother(1, 2.0f, 48000.0f);
    const float release = design_smoother(1, 4.0f, 48000.0f);
    EXPECT_EQ(variable<float>(m, 7), attack);
    EXPECT_EQ(variable<float>(m, 8), decay);
    EXPECT_EQ(variable<float>(m, 9), release);
    variable<float>(m, 0) = 8.0f;
    variable<float>(m, 1) = 8.0f;
    variable<float>(m, 3) = 8.0f;
    ASSERT_EQ(m->classRecord->set(m, 1u << 10), 0); // the sustain level only
    EXPECT_EQ(variable<float>(m, 7), attack);
    EXPECT_EQ(variable<float>(m, 8), decay);
    EXPECT_EQ(variable<float>(m, 9), release);
    ASSERT_EQ(m->classRecord->set(m, 1u << 9), 0);
    EXPECT_EQ(variable<float>(m, 7), attack);
    EXPECT_EQ(variable<float>(m, 8), design_smoother(1, 8.0f, 48000.0f));
    set(m);
    EXPECT_EQ(variable<float>(m, 7), design_smoother(1, 8.0f, 48000.0f));
    EXPECT_EQ(variable<float>(m, 9), design_smoother(1, 8.0f, 48000.0f));
}

TEST_F(DynamicsCores, EnvelopeRunsAttackDecaySustainAndReleaseOnEveryChannelAlike)
{
    GenericWire *in = engine_.wire(2, 32);
    GenericWire *out = engine_.wire(2, 32);
    ClassModule *m =
        build(kEnvelope, 0x101, {in, out}, {f(0.2f), f(0.5f), f(0.4f), f(0.5f), f(1.0f), 1, 0, 0, 0, 0, 0});
    std::vector<float> x(64);
    for (size_t t = 0; t < 32; ++t) {
        x[2 * t] = 1.0f;
        x[2 * t + 1] = -2.0f;
    }
    fill(in, x);
    float peak = 0.0f;
    for (int b = 0; b < 20; ++b) {
        pump(m);
        for (size_t t = 0; t < 32; ++t) {
            peak = std::max(peak, data<float>(out)[2 * t]);
            EXPECT_EQ(data<float>(out)[2 * t + 1], -2.0f * data<float>(out)[2 * t]);
        }
    }
    EXPECT_EQ(variable<int32_t>(m, 5), 0) << "the trigger is taken";
    EXPECT_GE(peak, 0.99f);
    EXPECT_EQ(variable<uint32_t>(m, 10), 2u) << "sustaining";
    EXPECT_EQ(data<float>(out)[62], 0.4f);
    variable<int32_t>(m, 6) = 1; // a release request
    pump(m);
    EXPECT_EQ(variable<uint32_t>(m, 10), 3u);
    EXPECT_LT(data<float>(out)[62], 0.4f);
    variable<int32_t>(m, 5) = 1; // a new trigger attacks from where the release stands
    pump(m);
    EXPECT_LE(variable<uint32_t>(m, 10), 1u);
    EXPECT_GT(data<float>(out)[62], data<float>(out)[0]);
}

TEST_F(DynamicsCores, AttackReleaseFollowsEachChannelsMagnitude)
{
    const float attackMs = 0.5f;
    const float releaseMs = 2.0f;
    const double a = design_smoother(1, attackMs, 48000.0f);
    const double r = design_smoother(1, releaseMs, 48000.0f);
    GenericWire *in = engine_.wire(2, 32);
    GenericWire *out = engine_.wire(2, 32);
    GenericWire *inQ = engine_.wire(2, 32);
    GenericWire *outQ = engine_.wire(2, 32);
    ClassModule *m = build(kAttackRelease, 0x101, {in, out}, {f(attackMs), f(releaseMs), 0, 0});
    ClassModule *mq = build(kAttackReleaseFract32, 0x101, {inQ, outQ}, {f(attackMs), f(releaseMs), 0, 0});
    // Channel 0 a step of -0.5 for a block, then silence; channel 1 silent throughout.
    for (int b = 0; b < 2; ++b) {
        for (size_t t = 0; t < 32; ++t) {
            data<float>(in)[2 * t] = b == 0 ? -0.5f : 0.0f;
            data<float>(in)[2 * t + 1] = 0.0f;
            data<Fract32>(inQ)[2 * t] = b == 0 ? -(1 << 30) : 0;
            data<Fract32>(inQ)[2 * t + 1] = 0;
        }
        pump(m);
        pump(mq);
        for (size_t t = 0; t < 32; ++t) {
            const double n = static_cast<double>(t + 1);
            const double expected = b == 0 ? 0.5 * (1.0 - std::pow(1.0 - a, n))
                                           : 0.5 * (1.0 - std::pow(1.0 - a, 32.0)) * std::pow(1.0 - r, n);
            EXPECT_NEAR(data<float>(out)[2 * t], expected, 1e-5) << "block " << b << " at " << t;
            EXPECT_NEAR(data<Fract32>(outQ)[2 * t] * 0x1p-31, expected, 1e-6) << "block " << b << " at " << t;
            EXPECT_EQ(data<float>(out)[2 * t + 1], 0.0f);
        }
    }
}

TEST_F(DynamicsCores, VariableAttackReleaseStaysFiniteWithATurnLevelOfZero)
{
    GenericWire *in = engine_.wire(1, 8);
    GenericWire *out = engine_.wire(1, 8);
    ClassModule *m = build(kVariableAttackRelease, 0x101, {in, out},
                           {f(0.1f), f(1.0f), f(0.5f), f(5.0f), 0, 0, 0, 0, 0, f(0.5f), f(0.0f)});
    // Falling from 0.5 with no turn seen: the turn level a layout wrote, 0, stands.
    fill(in, std::vector<float>(8, 0.1f));
    pump(m);
    const double fast = design_smoother(1, 0.5f, 48000.0f);
    double level = 0.5;
    for (int i = 0; i < 8; ++i) {
        level = fast * 0.1 + (1.0 - fast) * level; // the weight is held at 1: the fast release
        EXPECT_NEAR(data<float>(out)[i], level, 1e-6) << i;
    }
}

TEST_F(DynamicsCores, VariableAttackReleaseBlendsByDistanceAndHoldsOnItsSecondInput)
{
    GenericWire *in = engine_.wire(1, 4);
    GenericWire *hold = engine_.wire(1, 1);
    GenericWire *out = engine_.wire(1, 4);
    ClassModule *m = build(kVariableAttackRelease, 0x102, {in, hold, out},
                           {f(0.1f), f(1.0f), f(0.5f), f(5.0f), 0, 0, 0, 0, 0, f(0.2f), f(0.0f)});
    const double fa = design_smoother(1, 0.1f, 48000.0f), sa = design_smoother(1, 1.0f, 48000.0f);
    const double fr = design_smoother(1, 0.5f, 48000.0f), sr = design_smoother(1, 5.0f, 48000.0f);
    fill(in, std::vector<float>{-0.8f, -0.8f, 0.1f, 0.1f});
    pump(m);
    double level = 0.2, turn = 0.0;
    bool rising = false;
    for (int i = 0; i < 4; ++i) {
        const double x = i < 2 ? 0.8 : 0.1;
        double k;
        if (x >= level) {
            rising = true;
            const double w = (x - level) / x;
            k = w * fa + (1 - w) * sa;
        } else {
            if (rising)
                turn = level;
            rising = false;
            const double w = (level - x) / turn;
            k = w * fr + (1 - w) * sr;
        }
        level = k * x + (1 - k) * level;
        EXPECT_NEAR(data<float>(out)[i], level, 1e-6) << i;
    }
    EXPECT_NEAR(variable<float>(m, 10), data<float>(out)[1], 1e-7) << "the level at the turn";
    data<uint32_t>(hold)[0] = 1;
    fill(in, std::vector<float>{1.0f, 1.0f, 1.0f, 1.0f});
    pump(m);
    EXPECT_EQ(words<float>(out), std::vector<float>(4, data<float>(out)[3]));
    EXPECT_NEAR(data<float>(out)[0], level, 1e-6);
}

} // namespace
