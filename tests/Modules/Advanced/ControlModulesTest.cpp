// The control modules through the engine: small fixtures whose outputs are worked out by hand or by an independent
// double-precision model, the rules at the edges (reset, counts, wrapping, non-finite values, channels without a
// gain or a trigger) and the bypass forms that differ from a plain copy.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <limits>
#include <random>
#include <vector>

#include "Modules/Advanced/ControlModules.h"
#include "support/ModuleVariables.h"
#include "support/TestEngine.h"

namespace {

using kvetest::bitsOf;
using kvetest::floatOf;
using kvetest::privateArray;
using kvetest::variable;

constexpr uint32_t kSampleAndHold = 0xBEEF0D24u;
constexpr uint32_t kSampleAndHoldInt32 = 0xBEEF0D23u;
constexpr uint32_t kDeadBand = 0xBEEF0CE0u;
constexpr uint32_t kHysteresis = 0xBEEF0D07u;
constexpr uint32_t kConsecutiveCount = 0xBEEF0CDAu;
constexpr uint32_t kDerivative = 0xBEEF0CEBu;
constexpr uint32_t kDerivativeFract32 = 0xBEEF0CEAu;
constexpr uint32_t kIntegral = 0xBEEF0D0Au;
constexpr uint32_t kInvertN = 0xBEEF0D0Bu;
constexpr uint32_t kOscillator = 0xBEEF0D14u;
constexpr uint32_t kRandi = 0xBEEF0D1Au;
constexpr uint32_t kRandiFract32 = 0xBEEF0D19u;
constexpr uint32_t kMathException = 0xBEEF0D0Fu;

const ModClassDescriptor *const kTable[] = {
    &kve_modConsecutiveCountIntClass.record, &kve_modDeadBandClass.record,      &kve_modDerivativeFract32Class.record,
    &kve_modDerivativeClass.record,          &kve_modHysteresisClass.record,    &kve_modIntegralClass.record,
    &kve_modInvertNClass.record,             &kve_modMathExceptionClass.record, &kve_modOscillatorClass.record,
    &kve_modRandiFract32Class.record,        &kve_modRandiClass.record,         &kve_modSampleAndHoldInt32Class.record,
    &kve_modSampleAndHoldClass.record,
};

class ControlModules : public ::testing::Test {
protected:
    void SetUp() override
    {
        engine_->classTable = kTable;
        engine_->classCount = static_cast<uint32_t>(std::size(kTable));
    }

    ClassModule *make(uint32_t classId, uint32_t wireWord, std::initializer_list<GenericWire *> wires,
                      std::initializer_list<uint32_t> args)
    {
        int32_t status = KVE_OK;
        ClassModule *m = engine_.module(classId, wireWord, wires, args, &status);
        EXPECT_EQ(status, KVE_OK);
        EXPECT_NE(m, nullptr);
        return m;
    }
    void pump(ClassModule *m) { ASSERT_EQ(kve_fwPumpModule(engine_.get(), m), KVE_OK); }
    template <class T> static T *data(GenericWire *w) { return static_cast<T *>(w->buffer); }
    template <class T> static void fill(GenericWire *w, const std::vector<T> &v)
    {
        std::copy(v.begin(), v.end(), data<T>(w));
    }
    template <class T> static std::vector<T> read(GenericWire *w, size_t n) { return {data<T>(w), data<T>(w) + n}; }

