// Delayi: wire 1 delayed by currentDelay + modulation x modDepth samples (wire 0's channel 0, one value per sample,
// or per block from a one-sample wire) into wire 2, reading between the two whole-sample taps around the delay on a
// line. The delay is held to 0 .. maxDelay.
#include "Modules/Standard/Delays.h"

namespace {

using namespace kve::kit;
using namespace kve::delays;

float linearTap(const float *x, int64_t ring, int64_t at, uint32_t ch, uint32_t c, int64_t k, float f)
{
    return back(x, ring, at, ch, c, k) * (1.0f - f) + f * back(x, ring, at, ch, c, k + 1);
}

void delayiProcess(ClassModule *m) { processModulated(m, 0.0f, linearTap); }

} // namespace

extern "C" constinit const ClassRecord<6> kve_modDelayiClass =
    makeClass<6>(0xBEEF0FD7u, {withOwnArray<&kve_modDelayiClass, 2, 1, modulatedRing>, delayiProcess, bypassModulated},
                 kModulatedVariables);
