// Sink: every block, wire 0's float samples land channel-major in `value` (channel c's block at c x block size),
// a complex wire's real and imaginary parts back in pairs, for the host to read.
#include "Modules/Standard/Sources.h"

using namespace kve::kit;

extern "C" constinit const ClassRecord<3> kve_modSinkClass =
    kve::sources::reservedSinkClass<&kve_modSinkClass, float, Type::FloatArray>(0xBEEF086Du);
