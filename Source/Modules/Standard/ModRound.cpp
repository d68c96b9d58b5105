// Round: every sample of wire 0 rounded to the nearest whole number into wire 1, as floor(x + 0.5):
// halves round up, so -2.5 gives -2 and 2.5 gives 3.
#include "Modules/Standard/MathLanes.h"

using namespace kve::math;

namespace {

float halfUp(float x) { return std::floor(x + 0.5f); }
float32x4_t halfUp(float32x4_t x) { return vrndmq_f32(vaddq_f32(x, vdupq_n_f32(0.5f))); }

} // namespace

extern "C" constinit const kve::kit::ClassRecord<0> kve_modRoundClass =
    plainClass<&kve_modRoundClass, 1, 1>(0xBEEF083Du, oneToOne<byFours<halfUp, halfUp>>);
