// AGCAttackRelease: the magnitude envelope of every channel, rising with the attack coefficient and falling with the
// release coefficient, sample by sample.
#include "Modules/Advanced/DynamicsCores.h"

using namespace kve::kit;
using namespace kve::dyncores;

extern "C" constinit const ClassRecord<5> kve_modAGCAttackReleaseClass = makeClass<5>(
    0xBEEF0CB1u,
    {attackReleaseConstruct<&kve_modAGCAttackReleaseClass, float>, attackReleaseProcess<float>,
     kve::dynamics::unityGain<float, 1>, attackReleaseSet<float>},
    attackReleaseVariables<float>());
