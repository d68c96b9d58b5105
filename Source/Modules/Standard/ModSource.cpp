// Source: the host writes channel c's block of float samples at value[c x block size]; every block goes out
// interleaved, on a complex wire as real and imaginary parts.
#include "Modules/Standard/Sources.h"

using namespace kve::kit;

extern "C" constinit const ClassRecord<1> kve_modSourceClass =
    kve::sources::hostSourceClass<&kve_modSourceClass, float, Type::FloatArray, true>(0xBEEF086Fu);
