// One-pole smoother steps: the closed form 1 - exp(-1000 blockSize / (time fs)) over per-sample and per-block
// smoothing, and the step of 1.0 for times too short to smooth over and for parameters that give no usable step.
#include <gtest/gtest.h>

#include <cstdint>
#include <iterator>
#include <limits>
#include <string>
#include <vector>

#include "kve/kve_design.h"
#include "support/PythonOracle.h"

namespace {

struct Setting {
    int32_t blockSize;
    float timeMs;
    float sampleRate;
};

// Single precision loses the step's relative accuracy when the step is small (1 - exp(-x) for small x), but never
// more than a unit in the last place of 1.0.
TEST(SmootherDesign, StepFollowsTheClosedForm)
{
    const Setting settings[] = {
        {32, 10, 48000}, {1, 10, 48000},  {1, 1000, 44100}, {64, 50, 16000}, {256, 5.4f, 48000},
        {1, 0.1f, 96000}, {480, 5000, 48000}, {32, 0.0667f, 48000}, {8, 1e6f, 48000},
    };
    std::vector<std::string> args;
    for (const Setting &s : settings)
        for (double v : {double(s.blockSize), double(s.timeMs), double(s.sampleRate)})
            args.push_back(kvetest::oracleArg(v));
    const std::vector<double> ref = kvetest::runOracle("design_smoother.py", args);
    ASSERT_EQ(ref.size(), std::size(settings));
    for (size_t i = 0; i < ref.size(); ++i) {
        const Setting &s = settings[i];
        EXPECT_NEAR(design_smoother(s.blockSize, s.timeMs, s.sampleRate), ref[i], 1.2e-7)
            << "block " << s.blockSize << " time " << s.timeMs << " rate " << s.sampleRate;
    }
}

// A time constant shorter than a tenth of a block (time x rate < 100 x block size) reaches the target in one block;
// exactly a tenth of a block still smooths. Parameters that give no step between 0 and 1 (a time or rate that is
// not a number, a block of no samples) jump to the target too, rather than leaving the smoothed value stuck or NaN.
TEST(SmootherDesign, ShortTimesAndUnusableParametersReachTheTargetInOneBlock)
{
    constexpr float kNaN = std::numeric_limits<float>::quiet_NaN();
    const Setting jumps[] = {
        {32, 0.05f, 48000}, {1, 0, 48000}, {1, -5, 48000}, {32, 0.0999f, 32000}, {1, 0.002f, 48000},
        {32, kNaN, 48000},  {32, 10, kNaN}, {0, 10, 48000}, {-32, 10, 48000},  {INT32_MIN, 10, 48000},
    };
    for (const Setting &s : jumps)
        EXPECT_EQ(design_smoother(s.blockSize, s.timeMs, s.sampleRate), 1.0f)
            << "block " << s.blockSize << " time " << s.timeMs << " rate " << s.sampleRate;

    // 0.1 ms at 32 kHz is 3.2 samples, exactly a tenth of a 32-sample block: the step is 1 - e^-10.
    EXPECT_NEAR(design_smoother(32, 0.1f, 32000), 0.9999546, 1.2e-7);
}

} // namespace
