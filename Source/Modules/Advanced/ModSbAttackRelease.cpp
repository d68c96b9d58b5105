// SbAttackRelease: an attack-hold-release envelope of every word of a block, one step per block: a rising level is
// followed at the attack rate and restarts the hold; once the hold has run out the envelope falls at the release
// rate.
#include <algorithm>
#include <cmath>

#include "Dsp/Fract32.h"
#include "Modules/Advanced/SbBlocks.h"
#include "Modules/Standard/Scalers.h"
#include "kve/kve_design.h"
#include "kve/kve_vec.h"

namespace {

using namespace kve::kit;
using kve::scalers::samples;

struct SbAttackReleaseModule {
    ClassModule header;
    float attackTime;  // ms
    float holdTime;    // ms
    float releaseTime; // ms
    float attackCoeff;
    float releaseCoeff;
    int32_t holdBlocks;
    float *envelope;
    int32_t *holdCounter;
};

constexpr std::array<Variable, 8> kVariables = {
    KVE_VARIABLE(SbAttackReleaseModule, attackTime, Float),
    KVE_VARIABLE(SbAttackReleaseModule, holdTime, Float),
    KVE_VARIABLE(SbAttackReleaseModule, releaseTime, Float),
    KVE_VARIABLE(SbAttackReleaseModule, attackCoeff, Float),
    KVE_VARIABLE(SbAttackReleaseModule, releaseCoeff, Float),
    KVE_VARIABLE(SbAttackReleaseModule, holdBlocks, Int),
    KVE_ARRAY(SbAttackReleaseModule, envelope, FloatArray, perWordOfWire(0)),
    KVE_ARRAY(SbAttackReleaseModule, holdCounter, IntArray, perWordOfWire(0)),
};

ClassModule *kve_modSbAttackReleaseConstructor(int32_t *status, uint32_t wireWord, GenericWire **wires,
                                               uint32_t argc, const uint32_t *args)
{
    return construct(kve_modSbAttackReleaseClass, kVariables, 1, 1, status, wireWord, wires, argc, args);
}

void kve_modSbAttackReleaseProcess(ClassModule *m)
{
    auto *s = reinterpret_cast<SbAttackReleaseModule *>(m);
    const float *in = samples(wire(m, 0));
    float *out = samples(wire(m, 1));
    const uint32_t n = std::min({wireWords(wire(m, 0)), wireWords(wire(m, 1)), capacity(m, 0), capacity(m, 1)});
    const float attack = s->attackCoeff;
    const float release = s->releaseCoeff;
    for (uint32_t i = 0; i < n; ++i) {
        const float level = std::fabs(in[i]);
        float &envelope = s->envelope[i];
        int32_t &hold = s->holdCounter[i];
        if (level > envelope) {
            envelope = attack * level + (1.0f - attack) * envelope;
            hold = s->holdBlocks;
        } else if (hold > 0) {
            --hold;
        } else {
            envelope = release * level + (1.0f - release) * envelope;
        }
        out[i] = envelope;
    }
}

// A bypassed envelope is a gain of 1.0 everywhere, so a gain stage it drives passes its signal unchanged.
void kve_modSbAttackReleaseBypass(ClassModule *m)
{
    kve_vecFill(samples(wire(m, 1)), 1, 1.0f, static_cast<int32_t>(wireWords(wire(m, 1))));
}

int32_t kve_modSbAttackReleaseSet(ClassModule *m, uint32_t)
{
    auto *s = reinterpret_cast<SbAttackReleaseModule *>(m);
    const float rate = wire(m, 0)->sampleRate;
    s->attackCoeff = design_smoother(1, s->attackTime, rate);
    s->releaseCoeff = design_smoother(1, s->releaseTime, rate);
    s->holdBlocks = kve_truncateToInt32(rate * s->holdTime * 0.001f + 0.5f);
    return 0;
}

} // namespace

extern "C" constinit const ClassRecord<8> kve_modSbAttackReleaseClass =
    makeClass<8>(0xBEEF0D29u,
                 {kve_modSbAttackReleaseConstructor, kve_modSbAttackReleaseProcess, kve_modSbAttackReleaseBypass,
                  kve_modSbAttackReleaseSet},
                 kVariables);
