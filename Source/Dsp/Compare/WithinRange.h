// The loop shared by the float and Fract32 range tests, which differ only in what counts as in range.
#pragma once

#include <cstdint>

// *dstAll = 1 when inRange holds for every sample (and for no samples); mode 2 and above with a per-sample vector
// also writes dstVec[i] for every sample, mode 1 copies the block flag into dstVec[0]. A null dstVec is never
// written, whatever the mode, so a caller that wants only the block flag cannot be made to write through it.
template <typename T, typename InRange>
static inline void kve_withinRange(const T *src, int32_t *dstVec, int32_t mode, int32_t *dstAll, int32_t n,
                                   InRange inRange)
{
    int32_t all = 1;
    if (mode >= 2 && dstVec != nullptr) {
        for (int32_t i = 0; i < n; ++i) {
            const int32_t in = inRange(src[i]) ? 1 : 0;
            dstVec[i] = in;
            all &= in;
        }
    } else {
        for (int32_t i = 0; i < n; ++i) {
            all &= inRange(src[i]) ? 1 : 0;
        }
    }
    if (mode == 1 && dstVec != nullptr)
        dstVec[0] = all;
    *dstAll = all;
}
