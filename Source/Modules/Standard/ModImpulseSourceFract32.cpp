// ImpulseSourceFract32: ImpulseSource with full-scale 0x7FFFFFFF impulses.
#include "Modules/Standard/Generators.h"

using namespace kve::kit;
using namespace kve::generators;

extern "C" constinit const ClassRecord<2> kve_modImpulseSourceFract32Class = makeClass<2>(
    0xBEEF0890u,
    {kve::shapes::wired<&kve_modImpulseSourceFract32Class, 0, 1>, impulseProcess<ImpulseModule, Fract32>},
    kImpulseVariables);
