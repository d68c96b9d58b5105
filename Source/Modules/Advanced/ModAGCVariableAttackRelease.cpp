// AGCVariableAttackRelease: a magnitude envelope whose attack and release speed up the further the input lies from
// the level: the coefficient blends the fast and slow ones by the distance, relative to the input when rising and
// to the level at the last turn when falling. A nonzero word on the optional second input holds the level.
#include "Modules/Advanced/DynamicsCores.h"

using namespace kve::kit;
using namespace kve::dyncores;

namespace {

struct AGCVariableAttackReleaseModule {
    ClassModule header;
    float fastAttackTime;
    float slowAttackTime;
    float fastReleaseTime;
    float slowReleaseTime;
    float fastAttackCoeff;
    float slowAttackCoeff;
    float fastReleaseCoeff;
    float slowReleaseCoeff;
    int32_t rising;
    float level;
    float turnLevel;
};

using M = AGCVariableAttackReleaseModule;
constexpr std::array<Variable, 11> kVariables = {
    KVE_VARIABLE(M, fastAttackTime, Float),   KVE_VARIABLE(M, slowAttackTime, Float),
    KVE_VARIABLE(M, fastReleaseTime, Float),  KVE_VARIABLE(M, slowReleaseTime, Float),
    KVE_VARIABLE(M, fastAttackCoeff, Float),  KVE_VARIABLE(M, slowAttackCoeff, Float),
    KVE_VARIABLE(M, fastReleaseCoeff, Float), KVE_VARIABLE(M, slowReleaseCoeff, Float),
    KVE_VARIABLE(M, rising, Int),             KVE_VARIABLE(M, level, Float),
    KVE_VARIABLE(M, turnLevel, Float),
};

// The level input, an optional hold input, and the output after them.
ClassModule *agcVariableAttackReleaseConstructor(int32_t *status, uint32_t wireWord, GenericWire **wires,
                                                 uint32_t argc, const uint32_t *args)
{
    const uint32_t inputs = std::clamp(KVE_PACKED_INPUTS(wireWord), 1u, 2u);
    return construct(kve_modAGCVariableAttackReleaseClass, kVariables, inputs, 1, status, wireWord, wires, argc,
                     args);
}

// The blend weight is kept to [0, 1]: a turn level of 0 (or one a host wrote below the level) would otherwise give
// an infinite or negative weight and carry the level off for good.
float weight(float a) { return std::fmax(0.0f, std::fmin(a, 1.0f)); }

void agcVariableAttackReleaseProcess(ClassModule *m)
{
    auto *s = reinterpret_cast<M *>(m);
    const uint32_t inputs = kve::shapes::inputs(m);
    const auto *x = static_cast<const float *>(wire(m, 0)->buffer);
    auto *y = static_cast<float *>(wire(m, inputs)->buffer);
    const int32_t n = monoSamples(m);
    const GenericWire *hold = inputs > 1 ? wire(m, 1) : nullptr;
    if (hold != nullptr && wireWords(hold) > 0 && *static_cast<const uint32_t *>(hold->buffer) != 0) {
        kve_vecFill(y, 1, s->level, n);
        return;
    }
    float level = s->level;
    for (int32_t i = 0; i < n; ++i) {
        const float a = std::fabs(x[i]);
        float k = 0.0f;
        if (a >= level) {
            s->rising = 1;
            const float w = a == 0.0f ? 0.0f : weight((a - level) / a);
            k = w * s->fastAttackCoeff + (1.0f - w) * s->slowAttackCoeff;
        } else {
            if (s->rising == 1) {
                s->rising = 0;
                s->turnLevel = level;
            }
            const float w = weight((level - a) / s->turnLevel);
            k = w * s->fastReleaseCoeff + (1.0f - w) * s->slowReleaseCoeff;
        }
        level = k * a + (1.0f - k) * level;
        y[i] = level;
    }
    s->level = level;
}

int32_t agcVariableAttackReleaseSet(ClassModule *m, uint32_t)
{
    auto *s = reinterpret_cast<M *>(m);
    s->fastAttackCoeff = perSample(m, s->fastAttackTime);
    s->slowAttackCoeff = perSample(m, s->slowAttackTime);
    s->fastReleaseCoeff = perSample(m, s->fastReleaseTime);
    s->slowReleaseCoeff = perSample(m, s->slowReleaseTime);
    return 0;
}

} // namespace

extern "C" constinit const ClassRecord<11> kve_modAGCVariableAttackReleaseClass = makeClass<11>(
    0xBEEF0CB5u,
    {agcVariableAttackReleaseConstructor, agcVariableAttackReleaseProcess, IOMatchUpModule_Bypass,
     agcVariableAttackReleaseSet},
    kVariables);
