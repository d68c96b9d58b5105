// ScalerDBSmoothedFract32: scales each input wire into its output wire by a Q1.31 gain that glides toward
// `gainDB` decibels x `gainScale`, applied with `postShift`.
#include "Modules/Standard/ScalersFract32.h"
#include "kve/kve_design.h"

namespace {

using namespace kve::kit;
using namespace kve::scalers;

struct ScalerDBSmoothedFract32Module {
    ClassModule header;
    float smoothingTime;
    float gainDB;
    Fract32 targetGain;
    Fract32 currentGain;
    Fract32 smoothingCoeff;
    int32_t postShift;
    float gainScale;
};

constexpr std::array<Variable, 7> kVariables = {
    KVE_VARIABLE(ScalerDBSmoothedFract32Module, smoothingTime, Float),
    KVE_VARIABLE(ScalerDBSmoothedFract32Module, gainDB, Float),
    KVE_VARIABLE(ScalerDBSmoothedFract32Module, targetGain, Fract32),
    KVE_VARIABLE(ScalerDBSmoothedFract32Module, currentGain, Fract32),
    KVE_VARIABLE(ScalerDBSmoothedFract32Module, smoothingCoeff, Fract32),
    KVE_VARIABLE(ScalerDBSmoothedFract32Module, postShift, Int),
    KVE_VARIABLE(ScalerDBSmoothedFract32Module, gainScale, Float),
};

ClassModule *scalerDBSmoothedFract32Constructor(int32_t *status, uint32_t wireWord, GenericWire **wires,
                                                uint32_t argc, const uint32_t *args)
{
    // One output for every input; Set reads the sample rate of wire 0.
    return construct(kve_modScalerDBSmoothedFract32Class, kVariables, 1, KVE_PACKED_INPUTS(wireWord), status,
                     wireWord, wires, argc, args);
}

void scalerDBSmoothedFract32Process(ClassModule *m)
{
    auto *s = reinterpret_cast<ScalerDBSmoothedFract32Module *>(m);
    const uint32_t pairs = KVE_PACKED_INPUTS(m->packed);
    // Each pair continues from where the one before it left the gain.
    for (uint32_t k = 0; k < pairs; ++k) {
        const GenericWire *in = wire(m, k);
        const GenericWire *out = wire(m, pairs + k);
        kve_vecScaleSmooth_NchFract32(words(in), words(out), static_cast<int32_t>(channels(in)), &s->currentGain,
                                      s->targetGain, s->postShift, s->smoothingCoeff, frames(in, out));
    }
}

int32_t scalerDBSmoothedFract32Set(ClassModule *m, uint32_t)
{
    auto *s = reinterpret_cast<ScalerDBSmoothedFract32Module *>(m);
    s->smoothingCoeff = kve_rounded(design_smoother(1, s->smoothingTime, wire(m, 0)->sampleRate));
    s->targetGain = kve_rounded(undB(s->gainDB) * s->gainScale);
    return 0;
}

} // namespace

extern "C" constinit const ClassRecord<7> kve_modScalerDBSmoothedFract32Class =
    makeClass<7>(0xBEEF08BAu,
                 {scalerDBSmoothedFract32Constructor, scalerDBSmoothedFract32Process, IOMatchUpModule_Bypass,
                  scalerDBSmoothedFract32Set},
                 kVariables);
