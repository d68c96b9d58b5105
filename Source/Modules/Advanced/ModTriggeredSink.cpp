// TriggeredSink: while armed, the first block whose trigger input holds a nonzero word is kept channel by channel
// for the host, which reads it by member address and re-arms the module.
#include "Modules/Advanced/FileSinks.h"

using namespace kve::kit;
using namespace kve::filesinks;

namespace {

constexpr std::array<Variable, 4> kVariables = {
    KVE_VARIABLE(TriggeredSinkModule, armed, Int),
    KVE_VARIABLE(TriggeredSinkModule, triggerPosition, Int),
    KVE_VARIABLE(TriggeredSinkModule, captureWithoutTrigger, Int),
    KVE_ARRAY_IN(TriggeredSinkModule, buffer, IntArray, perWordOfWire(1), KVE_HEAPS_HOST_ARRAYS),
};

ClassModule *triggeredSinkConstructor(int32_t *status, uint32_t wireWord, GenericWire **wires, uint32_t argc,
                                      const uint32_t *args)
{
    return construct(kve_modTriggeredSinkClass, kVariables, 2, 0, status, wireWord, wires, argc, args);
}

void triggeredSinkProcess(ClassModule *m)
{
    auto *s = reinterpret_cast<TriggeredSinkModule *>(m);
    if (s->armed == 0)
        return;
    const GenericWire *trigger = wire(m, 0);
    const auto *t = static_cast<const int32_t *>(trigger->buffer);
    const uint32_t triggerWords = wireWords(trigger);
    uint32_t first = 0;
    while (first < triggerWords && t[first] == 0)
        ++first;
    s->triggerPosition = first < triggerWords ? static_cast<int32_t>(first + 1) : 0;
    if (s->triggerPosition == 0 && s->captureWithoutTrigger == 0)
        return;
    s->armed = 0;
    const GenericWire *audio = wire(m, 1);
    const auto *in = static_cast<const int32_t *>(audio->buffer);
    const uint32_t channels = KVE_WIRE_CHANNELS(audio->info1);
    const uint32_t b = blockSize(audio);
    // A complex sample is a pair of words that stays together; a real one is a single word.
    const uint32_t wordsPerSample = KVE_WIRE_COMPLEX(audio->info1) != 0 ? 2 : 1;
    const uint32_t samples = b / wordsPerSample;
    for (uint32_t c = 0; c < channels; ++c)
        for (uint32_t k = 0; k < samples; ++k)
            for (uint32_t j = 0; j < wordsPerSample; ++j)
                s->buffer[c * b + k * wordsPerSample + j] = in[(k * channels + c) * wordsPerSample + j];
}

} // namespace

extern "C" constinit const ClassRecord<4> kve_modTriggeredSinkClass =
    makeClass<4>(0xBEEF0D43u, {triggeredSinkConstructor, triggeredSinkProcess}, kVariables);
