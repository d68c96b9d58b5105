// Meter: per channel, a peak envelope with standard or host-given attack and release, per sample or per block.
#include "Modules/Standard/Dynamics.h"

namespace {

using namespace kve::kit;
using namespace kve::dynamics;

struct MeterModule {
    ClassModule header;
    int32_t meterType;
    float attackTime;
    float releaseTime;
    float attackCoeff;
    float releaseCoeff;
    float *value;
};

constexpr std::array<Variable, 6> kVariables = {
    KVE_VARIABLE(MeterModule, meterType, Int),      KVE_VARIABLE(MeterModule, attackTime, Float),
    KVE_VARIABLE(MeterModule, releaseTime, Float),  KVE_VARIABLE(MeterModule, attackCoeff, Float),
    KVE_VARIABLE(MeterModule, releaseCoeff, Float), KVE_ARRAY(MeterModule, value, FloatArray, perChannelOfWire(0)),
};

ClassModule *meterConstructor(int32_t *status, uint32_t wireWord, GenericWire **wires, uint32_t argc,
                              const uint32_t *args)
{
    return meterConstruct<&kve_modMeterClass>(kVariables, status, wireWord, wires, argc, args);
}

void meterProcessFloat(ClassModule *m)
{
    auto *s = reinterpret_cast<MeterModule *>(m);
    meterProcess<float>(m, s->value, (s->meterType & 16) != 0, s->attackCoeff, s->releaseCoeff,
                        [s](const float *x, int32_t stride, float *work, int32_t n, float *value) {
                            kve_vecAttackRelease(x, stride, work, 1, value, s->attackCoeff, s->releaseCoeff, n);
                        });
}

int32_t meterSet(ClassModule *m, uint32_t)
{
    auto *s = reinterpret_cast<MeterModule *>(m);
    const Ballistics b = meterBallistics(s->meterType, s->attackTime, s->releaseTime, 5.0f);
    s->attackCoeff = meterCoeff(m, b.attackMs, b.perBlock);
    s->releaseCoeff = meterCoeff(m, b.releaseMs, b.perBlock);
    return 0;
}

} // namespace

extern "C" constinit const ClassRecord<6> kve_modMeterClass =
    makeClass<6>(0xBEEF086Bu, {meterConstructor, meterProcessFloat, IOMatchUpModule_Bypass, meterSet}, kVariables);
