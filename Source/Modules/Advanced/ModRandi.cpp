// Randi: a new random value every period, stepped to or ramped toward.
#include "Modules/Advanced/ControlModules.h"
#include "Modules/Standard/Shapes.h"

using namespace kve::kit;
using namespace kve::shapes;
using namespace kve::control;

extern "C" constinit const ClassRecord<9> kve_modRandiClass = makeClass<9>(
    0xBEEF0D1Au,
    {wired<&kve_modRandiClass, 0, 1>, randiProcess, IOMatchUpModule_Bypass, randiSet},
    randiVariables<float>());
