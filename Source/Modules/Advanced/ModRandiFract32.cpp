// RandiFract32: random values as Fract32, the ramp in saturating integer steps.
#include "Modules/Advanced/ControlModules.h"
#include "Modules/Standard/Shapes.h"

using namespace kve::kit;
using namespace kve::shapes;
using namespace kve::control;

extern "C" constinit const ClassRecord<9> kve_modRandiFract32Class = makeClass<9>(
    0xBEEF0D19u,
    {wired<&kve_modRandiFract32Class, 0, 1>, randiFract32Process, IOMatchUpModule_Bypass, randiFract32Set},
    randiVariables<Fract32>());
