// VolumeControlHP: a gain in dB with low-level loudness compensation, as one state-space section that an inner
// BiquadSmoothedHP glides toward block by block whenever Set derives a new one.
#include <cmath>

#include "Modules/Advanced/Composites.h"
#include "Modules/Advanced/HpBiquads.h"

namespace {

using namespace kve::kit;
using namespace kve::composites;

// `volumeParam1` belongs to the host; nothing here reads it.
struct VolumeControlHPModule {
    ClassModule header;
    float gain; // dB
    float volumeParam1;
    float lowGainCurveA;
    float lowGainCurveB;
    float lowGainCurveC;
    float shelfB0;
    float shelfB1;
    float shelfB2;
    float denomA1;
    float denomA2;
    ClassModule *inner;
};

constexpr std::array<Variable, 11> kVariables = {
    KVE_VARIABLE(VolumeControlHPModule, gain, Float),
    KVE_VARIABLE(VolumeControlHPModule, volumeParam1, Float),
    KVE_VARIABLE(VolumeControlHPModule, lowGainCurveA, Float),
    KVE_VARIABLE(VolumeControlHPModule, lowGainCurveB, Float),
    KVE_VARIABLE(VolumeControlHPModule, lowGainCurveC, Float),
    KVE_VARIABLE(VolumeControlHPModule, shelfB0, Float),
    KVE_VARIABLE(VolumeControlHPModule, shelfB1, Float),
    KVE_VARIABLE(VolumeControlHPModule, shelfB2, Float),
    KVE_VARIABLE(VolumeControlHPModule, denomA1, Float),
    KVE_VARIABLE(VolumeControlHPModule, denomA2, Float),
    KVE_VARIABLE(VolumeControlHPModule, inner, Pointer),
};

// Updating, 10 ms glide, and its per-block step.
constexpr uint32_t kInnerArgs[] = {1, word(10.0f), kInnerGlideStep};

// ln(10) / 20: exp(dB x this) is the linear gain of dB.
constexpr float kNepersPerDB = 0.115129255f;

ClassModule *volumeControlHPConstructor(int32_t *status, uint32_t wireWord, GenericWire **wires, uint32_t argc,
                                        const uint32_t *args)
{
    const InnerModule steps[] = {{kve::hp::kBiquadSmoothedHPClassId, kOneInOneOut, {kIn, kOut}, kInnerArgs}};
    return constructComposite(kve_modVolumeControlHPClass, kVariables, kOneInOneOut, steps, status, wireWord, wires,
                              argc, args);
}

// The section G (1 + a1 z^-1 + a2 z^-2) + d (shelfB0 + shelfB1 z^-1 + shelfB2 z^-2) over 1 + a1 z^-1 + a2 z^-2: the
// plain gain G at 0 dB and above; below, the compensation's share d grows with the level curve A g^2 + B g + C (dB).
int32_t volumeControlHPSet(ClassModule *m, uint32_t)
{
    auto *s = reinterpret_cast<VolumeControlHPModule *>(m);
    const float g = s->gain;
    const float gainLinear = std::exp(g * kNepersPerDB);
    float d = 0.0f;
    if (g < 0.0f) {
        const float curve = std::exp(((s->lowGainCurveA * g + s->lowGainCurveB) * g + s->lowGainCurveC) * kNepersPerDB);
        d = curve * gainLinear - gainLinear;
    }
    // The inner module keeps the direct form and derives its state-space target from it in its own Set, so the
    // target it glides toward always matches the coefficients it shows.
    float *coeffs = reinterpret_cast<kve::hp::BiquadSmoothedHPModule *>(s->inner)->coeffs;
    coeffs[0] = gainLinear + d * s->shelfB0;
    coeffs[1] = gainLinear * s->denomA1 + d * s->shelfB1;
    coeffs[2] = gainLinear * s->denomA2 + d * s->shelfB2;
    coeffs[3] = s->denomA1;
    coeffs[4] = s->denomA2;
    ClassModule_Set(s->inner, KVE_MASK_ALL);
    return 0;
}

} // namespace

extern "C" constinit const ClassRecord<11> kve_modVolumeControlHPClass =
    makeClass<11>(0xBEEF0D48u,
                  {volumeControlHPConstructor, runInnerModules, IOMatchUpModule_Bypass, volumeControlHPSet},
                  kVariables);
