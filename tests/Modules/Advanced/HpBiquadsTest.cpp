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

namespace {

using kvetest::bitsOf;
using tonetest::f;
using tonetest::i;
using tonetest::kBlock;
using tonetest::noise;
using tonetest::Section;

constexpr uint32_t kBiquadCascadeHP = 0xBEEF0CC1u;
constexpr uint32_t kBiquadSmoothedHP = 0xBEEF0CC4u;

const ModClassDescriptor *const kTable[] = {
    &kve_modBiquadCascadeHPClass.record,
    &kve_modBiquadSmoothedHPClass.record,
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
    } cases[] = {{1, 3}, {2, 2}, {3, 5}, {8, 4}, {2, 8}};
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

TEST_F(HpBiquads, SmoothedSetGlidesFromZeroOneStepPerBlock)
{
    ClassModule *m = build(kBiquadSmoothedHP, 0x101, {wire(2, kBlock), wire(2, kBlock)}, smoothedArgs(10.0f));
    ASSERT_NE(m, nullptr);
    const Coeffs &section = kSections[1];
    std::copy(section.begin(), section.end(), array(m, 3));
    ASSERT_EQ(ClassModule_Set(m, 1u << 11), 0);
    const std::vector<double> target = stateSpace(section.data());
    for (uint32_t k = 0; k < 5; ++k)
        EXPECT_NEAR(array(m, 4)[k], target[k], 1e-6 * (1 + std::fabs(target[k]))) << "target " << k;
    // A step per block of 32 frames with a 10 ms time constant at 48 kHz.
    const double step = 1.0 - std::exp(-1000.0 * kBlock / (10.0 * 48000.0));
    EXPECT_NEAR(var(m, 2), step, 1e-7);
    int blocks = 0;
    for (int until : {1, 4, 30}) {
        for (; blocks < until; ++blocks)
            pump(m);
        for (uint32_t k = 0; k < 5; ++k)
            EXPECT_NEAR(array(m, 5)[k], target[k] * (1.0 - std::pow(1.0 - step, blocks)), 2e-6)
                << "coefficient " << k << " after " << blocks << " blocks";
    }
    var<int32_t>(m, 0) = 0;
    std::vector<float> held(array(m, 5), array(m, 5) + 5);
    for (int b = 0; b < 3; ++b)
        pump(m);
    for (uint32_t k = 0; k < 5; ++k)
        EXPECT_EQ(bitsOf(array(m, 5)[k]), bitsOf(held[k])) << "coefficient " << k << " moved with updates off";
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

} // namespace
