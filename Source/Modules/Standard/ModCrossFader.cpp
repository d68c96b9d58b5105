// CrossFader: output wire 3 = input A (wire 1) x gain A + input B (wire 2) x gain B, the gains gliding toward the
// fade position read from the first sample of control wire 0 (0: A only, 1: B only), on a linear or an
// equal-power law.
#include "Modules/Standard/Faders.h"
#include "kve/kve_design.h"

namespace {

using namespace kve::kit;
using namespace kve::scalers;

struct CrossFaderModule {
    ClassModule header;
    float smoothingTime;
    int32_t equalPower;
    float currentGainA;
    float currentGainB;
    float smoothingCoeff;
};

constexpr std::array<Variable, 5> kVariables = {
    KVE_VARIABLE(CrossFaderModule, smoothingTime, Float), KVE_VARIABLE(CrossFaderModule, equalPower, Int),
    KVE_VARIABLE(CrossFaderModule, currentGainA, Float),  KVE_VARIABLE(CrossFaderModule, currentGainB, Float),
    KVE_VARIABLE(CrossFaderModule, smoothingCoeff, Float),
};

ClassModule *crossFaderConstructor(int32_t *status, uint32_t wireWord, GenericWire **wires, uint32_t argc,
                                   const uint32_t *args)
{
    return construct(kve_modCrossFaderClass, kVariables, 3, 1, status, wireWord, wires, argc, args);
}

// The equal-power form of a linear gain g in 0..1: g^2 (3.3137 g^2 - 8.6274 g + 6.3137), which keeps the power sum
// of the two gains of a position close to 1 (0.5 gives 0.70710623 to each side).
float equalPowerGain(float g)
{
    return (g * g) * std::fma(std::fma(g, 3.31369996f, -8.6274004f), g, 6.3137002f);
}

void crossFaderProcess(ClassModule *m)
{
    auto *s = reinterpret_cast<CrossFaderModule *>(m);
    const GenericWire *control = wire(m, 0);
    const GenericWire *a = wire(m, 1);
    const GenericWire *b = wire(m, 2);
    const GenericWire *out = wire(m, 3);
    float gainA = s->currentGainA;
    float gainB = s->currentGainB;
    // A control pin without samples names no position: the gains stay where they are.
    if (wireWords(control) != 0) {
        const float v = samples(control)[0];
        const float x = !(v <= 1.0f) ? 1.0f : (v < 0.0f ? 0.0f : v);
        gainA = 1.0f - x;
        gainB = x;
        if (s->equalPower != 0) {
            gainA = equalPowerGain(gainA);
            gainB = equalPowerGain(gainB);
        }
    }
    const uint32_t ch = channels(a);
    const auto stride = static_cast<int32_t>(ch);
    const int32_t n = std::min(frames(a, out), frames(a, b));
    // Every channel glides from the same stored gains, so all channels follow one trajectory.
    float workingA = s->currentGainA;
    float workingB = s->currentGainB;
    for (uint32_t c = 0; c < ch; ++c) {
        workingA = s->currentGainA;
        workingB = s->currentGainB;
        kve_vecScaleSmooth(samples(a) + c, stride, samples(out) + c, stride, &workingA, gainA, s->smoothingCoeff, n);
        kve_vecScaleAddSmooth(samples(b) + c, stride, samples(out) + c, stride, &workingB, gainB, s->smoothingCoeff,
                              n);
    }
    s->currentGainA = workingA;
    s->currentGainB = workingB;
}

int32_t crossFaderSet(ClassModule *m, uint32_t)
{
    auto *s = reinterpret_cast<CrossFaderModule *>(m);
    s->smoothingCoeff = design_smoother(1, s->smoothingTime, wire(m, 1)->sampleRate);
    return 0;
}

} // namespace

extern "C" constinit const ClassRecord<5> kve_modCrossFaderClass = makeClass<5>(
    0xBEEF0812u, {crossFaderConstructor, crossFaderProcess, IOMatchUpModule_Bypass, crossFaderSet}, kVariables);
