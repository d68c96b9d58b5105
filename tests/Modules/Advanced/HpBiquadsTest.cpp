// The high-precision biquad modules: settled state-space cascades against scipy per channel on channel counts that
// take every kernel grouping (pairs, a last odd channel), the glide of the running sets from zero in closed form,
// the sparse biquads' per-channel designs and skipped stages, the graphic-equaliser bands against the band
// equaliser's closed-form magnitude, and the Fract32 band bit-exact against an integer model.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <complex>
#include <cstdint>
#include <numbers>
#include <string>
#include <vector>

#include "Modules/Advanced/HpBiquads.h"
#include "Modules/ToneTestSupport.h"
#include "support/OracleValues.h"

namespace {

using kvetest::bitsOf;
using tonetest::f;
using tonetest::i;
using tonetest::kBlock;
using tonetest::noise;
using tonetest::Section;

constexpr uint32_t kBiquadCascadeHP = 0xBEEF0CC1u;
constexpr uint32_t kBiquadSmoothedHP = 0xBEEF0CC4u;
constexpr uint32_t kSecondOrderFilterHP = 0xBEEF0D34u;
constexpr uint32_t kSOFCascadeHP = 0xBEEF0D32u;
constexpr uint32_t kBiquadSparse = 0xBEEF0D56u;
constexpr uint32_t kGraphicEQBandHP = 0xBEEF0D05u;
constexpr uint32_t kGraphicEQBandHpFract32 = 0xBEEF0D04u;

const ModClassDescriptor *const kTable[] = {
    &kve_modBiquadCascadeHPClass.record,     &kve_modBiquadSmoothedHPClass.record,
    &kve_modSecondOrderFilterHPClass.record, &kve_modSOFCascadeHPClass.record,
    &kve_modBiquadSparseClass.record,        &kve_modGraphicEQBandHPClass.record,
    &kve_modGraphicEQBandHpFract32Class.record,
};

constexpr float kSentinel = 12345.0f;
// Every channel of a settled float state-space filter stays this close to scipy's double-precision run of the same
// direct-form sections; a section or state mixed up between channels or stages is off by 1e-2 and more.
constexpr double kTolerance = 2e-5;

using Coeffs = std::vector<float>; // b0, b1, b2, a1, a2 per section

// Stable sections of several kinds: a lowpass, a resonant peak near 1 kHz at 48 kHz, a highpass, a notch-like
// section and a plain gain.
const Coeffs kSections[] = {
    {0.0675f, 0.135f, 0.0675f, -1.143f, 0.413f},      {1.0207f, -1.9556f, 0.9399f, -1.9556f, 0.9606f},
    {0.8371f, -1.6742f, 0.8371f, -1.6475f, 0.7009f},  {0.95f, -1.7f, 0.95f, -1.6f, 0.9f},
    {0.5f, 0.0f, 0.0f, 0.0f, 0.0f},
};

Coeffs chain(size_t stages)
{
    Coeffs c;
    for (size_t s = 0; s < stages; ++s)
        c.insert(c.end(), kSections[s % std::size(kSections)].begin(), kSections[s % std::size(kSections)].end());
    return c;
}

// What scipy's sosfilt makes of every channel of x on its own, all channels through the same sections.
std::vector<double> perChannel(uint32_t channels, const Coeffs &sections, const std::vector<float> &x)
{
    std::vector<std::string> args = {"sos", std::to_string(channels), std::to_string(sections.size() / 5)};
    for (float v : sections)
        args.push_back(kvetest::oracleArg(v));
    for (float v : x)
        args.push_back(kvetest::oracleArg(v));
    return kvetest::runOracle("filter_channels.py", args);
}

// The state-space set of one direct-form set by its closed form, in double precision.
std::vector<double> stateSpace(const float *c)
{
    const double b0 = c[0], b1 = c[1], b2 = c[2], a1 = c[3], a2 = c[4];
    return {(a1 * a1 * b0 - a1 * b1) / 2 + (b2 - a2 * b0), -a1 / 2, a1 * a1 / 4 - a2, b0, b1 - a1 * b0};
}

class HpBiquads : public tonetest::Tone {
protected:
    void SetUp() override
    {
        engine_->classTable = kTable;
        engine_->classCount = std::size(kTable);
    }
};

TEST_F(HpBiquads, CascadeFiltersEveryChannelAsScipyDoes)
{
    const struct {
        uint32_t channels;
        size_t stages;
    } cases[] = {{1, 3}, {2, 2}, {3, 5}, {8, 4}, {2, 8}, {3, 18}};
    for (const auto &c : cases) {
        SCOPED_TRACE(std::to_string(c.channels) + " channels, " + std::to_string(c.stages) + " stages");
        ClassModule *m = build(kBiquadCascadeHP, 0x101, {wire(c.channels, kBlock), wire(c.channels, kBlock)},
                               {i(static_cast<int32_t>(c.stages))});
        ASSERT_NE(m, nullptr);
        const Coeffs sections = chain(c.stages);
        std::copy(sections.begin(), sections.end(), array(m, 1));
        ASSERT_EQ(ClassModule_Set(m, 0), 0); // any mask, teardown's 0 too, derives the running sets
        const std::vector<float> x = noise(4 * kBlock * c.channels, 0.5f, 11 + c.channels);
        EXPECT_LT(tonetest::worstError(run(m, x), perChannel(c.channels, sections, x), 1.0), kTolerance);
    }
}

// A host reads the state stage-major: stage s of channel c at (s x channels + c) x 2. Each channel of a five-channel
// cascade ends a block with the state, and the output, of a one-channel cascade run on that channel alone.
TEST_F(HpBiquads, CascadeStateOfEveryChannelLiesWhereTheHostReadsIt)
{
    constexpr uint32_t kChannels = 5;
    constexpr int32_t kStages = 3;
    const Coeffs sections = chain(kStages);
    const auto cascade = [&](uint32_t channels) {
        ClassModule *m = build(kBiquadCascadeHP, 0x101, {wire(channels, kBlock), wire(channels, kBlock)}, {i(kStages)});
        EXPECT_NE(m, nullptr);
        if (m != nullptr) {
            std::copy(sections.begin(), sections.end(), array(m, 1));
            ClassModule_Set(m, KVE_MASK_ALL);
        }
        return m;
    };
    ClassModule *all = cascade(kChannels);
    ASSERT_NE(all, nullptr);
    const std::vector<float> x = noise(2 * kBlock * kChannels, 0.5f, 17);
    const std::vector<float> y = run(all, x);
    for (uint32_t c = 0; c < kChannels; ++c) {
        ClassModule *one = cascade(1);
        ASSERT_NE(one, nullptr);
        std::vector<float> alone;
        for (size_t n = c; n < x.size(); n += kChannels)
            alone.push_back(x[n]);
        const std::vector<float> expected = run(one, alone);
        for (size_t n = 0; n < expected.size(); ++n)
            ASSERT_NEAR(y[n * kChannels + c], expected[n], 1e-6) << "channel " << c << " frame " << n;
        for (int32_t s = 0; s < kStages; ++s)
            for (uint32_t w = 0; w < 2; ++w)
                EXPECT_NEAR(array(all, 3)[(s * kChannels + c) * 2 + w], array(one, 3)[2 * s + w], 1e-6)
                    << "channel " << c << " stage " << s << " word " << w;
    }
}

TEST_F(HpBiquads, CascadeRunsOnlyTheStagesItWasBuiltWith)
{
    const struct {
        const char *what;
        int32_t built, written;
        size_t running; // stages that filter; 0: the output keeps what it held
    } cases[] = {
        {"built with none", 0, 0, 0},
        {"two stages, host writes 0", 2, 0, 0},
        {"two stages, host writes -3", 2, -3, 0},
        {"two stages, host writes 50", 2, 50, 2},
        {"three stages, host writes 1", 3, 1, 1},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.what);
        GenericWire *in = wire(3, kBlock);
        GenericWire *out = wire(3, kBlock);
        ClassModule *m = build(kBiquadCascadeHP, 0x101, {in, out}, {i(c.built)});
        ASSERT_NE(m, nullptr);
        const Coeffs sections = chain(static_cast<size_t>(c.built));
        std::copy(sections.begin(), sections.end(), array(m, 1));
        var<int32_t>(m, 0) = c.written;
        ASSERT_EQ(ClassModule_Set(m, KVE_MASK_ALL), 0);
        const std::vector<float> x = noise(3 * kBlock, 0.5f, 5);
        if (c.running == 0) {
            std::copy(x.begin(), x.end(), data(in));
            fill(out, kSentinel);
            pump(m);
            for (uint32_t k = 0; k < 3 * kBlock; ++k)
                ASSERT_EQ(bitsOf(data(out)[k]), bitsOf(kSentinel)) << "sample " << k;
        } else {
            EXPECT_LT(tonetest::worstError(run(m, x), perChannel(3, chain(c.running), x), 1.0), kTolerance);
        }
    }
}

