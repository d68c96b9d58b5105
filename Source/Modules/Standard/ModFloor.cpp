// Floor: every sample of wire 0 rounded down to a whole number, into wire 1.
#include "Modules/Standard/MathLanes.h"

using namespace kve::math;

namespace {

float down(float x) { return std::floor(x); }
float32x4_t down(float32x4_t x) { return vrndmq_f32(x); }

} // namespace

extern "C" constinit const kve::kit::ClassRecord<0> kve_modFloorClass =
    plainClass<&kve_modFloorClass, 1, 1>(0xBEEF0831u, oneToOne<byFours<down, down>>);
