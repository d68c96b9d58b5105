// Fixed-point biquads of float designs against scipy's lfilter: Butterworth lowpass and highpass sections, a peaking
// equaliser with gain above 1 (held with a shift), a first-order section and a two-section cascade, their
// coefficients scaled and quantised to Fract32 words on the 24-bit grid so that every kernel runs the same filter.
//
// Each kernel rounds each step toward minus infinity; that error, at most e per sample, reaches the output through
// the section's recursion 1/A(z), so the output stays within e times the l1 norm of 1/A's impulse response of the
// reference (plus one output ulp where the output is cut from a wider state). e follows from the datapath: the
// products that are rounded, the unit they are rounded to, and the shift that scales them back.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <string>
#include <vector>

#include "support/PythonOracle.h"
#include "kve/kve_vec.h"

namespace {

constexpr int32_t kSamples = 1000;
constexpr int kSingleSections = 4;
constexpr int kCascadeSections = 2;
constexpr double kUlp = 0x1p-31;

struct Section {
    int32_t shift;
    std::vector<int32_t> coeffs;
    double feedbackGain; // l1 norm of the impulse response of 1/A
    double gain;         // l1 norm of the impulse response of B/A
    std::vector<double> reference;
};

struct Reference {
    std::vector<int32_t> x;
    std::vector<Section> sections;
};

Reference loadReference()
{
    const std::vector<double> v = kvetest::runOracle("fixedbq_lfilter.py", {"2106", std::to_string(kSamples)});
    Reference r;
    const size_t sectionValues = 1 + 5 + 2 + kSamples;
    if (v.size() != kSamples + (kSingleSections + kCascadeSections) * sectionValues)
        return r;
    size_t at = 0;
    for (int32_t i = 0; i < kSamples; ++i)
        r.x.push_back(static_cast<int32_t>(v[at++]));
    for (int k = 0; k < kSingleSections + kCascadeSections; ++k) {
        Section s;
        s.shift = static_cast<int32_t>(v[at++]);
        for (int i = 0; i < 5; ++i)
            s.coeffs.push_back(static_cast<int32_t>(v[at++]));
        s.feedbackGain = v[at++];
        s.gain = v[at++];
        s.reference.assign(v.begin() + static_cast<ptrdiff_t>(at), v.begin() + static_cast<ptrdiff_t>(at + kSamples));
        at += kSamples;
        r.sections.push_back(s);
    }
    return r;
}

double largestError(const std::vector<int32_t> &y, const std::vector<double> &reference)
{
    double most = 0.0;
    for (size_t i = 0; i < y.size(); ++i)
        most = std::max(most, std::abs(y[i] * kUlp - reference[i]));
    return most;
}

using Run = void (*)(const int32_t *x, int32_t *y, const int32_t *coeffs, int32_t *state, int32_t shift, int32_t n);

struct Form {
    const char *name;
    Run run;
    // Largest rounding error per sample, before the recursion, for coefficients held with shift s; and the error
    // added once at the output.
    double (*perSample)(int32_t s);
    double atOutput;
};

const Form kForms[] = {
    {"direct form I",
     [](const int32_t *x, int32_t *y, const int32_t *c, int32_t *st, int32_t s, int32_t n) {
         kve_vecBiquadFract32_single(x, y, c, st, s, n);
     },
     [](int32_t s) { return 5 * std::ldexp(kUlp, s); }, 0.0},
    {"24x24 A56",
     [](const int32_t *x, int32_t *y, const int32_t *c, int32_t *st, int32_t s, int32_t n) {
         kve_vecBiquadFract24x24A56(x, 1, y, 1, c, st, s, s, n);
     },
     [](int32_t s) { return 2 * std::ldexp(0x1p-47, s); }, kUlp},
    {"32x32 A64",
     [](const int32_t *x, int32_t *y, const int32_t *c, int32_t *st, int32_t s, int32_t n) {
         kve_vecBiquadFract32x32A64(x, 1, y, 1, c, st, s, s, n);
     },
     [](int32_t) { return kUlp; }, 0.0},
    {"32x32 A32",
     [](const int32_t *x, int32_t *y, const int32_t *c, int32_t *st, int32_t s, int32_t n) {
         kve_vecBiquadFract32x32A32(x, 1, y, 1, c, st, s, s, n);
     },
     [](int32_t s) { return 5 * std::ldexp(kUlp, s); }, 0.0},
    {"24x24 A24",
     [](const int32_t *x, int32_t *y, const int32_t *c, int32_t *st, int32_t s, int32_t n) {
         kve_vecBiquadFract24x24A24(x, 1, y, 1, c, st, s, s, n);
     },
     [](int32_t s) { return 5 * std::ldexp(0x1p-23, s); }, 0.0},
};

constexpr double kSlack = 1e-12; // the reference's own double-precision rounding

TEST(BiquadFract32Designs, EverySectionTracksLfilterWithinItsRoundingError)
{
    const Reference r = loadReference();
    ASSERT_FALSE(r.sections.empty()) << "the lfilter oracle gave no usable output";
    for (int k = 0; k < kSingleSections; ++k) {
        const Section &s = r.sections[static_cast<size_t>(k)];
        for (const Form &f : kForms) {
            std::vector<int32_t> y(kSamples);
            int32_t state[6] = {};
            f.run(r.x.data(), y.data(), s.coeffs.data(), state, s.shift, kSamples);
            const double bound = s.feedbackGain * f.perSample(s.shift) + f.atOutput + kSlack;
            EXPECT_LE(largestError(y, s.reference), bound) << f.name << ", section " << k << ", shift " << s.shift;
        }
    }
}

// The cascade reads each section's input and y[n-1] to 2^-28 (Q4.28) and rounds its output to 2^-31: per sample
// e = (|b0| + |b1| + |b2| + |a1| + |a2|) 2^-28 + 2^-31. A section passes the error of the one before it on with the
// l1 norm of its own impulse response.
TEST(BiquadFract32Designs, CascadeTracksLfilterWithinItsRoundingError)
{
    const Reference r = loadReference();
    ASSERT_FALSE(r.sections.empty()) << "the lfilter oracle gave no usable output";
    std::vector<int32_t> coeffs;
    std::vector<int32_t> shifts;
    double bound = 0.0;
    for (int k = 0; k < kCascadeSections; ++k) {
        const Section &s = r.sections[static_cast<size_t>(kSingleSections + k)];
        coeffs.insert(coeffs.end(), s.coeffs.begin(), s.coeffs.end());
        shifts.push_back(s.shift);
        double sumOfMagnitudes = 0.0;
        for (int32_t c : s.coeffs)
            sumOfMagnitudes += std::ldexp(std::abs(static_cast<double>(c)) * kUlp, s.shift);
        bound = s.gain * bound + s.feedbackGain * (sumOfMagnitudes * 0x1p-28 + kUlp);
    }
    std::vector<int32_t> y(kSamples);
    std::vector<int32_t> state(4 * kCascadeSections, 0);
    kve_vecBiquadCascadeFract32(r.x.data(), 1, y.data(), 1, coeffs.data(), state.data(), shifts.data(), kSamples,
                                kCascadeSections);
    EXPECT_LE(largestError(y, r.sections.back().reference), bound + kSlack);
}

} // namespace
