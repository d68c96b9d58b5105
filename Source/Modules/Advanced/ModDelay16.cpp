// Delay16: the input delayed by whole frames through a line of 16-bit samples, half the memory of a 32-bit line:
// Fract32 samples keep their top 16 bits (rounded), float samples (float mode) are stored as 16-bit fractions.
#include "Modules/Advanced/DelayLines.h"
#include "kve/kve_vec_generators.h"

namespace {

using namespace kve::kit;
using namespace kve::shapes;
using namespace kve::dly;

struct Delay16Module {
    ClassModule header;
    int32_t maxDelay;
    int32_t delay;
    int32_t writeIndex;
    int32_t heap;
    int32_t floatMode;
    int32_t *line;
};

constexpr std::array<Variable, 6> kVariables = {
    KVE_VARIABLE(Delay16Module, maxDelay, Int),   KVE_VARIABLE(Delay16Module, delay, Int),
    KVE_VARIABLE(Delay16Module, writeIndex, Int), KVE_VARIABLE(Delay16Module, heap, Int),
    KVE_VARIABLE(Delay16Module, floatMode, Int),
    KVE_ARRAY(Delay16Module, line, IntArray, fixedLength(0)),
};

// (max + 1) frames of 16-bit samples, padded to whole words.
ArraySize lineSize(ClassModule *m, uint32_t)
{
    auto *s = reinterpret_cast<Delay16Module *>(m);
    const uint64_t halves = uint64_t{channels(wire(m, 0))} * (uint64_t{heldDelay(s->maxDelay, UINT32_MAX - 1)} + 1);
    return {(halves + 1) / 2, static_cast<uint32_t>(s->heap)};
}

void delay16Process(ClassModule *m)
{
    auto *s = reinterpret_cast<Delay16Module *>(m);
    const GenericWire *in = wire(m, 0);
    const GenericWire *out = wire(m, inputs(m));
    const uint32_t ch = channels(in);
    const uint64_t frames = ch == 0 ? 0 : uint64_t{capacity(m, 0)} * 2 / ch;
    if (frames == 0 || frames > INT32_MAX)
        return;
    const uint32_t maxDelay = std::min<uint32_t>(heldDelay(s->maxDelay, UINT32_MAX), static_cast<uint32_t>(frames - 1));
    const auto len = static_cast<int32_t>(ch * (maxDelay + 1));
    const uint32_t delay = heldDelay(s->delay, maxDelay);
    int32_t w = ringIndex(s->writeIndex, len);
    int32_t r = w - static_cast<int32_t>(delay * ch);
    if (r < 0)
        r += len;
    auto *line = reinterpret_cast<int16_t *>(s->line);
    const int32_t n = held({in, out});
    if (s->floatMode != 0)
        kve_vecCircWriteRead16Float(line, len, &w, &r, static_cast<const float *>(in->buffer),
                                    static_cast<float *>(out->buffer), n);
    else
        kve_vecCircWriteRead16(line, len, &w, &r, static_cast<const Fract32 *>(in->buffer),
                               static_cast<Fract32 *>(out->buffer), n);
    s->writeIndex = w;
}

} // namespace

extern "C" constinit const ClassRecord<6> kve_modDelay16Class =
    makeClass<6>(0xBEEF0CE6u, {withArrays<&kve_modDelay16Class, 1, 1, 1, lineSize>, delay16Process}, kVariables);
