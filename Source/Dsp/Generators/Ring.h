// Walking a caller's ring: the index is read once, held in a register for the block and stored once.
//
// Callers hand in whatever index and step they hold (a delay recomputed from a parameter, an index left by a longer
// ring). Both are brought inside the ring once per call, the index into 0..len-1 and the step into -(len-1)..len-1,
// so that the one compare-and-subtract each way per sample keeps every access inside the ring; per sample the walk
// costs no division.
#pragma once

#include <cstddef>
#include <cstdint>

#include "Dsp/Lanes.h"

// idx modulo len, in 0..len-1 (len >= 1). An index already inside the ring, as it is on every call but a wrong
// one, costs no division.
static inline ptrdiff_t kve_ringEntry(int32_t idx, int32_t len)
{
    if (idx >= 0 && idx < len) {
        return idx;
    }
    const int32_t i = idx % len;
    return i < 0 ? i + len : i;
}

// step modulo len, in -(len-1)..len-1, the sign kept (len >= 1); again no division for a step inside that range.
static inline ptrdiff_t kve_ringStep(int32_t step, int32_t len)
{
    return step > -len && step < len ? step : step % len;
}

// i + step, brought back into 0..len-1 by one correction each way (|step| < len).
static inline ptrdiff_t kve_ringNext(ptrdiff_t i, ptrdiff_t step, ptrdiff_t len)
{
    ptrdiff_t next = i + step;
    if (next >= len) {
        next -= len;
    }
    if (next < 0) {
        next += len;
    }
    return next;
}

// Calls visit(position, k) for k = 0..n-1 at the positions idx, idx + step, ... around a ring of len elements, then
// stores the index that follows the last one. Returns at once, leaving the index as it is, for len < 1 or n < 1.
template <typename Visit>
static inline void kve_ringWalk(int32_t len, int32_t *idx, int32_t step, int32_t n, Visit visit)
{
    if (len < 1 || n < 1) {
        return;
    }
    const ptrdiff_t size = len;
    const ptrdiff_t inc = kve_ringStep(step, len);
    ptrdiff_t i = kve_ringEntry(*idx, len);
    for (int32_t k = 0; k < n; ++k) {
        visit(i, k);
        i = kve_ringNext(i, inc, size);
    }
    *idx = static_cast<int32_t>(i);
}

// The two-index walk of the delay lines: visit(writePosition, readPosition, k), both indices moving by step.
template <typename Visit>
static inline void kve_ringWalk2(int32_t len, int32_t *writeIdx, int32_t *readIdx, int32_t step, int32_t n,
                                 Visit visit)
{
    if (len < 1 || n < 1) {
        return;
    }
    const ptrdiff_t size = len;
    const ptrdiff_t inc = kve_ringStep(step, len);
    ptrdiff_t w = kve_ringEntry(*writeIdx, len);
    ptrdiff_t r = kve_ringEntry(*readIdx, len);
    for (int32_t k = 0; k < n; ++k) {
        visit(w, r, k);
        w = kve_ringNext(w, inc, size);
        r = kve_ringNext(r, inc, size);
    }
    *writeIdx = static_cast<int32_t>(w);
    *readIdx = static_cast<int32_t>(r);
}

// dst = src for n contiguous words in distinct places: blocks of 16 words, then of 4, then single words. Kept inline
// beside the ring walk, where a call per run would cost as much as a short block's copy.
static inline void kve_ringCopyWords(const uint32_t *src, uint32_t *dst, int32_t n)
{
    int32_t i = kve_copyWordBlocks16(src, dst, n);
    for (; n - i >= 4; i += 4) {
        vst1q_u32(dst + i, vld1q_u32(src + i));
    }
    for (; i < n; ++i) {
        dst[i] = src[i];
    }
}

// Moves n contiguous words between a vector and the ring from position i on, step 1: in runs up to the end of the
// ring, as many as n needs (n may exceed len, as the scalar walk allows). move(ringOffset, vectorOffset, count)
// copies one run. Returns the position after the last word.
template <typename Move>
static inline ptrdiff_t kve_ringRuns(ptrdiff_t len, ptrdiff_t i, int32_t n, Move move)
{
    ptrdiff_t done = 0;
    while (done < n) {
        const ptrdiff_t room = len - i;
        const ptrdiff_t run = n - done < room ? n - done : room;
        move(i, done, static_cast<int32_t>(run));
        done += run;
        i += run;
        if (i == len) {
            i = 0;
        }
    }
    return i;
}

// n contiguous words from src into the ring at *idx, step 1; the index moves past them.
static inline void kve_ringCopyIn(uint32_t *ring, int32_t len, int32_t *idx, const uint32_t *src, int32_t n)
{
    if (len < 1 || n < 1) {
        return;
    }
    const auto move = [&](ptrdiff_t at, ptrdiff_t from, int32_t run) { kve_ringCopyWords(src + from, ring + at, run); };
    *idx = static_cast<int32_t>(kve_ringRuns(len, kve_ringEntry(*idx, len), n, move));
}

// n contiguous words from the ring at *idx into dst, step 1; the index moves past them.
static inline void kve_ringCopyOut(const uint32_t *ring, int32_t len, int32_t *idx, uint32_t *dst, int32_t n)
{
    if (len < 1 || n < 1) {
        return;
    }
    const auto move = [&](ptrdiff_t at, ptrdiff_t to, int32_t run) { kve_ringCopyWords(ring + at, dst + to, run); };
    *idx = static_cast<int32_t>(kve_ringRuns(len, kve_ringEntry(*idx, len), n, move));
}

// dst element = buf[idx] into a destination that is a ring of dstLen samples at dstBase, for the ring-to-ring reads
// of float and Fract32 samples. The destination offset (dst - dstBase) and its increment are taken modulo dstLen
// once, like the source index and step, so an increment that does not divide the distance to the end, exceeds
// dstLen or is negative still wraps inside the destination ring instead of running past it.
template <typename T>
static inline void kve_ringReadIntoRing(const T *buf, int32_t len, int32_t *idx, int32_t step, T *dst, T *dstBase,
                                        int32_t dstLen, int32_t dstInc, int32_t n)
{
    if (dstLen < 1) {
        return;
    }
    const ptrdiff_t size = dstLen;
    ptrdiff_t at = dst - dstBase;
    if (at < 0 || at >= size) {
        at %= size;
        at = at < 0 ? at + size : at;
    }
    const ptrdiff_t inc = kve_ringEntry(dstInc, dstLen);
    kve_ringWalk(len, idx, step, n, [&](ptrdiff_t i, int32_t) {
        dstBase[at] = buf[i];
        at += inc;
        if (at >= size) {
            at -= size;
        }
    });
}
