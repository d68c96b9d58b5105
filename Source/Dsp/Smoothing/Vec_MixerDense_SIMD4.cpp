#include <cmath>
#include <cstddef>
#include <cstdint>

#include "Dsp/Lanes.h"
#include "Dsp/Neon.h"
#include "kve/kve_vec.h"

// Interleaved frames: dst[t][j] = sum over i of src[t][i] x gains[i x numOut + j] (the matrix input-major), each
// product fused into the sum in input order starting from 0. Outputs are formed four to a register within a frame,
// and the last one to three outputs four frames to a register, then one at a time; every path gives the same sum.
// numIn = 0 gives zeros.
extern "C" void kve_vecMixerDense(const float *src, int32_t numIn, float *dst, int32_t numOut, const float *gains,
                                  int32_t n)
{
    if (numIn < 0 || numOut < 1 || n < 1) {
        return;
    }
    const ptrdiff_t inputs = numIn;
    const ptrdiff_t outputs = numOut;
    const ptrdiff_t frames = n;
    const ptrdiff_t grouped = outputs - outputs % 4;
    for (ptrdiff_t t = 0; t < frames && grouped > 0; ++t) {
        const float *x = src + t * inputs;
        float *y = dst + t * outputs;
        for (ptrdiff_t j = 0; j < grouped; j += 4) {
            float32x4_t sum = vdupq_n_f32(0.0f);
            for (ptrdiff_t i = 0; i < inputs; ++i) {
                sum = vfmaq_n_f32(sum, vld1q_f32(gains + i * outputs + j), x[i]);
            }
            vst1q_f32(y + j, sum);
        }
    }
    for (ptrdiff_t j = grouped; j < outputs; ++j) {
        ptrdiff_t t = 0;
        for (; frames - t >= 4; t += 4) {
            const float *x = src + t * inputs;
            float32x4_t sum = vdupq_n_f32(0.0f);
            for (ptrdiff_t i = 0; i < inputs; ++i) {
                sum = vfmaq_n_f32(sum, kve_gather4F32(x + i, inputs), gains[i * outputs + j]);
            }
            kve_scatter4F32(dst + t * outputs + j, outputs, sum);
        }
        for (; t < frames; ++t) {
            const float *x = src + t * inputs;
            float sum = 0.0f;
            for (ptrdiff_t i = 0; i < inputs; ++i) {
                sum = std::fma(x[i], gains[i * outputs + j], sum);
            }
            dst[t * outputs + j] = sum;
        }
    }
}
