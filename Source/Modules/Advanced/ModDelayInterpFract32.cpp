// DelayInterpFract32: DelayInterp on Fract32 samples, the delay in Q16 and the taps' weights in Q31, every product
// shifted right toward minus infinity and every sum saturated; Set turns the float base delay and depth into Q16.
#include "Modules/Advanced/DelayLines.h"

namespace {

using namespace kve::kit;
using namespace kve::shapes;
using namespace kve::dly;

struct DelayInterpFract32Module {
    ClassModule header;
    int32_t maxDelay;
    int32_t mode;
    Fract32ModulatedTail tail;
    Fract32 *line;
};

constexpr std::array<Variable, 10> kVariables = fract32ModulatedVariables<DelayInterpFract32Module, 2>({
    KVE_VARIABLE(DelayInterpFract32Module, maxDelay, Int),
    KVE_VARIABLE(DelayInterpFract32Module, mode, Int),
});

void process(ClassModule *m)
{
    processFract32<DelayInterpFract32Module>(m, reinterpret_cast<DelayInterpFract32Module *>(m)->mode != 0);
}

} // namespace

extern "C" constinit const ClassRecord<10> kve_modDelayInterpFract32Class = makeClass<10>(
    0xBEEF0CE1u,
    {withArrays<&kve_modDelayInterpFract32Class, 2, 1, 1, fract32Line<DelayInterpFract32Module>>, process,
     bypassModulated, setFract32<DelayInterpFract32Module>},
    kVariables);
