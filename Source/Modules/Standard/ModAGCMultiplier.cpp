// AGCMultiplier: every channel of the audio (wire 1) times the one-channel gain signal (wire 0), into wire 2.
#include "Modules/Standard/Dynamics.h"

namespace {

using namespace kve::kit;
using namespace kve::dynamics;

constexpr std::array<Variable, 0> kVariables = {};

void agcMultiplierProcess(ClassModule *m)
{
    const auto *gain = static_cast<const float *>(wire(m, 0)->buffer);
    const GenericWire *audio = wire(m, 1);
    const auto ch = static_cast<int32_t>(kve::shapes::channels(audio));
    const auto *x = static_cast<const float *>(audio->buffer);
    auto *y = static_cast<float *>(wire(m, 2)->buffer);
    const int32_t n = gainedFrames(m);
    for (int32_t c = 0; c < ch && n > 0; ++c)
        kve_vecMultiply2x1(gain, 1, x + c, ch, y + c, ch, n);
}

} // namespace

extern "C" constinit const ClassRecord<0> kve_modAGCMultiplierClass = makeClass<0>(
    0xBEEF0FD0u, {kve::shapes::wired<&kve_modAGCMultiplierClass, 2, 1>, agcMultiplierProcess, passAudio},
    kVariables);
