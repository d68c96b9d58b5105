// Clipping, saturation and stuck samples on recordings built to hold known runs; activity endpoints of a tone burst;
// non-zero bounds; the noise tail a recording is padded with.
#include "Recognizer/Runtime/ContainerTypes.h"

#include <kve/kve_recognizer_runtime.h>

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>
#include <memory>
#include <random>
#include <set>
#include <string>
#include <vector>

namespace {

constexpr float kRate = 16000.0f;
constexpr float kFrameMs = 10.0f; // 160 samples at 16 kHz
const waveQualityConfig kAudioCheck = {0.88f, 0.02f, 1.0f, 32000, 0};

// Quiet noise of -50..50 (no two neighbours alike) with runs of one value written over it.
struct HeldRun {
    size_t at, length;
    int16_t value;
};
std::vector<int16_t> quietWithRuns(size_t count, std::vector<HeldRun> runs)
{
    std::vector<int16_t> x(count);
    for (size_t i = 0; i < count; ++i)
        x[i] = static_cast<int16_t>((i * 37) % 101 - 50);
    for (const HeldRun &r : runs)
        for (size_t i = r.at; i < r.at + r.length; ++i)
            x[i] = r.value;
    return x;
}

struct Freed {
    void operator()(void *block) const { dbFree(block); }
};

} // namespace

TEST(RecognizerWaveQuality, ClippedAndSaturatedRunsAreCountedInSamplesAndFrames)
{
    struct Case {
        const char *name;
        std::vector<HeldRun> runs;
        uint32_t clipped, saturated;
        float frames;
    };
    // 1600 samples: frames 0..9. A run at 31000 is saturated from its fourth sample on, once the three before it
    // are the run's own.
    const Case cases[] = {
        {"flat 32767 clipped, not saturated", {{100, 400, 32767}}, 400, 0, 4},
        {"flat -32768 clipped", {{700, 20, -32768}}, 20, 0, 1},
        {"flat 32000 neither: at the clip level", {{100, 400, 32000}}, 0, 0, 0},
        {"flat 31000 saturated against its own peak", {{100, 400, 31000}}, 0, 397, 4},
        {"flat 31000 saturated beside a clipped peak", {{100, 400, 31000}, {1000, 5, 32767}}, 5, 397, 5},
        {"three at 31000 have no flat past", {{100, 3, 31000}}, 0, 0, 0},
        {"flat 20000 below the peak factor", {{100, 400, 20000}, {1000, 1, 31000}}, 0, 0, 0},
        {"both in one frame count it twice", {{100, 20, 31000}, {130, 2, 32767}}, 2, 17, 2},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        std::vector<int16_t> x = quietWithRuns(1600, c.runs);
        waveQuality result{};
        waveClipStats(x.data(), 1600, &kAudioCheck, &result, kFrameMs, kRate);
        EXPECT_EQ(result.clipFrames, c.frames);
        EXPECT_FLOAT_EQ(result.clippedMs, c.clipped / 16.0f);
        EXPECT_FLOAT_EQ(result.clippedFraction, c.clipped / 1600.0f);
        EXPECT_FLOAT_EQ(result.saturatedMs, c.saturated / 16.0f);
        EXPECT_FLOAT_EQ(result.saturatedFraction, c.saturated / 1600.0f);
    }
}

TEST(RecognizerWaveQuality, VerboseReportNamesEachFrameAndTheTotals)
{
    std::vector<int16_t> x(480, 0);
    for (int i = 200; i < 210; ++i)
        x[i] = 32767;
    for (int i = 330; i < 340; ++i)
        x[i] = 31000;
    waveQualityConfig config = kAudioCheck;
    config.verbose = 1;
    waveQuality result{};
    testing::internal::CaptureStdout();
    waveClipStats(x.data(), 480, &config, &result, kFrameMs, kRate);
    EXPECT_EQ(testing::internal::GetCapturedStdout(),
              "\tclipping at frame 1 = 10.00 msec\n"
              "\tsaturation at frame 2 = 20.00 msec\n"
              "CLIPPING: msec = 0.625000, percent = 0.020833, frames = 10\n"
              "SATURATION: count = 7/480, msec = 0.437500, percent = 0.014583\n"
              "CLIP+SAT:   total frames = 2\n");
}

