#include "Modules/Advanced/SbEchoCanceller.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "Dsp/Arithmetic/Reciprocal.h"
#include "Dsp/Neon.h"
#include "Modules/Advanced/SbEchoCancellers.h"

namespace kve::sbaec {

namespace {

// Keeps the estimator's denominator above zero when the error and the reference are both silent.
constexpr float kNoiseFloor = 1e-19f;

// The history slot that tap i reads when slot `newest` holds this block's reference sample.
inline uint32_t slotOf(uint32_t i, uint32_t newest, uint32_t taps)
{
    const uint32_t slot = newest + i;
    return slot >= taps ? slot - taps : slot;
}

// The sum of four partial sums, in the order the pairwise add of four lanes forms it.
inline float laneSum(float32x4_t v)
{
    float l[4];
    vst1q_f32(l, v);
    return (l[0] + l[1]) + (l[2] + l[3]);
}

inline float powerOf(Complex z) { return std::fma(z.re, z.re, z.im * z.im); }

// The sum of taps x history over blocks of four taps, history slot i for tap i.
Complex filterOutputFour(const float *w, const float *x, uint32_t taps)
{
    float32x4_t re = vdupq_n_f32(0.0f);
    float32x4_t im = vdupq_n_f32(0.0f);
    for (uint32_t i = 0; i < taps; i += 4) {
        const float32x4x2_t wi = vld2q_f32(w + 2 * i);
        const float32x4x2_t xi = vld2q_f32(x + 2 * i);
        re = vaddq_f32(re, vsubq_f32(vmulq_f32(wi.val[0], xi.val[0]), vmulq_f32(wi.val[1], xi.val[1])));
        im = vaddq_f32(im, vaddq_f32(vmulq_f32(wi.val[0], xi.val[1]), vmulq_f32(wi.val[1], xi.val[0])));
    }
    return {laneSum(re), laneSum(im)};
}

// 1 / d to single precision on four lanes: the reciprocal estimate refined by two Newton-Raphson steps, the words
// AArch64's instructions give. Off AArch64 each lane follows the instructions' definition under the flush mode,
// which is read once per subband rather than at every step.
#if defined(__aarch64__)
struct FlushMode {};
inline FlushMode flushMode() { return {}; }
inline float32x4_t reciprocalFour(float32x4_t d, FlushMode)
{
    float32x4_t r = kve_reciprocalEstimate(d);
    r = vmulq_f32(r, kve_reciprocalStep(d, r));
    return vmulq_f32(r, kve_reciprocalStep(d, r));
}
#else
using FlushMode = KveFlushMode;
inline FlushMode flushMode() { return kve_currentFlushMode(); }
inline float32x4_t reciprocalFour(float32x4_t d, FlushMode mode)
{
    float lanes[4];
    vst1q_f32(lanes, d);
    for (float &x : lanes) {
        float r = kve_reciprocalEstimateLane(x, mode);
        r = r * kve_reciprocalStepLane(x, r, mode);
        x = r * kve_reciprocalStepLane(x, r, mode);
    }
    return vld1q_f32(lanes);
}
#endif

// adaptSubband for a tap count that is a multiple of four, history slot i for tap i: four taps a lane each, sums in
// four partial sums, gains through the reciprocal.
Complex adaptSubbandFour(const Estimator &e, const Subband &b, const CancellerArrays &scratch, Complex d)
{
    const uint32_t taps = e.taps;
    const float a2 = e.alpha * e.alpha;
    const Complex y = filterOutputFour(b.taps, b.history, taps);
    const Complex error = {d.re - y.re, d.im - y.im};
    for (uint32_t i = 0; i < taps; i += 4) {
        const float32x4_t w0 = vmulq_n_f32(vld1q_f32(b.taps + 2 * i), e.alpha);
        const float32x4_t w1 = vmulq_n_f32(vld1q_f32(b.taps + 2 * i + 4), e.alpha);
        vst1q_f32(b.taps + 2 * i, w0);
        vst1q_f32(b.taps + 2 * i + 4, w1);
        vst1q_f32(scratch.predictedTaps + 2 * i, w0);
        vst1q_f32(scratch.predictedTaps + 2 * i + 4, w1);
        const float32x4_t p = vmulq_n_f32(vld1q_f32(b.variance + i), a2);
        vst1q_f32(b.variance + i, p);
        vst1q_f32(scratch.predictedVariance + i, p);
    }
    const float32x4_t leak = vdupq_n_f32(1.0f - a2);
    const float32x4_t half = vdupq_n_f32(0.5f);
    const FlushMode mode = flushMode();
    Complex current = error;
    for (int32_t pass = 0; pass < e.passes; ++pass) {
        float32x4_t spread = vdupq_n_f32(0.0f);
        for (uint32_t i = 0; i < taps; i += 4)
            spread = vaddq_f32(spread, vmulq_f32(vld1q_f32(b.power + i), vld1q_f32(b.variance + i)));
        const float s = powerOf(current) + laneSum(spread);
        // The sweep that predicts the variances reads the taps before this pass, as the new error does.
        const Complex yp = filterOutputFour(b.taps, b.history, taps);
        for (uint32_t i = 0; i < taps; i += 4) {
            const float32x4x2_t w = vld2q_f32(b.taps + 2 * i);
            const float32x4_t w2 = vaddq_f32(vmulq_f32(w.val[0], w.val[0]), vmulq_f32(w.val[1], w.val[1]));
            float32x4_t p = vaddq_f32(vld1q_f32(scratch.predictedVariance + i),
                                      vmulq_f32(leak, vaddq_f32(w2, vld1q_f32(b.variance + i))));
            if (e.floored)
                p = vmaxq_f32(p, vdupq_n_f32(e.minVariance));
            vst1q_f32(b.variance + i, p);
        }
        const Complex en = {d.re - yp.re, d.im - yp.im};
        const float32x4_t den = vdupq_n_f32(e.noiseScale * s + kNoiseFloor);
        const float32x4_t er = vdupq_n_f32(en.re);
        const float32x4_t ei = vdupq_n_f32(en.im);
        for (uint32_t i = 0; i < taps; i += 4) {
            const float32x4_t p = vld1q_f32(b.variance + i);
            const float32x4_t xp = vld1q_f32(b.power + i);
            const float32x4_t k = vmulq_f32(p, reciprocalFour(vaddq_f32(den, vmulq_f32(xp, p)), mode));
            const float32x4x2_t x = vld2q_f32(b.history + 2 * i);
            const float32x4x2_t wp = vld2q_f32(scratch.predictedTaps + 2 * i);
            // conj(x) e
            const float32x4_t cr = vaddq_f32(vmulq_f32(x.val[0], er), vmulq_f32(x.val[1], ei));
            const float32x4_t ci = vsubq_f32(vmulq_f32(x.val[0], ei), vmulq_f32(x.val[1], er));
            float32x4x2_t w;
            w.val[0] = vaddq_f32(wp.val[0], vmulq_f32(k, cr));
            w.val[1] = vaddq_f32(wp.val[1], vmulq_f32(k, ci));
            vst2q_f32(b.taps + 2 * i, w);
            vst1q_f32(b.variance + i,
                      vmulq_f32(p, vsubq_f32(vdupq_n_f32(1.0f), vmulq_f32(vmulq_f32(half, k), xp))));
            vst1q_f32(b.gain + i, k);
        }
        current = en;
    }
    return error;
}

float postGainFour(const Subband &b, uint32_t taps)
{
    float32x4_t sum = vdupq_n_f32(0.0f);
    for (uint32_t i = 0; i < taps; i += 4)
        sum = vaddq_f32(sum, vmulq_f32(vld1q_f32(b.gain + i), vld1q_f32(b.power + i)));
    return std::clamp(1.0f - laneSum(sum), 0.0f, 1.0f);
}

// The newest reference sample enters the subband's history at entry 0; the oldest in use drops out.
void pushReference(float *history, float *power, uint32_t taps, Complex u)
{
    if (taps == 0)
        return;
    std::memmove(history + 2, history, sizeof(float) * 2 * (taps - 1));
    std::memmove(power + 1, power, sizeof(float) * (taps - 1));
    history[0] = u.re;
    history[1] = u.im;
    power[0] = powerOf(u);
}

// V1 and V3 over all subbands: history, estimator (four lanes when the taps allow), then the post-filter gain.
void runCanceller(const Estimator &e, const CancellerArrays &a, bool postGains, const float *microphone,
                  const float *reference, float *output, uint32_t nSub)
{
    const bool four = e.taps % 4 == 0;
    for (uint32_t k = 0; k < nSub; ++k) {
        const Subband b = subbandOf(a, e.capacity, k, a.tapGain);
        pushReference(a.refHistory + 2 * e.capacity * k, a.refPowerHistory + e.capacity * k, e.taps,
                      {reference[2 * k], reference[2 * k + 1]});
        const Complex d = {microphone[2 * k], microphone[2 * k + 1]};
        const Complex out = four ? adaptSubbandFour(e, b, a, d) : adaptSubband(e, b, a, 0, d);
        output[2 * k] = out.re;
        output[2 * k + 1] = out.im;
        if (postGains)
            a.postGain[k] = four && e.taps > 0 ? postGainFour(b, e.taps) : postGainOf(b, e.taps, 0);
    }
}

} // namespace

Subband subbandOf(const CancellerArrays &a, uint32_t capacity, uint32_t k, float *gain)
{
    return {a.taps + 2 * capacity * k, a.tapVariance + capacity * k, a.refHistory + 2 * capacity * k,
            a.refPowerHistory + capacity * k, gain};
}

Complex filterError(const Subband &b, uint32_t taps, uint32_t newest, Complex d)
{
    float re = 0.0f;
    float im = 0.0f;
    for (uint32_t i = 0; i < taps; ++i) {
        const float *w = b.taps + 2 * i;
        const float *x = b.history + 2 * slotOf(i, newest, taps);
        re += w[0] * x[0] - w[1] * x[1];
        im += w[0] * x[1] + w[1] * x[0];
    }
    return {d.re - re, d.im - im};
}

Complex adaptSubband(const Estimator &e, const Subband &b, const CancellerArrays &scratch, uint32_t newest, Complex d)
{
    const uint32_t taps = e.taps;
    const float a2 = e.alpha * e.alpha;
    const Complex error = filterError(b, taps, newest, d);
    for (uint32_t i = 0; i < taps; ++i) {
        b.taps[2 * i] *= e.alpha;
        b.taps[2 * i + 1] *= e.alpha;
        scratch.predictedTaps[2 * i] = b.taps[2 * i];
        scratch.predictedTaps[2 * i + 1] = b.taps[2 * i + 1];
        b.variance[i] *= a2;
        scratch.predictedVariance[i] = b.variance[i];
    }
    const float leak = 1.0f - a2;
    Complex current = error;
    for (int32_t pass = 0; pass < e.passes; ++pass) {
        float spread = 0.0f;
        for (uint32_t i = 0; i < taps; ++i)
            spread += b.power[slotOf(i, newest, taps)] * b.variance[i];
        const float s = powerOf(current) + spread;
        // The new error reads the taps before this pass, as the variance prediction does.
        const Complex en = filterError(b, taps, newest, d);
        for (uint32_t i = 0; i < taps; ++i) {
            const float w2 = b.taps[2 * i] * b.taps[2 * i] + b.taps[2 * i + 1] * b.taps[2 * i + 1];
            float p = scratch.predictedVariance[i] + leak * (w2 + b.variance[i]);
            if (e.floored && p < e.minVariance)
                p = e.minVariance;
            b.variance[i] = p;
        }
        const float den = e.noiseScale * s + kNoiseFloor;
        for (uint32_t i = 0; i < taps; ++i) {
            const uint32_t slot = slotOf(i, newest, taps);
            const float *x = b.history + 2 * slot;
            const float xp = b.power[slot];
            const float p = b.variance[i];
            const float k = p / (den + xp * p);
            b.taps[2 * i] = scratch.predictedTaps[2 * i] + k * (x[0] * en.re + x[1] * en.im);
            b.taps[2 * i + 1] = scratch.predictedTaps[2 * i + 1] + k * (x[0] * en.im - x[1] * en.re);
            b.variance[i] = p * (1.0f - 0.5f * k * xp);
            b.gain[i] = k;
        }
        current = en;
    }
    return error;
}

float postGainOf(const Subband &b, uint32_t taps, uint32_t newest)
{
    if (taps == 0)
        return 1.0f;
    float sum = 0.0f;
    for (uint32_t i = 0; i < taps; ++i)
        sum += b.gain[i] * b.power[slotOf(i, newest, taps)];
    return std::clamp(1.0f - sum, 0.0f, 1.0f);
}

void sizeArrays(kit::Variable *arrays, uint32_t block, int32_t maxTaps, int32_t tablePoints, bool gainPerSubband)
{
    using filters::elementFactor;
    const uint32_t taps = maxTaps < 0 ? 0u : static_cast<uint32_t>(maxTaps);
    const uint32_t nSub = block / 2;
    const uint32_t points = tablePoints < 0 ? 0u : static_cast<uint32_t>(tablePoints);
    arrays[kTaps].length = kit::fixedLength(elementFactor(block, taps));
    arrays[kTapVariance].length = kit::fixedLength(elementFactor(nSub, taps));
    arrays[kRefHistory].length = kit::fixedLength(elementFactor(block, taps));
    arrays[kPredictedVariance].length = kit::fixedLength(taps);
    arrays[kPredictedTaps].length = kit::fixedLength(elementFactor(2, taps));
    arrays[kRefPowerHistory].length = kit::fixedLength(elementFactor(nSub, taps));
    arrays[kTapGain].length = kit::fixedLength(gainPerSubband ? elementFactor(nSub, taps) : taps);
    arrays[kPostGain].length = kit::fixedLength(nSub);
    arrays[kPostTable].length = kit::fixedLength(elementFactor(2, points));
    arrays[kPostSegments].length = kit::fixedLength(points < 2 ? 0u : elementFactor(4, points - 1));
}

bool acceptWires(const ClassModule *m, uint32_t inputs, int32_t *status)
{
    const uint32_t block = kit::blockSize(kit::wire(m, 0));
    for (const GenericWire *w : {kit::wire(m, 0), kit::wire(m, 1), kit::wire(m, inputs)}) {
        if (kit::blockSize(w) != block || kit::wireWords(w) < block) {
            *status = KVE_E_BAD_ARGUMENT;
            return false;
        }
    }
    return true;
}

void startVariances(ClassModule *m, const CancellerArrays &a)
{
    kve_vecFill(a.tapVariance, 1, 1.0f, static_cast<int32_t>(kit::capacity(m, kTapVariance)));
}

uint32_t subbands(ClassModule *m)
{
    return std::min((kit::blockSize(kit::wire(m, 0)) >> 1) & 0xFFFFu, kit::capacity(m, kPostGain));
}

void vec_aec1(SbAECV1Module *s, const float *microphone, const float *reference, float *output, uint32_t nSub)
{
    runCanceller(estimatorOf(&s->header, s->common), s->arrays, s->common.postFilterEnable != 0, microphone,
                 reference, output, nSub);
}

void vec_aec3(SbAECV3Module *s, const float *microphone, const float *reference, float *output, uint32_t nSub)
{
    Estimator e = estimatorOf(&s->header, s->common);
    e.floored = true;
    e.minVariance = s->minTapVariance;
    runCanceller(e, s->arrays, s->common.postFilterEnable != 0, microphone, reference, output, nSub);
}

} // namespace kve::sbaec
