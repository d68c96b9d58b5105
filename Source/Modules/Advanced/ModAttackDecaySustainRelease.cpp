// AttackDecaySustainRelease: every channel of the input multiplied by one envelope that a trigger restarts: attack
// toward the peak level, decay toward the sustain level, sustain until a release is asked for, then release.
#include "Modules/Advanced/DynamicsCores.h"

using namespace kve::kit;
using namespace kve::dyncores;

namespace {

struct AttackDecaySustainReleaseModule {
    ClassModule header;
    float attackTime;
    float decayTime;
    float sustainLevel;
    float releaseTime;
    float peakLevel;
    int32_t trigger;
    int32_t releaseRequest;
    float attackCoeff;
    float decayCoeff;
    float releaseCoeff;
    uint32_t stage; // 0 attack, 1 decay, 2 sustain, 3 release
    float *envelope;
};

using M = AttackDecaySustainReleaseModule;
constexpr std::array<Variable, 12> kVariables = {
    KVE_VARIABLE(M, attackTime, Float),   KVE_VARIABLE(M, decayTime, Float),
    KVE_VARIABLE(M, sustainLevel, Float), KVE_VARIABLE(M, releaseTime, Float),
    KVE_VARIABLE(M, peakLevel, Float),    KVE_VARIABLE(M, trigger, Int),
    KVE_VARIABLE(M, releaseRequest, Int), KVE_VARIABLE(M, attackCoeff, Float),
    KVE_VARIABLE(M, decayCoeff, Float),   KVE_VARIABLE(M, releaseCoeff, Float),
    KVE_VARIABLE(M, stage, UInt),         KVE_ARRAY(M, envelope, FloatArray, perChannelOfWire(0)),
};

ClassModule *attackDecaySustainReleaseConstructor(int32_t *status, uint32_t wireWord, GenericWire **wires,
                                                  uint32_t argc, const uint32_t *args)
{
    return construct(kve_modAttackDecaySustainReleaseClass, kVariables, 1, 1, status, wireWord, wires, argc, args);
}

// Every channel starts the block from the same stage and release request, so the channels' envelopes stay one; the
// stage and request the channels reach are kept for the next block.
void attackDecaySustainReleaseProcess(ClassModule *m)
{
    auto *s = reinterpret_cast<M *>(m);
    if (s->trigger != 0) {
        s->trigger = 0;
        s->stage = 0;
    }
    const Frames f = framesOf(m, 0);
    const auto *x = static_cast<const float *>(wire(m, 0)->buffer);
    auto *y = static_cast<float *>(wire(m, 1)->buffer);
    const auto stride = static_cast<int32_t>(f.stride);
    int32_t request = s->releaseRequest;
    uint32_t stage = s->stage;
    for (uint32_t c = 0; c < f.channels; ++c) {
        request = s->releaseRequest;
        stage = s->stage;
        kve_vecAttackDecaySustainRelease(x + c, stride, y + c, stride, &request, &stage, &s->envelope[c],
                                         s->attackCoeff, s->decayCoeff, s->sustainLevel, s->releaseCoeff,
                                         s->peakLevel, f.frames);
    }
    s->releaseRequest = request;
    s->stage = stage;
}

int32_t attackDecaySustainReleaseSet(ClassModule *m, uint32_t mask)
{
    auto *s = reinterpret_cast<M *>(m);
    if (names(mask, 0))
        s->attackCoeff = perSample(m, s->attackTime);
    if (names(mask, 1))
        s->decayCoeff = perSample(m, s->decayTime);
    if (names(mask, 3))
        s->releaseCoeff = perSample(m, s->releaseTime);
    return 0;
}

} // namespace

extern "C" constinit const ClassRecord<12> kve_modAttackDecaySustainReleaseClass = makeClass<12>(
    0xBEEF0CBCu,
    {attackDecaySustainReleaseConstructor, attackDecaySustainReleaseProcess, kve::dynamics::unityGain<float, 1>,
     attackDecaySustainReleaseSet},
    kVariables);