TEST(RecognizerWaveQuality, DegenerateFramesAndCountsGiveFiniteResults)
{
    std::vector<int16_t> x = quietWithRuns(100, {{10, 3, 32767}});
    // A frame shorter than one sample still holds one: each clipped sample is a frame of its own.
    waveQuality result{};
    waveClipStats(x.data(), 100, &kAudioCheck, &result, 0.0f, kRate);
    EXPECT_EQ(result.clipFrames, 3.0f);
    waveClipStats(x.data(), 100, &kAudioCheck, &result, std::numeric_limits<float>::quiet_NaN(), kRate);
    EXPECT_EQ(result.clipFrames, 3.0f);
    // No samples: no fractions to speak of.
    waveClipStats(x.data(), 0, &kAudioCheck, &result, kFrameMs, kRate);
    EXPECT_EQ(result.clipFrames, 0.0f);
    EXPECT_EQ(result.clippedFraction, 0.0f);
    EXPECT_EQ(result.saturatedFraction, 0.0f);
    // No rate: the result is left as it was.
    result.clippedMs = 7.0f;
    waveClipStats(x.data(), 100, &kAudioCheck, &result, kFrameMs, 0.0f);
    waveCountStuckRuns(x.data(), 100, &kAudioCheck, &result, 0.0f);
    EXPECT_EQ(result.clippedMs, 7.0f);
}

TEST(RecognizerWaveQuality, StuckRunsLongerThanTheLimitCount)
{
    // At 16 kHz a millisecond is 16 repeats: 17 exceed it, 16 do not. A run still open at the end is not counted.
    struct Case {
        const char *name;
        std::vector<HeldRun> runs;
        float limitMs;
        uint32_t stuck;
    };
    const Case cases[] = {
        {"17 repeats", {{100, 18, 500}}, 1.0f, 1},
        {"16 repeats", {{100, 17, 500}}, 1.0f, 0},
        {"two runs and one too short", {{100, 18, 500}, {300, 40, 0}, {600, 10, 9}}, 1.0f, 2},
        {"open at the end", {{982, 18, 500}}, 1.0f, 0},
        {"limit 0 counts none", {{100, 18, 500}}, 0.0f, 99},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        std::vector<int16_t> x = quietWithRuns(1000, c.runs);
        waveQualityConfig config = kAudioCheck;
        config.stuckLimitMs = c.limitMs;
        waveQuality result{};
        result.stuckRuns = 99;
        waveCountStuckRuns(x.data(), 1000, &config, &result, kRate);
        EXPECT_EQ(result.stuckRuns, c.stuck);
    }
}

TEST(RecognizerWaveQuality, CheckRunsBothMeasuresOrRefusesItsArguments)
{
    std::vector<int16_t> x = quietWithRuns(1600, {{100, 400, 32767}, {900, 30, 12}});
    std::unique_ptr<waveQuality, Freed> result(waveCheckQuality(x.data(), 1600, &kAudioCheck, kFrameMs, kRate));
    ASSERT_NE(result, nullptr);
    EXPECT_EQ(result->clipFrames, 4.0f);
    EXPECT_FLOAT_EQ(result->clippedMs, 25.0f);
    EXPECT_EQ(result->saturatedMs, 0.0f);
    // The clipped run is held too.
    EXPECT_EQ(result->stuckRuns, 2u);

    struct Case {
        const char *name;
        const int16_t *samples;
        int32_t count;
        const waveQualityConfig *config;
        float rate;
    };
    for (const Case &c : {Case{"no samples", nullptr, 1600, &kAudioCheck, kRate},
                          Case{"count 0", x.data(), 0, &kAudioCheck, kRate},
                          Case{"negative count", x.data(), -1, &kAudioCheck, kRate},
                          Case{"no configuration", x.data(), 1600, nullptr, kRate},
                          Case{"rate under 1", x.data(), 1600, &kAudioCheck, 0.5f},
                          Case{"rate NaN", x.data(), 1600, &kAudioCheck, std::nanf("")}}) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(waveCheckQuality(c.samples, c.count, c.config, kFrameMs, c.rate), nullptr);
    }
}

namespace {

// A 1 kHz tone of amplitude 8000 from `from` to `to` seconds in noise of deviation 20, at 8 kHz.
std::vector<int16_t> toneBurstInNoise(double seconds, double from, double to)
{
    std::mt19937 generator(99);
    std::normal_distribution<double> normal(0.0, 20.0);
    std::vector<int16_t> x(static_cast<size_t>(seconds * 8000));
    for (size_t i = 0; i < x.size(); ++i) {
        const double t = i / 8000.0;
        const double tone = t >= from && t < to ? 8000.0 * std::sin(2.0 * M_PI * 1000.0 * t) : 0.0;
        x[i] = static_cast<int16_t>(std::round(tone + normal(generator)));
    }
    return x;
}

} // namespace

