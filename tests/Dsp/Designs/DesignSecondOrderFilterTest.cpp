// Numbered second-order filter designs: every type against the published cookbook forms, scipy's bilinear transform
// of the first-order prototypes and scipy's Butterworth filters; the documented values of Q = 0 and of types that
// ignore Q; and frequencies at the edges of the band.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <string>
#include <vector>

#include "kve/kve_design.h"
#include "support/PythonOracle.h"

namespace {

using Coeffs = std::array<float, 5>;

Coeffs design(int type, float sampleRate, float freq, float gain, float Q)
{
    Coeffs c;
    c.fill(-12345.0f);
    design_second_order_filter(type, c.data(), sampleRate, freq, gain, Q);
    return c;
}

// Every type, at low, middle and near-Nyquist frequencies, with cuts and boosts, quality factors and bandwidths in
// octaves (Q < 0). The reference is computed in double and the design in quad, so the two agree to the float
// rounding of the coefficients.
TEST(SecondOrderFilterDesign, EveryTypeMatchesItsReferenceDesign)
{
    const struct {
        float sampleRate, freq, gain, Q;
    } settings[] = {
        {48000, 1000, 6, 0.7071f}, {44100, 50, -12, 4}, {16000, 7000, 3, 0.5f},
        {96000, 15000, -3, -1},    {48000, 300, 9, -0.3f}, {8000, 3990, 6, 2},
    };
    std::vector<std::string> args;
    for (const auto &s : settings)
        for (int type = 0; type <= 23; ++type)
            for (double v : {double(type), double(s.sampleRate), double(s.freq), double(s.gain), double(s.Q)})
                args.push_back(kvetest::oracleArg(v));
    const std::vector<double> ref = kvetest::runOracle("design_second_order.py", args);
    ASSERT_EQ(ref.size(), args.size()); // five coefficients for every five arguments

    size_t at = 0;
    for (const auto &s : settings)
        for (int type = 0; type <= 23; ++type, at += 5) {
            const Coeffs got = design(type, s.sampleRate, s.freq, s.gain, s.Q);
            for (int i = 0; i < 5; ++i)
                EXPECT_NEAR(got[i], ref[at + i], 2e-7 * std::max(1.0, std::fabs(ref[at + i])))
                    << "type " << type << " rate " << s.sampleRate << " freq " << s.freq << " gain " << s.gain
                    << " Q " << s.Q << " value " << i;
        }
}

// Values the filter types are documented with, among them Q = 0 (the lowest Q, 1e-10), which the cookbook leaves
// undefined, and the fixed-Q shelves, which ignore the Q they are given.
TEST(SecondOrderFilterDesign, DocumentedValues)
{
    const struct {
        int type;
        float sampleRate, freq, gain, Q;
        Coeffs expected;
    } cases[] = {
        {1, 48000, 1000, 6, 0.7f, {1.9952623f, 0, 0, 0, 0}},
        {0, 48000, 1000, 6, 0.7f, {1, 0, 0, 0, 0}},
        {23, 48000, 1000, 6, 0.7f, {1, 0, 0, 0, 0}},
        {-1, 48000, 1000, 6, 0.7f, {1, 0, 0, 0, 0}},
        {7, 48000, 1000, 0, 0.7071f, {0.8310041f, -1.8153396f, 1, -1.8153396f, 0.8310041f}},
        {7, 48000, 1000, 0, 0, {-1, 0, 1, 0, -1}},
        {8, 48000, 1000, 6, 0.7f, {1.0325625f, -1.8388568f, 0.8287477f, -1.8444569f, 0.8557101f}},
        {8, 48000, 1000, 6, 0, {1.0325625f, -1.8388568f, 0.8287477f, -1.8444569f, 0.8557101f}},
        {8, 48000, 1000, 6, -2, {1.0325625f, -1.8388568f, 0.8287477f, -1.8444569f, 0.8557101f}},
        {12, 48000, 1000, 6, 0, {1.9952623f, 0, -1.9952623f, 0, -1}},
        {15, 48000, 1000, 0, 1, {0.0614293f, 0.0614293f, 0, -0.8771414f, 0}},
        {2, 48000, 1000, 0, 1, {0.0615118f, 0.0615118f, 0, -0.8769765f, 0}},
    };
    for (const auto &c : cases) {
        const Coeffs got = design(c.type, c.sampleRate, c.freq, c.gain, c.Q);
        for (int i = 0; i < 5; ++i)
            EXPECT_NEAR(got[i], c.expected[i], 2e-7 * std::max(1.0f, std::fabs(c.expected[i])))
                << "type " << c.type << " Q " << c.Q << " value " << i;
    }

    // The first-order shelves put their pole where their corner lies: scaled by the gain for types 19 and 20.
    const struct {
        int type;
        float pole;
    } poles[] = {{17, 0.8769765f}, {18, 0.8769765f}, {19, 0.9113128f}, {20, 0.8305252f}};
    for (const auto &p : poles)
        EXPECT_NEAR(-design(p.type, 48000, 1000, 6, 0.7f)[3], p.pole, 1e-7) << "type " << p.type;
}

// At 0 Hz every Q gives the same section (the band has no width there); as the frequency nears Nyquist a bandwidth
// in octaves asks for an ever wider band, and the coefficients reach their limits instead of overflowing. Every
// type stays finite at and near both ends of the band, for any kind of Q.
TEST(SecondOrderFilterDesign, StaysFiniteAtZeroAndNyquistForEveryKindOfQ)
{
    for (int type = 0; type <= 23; ++type) {
        const Coeffs atZero = design(type, 48000, 0, 6, 1);
        for (float Q : {0.0f, -1.0f, -4.0f})
            EXPECT_EQ(design(type, 48000, 0, 6, Q), atZero) << "type " << type << " Q " << Q;
        for (float freq : {0.0f, 0.01f, 23990.0f, 23999.998f, 24000.0f})
            for (float Q : {0.7071f, 20.0f, 0.0f, -0.1f, -1.0f, -4.0f}) {
                const Coeffs got = design(type, 48000, freq, 6, Q);
                for (int i = 0; i < 5; ++i)
                    EXPECT_TRUE(std::isfinite(got[i]))
                        << "type " << type << " freq " << freq << " Q " << Q << " value " << i << ": " << got[i];
            }
    }

    // A peaking filter whose band covers everything: gain G = 10^(6/20) with the poles at +-1.
    const Coeffs wide = design(12, 48000, 23990, 6, -1);
    const Coeffs limit = {1.9952623f, 0, -1.9952623f, 0, -1};
    for (int i = 0; i < 5; ++i)
        EXPECT_NEAR(wide[i], limit[i], 1e-6) << "value " << i;
}

} // namespace
