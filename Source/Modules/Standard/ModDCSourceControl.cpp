// DCSourceControl: output channel c = control word c x `value`; the control input is required.
#include "Modules/Standard/Sources.h"

using namespace kve::kit;
using namespace kve::sources;

extern "C" constinit const ClassRecord<1> kve_modDCSourceControlClass = makeClass<1>(
    0xBEEF0FD3u, {source<&kve_modDCSourceControlClass, &kFloatValue, 1>, fromControl<float, timesValue>},
    kFloatValue);
