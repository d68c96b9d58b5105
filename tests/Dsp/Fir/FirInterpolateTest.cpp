// Polyphase FIR interpolators: the float ring form (interleaved channels) and the linear-history form against
// scipy.signal.upfirdn, the Fract32 ring form against an exact integer model; each carried across calls of every
// length.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <string>
#include <vector>

#include "Dsp/ExactModels.h"
#include "Dsp/Fir/FirSignals.h"
#include "Dsp/GuardedVector.h"
#include "kve/kve_vec.h"
#include "support/PythonOracle.h"

namespace {

using kvetest::bitsOf;
using kvetest::firBlockLengths;
using kvetest::firNoise;
using kvetest::firNoiseWords;

struct Shape {
    int32_t channels;
    int32_t interpolation;
    int32_t tapsPerPhase;
    int32_t startFrame; // where the ring index starts, in frames
};

const Shape kShapes[] = {{1, 2, 1, 0}, {2, 2, 4, 1}, {3, 3, 5, 2}, {8, 4, 16, 3},
                         {1, 5, 7, 6}, {2, 1, 9, 4}, {4, 3, 2, 1}, {1, 2, 17, 0}};

std::string describe(const Shape &s)
{
    return std::to_string(s.channels) + " channels, interpolation " + std::to_string(s.interpolation) + ", " +
           std::to_string(s.tapsPerPhase) + " taps per phase";
}

// Runs the ring interpolator over the interleaved frames x in calls of the given frame counts.
std::vector<float> runRingInterpolator(const Shape &s, const std::vector<float> &h, const std::vector<float> &x,
                                       int32_t frames)
{
    const int32_t stateLen = s.tapsPerPhase * s.channels;
    std::vector<float> ring(static_cast<size_t>(stateLen), 0.0f);
    int32_t index = (s.startFrame % s.tapsPerPhase) * s.channels;
    std::vector<float> y(static_cast<size_t>(frames * s.interpolation * s.channels));
    int32_t done = 0;
    for (int32_t len : firBlockLengths(frames)) {
        kve_vecFIR_Interpolate(x.data() + done * s.channels, s.channels,
                               y.data() + done * s.interpolation * s.channels, h.data(), stateLen, ring.data(), &index,
                               len, s.interpolation, s.tapsPerPhase);
        done += len;
    }
    EXPECT_EQ(index, ((s.startFrame + frames) % s.tapsPerPhase) * s.channels) << describe(s);
    return y;
}

// Runs the linear-history interpolator, which takes the prototype time-reversed and a state of channels x
// (tapsPerPhase - 1 + nIn) words, in calls of the given frame counts; it must leave the words past those alone, and
// the ring index too.
std::vector<float> runLinearInterpolator(const Shape &s, const std::vector<float> &h, const std::vector<float> &x,
                                         int32_t frames)
{
    const std::vector<float> reversed(h.rbegin(), h.rend());
    const std::vector<int32_t> lengths = firBlockLengths(frames);
    const int32_t longest = *std::max_element(lengths.begin(), lengths.end());
    std::vector<float> state(static_cast<size_t>(s.channels * (s.tapsPerPhase - 1 + longest)) + 4, 0.0f);
    int32_t index = 12345;
    std::vector<float> y(static_cast<size_t>(frames * s.interpolation * s.channels));
    int32_t done = 0;
    for (int32_t len : lengths) {
        const size_t used = static_cast<size_t>(s.channels * (s.tapsPerPhase - 1 + len));
        std::fill(state.begin() + static_cast<ptrdiff_t>(used), state.end(), kvetest::floatOf(kvetest::kGuardWord));
        kve_vecFIR_Interpolate_SIMD4(x.data() + done * s.channels, s.channels,
                                     y.data() + done * s.interpolation * s.channels, reversed.data(), -1,
                                     state.data(), &index, len, s.interpolation, s.tapsPerPhase);
        for (size_t k = used; k < state.size(); ++k)
            EXPECT_EQ(bitsOf(state[k]), kvetest::kGuardWord) << describe(s) << ", state word " << k;
        done += len;
    }
    EXPECT_EQ(index, 12345) << describe(s);
    return y;
}

TEST(FloatInterpolators, RingAndLinearFormsAreTheUpsampledConvolutionOfEveryChannel)
{
    const int32_t frames = 70;
    for (const Shape &s : kShapes) {
        const int32_t numTaps = s.interpolation * s.tapsPerPhase;
        const std::vector<float> h = firNoise(static_cast<size_t>(numTaps), 90u + static_cast<uint64_t>(numTaps));
        const std::vector<float> x = firNoise(static_cast<size_t>(frames * s.channels), 100u + static_cast<uint64_t>(s.channels));
        std::vector<std::string> args = {"upfirdn", std::to_string(s.interpolation), "1", std::to_string(s.channels),
                                         std::to_string(numTaps)};
        kvetest::appendOracleArgs(args, h);
        kvetest::appendOracleArgs(args, x);
        const std::vector<double> expected = kvetest::runOracle("fir_filter.py", args);
        const size_t outputs = static_cast<size_t>(frames * s.interpolation * s.channels);
        ASSERT_GE(expected.size(), outputs) << describe(s);

        double sumAbs = 0.0;
        for (float c : h)
            sumAbs += std::fabs(c);
        const double tol = (s.tapsPerPhase + 2) * 0x1p-24 * sumAbs;
        const std::vector<float> ring = runRingInterpolator(s, h, x, frames);
        const std::vector<float> linear = runLinearInterpolator(s, h, x, frames);
        for (size_t k = 0; k < outputs; ++k) {
            ASSERT_NEAR(ring[k], expected[k], tol) << describe(s) << ", ring form, output word " << k;
            ASSERT_NEAR(linear[k], expected[k], tol) << describe(s) << ", linear form, output word " << k;
        }
    }
}

// The interpolator exactly: output i L + p is the clamped, scaled sum of floor products of h[p + j L] and x[i - j].
std::vector<int32_t> exactInterpolate(const std::vector<int32_t> &x, const std::vector<int32_t> &h,
                                      int32_t interpolation, int32_t tapsPerPhase, int32_t shift)
{
    std::vector<int32_t> y;
    for (size_t i = 0; i < x.size(); ++i) {
        for (int32_t p = 0; p < interpolation; ++p) {
            __int128 sum = 0;
            for (size_t j = 0; j < static_cast<size_t>(tapsPerPhase) && j <= i; ++j)
                sum += kvetest::exactFract32Product(x[i - j], h[static_cast<size_t>(p) + j * static_cast<size_t>(interpolation)]);
            y.push_back(kvetest::clampTo32(kvetest::scaleByPow2(sum, shift)));
        }
    }
    return y;
}

TEST(Fract32Interpolator, IsTheExactPolyphaseFilterAroundRingsOfAnyLength)
{
    const struct {
        int32_t interpolation;
        int32_t tapsPerPhase;
        int32_t extraRing;
        int32_t startIndex;
        int32_t postShift;
    } cases[] = {{1, 1, 0, 0, 0}, {2, 1, 3, 2, 1}, {2, 8, 0, 5, -2}, {3, 5, 2, 6, 0}, {4, 16, 0, 15, -5},
                 {5, 3, 7, 1, 40}, {2, 4, 0, 0, -64}};
    const int32_t inputs = 90;
    for (const auto &c : cases) {
        const std::vector<int32_t> h =
            firNoiseWords(static_cast<size_t>(c.interpolation * c.tapsPerPhase), 110u + static_cast<uint64_t>(c.tapsPerPhase));
        std::vector<int32_t> x = firNoiseWords(static_cast<size_t>(inputs), 120);
        if (c.postShift > 0) {
            for (int32_t &v : x)
                v >>= 16;
        }
        const std::vector<int32_t> expected = exactInterpolate(x, h, c.interpolation, c.tapsPerPhase, c.postShift);

        const int32_t stateLen = c.tapsPerPhase + c.extraRing;
        std::vector<int32_t> ring(static_cast<size_t>(stateLen), 0);
        int32_t index = c.startIndex % stateLen;
        // Read backward from the end of x and written every second word, to walk the increments too.
        std::vector<int32_t> reversedX(x.rbegin(), x.rend());
        std::vector<int32_t> y(2 * expected.size(), 0x5A5A5A5A);
        int32_t done = 0;
        for (int32_t len : firBlockLengths(inputs)) {
            kve_vecFIR_InterpolateFract32(reversedX.data() + inputs - 1 - done, -1,
                                          y.data() + 2 * done * c.interpolation, 2, h.data(), ring.data(), &index,
                                          stateLen, len, c.interpolation, c.tapsPerPhase, c.postShift);
            done += len;
        }
        for (size_t k = 0; k < expected.size(); ++k) {
            ASSERT_EQ(y[2 * k], expected[k]) << "interpolation " << c.interpolation << ", output " << k;
            ASSERT_EQ(y[2 * k + 1], 0x5A5A5A5A) << "the words between outputs stay";
        }
        EXPECT_EQ(index, (c.startIndex % stateLen + inputs) % stateLen);
    }
}

} // namespace
