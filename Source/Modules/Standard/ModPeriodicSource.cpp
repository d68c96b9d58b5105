// PeriodicSource: plays a host-filled table of float periods, one per channel, over and over. The table holds one
// spare word past the last channel's period.
#include "Modules/Standard/Generators.h"

using namespace kve::kit;
using namespace kve::generators;

extern "C" constinit const ClassRecord<5> kve_modPeriodicSourceClass = makeClass<5>(
    0xBEEF0877u,
    {kve::delays::withOwnArray<&kve_modPeriodicSourceClass, 0, 1, periodicTable<float, 1>>,
     periodicSourceProcess<float, 1>},
    periodicSourceVariables<float, Type::FloatArray>());
