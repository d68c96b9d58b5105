// AGCAttackReleaseFract32: the magnitude envelope of every Fract32 channel, rising with the attack coefficient and
// falling with the release coefficient, sample by sample.
#include "Modules/Advanced/DynamicsCores.h"

using namespace kve::kit;
using namespace kve::dyncores;

extern "C" constinit const ClassRecord<5> kve_modAGCAttackReleaseFract32Class = makeClass<5>(
    0xBEEF0CB0u,
    {attackReleaseConstruct<&kve_modAGCAttackReleaseFract32Class, Fract32>, attackReleaseProcess<Fract32>,
     IOMatchUpModule_Bypass, attackReleaseSet<Fract32>},
    attackReleaseVariables<Fract32>());
