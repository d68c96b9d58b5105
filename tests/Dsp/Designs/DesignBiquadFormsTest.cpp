// Single-purpose biquad designs: each form against its published closed form (the audio-EQ cookbook) or its analog
// prototype through scipy's bilinear transform, the documented values, the inverse pairs, and the Q values that
// would divide by zero or overflow.
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

struct Setting {
    float sampleRate, freq, gain, Q;
};

// A set whose every value shows whether a design wrote it.
Coeffs filled()
{
    Coeffs c;
    c.fill(-12345.0f);
    return c;
}

// Every form under one signature, by the name the oracle knows it by.
struct Form {
    const char *name;
    bool takesQ;
    void (*write)(float *c, const Setting &s);

    Coeffs design(const Setting &s) const
    {
        Coeffs c = filled();
        write(c.data(), s);
        return c;
    }
};

const Form kForms[] = {
    {"allpass1", false, [](float *c, const Setting &s) { design_allpass(1, c, s.sampleRate, s.freq, s.Q); }},
    {"allpass2", true, [](float *c, const Setting &s) { design_allpass(2, c, s.sampleRate, s.freq, s.Q); }},
    {"bandpass", true, [](float *c, const Setting &s) { design_bandpass_RBJ(c, s.Q, s.freq, s.sampleRate); }},
    {"notch", true, [](float *c, const Setting &s) { design_notch_RBJ(c, s.Q, s.freq, s.sampleRate); }},
    {"peak", true, [](float *c, const Setting &s) { design_peak_RBJ(c, s.Q, s.freq, s.gain, s.sampleRate); }},
    {"lowshelf", true,
     [](float *c, const Setting &s) { design_shelf_low_RBJ(c, s.Q, s.freq, s.gain, s.sampleRate); }},
    {"highshelf", true,
     [](float *c, const Setting &s) { design_shelf_high_RBJ(c, s.Q, s.freq, s.gain, s.sampleRate); }},
    {"peakInverse", true,
     [](float *c, const Setting &s) { design_peak_Zoelzer(c, s.Q, s.freq, s.gain, s.sampleRate); }},
    {"lowshelfInverse", false, [](float *c, const Setting &s) { design_shelf(1, c, s.freq, s.gain, s.sampleRate); }},
    {"highshelfInverse", false, [](float *c, const Setting &s) { design_shelf(0, c, s.freq, s.gain, s.sampleRate); }},
};

// Every form at low, middle and near-Nyquist frequencies, with boosts and cuts, quality factors, bandwidths in
// octaves and shelf slopes (Q < 0), and Q = 0 (the lowest Q). The forms compute in float against a double reference,
// so they agree to a few float roundings of the coefficients.
TEST(BiquadFormDesign, EveryFormMatchesItsPublishedDesign)
{
    const Setting settings[] = {
        {48000, 1000, 6, 0.7071f}, {44100, 50, -12, 4},  {16000, 7000, 3, 0.5f}, {96000, 15000, -3, -1},
        {48000, 300, 9, -0.3f},    {8000, 3900, 6, 2},   {48000, 2000, -6, 0},   {32000, 120, 15, 10},
    };
    std::vector<std::string> args;
    for (const Setting &s : settings)
        for (const Form &form : kForms) {
            args.push_back(form.name);
            for (double v : {double(s.sampleRate), double(s.freq), double(s.gain), double(s.Q)})
                args.push_back(kvetest::oracleArg(v));
        }
    const std::vector<double> ref = kvetest::runOracle("design_biquads.py", args);
    ASSERT_EQ(ref.size(), args.size()); // five coefficients for every five arguments

    size_t at = 0;
    for (const Setting &s : settings)
        for (const Form &form : kForms) {
            const Coeffs got = form.design(s);
            for (int i = 0; i < 5; ++i, ++at)
                EXPECT_NEAR(got[i], ref[at], 2e-6 * std::max(1.0, std::fabs(ref[at])))
                    << form.name << " rate " << s.sampleRate << " freq " << s.freq << " gain " << s.gain << " Q "
                    << s.Q << " value " << i;
        }
}

