// The Fract32 scalers: gain words and shifts derived by Set, samples checked word for word against integer models of
// the Q1.31 rules (64-bit products shifted right by 31, saturated sums, shifts that saturate to the left), and the
// bounds that keep a host's writes and a wire's later reshaping inside the module's own memory.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <vector>

#include "Modules/Standard/ScalersFract32.h"
#include "support/ModuleVariables.h"
#include "support/TestEngine.h"

namespace {

using kvetest::bitsOf;

const ModClassDescriptor *const kTable[] = {
    &kve_modScalerFract32Class.record,
    &kve_modScalerDBFract32Class.record,
    &kve_modScalerSmoothedFract32Class.record,
    &kve_modScalerDBSmoothedFract32Class.record,
    &kve_modScalerNFract32Class.record,
    &kve_modScalerNSmoothedFract32Class.record,
    &kve_modScalerNDBSmoothedFract32Class.record,
    &kve_modScalerControlSmoothedFract32Class.record,
    &kve_modScalerControlBlockSmoothedFract32Class.record,
};

constexpr uint32_t kScaler = 0xBEEF08BBu;
constexpr uint32_t kScalerDB = 0xBEEF08B9u;
constexpr uint32_t kSmoothed = 0xBEEF08BCu;
constexpr uint32_t kDBSmoothed = 0xBEEF08BAu;
constexpr uint32_t kScalerN = 0xBEEF08BEu;
constexpr uint32_t kNSmoothed = 0xBEEF08BFu;
constexpr uint32_t kNDBSmoothed = 0xBEEF08BDu;
constexpr uint32_t kControl = 0xBEEF08B3u;
constexpr uint32_t kControlBlock = 0xBEEF08B5u;

constexpr int32_t kMax = INT32_MAX;
constexpr int32_t kMin = INT32_MIN;
constexpr int32_t kSentinel = 0x5A5A5A5A;

// ---- Integer models of the Q1.31 rules, in 64 and 128 bits ----

int32_t clamp32(__int128 v) { return v > kMax ? kMax : v < kMin ? kMin : static_cast<int32_t>(v); }
int32_t mul31(int32_t a, int32_t b) { return clamp32((static_cast<__int128>(a) * b) >> 31); }
// a x gain x 2^shift: the product rounded toward minus infinity, then shifted.
int32_t scaled(int32_t x, int32_t gain, int32_t shift)
{
    const __int128 p = (static_cast<__int128>(x) * gain) >> 31;
    return shift >= 0 ? clamp32(clamp32(p) * (static_cast<__int128>(1) << shift)) : clamp32(clamp32(p) >> -shift);
}
// One smoothing step of g toward target with coefficient a: g (1 - a) + target a, each part and the sum saturated.
int32_t step(int32_t g, int32_t target, int32_t a)
{
    return clamp32(static_cast<__int128>(mul31(g, clamp32(static_cast<__int128>(kMax) - a))) + mul31(target, a));
}

// Words that reach every corner of the products: both extremes, zero, small values of both signs, a spread.
std::vector<int32_t> testWords(uint32_t n)
{
    const int32_t corners[] = {kMax, kMin, 0, 1, -1, 0x40000000, -0x40000000, 0x12345678, -0x0FEDCBA9};
    std::vector<int32_t> w(n);
    for (uint32_t i = 0; i < n; ++i)
        w[i] = i < std::size(corners) ? corners[i] : static_cast<int32_t>(0x9E3779B9u * (i + 1));
    return w;
}

class ScalerFract32 : public ::testing::Test {
protected:
    void SetUp() override
    {
        engine_->classTable = kTable;
        engine_->classCount = std::size(kTable);
    }

    GenericWire *wire(uint32_t channels, uint32_t block, bool complex = false)
    {
        GenericWire *w = engine_.wire(channels, block);
        if (complex)
            w->info1 |= 1u << 27;
        return w;
    }
    static int32_t *data(GenericWire *w) { return static_cast<int32_t *>(w->buffer); }
    static void load(GenericWire *w, const std::vector<int32_t> &v) { std::copy(v.begin(), v.end(), data(w)); }
    static std::vector<int32_t> words(GenericWire *w) { return {data(w), data(w) + kve::kit::wireWords(w)}; }

