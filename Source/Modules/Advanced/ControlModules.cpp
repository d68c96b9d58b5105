// The Process and Set functions of the control modules. Every per-channel loop serves only the channels its state
// array was built for and only the frames both its input and output hold.
#include "Modules/Advanced/ControlModules.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "Dsp/Neon.h"
#include "Modules/Advanced/AdvancedKit.h"
#include "kve/kve_design.h"
#include "kve/kve_vec_conversion.h"
#include "kve/kve_vec_smooth.h"

namespace kve::control {
namespace {

uint32_t inputCount(const ClassModule *m) { return KVE_PACKED_INPUTS(m->packed); }
uint32_t outputCount(const ClassModule *m) { return KVE_PACKED_OUTPUTS(m->packed); }
uint32_t channelsOf(const GenericWire *w) { return KVE_WIRE_CHANNELS(w->info1); }
template <class T> T *samples(const GenericWire *w) { return static_cast<T *>(w->buffer); }

// Input `from` against the first output: its channel stride, the frames both hold, and the channels that have
// state (private array `array`).
struct Span {
    const GenericWire *in;
    const GenericWire *out;
    uint32_t stride;
    uint32_t frames;
    uint32_t served;
};

Span spanOf(ClassModule *m, uint32_t array, uint32_t from = 0)
{
    const GenericWire *in = kit::wire(m, from);
    const GenericWire *out = kit::wire(m, inputCount(m));
    const uint32_t stride = channelsOf(in);
    const uint32_t frames = stride == 0 ? 0 : std::min(kit::wireWords(in), kit::wireWords(out)) / stride;
    return {in, out, stride, frames, std::min(stride, kit::capacity(m, array))};
}

Fract32 saturate(int64_t v) { return static_cast<Fract32>(std::clamp<int64_t>(v, INT32_MIN, INT32_MAX)); }

// A per-channel step over L channels from `first` on, their states held in locals for the whole block: with L
// fixed and the states out of memory, the compiler steps all L channels of a frame at once.
template <uint32_t L, class State, class X, class Y, class Step>
void laneRun(const Span &d, uint32_t first, State *state, const X *x, Y *y, Step step)
{
    State s[L];
    for (uint32_t c = 0; c < L; ++c)
        s[c] = state[first + c];
    for (uint32_t i = 0; i < d.frames; ++i) {
        const X *__restrict xi = x + size_t{i} * d.stride + first;
        Y *__restrict yi = y + size_t{i} * d.stride + first;
        for (uint32_t c = 0; c < L; ++c)
            yi[c] = step(s[c], xi[c]);
    }
    for (uint32_t c = 0; c < L; ++c)
        state[first + c] = s[c];
}

// Runs a per-channel step over every served sample: `step(state, x)` updates the channel's state and gives the
// output. Channels go eight, then four, then one at a time.
template <class State, class X, class Y, class Step>
void eachSample(const Span &d, State *state, const X *x, Y *y, Step step)
{
    uint32_t c = 0;
    for (; c + 8 <= d.served; c += 8)
        laneRun<8>(d, c, state, x, y, step);
    for (; c + 4 <= d.served; c += 4)
        laneRun<4>(d, c, state, x, y, step);
    for (; c < d.served; ++c)
        laneRun<1>(d, c, state, x, y, step);
}

// The recurrences in four-lane registers: G groups of four channels from `first` on step frame by frame together,
// so their G dependency chains overlap. `load(c)` gives the state vector of channels c..c+3, `step(state, k)` reads
// and writes the frame's samples at offset k, `store(c, state)` keeps the state.
template <int G, class Load, class Step, class Store>
void quadRun(const Span &d, uint32_t first, Load load, Step step, Store store)
{
    decltype(load(0u)) s[G];
    for (int g = 0; g < G; ++g)
        s[g] = load(first + 4 * g);
    for (uint32_t i = 0; i < d.frames; ++i) {
        const size_t base = size_t{i} * d.stride + first;
        for (int g = 0; g < G; ++g)
            step(s[g], base + 4 * g);
    }
    for (int g = 0; g < G; ++g)
        store(first + 4 * g, s[g]);
}

// Every group of four served channels through `quadRun`, eight at a time where they come; returns the first
// channel left for the scalar step.
template <class Load, class Step, class Store>
uint32_t quadChannels(const Span &d, Load load, Step step, Store store)
{
    uint32_t c = 0;
    for (; c + 8 <= d.served; c += 8)
        quadRun<2>(d, c, load, step, store);
    for (; c + 4 <= d.served; c += 4)
        quadRun<1>(d, c, load, step, store);
    return c;
}

// A count that stops at the largest int32 rather than wrapping to a negative one.
int32_t countUp(int32_t n) { return n < INT32_MAX ? n + 1 : n; }

// The channels a derivative keeps its first frame for at a time.
constexpr size_t kMaxFirstFrame = 64;

} // namespace

// ---- Sample-and-hold ----

void sampleAndHoldProcess(ClassModule *m)
{
    auto *s = reinterpret_cast<SampleAndHoldModule *>(m);
    const GenericWire *trigger = kit::wire(m, 0);
    const Span d = spanOf(m, 0, 1);
    const uint32_t triggers = channelsOf(trigger);
    if (triggers == 0)
        return;
    const auto frames = static_cast<int32_t>(std::min(d.frames, kit::wireWords(trigger) / triggers));
    auto *held = static_cast<uint32_t *>(s->held);
    const auto *t = samples<uint32_t>(trigger);
    const auto *x = samples<uint32_t>(d.in);
    auto *y = samples<uint32_t>(d.out);
    const auto stride = static_cast<int32_t>(d.stride);
    for (uint32_t c = 0; c < d.served; ++c) {
        if (triggers == 1 || c < triggers) {
            const uint32_t tc = triggers == 1 ? 0 : c;
            kve_vecSampleAndHold(x + c, stride, y + c, stride, t + tc, static_cast<int32_t>(triggers), held + c,
                                 frames);
        } else {
            // No trigger channel serves this data channel: it keeps what it holds.
            for (int32_t i = 0; i < frames; ++i)
                y[i * d.stride + c] = held[c];
        }
    }
}

void sampleAndHoldBypass(ClassModule *m)
{
    const GenericWire *in = kit::wire(m, 1);
    const GenericWire *out = kit::wire(m, inputCount(m));
    kve_vecCopy32(in->buffer, 1, out->buffer, 1,
                  static_cast<int32_t>(std::min(kit::wireWords(in), kit::wireWords(out))));
}

// ---- Dead band and hysteresis ----

void deadBandProcess(ClassModule *m)
{
    auto *s = reinterpret_cast<DeadBandModule *>(m);
    const Span d = spanOf(m, 0);
    const float *x = samples<float>(d.in);
    float *y = samples<float>(d.out);
    float *last = s->lastOutput;
    if (s->resetFlag == 1 && d.frames != 0)
        std::copy(x, x + d.served, last);
    const float upper = s->upperLimit;
    const float lower = s->lowerLimit;
    // The output jumps to the input when the input leaves the band around it, in the same comparisons either way.
    const float32x4_t up = vdupq_n_f32(upper), low = vdupq_n_f32(lower);
    const uint32_t c = quadChannels(
        d, [&](uint32_t ch) { return vld1q_f32(last + ch); },
        [&](float32x4_t &held, size_t k) {
            const float32x4_t v = vld1q_f32(x + k);
            const float32x4_t diff = vsubq_f32(v, held);
            held = vbslq_f32(vorrq_u32(vcgtq_f32(diff, up), vcltq_f32(diff, low)), v, held);
            vst1q_f32(y + k, held);
        },
        [&](uint32_t ch, float32x4_t held) { vst1q_f32(last + ch, held); });
    for (uint32_t ch = c; ch < d.served; ++ch)
        laneRun<1>(d, ch, last, x, y, [=](float &held, float v) {
            const float diff = v - held;
            held = diff > upper || diff < lower ? v : held;
            return held;
        });
    if (s->resetFlag == 1)
        s->resetFlag = 0;
}

void hysteresisProcess(ClassModule *m)
{
    auto *s = reinterpret_cast<HysteresisModule *>(m);
    const Span d = spanOf(m, 0);
    const float upper = s->upperThreshold;
    const float lower = s->lowerThreshold;
    const float *x = samples<float>(d.in);
    auto *y = samples<int32_t>(d.out);
    int32_t *state = s->outputState;
    // A set state stays set unless the input falls below the lower threshold; a clear one becomes set only above the
    // upper one. Both tests depend on the input alone, so the chain from frame to frame is one select.
    const float32x4_t up = vdupq_n_f32(upper), low = vdupq_n_f32(lower);
    const uint32x4_t one = vdupq_n_u32(1);
    const uint32_t c = quadChannels(
        d, [&](uint32_t ch) { const int32x4_t v = vld1q_s32(state + ch); return vtstq_s32(v, v); },
        [&](uint32x4_t &on, size_t k) {
            const float32x4_t v = vld1q_f32(x + k);
            on = vbslq_u32(on, vmvnq_u32(vcgtq_f32(low, v)), vcgtq_f32(v, up));
            vst1q_s32(y + k, vreinterpretq_s32_u32(vandq_u32(on, one)));
        },
        [&](uint32_t ch, uint32x4_t on) { vst1q_s32(state + ch, vreinterpretq_s32_u32(vandq_u32(on, one))); });
    for (uint32_t ch = c; ch < d.served; ++ch)
        laneRun<1>(d, ch, state, x, y, [=](int32_t &on, float v) {
            on = on != 0 ? (lower > v ? 0 : 1) : (v > upper ? 1 : 0);
            return on;
        });
}

// ---- Run counting ----

namespace {
// Output k's first word, when the module has that output and it carries a word.
void firstWord(ClassModule *m, uint32_t k, int32_t v)
{
    if (outputCount(m) <= k)
        return;
    const GenericWire *out = kit::wire(m, inputCount(m) + k);
    if (kit::wireWords(out) != 0)
        samples<int32_t>(out)[0] = v;
}
} // namespace

void consecutiveCountProcess(ClassModule *m)
{
    auto *s = reinterpret_cast<ConsecutiveCountModule *>(m);
    const GenericWire *in = kit::wire(m, 0);
    const auto *x = samples<int32_t>(in);
    const uint32_t n = kit::wireWords(in);
    int32_t last = s->lastValue;
    int32_t count = s->count;
    for (uint32_t i = 0; i < n; ++i) {
        count = x[i] == last ? countUp(count) : 1;
        last = x[i];
    }
    s->lastValue = last;
    s->count = count;
    firstWord(m, 0, last);
    firstWord(m, 1, count);
}

void consecutiveCountBypass(ClassModule *m)
{
    const GenericWire *in = kit::wire(m, 0);
    const uint32_t n = kit::wireWords(in);
    if (n != 0)
        firstWord(m, 0, samples<int32_t>(in)[n - 1]);
    firstWord(m, 1, 1);
}

// ---- Derivative and integral ----

// The previous sample of every frame but the first is the frame before it in the block, so the frames are
// independent: they run from the last to the first, which stays right when the output wire is the input's buffer.
void derivativeProcess(ClassModule *m)
{
    auto *s = reinterpret_cast<DerivativeModule *>(m);
    const Span d = spanOf(m, 0);
    const float gain = s->derivativeGain * d.in->sampleRate;
    if (d.served != d.stride || d.frames == 0 || d.stride > kMaxFirstFrame) {
        eachSample(d, s->previous, samples<float>(d.in), samples<float>(d.out), [=](float &previous, float v) {
            const float y = (v - previous) * gain;
            previous = v;
            return y;
        });
        return;
    }
    const float *x = samples<float>(d.in);
    float *y = samples<float>(d.out);
    const size_t stride = d.stride;
    const size_t last = size_t{d.frames - 1} * stride;
    // The first frame and the kept samples are read before the block is written, in case the output is the input.
    float first[kMaxFirstFrame];
    for (size_t c = 0; c < stride; ++c) {
        first[c] = (x[c] - s->previous[c]) * gain;
        s->previous[c] = x[last + c];
    }
    // Four samples at a time from the end: a chunk reads nothing at or above the chunks already written.
    const float32x4_t g = vdupq_n_f32(gain);
    size_t k = last + stride;
    for (; k >= stride + 4; k -= 4)
        vst1q_f32(y + k - 4, vmulq_f32(vsubq_f32(vld1q_f32(x + k - 4), vld1q_f32(x + k - 4 - stride)), g));
    while (k-- > stride)
        y[k] = (x[k] - x[k - stride]) * gain;
    std::copy(first, first + stride, y);
}

int32_t derivativeFract32Set(ClassModule *m, uint32_t)
{
    auto *s = reinterpret_cast<DerivativeFract32Module *>(m);
    const float rate = kit::wire(m, 0)->sampleRate;
    s->gainFract32 = kve_advFloatToFract32(s->derivativeGain * rate * (1.0f / 131072.0f));
    return KVE_OK;
}

void derivativeFract32Process(ClassModule *m)
{
    auto *s = reinterpret_cast<DerivativeFract32Module *>(m);
    const Span d = spanOf(m, 0);
    const int64_t gain = s->gainFract32;
    eachSample(d, s->previous, samples<Fract32>(d.in), samples<Fract32>(d.out), [=](Fract32 &previous, Fract32 v) {
        const Fract32 y = saturate((gain * ((v >> 1) - (previous >> 1))) >> 31);
        previous = v;
        return y;
    });
}

void integralProcess(ClassModule *m)
{
    auto *s = reinterpret_cast<IntegralModule *>(m);
    const Span d = spanOf(m, 0);
    const float step = 1.0f / (d.in->sampleRate * s->integralTime);
    const float *x = samples<float>(d.in);
    float *y = samples<float>(d.out);
    float *acc = s->accumulator;
    // Each sample is added in turn, as a running sum would be, so the rounding is the one-at-a-time sum's.
    const uint32_t c = quadChannels(
        d, [&](uint32_t ch) { return vld1q_f32(acc + ch); },
        [&](float32x4_t &sum, size_t k) {
            sum = vaddq_f32(sum, vmulq_n_f32(vld1q_f32(x + k), step));
            vst1q_f32(y + k, sum);
        },
        [&](uint32_t ch, float32x4_t sum) { vst1q_f32(acc + ch, sum); });
    for (uint32_t ch = c; ch < d.served; ++ch)
        laneRun<1>(d, ch, acc, x, y, [=](float &sum, float v) {
            sum += v * step;
            return sum;
        });
}

// ---- InvertN ----

namespace {
// The gains in use: no more than the arrays built.
uint32_t gainsOf(ClassModule *m)
{
    const auto *s = reinterpret_cast<InvertNModule *>(m);
    const uint32_t built = std::min({kit::capacity(m, 0), kit::capacity(m, 1), kit::capacity(m, 2)});
    return s->numChannels <= 0 ? 0 : std::min(static_cast<uint32_t>(s->numChannels), built);
}
} // namespace

int32_t invertNSet(ClassModule *m, uint32_t mask)
{
    auto *s = reinterpret_cast<InvertNModule *>(m);
    if ((mask & (1u << 9)) != 0)
        s->smoothingCoeff = design_smoother(1, s->smoothingTime, kit::wire(m, 0)->sampleRate);
    if ((mask & (1u << 11)) != 0) {
        const uint32_t n = gainsOf(m);
        for (uint32_t c = 0; c < n; ++c)
            s->targetGain[c] = s->invert[c] == 1 ? -1.0f : 1.0f;
    }
    return KVE_OK;
}

void invertNProcess(ClassModule *m)
{
    auto *s = reinterpret_cast<InvertNModule *>(m);
    const uint32_t gains = gainsOf(m);
    const uint32_t wires = inputCount(m);
    if (wires == 1) {
        const GenericWire *in = kit::wire(m, 0);
        const GenericWire *out = kit::wire(m, 1);
        const uint32_t stride = channelsOf(in);
        if (stride == 0)
            return;
        const auto frames = static_cast<int32_t>(std::min(kit::wireWords(in), kit::wireWords(out)) / stride);
        const float *x = samples<float>(in);
        float *y = samples<float>(out);
        const auto inc = static_cast<int32_t>(stride);
        for (uint32_t c = 0; c < stride; ++c) {
            if (c < gains)
                kve_vecScaleSmooth(x + c, inc, y + c, inc, &s->currentGain[c], s->targetGain[c], s->smoothingCoeff,
                                   frames);
            else
                kve_vecCopy32(x + c, inc, y + c, inc, frames);
        }
        return;
    }
    for (uint32_t k = 0; k < wires; ++k) {
        const GenericWire *in = kit::wire(m, k);
        const GenericWire *out = kit::wire(m, wires + k);
        const uint32_t stride = channelsOf(in);
        if (stride == 0)
            continue;
        const uint32_t frames = std::min(kit::wireWords(in), kit::wireWords(out)) / stride;
        if (k < gains)
            kve_vecScaleSmooth_Nch(samples<float>(in), samples<float>(out), static_cast<int32_t>(stride),
                                   &s->currentGain[k], s->targetGain[k], s->smoothingCoeff,
                                   static_cast<int32_t>(frames));
        else
            kve_vecCopy32(in->buffer, 1, out->buffer, 1, static_cast<int32_t>(frames * stride));
    }
}

// ---- Oscillator ----

void oscillatorProcess(ClassModule *m)
{
    auto *s = reinterpret_cast<OscillatorModule *>(m);
    const GenericWire *in = kit::wire(m, 0);
    const GenericWire *out = kit::wire(m, inputCount(m));
    const uint32_t modStride = channelsOf(in);
    const uint32_t stride = channelsOf(out);
    if (modStride == 0 || stride == 0)
        return;
    const uint32_t frames = std::min(kit::blockSize(in), kit::wireWords(out) / stride);
    const uint32_t served = std::min(stride, kit::capacity(m, 0));
    const float *mod = samples<float>(in);
    float *y = samples<float>(out);
    constexpr float kPi = 3.14159265358979f;
    const float inc = s->phaseIncrement;
    for (uint32_t c = 0; c < served; ++c) {
        float x = s->phase[c];
        for (uint32_t i = 0; i < frames; ++i) {
            y[i * stride + c] = std::sin(x);
            x += inc + mod[i * modStride];
            if (x > kPi)
                x -= 2.0f * kPi;
            else if (x <= -kPi)
                x += 2.0f * kPi;
        }
        s->phase[c] = x;
    }
}

// ---- Randi ----

int32_t randiPeriod(float sampleRate, float valuesPerSecond)
{
    const double p = std::floor(static_cast<double>(sampleRate) / static_cast<double>(valuesPerSecond));
    if (!std::isfinite(p))
        return 1;
    return static_cast<int32_t>(std::clamp(p, 1.0, static_cast<double>(INT32_MAX)));
}

namespace {
float randiRate(const ClassModule *m) { return kit::wire(m, inputCount(m))->sampleRate; }

// The words the one-channel output carries this block.
uint32_t randiWords(const ClassModule *m) { return kit::wireWords(kit::wire(m, inputCount(m))); }

// The random value of a seed as a float in [-1, 1).
float randomOf(int32_t seed) { return static_cast<float>(seed) * 4.656613e-10f; }
} // namespace

int32_t randiSet(ClassModule *m, uint32_t)
{
    auto *s = reinterpret_cast<RandiModule<float> *>(m);
    s->countdown = 0;
    s->period = randiPeriod(randiRate(m), s->rate);
    s->invPeriod = 1.0f / static_cast<float>(s->period);
    return KVE_OK;
}

int32_t randiFract32Set(ClassModule *m, uint32_t)
{
    auto *s = reinterpret_cast<RandiModule<Fract32> *>(m);
    s->countdown = 0;
    s->period = randiPeriod(randiRate(m), s->rate);
    // A period of 1 gives 2^31, one past the largest Fract32.
    s->invPeriod = saturate((int64_t{1} << 31) / s->period);
    return KVE_OK;
}

void randiProcess(ClassModule *m)
{
    auto *s = reinterpret_cast<RandiModule<float> *>(m);
    float *y = samples<float>(kit::wire(m, inputCount(m)));
    const uint32_t n = randiWords(m);
    for (uint32_t i = 0; i < n; ++i) {
        if (s->countdown > 0) {
            y[i] = s->value;
            s->value += s->slope;
            --s->countdown;
            continue;
        }
        s->seed = nextSeed(s->seed);
        const float r = randomOf(s->seed);
        if (s->interpolate == 1) {
            s->slope = (r - s->value) * s->invPeriod;
            y[i] = s->value;
            s->value += s->slope;
        } else {
            s->slope = 0.0f;
            s->value = r;
            y[i] = r;
        }
        s->countdown = s->period - 1;
    }
}

void randiFract32Process(ClassModule *m)
{
    auto *s = reinterpret_cast<RandiModule<Fract32> *>(m);
    auto *y = samples<Fract32>(kit::wire(m, inputCount(m)));
    const uint32_t n = randiWords(m);
    for (uint32_t i = 0; i < n; ++i) {
        if (s->countdown > 0) {
            y[i] = s->value;
            s->value = saturate(int64_t{s->value} + s->slope);
            --s->countdown;
            continue;
        }
        s->seed = nextSeed(s->seed);
        const int64_t r = s->seed;
        if (s->interpolate == 1) {
            const int64_t inv = s->invPeriod;
            s->slope = saturate(int64_t{saturate((r * inv) >> 31)} - saturate((inv * s->value) >> 31));
            y[i] = s->value;
            s->value = saturate(int64_t{s->value} + s->slope);
        } else {
            s->slope = 0;
            s->value = s->seed;
            y[i] = s->seed;
        }
        s->countdown = s->period - 1;
    }
}

// ---- NaN and infinity guard ----

void mathExceptionProcess(ClassModule *m)
{
    auto *s = reinterpret_cast<MathExceptionModule *>(m);
    const GenericWire *in = kit::wire(m, 0);
    const GenericWire *out = kit::wire(m, inputCount(m));
    const auto *x = samples<uint32_t>(in);
    auto *y = samples<uint32_t>(out);
    const uint32_t n = std::min(kit::wireWords(in), kit::wireWords(out));
    uint32_t replacement;
    std::memcpy(&replacement, &s->replacement, sizeof replacement);
    for (uint32_t i = 0; i < n; ++i) {
        const uint32_t v = x[i];
        if ((v & 0x7F800000u) != 0x7F800000u) {
            y[i] = v;
            continue;
        }
        if ((v & 0x007FFFFFu) != 0)
            s->nanCount = countUp(s->nanCount);
        else
            s->infCount = countUp(s->infCount);
        y[i] = replacement;
    }
}

} // namespace kve::control
