// The statistics that measure signals over time: block, per-channel and subblock statistics and the block median
// against numpy, their Fract32 forms bit-exact against an integer model, the running extremes and statistics over
// several blocks and their resets, the averagers' cumulative and exponential phases, the moving average, and the
// refusals and clamps of what a layout or host writes.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <random>
#include <string>
#include <vector>

#include "Modules/Advanced/Statistics.h"
#include "support/ModuleFixture.h"
#include "support/ModuleVariables.h"
#include "support/PythonOracle.h"
#include "support/TestEngine.h"

namespace {

using kvetest::bitsOf;
using kvetest::variable;

constexpr uint32_t kAverager = 0xBEEF0CC0u;
constexpr uint32_t kAveragerFract32 = 0xBEEF0CBFu;
constexpr uint32_t kMovingAverage = 0xBEEF0D11u;
constexpr uint32_t kRunningMinMax = 0xBEEF0D20u;
constexpr uint32_t kRunningMinMaxFract32 = 0xBEEF0D1Fu;
constexpr uint32_t kRunningStatistics = 0xBEEF0D22u;
constexpr uint32_t kRunningStatisticsFract32 = 0xBEEF0D21u;
constexpr uint32_t kBlockStatistics = 0xBEEF0CCBu;
constexpr uint32_t kBlockStatisticsFract32 = 0xBEEF0CCAu;
constexpr uint32_t kBlockStatisticsN = 0xBEEF0D59u;
constexpr uint32_t kSubblockStatistics = 0xBEEF0D3Cu;
constexpr uint32_t kSubblockStatisticsFract32 = 0xBEEF0D3Bu;
constexpr uint32_t kBlockMedian = 0xBEEF0CC9u;

const ModClassDescriptor *const kTable[] = {
    &kve_modAveragerClass.record,           &kve_modAveragerFract32Class.record,
    &kve_modMovingAverageFract32Class.record, &kve_modRunningMinMaxClass.record,
    &kve_modRunningMinMaxFract32Class.record, &kve_modRunningStatisticsClass.record,
    &kve_modRunningStatisticsFract32Class.record, &kve_modBlockStatisticsClass.record,
    &kve_modBlockStatisticsFract32Class.record, &kve_modBlockStatisticsNClass.record,
    &kve_modSubblockStatisticsClass.record, &kve_modSubblockStatisticsFract32Class.record,
    &kve_modBlockMedianClass.record,
};

// What the oracle prints for every group, in this order: the block statistics' codes 0 to 9, then the positions
// of the max, the min and the largest magnitude, then the median.
constexpr size_t kGroup = 14;
constexpr size_t kPositions = 10;
constexpr size_t kMedian = 13;

std::vector<double> oracle(const std::string &mode, uint32_t size, const std::vector<float> &x)
{
    std::vector<std::string> args = {mode, std::to_string(size)};
    for (float v : x)
        args.push_back(kvetest::oracleArg(v));
    return kvetest::runOracle("statistics_modules.py", args);
}

// Within single-precision accumulation of a few hundred samples.
void expectNear(double value, double reference, const std::string &what)
{
    EXPECT_NEAR(value, reference, 2e-5 * std::max(1.0, std::fabs(reference))) << what;
}

using kvetest::noise;

// Full-scale Fract32 noise with both ends of the range in it.
std::vector<Fract32> noiseFract32(size_t n, uint32_t seed)
{
    std::vector<Fract32> x = kvetest::noiseFract32(n, seed);
    x[1] = INT32_MIN;
    x[n / 2] = INT32_MAX;
    return x;
}

// ---- The integer model of the Fract32 statistics ----

Fract32 sat(int64_t v) { return static_cast<Fract32>(std::clamp<int64_t>(v, INT32_MIN, INT32_MAX)); }
Fract32 square(Fract32 x) { return sat((int64_t{x} * x) >> 31); }
Fract32 root(Fract32 v)
{
    Fract32 r = 0;
    kve_vecSqrtFract32(&v, 1, &r, 1, 1);
    return r;
}

Fract32 modelStatistic(int32_t code, const Fract32 *x, size_t n)
{
    int64_t sum = 0, squares = 0;
    Fract32 hi = x[0], lo = x[0], mag = 0;
    for (size_t i = 0; i < n; ++i) {
        sum += x[i];
        squares += square(x[i]);
        hi = std::max(hi, x[i]);
        lo = std::min(lo, x[i]);
        mag = std::max(mag, x[i] == INT32_MIN ? INT32_MAX : std::abs(x[i]));
    }
    const auto count = static_cast<int64_t>(n);
    const int64_t mean = sum / count;
    uint64_t spread = 0;
    for (size_t i = 0; i < n; ++i) {
        const auto d = static_cast<uint64_t>(std::llabs(x[i] - mean));
        spread += (d * d) >> 31;
    }
    const auto variance = static_cast<Fract32>(std::min<uint64_t>(spread / n, INT32_MAX));
    switch (code) {
    case 0: return hi;
    case 1: return lo;
    case 2: return mag;
    case 3: return sat(mean);
    case 4: return root(sat(squares / count));
    case 5: return root(variance);
    case 6: return variance;
    case 7: return sat(squares / count);
    case 8: return sat(sum);
    default: return sat(squares);
    }
}

class Statistics : public kvetest::ModuleFixture {
protected:
    void SetUp() override { useTable(kTable); }
};

// ---- Block, per-channel and subblock statistics ----

TEST_F(Statistics, BlockStatisticsOfEveryCodeMatchNumpyWithThePositionOfExtremes)
{
    GenericWire *in = engine_.wire(2, 32);
    GenericWire *value = engine_.wire(1, 1);
    GenericWire *position = engine_.wire(1, 1);
    const std::vector<float> x = noise(64, 7);
    fill(in, x);
    const std::vector<double> ref = oracle("runs", 64, x);
    ASSERT_EQ(ref.size(), kGroup);
    ClassModule *m = build(kBlockStatistics, 0x201, {in, value, position}, {0, 0});
    for (int32_t code = 0; code <= 9; ++code) {
        variable<int32_t>(m, 0) = code;
        pump(m);
        const std::string what = "code " + std::to_string(code);
        expectNear(variable<float>(m, 1), ref[static_cast<size_t>(code)], what);
        EXPECT_EQ(data<float>(value)[0], variable<float>(m, 1)) << what;
        const int32_t expected = code <= 2 ? static_cast<int32_t>(ref[kPositions + static_cast<size_t>(code)]) : -1;
        EXPECT_EQ(data<int32_t>(position)[0], expected) << what;
    }
}

TEST_F(Statistics, BlockStatisticsOfSmallBlocks)
{
    const struct {
        std::vector<float> x;
        int32_t code;
        float value;
        int32_t position;
    } cases[] = {
        {{1, 2, 3, 4}, 5, std::sqrt(1.25f), -1},
        {{1, -7, 3, -7}, 2, 7.0f, 1}, // ties keep the first position
        {{1, -7, 3, -7}, 1, -7.0f, 1},
        {{1, 2, 3, 4}, 9, 30.0f, -1},
        {{1, 2, 3, 4}, 8, 10.0f, -1},
    };
    for (const auto &c : cases) {
        GenericWire *in = engine_.wire(1, 4);
        GenericWire *value = engine_.wire(1, 1);
        GenericWire *position = engine_.wire(1, 1);
        fill(in, c.x);
        ClassModule *m = build(kBlockStatistics, 0x201, {in, value, position}, {static_cast<uint32_t>(c.code), 0});
        pump(m);
        EXPECT_FLOAT_EQ(data<float>(value)[0], c.value) << "code " << c.code;
        EXPECT_EQ(data<int32_t>(position)[0], c.position) << "code " << c.code;
    }
}

TEST_F(Statistics, CodesOutsideAClassColumnComputeNothing)
{
    const struct {
        uint32_t classId;
        int32_t code;
    } cases[] = {{kBlockStatistics, 10}, {kBlockStatistics, -1}, {kBlockStatisticsFract32, 8},
                 {kBlockStatisticsFract32, 9}};
    for (const auto &c : cases) {
        GenericWire *in = engine_.wire(1, 4);
        GenericWire *out = engine_.wire(1, 1);
        fill(in, std::vector<int32_t>{5, 6, 7, 8});
        data<uint32_t>(out)[0] = 0xA5A5A5A5u;
        ClassModule *m = build(c.classId, 0x101, {in, out}, {static_cast<uint32_t>(c.code), 0x1234});
        pump(m);
        EXPECT_EQ(variable<uint32_t>(m, 1), 0x1234u) << "code " << c.code;
        EXPECT_EQ(data<uint32_t>(out)[0], 0xA5A5A5A5u) << "code " << c.code;
    }
}

TEST_F(Statistics, BlockStatisticsPerChannelMatchNumpy)
{
    GenericWire *in = engine_.wire(3, 16);
    GenericWire *values = engine_.wire(3, 1);
    GenericWire *positions = engine_.wire(3, 1);
    const std::vector<float> x = noise(48, 11, 4.0f);
    fill(in, x);
    const std::vector<double> ref = oracle("channels", 3, x);
    ASSERT_EQ(ref.size(), 3 * kGroup);
    ClassModule *m = build(kBlockStatisticsN, 0x201, {in, values, positions}, {0});
    for (int32_t code = 0; code <= 9; ++code) {
        variable<int32_t>(m, 0) = code;
        pump(m);
        for (size_t c = 0; c < 3; ++c) {
            const std::string what = "code " + std::to_string(code) + " channel " + std::to_string(c);
            expectNear(data<float>(values)[c], ref[c * kGroup + static_cast<size_t>(code)], what);
            const int32_t expected =
                code <= 2 ? static_cast<int32_t>(ref[c * kGroup + kPositions + static_cast<size_t>(code)]) : -1;
            EXPECT_EQ(data<int32_t>(positions)[c], expected) << what;
        }
    }
}

TEST_F(Statistics, SubblockStatisticsOfEveryCodeMatchNumpyPerRunOfFrames)
{
    // Runs of 4 frames of 2 channels: 8 interleaved words each.
    GenericWire *in = engine_.wire(2, 32);
    GenericWire *out = engine_.wire(1, 8);
    const std::vector<float> x = noise(64, 13);
    fill(in, x);
    const std::vector<double> ref = oracle("runs", 8, x);
    ASSERT_EQ(ref.size(), 8 * kGroup);
    ClassModule *m = build(kSubblockStatistics, 0x101, {in, out}, {4, 0, 8});
    for (int32_t code = 0; code <= 9; ++code) {
        variable<int32_t>(m, 1) = code;
        pump(m);
        for (size_t j = 0; j < 8; ++j)
            expectNear(data<float>(out)[j], ref[j * kGroup + static_cast<size_t>(code)],
                       "code " + std::to_string(code) + " run " + std::to_string(j));
    }
}

TEST_F(Statistics, SubblockRunsAreHeldToWhatTheInputAndOutputHold)
{
    const struct {
        int32_t subblockLength, numSubblocks;
        uint32_t outWords, written;
    } cases[] = {
        {4, 100, 16, 8}, // the input holds 8 runs
        {4, 8, 3, 3},    // the output holds 3
        {5, 8, 16, 6},   // 64 words hold 6 runs of 10, the rest is left out
        {0, 8, 16, 0},
        {-2, 8, 16, 0},
        {4, -1, 16, 0},
        {1 << 30, 8, 16, 0},
    };
    for (const auto &c : cases) {
        GenericWire *in = engine_.wire(2, 32);
        GenericWire *out = engine_.wire(1, c.outWords);
        const std::vector<float> x = noise(64, 17);
        fill(in, x);
        std::fill_n(data<float>(out), c.outWords, -100.0f);
        ClassModule *m = build(kSubblockStatistics, 0x101, {in, out},
                               {static_cast<uint32_t>(c.subblockLength), 0, static_cast<uint32_t>(c.numSubblocks)});
        pump(m);
        const auto run = 2 * static_cast<size_t>(std::max(c.subblockLength, 0));
        for (uint32_t j = 0; j < c.outWords; ++j) {
            const float expected = j < c.written ? *std::max_element(x.begin() + j * run, x.begin() + (j + 1) * run)
                                                 : -100.0f;
            EXPECT_EQ(data<float>(out)[j], expected) << "length " << c.subblockLength << " word " << j;
        }
    }
}

TEST_F(Statistics, Fract32BlockAndSubblockStatisticsAreBitExact)
{
    GenericWire *in = engine_.wire(2, 32);
    GenericWire *value = engine_.wire(1, 1);
    GenericWire *runs = engine_.wire(1, 4);
    const std::vector<Fract32> x = noiseFract32(64, 19);
    fill(in, x);
    ClassModule *block = build(kBlockStatisticsFract32, 0x101, {in, value}, {0, 0});
    ClassModule *sub = build(kSubblockStatisticsFract32, 0x101, {in, runs}, {8, 0, 4});
    for (int32_t code = 0; code <= 9; ++code) {
        variable<int32_t>(block, 0) = code;
        variable<int32_t>(sub, 1) = code;
        pump(block);
        pump(sub);
        if (code <= 7) {
            EXPECT_EQ(data<Fract32>(value)[0], modelStatistic(code, x.data(), 64)) << "code " << code;
        }
        for (size_t j = 0; j < 4; ++j)
            EXPECT_EQ(data<Fract32>(runs)[j], modelStatistic(code, x.data() + 16 * j, 16))
                << "code " << code << " run " << j;
    }
}

// ---- Block median ----

TEST_F(Statistics, BlockMedianOfEveryChannelMatchesNumpy)
{
    for (uint32_t frames : {15u, 16u}) {
        GenericWire *in = engine_.wire(3, frames);
        GenericWire *out = engine_.wire(3, 1);
        GenericWire *scratch = engine_.wire(1, frames);
        const std::vector<float> x = noise(3 * frames, 23 + frames);
        fill(in, x);
        const std::vector<double> ref = oracle("channels", 3, x);
        ASSERT_EQ(ref.size(), 3 * kGroup);
        pump(build(kBlockMedian, 0x10101, {in, out, scratch}, {}));
        for (size_t c = 0; c < 3; ++c)
            EXPECT_FLOAT_EQ(data<float>(out)[c], static_cast<float>(ref[c * kGroup + kMedian]))
                << frames << " frames, channel " << c;
    }
}

TEST_F(Statistics, BlockMedianOfSmallBlocksAndItsRefusals)
{
    const struct {
        std::vector<float> x;
        float median;
    } cases[] = {{{5, 1, 3, 2}, 2.5f}, {{5, 1, 3}, 3.0f}, {{-2}, -2.0f}, {{3e38f, 3e38f}, 3e38f}};
    for (const auto &c : cases) {
        const auto n = static_cast<uint32_t>(c.x.size());
        GenericWire *in = engine_.wire(1, n);
        GenericWire *out = engine_.wire(1, 1);
        fill(in, c.x);
        pump(build(kBlockMedian, 0x10101, {in, out, engine_.wire(1, n)}, {}));
        EXPECT_EQ(data<float>(out)[0], c.median) << n << " samples";
    }
    GenericWire *in = engine_.wire(2, 16);
    GenericWire *out = engine_.wire(2, 1);
    int32_t status = KVE_OK;
    EXPECT_EQ(build(kBlockMedian, 0x101, {in, out}, {}, &status), nullptr);
    EXPECT_EQ(status, KVE_E_BAD_ARGUMENT) << "no scratch wire";
    status = KVE_OK;
    EXPECT_EQ(build(kBlockMedian, 0x10101, {in, out, engine_.wire(1, 15)}, {}, &status), nullptr);
    EXPECT_EQ(status, KVE_E_BAD_ARGUMENT) << "a scratch wire shorter than a channel's block";
}

// ---- Running extremes ----

template <class T> struct ExtremeStep {
    int32_t reset;
    std::vector<T> block;
    T value;
};

template <class T> struct ExtremeCase {
    int32_t code;
    T start;
    std::vector<ExtremeStep<T>> steps;
};

TEST_F(Statistics, RunningExtremesAccumulateUntilAReset)
{
    const std::vector<ExtremeCase<float>> cases = {
        {0, 0.0f, {{1, {1, 5, -2, 0}, 5}, {0, {3, 4, 2, 1}, 5}, {0, {3, 6, 2, 1}, 6}, {1, {-1, -2, -3, -4}, -1}}},
        // A reset takes the block's minimum even where it is larger than the stored value.
        {1, -50.0f, {{1, {3, 4, 2, 9}, 2}, {0, {3, 4, 2.5f, 9}, 2}, {0, {3, -4, 2, 9}, -4}}},
        {2, 0.0f, {{0, {1, -8, 2, 0}, 8}, {0, {7, 0, 0, 0}, 8}, {1, {7, 0, 0, 0}, 7}}},
        {3, 42.0f, {{1, {1, 2, 3, 4}, 42}}},
    };
    for (const auto &c : cases) {
        GenericWire *in = engine_.wire(1, 4);
        GenericWire *out = engine_.wire(1, 1);
        ClassModule *m = build(kRunningMinMax, 0x101, {in, out}, {static_cast<uint32_t>(c.code), bitsOf(c.start), 0});
        for (size_t k = 0; k < c.steps.size(); ++k) {
            variable<int32_t>(m, 2) = c.steps[k].reset;
            fill(in, c.steps[k].block);
            pump(m);
            EXPECT_EQ(variable<float>(m, 1), c.steps[k].value) << "code " << c.code << " block " << k;
            EXPECT_EQ(data<float>(out)[0], c.steps[k].value) << "code " << c.code << " block " << k;
            EXPECT_EQ(variable<int32_t>(m, 2), c.code <= 2 ? 0 : c.steps[k].reset);
        }
    }
}

TEST_F(Statistics, Fract32RunningExtremesCompareAsSignedWords)
{
    const std::vector<ExtremeCase<Fract32>> cases = {
        {0, 0, {{1, {INT32_MIN, -5, -7, -1}, -1}, {0, {INT32_MAX, 0, 0, 0}, INT32_MAX}}},
        {1, 0, {{1, {7, 9, 8, 6}, 6}, {0, {INT32_MIN, 0, 0, 0}, INT32_MIN}, {0, {-3, 0, 0, 0}, INT32_MIN}}},
        // The magnitude of -1.0 is the largest Fract32 there is.
        {2, 0, {{0, {5, INT32_MIN, -6, 0}, INT32_MAX}}},
    };
    for (const auto &c : cases) {
        GenericWire *in = engine_.wire(1, 4);
        ClassModule *m = build(kRunningMinMaxFract32, 0x1, {in}, {static_cast<uint32_t>(c.code), 0, 0});
        for (size_t k = 0; k < c.steps.size(); ++k) {
            variable<int32_t>(m, 2) = c.steps[k].reset;
            fill(in, c.steps[k].block);
            pump(m);
            EXPECT_EQ(variable<Fract32>(m, 1), c.steps[k].value) << "code " << c.code << " block " << k;
        }
    }
}

// ---- Running statistics ----

TEST_F(Statistics, RunningStatisticsOverEqualBlocksMatchNumpyOverAllSamples)
{
    // The float codes name: max, min, largest magnitude, sum, mean, RMS, standard deviation, variance, mean energy.
    constexpr size_t kOracleIndex[] = {0, 1, 2, 8, 3, 4, 5, 6, 7};
    const std::vector<float> x = noise(4 * 64, 29, 2.0f);
    const std::vector<double> ref = oracle("runs", 256, x);
    ASSERT_EQ(ref.size(), kGroup);
    for (int32_t code = 0; code <= 8; ++code) {
        GenericWire *in = engine_.wire(2, 32);
        GenericWire *out = engine_.wire(1, 1);
        // Construction runs Set with every bit, so the first block starts a fresh accumulation.
        ClassModule *m = build(kRunningStatistics, 0x101, {in, out}, {static_cast<uint32_t>(code), 0, 0, 0, 0, 0});
        for (size_t b = 0; b < 4; ++b) {
            fill(in, x, 64 * b);
            pump(m);
        }
        expectNear(variable<float>(m, 1), ref[kOracleIndex[code]], "code " + std::to_string(code));
        EXPECT_EQ(data<float>(out)[0], variable<float>(m, 1));
    }
}

TEST_F(Statistics, RunningMeansWeighEveryBlockTheSameWhateverItsLength)
{
    const struct {
        int32_t code;
        float value;
    } cases[] = {{4, 2.0f}, {5, std::sqrt(5.0f)}, {8, 5.0f}};
    for (const auto &c : cases) {
        GenericWire *in = engine_.wire(2, 32);
        ClassModule *m = build(kRunningStatistics, 0x1, {in}, {static_cast<uint32_t>(c.code), 0, 0, 0, 0, 0});
        std::fill_n(data<float>(in), 64, 1.0f);
        pump(m);
        // The same wire carrying a block of 2 frames.
        in->info2 = (in->info2 & ~0x1FFFFu) | 2u;
        std::fill_n(data<float>(in), 4, 3.0f);
        pump(m);
        EXPECT_FLOAT_EQ(variable<float>(m, 1), c.value) << "code " << c.code;
        EXPECT_EQ(variable<int32_t>(m, 4), 2);
    }
}

TEST_F(Statistics, RunningSpreadOfSingleSamplesStartsAtZero)
{
    const struct {
        int32_t code;
        uint32_t classId;
    } cases[] = {{6, kRunningStatistics}, {7, kRunningStatistics}, {5, kRunningStatisticsFract32},
                 {6, kRunningStatisticsFract32}};
    for (const auto &c : cases) {
        GenericWire *in = engine_.wire(1, 1);
        ClassModule *m = build(c.classId, 0x1, {in}, {static_cast<uint32_t>(c.code), 0, 0, 0, 0, 0});
        const bool fract = c.classId == kRunningStatisticsFract32;
        data<uint32_t>(in)[0] = fract ? 0x20000000u : bitsOf(0.25f);
        pump(m);
        EXPECT_EQ(variable<uint32_t>(m, 1), 0u) << "code " << c.code;
        // A second sample of 0.75: the spread of (0.25, 0.75) is a variance of 1/16, a deviation of 1/4.
        data<uint32_t>(in)[0] = fract ? 0x60000000u : bitsOf(0.75f);
        pump(m);
        const bool deviation = c.code == (fract ? 5 : 6);
        // The Fract32 root is good to about 2^-18 of its value.
        if (fract)
            EXPECT_NEAR(variable<Fract32>(m, 1), deviation ? 0x20000000 : 0x08000000, 0x2000) << "code " << c.code;
        else
            EXPECT_FLOAT_EQ(variable<float>(m, 1), deviation ? 0.25f : 0.0625f) << "code " << c.code;
    }
}

TEST_F(Statistics, OnlyANewStatisticStartsANewAccumulation)
{
    GenericWire *in = engine_.wire(1, 4);
    ClassModule *m = build(kRunningStatistics, 0x1, {in}, {4, 0, 0, 0, 0, 0});
    fill(in, std::vector<float>{1, 1, 1, 1});
    pump(m);
    EXPECT_EQ(ClassModule_Set(m, 1u << 9), 0);
    EXPECT_EQ(variable<int32_t>(m, 5), 0) << "a write of `value` keeps the accumulation";
    fill(in, std::vector<float>{3, 3, 3, 3});
    pump(m);
    EXPECT_FLOAT_EQ(variable<float>(m, 1), 2.0f);
    EXPECT_EQ(ClassModule_Set(m, 1u << 8), 0);
    EXPECT_EQ(variable<int32_t>(m, 5), 1);
    pump(m);
    EXPECT_FLOAT_EQ(variable<float>(m, 1), 3.0f);
    EXPECT_EQ(variable<int32_t>(m, 4), 1);
}

TEST_F(Statistics, HostWrittenBlockCountsAreHeld)
{
    const struct {
        int32_t count, after;
    } cases[] = {{-5, 1}, {INT32_MAX, INT32_MAX}, {INT32_MAX - 1, INT32_MAX}};
    for (const auto &c : cases) {
        GenericWire *in = engine_.wire(1, 4);
        ClassModule *m = build(kRunningStatistics, 0x1, {in}, {4, 0, 0, 0, 0, 0});
        fill(in, std::vector<float>{2, 2, 2, 2});
        pump(m);
        variable<int32_t>(m, 4) = c.count;
        pump(m);
        EXPECT_EQ(variable<int32_t>(m, 4), c.after) << "count " << c.count;
        EXPECT_FLOAT_EQ(variable<float>(m, 1), 2.0f) << "count " << c.count;
    }
}

// The running Fract32 statistics as integers: 64-bit running means truncated, squares shifted by 31 and saturated.
struct RunningModel {
    int32_t code;
    Fract32 value = 0, mean = 0, energy = 0;
    int64_t count = 0;