    ClassModule *build(uint32_t classId, uint32_t wireWord, std::initializer_list<GenericWire *> wires,
                       std::initializer_list<uint32_t> args)
    {
        int32_t status = KVE_OK;
        ClassModule *m = engine_.module(classId, wireWord, wires, args, &status);
        EXPECT_EQ(status, KVE_OK);
        return m;
    }
    // Variable k of a module: a scalar word, or the array a private variable points at.
    static int32_t &var(ClassModule *m, uint32_t k)
    {
        return *reinterpret_cast<int32_t *>(reinterpret_cast<char *>(m) +
                                            kve_ClassVariableOffsets(m->classRecord)[k]);
    }
    template <class T> static T *array(ClassModule *m, uint32_t k)
    {
        return kvetest::privateArray<T>(m, k);
    }
    void run(ClassModule *m) { ASSERT_EQ(kve_fwPumpModule(engine_.get(), m), KVE_OK); }

    kvetest::TestEngine engine_;
};

// ---- Set: gain words, shifts and coefficients ----

TEST_F(ScalerFract32, GainsSplitIntoMantissaWordAndShift)
{
    struct Case {
        uint32_t classId;
        float gain;
        int32_t fractGain;
        int32_t postShift;
    } cases[] = {
        {kScaler, 3.0f, 0x60000000, 2},
        {kScaler, 0.0f, 0, 0},
        {kScaler, 1.0f, 0x40000000, 1},
        {kScaler, -0.75f, -0x60000000, 0},
        {kScaler, 0.9f, 0x73333300, 0},
        {kScaler, 0x1p-40f, 0x40000000, -39},
        {kScalerDB, 0.0f, 0x40000000, 1},
    };
    for (const Case &c : cases) {
        ClassModule *m = build(c.classId, 0x101, {wire(1, 4), wire(1, 4)}, {bitsOf(c.gain), 0, 0});
        ASSERT_NE(m, nullptr);
        EXPECT_EQ(var(m, 1), c.fractGain) << c.classId << " gain " << c.gain;
        EXPECT_EQ(var(m, 2), c.postShift) << c.classId << " gain " << c.gain;
    }
}

TEST_F(ScalerFract32, DecibelGainsLandOnTheirLinearValue)
{
    for (const float dB : {-60.0f, -6.0f, 6.0f, 20.0f, 42.5f}) {
        ClassModule *m = build(kScalerDB, 0x101, {wire(1, 4), wire(1, 4)}, {bitsOf(dB), 0, 0});
        ASSERT_NE(m, nullptr);
        const double linear = std::pow(10.0, dB / 20.0);
        int e = 0;
        std::frexp(linear, &e);
        EXPECT_EQ(var(m, 2), e) << dB;
        EXPECT_NEAR(std::ldexp(static_cast<double>(var(m, 1)), var(m, 2) - 31) / linear, 1.0, 1e-6) << dB;
    }
}

TEST_F(ScalerFract32, TargetsTakeTheRoundedConversion)
{
    struct Case {
        float gain;
        float gainScale;
        int32_t target;
    } cases[] = {
        {1.0f, 1.0f, kMax},        {-1.0f, 1.0f, kMin},         {-1.5f, 1.0f, kMin},
        {0.5f, 1.0f, 0x40000000},  {0.25f, 2.0f, 0x40000000},   {0x1p-32f, 1.0f, 1},
        {-0x1p-32f, 1.0f, -1},     {0x1p-33f, 1.0f, 0},         {0.0f, 1.0f, 0},
        {3.0f, 0.25f, 0x60000000}, {std::nanf(""), 1.0f, 0},
    };
    for (const Case &c : cases) {
        // Both the plain and the per-channel smoothed forms.
        ClassModule *m = build(kSmoothed, 0x101, {wire(1, 4), wire(1, 4)},
                               {bitsOf(c.gain), bitsOf(0.0f), 0, 0, 0, 0, bitsOf(c.gainScale)});
        ASSERT_NE(m, nullptr);
        EXPECT_EQ(var(m, 2), c.target) << c.gain << " x " << c.gainScale;
        ClassModule *n = build(kNSmoothed, 0x101, {wire(1, 4), wire(1, 4)},
                               {bitsOf(0.0f), 0, 0, bitsOf(c.gainScale)});
        ASSERT_NE(n, nullptr);
        array<float>(n, 4)[0] = c.gain;
        ClassModule_Set(n, 0);
        EXPECT_EQ(array<int32_t>(n, 5)[0], c.target) << c.gain << " x " << c.gainScale;
    }
}

TEST_F(ScalerFract32, PerChannelGainsShareTheShiftOfTheLargest)
{
    struct Case {
        std::vector<float> gains;
        int32_t postShift;
        std::vector<int32_t> fractGains;
    } cases[] = {
        {{0.25f, 3.0f}, 2, {0x08000000, 0x60000000}},
        {{0.25f, 0.25f}, -1, {0x40000000, 0x40000000}},
        {{-1.0f, 0.5f}, 1, {-0x40000000, 0x20000000}},
        {{0.0f, 0.0f}, 0, {0, 0}},
        {{0x1p-40f}, -32, {0x00800000}},
        {{-1.0f, 1.0f}, 1, {-0x40000000, 0x40000000}},
    };
    for (const Case &c : cases) {
        const auto ch = static_cast<uint32_t>(c.gains.size());
        ClassModule *m = build(kScalerN, 0x101, {wire(ch, 4), wire(ch, 4)}, {0});
        ASSERT_NE(m, nullptr);
        std::copy(c.gains.begin(), c.gains.end(), array<float>(m, 1));
        ClassModule_Set(m, 0xFFFFFFFFu);
        EXPECT_EQ(var(m, 0), c.postShift) << c.gains[0];
        EXPECT_EQ(std::vector<int32_t>(array<int32_t>(m, 2), array<int32_t>(m, 2) + ch), c.fractGains) << c.gains[0];
    }
}

TEST_F(ScalerFract32, SmoothingCoefficientFollowsTheMaskWhereTheClassAsksForIt)
{
    // Per-sample step of a 10 ms smoother at 48 kHz, from the time-constant definition.
    const double a10 = 1.0 - std::exp(-1000.0 / (10.0 * 48000.0));
    for (const uint32_t classId : {kNSmoothed, kNDBSmoothed}) {
        ClassModule *m = build(classId, 0x101, {wire(1, 4), wire(1, 4)}, {bitsOf(10.0f), 0, 0, bitsOf(1.0f)});
        ASSERT_NE(m, nullptr);
        EXPECT_NEAR(var(m, 1) / 2147483648.0, a10, a10 * 1e-4);
        const int32_t before = var(m, 1);
        var(m, 0) = static_cast<int32_t>(bitsOf(0.0f)); // a time of 0 moves to the target in one sample
        const bool inDB = classId == kNDBSmoothed;
        array<float>(m, 4)[0] = inDB ? -6.0f : 0.5f;
        ClassModule_Set(m, 1u << 9); // not the smoothing time's bit
        EXPECT_NEAR(array<int32_t>(m, 5)[0] / 2147483648.0, inDB ? std::pow(10.0, -6.0 / 20.0) : 0.5, 1e-6)
            << "targets follow every call";
        EXPECT_EQ(var(m, 1), inDB ? kMax : before)
            << "only the decibel form recomputes the coefficient without the smoothing time's bit";
        ClassModule_Set(m, 1u << 8);
        EXPECT_EQ(var(m, 1), kMax);
    }
}

// ---- Process: samples word for word ----

TEST_F(ScalerFract32, PairsScaleByMantissaAndShift)
{
    struct Case {
        uint32_t classId;
        float gain;
    } cases[] = {
        {kScaler, 3.0f},   {kScaler, -1.0f},  {kScaler, 0.0f},    {kScaler, 1e-3f},
        {kScaler, 200.0f}, {kScaler, -0.3f},  {kScalerDB, -20.0f}, {kScalerDB, 12.0f},
    };
    for (const Case &c : cases) {
        // Two pairs of different shapes, each scaled in its own input's shape.
        GenericWire *in0 = wire(2, 8), *in1 = wire(1, 5), *out0 = wire(2, 8), *out1 = wire(1, 5);
        load(in0, testWords(16));
        load(in1, testWords(5));
        ClassModule *m = build(c.classId, 0x202, {in0, in1, out0, out1}, {bitsOf(c.gain), 0, 0});
        ASSERT_NE(m, nullptr);
        run(m);
        const int32_t g = var(m, 1), shift = var(m, 2);
        for (auto [in, out] : {std::pair{in0, out0}, std::pair{in1, out1}}) {
            const std::vector<int32_t> x = words(in), y = words(out);
            for (size_t i = 0; i < x.size(); ++i)
                ASSERT_EQ(y[i], scaled(x[i], g, shift)) << c.classId << " gain " << c.gain << " word " << i;
        }
    }
}

TEST_F(ScalerFract32, PerChannelGainsScaleTheirOwnChannel)
{
    GenericWire *in = wire(3, 6), *out = wire(3, 6);
    load(in, testWords(18));
    ClassModule *m = build(kScalerN, 0x101, {in, out}, {0});
    ASSERT_NE(m, nullptr);
    const float gains[] = {0.25f, -3.0f, 100.0f};
    std::copy(std::begin(gains), std::end(gains), array<float>(m, 1));
    ClassModule_Set(m, 0xFFFFFFFFu);
    run(m);
    const int32_t *g = array<int32_t>(m, 2);
    for (uint32_t i = 0; i < 18; ++i)
        ASSERT_EQ(data(out)[i], scaled(data(in)[i], g[i % 3], var(m, 0))) << "word " << i;
}

// Per-sample glide of one channel from g toward target: the outputs and the end gain.
int32_t glide(const int32_t *x, int32_t *y, uint32_t stride, uint32_t n, int32_t g, int32_t target, int32_t shift,
              int32_t a)
{
    for (uint32_t t = 0; t < n; ++t) {
        g = step(g, target, a);
        y[t * stride] = scaled(x[t * stride], g, shift);
    }
    return g;
}

TEST_F(ScalerFract32, SmoothedPairsGlideAndCarryTheGainFromPairToPair)
{
    struct Case {
        uint32_t classId;
        float gain; // linear or in decibels, as the class takes it
        float gainScale;
        int32_t postShift;
        int32_t start;
    } cases[] = {
        {kSmoothed, 0.75f, 1.0f, 0, 0},
        {kSmoothed, -1.0f, 0.5f, 3, 0x7FFFFFFF},
        {kSmoothed, 2.0f, 1.0f, -2, kMin},
        {kDBSmoothed, -6.0f, 0.25f, 2, 0x10000000},
    };
    for (const Case &c : cases) {
        GenericWire *in0 = wire(2, 16), *in1 = wire(3, 4), *out0 = wire(2, 16), *out1 = wire(3, 4);
        load(in0, testWords(32));
        load(in1, testWords(12));
        const bool inDB = c.classId == kDBSmoothed;
        const uint32_t gainWord = bitsOf(c.gain), timeWord = bitsOf(0.05f);
        ClassModule *m = build(c.classId, 0x202, {in0, in1, out0, out1},
                               {inDB ? timeWord : gainWord, inDB ? gainWord : timeWord, 0,
                                static_cast<uint32_t>(c.start), 0, static_cast<uint32_t>(c.postShift),
                                bitsOf(c.gainScale)});
        ASSERT_NE(m, nullptr);
        const int32_t target = var(m, 2), a = var(m, 4);
        ASSERT_GT(a, 0);
        ASSERT_LT(a, kMax) << "a glide that takes more than one sample";
        std::vector<int32_t> expect0(32), expect1(12);
        int32_t g = c.start;
        for (int block = 0; block < 2; ++block) {
            int32_t end = g;
            for (uint32_t ch = 0; ch < 2; ++ch)
                end = glide(data(in0) + ch, expect0.data() + ch, 2, 16, g, target, c.postShift, a);
            g = end;
            for (uint32_t ch = 0; ch < 3; ++ch)
                end = glide(data(in1) + ch, expect1.data() + ch, 3, 4, g, target, c.postShift, a);
            g = end;
            run(m);
            ASSERT_EQ(words(out0), expect0) << c.gain << " block " << block;
            ASSERT_EQ(words(out1), expect1) << c.gain << " block " << block;
            EXPECT_EQ(var(m, 3), g) << c.gain << " block " << block;
        }
    }
}

TEST_F(ScalerFract32, PerChannelSmoothersKeepTheirOwnGains)
{
    for (const uint32_t classId : {kNSmoothed, kNDBSmoothed}) {
        GenericWire *in = wire(2, 8), *out = wire(2, 8);
        load(in, testWords(16));
        ClassModule *m = build(classId, 0x101, {in, out}, {bitsOf(0.1f), 0, 1, bitsOf(0.5f)});
        ASSERT_NE(m, nullptr);
        array<float>(m, 4)[0] = 1.5f;
        array<float>(m, 4)[1] = -0.5f;
        array<int32_t>(m, 6)[1] = 0x20000000; // a host restarts channel 1's glide from here
        ClassModule_Set(m, 0);
        const int32_t *target = array<int32_t>(m, 5);
        const int32_t a = var(m, 1);
        std::vector<int32_t> expect(16);
        int32_t g[2] = {0, 0x20000000};
        for (uint32_t ch = 0; ch < 2; ++ch)
            g[ch] = glide(data(in) + ch, expect.data() + ch, 2, 8, g[ch], target[ch], 1, a);
        run(m);
        EXPECT_EQ(words(out), expect) << classId;
        EXPECT_EQ(array<int32_t>(m, 6)[0], g[0]) << classId;
        EXPECT_EQ(array<int32_t>(m, 6)[1], g[1]) << classId;
    }
}

// ---- The control scalers: one target per control sample, one sub-block of audio per target ----

// The target of a float control sample: v / 256 by the rounded conversion, applied with a shift of 8.
int32_t targetOf(float v) { return kve_rounded(v * 0.00390625f); }

// One pair through a control scaler: sub-block j holds `size` frames (the last one also the frames left over) and
// moves toward targets[j], sample by sample (`perSample`) or once at its start; returns the pair's end gain.
int32_t controlPair(const int32_t *x, int32_t *y, uint32_t ch, uint32_t frames, const std::vector<int32_t> &targets,
                    uint32_t size, int32_t g, int32_t a, bool perSample)
{
    for (uint32_t j = 0, first = 0; j < targets.size() && first < frames; ++j, first += size) {
        const uint32_t n = j + 1 == targets.size() ? frames - first : std::min(size, frames - first);
        const int32_t entry = g;
        if (!perSample)
            g = step(g, targets[j], a);
        for (uint32_t c = 0; c < ch; ++c) {
            if (perSample) {
                g = glide(x + first * ch + c, y + first * ch + c, ch, n, entry, targets[j], 8, a);
            } else {
                for (uint32_t t = 0; t < n; ++t)
                    y[(first + t) * ch + c] = scaled(x[(first + t) * ch + c], g, 8);
            }
        }
    }
    return g;
}

TEST_F(ScalerFract32, ControlScalersFollowOneTargetPerSubblock)
{
    struct Case {
        uint32_t classId;
        uint32_t audioBlock;
        uint32_t controlBlock;
        float smoothingTime;
    } cases[] = {
        {kControl, 16, 4, 0.05f},      {kControlBlock, 16, 4, 0.2f},
        {kControl, 10, 4, 0.05f},      {kControlBlock, 10, 4, 0.2f}, // frames left over go with the last target
        {kControl, 8, 1, 0.0f},        {kControlBlock, 8, 8, 0.5f},
    };
    const float controls[] = {0.5f, -2.0f, 300.0f, 1.0f, -0.25f, 7.0f, -300.0f, 0.0f};
    for (const Case &c : cases) {
        GenericWire *control = wire(1, c.controlBlock);
        GenericWire *in0 = wire(2, c.audioBlock), *in1 = wire(2, c.audioBlock);
        GenericWire *out0 = wire(2, c.audioBlock), *out1 = wire(2, c.audioBlock);
        std::vector<int32_t> targets;
        for (uint32_t j = 0; j < c.controlBlock; ++j) {
            data(control)[j] = static_cast<int32_t>(bitsOf(controls[j]));
            targets.push_back(targetOf(controls[j]));
        }
        load(in0, testWords(2 * c.audioBlock));
        load(in1, std::vector<int32_t>(2 * c.audioBlock, 0x01234567));
        const int32_t start = 0x00200000;
        ClassModule *m = build(c.classId, 0x203, {control, in0, in1, out0, out1},
                               {bitsOf(c.smoothingTime), 1, static_cast<uint32_t>(start), 0});
        ASSERT_NE(m, nullptr);
        const int32_t a = var(m, 3);
        const bool perSample = c.classId == kControl;
        const uint32_t size = c.audioBlock / c.controlBlock;
        std::vector<int32_t> expect0(2 * c.audioBlock), expect1(2 * c.audioBlock);
        controlPair(data(in0), expect0.data(), 2, c.audioBlock, targets, size, start, a, perSample);
        const int32_t end = controlPair(data(in1), expect1.data(), 2, c.audioBlock, targets, size, start, a, perSample);
        run(m);
        EXPECT_EQ(words(out0), expect0) << c.classId << " " << c.audioBlock << "/" << c.controlBlock;
        EXPECT_EQ(words(out1), expect1) << c.classId << " " << c.audioBlock << "/" << c.controlBlock;
        EXPECT_EQ(var(m, 2), end) << "each pair starts from the stored gain; the last one's end is kept";
    }
}

TEST_F(ScalerFract32, ControlSamplesBecomeTargetsByTheirType)
{
    // A complex audio wire is scaled by the targets as they stand, so the outputs show each target word.
    struct Case {
        int32_t floatControl;
        uint32_t control;
        int32_t target;
    } cases[] = {
        {1, bitsOf(300.0f), kMax},          {1, bitsOf(-256.0f), kMin},     {1, bitsOf(-300.0f), kMin},
        {1, bitsOf(1.0f), 0x00800000},      {1, bitsOf(-0.5f), -0x00400000}, {1, bitsOf(255.0f), 0x7F800000},
        {0, 0x00800000u, 0x00800000},       {2, 0xFF000000u, -0x01000000},
    };
    for (const uint32_t classId : {kControl, kControlBlock}) {
        for (const Case &c : cases) {
            GenericWire *control = wire(1, 1), *in = wire(1, 4, true), *out = wire(1, 4);
            data(control)[0] = static_cast<int32_t>(c.control);
            load(in, {0x00010000, -0x00010000, kMax, kMin});
            ClassModule *m = build(classId, 0x102, {control, in, out},
                                   {bitsOf(1.0f), static_cast<uint32_t>(c.floatControl), 0x1234, 0});
            ASSERT_NE(m, nullptr);
            run(m);
            for (uint32_t i = 0; i < 4; ++i)
                EXPECT_EQ(data(out)[i], scaled(data(in)[i], c.target, 8)) << classId << " target " << c.target;
            EXPECT_EQ(var(m, 2), 0x1234) << "a complex wire leaves the stored gain alone";
        }
    }
}

TEST_F(ScalerFract32, ControlLongerThanTheAudioBlockLeavesEverythingAlone)
{
    for (const uint32_t classId : {kControl, kControlBlock}) {
        GenericWire *control = wire(1, 8), *in = wire(1, 4), *out = wire(1, 4);
        load(in, testWords(4));
        load(out, std::vector<int32_t>(4, kSentinel));
        ClassModule *m = build(classId, 0x102, {control, in, out}, {bitsOf(1.0f), 1, 0x1234, 0});
        ASSERT_NE(m, nullptr);
        run(m);
        EXPECT_EQ(words(out), std::vector<int32_t>(4, kSentinel)) << classId;
        EXPECT_EQ(var(m, 2), 0x1234) << classId;
    }
}

TEST_F(ScalerFract32, ControlScalersBypassCopiesAudioAndDropsTheControlPin)
{
    for (const uint32_t classId : {kControl, kControlBlock}) {
        GenericWire *control = wire(1, 2), *in0 = wire(2, 4), *in1 = wire(1, 4), *out0 = wire(2, 4),
                    *out1 = wire(1, 4);
        load(control, {kSentinel, kSentinel});
        load(in0, testWords(8));
        load(in1, {7, 8, 9, 10});
        ClassModule *m = build(classId, 0x203, {control, in0, in1, out0, out1}, {bitsOf(1.0f), 1, 0, 0});
        ASSERT_NE(m, nullptr);
        m->classRecord->bypass(m);
        EXPECT_EQ(words(out0), words(in0)) << classId;
        EXPECT_EQ(words(out1), words(in1)) << classId;
    }
}

// ---- Bounds ----

TEST_F(ScalerFract32, WiringShorterThanProcessReadsIsRefused)
{
    struct Case {
        uint32_t classId;
        uint32_t wireWord;
        uint32_t argc;
    } cases[] = {
        {kScaler, 0x0, 3},      {kSmoothed, 0x0, 7},     {kScalerN, 0x1, 1},
        {kControl, 0x101, 4},   {kControl, 0x201, 4},    {kControlBlock, 0x1, 4},
        {kControlBlock, 0x202, 4},
    };
    for (const Case &c : cases) {
        std::vector<GenericWire *> wires;
        for (uint32_t k = 0; k < (c.wireWord & 0xFF) + ((c.wireWord >> 8) & 0xFF); ++k)
            wires.push_back(wire(1, 4));
        std::vector<uint32_t> args(c.argc, 0);
        int32_t status = KVE_OK;
        EXPECT_EQ(ClassModule_Constructor3(engine_.get(), c.classId, &status, c.wireWord, wires.data(), c.argc,
                                           args.data()),
                  nullptr)
            << c.classId << " " << c.wireWord;
        EXPECT_EQ(status, KVE_E_ARG_COUNT) << c.classId << " " << c.wireWord;
    }
}

TEST_F(ScalerFract32, WireThatGainsChannelsAfterConstructionStaysInsideTheArrays)
{
    for (const uint32_t classId : {kScalerN, kNSmoothed, kNDBSmoothed}) {
        // Wires with room for 4 channels, built while they say 2, then widened.
        GenericWire *in = wire(4, 4), *out = wire(4, 4);
        in->info1 = (in->info1 & ~0x3FFu) | 2;
        out->info1 = (out->info1 & ~0x3FFu) | 2;
        const bool perChannelShift = classId == kScalerN;
        ClassModule *m = perChannelShift ? build(classId, 0x101, {in, out}, {0})
                                         : build(classId, 0x101, {in, out}, {0, 0, 0, bitsOf(1.0f)});
        ASSERT_NE(m, nullptr);
        ASSERT_EQ(kve::kit::capacity(m, 0), 2u);
        in->info1 = (in->info1 & ~0x3FFu) | 4;
        out->info1 = (out->info1 & ~0x3FFu) | 4;
        load(in, std::vector<int32_t>(16, 0x40000000));
        load(out, std::vector<int32_t>(16, kSentinel));
        const uint32_t gains = perChannelShift ? 1 : 4;
        array<float>(m, gains)[0] = 0.5f;
        array<float>(m, gains)[1] = 0.25f;
        ClassModule_Set(m, 0xFFFFFFFFu);
        if (perChannelShift) {
            EXPECT_EQ(var(m, 0), 0) << "the shift comes from the two gains the module holds";
        }
        run(m);
        for (uint32_t i = 0; i < 16; ++i) {
            if (i % 4 >= 2) {
                EXPECT_EQ(data(out)[i], kSentinel) << classId << " word " << i << " of a channel without a gain";
            } else {
                EXPECT_NE(data(out)[i], kSentinel) << classId << " word " << i;
            }
        }
    }
}

} // namespace
