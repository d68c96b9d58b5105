// SineSmoothedGenFract32: the smoothed-frequency sine in Q1.31, its phase and increments in radians of 2^-28 and
// its per-sample glide coefficient in Q1.31.
#include "Modules/Standard/Oscillators.h"
#include "kve/kve_vec_smooth.h"

namespace {

using namespace kve::kit;
using namespace kve::shapes;
using namespace kve::oscillators;

// Radians in the phase unit, 2^-28 radians, truncated toward zero.
Fract32 inPhaseUnits(float radians) { return kve_truncateToInt32(radians * 268435456.0f); }

} // namespace

extern "C" constinit const ClassRecord<7> kve_modSineSmoothedGenFract32Class = makeClass<7>(
    0xBEEF08C4u,
    {wired<&kve_modSineSmoothedGenFract32Class, 0, 1>, sineSmoothedGenProcess<Fract32, kve_vecSineGenSmoothedFract32>,
     IOMatchUpModule_Bypass, sineSmoothedGenSet<Fract32, kve_rounded, inPhaseUnits>},
    kSineSmoothedGenVariables<Fract32>);
