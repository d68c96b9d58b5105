// The subband splitter: band masks from the raised-cosine transitions (adjacent bands summing to 1, hard steps,
// transitions that start below bin 0 or end past the last bin), the masks applied to complex and real spectra, the
// bypass, and the construction refusals and band-count clamps.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <limits>
#include <string>
#include <vector>

#include "Modules/Advanced/SbSplitter.h"
#include "support/ModuleVariables.h"
#include "support/TestEngine.h"

namespace {

constexpr uint32_t kSplitter = 0xBEEF0D31u;
const ModClassDescriptor *const kTable[] = {&kve_modSbSplitterClass.record};

// A 512-point spectrum (257 bins) whose wire rate is the frame rate of 16 kHz audio at hop 256: a frequency in Hz
// times 2 / rate is then its bin, 31.25 Hz apart.
constexpr uint32_t kBins = 257;
constexpr float kFrameRate = 62.5f;
constexpr double kBinHz = 31.25;

struct Crossover {
    float freq, width;
};

// Bin edges of a transition as the masks define them: centre +- half the width, rounded half up.
int lowEdge(Crossover c) { return static_cast<int>(std::floor((c.freq - 0.5 * c.width) / kBinHz + 0.5)); }
int highEdge(Crossover c) { return static_cast<int>(std::floor((c.freq + 0.5 * c.width) / kBinHz + 0.5)); }

class SbSplitter : public ::testing::Test {
protected:
    void SetUp() override
    {
        engine_->classTable = kTable;
        engine_->classCount = 1;
    }
    GenericWire *spectrum(uint32_t channels, bool complex = true)
    {
        GenericWire *w = engine_.wire(channels, complex ? 2 * kBins : kBins);
        if (complex)
            w->info1 |= 1u << 27;
        w->sampleRate = kFrameRate;
        return w;
    }
    static float *data(GenericWire *w) { return static_cast<float *>(w->buffer); }
    static uint32_t words(GenericWire *w) { return kve::kit::wireWords(w); }

    // A splitter of in into outs with these crossovers; Set runs again after they are written.
    ClassModule *split(GenericWire *in, const std::vector<GenericWire *> &outs, const std::vector<Crossover> &xs,
                       int32_t *status = nullptr)
    {
        std::vector<GenericWire *> wires = {in};
        wires.insert(wires.end(), outs.begin(), outs.end());
        int32_t local = KVE_OK;
        const uint32_t bands = static_cast<uint32_t>(xs.size() + 1);
        ClassModule *m = ClassModule_Constructor3(engine_.get(), kSplitter, status != nullptr ? status : &local,
                                                  0x100u * static_cast<uint32_t>(outs.size()) + 1, wires.data(), 1,
                                                  &bands);
        if (m == nullptr)
            return nullptr;
        for (size_t k = 0; k < xs.size(); ++k) {
            kvetest::privateArray<float>(m, 1)[k] = xs[k].freq;
            kvetest::privateArray<float>(m, 2)[k] = xs[k].width;
        }
        EXPECT_EQ(ClassModule_Set(m, KVE_MASK_ALL), 0);
        return m;
    }
    std::vector<GenericWire *> outputs(uint32_t count, uint32_t channels, bool complex = true)
    {
        std::vector<GenericWire *> outs;
        for (uint32_t k = 0; k < count; ++k)
            outs.push_back(spectrum(channels, complex));
        return outs;
    }
    static const float *mask(ClassModule *m, uint32_t band)
    {
        return kvetest::privateArray<float>(m, 3) + band * kBins;
    }
    void pump(ClassModule *m) { ASSERT_EQ(kve_fwPumpModule(engine_.get(), m), KVE_OK); }

