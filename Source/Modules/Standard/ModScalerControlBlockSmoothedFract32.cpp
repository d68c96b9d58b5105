// ScalerControlBlockSmoothedFract32: scales each audio input wire into its output wire by a Q1.31 gain that takes
// one smoothing step toward the control pin's sample at the start of each sub-block and holds it through it.
#include "Modules/Standard/ScalersFract32.h"
#include "kve/kve_design.h"

namespace {

using namespace kve::kit;
using namespace kve::scalers;

struct ScalerControlBlockSmoothedFract32Module {
    ClassModule header;
    float smoothingTime;
    int32_t floatControl;
    Fract32 currentGain;
    Fract32 smoothingCoeff;
};

constexpr std::array<Variable, 4> kVariables = {
    KVE_VARIABLE(ScalerControlBlockSmoothedFract32Module, smoothingTime, Float),
    KVE_VARIABLE(ScalerControlBlockSmoothedFract32Module, floatControl, Int),
    KVE_VARIABLE(ScalerControlBlockSmoothedFract32Module, currentGain, Fract32),
    KVE_VARIABLE(ScalerControlBlockSmoothedFract32Module, smoothingCoeff, Fract32),
};

ClassModule *scalerControlBlockSmoothedFract32Constructor(int32_t *status, uint32_t wireWord, GenericWire **wires,
                                                          uint32_t argc, const uint32_t *args)
{
    return constructControlScaler(kve_modScalerControlBlockSmoothedFract32Class.record, kVariables.data(),
                                  kVariables.size(), status, wireWord, wires, argc, args);
}

void scalerControlBlockSmoothedFract32Process(ClassModule *m)
{
    auto *s = reinterpret_cast<ScalerControlBlockSmoothedFract32Module *>(m);
    const uint32_t pairs = KVE_PACKED_OUTPUTS(m->packed);
    // Complex samples are scaled by the control samples as they stand, never smoothed.
    const bool smoothed = !isComplex(wire(m, 1));
    const Fract32 keep = kve_subFract32(INT32_MAX, s->smoothingCoeff);
    // Every pair steps from the same stored gain, so all outputs follow one trajectory.
    Fract32 g = s->currentGain;
    for (uint32_t k = 0; k < pairs; ++k) {
        const GenericWire *in = wire(m, 1 + k);
        const GenericWire *out = wire(m, 1 + pairs + k);
        const uint32_t ch = channels(in);
        g = s->currentGain;
        forEachSubblock(m, static_cast<uint32_t>(frames(in, out)), [&](uint32_t j, uint32_t first, uint32_t n) {
            const Fract32 target = controlTarget(m, j, s->floatControl);
            if (smoothed)
                g = kve_addFract32(kve_mulFract32(g, keep), kve_mulFract32(target, s->smoothingCoeff));
            kve_vecScaleFract32(words(in) + first * ch, 1, words(out) + first * ch, 1, smoothed ? g : target,
                                kControlShift, static_cast<int32_t>(n * ch));
        });
    }
    if (smoothed)
        s->currentGain = g;
}

int32_t scalerControlBlockSmoothedFract32Set(ClassModule *m, uint32_t)
{
    auto *s = reinterpret_cast<ScalerControlBlockSmoothedFract32Module *>(m);
    // One smoothing step per sub-block.
    s->smoothingCoeff = kve_rounded(
        design_smoother(static_cast<int32_t>(subblockSize(m)), s->smoothingTime, wire(m, 1)->sampleRate));
    return 0;
}

} // namespace

extern "C" constinit const ClassRecord<4> kve_modScalerControlBlockSmoothedFract32Class =
    makeClass<4>(0xBEEF08B5u,
                 {scalerControlBlockSmoothedFract32Constructor, scalerControlBlockSmoothedFract32Process,
                  controlBypass, scalerControlBlockSmoothedFract32Set},
                 kVariables);
