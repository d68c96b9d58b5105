// Class records of the composite filter and mapping modules, which do their work through inner modules they build
// by class id on their own wires: the weighting filters, the loading cascades and FIRs, the emphasis filters, the
// state-space Butterworth filter, the state-space volume control and the control-value mapper. Their Set designs
// coefficients and writes them into the inner modules; their Process runs the inner modules.
#pragma once

#include <algorithm>
#include <array>
#include <bit>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <span>
#include <type_traits>

#include "Modules/ModuleKit.h"

extern "C" {
extern const kve::kit::ClassRecord<5> kve_modAudioWeightingClass;
extern const kve::kit::ClassRecord<5> kve_modAudioWeightingFract32Class;
extern const kve::kit::ClassRecord<3> kve_modBiquadLoadingClass;
extern const kve::kit::ClassRecord<3> kve_modBiquadLoadingFract32Class;
extern const kve::kit::ClassRecord<4> kve_modButterworthFilterHPClass;
extern const kve::kit::ClassRecord<3> kve_modFIRLoadingClass;
extern const kve::kit::ClassRecord<3> kve_modFIRLoadingFract32Class;
extern const kve::kit::ClassRecord<3> kve_modEmphasisFilterClass;
extern const kve::kit::ClassRecord<3> kve_modEmphasisFilterFract32Class;
extern const kve::kit::ClassRecord<9> kve_modMapperControlClass;
extern const kve::kit::ClassRecord<11> kve_modVolumeControlHPClass;
}

