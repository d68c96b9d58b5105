// SoftClip: a soft knee from threshold up to full scale; Get reports each channel's momentary gain from the last
// frame it shaped.
#include "Modules/Standard/Dynamics.h"
#include "Modules/Standard/Scalers.h"

namespace {

using namespace kve::kit;
using namespace kve::dynamics;

struct SoftClipModule {
    ClassModule header;
    float thresholdDB;
    float threshold;
    float *lastIn;
    float *lastOut;
    float *gain;
};

constexpr std::array<Variable, 5> kVariables = {
    KVE_VARIABLE(SoftClipModule, thresholdDB, Float),
    KVE_VARIABLE(SoftClipModule, threshold, Float),
    KVE_ARRAY(SoftClipModule, lastIn, FloatArray, perChannelOfWire(0)),
    KVE_ARRAY(SoftClipModule, lastOut, FloatArray, perChannelOfWire(0)),
    KVE_ARRAY(SoftClipModule, gain, FloatArray, perChannelOfWire(0)),
};

ClassModule *softClipConstructor(int32_t *status, uint32_t wireWord, GenericWire **wires, uint32_t argc,
                                 const uint32_t *args)
{
    return construct(kve_modSoftClipClass, kVariables, 1, 1, status, wireWord, wires, argc, args);
}

void softClipProcess(ClassModule *m)
{
    auto *s = reinterpret_cast<SoftClipModule *>(m);
    clipKeepingLastFrame<float>(m, s, [s](const float *x, float *y, int32_t n) {
        kve_vecSoftClip(x, y, s->threshold, 1.0f, n);
    });
}

int32_t softClipSet(ClassModule *m, uint32_t)
{
    auto *s = reinterpret_cast<SoftClipModule *>(m);
    s->threshold = kve::scalers::undB(s->thresholdDB);
    return 0;
}

// A channel whose last input was silent has no gain to tell and keeps the one it reported before.
int32_t softClipGet(ClassModule *m, uint32_t)
{
    auto *s = reinterpret_cast<SoftClipModule *>(m);
    const uint32_t ch = keptChannels(m);
    for (uint32_t c = 0; c < ch; ++c)
        if (s->lastIn[c] != 0.0f)
            s->gain[c] = s->lastOut[c] / s->lastIn[c];
    return 0;
}

} // namespace

extern "C" constinit const ClassRecord<5> kve_modSoftClipClass = makeClass<5>(
    0xBEEF0850u,
    {softClipConstructor, softClipProcess, IOMatchUpModule_Bypass, softClipSet, softClipGet}, kVariables);
