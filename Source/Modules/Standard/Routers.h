// Class records of the router, multiplexor and interleave modules, and the routing-word decoding the routers share.
#pragma once

#include <algorithm>

#include "Dsp/Fract32.h"
#include "Modules/Standard/Scalers.h"
#include "kve/kve_vec_smooth.h"
#include "kve/kve_vec.h"

extern "C" {
extern const kve::kit::ClassRecord<1> kve_modRouterClass;
extern const kve::kit::ClassRecord<5> kve_modRouterSmoothedClass;
extern const kve::kit::ClassRecord<5> kve_modRouterSmoothedFract32Class;
extern const kve::kit::ClassRecord<0> kve_modInterleaveClass;
extern const kve::kit::ClassRecord<0> kve_modDeinterleaveClass;
extern const kve::kit::ClassRecord<1> kve_modDeMultiplexorClass;
extern const kve::kit::ClassRecord<2> kve_modMultiplexorClass;
extern const kve::kit::ClassRecord<5> kve_modMultiplexorFadeClass;
extern const kve::kit::ClassRecord<5> kve_modMultiplexorFadeFract32Class;
extern const kve::kit::ClassRecord<5> kve_modMultiplexorSmoothedClass;
extern const kve::kit::ClassRecord<5> kve_modMultiplexorSmoothedFract32Class;
extern const kve::kit::ClassRecord<5> kve_modMultiplexorControlClass;
extern const kve::kit::ClassRecord<11> kve_modMultiplexorV2Class;
extern const kve::kit::ClassRecord<11> kve_modMultiplexorV2Fract32Class;
}

