// Delayci: as Delayi, read through a cubic over four whole-sample taps. The taps lie at k - 2 .. k + 1 samples
// back and the cubic is read between the second and third, so the audio comes out d - 1 samples late. The delay is
// held to at least 2, where the taps stay inside the ring's newest samples, so the delay never steps back as d
// rises (clicks under modulation).
#include "Modules/Standard/Delays.h"

namespace {

using namespace kve::kit;
using namespace kve::delays;

float cubicTap(const float *x, int64_t ring, int64_t at, uint32_t ch, uint32_t c, int64_t k, float f)
{
    const float third = 0.3333f;
    const float sixth = 0.16667f;
    const float f2 = f * f;
    const float f3 = f2 * f;
    const float c0 = -sixth * f3 + 0.5f * f2 - third * f;
    const float c1 = 0.5f * f3 - f2 - 0.5f * f + 1.0f;
    const float c2 = -0.5f * f3 + 0.5f * f2 + f;
    const float c3 = sixth * (f3 - f);
    return c0 * back(x, ring, at, ch, c, k - 2) + c1 * back(x, ring, at, ch, c, k - 1) +
           c2 * back(x, ring, at, ch, c, k) + c3 * back(x, ring, at, ch, c, k + 1);
}

void delayciProcess(ClassModule *m) { processModulated(m, 2.0f, cubicTap); }

} // namespace

extern "C" constinit const ClassRecord<6> kve_modDelayciClass =
    makeClass<6>(0xBEEF0FD6u, {withOwnArray<&kve_modDelayciClass, 2, 1, modulatedRing>, delayciProcess, bypassModulated},
                 kModulatedVariables);
