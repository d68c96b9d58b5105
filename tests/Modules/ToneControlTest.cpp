// The three-band tone controls: settled output against a bass shelf, a treble shelf and the mid gain from the
// cookbook, a flat gain when all three bands are equal, the headroom shift of the Q1.31 form (divided before the
// filters, restored with saturation after), and the one running gain shared by all channels.
#include "ToneTestSupport.h"

namespace tonetest {
namespace {

struct Bands {
    float low, mid, high;        // Hz
    float bass, treble, midGain; // dB
};

std::vector<uint32_t> floatArgs(const Bands &b, float smoothingTime)
{
    return {f(smoothingTime), f(b.low), f(b.mid), f(b.high), f(b.bass), f(b.treble), f(b.midGain),
            i(0),             f(0),     f(0),     f(0),      f(0)};
}

// Coefficients and gain held at half scale and restored by a post shift of 1.
std::vector<uint32_t> fract32Args(const Bands &b, float smoothingTime, int32_t headroomShift)
{
    return {f(smoothingTime), f(b.low), f(b.mid), f(b.high), f(b.bass), f(b.treble), f(b.midGain), i(headroomShift),
            i(1),             f(0.5f),  i(0),     i(0),      i(0),      i(0),         i(0)};
}

// The chain the tone control stands for: shelves turning over at the geometric means of the band edges, with the
// bass and treble gains relative to the mid gain, then the mid gain itself.
std::vector<Section> chainOf(const Bands &b)
{
    return {{8, std::sqrt(b.low * b.mid), b.bass - b.midGain, 0.0f},
            {10, std::sqrt(b.mid * b.high), b.treble - b.midGain, 0.0f},
            {1, 0.0f, b.midGain, 0.0f}};
}

TEST_F(Tone, ToneControlsFilterAsTheirShelvesAndMidGainOnceSettled)
{
    struct Case {
        const char *what;
        bool fract32;
        uint32_t channels;
        Bands bands;
    } cases[] = {
        {"float, two channels", false, 2, {100.0f, 1000.0f, 8000.0f, 8.0f, -4.0f, 3.0f}},
        {"float, one channel, cut", false, 1, {200.0f, 2000.0f, 6000.0f, -6.0f, 5.0f, -2.0f}},
        {"Fract32, two channels", true, 2, {100.0f, 1000.0f, 8000.0f, 6.0f, -6.0f, 0.0f}},
        {"Fract32, three channels", true, 3, {200.0f, 2000.0f, 6000.0f, -3.0f, 4.0f, 2.0f}},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        ClassModule *m = build(c.fract32 ? kThreeBandToneControlFract32 : kThreeBandToneControl, 0x101,
                               {wire(c.channels, kBlock), wire(c.channels, kBlock)},
                               c.fract32 ? fract32Args(c.bands, 2.0f, 2) : floatArgs(c.bands, 2.0f));
        ASSERT_NE(m, nullptr);
        settle(m, 100);
        const std::vector<float> x = noise(4 * kBlock * c.channels, 0.25f, 21 + c.channels);
        const std::vector<double> expected = cookbook(c.channels, chainOf(c.bands), x, !c.fract32);
        if (c.fract32)
            EXPECT_LT(worstError(run(m, toWords(x)), expected, kFullScale), kFract32Tolerance);
        else
            EXPECT_LT(worstError(run(m, x), expected, 1.0), kFloatTolerance);
    }
}

TEST_F(Tone, EqualBandsGiveAFlatGainOnceSettled)
{
    const Bands equal{100.0f, 1000.0f, 8000.0f, 6.0f, 6.0f, 6.0f};
    const double gain = std::pow(10.0, 6.0 / 20.0);
    for (bool fract32 : {false, true}) {
        SCOPED_TRACE(fract32 ? "Fract32" : "float");
        ClassModule *m = build(fract32 ? kThreeBandToneControlFract32 : kThreeBandToneControl, 0x101,
                               {wire(2, kBlock), wire(2, kBlock)},
                               fract32 ? fract32Args(equal, 10.0f, 2) : floatArgs(equal, 10.0f));
        ASSERT_NE(m, nullptr);
        settle(m, 300);
        const std::vector<float> x = noise(4 * kBlock * 2, 0.25f, 9);
        double worst = 0.0;
        if (fract32) {
            const std::vector<int32_t> y = run(m, toWords(x));
            for (size_t k = 0; k < y.size(); ++k)
                worst = std::max(worst, std::fabs(y[k] / kFullScale - gain * x[k]));
        } else {
            const std::vector<float> y = run(m, x);
            for (size_t k = 0; k < y.size(); ++k)
                worst = std::max(worst, std::fabs(y[k] - gain * x[k]));
        }
        EXPECT_LT(worst, fract32 ? kFract32Tolerance : kFloatTolerance);
    }
}

TEST_F(Tone, HeadroomShiftDividesBeforeTheFiltersAndMultipliesWithSaturationAfter)
{
    // All bands at +6 dB: flat shelves and a gain of about 2, reached within the first block.
    const Bands equal{100.0f, 1000.0f, 8000.0f, 6.0f, 6.0f, 6.0f};
    const double gain = std::pow(10.0, 6.0 / 20.0);
    struct Case {
        const char *what;
        int32_t headroomShift;
        std::vector<int32_t> input;
        enum { Silent, Audible, Restored, Saturated } expect;
    } cases[] = {
        {"words below 4 vanish in the division", 2, std::vector<int32_t>(kBlock, 3), Case::Silent},
        {"the same words pass without headroom", 0, std::vector<int32_t>(kBlock, 3), Case::Audible},
        {"a signal comes back at its level", 2, toWords(noise(kBlock, 0.3f, 4)), Case::Restored},
        {"a loud signal saturates on the way back up", 2, toWords(std::vector<float>(kBlock, 0.9f)), Case::Saturated},
        {"and so does a loud negative one", 2, toWords(std::vector<float>(kBlock, -0.9f)), Case::Saturated},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        ClassModule *m = build(kThreeBandToneControlFract32, 0x101, {wire(1, kBlock), wire(1, kBlock)},
                               fract32Args(equal, 0.0f, c.headroomShift));
        ASSERT_NE(m, nullptr);
        settle(m, 1);
        const std::vector<int32_t> y = run(m, c.input);
        ASSERT_EQ(y.size(), c.input.size());
        if (c.expect == Case::Audible) {
            EXPECT_TRUE(std::any_of(y.begin(), y.end(), [](int32_t v) { return v != 0; }));
            continue;
        }
        for (size_t k = 0; k < y.size(); ++k) {
            if (c.expect == Case::Silent) {
                EXPECT_EQ(y[k], 0) << "sample " << k;
            } else if (c.expect == Case::Saturated) {
                EXPECT_EQ(y[k], c.input[k] > 0 ? INT32_MAX : INT32_MIN) << "sample " << k;
            } else {
                EXPECT_NEAR(y[k] / kFullScale, gain * c.input[k] / kFullScale, kFract32Tolerance) << "sample " << k;
                EXPECT_EQ(y[k] & 3, 0) << "sample " << k;
            }
        }
    }
}

TEST_F(Tone, RunningGainCarriesOnFromChannelToChannel)
{
    // Flat shelves and a mid gain of 0 dB: only the gain moves, from 0 toward 1, one step per sample.
    const Bands flat{100.0f, 1000.0f, 8000.0f, 0.0f, 0.0f, 0.0f};
    ClassModule *m = build(kThreeBandToneControl, 0x101, {wire(2, kBlock), wire(2, kBlock)}, floatArgs(flat, 10.0f));
    ASSERT_NE(m, nullptr);
    settle(m, 1);
    // Two channels of 32 frames: 64 steps, the second channel going on from where the first stopped.
    const double step = 1.0 - std::exp(-1000.0 / (10.0 * 48000.0));
    EXPECT_NEAR(var(m, 10), 1.0 - std::pow(1.0 - step, 2 * kBlock), 1e-5);
}

} // namespace
} // namespace tonetest