TEST_F(HpBiquads, ConstructionRefusesNegativeStageCountsAndShortWiring)
{
    const struct {
        const char *what;
        uint32_t classId, wireWord;
        std::vector<uint32_t> args;
        int32_t status;
    } cases[] = {
        {"cascade of -1 stages", kBiquadCascadeHP, 0x101, {0xFFFFFFFFu}, KVE_E_BAD_ARGUMENT},
        {"cascade without an output", kBiquadCascadeHP, 0x1, {2}, KVE_E_ARG_COUNT},
        {"cascade too large for any heap", kBiquadCascadeHP, 0x101, {0x7FFFFFFFu}, KVE_E_HEAPS_FULL},
        {"smoothed section without an output", kBiquadSmoothedHP, 0x1, {0, 0, 0}, KVE_E_ARG_COUNT},
    };
    for (const auto &c : cases)
        expectRefused(c.what, c.classId, c.wireWord, c.args, c.status);
}

// BiquadSmoothedHP construction: updates active, a smoothing time, the derived coefficient left to Set.
std::vector<uint32_t> smoothedArgs(float smoothingTime) { return {i(1), f(smoothingTime), f(0)}; }

TEST_F(HpBiquads, SmoothedSetTurnsTheDirectFormIntoItsStateSpaceTarget)
{
    ClassModule *m = build(kBiquadSmoothedHP, 0x101, {wire(2, kBlock), wire(2, kBlock)}, smoothedArgs(10.0f));
    ASSERT_NE(m, nullptr);
    for (const Coeffs &section : kSections) {
        std::copy(section.begin(), section.end(), array(m, 3));
        ASSERT_EQ(ClassModule_Set(m, 1u << 11), 0);
        const std::vector<double> target = stateSpace(section.data());
        for (uint32_t k = 0; k < 5; ++k)
            EXPECT_NEAR(array(m, 4)[k], target[k], 1e-6 * (1 + std::fabs(target[k]))) << "target " << k;
    }
}

