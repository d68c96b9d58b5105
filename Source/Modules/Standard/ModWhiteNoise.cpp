// WhiteNoise: uniform noise in [-amplitude, amplitude) from three inner modules on the scratch wire: Rand writes
// 32-bit integers, TypeConversion turns them into floats in place, and ScalerV2 scales them by amplitude x 2^-31
// into the output.
#include <bit>

#include "Modules/Standard/Oscillators.h"

namespace {

using namespace kve::kit;
using namespace kve::oscillators;

struct WhiteNoiseModule {
    ClassModule header;
    float amplitude;
    ClassModule *randModule;
    ClassModule *conversionModule;
    ClassModule *scalerModule;
};

constexpr std::array<Variable, 4> kVariables = {
    KVE_VARIABLE(WhiteNoiseModule, amplitude, Float),
    KVE_VARIABLE(WhiteNoiseModule, randModule, Pointer),
    KVE_VARIABLE(WhiteNoiseModule, conversionModule, Pointer),
    KVE_VARIABLE(WhiteNoiseModule, scalerModule, Pointer),
};

// A full-scale 32-bit integer brought to 1.0.
constexpr float kIntScale = 4.656613e-10f;
constexpr uint32_t kIntScaleBits = std::bit_cast<uint32_t>(kIntScale);
constexpr uint32_t kOneBits = std::bit_cast<uint32_t>(1.0f);
constexpr uint32_t kIntegerType = 2;
constexpr uint32_t kFloatType = 0;

// Rand on the scratch wire from seed 0; the scratch wire converted in place; the scaler from scratch to output with
// no glide (gain, smoothingTime, isDB, targetGain, currentGain, smoothingCoeff).
constexpr InnerModule kInner[] = {
    {0xBEEF087Bu, 0x100, {1, 1}, 1, {0}},
    {0xBEEF0866u, 0x101, {1, 1}, 2, {kIntegerType, kFloatType}},
    {0xBEEF0813u, 0x101, {1, 0}, 6, {kIntScaleBits, 0, 0, kIntScaleBits, kIntScaleBits, kOneBits}},
};

ClassModule *whiteNoiseConstructor(int32_t *status, uint32_t wireWord, GenericWire **wires, uint32_t argc,
                                   const uint32_t *args)
{
    return constructNoise(kve_modWhiteNoiseClass.record, kInner, 3, status, wireWord, wires, argc, args);
}

int32_t whiteNoiseSet(ClassModule *m, uint32_t)
{
    auto *s = reinterpret_cast<WhiteNoiseModule *>(m);
    setScalerGain(s->scalerModule, s->amplitude * kIntScale);
    return KVE_OK;
}

} // namespace

extern "C" constinit const ClassRecord<4> kve_modWhiteNoiseClass =
    makeClass<4>(0xBEEF087Cu, {whiteNoiseConstructor, processNoise, IOMatchUpModule_Bypass, whiteNoiseSet},
                 kVariables);