    kvetest::TestEngine engine_;
};

constexpr float kInf = std::numeric_limits<float>::infinity();

// ---- Sample-and-hold ----

TEST_F(ControlModules, SampleAndHoldFollowsItsTriggerChannels)
{
    struct Case {
        const char *name;
        uint32_t triggerChannels;
        std::vector<float> trigger;  // frames x triggerChannels
        std::vector<float> expected; // 4 frames x 3 data channels
    };
    // Data channel c at frame f is 10 c + f + 1; every channel starts holding 0.
    const Case cases[] = {
        {"one trigger channel serves every data channel", 1, {0, 1, 0, 1},
         {0, 0, 0, 2, 12, 22, 2, 12, 22, 4, 14, 24}},
        {"trigger channel c serves data channel c", 3, {1, 0, 0, 0, 1, 0, 0, 0, 1, 1, 1, 1},
         {1, 0, 0, 1, 12, 0, 1, 12, 23, 4, 14, 24}},
        {"a data channel without a trigger channel keeps its held value", 2, {1, 1, 0, 0, 1, 1, 0, 1},
         {1, 11, 0, 1, 11, 0, 3, 13, 0, 3, 14, 0}},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        GenericWire *trig = engine_.wire(c.triggerChannels, 4);
        GenericWire *in = engine_.wire(3, 4);
        GenericWire *out = engine_.wire(3, 4);
        ClassModule *m = make(kSampleAndHold, 0x102u, {trig, in, out}, {});
        ASSERT_NE(m, nullptr);
        fill(trig, c.trigger);
        for (uint32_t f = 0; f < 4; ++f)
            for (uint32_t ch = 0; ch < 3; ++ch)
                data<float>(in)[f * 3 + ch] = static_cast<float>(10 * ch + f + 1);
        pump(m);
        EXPECT_EQ(read<float>(out, 12), c.expected);
        // What is held carries into the next block.
        EXPECT_EQ(privateArray<float>(m, 0)[0], c.expected[9]);
    }
}

TEST_F(ControlModules, SampleAndHoldInt32HoldsWordsAndBypassCopiesTheData)
{
    GenericWire *trig = engine_.wire(1, 4);
    GenericWire *in = engine_.wire(1, 4);
    GenericWire *out = engine_.wire(1, 4);
    ClassModule *m = make(kSampleAndHoldInt32, 0x102u, {trig, in, out}, {});
    ASSERT_NE(m, nullptr);
    fill<int32_t>(trig, {0, 7, 0, 0});
    fill<int32_t>(in, {INT32_MIN, -5, 0x7FFFFFFF, 3});
    pump(m);
    EXPECT_EQ(read<int32_t>(out, 4), (std::vector<int32_t>{0, -5, -5, -5}));

    ASSERT_EQ(kve_fwSetModuleState(m, KVE_STATE_BYPASSED), KVE_OK);
    pump(m);
    EXPECT_EQ(read<int32_t>(out, 4), (std::vector<int32_t>{INT32_MIN, -5, 0x7FFFFFFF, 3}));
}

// ---- Dead band, hysteresis and run counting ----

TEST_F(ControlModules, DeadBandMovesOnlyOutsideItsLimitsAndRestartsOnReset)
{
    GenericWire *in = engine_.wire(1, 6);
    GenericWire *out = engine_.wire(1, 6);
    ClassModule *m = make(kDeadBand, 0x101u, {in, out}, {bitsOf(0.5f), bitsOf(-0.25f), 1});
    ASSERT_NE(m, nullptr);
    // The reset block starts from its first sample: 2.0.
    fill<float>(in, {2.0f, 2.4f, 2.6f, 2.4f, 2.3f, 2.0f});
    pump(m);
    EXPECT_EQ(read<float>(out, 6), (std::vector<float>{2.0f, 2.0f, 2.6f, 2.6f, 2.3f, 2.0f}));
    EXPECT_EQ(variable<int32_t>(m, 2), 0);
    // Without a reset the band stays around the last output of the block before.
    fill<float>(in, {2.4f, 1.7f, 1.6f, 1.6f, 2.3f, 2.1f});
    pump(m);
    EXPECT_EQ(read<float>(out, 6), (std::vector<float>{2.0f, 1.7f, 1.7f, 1.7f, 2.3f, 2.3f}));
    variable<int32_t>(m, 2) = 1;
    fill<float>(in, {-3.0f, -3.1f, -3.0f, 0.0f, 0.0f, 0.0f});
    pump(m);
    EXPECT_EQ(read<float>(out, 3), (std::vector<float>{-3.0f, -3.0f, -3.0f}));
}

TEST_F(ControlModules, HysteresisSwitchesPerChannelAndStillSwitchesWhenBypassed)
{
    GenericWire *in = engine_.wire(2, 5);
    GenericWire *out = engine_.wire(2, 5);
    ClassModule *m = make(kHysteresis, 0x101u, {in, out}, {bitsOf(0.5f), bitsOf(-0.5f)});
    ASSERT_NE(m, nullptr);
    // Channel 0 rises past 0.5 and falls past -0.5; channel 1 stays inside and at the thresholds themselves.
    fill<float>(in, {0.0f, 0.5f, 0.6f, 0.0f, 0.0f, -0.5f, -0.6f, 0.5f, 0.7f, 0.51f});
    pump(m);
    EXPECT_EQ(read<int32_t>(out, 10), (std::vector<int32_t>{0, 0, 1, 0, 1, 0, 0, 0, 1, 1}));
    ASSERT_EQ(kve_fwSetModuleState(m, KVE_STATE_BYPASSED), KVE_OK);
    fill<float>(in, {-0.6f, 0.0f, 0.0f, 0.0f, 0.0f, 0.0f, 0.0f, 0.0f, 0.0f, -0.9f});
    pump(m);
    EXPECT_EQ(read<int32_t>(out, 10), (std::vector<int32_t>{0, 1, 0, 1, 0, 1, 0, 1, 0, 0}));
}

TEST_F(ControlModules, ConsecutiveCountCarriesRunsAcrossBlocks)
{
    GenericWire *in = engine_.wire(1, 4);
    GenericWire *value = engine_.wire(1, 1);
    GenericWire *count = engine_.wire(1, 1);
    ClassModule *m = make(kConsecutiveCount, 0x201u, {in, value, count}, {0, 0});
    ASSERT_NE(m, nullptr);
    fill<int32_t>(in, {3, 3, 5, 5});
    pump(m);
    EXPECT_EQ(data<int32_t>(value)[0], 5);
    EXPECT_EQ(data<int32_t>(count)[0], 2);
    fill<int32_t>(in, {5, 5, 5, 5});
    pump(m);
    EXPECT_EQ(data<int32_t>(count)[0], 6);
    // A run as long as an int32 counts stays at the largest count, never a negative one.
    variable<int32_t>(m, 1) = INT32_MAX - 2;
    pump(m);
    EXPECT_EQ(data<int32_t>(count)[0], INT32_MAX);

    ASSERT_EQ(kve_fwSetModuleState(m, KVE_STATE_BYPASSED), KVE_OK);
    fill<int32_t>(in, {1, 2, 3, 9});
    pump(m);
    EXPECT_EQ(data<int32_t>(value)[0], 9);
    EXPECT_EQ(data<int32_t>(count)[0], 1);
}

// ---- Derivative and integral ----

TEST_F(ControlModules, DerivativeAndIntegralFollowTheSampleRate)
{
    constexpr uint32_t kFrames = 8;
    GenericWire *in = engine_.wire(2, kFrames);
    GenericWire *dOut = engine_.wire(2, kFrames);
    GenericWire *iOut = engine_.wire(2, kFrames);
    ClassModule *d = make(kDerivative, 0x101u, {in, dOut}, {bitsOf(0.001f)});
    ClassModule *integ = make(kIntegral, 0x101u, {in, iOut}, {bitsOf(0.01f)});
    ASSERT_NE(d, nullptr);
    ASSERT_NE(integ, nullptr);
    std::vector<double> prev(2, 0.0), acc(2, 0.0);
    for (int block = 0; block < 3; ++block) {
        for (uint32_t k = 0; k < 2 * kFrames; ++k)
            data<float>(in)[k] = std::sin(0.3f * static_cast<float>(block * 16 + k)) * (k % 2 == 0 ? 1.0f : -2.0f);
        pump(d);
        pump(integ);
        for (uint32_t k = 0; k < 2 * kFrames; ++k) {
            const double x = data<float>(in)[k];
            const double dy = (x - prev[k % 2]) * 0.001 * 48000.0;
            acc[k % 2] += x / (48000.0 * 0.01);
            prev[k % 2] = x;
            EXPECT_NEAR(data<float>(dOut)[k], dy, 1e-5 * (1.0 + std::fabs(dy))) << block << " " << k;
            EXPECT_NEAR(data<float>(iOut)[k], acc[k % 2], 1e-6) << block << " " << k;
        }
    }
}

// A layout may run a module in place, its output on its input's buffer: every difference still takes the input.
TEST_F(ControlModules, DerivativeInPlaceDiffersTheInput)
{
    GenericWire *w = engine_.wire(2, 4);
    ClassModule *m = make(kDerivative, 0x101u, {w, w}, {bitsOf(0.5f)});
    ASSERT_NE(m, nullptr);
    privateArray<float>(m, 1)[1] = 1.0f;
    fill<float>(w, {1.0f, 2.0f, 3.0f, 5.0f, 6.0f, 9.0f, 10.0f, 14.0f});
    pump(m);
    const std::vector<float> diffs = {1.0f, 1.0f, 2.0f, 3.0f, 3.0f, 4.0f, 4.0f, 5.0f};
    for (size_t k = 0; k < diffs.size(); ++k)
        EXPECT_EQ(data<float>(w)[k], diffs[k] * 24000.0f) << k;
    EXPECT_EQ(privateArray<float>(m, 1)[0], 10.0f);
    EXPECT_EQ(privateArray<float>(m, 1)[1], 14.0f);
}

// Channels run in groups of four and eight and one at a time, each on its own state: every channel count, in place
// or not, gives word for word what the one-sample step gives channel by channel, across blocks.
TEST_F(ControlModules, RecurrencesStepEveryChannelAloneAtAnyChannelCount)
{
    constexpr uint32_t kFrames = 7;
    constexpr float kUpper = 0.3f, kLower = -0.2f, kGain = 0.002f, kTime = 0.05f;
    struct Case {
        uint32_t classId;
        std::vector<uint32_t> args; // one to three construction words
        uint32_t stateArray;
    };
    const Case cases[] = {{kDeadBand, {bitsOf(kUpper), bitsOf(kLower), 0}, 3},
                          {kHysteresis, {bitsOf(kUpper), bitsOf(kLower)}, 2},
                          {kHysteresis, {bitsOf(kLower), bitsOf(kUpper)}, 2},
                          {kDerivative, {bitsOf(kGain)}, 1},
                          {kIntegral, {bitsOf(kTime)}, 1}};
    const auto build = [&](const Case &c, GenericWire *in, GenericWire *out) {
        const std::vector<uint32_t> &a = c.args;
        return a.size() == 1   ? make(c.classId, 0x101u, {in, out}, {a[0]})
               : a.size() == 2 ? make(c.classId, 0x101u, {in, out}, {a[0], a[1]})
                               : make(c.classId, 0x101u, {in, out}, {a[0], a[1], a[2]});
    };
    std::minstd_rand random(7);
    std::uniform_real_distribution<float> uniform(-1.0f, 1.0f);
    for (const Case &c : cases)
        for (const uint32_t channels : {1u, 3u, 4u, 5u, 8u, 12u, 13u})
            for (const bool inPlace : {false, true}) {
                SCOPED_TRACE(::testing::Message() << std::hex << c.classId << std::dec << " " << channels
                                                  << (inPlace ? " in place" : ""));
                GenericWire *in = engine_.wire(channels, kFrames);
                GenericWire *out = inPlace ? in : engine_.wire(channels, kFrames);
                ClassModule *m = build(c, in, out);
                ASSERT_NE(m, nullptr);
                const float upper = floatOf(c.args[0]), lower = floatOf(c.args[c.args.size() > 1 ? 1 : 0]);
                // Hysteresis states start at any word: nonzero is set.
                std::vector<float> state(channels, 0.0f);
                std::vector<int32_t> on(channels, 0);
                for (uint32_t ch = 0; ch < channels; ++ch) {
                    on[ch] = ch % 3 == 0 ? 0 : static_cast<int32_t>(ch);
                    if (c.classId == kHysteresis)
                        privateArray<int32_t>(m, c.stateArray)[ch] = on[ch];
                    else
                        privateArray<float>(m, c.stateArray)[ch] = state[ch] = 0.1f * static_cast<float>(ch);
                }
                for (int block = 0; block < 2; ++block) {
                    std::vector<float> x(size_t{channels} * kFrames);
                    for (float &v : x)
                        v = uniform(random);
                    x[1 % x.size()] = upper; // exactly at a limit
                    fill(in, x);
                    pump(m);
                    for (size_t k = 0; k < x.size(); ++k) {
                        const size_t ch = k % channels;
                        const float v = x[k];
                        if (c.classId == kHysteresis) {
                            on[ch] = on[ch] != 0 ? (lower > v ? 0 : 1) : (v > upper ? 1 : 0);
                            ASSERT_EQ(data<int32_t>(out)[k], on[ch]) << block << " " << k;
                            continue;
                        }
                        float expected = 0.0f;
                        if (c.classId == kDeadBand) {
                            const float diff = v - state[ch];
                            state[ch] = expected = diff > upper || diff < lower ? v : state[ch];
                        } else if (c.classId == kDerivative) {
                            expected = (v - state[ch]) * (kGain * 48000.0f);
                            state[ch] = v;
                        } else {
                            state[ch] = expected = state[ch] + v * (1.0f / (48000.0f * kTime));
                        }
                        ASSERT_EQ(bitsOf(data<float>(out)[k]), bitsOf(expected)) << block << " " << k;
                    }
                }
            }
}

TEST_F(ControlModules, DerivativeFract32ScalesAndSaturates)
{
    GenericWire *in = engine_.wire(1, 4);
    GenericWire *out = engine_.wire(1, 4);
    // A gain of 2 at 48000 Hz is 96000 x 2^-17 = 375 x 2^-9, exact as a Fract32.
    ClassModule *m = make(kDerivativeFract32, 0x101u, {in, out}, {bitsOf(2.0f), 0});
    ASSERT_NE(m, nullptr);
    const int64_t g = int64_t{375} << 22;
    EXPECT_EQ(variable<int32_t>(m, 1), g);
    const std::vector<int32_t> x = {1 << 28, 1 << 28, -(1 << 28) - 3, INT32_MAX};
    fill<int32_t>(in, x);
    pump(m);
    int32_t previous = 0;
    for (size_t i = 0; i < x.size(); ++i) {
        // Halved samples keep the difference inside 32 bits; the product is floored by the shift.
        const auto half = [](int32_t v) { return static_cast<int64_t>(std::floor(v / 2.0)); };
        const int64_t diff = half(x[i]) - half(previous);
        EXPECT_EQ(data<int32_t>(out)[i], static_cast<int32_t>(std::floor(static_cast<double>(g * diff) / 2147483648.0)))
            << i;
        previous = x[i];
    }
    // The largest gain on the largest step stays within the Fract32 range.
    variable<float>(m, 0) = 1000.0f;
    ASSERT_EQ(kve_fwSetCall(m, 1u << 8), KVE_OK);
    EXPECT_EQ(variable<int32_t>(m, 1), INT32_MAX);
    fill<int32_t>(in, {INT32_MIN, INT32_MAX, INT32_MIN, 0});
    pump(m);
    const std::vector<int32_t> y = read<int32_t>(out, 4);
    EXPECT_EQ(y[1], INT32_MAX - 1);
    EXPECT_EQ(y[2], INT32_MIN + 1);
}

// ---- NaN and infinity guard ----

TEST_F(ControlModules, MathExceptionReplacesAndCountsNonFiniteValues)
{
    struct Case {
        uint32_t bits;
        bool replaced;
        bool nan;
    };
    const Case cases[] = {
        {bitsOf(kInf), true, false},           {bitsOf(-kInf), true, false},     {0x7FC00000u, true, true},
        {0xFFC00000u, true, true},             {0x7F800001u, true, true},        {bitsOf(1.5f), false, false},
        {bitsOf(-0.0f), false, false},         {0x00000001u, false, false},      {bitsOf(3.4e38f), false, false},
        {bitsOf(-3.4e38f), false, false},
    };
    constexpr uint32_t n = std::size(cases);
    GenericWire *in = engine_.wire(1, n);
    GenericWire *out = engine_.wire(1, n);
    ClassModule *m = make(kMathException, 0x101u, {in, out}, {0, 0, bitsOf(0.25f)});
    ASSERT_NE(m, nullptr);
    int32_t nans = 0, infs = 0;
    for (uint32_t i = 0; i < n; ++i) {
        data<uint32_t>(in)[i] = cases[i].bits;
        nans += cases[i].replaced && cases[i].nan;
        infs += cases[i].replaced && !cases[i].nan;
    }
    pump(m);
    pump(m);
    for (uint32_t i = 0; i < n; ++i)
        EXPECT_EQ(data<uint32_t>(out)[i], cases[i].replaced ? bitsOf(0.25f) : cases[i].bits) << std::hex
                                                                                              << cases[i].bits;
    EXPECT_EQ(variable<int32_t>(m, 0), 2 * nans);
    EXPECT_EQ(variable<int32_t>(m, 1), 2 * infs);
}

// ---- Random values ----

// The 32-bit linear congruential sequence from seed 0, worked out once by hand.
constexpr uint32_t kSeeds[] = {1013904223u, 1196435762u, 3519870697u, 2868466484u, 1649599747u};

float randomOf(uint32_t seed) { return static_cast<float>(static_cast<int32_t>(seed)) * 4.656613e-10f; }

TEST_F(ControlModules, RandiStepsAndRampsThroughTheLcgSequence)
{
    GenericWire *out = engine_.wire(1, 12);
    // 16000 values per second at 48000 Hz: a period of 3 samples.
    ClassModule *step = make(kRandi, 0x100u, {out}, {bitsOf(16000.0f), 0, 0, 0, 0, 0, 0, 0, 0});
    ASSERT_NE(step, nullptr);
    EXPECT_EQ(variable<int32_t>(step, 4), 3);
    pump(step);
    for (uint32_t i = 0; i < 12; ++i)
        EXPECT_EQ(data<float>(out)[i], randomOf(kSeeds[i / 3])) << i;
    EXPECT_EQ(static_cast<uint32_t>(variable<int32_t>(step, 5)), kSeeds[3]);

    ClassModule *ramp = make(kRandi, 0x100u, {out}, {bitsOf(16000.0f), 1, 0, 0, 0, 0, 0, 0, 0});
    ASSERT_NE(ramp, nullptr);
    pump(ramp);
    double value = 0.0;
    for (uint32_t i = 0; i < 12; ++i) {
        if (i % 3 == 0)
            value = i == 0 ? 0.0 : randomOf(kSeeds[i / 3 - 1]);
        const double target = randomOf(kSeeds[i / 3]);
        EXPECT_NEAR(data<float>(out)[i], value + (target - value) * (i % 3) / 3.0, 1e-6) << i;
    }
}

TEST_F(ControlModules, RandiPeriodStaysUsableForAnyRate)
{
    struct Case {
        float rate;
        int32_t period;
    };
    const Case cases[] = {{48000.0f, 1}, {96000.0f, 1}, {0.0f, 1}, {-5.0f, 1}, {std::nanf(""), 1},
                          {kInf, 1},     {1000.0f, 48}, {1e-6f, INT32_MAX}};
    GenericWire *out = engine_.wire(1, 4);
    for (uint32_t cls : {kRandi, kRandiFract32}) {
        for (const Case &c : cases) {
            ClassModule *m = make(cls, 0x100u, {out}, {bitsOf(c.rate), 1, 0, 0, 0, 0, 0, 0, 0});
            ASSERT_NE(m, nullptr);
            EXPECT_EQ(variable<int32_t>(m, 4), c.period) << c.rate;
            pump(m);
        }
    }
    // A period of one sample gives a new value every sample; in the Fract32 form the reciprocal saturates.
    ClassModule *m = make(kRandiFract32, 0x100u, {out}, {bitsOf(96000.0f), 0, 0, 0, 0, 0, 0, 0, 0});
    ASSERT_NE(m, nullptr);
    EXPECT_EQ(variable<int32_t>(m, 8), INT32_MAX);
    pump(m);
    for (uint32_t i = 0; i < 4; ++i)
        EXPECT_EQ(static_cast<uint32_t>(data<int32_t>(out)[i]), kSeeds[i]) << i;
}

TEST_F(ControlModules, RandiFract32RampsInIntegerSteps)
{
    GenericWire *out = engine_.wire(1, 8);
    ClassModule *m = make(kRandiFract32, 0x100u, {out}, {bitsOf(12000.0f), 1, 0, 0, 0, 0, 0, 0, 0});
    ASSERT_NE(m, nullptr);
    EXPECT_EQ(variable<int32_t>(m, 8), 1 << 29); // 2^31 / 4
    pump(m);
    // From 0 toward the first seed, a quarter of it per sample; then toward the second from where the ramp ended.
    const int64_t r0 = static_cast<int32_t>(kSeeds[0]);
    const int64_t r1 = static_cast<int32_t>(kSeeds[1]);
    const int64_t slope0 = r0 * (int64_t{1} << 29) >> 31;
    const int64_t end0 = 4 * slope0;
    const int64_t slope1 = (r1 * (int64_t{1} << 29) >> 31) - (end0 * (int64_t{1} << 29) >> 31);
    for (int64_t i = 0; i < 4; ++i)
        EXPECT_EQ(data<int32_t>(out)[i], i * slope0) << i;
    for (int64_t i = 0; i < 4; ++i)
        EXPECT_EQ(data<int32_t>(out)[4 + i], end0 + i * slope1) << i;
}

// ---- InvertN and the oscillator ----

TEST_F(ControlModules, InvertNSmoothsEachGainAndPassesChannelsBeyondIt)
{
    GenericWire *in = engine_.wire(3, 32);
    GenericWire *out = engine_.wire(3, 32);
    // Two gains over three channels: the third passes unchanged.
    ClassModule *m = make(kInvertN, 0x101u, {in, out}, {2, bitsOf(0.5f), 0});
    ASSERT_NE(m, nullptr);
    int32_t *invert = privateArray<int32_t>(m, 3);
    invert[1] = 1;
    ASSERT_EQ(kve_fwSetCall(m, 1u << 11), KVE_OK);
    float *target = privateArray<float>(m, 5);
    EXPECT_EQ(target[0], 1.0f);
    EXPECT_EQ(target[1], -1.0f);
    const float coeff = variable<float>(m, 2);
    EXPECT_GT(coeff, 0.0f);
    for (uint32_t k = 0; k < 96; ++k)
        data<float>(in)[k] = 1.0f + static_cast<float>(k);
    double g0 = privateArray<float>(m, 4)[0], g1 = privateArray<float>(m, 4)[1];
    pump(m);
    for (uint32_t f = 0; f < 32; ++f) {
        g0 = g0 * (1.0 - coeff) + coeff * 1.0;
        g1 = g1 * (1.0 - coeff) - coeff * 1.0;
        EXPECT_NEAR(data<float>(out)[f * 3], data<float>(in)[f * 3] * g0, 1e-3) << f;
        EXPECT_NEAR(data<float>(out)[f * 3 + 1], data<float>(in)[f * 3 + 1] * g1, 1e-3) << f;
        EXPECT_EQ(data<float>(out)[f * 3 + 2], data<float>(in)[f * 3 + 2]) << f;
    }
    EXPECT_NEAR(privateArray<float>(m, 4)[1], g1, 1e-5);
}

TEST_F(ControlModules, InvertNWithSeveralWiresGivesEachWireItsGain)
{
    GenericWire *a = engine_.wire(2, 8), *b = engine_.wire(2, 8), *c = engine_.wire(2, 8);
    GenericWire *oa = engine_.wire(2, 8), *ob = engine_.wire(2, 8), *oc = engine_.wire(2, 8);
    ClassModule *m = make(kInvertN, 0x303u, {a, b, c, oa, ob, oc}, {2, bitsOf(0.0f), 0});
    ASSERT_NE(m, nullptr);
    privateArray<int32_t>(m, 3)[0] = 1;
    ASSERT_EQ(kve_fwSetCall(m, 1u << 11), KVE_OK);
    // Gains already at their targets: wire 0 inverted, wire 1 kept, wire 2 (no gain) copied.
    privateArray<float>(m, 4)[0] = -1.0f;
    privateArray<float>(m, 4)[1] = 1.0f;
    for (GenericWire *w : {a, b, c})
        for (uint32_t k = 0; k < 16; ++k)
            data<float>(w)[k] = 0.5f + static_cast<float>(k);
    pump(m);
    for (uint32_t k = 0; k < 16; ++k) {
        EXPECT_EQ(data<float>(oa)[k], -data<float>(a)[k]);
        EXPECT_EQ(data<float>(ob)[k], data<float>(b)[k]);
        EXPECT_EQ(data<float>(oc)[k], data<float>(c)[k]);
    }
}

TEST_F(ControlModules, OscillatorRunsItsPhaseWithModulationAndWraps)
{
    constexpr uint32_t kFrames = 64;
    GenericWire *mod = engine_.wire(1, kFrames);
    GenericWire *out = engine_.wire(2, kFrames);
    const float inc = 0.7f;
    ClassModule *m = make(kOscillator, 0x101u, {mod, out}, {0, 0, bitsOf(inc)});
    ASSERT_NE(m, nullptr);
    privateArray<float>(m, 3)[1] = 3.0f;
    for (uint32_t i = 0; i < kFrames; ++i)
        data<float>(mod)[i] = 0.05f * static_cast<float>(i % 5) - 0.1f;
    double phase[2] = {0.0, 3.0};
    for (int block = 0; block < 2; ++block) {
        pump(m);
        for (uint32_t c = 0; c < 2; ++c)
            for (uint32_t i = 0; i < kFrames; ++i) {
                EXPECT_NEAR(data<float>(out)[i * 2 + c], std::sin(phase[c]), 1e-4) << block << " " << c << " " << i;
                phase[c] += inc + data<float>(mod)[i];
                if (phase[c] > M_PI)
                    phase[c] -= 2 * M_PI;
                else if (phase[c] <= -M_PI)
                    phase[c] += 2 * M_PI;
            }
    }
    for (uint32_t c = 0; c < 2; ++c) {
        EXPECT_LE(std::fabs(privateArray<float>(m, 3)[c]), 3.1416f);
        EXPECT_NEAR(privateArray<float>(m, 3)[c], phase[c], 2e-4);
    }
}

// Every class built with all its arguments 0 (as a layout that sets nothing leaves it) runs blocks on stereo wires,
// active and bypassed, within its wires and arrays.
TEST_F(ControlModules, EveryClassRunsWithZeroArguments)
{
    struct Case {
        uint32_t classId;
        uint32_t wireWord;
        uint32_t args;
    };
    const Case cases[] = {{kSampleAndHold, 0x102u, 0},    {kSampleAndHoldInt32, 0x102u, 0}, {kDeadBand, 0x101u, 3},
                          {kHysteresis, 0x101u, 2},       {kConsecutiveCount, 0x201u, 2},   {kDerivative, 0x101u, 1},
                          {kDerivativeFract32, 0x101u, 2}, {kIntegral, 0x101u, 1},          {kInvertN, 0x101u, 3},
                          {kOscillator, 0x101u, 3},       {kRandi, 0x100u, 9},              {kRandiFract32, 0x100u, 9},
                          {kMathException, 0x101u, 3}};
    for (const Case &c : cases) {
        SCOPED_TRACE(testing::Message() << std::hex << c.classId);
        std::vector<GenericWire *> wires;
        for (uint32_t k = 0; k < KVE_PACKED_INPUTS(c.wireWord) + KVE_PACKED_OUTPUTS(c.wireWord); ++k) {
            wires.push_back(engine_.wire(2, 32));
            std::fill(data<float>(wires.back()), data<float>(wires.back()) + 64, 0.5f);
        }
        const std::vector<uint32_t> args(c.args, 0);
        int32_t status = KVE_OK;
        ClassModule *m = ClassModule_Constructor3(engine_.get(), c.classId, &status, c.wireWord, wires.data(),
                                                  c.args, args.data());
        ASSERT_EQ(status, KVE_OK);
        ASSERT_NE(m, nullptr);
        pump(m);
        ASSERT_EQ(kve_fwSetModuleState(m, KVE_STATE_BYPASSED), KVE_OK);
        pump(m);
    }
}

} // namespace