// Every float smoothed class: the sets in use start at zero and reach target x (1 - (1 - c)^b) after b blocks, with
// c the per-block step of the smoothing time; with updates off they hold.
TEST_F(HpBiquads, SetsInUseGlideFromZeroOneStepPerBlock)
{
    const struct {
        const char *what;
        uint32_t classId;
        std::vector<uint32_t> args;
        std::vector<Section> stages; // written into the per-stage arrays at variable 4 when not empty
        uint32_t update, coeff, target, current, words;
    } cases[] = {
        {"BiquadSmoothedHP", kBiquadSmoothedHP, smoothedArgs(10.0f), {}, 0, 2, 4, 5, 5},
        {"SecondOrderFilterHP peaking", kSecondOrderFilterHP,
         {i(12), f(1000.0f), f(6.0f), f(2.0f), f(10.0f), i(0), f(0)}, {}, 5, 6, 7, 8, 5},
        {"SOFCascadeHP of three stages", kSOFCascadeHP, {i(3), f(10.0f), i(0), f(0)},
         {{9, 150.0f, 5.0f, 0.7f}, {12, 2500.0f, -9.0f, 3.0f}, {22, 80.0f, 0.0f, 0.7f}}, 2, 3, 8, 9, 15},
        {"GraphicEQBandHP of two stages", kGraphicEQBandHP,
         {f(9.0f), f(500.0f), f(2000.0f), f(10.0f), i(2), i(0), f(0)}, {}, 5, 6, 7, 8, 10},
    };
    // A step per block of 32 frames with a 10 ms time constant at 48 kHz.
    const double step = 1.0 - std::exp(-1000.0 * kBlock / (10.0 * 48000.0));
    for (const auto &c : cases) {
        SCOPED_TRACE(c.what);
        ClassModule *m = build(c.classId, 0x101, {wire(3, kBlock), wire(3, kBlock)}, c.args);
        ASSERT_NE(m, nullptr);
        if (c.classId == kBiquadSmoothedHP) {
            std::copy(kSections[1].begin(), kSections[1].end(), array(m, 3));
            ASSERT_EQ(ClassModule_Set(m, KVE_MASK_ALL), 0);
        } else if (!c.stages.empty()) {
            configureStages(m, 4, c.stages);
        }
        EXPECT_EQ(var<int32_t>(m, c.update), 1);
        EXPECT_NEAR(var(m, c.coeff), step, 1e-7);
        const float *target = array(m, c.target);
        const float *current = array(m, c.current);
        int blocks = 0;
        for (int until : {1, 4, 30}) {
            for (; blocks < until; ++blocks)
                pump(m);
            for (uint32_t k = 0; k < c.words; ++k)
                EXPECT_NEAR(current[k], target[k] * (1.0 - std::pow(1.0 - step, blocks)),
                            2e-6 * (1 + std::fabs(target[k])))
                    << "word " << k << " after " << blocks << " blocks";
        }
        var<int32_t>(m, c.update) = 0;
        const std::vector<float> held(current, current + c.words);
        for (int b = 0; b < 3; ++b)
            pump(m);
        for (uint32_t k = 0; k < c.words; ++k)
            EXPECT_EQ(bitsOf(current[k]), bitsOf(held[k])) << "word " << k << " moved with updates off";
    }
}

