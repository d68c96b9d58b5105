// Undb10Approx: 10^(x/10) of every sample of wire 0 into wire 1 without a power call: t = x log2(10)/10 splits into
// a whole part n = floor(t) and a fraction f in [0, 1), 2^f comes from a quintic with c = pow2f_approx_coeff (each
// step a fused multiply-add, as in the 20 dB kernel), and n goes into the exponent.
#include "Dsp/Fract32.h"
#include "Modules/Standard/Math.h"
#include "kve/kve_vec.h"

using namespace kve::math;

namespace {

// An infinite level has no fraction: its whole part alone sends the result to infinity (+inf dB) or 0 (-inf dB).
float undb10Approx(float x)
{
    const float t = x * 0.3321928f;
    const float whole = std::floor(t);
    const float f = std::isinf(t) ? 0.0f : t - whole;
    float p = std::fma(pow2f_approx_coeff[0], f, pow2f_approx_coeff[1]);
    for (int k = 2; k < 6; ++k)
        p = std::fma(p, f, pow2f_approx_coeff[k]);
    return std::scalbn(p, kve_truncateToInt32(whole));
}

} // namespace

extern "C" constinit const kve::kit::ClassRecord<0> kve_modUndb10ApproxClass =
    plainClass<&kve_modUndb10ApproxClass, 1, 1>(0xBEEF084Bu, oneToOne<map<undb10Approx>>);
