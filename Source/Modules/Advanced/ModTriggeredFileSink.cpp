// TriggeredFileSink: a nonzero trigger word starts a capture of a fixed number of frames; once it is full the tick
// writes it to the next numbered WAVE file, so no file is touched in the sample loop.
#include <algorithm>
#include <cmath>
#include <cstring>

#include "Modules/Advanced/FileSinks.h"
#include "kve/kve_vec_conversion.h"

using namespace kve::kit;
using namespace kve::filesinks;

namespace {

constexpr std::array<Variable, 10> kVariables = {
    KVE_VARIABLE(TriggeredFileSinkModule, fileNumber, Int),
    KVE_VARIABLE(TriggeredFileSinkModule, samplesCaptured, Int),
    KVE_VARIABLE(TriggeredFileSinkModule, capturing, Int),
    KVE_VARIABLE(TriggeredFileSinkModule, writeStatus, Int),
    KVE_VARIABLE(TriggeredFileSinkModule, captureDuration, Float),
    KVE_VARIABLE(TriggeredFileSinkModule, captureLength, Int),
    KVE_VARIABLE(TriggeredFileSinkModule, baseNameWords, Int),
    KVE_VARIABLE(TriggeredFileSinkModule, conversion, UInt),
    KVE_ARRAY(TriggeredFileSinkModule, baseName, IntArray, perArgument(6)),
    KVE_ARRAY_IN(TriggeredFileSinkModule, buffer, IntArray, fixedLength(0), KVE_HEAPS_HOST_ARRAYS),
};

// ceil(rate x duration) frames, 0 for a duration that gives none or cannot be held.
uint32_t framesFor(float rate, float duration)
{
    const double frames = std::ceil(static_cast<double>(rate) * static_cast<double>(duration));
    if (!(frames > 0.0))
        return 0;
    return frames < double{UINT32_MAX / 4} ? static_cast<uint32_t>(frames) : UINT32_MAX / 4;
}

// The header's rate: the wire's rate truncated to an integer.
uint32_t rateOf(const GenericWire *w)
{
    const float r = w->sampleRate;
    return r >= 1.0f && r < 4294967040.0f ? static_cast<uint32_t>(r) : 0u;
}

uint32_t capacityFrames(ClassModule *m) { return capacity(m, 1) / std::max(KVE_WIRE_CHANNELS(wire(m, 1)->info1), 1u); }

ClassModule *triggeredFileSinkConstructor(int32_t *status, uint32_t wireWord, GenericWire **wires, uint32_t argc,
                                          const uint32_t *args)
{
    if (!requireWires(status, wireWord, 2, 0))
        return nullptr;
    // The buffer holds the larger of the stated length and what the duration asks, so Set's length always fits.
    uint32_t frames = 0;
    if (args != nullptr && argc > 5) {
        float duration;
        std::memcpy(&duration, &args[4], 4);
        frames = std::max(framesFor(wires[1]->sampleRate, duration), args[5] <= INT32_MAX ? args[5] : 0u);
    }
    auto variables = kVariables;
    if (!sizeArray(variables[9], uint64_t{frames} * KVE_WIRE_CHANNELS(wires[1]->info1), status))
        return nullptr;
    return construct(kve_modTriggeredFileSinkClass, variables, 2, 0, status, wireWord, wires, argc, args);
}

void triggeredFileSinkProcess(ClassModule *m)
{
    auto *s = reinterpret_cast<TriggeredFileSinkModule *>(m);
    const GenericWire *audio = wire(m, 1);
    if (s->capturing != 1) {
        if (*static_cast<const int32_t *>(wire(m, 0)->buffer) == 0)
            return;
        s->samplesCaptured = 0;
        s->capturing = 1;
    }
    const uint32_t channels = KVE_WIRE_CHANNELS(audio->info1);
    const uint32_t length = std::min(static_cast<uint32_t>(std::max(s->captureLength, 0)), capacityFrames(m));
    const uint32_t done = std::min(static_cast<uint32_t>(std::max(s->samplesCaptured, 0)), length);
    const uint32_t n = std::min(blockSize(audio), length - done);
    int32_t *to = s->buffer + size_t{done} * channels;
    const auto count = static_cast<int32_t>(n * channels);
    if (s->conversion >= 2)
        kve_vecFloatToFract32(static_cast<const float *>(audio->buffer), 1, to, 1, count);
    else
        kve_vecCopy32(audio->buffer, 1, to, 1, count);
    s->samplesCaptured = static_cast<int32_t>(done + n);
    if (done + n == length)
        kve_fwRequestDeferredSet(m);
}

int32_t triggeredFileSinkSet(ClassModule *m, uint32_t)
{
    auto *s = reinterpret_cast<TriggeredFileSinkModule *>(m);
    const GenericWire *audio = wire(m, 1);
    s->captureLength = static_cast<int32_t>(std::min(framesFor(audio->sampleRate, s->captureDuration),
                                                     capacityFrames(m)));
    if (s->capturing != 1 || s->samplesCaptured != s->captureLength)
        return KVE_OK;
    const size_t baseBytes = size_t{capacity(m, 0)} * 4;
    const auto *base = reinterpret_cast<const char *>(s->baseName);
    char name[4096];
    const int written = std::snprintf(name, sizeof name, "%.*s_%04d.wav", static_cast<int>(strnlen(base, baseBytes)),
                                      base, s->fileNumber);
    if (written < 0 || static_cast<size_t>(written) >= sizeof name)
        s->writeStatus = KVE_E_FILE_OPEN;
    else
        s->writeStatus = writeCapture(name, s->buffer, static_cast<uint32_t>(s->captureLength),
                                      KVE_WIRE_CHANNELS(audio->info1), rateOf(audio));
    // A failed capture is dropped like a written one: the next trigger goes to the next number.
    s->fileNumber = static_cast<int32_t>(static_cast<uint32_t>(s->fileNumber) + 1u);
    s->samplesCaptured = 0;
    s->capturing = 0;
    return KVE_OK;
}

} // namespace

extern "C" constinit const ClassRecord<10> kve_modTriggeredFileSinkClass = makeClass<10>(
    0xBEEF0D5Fu, {triggeredFileSinkConstructor, triggeredFileSinkProcess, IOMatchUpModule_Bypass, triggeredFileSinkSet},
    kVariables);
