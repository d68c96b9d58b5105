// Class records of the delay and table modules: sample delays and curves that map every sample through a table or
// a piecewise polynomial.
#pragma once

#include <array>
#include <cmath>
#include <cstdint>

#include "Modules/Standard/Shapes.h"

extern "C" {
extern const kve::kit::ClassRecord<5> kve_modDelayClass;
extern const kve::kit::ClassRecord<4> kve_modDelayMsecClass;
extern const kve::kit::ClassRecord<6> kve_modDelayiClass;
extern const kve::kit::ClassRecord<6> kve_modDelayciClass;
extern const kve::kit::ClassRecord<6> kve_modTableLookupClass;
extern const kve::kit::ClassRecord<7> kve_modTableLookupV2Class;
extern const kve::kit::ClassRecord<5> kve_modTwoPieceInterpClass;
}

namespace kve::delays {

// The one private array of a ring or table the class sizes itself: the private pointer it goes to (of any 32-bit
// sample type), its length in 32-bit words and the heap list it comes from.
struct OwnArray {
    void *array;
    uint64_t words;
    uint32_t heaps;
};
using SizeOwnArray = OwnArray (*)(ClassModule *m);

// Builds a module of `record` wired with at least `inputs` and `outputs`, then allocates its one array as `size`
// says and keeps its length as the array's capacity. Null (status set) when the wiring is short or the allocation
// fails.
ClassModule *constructWithOwnArray(const ModClassDescriptor &record, uint32_t inputs, uint32_t outputs,
                                   SizeOwnArray size, int32_t *status, uint32_t wireWord, GenericWire **wires,
                                   uint32_t argc, const uint32_t *args);

template <const auto *Record, uint32_t Inputs, uint32_t Outputs, SizeOwnArray Size>
ClassModule *withOwnArray(int32_t *status, uint32_t wireWord, GenericWire **wires, uint32_t argc,
                          const uint32_t *args)
{
    return constructWithOwnArray(Record->record, Inputs, Outputs, Size, status, wireWord, wires, argc, args);
}

// The modulated fractional delays: wire 0 the modulation, wire 1 the audio, wire 2 the output.
struct ModulatedDelayModule {
    ClassModule header;
    uint32_t maxDelay;
    float currentDelay;
    float modDepth;
    uint32_t stateIndex;
    uint32_t stateHeap;
    float *state;
};

inline constexpr std::array<kit::Variable, 6> kModulatedVariables = {
    KVE_VARIABLE(ModulatedDelayModule, maxDelay, UInt),
    KVE_VARIABLE(ModulatedDelayModule, currentDelay, Float),
    KVE_VARIABLE(ModulatedDelayModule, modDepth, Float),
    KVE_VARIABLE(ModulatedDelayModule, stateIndex, UInt),
    KVE_VARIABLE(ModulatedDelayModule, stateHeap, UInt),
    // ch of wire 1 x (maxDelay + 1) words: the constructor allocates it.
    KVE_ARRAY(ModulatedDelayModule, state, FloatArray, fixedLength(0)),
};

// The ring of a modulated delay: ch of wire 1 x (maxDelay + 1) words from the heap list `stateHeap`.
OwnArray modulatedRing(ClassModule *m);

// One output sample of a channel from the ring x of `ring` words, given the delay's integer part k, fraction f,
// the write position before this frame's samples went in (`at`), the channel count and the channel.
using Tap = float (*)(const float *x, int64_t ring, int64_t at, uint32_t ch, uint32_t c, int64_t k, float f);

// Runs a modulated delay whose delay is clamped to `lowest` .. maxDelay, reading every sample with `tap`.
void processModulated(ClassModule *m, float lowest, Tap tap);

// Copies wire 1 to wire 2, as far as both hold.
void bypassModulated(ClassModule *m);

} // namespace kve::delays

