// Windowed-sinc FIR lowpass: the taps against scipy's firwin with the same window, and the tap counts and cutoff
// that have no window or no sum to scale by.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <string>
#include <vector>

#include "kve/kve_design.h"
#include "support/PythonOracle.h"

namespace {

constexpr float kUntouched = -12345.0f;

std::vector<float> design(int numTaps, float cutoff, float sampleRate, size_t room = 0)
{
    std::vector<float> taps(std::max<size_t>(room, numTaps > 0 ? size_t(numTaps) : 0), kUntouched);
    design_fir1(numTaps, taps.data(), cutoff, sampleRate);
    return taps;
}

// Odd and even lengths (a middle tap or two), short and long filters, narrow and wide passbands.
TEST(Fir1Design, TapsMatchScipyFirwin)
{
    const struct {
        int numTaps;
        float cutoff, sampleRate;
    } cases[] = {{3, 1000, 48000},  {2, 5000, 48000},  {4, 1000, 48000},   {31, 4000, 48000}, {64, 100, 44100},
                 {101, 12000, 48000}, {255, 20000, 48000}, {17, 7900, 16000}, {48, 3000, 8000}};
    std::vector<std::string> args;
    for (const auto &c : cases)
        for (double v : {double(c.numTaps), double(c.cutoff), double(c.sampleRate)})
            args.push_back(kvetest::oracleArg(v));
    const std::vector<double> ref = kvetest::runOracle("design_fir1.py", args);

    size_t at = 0;
    for (const auto &c : cases) {
        const std::vector<float> taps = design(c.numTaps, c.cutoff, c.sampleRate);
        ASSERT_LE(at + taps.size(), ref.size());
        float sum = 0;
        for (size_t i = 0; i < taps.size(); ++i, ++at) {
            // Rounding to float, then the float sum's rounding, which scales every tap alike.
            EXPECT_NEAR(taps[i], ref[at], 2e-6 * std::fabs(ref[at]) + 1e-12)
                << c.numTaps << " taps, cutoff " << c.cutoff << ", tap " << i;
            EXPECT_FLOAT_EQ(taps[i], taps[taps.size() - 1 - i]) << c.numTaps << " taps: not symmetric at " << i;
            sum += taps[i];
        }
        EXPECT_NEAR(sum, 1.0f, 1e-5f) << c.numTaps << " taps";
    }
    EXPECT_EQ(at, ref.size());
}

// One tap is the unity gain (it has no window to shape); no taps write nothing; a cutoff of 0 Hz passes nothing and
// gives zero taps rather than NaN from scaling a zero sum.
TEST(Fir1Design, SingleTapNoTapsAndZeroCutoff)
{
    const std::vector<float> one = design(1, 1000, 48000, 3);
    EXPECT_EQ(one, (std::vector<float>{1.0f, kUntouched, kUntouched}));

    for (int numTaps : {0, -1, -100})
        EXPECT_EQ(design(numTaps, 1000, 48000, 4), std::vector<float>(4, kUntouched)) << numTaps << " taps";

    for (int numTaps : {2, 5, 32})
        EXPECT_EQ(design(numTaps, 0, 48000), std::vector<float>(size_t(numTaps), 0.0f)) << numTaps << " taps";
}

} // namespace
