// What the delay classes share: their rings, and the modulated delays' per-sample loop.
#include <algorithm>
#include <cstring>

#include "Modules/Standard/Delays.h"

namespace kve::delays {

using namespace kve::kit;
using namespace kve::shapes;

ClassModule *constructWithOwnArray(const ModClassDescriptor &record, uint32_t inputs, uint32_t outputs,
                                   SizeOwnArray size, int32_t *status, uint32_t wireWord, GenericWire **wires,
                                   uint32_t argc, const uint32_t *args)
{
    if (!requireWires(status, wireWord, inputs, outputs))
        return nullptr;
    ClassModule *m = BaseClassModule_ConstructorHidden(&record, status, wireWord, wires, argc, args, 1);
    if (m == nullptr)
        return nullptr;
    const OwnArray own = size(m);
    void *p = own.words * 4 <= UINT32_MAX ? kve_fwMalloc(static_cast<uint32_t>(own.words * 4), own.heaps, status)
                                          : nullptr;
    if (p == nullptr) {
        if (*status == KVE_OK)
            *status = KVE_E_HEAPS_FULL;
        return nullptr;
    }
    std::memcpy(own.array, &p, sizeof p);
    kve_fwModuleHiddenWords(m)[0] = static_cast<uint32_t>(own.words);
    return m;
}

OwnArray modulatedRing(ClassModule *m)
{
    auto *s = reinterpret_cast<ModulatedDelayModule *>(m);
    return {&s->state, uint64_t{channels(wire(m, 1))} * (uint64_t{s->maxDelay} + 1), s->stateHeap};
}

void processModulated(ClassModule *m, float lowest, Tap tap)
{
    auto *s = reinterpret_cast<ModulatedDelayModule *>(m);
    const GenericWire *mod = wire(m, 0);
    const GenericWire *in = wire(m, 1);
    const GenericWire *out = wire(m, inputs(m));
    const uint32_t ch = channels(in);
    if (ch == 0)
        return;
    // The ring this wire was built for, and the longest delay it holds.
    const uint32_t frames = capacity(m, 0) / ch;
    if (frames == 0)
        return;
    const uint32_t maxDelay = std::min(s->maxDelay, frames - 1);
    const auto ring = static_cast<int64_t>(ch) * (maxDelay + 1);
    const uint32_t modFrames = blockSize(mod);
    const uint32_t modStride = channels(mod);
    const bool perBlock = modFrames == 1;
    const float *control = static_cast<const float *>(mod->buffer);
    const float *x = static_cast<const float *>(in->buffer);
    float *y = static_cast<float *>(out->buffer);
    const uint32_t outWords = wireWords(out);
    const uint32_t block = blockSize(in);
    int64_t at = s->stateIndex % ring;
    const float top = static_cast<float>(maxDelay);
    const float bottom = std::min(lowest, top);
    for (uint32_t t = 0; t < block; ++t) {
        // One control value per block from a one-sample wire; never a frame past the control wire's own block.
        const uint32_t j = perBlock ? 0 : std::min(t, modFrames == 0 ? 0 : modFrames - 1);
        const float v = modFrames != 0 && modStride != 0 ? control[j * modStride] : 0.0f;
        float d = std::fma(v, s->modDepth, s->currentDelay);
        d = d == d ? std::clamp(d, bottom, top) : bottom;
        const auto k = static_cast<int64_t>(d);
        const float f = d - static_cast<float>(k);
        const int64_t before = at;
        for (uint32_t c = 0; c < ch; ++c) {
            s->state[at] = x[t * ch + c];
            at = at + 1 == ring ? 0 : at + 1;
        }
        for (uint32_t c = 0; c < ch; ++c) {
            const uint32_t o = t * ch + c;
            if (o < outWords)
                y[o] = tap(s->state, ring, before, ch, c, k, f);
        }
    }
    s->stateIndex = static_cast<uint32_t>(at);
}

void bypassModulated(ClassModule *m)
{
    const GenericWire *in = wire(m, 1);
    const GenericWire *out = wire(m, inputs(m));
    std::memmove(out->buffer, in->buffer, static_cast<size_t>(held({in, out})) * 4);
}

} // namespace kve::delays
