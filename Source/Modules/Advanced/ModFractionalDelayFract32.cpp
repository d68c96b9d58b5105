// FractionalDelayFract32: a delay of 20 to 320 samples in fractions of a sample, as a whole-sample Delay of n - 20
// into the scratch wire followed by a 42-tap Fract32 FIR whose taps delay by 20 + the fraction. Set holds the
// delay to that range, so the inner delay never runs below zero.
#include <algorithm>
#include <cmath>
#include <cstring>

#include "Modules/Advanced/DelayLines.h"
#include "kve/kve_design.h"

namespace {

using namespace kve::kit;
using namespace kve::shapes;

struct FractionalDelayModule {
    ClassModule header;
    float delay;
    ClassModule *delayModule;
    ClassModule *fir;
};

constexpr std::array<Variable, 3> kVariables = {
    KVE_VARIABLE(FractionalDelayModule, delay, Float),
    KVE_VARIABLE(FractionalDelayModule, delayModule, Pointer),
    KVE_VARIABLE(FractionalDelayModule, fir, Pointer),
};

constexpr uint32_t kWithScratch = 0x10101;
constexpr uint32_t kOneInOneOut = 0x101;
constexpr uint32_t kDelayId = 0xBEEF0800u;
constexpr uint32_t kFirFract32Id = 0xBEEF088Eu;
constexpr uint32_t kTaps = 42;
constexpr uint32_t kFirDelay = 20;
constexpr uint32_t kLongestInner = 300;
constexpr uint32_t kFirCoefficientsBit = 0x800;

ClassModule *fractionalDelayConstructor(int32_t *status, uint32_t wireWord, GenericWire **wires, uint32_t argc,
                                        const uint32_t *args)
{
    if (*status != KVE_OK)
        return nullptr;
    if (wireWord != kWithScratch) {
        *status = KVE_E_ARG_COUNT;
        return nullptr;
    }
    ClassModule *m = BaseClassModule_ConstructorHidden(&kve_modFractionalDelayFract32Class.record, status, wireWord,
                                                       wires, argc, args, 0);
    if (m == nullptr)
        return nullptr;
    auto *s = reinterpret_cast<FractionalDelayModule *>(m);
    GenericWire *toScratch[2] = {m->wires[0], m->wires[2]};
    GenericWire *fromScratch[2] = {m->wires[2], m->wires[1]};
    const uint32_t delayArgs[4] = {kLongestInner, 0, 0, 2};
    const uint32_t firArgs[3] = {kTaps, 0, 0};
    s->delayModule = ClassModule_Constructor(kDelayId, status, kOneInOneOut, toScratch, 4, delayArgs);
    if (s->delayModule == nullptr || *status != KVE_OK)
        return nullptr;
    s->fir = ClassModule_Constructor(kFirFract32Id, status, kOneInOneOut, fromScratch, 3, firArgs);
    return s->fir == nullptr || *status != KVE_OK ? nullptr : m;
}

void fractionalDelayProcess(ClassModule *m)
{
    auto *s = reinterpret_cast<FractionalDelayModule *>(m);
    runInner(s->delayModule);
    runInner(s->fir);
}

template <class T> T *member(ClassModule *inner, uint32_t variable)
{
    char *at = reinterpret_cast<char *>(inner) + kve_ClassVariableOffsets(inner->classRecord)[variable];
    return reinterpret_cast<T *>(at);
}

int32_t fractionalDelaySet(ClassModule *m, uint32_t)
{
    auto *s = reinterpret_cast<FractionalDelayModule *>(m);
    const float lowest = kFirDelay;
    const float d = s->delay == s->delay ? std::clamp(s->delay, lowest, lowest + kLongestInner) : lowest;
    const float whole = std::floor(d);
    const uint32_t inner = static_cast<uint32_t>(whole) - kFirDelay;
    std::memcpy(member<uint32_t>(s->delayModule, 1), &inner, sizeof inner);
    float *taps = nullptr;
    std::memcpy(&taps, member<float *>(s->fir, 3), sizeof taps);
    if (capacity(s->fir, 0) < kTaps)
        return KVE_OK;
    design_fractionaldelay(taps, d - whole);
    return ClassModule_Set(s->fir, kFirCoefficientsBit);
}

} // namespace

extern "C" constinit const ClassRecord<3> kve_modFractionalDelayFract32Class = makeClass<3>(
    0xBEEF0D03u, {fractionalDelayConstructor, fractionalDelayProcess, IOMatchUpModule_Bypass, fractionalDelaySet},
    kVariables);
