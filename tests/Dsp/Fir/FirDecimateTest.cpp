// FIR decimators: the float ring and linear-history forms against scipy.signal.upfirdn, the Fract32 ring form
// against an exact integer model; each carried across calls of every length, output m lined up with input m x D.
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
    int32_t numTaps;
    int32_t decimation;
    int32_t extraRing; // ring words beyond numTaps + decimation - 1
    int32_t startIndex;
};

const Shape kShapes[] = {{1, 1, 0, 0}, {5, 2, 0, 3}, {16, 3, 4, 7}, {33, 4, 0, 10},
                         {64, 2, 1, 0}, {7, 8, 0, 5}, {4, 4, 9, 13}};

std::string describe(const Shape &s)
{
    return std::to_string(s.numTaps) + " taps, decimation " + std::to_string(s.decimation) + ", ring +" +
           std::to_string(s.extraRing);
}

std::vector<double> upfirdnDecimate(const std::vector<float> &h, const std::vector<float> &x, int32_t decimation)
{
    std::vector<std::string> args = {"upfirdn", "1", std::to_string(decimation), "1", std::to_string(h.size())};
    kvetest::appendOracleArgs(args, h);
    kvetest::appendOracleArgs(args, x);
    return kvetest::runOracle("fir_filter.py", args);
}

double tolerance(const std::vector<float> &h)
{
    double sumAbs = 0.0;
    for (float c : h)
        sumAbs += std::fabs(c);
    return (static_cast<double>(h.size()) + 2) * 0x1p-24 * sumAbs;
}

// Runs the ring decimator over x in calls of the given output counts, the ring numTaps + D - 1 + extra words long.
std::vector<float> runRingDecimator(const Shape &s, const std::vector<float> &h, const std::vector<float> &x,
                                    int32_t outputs)
{
    const int32_t ringLen = s.numTaps + s.decimation - 1 + s.extraRing;
    std::vector<float> ring(static_cast<size_t>(ringLen), 0.0f);
    int32_t index = s.startIndex % ringLen;
    std::vector<float> y(static_cast<size_t>(outputs));
    int32_t done = 0;
    for (int32_t len : firBlockLengths(outputs)) {
        kve_vecFIR_Decimate(x.data() + done * s.decimation, 1, y.data() + done, 1, h.data(), ring.data(), &index, len,
                            s.numTaps, ringLen, s.decimation);
        done += len;
    }
    EXPECT_EQ(index, (s.startIndex % ringLen + outputs * s.decimation) % ringLen) << describe(s);
    return y;
}

// Runs the linear-history decimator, which takes the taps time-reversed and a state of numTaps - 1 + nOut x D words,
// in calls of the given output counts; it must leave the words past those alone, and the ring index too.
std::vector<float> runLinearDecimator(const Shape &s, const std::vector<float> &h, const std::vector<float> &x,
                                      int32_t outputs)
{
    const std::vector<float> reversed(h.rbegin(), h.rend());
    const std::vector<int32_t> lengths = firBlockLengths(outputs);
    const size_t kept = static_cast<size_t>(s.numTaps - 1);
    const int32_t longest = *std::max_element(lengths.begin(), lengths.end());
    std::vector<float> state(kept + static_cast<size_t>(longest * s.decimation) + 4, 0.0f);
    int32_t index = 12345;
    std::vector<float> y(static_cast<size_t>(outputs));
    int32_t done = 0;
    for (int32_t len : lengths) {
        const size_t used = kept + static_cast<size_t>(len * s.decimation);
        std::fill(state.begin() + static_cast<ptrdiff_t>(used), state.end(), kvetest::floatOf(kvetest::kGuardWord));
        kve_vecFIR_Decimate_SIMD4(x.data() + done * s.decimation, 1, y.data() + done, 1, reversed.data(),
                                  state.data(), &index, len, s.numTaps, -1, s.decimation);
        for (size_t k = used; k < state.size(); ++k)
            EXPECT_EQ(bitsOf(state[k]), kvetest::kGuardWord) << describe(s) << ", state word " << k;
        done += len;
    }
    EXPECT_EQ(index, 12345) << describe(s);
    return y;
}