    kvetest::TestEngine engine_;
};

// The mask of band b of `bands` at bin j, from the raised-cosine definition: 1 in the pass region, 0 in the stop
// region, (1 -+ cos(pi (j - lo) / (hi - lo))) / 2 over a rising or falling transition whose upper edge is held to
// the last bin; a transition that starts past the last bin is a step there.
double expectedMask(const std::vector<Crossover> &xs, uint32_t b, int j)
{
    const int last = static_cast<int>(kBins) - 1;
    auto edges = [&](uint32_t k) {
        const int lo = lowEdge(xs[k]);
        return std::pair<int, int>{lo, std::max(lo, std::min(highEdge(xs[k]), last))};
    };
    double gain = 1.0;
    if (b > 0) {
        const auto [lo, hi] = edges(b - 1);
        if (j < lo)
            gain = 0.0;
        else if (j < hi)
            gain = (1.0 - std::cos(M_PI * (j - lo) / (hi - lo))) / 2.0;
    }
    if (b < xs.size()) {
        const auto [lo, hi] = edges(b);
        if (j >= hi)
            gain = 0.0;
        else if (j >= lo)
            gain *= (1.0 + std::cos(M_PI * (j - lo) / (hi - lo))) / 2.0;
    }
    return gain;
}

TEST_F(SbSplitter, MasksFollowTheRaisedCosineAndAdjacentBandsSumToOne)
{
    const struct {
        const char *what;
        std::vector<Crossover> xs;
    } cases[] = {
        {"four bands, transitions inside the spectrum", {{500, 250}, {2000, 1000}, {6000, 2000}}},
        {"two bands, one wide transition", {{3000, 4000}}},
        {"a transition starting below bin 0 counts its phase from its lower edge", {{100, 1000}, {4000, 500}}},
        {"a transition ending past the last bin ends at the last bin", {{7900, 1000}}},
        {"a transition wholly past the last bin leaves the lower band whole", {{9000, 500}}},
        {"a width-0 transition is a hard step", {{1000, 0}, {5000, 0}}},
    };
    for (const auto &c : cases) {
        GenericWire *in = spectrum(1);
        const uint32_t bands = static_cast<uint32_t>(c.xs.size() + 1);
        ClassModule *m = split(in, outputs(bands, 1), c.xs);
        ASSERT_NE(m, nullptr) << c.what;
        for (int j = 0; j < static_cast<int>(kBins); ++j) {
            double sum = 0.0;
            for (uint32_t b = 0; b < bands; ++b) {
                const float g = mask(m, b)[j];
                EXPECT_NEAR(g, expectedMask(c.xs, b, j), 1e-6) << c.what << ": band " << b << " bin " << j;
                sum += g;
            }
            EXPECT_NEAR(sum, 1.0, 1e-6) << c.what << ": bin " << j;
        }
    }
}

TEST_F(SbSplitter, EdgeBinsOfTheSpecialTransitions)
{
    // 1000 Hz is bin 32: a hard step there.
    GenericWire *in = spectrum(1);
    ClassModule *step = split(in, outputs(2, 1), {{1000, 0}});
    ASSERT_NE(step, nullptr);
    EXPECT_EQ(mask(step, 0)[31], 1.0f);
    EXPECT_EQ(mask(step, 0)[32], 0.0f);
    EXPECT_EQ(mask(step, 1)[31], 0.0f);
    EXPECT_EQ(mask(step, 1)[32], 1.0f);
    // Edges -13 and 19: bin 0 already lies 13 of 32 steps into the fall.
    ClassModule *partWay = split(in, outputs(2, 1), {{100, 1000}});
    ASSERT_NE(partWay, nullptr);
    EXPECT_NEAR(mask(partWay, 0)[0], (1.0 + std::cos(M_PI * 13.0 / 32.0)) / 2.0, 1e-6);
    EXPECT_LT(mask(partWay, 0)[0], 0.9f);
}

TEST_F(SbSplitter, EveryBandIsTheInputTimesItsMaskOnEveryChannel)
{
    const std::vector<Crossover> xs = {{800, 400}, {3000, 1500}};
    for (bool complex : {true, false}) {
        const std::string what = complex ? "complex subbands" : "real bins";
        GenericWire *in = spectrum(2, complex);
        std::vector<GenericWire *> outs = outputs(3, 2, complex);
        ClassModule *m = split(in, outs, xs);
        ASSERT_NE(m, nullptr) << what;
        for (uint32_t i = 0; i < words(in); ++i)
            data(in)[i] = std::sin(0.37f * static_cast<float>(i)) + 2.0f;
        pump(m);
        const uint32_t parts = complex ? 2 : 1;
        for (uint32_t b = 0; b < 3; ++b)
            for (uint32_t i = 0; i < words(in); ++i) {
                const uint32_t bin = i / (2 * parts);
                EXPECT_EQ(data(outs[b])[i], data(in)[i] * mask(m, b)[bin]) << what << ": band " << b << " word " << i;
            }
    }
}

TEST_F(SbSplitter, BypassPassesTheInputToTheFirstBandAndZerosToTheOthers)
{
    GenericWire *in = spectrum(2);
    std::vector<GenericWire *> outs = outputs(3, 2);
    ClassModule *m = split(in, outs, {{800, 400}, {3000, 1500}});
    ASSERT_NE(m, nullptr);
    for (uint32_t i = 0; i < words(in); ++i)
        data(in)[i] = 1.0f + static_cast<float>(i);
    for (GenericWire *out : outs)
        std::fill(data(out), data(out) + words(out), -7.0f);
    ASSERT_EQ(kve_fwSetModuleState(m, KVE_STATE_BYPASSED), KVE_OK);
    pump(m);
    for (uint32_t i = 0; i < words(in); ++i) {
        EXPECT_EQ(data(outs[0])[i], data(in)[i]) << "word " << i;
        EXPECT_EQ(data(outs[1])[i], 0.0f) << "word " << i;
        EXPECT_EQ(data(outs[2])[i], 0.0f) << "word " << i;
    }
}

TEST_F(SbSplitter, RefusesFewerThanTwoBandsOrTooFewOutputs)
{
    const struct {
        const char *what;
        uint32_t bands, outputs;
        int32_t status;
    } cases[] = {
        {"one band", 1, 1, KVE_E_BAD_ARGUMENT},
        {"no band", 0, 2, KVE_E_BAD_ARGUMENT},
        {"a negative band count", 0xFFFFFFFFu, 2, KVE_E_BAD_ARGUMENT},
        {"three bands on two outputs", 3, 2, KVE_E_ARG_COUNT},
        {"two bands on two outputs", 2, 2, KVE_OK},
        {"two bands on three outputs", 2, 3, KVE_OK},
    };
    for (const auto &c : cases) {
        std::vector<GenericWire *> wires = {spectrum(1)};
        for (uint32_t k = 0; k < c.outputs; ++k)
            wires.push_back(spectrum(1));
        int32_t status = KVE_OK;
        ClassModule *m = ClassModule_Constructor3(engine_.get(), kSplitter, &status, 0x100u * c.outputs + 1,
                                                  wires.data(), 1, &c.bands);
        EXPECT_EQ(status, c.status) << c.what;
        EXPECT_EQ(m != nullptr, c.status == KVE_OK) << c.what;
    }
}

TEST_F(SbSplitter, BandCountsAHostWritesStayWithinTheBandsBuilt)
{
    const std::vector<Crossover> xs = {{800, 400}, {3000, 1500}, {6000, 1000}};
    GenericWire *in = spectrum(1);
    std::vector<GenericWire *> outs = outputs(4, 1);
    ClassModule *m = split(in, outs, xs);
    ASSERT_NE(m, nullptr);
    for (uint32_t i = 0; i < words(in); ++i)
        data(in)[i] = 1.0f;
    auto &numBands = kvetest::variable<int32_t>(m, 0);

    // Far more bands than built: the four built, as if the host had written 4.
    numBands = 1000;
    ASSERT_EQ(ClassModule_Set(m, KVE_MASK_ALL), 0);
    pump(m);
    for (uint32_t b = 0; b < 4; ++b)
        for (int j = 0; j < static_cast<int>(kBins); ++j)
            EXPECT_NEAR(data(outs[b])[2 * j], expectedMask(xs, b, j), 1e-6) << "band " << b << " bin " << j;

    // Fewer than two: two bands split at the first crossover; the other outputs are left alone.
    numBands = -3;
    for (GenericWire *out : outs)
        std::fill(data(out), data(out) + words(out), -7.0f);
    ASSERT_EQ(ClassModule_Set(m, KVE_MASK_ALL), 0);
    pump(m);
    const std::vector<Crossover> first = {xs[0]};
    for (uint32_t b = 0; b < 2; ++b)
        for (int j = 0; j < static_cast<int>(kBins); ++j)
            EXPECT_NEAR(data(outs[b])[2 * j], expectedMask(first, b, j), 1e-6) << "band " << b << " bin " << j;
    EXPECT_EQ(data(outs[2])[0], -7.0f);
    EXPECT_EQ(data(outs[3])[0], -7.0f);
}

TEST_F(SbSplitter, CrossoversOutsideTheLayoutRulesGiveGainsBetweenZeroAndOne)
{
    // Each would put a mask fill outside its row if the edges were taken as they come; the sanitizer build watches
    // the rows, the gains must stay gains.
    const float nan = std::nanf("");
    const float inf = std::numeric_limits<float>::infinity();
    const struct {
        const char *what;
        std::vector<Crossover> xs;
        float rate;
    } cases[] = {
        {"NaN crossover", {{nan, 100}, {3000, 500}}, kFrameRate},
        {"infinite width", {{1000, inf}, {3000, 500}}, kFrameRate},
        {"negative width", {{3000, -2000}, {5000, 500}}, kFrameRate},
        {"descending crossovers", {{6000, 500}, {1000, 300}}, kFrameRate},
        {"huge crossovers", {{-1e30f, 1e29f}, {1e30f, 1e30f}}, kFrameRate},
        {"wire rate 0", {{1000, 100}, {3000, 500}}, 0.0f},
    };
    for (const auto &c : cases) {
        GenericWire *in = spectrum(1);
        in->sampleRate = c.rate;
        ClassModule *m = split(in, outputs(3, 1), c.xs);
        ASSERT_NE(m, nullptr) << c.what;
        for (uint32_t b = 0; b < 3; ++b)
            for (uint32_t j = 0; j < kBins; ++j) {
                EXPECT_GE(mask(m, b)[j], 0.0f) << c.what << ": band " << b << " bin " << j;
                EXPECT_LE(mask(m, b)[j], 1.0f) << c.what << ": band " << b << " bin " << j;
            }
    }
}

} // namespace
