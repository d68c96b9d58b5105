#include <cmath>
#include <cstddef>
#include <cstdint>

#include "kve/kve_vec.h"

namespace {

constexpr float kTwoPi = 6.2831855f;

} // namespace

// dst[k] = sin(phase); the phase then advances by the increment, which glides toward target:
// increment = increment x (1 - coeff) + coeff x target (fused). The phase is kept in 0..2pi by one turn added or
// taken away per sample, so a falling phase (a negative increment) keeps its precision like a rising one. Phase
// and increment are stored back.
extern "C" void kve_vecSineGenSmoothed(float *dst, float *phase, float *increment, float target, float coeff,
                                       int32_t n)
{
    if (n < 1) {
        return;
    }
    const float keep = 1.0f - coeff;
    const float pull = coeff * target;
    float p = *phase;
    float step = *increment;
    for (ptrdiff_t k = 0; k < n; ++k) {
        dst[k] = std::sin(p);
        p += step;
        step = std::fma(step, keep, pull);
        if (p >= kTwoPi) {
            p -= kTwoPi;
        } else if (p < 0.0f) {
            p += kTwoPi;
        }
    }
    *phase = p;
    *increment = step;
}