TEST(FloatDecimators, RingAndLinearFormsAreTheDecimatedConvolution)
{
    const int32_t outputs = 80;
    for (const Shape &s : kShapes) {
        const std::vector<float> h = firNoise(static_cast<size_t>(s.numTaps), 50u + static_cast<uint64_t>(s.numTaps));
        const std::vector<float> x = firNoise(static_cast<size_t>(outputs * s.decimation), 60);
        const std::vector<double> expected = upfirdnDecimate(h, x, s.decimation);
        ASSERT_GE(expected.size(), static_cast<size_t>(outputs)) << describe(s);

        const std::vector<float> ring = runRingDecimator(s, h, x, outputs);
        const std::vector<float> linear = runLinearDecimator(s, h, x, outputs);
        for (size_t m = 0; m < static_cast<size_t>(outputs); ++m) {
            ASSERT_NEAR(ring[m], expected[m], tolerance(h)) << describe(s) << ", ring form, output " << m;
            ASSERT_NEAR(linear[m], expected[m], tolerance(h)) << describe(s) << ", linear form, output " << m;
        }
    }
}

// Each decimator from a zeroed state: 9 taps, decimation 3, 11 outputs; samples and taps as 32-bit words.
constexpr int32_t kStridedTaps = 9, kStridedDecimation = 3, kStridedOutputs = 11;

struct StridedDecimator {
    const char *name;
    void (*run)(const uint32_t *src, int32_t srcInc, uint32_t *dst, int32_t dstInc, const uint32_t *taps);
};

const StridedDecimator kStridedDecimators[] = {
    {"ring",
     [](const uint32_t *src, int32_t srcInc, uint32_t *dst, int32_t dstInc, const uint32_t *taps) {
         const int32_t ringLen = kStridedTaps + kStridedDecimation - 1;
         std::vector<float> ring(static_cast<size_t>(ringLen), 0.0f);
         int32_t index = 0;
         kve_vecFIR_Decimate(reinterpret_cast<const float *>(src), srcInc, reinterpret_cast<float *>(dst), dstInc,
                             reinterpret_cast<const float *>(taps), ring.data(), &index, kStridedOutputs,
                             kStridedTaps, ringLen, kStridedDecimation);
     }},
    {"linear",
     [](const uint32_t *src, int32_t srcInc, uint32_t *dst, int32_t dstInc, const uint32_t *taps) {
         std::vector<float> state(kStridedTaps - 1 + kStridedOutputs * kStridedDecimation, 0.0f);
         kve_vecFIR_Decimate_SIMD4(reinterpret_cast<const float *>(src), srcInc, reinterpret_cast<float *>(dst),
                                   dstInc, reinterpret_cast<const float *>(taps), state.data(), nullptr,
                                   kStridedOutputs, kStridedTaps, 0, kStridedDecimation);
     }},
    {"Fract32",
     [](const uint32_t *src, int32_t srcInc, uint32_t *dst, int32_t dstInc, const uint32_t *taps) {
         const int32_t ringLen = kStridedTaps + kStridedDecimation - 1;
         std::vector<int32_t> ring(static_cast<size_t>(ringLen), 0);
         int32_t index = 0;
         kve_vecFIR_DecimateFract32(reinterpret_cast<const int32_t *>(src), srcInc, reinterpret_cast<int32_t *>(dst),
                                    dstInc, reinterpret_cast<const int32_t *>(taps), ring.data(), &index,
                                    kStridedOutputs, kStridedTaps, ringLen, kStridedDecimation, 0);
     }},
};

