// Undb10Approx: 10^(x/10) of every sample of wire 0 into wire 1 without a power call: t = x log2(10)/10 splits into
// a whole part n = floor(t) and a fraction f in [0, 1), 2^f comes from a quintic with c = pow2f_approx_coeff (each
// step a fused multiply-add, as in the 20 dB kernel), and n goes into the exponent.
#include "Dsp/Fract32.h"
#include "Modules/Standard/Math.h"
#include "kve/kve_vec.h"

using namespace kve::math;

namespace {

float undb10Approx(float x)
{
    return pow2Approx(x * 0.3321928f);
}

} // namespace

extern "C" constinit const kve::kit::ClassRecord<0> kve_modUndb10ApproxClass =
    plainClass<&kve_modUndb10ApproxClass, 1, 1>(0xBEEF084Bu, oneToOne<map<undb10Approx>>);
