// Balance: left wire 0 into wire 2 and right wire 1 into wire 3, each side gliding toward the gain that `balance`
// gives it on an equal-power pan law.
#include "Modules/Standard/Faders.h"
#include "kve/kve_design.h"

namespace {

using namespace kve::kit;
using namespace kve::scalers;

struct BalanceModule {
    ClassModule header;
    float balance;
    float smoothingTime;
    float currentGainLeft;
    float currentGainRight;
    float smoothingCoeff;
    float targetGainLeft;
    float targetGainRight;
};

constexpr std::array<Variable, 7> kVariables = {
    KVE_VARIABLE(BalanceModule, balance, Float),          KVE_VARIABLE(BalanceModule, smoothingTime, Float),
    KVE_VARIABLE(BalanceModule, currentGainLeft, Float),  KVE_VARIABLE(BalanceModule, currentGainRight, Float),
    KVE_VARIABLE(BalanceModule, smoothingCoeff, Float),   KVE_VARIABLE(BalanceModule, targetGainLeft, Float),
    KVE_VARIABLE(BalanceModule, targetGainRight, Float),
};

ClassModule *balanceConstructor(int32_t *status, uint32_t wireWord, GenericWire **wires, uint32_t argc,
                                const uint32_t *args)
{
    return construct(kve_modBalanceClass, kVariables, 2, 2, status, wireWord, wires, argc, args);
}

// Both sides run for the left wire's block; the right side never past the frames its own wires hold.
void balanceProcess(ClassModule *m)
{
    auto *s = reinterpret_cast<BalanceModule *>(m);
    const GenericWire *leftIn = wire(m, 0);
    const GenericWire *rightIn = wire(m, 1);
    const GenericWire *leftOut = wire(m, 2);
    const GenericWire *rightOut = wire(m, 3);
    const auto block = static_cast<int32_t>(KVE_WIRE_BLOCK_SIZE(leftIn->info2));
    kve_vecScaleSmooth_Nch(samples(leftIn), samples(leftOut), static_cast<int32_t>(channels(leftIn)),
                           &s->currentGainLeft, s->targetGainLeft, s->smoothingCoeff, frames(leftIn, leftOut));
    kve_vecScaleSmooth_Nch(samples(rightIn), samples(rightOut), static_cast<int32_t>(channels(rightIn)),
                           &s->currentGainRight, s->targetGainRight, s->smoothingCoeff,
                           std::min(block, frames(rightIn, rightOut)));
}

int32_t balanceSet(ClassModule *m, uint32_t)
{
    auto *s = reinterpret_cast<BalanceModule *>(m);
    s->smoothingCoeff = design_smoother(1, s->smoothingTime, wire(m, 0)->sampleRate);
    kve::faders::balanceGains(s->balance, &s->targetGainLeft, &s->targetGainRight);
    return 0;
}

} // namespace

extern "C" constinit const ClassRecord<7> kve_modBalanceClass =
    makeClass<7>(0xBEEF087Du, {balanceConstructor, balanceProcess, IOMatchUpModule_Bypass, balanceSet}, kVariables);
