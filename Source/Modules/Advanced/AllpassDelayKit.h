// What the allpass delay classes share: their variable lists, the lines they size, the frame arithmetic of a line
// read `delay` frames back, the Fract32 gain split into mantissa and exponent, and the modulated sections' loop.
#pragma once

#include <algorithm>
#include <array>

#include "Modules/Advanced/AllpassDelays.h"
#include "Modules/Standard/Delays.h"
#include "Modules/Standard/Shapes.h"

namespace kve::allpass {

template <kit::Type LineType> constexpr std::array<kit::Variable, 5> wholeSampleVariables()
{
    using M = AllpassDelayModule;
    using kit::Type;
    return {{{offsetof(M, maxDelay), Type::Int},
             {offsetof(M, delay), Type::Int},
             {offsetof(M, gain), Type::Float},
             {offsetof(M, writeIndex), Type::Int},
             {offsetof(M, line), LineType, kit::fixedLength(0)}}};
}

template <kit::Type LineType> constexpr std::array<kit::Variable, 7> fract32Variables()
{
    using M = AllpassDelayFract32Module;
    using kit::Type;
    return {{{offsetof(M, maxDelay), Type::Int},
             {offsetof(M, delay), Type::Int},
             {offsetof(M, gain), Type::Float},
             {offsetof(M, mantissa), Type::Int},
             {offsetof(M, exponent), Type::Int},
             {offsetof(M, writeIndex), Type::Int},
             {offsetof(M, line), LineType, kit::fixedLength(0)}}};
}

inline constexpr std::array<kit::Variable, 6> kModulatedVariables = {{
    KVE_VARIABLE(ModulatedAllpassModule, maxDelay, Int),
    KVE_VARIABLE(ModulatedAllpassModule, baseDelay, Float),
    KVE_VARIABLE(ModulatedAllpassModule, depth, Float),
    KVE_VARIABLE(ModulatedAllpassModule, gain, Float),
    KVE_VARIABLE(ModulatedAllpassModule, writeIndex, Int),
    KVE_ARRAY(ModulatedAllpassModule, line, FloatArray, fixedLength(0)),
}};

// Lines of (maxDelay + 1) frames of the input's channels: 32-bit words from heap list 2, or 16-bit words from heap
// list 3 padded to whole 32-bit words. A negative maximum builds the line of a maximum of 0.
delays::OwnArray wordLine(ClassModule *m);
delays::OwnArray fract32WordLine(ClassModule *m);
delays::OwnArray halfwordLine(ClassModule *m);
delays::OwnArray fract32HalfwordLine(ClassModule *m);
delays::OwnArray modulatedLine(ClassModule *m);

// Where a block of whole-sample allpass work stands: the line's length in samples, the write position and the read
// position `delay` frames back, the delay held to 0 .. the longest the line holds.
struct Ring {
    int32_t length;
    int32_t write;
    int32_t read;
};
// `slots` samples the line was built with (0: nothing to run), `channels` of the input.
Ring ringOf(uint32_t slots, uint32_t channels, int32_t maxDelay, int32_t delay, int32_t writeIndex);

// One block of a whole-sample allpass: the words in and out hold, the samples, the line positions and where the
// line sample behind every output goes: the second output when there is one that holds the block, else nowhere
// (null) or, for the kernels that always write it, the output itself, each overwritten by its result.
template <class T> struct Block {
    Ring ring;
    int32_t n;
    const T *x;
    T *y;
    T *delayed;
};

// The block of module m, whose line holds `slots` samples; false when the line holds no frame.
template <class M, class T> bool blockOf(ClassModule *m, uint32_t slots, bool delayedIntoOutput, Block<T> &b)
{
    const auto *s = reinterpret_cast<const M *>(m);
    const GenericWire *in = kit::wire(m, 0);
    GenericWire *out = kit::wire(m, 1);
    b.ring = ringOf(slots, shapes::channels(in), s->maxDelay, s->delay, s->writeIndex);
    if (b.ring.length == 0)
        return false;
    b.n = shapes::held({in, out});
    b.x = static_cast<const T *>(in->buffer);
    b.y = static_cast<T *>(out->buffer);
    GenericWire *tapped = shapes::outputs(m) > 1 ? kit::wire(m, 2) : nullptr;
    const bool holds = tapped != nullptr && kit::wireWords(tapped) >= static_cast<uint32_t>(b.n);
    b.delayed = holds ? static_cast<T *>(tapped->buffer) : (delayedIntoOutput ? b.y : nullptr);
    return true;
}

// Steps both positions of the ring by one sample.
inline void advance(Ring &r)
{
    r.write = r.write + 1 == r.length ? 0 : r.write + 1;
    r.read = r.read + 1 == r.length ? 0 : r.read + 1;
}

// Set of the Fract32 forms: gain = mantissa x 2^exponent, mantissa a Q31 in [0.5, 1) (negative for a negative
// gain), a gain of 0 or NaN 0 x 2^0.
int32_t fract32GainSet(ClassModule *m, uint32_t mask);

// The line's sample at position p, any whole number of lines away from [0, length).
float lineAt(const float *line, int64_t length, int64_t p);

// One value of the interpolated line, given the line, its length and the frame's first tap position.
using Tap = float (*)(const float *line, int64_t length, int64_t p0, int64_t frame, float f);

// The modulated allpass: per frame the taps are placed from the delay, the output is the interpolated value d minus
// g x, and x + g y goes into the line. `cubic` places the first tap two frames newer, as the cubic's taps straddle
// the delay.
void processModulated(ClassModule *m, bool cubic, Tap tap);

} // namespace kve::allpass
