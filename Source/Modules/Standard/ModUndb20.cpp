// Undb20: 10^(x/20), the linear gain of a level in dB, of every sample of wire 0 into wire 1.
#include "Modules/Standard/Math.h"
#include "kve/kve_vec.h"

using namespace kve::math;

extern "C" constinit const kve::kit::ClassRecord<0> kve_modUndb20Class =
    plainClass<&kve_modUndb20Class, 1, 1>(0xBEEF084Cu, oneToOne<kernel<kve_vecUnDb20>>);