namespace kve::composites {

// Wirings: one input and one output, with one or two scratch wires after them.
constexpr uint32_t kOneInOneOut = 0x101;
constexpr uint32_t kWithScratch = 0x10101;
constexpr uint32_t kWithTwoScratch = 0x20101;

// The outer module's wires by position in its wire array.
enum WireSlot : uint8_t { kIn = 0, kOut = 1, kScratch1 = 2, kScratch2 = 3 };

// One inner module a composite builds: its class, its wiring, the outer module's wires it takes (in its own order:
// inputs, outputs, scratch) and its construction arguments, word for word as the inner class reads them.
struct InnerModule {
    uint32_t classId;
    uint32_t wireWord;
    std::array<WireSlot, 3> wires;
    std::span<const uint32_t> args;
};

// Builds a composite: refuses any wiring but `ownWiring` (-4) before a wire is read, builds the outer module with its
// arrays, then each inner module in order, so the inner modules take the object ids right after the outer one; each
// is kept in the outer module's pointer variables, in the same order. Null when any step fails.
ClassModule *constructComposite(const ModClassDescriptor &record, const kit::Variable *variables, size_t count,
                                uint32_t ownWiring, std::span<const InnerModule> inner, int32_t *status,
                                uint32_t wireWord, GenericWire **wires, uint32_t argc, const uint32_t *args);

template <size_t N>
ClassModule *constructComposite(const kit::ClassRecord<N> &record, const std::array<kit::Variable, N> &variables,
                                uint32_t ownWiring, std::span<const InnerModule> inner, int32_t *status,
                                uint32_t wireWord, GenericWire **wires, uint32_t argc, const uint32_t *args)
{
    return constructComposite(record.record, variables.data(), N, ownWiring, inner, status, wireWord, wires, argc,
                              args);
}

// Inner module k of a composite, in building order.
ClassModule *innerModule(ClassModule *m, uint32_t k);

// The Process of every composite: its inner modules in building order, each through the process function its own
// state selects.
void runInnerModules(ClassModule *m);

// Variable k of an inner module, reached through its class record as a host's member address would reach it.
template <class T> T &innerVariable(ClassModule *inner, uint32_t k)
{
    return *reinterpret_cast<T *>(reinterpret_cast<char *>(inner) + kve_ClassVariableOffsets(inner->classRecord)[k]);
}

// The array that private variable k of an inner module points at.
template <class T> T *innerArray(ClassModule *inner, uint32_t k)
{
    T *p;
    std::memcpy(&p, reinterpret_cast<char *>(inner) + kve_ClassVariableOffsets(inner->classRecord)[k], sizeof p);
    return p;
}

// A size argument of a construction argument list, or 0 when the list is not the class's (the outer module's
// construction refuses such a list before any inner module is built).
inline uint32_t sizeArgument(uint32_t argc, const uint32_t *args, uint32_t publicCount, uint32_t index)
{
    return args != nullptr && argc == publicCount ? args[index] : 0;
}

// The constructor's argument words as the inner classes read them.
constexpr uint32_t word(float v) { return std::bit_cast<uint32_t>(v); }
constexpr uint32_t word(int32_t v) { return static_cast<uint32_t>(v); }

// The per-block glide step the smoothed inner biquads are built with; their own Set recomputes it from the glide time.
constexpr uint32_t kInnerGlideStep = 0x3D8414E8u;
static_assert(word(0.064493f) == kInnerGlideStep);

// ---- Weighting filters ----

// AudioWeighting(Fract32): an inner cascade of `numStages` sections from the input into scratch wire 1, then an inner
// MuteUnmute from there into the output (scratch wire 2 holds its envelope). `weightingTable` holds eight coefficient
// sets, set t at float t x numStages x 5; Set loads the set `weightingType` names into the cascade under a mute.
struct AudioWeightingModule {
    ClassModule header;
    int32_t weightingType;
    int32_t numStages;
    float *weightingTable;
    ClassModule *cascade;
    ClassModule *mute;
};

inline constexpr std::array<kit::Variable, 5> kAudioWeightingVariables = {
    KVE_VARIABLE(AudioWeightingModule, weightingType, Int),
    KVE_VARIABLE(AudioWeightingModule, numStages, Int),
    KVE_ARRAY_IN(AudioWeightingModule, weightingTable, FloatArray, fixedLength(160), KVE_HEAPS_HOST_ARRAYS),
    KVE_VARIABLE(AudioWeightingModule, cascade, Pointer),
    KVE_VARIABLE(AudioWeightingModule, mute, Pointer),
};

// The stages one set of the 160-value table holds at most.
constexpr int32_t kMaxWeightingStages = 4;
constexpr int32_t kWeightingSets = 8;
// Words of one section's coefficients: b0, b1, b2, a1, a2.
constexpr uint32_t kSetWords = 5;

// The inner classes of a weighting filter and what its Set does to them: `stageCapacity` is what the cascade was
// built for, `clearState` zeroes the state of every channel (a new set starts from silence on all of them, not only
// on the first), and `load` has the cascade take coefficients written into its float array.
struct WeightingInner {
    uint32_t cascadeId;
    uint32_t muteId;
    std::span<const uint32_t> muteArgs;
    uint32_t (*stageCapacity)(ClassModule *cascade);
    void (*clearState)(ClassModule *cascade);
    void (*load)(ClassModule *cascade);
};

ClassModule *constructWeighting(const kit::ClassRecord<5> &record, const WeightingInner &inner, int32_t *status,
                                uint32_t wireWord, GenericWire **wires, uint32_t argc, const uint32_t *args);
int32_t setWeighting(ClassModule *m, const WeightingInner &inner);

template <const kit::ClassRecord<5> *Record, const WeightingInner &Inner>
ClassModule *weightingConstructor(int32_t *status, uint32_t wireWord, GenericWire **wires, uint32_t argc,
                                  const uint32_t *args)
{
    return constructWeighting(*Record, Inner, status, wireWord, wires, argc, args);
}

template <const WeightingInner &Inner> int32_t weightingSet(ClassModule *m, uint32_t) { return setWeighting(m, Inner); }

// ---- Loading cascades and FIRs ----

// BiquadLoading(Fract32): an inner cascade built for `maxStages` stages whose coefficients the host loads through the
// cascade's own object id; the first `activeStages` of them run.
struct BiquadLoadingModule {
    ClassModule header;
    int32_t maxStages;
    int32_t activeStages;
    ClassModule *inner;
};

// FIRLoading(Fract32): the same for an inner FIR of `maxTaps` taps, `activeTaps` of them running.
struct FIRLoadingModule {
    ClassModule header;
    int32_t maxTaps;
    int32_t activeTaps;
    ClassModule *inner;
};

// Both forms have one layout, so one variable list serves them.
inline constexpr std::array<kit::Variable, 3> kLoadingVariables = {
    KVE_VARIABLE(BiquadLoadingModule, maxStages, Int),
    KVE_VARIABLE(BiquadLoadingModule, activeStages, Int),
    KVE_VARIABLE(BiquadLoadingModule, inner, Pointer),
};
static_assert(offsetof(FIRLoadingModule, maxTaps) == offsetof(BiquadLoadingModule, maxStages) &&
              offsetof(FIRLoadingModule, activeTaps) == offsetof(BiquadLoadingModule, activeStages) &&
              offsetof(FIRLoadingModule, inner) == offsetof(BiquadLoadingModule, inner));

// Hands the active count to the inner module.
void loadActiveCount(ClassModule *inner, int32_t active);

template <class M> int32_t loadingSet(ClassModule *m, uint32_t)
{
    auto *s = reinterpret_cast<M *>(m);
    if constexpr (std::is_same_v<M, BiquadLoadingModule>)
        loadActiveCount(s->inner, s->activeStages);
    else
        loadActiveCount(s->inner, s->activeTaps);
    return 0;
}

// A loading module whose inner class `InnerId` takes the first `InnerArgc` of the arguments (maximum count, 0, 1).
template <const kit::ClassRecord<3> *Record, class M, uint32_t InnerId, uint32_t InnerArgc>
ClassModule *loadingConstructor(int32_t *status, uint32_t wireWord, GenericWire **wires, uint32_t argc,
                                const uint32_t *args)
{
    const uint32_t innerArgs[] = {sizeArgument(argc, args, 2, 0), 0, 1};
    const InnerModule steps[] = {{InnerId, kOneInOneOut, {kIn, kOut}, std::span(innerArgs, InnerArgc)}};
    ClassModule *m =
        constructComposite(*Record, kLoadingVariables, kOneInOneOut, steps, status, wireWord, wires, argc, args);
    if (m != nullptr)
        loadingSet<M>(m, KVE_MASK_ALL);
    return m;
}

// ---- Emphasis filters ----

// EmphasisFilter(Fract32): an inner smoothed biquad that glides toward a pre-emphasis (`emphasisType` 1) or
// de-emphasis (any other type but 0) filter of time constant `timeConstant` in microseconds, or toward pass-through
// (type 0).
struct EmphasisFilterModule {
    ClassModule header;
    int32_t emphasisType;
    float timeConstant;
    ClassModule *inner;
};

inline constexpr std::array<kit::Variable, 3> kEmphasisFilterVariables = {
    KVE_VARIABLE(EmphasisFilterModule, emphasisType, Int),
    KVE_VARIABLE(EmphasisFilterModule, timeConstant, Float),
    KVE_VARIABLE(EmphasisFilterModule, inner, Pointer),
};

template <const kit::ClassRecord<3> *Record, uint32_t InnerId, const auto &InnerArgs>
ClassModule *emphasisConstructor(int32_t *status, uint32_t wireWord, GenericWire **wires, uint32_t argc,
                                 const uint32_t *args)
{
    const InnerModule steps[] = {{InnerId, kOneInOneOut, {kIn, kOut}, InnerArgs}};
    return constructComposite(*Record, kEmphasisFilterVariables, kOneInOneOut, steps, status, wireWord, wires, argc,
                              args);
}

// The design the module's type and time constant give, at the input wire's rate, into coeffs (b0, b1, b2, a1, a2).
void designEmphasis(ClassModule *m, float *coeffs);

} // namespace kve::composites
