// FIRLoadingFract32: an inner FIRFract32 built for `maxTaps` taps; the host loads float taps through the
// FIR's own object id and the first `activeTaps` of them run on Fract32 samples.
#include "Modules/Advanced/Composites.h"

using namespace kve::kit;
using namespace kve::composites;

extern "C" constinit const ClassRecord<3> kve_modFIRLoadingFract32Class =
    makeClass<3>(0xBEEF0CFBu,
                 {loadingConstructor<&kve_modFIRLoadingFract32Class, FIRLoadingModule, 0xBEEF088Eu, 3>,
                  runInnerModules, IOMatchUpModule_Bypass, loadingSet<FIRLoadingModule>},
                 kLoadingVariables);
