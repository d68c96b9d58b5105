#include <cmath>
#include <cstddef>
#include <cstdint>

#include "kve/kve_vec.h"

// dst = the phases with whole turns (2 pi) added or taken away so that no step from one output to the next exceeds
// pi (a step of exactly pi is kept). The number of turns comes in one division, however far a phase jumps; the
// first sample is kept. A non-finite phase passes through unchanged and breaks the track: the next finite phase
// is kept as it is and the unwrapping continues from there.
extern "C" void kve_vecUnwrap(const float *src, int32_t srcInc, float *dst, int32_t dstInc, int32_t n)
{
    constexpr float kPi = 3.1415927f;
    constexpr float kTurn = 6.2831855f;
    if (n < 1) {
        return;
    }
    float prev = src[0];
    dst[0] = prev;
    for (ptrdiff_t i = 1; i < n; ++i) {
        float v = src[i * srcInc];
        if (std::isfinite(v) && std::isfinite(prev) && std::fabs(prev - v) > kPi) {
            // Whole turns that bring the step within pi, at least one since the step exceeds it.
            const double step = static_cast<double>(prev) - static_cast<double>(v);
            const double turns = std::fmax(1.0, std::ceil((std::fabs(step) - kPi) / kTurn));
            v = static_cast<float>(static_cast<double>(v) + std::copysign(turns, step) * kTurn);
        }
        dst[i * dstInc] = v;
        prev = v;
    }
}
