#include <cmath>

#include "Dsp/Generators/WavePhase.h"
#include "kve/kve_vec.h"

// dst = |phase| - 1, then phase += step, wrapped by 4 as it passes +-2: over one period the output falls from 1 to
// -1 and rises back.
extern "C" void kve_vecTriangleWaveGen(float *dst, float *phase, int32_t n, float step)
{
    const float inc = kve_wavePhaseStep(step, 4.0f);
    float p = *phase;
    for (int32_t i = 0; i < n; ++i) {
        dst[i] = std::fabs(p) - 1.0f;
        p = kve_wavePhaseNext(p, inc, 2.0f, 4.0f);
    }
    *phase = p;
}
