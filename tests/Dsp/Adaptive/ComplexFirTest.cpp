// The complex FIRs against numpy's complex convolution of each bin's frames with its taps: kve_vecComplexFIR over a
// ring of planar frames that the test fills newest-first, kve_vecComplexFIRvl with its own tap count and ring per
// bin and real edge bins whose imaginary parts it neither reads nor writes; layouts that would read past a ring do
// nothing.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <string>
#include <vector>

#include "Dsp/Fir/FirSignals.h"
#include "Dsp/GuardedVector.h"
#include "kve/kve_vec.h"
#include "support/PythonOracle.h"

namespace {

using kvetest::bitsOf;
using kvetest::firNoise;
using kvetest::floatOf;
using kvetest::kGuardWord;

const float kGuardValue = floatOf(kGuardWord);

// Each bin's frames convolved with its own taps: taps bin after bin (len[b] real parts, then len[b] imaginary
// parts), signal as planar real then imaginary frames of nbins; out frame after frame, re and im per bin.
std::vector<double> binConvolution(const std::vector<int32_t> &lens, int32_t frames, const std::vector<float> &taps,
                                   const std::vector<float> &re, const std::vector<float> &im)
{
    std::vector<std::string> args = {"binconv", std::to_string(lens.size()), std::to_string(frames)};
    for (int32_t l : lens)
        args.push_back(std::to_string(l));
    kvetest::appendOracleArgs(args, taps);
    kvetest::appendOracleArgs(args, re);
    kvetest::appendOracleArgs(args, im);
    return kvetest::runOracle("adaptive_windows.py", args);
}

TEST(ComplexFir, FiltersEveryBinOfARingOfFrames)
{
    struct Case {
        int32_t width, numTaps, ringFrames;
    };
    const int32_t frames = 24;
    for (const Case &c : {Case{1, 1, 1}, Case{3, 2, 2}, Case{4, 5, 5}, Case{8, 3, 7}, Case{9, 4, 6}, Case{13, 6, 9}}) {
        SCOPED_TRACE("width " + std::to_string(c.width) + ", " + std::to_string(c.numTaps) + " taps");
        const size_t w = static_cast<size_t>(c.width);
        const std::vector<float> coefRe = firNoise(static_cast<size_t>(c.numTaps) * w, 1u + w);
        const std::vector<float> coefIm = firNoise(static_cast<size_t>(c.numTaps) * w, 2u + w);
        const std::vector<float> re = firNoise(static_cast<size_t>(frames) * w, 3u + w);
        const std::vector<float> im = firNoise(static_cast<size_t>(frames) * w, 4u + w);
        // The oracle's taps bin after bin.
        std::vector<float> taps;
        for (size_t b = 0; b < w; ++b) {
            for (int32_t t = 0; t < c.numTaps; ++t)
                taps.push_back(coefRe[static_cast<size_t>(t) * w + b]);
            for (int32_t t = 0; t < c.numTaps; ++t)
                taps.push_back(coefIm[static_cast<size_t>(t) * w + b]);
        }
        const std::vector<double> expected =
            binConvolution(std::vector<int32_t>(w, c.numTaps), frames, taps, re, im);
        ASSERT_EQ(expected.size(), 2 * w * frames);

        // Enough ring for the taps: frames older than the ring holds were zero in the oracle, so the ring starts zero
        // and holds at least numTaps frames.
        const int32_t bufLen = c.ringFrames * c.width;
        std::vector<float> ringRe(static_cast<size_t>(bufLen), 0.0f);
        std::vector<float> ringIm(static_cast<size_t>(bufLen), 0.0f);
        int32_t start = 0;
        for (int32_t f = 0; f < frames; ++f) {
            // The new frame goes one frame back, so that reading forward meets it first and the older ones after.
            start = start == 0 ? bufLen - c.width : start - c.width;
            for (size_t e = 0; e < w; ++e) {
                ringRe[static_cast<size_t>(start) + e] = re[static_cast<size_t>(f) * w + e];
                ringIm[static_cast<size_t>(start) + e] = im[static_cast<size_t>(f) * w + e];
            }
            std::vector<float> outRe(w + 2, kGuardValue);
            std::vector<float> outIm(w + 2, kGuardValue);
            kve_vecComplexFIR(ringRe.data(), ringIm.data(), coefRe.data(), coefIm.data(), outRe.data(), outIm.data(),
                              bufLen, c.numTaps, start, c.width);
            for (size_t e = 0; e < w; ++e) {
                const size_t at = 2 * (static_cast<size_t>(f) * w + e);
                ASSERT_NEAR(outRe[e], expected[at], 4e-6 * c.numTaps) << "frame " << f << " bin " << e;
                ASSERT_NEAR(outIm[e], expected[at + 1], 4e-6 * c.numTaps) << "frame " << f << " bin " << e;
            }
            EXPECT_EQ(bitsOf(outRe[w]), kGuardWord);
            EXPECT_EQ(bitsOf(outIm[w]), kGuardWord);
        }
    }
}

TEST(ComplexFir, LayoutsThatWouldReadPastTheRingDoNothing)
{
    struct Case {
        const char *name;
        int32_t bufLen, numTaps, startIndex, width;
    };
    const Case cases[] = {
        {"no taps", 16, 0, 0, 4},
        {"no width", 16, 2, 0, 0},
        {"ring shorter than a frame", 3, 2, 0, 4},
        {"ring not whole frames", 18, 2, 0, 4},
        {"start inside a frame", 16, 2, 2, 4},
        {"start before the ring", 16, 2, -4, 4},
        {"start past the ring", 16, 2, 16, 4},
    };
    const std::vector<float> ring = firNoise(32, 1);
    const std::vector<float> coef = firNoise(32, 2);
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        std::vector<float> outRe(8, kGuardValue);
        std::vector<float> outIm(8, kGuardValue);
        kve_vecComplexFIR(ring.data(), ring.data(), coef.data(), coef.data(), outRe.data(), outIm.data(), c.bufLen,
                          c.numTaps, c.startIndex, c.width);
        for (size_t e = 0; e < outRe.size(); ++e) {
            EXPECT_EQ(bitsOf(outRe[e]), kGuardWord);
            EXPECT_EQ(bitsOf(outIm[e]), kGuardWord);
        }
    }
}

