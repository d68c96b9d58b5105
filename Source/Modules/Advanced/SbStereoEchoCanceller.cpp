// The two-reference canceller's sample kernel. Per subband: the reference pair enters the history, the echo estimate
// of the taps as they stood is subtracted from the microphone, the taps and covariances decay one block, and each
// refinement pass moves every tap pair along its Kalman gain (the 2x2 covariance times the conjugate reference pair,
// over the tap's own innovation power plus the measurement noise).
//
// The per-tap arithmetic is written once for one tap (float) and for four taps (Lanes, one tap per lane); sums over
// taps keep four partial sums, added pairwise at the end, so the result is the same on every machine.
#include "Modules/Advanced/SbStereoEchoCanceller.h"

#include <array>
#include <cstring>
#include <type_traits>

#include "Dsp/Arithmetic/Reciprocal.h"
#include "Dsp/Neon.h"
#include "Modules/Advanced/SbEchoPost.h"
#include "Modules/Standard/Filters.h"

namespace kve::sbaec {

namespace {

// Four taps of one field, one per lane.
struct Lanes {
    float32x4_t v;
    Lanes(float32x4_t lanes) : v(lanes) {}
    Lanes(float value) : v(vdupq_n_f32(value)) {}
};

inline Lanes operator+(Lanes a, Lanes b) { return vaddq_f32(a.v, b.v); }
inline Lanes operator-(Lanes a, Lanes b) { return vsubq_f32(a.v, b.v); }
inline Lanes operator*(Lanes a, Lanes b) { return vmulq_f32(a.v, b.v); }
inline Lanes operator-(Lanes a) { return vnegq_f32(a.v); }

template <class T> constexpr uint32_t kWidth = 1;
template <> constexpr uint32_t kWidth<Lanes> = 4;

// 1/d: exact for one tap; for four, the reciprocal estimate refined by two Newton steps, as the divide kernel does.
inline float reciprocal(float d) { return 1.0f / d; }
inline Lanes reciprocal(Lanes d)
{
    const float32x4_t r0 = kve_reciprocalEstimate(d.v);
    const float32x4_t r1 = vmulq_f32(kve_reciprocalStep(d.v, r0), r0);
    return vmulq_f32(kve_reciprocalStep(d.v, r1), r1);
}

inline float total(float a) { return a; }
inline float total(Lanes a)
{
    float l[4];
    vst1q_f32(l, a.v);
    return (l[0] + l[1]) + (l[2] + l[3]);
}

// N interleaved fields of one tap, or of four taps deinterleaved into lanes (field j of tap t at p[N t + j]).
template <class T, uint32_t N> std::array<T, N> load(const float *p)
{
    if constexpr (std::is_same_v<T, float>) {
        std::array<float, N> f;
        std::memcpy(f.data(), p, sizeof f);
        return f;
    } else if constexpr (N == 2) {
        const float32x4x2_t v = vld2q_f32(p);
        return {v.val[0], v.val[1]};
    } else {
        const float32x4x4_t v = vld4q_f32(p);
        return {v.val[0], v.val[1], v.val[2], v.val[3]};
    }
}

template <class T, uint32_t N> void store(float *p, const std::array<T, N> &f)
{
    if constexpr (std::is_same_v<T, float>) {
        std::memcpy(p, f.data(), sizeof f);
    } else if constexpr (N == 2) {
        const float32x4x2_t v = {{f[0].v, f[1].v}};
        vst2q_f32(p, v);
    } else {
        const float32x4x4_t v = {{f[0].v, f[1].v, f[2].v, f[3].v}};
        vst4q_f32(p, v);
    }
}

template <class T> struct Cx {
    T re, im;
};

template <class T> Cx<T> operator+(Cx<T> a, Cx<T> b) { return {a.re + b.re, a.im + b.im}; }
template <class T> Cx<T> operator-(Cx<T> a, Cx<T> b) { return {a.re - b.re, a.im - b.im}; }
template <class T> Cx<T> operator*(Cx<T> a, Cx<T> b) { return {a.re * b.re - a.im * b.im, a.re * b.im + a.im * b.re}; }
template <class T> Cx<T> operator*(T a, Cx<T> b) { return {a * b.re, a * b.im}; }
template <class T> Cx<T> conj(Cx<T> a) { return {a.re, -a.im}; }
template <class T> T realOfProduct(Cx<T> a, Cx<T> b) { return a.re * b.re - a.im * b.im; }
template <class T> Cx<T> widen(Cx<float> a) { return {T(a.re), T(a.im)}; }

// One subband's state: per tap (W1, W2), (P11, P22), Q, (x1, x2), (|x1|^2, |x2|^2), c, the gains (P11, P22) / den
// and Q / den, and the gain pair (g1, g2).
struct Subband {
    float *w, *p, *q, *x, *power, *cross, *diag, *crossGain, *gain;
};

// What a refinement pass shares across the subband's taps.
struct Pass {
    const float *predictedTaps;
    float noise; // D: the measurement noise plus the innovation power's floor
    Cx<float> error;
};

// A tap's innovation power: P11 |x1|^2 + P22 |x2|^2 + 2 Re(Q c).
template <class T> T innovation(const std::array<T, 2> &p, Cx<T> q, const std::array<T, 2> &power, Cx<T> c)
{
    return (p[0] * power[0] + p[1] * power[1]) + T(2.0f) * realOfProduct(q, c);
}

// The echo estimate sum of W x over taps [from, to).
template <class T> Cx<float> echoEstimate(const Subband &b, uint32_t from, uint32_t to)
{
    Cx<T> sum{T(0.0f), T(0.0f)};
    for (uint32_t i = from; i < to; i += kWidth<T>) {
        const auto w = load<T, 4>(b.w + kPairWords * i);
        const auto x = load<T, 4>(b.x + kPairWords * i);
        sum = sum + Cx<T>{w[0], w[1]} * Cx<T>{x[0], x[1]} + Cx<T>{w[2], w[3]} * Cx<T>{x[2], x[3]};
    }
    return {total(sum.re), total(sum.im)};
}

// The echo estimate over the taps in use: four at a time, then the rest singly.
Cx<float> echoOf(const Subband &b, uint32_t quad, uint32_t taps)
{
    return echoEstimate<Lanes>(b, 0, quad) + echoEstimate<float>(b, quad, taps);
}

// The summed innovation power over taps [from, to).
template <class T> float innovationSum(const Subband &b, uint32_t from, uint32_t to)
{
    T sum(0.0f);
    for (uint32_t i = from; i < to; i += kWidth<T>) {
        const auto q = load<T, 2>(b.q + kValueWords * i);
        const auto c = load<T, 2>(b.cross + kValueWords * i);
        sum = sum + innovation<T>(load<T, 2>(b.p + kValueWords * i), {q[0], q[1]},
                                  load<T, 2>(b.power + kValueWords * i), {c[0], c[1]});
    }
    return total(sum);
}

// The share of the echo the last gains remove, sum of Re(g x) over taps [from, to).
template <class T> float gainShare(const Subband &b, uint32_t from, uint32_t to)
{
    T sum(0.0f);
    for (uint32_t i = from; i < to; i += kWidth<T>) {
        const auto g = load<T, 4>(b.gain + kPairWords * i);
        const auto x = load<T, 4>(b.x + kPairWords * i);
        sum = sum + realOfProduct<T>({g[0], g[1]}, {x[0], x[1]}) + realOfProduct<T>({g[2], g[3]}, {x[2], x[3]});
    }
    return total(sum);
}

// One refinement step of taps [from, to): the gain pair from the covariance over the tap's innovation power plus D,
// the taps moved from their decayed values along it by the error, and the whole correction taken off the covariance.
template <class T> void refineTaps(const Subband &b, const Pass &pass, uint32_t from, uint32_t to)
{
    const Cx<T> e = widen<T>(pass.error);
    for (uint32_t i = from; i < to; i += kWidth<T>) {
        const auto x = load<T, 4>(b.x + kPairWords * i);
        const auto p = load<T, 2>(b.p + kValueWords * i);
        const auto qv = load<T, 2>(b.q + kValueWords * i);
        const auto cv = load<T, 2>(b.cross + kValueWords * i);
        const auto power = load<T, 2>(b.power + kValueWords * i);
        const auto decayed = load<T, 4>(pass.predictedTaps + kPairWords * i);
        const Cx<T> x1{x[0], x[1]};
        const Cx<T> x2{x[2], x[3]};
        const Cx<T> q{qv[0], qv[1]};
        const T r = reciprocal(T(pass.noise) + innovation<T>(p, q, power, {cv[0], cv[1]}));
        const T d1 = r * p[0];
        const T d2 = r * p[1];
        const Cx<T> kc = r * q;
        const Cx<T> g1 = d1 * conj(x1) + kc * conj(x2);
        const Cx<T> g2 = d2 * conj(x2) + conj(kc * x1);
        const Cx<T> w1 = Cx<T>{decayed[0], decayed[1]} + g1 * e;
        const Cx<T> w2 = Cx<T>{decayed[2], decayed[3]} + g2 * e;
        const Cx<T> m1 = p[0] * x1 + conj(q) * x2;
        const Cx<T> m2 = q * x1 + p[1] * x2;
        const Cx<T> q2 = q - g1 * m2;
        store<T, 4>(b.w + kPairWords * i, {w1.re, w1.im, w2.re, w2.im});
        store<T, 2>(b.p + kValueWords * i, {p[0] - realOfProduct(g1, m1), p[1] - realOfProduct(g2, m2)});
        store<T, 2>(b.q + kValueWords * i, {q2.re, q2.im});
        store<T, 2>(b.diag + kValueWords * i, {d1, d2});
        store<T, 2>(b.crossGain + kValueWords * i, {kc.re, kc.im});
        store<T, 4>(b.gain + kPairWords * i, {g1.re, g1.im, g2.re, g2.im});
    }
}

// The newest reference pair enters tap 0 of the histories; the oldest of the `taps` in use leaves.
void pushReference(const Subband &b, const float *u, uint32_t taps)
{
    if (taps == 0)
        return;
    std::memmove(b.x + kPairWords, b.x, sizeof(float) * kPairWords * (taps - 1));
    std::memmove(b.power + kValueWords, b.power, sizeof(float) * kValueWords * (taps - 1));
    std::memmove(b.cross + kValueWords, b.cross, sizeof(float) * kValueWords * (taps - 1));
    const Cx<float> u1{u[0], u[1]};
    const Cx<float> u2{u[2], u[3]};
    const Cx<float> c = u1 * conj(u2);
    std::memcpy(b.x, u, sizeof(float) * kPairWords);
    b.power[0] = realOfProduct(u1, conj(u1));
    b.power[1] = realOfProduct(u2, conj(u2));
    b.cross[0] = c.re;
    b.cross[1] = c.im;
}

} // namespace

void vec_aec1stereo(SbStereoAECModule *s, const float *microphone, const float *reference, float *output,
                    uint32_t nSub)
{
    // Taps per subband as the arrays were built (the decayed taps hold one subband's), and the taps in use.
    constexpr uint32_t predictedTapsArray = 1;
    const uint32_t stride = kit::capacity(&s->header, predictedTapsArray) / kPairWords;
    const uint32_t taps = filters::clampedCount(s->numTaps, stride);
    const uint32_t quad = taps & ~3u;
    const int32_t passes = refinementPasses(s->numIterations);
    const float a = s->alpha;
    const float a2 = a * a;
    for (uint32_t k = 0; k < nSub; ++k) {
        const size_t pairs = size_t{kPairWords} * stride * k;
        const size_t values = size_t{kValueWords} * stride * k;
        const Subband b{s->taps + pairs,       s->tapVariance + values,     s->crossVariance + values,
                        s->refHistory + pairs, s->refPowerHistory + values, s->crossHistory + values,
                        s->diagGain + values,  s->crossGain + values,       s->gainVectors + pairs};
        const Cx<float> d{microphone[2 * k], microphone[2 * k + 1]};
        pushReference(b, reference + kPairWords * k, taps);

        Cx<float> e = d - echoOf(b, quad, taps);
        output[2 * k] = e.re;
        output[2 * k + 1] = e.im;
        for (uint32_t j = 0; j < kPairWords * taps; ++j) {
            b.w[j] *= a;
            s->predictedTaps[j] = b.w[j];
        }
        for (uint32_t j = 0; j < kValueWords * taps; ++j) {
            b.p[j] *= a2;
            s->predictedVariance[j] = b.p[j];
            b.q[j] *= a2;
            s->predictedCross[j] = b.q[j];
        }

        for (int32_t pass = 0; pass < passes; ++pass) {
            // The error power of the pass before and every tap's innovation power, before the taps move.
            const float excitation =
                e.re * e.re + e.im * e.im + (innovationSum<Lanes>(b, 0, quad) + innovationSum<float>(b, quad, taps));
            e = d - echoOf(b, quad, taps);
            // The diagonal variances are predicted again from the decayed ones and the taps as they stand.
            for (uint32_t j = 0; j < kValueWords * taps; ++j) {
                const float w2 = b.w[2 * j] * b.w[2 * j] + b.w[2 * j + 1] * b.w[2 * j + 1];
                b.p[j] = s->predictedVariance[j] + (1.0f - a2) * (w2 + b.p[j]);
            }
            const Pass p{s->predictedTaps, s->noiseScale * excitation + 1e-19f, e};
            refineTaps<Lanes>(b, p, 0, quad);
            refineTaps<float>(b, p, quad, taps);
        }

        if (s->postFilterEnable != 0)
            s->postGain[k] = 1.0f - (gainShare<Lanes>(b, 0, quad) + gainShare<float>(b, quad, taps));
    }
}

} // namespace kve::sbaec
