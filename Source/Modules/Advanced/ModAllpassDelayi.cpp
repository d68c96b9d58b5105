// AllpassDelayi: the allpass section on a line read at a modulated delay, interpolated linearly between the two
// whole-sample taps either side of it.
#include "Modules/Advanced/AllpassDelayKit.h"

namespace {

using namespace kve::kit;
using namespace kve::allpass;

float linearTap(const float *line, int64_t length, int64_t p0, int64_t frame, float f)
{
    return (1.0f - f) * line[p0] + f * lineAt(line, length, p0 - frame);
}

void allpassDelayiProcess(ClassModule *m) { processModulated(m, false, linearTap); }

} // namespace

extern "C" constinit const ClassRecord<6> kve_modAllpassDelayiClass = makeClass<6>(
    0xBEEF0CBBu,
    {kve::delays::withOwnArray<&kve_modAllpassDelayiClass, 2, 1, modulatedLine>, allpassDelayiProcess,
     kve::delays::bypassModulated},
    kModulatedVariables);
