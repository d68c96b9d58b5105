// ScalerNV2: scales each channel of input wire 0 into output wire 1 by its own gain, linear or in dB, times a master
// gain, gliding toward it.
#include "Modules/Standard/Scalers.h"
#include "kve/kve_design.h"
#include "kve/kve_vec.h"

namespace {

using namespace kve::kit;
using namespace kve::scalers;

struct ScalerNV2Module {
    ClassModule header;
    float masterGain;
    float smoothingTime;
    int32_t isDB;
    float smoothingCoeff;
    float *gain;
    float *targetGain;
    float *currentGain;
};

constexpr std::array<Variable, 7> kVariables = {
    KVE_VARIABLE(ScalerNV2Module, masterGain, Float),
    KVE_VARIABLE(ScalerNV2Module, smoothingTime, Float),
    KVE_VARIABLE(ScalerNV2Module, isDB, Int),
    KVE_VARIABLE(ScalerNV2Module, smoothingCoeff, Float),
    KVE_ARRAY(ScalerNV2Module, gain, FloatArray, perChannelOfWire(0)),
    KVE_ARRAY(ScalerNV2Module, targetGain, FloatArray, perChannelOfWire(0)),
    KVE_ARRAY(ScalerNV2Module, currentGain, FloatArray, perChannelOfWire(0)),
};

ClassModule *scalerNV2Constructor(int32_t *status, uint32_t wireWord, GenericWire **wires, uint32_t argc,
                                  const uint32_t *args)
{
    return construct(kve_modScalerNV2Class, kVariables, 1, 1, status, wireWord, wires, argc, args);
}

void scalerNV2Process(ClassModule *m)
{
    auto *s = reinterpret_cast<ScalerNV2Module *>(m);
    const GenericWire *in = wire(m, 0);
    const GenericWire *out = wire(m, 1);
    const auto ch = static_cast<int32_t>(channels(in));
    const uint32_t served = servedChannels(channels(in), capacity(m, 1));
    const int32_t n = frames(in, out);
    if (isComplex(in)) {
        // A complex channel holds n / 2 (real, imaginary) pairs, interleaved across channels.
        for (uint32_t c = 0; c < served; ++c) {
            kve_vecScale(samples(in) + 2 * c, 2 * ch, samples(out) + 2 * c, 2 * ch, s->targetGain[c], n >> 1);
            kve_vecScale(samples(in) + 2 * c + 1, 2 * ch, samples(out) + 2 * c + 1, 2 * ch, s->targetGain[c], n >> 1);
        }
    } else if (s->smoothingTime == 0.0f) {
        for (uint32_t c = 0; c < served; ++c)
            kve_vecScale(samples(in) + c, ch, samples(out) + c, ch, s->targetGain[c], n);
    } else {
        for (uint32_t c = 0; c < served; ++c)
            kve_vecScaleSmooth(samples(in) + c, ch, samples(out) + c, ch, &s->currentGain[c], s->targetGain[c],
                               s->smoothingCoeff, n);
    }
}

int32_t scalerNV2Set(ClassModule *m, uint32_t mask)
{
    auto *s = reinterpret_cast<ScalerNV2Module *>(m);
    if (mask & (1u << 9))
        s->smoothingCoeff = design_smoother(1, s->smoothingTime, wire(m, 0)->sampleRate);
    const uint32_t served = servedChannels(channels(wire(m, 0)), capacity(m, 1));
    for (uint32_t c = 0; c < served; ++c)
        s->targetGain[c] = s->isDB == 0 ? s->gain[c] * s->masterGain : undB(s->gain[c] + s->masterGain);
    return 0;
}

} // namespace

extern "C" constinit const ClassRecord<7> kve_modScalerNV2Class =
    makeClass<7>(0xBEEF0814u, {scalerNV2Constructor, scalerNV2Process, IOMatchUpModule_Bypass, scalerNV2Set},
                 kVariables);