TEST_F(HpBiquads, SmoothedSetRedesignsOnlyForTheBitsThatChanged)
{
    ClassModule *m = build(kBiquadSmoothedHP, 0x101, {wire(1, kBlock), wire(1, kBlock)}, smoothedArgs(10.0f));
    ASSERT_NE(m, nullptr);
    const float before = var(m, 2);
    std::copy(kSections[0].begin(), kSections[0].end(), array(m, 3));
    var(m, 1) = 50.0f;
    ASSERT_EQ(ClassModule_Set(m, (1u << 8) | (1u << 10) | (1u << 12)), 0);
    EXPECT_EQ(bitsOf(var(m, 2)), bitsOf(before)) << "smoothing coefficient without its bit";
    for (uint32_t k = 0; k < 5; ++k)
        EXPECT_EQ(array(m, 4)[k], 0.0f) << "target " << k << " without the coefficients' bit";
    ASSERT_EQ(ClassModule_Set(m, 1u << 9), 0);
    EXPECT_NEAR(var(m, 2), 1.0 - std::exp(-1000.0 * kBlock / (50.0 * 48000.0)), 1e-7);
    EXPECT_EQ(array(m, 4)[3], 0.0f) << "targets with the smoothing time's bit alone";
    var<int32_t>(m, 0) = 0;
    ASSERT_EQ(ClassModule_Set(m, 1u << 11), 0);
    EXPECT_EQ(var<int32_t>(m, 0), 1) << "a new target turns updates on";
    EXPECT_NEAR(array(m, 4)[3], kSections[0][0], 1e-7);
}

TEST_F(HpBiquads, SmoothedSectionSettlesOnEveryChannelAsScipyFilters)
{
    for (uint32_t channels : {1u, 2u, 3u, 8u}) {
        SCOPED_TRACE(std::to_string(channels) + " channels");
        ClassModule *m =
            build(kBiquadSmoothedHP, 0x101, {wire(channels, kBlock), wire(channels, kBlock)}, smoothedArgs(5.0f));
        ASSERT_NE(m, nullptr);
        const Coeffs &section = kSections[channels % 4];
        std::copy(section.begin(), section.end(), array(m, 3));
        ASSERT_EQ(ClassModule_Set(m, KVE_MASK_ALL), 0);
        settle(m, 400);
        const std::vector<float> x = noise(4 * kBlock * channels, 0.5f, 3 + channels);
        EXPECT_LT(tonetest::worstError(run(m, x), perChannel(channels, section, x), 1.0), kTolerance);
    }
}

TEST_F(HpBiquads, ParametricSectionsSettleOnEveryChannelAsTheirCookbookDesigns)
{
    const struct {
        const char *what;
        uint32_t channels;
        std::vector<Section> sections; // one: SecondOrderFilterHP; more: SOFCascadeHP
    } cases[] = {
        {"peaking 1 kHz +6 dB Q 2, one channel", 1, {{12, 1000.0f, 6.0f, 2.0f}}},
        {"low shelf 200 Hz -8 dB Q 0.9, a pair", 2, {{9, 200.0f, -8.0f, 0.9f}}},
        {"lowpass 3 kHz Q 0.8, a pair and one", 3, {{21, 3000.0f, 0.0f, 0.8f}}},
        {"high shelf 5 kHz +4 dB, four pairs", 8, {{10, 5000.0f, 4.0f, 0.0f}}},
        {"cascade of two, one channel", 1, {{12, 1000.0f, 6.0f, 1.4f}, {10, 4000.0f, -5.0f, 0.0f}}},
        {"cascade of three, a pair and one",
         3,
         {{9, 150.0f, 5.0f, 0.7f}, {12, 2500.0f, -9.0f, 3.0f}, {22, 80.0f, 0.0f, 0.7f}}},
        {"cascade of two, four pairs", 8, {{11, 8000.0f, 3.0f, 1.0f}, {21, 6000.0f, 0.0f, 0.7f}}},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.what);
        GenericWire *in = wire(c.channels, kBlock);
        GenericWire *out = wire(c.channels, kBlock);
        ClassModule *m;
        if (c.sections.size() == 1) {
            const Section &s = c.sections[0];
            m = build(kSecondOrderFilterHP, 0x101, {in, out},
                      {i(s.type), f(s.freq), f(s.gain), f(s.Q), f(5.0f), i(0), f(0)});
        } else {
            const auto stages = static_cast<int32_t>(c.sections.size());
            m = build(kSOFCascadeHP, 0x101, {in, out}, {i(stages), f(5.0f), i(0), f(0)});
            ASSERT_NE(m, nullptr);
            configureStages(m, 4, c.sections);
        }
        ASSERT_NE(m, nullptr);
        settle(m, 400);
        const std::vector<float> x = noise(4 * kBlock * c.channels, 0.5f, 7 + c.channels);
        EXPECT_LT(tonetest::worstError(run(m, x), tonetest::cookbook(c.channels, c.sections, x, true), 1.0),
                  tonetest::kFloatTolerance);
    }
}

