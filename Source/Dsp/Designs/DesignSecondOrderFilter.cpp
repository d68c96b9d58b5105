#include <cfloat>
#include <cmath>

#include "Dsp/LongDouble.h"
#include "kve/kve_design.h"

namespace {

// The filter-type numbers that module parameters carry.
enum FilterType {
    kGain = 1,
    kButterLowpass1 = 2,
    kButterLowpass2 = 3,
    kButterHighpass1 = 4,
    kButterHighpass2 = 5,
    kAllpass1 = 6,
    kAllpass = 7,
    kLowShelfFixedQ = 8,
    kLowShelf = 9,
    kHighShelfFixedQ = 10,
    kHighShelf = 11,
    kPeaking = 12,
    kNotch = 13,
    kBandpass = 14,
    kLowpass1Unwarped = 15,
    kHighpass1Unwarped = 16,
    kLowShelf1 = 17,
    kHighShelf1 = 18,
    kLowShelf1Scaled = 19,
    kHighShelf1Scaled = 20,
    kLowpass = 21,
    kHighpass = 22,
};

// The Q of the shelves that do not take the caller's: the steepest shelf slope that stays monotonic.
constexpr double kShelfQ = 0.707106781186548;

// The transcendental functions run in double on a quad argument; their results enter the quad arithmetic exactly.
LongDouble sinOf(LongDouble x) { return std::sin(static_cast<double>(x)); }
LongDouble cosOf(LongDouble x) { return std::cos(static_cast<double>(x)); }
LongDouble tanOf(LongDouble x) { return std::tan(static_cast<double>(x)); }
LongDouble expOf(LongDouble x) { return std::exp(static_cast<double>(x)); }

// Bandwidth term alpha of the second-order forms. Q > 0 is the quality factor; Q = 0 stands for the lowest Q there
// is, 1e-10; Q < 0 is a bandwidth of -Q octaves. At 0 Hz (s = 0) the bandwidth form tends to 0. Close to the Nyquist
// frequency w0 / s grows without bound and sinh overflows double; the largest double keeps alpha finite, and the
// coefficients, which tend to limits as alpha grows, have long reached them in float there.
LongDouble alphaOf(LongDouble Q, LongDouble w0, LongDouble s)
{
    if (Q > 0)
        return s / (2 * Q);
    if (Q == 0)
        return s / LongDouble(2e-10);
    if (s == 0)
        return 0;
    const LongDouble halfLn2 = 0.3465735912322998; // ln 2 / 2 as a float
    double stretch = std::sinh(static_cast<double>(halfLn2 * -Q * w0 / s));
    if (std::isinf(stretch))
        stretch = std::copysign(DBL_MAX, stretch);
    return s * stretch;
}

// Pole of a first-order bilinear section with corner parameter k: tan(w / 2) when the corner is prewarped, w / 2
// when it is not.
LongDouble poleOf(LongDouble k) { return (1 - k) / (1 + k); }

// A second-order form normalised by its own a0, each coefficient rounded to float once.
void writeNormalised(float *coeffs, LongDouble b0, LongDouble b1, LongDouble b2, LongDouble a0, LongDouble a1,
                     LongDouble a2)
{
    coeffs[0] = static_cast<float>(b0 / a0);
    coeffs[1] = static_cast<float>(b1 / a0);
    coeffs[2] = static_cast<float>(b2 / a0);
    coeffs[3] = static_cast<float>(a1 / a0);
    coeffs[4] = static_cast<float>(a2 / a0);
}

// A first-order section b0 + b1 z^-1 over 1 - p z^-1.
void writeFirstOrder(float *coeffs, LongDouble b0, LongDouble b1, LongDouble p)
{
    coeffs[0] = static_cast<float>(b0);
    coeffs[1] = static_cast<float>(b1);
    coeffs[2] = 0.0f;
    coeffs[3] = static_cast<float>(-p);
    coeffs[4] = 0.0f;
}

// A constant gain: gain, 0, 0, 0, 0.
void writeConstant(float *coeffs, LongDouble gain)
{
    coeffs[0] = static_cast<float>(gain);
    for (int i = 1; i < 5; ++i)
        coeffs[i] = 0.0f;
}

// Shelf of gain A^2 below the corner, 1 above it, with the slope that alpha sets.
void writeLowShelf(float *coeffs, LongDouble A, LongDouble c, LongDouble alpha)
{
    const LongDouble slope = 2 * kve_sqrtLongDouble(A) * alpha;
    writeNormalised(coeffs, A * ((A + 1) - (A - 1) * c + slope), 2 * A * ((A - 1) - (A + 1) * c),
                    A * ((A + 1) - (A - 1) * c - slope), (A + 1) + (A - 1) * c + slope, -2 * ((A - 1) + (A + 1) * c),
                    (A + 1) + (A - 1) * c - slope);
}

// Shelf of gain A^2 above the corner, 1 below it, with the slope that alpha sets.
void writeHighShelf(float *coeffs, LongDouble A, LongDouble c, LongDouble alpha)
{
    const LongDouble slope = 2 * kve_sqrtLongDouble(A) * alpha;
    writeNormalised(coeffs, A * ((A + 1) + (A - 1) * c + slope), -2 * A * ((A - 1) + (A + 1) * c),
                    A * ((A + 1) + (A - 1) * c - slope), (A + 1) - (A - 1) * c + slope, 2 * ((A - 1) - (A + 1) * c),
                    (A + 1) - (A - 1) * c - slope);
}

// First-order shelf with pole p: gain G at DC and 1 at the Nyquist frequency (low), or the reverse (high).
void writeFirstOrderShelf(float *coeffs, bool low, LongDouble G, LongDouble p)
{
    if (low) {
        const LongDouble lift = (G - 1) * (1 - p) / 2;
        writeFirstOrder(coeffs, 1 + lift, -p + lift, p);
    } else {
        const LongDouble lift = (G - 1) * (1 + p) / 2;
        writeFirstOrder(coeffs, 1 + lift, -p - lift, p);
    }
}

} // namespace

