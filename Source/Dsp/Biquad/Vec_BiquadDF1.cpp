#include <cmath>
#include <cstdint>

#include "Dsp/Biquad/BiquadFloat.h"
#include "kve/kve_vec.h"

namespace {

// One direct-form-I section; state x1, x2, y1, y2. With a2 = 0 and b2 = 0 (as stored) it runs first-order and never
// touches x2 and y2, so a later block with second-order coefficients starts from the ones it had.
// y = fma(b0, x, fma(-a2, y2, b2 x2) + fma(-a1, y1, b1 x1)); first-order: y = fma(b0, x, fma(-a1, y1, b1 x1)).
class Df1Section {
public:
    static constexpr int kWords = 4;
    float word[kWords];

    Df1Section() = default;
    template <typename Coeff>
    explicit Df1Section(Coeff c)
        : b0_(c(0)), b1_(c(1)), b2_(c(2)), na1_(-c(3)), na2_(-c(4)), firstOrder_(c(4) == 0.0f && c(2) == 0.0f)
    {
    }

    float step(float x)
    {
        float &x1 = word[0], &x2 = word[1], &y1 = word[2], &y2 = word[3];
        if (firstOrder_) {
            const float y = std::fma(b0_, x, std::fma(na1_, y1, b1_ * x1));
            x1 = x;
            y1 = y;
            return y;
        }
        const float older = std::fma(na2_, y2, b2_ * x2);
        const float newer = std::fma(na1_, y1, b1_ * x1);
        const float y = std::fma(b0_, x, older + newer);
        x2 = x1;
        x1 = x;
        y2 = y1;
        y1 = y;
        return y;
    }

private:
    float b0_, b1_, b2_, na1_, na2_;
    bool firstOrder_;
};

} // namespace

// One direct-form-I section; state x[n-1], x[n-2], y[n-1], y[n-2].
extern "C" void kve_vecBiquad_DF1(const float *src, int32_t srcInc, float *dst, int32_t dstInc, const float *coeffs,
                                  float *state, int32_t n)
{
    kve_runCascade<Df1Section>(src, srcInc, dst, dstInc, coeffs, state, 1, n);
}

// numStages direct-form-I sections, four state words each.
extern "C" void kve_vecBiquadCascade_DF1(const float *src, int32_t srcInc, float *dst, int32_t dstInc,
                                         const float *coeffs, float *state, int32_t numStages, int32_t n)
{
    kve_runCascade<Df1Section>(src, srcInc, dst, dstInc, coeffs, state, numStages, n);
}
