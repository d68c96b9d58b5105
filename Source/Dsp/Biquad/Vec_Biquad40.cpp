#include <cstddef>
#include <cstdint>
#include <type_traits>

#include "Dsp/LongDouble.h"
#include "kve/kve_vec.h"

static_assert(std::is_same_v<LongDouble, kve_LongDouble>, "the public quad type must be the library's own");

// One transposed-direct-form-II section in quad precision, every operation rounded to quad and nothing fused:
// y = b0 X + s0 rounded to float; with Y that float, s0 = (-a1 Y + b1 X) + s1, s1 = -a2 Y + b2 X. The feedback takes
// the output as written, so the state follows the samples the caller sees.
extern "C" void kve_vecBiquad40(const float *src, int32_t srcInc, float *dst, int32_t dstInc,
                                const kve_LongDouble *coeffs, kve_LongDouble *state, int32_t n)
{
    if (n < 1) {
        return;
    }
    const LongDouble b0 = coeffs[0], b1 = coeffs[1], b2 = coeffs[2], na1 = -coeffs[3], na2 = -coeffs[4];
    LongDouble s0 = state[0], s1 = state[1];
    for (ptrdiff_t i = 0; i < n; ++i) {
        const LongDouble x = src[i * srcInc];
        const float y = static_cast<float>(b0 * x + s0);
        const LongDouble fedBack = y;
        s0 = (na1 * fedBack + b1 * x) + s1;
        s1 = na2 * fedBack + b2 * x;
        dst[i * dstInc] = y;
    }
    state[0] = s0;
    state[1] = s1;
}

// numStages quad-precision sections, two quad state values each.
extern "C" void kve_vecBiquadCascade40(const float *src, int32_t srcInc, float *dst, int32_t dstInc,
                                       const kve_LongDouble *coeffs, kve_LongDouble *state, int32_t numStages,
                                       int32_t n)
{
    if (n < 1 || numStages < 1) {
        return;
    }
    kve_vecBiquad40(src, srcInc, dst, dstInc, coeffs, state, n);
    for (ptrdiff_t k = 1; k < numStages; ++k) {
        kve_vecBiquad40(dst, dstInc, dst, dstInc, coeffs + 5 * k, state + 2 * k, n);
    }
}