TEST_F(HpBiquads, ParametricCascadeRunsOnlyTheStagesItWasBuiltWith)
{
    const Section peak{12, 1000.0f, 6.0f, 2.0f};
    const struct {
        const char *what;
        int32_t built, written;
    } cases[] = {
        {"built with none", 0, 0}, {"host writes 0", 2, 0}, {"host writes -3", 2, -3}, {"host writes 50", 1, 50}};
    for (const auto &c : cases) {
        SCOPED_TRACE(c.what);
        GenericWire *in = wire(3, kBlock);
        GenericWire *out = wire(3, kBlock);
        ClassModule *m = build(kSOFCascadeHP, 0x101, {in, out}, {i(c.built), f(0), i(0), f(0)});
        ASSERT_NE(m, nullptr);
        var<int32_t>(m, 0) = c.written;
        configureStages(m, 4, std::vector<Section>(static_cast<size_t>(c.built), peak));
        const std::vector<float> x = noise(3 * kBlock, 0.5f, 3);
        if (c.written > 0) {
            EXPECT_LT(tonetest::worstError(run(m, x), tonetest::cookbook(3, {peak}, x, true), 1.0),
                      tonetest::kFloatTolerance);
            continue;
        }
        std::copy(x.begin(), x.end(), data(in));
        fill(out, kSentinel);
        pump(m);
        for (uint32_t k = 0; k < 3 * kBlock; ++k)
            ASSERT_EQ(bitsOf(data(out)[k]), bitsOf(kSentinel)) << "sample " << k;
    }
}

} // namespace

namespace {

// GraphicEQBandHP construction: the band, a smoothing time of 0 (the sets in use reach their targets in the first
// block) and the stage count.
std::vector<uint32_t> bandArgs(float gain, float lower, float upper, int32_t stages)
{
    return {f(gain), f(lower), f(upper), f(0), i(stages), i(0), f(0)};
}

struct Band {
    float gain, lower, upper;
    int32_t stages;
};

std::string describe(const Band &b)
{
    return std::to_string(b.gain) + " dB, " + std::to_string(b.lower) + " to " + std::to_string(b.upper) + " Hz, " +
           std::to_string(b.stages) + " stages";
}

// The magnitude of an impulse response at `freq` Hz (48 kHz).
double magnitudeAt(const std::vector<float> &h, double freq)
{
    std::complex<double> sum = 0.0;
    const double w = 2.0 * std::numbers::pi * freq / 48000.0;
    for (size_t n = 0; n < h.size(); ++n)
        sum += static_cast<double>(h[n]) * std::polar(1.0, -w * static_cast<double>(n));
    return std::abs(sum);
}

TEST_F(HpBiquads, BandFollowsTheBandEqualisersMagnitudeWithinAHundredthOfADecibel)
{
    const Band bands[] = {{9.0f, 500.0f, 2000.0f, 4}, {-6.0f, 2000.0f, 8000.0f, 2}, {12.0f, 1000.0f, 3000.0f, 6}};
    std::vector<std::string> args;
    for (const Band &b : bands)
        for (double v : {2.0 * b.stages, double{b.lower}, double{b.upper}, double{b.gain}, 48000.0})
            args.push_back(kvetest::oracleArg(v));
    kvetest::OracleValues reference("design_geq.py", args);
    ASSERT_FALSE(reference.empty());
    for (const Band &b : bands) {
        SCOPED_TRACE(describe(b));
        GenericWire *in = wire(1, kBlock);
        ClassModule *m = build(kGraphicEQBandHP, 0x101, {in, wire(1, kBlock)}, bandArgs(b.gain, b.lower, b.upper,
                                                                                       b.stages));
        ASSERT_NE(m, nullptr);
        std::vector<float> impulse(8192, 0.0f);
        impulse[0] = 1.0f;
        const std::vector<float> h = run(m, impulse);
        const auto points = static_cast<size_t>(reference.takeOne());
        for (size_t k = 0; k < points; ++k) {
            const double freq = reference.takeOne();
            const double expected = reference.takeOne();
            EXPECT_NEAR(20.0 * std::log10(magnitudeAt(h, freq) / expected), 0.0, 0.01) << "at " << freq << " Hz";
        }
    }
}

TEST_F(HpBiquads, BandFiltersEveryChannelAsScipyRunsItsDesign)
{
    const Band band{-9.0f, 300.0f, 1200.0f, 3};
    for (uint32_t channels : {1u, 2u, 3u, 8u}) {
        SCOPED_TRACE(std::to_string(channels) + " channels");
        ClassModule *m = build(kGraphicEQBandHP, 0x101, {wire(channels, kBlock), wire(channels, kBlock)},
                               bandArgs(band.gain, band.lower, band.upper, band.stages));
        ASSERT_NE(m, nullptr);
        Coeffs design(5 * band.stages);
        design_geq(2 * band.stages, design.data(), band.lower, band.upper, band.gain, 48000.0f);
        const std::vector<float> x = noise(4 * kBlock * channels, 0.5f, 21 + channels);
        EXPECT_LT(tonetest::worstError(run(m, x), perChannel(channels, design, x), 1.0), kTolerance);
    }
}

TEST_F(HpBiquads, BandEdgesInTheWrongOrderLeaveTheLowerOneHertzBelowTheUpper)
{
    for (uint32_t classId : {kGraphicEQBandHP, kGraphicEQBandHpFract32}) {
        std::vector<uint32_t> args = bandArgs(6.0f, 2000.0f, 1000.0f, 2);
        if (classId == kGraphicEQBandHpFract32)
            args = {f(6.0f), f(2000.0f), f(1000.0f), f(0), i(2), i(0), i(1), i(1), 0};
        ClassModule *m = build(classId, 0x101, {wire(1, kBlock), wire(1, kBlock)}, args);
        ASSERT_NE(m, nullptr);
        EXPECT_EQ(var(m, 1), 999.0f) << "class " << std::hex << classId;
    }
}

} // namespace

