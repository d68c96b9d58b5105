// Convolution and correlation windows against numpy.convolve and numpy.correlate: windows that start before the
// first output, end past the last one, or lie inside; vectors read and written along increments; calls whose sizes
// leave nothing to compute write nothing.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <string>
#include <vector>

#include "Dsp/Fir/FirSignals.h"
#include "Dsp/GuardedVector.h"
#include "kve/kve_vec.h"
#include "support/PythonOracle.h"

namespace {

using kvetest::GuardedVector;
using kvetest::kGuardWord;

using WindowKernel = void (*)(const float *, int32_t, int32_t, const float *, int32_t, int32_t, float *, int32_t,
                              int32_t, int32_t);

struct Window {
    const char *name;
    WindowKernel kernel;
    const char *mode;
    int32_t aLen, aInc, bLen, bInc, start, numOut, dstInc;
    std::vector<float> a, b; // noise of aLen and bLen values when empty
};

// A vector of values laid out along inc.
GuardedVector laidOut(const std::vector<float> &values, int32_t inc)
{
    GuardedVector v(static_cast<int32_t>(values.size()), inc);
    for (size_t i = 0; i < values.size(); ++i)
        v[static_cast<ptrdiff_t>(i)] = kvetest::bitsOf(values[i]);
    return v;
}

const Window kWindows[] = {
    // The small cases whose results are known by hand: (1, 2) * (1, 1) is 1, 3, 2; correlating with (1) or (1, 0)
    // gives a back, the latter one step late.
    {"conv of (1,2) and (1,1)", kve_vecConv, "conv", 2, 1, 2, 1, 0, 3, 1, {1, 2}, {1, 1}},
    {"conv window past the end", kve_vecConv, "conv", 2, 1, 2, 1, 0, 5, 1, {1, 2}, {1, 1}},
    {"conv window from -1", kve_vecConv, "conv", 2, 1, 2, 1, -1, 4, 1, {1, 2}, {1, 1}},
    {"corr with one tap", kve_vecCorr, "corr", 3, 1, 1, 1, 0, 3, 1, {1, 2, 3}, {1}},
    {"corr with (1, 0)", kve_vecCorr, "corr", 3, 1, 2, 1, 0, 4, 1, {1, 2, 3}, {1, 0}},
    // Longer vectors: whole results, windows inside, windows across both ends, strides, a shorter than b.
    {"conv whole", kve_vecConv, "conv", 40, 1, 13, 1, 0, 52, 1, {}, {}},
    {"conv inside", kve_vecConv, "conv", 40, 1, 13, 1, 7, 20, 1, {}, {}},
    {"conv across both ends", kve_vecConv, "conv", 17, 1, 9, 1, -5, 40, 1, {}, {}},
    {"conv along increments", kve_vecConv, "conv", 23, 3, 6, 2, 2, 25, 4, {}, {}},
    {"conv backwards increments", kve_vecConv, "conv", 12, -1, 5, -2, -2, 20, -1, {}, {}},
    {"conv a shorter than b", kve_vecConv, "conv", 4, 1, 30, 1, 0, 40, 1, {}, {}},
    {"corr whole", kve_vecCorr, "corr", 40, 1, 13, 1, 0, 52, 1, {}, {}},
    {"corr inside", kve_vecCorr, "corr", 40, 1, 13, 1, 12, 10, 1, {}, {}},
    {"corr across both ends", kve_vecCorr, "corr", 17, 1, 9, 1, -3, 40, 1, {}, {}},
    {"corr along increments", kve_vecCorr, "corr", 23, 2, 6, 3, 1, 30, 2, {}, {}},
    {"corr a shorter than b", kve_vecCorr, "corr", 4, 1, 30, 1, 20, 20, 1, {}, {}},
};

TEST(ConvolutionWindow, GivesTheWindowOfTheFullResultAndLeavesThePastEndUnwritten)
{
    for (const Window &w : kWindows) {
        SCOPED_TRACE(w.name);
        const std::vector<float> a =
            w.a.empty() ? kvetest::firNoise(static_cast<size_t>(w.aLen), 40u + static_cast<uint64_t>(w.aLen)) : w.a;
        const std::vector<float> b =
            w.b.empty() ? kvetest::firNoise(static_cast<size_t>(w.bLen), 70u + static_cast<uint64_t>(w.bLen)) : w.b;
        std::vector<std::string> args = {w.mode, std::to_string(w.aLen), std::to_string(w.bLen),
                                         std::to_string(w.start), std::to_string(w.numOut)};
        kvetest::appendOracleArgs(args, a);
        kvetest::appendOracleArgs(args, b);
        const std::vector<double> expected = kvetest::runOracle("adaptive_windows.py", args);
        ASSERT_FALSE(expected.empty());

        GuardedVector av = laidOut(a, w.aInc);
        GuardedVector bv = laidOut(b, w.bInc);
        GuardedVector dst(w.numOut, w.dstInc);
        w.kernel(av.as<float>(), w.aInc, w.aLen, bv.as<float>(), w.bInc, w.bLen, dst.as<float>(), w.dstInc, w.numOut,
                 w.start);

        double scale = 0.0;
        for (float v : b)
            scale = std::max(scale, static_cast<double>(std::fabs(v)));
        const double tol = static_cast<double>(w.bLen) * scale * 0x1p-23;
        for (int32_t i = 0; i < w.numOut; ++i) {
            if (static_cast<size_t>(i) < expected.size()) {
                const float got = kvetest::floatOf(dst[i]);
                if (w.start + i < 0)
                    EXPECT_EQ(dst[i], kvetest::bitsOf(0.0f)) << "output " << i << " lies before the first";
                else
                    EXPECT_NEAR(got, expected[static_cast<size_t>(i)], tol) << "output " << i;
            } else {
                EXPECT_EQ(dst[i], kGuardWord) << "output " << i << " lies past the last and must stay unwritten";
            }
        }
        for (ptrdiff_t g = 0; g < GuardedVector::kGuards; ++g) {
            EXPECT_EQ(dst.words()[static_cast<size_t>(g)], kGuardWord);
            EXPECT_EQ(dst.words()[dst.words().size() - 1 - static_cast<size_t>(g)], kGuardWord);
        }
    }
}

TEST(ConvolutionWindow, CallsWithNothingToComputeWriteNothing)
{
    struct Case {
        const char *name;
        int32_t aLen, bLen, start, numOut;
    };
    const Case cases[] = {
        {"empty a", 0, 4, 0, 6},
        {"negative a length", -3, 4, 0, 6},
        {"empty b", 4, 0, 0, 6},
        {"no outputs", 4, 4, 0, 0},
        {"negative output count", 4, 4, 0, -5},
        {"window wholly past the end", 4, 4, 7, 6},
        {"window start near the largest count", 4, 4, INT32_MAX - 2, 6},
    };
    const std::vector<float> a = kvetest::firNoise(8, 1);
    for (WindowKernel kernel : {kve_vecConv, kve_vecCorr}) {
        for (const Case &c : cases) {
            SCOPED_TRACE(c.name);
            GuardedVector dst(6, 1);
            kernel(a.data(), 1, c.aLen, a.data(), 1, c.bLen, dst.as<float>(), 1, c.numOut, c.start);
            for (uint32_t word : dst.words())
                EXPECT_EQ(word, kGuardWord);
        }
    }
}

} // namespace
