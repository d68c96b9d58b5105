// PeriodicSourceFract32: PeriodicSource on Fract32 samples, its table exactly channels x periodLength words.
#include "Modules/Standard/Generators.h"

using namespace kve::kit;
using namespace kve::generators;

extern "C" constinit const ClassRecord<5> kve_modPeriodicSourceFract32Class = makeClass<5>(
    0xBEEF08A7u,
    {kve::delays::withOwnArray<&kve_modPeriodicSourceFract32Class, 0, 1, periodicTable<Fract32, 0>>,
     periodicSourceProcess<Fract32, 0>},
    periodicSourceVariables<Fract32, Type::Fract32Array>());
