// Class records of the delay lines: block delays, a 16-bit delay, modulated delays with linear or cubic taps (float
// and Fract32), per-channel and multi-tap delays, a line one module writes and others read by its object id, and a
// fractional delay built from a whole-sample delay and a FIR; with the helpers they share.
#pragma once

#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>

#include "Modules/ModuleKit.h"
#include "Modules/Standard/Shapes.h"

extern "C" {
extern const kve::kit::ClassRecord<4> kve_modBlockDelayClass;
extern const kve::kit::ClassRecord<5> kve_modBlockDelayV2Class;
extern const kve::kit::ClassRecord<6> kve_modDelay16Class;
extern const kve::kit::ClassRecord<7> kve_modDelayInterpClass;
extern const kve::kit::ClassRecord<10> kve_modDelayInterpFract32Class;
extern const kve::kit::ClassRecord<9> kve_modDelayciFract32Class;
extern const kve::kit::ClassRecord<5> kve_modDelayNChanClass;
extern const kve::kit::ClassRecord<5> kve_modDelayNChanMsecClass;
extern const kve::kit::ClassRecord<5> kve_modDelayNTapClass;
extern const kve::kit::ClassRecord<7> kve_modDelayNTap16Fract32Class;
extern const kve::kit::ClassRecord<5> kve_modDelayStateWriterClass;
extern const kve::kit::ClassRecord<5> kve_modDelayStateWriter16Class;
extern const kve::kit::ClassRecord<5> kve_modDelayReaderClass;
extern const kve::kit::ClassRecord<3> kve_modFractionalDelayFract32Class;
}

