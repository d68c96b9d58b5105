// The module kit: a class record is derived from one declarative description of the class (its instance struct
// and typed variable list), so the count word, float mask and variable offsets are computed, never typed.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <cstring>

#include "kve/kve_engine.h"

namespace kve::kit {

// Variable types. Scalars are public (filled by construction arguments, 4 bytes apart from the header on);
// arrays are private pointers the class constructor fills (8 bytes apart, 8-aligned, after the scalars). A Pointer is
// a private pointer the kit neither allocates nor counts as an array: an inner module the class constructor builds.
enum class Type : uint8_t { Int, UInt, Float, Fract32, IntArray, FloatArray, Fract32Array, Pointer };

constexpr bool isPrivate(Type t) { return t >= Type::IntArray; }
constexpr bool isArray(Type t) { return isPrivate(t) && t != Type::Pointer; }
constexpr bool isFloat(Type t) { return t == Type::Float || t == Type::FloatArray; }

// How many elements a private array holds: fixed when the module is built, from a wire's shape or a construction
// argument, times a factor plus an addend.
struct Length {
    enum class From : uint8_t { Nothing, WireChannels, WireBlock, WireWords, Argument };
    From from = From::Nothing;
    uint32_t index = 0; // wire index, or public variable index
    uint32_t times = 1;
    uint32_t plus = 0;
};

constexpr Length perChannelOfWire(uint32_t wire, uint32_t times = 1) { return {Length::From::WireChannels, wire, times, 0}; }
constexpr Length perWordOfWire(uint32_t wire, uint32_t times = 1) { return {Length::From::WireWords, wire, times, 0}; }
constexpr Length perBlockOfWire(uint32_t wire, uint32_t times = 1) { return {Length::From::WireBlock, wire, times, 0}; }
constexpr Length perArgument(uint32_t variable, uint32_t times = 1, uint32_t plus = 0)
{
    return {Length::From::Argument, variable, times, plus};
}
constexpr Length fixedLength(uint32_t elements) { return {Length::From::Nothing, 0, 0, elements}; }

struct Variable {
    uint32_t offset;
    Type type;
    Length length{};                  // arrays only
    uint32_t heaps = KVE_HEAPS_DEFAULT; // arrays only
};

// A variable of an instance struct: KVE_VARIABLE(CopierModule, gain, Float).
#define KVE_VARIABLE(Struct, member, type) ::kve::kit::Variable{offsetof(Struct, member), ::kve::kit::Type::type}
// A private array the kit allocates: KVE_ARRAY(ScalerNModule, gain, FloatArray, perChannelOfWire(0)).
#define KVE_ARRAY(Struct, member, type, length) \
    ::kve::kit::Variable{offsetof(Struct, member), ::kve::kit::Type::type, ::kve::kit::length}
#define KVE_ARRAY_IN(Struct, member, type, length, heaps) \
    ::kve::kit::Variable{offsetof(Struct, member), ::kve::kit::Type::type, ::kve::kit::length, heaps}

struct Functions {
    KVEModuleConstructorFn constructor = nullptr; // null: the engine's generic constructor
    KVEProcessFn process = nullptr;
    KVEProcessFn bypass = IOMatchUpModule_Bypass;
    KVESetFn set = nullptr;
    KVESetFn get = nullptr;
};

template <size_t N> struct ClassRecord {
    ModClassDescriptor record;
    uint32_t offsets[N == 0 ? 1 : N];
};

// Stops constant evaluation (a compile error) when a description breaks the instance layout rule.
inline void descriptionBreaksInstanceLayout() {}

template <size_t N>
constexpr ClassRecord<N> makeClass(uint32_t classId, const Functions &f, const std::array<Variable, N> &vars)
{
    ClassRecord<N> c{{f.constructor, classId, f.process, f.bypass, f.set, f.get, nullptr, 0, 0, 0}, {}};
    uint32_t publicCount = 0;
    uint32_t privateCount = 0;
    bool pointerSeen = false;
    for (size_t k = 0; k < N; ++k) {
        if (isPrivate(vars[k].type))
            ++privateCount;
        else if (privateCount != 0)
            descriptionBreaksInstanceLayout(); // scalars come before arrays
        else
            ++publicCount;
        if (isArray(vars[k].type) && pointerSeen)
            descriptionBreaksInstanceLayout(); // the engine finds array k's capacity at hidden word k: arrays first
        pointerSeen = pointerSeen || vars[k].type == Type::Pointer;
        if (isFloat(vars[k].type))
            c.record.floatMask |= 1u << k;
        c.offsets[k] = vars[k].offset;
    }
    const uint32_t firstPrivate = (KVE_MODULE_HEADER_SIZE + 4 * publicCount + 7) & ~7u;
    for (uint32_t k = 0; k < N; ++k) {
        const uint32_t expected = k < publicCount ? KVE_MODULE_HEADER_SIZE + 4 * k : firstPrivate + 8 * (k - publicCount);
        if (vars[k].offset != expected)
            descriptionBreaksInstanceLayout(); // the instance struct does not match the engine's variable slots
    }
    c.record.countWord = publicCount | (privateCount << 16);
    return c;
}

// Refuses wiring with fewer wires than the class's Process reads: -4, nothing built.
inline bool requireWires(int32_t *status, uint32_t wireWord, uint32_t inputs, uint32_t outputs)
{
    if (*status != KVE_OK)
        return false;
    if (KVE_PACKED_INPUTS(wireWord) < inputs || KVE_PACKED_OUTPUTS(wireWord) < outputs) {
        *status = KVE_E_ARG_COUNT;
        return false;
    }
    return true;
}

// Builds a module of a kit class: checks the wiring, builds the instance with one hidden word per private array,
// then allocates every array at the length its description gives and keeps that length as the array's capacity.
// Returns null (the status says why) when the wiring is short or an allocation fails. `extra` more hidden words
// follow the capacities, zeroed: running values a class keeps that are no member (see extraWords()); only a class
// whose private variables are all arrays may ask for them.
ClassModule *construct(const ModClassDescriptor &record, const Variable *variables, size_t count, uint32_t inputs,
                       uint32_t outputs, int32_t *status, uint32_t wireWord, GenericWire **wires, uint32_t argc,
                       const uint32_t *args, uint32_t extra = 0);

template <size_t N>
ClassModule *construct(const ClassRecord<N> &record, const std::array<Variable, N> &variables, uint32_t inputs,
                       uint32_t outputs, int32_t *status, uint32_t wireWord, GenericWire **wires, uint32_t argc,
                       const uint32_t *args, uint32_t extra = 0)
{
    return construct(record.record, variables.data(), N, inputs, outputs, status, wireWord, wires, argc, args,
                     extra);
}

// The capacity of the module's private array number `array` (counting arrays only, in variable order): Process and
// Set clamp every size a host can write to it.
inline uint32_t capacity(ClassModule *m, uint32_t array) { return kve_fwModuleHiddenWords(m)[array]; }

// The hidden words a class asked construct() for beyond its `arrays` capacities.
inline uint32_t *extraWords(ClassModule *m, uint32_t arrays) { return kve_fwModuleHiddenWords(m) + arrays; }

inline GenericWire *wire(const ClassModule *m, uint32_t k) { return m->wires[k]; }

// Runs a module a composite built, in whatever state (active, bypassed, muted, inactive) its own process function
// stands for.
inline void runInner(ClassModule *inner)
{
    if (inner->process != nullptr)
        inner->process(inner);
}
inline uint32_t wireWords(const GenericWire *w) { return KVE_WIRE_CHANNELS(w->info1) * KVE_WIRE_BLOCK_SIZE(w->info2); }
inline uint32_t blockSize(const GenericWire *w) { return KVE_WIRE_BLOCK_SIZE(w->info2); }

} // namespace kve::kit
