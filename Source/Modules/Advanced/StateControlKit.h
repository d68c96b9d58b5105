// The time-out's steps, shared by its float and Fract32 forms: a Traits type gives the sample type and the kernels.
#pragma once

#include <algorithm>

#include "Modules/Advanced/StateControl.h"
#include "kve/kve_vec_conversion.h"

namespace kve::statecontrol {

// K inputs and K outputs, wire k feeding output k.
template <const auto *Record, const auto &Variables>
ClassModule *timeOutConstruct(int32_t *status, uint32_t wireWord, GenericWire **wires, uint32_t argc,
                              const uint32_t *args)
{
    const uint32_t n = std::max(KVE_PACKED_INPUTS(wireWord), 1u);
    return kit::construct(*Record, Variables, n, n, status, wireWord, wires, argc, args);
}

// The frames wire k and its output both hold for N channels: a wire of another shape is never overrun.
inline int32_t framesOf(const GenericWire *in, const GenericWire *out, uint32_t n, uint32_t b)
{
    const uint32_t words = std::min({n * b, kit::wireWords(in), kit::wireWords(out)});
    return static_cast<int32_t>(n == 0 ? 0 : words / n);
}

template <class Traits, class Module> void timeOutProcess(ClassModule *m)
{
    using T = typename Traits::Sample;
    auto *s = reinterpret_cast<Module *>(m);
    const uint32_t k = KVE_PACKED_INPUTS(m->packed);
    const GenericWire *first = kit::wire(m, 0);
    const uint32_t n = KVE_WIRE_CHANNELS(first->info1);
    const uint32_t b = kit::blockSize(first);
    auto in = [&](uint32_t w) { return static_cast<T *>(kit::wire(m, w)->buffer); };
    auto out = [&](uint32_t w) { return static_cast<T *>(kit::wire(m, k + w)->buffer); };
    auto frames = [&](uint32_t w) { return framesOf(kit::wire(m, w), kit::wire(m, k + w), n, b); };

    if (s->blockCounter < s->timeoutBlocks) {
        ++s->blockCounter;
        for (uint32_t w = 0; w < k; ++w)
            kve_vecCopy32(in(w), 1, out(w), 1, frames(w) * static_cast<int32_t>(n));
        return;
    }
    switch (s->action) {
    case 0:
        for (uint32_t w = 0; w < k; ++w)
            Traits::fill(out(w), static_cast<int32_t>(kit::wireWords(kit::wire(m, k + w))));
        return;
    case 1: {
        // Every wire starts from the stored gain, so all of them see one ramp in the block.
        auto gain = s->currentGain;
        for (uint32_t w = 0; w < k; ++w) {
            gain = s->currentGain;
            Traits::scaleNch(s, in(w), out(w), static_cast<int32_t>(n), &gain, frames(w));
        }
        s->currentGain = gain;
        return;
    }
    case 2: {
        T *o = out(0);
        const int32_t f = framesOf(kit::wire(m, k), kit::wire(m, k), n, b);
        const int32_t length = playableLength(m, s->bufferLength, s->buffer, &s->bufferIndex);
        if (length == 0) {
            Traits::fill(o, f * static_cast<int32_t>(n));
        } else {
            for (int32_t i = 0; i < f; ++i) {
                o[static_cast<size_t>(i) * n] = s->buffer[s->bufferIndex];
                if (++s->bufferIndex >= length)
                    s->bufferIndex = 0;
            }
            Traits::scale(s, o, static_cast<int32_t>(n), &s->currentGain, f);
            for (int32_t i = 0; i < f; ++i)
                std::fill_n(o + static_cast<size_t>(i) * n + 1, n - 1, o[static_cast<size_t>(i) * n]);
        }
        const uint32_t words = static_cast<uint32_t>(f) * n;
        for (uint32_t w = 1; w < k; ++w)
            kve_vecCopy32(o, 1, out(w), 1, static_cast<int32_t>(std::min(words, kit::wireWords(kit::wire(m, k + w)))));
        return;
    }
    default:
        return; // any other action leaves the outputs as their wires hold them
    }
}

} // namespace kve::statecontrol
