// VolumeControl: wire 0 into wire 1 through an inner smoothed biquad whose numerator Set derives from `gainDB` and
// the compensation the host designed; the biquad glides its coefficients toward it block by block.
#include "Modules/Standard/Faders.h"
#include "Modules/Standard/Filters.h"

namespace {

using namespace kve::kit;
using namespace kve::faders;

constexpr uint32_t kBiquadSmoothed = 0xBEEF080Du;

// The inner biquad's construction: updating on, 10 ms glide, a unity filter over the compensation denominator
// (a1 = -1.99178553, a2 = 0.991852224) as both target and current coefficients, and its per-block step.
constexpr uint32_t kInnerArgs[] = {1,          0x41200000u, 0x3F800000u, 0xBFFEF2D4u, 0x3F7DEA07u,
                                   0xBFFEF2D4u, 0x3F7DEA07u, 0x3F800000u, 0xBFFEF2D4u, 0x3F7DEA07u,
                                   0xBFFEF2D4u, 0x3F7DEA07u, 0x3D8414E8u};

ClassModule *volumeControlConstructor(int32_t *status, uint32_t wireWord, GenericWire **wires, uint32_t argc,
                                      const uint32_t *args)
{
    return constructVolumeControl(kve_modVolumeControlClass.record, kBiquadSmoothed, kInnerArgs,
                                  static_cast<uint32_t>(std::size(kInnerArgs)), status, wireWord, wires, argc, args);
}

// Writes the targets only: the inner biquad moves toward them in its own Process.
int32_t volumeControlSet(ClassModule *m, uint32_t)
{
    auto *s = reinterpret_cast<VolumeControlModule *>(m);
    auto *inner = reinterpret_cast<kve::filters::BiquadSmoothedModule *>(s->inner);
    float b[3];
    volumeNumerator(s, inner->a1, inner->a2, b);
    inner->b0 = b[0];
    inner->b1 = b[1];
    inner->b2 = b[2];
    return 0;
}

} // namespace

extern "C" constinit const ClassRecord<9> kve_modVolumeControlClass = makeClass<9>(
    0xBEEF081Au, {volumeControlConstructor, volumeControlProcess, IOMatchUpModule_Bypass, volumeControlSet},
    kVolumeControlVariables);
