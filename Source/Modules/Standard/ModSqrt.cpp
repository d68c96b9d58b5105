// Sqrt: the square root of the magnitude of every sample of wire 0 into wire 1.
#include "Modules/Standard/Math.h"
#include "kve/kve_vec.h"

using namespace kve::math;

extern "C" constinit const kve::kit::ClassRecord<0> kve_modSqrtClass =
    plainClass<&kve_modSqrtClass, 1, 1>(0xBEEF083Fu, oneToOne<kernel<kve_vecSqrt>>);