// Bins of their own lengths, fed frame by frame. The edge bins are real: the test puts a large imaginary part in
// their input that must not be read, and their output imaginary parts must stay as they were. A bin of no taps
// outputs 0 and takes no room, so the state and taps of the bins after it follow on directly.
TEST(ComplexFirPerBin, FiltersEachBinWithItsOwnTapsAndLeavesEdgeBinsReal)
{
    const std::vector<std::vector<int32_t>> layouts = {
        {3}, {2, 4}, {1, 3, 2}, {4, 1, 5, 2, 3, 6}, {3, 0, 2, -1, 4}, {0, 2, 0},
    };
    const int32_t frames = 20;
    for (const std::vector<int32_t> &lens : layouts) {
        const int32_t numBands = static_cast<int32_t>(lens.size());
        const size_t bands = lens.size();
        SCOPED_TRACE(std::to_string(numBands) + " bins");
        auto isReal = [&](size_t b) { return b == 0 || b + 1 == bands; };

        // Kernel layout (compact), and the oracle's taps with zero imaginary parts for the real bins.
        std::vector<float> coeffs;
        std::vector<float> taps;
        std::vector<int32_t> oracleLens;
        size_t stateWords = 0;
        for (size_t b = 0; b < bands; ++b) {
            const int32_t len = lens[b] > 0 ? lens[b] : 0;
            const std::vector<float> cr = firNoise(static_cast<size_t>(len), 10u + b);
            const std::vector<float> ci = firNoise(static_cast<size_t>(len), 20u + b);
            coeffs.insert(coeffs.end(), cr.begin(), cr.end());
            if (!isReal(b))
                coeffs.insert(coeffs.end(), ci.begin(), ci.end());
            stateWords += static_cast<size_t>(isReal(b) ? len : 2 * len);
            oracleLens.push_back(len > 0 ? len : 1);
            if (len > 0) {
                taps.insert(taps.end(), cr.begin(), cr.end());
                for (float v : ci)
                    taps.push_back(isReal(b) ? 0.0f : v);
            } else {
                taps.insert(taps.end(), {0.0f, 0.0f});
            }
        }
        std::vector<float> re = firNoise(bands * frames, 30u + bands);
        std::vector<float> im = firNoise(bands * frames, 40u + bands);
        std::vector<float> oracleIm = im;
        for (int32_t f = 0; f < frames; ++f)
            for (size_t b = 0; b < bands; ++b)
                if (isReal(b))
                    oracleIm[static_cast<size_t>(f) * bands + b] = 0.0f;
        const std::vector<double> expected = binConvolution(oracleLens, frames, taps, re, oracleIm);
        ASSERT_EQ(expected.size(), 2 * bands * frames);

        std::vector<float> state(stateWords + 4, 0.0f);
        std::fill(state.begin() + static_cast<ptrdiff_t>(stateWords), state.end(), kGuardValue);
        std::vector<int32_t> idx;
        for (size_t b = 0; b < bands; ++b)
            idx.push_back(lens[b] > 0 ? static_cast<int32_t>(b) % lens[b] : 0);
        for (int32_t f = 0; f < frames; ++f) {
            std::vector<float> src(2 * bands);
            for (size_t b = 0; b < bands; ++b) {
                src[2 * b] = re[static_cast<size_t>(f) * bands + b];
                src[2 * b + 1] = isReal(b) ? 1.0e6f : im[static_cast<size_t>(f) * bands + b];
            }
            std::vector<float> dst(2 * bands + 2, kGuardValue);
            kve_vecComplexFIRvl(src.data(), dst.data(), state.data(), coeffs.data(), lens.data(), idx.data(),
                                numBands);
            for (size_t b = 0; b < bands; ++b) {
                const size_t at = 2 * (static_cast<size_t>(f) * bands + b);
                const double tol = 4e-6 * oracleLens[b];
                ASSERT_NEAR(dst[2 * b], expected[at], tol) << "frame " << f << " bin " << b;
                if (isReal(b))
                    ASSERT_EQ(bitsOf(dst[2 * b + 1]), kGuardWord) << "frame " << f << " real bin " << b;
                else
                    ASSERT_NEAR(dst[2 * b + 1], expected[at + 1], tol) << "frame " << f << " bin " << b;
            }
            EXPECT_EQ(bitsOf(dst[2 * bands]), kGuardWord);
        }
        for (size_t k = stateWords; k < state.size(); ++k)
            EXPECT_EQ(bitsOf(state[k]), kGuardWord) << "state word " << k;
    }
}

