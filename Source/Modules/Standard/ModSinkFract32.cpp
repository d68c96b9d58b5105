// SinkFract32: Sink for Fract32 samples.
#include "Modules/Standard/Sources.h"

using namespace kve::kit;

extern "C" constinit const ClassRecord<3> kve_modSinkFract32Class =
    kve::sources::reservedSinkClass<&kve_modSinkFract32Class, Fract32, Type::Fract32Array>(0xBEEF08C5u);
