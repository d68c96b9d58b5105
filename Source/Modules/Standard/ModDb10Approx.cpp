// Db10Approx: 10 log10 |x| of every sample of wire 0 into wire 1 without a logarithm call: the cubic log2 of the
// mantissa plus the exponent, times 10 log10(2). The steps are fused multiply-adds as in the 20 log10 kernel, so this
// gives exactly half of Db20Approx above the floor.
#include "Modules/Standard/Math.h"
#include "kve/kve_vec.h"

using namespace kve::math;

namespace {

// Magnitudes below the smallest normal float, zero included, give the floor 10 log10(2^-126).
float db10Approx(float x)
{
    const float a = std::fabs(x);
    if (a < 0x1p-126f)
        return -379.29779052734375f;
    return log2Approx(a) * 3.0102999210357666f;
}

} // namespace

extern "C" constinit const kve::kit::ClassRecord<0> kve_modDb10ApproxClass =
    plainClass<&kve_modDb10ApproxClass, 1, 1>(0xBEEF0847u, oneToOne<map<db10Approx>>);
