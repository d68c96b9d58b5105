// SbDerivative: the change of every word since the last block, per unit of time at the wire's rate, scaled.
#include <algorithm>

#include "Modules/Advanced/SbBlocks.h"
#include "Modules/Standard/Scalers.h"

namespace {

using namespace kve::kit;
using kve::scalers::samples;

struct SbDerivativeModule {
    ClassModule header;
    float scale;
    float *previous;
};

constexpr std::array<Variable, 2> kVariables = {
    KVE_VARIABLE(SbDerivativeModule, scale, Float),
    KVE_ARRAY(SbDerivativeModule, previous, FloatArray, perWordOfWire(0)),
};

ClassModule *kve_modSbDerivativeConstructor(int32_t *status, uint32_t wireWord, GenericWire **wires, uint32_t argc,
                                            const uint32_t *args)
{
    return construct(kve_modSbDerivativeClass, kVariables, 1, 1, status, wireWord, wires, argc, args);
}

void kve_modSbDerivativeProcess(ClassModule *m)
{
    auto *s = reinterpret_cast<SbDerivativeModule *>(m);
    const float *in = samples(wire(m, 0));
    float *out = samples(wire(m, 1));
    const float rate = wire(m, 0)->sampleRate;
    const uint32_t n = std::min({wireWords(wire(m, 0)), wireWords(wire(m, 1)), capacity(m, 0)});
    for (uint32_t i = 0; i < n; ++i) {
        const float x = in[i];
        out[i] = (x - s->previous[i]) * rate * s->scale;
        s->previous[i] = x;
    }
}

} // namespace

extern "C" constinit const ClassRecord<2> kve_modSbDerivativeClass = makeClass<2>(
    0xBEEF0D2Cu, {kve_modSbDerivativeConstructor, kve_modSbDerivativeProcess, IOMatchUpModule_Bypass}, kVariables);
