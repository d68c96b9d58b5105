// BiquadFract32: one direct-form-I section on Fract32 samples. Set converts the float design in `coeffs` into
// pending words and a pending shift; Process takes them over at a block boundary while `updateActive` is raised.
#include "Modules/Standard/FiltersFract32.h"

namespace {

using namespace kve::kit;
using namespace kve::scalers;
using namespace kve::filters;

struct BiquadFract32Module {
    ClassModule header;
    int32_t updateActive;
    int32_t postShift;
    int32_t pendingPostShift;
    float *coeffs;
    Fract32 *coeffsFract32;
    Fract32 *state;
    Fract32 *pendingCoeffsFract32;
};

constexpr std::array<Variable, 7> kVariables = {
    KVE_VARIABLE(BiquadFract32Module, updateActive, Int),
    KVE_VARIABLE(BiquadFract32Module, postShift, Int),
    KVE_VARIABLE(BiquadFract32Module, pendingPostShift, Int),
    KVE_ARRAY(BiquadFract32Module, coeffs, FloatArray, fixedLength(5)),
    KVE_ARRAY(BiquadFract32Module, coeffsFract32, Fract32Array, fixedLength(5)),
    KVE_ARRAY(BiquadFract32Module, state, Fract32Array, perChannelOfWire(0, 4)),
    KVE_ARRAY(BiquadFract32Module, pendingCoeffsFract32, Fract32Array, fixedLength(5)),
};

ClassModule *biquadFract32Constructor(int32_t *status, uint32_t wireWord, GenericWire **wires, uint32_t argc,
                                      const uint32_t *args)
{
    return construct(kve_modBiquadFract32Class, kVariables, 1, 1, status, wireWord, wires, argc, args);
}

void biquadFract32Process(ClassModule *m)
{
    auto *s = reinterpret_cast<BiquadFract32Module *>(m);
    if (updateRaised(s->updateActive)) {
        s->postShift = s->pendingPostShift;
        std::copy_n(s->pendingCoeffsFract32, 5, s->coeffsFract32);
    }
    runSection(wire(m, 0), wire(m, 1), s->coeffsFract32, s->state, capacity(m, 2), s->postShift);
}

int32_t biquadFract32Set(ClassModule *m, uint32_t)
{
    auto *s = reinterpret_cast<BiquadFract32Module *>(m);
    beginUpdate(s->updateActive);
    s->pendingPostShift = coefficientShift(s->coeffs, 5);
    convertCoefficients(s->coeffs, s->pendingCoeffsFract32, 5, s->pendingPostShift);
    endUpdate(s->updateActive);
    return 0;
}

} // namespace

extern "C" constinit const ClassRecord<7> kve_modBiquadFract32Class = makeClass<7>(
    0xBEEF0885u, {biquadFract32Constructor, biquadFract32Process, IOMatchUpModule_Bypass, biquadFract32Set},
    kVariables);
