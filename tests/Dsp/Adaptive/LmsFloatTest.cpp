// The float LMS filters: kve_vecLMS identifying an unknown FIR from white noise, behaving as that FIR with its error
// output when its step is 0, and normalising a silent ring by 0.001 instead of 0; kve_vecLMSNorm filtering and keeping
// the ring's energy without ever changing its weights. The reference filter is numpy.convolve.
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
using kvetest::firBlockLengths;
using kvetest::firNoise;

// The first x.size() outputs of the FIR h over x.
std::vector<double> referenceFir(const std::vector<float> &h, const std::vector<float> &x)
{
    std::vector<std::string> args = {"convolve", std::to_string(h.size())};
    kvetest::appendOracleArgs(args, h);
    kvetest::appendOracleArgs(args, x);
    return kvetest::runOracle("fir_filter.py", args);
}

// The two float filters behind one call shape, so that a table can run both.
struct FloatLms {
    const char *name;
    bool adapts;
    void run(const float *desired, const float *src, float *out, float *err, float *weights, float *state,
             int32_t *index, int32_t n, float mu, int32_t numTaps, float *energy) const
    {
        if (adapts)
            kve_vecLMS(desired, src, out, err, weights, state, index, n, mu, numTaps);
        else
            kve_vecLMSNorm(src, desired, out, err, weights, state, index, n, numTaps, energy);
    }
};

const FloatLms kFilters[] = {{"kve_vecLMS", true}, {"kve_vecLMSNorm", false}};

TEST(FloatLms, IdentifiesAnUnknownFirFromWhiteNoise)
{
    const int32_t numTaps = 32;
    const std::vector<float> h = firNoise(numTaps, 5, 0.4f);
    const std::vector<float> x = firNoise(3000, 6);
    const std::vector<double> reference = referenceFir(h, x);
    ASSERT_EQ(reference.size(), x.size());
    std::vector<float> desired(reference.begin(), reference.end());

    for (float mu : {0.2f, 0.5f, 1.0f}) {
        SCOPED_TRACE(mu);
        std::vector<float> weights(numTaps, 0.0f);
        std::vector<float> state(numTaps, 0.0f);
        std::vector<float> out(x.size());
        std::vector<float> err(x.size());
        int32_t index = 0;
        size_t done = 0;
        for (int32_t len : firBlockLengths(static_cast<int32_t>(x.size()))) {
            kve_vecLMS(desired.data() + done, x.data() + done, out.data() + done, err.data() + done, weights.data(),
                       state.data(), &index, len, mu, numTaps);
            done += static_cast<size_t>(len);
        }
        double early = 0.0;
        double late = 0.0;
        for (size_t i = 0; i < 200; ++i)
            early += static_cast<double>(err[i]) * err[i];
        for (size_t i = x.size() - 200; i < x.size(); ++i)
            late += static_cast<double>(err[i]) * err[i];
        EXPECT_LT(10.0 * std::log10(late / early), -30.0) << "error power drop in dB";
        for (size_t i = 0; i < x.size(); ++i)
            ASSERT_EQ(bitsOf(err[i]), bitsOf(desired[i] - out[i])) << "err is desired - out at sample " << i;
        for (int32_t j = 0; j < numTaps; ++j)
            EXPECT_NEAR(weights[static_cast<size_t>(j)], h[static_cast<size_t>(j)], 1e-3) << "weight " << j;
    }
}

// Sample by sample the adapting filter follows the normalised LMS recursion, run here in double precision: every
// weight and output within float rounding, from any ring position and across calls of every length.
TEST(FloatLms, FollowsTheNormalisedRecursionSampleBySample)
{
    for (int32_t numTaps : {1, 2, 3, 5, 16, 17, 21, 40}) {
        SCOPED_TRACE(std::to_string(numTaps) + " taps");
        const size_t taps = static_cast<size_t>(numTaps);
        const std::vector<float> x = firNoise(120, 50u + taps);
        const std::vector<float> desired = firNoise(x.size(), 60u + taps);
        const std::vector<float> start = firNoise(taps, 70u + taps, 0.5f);
        const float mu = 0.3f;
        const int32_t startIndex = numTaps / 3;

        std::vector<float> weights = start;
        std::vector<float> ring = firNoise(taps, 80u + taps, 0.25f);
        std::vector<double> w(start.begin(), start.end());
        std::vector<double> history(taps); // history[j]: the sample j steps old
        for (size_t j = 0; j < taps; ++j)
            history[j] = ring[(static_cast<size_t>(startIndex) + taps - 1 - j) % taps];
        std::vector<float> out(x.size());
        std::vector<float> err(x.size());
        int32_t index = startIndex;
        size_t done = 0;
        for (int32_t len : firBlockLengths(static_cast<int32_t>(x.size()))) {
            kve_vecLMS(desired.data() + done, x.data() + done, out.data() + done, err.data() + done, weights.data(),
                       ring.data(), &index, len, mu, numTaps);
            done += static_cast<size_t>(len);
        }
        for (size_t i = 0; i < x.size(); ++i) {
            history.insert(history.begin(), x[i]);
            history.pop_back();
            double y = 0.0;
            double energy = 0.0;
            for (size_t j = 0; j < taps; ++j) {
                y += w[j] * history[j];
                energy += history[j] * history[j];
            }
            const double g = (desired[i] - y) * mu / (energy + 0.001);
            for (size_t j = 0; j < taps; ++j)
                w[j] += g * history[j];
            ASSERT_NEAR(out[i], y, 1e-4) << "sample " << i;
        }
        for (size_t j = 0; j < taps; ++j)
            EXPECT_NEAR(weights[j], w[j], 1e-4) << "weight " << j;
        EXPECT_EQ(index, static_cast<int32_t>((static_cast<size_t>(startIndex) + x.size()) % taps));
    }
}

