// VolumeControlFract32: wire 0 into wire 1 through an inner smoothed Q1.31 biquad whose numerator Set derives from
// `gainDB` and the compensation the host designed, over the denominator the host gave the inner module.
#include "Modules/Standard/Faders.h"
#include "Modules/Standard/FiltersFract32.h"

namespace {

using namespace kve::kit;
using namespace kve::faders;

constexpr uint32_t kBiquadSmoothedFract32 = 0xBEEF0886u;
// Bit 13: the inner module's coefficient array (its variable 5) changed.
constexpr uint32_t kInnerCoefficientsChanged = 1u << 13;

// The inner biquad's construction: updating on, 10 ms glide, its per-block step in Q1.31, post shifts of 1.
constexpr uint32_t kInnerArgs[] = {1, 0x41200000u, 0x08414E80u, 1, 1};

ClassModule *volumeControlFract32Constructor(int32_t *status, uint32_t wireWord, GenericWire **wires, uint32_t argc,
                                             const uint32_t *args)
{
    return constructVolumeControl(kve_modVolumeControlFract32Class.record, kBiquadSmoothedFract32, kInnerArgs,
                                  static_cast<uint32_t>(std::size(kInnerArgs)), status, wireWord, wires, argc, args);
}

// Writes the float numerator and lets the inner module convert it into the words its current ones glide toward.
int32_t volumeControlFract32Set(ClassModule *m, uint32_t)
{
    auto *s = reinterpret_cast<VolumeControlModule *>(m);
    auto *inner = reinterpret_cast<kve::filters::BiquadSmoothedFract32Module *>(s->inner);
    float *coeffs = inner->coeffs;
    volumeNumerator(s, coeffs[3], coeffs[4], coeffs);
    ClassModule_Set(s->inner, kInnerCoefficientsChanged);
    return 0;
}

} // namespace

extern "C" constinit const ClassRecord<9> kve_modVolumeControlFract32Class =
    makeClass<9>(0xBEEF08D6u,
                 {volumeControlFract32Constructor, volumeControlProcess, IOMatchUpModule_Bypass,
                  volumeControlFract32Set},
                 kVolumeControlVariables);
