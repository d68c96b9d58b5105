// Fractional-delay filter: applied as the fixed-point FIR module applies it, it delays by 20 + d samples with unity
// gain across the lower 80% of the band (scipy's group_delay and freqz); fractions outside [0, 1) are clamped.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <limits>
#include <string>
#include <vector>

#include "kve/kve_design.h"
#include "support/PythonOracle.h"

namespace {

using Taps = std::array<float, 42>;

Taps design(float fraction)
{
    Taps taps;
    taps.fill(-12345.0f);
    design_fractionaldelay(taps.data(), fraction);
    return taps;
}

// The fixed-point FIR module weights the newest sample with the last tap it is given, so the impulse response it
// realises is the taps in reverse.
TEST(FractionalDelayDesign, DelaysByTwentyPlusTheFractionWithUnityGain)
{
    constexpr double kBandEdge = 0.8; // of the Nyquist frequency
    const float fractions[] = {0.0f, 1.0f / 64, 0.1f, 0.25f, 1.0f / 3, 0.49f, 0.5f, 0.62f, 0.75f,
                               0.9f, 31.0f / 32, 0.99f, std::nextafter(1.0f, 0.0f)};
    std::vector<std::string> args;
    for (float d : fractions) {
        const Taps taps = design(d);
        args.push_back(kvetest::oracleArg(kBandEdge));
        for (auto tap = taps.rbegin(); tap != taps.rend(); ++tap)
            args.push_back(kvetest::oracleArg(*tap));
    }
    const std::vector<double> ref = kvetest::runOracle("design_fractional_delay.py", args);
    ASSERT_FALSE(ref.empty());

    size_t at = 0;
    for (float d : fractions) {
        ASSERT_LT(at, ref.size());
        const auto points = static_cast<size_t>(ref[at++]);
        for (size_t k = 0; k < points; ++k, at += 3) {
            EXPECT_NEAR(ref[at + 1], 20.0 + d, 1e-3) << "fraction " << d << " at " << ref[at] << " rad/sample";
            EXPECT_NEAR(ref[at + 2], 0.0, 1e-3) << "fraction " << d << " gain (dB) at " << ref[at] << " rad/sample";
        }
    }
    EXPECT_EQ(at, ref.size());
}

// The table covers fractions from 0 up to 1; anything outside, or not a number, is the nearest fraction inside.
TEST(FractionalDelayDesign, FractionsOutsideZeroToOneAreClamped)
{
    constexpr float kInf = std::numeric_limits<float>::infinity();
    const Taps atZero = design(0.0f);
    for (float d : {-0.0f, -0.01f, -5.0f, -kInf, std::numeric_limits<float>::quiet_NaN()})
        EXPECT_EQ(design(d), atZero) << "fraction " << d;

    const Taps belowOne = design(std::nextafter(1.0f, 0.0f));
    for (float d : {1.0f, 1.5f, 1e9f, kInf})
        EXPECT_EQ(design(d), belowOne) << "fraction " << d;
}

} // namespace
