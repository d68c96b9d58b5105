// SourceFract32: Source for Fract32 samples.
#include "Modules/Standard/Sources.h"

using namespace kve::kit;

extern "C" constinit const ClassRecord<1> kve_modSourceFract32Class =
    kve::sources::hostSourceClass<&kve_modSourceFract32Class, Fract32, Type::Fract32Array, true>(0xBEEF08C7u);
