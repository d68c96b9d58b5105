// The mute synchroniser's machine, shared by the float class and its Fract32 twin: they differ only in how a gain,
// a phasor turn and a sample product are formed, which the arithmetic type supplies.
#pragma once

#include <algorithm>
#include <array>
#include <cmath>
#include <numbers>

#include "Dsp/Fract32.h"
#include "Modules/Advanced/AdvancedKit.h"
#include "Modules/Advanced/MuteSync.h"
#include "Modules/Standard/Shapes.h"

namespace kve::mutesync {

struct FloatArithmetic {
    using Sample = float;
    static constexpr kit::Type kType = kit::Type::Float;
    static constexpr float kOne = 1.0f;
    static float fromFloat(float v) { return v; }
    static float product(float x, float g) { return x * g; }
    static void turn(float &re, float &im, float c, float s)
    {
        const float r = re * c - im * s;
        im = im * c + re * s;
        re = r;
    }
    // The raised-cosine gain from the phasor's real part: falling from 1 (sign +1) or rising from 0 (sign -1).
    static float gain(int32_t sign, float re) { return (static_cast<float>(sign) * re + 1.0f) / 2.0f; }
};

struct Fract32Arithmetic {
    using Sample = Fract32;
    static constexpr kit::Type kType = kit::Type::Fract32;
    static constexpr Fract32 kOne = INT32_MAX;
    static Fract32 fromFloat(float v) { return kve_advFloatToFract32(v); }
    static Fract32 product(Fract32 x, Fract32 g) { return kve_mulFract32(x, g); }
    static void turn(Fract32 &re, Fract32 &im, Fract32 c, Fract32 s)
    {
        const Fract32 r = kve_subFract32(kve_mulFract32(re, c), kve_mulFract32(im, s));
        im = kve_addFract32(kve_mulFract32(re, s), kve_mulFract32(im, c));
        re = r;
    }
    static Fract32 gain(int32_t sign, Fract32 re)
    {
        const int64_t half = kve_mulFract32(re, 0x40000000);
        return kve_saturate64(0x40000000 + sign * half);
    }
};

template <class A> using Module = MuteSyncModule<typename A::Sample>;

template <class A> constexpr std::array<kit::Variable, 18> variables()
{
    using M = Module<A>;
    using kit::Type;
    const Type g = A::kType;
    return {{
        {offsetof(M, muteRequest), Type::Int},    {offsetof(M, command1), Type::Int},
        {offsetof(M, command2), Type::Int},       {offsetof(M, fadeOutTime), Type::Float},
        {offsetof(M, fadeInTime), Type::Float},   {offsetof(M, commandSlot), Type::Int},
        {offsetof(M, state), Type::Int},          {offsetof(M, gain), g},
        {offsetof(M, sinOut), g},                 {offsetof(M, live), Type::Int},
        {offsetof(M, fadeOutSamples), Type::Int}, {offsetof(M, fadeInSamples), Type::Int},
        {offsetof(M, cosOut), g},                 {offsetof(M, cosIn), g},
        {offsetof(M, sinIn), g},                  {offsetof(M, phasorRe), g},
        {offsetof(M, phasorIm), g},               {offsetof(M, samplesDone), Type::Int},
    }};
}

// Samples in a fade of `ms` milliseconds, rounded to the nearest; a negative or NaN time fades in no samples and a
// time past the 32-bit count is held at the longest count.
inline int32_t fadeSamples(float rate, float ms)
{
    const double n = std::floor(static_cast<double>(rate) * ms * 0.001 + 0.5);
    if (!(n > 0.0))
        return 0;
    return n >= static_cast<double>(INT32_MAX) ? INT32_MAX : static_cast<int32_t>(n);
}

// The step of a fade of n samples, pi/n; a fade of no samples is never stepped and keeps a still phasor.
template <class A> void stepOf(int32_t n, typename A::Sample &s, typename A::Sample &c)
{
    const double a = n > 0 ? std::numbers::pi / n : 0.0;
    s = A::fromFloat(static_cast<float>(std::sin(a)));
    c = A::fromFloat(static_cast<float>(std::cos(a)));
}

template <class A> int32_t set(ClassModule *m, uint32_t mask)
{
    auto *s = reinterpret_cast<Module<A> *>(m);
    if (mask == 0) {
        s->live = 0;
        return KVE_OK;
    }
    const float rate = kit::wire(m, 0)->sampleRate;
    if ((mask & (1u << 11)) != 0) {
        s->fadeOutSamples = fadeSamples(rate, s->fadeOutTime);
        stepOf<A>(s->fadeOutSamples, s->sinOut, s->cosOut);
    }
    if ((mask & (1u << 12)) != 0) {
        s->fadeInSamples = fadeSamples(rate, s->fadeInTime);
        stepOf<A>(s->fadeInSamples, s->sinIn, s->cosIn);
    }
    // The construction-time Set writes every variable at once; only a request written on its own is a command.
    if (mask == 0xFFFFFFFFu)
        return KVE_OK;
    if ((mask & (1u << 8)) != 0) {
        const int32_t command = s->muteRequest != 0 ? kMute : kUnmute;
        (s->commandSlot == 0 ? s->command1 : s->command2) = command;
    }
    return KVE_OK;
}

template <class A> void process(ClassModule *m)
{
    using T = typename A::Sample;
    auto *s = reinterpret_cast<Module<A> *>(m);
    const GenericWire *in = kit::wire(m, 0);
    const GenericWire *out = kit::wire(m, shapes::inputs(m));
    GenericWire *gainWire = shapes::outputs(m) > 1 ? kit::wire(m, shapes::inputs(m) + 1) : nullptr;
    const uint32_t inCh = shapes::channels(in);
    const uint32_t outCh = shapes::channels(out);
    const uint32_t ch = std::min(inCh, outCh);
    const uint32_t frames = std::min(kit::blockSize(in), kit::blockSize(out));
    const T *x = static_cast<const T *>(in->buffer);
    T *y = static_cast<T *>(out->buffer);
    T *g = gainWire != nullptr ? static_cast<T *>(gainWire->buffer) : nullptr;
    const uint32_t gainWords = gainWire != nullptr ? kit::wireWords(gainWire) : 0;
    // Writes frames [from, to) of the output at a constant gain: the input itself at full gain, silence at none.
    auto steady = [&](uint32_t from, uint32_t to, T gain) {
        for (uint32_t t = from; t < to; ++t) {
            for (uint32_t c = 0; c < ch; ++c)
                y[t * outCh + c] = gain == A::kOne ? x[t * inCh + c] : T{};
            if (t < gainWords)
                g[t] = gain;
        }
    };
    T gain = s->gain;
    T re = s->phasorRe;
    T im = s->phasorIm;
    // Commands are counted only while settled, so one given during a fade waits for the fade to end.
    auto begin = [&](int32_t wanted, int32_t next, T start) {
        if (s->command1 == wanted || s->command2 == wanted) {
            s->state = next;
            gain = start;
            re = A::kOne;
            im = T{};
            s->samplesDone = 0;
        }
        s->command1 = kNone;
        s->command2 = kNone;
    };
    uint32_t done = 0;
    while (done < frames) {
        // The first block runs unmuted and takes a command a host gave before it, as an unmuted block would.
        if (s->state == kStart)
            s->state = kUnmuted;
        if (s->state == kUnmuted)
            begin(kMute, kFadingOut, A::kOne);
        else if (s->state == kMuted)
            begin(kUnmute, kFadingIn, T{});
        const uint32_t rest = frames - done;
        int32_t length = 0;
        int32_t sign = 1;
        if (s->state == kFadingOut) {
            length = s->fadeOutSamples;
        } else if (s->state == kFadingIn) {
            length = s->fadeInSamples;
            sign = -1;
        } else if (s->state == kMuted) {
            steady(done, frames, T{});
            gain = T{};
            break;
        } else {
            // Unmuted, or a state no machine reaches (a host's write), which passes the audio as unmuted does.
            s->state = kUnmuted;
            steady(done, frames, A::kOne);
            gain = A::kOne;
            break;
        }
        if (s->samplesDone >= length) {
            const bool out = s->state == kFadingOut;
            s->state = out ? kMuted : kUnmuted;
            s->muteRequest = out ? 1 : 0;
            continue;
        }
        const uint32_t n = std::min(rest, static_cast<uint32_t>(length - std::max(s->samplesDone, 0)));
        const T c = sign > 0 ? s->cosOut : s->cosIn;
        const T sn = sign > 0 ? s->sinOut : s->sinIn;
        for (uint32_t t = done; t < done + n; ++t) {
            for (uint32_t k = 0; k < ch; ++k)
                y[t * outCh + k] = A::product(x[t * inCh + k], gain);
            if (t < gainWords)
                g[t] = gain;
            A::turn(re, im, c, sn);
            gain = A::gain(sign, re);
        }
        s->samplesDone = std::max(s->samplesDone, 0) + static_cast<int32_t>(n);
        done += n;
    }
    s->gain = gain;
    s->phasorRe = re;
    s->phasorIm = im;
}

} // namespace kve::mutesync
