// The range tests and the zero-crossing detector: which words each output mode writes (and that none outside them
// is touched), NaN samples and signed extremes, and the detector's sign carried from one block to the next, checked
// against numpy.
#include <gtest/gtest.h>

#include <cstdint>
#include <limits>
#include <string>
#include <vector>

#include "Dsp/GuardedVector.h"
#include "kve/kve_vec.h"
#include "support/PythonOracle.h"

namespace {

using kvetest::GuardedVector;
using kvetest::kGuardWord;

constexpr uint32_t kUnwritten = kGuardWord;

template <typename T>
struct RangeCase {
    const char *what;
    int32_t mode;
    std::vector<T> samples;
    T lower;
    T upper;
    bool perSampleVector; // false: dstVec is a null pointer
    std::vector<uint32_t> perSample; // the words of dstVec afterwards, kUnwritten where nothing may be written
    int32_t all;
};

template <typename T, typename Kernel>
void expectRange(const RangeCase<T> &c, Kernel kernel)
{
    const auto n = static_cast<int32_t>(c.samples.size());
    GuardedVector dstVec(static_cast<int32_t>(c.perSample.size()), 1);
    GuardedVector dstAll(1, 1);
    kernel(c.samples.data(), c.perSampleVector ? dstVec.as<int32_t>() : nullptr, c.lower, c.upper, c.mode,
           dstAll.as<int32_t>(), n);
    GuardedVector expectedVec(static_cast<int32_t>(c.perSample.size()), 1);
    for (size_t i = 0; i < c.perSample.size(); ++i)
        expectedVec[static_cast<ptrdiff_t>(i)] = c.perSample[i];
    GuardedVector expectedAll(1, 1);
    expectedAll[0] = static_cast<uint32_t>(c.all);
    EXPECT_EQ(dstVec.words(), expectedVec.words()) << c.what;
    EXPECT_EQ(dstAll.words(), expectedAll.words()) << c.what;
}

const uint32_t U = kUnwritten;

TEST(RangeKernels, FloatSamplesSetTheFlagsTheModeAsksFor)
{
    const float nan = std::numeric_limits<float>::quiet_NaN();
    const std::vector<float> mixed = {-0.5f, 0.0f, 1.0f, 1.5f};
    const RangeCase<float> cases[] = {
        {"mode 2: one flag per sample", 2, mixed, 0.0f, 1.0f, true, {0, 1, 1, 0}, 0},
        {"mode 1: the block flag, also in the first word", 1, mixed, 0.0f, 1.0f, true, {0, U, U, U}, 0},
        {"mode 0: the block flag only", 0, mixed, 0.0f, 1.0f, true, {U, U, U, U}, 0},
        {"a negative mode acts as mode 0", -3, mixed, 0.0f, 1.0f, true, {U, U, U, U}, 0},
        {"a mode above 2 acts as mode 2", 9, mixed, 0.0f, 1.0f, true, {0, 1, 1, 0}, 0},
        {"every sample on or inside the bounds", 2, {0.0f, -0.0f, 0.5f, 1.0f}, 0.0f, 1.0f, true, {1, 1, 1, 1}, 1},
        {"mode 1 with every sample in range", 1, {0.25f, 0.75f}, 0.0f, 1.0f, true, {1, U}, 1},
        {"a NaN sample counts as in range", 2, {nan, 0.5f, 2.0f}, 0.0f, 1.0f, true, {1, 1, 0}, 0},
        {"NaN bounds let every sample in", 2, {-9.0f, 9.0f}, nan, nan, true, {1, 1}, 1},
        {"bounds crossed over: nothing is in range", 2, {0.5f, 0.0f, 1.0f}, 1.0f, 0.0f, true, {0, 0, 0}, 0},
        {"no samples, mode 2: the block flag alone", 2, {}, 0.0f, 1.0f, true, {U, U}, 1},
        {"no samples, mode 1: the block flag, also in the first word", 1, {}, 0.0f, 1.0f, true, {1, U}, 1},
        {"no samples, mode 0", 0, {}, 0.0f, 1.0f, true, {U, U}, 1},
        {"no per-sample vector, mode 2: the block flag alone", 2, mixed, 0.0f, 1.0f, false, {U, U, U, U}, 0},
        {"no per-sample vector, mode 1: the block flag alone", 1, mixed, 0.0f, 1.0f, false, {U, U, U, U}, 0},
        {"no per-sample vector and no samples", 1, {}, 0.0f, 1.0f, false, {U}, 1},
    };
    for (const auto &c : cases)
        expectRange(c, kve_vecWithinRange);
}

TEST(RangeKernels, Fract32SamplesCompareAsSignedWords)
{
    const std::vector<int32_t> extremes = {INT32_MIN, -1, 0, 0x40000000, INT32_MAX};
    const RangeCase<int32_t> cases[] = {
        {"full scale bounds hold everything", 2, extremes, INT32_MIN, INT32_MAX, true, {1, 1, 1, 1, 1}, 1},
        {"negative lower bound", 2, extremes, -1, 0x40000000, true, {0, 1, 1, 1, 0}, 0},
        {"mode 1 over the same samples", 1, extremes, -1, 0x40000000, true, {0, U, U, U, U}, 0},
        {"mode 0 over the same samples", 0, extremes, -1, 0x40000000, true, {U, U, U, U, U}, 0},
        {"a single value range", 3, {5, 6, 4, 5}, 5, 5, true, {1, 0, 0, 1}, 0},
        {"no samples, mode 1", 1, {}, 0, 1, true, {1, U}, 1},
        {"no per-sample vector, mode 2", 2, extremes, -1, 0x40000000, false, {U}, 0},
    };
    for (const auto &c : cases)
        expectRange(c, kve_vecWithinRangeFract32);
}

// Runs the detector over x with an initial state; returns the outputs and leaves the final state in state.
std::vector<int32_t> detect(const std::vector<int32_t> &x, int32_t mode, int32_t &state)
{
    std::vector<int32_t> out(x.size(), 7);
    kve_vecZeroCrossingDetectorFract32(x.data(), 1, out.data(), 1, mode, &state, static_cast<int32_t>(x.size()));
    return out;
}

TEST(ZeroCrossingKernel, ReportsTheCrossingsOfTheSelectedDirection)
{
    constexpr int32_t F = INT32_MAX;
    const std::vector<int32_t> signal = {5, 3, -2, -1, 4};
    const struct {
        const char *what;
        int32_t mode;
        int32_t state;
        std::vector<int32_t> samples;
        std::vector<int32_t> out;
        int32_t finalState;
    } cases[] = {
        {"both directions from no sign", 0, 0, signal, {F, 0, F, 0, F}, 1},
        {"rising from a negative sign", 1, -1, signal, {F, 0, 0, 0, F}, 1},
        {"falling from a positive sign", -1, 1, signal, {0, 0, F, 0, 0}, 1},
        {"rising: no sign before the first sample reports nothing", 5, 0, {3, -1}, {0, 0}, -1},
        {"falling: no sign before the first sample reports nothing", -5, 0, {-3, 1, -1}, {0, 0, F}, -1},
        {"zero after a negative sample is a rising crossing", 1, 1, {-7, 0, 0, -1, 0}, {0, F, 0, 0, F}, 1},
        {"zero after a positive sample is no crossing", 0, 1, {1, 0, INT32_MIN, 0}, {0, 0, F, F}, 1},
        {"no samples leave the state as it was", 0, -1, {}, {}, -1},
    };
    for (const auto &c : cases) {
        int32_t state = c.state;
        EXPECT_EQ(detect(c.samples, c.mode, state), c.out) << c.what;
        EXPECT_EQ(state, c.finalState) << c.what;
    }
}

// A noisy signal detected in one call must give what numpy finds, and so must the same signal split into two calls
// at any point, the state word carrying the sign across.
TEST(ZeroCrossingKernel, CarriesTheSignAcrossCalls)
{
    std::vector<int32_t> signal;
    uint32_t seed = 12345u;
    for (int i = 0; i < 37; ++i) {
        seed = seed * 1664525u + 1013904223u;
        signal.push_back(i % 9 == 4 ? 0 : static_cast<int32_t>(seed) >> 4);
    }
    std::vector<std::string> args;
    for (const int32_t x : signal)
        args.push_back(std::to_string(x));
    const std::vector<double> oracle = kvetest::runOracle("zero_crossings.py", args);
    ASSERT_EQ(oracle.size(), 9 * (signal.size() + 1));
    auto next = oracle.begin();
    for (const int32_t mode : {0, 1, -1}) {
        for (const int32_t initial : {0, 1, -1}) {
            std::vector<int32_t> expected;
            for (size_t i = 0; i < signal.size(); ++i)
                expected.push_back(*next++ != 0.0 ? INT32_MAX : 0);
            const auto finalState = static_cast<int32_t>(*next++);
            const std::string run = "mode " + std::to_string(mode) + ", state " + std::to_string(initial);

            int32_t state = initial;
            EXPECT_EQ(detect(signal, mode, state), expected) << run << ", one call";
            EXPECT_EQ(state, finalState) << run << ", one call";

            for (size_t split = 0; split <= signal.size(); ++split) {
                const std::vector<int32_t> head(signal.begin(), signal.begin() + static_cast<ptrdiff_t>(split));
                const std::vector<int32_t> tail(signal.begin() + static_cast<ptrdiff_t>(split), signal.end());
                state = initial;
                std::vector<int32_t> out = detect(head, mode, state);
                const std::vector<int32_t> rest = detect(tail, mode, state);
                out.insert(out.end(), rest.begin(), rest.end());
                EXPECT_EQ(out, expected) << run << ", split at " << split;
                EXPECT_EQ(state, finalState) << run << ", split at " << split;
            }
        }
    }
}

// Strided input and output (one channel of an interleaved block, written backward): the same flags as the
// contiguous call, and no word between or around the output samples written.
TEST(ZeroCrossingKernel, FollowsTheIncrements)
{
    const std::vector<int32_t> signal = {4, -4, -9, 0, 7, -1, 2, 2, -3};
    const auto n = static_cast<int32_t>(signal.size());
    for (const int32_t mode : {0, 1, -1}) {
        int32_t state = 0;
        const std::vector<int32_t> expected = detect(signal, mode, state);

        GuardedVector src(n, 2);
        for (int32_t i = 0; i < n; ++i)
            src[i] = kvetest::bitsOf(signal[static_cast<size_t>(i)]);
        for (const int32_t dstInc : {3, -1}) {
            GuardedVector dst(n, dstInc);
            GuardedVector want(n, dstInc);
            for (int32_t i = 0; i < n; ++i)
                want[i] = kvetest::bitsOf(expected[static_cast<size_t>(i)]);
            int32_t stridedState = 0;
            kve_vecZeroCrossingDetectorFract32(src.as<int32_t>(), 2, dst.as<int32_t>(), dstInc, mode, &stridedState,
                                               n);
            EXPECT_EQ(dst.words(), want.words()) << "mode " << mode << ", output increment " << dstInc;
            EXPECT_EQ(stridedState, state);
        }
    }
}

} // namespace
