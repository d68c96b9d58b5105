// DelayNTap: one mono line read by T taps, each with its own whole-sample delay, into the T channels of the output.
// The line keeps B + max samples; the per-tap delays a host writes are held to 0 .. max.
#include <algorithm>

#include "Modules/Advanced/DelayLines.h"
#include "kve/kve_vec_generators.h"

namespace {

using namespace kve::kit;
using namespace kve::shapes;
using namespace kve::dly;

struct DelayNTapModule {
    ClassModule header;
    int32_t maxDelay;
    int32_t writeIndex;
    int32_t unused;
    int32_t *delays;
    float *line;
};

constexpr std::array<Variable, 5> kVariables = {
    KVE_VARIABLE(DelayNTapModule, maxDelay, Int),
    KVE_VARIABLE(DelayNTapModule, writeIndex, Int),
    KVE_VARIABLE(DelayNTapModule, unused, Int),
    KVE_ARRAY(DelayNTapModule, delays, IntArray, fixedLength(0)),
    KVE_ARRAY(DelayNTapModule, line, FloatArray, fixedLength(0)),
};

// A delay a tap, as many as the output has channels; the line: B + max samples and a spare one.
ArraySize arraySize(ClassModule *m, uint32_t array)
{
    if (array == 0)
        return {channels(wire(m, inputs(m))), 0x231};
    const uint64_t max = heldDelay(reinterpret_cast<DelayNTapModule *>(m)->maxDelay, UINT32_MAX - 1);
    return {uint64_t{blockSize(wire(m, 0))} + max + 1, 0x23};
}

void delayNTapProcess(ClassModule *m)
{
    auto *s = reinterpret_cast<DelayNTapModule *>(m);
    const GenericWire *in = wire(m, 0);
    const GenericWire *out = wire(m, inputs(m));
    const uint32_t block = std::min(blockSize(in), blockSize(out));
    const uint64_t len64 = std::min<uint64_t>(uint64_t{blockSize(in)} + heldDelay(s->maxDelay, UINT32_MAX - 1),
                                              capacity(m, 1) - 1);
    if (block == 0 || len64 < blockSize(in) || len64 > INT32_MAX)
        return;
    const auto len = static_cast<int32_t>(len64);
    const uint32_t maxDelay = static_cast<uint32_t>(len64) - blockSize(in);
    int32_t w = ringIndex(s->writeIndex, len);
    kve_vecCircWrite(s->line, len, &w, 1, in->buffer, static_cast<int32_t>(channels(in)),
                     static_cast<int32_t>(blockSize(in)));
    s->writeIndex = w;
    const uint32_t taps = std::min(channels(out), capacity(m, 0));
    auto *y = static_cast<float *>(out->buffer);
    for (uint32_t t = 0; t < taps; ++t) {
        int32_t r = w - static_cast<int32_t>(blockSize(in) + heldDelay(s->delays[t], maxDelay));
        if (r < 0)
            r += len;
        kve_vecCircRead(s->line, len, &r, 1, y + t, static_cast<int32_t>(channels(out)), static_cast<int32_t>(block));
    }
}

// Bypassed, every tap channel repeats the mono input; the line is left as it was.
void delayNTapBypass(ClassModule *m)
{
    const GenericWire *in = wire(m, 0);
    const GenericWire *out = wire(m, inputs(m));
    const uint32_t block = std::min(blockSize(in), blockSize(out));
    const uint32_t taps = channels(out);
    const auto *x = static_cast<const uint32_t *>(in->buffer);
    auto *y = static_cast<uint32_t *>(out->buffer);
    for (uint32_t i = 0; i < block; ++i)
        for (uint32_t t = 0; t < taps; ++t)
            y[i * taps + t] = x[i * channels(in)];
}

} // namespace

extern "C" constinit const ClassRecord<5> kve_modDelayNTapClass = makeClass<5>(
    0xBEEF0CE8u, {withArrays<&kve_modDelayNTapClass, 1, 1, 2, arraySize>, delayNTapProcess, delayNTapBypass},
    kVariables);
