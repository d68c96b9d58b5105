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
 * value allpass. Orders above 10 give pass-through sections, orders below 1 write nothing. Note the order:
 * frequency before sample rate. */
void design_butterworth(int32_t order, int32_t kind, float *coeffs, float freq, float sampleRate);

/* Per-block step of a one-pole smoother (current += step x (target - current)) that covers 63% of the way to its
 * target in timeMs; 1.0, the target in one block, when timeMs x sampleRate < 100 x blockSize or cannot be formed. */
float design_smoother(int32_t blockSize, float timeMs, float sampleRate);

#ifdef __cplusplus
}
#endif

#endif
