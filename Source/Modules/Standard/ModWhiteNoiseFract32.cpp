// WhiteNoiseFract32: uniform Q1.31 noise from two inner modules: Rand writes full-scale words into the scratch wire
// and ScalerFract32 scales them by `amplitude` (Q1.31) into the output.
#include <bit>

#include "Modules/Standard/Oscillators.h"

namespace {

using namespace kve::kit;
using namespace kve::oscillators;

struct WhiteNoiseFract32Module {
    ClassModule header;
    Fract32 amplitude;
    ClassModule *randModule;
    ClassModule *scalerModule;
};

constexpr std::array<Variable, 3> kVariables = {
    KVE_VARIABLE(WhiteNoiseFract32Module, amplitude, Fract32),
    KVE_VARIABLE(WhiteNoiseFract32Module, randModule, Pointer),
    KVE_VARIABLE(WhiteNoiseFract32Module, scalerModule, Pointer),
};

// Rand on the scratch wire from seed 0; the scaler from scratch to output (gain, fractGain, postShift), which the
// outer Set gives the amplitude.
constexpr InnerModule kInner[] = {
    {0xBEEF087Bu, 0x100, {1, 1}, 1, {0}},
    {0xBEEF08BBu, 0x101, {1, 0}, 3, {std::bit_cast<uint32_t>(0.9f), 0x73333300u, 0}},
};

ClassModule *whiteNoiseFract32Constructor(int32_t *status, uint32_t wireWord, GenericWire **wires, uint32_t argc,
                                          const uint32_t *args)
{
    return constructNoise(kve_modWhiteNoiseFract32Class.record, kInner, 2, status, wireWord, wires, argc, args);
}

int32_t whiteNoiseFract32Set(ClassModule *m, uint32_t)
{
    auto *s = reinterpret_cast<WhiteNoiseFract32Module *>(m);
    setScalerGain(s->scalerModule, static_cast<float>(s->amplitude) * 4.656613e-10f);
    return KVE_OK;
}

} // namespace

extern "C" constinit const ClassRecord<3> kve_modWhiteNoiseFract32Class = makeClass<3>(
    0xBEEF08D7u, {whiteNoiseFract32Constructor, processNoise, IOMatchUpModule_Bypass, whiteNoiseFract32Set},
    kVariables);
