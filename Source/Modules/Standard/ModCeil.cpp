// Ceil: every sample of wire 0 rounded up to a whole number, into wire 1.
#include "Modules/Standard/MathLanes.h"

using namespace kve::math;

namespace {

float up(float x) { return std::ceil(x); }
float32x4_t up(float32x4_t x) { return vrndpq_f32(x); }

} // namespace

extern "C" constinit const kve::kit::ClassRecord<0> kve_modCeilClass =
    plainClass<&kve_modCeilClass, 1, 1>(0xBEEF082Eu, oneToOne<byFours<up, up>>);
