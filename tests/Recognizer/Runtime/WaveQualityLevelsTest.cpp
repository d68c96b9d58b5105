// The loudest stretch of a recording, against numpy's working of the same frame energies and ratios.
#include "Recognizer/Runtime/ContainerTypes.h"
#include "Utils/FileTestDir.h"
#include "support/PythonOracle.h"

#include <kve/kve_recognizer_runtime.h>

#include <gtest/gtest.h>

#include <cmath>
#include <fstream>
#include <random>
#include <string>
#include <vector>

namespace {

struct Burst {
    double from, to; // seconds
    double level;    // standard deviation of the burst's noise
};

// Background noise of deviation 200 with loud noise bursts added, after `leadIn` samples held at one value.
std::vector<int16_t> noiseWithBursts(double rate, double seconds, std::vector<Burst> bursts, size_t leadIn = 0)
{
    std::mt19937 generator(1234);
    std::normal_distribution<double> normal(0.0, 1.0);
    const auto n = static_cast<size_t>(rate * seconds);
    std::vector<int16_t> x(leadIn, 7);
    for (size_t i = 0; i < n; ++i) {
        double v = 200.0 * normal(generator);
        for (const Burst &b : bursts)
            if (i >= b.from * rate && i < b.to * rate)
                v += b.level * normal(generator);
        x.push_back(static_cast<int16_t>(std::fmax(-32768.0, std::fmin(32767.0, std::round(v)))));
    }
    return x;
}

struct LevelsCase {
    const char *name;
    float rate;
    std::vector<int16_t> samples;
    float minLengthMs, minRatioDb, spikeDb;
    // Whether a stretch inside the recording is expected rather than the whole of it.
    bool stretchFound;
};

std::vector<LevelsCase> levelsCases()
{
    const std::vector<Burst> speech = {{1.2, 2.0, 6000.0}};
    const std::vector<Burst> clickThenSpeech = {{0.6, 0.615, 30000.0}, {1.2, 2.0, 6000.0}};
    return {
        {"loud burst in noise", 16000.0f, noiseWithBursts(16000, 4.0, speech), 500.0f, 18.0f, 10.0f, true},
        {"held lead-in before the burst", 16000.0f, noiseWithBursts(16000, 3.0, speech, 6000), 500.0f, 18.0f, 10.0f,
         true},
        {"one-frame click dropped", 16000.0f, noiseWithBursts(16000, 3.0, clickThenSpeech), 500.0f, 18.0f, 10.0f,
         true},
        {"one-frame click kept", 16000.0f, noiseWithBursts(16000, 3.0, clickThenSpeech), 500.0f, 18.0f, 0.0f, true},
        {"burst too quiet", 8000.0f, noiseWithBursts(8000, 3.0, {{1.2, 2.0, 300.0}}), 500.0f, 18.0f, 10.0f, false},
        {"noise only", 16000.0f, noiseWithBursts(16000, 2.0, {}), 500.0f, 18.0f, 10.0f, false},
        {"too few frames outside any stretch", 8000.0f, noiseWithBursts(8000, 0.18, {{0.06, 0.12, 6000.0}}), 60.0f,
         18.0f, 10.0f, false},
        {"under two frames", 16000.0f, noiseWithBursts(16000, 0.02, {}), 500.0f, 18.0f, 10.0f, false},
        {"rate too low for a frame", 50.0f, noiseWithBursts(50, 40.0, {{10, 20, 6000}}), 500.0f, 18.0f, 10.0f, false},
    };
}

} // namespace

TEST(RecognizerWaveLevels, LoudestStretchAgreesWithNumpy)
{
    kvetest::ScratchDir dir;
    for (LevelsCase &c : levelsCases()) {
        SCOPED_TRACE(c.name);
        const std::string file = dir / "samples.raw";
        std::ofstream(file, std::ios::binary)
            .write(reinterpret_cast<const char *>(c.samples.data()),
                   static_cast<std::streamsize>(c.samples.size() * sizeof(int16_t)));
        const std::vector<double> expected =
            kvetest::runOracle("wave_levels.py", {file, kvetest::oracleArg(c.rate), kvetest::oracleArg(c.minLengthMs),
                                                  kvetest::oracleArg(c.minRatioDb), kvetest::oracleArg(c.spikeDb)});
        ASSERT_EQ(expected.size(), 3u);

        float params[2] = {c.rate, 0.0f};
        wave recording{static_cast<uint32_t>(c.samples.size()), c.samples.data(), 2, params};
        int32_t start = -5, end = -5;
        const int32_t returned = waveAnalyzeLevels(&recording, &start, &end, c.minLengthMs, c.minRatioDb, c.spikeDb);
        EXPECT_EQ(start, expected[0]);
        EXPECT_EQ(end, expected[1]);
        EXPECT_EQ(returned, expected[2]);
        // The record comes back as it went in, lead-in and all.
        EXPECT_EQ(recording.samples, c.samples.data());
        EXPECT_EQ(recording.sampleCount, c.samples.size());
        const bool whole = start == 0 && end == static_cast<int32_t>(c.samples.size()) - 1;
        EXPECT_EQ(whole, !c.stretchFound);
    }
}

TEST(RecognizerWaveLevels, StretchCoversTheBurstAndSkipsTheHeldLeadIn)
{
    // Checks the oracle's cases are about the burst: 15 ms frames at 16 kHz are 240 samples.
    std::vector<int16_t> x = noiseWithBursts(16000, 3.0, {{1.2, 2.0, 6000.0}}, 6000);
    float params[1] = {16000.0f};
    wave recording{static_cast<uint32_t>(x.size()), x.data(), 1, params};
    int32_t start = 0, end = 0;
    EXPECT_EQ(waveAnalyzeLevels(&recording, &start, &end, 500.0f, 18.0f, 10.0f), static_cast<int32_t>(x.size()));
    EXPECT_NEAR(start, 6000 + 1.2 * 16000, 240);
    EXPECT_NEAR(end, 6000 + 2.0 * 16000, 240);
    // The held samples are left out of the framing, so the stretch starts one frame grid past them.
    EXPECT_EQ((start - 5999) % 240, 0);
}

TEST(RecognizerWaveLevels, WithoutARateOrSamplesTheWholeRecordingIsTheAnswer)
{
    std::vector<int16_t> x = noiseWithBursts(16000, 2.0, {{0.8, 1.4, 6000.0}});
    const auto count = static_cast<uint32_t>(x.size());
    float rate = 16000.0f;
    struct Case {
        const char *name;
        wave recording;
        int32_t end;
    };
    for (Case c : {Case{"no parameters", {count, x.data(), 0, nullptr}, int32_t(count) - 1},
                   Case{"parameter block missing", {count, x.data(), 1, nullptr}, int32_t(count) - 1},
                   Case{"no samples", {0, x.data(), 1, &rate}, -1},
                   Case{"sample block missing", {count, nullptr, 1, &rate}, -1}}) {
        SCOPED_TRACE(c.name);
        int32_t start = -5, end = -5;
        waveAnalyzeLevels(&c.recording, &start, &end, 500.0f, 18.0f, 10.0f);
        EXPECT_EQ(start, 0);
        EXPECT_EQ(end, c.end);
    }
}
