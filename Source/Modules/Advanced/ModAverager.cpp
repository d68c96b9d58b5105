// Averager: per channel the exact mean of the samples so far for the first `smoothingTime`, then an exponential
// average with that time constant; a second input makes its first input a reset control.
#include "Modules/Advanced/Statistics.h"

using namespace kve::kit;
using namespace kve::statistics;

extern "C" constinit const ClassRecord<6> kve_modAveragerClass = makeClass<6>(
    0xBEEF0CC0u,
    {averagerConstructor<&kve_modAveragerClass, float>, averagerProcess<float>, averagerBypass, averagerSet<float>},
    averagerVariables<float>());
