// The float biquad modules: every channel filtered on its own history against scipy (channel counts that use the
// four-channel, two-channel and single-channel paths), per-channel coefficient sets, stage counts a host writes
// above or below what was built, the coefficient glide of BiquadSmoothed in closed form, and refused construction.
#include "FilterTestSupport.h"

namespace floatfiltertest {
namespace {

// Two stable sections with distinct numerators, so a section taken for the other shows.
const std::vector<float> kSections = {0.2f, 0.4f, 0.2f, -0.5f, 0.3f, 1.0f, -0.6f, 0.25f, 0.1f, -0.2f};

std::vector<double> sosParams(uint32_t stages, const float *coeffs)
{
    std::vector<double> p = {static_cast<double>(stages)};
    p.insert(p.end(), coeffs, coeffs + 5 * stages);
    return p;
}

TEST_F(Filters, BiquadsFilterEveryChannelOnItsOwnHistory)
{
    struct Case {
        const char *what;
        uint32_t classId;
        uint32_t channels;
        uint32_t stages; // 0: the single section Biquad
    } cases[] = {
        {"Biquad, 7 channels: a group of four, a pair, a single", kBiquad, 7, 0},
        {"Biquad, 6 channels: a group of four and a pair", kBiquad, 6, 0},
        {"Biquad, 1 channel", kBiquad, 1, 0},
        {"BiquadCascade, 7 channels: three pairs and a single", kBiquadCascade, 7, 2},
        {"BiquadCascade, 3 channels: a pair and a single", kBiquadCascade, 3, 2},
        {"BiquadCascade, 1 channel", kBiquadCascade, 1, 2},
    };
    for (const Case &c : cases) {
        constexpr uint32_t kBlock = 16;
        GenericWire *in = wire(c.channels, kBlock);
        GenericWire *out = wire(c.channels, kBlock);
        ClassModule *m = nullptr;
        if (c.stages == 0) {
            m = build(kBiquad, 0x101, {in, out},
                      {bitsOf(kSections[0]), bitsOf(kSections[1]), bitsOf(kSections[2]), bitsOf(kSections[3]),
                       bitsOf(kSections[4])});
        } else {
            m = build(kBiquadCascade, 0x101, {in, out}, {c.stages});
            ASSERT_NE(m, nullptr) << c.what;
            std::copy(kSections.begin(), kSections.begin() + 5 * c.stages, array(m, 1));
        }
        ASSERT_NE(m, nullptr) << c.what;
        const std::vector<float> x = noise(4 * kBlock * c.channels, c.channels);
        const std::vector<double> reference =
            oracle("sos", c.channels, sosParams(std::max(c.stages, 1u), kSections.data()), x);
        expectClose(run(m, in, out, x), reference, c.channels, 1e-5, c.what);
    }
}

TEST_F(Filters, BiquadNCascadeGivesEachChannelItsOwnSections)
{
    for (uint32_t channels : {3u, 2u, 1u}) {
        constexpr uint32_t kBlock = 8;
        constexpr uint32_t kStages = 2;
        GenericWire *in = wire(channels, kBlock);
        GenericWire *out = wire(channels, kBlock);
        ClassModule *m = build(kBiquadNCascade, 0x101, {in, out}, {kStages});
        ASSERT_NE(m, nullptr);
        // Channel c: the two sections with their numerators scaled by c + 1 and their order swapped on odd channels.
        std::vector<double> params = {kStages};
        for (uint32_t ch = 0; ch < channels; ++ch)
            for (uint32_t k = 0; k < kStages; ++k) {
                const uint32_t from = ch % 2 == 0 ? k : kStages - 1 - k;
                for (uint32_t i = 0; i < 5; ++i) {
                    const float v = kSections[5 * from + i] * (i < 3 ? static_cast<float>(ch + 1) : 1.0f);
                    array(m, 1)[(ch * kStages + k) * 5 + i] = v;
                    params.push_back(v);
                }
            }
        const std::vector<float> x = noise(5 * kBlock * channels, 40 + channels);
        expectClose(run(m, in, out, x), oracle("nsos", channels, params, x), channels, 1e-5,
                    std::to_string(channels) + " channels");
    }
}

TEST_F(Filters, CascadeStageCountsAHostWritesStayWithinWhatWasBuilt)
{
    struct Case {
        const char *what;
        uint32_t classId;
        int32_t written;
        uint32_t runs; // stages the filter should run; with 0 the output keeps what it held
    } cases[] = {
        {"BiquadCascade, more stages than built", kBiquadCascade, 40, 2},
        {"BiquadCascade, fewer stages", kBiquadCascade, 1, 1},
        {"BiquadCascade, no stages", kBiquadCascade, 0, 0},
        {"BiquadCascade, a negative count", kBiquadCascade, -3, 0},
        {"BiquadNCascade, more stages than built", kBiquadNCascade, 1000, 2},
        {"BiquadNCascade, fewer stages", kBiquadNCascade, 1, 1},
        {"BiquadNCascade, no stages", kBiquadNCascade, 0, 0},
    };
    constexpr uint32_t kChannels = 3;
    for (const Case &c : cases) {
        GenericWire *in = wire(kChannels, 8);
        GenericWire *out = wire(kChannels, 8);
        ClassModule *m = build(c.classId, 0x101, {in, out}, {2});
        ASSERT_NE(m, nullptr) << c.what;
        // Fewer stages than built read every channel's first sections: the first stage of NCascade's channel c is
        // at c x the new stage count.
        for (uint32_t ch = 0; ch < (c.classId == kBiquadNCascade ? kChannels : 1); ++ch) {
            const uint32_t at = c.runs == 1 ? ch * 5 : ch * 10;
            std::copy(kSections.begin(), kSections.end(), array(m, 1) + at);
        }
        var<int32_t>(m, 0) = c.written;
        const std::vector<float> x = noise(3 * 8 * kChannels, 7);
        if (c.runs == 0) {
            std::fill(data(out), data(out) + 8 * kChannels, 7.0f);
            const std::vector<float> y = run(m, in, out, x);
            EXPECT_EQ(y, std::vector<float>(y.size(), 7.0f)) << c.what << ": no sections write nothing";
            continue;
        }
        expectClose(run(m, in, out, x), oracle("sos", kChannels, sosParams(c.runs, kSections.data()), x), kChannels,
                    1e-5, c.what);
    }
}

TEST_F(Filters, BiquadSmoothedGlidesItsCoefficientsOncePerBlock)
{
    // From b0 = 1 toward b0 = 0, b1 = 2 with no feedback: the output of block k is b0 x[n] + b1 x[n - 1] with the
    // coefficients after k + 1 steps of the one-pole glide.
    constexpr uint32_t kBlock = 32;
    constexpr float kTime = 5.0f;
    GenericWire *in = wire(1, kBlock);
    GenericWire *out = wire(1, kBlock);
    ClassModule *m = build(kBiquadSmoothed, 0x101, {in, out},
                           {1, bitsOf(kTime), 0, bitsOf(2.0f), 0, 0, 0, bitsOf(1.0f), 0, 0, 0, 0, 0});
    ASSERT_NE(m, nullptr);
    const double step = 1.0 - std::exp(-(kBlock * 1000.0) / (kTime * 48000.0));
    EXPECT_NEAR(var(m, 12), step, 1e-6) << "one step per block of 32 frames at 48 kHz";
    ramp(in, 1.0f);
    double x1 = 0.0; // the sample before the block
    for (int block = 0; block < 3; ++block) {
        pump(m);
        const double keep = std::pow(1.0 - step, block + 1);
        const double b0 = keep, b1 = 2.0 * (1.0 - keep);
        for (uint32_t t = 0; t < kBlock; ++t) {
            const double previous = t == 0 ? x1 : data(in)[t - 1];
            EXPECT_NEAR(data(out)[t], b0 * data(in)[t] + b1 * previous, 2e-4) << "block " << block << " frame " << t;
        }
        EXPECT_NEAR(var(m, 7), b0, 1e-6) << "current b0 after block " << block;
        EXPECT_NEAR(var(m, 8), b1, 1e-6) << "current b1 after block " << block;
        x1 = data(in)[kBlock - 1];
    }
    // With updateActive cleared the coefficients stay where they are.
    var<int32_t>(m, 0) = 0;
    const float held[2] = {var(m, 7), var(m, 8)};
    pump(m);
    EXPECT_EQ(var(m, 7), held[0]);
    EXPECT_EQ(var(m, 8), held[1]);
    EXPECT_NEAR(data(out)[5], held[0] * data(in)[5] + held[1] * data(in)[4], 2e-4);
}

TEST_F(Filters, BiquadSmoothedRunsSevenChannelsOnTheCurrentCoefficients)
{
    // Started at the targets, the glide stays put and every channel is a plain biquad.
    constexpr uint32_t kChannels = 7;
    GenericWire *in = wire(kChannels, 16);
    GenericWire *out = wire(kChannels, 16);
    std::vector<uint32_t> args = {1, bitsOf(10.0f)};
    for (int twice = 0; twice < 2; ++twice)
        for (uint32_t i = 0; i < 5; ++i)
            args.push_back(bitsOf(kSections[i]));
    args.push_back(0);
    ClassModule *m = build(kBiquadSmoothed, 0x101, {in, out}, args);
    ASSERT_NE(m, nullptr);
    const std::vector<float> x = noise(3 * 16 * kChannels, 3);
    expectClose(run(m, in, out, x), oracle("sos", kChannels, sosParams(1, kSections.data()), x), kChannels, 1e-5,
                "BiquadSmoothed at its targets");
}

TEST_F(Filters, FilterConstructionRefusesShortWiringAndNegativeSizes)
{
    struct Case {
        const char *what;
        uint32_t classId;
        uint32_t wireWord;
        std::vector<uint32_t> args;
        int32_t status;
    } cases[] = {
        {"Biquad without an output", kBiquad, 0x1, {0, 0, 0, 0, 0}, KVE_E_ARG_COUNT},
        {"BiquadSmoothed without an output", kBiquadSmoothed, 0x1, std::vector<uint32_t>(13, 0), KVE_E_ARG_COUNT},
        {"BiquadCascade without an output", kBiquadCascade, 0x1, {2}, KVE_E_ARG_COUNT},
        {"BiquadNCascade without an input", kBiquadNCascade, 0x100, {2}, KVE_E_ARG_COUNT},
        {"FIR without an output", kFIR, 0x1, {4, 0}, KVE_E_ARG_COUNT},
        {"GraphicEQBand without an output", kGraphicEQBand, 0x1, {0, 0, 0, 0, 2, 0}, KVE_E_ARG_COUNT},
        {"BiquadCascade with a missing argument", kBiquadCascade, 0x101, {}, KVE_E_ARG_COUNT},
        {"BiquadCascade of -1 stages", kBiquadCascade, 0x101, {0xFFFFFFFFu}, KVE_E_BAD_ARGUMENT},
        {"BiquadNCascade of -2 stages", kBiquadNCascade, 0x101, {0xFFFFFFFEu}, KVE_E_BAD_ARGUMENT},
        {"FIR of -5 taps", kFIR, 0x101, {0xFFFFFFFBu, 0}, KVE_E_BAD_ARGUMENT},
        {"GraphicEQBand of -1 stages", kGraphicEQBand, 0x101, {0, 0, 0, 0, 0xFFFFFFFFu, 0}, KVE_E_BAD_ARGUMENT},
        {"BiquadCascade too large for any heap", kBiquadCascade, 0x101, {0x7FFFFFFFu}, KVE_E_HEAPS_FULL},
    };
    for (const Case &c : cases)
        expectRefused(c.what, c.classId, c.wireWord, c.args, c.status);
}

} // namespace
} // namespace floatfiltertest
