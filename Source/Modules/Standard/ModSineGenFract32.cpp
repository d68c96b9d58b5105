// SineGenFract32: the sine generator in Q1.31. Set stores the per-sample angle of `freq` as (cosW, sinW) in Q1.31;
// Process turns the phasor (phasorA, phasorB) through the block, a mono output carrying phasorB and any other the
// (phasorA, phasorB) pairs.
#include "Modules/Standard/Oscillators.h"

using namespace kve::kit;
using namespace kve::shapes;
using namespace kve::oscillators;

extern "C" constinit const ClassRecord<6> kve_modSineGenFract32Class =
    makeClass<6>(0xBEEF08C3u,
                 {wired<&kve_modSineGenFract32Class, 0, 1>, sineGenProcess<Fract32, turnPhasorFract32>,
                  IOMatchUpModule_Bypass, sineGenSet<Fract32, kve_rounded>},
                 kSineGenVariables<Fract32>);
