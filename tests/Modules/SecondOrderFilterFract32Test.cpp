// The Q1.31 smoothed second-order filters: settled responses of the single section and the cascade (mono and
// multichannel) against the cookbook designs, and the per-block smoothing step of every Q1.31 class word for word
// against an integer model of its rule, extreme words and host-written coefficients included.
#include "ToneTestSupport.h"

namespace tonetest {
namespace {

TEST_F(Tone, SettledFract32SectionsFilterAsTheirCookbookDesigns)
{
    struct Case {
        const char *what;
        uint32_t classId;
        uint32_t channels;
        std::vector<Section> sections;
    } cases[] = {
        {"one section, one channel", kSecondOrderFilterSmoothedFract32, 1, {{12, 1000.0f, 6.0f, 2.0f}}},
        {"one section, three channels", kSecondOrderFilterSmoothedFract32, 3, {{9, 200.0f, -8.0f, 0.9f}}},
        {"cascade, one channel",
         kSOFSmoothedCascadeFract32,
         1,
         {{12, 1000.0f, 6.0f, 1.4f}, {10, 4000.0f, -5.0f, 0.0f}}},
        {"cascade, five channels",
         kSOFSmoothedCascadeFract32,
         5,
         {{11, 6000.0f, 4.0f, 0.8f}, {21, 9000.0f, 0.0f, 0.7f}}},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        // Coefficients held at half scale and restored by a post shift of 1; a 2 ms glide.
        const bool cascade = c.classId == kSOFSmoothedCascadeFract32;
        const Section &s = c.sections[0];
        const std::vector<uint32_t> args =
            cascade ? std::vector<uint32_t>{i(static_cast<int32_t>(c.sections.size())), f(2.0f), i(0), i(0), i(1),
                                            f(0.5f)}
                    : std::vector<uint32_t>{i(s.type), f(s.freq), f(s.gain), f(s.Q), f(2.0f), i(0), i(0), i(1),
                                            f(0.5f)};
        ClassModule *m = build(c.classId, 0x101, {wire(c.channels, kBlock), wire(c.channels, kBlock)}, args);
        ASSERT_NE(m, nullptr);
        if (cascade)
            configureStages(m, 6, c.sections);
        settle(m, 100);
        const std::vector<float> x = noise(4 * kBlock * c.channels, 0.25f, 11 + c.channels);
        EXPECT_LT(worstError(run(m, toWords(x)), cookbook(c.channels, c.sections, x), kFullScale), kFract32Tolerance);
    }
}

TEST_F(Tone, Fract32SmoothingStepMatchesTheIntegerRuleWordForWord)
{
    // Where each class keeps its running and target words, its smoothing coefficient and its update flag.
    struct Glider {
        const char *what;
        uint32_t classId;
        std::vector<uint32_t> args;
        uint32_t channels;
        std::vector<std::pair<uint32_t, uint32_t>> arrays; // (running, target) variable pairs
        uint32_t words;                                     // words per array
        uint32_t coefficient, flag;
    } gliders[] = {
        {"SecondOrderFilterSmoothedFract32", kSecondOrderFilterSmoothedFract32,
         {i(12), f(1000), f(6), f(2), f(10), i(0), i(0), i(1), f(0.5f)}, 2, {{10, 11}}, 5, 6, 5},
        {"SOFSmoothedCascadeFract32", kSOFSmoothedCascadeFract32, {i(2), f(10), i(0), i(0), i(1), f(0.5f)}, 2,
         {{12, 11}}, 10, 3, 2},
        {"SofV2HpFract32", kSofV2HpFract32, {i(12), f(1000), f(6), f(2), f(10), i(0), i(0), i(0), i(0)}, 2,
         {{10, 9}}, 5, 6, 5},
        {"ThreeBandToneControlFract32", kThreeBandToneControlFract32,
         {f(10), f(100), f(1000), f(8000), f(0), f(0), f(0), i(0), i(1), f(0.5f), i(0), i(0), i(0), i(0), i(0)}, 2,
         {{16, 15}, {19, 18}}, 5, 11, 10},
    };
    const std::pair<int32_t, int32_t> pairs[] = {
        {INT32_MIN, INT32_MIN}, {INT32_MAX, INT32_MAX}, {INT32_MIN, INT32_MAX}, {INT32_MAX, INT32_MIN},
        {123456789, -987654321}, {-5, 7},           {0, -1},                {-1, 0},
        {0x40000000, 0x3FFFFFFF}, {-0x40000000, 0x12345678},
    };
    // The designed coefficients and a few a host may write, negative ones among them.
    const int32_t coefficients[] = {INT32_MAX, 0x08414E80, 1, 0, -1, -0x40000000, INT32_MIN};
    for (const Glider &g : gliders) {
        SCOPED_TRACE(g.what);
        ClassModule *m = build(g.classId, 0x101, {wire(g.channels, kBlock), wire(g.channels, kBlock)}, g.args);
        ASSERT_NE(m, nullptr);
        for (int32_t k : coefficients) {
            SCOPED_TRACE(k);
            std::vector<int32_t> expected;
            size_t next = 0;
            for (auto [running, target] : g.arrays)
                for (uint32_t w = 0; w < g.words; ++w, ++next) {
                    const auto &[current, goal] = pairs[next % std::size(pairs)];
                    array<int32_t>(m, running)[w] = current;
                    array<int32_t>(m, target)[w] = goal;
                    expected.push_back(glidedWord(current, goal, k));
                }
            var<int32_t>(m, g.coefficient) = k;
            var<int32_t>(m, g.flag) = 1;
            settle(m, 1);
            next = 0;
            for (auto [running, target] : g.arrays)
                for (uint32_t w = 0; w < g.words; ++w, ++next)
                    EXPECT_EQ(array<int32_t>(m, running)[w], expected[next]) << "word " << next;
            // With updates off the running words stay where they are.
            var<int32_t>(m, g.flag) = 0;
            settle(m, 1);
            next = 0;
            for (auto [running, target] : g.arrays)
                for (uint32_t w = 0; w < g.words; ++w, ++next)
                    EXPECT_EQ(array<int32_t>(m, running)[w], expected[next]) << "word " << next << " with updates off";
        }
    }
}

} // namespace
} // namespace tonetest
