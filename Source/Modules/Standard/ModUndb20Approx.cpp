// Undb20Approx: 10^(x/20) of every sample of wire 0 into wire 1 by the quintic of 2^f, without a power call.
#include "Modules/Standard/Math.h"
#include "kve/kve_vec.h"

using namespace kve::math;

extern "C" constinit const kve::kit::ClassRecord<0> kve_modUndb20ApproxClass =
    plainClass<&kve_modUndb20ApproxClass, 1, 1>(0xBEEF084Du, oneToOne<kernel<kve_vecUnDb20_Approx>>);
