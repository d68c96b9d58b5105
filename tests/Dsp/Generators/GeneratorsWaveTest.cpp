// Sine, sawtooth, square and triangle generators against closed forms: the phasor sine against sin and cos of the
// angle it turns by, the waves against scipy.signal at exact phases, the fixed-point ramp against modular
// arithmetic in 64 bits.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <string>
#include <vector>

#include "kve/kve_vec.h"
#include "support/PythonOracle.h"

namespace {

using kvetest::oracleArg;

// ---- Phasor sine ----

TEST(PhasorSine, FollowsSinAndCosOverManyBlocksWithUnitAmplitude)
{
    struct Case {
        int32_t channels;
        double startAngle;
        double frequency; // cycles per sample
    };
    const Case cases[] = {{1, 0.0, 1000.0 / 48000.0}, {2, 1.0, 440.0 / 48000.0}, {0, -2.5, 0.21}, {1, 0.3, 0.4999}};
    constexpr int kBlocks = 300;
    constexpr int32_t kBlock = 64;
    for (const Case &c : cases) {
        const float cw = static_cast<float>(std::cos(2.0 * M_PI * c.frequency));
        const float sw = static_cast<float>(std::sin(2.0 * M_PI * c.frequency));
        // The phasor turns by the angle of the rounded (c, s) and keeps unit length, so that angle is the exact one.
        const double w = std::atan2(static_cast<double>(sw), static_cast<double>(cw));
        float a = static_cast<float>(std::cos(c.startAngle));
        float b = static_cast<float>(std::sin(c.startAngle));
        const int width = c.channels == 1 ? 1 : 2;
        std::vector<float> out(static_cast<size_t>(kBlock * width));
        double worst = 0.0;
        for (int blk = 0; blk < kBlocks; ++blk) {
            kve_vecSineGen(out.data(), &a, &b, c.channels, kBlock, cw, sw);
            for (int32_t i = 0; i < kBlock; ++i) {
                const double angle = c.startAngle + w * (blk * kBlock + i);
                if (width == 1) {
                    worst = std::max(worst, std::fabs(out[static_cast<size_t>(i)] - std::sin(angle)));
                } else {
                    worst = std::max(worst, std::fabs(out[static_cast<size_t>(2 * i)] - std::cos(angle)));
                    worst = std::max(worst, std::fabs(out[static_cast<size_t>(2 * i + 1)] - std::sin(angle)));
                }
            }
            ASSERT_NEAR(std::hypot(a, b), 1.0, 2e-7) << "after block " << blk;
        }
        EXPECT_LT(worst, 5e-5) << "channels " << c.channels << ", frequency " << c.frequency;
    }
}

TEST(PhasorSine, BringsThePhasorToUnitLengthWithoutSamplesAndKeepsAZeroPhasorSilent)
{
    struct Case {
        float a, b;
        float expectA, expectB;
    };
    const Case cases[] = {
        {3.0f, 4.0f, 0.6f, 0.8f},
        {-1e-25f, 0.0f, -1.0f, 0.0f}, // squared length below single precision
        {3e30f, -4e30f, 0.6f, -0.8f}, // squared length above it
        {0.0f, 0.0f, 0.0f, 0.0f},     // no direction: stays silent, not NaN
    };
    for (const Case &c : cases) {
        for (const int32_t n : {0, -1, 1}) {
            float a = c.a;
            float b = c.b;
            float out[2] = {9.0f, 9.0f};
            kve_vecSineGen(out, &a, &b, 1, n, 1.0f, 0.0f);
            EXPECT_NEAR(a, c.expectA, 1e-7f) << c.a << ", " << c.b << ", n " << n;
            EXPECT_NEAR(b, c.expectB, 1e-7f) << c.a << ", " << c.b << ", n " << n;
            EXPECT_EQ(out[0], n == 1 ? c.b : 9.0f);
            EXPECT_EQ(out[1], 9.0f);
        }
    }
}

// ---- Float waves against scipy.signal ----

struct WaveRun {
    float phase;
    float step;
};

constexpr int32_t kWaveCount = 2000;

// Runs each wave run through gen(dst, phase, step, n) for kWaveCount samples in blocks of `block`, and hands
// check(run, samples, expected, phase after the last block) the samples of the same run from scipy.signal.
template <size_t Runs, typename Gen, typename Check>
void compareWithScipy(const std::string &kind, const WaveRun (&runs)[Runs], int32_t block, Gen gen, Check check)
{
    std::vector<std::string> args = {kind, std::to_string(kWaveCount)};
    for (const WaveRun &r : runs) {
        args.push_back(oracleArg(r.phase));
        args.push_back(oracleArg(r.step));
    }
    const std::vector<double> waves = kvetest::runOracle("generators_waves.py", args);
    ASSERT_EQ(waves.size(), Runs * kWaveCount);
    for (size_t run = 0; run < Runs; ++run) {
        std::vector<float> out(kWaveCount);
        float phase = runs[run].phase;
        for (int32_t done = 0; done < kWaveCount; done += block)
            gen(out.data() + done, phase, runs[run].step, block);
        check(runs[run], out, waves.data() + run * kWaveCount, phase);
    }
}

// Distance between two sawtooth values, taken around the jump from 1 to -1, where rounding may put a sample on
// either side.
double sawDistance(double x, double y)
{
    const double d = std::fabs(x - y);
    return std::min(d, std::fabs(2.0 - d));
}

TEST(SawtoothWave, MatchesTheClosedFormRisingFallingAndAboveOneCyclePerTwoSamples)
{
    // Steps of more than one period (|step| > 2) sound as the step less whole periods; the oracle is given the step
    // as passed.
    const WaveRun runs[] = {{-1.0f, 0.01f}, {0.9f, 0.2f},   {0.3f, -0.0371f},
                            {0.0f, 2.25f},  {-0.5f, -5.1f}, {1.0f, 1.0f}};
    const auto saw = [](float *dst, float &phase, float step, int32_t n) {
        phase = kve_vecSawTooth(dst, n, phase, step);
    };
    const auto check = [](const WaveRun &r, const std::vector<float> &out, const double *expected, float) {
        for (int32_t i = 0; i < kWaveCount; ++i) {
            const float v = out[static_cast<size_t>(i)];
            ASSERT_LE(std::fabs(v), 1.0f) << "phase " << r.phase << " step " << r.step << " sample " << i;
            ASSERT_LT(sawDistance(v, expected[i]), 2e-3)
                << "phase " << r.phase << " step " << r.step << " sample " << i;
        }
    };
    compareWithScipy("saw", runs, 500, saw, check);
}

TEST(SawtoothWave, WrapsAtOneAndReturnsTheNextPhase)
{
    float out[2] = {0.0f, 7.0f};
    EXPECT_NEAR(kve_vecSawTooth(out, 1, 0.9f, 0.2f), -0.9f, 1e-6f);
    EXPECT_EQ(out[0], 0.9f);
    EXPECT_EQ(out[1], 7.0f);
    EXPECT_EQ(kve_vecSawTooth(out, 0, 0.25f, 0.2f), 0.25f);
    EXPECT_EQ(out[0], 0.9f);
}

TEST(SquareWave, IsPlusOneOverTheFirstHalfOfEachPeriod)
{
    const WaveRun runs[] = {{0.0f, 0.05f}, {3.0f, 0.7f}, {1.0f, -0.013f}, {0.5f, 7.0f}, {0.0f, -20.0f}};
    const auto square = [](float *dst, float &phase, float step, int32_t n) {
        kve_vecSquareWaveGen(dst, &phase, n, step);
    };
    const auto check = [](const WaveRun &r, const std::vector<float> &out, const double *expected, float phase) {
        int compared = 0;
        for (int32_t i = 0; i < kWaveCount; ++i) {
            // Samples whose exact phase is within rounding of an edge may fall either side.
            if (std::fabs(std::sin(static_cast<double>(r.phase) + static_cast<double>(r.step) * i)) < 1e-2)
                continue;
            ++compared;
            ASSERT_EQ(out[static_cast<size_t>(i)], expected[i])
                << "phase " << r.phase << " step " << r.step << " sample " << i;
        }
        EXPECT_GT(compared, kWaveCount * 9 / 10);
        EXPECT_LE(std::fabs(phase), 6.2831855f) << "step " << r.step;
    };
    compareWithScipy("square", runs, 400, square, check);
}

TEST(TriangleWave, FallsAndRisesLinearlyBetweenPlusAndMinusOne)
{
    const WaveRun runs[] = {{0.0f, 0.5f}, {-2.0f, 0.01f}, {2.0f, 0.3f}, {1.5f, -0.0277f}, {0.0f, 4.5f}, {-1.0f, -9.0f}};
    const auto triangle = [](float *dst, float &phase, float step, int32_t n) {
        kve_vecTriangleWaveGen(dst, &phase, n, step);
    };
    const auto check = [](const WaveRun &r, const std::vector<float> &out, const double *expected, float phase) {
        for (int32_t i = 0; i < kWaveCount; ++i)
            ASSERT_NEAR(out[static_cast<size_t>(i)], expected[i], 2e-3)
                << "phase " << r.phase << " step " << r.step << " sample " << i;
        EXPECT_LE(std::fabs(phase), 2.0f) << "step " << r.step;
    };
    compareWithScipy("triangle", runs, 250, triangle, check);
    float phase = 2.0f;
    float out = 0.0f;
    kve_vecTriangleWaveGen(&out, &phase, 1, 0.5f);
    EXPECT_EQ(out, 1.0f);
    EXPECT_EQ(phase, -1.5f);
}

// ---- Fixed-point sawtooth against arithmetic modulo 0x7FFFFFFF ----

TEST(SawtoothFract32, RampsOverZeroToFullScaleModuloItsCycle)
{
    constexpr int64_t kCycle = INT32_MAX;
    struct Run {
        Fract32 phase;
        Fract32 step;
    };
    const Run runs[] = {{0, 0x01000000},          {0x7FFFFFF0, 0x20},         {0x40000000, -0x00A00001},
                        {5, INT32_MAX},           {0x12345678, INT32_MIN},    {0x7FFFFFFF, 0x7FFFFFFE},
                        {0x00000001, 0x55555555}, {0x70000000, -0x7FFFFFFF}};
    constexpr int32_t kCount = 3000;
    for (const Run &r : runs) {
        std::vector<Fract32> out(kCount);
        Fract32 phase = r.phase;
        for (int32_t done = 0; done < kCount; done += 600)
            kve_vecSawtoothFract32(out.data() + done, &phase, r.step, 600);
        for (int32_t k = 0; k <= kCount; ++k) {
            const Fract32 v = k < kCount ? out[static_cast<size_t>(k)] : phase;
            ASSERT_GE(v, 0) << std::hex << r.phase << " + " << r.step << ", sample " << std::dec << k;
            const __int128 exact = static_cast<__int128>(r.phase) + static_cast<__int128>(r.step) * k;
            const int64_t expected = static_cast<int64_t>(((exact % kCycle) + kCycle) % kCycle);
            ASSERT_EQ(v % kCycle, expected) << std::hex << r.phase << " + " << r.step << ", sample " << std::dec << k;
        }
    }
}

TEST(SawtoothFract32, WrapsByItsCycleRatherThanTwoToThe31)
{
    Fract32 phase = 0x7FFFFFF0;
    Fract32 out[2] = {0, 7};
    kve_vecSawtoothFract32(out, &phase, 0x20, 1);
    EXPECT_EQ(out[0], 0x7FFFFFF0);
    EXPECT_EQ(out[1], 7);
    EXPECT_EQ(phase, 0x11);
    kve_vecSawtoothFract32(out, &phase, 0x20, 0);
    EXPECT_EQ(phase, 0x11);
}

} // namespace
