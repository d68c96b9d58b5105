// ImpulseMsecSourceFract32: ImpulseMsecSource with full-scale 0x7FFFFFFF impulses.
#include "Modules/Standard/Generators.h"

using namespace kve::kit;
using namespace kve::generators;

extern "C" constinit const ClassRecord<3> kve_modImpulseMsecSourceFract32Class = makeClass<3>(
    0xBEEF0892u,
    {kve::shapes::wired<&kve_modImpulseMsecSourceFract32Class, 0, 1>, impulseProcess<ImpulseMsecModule, Fract32>,
     IOMatchUpModule_Bypass, impulseMsecSet},
    kImpulseMsecVariables);
