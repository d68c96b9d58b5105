// Sawtooth: a ramp from -1 to 1, `freq` times a second; `phase` carries it across blocks.
#include "Modules/Standard/Generators.h"

namespace {

using namespace kve::kit;
using namespace kve::generators;

using Module = SawtoothModule<float>;

void sawtoothProcess(ClassModule *m)
{
    auto *s = reinterpret_cast<Module *>(m);
    s->phase = kve_vecSawTooth(generated<float>(m), generatedSamples(m), s->phase, s->step);
}

// The ramp climbs 2 per cycle.
int32_t sawtoothSet(ClassModule *m, uint32_t)
{
    auto *s = reinterpret_cast<Module *>(m);
    s->step = 2.0f * s->freq / wire(m, 0)->sampleRate;
    return KVE_OK;
}

} // namespace

extern "C" constinit const ClassRecord<3> kve_modSawtoothClass = makeClass<3>(
    0xBEEF0FF3u,
    {kve::shapes::wired<&kve_modSawtoothClass, 0, 1>, sawtoothProcess, IOMatchUpModule_Bypass, sawtoothSet},
    sawtoothVariables<float, Type::Float>());
