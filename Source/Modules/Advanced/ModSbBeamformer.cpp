// SbBeamformer: a microphone array's subbands into one beam chosen by a direction input, or into every beam at once.
#include "Modules/Advanced/SbBeamformers.h"

namespace {

using namespace kve::kit;
using namespace kve::beams;

constexpr std::array<Variable, 3> kVariables = {
    KVE_VARIABLE(SbBeamformerModule, numDirections, Int),
    KVE_VARIABLE(SbBeamformerModule, numWeights, Int),
    KVE_ARRAY(SbBeamformerModule, weights, FloatArray, perArgument(1)),
};

ClassModule *kve_modSbBeamformerConstructor(int32_t *status, uint32_t wireWord, GenericWire **wires, uint32_t argc,
                                            const uint32_t *args)
{
    if (!requireWires(status, wireWord, 1, 1) || !beamArgumentsFit(status, wireWord, wires, argc, args, 2, false))
        return nullptr;
    return construct(kve_modSbBeamformerClass, kVariables, 1, 1, status, wireWord, wires, argc, args);
}

void kve_modSbBeamformerProcess(ClassModule *m)
{
    const auto *s = reinterpret_cast<SbBeamformerModule *>(m);
    formBeams(m, s->numDirections, s->weights, capacity(m, 0));
}

void kve_modSbBeamformerBypass(ClassModule *m) { passMicrophone(m); }

} // namespace

extern "C" constinit const ClassRecord<3> kve_modSbBeamformerClass = makeClass<3>(
    0xBEEF42FCu, {kve_modSbBeamformerConstructor, kve_modSbBeamformerProcess, kve_modSbBeamformerBypass}, kVariables);
