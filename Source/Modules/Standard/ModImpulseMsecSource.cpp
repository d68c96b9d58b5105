// ImpulseMsecSource: ImpulseSource whose period is given in whole milliseconds at the output's sample rate.
#include "Modules/Standard/Generators.h"

namespace kve::generators {

int32_t impulseMsecSet(ClassModule *m, uint32_t)
{
    auto *s = reinterpret_cast<ImpulseMsecModule *>(m);
    const float fs = kit::wire(m, 0)->sampleRate;
    s->period = kve_truncateToInt32(fs * 0.001f * static_cast<float>(s->periodMs));
    return KVE_OK;
}

} // namespace kve::generators

using namespace kve::kit;
using namespace kve::generators;

extern "C" constinit const ClassRecord<3> kve_modImpulseMsecSourceClass = makeClass<3>(
    0xBEEF0875u,
    {kve::shapes::wired<&kve_modImpulseMsecSourceClass, 0, 1>, impulseProcess<ImpulseMsecModule, float>,
     IOMatchUpModule_Bypass, impulseMsecSet},
    kImpulseMsecVariables);
