// DCSourceV2Fract32: DCSourceV2 in Q1.31: the constant is `valueFract32` (Set: the Q1.31 form of `value`), and a
// control word x `valueFract32` is the Q1.31 product, saturated.
#include "Modules/Standard/Sources.h"

using namespace kve::kit;
using namespace kve::sources;

extern "C" constinit const ClassRecord<2> kve_modDCSourceV2Fract32Class =
    makeClass<2>(0xBEEF088Cu,
                 {source<&kve_modDCSourceV2Fract32Class, &kFract32Value, 0, 1>,
                  constantOrControlled<Fract32, fract32Value, timesFract32Value>, IOMatchUpModule_Bypass,
                  fract32ValueSet},
                 kFract32Value);
