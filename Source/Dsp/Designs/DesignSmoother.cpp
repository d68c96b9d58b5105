#include <cmath>

#include "kve/kve_design.h"

// Per-block step of a one-pole smoother, 1 - exp(-1000 / ((sampleRate / blockSize) x timeMs)) in single precision:
// timeMs is the time constant, in which the smoother covers 63% of the way to its target. A time shorter than a
// tenth of a block (timeMs x sampleRate < 100 x blockSize) gives 1.0, the target in one block; so do a time or rate
// that is not a number and a block size below 1, whose step would be NaN, 0 or negative and would leave the smoothed
// value poisoned, stuck or running away from its target.
extern "C" float design_smoother(int32_t blockSize, float timeMs, float sampleRate)
{
    const auto blocks = static_cast<float>(blockSize);
    if (blockSize < 1 || !(timeMs * sampleRate >= 100.0f * blocks))
        return 1.0f;
    return 1.0f - std::exp(-1000.0f / ((sampleRate / blocks) * timeMs));
}
