// Class records of the arithmetic modules: magnitudes, adders, subtractors, multipliers, dividers, sums and
// differences, squares, scale-offset, clips and polynomials; and the templates their Process functions share.
#pragma once

#include <algorithm>
#include <cstdint>
#include <type_traits>

#include "Modules/Standard/Shapes.h"
#include "kve/kve_vec.h"

extern "C" {
extern const kve::kit::ClassRecord<0> kve_modAbsClass;
extern const kve::kit::ClassRecord<1> kve_modAdderClass;
extern const kve::kit::ClassRecord<1> kve_modAdderFract32Class;
extern const kve::kit::ClassRecord<1> kve_modAdderInt32Class;
extern const kve::kit::ClassRecord<0> kve_modSubtractClass;
extern const kve::kit::ClassRecord<0> kve_modSubtractFract32Class;
extern const kve::kit::ClassRecord<0> kve_modSubtractInt32Class;
extern const kve::kit::ClassRecord<0> kve_modDivideClass;
extern const kve::kit::ClassRecord<1> kve_modMultiplierClass;
extern const kve::kit::ClassRecord<1> kve_modMultiplierFract32Class;
extern const kve::kit::ClassRecord<2> kve_modMultiplierV2Class;
extern const kve::kit::ClassRecord<3> kve_modMultiplierV2Fract32Class;
extern const kve::kit::ClassRecord<0> kve_modSumDiffClass;
extern const kve::kit::ClassRecord<0> kve_modSumDiffFract32Class;
extern const kve::kit::ClassRecord<0> kve_modSumDiffInt32Class;
extern const kve::kit::ClassRecord<0> kve_modSquareClass;
extern const kve::kit::ClassRecord<1> kve_modSquareAddClass;
extern const kve::kit::ClassRecord<1> kve_modSquareAddFract32Class;
extern const kve::kit::ClassRecord<2> kve_modScaleOffsetClass;
extern const kve::kit::ClassRecord<2> kve_modScaleOffsetInt32Class;
extern const kve::kit::ClassRecord<2> kve_modClipAsymClass;
extern const kve::kit::ClassRecord<2> kve_modPolynomialClass;
}

