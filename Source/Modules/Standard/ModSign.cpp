// Sign: the sign of every sample of wire 0 into wire 1: -1 below zero, 0 for either zero, +1 above (NaN counts as
// above). On a complex wire every (re, im) pair becomes the unit phasor of its angle, (re, im) / |re + i im|, and
// (0, 0) stays (0, 0).
#include "Modules/Standard/MathLanes.h"

using namespace kve::math;

namespace {

float signOf(float x) { return x < 0.0f ? -1.0f : x == 0.0f ? 0.0f : 1.0f; }

float32x4_t signOf(float32x4_t x)
{
    const float32x4_t zero = vdupq_n_f32(0.0f);
    const float32x4_t unit = vbslq_f32(vcltq_f32(x, zero), vdupq_n_f32(-1.0f), vdupq_n_f32(1.0f));
    return vbslq_f32(vceqq_f32(x, zero), zero, unit);
}

// The magnitude is formed in double precision, whose range holds the square of every float: in float the squares of
// pairs above about 1.8e19 overflow and those below about 1e-19 flush to zero, and such a pair would lose its
// direction. Each pair is read before it is written, so the output may share the input's buffer.
void unitPhasors(const float *x, float *y, int32_t pairs)
{
    for (int32_t k = 0; k < 2 * pairs; k += 2) {
        const double re = x[k];
        const double im = x[k + 1];
        const double magnitude = std::sqrt(re * re + im * im);
        y[k] = magnitude == 0.0 ? 0.0f : static_cast<float>(re / magnitude);
        y[k + 1] = magnitude == 0.0 ? 0.0f : static_cast<float>(im / magnitude);
    }
}

// A complex wire holds channels x block / 2 pairs; a lone last word, half a pair, is left as it is.
void signs(ClassModule *m, const float *x, float *y, int32_t n)
{
    if (isComplex(kve::kit::wire(m, 0)))
        unitPhasors(x, y, n / 2);
    else
        byFours<signOf, signOf>(m, x, y, n);
}

} // namespace

extern "C" constinit const kve::kit::ClassRecord<0> kve_modSignClass =
    plainClass<&kve_modSignClass, 1, 1>(0xBEEF083Eu, oneToOne<signs>);
