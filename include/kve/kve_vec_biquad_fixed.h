/* Fixed-point biquad kernels and the fixed-point datapath models.
 *
 * A section is five Fract32 coefficients b0, b1, b2, a1, a2 for
 * y[n] = b0 x[n] + b1 x[n-1] + b2 x[n-2] - a1 y[n-1] - a2 y[n-2]; a cascade stores its sections one after another.
 * Coefficients are held scaled by 2^-postShift and the result is scaled back by 2^postShift (positive: left with
 * saturation; negative: right, arithmetically). The kernels negate a1 and a2 with saturation, so a stored a1 or a2
 * of -1.0 feeds back as 1 - 2^-31. The caller zeroes the state when a filter is created or reset and keeps it
 * between blocks.
 *
 * A single section (not a cascade) with a2 = 0 and b2 = 0 runs first-order: at the end of every call, also one with
 * n below 1, its x[n-2] and y[n-2] state words receive copies of x[n-1] and y[n-1]. */
#ifndef KVE_VEC_BIQUAD_FIXED_H
#define KVE_VEC_BIQUAD_FIXED_H

#include <stdint.h>

#include "kve_types.h"

#ifdef __cplusplus
extern "C" {
#endif

/* ---- Direct form I, state x[n-1], x[n-2], y[n-1], y[n-2] per section ---- */
void kve_vecBiquadFract32(const Fract32 *src, int32_t srcInc, Fract32 *dst, int32_t dstInc, const Fract32 *coeffs,
                          Fract32 *state, int32_t postShift, int32_t n);
void kve_vecBiquadFract32_single(const Fract32 *src, Fract32 *dst, const Fract32 *coeffs, Fract32 *state,
                                 int32_t postShift, int32_t n);

/* Cascades of numStages sections; the four state words of each section hold their samples shifted right by 3
 * (Q4.28), and postShifts[k] (at most 28 for full precision) scales section k. Note the sample count before the
 * section count. */
void kve_vecBiquadCascadeFract32(const Fract32 *src, int32_t srcInc, Fract32 *dst, int32_t dstInc,
                                 const Fract32 *coeffs, Fract32 *state, const int32_t *postShifts, int32_t n,
                                 int32_t numStages);
void kve_vecBiquadCascadeFract32_single(const Fract32 *src, Fract32 *dst, const Fract32 *coeffs, Fract32 *state,
                                        const int32_t *postShifts, int32_t n, int32_t numStages);

/* ---- Datapath models: what a fixed-point processor of the named multiplier and accumulator widths outputs ----
 *
 * The feed-forward terms are scaled by 2^postShiftB and the feedback terms by 2^postShiftA (each count the low 16
 * bits of its argument, signed). State x[n-1], x[n-2], y[n-1], y[n-2]; in the 24x24 A56 model the y words are
 * 64-bit values of 48 bits in units of 2^-47 (six 32-bit words: x[n-1], x[n-2], then y[n-1] and y[n-2], each low
 * word first). */
void kve_vecBiquadFract24x24A56(const Fract32 *src, int32_t srcInc, Fract32 *dst, int32_t dstInc,
                                const Fract32 *coeffs, int32_t *state, int32_t postShiftB, int32_t postShiftA,
                                int32_t n);
void kve_vecBiquadFract32x32A64(const Fract32 *src, int32_t srcInc, Fract32 *dst, int32_t dstInc,
                                const Fract32 *coeffs, Fract32 *state, int32_t postShiftB, int32_t postShiftA,
                                int32_t n);
void kve_vecBiquadFract32x32A32(const Fract32 *src, int32_t srcInc, Fract32 *dst, int32_t dstInc,
                                const Fract32 *coeffs, Fract32 *state, int32_t postShiftB, int32_t postShiftA,
                                int32_t n);
void kve_vecBiquadFract24x24A24(const Fract32 *src, int32_t srcInc, Fract32 *dst, int32_t dstInc,
                                const Fract32 *coeffs, Fract32 *state, int32_t postShiftB, int32_t postShiftA,
                                int32_t n);

#ifdef __cplusplus
}
#endif

#endif