TEST(BiquadFormDesign, DocumentedValues)
{
    // The first-order allpass ignores Q.
    for (float Q : {0.7f, 0.0f, -3.0f}) {
        Coeffs c = filled();
        design_allpass(1, c.data(), 48000, 1000, Q);
        EXPECT_NEAR(c[0], -0.8769765f, 1e-7);
        EXPECT_EQ(c[1], 1.0f);
        EXPECT_EQ(c[2], 0.0f);
        EXPECT_EQ(c[3], c[0]);
        EXPECT_EQ(c[4], 0.0f);
    }

    // The Butterworth shelves: unity gain on one side, 6 dB (2.0) on the other.
    const struct {
        int kind;
        Coeffs expected;
    } shelves[] = {
        {0, {1.942126f, -3.629877f, 1.703415f, -1.815341f, 0.8310056f}},
        {1, {1.0387558f, -1.8075458f, 0.8000448f, -1.815341f, 0.8310056f}},
    };
    for (const auto &shelf : shelves) {
        Coeffs c = filled();
        design_shelf(shelf.kind, c.data(), 1000, 6, 48000);
        for (int i = 0; i < 5; ++i)
            EXPECT_NEAR(c[i], shelf.expected[i], 4e-7 * std::max(1.0f, std::fabs(shelf.expected[i])))
                << "kind " << shelf.kind << " value " << i;
    }

    Coeffs gain = filled();
    EXPECT_EQ(design_biquad_gain(gain.data(), -0.25f), gain.data());
    EXPECT_EQ(gain, (Coeffs{-0.25f, 0, 0, 0, 0}));
}

// A cut of the inverse forms undoes the boost of the same size: the cut's zeros are the boost's poles and its poles
// the boost's zeros, and its gain is the inverse of the boost's.
TEST(BiquadFormDesign, InverseFormsCutUndoesBoost)
{
    for (float gain : {6.0f, 0.5f, 18.0f})
        for (float freq : {50.0f, 1000.0f, 15000.0f})
            for (const Form &form : kForms) {
                if (!std::string(form.name).ends_with("Inverse"))
                    continue;
                const Coeffs boost = form.design({48000, freq, gain, 0.7071f});
                const Coeffs cut = form.design({48000, freq, -gain, 0.7071f});
                EXPECT_NEAR(double(boost[0]) * cut[0], 1.0, 1e-6) << form.name << " gain " << gain;
                for (int i = 1; i < 3; ++i) {
                    EXPECT_NEAR(cut[i] / cut[0], boost[i + 2], 1e-6) << form.name << " gain " << gain << " b" << i;
                    EXPECT_NEAR(boost[i] / boost[0], cut[i + 2], 1e-6) << form.name << " gain " << gain << " a" << i;
                }
            }
}

// Q = 0 is the lowest Q (1e-10) wherever a form would divide by it. A band of fixed octaves whose centre sits at 0 Hz
// has no width; near the Nyquist frequency it asks for an alpha that overflows single precision, and the coefficients
// take their limits instead. Every form stays finite at both ends of the band for every kind of Q it reads.
TEST(BiquadFormDesign, ZeroQAndBandEdgesGiveFiniteCoefficients)
{
    for (const Form &form : kForms) {
        if (form.takesQ) {
            EXPECT_EQ(form.design({48000, 1000, 6, 0}), form.design({48000, 1000, 6, 1e-10f})) << form.name;
        }
        // Shelf slopes beyond 1 overshoot and, for large gains, have no real alpha: only slopes up to 1 here.
        const bool slope = std::string(form.name).find("shelf") != std::string::npos;
        for (float freq : {0.0f, 0.01f, 23990.0f, 23999.998f, 24000.0f})
            for (float Q : {0.7071f, 20.0f, 0.0f, -0.1f, -1.0f, slope ? -0.5f : -4.0f})
                for (float gain : {12.0f, -12.0f}) {
                    const Coeffs c = form.design({48000, freq, gain, Q});
                    for (int i = 0; i < 5; ++i)
                        EXPECT_TRUE(std::isfinite(c[i]))
                            << form.name << " freq " << freq << " Q " << Q << " gain " << gain << " value " << i;
                }
    }

    // A peaking filter whose band covers everything: gain G = 10^(6/20) with poles and zeros at +-1.
    Coeffs wide = filled();
    design_peak_RBJ(wide.data(), -4, 23990, 6, 48000);
    const Coeffs limit = {1.9952623f, 0, -1.9952623f, 0, -1};
    for (int i = 0; i < 5; ++i)
        EXPECT_NEAR(wide[i], limit[i], 1e-6) << "value " << i;
}

} // namespace