namespace kve::arith {

using shapes::Words;

// ---- N->1 folds: every input taken into one output ----

// Takes one more operand into the output in place: dst = dst op src, strided.
template <class T> using Take = void (*)(const T *src, int32_t srcInc, T *dst, int32_t dstInc, int32_t n);
// dst = a op b, strided: the sum and product kernels.
template <class T>
using Combine = void (*)(const T *a, int32_t aInc, const T *b, int32_t bInc, T *dst, int32_t dstInc, int32_t n);

// The Take of a sum or product kernel.
template <class T, Combine<T> K> void takeBy(const T *src, int32_t srcInc, T *dst, int32_t dstInc, int32_t n)
{
    K(dst, dstInc, src, srcInc, dst, dstInc, n);
}

// How an N->1 class folds its inputs: `Take` takes one more input in. The elementwise output begins as input 0 op
// input 1 in one pass through `FirstPair` (a lone input is copied), the others then taken in; with nullptr for
// FirstPair it begins at `Start` and every input is taken in. A one-channel output begins at `Start` (the
// operation's identity: 0, 1 or full scale, given as an integer so every compiler takes it as a template argument),
// or as channel 0 of input 0 when `StartAtFirstChannel`.
template <class T, Take<T> TakeFn, auto FirstPair, int32_t Start, bool StartAtFirstChannel = false> struct Fold {
    using Sample = T;
    static constexpr Take<T> take = TakeFn;
    static constexpr bool beginsWithPair = !std::is_null_pointer_v<decltype(FirstPair)>;
    static constexpr auto firstPair = FirstPair;
    static constexpr T start = static_cast<T>(Start);
    static constexpr bool startAtFirstChannel = StartAtFirstChannel;
};

inline void fill(float *y, float v, int32_t n) { kve_vecFill(y, 1, v, n); }
inline void fill(int32_t *y, int32_t v, int32_t n) { kve_vecFillInt32(y, 1, v, n); }

// Frames of a wire, a frame being one sample of `lanes` words on every channel; a wire without channels has none.
inline uint32_t framesOf(const GenericWire *w, uint32_t lanes)
{
    const uint32_t ch = shapes::channels(w);
    return ch == 0 ? 0 : kit::wireWords(w) / (ch * lanes);
}

// Elementwise: output (wire N) = input 0 op input 1 op ... op input N-1, over the words every wire holds.
template <class F> void foldElementwise(ClassModule *m)
{
    using T = typename F::Sample;
    const uint32_t n = shapes::inputs(m);
    uint32_t words = kit::wireWords(kit::wire(m, n));
    for (uint32_t k = 0; k < n; ++k)
        words = std::min(words, kit::wireWords(kit::wire(m, k)));
    const auto count = static_cast<int32_t>(words);
    T *y = shapes::words(kit::wire(m, n));
    uint32_t k = 0;
    if constexpr (F::beginsWithPair) {
        const T *x0 = shapes::words(kit::wire(m, 0));
        if (n < 2) {
            kve_vecCopy32(x0, 1, y, 1, count);
            return;
        }
        F::firstPair(x0, 1, shapes::words(kit::wire(m, 1)), 1, y, 1, count);
        k = 2;
    } else {
        fill(y, F::start, count);
    }
    for (; k < n; ++k)
        F::take(shapes::words(kit::wire(m, k)), 1, y, 1, count);
}

// One channel: every channel of every input taken into a one-channel output (channel c of an input read with the
// input's channel count as increment), over the frames every input and the output hold. A sample is `lanes` words:
// 2 keeps a complex output channel, real and imaginary parts taken separately.
template <class F> void foldOneChannel(ClassModule *m, uint32_t lanes = 1)
{
    using T = typename F::Sample;
    const uint32_t n = shapes::inputs(m);
    const GenericWire *out = kit::wire(m, n);
    uint32_t frames = kit::wireWords(out) / lanes;
    for (uint32_t k = 0; k < n; ++k)
        frames = std::min(frames, framesOf(kit::wire(m, k), lanes));
    const auto count = static_cast<int32_t>(frames);
    T *y = shapes::words(out);
    if constexpr (!F::startAtFirstChannel)
        fill(y, F::start, count * static_cast<int32_t>(lanes));
    for (uint32_t k = 0; k < n; ++k) {
        const GenericWire *in = kit::wire(m, k);
        const T *x = shapes::words(in);
        const uint32_t ch = shapes::channels(in);
        const auto inc = static_cast<int32_t>(ch * lanes);
        for (uint32_t c = 0; c < ch; ++c) {
            for (uint32_t l = 0; l < lanes; ++l) {
                if (F::startAtFirstChannel && k == 0 && c == 0)
                    kve_vecCopy32(x + l, inc, y + l, static_cast<int32_t>(lanes), count);
                else
                    F::take(x + c * lanes + l, inc, y + l, static_cast<int32_t>(lanes), count);
            }
        }
    }
}

// The N->1 classes whose one variable chooses the output's shape.
struct FoldModule {
    ClassModule header;
    int32_t oneChannelOutput;
};

inline constexpr std::array<kit::Variable, 1> kFoldVariables = {
    KVE_VARIABLE(FoldModule, oneChannelOutput, Int),
};

template <class F> void foldProcess(ClassModule *m)
{
    if (reinterpret_cast<const FoldModule *>(m)->oneChannelOutput != 0)
        foldOneChannel<F>(m);
    else
        foldElementwise<F>(m);
}

// Fract32 products, from full scale: the fold of MultiplierFract32 and MultiplierV2Fract32.
using Fract32Product = Fold<int32_t, takeBy<int32_t, kve_vecMultiply2x1Fract32>, kve_vecMultiply2x1Fract32, INT32_MAX>;

// Gain mode of the V2 multipliers: input 0 is a one-channel gain signal and output channel c is the gain times
// channel c of input 1, over the frames (in input 1's channels) that the gain, input 1 and the output hold.
// `Apply(m, x, xInc, gain, y, yInc, n)` scales one channel. A module left with one input has no signal to scale:
// its output is silent.
template <class T, auto Apply> void gainTimesChannels(ClassModule *m)
{
    const uint32_t n = shapes::inputs(m);
    const GenericWire *out = kit::wire(m, n);
    if (n < 2) {
        fill(static_cast<T *>(shapes::words(out)), T{}, static_cast<int32_t>(kit::wireWords(out)));
        return;
    }
    const GenericWire *gain = kit::wire(m, 0);
    const GenericWire *in = kit::wire(m, 1);
    const uint32_t ch = shapes::channels(in);
    if (ch == 0)
        return;
    const auto frames = static_cast<int32_t>(
        std::min({kit::wireWords(gain), kit::wireWords(in) / ch, kit::wireWords(out) / ch}));
    const T *g = shapes::words(gain);
    const T *x = shapes::words(in);
    T *y = shapes::words(out);
    for (uint32_t c = 0; c < ch; ++c)
        Apply(m, x + c, static_cast<int32_t>(ch), g, y + c, static_cast<int32_t>(ch), frames);
}

// The V2 multipliers' three modes, chosen by their first two variables, `firstInputIsGain` and then
// `oneChannelOutput`: the gain mode through `Apply`, the one-channel and elementwise folds through `F`.
template <class Module, auto Apply, class F> void multiplierV2(ClassModule *m)
{
    const auto *s = reinterpret_cast<const Module *>(m);
    if (s->firstInputIsGain != 0)
        gainTimesChannels<typename F::Sample, Apply>(m);
    else if (s->oneChannelOutput != 0)
        foldOneChannel<F>(m);
    else
        foldElementwise<F>(m);
}

// ---- Bodies of the fixed shapes ----

// 2->2: half sum and half difference of wires 0 and 1 into wires 2 and 3.
template <auto Kernel> void halfSumAndDifference(ClassModule *m)
{
    const GenericWire *a = kit::wire(m, 0);
    const GenericWire *b = kit::wire(m, 1);
    const GenericWire *sum = kit::wire(m, 2);
    const GenericWire *diff = kit::wire(m, 3);
    Kernel(shapes::words(a), shapes::words(b), shapes::words(sum), shapes::words(diff),
           shapes::held({a, b, sum, diff}));
}

// gain x + offset with the module's `gain` and `offset`.
template <class Module, auto Kernel> void scaleOffset(ClassModule *m, Words x, Words y, int32_t n)
{
    const auto *s = reinterpret_cast<const Module *>(m);
    Kernel(x, 1, y, 1, s->gain, s->offset, n);
}

} // namespace kve::arith
