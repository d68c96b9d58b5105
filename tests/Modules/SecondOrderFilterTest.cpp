// The float smoothed second-order filters: settled responses against the cookbook designs on channel counts that
// take every kernel grouping, the per-block glide against its closed form, cascades filtering stage after stage
// with their own state, and stage counts of zero or beyond what the module was built for.
#include "ToneTestSupport.h"

namespace tonetest {
namespace {

constexpr float kSentinel = 12345.0f;

// SecondOrderFilterSmoothed construction: the section, the smoothing time and running coefficients 1, 0, 0, 0, 0.
std::vector<uint32_t> sectionArgs(const Section &s, float smoothingTime)
{
    return {i(s.type), f(s.freq), f(s.gain), f(s.Q), f(smoothingTime), i(0), f(0), f(0), f(0), f(0), f(0),
            f(1),      f(0),      f(0),      f(0),    f(0),              f(0)};
}

TEST_F(Tone, SettledSectionFiltersEveryChannelAsItsCookbookDesign)
{
    struct Case {
        const char *what;
        uint32_t channels;
        Section section;
    } cases[] = {
        {"peaking 1 kHz +6 dB Q 2, one channel", 1, {12, 1000.0f, 6.0f, 2.0f}},
        {"low shelf 200 Hz -8 dB Q 0.9, a pair", 2, {9, 200.0f, -8.0f, 0.9f}},
        {"high shelf 5 kHz +4 dB, four and one", 5, {10, 5000.0f, 4.0f, 0.0f}},
        {"lowpass 3 kHz Q 0.8, four, two and one", 7, {21, 3000.0f, 0.0f, 0.8f}},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        ClassModule *m = build(kSecondOrderFilterSmoothed, 0x101, {wire(c.channels, kBlock), wire(c.channels, kBlock)},
                               sectionArgs(c.section, 2.0f));
        ASSERT_NE(m, nullptr);
        settle(m, 100);
        const std::vector<float> x = noise(4 * kBlock * c.channels, 0.5f, c.channels);
        EXPECT_LT(worstError(run(m, x), cookbook(c.channels, {c.section}, x, true), 1.0), kFloatTolerance);
    }
}

TEST_F(Tone, RunningCoefficientsGlideOneStepPerBlockWhileUpdatesAreActive)
{
    ClassModule *m = build(kSecondOrderFilterSmoothed, 0x101, {wire(2, kBlock), wire(2, kBlock)},
                           sectionArgs({12, 1000.0f, 6.0f, 2.0f}, 10.0f));
    ASSERT_NE(m, nullptr);
    // A step per block of 32 frames with a 10 ms time constant at 48 kHz.
    const double step = 1.0 - std::exp(-1000.0 * kBlock / (10.0 * 48000.0));
    EXPECT_NEAR(var(m, 16), step, 1e-7);
    const double start[5] = {1.0, 0.0, 0.0, 0.0, 0.0};
    int blocks = 0;
    for (int until : {1, 5, 20}) {
        for (; blocks < until; ++blocks)
            pump(m);
        for (uint32_t k = 0; k < 5; ++k) {
            const double target = var(m, 6 + k);
            EXPECT_NEAR(var(m, 11 + k), target + (start[k] - target) * std::pow(1.0 - step, blocks), 2e-6)
                << "coefficient " << k << " after " << blocks << " blocks";
        }
    }
    var<int32_t>(m, 5) = 0;
    float held[5];
    for (uint32_t k = 0; k < 5; ++k)
        held[k] = var(m, 11 + k);
    for (int b = 0; b < 3; ++b)
        pump(m);
    for (uint32_t k = 0; k < 5; ++k)
        EXPECT_EQ(bitsOf(var(m, 11 + k)), bitsOf(held[k])) << "coefficient " << k << " moved with updates off";
}

TEST_F(Tone, CascadeRunsStageAfterStageWithItsOwnStatePerStageAndChannel)
{
    struct Case {
        const char *what;
        uint32_t channels;
        std::vector<Section> sections;
    } cases[] = {
        {"five channels, two stages", 5, {{12, 1000.0f, 6.0f, 1.4f}, {10, 4000.0f, -5.0f, 0.0f}}},
        {"three channels, three stages",
         3,
         {{9, 150.0f, 5.0f, 0.7f}, {12, 2500.0f, -9.0f, 3.0f}, {22, 80.0f, 0.0f, 0.7f}}},
        {"one channel, one stage", 1, {{11, 8000.0f, 3.0f, 1.0f}}},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        const auto stages = static_cast<int32_t>(c.sections.size());
        // A smoothing time of 0 takes the running coefficients to their targets in the first block.
        ClassModule *m = build(kSecondOrderFilterSmoothedCascade, 0x101,
                               {wire(c.channels, kBlock), wire(c.channels, kBlock)}, {i(stages), f(0), i(0), f(0)});
        ASSERT_NE(m, nullptr);
        configureStages(m, 4, c.sections);
        const std::vector<float> x = noise(3 * kBlock * c.channels, 0.5f, 7 + c.channels);
        EXPECT_LT(worstError(run(m, x), cookbook(c.channels, c.sections, x, true), 1.0), kFloatTolerance);
    }
}

TEST_F(Tone, CascadeWithoutStagesLeavesTheOutputAsItWas)
{
    struct Case {
        const char *what;
        bool fract32;
        int32_t built;   // numStages at construction
        int32_t written; // numStages written after construction
    } cases[] = {
        {"float, built with none", false, 0, 0},
        {"float, two stages, host writes 0", false, 2, 0},
        {"float, two stages, host writes -3", false, 2, -3},
        {"Fract32, built with none", true, 0, 0},
        {"Fract32, two stages, host writes 0", true, 2, 0},
        {"Fract32, two stages, host writes -3", true, 2, -3},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        GenericWire *in = wire(2, kBlock);
        GenericWire *out = wire(2, kBlock);
        ClassModule *m = c.fract32 ? build(kSOFSmoothedCascadeFract32, 0x101, {in, out},
                                           {i(c.built), f(0), i(0), i(0), i(1), f(0.5f)})
                                   : build(kSecondOrderFilterSmoothedCascade, 0x101, {in, out},
                                           {i(c.built), f(0), i(0), f(0)});
        ASSERT_NE(m, nullptr);
        var<int32_t>(m, 0) = c.written;
        ASSERT_EQ(ClassModule_Set(m, KVE_MASK_ALL), 0);
        ramp(in);
        fill(out, kSentinel);
        pump(m);
        for (uint32_t k = 0; k < 2 * kBlock; ++k)
            ASSERT_EQ(bitsOf(data(out)[k]), bitsOf(kSentinel)) << "sample " << k;
    }
}

TEST_F(Tone, StageCountBeyondConstructionRunsOnlyTheStagesBuilt)
{
    const Section peak{12, 1000.0f, 6.0f, 2.0f};
    ClassModule *m = build(kSecondOrderFilterSmoothedCascade, 0x101, {wire(3, kBlock), wire(3, kBlock)},
                           {i(1), f(0), i(0), f(0)});
    ASSERT_NE(m, nullptr);
    var<int32_t>(m, 0) = 50;
    configureStages(m, 4, {peak});
    const std::vector<float> x = noise(3 * kBlock * 3, 0.5f, 3);
    EXPECT_LT(worstError(run(m, x), cookbook(3, {peak}, x, true), 1.0), kFloatTolerance);
}

} // namespace
} // namespace tonetest
