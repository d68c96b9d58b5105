// Moving four strided samples between memory and one register, for the strided paths of the four-lane kernels.
// The increment counts samples and may be 0 or negative.
#pragma once

#include <cstddef>
#include <cstdint>

#include "Dsp/Neon.h"

static inline float32x4_t kve_gather4F32(const float *p, ptrdiff_t inc)
{
    const float lanes[4] = {p[0], p[inc], p[2 * inc], p[3 * inc]};
    return vld1q_f32(lanes);
}

static inline int32x4_t kve_gather4S32(const int32_t *p, ptrdiff_t inc)
{
    const int32_t lanes[4] = {p[0], p[inc], p[2 * inc], p[3 * inc]};
    return vld1q_s32(lanes);
}

// Stores in lane order, so with an increment of 0 the last lane is the one left in memory.
static inline void kve_scatter4F32(float *p, ptrdiff_t inc, float32x4_t v)
{
    float lanes[4];
    vst1q_f32(lanes, v);
    p[0] = lanes[0];
    p[inc] = lanes[1];
    p[2 * inc] = lanes[2];
    p[3 * inc] = lanes[3];
}

static inline void kve_scatter4S32(int32_t *p, ptrdiff_t inc, int32x4_t v)
{
    int32_t lanes[4];
    vst1q_s32(lanes, v);
    p[0] = lanes[0];
    p[inc] = lanes[1];
    p[2 * inc] = lanes[2];
    p[3 * inc] = lanes[3];
}

// Copies whole blocks of 16 contiguous words (four registers loaded, then stored); returns the words copied.
static inline int32_t kve_copyWordBlocks16(const uint32_t *s, uint32_t *d, int32_t n)
{
    int32_t i = 0;
    for (; n - i >= 16; i += 16) {
        const uint32x4_t w0 = vld1q_u32(s + i);
        const uint32x4_t w1 = vld1q_u32(s + i + 4);
        const uint32x4_t w2 = vld1q_u32(s + i + 8);
        const uint32x4_t w3 = vld1q_u32(s + i + 12);
        vst1q_u32(d + i, w0);
        vst1q_u32(d + i + 4, w1);
        vst1q_u32(d + i + 8, w2);
        vst1q_u32(d + i + 12, w3);
    }
    return i;
}

// dst = op(a, b) over contiguous floats: 16 samples per iteration in four registers, then blocks of four, then the
// tail one by one with the same operation on single floats.
template <typename VectorOp, typename ScalarOp>
static inline void kve_contiguous2x1F32(const float *a, const float *b, float *dst, int32_t n, VectorOp vop,
                                        ScalarOp op)
{
    int32_t i = 0;
    for (; n - i >= 16; i += 16) {
        const float32x4_t a0 = vld1q_f32(a + i);
        const float32x4_t a1 = vld1q_f32(a + i + 4);
        const float32x4_t a2 = vld1q_f32(a + i + 8);
        const float32x4_t a3 = vld1q_f32(a + i + 12);
        const float32x4_t b0 = vld1q_f32(b + i);
        const float32x4_t b1 = vld1q_f32(b + i + 4);
        const float32x4_t b2 = vld1q_f32(b + i + 8);
        const float32x4_t b3 = vld1q_f32(b + i + 12);
        vst1q_f32(dst + i, vop(a0, b0));
        vst1q_f32(dst + i + 4, vop(a1, b1));
        vst1q_f32(dst + i + 8, vop(a2, b2));
        vst1q_f32(dst + i + 12, vop(a3, b3));
    }
    for (; n - i >= 4; i += 4) {
        vst1q_f32(dst + i, vop(vld1q_f32(a + i), vld1q_f32(b + i)));
    }
    for (; i < n; ++i) {
        dst[i] = op(a[i], b[i]);
    }
}

// dst = op(x) over contiguous floats: 16 samples per iteration in four registers, then blocks of four, then the
// tail one by one with the same operation on single floats.
template <typename VectorOp, typename ScalarOp>
static inline void kve_contiguous1x1F32(const float *src, float *dst, int32_t n, VectorOp vop, ScalarOp op)
{
    int32_t i = 0;
    for (; n - i >= 16; i += 16) {
        const float32x4_t x0 = vld1q_f32(src + i);
        const float32x4_t x1 = vld1q_f32(src + i + 4);
        const float32x4_t x2 = vld1q_f32(src + i + 8);
        const float32x4_t x3 = vld1q_f32(src + i + 12);
        vst1q_f32(dst + i, vop(x0));
        vst1q_f32(dst + i + 4, vop(x1));
        vst1q_f32(dst + i + 8, vop(x2));
        vst1q_f32(dst + i + 12, vop(x3));
    }
    for (; n - i >= 4; i += 4) {
        vst1q_f32(dst + i, vop(vld1q_f32(src + i)));
    }
    for (; i < n; ++i) {
        dst[i] = op(src[i]);
    }
}
