// Matrix mixers of interleaved frames: the float mix against numpy's matrix product, the Fract32 mix against an
// exact integer model, the layout of each gain matrix, and the pair accumulator of the smoothed mixer.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <random>
#include <iterator>
#include <string>
#include <tuple>
#include <vector>

#include "Dsp/ExactModels.h"
#include "Dsp/GuardedVector.h"
#include "kve/kve_vec.h"
#include "support/PythonOracle.h"

namespace {

using kvetest::bitsOf;
using kvetest::clampTo32;
using kvetest::GuardedVector;
using kvetest::intOf;

constexpr int32_t kMin = INT32_MIN;
constexpr int32_t kMax = INT32_MAX;

std::vector<float> uniform(size_t count, std::mt19937 &rng)
{
    std::uniform_real_distribution<float> d(-1.0f, 1.0f);
    std::vector<float> v(count);
    for (float &x : v)
        x = d(rng);
    return v;
}

std::string shape(int32_t numIn, int32_t numOut) { return std::to_string(numIn) + " to " + std::to_string(numOut); }

TEST(MixerDense, IsTheMatrixProductOfFramesAndInputMajorGains)
{
    std::mt19937 rng(5);
    const int32_t frames = 7;
    for (const auto &[numIn, numOut] : {std::pair{2, 3}, {1, 1}, {2, 2}, {8, 8}, {3, 5}, {5, 4}, {9, 11}, {0, 3}}) {
        const std::vector<float> src = uniform(static_cast<size_t>(frames * numIn), rng);
        const std::vector<float> gains = uniform(static_cast<size_t>(numIn * numOut), rng);
        std::vector<std::string> args = {std::to_string(numIn), std::to_string(numOut), std::to_string(frames)};
        for (float v : src)
            args.push_back(kvetest::oracleArg(v));
        for (float v : gains)
            args.push_back(kvetest::oracleArg(v));
        const std::vector<double> expected = kvetest::runOracle("smooth_mixer.py", args);
        ASSERT_EQ(expected.size(), static_cast<size_t>(frames * numOut)) << shape(numIn, numOut);

        GuardedVector dst(frames * numOut, 1);
        kve_vecMixerDense(src.data(), numIn, dst.as<float>(), numOut, gains.data(), frames);
        for (int32_t i = 0; i < frames * numOut; ++i)
            ASSERT_NEAR(kvetest::floatOf(dst[i]), expected[static_cast<size_t>(i)], 1e-6 * (numIn + 1))
                << shape(numIn, numOut) << " output sample " << i;
        const std::vector<uint32_t> &w = dst.words();
        for (ptrdiff_t g = 0; g < GuardedVector::kGuards; ++g) {
            ASSERT_EQ(w[static_cast<size_t>(g)], kvetest::kGuardWord) << shape(numIn, numOut);
            ASSERT_EQ(w[w.size() - 1 - static_cast<size_t>(g)], kvetest::kGuardWord) << shape(numIn, numOut);
        }
    }
}

// Outputs formed four to a register within a frame, four frames to a register, or one at a time give the same bits:
// mixing five frames into six outputs at once equals mixing each column of the matrix alone.
TEST(MixerDense, EveryOutputComesOutTheSameWhateverItsPosition)
{
    std::mt19937 rng(6);
    const int32_t numIn = 7, numOut = 6, frames = 5;
    const std::vector<float> src = uniform(static_cast<size_t>(frames * numIn), rng);
    const std::vector<float> gains = uniform(static_cast<size_t>(numIn * numOut), rng);
    std::vector<float> all(static_cast<size_t>(frames * numOut));
    kve_vecMixerDense(src.data(), numIn, all.data(), numOut, gains.data(), frames);
    for (int32_t j = 0; j < numOut; ++j) {
        std::vector<float> column(static_cast<size_t>(numIn));
        for (int32_t i = 0; i < numIn; ++i)
            column[static_cast<size_t>(i)] = gains[static_cast<size_t>(i * numOut + j)];
        std::vector<float> alone(static_cast<size_t>(frames));
        kve_vecMixerDense(src.data(), numIn, alone.data(), 1, column.data(), frames);
        for (int32_t t = 0; t < frames; ++t)
            ASSERT_EQ(bitsOf(alone[static_cast<size_t>(t)]), bitsOf(all[static_cast<size_t>(t * numOut + j)]))
                << "output " << j << " frame " << t;
    }
}

TEST(MixerDense, MatrixLayoutsAreInputMajorForFloatAndOutputMajorForFract32)
{
    const float src[2] = {0.25f, -0.5f};
    float gains[6] = {0, 1.0f, 0, 0, 0, 0};
    float dst[3];
    kve_vecMixerDense(src, 2, dst, 3, gains, 1);
    EXPECT_EQ(dst[0], 0.0f);
    EXPECT_EQ(dst[1], 0.25f) << "gains[1] takes input 0 into output 1";
    EXPECT_EQ(dst[2], 0.0f);

    const int32_t fsrc[2] = {0x12345678, -0x0ABCDEF0};
    const int32_t fgains[6] = {0, 0x40000000, 0, 0, 0, 0}; // 0.5 with a post-shift of 1: unity
    int32_t fdst[3];
    kve_vecMixerDenseFract32(fsrc, 2, fdst, 3, fgains, 1, 1);
    EXPECT_EQ(fdst[0], -0x0ABCDEF0) << "gains[1] takes input 1 into output 0";
    EXPECT_EQ(fdst[1], 0);
    EXPECT_EQ(fdst[2], 0);
}

TEST(MixerDense, NoInputsGiveSilenceAndNoOutputsOrFramesTouchNothing)
{
    const float src[4] = {1, 2, 3, 4};
    const float gains[4] = {1, 1, 1, 1};
    std::vector<float> dst(6, 9.0f);
    kve_vecMixerDense(src, 0, dst.data(), 3, gains, 2);
    EXPECT_EQ(dst, std::vector<float>(6, 0.0f));
    const int32_t fsrc[4] = {1, 2, 3, 4};
    const int32_t fgains[4] = {kMax, kMax, kMax, kMax};
    std::vector<int32_t> fdst(6, 9);
    kve_vecMixerDenseFract32(fsrc, 0, fdst.data(), 3, fgains, 0, 2);
    EXPECT_EQ(fdst, std::vector<int32_t>(6, 0));

    for (const auto &[numIn, numOut, frames] : {std::tuple{2, 0, 2}, {2, -1, 2}, {-1, 2, 2}, {2, 2, 0}, {2, 2, -3}}) {
        std::vector<float> untouched(6, 9.0f);
        kve_vecMixerDense(src, numIn, untouched.data(), numOut, gains, frames);
        EXPECT_EQ(untouched, std::vector<float>(6, 9.0f)) << numIn << " " << numOut << " " << frames;
        std::vector<int32_t> funtouched(6, 9);
        kve_vecMixerDenseFract32(fsrc, numIn, funtouched.data(), numOut, fgains, 0, frames);
        EXPECT_EQ(funtouched, std::vector<int32_t>(6, 9)) << numIn << " " << numOut << " " << frames;
    }
}

// The Fract32 mix, the long way: full products summed in input order, the running sum held inside the 64-bit range,
// then scaled by 2^(postShift - 31) (rounding toward minus infinity) and saturated.
int32_t exactMix(const int32_t *x, const int32_t *row, int32_t numIn, int32_t postShift)
{
    const __int128 top = INT64_MAX;
    const __int128 bottom = INT64_MIN;
    __int128 sum = 0;
    for (int32_t i = 0; i < numIn; ++i) {
        sum += static_cast<__int128>(x[i]) * row[i];
        sum = sum > top ? top : (sum < bottom ? bottom : sum);
    }
    const int64_t shift = static_cast<int64_t>(postShift) - 31;
    const int clamped = shift > 200 ? 200 : (shift < -200 ? -200 : static_cast<int>(shift));
    return clampTo32(kvetest::scaleByPow2(sum, clamped));
}

TEST(MixerDenseFract32, MatchesTheExactModelAndClipsInsteadOfWrapping)
{
    std::mt19937 rng(9);
    std::uniform_int_distribution<int32_t> any(kMin, kMax);
    const std::vector<int32_t> edges = {kMin, kMax, 0, -1, 1};
    auto word = [&]() {
        return rng() % 3 == 0 ? edges[rng() % edges.size()] : any(rng);
    };
    const int32_t shifts[] = {0, 1, -1, 5, -20, 30, 31, 32, 40, -64, -100, INT32_MIN, INT32_MAX};
    for (int trial = 0; trial < 400; ++trial) {
        const auto numIn = static_cast<int32_t>(rng() % 10);
        const auto numOut = static_cast<int32_t>(1 + rng() % 5);
        const auto frames = static_cast<int32_t>(1 + rng() % 6);
        const int32_t postShift = shifts[rng() % std::size(shifts)];
        std::vector<int32_t> src(static_cast<size_t>(frames * numIn));
        std::vector<int32_t> gains(static_cast<size_t>(numIn * numOut));
        for (int32_t &v : src)
            v = word();
        for (int32_t &v : gains)
            v = word();
        GuardedVector dst(frames * numOut, 1);
        GuardedVector expected(frames * numOut, 1);
        for (int32_t t = 0; t < frames; ++t)
            for (int32_t j = 0; j < numOut; ++j)
                expected[t * numOut + j] =
                    bitsOf(exactMix(src.data() + t * numIn, gains.data() + j * numIn, numIn, postShift));
        kve_vecMixerDenseFract32(src.data(), numIn, dst.as<int32_t>(), numOut, gains.data(), postShift, frames);
        ASSERT_EQ(dst.words(), expected.words()) << shape(numIn, numOut) << " post-shift " << postShift;
    }

    // Two full-scale inputs at full-scale gains sum to nearly 2.0: held at full scale, not wrapped to -2.0.
    const int32_t loud[2] = {kMax, kMax};
    const int32_t unity[2] = {kMax, kMax};
    int32_t out = 0;
    kve_vecMixerDenseFract32(loud, 2, &out, 1, unity, 0, 1);
    EXPECT_EQ(out, kMax);
    const int32_t negativeUnity[2] = {kMin, kMin};
    kve_vecMixerDenseFract32(loud, 2, &out, 1, negativeUnity, 0, 1);
    EXPECT_EQ(out, kMin);
}

// acc[k] += x x gainA and acc[k + 1] += x x gainB; the values are exact in binary, so the sums are exact.
TEST(MixerSmoothedV2b, AddsEachSampleIntoItsPairOfAccumulators)
{
    for (int32_t srcInc : {1, 2, 0})
        for (int32_t accInc : {2, 3, 4})
            for (int32_t n : {-1, 0, 1, 6}) {
                std::vector<float> src(12);
                for (size_t i = 0; i < src.size(); ++i)
                    src[i] = static_cast<float>(i) - 5.0f;
                std::vector<float> acc(40, 0.5f);
                std::vector<float> expected = acc;
                for (int32_t k = 0; k < n; ++k) {
                    const float x = src[static_cast<size_t>(k * srcInc)];
                    expected[static_cast<size_t>(k * accInc)] += x * 0.25f;
                    expected[static_cast<size_t>(k * accInc + 1)] += x * -2.0f;
                }
                kve_vecMixerSmoothedV2b(src.data(), srcInc, acc.data(), accInc, 0.25f, -2.0f, n);
                ASSERT_EQ(acc, expected) << "increments " << srcInc << " " << accInc << " n " << n;
            }
}

} // namespace
