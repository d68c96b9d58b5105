// Debounce: passes a change of its input block at once, then holds that block for waitBlocks blocks, ignoring
// further changes meanwhile.
#include <algorithm>
#include <cmath>
#include <limits>

#include "Modules/Standard/Control.h"

namespace {

using namespace kve::kit;

constexpr uint32_t kHeaps = 0x231u;

struct DebounceModule {
    ClassModule header;
    float waitTime; // ms
    int32_t countdown;
    int32_t waitBlocks;
    uint32_t reset;
    uint32_t *held;
};

// Held holds every word of the input wire, so that every channel of a block is debounced.
constexpr std::array<Variable, 5> kVariables = {
    KVE_VARIABLE(DebounceModule, waitTime, Float),
    KVE_VARIABLE(DebounceModule, countdown, Int),
    KVE_VARIABLE(DebounceModule, waitBlocks, Int),
    KVE_VARIABLE(DebounceModule, reset, UInt),
    KVE_ARRAY_IN(DebounceModule, held, IntArray, perWordOfWire(0), kHeaps),
};

// Blocks to hold after a change: the wait time in blocks of wire 0, rounded up, less the block that passes the
// change. A wait that is negative, not a number or not finite holds nothing; a wait beyond the counter's range
// holds for the longest count.
int32_t blocksToWait(float waitTimeMs, const GenericWire *w)
{
    const float blockSeconds = static_cast<float>(blockSize(w)) / w->sampleRate;
    const float blocks = std::ceil(waitTimeMs * 0.001f / blockSeconds) - 1.0f;
    if (!std::isfinite(blocks) || blocks <= 0.0f)
        return 0;
    if (blocks >= 2147483648.0f)
        return std::numeric_limits<int32_t>::max();
    return static_cast<int32_t>(blocks);
}

int32_t debounceSet(ClassModule *m, uint32_t)
{
    auto *s = reinterpret_cast<DebounceModule *>(m);
    s->waitBlocks = blocksToWait(s->waitTime, wire(m, 0));
    return 0;
}

void debounceProcess(ClassModule *m)
{
    auto *s = reinterpret_cast<DebounceModule *>(m);
    const GenericWire *in = wire(m, 0);
    GenericWire *out = wire(m, kve::shapes::inputs(m));
    const uint32_t kept = capacity(m, 0);
    const uint32_t taken = std::min(kept, wireWords(in));
    const auto *input = static_cast<const uint32_t *>(in->buffer);
    if (s->reset != 0) {
        std::copy_n(input, taken, s->held);
        s->reset = 0;
        s->countdown = s->waitBlocks;
    }
    if (s->countdown > 0) {
        s->countdown -= 1;
    } else if (!std::equal(input, input + taken, s->held)) {
        std::copy_n(input, taken, s->held);
        s->countdown = s->waitBlocks;
    }
    std::copy_n(s->held, std::min(kept, wireWords(out)), static_cast<uint32_t *>(out->buffer));
}

} // namespace

extern "C" constinit const ClassRecord<5> kve_modDebounceClass = makeClass<5>(
    0xBEEF0821u, {.constructor = kve::control::withArrays<&kve_modDebounceClass, &kVariables, 1, 1>,
                  .process = debounceProcess, .set = debounceSet},
    kVariables);
