// PulseGen: pulses of `widthSamples` 1.0 samples every `periodSamples` samples, both given in milliseconds.
// Without `repeat` it idles until the host writes a non-zero `counter`, then plays out one period.
#include "Modules/Standard/Generators.h"

namespace kve::generators {

int32_t pulseGenSet(ClassModule *m, uint32_t)
{
    auto *s = reinterpret_cast<PulseGenModule *>(m);
    const float fs = kit::wire(m, 0)->sampleRate;
    s->periodSamples = kve_truncateToInt32(fs * s->periodMs * 0.001f + 0.5f);
    s->widthSamples = kve_truncateToInt32(fs * s->widthMs * 0.001f + 0.5f);
    return KVE_OK;
}

} // namespace kve::generators

using namespace kve::kit;
using namespace kve::generators;

extern "C" constinit const ClassRecord<6> kve_modPulseGenClass = makeClass<6>(
    0xBEEF0878u,
    {kve::shapes::wired<&kve_modPulseGenClass, 0, 1>, pulseGenProcess<float>, IOMatchUpModule_Bypass, pulseGenSet},
    kPulseGenVariables);
