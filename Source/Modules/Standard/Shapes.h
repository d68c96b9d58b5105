// Kit templates for the classes whose Process is one kernel or one scalar function: one constructor and one Process
// per wire shape (1->1, 2->1, 1->2, N->N, N->N-1, N->1). A class gives only its body; the template finds the wires
// and how many words every wire involved holds, so an output smaller than its input, or a shorter second input, is
// never overrun, and wiring with fewer wires than the shape reads is refused.
#pragma once

#include <algorithm>
#include <cstdint>
#include <initializer_list>
#include <type_traits>

#include "Modules/ModuleKit.h"

namespace kve::shapes {

// A wire's sample words, as the sample type the kernel or body takes: every wire carries 32-bit words whose meaning
// (float, Fract32, integer) is the class's.
struct Words {
    void *p;
    template <class T> operator T *() const { return static_cast<T *>(p); }
};

inline Words words(const GenericWire *w) { return {w->buffer}; }
inline uint32_t channels(const GenericWire *w) { return KVE_WIRE_CHANNELS(w->info1); }
inline bool isComplex(const GenericWire *w) { return KVE_WIRE_COMPLEX(w->info1) != 0; }

// Words every one of the wires holds.
inline int32_t held(std::initializer_list<const GenericWire *> wires)
{
    uint32_t n = UINT32_MAX;
    for (const GenericWire *w : wires)
        n = std::min(n, kit::wireWords(w));
    return static_cast<int32_t>(n);
}

inline uint32_t inputs(const ClassModule *m) { return KVE_PACKED_INPUTS(m->packed); }
inline uint32_t outputs(const ClassModule *m) { return KVE_PACKED_OUTPUTS(m->packed); }

// Constructors. `Record` is the class record; a class with private arrays writes its own through kit::construct.

// A fixed wiring: at least `Inputs` inputs and `Outputs` outputs.
template <const auto *Record, uint32_t Inputs, uint32_t Outputs>
ClassModule *wired(int32_t *status, uint32_t wireWord, GenericWire **wires, uint32_t argc, const uint32_t *args)
{
    return kit::construct(Record->record, nullptr, 0, Inputs, Outputs, status, wireWord, wires, argc, args);
}

// N->N: one output for every input.
template <const auto *Record>
ClassModule *outputPerInput(int32_t *status, uint32_t wireWord, GenericWire **wires, uint32_t argc,
                            const uint32_t *args)
{
    const uint32_t n = std::max(KVE_PACKED_INPUTS(wireWord), 1u);
    return kit::construct(Record->record, nullptr, 0, n, n, status, wireWord, wires, argc, args);
}

// N->N-1: one output for every input but the last, which every output is formed against.
template <const auto *Record>
ClassModule *outputPerInputButLast(int32_t *status, uint32_t wireWord, GenericWire **wires, uint32_t argc,
                                   const uint32_t *args)
{
    const uint32_t n = std::max(KVE_PACKED_INPUTS(wireWord), 1u);
    return kit::construct(Record->record, nullptr, 0, n, n - 1, status, wireWord, wires, argc, args);
}

// Processes. Bodies take the module, the wires' words as their sample types, and the count.

// Outputs follow the inputs: a module wired with more inputs than its shape reads writes its first output, never
// an input.

// 1->1: wire 0 into the first output.
template <auto Body> void oneToOne(ClassModule *m)
{
    const GenericWire *in = kit::wire(m, 0);
    const GenericWire *out = kit::wire(m, inputs(m));
    Body(m, words(in), words(out), held({in, out}));
}

// 2->1: wires 0 and 1 into the first output.
template <auto Body> void twoToOne(ClassModule *m)
{
    const GenericWire *a = kit::wire(m, 0);
    const GenericWire *b = kit::wire(m, 1);
    const GenericWire *out = kit::wire(m, inputs(m));
    Body(m, words(a), words(b), words(out), held({a, b, out}));
}

// 1->2: wire 0 into the first two outputs.
template <auto Body> void oneToTwo(ClassModule *m)
{
    const GenericWire *in = kit::wire(m, 0);
    const GenericWire *first = kit::wire(m, inputs(m));
    const GenericWire *second = kit::wire(m, inputs(m) + 1);
    Body(m, words(in), words(first), words(second), held({in, first, second}));
}

// N->N: input k into output k.
template <auto Body> void pairwise(ClassModule *m)
{
    const uint32_t n = inputs(m);
    for (uint32_t k = 0; k < n; ++k) {
        const GenericWire *in = kit::wire(m, k);
        const GenericWire *out = kit::wire(m, n + k);
        Body(m, words(in), words(out), held({in, out}));
    }
}

// N->N-1: output i from input i and the last input. One input writes nothing.
template <auto Body> void againstLast(ClassModule *m)
{
    const uint32_t n = inputs(m);
    if (n < 2)
        return;
    const GenericWire *last = kit::wire(m, n - 1);
    for (uint32_t i = 0; i + 1 < n; ++i) {
        const GenericWire *in = kit::wire(m, i);
        const GenericWire *out = kit::wire(m, n + i);
        Body(m, words(in), words(last), words(out), held({in, last, out}));
    }
}

// Bodies made from a kernel: the strided form (src, 1, dst, 1, n) or the packed form (src, dst, n).
template <auto Kernel> void kernel(ClassModule *, Words x, Words y, int32_t n)
{
    if constexpr (std::is_invocable_v<decltype(Kernel), Words, int32_t, Words, int32_t, int32_t>)
        Kernel(x, 1, y, 1, n);
    else
        Kernel(x, y, n);
}

// Two-input bodies made from a kernel: (a, 1, b, 1, dst, 1, n) or (a, b, dst, n).
template <auto Kernel> void kernel2(ClassModule *, Words a, Words b, Words y, int32_t n)
{
    if constexpr (std::is_invocable_v<decltype(Kernel), Words, int32_t, Words, int32_t, Words, int32_t, int32_t>)
        Kernel(a, 1, b, 1, y, 1, n);
    else
        Kernel(a, b, y, n);
}

// Bodies made from a scalar function of float samples.
template <float (*F)(float)> void map(ClassModule *, const float *x, float *y, int32_t n)
{
    for (int32_t i = 0; i < n; ++i)
        y[i] = F(x[i]);
}

template <float (*F)(float, float)> void map2(ClassModule *, const float *a, const float *b, float *y, int32_t n)
{
    for (int32_t i = 0; i < n; ++i)
        y[i] = F(a[i], b[i]);
}

} // namespace kve::shapes
