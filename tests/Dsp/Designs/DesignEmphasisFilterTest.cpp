// Emphasis filters: the one-pole de-emphasis and its inverse FIR against the closed form p = exp(-1 / (tau fs)),
// and the time constants that mean no emphasis.
#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <limits>

#include "kve/kve_design.h"

namespace {

using Coeffs = std::array<float, 5>;

constexpr int kDeEmphasis = 0;
constexpr int kPreEmphasis = 1;

Coeffs design(int kind, float timeConstantUs, float sampleRate)
{
    Coeffs c;
    c.fill(-12345.0f);
    design_emphasis_filter(kind, c.data(), timeConstantUs, sampleRate);
    return c;
}

// De-emphasis g / (1 - p z^-1) with g = 1 - p (unity gain at DC); pre-emphasis (1 - p z^-1) / g, its inverse.
TEST(EmphasisFilterDesign, FollowsTheClosedFormAndPreEmphasisUndoesDeEmphasis)
{
    const struct {
        float timeConstantUs, sampleRate;
    } cases[] = {{50, 48000}, {75, 44100}, {15, 32000}, {50, 8000}, {3180, 48000}, {1, 192000}};
    for (const auto &c : cases) {
        const double p = std::exp(-1e6 / (double(c.timeConstantUs) * c.sampleRate));
        const double g = 1.0 - p;
        const Coeffs de = design(kDeEmphasis, c.timeConstantUs, c.sampleRate);
        const Coeffs pre = design(kPreEmphasis, c.timeConstantUs, c.sampleRate);
        const Coeffs expectedDe = {float(g), 0, 0, float(-p), 0};
        const Coeffs expectedPre = {float(1 / g), float(-p / g), 0, 0, 0};
        // 1 - p in float keeps a relative accuracy of about 1e-7 / (1 - p): slow filters lose the most.
        const double relative = 2e-7 / g;
        for (int i = 0; i < 5; ++i) {
            EXPECT_NEAR(de[i], expectedDe[i], relative * std::fabs(expectedDe[i]) + 1e-7)
                << "de-emphasis, tau " << c.timeConstantUs << " us, rate " << c.sampleRate << ", value " << i;
            EXPECT_NEAR(pre[i], expectedPre[i], relative * std::fabs(expectedPre[i]) + 1e-7)
                << "pre-emphasis, tau " << c.timeConstantUs << " us, rate " << c.sampleRate << ", value " << i;
        }
        // The pre-emphasis zero sits on the de-emphasis pole, and the gains cancel.
        EXPECT_FLOAT_EQ(pre[1] / pre[0], de[3]);
        EXPECT_NEAR(double(pre[0]) * de[0], 1.0, 1e-6);
    }

    const Coeffs broadcast = design(kDeEmphasis, 50, 48000);
    EXPECT_NEAR(-broadcast[3], 0.6592, 1e-4);
    EXPECT_NEAR(broadcast[0], 0.3408, 1e-4);
    for (int kind : {2, -1, 1000})
        EXPECT_EQ(design(kind, 50, 48000), design(kPreEmphasis, 50, 48000)) << "kind " << kind;
}

// A time constant of 0 (the limit of both filters as it shrinks), a negative one, or one that is not a number, and a
// rate of 0, give the pass-through section rather than NaN coefficients or a pole outside the unit circle.
TEST(EmphasisFilterDesign, NoPositiveTimeConstantPassesThrough)
{
    constexpr float kNaN = std::numeric_limits<float>::quiet_NaN();
    const struct {
        float timeConstantUs, sampleRate;
    } cases[] = {{0, 48000}, {-0.0f, 48000}, {-50, 48000}, {kNaN, 48000}, {50, 0}, {50, kNaN}};
    for (const auto &c : cases)
        for (int kind : {kDeEmphasis, kPreEmphasis})
            EXPECT_EQ(design(kind, c.timeConstantUs, c.sampleRate), (Coeffs{1, 0, 0, 0, 0}))
                << "kind " << kind << " tau " << c.timeConstantUs << " rate " << c.sampleRate;
}

} // namespace
