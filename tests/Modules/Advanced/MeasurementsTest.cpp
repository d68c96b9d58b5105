// The observers: the Fract32 correlation against an integer model and numpy.corrcoef, the histogram against
// numpy.histogram with NaN and infinities, the density estimate's bins, smoothing, hold and resets, the
// synchronous-averaging measurement's passes, refusals and clamps, and the Fract32 probe's modes.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <limits>
#include <random>
#include <string>
#include <vector>

#include "Modules/Advanced/Measurements.h"
#include "support/ModuleVariables.h"
#include "support/PythonOracle.h"
#include "support/TestEngine.h"

namespace {

using kvetest::privateArray;
using kvetest::variable;

constexpr uint32_t kCorrelation = 0xBEEF0CDDu;
constexpr uint32_t kHistogram = 0xBEEF0D06u;
constexpr uint32_t kPdf = 0xBEEF0D5Au;
constexpr uint32_t kMeasurement = 0xBEEF0D10u;
constexpr uint32_t kProbe = 0xBEEF0D18u;
const ModClassDescriptor *const kTable[] = {
    &kve_modCorrelationFract32Class.record, &kve_modHistogramClass.record, &kve_modPDFClass.record,
    &kve_modMeasurementClass.record, &kve_modProbeFract32Class.record};

const float kNan = std::numeric_limits<float>::quiet_NaN();
const float kInf = std::numeric_limits<float>::infinity();

uint32_t bits(float f) { return kvetest::bitsOf(f); }

class Measurements : public ::testing::Test {
protected:
    void SetUp() override
    {
        engine_->classTable = kTable;
        engine_->classCount = 5;
    }
    GenericWire *wire(uint32_t channels, uint32_t frames, float rate = 16000.0f)
    {
        GenericWire *w = engine_.wire(channels, frames);
        w->sampleRate = rate;
        return w;
    }
    ClassModule *module(uint32_t classId, uint32_t wireWord, std::initializer_list<GenericWire *> wires,
                        std::initializer_list<uint32_t> args, int32_t expected = KVE_OK)
    {
        int32_t status = KVE_OK;
        ClassModule *m = engine_.module(classId, wireWord, wires, args, &status);
        EXPECT_EQ(status, expected);
        EXPECT_EQ(m == nullptr, expected != KVE_OK);
        return m;
    }
    void pump(ClassModule *m) { ASSERT_EQ(kve_fwPumpModule(engine_.get(), m), KVE_OK); }
    template <class T = float> static T *data(GenericWire *w) { return static_cast<T *>(w->buffer); }