// An index outside its bin's ring is taken modulo the ring, and a frame of no bins does nothing.
TEST(ComplexFirPerBin, TakesRingIndicesModuloAndIgnoresAnEmptyFrame)
{
    const std::vector<int32_t> lens = {3, 2, 4};
    const std::vector<float> coeffs = firNoise(3 + 4 + 4, 7);
    const std::vector<float> src = {0.5f, 0.0f, -0.25f, 0.75f, 0.125f, 0.0f};
    std::vector<float> state(3 + 4 + 4, 0.0f);
    std::vector<float> stateRef = state;
    std::vector<int32_t> idx = {-1, 5, 9};
    std::vector<int32_t> idxRef = {2, 1, 1};
    std::vector<float> dst(6, 0.0f);
    std::vector<float> dstRef(6, 0.0f);
    kve_vecComplexFIRvl(src.data(), dst.data(), state.data(), coeffs.data(), lens.data(), idx.data(), 3);
    kve_vecComplexFIRvl(src.data(), dstRef.data(), stateRef.data(), coeffs.data(), lens.data(), idxRef.data(), 3);
    EXPECT_EQ(dst, dstRef);
    EXPECT_EQ(state, stateRef);
    EXPECT_EQ(idx, idxRef);

    for (int32_t numBands : {0, -2}) {
        std::vector<float> out(6, kGuardValue);
        kve_vecComplexFIRvl(src.data(), out.data(), state.data(), coeffs.data(), lens.data(), idx.data(), numBands);
        for (float v : out)
            EXPECT_EQ(bitsOf(v), kGuardWord);
        EXPECT_EQ(state, stateRef);
    }
}

} // namespace
