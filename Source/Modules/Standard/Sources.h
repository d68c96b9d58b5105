// Class records of the host-fed sources and sinks and the constant sources, and what their float, Fract32 and
// integer twins share: the exchange between a host's channel-major array and an interleaved wire, and the fill of
// an output with one value per channel.
#pragma once

#include <algorithm>
#include <array>
#include <cstdint>

#include "Dsp/Fract32.h"
#include "Modules/Standard/Control.h"
#include "Modules/Standard/Shapes.h"
#include "kve/kve_vec.h"

extern "C" {
extern const kve::kit::ClassRecord<1> kve_modSourceClass;
extern const kve::kit::ClassRecord<1> kve_modSourceFract32Class;
extern const kve::kit::ClassRecord<1> kve_modSourceIntClass;
extern const kve::kit::ClassRecord<1> kve_modBooleanSourceClass;
extern const kve::kit::ClassRecord<3> kve_modSinkClass;
extern const kve::kit::ClassRecord<3> kve_modSinkFract32Class;
extern const kve::kit::ClassRecord<1> kve_modSinkIntClass;
extern const kve::kit::ClassRecord<1> kve_modBooleanSinkClass;
extern const kve::kit::ClassRecord<0> kve_modNullSinkClass;
extern const kve::kit::ClassRecord<0> kve_modNullSinkV2Class;
extern const kve::kit::ClassRecord<0> kve_modZeroSourceClass;
extern const kve::kit::ClassRecord<1> kve_modDCSourceClass;
extern const kve::kit::ClassRecord<2> kve_modDCSourceFract32Class;
extern const kve::kit::ClassRecord<1> kve_modDCSourceIntClass;
extern const kve::kit::ClassRecord<1> kve_modDCSourceV2Class;
extern const kve::kit::ClassRecord<2> kve_modDCSourceV2Fract32Class;
extern const kve::kit::ClassRecord<1> kve_modDCSourceControlClass;
extern const kve::kit::ClassRecord<3> kve_modDCSourceControlFract32Class;
}