namespace kve::delays {

// Sample `delay` frames back of channel c, from the write position `at` of this frame's channel 0.
inline float back(const float *x, int64_t ring, int64_t at, uint32_t ch, uint32_t c, int64_t delay)
{
    const int64_t p = (at + c - delay * static_cast<int64_t>(ch)) % ring;
    return x[p < 0 ? p + ring : p];
}

} // namespace kve::delays

extern "C" {
extern const kve::kit::ClassRecord<5> kve_modTableInterpClass;
extern const kve::kit::ClassRecord<7> kve_modTableInterpFract32Class;
extern const kve::kit::ClassRecord<5> kve_modTableInterpRuntimeClass;
}

namespace kve::delays {

// The piecewise-polynomial tables: variable 0 `numPoints` sizes the arrays, variable 1 `numUsed` is how many of
// the points the host fills. Array 0 holds the (x, y) pairs, array 1 the coefficients, `PerSegment` per segment.
// The kernel is handed the points in use, held to what was built.
template <class Module, uint32_t PerSegment>
int32_t pointsInUse(ClassModule *m)
{
    const auto *s = reinterpret_cast<const Module *>(m);
    uint32_t n = std::min(s->numUsed, s->numPoints);
    n = std::min(n, kit::capacity(m, 0) / 2);
    n = std::min(n, kit::capacity(m, 1) / PerSegment + 1);
    return static_cast<int32_t>(n);
}

template <class Module, uint32_t PerSegment, auto Kernel, class T>
void tableBody(ClassModule *m, const T *x, T *y, int32_t n)
{
    const auto *s = reinterpret_cast<const Module *>(m);
    Kernel(x, s->points, pointsInUse<Module, PerSegment>(m), s->coeffs, y, n);
}

} // namespace kve::delays

namespace kve::delays {

// The uniform lookup tables: `tableSize`, `interpolationType`, `minX`, `maxX`, `divisor` and the array `table`.
// Entries the table holds: what the host says, never more than was built.
template <class Module> uint32_t entries(ClassModule *m)
{
    return std::min(reinterpret_cast<const Module *>(m)->tableSize, kit::capacity(m, 0));
}

template <class Module> int32_t lookupSet(ClassModule *m, uint32_t mask)
{
    auto *s = reinterpret_cast<Module *>(m);
    if ((mask & (3u << 10)) != 0)
        s->divisor = static_cast<float>(static_cast<int32_t>(s->tableSize) - 1) / (s->maxX - s->minX);
    return KVE_OK;
}

template <class Module> void lookupBody(ClassModule *m, const float *x, float *y, int32_t n)
{
    const auto *s = reinterpret_cast<const Module *>(m);
    const uint32_t size = entries<Module>(m);
    if (size == 0) {
        for (int32_t i = 0; i < n; ++i)
            y[i] = 0.0f;
        return;
    }
    const float *t = s->table;
    const float last = static_cast<float>(size - 1);
    for (int32_t i = 0; i < n; ++i) {
        const float v = x[i];
        if (v <= s->minX) {
            y[i] = t[0];
        } else if (v >= s->maxX) {
            y[i] = t[size - 1];
        } else {
            // NaN reads entry 0; rounding that reaches past the last entry reads the last.
            const float u = (v - s->minX) * s->divisor;
            if (s->interpolationType == 0) {
                const float r = std::floor(std::fma(1.0f, u, 0.5f));
                y[i] = t[r >= 0.0f && r <= last ? static_cast<uint32_t>(r) : (r > last ? size - 1 : 0)];
            } else {
                const float f = std::floor(u);
                if (!(f >= 0.0f)) {
                    y[i] = t[0];
                } else if (f >= last) {
                    y[i] = t[size - 1];
                } else {
                    const auto k = static_cast<uint32_t>(f);
                    const float g = u - f;
                    y[i] = t[k] * (1.0f - g) + g * t[k + 1];
                }
            }
        }
    }
}

} // namespace kve::delays
