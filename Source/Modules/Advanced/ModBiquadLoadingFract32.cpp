// BiquadLoadingFract32: an inner BiquadCascadeFract32 built for `maxStages` stages; the host loads float
// coefficients through the cascade's own object id and the first `activeStages` stages run on Fract32 samples.
#include "Modules/Advanced/Composites.h"

using namespace kve::kit;
using namespace kve::composites;

extern "C" constinit const ClassRecord<3> kve_modBiquadLoadingFract32Class =
    makeClass<3>(0xBEEF0CC2u,
                 {loadingConstructor<&kve_modBiquadLoadingFract32Class, BiquadLoadingModule, 0xBEEF0884u, 1>,
                  runInnerModules, IOMatchUpModule_Bypass, loadingSet<BiquadLoadingModule>},
                 kLoadingVariables);