namespace kve::routers {

using scalers::channels;
using scalers::isComplex;
using kit::blockSize;
using scalers::samples;

// The source a routing word names: bits 16-31 the input wire, bits 0-15 the channel within it. A word naming a wire
// or channel that does not exist routes nothing (null).
struct Route {
    const GenericWire *wire = nullptr;
    uint32_t channel = 0;
};

inline Route decode(const ClassModule *m, int32_t word)
{
    const int32_t wireIndex = word >> 16;
    const auto channel = static_cast<uint32_t>(word & 0xFFFF);
    if (wireIndex < 0 || static_cast<uint32_t>(wireIndex) >= KVE_PACKED_INPUTS(m->packed))
        return {};
    const GenericWire *w = kit::wire(m, static_cast<uint32_t>(wireIndex));
    return channel < channels(w) ? Route{w, channel} : Route{};
}

// Frames a routed source and the output both hold (complex frames when `complex`): a source shorter than the
// output block is never read past its end, and a wire without channels holds no frame at all, whatever its block.
inline int32_t routedFrames(const GenericWire *src, const GenericWire *out, bool complex)
{
    if (channels(src) == 0 || channels(out) == 0)
        return 0;
    const uint32_t n = std::min(blockSize(src), blockSize(out));
    return static_cast<int32_t>(complex ? n >> 1 : n);
}

// Copies a whole wire onto another, over the words both hold; the rest of the output is silent.
inline void copyWire(const GenericWire *in, GenericWire *out)
{
    const uint32_t n = std::min(kit::wireWords(in), kit::wireWords(out));
    kve_vecCopy32(in->buffer, 1, out->buffer, 1, static_cast<int32_t>(n));
    kve_vecFillInt32(static_cast<int32_t *>(out->buffer) + n, 1, 0, static_cast<int32_t>(kit::wireWords(out) - n));
}

inline void silenceWire(GenericWire *out)
{
    kve_vecFillInt32(static_cast<int32_t *>(out->buffer), 1, 0, static_cast<int32_t>(kit::wireWords(out)));
}

// A host's selection limited to the `count` choices that exist (0 when there are none).
inline uint32_t limited(int32_t index, uint32_t count)
{
    return count == 0 || index < 0 ? 0 : std::min(static_cast<uint32_t>(index), count - 1);
}

// Blocks a fade of `count` blocks lasts, as a count: not a number and negatives give 0, a count too large for an
// int32_t gives the largest.
inline int32_t blockCount(float count)
{
    if (!(count > 0.0f))
        return 0;
    return count >= 2147483520.0f ? INT32_MAX : static_cast<int32_t>(count);
}

// The first audio input of a multiplexor whose leading `numControlPins` inputs are control pins: never past the
// last input, so at least one audio input remains.
inline uint32_t firstAudioInput(const ClassModule *m, int32_t numControlPins)
{
    return limited(numControlPins, KVE_PACKED_INPUTS(m->packed));
}

// The MultiplexorV2 twins' choice of input: the request comes from `index`, or from the first word of the control
// pin; a new request starts a switch (fade-out gain full, fade-in gain 0, the fade-out-alone block count). Returns
// the output wire, and whether a switch is under way (false: the current input is simply copied to it).
template <typename Module, typename Gain>
bool multiplexV2Switching(ClassModule *m, Module *x, uint32_t first, Gain fullGain)
{
    const uint32_t audio = KVE_PACKED_INPUTS(m->packed) - first;
    int32_t request = x->index;
    if (first != 0 && kve::kit::wireWords(m->wires[0]) != 0)
        request = static_cast<const int32_t *>(m->wires[0]->buffer)[0];
    const auto r = static_cast<int32_t>(limited(request, audio));
    x->currentIndex = static_cast<int32_t>(limited(x->currentIndex, audio));
    x->nextIndex = static_cast<int32_t>(limited(x->nextIndex, audio));
    if (r != x->nextIndex && x->currentIndex == x->nextIndex) {
        x->nextIndex = r;
        x->fadeOutGain = fullGain;
        x->fadeInGain = Gain{0};
        x->fadeCounter = x->fadeBlocks;
    }
    if (x->currentIndex != x->nextIndex)
        return true;
    copyWire(m->wires[first + static_cast<uint32_t>(x->currentIndex)], m->wires[KVE_PACKED_INPUTS(m->packed)]);
    return false;
}

// The MultiplexorV2 twins' Bypass: the first audio input, copied to the output.
template <typename Module> void multiplexV2Bypass(ClassModule *m)
{
    const auto *x = reinterpret_cast<const Module *>(m);
    copyWire(m->wires[firstAudioInput(m, x->numControlPins)], m->wires[KVE_PACKED_INPUTS(m->packed)]);
}

// The glide kernels of the float and Fract32 classes, under one set of names, so that one template serves both.
struct FloatGlide {
    using T = float;
    static constexpr float kFull = 1.0f;
    static void fill(float *dst, int32_t inc, int32_t n) { kve_vecFill(dst, inc, 0.0f, n); }
    static void smooth(const float *src, int32_t srcInc, float *dst, int32_t dstInc, float *g, float target,
                       float coeff, int32_t n)
    {
        kve_vecScaleSmooth(src, srcInc, dst, dstInc, g, target, coeff, n);
    }
    static void addSmooth(const float *src, int32_t srcInc, float *dst, int32_t dstInc, float *g, float target,
                          float coeff, int32_t n)
    {
        kve_vecScaleAddSmooth(src, srcInc, dst, dstInc, g, target, coeff, n);
    }
};

struct Fract32Glide {
    using T = Fract32;
    static constexpr Fract32 kFull = 0x7FFFFFFF;
    static void fill(Fract32 *dst, int32_t inc, int32_t n) { kve_vecFillFract32(dst, inc, 0, n); }
    static void smooth(const Fract32 *src, int32_t srcInc, Fract32 *dst, int32_t dstInc, Fract32 *g, Fract32 target,
                       Fract32 coeff, int32_t n)
    {
        kve_vecScaleSmoothFract32(src, srcInc, dst, dstInc, g, target, 0, coeff, n);
    }
    static void addSmooth(const Fract32 *src, int32_t srcInc, Fract32 *dst, int32_t dstInc, Fract32 *g,
                          Fract32 target, Fract32 coeff, int32_t n)
    {
        kve_vecScaleAddSmoothFract32(src, srcInc, dst, dstInc, g, target, 0, coeff, n);
    }
};

// The smoothed routers, float and Fract32 alike. Per output channel the active word is heard through a gain that
// glides toward full while the host's word agrees with it and toward silence while it does not; once the gain has
// gone below `quiet`, the host's word becomes active and fades in from there. An active word that names nothing is
// silence and gives way at once.
template <typename Glide, typename T = typename Glide::T>
void routeSmoothed(ClassModule *m, const int32_t *channelIndex, int32_t *activeIndex, T *currentGain, T coeff,
                   T quiet)
{
    const GenericWire *out = kit::wire(m, KVE_PACKED_INPUTS(m->packed));
    const bool complex = isComplex(kit::wire(m, 0));
    const uint32_t parts = complex ? 2 : 1;
    const uint32_t outChannels = channels(out);
    const auto outStride = static_cast<int32_t>(parts * outChannels);
    const int32_t outFrames = static_cast<int32_t>(complex ? blockSize(out) >> 1 : blockSize(out));
    auto *outSamples = static_cast<T *>(out->buffer);
    for (uint32_t o = 0; o < outChannels; ++o) {
        if (o >= kit::capacity(m, 0)) { // a channel the output gained after construction has no word: silent
            for (uint32_t part = 0; part < parts; ++part)
                Glide::fill(outSamples + parts * o + part, outStride, outFrames);
            continue;
        }
        const Route route = decode(m, activeIndex[o]);
        const bool requested = activeIndex[o] == channelIndex[o];
        if (route.wire == nullptr) {
            for (uint32_t part = 0; part < parts; ++part)
                Glide::fill(outSamples + parts * o + part, outStride, outFrames);
            if (!requested) {
                currentGain[o] = T{0};
                activeIndex[o] = channelIndex[o];
            }
            continue;
        }
        const auto srcStride = static_cast<int32_t>(parts * channels(route.wire));
        const int32_t n = routedFrames(route.wire, out, complex);
        const auto *src = static_cast<const T *>(route.wire->buffer) + parts * route.channel;
        // Both parts of a complex channel start from the stored gain; the gain keeps the end value.
        T g = currentGain[o];
        for (uint32_t part = 0; part < parts; ++part) {
            T *dst = outSamples + parts * o + part;
            g = currentGain[o];
            Glide::smooth(src + part, srcStride, dst, outStride, &g, requested ? Glide::kFull : T{0}, coeff, n);
            Glide::fill(dst + n * outStride, outStride, outFrames - n);
        }
        currentGain[o] = g;
        if (!requested && g < quiet)
            activeIndex[o] = channelIndex[o];
    }
}

// The cross-fading multiplexors, float and Fract32 alike: once `index` leaves `currentIndex`, every channel of the
// old input glides from `fadeGain` toward silence while the new one glides from its complement toward full; the
// fade ends when the old input's gain falls below `done`. Inputs and `currentIndex` are limited to the wires that
// exist; frames are counted in wire 0's channels over the words every wire involved holds.
template <typename Glide, typename T = typename Glide::T>
void multiplexFade(ClassModule *m, int32_t *index, int32_t *currentIndex, T *fadeGain, T coeff, T done)
{
    const uint32_t inputs = KVE_PACKED_INPUTS(m->packed);
    GenericWire *out = kit::wire(m, inputs);
    *index = static_cast<int32_t>(limited(*index, inputs));
    *currentIndex = static_cast<int32_t>(limited(*currentIndex, inputs));
    if (*currentIndex == *index) {
        copyWire(kit::wire(m, static_cast<uint32_t>(*index)), out);
        *fadeGain = Glide::kFull;
        return;
    }
    const GenericWire *from = kit::wire(m, static_cast<uint32_t>(*currentIndex));
    const GenericWire *to = kit::wire(m, static_cast<uint32_t>(*index));
    const uint32_t ch = channels(kit::wire(m, 0));
    if (ch == 0)
        return;
    const auto n = static_cast<int32_t>(
        std::min({kit::wireWords(from), kit::wireWords(to), kit::wireWords(out)}) / ch);
    const auto stride = static_cast<int32_t>(ch);
    T last = *fadeGain;
    for (uint32_t c = 0; c < ch; ++c) {
        T fadeOut = *fadeGain;
        T fadeIn = Glide::kFull - *fadeGain;
        T *dst = static_cast<T *>(out->buffer) + c;
        Glide::smooth(static_cast<const T *>(from->buffer) + c, stride, dst, stride, &fadeOut, T{0}, coeff, n);
        Glide::addSmooth(static_cast<const T *>(to->buffer) + c, stride, dst, stride, &fadeIn, Glide::kFull, coeff,
                         n);
        last = fadeOut;
    }
    *fadeGain = last;
    if (*fadeGain < done)
        *currentIndex = *index;
}

// The multiplexors that switch through silence, float and Fract32 alike: the audio inputs are wires firstAudio on;
// input `currentIndex` glides toward full while it is the one requested and toward silence while it is not, and
// the request takes over in the next block once the gain stored at the block start is below `quiet`. Every channel
// starts from the stored gain. No audio input at all gives silence.
template <typename Glide, typename T = typename Glide::T>
void multiplexSmoothed(ClassModule *m, uint32_t firstAudio, int32_t request, int32_t *currentIndex, T *currentGain,
                       T coeff, T quiet)
{
    const uint32_t inputs = KVE_PACKED_INPUTS(m->packed);
    GenericWire *out = kit::wire(m, inputs);
    if (inputs <= firstAudio) {
        silenceWire(out);
        return;
    }
    *currentIndex = static_cast<int32_t>(limited(*currentIndex, inputs - firstAudio));
    const GenericWire *src = kit::wire(m, firstAudio + static_cast<uint32_t>(*currentIndex));
    const uint32_t ch = channels(kit::wire(m, firstAudio));
    if (ch == 0)
        return;
    const auto n = static_cast<int32_t>(std::min(kit::wireWords(src), kit::wireWords(out)) / ch);
    const auto stride = static_cast<int32_t>(ch);
    const bool requested = *currentIndex == request;
    const T stored = *currentGain;
    T working = stored;
    for (uint32_t c = 0; c < ch; ++c) {
        working = stored;
        Glide::smooth(static_cast<const T *>(src->buffer) + c, stride, static_cast<T *>(out->buffer) + c, stride,
                      &working, requested ? Glide::kFull : T{0}, coeff, n);
    }
    if (!requested && stored < quiet)
        *currentIndex = request;
    *currentGain = working;
}

} // namespace kve::routers
