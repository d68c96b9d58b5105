// AveragerFract32: the averager on Fract32 samples, with saturating Q31 steps.
#include "Modules/Advanced/Statistics.h"

using namespace kve::kit;
using namespace kve::statistics;

extern "C" constinit const ClassRecord<6> kve_modAveragerFract32Class = makeClass<6>(
    0xBEEF0CBFu,
    {averagerConstructor<&kve_modAveragerFract32Class, Fract32>, averagerProcess<Fract32>, averagerBypass,
     averagerSet<Fract32>},
    averagerVariables<Fract32>());
