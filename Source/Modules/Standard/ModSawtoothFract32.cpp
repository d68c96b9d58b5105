// SawtoothFract32: a ramp from 0 to 0x7FFFFFFF, `freq` times a second; `phase` carries it across blocks.
#include "Modules/Standard/Generators.h"

namespace {

using namespace kve::kit;
using namespace kve::generators;

using Module = SawtoothModule<Fract32>;

void sawtoothFract32Process(ClassModule *m)
{
    auto *s = reinterpret_cast<Module *>(m);
    kve_vecSawtoothFract32(generated<Fract32>(m), &s->phase, s->step, generatedSamples(m));
}

// The ramp climbs one full scale per cycle.
int32_t sawtoothFract32Set(ClassModule *m, uint32_t)
{
    auto *s = reinterpret_cast<Module *>(m);
    s->step = kve_rounded(s->freq / wire(m, 0)->sampleRate);
    return KVE_OK;
}

} // namespace

extern "C" constinit const ClassRecord<3> kve_modSawtoothFract32Class = makeClass<3>(
    0xBEEF08B7u,
    {kve::shapes::wired<&kve_modSawtoothFract32Class, 0, 1>, sawtoothFract32Process, IOMatchUpModule_Bypass,
     sawtoothFract32Set},
    sawtoothVariables<Fract32, Type::Int>());
