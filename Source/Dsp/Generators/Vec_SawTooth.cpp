#include "Dsp/Generators/WavePhase.h"
#include "kve/kve_vec.h"

// dst = phase, then phase += step, wrapped by 2 as it passes +-1: a ramp from -1 to 1. Returns the phase for the
// next block.
extern "C" float kve_vecSawTooth(float *dst, int32_t n, float phase, float step)
{
    const float inc = kve_wavePhaseStep(step, 2.0f);
    for (int32_t i = 0; i < n; ++i) {
        dst[i] = phase;
        phase = kve_wavePhaseNext(phase, inc, 1.0f, 2.0f);
    }
    return phase;
}