TEST(RecognizerWaveEndpoints, ToneBurstInNoiseIsFoundWithinTheHold)
{
    std::unique_ptr<waveEndpointConfig, Freed> config(waveEndpointDefaults());
    ASSERT_NE(config, nullptr);
    const waveEndpointConfig defaults = {0.5f, 200, 40, 2000, 0.05f, 50.0f, 300.0f, 8000.0f};
    EXPECT_EQ(std::memcmp(config.get(), &defaults, sizeof defaults), 0);

    // Times in seconds; a start or end expected at 0 is given as 0. A burst too short to be activity still leaves
    // its start behind: only a start that lasts moves the end.
    struct Case {
        const char *name;
        int32_t adaptive;
        double from, to;
        double start, end;
    };
    const int32_t hold = 1600; // 200 ms at 8 kHz
    for (const Case &c : {Case{"whole-buffer deviation", 0, 0.5, 1.0, 0.5, 1.0},
                          Case{"adaptive deviation", 1, 0.5, 1.0, 0.5, 1.0},
                          Case{"adaptive, burst near the start limit", 1, 1.9, 2.4, 1.9, 2.4},
                          Case{"burst after the start limit", 0, 2.1, 2.6, 0, 0},
                          Case{"burst shorter than the minimum activity", 1, 0.5, 0.53, 0.5, 0}}) {
        SCOPED_TRACE(c.name);
        std::vector<int16_t> x = toneBurstInNoise(3.0, c.from, c.to);
        int32_t start = -5, end = -5;
        float mean = -1.0f, deviation = -1.0f;
        waveFindEndpoints(x.data(), static_cast<int32_t>(x.size()), config.get(), c.adaptive, &start, &end, &mean,
                          &deviation);
        const auto onset = static_cast<int32_t>(c.start * 8000), offset = static_cast<int32_t>(c.end * 8000);
        if (onset == 0) {
            EXPECT_EQ(start, 0);
        } else {
            EXPECT_GE(start, onset);
            EXPECT_LT(start, onset + hold);
        }
        if (offset == 0) {
            EXPECT_EQ(end, 0);
            continue;
        }
        EXPECT_GE(end, offset - 1);
        EXPECT_LT(end, offset + hold);
        if (c.adaptive) {
            EXPECT_EQ(deviation, 300.0f); // the tone pushes the deviation to its upper bound
        } else {
            EXPECT_NEAR(mean, 0.0f, 5.0f);
            EXPECT_NEAR(deviation, 8000.0 / std::sqrt(2.0) * std::sqrt((c.to - c.from) / 3.0), 50.0);
        }
    }
}

TEST(RecognizerWaveEndpoints, NothingToScanLeavesTheStartingValues)
{
    std::unique_ptr<waveEndpointConfig, Freed> config(waveEndpointDefaults());
    for (int32_t adaptive : {0, 1}) {
        int32_t start = -5, end = -5;
        float mean = -1.0f, deviation = -1.0f;
        waveFindEndpoints(nullptr, 0, config.get(), adaptive, &start, &end, &mean, &deviation);
        EXPECT_EQ(start, 0);
        EXPECT_EQ(end, 0);
        EXPECT_EQ(mean, 0.0f);
        EXPECT_EQ(deviation, adaptive ? 50.0f : 0.0f);
    }
}

TEST(RecognizerWaveEndpoints, NonZeroBounds)
{
    struct Case {
        std::vector<int16_t> x;
        int32_t count, first, last;
    };
    for (const Case &c : {Case{{0, 0, 5, 0, -7, 0}, 6, 2, 4}, Case{{3, 0, 0}, 3, 0, 0}, Case{{0, 0, 0}, 3, 3, -1},
                          Case{{1}, 0, 0, -1}, Case{{1}, -4, 0, -1}}) {
        int32_t first = -5, last = -5;
        waveFindNonZeroBounds(c.x.data(), c.count, &first, &last);
        EXPECT_EQ(first, c.first);
        EXPECT_EQ(last, c.last);
    }
}