namespace kve::sources {

inline constexpr std::array<kit::Variable, 0> kNoVariables = {};

// The output of a source: the wire after its control input, if it has one.
inline GenericWire *output(const ClassModule *m) { return kit::wire(m, shapes::inputs(m)); }

// Builds a source: one output and `minInputs`..`maxInputs` control inputs. A source has no audio input, so a wiring
// with more inputs than it takes is refused like a short one (-4), before any wire is read.
ClassModule *constructSource(const ModClassDescriptor &record, const kit::Variable *variables, size_t count,
                             uint32_t minInputs, uint32_t maxInputs, int32_t *status, uint32_t wireWord,
                             GenericWire **wires, uint32_t argc, const uint32_t *args);

template <const auto *Record, const auto *Variables, uint32_t MinInputs = 0, uint32_t MaxInputs = MinInputs>
ClassModule *source(int32_t *status, uint32_t wireWord, GenericWire **wires, uint32_t argc, const uint32_t *args)
{
    return constructSource(Record->record, Variables->data(), Variables->size(), MinInputs, MaxInputs, status,
                           wireWord, wires, argc, args);
}

// A sink reads wire 0; further wires are left alone.
template <const auto *Record, const auto *Variables>
ClassModule *sink(int32_t *status, uint32_t wireWord, GenericWire **wires, uint32_t argc, const uint32_t *args)
{
    return control::withArrays<Record, Variables, 1, 0>(status, wireWord, wires, argc, args);
}

// ---- Host arrays ----

// The host's array holds channel c's block at c x block size; the wire interleaves the channels.
enum class Way : uint8_t { ArrayToWire, WireToArray };

// Moves one block between the array of `capacity` words and the wire: per channel one strided copy, or, on a
// complex wire when the class is `complexAware`, two copies of block size / 2 words (the real parts from the even
// words of the channel's block, the imaginary parts from the odd ones). Only the channels whose block the array
// holds whole are moved; when the array falls short of the wire, an array-to-wire move leaves the wire silent.
void exchange(void *array, uint32_t capacity, GenericWire *w, bool complexAware, Way way);

// The sources and sinks whose only variable is the array.
template <class T> struct HostArrayModule {
    ClassModule header;
    T *value;
};

// The float and Fract32 sinks: a reserved word before the array, a reserved pair after it.
template <class T> struct ReservedSinkModule {
    ClassModule header;
    int32_t sinkReserved;
    T *value;
    float *sinkReservedPair;
};

// A host array of every word of wire 0 (times `Times`), from the heap list `Heaps`.
template <class Module, kit::Type ArrayType, uint32_t Heaps = KVE_HEAPS_HOST_ARRAYS, uint32_t Times = 1>
inline constexpr std::array<kit::Variable, 1> kHostArray = {
    kit::Variable{offsetof(Module, value), ArrayType, kit::perWordOfWire(0, Times), Heaps}};

template <class T, kit::Type ArrayType>
inline constexpr std::array<kit::Variable, 3> kReservedSinkVariables = {
    kit::Variable{offsetof(ReservedSinkModule<T>, sinkReserved), kit::Type::Int},
    kit::Variable{offsetof(ReservedSinkModule<T>, value), ArrayType, kit::perWordOfWire(0), KVE_HEAPS_HOST_ARRAYS},
    kit::Variable{offsetof(ReservedSinkModule<T>, sinkReservedPair), kit::Type::FloatArray, kit::fixedLength(2)},
};

// Process of a host-fed source: the array into the output.
template <class Module, bool ComplexAware> void play(ClassModule *m)
{
    exchange(reinterpret_cast<Module *>(m)->value, kit::capacity(m, 0), output(m), ComplexAware, Way::ArrayToWire);
}

// Process of a host-read sink: wire 0 into the array.
template <class Module, bool ComplexAware> void keep(ClassModule *m)
{
    exchange(reinterpret_cast<Module *>(m)->value, kit::capacity(m, 0), kit::wire(m, 0), ComplexAware,
             Way::WireToArray);
}

inline void nothing(ClassModule *) {}

// The class record of a source whose only variable is its host array of `T` words.
template <const auto *Record, class T, kit::Type ArrayType, bool ComplexAware>
constexpr kit::ClassRecord<1> hostSourceClass(uint32_t classId)
{
    using Module = HostArrayModule<T>;
    return kit::makeClass<1>(classId, {source<Record, &kHostArray<Module, ArrayType>>, play<Module, ComplexAware>},
                             kHostArray<Module, ArrayType>);
}

// The class record of a sink with reserved variables around its host array.
template <const auto *Record, class T, kit::Type ArrayType>
constexpr kit::ClassRecord<3> reservedSinkClass(uint32_t classId)
{
    return kit::makeClass<3>(classId,
                             {sink<Record, &kReservedSinkVariables<T, ArrayType>>, keep<ReservedSinkModule<T>, true>},
                             kReservedSinkVariables<T, ArrayType>);
}

// The class record of a sink that does nothing with what it is wired to; its Process is its Bypass too.
template <const auto *Record> constexpr kit::ClassRecord<0> nullSinkClass(uint32_t classId)
{
    return kit::makeClass<0>(classId, {shapes::wired<Record, 0, 0>, nothing, nothing}, kNoVariables);
}

// ---- Constant sources ----

template <class T> struct ValueModule {
    ClassModule header;
    T value;
};

struct Fract32ValueModule {
    ClassModule header;
    float value;
    Fract32 valueFract32;
};

inline constexpr std::array<kit::Variable, 1> kFloatValue = {KVE_VARIABLE(ValueModule<float>, value, Float)};
inline constexpr std::array<kit::Variable, 1> kIntValue = {KVE_VARIABLE(ValueModule<int32_t>, value, Int)};
inline constexpr std::array<kit::Variable, 2> kFract32Value = {
    KVE_VARIABLE(Fract32ValueModule, value, Float),
    KVE_VARIABLE(Fract32ValueModule, valueFract32, Fract32),
};

inline void fill(float *y, int32_t inc, float v, int32_t n) { kve_vecFill(y, inc, v, n); }
inline void fill(int32_t *y, int32_t inc, int32_t v, int32_t n) { kve_vecFillInt32(y, inc, v, n); }

inline float floatValue(const ClassModule *m) { return reinterpret_cast<const ValueModule<float> *>(m)->value; }
inline int32_t intValue(const ClassModule *m) { return reinterpret_cast<const ValueModule<int32_t> *>(m)->value; }
inline Fract32 fract32Value(const ClassModule *m)
{
    return reinterpret_cast<const Fract32ValueModule *>(m)->valueFract32;
}

// Every word of the output = Value(m).
template <class T, T (*Value)(const ClassModule *)> void constant(ClassModule *m)
{
    GenericWire *out = output(m);
    fill(static_cast<T *>(out->buffer), 1, Value(m), static_cast<int32_t>(kit::wireWords(out)));
}

// Channel c of the output = Scaled(m, word c of the control wire), wire 0. A control wire holds one word per
// channel it drives: the channels past its words are silent rather than driven by words it does not have.
template <class T, T (*Scaled)(const ClassModule *, T)> void fromControl(ClassModule *m)
{
    const GenericWire *control = kit::wire(m, 0);
    GenericWire *out = output(m);
    const uint32_t held = kit::wireWords(control);
    const T *x = static_cast<const T *>(control->buffer);
    T *y = static_cast<T *>(out->buffer);
    const uint32_t ch = shapes::channels(out);
    const auto block = static_cast<int32_t>(kit::blockSize(out));
    // Word c is read before channel c is filled, and no earlier channel writes it: a control wire that is also
    // the output still drives every channel from its own word.
    for (uint32_t c = 0; c < ch; ++c)
        fill(y + c, static_cast<int32_t>(ch), c < held ? Scaled(m, x[c]) : T{0}, block);
}

// Without a control input the constant; with one, the control words scaled.
template <class T, T (*Value)(const ClassModule *), T (*Scaled)(const ClassModule *, T)>
void constantOrControlled(ClassModule *m)
{
    if (shapes::inputs(m) == 0)
        constant<T, Value>(m);
    else
        fromControl<T, Scaled>(m);
}

inline float timesValue(const ClassModule *m, float x) { return x * floatValue(m); }
inline Fract32 timesFract32Value(const ClassModule *m, Fract32 x) { return kve_mulFract32(fract32Value(m), x); }

// Set of the Fract32 constant sources: `valueFract32` is `value` in Q1.31, rounded half away from zero and
// saturated.
inline int32_t fract32ValueSet(ClassModule *m, uint32_t)
{
    auto *s = reinterpret_cast<Fract32ValueModule *>(m);
    s->valueFract32 = kve_rounded(s->value);
    return KVE_OK;
}

} // namespace kve::sources