// With no step (kve_vecLMS at mu = 0) or with held weights (kve_vecLMSNorm), both filters are the FIR of their
// weights with an error output, carried across calls of every length, from any ring position; the weights keep
// every bit, even when a sample is infinite, and kve_vecLMSNorm's energy follows the ring's sum of squares.
TEST(FloatLms, WithoutAdaptationIsTheFirOfItsWeights)
{
    for (const FloatLms &filter : kFilters) {
        for (int32_t numTaps : {1, 3, 4, 17, 32, 67}) {
            SCOPED_TRACE(std::string(filter.name) + ", " + std::to_string(numTaps) + " taps");
            const std::vector<float> h = firNoise(static_cast<size_t>(numTaps), 30u + static_cast<uint64_t>(numTaps), 0.5f);
            const std::vector<float> x = firNoise(260, 31u + static_cast<uint64_t>(numTaps));
            const std::vector<float> desired = firNoise(x.size(), 32u + static_cast<uint64_t>(numTaps));
            const std::vector<double> reference = referenceFir(h, x);
            ASSERT_EQ(reference.size(), x.size());

            std::vector<float> weights = h;
            std::vector<float> state(static_cast<size_t>(numTaps), 0.0f);
            std::vector<float> out(x.size());
            std::vector<float> err(x.size());
            int32_t index = numTaps / 2;
            float energy = 0.0f;
            size_t done = 0;
            for (int32_t len : firBlockLengths(static_cast<int32_t>(x.size()))) {
                filter.run(desired.data() + done, x.data() + done, out.data() + done, err.data() + done,
                           weights.data(), state.data(), &index, len, 0.0f, numTaps, &energy);
                done += static_cast<size_t>(len);
            }
            double sumAbs = 0.0;
            for (float c : h)
                sumAbs += std::fabs(c);
            const double tol = (numTaps + 2) * 0x1p-24 * sumAbs;
            for (size_t i = 0; i < x.size(); ++i) {
                ASSERT_NEAR(out[i], reference[i], tol) << "sample " << i;
                ASSERT_EQ(bitsOf(err[i]), bitsOf(desired[i] - out[i])) << "sample " << i;
            }
            for (size_t j = 0; j < h.size(); ++j)
                ASSERT_EQ(bitsOf(weights[j]), bitsOf(h[j])) << "weight " << j;
            if (!filter.adapts) {
                double ring = 0.0;
                for (size_t i = x.size() - static_cast<size_t>(numTaps); i < x.size(); ++i)
                    ring += static_cast<double>(x[i]) * x[i];
                EXPECT_NEAR(energy, ring, 1e-4 * static_cast<double>(x.size()));
            }

            // An infinite sample makes the output infinite or NaN but must not reach the weights.
            const float inf = INFINITY;
            float o = 0.0f;
            float e = 0.0f;
            filter.run(&desired[0], &inf, &o, &e, weights.data(), state.data(), &index, 1, 0.0f, numTaps, &energy);
            for (size_t j = 0; j < h.size(); ++j)
                ASSERT_EQ(bitsOf(weights[j]), bitsOf(h[j])) << "weight " << j << " after an infinite sample";
        }
    }
}

// The step is normalised by the ring's energy plus 0.001: a silent ring gives a finite step (zero times it leaves
// the weights as they are), and a single quiet sample moves its weight by err x mu x x / (x^2 + 0.001).
TEST(FloatLms, NormalisesBySilencePlusOneThousandth)
{
    std::vector<float> weights = {0.25f, -0.5f, 0.75f};
    std::vector<float> state(3, 0.0f);
    int32_t index = 1;
    const float zero = 0.0f;
    const float desired = 0.5f;
    float out = -1.0f;
    float err = -1.0f;
    kve_vecLMS(&desired, &zero, &out, &err, weights.data(), state.data(), &index, 1, 1.0f, 3);
    EXPECT_EQ(out, 0.0f);
    EXPECT_EQ(err, 0.5f);
    EXPECT_EQ(weights, (std::vector<float>{0.25f, -0.5f, 0.75f}));
    EXPECT_EQ(index, 2);

    struct Case {
        float x, desired, mu;
    };
    for (const Case &c : {Case{0.01f, 1.0f, 1.0f}, Case{-0.02f, 0.3f, 0.5f}, Case{0.5f, -0.25f, 0.1f}}) {
        float w = 0.0f;
        float ring = 0.0f;
        int32_t at = 0;
        kve_vecLMS(&c.desired, &c.x, &out, &err, &w, &ring, &at, 1, c.mu, 1);
        const double x = c.x;
        const double expected = c.desired * static_cast<double>(c.mu) * x / (x * x + 0.001);
        EXPECT_NEAR(w, expected, 1e-5 * std::fabs(expected)) << "x " << c.x;
        EXPECT_EQ(err, c.desired);
    }
}

} // namespace
