// Db20Approx: 20 log10 |x| of every sample of wire 0 into wire 1 by the cubic of log2 of the mantissa, without a
// logarithm call.
#include "Modules/Standard/Math.h"
#include "kve/kve_vec.h"

using namespace kve::math;

extern "C" constinit const kve::kit::ClassRecord<0> kve_modDb20ApproxClass =
    plainClass<&kve_modDb20ApproxClass, 1, 1>(0xBEEF0849u, oneToOne<kernel<kve_vecDb20_Approx>>);
