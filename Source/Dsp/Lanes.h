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
