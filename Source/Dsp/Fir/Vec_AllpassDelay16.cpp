#include <cmath>
#include <cstddef>

#include "kve/kve_vec.h"

namespace {

// The Q15 word stored for w: w x 32768 clamped to -32768..32767, moved up by one half and truncated toward zero
// (so -32768 is stored as -32767). NaN stores 0, so one bad sample does not leave a full-scale word circulating.
int16_t storedWord(float w)
{
    if (std::isnan(w)) {
        return 0;
    }
    const float scaled = w * 32768.0f;
    const float clamped = scaled < -32768.0f ? -32768.0f : (scaled > 32767.0f ? 32767.0f : scaled);
    return static_cast<int16_t>(static_cast<int32_t>(clamped + 0.5f));
}

} // namespace

// Schroeder allpass on a Q15 ring: d = delayLine[read] x 2^-15, w = x + gain x d, y = d - gain x w (both fused); w
// is stored at the write index and both indices advance, wrapping to 0 at delayLen. delayedOut receives d.
extern "C" void kve_vecAllpassDelay16(int16_t *delayLine, int32_t delayLen, int32_t *writeIndex, int32_t *readIndex,
                                      const float *src, float *dst, float *delayedOut, int32_t n, float gain)
{
    if (n < 1 || delayLen < 1) {
        return;
    }
    int32_t write = *writeIndex;
    int32_t read = *readIndex;
    for (ptrdiff_t i = 0; i < n; ++i) {
        const float x = src[i];
        const float d = static_cast<float>(delayLine[read]) * 0x1p-15f;
        const float w = std::fma(gain, d, x);
        delayedOut[i] = d;
        dst[i] = std::fma(-gain, w, d);
        delayLine[write] = storedWord(w);
        write = write + 1 == delayLen ? 0 : write + 1;
        read = read + 1 == delayLen ? 0 : read + 1;
    }
    *writeIndex = write;
    *readIndex = read;
}
