// Undb10: 10^(x/10), the power ratio of a level in dB, of every sample of wire 0 into wire 1, as
// e^(x ln 10 / 10).
#include "Modules/Standard/Math.h"

using namespace kve::math;

constexpr float kLnOf10Over10 = 0.230258509516716f;

extern "C" constinit const kve::kit::ClassRecord<0> kve_modUndb10Class =
    plainClass<&kve_modUndb10Class, 1, 1>(0xBEEF084Au, oneToOne<map<expOfTimes<kLnOf10Over10>>>);
