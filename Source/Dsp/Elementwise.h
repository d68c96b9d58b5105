// The sample loops of the strided kernels, which apply a formula to each sample in index order.
//
// Strided vectors are walked four samples per iteration, each sample read and written in index order, so an output
// that is also an input (same pointer and increment, 0 included) sees the earlier results as the formula says. Four
// per iteration rather than one: a one-sample loop over runtime increments is short enough that its speed depends on
// where it lands in memory (up to twice as slow on some x86 cores), which the longer body does not.
//
// The kve_map and kve_accumulate forms take contiguous vectors (every increment 1) through a loop that indexes them
// directly, which the compiler can vectorise (it checks at run time that the output overlaps no input other than in
// place, and otherwise takes the samples one by one in order), as it does not a loop over runtime increments.
#pragma once

#include <cstddef>
#include <cstdint>

// Calls step() n times, four calls per loop iteration.
template <typename Step> static inline void kve_inOrderByFours(int32_t n, Step step)
{
    int32_t i = 0;
    for (; n - i >= 4; i += 4) {
        step();
        step();
        step();
        step();
    }
    for (; i < n; ++i) {
        step();
    }
}

// dst = op(x), strided.
template <typename X, typename D, typename Op>
static inline void kve_stridedMap1x1(const X *x, ptrdiff_t xInc, D *dst, ptrdiff_t dstInc, int32_t n, Op op)
{
    ptrdiff_t xi = 0;
    ptrdiff_t di = 0;
    const auto sample = [&] {
        dst[di] = op(x[xi]);
        xi += xInc;
        di += dstInc;
    };
    kve_inOrderByFours(n, sample);
}

// dst = op(a, b), strided.
template <typename A, typename B, typename D, typename Op>
static inline void kve_stridedMap2x1(const A *a, ptrdiff_t aInc, const B *b, ptrdiff_t bInc, D *dst, ptrdiff_t dstInc,
                                     int32_t n, Op op)
{
    ptrdiff_t ai = 0;
    ptrdiff_t bi = 0;
    ptrdiff_t di = 0;
    const auto sample = [&] {
        dst[di] = op(a[ai], b[bi]);
        ai += aInc;
        bi += bInc;
        di += dstInc;
    };
    kve_inOrderByFours(n, sample);
}

// dst = op(a, b, c), strided.
template <typename A, typename B, typename C, typename D, typename Op>
static inline void kve_stridedMap3x1(const A *a, ptrdiff_t aInc, const B *b, ptrdiff_t bInc, const C *c,
                                     ptrdiff_t cInc, D *dst, ptrdiff_t dstInc, int32_t n, Op op)
{
    ptrdiff_t ai = 0;
    ptrdiff_t bi = 0;
    ptrdiff_t ci = 0;
    ptrdiff_t di = 0;
    const auto sample = [&] {
        dst[di] = op(a[ai], b[bi], c[ci]);
        ai += aInc;
        bi += bInc;
        ci += cInc;
        di += dstInc;
    };
    kve_inOrderByFours(n, sample);
}

// dst = op(x, dst), strided: the output is read and written.
template <typename X, typename D, typename Op>
static inline void kve_stridedAccumulate1x1(const X *x, ptrdiff_t xInc, D *dst, ptrdiff_t dstInc, int32_t n, Op op)
{
    ptrdiff_t xi = 0;
    ptrdiff_t di = 0;
    const auto sample = [&] {
        dst[di] = op(x[xi], dst[di]);
        xi += xInc;
        di += dstInc;
    };
    kve_inOrderByFours(n, sample);
}

// dst = op(x).
template <typename X, typename D, typename Op>
static inline void kve_map1x1(const X *x, int32_t xInc, D *dst, int32_t dstInc, int32_t n, Op op)
{
    if (xInc != 1 || dstInc != 1) {
        kve_stridedMap1x1(x, xInc, dst, dstInc, n, op);
        return;
    }
    for (int32_t i = 0; i < n; ++i) {
        dst[i] = op(x[i]);
    }
}

// dst = op(a, b).
template <typename A, typename B, typename D, typename Op>
static inline void kve_map2x1(const A *a, int32_t aInc, const B *b, int32_t bInc, D *dst, int32_t dstInc, int32_t n,
                              Op op)
{
    if (aInc != 1 || bInc != 1 || dstInc != 1) {
        kve_stridedMap2x1(a, aInc, b, bInc, dst, dstInc, n, op);
        return;
    }
    for (int32_t i = 0; i < n; ++i) {
        dst[i] = op(a[i], b[i]);
    }
}

// dst = op(a, b, c).
template <typename A, typename B, typename C, typename D, typename Op>
static inline void kve_map3x1(const A *a, int32_t aInc, const B *b, int32_t bInc, const C *c, int32_t cInc, D *dst,
                              int32_t dstInc, int32_t n, Op op)
{
    if (aInc != 1 || bInc != 1 || cInc != 1 || dstInc != 1) {
        kve_stridedMap3x1(a, aInc, b, bInc, c, cInc, dst, dstInc, n, op);
        return;
    }
    for (int32_t i = 0; i < n; ++i) {
        dst[i] = op(a[i], b[i], c[i]);
    }
}

// dst = op(x, dst): the output is read and written.
template <typename X, typename D, typename Op>
static inline void kve_accumulate1x1(const X *x, int32_t xInc, D *dst, int32_t dstInc, int32_t n, Op op)
{
    if (xInc != 1 || dstInc != 1) {
        kve_stridedAccumulate1x1(x, xInc, dst, dstInc, n, op);
        return;
    }
    for (int32_t i = 0; i < n; ++i) {
        dst[i] = op(x[i], dst[i]);
    }
}
