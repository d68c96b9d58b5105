// MeterFract32: per channel, a Fract32 peak envelope with standard or host-given attack and release, per sample or
// per block.
#include "Modules/Standard/Dynamics.h"

namespace {

using namespace kve::kit;
using namespace kve::dynamics;

struct MeterFract32Module {
    ClassModule header;
    int32_t meterType;
    float attackTime;
    float releaseTime;
    int32_t attackCoeff;
    int32_t releaseCoeff;
    Fract32 *value;
};

using M = MeterFract32Module;
constexpr std::array<Variable, 6> kVariables = {
    KVE_VARIABLE(M, meterType, Int),   KVE_VARIABLE(M, attackTime, Float), KVE_VARIABLE(M, releaseTime, Float),
    KVE_VARIABLE(M, attackCoeff, Int), KVE_VARIABLE(M, releaseCoeff, Int), KVE_ARRAY(M, value, Fract32Array, perChannelOfWire(0)),
};

ClassModule *meterFract32Constructor(int32_t *status, uint32_t wireWord, GenericWire **wires, uint32_t argc,
                                     const uint32_t *args)
{
    return meterConstruct<&kve_modMeterFract32Class>(kVariables, status, wireWord, wires, argc, args);
}

void meterFract32Process(ClassModule *m)
{
    auto *s = reinterpret_cast<M *>(m);
    meterProcess<Fract32>(m, s->value, (s->meterType & 16) != 0, s->attackCoeff, s->releaseCoeff,
                          [s](const Fract32 *x, int32_t stride, Fract32 *work, int32_t n, Fract32 *value) {
                              kve_vecAttackReleaseFract32(x, stride, work, 1, s->attackCoeff, s->releaseCoeff, value,
                                                          n);
                          });
}

int32_t meterFract32Set(ClassModule *m, uint32_t)
{
    auto *s = reinterpret_cast<M *>(m);
    const Ballistics b = meterBallistics(s->meterType, s->attackTime, s->releaseTime, 0.5f);
    s->attackCoeff = kve_rounded(meterCoeff(m, b.attackMs, b.perBlock));
    s->releaseCoeff = kve_rounded(meterCoeff(m, b.releaseMs, b.perBlock));
    return 0;
}

} // namespace

extern "C" constinit const ClassRecord<6> kve_modMeterFract32Class = makeClass<6>(
    0xBEEF089Du, {meterFract32Constructor, meterFract32Process, IOMatchUpModule_Bypass, meterFract32Set}, kVariables);