    static Fract32 along(Fract32 old, Fract32 b, int64_t n) { return sat((n * old + b) / (n + 1)); }
    void block(const Fract32 *x, size_t n)
    {
        const bool fresh = count == 0;
        if (code <= 2) {
            const Fract32 b = modelStatistic(code, x, n);
            value = fresh ? b : code == 1 ? std::min(value, b) : std::max(value, b);
        } else if (code == 5 || code == 6) {
            mean = fresh ? modelStatistic(3, x, n) : along(mean, modelStatistic(3, x, n), count);
            energy = fresh ? modelStatistic(7, x, n) : along(energy, modelStatistic(7, x, n), count);
            const Fract32 variance = sat(std::max<int64_t>(0, int64_t{energy} - square(mean)));
            value = code == 5 ? root(variance) : variance;
        } else if (code == 4) {
            const Fract32 b = modelStatistic(4, x, n);
            value = fresh ? b : root(sat((count * square(value) + square(b)) / (count + 1)));
        } else {
            const Fract32 b = modelStatistic(code, x, n);
            value = fresh ? b : along(value, b, count);
        }
        ++count;
    }
};

TEST_F(Statistics, Fract32RunningStatisticsAreBitExact)
{
    const std::vector<Fract32> x = noiseFract32(5 * 64, 31);
    for (int32_t code = 0; code <= 7; ++code) {
        GenericWire *in = engine_.wire(2, 32);
        ClassModule *m = build(kRunningStatisticsFract32, 0x1, {in}, {static_cast<uint32_t>(code), 0, 0, 0, 0, 0});
        RunningModel model{code};
        for (size_t b = 0; b < 5; ++b) {
            fill(in, x, 64 * b);
            pump(m);
            model.block(x.data() + 64 * b, 64);
            EXPECT_EQ(variable<Fract32>(m, 1), model.value) << "code " << code << " block " << b;
        }
    }
}

// ---- Averagers ----

TEST_F(Statistics, AveragerIsTheExactRunningMeanThenAnExponentialAverage)
{
    // 10 ms at 48 kHz: 480 samples of cumulative mean, then a per-sample coefficient of 1 - exp(-1/480).
    GenericWire *in = engine_.wire(2, 32);
    GenericWire *out = engine_.wire(2, 32);
    ClassModule *m = build(kAverager, 0x101, {in, out}, {bitsOf(10.0f), 0, 0, 0, 2});
    EXPECT_EQ(variable<int32_t>(m, 3), 480);
    const double c = 1.0 - std::exp(-1.0 / 480.0);
    const std::vector<float> x = noise(2 * 640, 37);
    double sums[2] = {0, 0}, avg[2] = {0, 0};
    for (size_t b = 0; b < 20; ++b) {
        fill(in, x, 64 * b);
        pump(m);
        for (size_t k = 0; k < 64; ++k) {
            const size_t frame = 32 * b + k / 2, ch = k % 2;
            const double v = x[64 * b + k];
            sums[ch] += v;
            avg[ch] = frame < 480 ? sums[ch] / static_cast<double>(frame + 1) : avg[ch] * (1.0 - c) + c * v;
            EXPECT_NEAR(data<float>(out)[k], avg[ch], 2e-6) << "frame " << frame << " channel " << ch;
        }
    }
    EXPECT_EQ(variable<int32_t>(m, 2), 480);
}

TEST_F(Statistics, AveragerControlInputRestartsTheCumulativeMean)
{
    GenericWire *control = engine_.wire(1, 1);
    GenericWire *in = engine_.wire(2, 32);
    GenericWire *out = engine_.wire(2, 32);
    ClassModule *m = build(kAverager, 0x102, {control, in, out}, {bitsOf(10.0f), 0, 0, 0, 2});
    const std::vector<float> x = noise(64 * 4, 41);
    for (size_t b = 0; b < 3; ++b) {
        fill(in, x, 64 * b);
        pump(m);
    }
    EXPECT_EQ(variable<int32_t>(m, 2), 96);
    data<float>(control)[0] = 1.0f;
    fill(in, x, 192);
    pump(m);
    EXPECT_EQ(data<float>(out)[0], x[192]);
    EXPECT_EQ(data<float>(out)[1], x[193]);
    EXPECT_FLOAT_EQ(data<float>(out)[2], (x[192] + x[194]) / 2);
    EXPECT_EQ(variable<int32_t>(m, 2), 32);

    // Bypassed, the data input (not the control) reaches the output.
    kve_fwSetModuleState(m, 1);
    pump(m);
    EXPECT_TRUE(std::equal(x.begin() + 192, x.end(), data<float>(out)));
}

TEST_F(Statistics, AveragersRefuseFewerAveragesThanDataChannels)
{
    const struct {
        uint32_t classId, wireWord, numChannels;
        bool built;
    } cases[] = {
        {kAverager, 0x101, 1, false},        {kAverager, 0x101, 2, true},
        {kAverager, 0x102, 1, false},        {kAverager, 0x102, 3, true},
        {kAveragerFract32, 0x101, 0, false}, {kAveragerFract32, 0x101, 0xFFFFFFFFu, false},
    };
    for (const auto &c : cases) {
        GenericWire *control = engine_.wire(1, 1);
        GenericWire *in = engine_.wire(2, 8);
        GenericWire *out = engine_.wire(2, 8);
        int32_t status = KVE_OK;
        ClassModule *m = c.wireWord == 0x102
                             ? build(c.classId, c.wireWord, {control, in, out}, {0, 0, 0, 0, c.numChannels}, &status)
                             : build(c.classId, c.wireWord, {in, out}, {0, 0, 0, 0, c.numChannels}, &status);
        EXPECT_EQ(m != nullptr, c.built) << "numChannels " << c.numChannels;
        EXPECT_EQ(status, c.built ? KVE_OK : KVE_E_BAD_ARGUMENT) << "numChannels " << c.numChannels;
    }
}

// The Fract32 averager as integers: r = 1/(n + 1) converted from float with rounding, products shifted by 31 and
// saturated, sums saturated.
Fract32 toFract32(float v)
{
    return v >= 1.0f ? INT32_MAX : static_cast<Fract32>(std::round(double{v} * 2147483648.0));
}
Fract32 mul(int64_t a, int64_t b) { return sat((a * b) >> 31); }

TEST_F(Statistics, Fract32AveragerIsBitExactThroughBothPhases)
{
    // 1 ms at 48 kHz: 48 samples of cumulative mean, then the exponential average.
    GenericWire *in = engine_.wire(1, 32);
    GenericWire *out = engine_.wire(1, 32);
    ClassModule *m = build(kAveragerFract32, 0x101, {in, out}, {bitsOf(1.0f), 0, 0, 0, 1});
    const Fract32 c = variable<Fract32>(m, 1);
    EXPECT_EQ(c, toFract32(design_smoother(1, 1.0f, 48000.0f)));
    EXPECT_EQ(variable<int32_t>(m, 3), 48);
    const std::vector<Fract32> x = noiseFract32(32 * 4, 43);
    Fract32 avg = 0;
    for (size_t b = 0; b < 4; ++b) {
        fill(in, x, 32 * b);
        pump(m);
        for (size_t k = 0; k < 32; ++k) {
            const size_t n = 32 * b + k;
            const Fract32 xi = x[n];
            if (n < 48) {
                const int64_t r = toFract32(1.0f / static_cast<float>(n + 1));
                avg = sat(int64_t{mul(xi, r)} + mul(static_cast<int64_t>(n) * r, avg));
            } else {
                avg = sat(int64_t{mul(c, xi)} + mul(int64_t{INT32_MAX} - c, avg));
            }
            ASSERT_EQ(data<Fract32>(out)[k], avg) << "sample " << n;
        }
    }
}

// ---- Moving average ----

TEST_F(Statistics, MovingAverageSettlesOnAConstantAfterItsLength)
{
    GenericWire *in = engine_.wire(1, 8);
    GenericWire *out = engine_.wire(1, 8);
    ClassModule *m = build(kMovingAverage, 0x101, {in, out}, {7, 4, 0, 0});
    EXPECT_EQ(variable<Fract32>(m, 3), 0x20000000);
    std::fill_n(data<Fract32>(in), 8, 0x40000000);
    pump(m);
    const Fract32 expected[] = {0x10000000, 0x20000000, 0x30000000, 0x40000000,
                                0x40000000, 0x40000000, 0x40000000, 0x40000000};
    EXPECT_TRUE(std::equal(std::begin(expected), std::end(expected), data<Fract32>(out)));
}

TEST_F(Statistics, MovingAverageIsTheWrappedSumOfTheLastSamplesAcrossBlocks)
{
    // length written, maxLength, and the averaging length used: held to 1 .. maxLength + 1.
    const struct {
        int32_t length, maxLength, used;
    } cases[] = {{5, 7, 5}, {8, 7, 8}, {100, 7, 8}, {0, 7, 1}, {-3, 7, 1}, {3, 0, 1}, {1, 3, 1}};
    for (const auto &c : cases) {
        GenericWire *in = engine_.wire(2, 4);
        GenericWire *out = engine_.wire(2, 4);
        ClassModule *m = build(kMovingAverage, 0x101, {in, out},
                               {static_cast<uint32_t>(c.maxLength), static_cast<uint32_t>(c.length), 0, 0});
        const Fract32 recip = variable<Fract32>(m, 3);
        EXPECT_EQ(recip, toFract32(1.0f / static_cast<float>(c.used))) << "length " << c.length;
        const std::vector<Fract32> x = noiseFract32(8 * 6, 47);
        for (size_t b = 0; b < 6; ++b) {
            fill(in, x, 8 * b);
            pump(m);
            for (size_t k = 0; k < 8; ++k) {
                const size_t frame = 4 * b + k / 2;
                uint32_t sum = 0;
                for (size_t back = 0; back < static_cast<size_t>(c.used) && back <= frame; ++back)
                    sum += static_cast<uint32_t>(
                        std::min<int64_t>((int64_t{x[2 * (frame - back) + k % 2]} * recip) >> 31, INT32_MAX));
                ASSERT_EQ(data<Fract32>(out)[k], static_cast<Fract32>(sum))
                    << "length " << c.length << " frame " << frame << " channel " << k % 2;
            }
        }
    }
}

TEST_F(Statistics, MovingAverageSetStartsFromSilenceAndStateIndexIsWrapped)
{
    GenericWire *in = engine_.wire(1, 4);
    GenericWire *out = engine_.wire(1, 4);
    ClassModule *m = build(kMovingAverage, 0x101, {in, out}, {3, 4, 0, 0});
    std::fill_n(data<Fract32>(in), 4, 0x40000000);
    pump(m);
    // A new length with the old samples still in the line: the sums and the line restart together.
    variable<int32_t>(m, 1) = 2;
    EXPECT_EQ(ClassModule_Set(m, KVE_MASK_ALL), 0);
    for (int32_t index : {0, 2, 4000, -7}) {
        variable<int32_t>(m, 2) = index;
        EXPECT_EQ(ClassModule_Set(m, KVE_MASK_ALL), 0);
        pump(m);
        const Fract32 expected[] = {0x20000000, 0x40000000, 0x40000000, 0x40000000};
        EXPECT_TRUE(std::equal(std::begin(expected), std::end(expected), data<Fract32>(out))) << "index " << index;
        EXPECT_GE(variable<int32_t>(m, 2), 0);
        EXPECT_LT(variable<int32_t>(m, 2), 4);
    }
    int32_t status = KVE_OK;
    EXPECT_EQ(build(kMovingAverage, 0x101, {in, out}, {0xFFFFFFFFu, 1, 0, 0}, &status), nullptr);
    EXPECT_EQ(status, KVE_E_BAD_ARGUMENT);
}

} // namespace
