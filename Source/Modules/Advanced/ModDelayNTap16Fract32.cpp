// DelayNTap16Fract32: one mono line of 16-bit samples (the top 16 bits of each Fract32 input sample) read by T taps
// with their own whole-sample delays; output mode 0 gives each tap a wire of its own, any other mode the T channels
// of one wire. The per-tap delays a host writes are held to 0 .. max.
#include <algorithm>

#include "Modules/Advanced/DelayLines.h"

namespace {

using namespace kve::kit;
using namespace kve::shapes;
using namespace kve::dly;

struct DelayNTap16Module {
    ClassModule header;
    int32_t taps;
    int32_t maxDelay;
    int32_t outputMode;
    int32_t writeIndex;
    int32_t heap;
    int32_t *delays;
    int32_t *line;
};

constexpr std::array<Variable, 7> kVariables = {
    KVE_VARIABLE(DelayNTap16Module, taps, Int),       KVE_VARIABLE(DelayNTap16Module, maxDelay, Int),
    KVE_VARIABLE(DelayNTap16Module, outputMode, Int), KVE_VARIABLE(DelayNTap16Module, writeIndex, Int),
    KVE_VARIABLE(DelayNTap16Module, heap, Int),
    KVE_ARRAY(DelayNTap16Module, delays, IntArray, fixedLength(0)),
    KVE_ARRAY(DelayNTap16Module, line, IntArray, fixedLength(0)),
};

// A delay a tap; the line: B + max 16-bit samples, padded to whole words.
ArraySize arraySize(ClassModule *m, uint32_t array)
{
    auto *s = reinterpret_cast<DelayNTap16Module *>(m);
    if (array == 0)
        return {heldDelay(s->taps, 1u << 20), 0x231};
    const uint64_t halves = uint64_t{blockSize(wire(m, 0))} + heldDelay(s->maxDelay, UINT32_MAX - 1);
    return {(halves + 1) / 2, static_cast<uint32_t>(s->heap)};
}

// Where tap t writes: wire t (mode 0) or channel t of the one output wire; its stride in words.
struct TapOut {
    int32_t *y;
    uint32_t stride;
    uint32_t frames;
};

uint32_t tapCount(ClassModule *m)
{
    auto *s = reinterpret_cast<DelayNTap16Module *>(m);
    const uint32_t wanted = std::min(heldDelay(s->taps, UINT32_MAX), capacity(m, 0));
    const GenericWire *first = wire(m, inputs(m));
    return std::min(wanted, s->outputMode == 0 ? outputs(m) : channels(first));
}

TapOut tapOut(ClassModule *m, uint32_t t)
{
    if (reinterpret_cast<DelayNTap16Module *>(m)->outputMode == 0) {
        const GenericWire *w = wire(m, inputs(m) + t);
        return {static_cast<int32_t *>(w->buffer) , channels(w), blockSize(w)};
    }
    const GenericWire *w = wire(m, inputs(m));
    return {static_cast<int32_t *>(w->buffer) + t, channels(w), blockSize(w)};
}

void delayNTap16Process(ClassModule *m)
{
    auto *s = reinterpret_cast<DelayNTap16Module *>(m);
    const GenericWire *in = wire(m, 0);
    const uint32_t block = blockSize(in);
    const uint64_t len64 = std::min<uint64_t>(uint64_t{block} + heldDelay(s->maxDelay, UINT32_MAX - 1),
                                              uint64_t{capacity(m, 1)} * 2);
    if (block == 0 || len64 < block || len64 > INT32_MAX)
        return;
    const auto len = static_cast<int32_t>(len64);
    const uint32_t maxDelay = static_cast<uint32_t>(len64) - block;
    auto *line = reinterpret_cast<int16_t *>(s->line);
    const auto *x = static_cast<const int32_t *>(in->buffer);
    int32_t w = ringIndex(s->writeIndex, len);
    for (uint32_t i = 0; i < block; ++i) {
        line[w] = static_cast<int16_t>(x[i * channels(in)] >> 16);
        w = w + 1 == len ? 0 : w + 1;
    }
    s->writeIndex = w;
    const uint32_t taps = tapCount(m);
    for (uint32_t t = 0; t < taps; ++t) {
        const TapOut o = tapOut(m, t);
        int32_t r = w - static_cast<int32_t>(block + heldDelay(s->delays[t], maxDelay));
        if (r < 0)
            r += len;
        const uint32_t n = std::min(block, o.frames);
        for (uint32_t i = 0; i < n; ++i) {
            o.y[i * o.stride] = static_cast<int32_t>(static_cast<uint32_t>(line[r]) << 16);
            r = r + 1 == len ? 0 : r + 1;
        }
    }
}

// Bypassed, every tap repeats the full input sample; the line is left as it was.
void delayNTap16Bypass(ClassModule *m)
{
    const GenericWire *in = wire(m, 0);
    const auto *x = static_cast<const int32_t *>(in->buffer);
    const uint32_t taps = tapCount(m);
    for (uint32_t t = 0; t < taps; ++t) {
        const TapOut o = tapOut(m, t);
        const uint32_t n = std::min(blockSize(in), o.frames);
        for (uint32_t i = 0; i < n; ++i)
            o.y[i * o.stride] = x[i * channels(in)];
    }
}

} // namespace

extern "C" constinit const ClassRecord<7> kve_modDelayNTap16Fract32Class = makeClass<7>(
    0xBEEF0CE9u,
    {withArrays<&kve_modDelayNTap16Fract32Class, 1, 1, 2, arraySize>, delayNTap16Process, delayNTap16Bypass},
    kVariables);
