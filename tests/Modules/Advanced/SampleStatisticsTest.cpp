// Statistics across the channels of every frame: every float statistic and the Fract32 extremes against numpy on
// random frames, then the cases that pin the rules down: ties, NaN, saturated magnitudes, one channel, a missing
// index output and types a form does not serve.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <limits>
#include <random>
#include <string>
#include <vector>

#include "Modules/Advanced/SampleStatistics.h"
#include "support/PythonOracle.h"
#include "support/TestEngine.h"

namespace {

constexpr uint32_t kFloat = 0xBEEF0D28u;
constexpr uint32_t kFract32 = 0xBEEF0D27u;
const ModClassDescriptor *const kTable[] = {&kve_modSampleStatisticsClass.record,
                                            &kve_modSampleStatisticsFract32Class.record};

// The column of stats_reference.py's per-group row that each statistic type reads, and for types 0 to 3 the column
// of the first position holding it.
constexpr int kValueColumn[] = {7, 9, 11, 13, 2, 4, 6, 5, 3, 0, 1};
constexpr int kStatsColumns = 15;

class SampleStatistics : public ::testing::Test {
protected:
    void SetUp() override
    {
        engine_->classTable = kTable;
        engine_->classCount = 2;
    }

    // A module of `classId` and `type` reducing `channels` x `frames`; the index output is wired when asked.
    struct Rig {
        ClassModule *m;
        GenericWire *in, *out, *index;
    };
    Rig rig(uint32_t classId, int32_t type, uint32_t channels, uint32_t frames, bool withIndex = true)
    {
        Rig r{nullptr, engine_.wire(channels, frames), engine_.wire(1, frames),
              withIndex ? engine_.wire(1, frames) : nullptr};
        // The Fract32 form has a second public word that it stores and never reads.
        const std::vector<uint32_t> args = classId == kFloat ? std::vector<uint32_t>{static_cast<uint32_t>(type)}
                                                             : std::vector<uint32_t>{static_cast<uint32_t>(type), 0};
        std::vector<GenericWire *> wires = {r.in, r.out};
        if (withIndex)
            wires.push_back(r.index);
        int32_t status = KVE_OK;
        r.m = ClassModule_Constructor3(engine_.get(), classId, &status, withIndex ? 0x201u : 0x101u, wires.data(),
                                       static_cast<uint32_t>(args.size()), args.data());
        EXPECT_EQ(status, KVE_OK);
        return r;
    }
    void pump(ClassModule *m) { ASSERT_EQ(kve_fwPumpModule(engine_.get(), m), KVE_OK); }
    template <class T> static T *data(GenericWire *w) { return static_cast<T *>(w->buffer); }

