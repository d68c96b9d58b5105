// SlewRateLimiter: every channel follows its input, but no faster per sample than the largest rise upward and the
// largest fall downward.
#include "Modules/Advanced/DynamicsCores.h"

using namespace kve::kit;
using namespace kve::dyncores;

namespace {

struct SlewRateLimiterModule {
    ClassModule header;
    int32_t unit; // 0 per sample, 1 per millisecond, other per second
    float largestFall;
    float largestRise;
    int32_t reset;
    float fallPerSample;
    float risePerSample;
    float *lastOutput;
};

using M = SlewRateLimiterModule;
constexpr std::array<Variable, 7> kVariables = {
    KVE_VARIABLE(M, unit, Int),
    KVE_VARIABLE(M, largestFall, Float),
    KVE_VARIABLE(M, largestRise, Float),
    KVE_VARIABLE(M, reset, Int),
    KVE_VARIABLE(M, fallPerSample, Float),
    KVE_VARIABLE(M, risePerSample, Float),
    KVE_ARRAY(M, lastOutput, FloatArray, perChannelOfWire(0)),
};

ClassModule *slewRateLimiterConstructor(int32_t *status, uint32_t wireWord, GenericWire **wires, uint32_t argc,
                                        const uint32_t *args)
{
    return construct(kve_modSlewRateLimiterClass, kVariables, 1, 1, status, wireWord, wires, argc, args);
}

void slewRateLimiterProcess(ClassModule *m)
{
    auto *s = reinterpret_cast<M *>(m);
    const Frames f = framesOf(m, 0);
    const auto *x = static_cast<const float *>(wire(m, 0)->buffer);
    auto *out = static_cast<float *>(wire(m, 1)->buffer);
    for (uint32_t c = 0; c < f.channels; ++c) {
        if (f.frames == 0)
            break;
        float y = s->reset == 1 ? x[c] : s->lastOutput[c];
        for (int32_t i = 0; i < f.frames; ++i) {
            const size_t k = static_cast<size_t>(i) * f.stride + c;
            float step = x[k] - y;
            if (step > s->risePerSample)
                step = s->risePerSample;
            else if (step < s->fallPerSample)
                step = s->fallPerSample;
            y += step;
            out[k] = y;
        }
        s->lastOutput[c] = y;
    }
    s->reset = 0;
}

int32_t slewRateLimiterSet(ClassModule *m, uint32_t)
{
    auto *s = reinterpret_cast<M *>(m);
    const float rate = rateOf(m);
    const float per = s->unit == 0 ? 1.0f : s->unit == 1 ? rate * 0.001f : rate;
    s->fallPerSample = s->largestFall / per;
    s->risePerSample = s->largestRise / per;
    return 0;
}

} // namespace

extern "C" constinit const ClassRecord<7> kve_modSlewRateLimiterClass = makeClass<7>(
    0xBEEF0D37u, {slewRateLimiterConstructor, slewRateLimiterProcess, IOMatchUpModule_Bypass, slewRateLimiterSet},
    kVariables);