// One biquad of the numbered filter type: the bilinear-transform designs of the parametric filters, shelves and
// tone controls, with w0 = 2 pi freq / sampleRate, A = 10^(gain / 40) and G = 10^(gain / 20). Second-order forms are
// normalised by their own a0. The arithmetic is in quad precision with sin, cos, tan, exp and sinh taken in double,
// and each coefficient is rounded to float once. Types 2 to 5 are the Butterworth designs of order 1 and 2.
extern "C" void design_second_order_filter(int32_t type, float *coeffs, float sampleRate, float freq, float gain,
                                           float Q)
{
    const LongDouble w0 = static_cast<LongDouble>(freq) * 6.283185307179586 / static_cast<LongDouble>(sampleRate);
    const LongDouble s = sinOf(w0);
    const LongDouble c = cosOf(w0);
    const LongDouble K = tanOf(w0 / 2);
    const LongDouble A = expOf(static_cast<LongDouble>(gain) * 0.057564627324851);
    const LongDouble G = expOf(static_cast<LongDouble>(gain) * 0.115129254649702);
    const LongDouble alpha = alphaOf(Q, w0, s);

    switch (type) {
    case kGain:
        writeConstant(coeffs, G);
        break;
    case kButterLowpass1:
        design_butterworth(1, 0, coeffs, freq, sampleRate);
        break;
    case kButterLowpass2:
        design_butterworth(2, 0, coeffs, freq, sampleRate);
        break;
    case kButterHighpass1:
        design_butterworth(1, 1, coeffs, freq, sampleRate);
        break;
    case kButterHighpass2:
        design_butterworth(2, 1, coeffs, freq, sampleRate);
        break;
    case kAllpass1: {
        const LongDouble p = poleOf(K);
        writeFirstOrder(coeffs, -p, 1, p);
        break;
    }
    case kAllpass:
        writeNormalised(coeffs, 1 - alpha, -2 * c, 1 + alpha, 1 + alpha, -2 * c, 1 - alpha);
        break;
    case kLowShelfFixedQ:
        writeLowShelf(coeffs, A, c, alphaOf(kShelfQ, w0, s));
        break;
    case kLowShelf:
        writeLowShelf(coeffs, A, c, alpha);
        break;
    case kHighShelfFixedQ:
        writeHighShelf(coeffs, A, c, alphaOf(kShelfQ, w0, s));
        break;
    case kHighShelf:
        writeHighShelf(coeffs, A, c, alpha);
        break;
    case kPeaking:
        writeNormalised(coeffs, 1 + alpha * A, -2 * c, 1 - alpha * A, 1 + alpha / A, -2 * c, 1 - alpha / A);
        break;
    case kNotch:
        writeNormalised(coeffs, 1, -2 * c, 1, 1 + alpha, -2 * c, 1 - alpha);
        break;
    case kBandpass:
        writeNormalised(coeffs, alpha, 0, -alpha, 1 + alpha, -2 * c, 1 - alpha);
        break;
    case kLowpass1Unwarped: {
        const LongDouble p = poleOf(w0 / 2);
        writeFirstOrder(coeffs, (1 - p) / 2, (1 - p) / 2, p);
        break;
    }
    case kHighpass1Unwarped: {
        const LongDouble p = poleOf(w0 / 2);
        writeFirstOrder(coeffs, (1 + p) / 2, -(1 + p) / 2, p);
        break;
    }
    case kLowShelf1:
        writeFirstOrderShelf(coeffs, true, G, poleOf(K));
        break;
    case kHighShelf1:
        writeFirstOrderShelf(coeffs, false, G, poleOf(K));
        break;
    case kLowShelf1Scaled:
        writeFirstOrderShelf(coeffs, true, G, poleOf(K / kve_sqrtLongDouble(G)));
        break;
    case kHighShelf1Scaled:
        writeFirstOrderShelf(coeffs, false, G, poleOf(K * kve_sqrtLongDouble(G)));
        break;
    case kLowpass:
        writeNormalised(coeffs, (1 - c) / 2, 1 - c, (1 - c) / 2, 1 + alpha, -2 * c, 1 - alpha);
        break;
    case kHighpass:
        writeNormalised(coeffs, (1 + c) / 2, -(1 + c), (1 + c) / 2, 1 + alpha, -2 * c, 1 - alpha);
        break;
    default:
        writeConstant(coeffs, 1);
        break;
    }
}
