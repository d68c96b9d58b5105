// What the window and overlap-add modules share: their construction checks, the fixed-point window conversion, and
// the float and Fract32 twins' overlap-add written once over the sample type.
#pragma once

#include <algorithm>
#include <cstring>

#include "Dsp/Fract32.h"
#include "Modules/Advanced/Windows.h"
#include "Modules/Standard/Scalers.h"
#include "kve/kve_vec.h"

namespace kve::windows {

// Block size of wire k as the constructor sees it, 0 when the wiring lacks it.
inline uint32_t blockOf(GenericWire **wires, uint32_t k)
{
    return wires != nullptr && wires[k] != nullptr ? kit::blockSize(wires[k]) : 0;
}

// Refuses a shape Process could not serve: -67, nothing built.
inline ClassModule *refuse(int32_t *status)
{
    *status = KVE_E_BAD_ARGUMENT;
    return nullptr;
}

// Folds a host may write, held to 1 .. the segments of `outBlock` samples a window of `length` holds (the first
// segment is always taken).
inline uint32_t foldCount(int32_t written, uint32_t length, uint32_t outBlock)
{
    const uint32_t most = std::max(1u, length / std::max(1u, outBlock));
    return written <= 1 ? 1u : std::min(static_cast<uint32_t>(written), most);
}

// The common exponent of a window and its Fract32 coefficients: the largest binary exponent over the coefficients,
// from -32 up (a zero counts as exponent 0), so every coefficient scaled by 2^-exponent lies inside -1.0 .. 1.0 and
// the largest keeps its full precision. Returns the exponent.
int32_t fixedPointWindow(const float *window, Fract32 *coefficients, uint32_t length);

// A Fract32 product scaled by a host-written postShift: counts beyond +-63 act as +-63 do (every nonzero product
// saturates, or shifts out).
inline Fract32 shiftedProduct(Fract32 product, int32_t postShift)
{
    return kve_shiftProductFract32(product, std::clamp(postShift, -63, 63));
}

// A 64-bit sum of Fract32 products scaled by 2^postShift and saturated to 0x80000000..0x7FFFFFFF; a right shift
// rounds toward minus infinity. Before a left shift the sum saturates first: a sum beyond 32 bits saturates either
// way, and the product stays inside 64 bits.
inline Fract32 shiftedSum(int64_t sum, int32_t postShift)
{
    if (postShift < 0)
        return kve_saturate64(sum >> std::min(-static_cast<int64_t>(postShift), int64_t{63}));
    return shiftedProduct(kve_saturate64(sum), postShift);
}

// A history of `length` samples holds the input block and the output blocks it folds (at least one).
inline bool aliasShapeFits(int32_t length, int32_t folds, uint32_t inBlock, uint32_t outBlock)
{
    const uint64_t segments = static_cast<uint64_t>(std::max(folds, 1));
    const auto room = static_cast<uint32_t>(std::max(length, 0));
    return length >= 0 && inBlock <= room && segments * outBlock <= room;
}

// acc + x x w: the float product and sum, or the Fract32 product and sum, each saturated.
inline float multiplyAdd(float acc, float x, float w) { return acc + x * w; }
inline Fract32 multiplyAdd(Fract32 acc, Fract32 x, Fract32 w) { return kve_addFract32(acc, kve_mulFract32(x, w)); }

inline void ringAdd(float *ring, int32_t len, int32_t *at, const float *src, int32_t n)
{
    kve_vecCircAdd(ring, len, at, 1, src, 1, n);
}
inline void ringAdd(Fract32 *ring, int32_t len, int32_t *at, const Fract32 *src, int32_t n)
{
    kve_vecCircAddFract32(ring, len, at, 1, src, 1, n);
}
inline void ringFill(float *ring, int32_t len, int32_t *at, int32_t n) { kve_vecCircFill(ring, len, at, 1, 0.0f, n); }
inline void ringFill(Fract32 *ring, int32_t len, int32_t *at, int32_t n)
{
    kve_vecCircFillFract32(ring, len, at, 1, 0, n);
}

// WindowOverlap on either sample type. The state holds N frames, the oldest output first: the windowed block is
// added over all N, the first P frames go out, and the rest move P frames up with P zero frames behind them, so a
// block's frame n leaves after n / P further blocks and a hop of P reproduces the analysed signal N - P samples late.
template <typename Sample> void windowOverlapProcess(ClassModule *m)
{
    auto *s = reinterpret_cast<WindowOverlapModule<Sample> *>(m);
    const GenericWire *in = kit::wire(m, 0);
    GenericWire *out = kit::wire(m, 1);
    const uint32_t span = kit::capacity(m, 0);
    if (span == 0)
        return;
    const uint32_t built = kit::capacity(m, 1) / span;
    const uint32_t inCh = scalers::channels(in);
    const uint32_t outCh = scalers::channels(out);
    const uint32_t ch = std::min({inCh, outCh, built});
    const uint32_t n = std::min(kit::blockSize(in), span);
    const uint32_t hop = std::min(kit::blockSize(out), span);
    const auto *x = static_cast<const Sample *>(in->buffer);
    auto *y = static_cast<Sample *>(out->buffer);
    Sample *state = s->state;
    const Sample *window = s->window;
    if (inCh == 1 && outCh == 1 && built == 1) {
        // One channel everywhere: flat loops.
        for (uint32_t j = 0; j < n; ++j)
            state[j] = multiplyAdd(state[j], x[j], window[j]);
        std::copy(state, state + hop, y);
    } else {
        for (uint32_t c = 0; c < ch; ++c)
            for (uint32_t j = 0; j < n; ++j)
                state[j * built + c] = multiplyAdd(state[j * built + c], x[j * inCh + c], window[j]);
        for (uint32_t j = 0; j < hop; ++j)
            for (uint32_t c = 0; c < ch; ++c)
                y[j * outCh + c] = state[j * built + c];
    }
    const uint32_t kept = (span - hop) * built;
    std::memmove(s->state, s->state + hop * built, kept * sizeof(Sample));
    std::fill(s->state + kept, s->state + span * built, Sample{});
}

// Builds a WindowOverlap of either type: P above N would output frames the state does not hold.
template <size_t N>
ClassModule *windowOverlapConstructor(const kit::ClassRecord<N> &record, const std::array<kit::Variable, N> &variables,
                                      int32_t *status, uint32_t wireWord, GenericWire **wires, uint32_t argc,
                                      const uint32_t *args)
{
    if (!kit::requireWires(status, wireWord, 1, 1))
        return nullptr;
    if (blockOf(wires, 1) > blockOf(wires, 0))
        return refuse(status);
    return kit::construct(record, variables, 1, 1, status, wireWord, wires, argc, args);
}

// OverlapAdd on either sample type: the ring of M x `bufferLength` frames (beyond a float ring's spare word) takes
// the whole block at `stateIndex`, hands out the P frames there, clears them and moves on by them.
template <typename Sample, uint32_t Spare> void overlapAddProcess(ClassModule *m)
{
    auto *s = reinterpret_cast<OverlapAddModule<Sample> *>(m);
    const GenericWire *in = kit::wire(m, 0);
    GenericWire *out = kit::wire(m, 1);
    const auto len = static_cast<int32_t>(kit::capacity(m, 0) - Spare);
    const auto hopWords = static_cast<int32_t>(
        std::min(scalers::channels(in) * kit::blockSize(out), kit::wireWords(out)));
    int32_t at = s->stateIndex;
    ringAdd(s->state, len, &at, static_cast<const Sample *>(in->buffer), static_cast<int32_t>(kit::wireWords(in)));
    at = s->stateIndex;
    kve_vecCircRead(s->state, len, &at, 1, out->buffer, 1, hopWords);
    ringFill(s->state, len, &s->stateIndex, hopWords);
}

// Builds an OverlapAdd of either type: a ring shorter than the input or output block would fold a block onto
// itself.
template <size_t N>
ClassModule *overlapAddConstructor(const kit::ClassRecord<N> &record, std::array<kit::Variable, N> variables,
                                   uint32_t spare, int32_t *status, uint32_t wireWord, GenericWire **wires,
                                   uint32_t argc, const uint32_t *args)
{
    if (!kit::requireWires(status, wireWord, 1, 1))
        return nullptr;
    const int32_t frames = argc == 3 && args != nullptr ? static_cast<int32_t>(args[1]) : 0;
    if (argc == 3 && (frames < 0 || static_cast<uint32_t>(frames) < std::max(blockOf(wires, 0), blockOf(wires, 1))))
        return refuse(status);
    // The ring is the last variable.
    variables[N - 1].length = {kit::Length::From::WireChannels, 0, static_cast<uint32_t>(frames), spare};
    return kit::construct(record, variables, 1, 1, status, wireWord, wires, argc, args);
}

} // namespace kve::windows
