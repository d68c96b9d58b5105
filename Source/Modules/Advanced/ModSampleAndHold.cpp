// SampleAndHold: a non-zero trigger sample takes the data sample into the held value; the output is what is held.
#include "Modules/Advanced/ControlModules.h"

using namespace kve::kit;
using namespace kve::control;

extern "C" constinit const ClassRecord<1> kve_modSampleAndHoldClass = makeClass<1>(
    0xBEEF0D24u,
    {built<&kve_modSampleAndHoldClass, sampleAndHoldVariables, 2, 1>, sampleAndHoldProcess, sampleAndHoldBypass},
    sampleAndHoldVariables());
