// The four-lane body of the float rounding and sign modules: four samples per iteration through the lane form, the
// last one to three through the scalar form, which gives the same word for every sample.
#pragma once

#include <cstdint>

#include "Dsp/Neon.h"
#include "Modules/Standard/Math.h"

namespace kve::math {

// Where the output overlaps the input other than in place, a block of four would read samples the block before it
// has already overwritten differently from the sample-by-sample loop; such buffers take the scalar form alone, in
// index order. In place, each block reads its four samples before writing them, so lanes are safe.
template <float (*Scalar)(float), float32x4_t (*Lanes)(float32x4_t)>
void byFours(ClassModule *, const float *x, float *y, int32_t n)
{
    const bool apart = y + n <= x || x + n <= y;
    int32_t i = 0;
    if (apart || x == y) {
        for (; n - i >= 4; i += 4)
            vst1q_f32(y + i, Lanes(vld1q_f32(x + i)));
    }
    for (; i < n; ++i)
        y[i] = Scalar(x[i]);
}

} // namespace kve::math
