// WetDry: output wire 2 = input A (wire 0) x gain A + input B (wire 1) x gain B, both gains gliding toward the blend
// `mix` names (0: A only, 1: B only), on a linear or a square law.
#include "Modules/Standard/Faders.h"
#include "kve/kve_design.h"

namespace {

using namespace kve::kit;
using namespace kve::scalers;

struct WetDryModule {
    ClassModule header;
    float mix;
    int32_t squareLaw;
    float smoothingTime;
    float currentGainA;
    float currentGainB;
    float smoothingCoeff;
};

constexpr std::array<Variable, 6> kVariables = {
    KVE_VARIABLE(WetDryModule, mix, Float),          KVE_VARIABLE(WetDryModule, squareLaw, Int),
    KVE_VARIABLE(WetDryModule, smoothingTime, Float), KVE_VARIABLE(WetDryModule, currentGainA, Float),
    KVE_VARIABLE(WetDryModule, currentGainB, Float), KVE_VARIABLE(WetDryModule, smoothingCoeff, Float),
};

ClassModule *wetDryConstructor(int32_t *status, uint32_t wireWord, GenericWire **wires, uint32_t argc,
                               const uint32_t *args)
{
    return construct(kve_modWetDryClass, kVariables, 2, 1, status, wireWord, wires, argc, args);
}

// Both inputs are read with the channels of input A, so only the frames every wire holds in that shape are blended.
void wetDryProcess(ClassModule *m)
{
    auto *s = reinterpret_cast<WetDryModule *>(m);
    const GenericWire *a = wire(m, 0);
    const GenericWire *b = wire(m, 1);
    const GenericWire *out = wire(m, 2);
    float gainA = 1.0f - s->mix;
    float gainB = s->mix;
    if (s->squareLaw != 0) {
        gainA *= gainA;
        gainB *= gainB;
    }
    const auto ch = static_cast<int32_t>(channels(a));
    const int32_t n = std::min(frames(a, out), frames(a, b));
    kve_vecScaleSmooth_Nch(samples(a), samples(out), ch, &s->currentGainA, gainA, s->smoothingCoeff, n);
    kve_vecScaleAddSmooth_Nch(samples(b), samples(out), ch, &s->currentGainB, gainB, s->smoothingCoeff, n);
}

int32_t wetDrySet(ClassModule *m, uint32_t mask)
{
    auto *s = reinterpret_cast<WetDryModule *>(m);
    if (mask & (1u << 10))
        s->smoothingCoeff = design_smoother(1, s->smoothingTime, wire(m, 0)->sampleRate);
    return 0;
}

} // namespace

extern "C" constinit const ClassRecord<6> kve_modWetDryClass =
    makeClass<6>(0xBEEF085Fu, {wetDryConstructor, wetDryProcess, IOMatchUpModule_Bypass, wetDrySet}, kVariables);