    kvetest::TestEngine engine_;
};

// ---- CorrelationFract32

std::vector<double> correlationOracle(int type, const std::vector<int32_t> &x, const std::vector<int32_t> &y)
{
    std::vector<std::string> args = {"correlation", std::to_string(type), std::to_string(x.size())};
    for (int32_t v : x)
        args.push_back(std::to_string(v));
    for (int32_t v : y)
        args.push_back(std::to_string(v));
    return kvetest::runOracle("measurement_stats.py", args);
}

TEST_F(Measurements, CorrelationMatchesTheIntegerModelExactlyAndNumpyOnZeroMeanBlocks)
{
    constexpr uint32_t kFrames = 32;
    std::mt19937 rng(3);
    std::uniform_int_distribution<int32_t> u(-(1 << 30), 1 << 30);
    for (int trial = 0; trial < 4; ++trial) {
        // Each block is a half and its negation, so its mean is exactly 0 and corrcoef is the normalised product.
        std::vector<int32_t> x(kFrames), y(kFrames);
        for (uint32_t i = 0; i < kFrames / 2; ++i) {
            x[i] = u(rng);
            y[i] = x[i] / 2 + u(rng) / (trial + 1);
            x[kFrames - 1 - i] = -x[i];
            y[kFrames - 1 - i] = -y[i];
        }
        for (int type : {1, 2}) {
            GenericWire *a = wire(1, kFrames);
            GenericWire *b = wire(1, kFrames);
            GenericWire *out = wire(1, 1);
            ClassModule *m = module(kCorrelation, 0x102, {a, b, out}, {static_cast<uint32_t>(type)});
            ASSERT_NE(m, nullptr);
            std::copy(x.begin(), x.end(), data<int32_t>(a));
            std::copy(y.begin(), y.end(), data<int32_t>(b));
            pump(m);
            const std::vector<double> want = correlationOracle(type, x, y);
            ASSERT_EQ(want.size(), 2u);
            EXPECT_EQ(data<int32_t>(out)[0], want[0]) << "trial " << trial << " type " << type;
            if (type == 2) {
                EXPECT_NEAR(data<int32_t>(out)[0] * 0x1p-31, want[1], 1e-6) << "trial " << trial;
            }
        }
    }
}

TEST_F(Measurements, CorrelationEdgeCases)
{
    const std::vector<int32_t> ramp = {INT32_MAX, 1 << 29, -(1 << 28), 12345, -7, 1 << 20, -(1 << 30), 3};
    std::vector<int32_t> negated(ramp.size());
    std::transform(ramp.begin(), ramp.end(), negated.begin(), [](int32_t v) { return -v; });
    const std::vector<int32_t> zeros(ramp.size(), 0);
    const std::vector<int32_t> minusOnes(ramp.size(), INT32_MIN);
    const struct {
        const char *what;
        uint32_t type;
        const std::vector<int32_t> &x, &y;
        int32_t want;
    } cases[] = {
        {"a block against itself is 1.0, held below it", 2, ramp, ramp, INT32_MAX},
        {"a block against its negation is -1.0", 2, ramp, negated, INT32_MIN},
        {"silent blocks have no correlation and read as the largest value", 2, zeros, zeros, INT32_MAX},
        {"silent blocks under the magnitude normalisation", 1, zeros, zeros, INT32_MAX},
        {"-1.0 against itself: the saturated products still give 1.0", 2, minusOnes, minusOnes, INT32_MAX},
        {"type 0 outputs 0", 0, ramp, ramp, 0},
        {"type 3 outputs 0", 3, ramp, ramp, 0},
    };
    for (const auto &c : cases) {
        GenericWire *a = wire(1, 8);
        GenericWire *b = wire(1, 8);
        GenericWire *out = wire(1, 1);
        ClassModule *m = module(kCorrelation, 0x102, {a, b, out}, {c.type});
        ASSERT_NE(m, nullptr) << c.what;
        std::copy(c.x.begin(), c.x.end(), data<int32_t>(a));
        std::copy(c.y.begin(), c.y.end(), data<int32_t>(b));
        data<int32_t>(out)[0] = 99;
        pump(m);
        EXPECT_EQ(data<int32_t>(out)[0], c.want) << c.what;
    }
    // A second input shorter than the first is read only as far as it reaches (the sanitizer build sees overruns).
    GenericWire *a = wire(1, 8);
    GenericWire *b = wire(1, 2);
    GenericWire *out = wire(1, 1);
    ClassModule *m = module(kCorrelation, 0x102, {a, b, out}, {2});
    ASSERT_NE(m, nullptr);
    std::fill_n(data<int32_t>(a), 8, 1 << 30);
    std::fill_n(data<int32_t>(b), 2, 1 << 30);
    pump(m);
    EXPECT_EQ(data<int32_t>(out)[0], INT32_MAX);
}

// ---- Histogram

struct HistogramRig {
    ClassModule *m;
    GenericWire *in, *out;
};

class HistogramTest : public Measurements {
protected:
    HistogramRig histogram(uint32_t channels, uint32_t frames, int32_t bins, float start, float width,
                           uint32_t outWords)
    {
        HistogramRig r{nullptr, wire(channels, frames), wire(1, outWords)};
        r.m = module(kHistogram, 0x101, {r.in, r.out},
                     {static_cast<uint32_t>(bins), bits(start), bits(width), 0, 0, 0, 0});
        return r;
    }
    static int32_t total(ClassModule *m) { return variable<int32_t>(m, 4); }
    static int32_t under(ClassModule *m) { return variable<int32_t>(m, 5); }
    static int32_t over(ClassModule *m) { return variable<int32_t>(m, 6); }
};

TEST_F(HistogramTest, CountsMatchNumpyWithEdgesHalfABinBelowEachCentre)
{
    constexpr uint32_t kBins = 9;
    constexpr float kStart = 0.5f;
    constexpr float kWidth = 0.75f;
    HistogramRig r = histogram(2, 32, kBins, kStart, kWidth, kBins);
    ASSERT_NE(r.m, nullptr);
    std::mt19937 rng(5);
    std::uniform_real_distribution<float> u(-2.0f, 9.0f);
    std::vector<std::string> args = {"histogram", kvetest::oracleArg(kStart), kvetest::oracleArg(kWidth),
                                     std::to_string(kBins)};
    for (int block = 0; block < 3; ++block) {
        for (uint32_t i = 0; i < 64; ++i) {
            data(r.in)[i] = u(rng);
            args.push_back(kvetest::oracleArg(data(r.in)[i]));
        }
        pump(r.m);
    }
    const std::vector<double> want = kvetest::runOracle("measurement_stats.py", args);
    ASSERT_EQ(want.size(), kBins + 2);
    for (uint32_t k = 0; k < kBins; ++k) {
        EXPECT_EQ(privateArray<int32_t>(r.m, 7)[k], want[k]) << "bin " << k;
        EXPECT_EQ(data<int32_t>(r.out)[k], want[k]) << "bin " << k;
    }
    EXPECT_EQ(under(r.m), want[kBins]);
    EXPECT_EQ(over(r.m), want[kBins + 1]);
    EXPECT_EQ(total(r.m), 3 * 64);
}

TEST_F(HistogramTest, EachSampleLandsInOneBinOrCounter)
{
    // Bins 0 to 3 centred on 0, 1, 2, 3; -1 stands for below, 4 for beyond, -2 for nowhere.
    const struct {
        float x;
        int where;
    } cases[] = {
        {0.4f, 0}, {0.6f, 1}, {-0.4f, 0}, {-0.6f, -1}, {0.5f, 1}, {-0.5f, 0}, {3.49f, 3}, {3.5f, 4}, {1e30f, 4},
        {-1e30f, -1}, {kInf, 4}, {-kInf, -1}, {kNan, -2},
    };
    for (const auto &c : cases) {
        HistogramRig r = histogram(1, 1, 4, 0.0f, 1.0f, 4);
        ASSERT_NE(r.m, nullptr);
        data(r.in)[0] = c.x;
        pump(r.m);
        for (int k = 0; k < 4; ++k)
            EXPECT_EQ(privateArray<int32_t>(r.m, 7)[k], k == c.where ? 1 : 0) << c.x << " bin " << k;
        EXPECT_EQ(under(r.m), c.where == -1 ? 1 : 0) << c.x;
        EXPECT_EQ(over(r.m), c.where == 4 ? 1 : 0) << c.x;
        EXPECT_EQ(total(r.m), c.where == -2 ? 0 : 1) << c.x;
    }
}

TEST_F(HistogramTest, ResetClearsTheBinsButNotTheCounters)
{
    HistogramRig r = histogram(1, 4, 2, 0.0f, 1.0f, 2);
    ASSERT_NE(r.m, nullptr);
    const float block[] = {0.0f, 1.0f, 1.0f, 5.0f};
    std::copy(std::begin(block), std::end(block), data(r.in));
    pump(r.m);
    variable<int32_t>(r.m, 3) = 1;
    data(r.in)[0] = -3.0f;
    pump(r.m);
    EXPECT_EQ(variable<int32_t>(r.m, 3), 0);
    EXPECT_EQ(data<int32_t>(r.out)[0], 0);
    EXPECT_EQ(data<int32_t>(r.out)[1], 2);
    EXPECT_EQ(total(r.m), 8);
    EXPECT_EQ(under(r.m), 1);
    EXPECT_EQ(over(r.m), 2);
}

TEST_F(HistogramTest, BinCountsAreHeldToTheBinsBuilt)
{
    const struct {
        const char *what;
        int32_t written;
        int32_t inBins, beyond;
    } cases[] = {
        {"a host's larger count uses the bins built", 1000, 3, 1},
        {"a smaller count makes the rest beyond", 1, 1, 3},
        {"a negative count has no bins", -5, 0, 4},
    };
    for (const auto &c : cases) {
        HistogramRig r = histogram(1, 4, 3, 0.0f, 1.0f, 8);
        ASSERT_NE(r.m, nullptr) << c.what;
        std::fill_n(data<int32_t>(r.out), 8, 77);
        variable<int32_t>(r.m, 0) = c.written;
        const float block[] = {0.0f, 1.0f, 2.0f, 3.0f};
        std::copy(std::begin(block), std::end(block), data(r.in));
        pump(r.m);
        int32_t counted = 0;
        for (int k = 0; k < 3; ++k)
            counted += privateArray<int32_t>(r.m, 7)[k];
        EXPECT_EQ(counted, c.inBins) << c.what;
        EXPECT_EQ(over(r.m), c.beyond) << c.what;
        EXPECT_EQ(data<int32_t>(r.out)[3], 77) << c.what << ": the output holds only the bins in use";
    }
    int32_t status = KVE_OK;
    EXPECT_EQ(engine_.module(kHistogram, 0x101, {wire(1, 4), wire(1, 4)}, {static_cast<uint32_t>(-1), 0, 0, 0, 0, 0, 0},
                             &status),
              nullptr);
    EXPECT_EQ(status, KVE_E_BAD_ARGUMENT);
}

// ---- PDF

struct PdfRig {
    ClassModule *m;
    GenericWire *in, *hold, *reset, *out;
};

class PdfTest : public Measurements {
protected:
    PdfRig pdf(uint32_t channels, uint32_t frames, uint32_t bins, float lo, float hi, float timeMs,
               bool resetWire = false)
    {
        PdfRig r{nullptr, wire(channels, frames), wire(1, 1), resetWire ? wire(1, 1) : nullptr,
                 wire(channels, bins)};
        const std::initializer_list<uint32_t> args = {bins, resetWire ? 1u : 0u, bits(lo), bits(hi), bits(timeMs),
                                                      0, 0, 0};
        r.m = resetWire ? module(kPdf, 0x103, {r.in, r.hold, r.reset, r.out}, args)
                        : module(kPdf, 0x102, {r.in, r.hold, r.out}, args);
        return r;
    }
    static float *estimate(ClassModule *m) { return privateArray<float>(m, 9); }
};

TEST_F(PdfTest, EachSampleLandsInTheBinWhoseUpperEdgeHoldsIt)
{
    // 4 bins over 0 .. 1 with no smoothing: one sample's block leaves 1 in its bin.
    const struct {
        float x;
        int bin; // -1: dropped
    } cases[] = {
        {0.0f, 0}, {0.1f, 0}, {0.25f, 0}, {0.26f, 1}, {0.5f, 1}, {0.74f, 2}, {1.0f, 3}, {1.01f, -1}, {-0.01f, -1},
        {kNan, -1}, {kInf, -1}, {-kInf, -1},
    };
    for (const auto &c : cases) {
        PdfRig r = pdf(1, 1, 4, 0.0f, 1.0f, 0.0f);
        ASSERT_NE(r.m, nullptr);
        EXPECT_EQ(variable<float>(r.m, 5), 0.0f) << "no smoothing forgets every block";
        EXPECT_EQ(variable<float>(r.m, 6), 0.25f);
        data(r.in)[0] = c.x;
        pump(r.m);
        for (int k = 0; k < 4; ++k)
            EXPECT_EQ(data(r.out)[k], k == c.bin ? 1.0f : 0.0f) << c.x << " bin " << k;
    }
}

// The estimate from a reset, against a model that finds each sample's bin by searching the bin edges.
TEST_F(PdfTest, EstimatesBlendEachBlocksShareOfSamplesPerChannel)
{
    constexpr uint32_t kChannels = 2, kFrames = 32, kBins = 10;
    constexpr float kLo = -1.0f, kHi = 1.0f, kTimeMs = 5.0f;
    PdfRig r = pdf(kChannels, kFrames, kBins, kLo, kHi, kTimeMs);
    ASSERT_NE(r.m, nullptr);
    // The smoother's decay: 63% of the way in 5 ms of blocks of 32 at 16 kHz.
    const double keep = std::exp(-1000.0 / (16000.0 / kFrames * kTimeMs));
    EXPECT_NEAR(variable<float>(r.m, 5), keep, 1e-6);
    std::vector<double> edges(kBins + 1);
    for (uint32_t k = 0; k <= kBins; ++k)
        edges[k] = kLo + (kHi - kLo) * k / kBins;
    std::vector<double> want(kChannels * kBins, 1.0 / kBins);
    variable<int32_t>(r.m, 7) = 1;
    std::mt19937 rng(9);
    std::normal_distribution<float> g(0.0f, 0.5f);
    for (int block = 0; block < 4; ++block) {
        std::vector<double> counts(kChannels * kBins, 0.0);
        for (uint32_t n = 0; n < kFrames; ++n)
            for (uint32_t c = 0; c < kChannels; ++c) {
                const float x = g(rng) * (c + 1);
                data(r.in)[n * kChannels + c] = x;
                const auto at = std::lower_bound(edges.begin(), edges.end(), static_cast<double>(x)) - edges.begin();
                if (at >= 1 && at <= static_cast<long>(kBins))
                    counts[(at - 1) * kChannels + c] += 1.0;
            }
        for (size_t i = 0; i < want.size(); ++i)
            want[i] = keep * want[i] + (1.0 - keep) / kFrames * counts[i];
        pump(r.m);
    }
    for (size_t i = 0; i < want.size(); ++i) {
        EXPECT_NEAR(estimate(r.m)[i], want[i], 1e-6) << i;
        EXPECT_EQ(data(r.out)[i], estimate(r.m)[i]) << i;
    }
}

TEST_F(PdfTest, HoldKeepsTheEstimateAndResetsMakeItUniform)
{
    PdfRig r = pdf(2, 8, 4, 0.0f, 1.0f, 0.0f, true);
    ASSERT_NE(r.m, nullptr);
    std::fill_n(data(r.in), 16, 0.1f);
    pump(r.m);
    EXPECT_EQ(data(r.out)[0], 1.0f);
    EXPECT_EQ(data(r.out)[1], 1.0f);
    // Held: the estimate stands, and is still output.
    data<int32_t>(r.hold)[0] = 1;
    std::fill_n(data(r.in), 16, 0.9f);
    std::fill_n(data(r.out), 8, -1.0f);
    pump(r.m);
    for (int i = 0; i < 8; ++i)
        EXPECT_EQ(data(r.out)[i], i < 2 ? 1.0f : 0.0f) << i;
    // A reset request on the third input, still held: every entry a quarter.
    data<int32_t>(r.reset)[0] = 1;
    pump(r.m);
    for (int i = 0; i < 8; ++i)
        EXPECT_EQ(data(r.out)[i], 0.25f) << i;
    EXPECT_EQ(variable<int32_t>(r.m, 7), 0);

    int32_t status = KVE_OK;
    EXPECT_EQ(engine_.module(kPdf, 0x102, {wire(1, 8), wire(1, 1), wire(1, 4)}, {4, 1, 0, bits(1.0f), 0, 0, 0, 0},
                             &status),
              nullptr);
    EXPECT_EQ(status, KVE_E_ARG_COUNT) << "a reset input asked for and not wired";
    status = KVE_OK;
    EXPECT_EQ(engine_.module(kPdf, 0x102, {wire(1, 8), wire(1, 1), wire(1, 4)},
                             {static_cast<uint32_t>(-4), 0, 0, bits(1.0f), 0, 0, 0, 0}, &status),
              nullptr);
    EXPECT_EQ(status, KVE_E_BAD_ARGUMENT);
}

// ---- Measurement

struct MeasurementRig {
    ClassModule *m;
    GenericWire *in, *out;
    int32_t &state() const { return variable<int32_t>(m, 2); }
    float *reference() const { return privateArray<float>(m, 6); }
    float *accum() const { return privateArray<float>(m, 7); }
};

constexpr uint32_t kBlock = 32;

class MeasurementTest : public Measurements {
protected:
    MeasurementRig measurement(uint32_t channels, uint32_t length, uint32_t passes)
    {
        MeasurementRig r{nullptr, wire(channels, kBlock), wire(1, kBlock)};
        r.m = module(kMeasurement, 0x101, {r.in, r.out}, {length, passes, 0, 0, 0, 0});
        if (r.m != nullptr)
            for (uint32_t i = 0; i <= length; ++i)
                r.reference()[i] = static_cast<float>(i + 1);
        return r;
    }
};

TEST_F(MeasurementTest, PlaysKTimesRecordsKPlusOnePassesAndAverages)
{
    const struct {
        uint32_t channels, blocksPerPass, passes;
    } cases[] = {{2, 2, 2}, {1, 1, 1}, {2, 1, 3}, {3, 3, 2}};
    std::mt19937 rng(13);
    std::uniform_real_distribution<float> u(-1.0f, 1.0f);
    for (const auto &c : cases) {
        const uint32_t length = c.blocksPerPass * kBlock;
        MeasurementRig r = measurement(c.channels, length, c.passes);
        ASSERT_NE(r.m, nullptr);
        const uint32_t blockWords = c.channels * kBlock;
        for (int run = 0; run < 2; ++run) { // the second run overwrites the first in its pass 0
            r.state() = 1;
            std::vector<double> sum(c.channels * length, 0.0);
            const uint32_t blocks = (c.passes + 1) * c.blocksPerPass;
            for (uint32_t b = 0; b < blocks; ++b) {
                ASSERT_EQ(r.state(), 1) << "block " << b;
                for (uint32_t i = 0; i < blockWords; ++i) {
                    data(r.in)[i] = u(rng);
                    sum[(b % c.blocksPerPass) * blockWords + i] += data(r.in)[i];
                }
                pump(r.m);
                for (uint32_t i = 0; i < kBlock; ++i) {
                    const float played = b < c.passes * c.blocksPerPass ? r.reference()[(b * kBlock + i) % length] : 0;
                    ASSERT_EQ(data(r.out)[i], played) << "block " << b << " sample " << i;
                }
            }
            EXPECT_EQ(r.state(), 0) << "idle after the block that completes pass K";
            EXPECT_EQ(variable<int32_t>(r.m, 3), 0);
            EXPECT_EQ(variable<int32_t>(r.m, 4), 0);
            EXPECT_EQ(variable<int32_t>(r.m, 5), 0);
            for (size_t i = 0; i < sum.size(); ++i)
                ASSERT_NEAR(r.accum()[i], 0.5 / c.passes * sum[i], 1e-6) << "run " << run << " word " << i;
        }
        // Idle: silence out, the result kept.
        const float kept = r.accum()[0];
        std::fill_n(data(r.out), kBlock, 5.0f);
        pump(r.m);
        EXPECT_EQ(data(r.out)[kBlock - 1], 0.0f);
        EXPECT_EQ(r.accum()[0], kept);
    }
}

TEST_F(MeasurementTest, PassLengthsThatAreNotWholeBlocksAreRefused)
{
    const struct {
        int32_t length;
        int32_t status;
    } cases[] = {{0, KVE_E_BAD_ARGUMENT}, {-32, KVE_E_BAD_ARGUMENT}, {16, KVE_E_BAD_ARGUMENT},
                 {48, KVE_E_BAD_ARGUMENT}, {33, KVE_E_BAD_ARGUMENT}, {32, KVE_OK}, {96, KVE_OK}};
    for (const auto &c : cases)
        module(kMeasurement, 0x101, {wire(2, kBlock), wire(1, kBlock)},
               {static_cast<uint32_t>(c.length), 1, 0, 0, 0, 0}, c.status);
}

// What a host writes into the running state is held to what was built; each case starts a one-average run of two
// blocks per pass and counts the blocks until the module is idle again.
TEST_F(MeasurementTest, HostWrittenStateIsHeldToWhatWasBuilt)
{
    const struct {
        const char *what;
        uint32_t variable;
        int32_t value;
        uint32_t blocksToIdle;
        uint32_t firstPlayed; // reference index of the first sample played
    } cases[] = {
        {"a longer pass than built uses the one built", 0, 1 << 20, 4, 0},
        {"no averages play once", 1, 0, 4, 0},
        {"a negative average count plays once", 1, -3, 4, 0},
        {"a negative read position wraps into the reference", 3, -5, 4, 59},
        {"a read position past the reference wraps", 3, 64 + 7, 4, 7},
        {"a write position past the pass ends the pass", 4, 1 << 30, 3, 0},
        {"a negative write position starts the pass", 4, -100, 4, 0},
        {"a negative pass count starts from pass 0", 5, -3, 4, 0},
    };
    for (const auto &c : cases) {
        MeasurementRig r = measurement(1, 2 * kBlock, 1);
        ASSERT_NE(r.m, nullptr) << c.what;
        variable<int32_t>(r.m, c.variable) = c.value;
        r.state() = 1;
        std::fill_n(data(r.in), kBlock, 1.0f);
        uint32_t blocks = 0;
        while (r.state() == 1 && blocks < 100) {
            pump(r.m);
            if (blocks == 0) {
                EXPECT_EQ(data(r.out)[0], r.reference()[c.firstPlayed]) << c.what;
            }
            ++blocks;
        }
        EXPECT_EQ(blocks, c.blocksToIdle) << c.what;
        for (uint32_t i = 0; i < 2 * kBlock; ++i)
            ASSERT_TRUE(std::isfinite(r.accum()[i])) << c.what << " word " << i;
    }
}

// ---- ProbeFract32

TEST_F(Measurements, ProbeModesPassCaptureOrInjectChannelZero)
{
    const struct {
        const char *what;
        int32_t mode;
        bool passed, captured, injected;
    } cases[] = {
        {"pass-through", 0, true, false, false},
        {"pass-through and capture", 1, true, true, false},
        {"inject into channel 0 only", 2, false, false, true},
        {"another mode writes nothing", 7, false, false, false},
    };
    for (const auto &c : cases) {
        GenericWire *in = wire(2, 8);
        GenericWire *out = wire(2, 8);
        ClassModule *m = module(kProbe, 0x101, {in, out}, {static_cast<uint32_t>(c.mode)});
        ASSERT_NE(m, nullptr) << c.what;
        Fract32 *buffer = privateArray<Fract32>(m, 1);
        for (int32_t i = 0; i < 16; ++i) {
            data<int32_t>(in)[i] = INT32_MIN + i;
            data<int32_t>(out)[i] = 0x5555;
            buffer[i] = 1000 + i;
        }
        pump(m);
        for (int32_t i = 0; i < 16; ++i) {
            const bool channel0 = i % 2 == 0;
            const int32_t want = c.passed ? INT32_MIN + i : (c.injected && channel0 ? 1000 + i / 2 : 0x5555);
            EXPECT_EQ(data<int32_t>(out)[i], want) << c.what << " word " << i;
        }
        for (int32_t i = 0; i < 8; ++i)
            EXPECT_EQ(buffer[i], c.captured ? INT32_MIN + 2 * i : 1000 + i) << c.what << " sample " << i;
    }
}

} // namespace
