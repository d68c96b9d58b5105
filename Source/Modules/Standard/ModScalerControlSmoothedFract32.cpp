// ScalerControlSmoothedFract32: scales each audio input wire into its output wire by a Q1.31 gain that glides, sample
// by sample, toward the control pin's sample of each sub-block.
#include "Modules/Standard/ScalersFract32.h"
#include "kve/kve_design.h"

namespace {

using namespace kve::kit;
using namespace kve::scalers;

struct ScalerControlSmoothedFract32Module {
    ClassModule header;
    float smoothingTime;
    int32_t floatControl;
    Fract32 currentGain;
    Fract32 smoothingCoeff;
};

constexpr std::array<Variable, 4> kVariables = {
    KVE_VARIABLE(ScalerControlSmoothedFract32Module, smoothingTime, Float),
    KVE_VARIABLE(ScalerControlSmoothedFract32Module, floatControl, Int),
    KVE_VARIABLE(ScalerControlSmoothedFract32Module, currentGain, Fract32),
    KVE_VARIABLE(ScalerControlSmoothedFract32Module, smoothingCoeff, Fract32),
};

ClassModule *scalerControlSmoothedFract32Constructor(int32_t *status, uint32_t wireWord, GenericWire **wires,
                                                     uint32_t argc, const uint32_t *args)
{
    return constructControlScaler(kve_modScalerControlSmoothedFract32Class.record, kVariables.data(),
                                  kVariables.size(), status, wireWord, wires, argc, args);
}

void scalerControlSmoothedFract32Process(ClassModule *m)
{
    auto *s = reinterpret_cast<ScalerControlSmoothedFract32Module *>(m);
    const uint32_t pairs = KVE_PACKED_OUTPUTS(m->packed);
    // A complex wire is scaled by the targets as they stand, never smoothed.
    const bool smoothed = !isComplex(wire(m, 1));
    // Every pair glides from the same stored gain, so all outputs follow one trajectory.
    Fract32 working = s->currentGain;
    for (uint32_t k = 0; k < pairs; ++k) {
        const GenericWire *in = wire(m, 1 + k);
        const GenericWire *out = wire(m, 1 + pairs + k);
        const uint32_t ch = channels(in);
        working = s->currentGain;
        forEachSubblock(m, static_cast<uint32_t>(frames(in, out)), [&](uint32_t j, uint32_t first, uint32_t n) {
            const Fract32 target = controlTarget(m, j, s->floatControl);
            if (smoothed)
                kve_vecScaleSmooth_NchFract32(words(in) + first * ch, words(out) + first * ch,
                                              static_cast<int32_t>(ch), &working, target, kControlShift,
                                              s->smoothingCoeff, static_cast<int32_t>(n));
            else
                kve_vecScaleFract32(words(in) + first * ch, 1, words(out) + first * ch, 1, target, kControlShift,
                                    static_cast<int32_t>(n * ch));
        });
    }
    if (smoothed)
        s->currentGain = working;
}

int32_t scalerControlSmoothedFract32Set(ClassModule *m, uint32_t)
{
    auto *s = reinterpret_cast<ScalerControlSmoothedFract32Module *>(m);
    s->smoothingCoeff = kve_rounded(design_smoother(1, s->smoothingTime, wire(m, 1)->sampleRate));
    return 0;
}

} // namespace

extern "C" constinit const ClassRecord<4> kve_modScalerControlSmoothedFract32Class =
    makeClass<4>(0xBEEF08B3u,
                 {scalerControlSmoothedFract32Constructor, scalerControlSmoothedFract32Process, controlBypass,
                  scalerControlSmoothedFract32Set},
                 kVariables);
