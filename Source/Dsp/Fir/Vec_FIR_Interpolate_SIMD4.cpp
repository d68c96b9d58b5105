// GCC's predictive commoning would carry the overlapping window loads from one tap to the next in registers; with
// sixteen vector registers that pushes the accumulators out to memory and halves the speed of the tap loop. Set
// before every include, so all functions of this source are compiled alike and inline into one another.
#if defined(__GNUC__) && !defined(__clang__)
#pragma GCC optimize("no-predictive-commoning")
#endif

#include <cstddef>
#include <cstring>

#include "Dsp/Fir/Fir.h"
#include "kve/kve_vec.h"

// The interpolator on one linear history per channel, with the prototype time-reversed: input i of channel c gives,
// for each phase p, sum over k of coeffs[(interpolation - 1 - p) + k x interpolation] x history[i + k], even and odd
// taps in two chains of fused multiply-adds added at the end; inputs sixteen at a time, then four, then one by one,
// all by the same operations. Channel c's history spans tapsPerPhase - 1 + nIn words at c x that span during the
// call; between calls the last tapsPerPhase - 1 samples of every channel sit packed at the front, so the block
// length may change from call to call. Outputs are interleaved frames as the inputs are. stateLen and stateIndex
// are not used.
extern "C" void kve_vecFIR_Interpolate_SIMD4(const float *src, int32_t numChannels, float *dst, const float *coeffs,
                                             int32_t /*stateLen*/, float *state, int32_t * /*stateIndex*/,
                                             int32_t nIn, int32_t interpolation, int32_t tapsPerPhase)
{
    if (nIn < 1 || numChannels < 1 || interpolation < 1 || tapsPerPhase < 1) {
        return;
    }
    const ptrdiff_t channels = numChannels;
    const ptrdiff_t phases = interpolation;
    const ptrdiff_t inputs = nIn;
    const ptrdiff_t kept = tapsPerPhase - 1;
    const ptrdiff_t span = kept + inputs;
    const size_t keptBytes = static_cast<size_t>(kept) * sizeof(float);

    // Spread the packed histories out to their spans, the last channel first so that none is overwritten unmoved.
    for (ptrdiff_t c = channels - 1; c > 0; --c) {
        std::memmove(state + c * span, state + c * kept, keptBytes);
    }
    for (ptrdiff_t c = 0; c < channels; ++c) {
        for (ptrdiff_t i = 0; i < inputs; ++i) {
            state[c * span + kept + i] = src[i * channels + c];
        }
    }
    const ptrdiff_t frameStep = phases * channels;
    float y[16];
    for (ptrdiff_t c = 0; c < channels; ++c) {
        const float *x = state + c * span;
        for (ptrdiff_t p = 0; p < phases; ++p) {
            const float *phase = coeffs + (phases - 1 - p);
            float *out = dst + p * channels + c;
            ptrdiff_t i = 0;
            for (; inputs - i >= 16; i += 16) {
                kve_firConsecutiveSums<4>(x + i, phase, phases, tapsPerPhase, y);
                for (ptrdiff_t o = 0; o < 16; ++o) {
                    out[(i + o) * frameStep] = y[o];
                }
            }
            for (; inputs - i >= 4; i += 4) {
                kve_firConsecutiveSums<1>(x + i, phase, phases, tapsPerPhase, y);
                for (ptrdiff_t o = 0; o < 4; ++o) {
                    out[(i + o) * frameStep] = y[o];
                }
            }
            for (; i < inputs; ++i) {
                out[i * frameStep] = kve_firConsecutiveSum(x + i, phase, phases, tapsPerPhase);
            }
        }
    }
    // Pack the last samples of every channel back at the front, the first channel first.
    for (ptrdiff_t c = 0; c < channels; ++c) {
        std::memmove(state + c * kept, state + c * span + inputs, keptBytes);
    }
}
