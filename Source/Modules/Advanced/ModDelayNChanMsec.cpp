// DelayNChanMsec: a DelayNChan whose per-channel delays a host writes in milliseconds; Set turns them into whole
// samples at the input's sample rate, held to 0 .. the maximum in samples.
#include <algorithm>
#include <cmath>
#include <cstring>

#include "Modules/Advanced/DelayLines.h"

namespace {

using namespace kve::kit;
using namespace kve::shapes;
using namespace kve::dly;

struct DelayNChanMsecModule {
    ClassModule header;
    float maxDelayMs;
    int32_t heap;
    int32_t maxDelay;
    float *delaysMs;
    ClassModule *inner;
};

constexpr std::array<Variable, 5> kVariables = {
    KVE_VARIABLE(DelayNChanMsecModule, maxDelayMs, Float),
    KVE_VARIABLE(DelayNChanMsecModule, heap, Int),
    KVE_VARIABLE(DelayNChanMsecModule, maxDelay, Int),
    KVE_ARRAY(DelayNChanMsecModule, delaysMs, FloatArray, fixedLength(0)),
    KVE_VARIABLE(DelayNChanMsecModule, inner, Pointer),
};

constexpr uint32_t kOneInOneOut = 0x101;
constexpr uint32_t kDelayNChanId = 0xBEEF0D57u;

ArraySize msSize(ClassModule *m, uint32_t) { return {channels(wire(m, 0)), 0x231}; }

ClassModule *delayNChanMsecConstructor(int32_t *status, uint32_t wireWord, GenericWire **wires, uint32_t argc,
                                       const uint32_t *args)
{
    if (*status == KVE_OK && wireWord != kOneInOneOut)
        *status = KVE_E_ARG_COUNT;
    ClassModule *m = constructArrays(kve_modDelayNChanMsecClass.record, 1, 1, 1, msSize, status, wireWord, wires,
                                     argc, args);
    if (m == nullptr)
        return nullptr;
    auto *s = reinterpret_cast<DelayNChanMsecModule *>(m);
    const uint32_t innerArgs[2] = {static_cast<uint32_t>(s->maxDelay), static_cast<uint32_t>(s->heap)};
    s->inner = ClassModule_Constructor(kDelayNChanId, status, kOneInOneOut, m->wires, 2, innerArgs);
    return s->inner == nullptr || *status != KVE_OK ? nullptr : m;
}

void delayNChanMsecProcess(ClassModule *m) { runInner(reinterpret_cast<DelayNChanMsecModule *>(m)->inner); }

int32_t delayNChanMsecSet(ClassModule *m, uint32_t)
{
    auto *s = reinterpret_cast<DelayNChanMsecModule *>(m);
    ClassModule *inner = s->inner;
    // The inner module's delays: its first private array, one a channel, as many as it built.
    int32_t *delays = nullptr;
    std::memcpy(&delays, reinterpret_cast<char *>(inner) + kve_ClassVariableOffsets(inner->classRecord)[2],
                sizeof delays);
    const uint32_t count = std::min(capacity(m, 0), capacity(inner, 0));
    const float perMs = wire(m, 0)->sampleRate * 0.001f;
    const auto top = static_cast<float>(heldDelay(s->maxDelay, 1u << 30));
    for (uint32_t c = 0; c < count; ++c) {
        const float d = std::floor(perMs * s->delaysMs[c]);
        delays[c] = d > 0.0f ? static_cast<int32_t>(std::min(d, top)) : 0;
    }
    return KVE_OK;
}

} // namespace

extern "C" constinit const ClassRecord<5> kve_modDelayNChanMsecClass = makeClass<5>(
    0xBEEF0D58u, {delayNChanMsecConstructor, delayNChanMsecProcess, IOMatchUpModule_Bypass, delayNChanMsecSet},
    kVariables);
