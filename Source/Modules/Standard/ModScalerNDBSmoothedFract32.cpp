// ScalerNDBSmoothedFract32: scales each channel of input wire 0 into output wire 1 by its own Q1.31 gain, gliding
// toward `gainDB`[c] decibels x `gainScale`, applied with the common `postShift`.
#include "Modules/Standard/ScalersFract32.h"
#include "kve/kve_design.h"

namespace {

using namespace kve::kit;
using namespace kve::scalers;

struct ScalerNDBSmoothedFract32Module {
    ClassModule header;
    float smoothingTime;
    Fract32 smoothingCoeff;
    int32_t postShift;
    float gainScale;
    float *gainDB;
    Fract32 *targetGain;
    Fract32 *currentGain;
};

constexpr std::array<Variable, 7> kVariables = {
    KVE_VARIABLE(ScalerNDBSmoothedFract32Module, smoothingTime, Float),
    KVE_VARIABLE(ScalerNDBSmoothedFract32Module, smoothingCoeff, Fract32),
    KVE_VARIABLE(ScalerNDBSmoothedFract32Module, postShift, Int),
    KVE_VARIABLE(ScalerNDBSmoothedFract32Module, gainScale, Float),
    KVE_ARRAY(ScalerNDBSmoothedFract32Module, gainDB, FloatArray, perChannelOfWire(0)),
    KVE_ARRAY(ScalerNDBSmoothedFract32Module, targetGain, Fract32Array, perChannelOfWire(0)),
    KVE_ARRAY(ScalerNDBSmoothedFract32Module, currentGain, Fract32Array, perChannelOfWire(0)),
};

ClassModule *scalerNDBSmoothedFract32Constructor(int32_t *status, uint32_t wireWord, GenericWire **wires,
                                               uint32_t argc, const uint32_t *args)
{
    return construct(kve_modScalerNDBSmoothedFract32Class, kVariables, 1, 1, status, wireWord, wires, argc, args);
}

void scalerNDBSmoothedFract32Process(ClassModule *m)
{
    auto *s = reinterpret_cast<ScalerNDBSmoothedFract32Module *>(m);
    const GenericWire *in = wire(m, 0);
    const GenericWire *out = wire(m, 1);
    const auto ch = static_cast<int32_t>(channels(in));
    // The three arrays share one length, the channel count of wire 0 at construction.
    const uint32_t served = servedChannels(channels(in), capacity(m, 0));
    for (uint32_t c = 0; c < served; ++c)
        kve_vecScaleSmoothFract32(words(in) + c, ch, words(out) + c, ch, &s->currentGain[c], s->targetGain[c],
                                  s->postShift, s->smoothingCoeff, frames(in, out));
}

int32_t scalerNDBSmoothedFract32Set(ClassModule *m, uint32_t)
{
    auto *s = reinterpret_cast<ScalerNDBSmoothedFract32Module *>(m);
    s->smoothingCoeff = kve_rounded(design_smoother(1, s->smoothingTime, wire(m, 0)->sampleRate));
    const uint32_t served = servedChannels(channels(wire(m, 0)), capacity(m, 0));
    for (uint32_t c = 0; c < served; ++c)
        s->targetGain[c] = kve_rounded(undB(s->gainDB[c]) * s->gainScale);
    return 0;
}

} // namespace

extern "C" constinit const ClassRecord<7> kve_modScalerNDBSmoothedFract32Class =
    makeClass<7>(0xBEEF08BDu,
                 {scalerNDBSmoothedFract32Constructor, scalerNDBSmoothedFract32Process, IOMatchUpModule_Bypass,
                  scalerNDBSmoothedFract32Set},
                 kVariables);
