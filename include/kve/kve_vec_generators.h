/* Generator and ring kernels: random numbers, noise, sines and waves; copies into, out of and through rings
 * whose storage, length and running index belong to the caller.
 *
 * Rings: len elements and a running index held by the caller, read once on entry and written back once at the end.
 * The index on entry is taken modulo len (a negative one counts back from the end) and the step is taken modulo
 * len once per call, so no access lands outside the ring whatever the caller holds; a negative step runs
 * backwards. A len below 1 does nothing, nor does a count below 1. */
#ifndef KVE_VEC_GENERATORS_H
#define KVE_VEC_GENERATORS_H

#include <stdint.h>

#include "kve_types.h"

#ifdef __cplusplus
extern "C" {
#endif

/* ---- Generators ---- */

/* state = 1664525 x state + 1013904223 (mod 2^32), each new state written as one output word; the first output is
 * the successor of the stored state, and the last is stored back. */
void kve_vecRand(int32_t *dst, uint32_t *state, int32_t n);
/* Uniform noise in [-amplitude, amplitude] from the library's own process-wide 31-bit source (lock-free, never
 * seeded by the caller): (r - 1073741823) x amplitude x 2^-30 for r in 0..2^31-1. */
void kve_vecWhiteNoise(float *dst, int32_t dstInc, int32_t n, float amplitude);
/* Sine by a rotating phasor (a, b) = (cos, sin) turned by (c, s) = (cos w, sin w) per sample with fused
 * multiply-adds; channels 1 writes b per sample, any other value the pair (a, b). The phasor is brought back to unit
 * length after the block and stored, also when n < 1; a zero phasor stays zero. */
void kve_vecSineGen(float *dst, float *a, float *b, int32_t channels, int32_t n, float c, float s);
/* sin(2x) in Q31 for the half angle x in Q31 (|2x| up to pi/2). */
Fract32 kve_vecSineFract32(Fract32 x);
/* Sawtooth in [-1, 1]: output = phase, then phase += step, wrapped by 2 when it passes +-1; returns the phase to
 * pass to the next call. */
float kve_vecSawTooth(float *dst, int32_t n, float phase, float step);
/* Sawtooth ramping over 0..0x7FFFFFFF: output = phase, then phase += step in 64 bits, wrapped by 0x7FFFFFFF. */
void kve_vecSawtoothFract32(Fract32 *dst, Fract32 *phase, Fract32 step, int32_t n);
/* +1.0 where sinf(phase) >= 0, else -1.0; phase in radians, wrapped by 6.2831855 when it passes +-6.2831855. */
void kve_vecSquareWaveGen(float *dst, float *phase, int32_t n, float step);
/* Triangle in [-1, 1]: output = |phase| - 1, then phase += step, wrapped by 4 when it passes +-2. */
void kve_vecTriangleWaveGen(float *dst, float *phase, int32_t n, float step);

/* ---- Rings of 32-bit words ---- */

/* buf[idx] = src element, idx += step. */
void kve_vecCircWrite(void *buf, int32_t len, int32_t *idx, int32_t step, const void *src, int32_t srcInc,
                      int32_t n);
/* dst element = buf[idx], idx += step. */
void kve_vecCircRead(const void *buf, int32_t len, int32_t *idx, int32_t step, void *dst, int32_t dstInc, int32_t n);
/* As kve_vecCircRead into a destination ring of dstLen floats at dstBase, starting at dst: the destination moves by
 * dstInc taken modulo dstLen (a negative increment walks backwards, one of dstLen or more wraps as often as it needs),
 * and a start outside the ring is taken modulo dstLen too, so every write lands in the destination ring. A dstLen
 * below 1 does nothing. */
void kve_vecCircReadCirc(const float *buf, int32_t len, int32_t *idx, int32_t step, float *dst, float *dstBase,
                         int32_t dstLen, int32_t dstInc, int32_t n);
/* kve_vecCircReadCirc on Fract32 samples. */
void kve_vecCircReadFract32(const Fract32 *buf, int32_t len, int32_t *idx, int32_t step, Fract32 *dst,
                            Fract32 *dstBase, int32_t dstLen, int32_t dstInc, int32_t n);
/* buf[idx] += src element. */
void kve_vecCircAdd(float *buf, int32_t len, int32_t *idx, int32_t step, const float *src, int32_t srcInc, int32_t n);
/* buf[idx] = buf[idx] + src element, saturated. */
void kve_vecCircAddFract32(Fract32 *buf, int32_t len, int32_t *idx, int32_t step, const Fract32 *src,
                           int32_t srcInc, int32_t n);
/* buf[idx] = value. */
void kve_vecCircFill(float *buf, int32_t len, int32_t *idx, int32_t step, float value, int32_t n);
/* buf[idx] = value. */
void kve_vecCircFillFract32(Fract32 *buf, int32_t len, int32_t *idx, int32_t step, Fract32 value, int32_t n);
/* Per sample: buf[writeIdx] = src element, then dst element = buf[readIdx]; both indices move by step and both
 * vectors by inc, so where the indices meet the read returns the sample just written. */
void kve_vecCircWriteRead(void *buf, int32_t len, int32_t *writeIdx, int32_t *readIdx, int32_t step, const void *src,
                          void *dst, int32_t inc, int32_t n);

/* ---- Rings of 16-bit samples ---- */

/* buf16[idx] = src rounded to its top 16 bits, half up; 0x7FFF8000 and above store 32767. */
void kve_vecCircWrite16(int16_t *buf16, int32_t len, int32_t *idx, int32_t step, const Fract32 *src, int32_t srcInc,
                        int32_t n);
/* 16-bit delay line, step 1: write as kve_vecCircWrite16 at writeIdx, then dst = buf16[readIdx] << 16. */
void kve_vecCircWriteRead16(int16_t *buf16, int32_t len, int32_t *writeIdx, int32_t *readIdx, const Fract32 *src,
                            Fract32 *dst, int32_t n);
/* 16-bit delay line of floats, step 1: stores x x 32768 plus 0.5 truncated toward zero, from -32768 up to 32767
 * (NaN stores 0), then dst = buf16[readIdx] / 32767. */
void kve_vecCircWriteRead16Float(int16_t *buf16, int32_t len, int32_t *writeIdx, int32_t *readIdx, const float *src,
                                 float *dst, int32_t n);

/* ---- Four-lane block copies through rings of 32-bit words, step 1 ---- */

/* n contiguous words into the ring from idx on, wrapping at its end as often as n requires. */
void kve_vecCircWrite_SIMD4(void *buf, int32_t len, int32_t *idx, const void *src, int32_t n);
/* n contiguous words out of the ring from idx on, wrapping at its end as often as n requires. */
void kve_vecCircRead_SIMD4(const void *buf, int32_t len, int32_t *idx, void *dst, int32_t n);
/* The whole block written at writeIdx, then the whole block read from readIdx. */
void kve_vecCircWriteRead_SIMD4(void *buf, int32_t len, int32_t *writeIdx, int32_t *readIdx, const void *src,
                                void *dst, int32_t n);

#ifdef __cplusplus
}
#endif

#endif