namespace kve::dly {

// The size of each private array a class allocates itself: words of 4 bytes and the heap list they come from.
struct ArraySize {
    uint64_t words;
    uint32_t heaps;
};
using SizeArray = ArraySize (*)(ClassModule *m, uint32_t array);

// Builds a module of `record` wired with at least `inputs` and `outputs`, then allocates its first `arrays` private
// variables as `size` says and keeps each length as that array's capacity. Null (status set) when the wiring is
// short or an allocation fails.
ClassModule *constructArrays(const ModClassDescriptor &record, uint32_t inputs, uint32_t outputs, uint32_t arrays,
                             SizeArray size, int32_t *status, uint32_t wireWord, GenericWire **wires, uint32_t argc,
                             const uint32_t *args);

template <const auto *Record, uint32_t Inputs, uint32_t Outputs, uint32_t Arrays, SizeArray Size>
ClassModule *withArrays(int32_t *status, uint32_t wireWord, GenericWire **wires, uint32_t argc, const uint32_t *args)
{
    return constructArrays(Record->record, Inputs, Outputs, Arrays, Size, status, wireWord, wires, argc, args);
}

// A delay a layout or host wrote, held to 0 .. longest.
inline uint32_t heldDelay(int32_t delay, uint32_t longest)
{
    return delay <= 0 ? 0 : (static_cast<uint32_t>(delay) > longest ? longest : static_cast<uint32_t>(delay));
}

// A ring index a host wrote, brought into 0 .. len - 1.
inline int32_t ringIndex(int32_t index, int32_t len)
{
    const int32_t r = index % len;
    return r < 0 ? r + len : r;
}

// ---- Modulated delays ----

// The modulated delays: wire 0 the modulation (one value per frame), wire 1 the audio, wire 2 the output. Each
// frame's delay D is cut into whole frames n and a fraction; `zero` marks D exactly 0.
struct FrameDelay {
    int32_t n;
    bool zero;
};

// Where one frame's taps lie in a ring of `ring` words of `ch` channels, counted back in frames from the sample just
// written; `k` frames back from the frame's first write position w, brought into the ring.
inline int64_t tapAt(int64_t w, int64_t k, uint32_t ch, int64_t ring)
{
    int64_t p = w - k * ch;
    if (p < 0)
        p += ring;
    else if (p >= ring)
        p -= ring;
    return p;
}

// How far back each of the four cubic taps lies. The taps sit at n - 2 .. n + 1 frames back (D = 0: 0 .. 3); a tap
// that would lie newer than the sample just written reads that sample, since nothing newer is in the line.
inline void cubicOffsets(const FrameDelay &d, int64_t k[4])
{
    const int64_t first = d.zero ? 0 : int64_t{d.n} - 2;
    for (int t = 0; t < 4; ++t)
        k[t] = first + t < 0 ? 0 : first + t;
}

// Copies the audio input (wire 1) to the output unchanged, as far as both hold; the line is left as it was.
void bypassModulated(ClassModule *m);

// The Fract32 modulated delays: Set turns the float base delay and depth into Q16.
int32_t toQ16(float v);

// One frame's delay in Q16 from the Q16 base and depth and the Fract32 modulation value, held to 0 .. max frames;
// returns whole frames and the Q31 fraction (0 at the maximum).
FrameDelay fract32Delay(int32_t baseQ16, int32_t depthQ16, int32_t mod, uint32_t maxDelay, int32_t *fraction);

// The Q31 terms of the Fract32 cubic's weights at the fraction f, taken once per frame.
struct CubicTerms {
    int64_t f, f2, f3, a, b, c, d, e, g;
};
CubicTerms cubicTerms(int32_t f);

// The Fract32 taps of one frame: where they lie and the frame's weight terms.
struct Fract32Taps {
    int32_t baseQ16;
    int32_t depthQ16;
    bool cubic;
    int32_t f = 0;
    CubicTerms terms{};
    void frame(uint32_t control, uint32_t maxDelay, int64_t k[4]);
    Fract32 sample(const Fract32 *line, const int64_t at[4]) const;
};

// The Q31 product of two words, shifted right toward minus infinity.
inline int64_t q31(int64_t a, int64_t b) { return (a * b) >> 31; }

inline Fract32 saturate(int64_t v) { return static_cast<Fract32>(std::clamp<int64_t>(v, INT32_MIN, INT32_MAX)); }

// The Fract32 linear tap between l0 (newer) and l1 (older) at the Q31 fraction f, saturated.
inline Fract32 linearFract32(int32_t l0, int32_t l1, int32_t f)
{
    return saturate(q31(l0, int64_t{INT32_MAX} - f) + std::min(q31(l1, f), int64_t{INT32_MAX}));
}

// The Fract32 cubic of four line samples l0 (newest tap) .. l3 with the frame's weight terms, summed in the order
// the datapath takes them, saturated.
inline Fract32 cubicFract32(const CubicTerms &t, int32_t l0, int32_t l1, int32_t l2, int32_t l3)
{
    int64_t s = q31(l0, t.f2 >> 1);
    s += q31(l0, t.a);
    s += q31(l0, t.b);
    s += l1;
    s += q31(l1, t.f3 >> 1);
    s -= q31(l1, t.f2);
    s += q31(l1, t.c);
    s += q31(l2, t.d);
    s += q31(l2, t.f2 >> 1);
    s += std::min(q31(t.f, l2), int64_t{INT32_MAX});
    s += q31(l3, t.e);
    s += q31(l3, t.g);
    return saturate(s);
}

inline Fract32 Fract32Taps::sample(const Fract32 *line, const int64_t at[4]) const
{
    return cubic ? cubicFract32(terms, line[at[0]], line[at[1]], line[at[2]], line[at[3]])
                 : linearFract32(line[at[0]], line[at[1]], f);
}

// The float cubic weights at fraction f, the constants as the datapath has them.
void cubicWeights(float f, float w[4]);

// The per-frame loop of the modulated delays over a line of (max + 1) frames of the audio wire's channels (the line
// array is the module's first). Per frame `taps.frame(control word, max, k)` places the four taps k frames back
// from the sample just written (as far as the taps go) and keeps the frame's weights; then each channel's sample
// is written and `taps.sample(line, positions)` forms its output.
template <class Sample, class Taps>
void processModulated(ClassModule *m, uint32_t maxDelay, int32_t *writeIndex, Sample *line, Taps &taps)
{
    const GenericWire *mod = kit::wire(m, 0);
    const GenericWire *in = kit::wire(m, 1);
    const GenericWire *out = kit::wire(m, shapes::inputs(m));
    const uint32_t ch = shapes::channels(in);
    const uint32_t frames = ch == 0 ? 0 : kit::capacity(m, 0) / ch;
    if (frames == 0)
        return;
    // The longest delay the line built for this wire holds.
    maxDelay = maxDelay < frames - 1 ? maxDelay : frames - 1;
    const auto ring = static_cast<int64_t>(ch) * (maxDelay + 1);
    const uint32_t modWords = kit::wireWords(mod);
    const auto *control = static_cast<const uint32_t *>(mod->buffer);
    const auto *x = static_cast<const Sample *>(in->buffer);
    auto *y = static_cast<Sample *>(out->buffer);
    const uint32_t block = std::min(kit::blockSize(in), kit::wireWords(out) / ch);
    int64_t w = ringIndex(*writeIndex, static_cast<int32_t>(ring));
    for (uint32_t t = 0; t < block; ++t) {
        // One modulation value per frame; a short modulation wire repeats its last value, an empty one none.
        const uint32_t v = modWords == 0 ? 0 : control[std::min(t, modWords - 1)];
        int64_t at[4] = {};
        taps.frame(v, maxDelay, at);
        for (auto &a : at)
            a = tapAt(w, a, ch, ring);
        for (uint32_t c = 0; c < ch; ++c) {
            line[w] = x[t * ch + c];
            w = w + 1 == ring ? 0 : w + 1;
            y[t * ch + c] = taps.sample(line, at);
            for (auto &a : at)
                a = a + 1 == ring ? 0 : a + 1;
        }
    }
    *writeIndex = static_cast<int32_t>(w);
}

// What the Fract32 modulated delays keep after their maximum (and DelayInterpFract32's mode): the float base delay
// and depth with their Q16 forms, an unused word, the write index and the line's heap list.
struct Fract32ModulatedTail {
    float baseDelay;
    int32_t baseQ16;
    float depth;
    int32_t depthQ16;
    int32_t unused;
    int32_t writeIndex;
    int32_t heap;
};

// The variable list of a Fract32 modulated delay: its `head` variables, the tail's seven words, then the line.
template <class Module, size_t Head>
constexpr std::array<kit::Variable, Head + 8> fract32ModulatedVariables(const std::array<kit::Variable, Head> &head)
{
    using kit::Type;
    std::array<kit::Variable, Head + 8> v{};
    for (size_t k = 0; k < Head; ++k)
        v[k] = head[k];
    const Type types[7] = {Type::Float, Type::Int, Type::Float, Type::Int, Type::Int, Type::Int, Type::Int};
    for (uint32_t k = 0; k < 7; ++k)
        v[Head + k] = kit::Variable{static_cast<uint32_t>(offsetof(Module, tail)) + 4 * k, types[k]};
    v[Head + 7] = KVE_ARRAY(Module, line, Fract32Array, fixedLength(0));
    return v;
}

// The Fract32 modulated delays: the tail's base and depth in Q16, write index and line; cubic or linear taps.
template <class Module> void processFract32(ClassModule *m, bool cubic)
{
    auto *s = reinterpret_cast<Module *>(m);
    Fract32Taps taps{s->tail.baseQ16, s->tail.depthQ16, cubic};
    processModulated(m, heldDelay(s->maxDelay, UINT32_MAX), &s->tail.writeIndex, s->line, taps);
}

// Their Set turns the float base delay and depth into Q16, whatever the mask.
template <class Module> int32_t setFract32(ClassModule *m, uint32_t)
{
    auto *s = reinterpret_cast<Module *>(m);
    s->tail.baseQ16 = toQ16(s->tail.baseDelay);
    s->tail.depthQ16 = toQ16(s->tail.depth);
    return KVE_OK;
}

// The line of a modulated delay whose heap list is `heap`: (max + 1) frames of the audio wire's channels.
inline ArraySize modulatedLineOf(ClassModule *m, int32_t maxDelay, int32_t heap)
{
    return {uint64_t{shapes::channels(kit::wire(m, 1))} * (uint64_t{heldDelay(maxDelay, UINT32_MAX - 1)} + 1),
            static_cast<uint32_t>(heap)};
}

template <class Module> ArraySize fract32Line(ClassModule *m, uint32_t)
{
    auto *s = reinterpret_cast<Module *>(m);
    return modulatedLineOf(m, s->maxDelay, s->tail.heap);
}

// A modulated delay's line, from the heap list the layout names.
template <class Module> ArraySize modulatedLine(ClassModule *m, uint32_t)
{
    auto *s = reinterpret_cast<Module *>(m);
    return modulatedLineOf(m, s->maxDelay, s->heap);
}

} // namespace kve::dly
