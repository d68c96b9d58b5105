// ImpulseSource: a 1.0 every `period` samples, `position` samples into the block; the position carries the train
// across blocks.
#include "Modules/Standard/Generators.h"

using namespace kve::kit;
using namespace kve::generators;

extern "C" constinit const ClassRecord<2> kve_modImpulseSourceClass = makeClass<2>(
    0xBEEF0FE0u, {kve::shapes::wired<&kve_modImpulseSourceClass, 0, 1>, impulseProcess<ImpulseModule, float>},
    kImpulseVariables);
