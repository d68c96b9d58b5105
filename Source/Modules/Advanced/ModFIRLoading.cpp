// FIRLoading: an inner FIR built for `maxTaps` taps whose coefficients the host loads through the FIR's
// own object id; the first `activeTaps` taps run.
#include "Modules/Advanced/Composites.h"

using namespace kve::kit;
using namespace kve::composites;

extern "C" constinit const ClassRecord<3> kve_modFIRLoadingClass =
    makeClass<3>(0xBEEF0CFCu,
                 {loadingConstructor<&kve_modFIRLoadingClass, FIRLoadingModule, 0xBEEF080Fu, 2>,
                  runInnerModules, IOMatchUpModule_Bypass, loadingSet<FIRLoadingModule>},
                 kLoadingVariables);
