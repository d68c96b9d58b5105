#include <cstddef>
#include <cstdint>

#include "Dsp/Biquad/BiquadFloat.h"
#include "kve/kve_vec.h"

namespace {

// One transposed-direct-form-II section on the two channels of a frame, channel 0 in lane 0 and channel 1 in lane 1
// (lanes 2 and 3 repeat them); state per section s0 of channel 0, s0 of channel 1, s1 of channel 0, s1 of channel 1.
//   rounded: y = b0 x + s0; s0' = (s1 - a1 y) + b1 x; s1' = b2 x - a2 y, every product rounded
//   fused:   y = fma(b0, x, s0); s0' = fma(-a1, y, b1 x) + s1; s1' = fma(-a2, y, b2 x)
template <bool Fused>
class Tdf2Section {
public:
    static constexpr int kWords = 2;
    float32x4_t word[kWords];

    Tdf2Section() = default;
    template <typename Coeff>
    explicit Tdf2Section(Coeff c)
        : b0_(c(0)), b1_(c(1)), b2_(c(2)), a1_(Fused ? vnegq_f32(c(3)) : c(3)), a2_(Fused ? vnegq_f32(c(4)) : c(4))
    {
    }

    float32x4_t step(float32x4_t x)
    {
        float32x4_t &s0 = word[0], &s1 = word[1];
        if constexpr (Fused) {
            const float32x4_t y = vfmaq_f32(s0, b0_, x);
            s0 = vaddq_f32(vfmaq_f32(vmulq_f32(b1_, x), a1_, y), s1);
            s1 = vfmaq_f32(vmulq_f32(b2_, x), a2_, y);
            return y;
        } else {
            const float32x4_t y = vaddq_f32(vmulq_f32(b0_, x), s0);
            s0 = vaddq_f32(vsubq_f32(s1, vmulq_f32(a1_, y)), vmulq_f32(b1_, x));
            s1 = vsubq_f32(vmulq_f32(b2_, x), vmulq_f32(a2_, y));
            return y;
        }
    }

private:
    float32x4_t b0_, b1_, b2_, a1_, a2_; // a1, a2 negated in the fused form
};

template <bool Fused>
void transposedCascade(const float *src, int32_t srcInc, float *dst, int32_t dstInc, const float *coeffs0,
                       const float *coeffs1, float *state, int32_t numStages, int32_t n)
{
    const KveBiquadLanes<2> bank = {{coeffs0, coeffs1}, {state, state + 1}, 4, 2};
    kve_runLaneCascade<Tdf2Section<Fused>, 2>(src, srcInc, dst, dstInc, bank, numStages, n);
}

} // namespace

// One transposed-direct-form-II section on two interleaved channels, one coefficient set, every product rounded.
extern "C" void kve_vecBiquad_SIMD4(const float *src, int32_t srcInc, float *dst, int32_t dstInc, const float *coeffs,
                                    float *state, int32_t n)
{
    transposedCascade<false>(src, srcInc, dst, dstInc, coeffs, coeffs, state, 1, n);
}

// numStages such sections, four state words each.
extern "C" void kve_vecBiquadCascade_SIMD4(const float *src, int32_t srcInc, float *dst, int32_t dstInc,
                                           const float *coeffs, float *state, int32_t numStages, int32_t n)
{
    transposedCascade<false>(src, srcInc, dst, dstInc, coeffs, coeffs, state, numStages, n);
}

// numStages sections with fused multiply-adds, channel 0 through coeffs0 and channel 1 through coeffs1.
extern "C" void kve_vecBiquadNCascade_SIMD4(const float *src, int32_t srcInc, float *dst, int32_t dstInc,
                                            const float *coeffs0, const float *coeffs1, float *state,
                                            int32_t numStages, int32_t n)
{
    transposedCascade<true>(src, srcInc, dst, dstInc, coeffs0, coeffs1, state, numStages, n);
}
