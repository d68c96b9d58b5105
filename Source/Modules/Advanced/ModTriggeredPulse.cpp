// TriggeredPulse: a rising trigger starts a pulse of ones of a set length; another rising trigger during the pulse
// lengthens it by the same length.
#include <algorithm>
#include <cmath>

#include "Modules/Advanced/StateControl.h"
#include "Modules/Standard/Shapes.h"

using namespace kve::kit;
using namespace kve::statecontrol;

namespace {

constexpr std::array<Variable, 6> kVariables = {
    KVE_VARIABLE(TriggeredPulseModule, pulseMs, Float),    KVE_VARIABLE(TriggeredPulseModule, pulseSamples, Int),
    KVE_VARIABLE(TriggeredPulseModule, elapsed, Int),      KVE_VARIABLE(TriggeredPulseModule, extension, Int),
    KVE_VARIABLE(TriggeredPulseModule, lastTrigger, Int),  KVE_VARIABLE(TriggeredPulseModule, active, Int),
};

int32_t pulseSet(ClassModule *m, uint32_t)
{
    auto *s = reinterpret_cast<TriggeredPulseModule *>(m);
    const double samples = std::floor(static_cast<double>(wire(m, 0)->sampleRate) * s->pulseMs * 0.001 + 0.5);
    // A negative, huge or non-finite length is held to what the counters can hold.
    s->pulseSamples = std::isnan(samples) ? 0 : static_cast<int32_t>(std::clamp(samples, 0.0, 2147483647.0));
    return 0;
}

void pulseProcess(ClassModule *m)
{
    auto *s = reinterpret_cast<TriggeredPulseModule *>(m);
    const GenericWire *in = wire(m, 0);
    GenericWire *out = wire(m, KVE_PACKED_INPUTS(m->packed));
    auto *y = static_cast<int32_t *>(out->buffer);
    const auto b = static_cast<int64_t>(wireWords(out));
    const int32_t trigger = wireWords(in) == 0 ? 0 : static_cast<const int32_t *>(in->buffer)[0];
    if (trigger == 1 && s->lastTrigger == 0) {
        if (s->elapsed != 0)
            s->extension = static_cast<int32_t>(std::min<int64_t>(int64_t{s->extension} + s->pulseSamples, INT32_MAX));
        s->active = 1;
    }
    s->lastTrigger = trigger;
    int64_t ones = 0;
    if (s->active != 0) {
        const int64_t end = int64_t{s->pulseSamples} + s->extension;
        if (s->elapsed >= end) {
            s->elapsed = 0;
            s->extension = 0;
            s->active = 0;
        } else {
            ones = std::min(end - s->elapsed, b);
            s->elapsed = static_cast<int32_t>(s->elapsed + ones);
        }
    }
    std::fill_n(y, ones, 1);
    std::fill_n(y + ones, b - ones, 0);
}

} // namespace

extern "C" constinit const ClassRecord<6> kve_modTriggeredPulseClass = makeClass<6>(
    0xBEEF0D61u, {kve::shapes::wired<&kve_modTriggeredPulseClass, 1, 1>, pulseProcess, IOMatchUpModule_Bypass,
                  pulseSet},
    kVariables);
