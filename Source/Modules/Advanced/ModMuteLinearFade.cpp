// MuteLinearFade: ramps the gain linearly to silence or to full gain, each sample one step, and raises the done flag
// (the first word of the second output) once the ramp has arrived. Every channel follows the same ramp.
#include <algorithm>
#include <cstring>

#include "Modules/Advanced/MuteSync.h"
#include "Modules/Standard/Shapes.h"
#include "kve/kve_design.h"

namespace {

using namespace kve::kit;
using namespace kve::mutesync;

constexpr std::array<Variable, 8> kVariables = {
    KVE_VARIABLE(MuteLinearFadeModule, mute, Int),        KVE_VARIABLE(MuteLinearFadeModule, fadeOutTime, Float),
    KVE_VARIABLE(MuteLinearFadeModule, fadeInTime, Float), KVE_VARIABLE(MuteLinearFadeModule, done, Int),
    KVE_VARIABLE(MuteLinearFadeModule, gain, Float),       KVE_VARIABLE(MuteLinearFadeModule, fadeOutStep, Float),
    KVE_VARIABLE(MuteLinearFadeModule, fadeInStep, Float), KVE_VARIABLE(MuteLinearFadeModule, target, Float),
};

int32_t muteLinearFadeSet(ClassModule *m, uint32_t mask)
{
    auto *s = reinterpret_cast<MuteLinearFadeModule *>(m);
    const float rate = wire(m, 0)->sampleRate;
    if ((mask & (1u << 9)) != 0)
        s->fadeOutStep = design_smoother(1, s->fadeOutTime, rate);
    if ((mask & (1u << 10)) != 0)
        s->fadeInStep = design_smoother(1, s->fadeInTime, rate);
    if ((mask & (1u << 8)) != 0) {
        s->done = 0;
        s->target = s->mute != 0 ? 0.0f : 1.0f;
    }
    return KVE_OK;
}

void muteLinearFadeProcess(ClassModule *m)
{
    auto *s = reinterpret_cast<MuteLinearFadeModule *>(m);
    const GenericWire *in = wire(m, 0);
    const GenericWire *out = wire(m, kve::shapes::inputs(m));
    GenericWire *flag = wire(m, kve::shapes::inputs(m) + 1);
    const uint32_t inCh = kve::shapes::channels(in);
    const uint32_t outCh = kve::shapes::channels(out);
    const uint32_t ch = std::min(inCh, outCh);
    const uint32_t frames = std::min(blockSize(in), blockSize(out));
    const auto *x = static_cast<const float *>(in->buffer);
    auto *y = static_cast<float *>(out->buffer);
    const bool unmuting = s->mute == 0;
    const float step = unmuting ? s->fadeInStep * s->target : s->fadeOutStep * s->target - s->fadeOutStep;
    float g = s->gain;
    for (uint32_t c = 0; c < ch; ++c) {
        g = s->gain;
        for (uint32_t t = 0; t < frames; ++t) {
            g = unmuting ? std::min(g + step, s->target) : std::max(g + step, 0.0f);
            y[t * outCh + c] = x[t * inCh + c] * g;
        }
    }
    const bool arrived = unmuting ? g >= 1.0f : g <= 0.0f;
    if (arrived) {
        s->done = 1;
        g = unmuting ? 1.0f : 0.0f;
    }
    s->gain = g;
    if (wireWords(flag) != 0) {
        const int32_t word = arrived ? 1 : s->done;
        std::memcpy(flag->buffer, &word, sizeof word);
    }
}

} // namespace

extern "C" constinit const ClassRecord<8> kve_modMuteLinearFadeClass =
    makeClass<8>(0xBEEF0D5Eu,
                 {.constructor = kve::shapes::wired<&kve_modMuteLinearFadeClass, 1, 2>,
                  .process = muteLinearFadeProcess,
                  .bypass = IOMatchUpModule_Bypass,
                  .set = muteLinearFadeSet},
                 kVariables);
