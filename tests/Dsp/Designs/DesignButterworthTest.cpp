// Butterworth cascade design: the prototypes at their own cutoff, the responses at other cutoffs and rates against
// scipy's Butterworth filters, the allpass kind, orders the prototypes do not cover, and cutoffs and rates outside the
// band in which single-precision sections stay stable.
#include <gtest/gtest.h>

#include <algorithm>
#include <bit>
#include <cmath>
#include <complex>
#include <cstdint>
#include <limits>
#include <numbers>
#include <string>
#include <vector>

#include "kve/kve_design.h"
#include "support/PythonOracle.h"

namespace {

using kvetest::oracleArg;

constexpr int kLowpass = 0;
constexpr int kHighpass = 1;
constexpr int kAllpass = 2;

int sectionsOf(int order) { return (order + 1) / 2; }

// H(e^jw) at freq of a cascade of float sections b0, b1, b2, a1, a2, evaluated in double.
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

std::vector<float> design(int order, int kind, float freq, float sampleRate)
{
    std::vector<float> coeffs(5 * static_cast<size_t>(sectionsOf(order)), std::numeric_limits<float>::quiet_NaN());
    design_butterworth(order, kind, coeffs.data(), freq, sampleRate);
    return coeffs;
}

// At fs/8, the prototypes' own cutoff, the design gives the stored prototype sections back.
TEST(ButterworthDesign, AtAnEighthOfTheRateGivesThePrototypeSections)
{
    const struct {
        int order;
        int kind;
        std::vector<float> sections;
    } cases[] = {
        {1, kLowpass, {0.292893231f, 0.292893231f, 0, -0.414213568f, 0}},
        {2, kLowpass, {0.0976310745f, 0.195262149f, 0.0976310745f, -0.942809045f, 0.333333343f}},
        {3, kLowpass, {0.0316893421f, 0.0316893421f, 0, -0.414213568f, 0, 1, 2, 1, -1.04481554f, 0.47759226f}},
        {4, kLowpass,
         {0.0102094812f, 0.0204189625f, 0.0102094812f, -0.85539794f, 0.209715351f, 1, 2, 1, -1.11302984f,
          0.57406193f}},
        {1, kHighpass, {0.707106769f, -0.707106769f, 0, -0.414213568f, 0}},
        {2, kHighpass, {0.56903559f, -1.13807118f, 0.56903559f, -0.942809045f, 0.333333343f}},
        {3, kHighpass, {0.445902914f, -0.445902914f, 0, -0.414213568f, 0, 1, -2, 1, -1.04481554f, 0.47759226f}},
        {1, kAllpass, {1, -0.414213568f, 0, -0.414213568f, 0}},
        {2, kAllpass, {0.333333343f, -0.942809045f, 1, -0.942809045f, 0.333333343f}},
        {3, kAllpass,
         {0.47759226f, -0.197825193f, 0, -0.414213568f, 0, 1, -2.18767262f, 2.09383631f, -1.04481554f,
          0.47759226f}},
        {4, kAllpass,
         {0.120389603f, -0.491051376f, 0.57406193f, -0.85539794f, 0.209715351f, 1, -1.93886721f, 1.74197233f,
          -1.11302984f, 0.57406193f}},
    };
    for (const auto &c : cases) {
        const std::vector<float> got = design(c.order, c.kind, 6000, 48000);
        ASSERT_EQ(got.size(), c.sections.size());
        for (size_t i = 0; i < got.size(); ++i)
            EXPECT_FLOAT_EQ(got[i], c.sections[i]) << "order " << c.order << " kind " << c.kind << " value " << i;
    }
    const std::vector<float> low10 = design(10, kLowpass, 6000, 48000);
    const float lastSection[5] = {1, 2, 1, -1.27335978f, 0.800802648f};
    for (int i = 0; i < 5; ++i)
        EXPECT_FLOAT_EQ(low10[20 + i], lastSection[i]) << "order 10 last section, value " << i;
}

TEST(ButterworthDesign, ThirdOrderAllpassAtOneKilohertz)
{
    const std::vector<float> got = design(3, kAllpass, 1000, 48000);
    const float expected[10] = {0.4775923f, -0.4188372f, 0,          -0.8769765f, 0,
                                1.8372794f, -3.8974845f, 2.0938363f, -1.8614085f, 0.8774705f};
    for (int i = 0; i < 10; ++i)
        EXPECT_NEAR(got[i], expected[i], 2e-7 * std::max(1.0f, std::fabs(expected[i]))) << "value " << i;
}

// Orders 1 to 10 of every kind at cutoffs from low to close to Nyquist: the cascade's complex response equals that
// of scipy's design (for the allpass: lowpass plus highpass for odd orders, the product of the sections' own
// allpasses for even ones) at frequencies around the cutoff and across the band.
TEST(ButterworthDesign, ResponsesMatchScipyAcrossOrdersCutoffsAndRates)
{
    const struct {
        float freq;
        float sampleRate;
    } corners[] = {{1000, 48000}, {100, 44100}, {5000, 16000}, {20000, 48000}, {3000, 96000}};
    std::vector<std::string> args;
    struct Case {
        int order, kind;
        float freq, sampleRate;
    };
    std::vector<Case> cases;
    for (const auto &corner : corners)
        for (int kind : {kLowpass, kHighpass, kAllpass})
            for (int order = 1; order <= 10; ++order) {
                cases.push_back({order, kind, corner.freq, corner.sampleRate});
                for (double v : {double(order), double(kind), double(corner.freq), double(corner.sampleRate)})
                    args.push_back(oracleArg(v));
            }
    const std::vector<double> ref = kvetest::runOracle("design_butterworth.py", args);
    ASSERT_FALSE(ref.empty());

    size_t at = 0;
    for (const Case &c : cases) {
        ASSERT_LT(at, ref.size());
        const auto points = static_cast<size_t>(ref[at++]);
        const std::vector<float> coeffs = design(c.order, c.kind, c.freq, c.sampleRate);
        // Rounding the coefficients to float moves the response by about 1e-7 divided by the poles' distance from
        // the unit circle, which shrinks as the cutoff nears 0 or the Nyquist frequency.
        const double crowding = std::max(c.sampleRate / c.freq, c.sampleRate / (c.sampleRate / 2 - c.freq));
        for (size_t k = 0; k < points; ++k, at += 3) {
            const double f = ref[at];
            const std::complex<double> expected(ref[at + 1], ref[at + 2]);
            const std::complex<double> got = cascadeResponse(coeffs, f, c.sampleRate);
            EXPECT_LE(std::abs(got - expected), 1e-5 * crowding * std::max(std::abs(expected), 1e-3))
                << "order " << c.order << " kind " << c.kind << " cutoff " << c.freq << " rate " << c.sampleRate
                << " at " << f << " Hz: " << got << " against " << expected;
        }
    }
    EXPECT_EQ(at, ref.size());
}

TEST(ButterworthDesign, EveryKindButLowpassAndHighpassIsTheAllpass)
{
    const std::vector<float> allpass = design(5, kAllpass, 1500, 44100);
    for (int kind : {-1, 3, 7, INT32_MAX, INT32_MIN})
        EXPECT_EQ(design(5, kind, 1500, 44100), allpass) << "kind " << kind;
}

// Orders above 10 get pass-through sections, as many as the order asks for; orders below 1 have no sections and
// leave the buffer alone. No order writes past its (order + 1) / 2 sections.
TEST(ButterworthDesign, OrdersOutsideOneToTenPassTheSignalThroughOrWriteNothing)
{
    constexpr float kUntouched = -12345.0f;
    const struct {
        int order;
        int sections;
        bool passThrough;
    } cases[] = {{11, 6, true}, {12, 6, true}, {20, 10, true}, {0, 0, false}, {-1, 0, false}, {-7, 0, false},
                 {INT32_MIN, 0, false}, {1, 1, false}, {10, 5, false}};
    for (const auto &c : cases) {
        for (int kind : {kLowpass, kHighpass, kAllpass}) {
            std::vector<float> buffer(5 * 12, kUntouched);
            design_butterworth(c.order, kind, buffer.data(), 1000, 48000);
            for (size_t i = 0; i < buffer.size(); ++i) {
                const bool inside = i < 5 * static_cast<size_t>(c.sections);
                if (!inside)
                    EXPECT_EQ(buffer[i], kUntouched) << "order " << c.order << " kind " << kind << " value " << i;
                else if (c.passThrough)
                    EXPECT_EQ(buffer[i], i % 5 == 0 ? 1.0f : 0.0f) << "order " << c.order << " value " << i;
                else
                    EXPECT_TRUE(std::isfinite(buffer[i])) << "order " << c.order << " value " << i;
            }
        }
    }
}

// At 0 Hz and at the Nyquist frequency, and close to them, the coefficients stay finite.
TEST(ButterworthDesign, CutoffsAtTheEdgesOfTheBandGiveFiniteCoefficients)
{
    for (int order = 1; order <= 10; ++order)
        for (int kind : {kLowpass, kHighpass, kAllpass})
            for (float freq : {0.0f, 0.001f, 20.0f, 23900.0f, 23999.999f, 24000.0f}) {
                const std::vector<float> coeffs = design(order, kind, freq, 48000);
                for (size_t i = 0; i < coeffs.size(); ++i)
                    EXPECT_TRUE(std::isfinite(coeffs[i]))
                        << "order " << order << " kind " << kind << " cutoff " << freq << " value " << i;
            }
}

// The band of cutoffs the design keeps, as fractions of the sample rate.
constexpr float kLowestCutoff = 1e-4f;
constexpr float kHighestCutoff = 0.4999f;

std::vector<uint32_t> bitsOf(const std::vector<float> &values)
{
    std::vector<uint32_t> bits;
    for (float v : values)
        bits.push_back(std::bit_cast<uint32_t>(v));
    return bits;
}

// A cutoff outside the band designs exactly what the band's nearest edge designs: at or below 0 Hz, NaN, or short of
// the lower edge, that edge; at or above half the rate, or infinite, the upper edge. A rate that is not positive and
// finite has no band: the design is that of the lower edge at a rate of 1.
TEST(ButterworthDesign, CutoffsOutsideTheBandDesignAtItsNearestEdge)
{
    constexpr float kInf = std::numeric_limits<float>::infinity();
    constexpr float kNaN = std::numeric_limits<float>::quiet_NaN();
    struct Case {
        std::string what;
        float freq, sampleRate;
        float designedFreq, designedRate;
    };
    std::vector<Case> cases;
    for (float rate : {48000.0f, 44100.0f, 8000.0f, 192000.0f}) {
        const float low = kLowestCutoff * rate;
        const float high = kHighestCutoff * rate;
        const std::string at = " at " + std::to_string(rate) + " Hz";
        for (const auto &[what, freq] : {std::pair<std::string, float>{"0 Hz", 0.0f}, {"-0 Hz", -0.0f},
                                         {"a negative cutoff", -1000.0f}, {"minus infinity", -kInf},
                                         {"NaN", kNaN}, {"half the lower edge", low / 2},
                                         {"just short of the lower edge", std::nextafter(low, 0.0f)}})
            cases.push_back({what + at, freq, rate, low, rate});
        for (const auto &[what, freq] :
             {std::pair<std::string, float>{"half the rate", rate / 2}, {"the rate", rate}, {"infinity", kInf},
              {"just past the upper edge", std::nextafter(high, kInf)}})
            cases.push_back({what + at, freq, rate, high, rate});
    }
    for (const auto &[what, rate] : {std::pair<std::string, float>{"a rate of 0", 0.0f}, {"a negative rate", -48000.0f},
                                     {"a NaN rate", kNaN}, {"an infinite rate", kInf}, {"a rate of -infinity", -kInf}})
        for (float freq : {1000.0f, 0.0f, kNaN, kInf})
            cases.push_back({what + ", cutoff " + std::to_string(freq), freq, rate, kLowestCutoff, 1.0f});

    for (const Case &c : cases)
        for (int order = 1; order <= 10; ++order)
            for (int kind : {kLowpass, kHighpass, kAllpass}) {
                const std::vector<float> got = design(order, kind, c.freq, c.sampleRate);
                EXPECT_EQ(bitsOf(got), bitsOf(design(order, kind, c.designedFreq, c.designedRate)))
                    << c.what << ", order " << order << " kind " << kind;
            }
}

// Across the band, and above all close to its edges, where the poles crowd toward z = 1 or z = -1 and rounding the
// coefficients to float moves them most, every section of every order keeps its poles inside the unit circle (roots
// of the rounded denominators by scipy), and the highpass and allpass have the lowpass's denominators. Cutoffs past
// the edges are among them.
TEST(ButterworthDesign, EverySectionKeepsItsPolesInsideTheUnitCircle)
{
    constexpr float kRate = 48000.0f;
    const float fractions[] = {0.0f,   1e-4f,  1.2e-4f, 1.5e-4f, 2e-4f,   3e-4f,    5e-4f,   1e-3f,
                               3e-3f,  0.01f,  0.05f,   0.125f,  0.25f,   0.4f,     0.47f,   0.49f,
                               0.497f, 0.499f, 0.4995f, 0.4997f, 0.4998f, 0.49985f, 0.4999f, 0.5f};
    struct Section {
        float fraction;
        int order;
        size_t section;
    };
    std::vector<Section> sections;
    std::vector<std::string> args;
    for (float fraction : fractions)
        for (int order = 1; order <= 10; ++order) {
            const std::string where = "cutoff " + std::to_string(fraction) + " of the rate, order " +
                                      std::to_string(order);
            const std::vector<float> low = design(order, kLowpass, fraction * kRate, kRate);
            for (int kind : {kHighpass, kAllpass}) {
                const std::vector<float> other = design(order, kind, fraction * kRate, kRate);
                for (size_t i = 0; i < other.size(); ++i) {
                    EXPECT_TRUE(std::isfinite(other[i])) << where << " kind " << kind << " value " << i;
                    if (i % 5 >= 3) {
                        EXPECT_EQ(std::bit_cast<uint32_t>(other[i]), std::bit_cast<uint32_t>(low[i]))
                            << where << " kind " << kind << " value " << i;
                    }
                }
            }
            for (size_t s = 0; s < low.size() / 5; ++s) {
                for (size_t i = 0; i < 5; ++i)
                    EXPECT_TRUE(std::isfinite(low[5 * s + i])) << where << " section " << s << " value " << i;
                sections.push_back({fraction, order, s});
                args.push_back(oracleArg(low[5 * s + 3]));
                args.push_back(oracleArg(low[5 * s + 4]));
            }
        }
    const std::vector<double> radius = kvetest::runOracle("section_poles.py", args);
    ASSERT_EQ(radius.size(), sections.size());
    for (size_t k = 0; k < sections.size(); ++k)
        // Inside by more than scipy's root finding can blur (a pole on the circle can come out a hair inside it).
        EXPECT_LT(radius[k], 1.0 - 1e-9) << "cutoff " << sections[k].fraction << " of the rate, order "
                                         << sections[k].order << ", section " << sections[k].section;
}

} // namespace
