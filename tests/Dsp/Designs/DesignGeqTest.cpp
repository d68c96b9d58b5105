// Graphic-equaliser band design: the cascade's magnitude against the closed form of the Butterworth band equaliser,
// stable sections, unity gain at DC, the orders it does not design in full, and a band that starts at DC.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <complex>
#include <limits>
#include <numbers>
#include <string>
#include <vector>

#include "kve/kve_design.h"
#include "support/PythonOracle.h"

namespace {

constexpr float kUntouched = -12345.0f;

struct Band {
    int order;
    float lowFreq, highFreq, gain, sampleRate;
};

std::vector<float> design(const Band &b, size_t room = 0)
{
    const size_t biquads = b.order > 0 ? size_t(b.order / 2) : 0;
    std::vector<float> coeffs(std::max(room, 5 * biquads), kUntouched);
    design_geq(b.order, coeffs.data(), b.lowFreq, b.highFreq, b.gain, b.sampleRate);
    return coeffs;
}

std::complex<double> cascadeResponse(const std::vector<float> &coeffs, double freq, double sampleRate)
{
    const std::complex<double> z1 = std::polar(1.0, -2.0 * std::numbers::pi * freq / sampleRate);
    std::complex<double> h = 1.0;
    for (size_t s = 0; s + 5 <= coeffs.size(); s += 5) {
        const double b0 = coeffs[s], b1 = coeffs[s + 1], b2 = coeffs[s + 2], a1 = coeffs[s + 3], a2 = coeffs[s + 4];
        h *= (b0 + (b1 + b2 * z1) * z1) / (1.0 + (a1 + a2 * z1) * z1);
    }
    return h;
}

double dcGain(const std::vector<float> &coeffs) { return std::abs(cascadeResponse(coeffs, 0, 1)); }

// Both poles of every section strictly inside the unit circle: |a2| < 1 and |a1| < 1 + a2.
void expectStable(const std::vector<float> &coeffs, const std::string &what)
{
    for (size_t s = 0; s + 5 <= coeffs.size(); s += 5) {
        const float a1 = coeffs[s + 3], a2 = coeffs[s + 4];
        EXPECT_TRUE(std::fabs(a2) < 1.0f && std::fabs(a1) < 1.0f + a2)
            << what << " biquad " << s / 5 << ": a1 " << a1 << " a2 " << a2;
    }
}

std::string describe(const Band &b)
{
    return "order " + std::to_string(b.order) + " band " + std::to_string(b.lowFreq) + "-" +
           std::to_string(b.highFreq) + " Hz gain " + std::to_string(b.gain) + " rate " + std::to_string(b.sampleRate);
}

// Bands of every width and place, boosts and cuts, orders 4 to 16, orders that are not multiples of 4 (the largest
// multiple of 4 below them is designed), and bands that start at DC (a low shelf). Rounding the coefficients to float
// moves the poles of narrow bands at low frequencies, which crowd towards z = 1, the most: the response then strays
// from the design by about 1e-8 times (rate / width) (rate / centre) of its value.
TEST(GraphicEqBandDesign, MagnitudeFollowsTheButterworthBandEqualiser)
{
    const Band bands[] = {
        {4, 500, 1000, 6, 48000},     {8, 100, 200, -12, 48000},   {12, 1000, 4000, 9, 44100},
        {16, 5000, 10000, -6, 48000}, {4, 20, 40, 12, 48000},      {8, 10000, 20000, 6, 48000},
        {8, 700, 1400, 0, 48000},     {4, 63, 125, -15, 16000},    {6, 500, 1000, 6, 48000},
        {2, 500, 1000, 6, 48000},     {9, 2000, 2500, 4, 48000},   {8, 0, 300, 6, 48000},
        {4, 0, 1000, -9, 44100},
    };
    std::vector<std::string> args;
    for (const Band &b : bands)
        for (double v : {double(b.order), double(b.lowFreq), double(b.highFreq), double(b.gain), double(b.sampleRate)})
            args.push_back(kvetest::oracleArg(v));
    const std::vector<double> ref = kvetest::runOracle("design_geq.py", args);
    ASSERT_FALSE(ref.empty());

    size_t at = 0;
    for (const Band &b : bands) {
        ASSERT_LT(at, ref.size());
        const auto points = static_cast<size_t>(ref[at++]);
        const std::vector<float> coeffs = design(b);
        expectStable(coeffs, describe(b));
        const double width = b.highFreq - std::max(b.lowFreq, 0.0f);
        const double centre = std::sqrt(std::max(b.lowFreq, 0.0f) * b.highFreq);
        const double crowding = (b.sampleRate / width) * (b.sampleRate / std::max(centre, width));
        for (size_t k = 0; k < points; ++k, at += 2) {
            const double got = std::abs(cascadeResponse(coeffs, ref[at], b.sampleRate));
            EXPECT_NEAR(got, ref[at + 1], (1e-6 + 2e-8 * crowding) * ref[at + 1])
                << describe(b) << " at " << ref[at] << " Hz";
        }
    }
    EXPECT_EQ(at, ref.size());
}

// The first biquad's numerator is rescaled so that the float cascade passes DC at unity gain. What is left is the
// rounding of that numerator's three coefficients to float, relative to their sum, which is small when the band is
// low and the zeros lie close to z = 1.
TEST(GraphicEqBandDesign, UnityGainAtDc)
{
    const Band bands[] = {{4, 500, 1000, 12, 48000}, {8, 40, 80, -12, 48000}, {16, 20, 25, 15, 48000},
                          {8, 8000, 16000, 6, 44100}, {12, 150, 300, -6, 96000}, {4, 2000, 2100, -20, 48000}};
    for (const Band &b : bands) {
        const std::vector<float> coeffs = design(b);
        const double size = std::fabs(coeffs[0]) + std::fabs(coeffs[1]) + std::fabs(coeffs[2]);
        const double sum = double(coeffs[0]) + coeffs[1] + coeffs[2];
        EXPECT_NEAR(dcGain(coeffs), 1.0, 1e-7 * size / std::fabs(sum) + 1e-12) << describe(b);
    }
}

// Only multiples of 4 are designed: orders 5 to 7 are the order-4 band followed by pass-through biquads up to their
// order / 2, orders 2 and 3 pass the signal through, and orders that leave no biquad write nothing. Nothing is
// written past order / 2 biquads.
TEST(GraphicEqBandDesign, BiquadsBeyondTheDesignedOrderPassThrough)
{
    const std::vector<float> band = design({4, 500, 1000, 6, 48000});
    const float passThrough[5] = {1, 0, 0, 0, 0};
    const struct {
        int order;
        size_t designed; // values of the order-4 band at the front
        size_t written;
    } cases[] = {{5, 10, 10}, {6, 10, 15}, {7, 10, 15}, {2, 0, 5}, {3, 0, 5}, {1, 0, 0}, {0, 0, 0}, {-4, 0, 0}};
    for (const auto &c : cases) {
        const std::vector<float> got = design({c.order, 500, 1000, 6, 48000}, 20);
        for (size_t i = 0; i < got.size(); ++i) {
            const float want = i < c.designed ? band[i] : i < c.written ? passThrough[i % 5] : kUntouched;
            EXPECT_EQ(got[i], want) << "order " << c.order << " value " << i;
        }
    }
}

// A lower edge at or below 0 Hz puts the centre on DC: the band becomes a low shelf with the whole gain at DC and half
// of it (in decibels) at the upper edge, and the second biquad of every section passes the signal through.
TEST(GraphicEqBandDesign, BandFromDcIsALowShelf)
{
    const std::vector<float> shelf = design({8, 0, 300, 6, 48000});
    EXPECT_NEAR(dcGain(shelf), std::pow(10.0, 6.0 / 20), 1e-3);
    for (int s = 1; s < 4; s += 2)
        EXPECT_EQ(std::vector<float>(shelf.begin() + 5 * s, shelf.begin() + 5 * s + 5),
                  (std::vector<float>{1, 0, 0, 0, 0}))
            << "biquad " << s;
    for (float low : {-1.0f, -1000.0f, std::numeric_limits<float>::quiet_NaN()})
        EXPECT_EQ(design({8, low, 300, 6, 48000}), shelf) << "lower edge " << low;
}

} // namespace
