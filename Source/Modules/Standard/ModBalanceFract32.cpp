// BalanceFract32: left wire 0 into wire 2 and right wire 1 into wire 3, each side's Q1.31 gain gliding toward the
// gain that `balance` gives it on an equal-power pan law.
#include "Modules/Standard/Faders.h"
#include "kve/kve_design.h"

namespace {

using namespace kve::kit;
using namespace kve::scalers;

struct BalanceFract32Module {
    ClassModule header;
    float balance;
    float smoothingTime;
    Fract32 currentGainLeft;
    Fract32 currentGainRight;
    Fract32 smoothingCoeff;
    Fract32 targetGainLeft;
    Fract32 targetGainRight;
};

constexpr std::array<Variable, 7> kVariables = {
    KVE_VARIABLE(BalanceFract32Module, balance, Float),
    KVE_VARIABLE(BalanceFract32Module, smoothingTime, Float),
    KVE_VARIABLE(BalanceFract32Module, currentGainLeft, Fract32),
    KVE_VARIABLE(BalanceFract32Module, currentGainRight, Fract32),
    KVE_VARIABLE(BalanceFract32Module, smoothingCoeff, Fract32),
    KVE_VARIABLE(BalanceFract32Module, targetGainLeft, Fract32),
    KVE_VARIABLE(BalanceFract32Module, targetGainRight, Fract32),
};

ClassModule *balanceFract32Constructor(int32_t *status, uint32_t wireWord, GenericWire **wires, uint32_t argc,
                                       const uint32_t *args)
{
    return construct(kve_modBalanceFract32Class, kVariables, 2, 2, status, wireWord, wires, argc, args);
}

// Both sides run for the left wire's block; the right side never past the frames its own wires hold.
void balanceFract32Process(ClassModule *m)
{
    auto *s = reinterpret_cast<BalanceFract32Module *>(m);
    const GenericWire *leftIn = wire(m, 0);
    const GenericWire *rightIn = wire(m, 1);
    const GenericWire *leftOut = wire(m, 2);
    const GenericWire *rightOut = wire(m, 3);
    const auto block = static_cast<int32_t>(KVE_WIRE_BLOCK_SIZE(leftIn->info2));
    s->currentGainLeft = glideChannelsFrom(words(leftIn), words(leftOut), channels(leftIn), frames(leftIn, leftOut),
                                           s->currentGainLeft, s->targetGainLeft, s->smoothingCoeff);
    s->currentGainRight = glideChannelsFrom(words(rightIn), words(rightOut), channels(rightIn),
                                            std::min(block, frames(rightIn, rightOut)), s->currentGainRight,
                                            s->targetGainRight, s->smoothingCoeff);
}

int32_t balanceFract32Set(ClassModule *m, uint32_t)
{
    auto *s = reinterpret_cast<BalanceFract32Module *>(m);
    s->smoothingCoeff = kve_rounded(design_smoother(1, s->smoothingTime, wire(m, 0)->sampleRate));
    float left = 0.0f;
    float right = 0.0f;
    kve::faders::balanceGains(s->balance, &left, &right);
    s->targetGainLeft = kve_rounded(left);
    s->targetGainRight = kve_rounded(right);
    return 0;
}

} // namespace

extern "C" constinit const ClassRecord<7> kve_modBalanceFract32Class = makeClass<7>(
    0xBEEF0888u, {balanceFract32Constructor, balanceFract32Process, IOMatchUpModule_Bypass, balanceFract32Set},
    kVariables);
