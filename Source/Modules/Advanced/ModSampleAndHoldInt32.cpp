// SampleAndHoldInt32: sample-and-hold of int32 data.
#include "Modules/Advanced/ControlModules.h"

using namespace kve::kit;
using namespace kve::control;

extern "C" constinit const ClassRecord<1> kve_modSampleAndHoldInt32Class = makeClass<1>(
    0xBEEF0D23u,
    {built<&kve_modSampleAndHoldInt32Class, sampleAndHoldInt32Variables, 2, 1>,
     sampleAndHoldProcess, sampleAndHoldBypass},
    sampleAndHoldInt32Variables());
