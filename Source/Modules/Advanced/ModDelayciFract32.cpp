// DelayciFract32: the Fract32 modulated delay read through the cubic over four whole-frame taps.
#include "Modules/Advanced/DelayLines.h"

namespace {

using namespace kve::kit;
using namespace kve::shapes;
using namespace kve::dly;

struct DelayciFract32Module {
    ClassModule header;
    int32_t maxDelay;
    float baseDelay;
    int32_t baseQ16;
    float depth;
    int32_t depthQ16;
    int32_t unused;
    int32_t writeIndex;
    int32_t heap;
    Fract32 *line;
};

constexpr std::array<Variable, 9> kVariables = {
    KVE_VARIABLE(DelayciFract32Module, maxDelay, Int),   KVE_VARIABLE(DelayciFract32Module, baseDelay, Float),
    KVE_VARIABLE(DelayciFract32Module, baseQ16, Int),    KVE_VARIABLE(DelayciFract32Module, depth, Float),
    KVE_VARIABLE(DelayciFract32Module, depthQ16, Int),   KVE_VARIABLE(DelayciFract32Module, unused, Int),
    KVE_VARIABLE(DelayciFract32Module, writeIndex, Int), KVE_VARIABLE(DelayciFract32Module, heap, Int),
    KVE_ARRAY(DelayciFract32Module, line, Fract32Array, fixedLength(0)),
};

void process(ClassModule *m) { processFract32<DelayciFract32Module>(m, true); }

} // namespace

extern "C" constinit const ClassRecord<9> kve_modDelayciFract32Class = makeClass<9>(
    0xBEEF0CE7u, {withArrays<&kve_modDelayciFract32Class, 2, 1, 1, modulatedLine<DelayciFract32Module>>, process,
                  bypassModulated, setFract32<DelayciFract32Module>},
    kVariables);
