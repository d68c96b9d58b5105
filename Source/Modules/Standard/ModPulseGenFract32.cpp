// PulseGenFract32: PulseGen with full-scale 0x7FFFFFFF pulses.
#include "Modules/Standard/Generators.h"

using namespace kve::kit;
using namespace kve::generators;

extern "C" constinit const ClassRecord<6> kve_modPulseGenFract32Class = makeClass<6>(
    0xBEEF08ABu,
    {kve::shapes::wired<&kve_modPulseGenFract32Class, 0, 1>, pulseGenProcess<Fract32>, IOMatchUpModule_Bypass,
     pulseGenSet},
    kPulseGenVariables);
