#include <cmath>

#include "Dsp/Generators/WavePhase.h"
#include "kve/kve_vec.h"

// dst = +1.0 where sinf(phase) >= 0, else -1.0, then phase += step, wrapped by 6.2831855 (2 pi in single
// precision) as it passes +-6.2831855.
extern "C" void kve_vecSquareWaveGen(float *dst, float *phase, int32_t n, float step)
{
    constexpr float twoPi = 6.2831855f;
    const float inc = kve_wavePhaseStep(step, twoPi);
    float p = *phase;
    for (int32_t i = 0; i < n; ++i) {
        dst[i] = std::sin(p) >= 0.0f ? 1.0f : -1.0f;
        p = kve_wavePhaseNext(p, inc, twoPi, twoPi);
    }
    *phase = p;
}
