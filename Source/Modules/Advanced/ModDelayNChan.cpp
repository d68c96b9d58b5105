// DelayNChan: every channel delayed by its own whole number of samples, each through a line of its own of
// B + max + 1 samples; the per-channel delays are written by a host and held to 0 .. max.
#include <algorithm>

#include "Modules/Advanced/DelayLines.h"
#include "kve/kve_vec_generators.h"

namespace {

using namespace kve::kit;
using namespace kve::shapes;
using namespace kve::dly;

struct DelayNChanModule {
    ClassModule header;
    int32_t maxDelay;
    int32_t heap;
    int32_t *delays;
    int32_t *writeIndexes;
    float *lines;
};

constexpr std::array<Variable, 5> kVariables = {
    KVE_VARIABLE(DelayNChanModule, maxDelay, Int),
    KVE_VARIABLE(DelayNChanModule, heap, Int),
    KVE_ARRAY(DelayNChanModule, delays, IntArray, fixedLength(0)),
    KVE_ARRAY(DelayNChanModule, writeIndexes, IntArray, fixedLength(0)),
    KVE_ARRAY(DelayNChanModule, lines, FloatArray, fixedLength(0)),
};

// The delays and write indexes, one a channel; then N lines of B + max + 1 samples and a spare frame.
ArraySize arraySize(ClassModule *m, uint32_t array)
{
    auto *s = reinterpret_cast<DelayNChanModule *>(m);
    const GenericWire *in = wire(m, 0);
    const uint64_t ch = channels(in);
    if (array < 2)
        return {ch, KVE_HEAPS_DEFAULT};
    const uint64_t perLine = uint64_t{blockSize(in)} + heldDelay(s->maxDelay, UINT32_MAX - 2) + 2;
    return {ch * perLine, static_cast<uint32_t>(s->heap)};
}

void delayNChanProcess(ClassModule *m)
{
    auto *s = reinterpret_cast<DelayNChanModule *>(m);
    const GenericWire *in = wire(m, 0);
    const GenericWire *out = wire(m, inputs(m));
    const uint32_t ch = std::min({channels(in), channels(out), capacity(m, 0), capacity(m, 1)});
    const uint32_t block = blockSize(in);
    if (ch == 0 || block == 0 || blockSize(out) < block)
        return;
    // Each line as long as the lines built for this wire allow, and the delay it can hold.
    const uint64_t perLine = std::min<uint64_t>(uint64_t{block} + heldDelay(s->maxDelay, UINT32_MAX - 2) + 1,
                                                capacity(m, 2) / channels(in));
    if (perLine <= block || perLine > INT32_MAX)
        return;
    const auto len = static_cast<int32_t>(perLine);
    const uint32_t maxDelay = static_cast<uint32_t>(perLine) - block - 1;
    const auto *x = static_cast<const float *>(in->buffer);
    auto *y = static_cast<float *>(out->buffer);
    const auto outCh = static_cast<int32_t>(channels(out));
    for (uint32_t c = 0; c < ch; ++c) {
        float *line = s->lines + uint64_t{c} * perLine;
        int32_t w = ringIndex(s->writeIndexes[c], len);
        int32_t r = w - static_cast<int32_t>(heldDelay(s->delays[c], maxDelay));
        if (r < 0)
            r += len;
        kve_vecCircWrite(line, len, &w, 1, x + c, static_cast<int32_t>(channels(in)), static_cast<int32_t>(block));
        kve_vecCircRead(line, len, &r, 1, y + c, outCh, static_cast<int32_t>(block));
        s->writeIndexes[c] = w;
    }
}

} // namespace

extern "C" constinit const ClassRecord<5> kve_modDelayNChanClass = makeClass<5>(
    0xBEEF0D57u, {withArrays<&kve_modDelayNChanClass, 1, 1, 3, arraySize>, delayNChanProcess}, kVariables);
