// MultiplexorFadeFract32: MultiplexorFade on Fract32 samples; the fade ends at a tenth of full gain.
#include "Modules/Standard/Routers.h"
#include "kve/kve_design.h"

namespace {

using namespace kve::kit;
using namespace kve::routers;

struct MultiplexorFadeFract32Module {
    ClassModule header;
    int32_t index;
    float smoothingTime;
    Fract32 smoothingCoeff;
    int32_t currentIndex;
    Fract32 fadeGain;
};

constexpr std::array<Variable, 5> kVariables = {
    KVE_VARIABLE(MultiplexorFadeFract32Module, index, Int),
    KVE_VARIABLE(MultiplexorFadeFract32Module, smoothingTime, Float),
    KVE_VARIABLE(MultiplexorFadeFract32Module, smoothingCoeff, Fract32),
    KVE_VARIABLE(MultiplexorFadeFract32Module, currentIndex, Int),
    KVE_VARIABLE(MultiplexorFadeFract32Module, fadeGain, Fract32),
};

ClassModule *multiplexorFadeFract32Constructor(int32_t *status, uint32_t wireWord, GenericWire **wires, uint32_t argc,
                                        const uint32_t *args)
{
    return construct(kve_modMultiplexorFadeFract32Class, kVariables, 1, 1, status, wireWord, wires, argc, args);
}

void multiplexorFadeFract32Process(ClassModule *m)
{
    auto *x = reinterpret_cast<MultiplexorFadeFract32Module *>(m);
    multiplexFade<Fract32Glide>(m, &x->index, &x->currentIndex, &x->fadeGain, x->smoothingCoeff, 0x0CCCCCCD);
}

int32_t multiplexorFadeFract32Set(ClassModule *m, uint32_t)
{
    auto *x = reinterpret_cast<MultiplexorFadeFract32Module *>(m);
    x->smoothingCoeff = kve_rounded(design_smoother(1, x->smoothingTime, wire(m, 0)->sampleRate));
    return 0;
}

} // namespace

extern "C" constinit const ClassRecord<5> kve_modMultiplexorFadeFract32Class = makeClass<5>(
    0xBEEF0FECu, {multiplexorFadeFract32Constructor, multiplexorFadeFract32Process, IOMatchUpModule_Bypass, multiplexorFadeFract32Set},
    kVariables);