TEST(Decimators, ReadAndWriteAlongTheirIncrements)
{
    const int32_t count = kStridedOutputs * kStridedDecimation;
    std::vector<uint32_t> taps, x;
    for (float v : firNoise(kStridedTaps, 1))
        taps.push_back(bitsOf(v));
    for (float v : firNoise(static_cast<size_t>(count), 2))
        x.push_back(bitsOf(v));
    for (const StridedDecimator &k : kStridedDecimators) {
        std::vector<uint32_t> expected(kStridedOutputs);
        k.run(x.data(), 1, expected.data(), 1, taps.data());
        for (const auto &[srcInc, dstInc] : {std::pair{-2, 3}, {3, -1}}) {
            kvetest::GuardedVector src(count, srcInc);
            for (int32_t i = 0; i < count; ++i)
                src[i] = x[static_cast<size_t>(i)];
            kvetest::GuardedVector dst(kStridedOutputs, dstInc);
            k.run(src.data(), srcInc, dst.data(), dstInc, taps.data());
            for (int32_t m = 0; m < kStridedOutputs; ++m)
                EXPECT_EQ(dst[m], expected[static_cast<size_t>(m)]) << k.name << ", increments " << srcInc << ", "
                                                                    << dstInc << ", output " << m;
            EXPECT_EQ(dst.words().front(), kvetest::kGuardWord) << k.name;
            EXPECT_EQ(dst.words().back(), kvetest::kGuardWord) << k.name;
        }
        // In place: output m lands at or before input m x D, which has been read already.
        std::vector<uint32_t> inPlace = x;
        k.run(inPlace.data(), 1, inPlace.data(), 1, taps.data());
        for (int32_t m = 0; m < kStridedOutputs; ++m)
            EXPECT_EQ(inPlace[static_cast<size_t>(m)], expected[static_cast<size_t>(m)]) << k.name << " in place";
    }
}

// The decimator exactly: output m is the clamped, scaled sum of floor products of h[j] and x[m D - j].
std::vector<int32_t> exactDecimate(const std::vector<int32_t> &x, const std::vector<int32_t> &h, int32_t decimation,
                                   int32_t shift)
{
    std::vector<int32_t> y(x.size() / static_cast<size_t>(decimation));
    for (size_t m = 0; m < y.size(); ++m) {
        const size_t aligned = m * static_cast<size_t>(decimation);
        __int128 sum = 0;
        for (size_t j = 0; j < h.size() && j <= aligned; ++j)
            sum += kvetest::exactFract32Product(x[aligned - j], h[j]);
        y[m] = kvetest::clampTo32(kvetest::scaleByPow2(sum, shift));
    }
    return y;
}

// Any ring of at least numTaps + D - 1 words works, and the index ends where the float decimator leaves it.
TEST(Fract32Decimator, IsTheExactDecimatedFilterAroundRingsOfAnyLength)
{
    const int32_t outputs = 60;
    for (const Shape &s : kShapes) {
        for (int32_t postShift : {-3, 0, 2}) {
            const std::vector<int32_t> h = firNoiseWords(static_cast<size_t>(s.numTaps), 70u + static_cast<uint64_t>(s.numTaps));
            std::vector<int32_t> x = firNoiseWords(static_cast<size_t>(outputs * s.decimation), 80);
            if (postShift > 0) {
                for (int32_t &v : x)
                    v >>= 8;
            }
            const std::vector<int32_t> expected = exactDecimate(x, h, s.decimation, postShift);

            const int32_t ringLen = s.numTaps + s.decimation - 1 + s.extraRing;
            std::vector<int32_t> ring(static_cast<size_t>(ringLen), 0);
            int32_t index = s.startIndex % ringLen;
            std::vector<int32_t> y(outputs);
            int32_t done = 0;
            for (int32_t len : firBlockLengths(outputs)) {
                kve_vecFIR_DecimateFract32(x.data() + done * s.decimation, 1, y.data() + done, 1, h.data(),
                                           ring.data(), &index, len, s.numTaps, ringLen, s.decimation, postShift);
                done += len;
            }
            for (int32_t m = 0; m < outputs; ++m)
                ASSERT_EQ(y[static_cast<size_t>(m)], expected[static_cast<size_t>(m)])
                    << describe(s) << ", shift " << postShift << ", output " << m;
            EXPECT_EQ(index, (s.startIndex % ringLen + outputs * s.decimation) % ringLen) << describe(s);
        }
    }
}

} // namespace
