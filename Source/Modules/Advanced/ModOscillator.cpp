// Oscillator: a sine per output channel from a running phase, moved by a one-channel phase modulation.
#include "Modules/Advanced/ControlModules.h"

using namespace kve::kit;
using namespace kve::control;

extern "C" constinit const ClassRecord<4> kve_modOscillatorClass = makeClass<4>(
    0xBEEF0D14u,
    {built<&kve_modOscillatorClass, oscillatorVariables, 1, 1>, oscillatorProcess},
    oscillatorVariables());
