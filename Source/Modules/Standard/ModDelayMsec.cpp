// DelayMsec: a Delay whose lengths are given in milliseconds at wire 0's sample rate. It builds an inner Delay on
// its own two wires, long enough for maxDelayMs, and Set turns currentDelayMs into the inner delay in whole samples,
// held to the longest the inner ring takes.
#include <cmath>
#include <cstring>

#include "Modules/Standard/Delays.h"

namespace {

using namespace kve::kit;
using namespace kve::shapes;

struct DelayMsecModule {
    ClassModule header;
    float maxDelayMs;
    float currentDelayMs;
    uint32_t stateHeap;
    ClassModule *delayModule;
};

constexpr std::array<Variable, 4> kVariables = {
    KVE_VARIABLE(DelayMsecModule, maxDelayMs, Float),
    KVE_VARIABLE(DelayMsecModule, currentDelayMs, Float),
    KVE_VARIABLE(DelayMsecModule, stateHeap, UInt),
    KVE_VARIABLE(DelayMsecModule, delayModule, Pointer),
};

constexpr uint32_t kOneInOneOut = 0x101;
constexpr uint32_t kDelayClassId = 0xBEEF0800u;

float up(float v) { return std::ceil(v); }
float toward0(float v) { return std::trunc(v); }
float down(float v) { return std::floor(v); }

// Samples in `ms` milliseconds at `fs`, rounded by `round`; NaN and negative lengths are none, and lengths past
// what a ring can be built for are held to the largest count (its ring then cannot be had).
template <float (*Round)(float)> uint32_t samplesOf(float fs, float ms)
{
    const float v = Round(fs * ms * 0.001f);
    if (!(v > 0.0f))
        return 0;
    return v >= 4294967040.0f ? UINT32_MAX : static_cast<uint32_t>(v);
}

ClassModule *delayMsecConstructor(int32_t *status, uint32_t wireWord, GenericWire **wires, uint32_t argc,
                                  const uint32_t *args)
{
    if (*status != KVE_OK)
        return nullptr;
    if (wireWord != kOneInOneOut) {
        *status = KVE_E_ARG_COUNT;
        return nullptr;
    }
    ClassModule *outer =
        BaseClassModule_ConstructorHidden(&kve_modDelayMsecClass.record, status, wireWord, wires, argc, args, 0);
    if (outer == nullptr)
        return nullptr;
    auto *s = reinterpret_cast<DelayMsecModule *>(outer);
    const float fs = wire(outer, 0)->sampleRate;
    const uint32_t inner[4] = {samplesOf<up>(fs, s->maxDelayMs), samplesOf<toward0>(fs, s->currentDelayMs),
                               0, s->stateHeap};
    ClassModule *delay = ClassModule_Constructor(kDelayClassId, status, kOneInOneOut, outer->wires, 4, inner);
    if (delay == nullptr || *status != KVE_OK)
        return nullptr;
    s->delayModule = delay;
    return outer;
}

void delayMsecProcess(ClassModule *m)
{
    runInner(reinterpret_cast<DelayMsecModule *>(m)->delayModule);
}

int32_t delayMsecSet(ClassModule *m, uint32_t)
{
    auto *s = reinterpret_cast<DelayMsecModule *>(m);
    // The inner Delay's public variables: maxDelay, currentDelay.
    const uint32_t *offsets = kve_ClassVariableOffsets(s->delayModule->classRecord);
    char *inner = reinterpret_cast<char *>(s->delayModule);
    uint32_t maxDelay;
    std::memcpy(&maxDelay, inner + offsets[0], sizeof maxDelay);
    const uint32_t delay = std::min(samplesOf<down>(wire(m, 0)->sampleRate, s->currentDelayMs), maxDelay);
    std::memcpy(inner + offsets[1], &delay, sizeof delay);
    return KVE_OK;
}

} // namespace

extern "C" constinit const ClassRecord<4> kve_modDelayMsecClass =
    makeClass<4>(0xBEEF0801u, {delayMsecConstructor, delayMsecProcess, IOMatchUpModule_Bypass, delayMsecSet},
                 kVariables);
