// BiquadCascadeFract32: numStages direct-form-I sections in series on Fract32 samples, each held as Q1.31 words and
// its own post shift converted from the float design in `coeffs`.
#include "Modules/Standard/FiltersFract32.h"

namespace {

using namespace kve::kit;
using namespace kve::scalers;
using kve::filters::BiquadCascadeFract32Module;
using kve::filters::cascadeStages;

constexpr std::array<Variable, 5> kVariables = {
    KVE_VARIABLE(BiquadCascadeFract32Module, numStages, Int),
    KVE_ARRAY(BiquadCascadeFract32Module, coeffs, FloatArray, perArgument(0, 5)),
    KVE_ARRAY(BiquadCascadeFract32Module, coeffsFract32, Fract32Array, perArgument(0, 5)),
    KVE_ARRAY(BiquadCascadeFract32Module, state, Fract32Array, perChannelOfWire(0)),
    KVE_ARRAY(BiquadCascadeFract32Module, postShift, IntArray, perArgument(0)),
};

ClassModule *biquadCascadeFract32Constructor(int32_t *status, uint32_t wireWord, GenericWire **wires, uint32_t argc,
                                             const uint32_t *args)
{
    // Four state words per stage and channel. A count too large to allocate fails on the coefficients first.
    auto variables = kVariables;
    const uint32_t stages = argc == 1 && args != nullptr ? args[0] : 0;
    variables[3].length = perChannelOfWire(0, 4 * std::min(stages, 0x3FFFFFFFu));
    return construct(kve_modBiquadCascadeFract32Class, variables, 1, 1, status, wireWord, wires, argc, args);
}

void biquadCascadeFract32Process(ClassModule *m)
{
    auto *s = reinterpret_cast<BiquadCascadeFract32Module *>(m);
    const uint32_t stages = cascadeStages(m);
    if (stages == 0)
        return;
    const GenericWire *in = wire(m, 0);
    const GenericWire *out = wire(m, 1);
    const uint32_t ch = channels(in);
    const uint32_t served = servedChannels(ch, capacity(m, 2) / (4 * stages));
    const int32_t n = frames(in, out);
    const auto count = static_cast<int32_t>(stages);
    if (ch == 1 && served == 1) {
        kve_vecBiquadCascadeFract32_single(words(in), words(out), s->coeffsFract32, s->state, s->postShift, n, count);
        return;
    }
    const auto stride = static_cast<int32_t>(ch);
    for (uint32_t c = 0; c < served; ++c)
        kve_vecBiquadCascadeFract32(words(in) + c, stride, words(out) + c, stride, s->coeffsFract32,
                                    s->state + 4 * stages * c, s->postShift, n, count);
}

int32_t biquadCascadeFract32Set(ClassModule *m, uint32_t)
{
    auto *s = reinterpret_cast<BiquadCascadeFract32Module *>(m);
    const uint32_t stages = cascadeStages(m);
    for (uint32_t k = 0; k < stages; ++k) {
        s->postShift[k] = kve::filters::coefficientShift(s->coeffs + 5 * k, 5);
        kve::filters::convertCoefficients(s->coeffs + 5 * k, s->coeffsFract32 + 5 * k, 5, s->postShift[k]);
    }
    return 0;
}

} // namespace

extern "C" constinit const ClassRecord<5> kve_modBiquadCascadeFract32Class =
    makeClass<5>(0xBEEF0884u,
                 {biquadCascadeFract32Constructor, biquadCascadeFract32Process, IOMatchUpModule_Bypass,
                  biquadCascadeFract32Set},
                 kVariables);
