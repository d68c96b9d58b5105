/* Filter-design routines: coefficients for the filter kernels and modules.
 *
 * A biquad is five floats b0, b1, b2, a1, a2 for y[n] = b0 x[n] + b1 x[n-1] + b2 x[n-2] - a1 y[n-1] - a2 y[n-2]; a
 * cascade is consecutive groups of five, and a first-order section has b2 = a2 = 0. Frequencies and sample rates
 * are in hertz, gains in decibels, times in milliseconds. The routines keep no state and allocate nothing. */
#ifndef KVE_DESIGN_H
#define KVE_DESIGN_H

#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

/* One biquad of the numbered filter type into coeffs[5] (1 gain, 2 to 5 Butterworth lowpass and highpass of order 1
 * and 2, 6 and 7 allpass, 8 to 11 shelves, 12 peaking, 13 notch, 14 bandpass, 15 to 20 first-order sections, 21
 * lowpass, 22 highpass; any other type passes the signal through). Q > 0 is the quality factor, Q = 0 the lowest
 * one (1e-10), Q < 0 a bandwidth of -Q octaves. Note the order: sample rate before frequency. */
void design_second_order_filter(int32_t type, float *coeffs, float sampleRate, float freq, float gain, float Q);

/* Butterworth cascade of order 1 to 10 into coeffs[5 * ((order + 1) / 2)]: kind 0 lowpass, 1 highpass, any other
 * value allpass. Orders above 10 give pass-through sections, orders below 1 write nothing. The cutoff is held to
 * [1e-4, 0.4999] x sampleRate (NaN to the lower limit), and a rate that is not positive and finite designs at 1e-4 of
 * the rate, so the sections are always finite and stable. Note the order: frequency before sample rate. */
void design_butterworth(int32_t order, int32_t kind, float *coeffs, float freq, float sampleRate);

/* Per-block step of a one-pole smoother (current += step x (target - current)) that covers 63% of the way to its
 * target in timeMs; 1.0, the target in one block, when timeMs x sampleRate < 100 x blockSize or cannot be formed. */
float design_smoother(int32_t blockSize, float timeMs, float sampleRate);

/* State-space form of one biquad for the state-space filter kernels: from b0, b1, b2, a1, a2 writes
 * k0 = (a1^2 b0 - a1 b1) / 2 + (b2 - a2 b0), k1 = -a1 / 2, k2 = a1^2 / 4 - a2, k3 = b0, k4 = b1 - a1 b0, which run as
 * y = k3 x + s0, s0' = k1 s0 + s1 + k4 x, s1' = k2 s0 + k1 s1 + k0 x. stateSpace may be the biquad itself (in place).
 * Returns the biquad pointer. */
const float *design_sos2ss(const float *biquad, float *stateSpace);

/* The single-precision biquad designs below write one biquad into coeffs[5], normalised so that a0 = 1, with
 * w = 2 pi freq / sampleRate. Q > 0 is the quality factor. For the bandpass, notch and cookbook peaking forms Q < 0 is
 * a bandwidth of -Q octaves; the cookbook shelves read Q < 0 as the shelf slope S = -Q (1 the steepest without
 * overshoot). Q = 0, and any Q <= 0 for the second-order allpass and design_peak_Zoelzer, stands for the lowest Q,
 * 1e-10. */

/* Allpass: order 1 the first-order section p, 1, 0, p, 0 with its 90-degree point at freq (Q unused); any other
 * order the second-order allpass with its 180-degree point at freq and quality factor Q. Note the order: sample rate
 * before frequency. */
void design_allpass(int32_t order, float *coeffs, float sampleRate, float freq, float Q);

/* Bandpass of 0 dB peak gain at freq. */
void design_bandpass_RBJ(float *coeffs, float Q, float freq, float sampleRate);

/* Notch at freq. */
void design_notch_RBJ(float *coeffs, float Q, float freq, float sampleRate);

/* Peaking filter: gainDb at freq, 0 dB far from it, the gain moving its poles and zeros apart symmetrically. */
void design_peak_RBJ(float *coeffs, float Q, float freq, float gainDb, float sampleRate);

/* Peaking filter: gainDb at freq, 0 dB far from it. A boost keeps the poles of a resonance of quality Q and moves
 * only the zeros; a cut (gainDb < 0) is the exact inverse of the boost of the same size. */
void design_peak_Zoelzer(float *coeffs, float Q, float freq, float gainDb, float sampleRate);

/* Second-order shelf with a Butterworth corner at freq: kind 0 high shelf (gainDb above the corner), any other kind
 * low shelf (gainDb below it); a cut is the exact inverse of the boost of the same size. */
void design_shelf(int32_t kind, float *coeffs, float freq, float gainDb, float sampleRate);

/* Low shelf: gainDb below freq, 0 dB above. */
void design_shelf_low_RBJ(float *coeffs, float Q, float freq, float gainDb, float sampleRate);

/* High shelf: gainDb above freq, 0 dB below. */
void design_shelf_high_RBJ(float *coeffs, float Q, float freq, float gainDb, float sampleRate);

/* Constant linear gain: gain, 0, 0, 0, 0. Returns coeffs. */
float *design_biquad_gain(float *coeffs, float gain);

/* Windowed-sinc lowpass of numTaps taps (Hamming-type window) cut off at cutoff, scaled so that the taps sum to 1;
 * one tap is 1.0, numTaps below 1 writes nothing. */
void design_fir1(int32_t numTaps, float *taps, float cutoff, float sampleRate);

/* The 42-tap fractional delay of 20 + fraction samples, fraction clamped to [0, 1). The taps are in the order the
 * fixed-point FIR module takes them: taps[41] weights the newest sample and taps[0] the sample 41 samples old. */
void design_fractionaldelay(float *taps, float fraction);

/* One graphic-equaliser band as order / 2 biquads: a Butterworth band equaliser of the largest multiple of 4 not
 * above order, with gainDb at the geometric centre of lowFreq and highFreq, half of gainDb at both edges and 0 dB far
 * from the band (unity gain at DC); biquads it does not design pass the signal through. lowFreq <= 0 puts
 * the band at DC: a low shelf with half of gainDb at highFreq. Callers keep lowFreq below highFreq. */
void design_geq(int32_t order, float *coeffs, float lowFreq, float highFreq, float gainDb, float sampleRate);

/* Emphasis filter of time constant timeConstantUs (microseconds): kind 0 the one-pole de-emphasis of unity gain at
 * DC, any other kind its inverse, the pre-emphasis FIR. A time constant that is not positive gives pass-through. */
void design_emphasis_filter(int32_t kind, float *coeffs, float timeConstantUs, float sampleRate);

#ifdef __cplusplus
}
#endif

#endif