namespace {

// One channel's stage of a sparse biquad: a filter type with its design parameters, or custom coefficients.
struct SparseStage {
    int32_t type;
    float freq = 0, gain = 0, Q = 0;
    Coeffs custom = {};
};

// Writes stage (c, s) of every channel into the module (index c x stages + s) and calls Set.
void configureSparse(ClassModule *m, const std::vector<std::vector<SparseStage>> &channels)
{
    const size_t stages = channels[0].size();
    for (size_t c = 0; c < channels.size(); ++c)
        for (size_t s = 0; s < stages; ++s) {
            const SparseStage &st = channels[c][s];
            const size_t at = c * stages + s;
            kvetest::privateArray<int32_t>(m, 4)[at] = st.type;
            kvetest::privateArray<float>(m, 5)[at] = st.freq;
            kvetest::privateArray<float>(m, 6)[at] = st.gain;
            kvetest::privateArray<float>(m, 7)[at] = st.Q;
            std::copy(st.custom.begin(), st.custom.end(), kvetest::privateArray<float>(m, 8) + 5 * at);
        }
    ASSERT_EQ(ClassModule_Set(m, KVE_MASK_ALL), 0);
}

// What a stage stands for as direct-form coefficients: off passes, designed types by their design, custom as given.
Coeffs sectionOf(const SparseStage &st)
{
    if (st.type > 20)
        return st.custom;
    Coeffs c(5);
    design_second_order_filter(st.type, c.data(), 48000.0f, st.freq, st.gain, st.Q);
    return c;
}

const SparseStage kStageKinds[] = {
    {0},
    {12, 1000.0f, 6.0f, 2.0f},
    {25, 0, 0, 0, {0.0675f, 0.135f, 0.0675f, -1.143f, 0.413f}},
    {11, 5000.0f, 4.0f, 1.0f},
    {9, 200.0f, -8.0f, 0.9f},
    {22, 0, 0, 0, {1.0f, 0.0f, 0.0f, 0.0f, 0.0f}}, // above 20 every type is custom, here the identity
};

TEST_F(HpBiquads, SparseBiquadsRunEachChannelsOwnStagesAsScipyDoes)
{
    for (uint32_t channels : {1u, 2u, 3u, 8u}) {
        SCOPED_TRACE(std::to_string(channels) + " channels");
        constexpr size_t kStages = 3;
        ClassModule *m = build(kBiquadSparse, 0x101, {wire(channels, kBlock), wire(channels, kBlock)},
                               {i(kStages), f(5.0f), i(0), f(0)});
        ASSERT_NE(m, nullptr);
        std::vector<std::vector<SparseStage>> stages(channels);
        std::vector<std::string> args = {"nsos", std::to_string(channels), std::to_string(kStages)};
        for (uint32_t c = 0; c < channels; ++c)
            for (size_t s = 0; s < kStages; ++s) {
                stages[c].push_back(kStageKinds[(c * 2 + s * 3 + channels) % std::size(kStageKinds)]);
                for (float v : sectionOf(stages[c].back()))
                    args.push_back(kvetest::oracleArg(v));
            }
        configureSparse(m, stages);
        settle(m, 400);
        const std::vector<float> x = noise(4 * kBlock * channels, 0.5f, 31 + channels);
        for (float v : x)
            args.push_back(kvetest::oracleArg(v));
        EXPECT_LT(tonetest::worstError(run(m, x), kvetest::runOracle("filter_channels.py", args), 1.0),
                  tonetest::kFloatTolerance);
    }
}

// In the first block after Set, with a glide of 1 s, the sets in use are still near zero: a stage that filters makes
// its channels nearly silent, while a stage that every channel of its pair (or a last odd channel) passes is skipped
// and leaves the input as it is.
TEST_F(HpBiquads, SparseStagesThatPassEveryChannelOfAPairAreSkipped)
{
    const SparseStage off{0};
    const SparseStage identity{25, 0, 0, 0, {1.0f, 0.0f, 0.0f, 0.0f, 0.0f}};
    const SparseStage peak{12, 1000.0f, 6.0f, 2.0f};
    enum Expect { Copied, Filtered, Silent };
    const struct {
        const char *what;
        std::vector<std::vector<SparseStage>> stages; // per channel
        bool updates;
        std::vector<Expect> expect; // per channel
    } cases[] = {
        {"off at stage 0, identity at stage 1", {{off, identity}, {off, identity}}, true, {Copied, Copied}},
        {"identity at stage 0, off at stage 1", {{identity, off}, {identity, off}}, true, {Copied, Copied}},
        {"off on one channel of the pair only", {{off, off}, {peak, off}}, true, {Filtered, Filtered}},
        {"a last odd channel off on its own", {{peak, off}, {peak, off}, {off, off}}, true,
         {Filtered, Filtered, Copied}},
        {"updates off: every stage filters on its set in use", {{off, off}, {off, off}}, false, {Silent, Silent}},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.what);
        const auto channels = static_cast<uint32_t>(c.stages.size());
        GenericWire *in = wire(channels, kBlock);
        GenericWire *out = wire(channels, kBlock);
        ClassModule *m = build(kBiquadSparse, 0x101, {in, out}, {i(2), f(1000.0f), i(0), f(0)});
        ASSERT_NE(m, nullptr);
        configureSparse(m, c.stages);
        var<int32_t>(m, 2) = c.updates ? 1 : 0;
        ramp(in);
        fill(out, kSentinel);
        pump(m);
        for (uint32_t ch = 0; ch < channels; ++ch)
            for (uint32_t n = 0; n < kBlock; ++n) {
                const float x = data(in)[n * channels + ch];
                const float y = data(out)[n * channels + ch];
                if (c.expect[ch] == Copied)
                    ASSERT_EQ(bitsOf(y), bitsOf(x)) << "channel " << ch << " frame " << n;
                else if (c.expect[ch] == Silent)
                    ASSERT_EQ(y, 0.0f) << "channel " << ch << " frame " << n;
                else
                    ASSERT_LT(std::fabs(y), 0.5f * std::fabs(x)) << "channel " << ch << " frame " << n;
            }
    }
}

} // namespace

