// SineSmoothedGen: a mono sine whose phase increment glides each sample toward the increment of `freq`, so a new
// frequency sweeps in over `smoothingTime` milliseconds instead of jumping.
#include "Modules/Standard/Oscillators.h"
#include "kve/kve_vec_smooth.h"

using namespace kve::kit;
using namespace kve::shapes;
using namespace kve::oscillators;

extern "C" constinit const ClassRecord<7> kve_modSineSmoothedGenClass =
    makeClass<7>(0xBEEF0879u,
                 {wired<&kve_modSineSmoothedGenClass, 0, 1>, sineSmoothedGenProcess<float, kve_vecSineGenSmoothed>,
                  IOMatchUpModule_Bypass, sineSmoothedGenSet<float, asFloat, asFloat>},
                 kSineSmoothedGenVariables<float>);
