// Reciprocal: 1/x of every sample of wire 0 into wire 1 (infinity of the sample's sign for 0).
#include "Modules/Standard/Math.h"
#include "kve/kve_vec.h"

using namespace kve::math;

extern "C" constinit const kve::kit::ClassRecord<0> kve_modReciprocalClass =
    plainClass<&kve_modReciprocalClass, 1, 1>(0xBEEF083Cu, oneToOne<kernel<kve_vecReciprocal>>);
