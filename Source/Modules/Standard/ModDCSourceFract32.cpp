// DCSourceFract32: every word of its output = `valueFract32`, which Set makes the Q1.31 form of `value`.
#include "Modules/Standard/Sources.h"

using namespace kve::kit;
using namespace kve::sources;

extern "C" constinit const ClassRecord<2> kve_modDCSourceFract32Class =
    makeClass<2>(0xBEEF0FD4u,
                 {source<&kve_modDCSourceFract32Class, &kFract32Value>, constant<Fract32, fract32Value>,
                  IOMatchUpModule_Bypass, fract32ValueSet},
                 kFract32Value);
