#include <atomic>
#include <cstddef>

#include "Dsp/Generators/Lcg.h"
#include "kve/kve_vec.h"

namespace {

// The noise source shared by every caller in the process. Kernels run on the audio thread, where a lock (as the C
// library's rand() takes) could block it, so the state is one atomic word read at the start of a call and written at
// its end. Calls that overlap on two threads may hand out the same values, which for noise does no harm.
std::atomic<uint32_t> noiseState{1u};

} // namespace

// dst = (r - 1073741823) x amplitude x 2^-30 for 31-bit values r (the top bits of the generator, whose low bits
// repeat with short periods), so the samples lie in [-amplitude x (1 - 2^-30), amplitude x (1 + 2^-30)].
extern "C" void kve_vecWhiteNoise(float *dst, int32_t dstInc, int32_t n, float amplitude)
{
    if (n < 1) {
        return;
    }
    const float scale = amplitude * 9.313226e-10f;
    uint32_t x = noiseState.load(std::memory_order_relaxed);
    ptrdiff_t at = 0;
    for (int32_t i = 0; i < n; ++i) {
        x = kve_lcgNext(x);
        const int32_t centred = static_cast<int32_t>(x >> 1) - 1073741823;
        dst[at] = static_cast<float>(centred) * scale;
        at += dstInc;
    }
    noiseState.store(x, std::memory_order_relaxed);
}
