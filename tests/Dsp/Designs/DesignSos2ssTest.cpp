// State-space form of a biquad: run through the state-space recurrence, it filters like the biquad it came from
// (scipy's lfilter of the original coefficients), and the conversion may be done in place.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <string>
#include <vector>

#include "kve/kve_design.h"
#include "support/PythonOracle.h"

namespace {

using Coeffs = std::array<float, 5>;

// y = k3 x + s0; s0' = k1 s0 + s1 + k4 x; s1' = k2 s0 + k1 s1 + k0 x, from zero state, in double.
std::vector<double> runStateSpace(const Coeffs &k, const std::vector<double> &x)
{
    std::vector<double> y;
    double s0 = 0, s1 = 0;
    for (double v : x) {
        y.push_back(k[3] * v + s0);
        const double next0 = k[1] * s0 + s1 + k[4] * v;
        const double next1 = k[2] * s0 + k[1] * s1 + k[0] * v;
        s0 = next0;
        s1 = next1;
    }
    return y;
}

// An impulse, then a deterministic noise burst, then silence: the impulse response, a busy signal, and the decay.
std::vector<double> testSignal()
{
    std::vector<double> x(240, 0.0);
    x[0] = 1.0;
    uint32_t seed = 12345;
    for (size_t i = 40; i < 160; ++i) {
        seed = seed * 1664525u + 1013904223u;
        x[i] = static_cast<double>(seed >> 8) / 8388608.0 - 1.0;
    }
    return x;
}

Coeffs designed(int type, float freq, float gain, float Q)
{
    Coeffs c;
    design_second_order_filter(type, c.data(), 48000, freq, gain, Q);
    return c;
}

// Sections of every shape: a lowpass whose poles crowd towards z = 1, low- and high-frequency resonances, a notch, a
// first-order section, two real poles, a gain and the pass-through.
TEST(StateSpaceDesign, FiltersLikeTheBiquadItCameFrom)
{
    const Coeffs biquads[] = {
        designed(21, 100, 0, 0.7071f),   // lowpass
        designed(12, 1000, 6, 2),        // peaking
        designed(22, 5000, 0, 0.5f),     // highpass
        designed(12, 20000, -9, 8),      // sharp cut close to Nyquist
        designed(13, 3000, 0, 4),        // notch
        designed(15, 1000, 0, 1),        // first-order lowpass
        {0.2f, 0.3f, -0.1f, 1.7f, 0.95f}, // resonance close to Nyquist
        {1.0f, -0.5f, 0.25f, -0.9f, 0.2f}, // two real poles
        {-2.5f, 0, 0, 0, 0},             // gain
        {1, 0, 0, 0, 0},                 // pass-through
    };
    const std::vector<double> x = testSignal();
    std::vector<std::string> args;
    for (const Coeffs &b : biquads) {
        for (float v : b)
            args.push_back(kvetest::oracleArg(v));
        args.push_back(kvetest::oracleArg(static_cast<double>(x.size())));
        for (double v : x)
            args.push_back(kvetest::oracleArg(v));
    }
    const std::vector<double> ref = kvetest::runOracle("design_sos2ss.py", args);
    ASSERT_EQ(ref.size(), std::size(biquads) * x.size());

    for (size_t c = 0; c < std::size(biquads); ++c) {
        Coeffs k;
        design_sos2ss(biquads[c].data(), k.data());
        const std::vector<double> y = runStateSpace(k, x);
        const double *expected = ref.data() + c * x.size();
        double peak = 0;
        for (size_t i = 0; i < x.size(); ++i)
            peak = std::max(peak, std::fabs(expected[i]));
        for (size_t i = 0; i < x.size(); ++i)
            ASSERT_NEAR(y[i], expected[i], 1e-6 * peak) << "biquad " << c << " sample " << i;
    }
}

TEST(StateSpaceDesign, PassThroughAndInPlaceConversion)
{
    const Coeffs passThrough = {1, 0, 0, 0, 0};
    Coeffs k;
    k.fill(-12345.0f);
    EXPECT_EQ(design_sos2ss(passThrough.data(), k.data()), passThrough.data()); // returns the biquad
    EXPECT_EQ(k, (Coeffs{0, 0, 0, 1, 0}));

    // Converting a set over itself gives what converting it into another array gives.
    const Coeffs biquad = {0.2f, 0.3f, -0.1f, 1.7f, 0.95f};
    Coeffs apart, inPlace = biquad;
    design_sos2ss(biquad.data(), apart.data());
    EXPECT_EQ(design_sos2ss(inPlace.data(), inPlace.data()), inPlace.data());
    EXPECT_EQ(inPlace, apart);
}

} // namespace
