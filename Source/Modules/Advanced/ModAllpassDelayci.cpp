// AllpassDelayci: the allpass section on a line read at a modulated delay through a cubic over four whole-sample
// taps, the first two frames newer than the delay's integer part.
#include "Modules/Advanced/AllpassDelayKit.h"

namespace {

using namespace kve::kit;
using namespace kve::allpass;

float cubicTap(const float *line, int64_t length, int64_t p0, int64_t frame, float f)
{
    const float f2 = f * f;
    const float f3 = f2 * f;
    return line[p0] * (-0.3333f * f + 0.5f * f2 - 0.16667f * f3) +
           lineAt(line, length, p0 - frame) * (1.0f + 0.5f * f3 - 0.5f * f - f2) +
           lineAt(line, length, p0 - 2 * frame) * (f + 0.5f * f2 - 0.5f * f3) +
           lineAt(line, length, p0 - 3 * frame) * (0.16667f * (f3 - f));
}

void allpassDelayciProcess(ClassModule *m) { processModulated(m, true, cubicTap); }

} // namespace

extern "C" constinit const ClassRecord<6> kve_modAllpassDelayciClass = makeClass<6>(
    0xBEEF0CBAu,
    {kve::delays::withOwnArray<&kve_modAllpassDelayciClass, 2, 1, modulatedLine>, allpassDelayciProcess,
     kve::delays::bypassModulated},
    kModulatedVariables);
