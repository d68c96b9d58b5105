// Class records of the balance, polarity, crossfade, wet/dry and volume modules, and the helpers they share.
#pragma once

#include "Modules/Standard/Scalers.h"
#include "Modules/Standard/ScalersFract32.h"

extern "C" {
extern const kve::kit::ClassRecord<7> kve_modBalanceClass;
extern const kve::kit::ClassRecord<7> kve_modBalanceFract32Class;
extern const kve::kit::ClassRecord<4> kve_modInvertClass;
extern const kve::kit::ClassRecord<6> kve_modInvertFract32Class;
extern const kve::kit::ClassRecord<5> kve_modCrossFaderClass;
extern const kve::kit::ClassRecord<6> kve_modWetDryClass;
extern const kve::kit::ClassRecord<9> kve_modVolumeControlClass;
extern const kve::kit::ClassRecord<9> kve_modVolumeControlFract32Class;
}

namespace kve::faders {

// Left and right gains of a balance position: -1 is left only, 0 gives both sides 0.7071, +1 is right only.
inline void balanceGains(float balance, float *left, float *right)
{
    const float theta = (balance + 1.0f) * 0.785398185f;
    *left = std::cos(theta);
    *right = std::sin(theta);
}

// The volume controls, float and Fract32 alike: a gain in dB with a low-level loudness compensation that an inner
// biquad module adds below 0 dB. `reserved` belongs to the host; the compensation design lies outside the module.
struct VolumeControlModule {
    ClassModule header;
    float gainDB;
    float reserved;
    float compCoeff2;
    float compCoeff1;
    float compCoeff0;
    float compB0;
    float compB1;
    float compB2;
    ClassModule *inner;
};

inline constexpr std::array<kit::Variable, 9> kVolumeControlVariables = {
    KVE_VARIABLE(VolumeControlModule, gainDB, Float),     KVE_VARIABLE(VolumeControlModule, reserved, Float),
    KVE_VARIABLE(VolumeControlModule, compCoeff2, Float), KVE_VARIABLE(VolumeControlModule, compCoeff1, Float),
    KVE_VARIABLE(VolumeControlModule, compCoeff0, Float), KVE_VARIABLE(VolumeControlModule, compB0, Float),
    KVE_VARIABLE(VolumeControlModule, compB1, Float),     KVE_VARIABLE(VolumeControlModule, compB2, Float),
    KVE_VARIABLE(VolumeControlModule, inner, Pointer),
};

// Builds a volume control on one input and one output whatever the caller's wiring holds beyond them, then its inner
// filter module by class id on the same two wires, so the inner module's object id follows the outer one's. Null
// when the wiring is short or either module cannot be built.
inline ClassModule *constructVolumeControl(const ModClassDescriptor &record, uint32_t innerClassId,
                                           const uint32_t *innerArgs, uint32_t innerArgc, int32_t *status,
                                           uint32_t wireWord, GenericWire **wires, uint32_t argc,
                                           const uint32_t *args)
{
    constexpr uint32_t kOneInOneOut = 0x101;
    if (!kit::requireWires(status, wireWord, 1, 1))
        return nullptr;
    ClassModule *m = BaseClassModule_ConstructorHidden(&record, status, kOneInOneOut, wires, argc, args, 0);
    if (m == nullptr)
        return nullptr;
    ClassModule *inner = ClassModule_Constructor(innerClassId, status, kOneInOneOut, wires, innerArgc, innerArgs);
    if (inner == nullptr || *status != KVE_OK)
        return nullptr;
    reinterpret_cast<VolumeControlModule *>(m)->inner = inner;
    return m;
}

// The inner module runs in whatever state it is in.
inline void volumeControlProcess(ClassModule *m)
{
    ClassModule *inner = reinterpret_cast<VolumeControlModule *>(m)->inner;
    inner->process(inner);
}

// The numerator b0, b1, b2 of g + e (compB0 + compB1 z^-1 + compB2 z^-2) / (1 + a1 z^-1 + a2 z^-2) over the inner
// filter's denominator: a plain gain g at or above 0 dB; below it e, the share of the compensation filter, grows
// with the level-dependent polynomial in gainDB.
inline void volumeNumerator(const VolumeControlModule *s, float a1, float a2, float *b)
{
    const float g = scalers::undB(s->gainDB);
    float e = 0.0f;
    if (!(s->gainDB >= 0.0f)) {
        const float q = std::fma(std::fma(s->compCoeff2, s->gainDB, s->compCoeff1), s->gainDB, s->compCoeff0);
        e = scalers::undB(q) * g - g;
    }
    b[0] = std::fma(e, s->compB0, g);
    b[1] = std::fma(e, s->compB1, g * a1);
    b[2] = std::fma(e, s->compB2, g * a2);
}

} // namespace kve::faders
