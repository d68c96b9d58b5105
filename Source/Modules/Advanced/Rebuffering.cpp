// Frame arithmetic of the rebuffering modules, and the ring geometry a FifoIn and its FifoOut must agree on.
#include <algorithm>
#include <cstring>

#include "Modules/Advanced/Rebuffering.h"
#include "kve/kve_vec.h"

namespace kve::rebuffering {

Frames framesOf(const GenericWire *w)
{
    const uint32_t parts = KVE_WIRE_COMPLEX(w->info1) != 0 ? 2 : 1;
    const uint32_t words = KVE_WIRE_CHANNELS(w->info1) * parts;
    // A wire without channels holds no frame, whatever its block.
    return {words, words == 0 ? 0 : kit::blockSize(w) / parts};
}

uint32_t framesHeld(const GenericWire *out, uint32_t words) { return words == 0 ? 0 : kit::wireWords(out) / words; }

uint32_t fifoRingWords(ClassModule *fifoIn)
{
    const auto *f = reinterpret_cast<const FifoInModule *>(fifoIn);
    if (f->capacity <= 0)
        return 0;
    // The buffer holds one word beyond the ring it was built for; a host's larger capacity stays inside that ring.
    const uint64_t words = static_cast<uint64_t>(KVE_WIRE_CHANNELS(kit::wire(fifoIn, 0)->info1)) *
                           static_cast<uint64_t>(f->capacity);
    const uint32_t built = kit::capacity(fifoIn, 0);
    return static_cast<uint32_t>(std::min<uint64_t>(words, built == 0 ? 0 : built - 1));
}

void padWithZeros(ClassModule *m)
{
    const GenericWire *in = kit::wire(m, 0);
    GenericWire *out = kit::wire(m, 1);
    const uint32_t outWords = kit::wireWords(out);
    const uint32_t copied = std::min(kit::wireWords(in), outWords);
    auto *dst = static_cast<float *>(out->buffer);
    std::memmove(dst, in->buffer, copied * sizeof(float));
    kve_vecFill(dst + copied, 1, 0.0f, static_cast<int32_t>(outWords - copied));
}

} // namespace kve::rebuffering
