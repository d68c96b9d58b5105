#include <cmath>
#include <complex>
#include <cstddef>

#include "kve/kve_design.h"

namespace {

using Complex = std::complex<double>;

// One biquad from its gain and one zero and one pole (each with its conjugate): b = gain (1, -2 Re z, |z|^2),
// a = (1, -2 Re p, |p|^2), rounded to float once.
void writeBiquad(float *coeffs, double gain, Complex zero, Complex pole)
{
    coeffs[0] = static_cast<float>(gain);
    coeffs[1] = static_cast<float>(-2.0 * gain * zero.real());
    coeffs[2] = static_cast<float>(gain * std::norm(zero));
    coeffs[3] = static_cast<float>(-2.0 * pole.real());
    coeffs[4] = static_cast<float>(std::norm(pole));
}

void writePassThrough(float *coeffs)
{
    coeffs[0] = 1.0f;
    for (int i = 1; i < 5; ++i)
        coeffs[i] = 0.0f;
}

// The two z-plane roots, higher frequency first, that the bandpass substitution
// s = (1 - 2 c0 z^-1 + z^-2) / (1 - z^-2) gives an s-plane root r: the roots of (1 - r) z^2 - 2 c0 z + (1 + r), found
// without cancellation (the larger one from the sum, the other from the product (1 + r) / (1 - r)). s0 = sin w0.
void bandRoots(Complex r, double c0, double s0, Complex roots[2])
{
    Complex q = std::sqrt(r * r - s0 * s0); // sqrt(c0^2 - 1 + r^2)
    if (q.real() * c0 < 0.0)
        q = -q;
    const Complex larger = (c0 + q) / (1.0 - r);
    const Complex smaller = (1.0 + r) / (c0 + q);
    const bool largerIsHigher = std::fabs(std::arg(larger)) >= std::fabs(std::arg(smaller));
    roots[0] = largerIsHigher ? larger : smaller;
    roots[1] = largerIsHigher ? smaller : larger;
}

} // namespace

// One band of a graphic equaliser: the Butterworth band equaliser whose squared magnitude is
// (G^2 + G Omega^N) / (1 + G Omega^N), Omega = (cos w0 - cos w) / (sin w W), W = tan(dw / 2), with
// G = 10^(gainDb / 20) at the band's geometric centre w0, sqrt(G) (half the decibels) at its edges, which lie dw
// apart (Omega = -1 and 1), and 1 far from it. The analog prototype is a Butterworth shelf of order N / 2 whose
// poles lie on a circle of radius W G^(-1/N) and whose zeros lie G^(2/N) times further out; the bandpass
// substitution turns each of its N / 4 second-order sections into a fourth-order section, whose roots are split into
// two biquads, each carrying half of the section's gain. The design runs in double and rounds each coefficient to
// float once; the first biquad's numerator is then rescaled so that the float cascade has unity gain at DC as nearly
// as float allows. That biquad holds the higher-frequency roots of the first section: its zeros lie at the upper end
// of the band, away from z = 1, so the rounding of its rescaled numerator moves the DC gain less than that of a
// numerator whose zeros crowd towards DC.
//
// N is the largest multiple of 4 not above the order; any biquads of the order / 2 beyond the N / 2 designed pass
// the signal through. A lower edge of 0 Hz or below puts the centre on DC, where the substitution degenerates into
// the bilinear transform with one root pair of each section cancelled at z = 1: the band becomes a low shelf of gain
// G at DC and sqrt(G) at the upper edge, its second biquads pass through, and its DC gain is G, not 1.
extern "C" void design_geq(int32_t order, float *coeffs, float lowFreq, float highFreq, float gainDb,
                           float sampleRate)
{
    const ptrdiff_t biquads = order / 2;
    const int32_t sections = order / 4;
    if (biquads <= 0)
        return;
    for (ptrdiff_t b = 2 * static_cast<ptrdiff_t>(sections); b < biquads; ++b)
        writePassThrough(coeffs + 5 * b);
    if (sections == 0)
        return;

    const double pi = 3.141592653589793;
    const double N = 4.0 * sections;
    const double fs = sampleRate;
    const double G = std::exp(static_cast<double>(gainDb) * 0.115129254649702);
    const double low = lowFreq > 0.0f ? lowFreq : 0.0, high = highFreq;
    const double W = std::tan(pi * (high - low) / fs);
    const double w0 = 2.0 * pi * std::sqrt(low * high) / fs;
    const double c0 = std::cos(w0), s0 = std::sin(w0);
    const bool atDc = !(c0 < 1.0);
    const double radius = W / std::pow(G, 1.0 / N); // of the prototype's poles; its zeros lie g times further out
    const double g = std::pow(G, 2.0 / N);

    for (int32_t i = 1; i <= sections; ++i) {
        const double phi = pi * (0.5 + (1.0 - 2.0 * i) / N);
        const Complex pole = radius * Complex(-std::cos(phi), std::sin(phi));
        const Complex zero = g * pole;
        // The analog section (s - zero)(s - zero*) / ((s - pole)(s - pole*)) keeps |1 - zero|^2 / |1 - pole|^2 as the
        // gain of its z-plane form.
        const double gain = std::norm(1.0 - zero) / std::norm(1.0 - pole);
        float *first = coeffs + 10 * (i - 1);
        if (atDc) {
            writeBiquad(first, gain, (1.0 + zero) / (1.0 - zero), (1.0 + pole) / (1.0 - pole));
            writePassThrough(first + 5);
        } else {
            Complex zeros[2], poles[2];
            bandRoots(zero, c0, s0, zeros);
            bandRoots(pole, c0, s0, poles);
            writeBiquad(first, std::sqrt(gain), zeros[0], poles[0]);
            writeBiquad(first + 5, std::sqrt(gain), zeros[1], poles[1]);
        }
    }

    if (atDc)
        return;
    double dcGain = 1.0;
    for (ptrdiff_t b = 0; b < biquads; ++b) {
        const float *c = coeffs + 5 * b;
        dcGain *= (static_cast<double>(c[0]) + c[1] + c[2]) / (1.0 + c[3] + c[4]);
    }
    if (dcGain == 0.0 || !std::isfinite(dcGain))
        return;
    for (int i = 0; i < 3; ++i)
        coeffs[i] = static_cast<float>(coeffs[i] / dcGain);
}