namespace {

// GraphicEQBandHpFract32 construction: +12 dB from 400 Hz to 1.6 kHz in `stages` sections, a glide of 10 ms and
// the two shifts.
std::vector<uint32_t> fract32BandArgs(int32_t stages, int32_t shiftB, int32_t shiftA)
{
    return {f(12.0f), f(400.0f), f(1600.0f), f(10.0f), i(stages), i(0), i(shiftB), i(shiftA), 0};
}

// The stored word of a designed coefficient scaled by 2^-shift: rounded half away from zero, -1.0 below -1.0 and
// 0x7FFFFFFF from 1.0 up.
int32_t storedWord(float coeff, int32_t shift)
{
    const double v = std::ldexp(static_cast<double>(coeff), 31 - shift);
    if (v >= 2147483648.0)
        return INT32_MAX;
    if (v < -2147483648.0)
        return INT32_MIN;
    return static_cast<int32_t>(std::round(v));
}

// Every target word is the stored word of the module's own design under its shifts, and that design is the band's.
void expectTargetsOfTheDesign(ClassModule *m, const std::string &what)
{
    const auto stages = static_cast<uint32_t>(kvetest::variable<int32_t>(m, 4));
    Coeffs design(5 * stages);
    design_geq(static_cast<int32_t>(2 * stages), design.data(), kvetest::variable<float>(m, 1),
               kvetest::variable<float>(m, 2), kvetest::variable<float>(m, 0), 48000.0f);
    const float *coeffs = kvetest::privateArray<float>(m, 9);
    const int32_t *targets = kvetest::privateArray<int32_t>(m, 10);
    for (uint32_t k = 0; k < 5 * stages; ++k) {
        EXPECT_EQ(bitsOf(coeffs[k]), bitsOf(design[k])) << what << ": design word " << k;
        const int32_t shift = kvetest::variable<int32_t>(m, k % 5 < 3 ? 6 : 7);
        EXPECT_EQ(targets[k], storedWord(coeffs[k], shift)) << what << ": target " << k;
    }
}

// Over 20 blocks of noise the band's output is bit-exact against an integer model of the module: the Q1.31 glide of
// every word from zero, then each channel on its own through its stages, each stage with its own six state words.
TEST_F(HpBiquads, Fract32BandIsBitExactAgainstAnIntegerModel)
{
    const struct {
        uint32_t channels;
        int32_t stages, shiftB, shiftA;
    } cases[] = {{1, 2, 2, 2}, {2, 3, 2, 1}, {3, 2, 1, 0}, {2, 2, 0, 0}, {8, 3, 2, 2}};
    // Designed words beyond what the shifts let a word hold, seen saturating each way.
    bool sawLowest = false;
    bool sawHighest = false;
    for (const auto &c : cases) {
        const std::string what = std::to_string(c.channels) + " channels, " + std::to_string(c.stages) +
                                 " stages, shifts " + std::to_string(c.shiftB) + "/" + std::to_string(c.shiftA);
        SCOPED_TRACE(what);
        ClassModule *m = build(kGraphicEQBandHpFract32, 0x101, {wire(c.channels, kBlock), wire(c.channels, kBlock)},
                               fract32BandArgs(c.stages, c.shiftB, c.shiftA));
        ASSERT_NE(m, nullptr);
        expectTargetsOfTheDesign(m, what);
        const int32_t *targets = array<int32_t>(m, 10);
        const auto words = static_cast<uint32_t>(5 * c.stages);
        sawLowest = sawLowest || std::count(targets, targets + words, INT32_MIN) > 0;
        sawHighest = sawHighest || std::count(targets, targets + words, INT32_MAX) > 0;
        const int32_t k = var<int32_t>(m, 8);
        EXPECT_NEAR(k, (1.0 - std::exp(-1000.0 * kBlock / (10.0 * 48000.0))) * 2147483648.0, 256.0);

        std::vector<int32_t> current(words, 0);
        std::vector<std::vector<int32_t>> state(c.channels, std::vector<int32_t>(6 * words / 5, 0));
        const std::vector<int32_t> x = tonetest::toWords(noise(20 * kBlock * c.channels, 0.25f, 41 + c.channels));
        const std::vector<int32_t> y = run(m, x);
        std::vector<int32_t> expected(x.size());
        for (size_t at = 0; at < x.size(); at += kBlock * c.channels) {
            for (uint32_t w = 0; w < words; ++w)
                current[w] = tonetest::glidedWord(current[w], targets[w], k);
            for (uint32_t ch = 0; ch < c.channels; ++ch) {
                std::vector<int32_t> samples(kBlock);
                for (uint32_t n = 0; n < kBlock; ++n)
                    samples[n] = x[at + n * c.channels + ch];
                for (int32_t s = 0; s < c.stages; ++s)
                    kve_vecBiquadFract24x24A56(samples.data(), 1, samples.data(), 1, current.data() + 5 * s,
                                               state[ch].data() + 6 * s, c.shiftB, c.shiftA, kBlock);
                for (uint32_t n = 0; n < kBlock; ++n)
                    expected[at + n * c.channels + ch] = samples[n];
            }
        }
        ASSERT_EQ(y.size(), expected.size());
        for (size_t n = 0; n < y.size(); ++n)
            ASSERT_EQ(y[n], expected[n]) << "frame " << n / c.channels << " channel " << n % c.channels;
    }
    EXPECT_TRUE(sawLowest && sawHighest);
}

// The band is redesigned not only for its gain and edges but whenever a written value changes what the stored words
// mean: the stage count and either shift.
TEST_F(HpBiquads, Fract32BandRedesignsWhenItsShiftsOrStageCountChange)
{
    const struct {
        const char *what;
        uint32_t variable;
        int32_t value;
    } cases[] = {{"postShiftB 2", 6, 2}, {"postShiftA 2", 7, 2}, {"numStages 1", 4, 1}};
    for (const auto &c : cases) {
        ClassModule *m = build(kGraphicEQBandHpFract32, 0x101, {wire(1, kBlock), wire(1, kBlock)},
                               fract32BandArgs(3, 1, 1));
        ASSERT_NE(m, nullptr);
        var<int32_t>(m, c.variable) = c.value;
        ASSERT_EQ(ClassModule_Set(m, 1u << (7 + 1 + c.variable)), 0);
        expectTargetsOfTheDesign(m, c.what);
    }
}

} // namespace
