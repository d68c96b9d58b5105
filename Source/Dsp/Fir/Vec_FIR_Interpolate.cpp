#include <cmath>
#include <cstddef>

#include "kve/kve_vec.h"

// Per input frame: the frame enters the ring at *stateIndex, and each phase p gives one output frame whose channel c
// is the sum over j of coeffs[p + j x interpolation] x channel c of the frame j frames old, fused multiply-adds in
// tap order from 0. The ring holds whole frames of numChannels interleaved samples.
extern "C" void kve_vecFIR_Interpolate(const float *src, int32_t numChannels, float *dst, const float *coeffs,
                                       int32_t stateLen, float *state, int32_t *stateIndex, int32_t nIn,
                                       int32_t interpolation, int32_t tapsPerPhase)
{
    if (nIn < 1 || numChannels < 1 || stateLen < 1 || interpolation < 1 || tapsPerPhase < 1) {
        return;
    }
    const ptrdiff_t channels = numChannels;
    const ptrdiff_t phases = interpolation;
    int32_t frameStart = *stateIndex;
    for (ptrdiff_t i = 0; i < nIn; ++i) {
        for (ptrdiff_t c = 0; c < channels; ++c) {
            state[frameStart + c] = src[i * channels + c];
        }
        for (ptrdiff_t p = 0; p < phases; ++p) {
            float *out = dst + (i * phases + p) * channels;
            for (int32_t c = 0; c < numChannels; ++c) {
                float sum = 0.0f;
                int32_t pos = frameStart + c;
                for (ptrdiff_t j = 0; j < tapsPerPhase; ++j) {
                    sum = std::fma(coeffs[p + j * phases], state[pos], sum);
                    pos -= numChannels;
                    pos = pos < 0 ? pos + stateLen : pos;
                }
                out[c] = sum;
            }
        }
        frameStart += numChannels;
        frameStart = frameStart >= stateLen ? frameStart - stateLen : frameStart;
    }
    *stateIndex = frameStart;
}
