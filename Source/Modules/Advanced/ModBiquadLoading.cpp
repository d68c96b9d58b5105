// BiquadLoading: an inner BiquadCascade built for `maxStages` stages whose coefficients the host loads
// through the cascade's own object id; the first `activeStages` stages run.
#include "Modules/Advanced/Composites.h"

using namespace kve::kit;
using namespace kve::composites;

extern "C" constinit const ClassRecord<3> kve_modBiquadLoadingClass =
    makeClass<3>(0xBEEF0CC3u,
                 {loadingConstructor<&kve_modBiquadLoadingClass, BiquadLoadingModule, 0xBEEF080Bu, 1>,
                  runInnerModules, IOMatchUpModule_Bypass, loadingSet<BiquadLoadingModule>},
                 kLoadingVariables);
