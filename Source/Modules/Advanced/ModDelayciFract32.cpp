// DelayciFract32: the Fract32 modulated delay read through the cubic over four whole-frame taps.
#include "Modules/Advanced/DelayLines.h"

namespace {

using namespace kve::kit;
using namespace kve::shapes;
using namespace kve::dly;

struct DelayciFract32Module {
    ClassModule header;
    int32_t maxDelay;
    Fract32ModulatedTail tail;
    Fract32 *line;
};

constexpr std::array<Variable, 9> kVariables = fract32ModulatedVariables<DelayciFract32Module, 1>({
    KVE_VARIABLE(DelayciFract32Module, maxDelay, Int),
});

void process(ClassModule *m) { processFract32<DelayciFract32Module>(m, true); }

} // namespace

extern "C" constinit const ClassRecord<9> kve_modDelayciFract32Class = makeClass<9>(
    0xBEEF0CE7u, {withArrays<&kve_modDelayciFract32Class, 2, 1, 1, fract32Line<DelayciFract32Module>>, process,
                  bypassModulated, setFract32<DelayciFract32Module>},
    kVariables);