namespace {

void freeWave(wave *w)
{
    if (w == nullptr)
        return;
    dbFree(w->samples);
    dbFree(w->params);
    dbFree(w);
}
using PaddedWave = std::unique_ptr<wave, decltype(&freeWave)>;

} // namespace

TEST(RecognizerWavePad, TailIsTheSameGentleWalkEveryTimeAndStaysOffTheRails)
{
    struct Case {
        const char *name;
        std::vector<int16_t> x;
        int32_t padMs;
        float tailFactor;
        uint32_t tail;
        int32_t firstTail; // where the walk must start from, or INT32_MIN for within a step of the last sample
    };
    const Case cases[] = {
        {"usual pad and 4 ms", {100, -200, 300}, 65534, 1.0f, 4800 + 64, INT32_MIN},
        {"100 ms", {100, -200, 300}, 100, 0.0f, 1600, INT32_MIN},
        {"last sample at full scale", {0, 32767}, 100, 0.0f, 1600, 32000},
        {"last sample at negative full scale", {0, -32768}, 100, 0.0f, 1600, -32000},
        {"empty recording", {}, 100, 0.0f, 1600, INT32_MIN},
        {"no pad", {100, -200, 300}, 0, 5.0f, 0, INT32_MIN},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        float params[2] = {kRate, 0.0f};
        std::vector<int16_t> x = c.x;
        const auto count = static_cast<uint32_t>(x.size());
        const wave recording{count, x.data(), 2, params};
        PaddedWave padded(wavePadNoise(&recording, c.padMs, c.tailFactor), freeWave);
        PaddedWave again(wavePadNoise(&recording, c.padMs, c.tailFactor), freeWave);
        ASSERT_NE(padded, nullptr);
        ASSERT_NE(again, nullptr);
        ASSERT_EQ(padded->sampleCount, count + c.tail);
        ASSERT_EQ(padded->paramCount, 2u);
        EXPECT_EQ(padded->params[0], kRate);
        EXPECT_NE(padded->params, params);
        EXPECT_NE(padded->samples, x.data());
        const std::vector<int16_t> out(padded->samples, padded->samples + padded->sampleCount);
        EXPECT_EQ(out, std::vector<int16_t>(again->samples, again->samples + again->sampleCount));
        EXPECT_EQ(std::vector<int16_t>(out.begin(), out.begin() + count), x);
        if (c.tail == 0)
            continue;
        const int32_t last = count > 0 ? x.back() : 0;
        if (c.firstTail == INT32_MIN) {
            EXPECT_LE(std::abs(out[count] - last), 15);
        } else {
            EXPECT_EQ(out[count], c.firstTail);
        }
        std::set<int> steps;
        for (size_t i = count + 1; i < out.size(); ++i) {
            ASSERT_LE(std::abs(out[i] - out[i - 1]), 15) << i;
            steps.insert(out[i] - out[i - 1]);
        }
        for (size_t i = count; i < out.size(); ++i)
            ASSERT_LE(std::abs(out[i]), 32000) << i;
        EXPECT_GE(steps.size(), 25u) << "the walk draws from all of -15..15";
    }
}

TEST(RecognizerWavePad, MalformedRecordsAndTailsWithoutARateAreRefused)
{
    int16_t x[3] = {1, 2, 3};
    float rate = kRate;
    struct Case {
        const char *name;
        wave recording;
        int32_t padMs;
        float tailFactor;
    };
    for (const Case &c : {Case{"no rate to measure the tail by", {3, x, 0, nullptr}, 100, 0.0f},
                          Case{"samples counted but missing", {3, nullptr, 1, &rate}, 0, 0.0f},
                          Case{"parameters counted but missing", {3, x, 1, nullptr}, 0, 0.0f},
                          Case{"tail beyond a record's count", {3, x, 1, &rate}, 65533, 1e9f},
                          Case{"tail factor NaN", {3, x, 1, &rate}, 100, std::nanf("")}}) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(wavePadNoise(&c.recording, c.padMs, c.tailFactor), nullptr);
    }
    EXPECT_EQ(wavePadNoise(nullptr, 100, 0.0f), nullptr);
    // Without a tail no rate is needed.
    const wave noRate{3, x, 0, nullptr};
    PaddedWave copy(wavePadNoise(&noRate, 0, 0.0f), freeWave);
    ASSERT_NE(copy, nullptr);
    EXPECT_EQ(copy->sampleCount, 3u);
    EXPECT_EQ(copy->samples[2], 3);
    EXPECT_EQ(copy->params, nullptr);
}