    kvetest::TestEngine engine_;
};

// numpy's statistics of every frame of an interleaved block, through stats_reference.py.
std::vector<double> frameStats(const std::vector<double> &x, uint32_t channels)
{
    std::vector<std::string> args = {"stats"};
    for (size_t n = 0; n < x.size(); n += channels) {
        args.push_back(std::to_string(channels));
        for (uint32_t c = 0; c < channels; ++c)
            args.push_back(kvetest::oracleArg(x[n + c]));
    }
    return kvetest::runOracle("stats_reference.py", args);
}

TEST_F(SampleStatistics, EveryFloatStatisticMatchesNumpyOnRandomFrames)
{
    constexpr uint32_t kChannels = 5;
    constexpr uint32_t kFrames = 37; // four-lane groups and a tail
    std::mt19937 rng(7);
    std::uniform_real_distribution<float> u(-1.0f, 1.0f);
    std::vector<float> x(kChannels * kFrames);
    for (float &v : x)
        v = u(rng) + 0.25f; // an offset, so the deviation is not the RMS
    const std::vector<double> ref = frameStats(std::vector<double>(x.begin(), x.end()), kChannels);
    ASSERT_EQ(ref.size(), size_t{kStatsColumns * kFrames});
    for (int32_t type = 0; type <= 10; ++type) {
        Rig r = rig(kFloat, type, kChannels, kFrames);
        ASSERT_NE(r.m, nullptr);
        std::copy(x.begin(), x.end(), data<float>(r.in));
        pump(r.m);
        for (uint32_t n = 0; n < kFrames; ++n) {
            const double want = ref[n * kStatsColumns + kValueColumn[type]];
            EXPECT_NEAR(data<float>(r.out)[n], want, 2e-6 * (1.0 + std::fabs(want)))
                << "type " << type << " frame " << n;
            const double index = type <= 3 ? ref[n * kStatsColumns + kValueColumn[type] + 1] : 0.0;
            EXPECT_EQ(data<int32_t>(r.index)[n], index) << "type " << type << " frame " << n;
        }
    }
}

TEST_F(SampleStatistics, Fract32ExtremesMatchNumpyExactly)
{
    constexpr uint32_t kChannels = 4;
    constexpr uint32_t kFrames = 32;
    std::mt19937 rng(11);
    std::uniform_int_distribution<int32_t> u(INT32_MIN + 1, INT32_MAX);
    std::vector<int32_t> x(kChannels * kFrames);
    for (int32_t &v : x)
        v = u(rng);
    const std::vector<double> ref = frameStats(std::vector<double>(x.begin(), x.end()), kChannels);
    ASSERT_EQ(ref.size(), size_t{kStatsColumns * kFrames});
    for (int32_t type = 0; type <= 3; ++type) {
        Rig r = rig(kFract32, type, kChannels, kFrames);
        ASSERT_NE(r.m, nullptr);
        std::copy(x.begin(), x.end(), data<int32_t>(r.in));
        pump(r.m);
        for (uint32_t n = 0; n < kFrames; ++n) {
            EXPECT_EQ(data<int32_t>(r.out)[n], ref[n * kStatsColumns + kValueColumn[type]]) << type << " " << n;
            EXPECT_EQ(data<int32_t>(r.index)[n], ref[n * kStatsColumns + kValueColumn[type] + 1]) << type << " " << n;
        }
    }
}

TEST_F(SampleStatistics, FloatFramesFollowTheTieNanAndSingleChannelRules)
{
    const float nan = std::numeric_limits<float>::quiet_NaN();
    const struct {
        const char *what;
        int32_t type;
        std::vector<float> frame;
        float value;
        int32_t index;
    } cases[] = {
        {"a tied maximum names the first channel holding it", 0, {1, 3, 3}, 3, 1},
        {"a tied minimum names the first channel holding it", 1, {2, -1, -1}, -1, 1},
        {"the smallest magnitude keeps its channel", 3, {-2, 1, -1}, 1, 1},
        {"the largest magnitude is positive", 2, {0.5f, -4, 4}, 4, 1},
        {"a NaN never becomes the maximum", 0, {1, nan, 0.5f}, 1, 0},
        {"a NaN never becomes the minimum", 1, {1, nan, 0.5f}, 0.5f, 2},
        {"one channel is its own maximum", 0, {-2}, -2, 0},
        {"one channel's magnitude is its own smallest", 3, {-2}, 2, 0},
        {"the population variance", 7, {1, 2, 3, 4}, 1.25f, 0},
        {"the population deviation", 6, {1, 2, 3, 4}, std::sqrt(1.25f), 0},
        {"RMS is the root of the mean energy", 5, {3, 4}, std::sqrt(12.5f), 0},
        {"the mean energy", 8, {3, 4}, 12.5f, 0},
    };
    for (const auto &c : cases) {
        const auto channels = static_cast<uint32_t>(c.frame.size());
        Rig r = rig(kFloat, c.type, channels, 8);
        ASSERT_NE(r.m, nullptr) << c.what;
        for (uint32_t n = 0; n < 8; ++n)
            std::copy(c.frame.begin(), c.frame.end(), data<float>(r.in) + n * channels);
        std::fill_n(data<int32_t>(r.index), 8, -7);
        pump(r.m);
        for (uint32_t n = 0; n < 8; ++n) {
            EXPECT_FLOAT_EQ(data<float>(r.out)[n], c.value) << c.what << ", frame " << n;
            EXPECT_EQ(data<int32_t>(r.index)[n], c.index) << c.what << ", frame " << n;
        }
    }
}

TEST_F(SampleStatistics, Fract32MagnitudesSaturateAndTiesKeepTheLowerChannel)
{
    const struct {
        const char *what;
        int32_t type;
        std::vector<int32_t> frame;
        int32_t value;
        int32_t index;
    } cases[] = {
        {"-1.0 has the largest magnitude, saturated", 2, {5, INT32_MIN, INT32_MAX}, INT32_MAX, 1},
        {"-1.0 is the smallest value", 1, {0, INT32_MAX, INT32_MIN}, INT32_MIN, 2},
        {"a tied maximum names the first channel", 0, {1, 3, 3}, 3, 1},
        {"the smallest magnitude", 3, {-2, 1, -1}, 1, 1},
    };
    for (const auto &c : cases) {
        const auto channels = static_cast<uint32_t>(c.frame.size());
        Rig r = rig(kFract32, c.type, channels, 4);
        ASSERT_NE(r.m, nullptr) << c.what;
        for (uint32_t n = 0; n < 4; ++n)
            std::copy(c.frame.begin(), c.frame.end(), data<int32_t>(r.in) + n * channels);
        pump(r.m);
        EXPECT_EQ(data<int32_t>(r.out)[3], c.value) << c.what;
        EXPECT_EQ(data<int32_t>(r.index)[3], c.index) << c.what;
    }
}

// Types a form does not serve leave output 0 as it was and output 1 zero; without output 1 no index is written
// anywhere.
TEST_F(SampleStatistics, UnservedTypesAndAMissingIndexOutputWriteOnlyWhatTheyShould)
{
    const struct {
        const char *what;
        uint32_t classId;
        int32_t type;
    } cases[] = {
        {"the Fract32 form has no mean", kFract32, 4},
        {"the Fract32 form has no type 11", kFract32, 11},
        {"the float form has no type 11", kFloat, 11},
        {"the float form has no negative type", kFloat, -1},
    };
    for (const auto &c : cases) {
        Rig r = rig(c.classId, c.type, 2, 8);
        ASSERT_NE(r.m, nullptr) << c.what;
        std::fill_n(data<int32_t>(r.in), 16, 0x1234);
        std::fill_n(data<int32_t>(r.out), 8, 77);
        std::fill_n(data<int32_t>(r.index), 8, 5);
        pump(r.m);
        for (uint32_t n = 0; n < 8; ++n) {
            EXPECT_EQ(data<int32_t>(r.out)[n], 77) << c.what;
            EXPECT_EQ(data<int32_t>(r.index)[n], 0) << c.what;
        }
    }
    // One output wire: the maximum lands in output 0 and no index is written.
    Rig r = rig(kFloat, 0, 3, 8, false);
    ASSERT_NE(r.m, nullptr);
    for (uint32_t n = 0; n < 8; ++n) {
        data<float>(r.in)[3 * n] = 0;
        data<float>(r.in)[3 * n + 1] = 0;
        data<float>(r.in)[3 * n + 2] = static_cast<float>(n);
    }
    pump(r.m);
    for (uint32_t n = 0; n < 8; ++n)
        EXPECT_EQ(data<float>(r.out)[n], static_cast<float>(n));
}

// Outputs shorter than the input's block take the frames they hold (the sanitizer build sees any overrun).
TEST_F(SampleStatistics, ShortOutputsAreFilledNeverOverrun)
{
    GenericWire *in = engine_.wire(2, 16);
    GenericWire *out = engine_.wire(1, 4);
    GenericWire *index = engine_.wire(1, 6);
    int32_t status = KVE_OK;
    ClassModule *m = engine_.module(kFloat, 0x201, {in, out, index}, {7}, &status);
    ASSERT_NE(m, nullptr);
    for (uint32_t k = 0; k < 32; ++k)
        data<float>(in)[k] = static_cast<float>(k % 3);
    pump(m);
    const float variances[] = {0.25f, 1.0f, 0.25f, 0.25f}; // frames (0, 1), (2, 0), (1, 2), (0, 1)
    for (uint32_t n = 0; n < 4; ++n)
        EXPECT_FLOAT_EQ(data<float>(out)[n], variances[n]) << n;
}

} // namespace
