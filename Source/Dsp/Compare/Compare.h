// The sample loops of the comparison kernels: each writes a logic word, 1 where the relation holds and 0 where it
// does not, so a module can pass the result along a wire or count it as is.
#pragma once

#include <cstdint>

#include "Dsp/Neon.h"

// dst[i] = rel(a[i], b[i]) as 1 or 0. A plain indexed loop, which the compiler vectorises.
template <typename T, typename Relation>
static inline void kve_compareVectors(const T *a, const T *b, int32_t *dst, int32_t n, Relation rel)
{
    for (int32_t i = 0; i < n; ++i) {
        dst[i] = rel(a[i], b[i]) ? 1 : 0;
    }
}

// dst[i] = rel(src[i], constant) as 1 or 0.
template <typename T, typename Relation>
static inline void kve_compareWithConstant(const T *src, T constant, int32_t *dst, int32_t n, Relation rel)
{
    for (int32_t i = 0; i < n; ++i) {
        dst[i] = rel(src[i], constant) ? 1 : 0;
    }
}

// A lane mask (all ones or all zeros) as a logic word per lane.
static inline int32x4_t kve_logicWords(uint32x4_t mask) { return vreinterpretq_s32_u32(vshrq_n_u32(mask, 31)); }

// dst[i] = rel(x[i], y(i)) over contiguous floats: 16 samples per iteration in four registers, then blocks of four,
// then the last samples one by one with the scalar relation, which gives the same words as the lane relation.
// yLanes(i) gives the second operand of samples i .. i + 3, y(i) that of sample i alone.
template <typename SecondLanes, typename Second, typename LaneRelation, typename Relation>
static inline void kve_compareLanesF32(const float *x, SecondLanes yLanes, Second y, int32_t *dst, int32_t n,
                                       LaneRelation vrel, Relation rel)
{
    int32_t i = 0;
    for (; n - i >= 16; i += 16) {
        const uint32x4_t m0 = vrel(vld1q_f32(x + i), yLanes(i));
        const uint32x4_t m1 = vrel(vld1q_f32(x + i + 4), yLanes(i + 4));
        const uint32x4_t m2 = vrel(vld1q_f32(x + i + 8), yLanes(i + 8));
        const uint32x4_t m3 = vrel(vld1q_f32(x + i + 12), yLanes(i + 12));
        vst1q_s32(dst + i, kve_logicWords(m0));
        vst1q_s32(dst + i + 4, kve_logicWords(m1));
        vst1q_s32(dst + i + 8, kve_logicWords(m2));
        vst1q_s32(dst + i + 12, kve_logicWords(m3));
    }
    for (; n - i >= 4; i += 4) {
        vst1q_s32(dst + i, kve_logicWords(vrel(vld1q_f32(x + i), yLanes(i))));
    }
    for (; i < n; ++i) {
        dst[i] = rel(x[i], y(i)) ? 1 : 0;
    }
}

// dst[i] = rel(a[i], b[i]), four lanes at a time.
template <typename LaneRelation, typename Relation>
static inline void kve_compareVectorsF32x4(const float *a, const float *b, int32_t *dst, int32_t n, LaneRelation vrel,
                                           Relation rel)
{
    kve_compareLanesF32(
        a, [b](int32_t i) { return vld1q_f32(b + i); }, [b](int32_t i) { return b[i]; }, dst, n, vrel, rel);
}

// dst[i] = rel(src[i], constant), four lanes at a time.
template <typename LaneRelation, typename Relation>
static inline void kve_compareWithConstantF32x4(const float *src, float constant, int32_t *dst, int32_t n,
                                                LaneRelation vrel, Relation rel)
{
    const float32x4_t c = vdupq_n_f32(constant);
    kve_compareLanesF32(
        src, [c](int32_t) { return c; }, [constant](int32_t) { return constant; }, dst, n, vrel, rel);
}

// The six relations on four float lanes, each lane a mask of all ones where it holds.
struct kve_laneEqual {
    uint32x4_t operator()(float32x4_t x, float32x4_t y) const { return vceqq_f32(x, y); }
};
// Not equal is the complement of equal, so it holds where either lane is NaN, as the scalar relation does.
struct kve_laneNotEqual {
    uint32x4_t operator()(float32x4_t x, float32x4_t y) const { return vmvnq_u32(vceqq_f32(x, y)); }
};
struct kve_laneLessThan {
    uint32x4_t operator()(float32x4_t x, float32x4_t y) const { return vcltq_f32(x, y); }
};
struct kve_laneLessOrEqual {
    uint32x4_t operator()(float32x4_t x, float32x4_t y) const { return vcleq_f32(x, y); }
};
struct kve_laneGreater {
    uint32x4_t operator()(float32x4_t x, float32x4_t y) const { return vcgtq_f32(x, y); }
};
struct kve_laneGreaterOrEqual {
    uint32x4_t operator()(float32x4_t x, float32x4_t y) const { return vcgeq_f32(x, y); }
};
