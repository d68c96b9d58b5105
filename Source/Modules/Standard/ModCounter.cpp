// Counter: counts once for every samplesPerCount samples of its input (at most once a block), wrapping at maxCount
// when that is non-zero, and puts the count in word 0 of its output. Bypassed, it keeps counting.
#include "Modules/Standard/Control.h"

namespace {

using namespace kve::kit;

struct CounterModule {
    ClassModule header;
    float floatParam; // stored and reported only
    uint32_t maxCount;
    uint32_t count;
    uint32_t sampleAccum;
    uint32_t samplesPerCount;
};

constexpr std::array<Variable, 5> kVariables = {
    KVE_VARIABLE(CounterModule, floatParam, Float),   KVE_VARIABLE(CounterModule, maxCount, UInt),
    KVE_VARIABLE(CounterModule, count, UInt),         KVE_VARIABLE(CounterModule, sampleAccum, UInt),
    KVE_VARIABLE(CounterModule, samplesPerCount, UInt),
};

void counterProcess(ClassModule *m)
{
    auto *s = reinterpret_cast<CounterModule *>(m);
    s->sampleAccum += blockSize(wire(m, 0));
    if (s->sampleAccum >= s->samplesPerCount) {
        s->sampleAccum -= s->samplesPerCount;
        s->count += 1;
        if (s->maxCount != 0 && s->count >= s->maxCount)
            s->count = 0;
    }
    kve::control::setFirstWord(wire(m, kve::shapes::inputs(m)), s->count);
}

} // namespace

extern "C" constinit const ClassRecord<5> kve_modCounterClass = makeClass<5>(
    0xBEEF085Cu,
    {.constructor = kve::shapes::wired<&kve_modCounterClass, 1, 1>,
     .process = counterProcess,
     .bypass = counterProcess},
    kVariables);
