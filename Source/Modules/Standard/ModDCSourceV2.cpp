// DCSourceV2: without an input, every output word = `value`; with a control input, output channel c = control word
// c x `value`.
#include "Modules/Standard/Sources.h"

using namespace kve::kit;
using namespace kve::sources;

extern "C" constinit const ClassRecord<1> kve_modDCSourceV2Class =
    makeClass<1>(0xBEEF0872u,
                 {source<&kve_modDCSourceV2Class, &kFloatValue, 0, 1>,
                  constantOrControlled<float, floatValue, timesValue>},
                 kFloatValue);
