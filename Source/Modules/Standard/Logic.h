// Class records of the logic, comparison and conversion modules, and the Process and Bypass functions their float,
// Fract32 and integer twins share. Logic values are 32-bit words, 0 for false and 1 for true.
#pragma once

#include <algorithm>
#include <array>
#include <cstdint>

#include "Modules/Standard/Scalers.h"
#include "Modules/Standard/Shapes.h"
#include "kve/kve_vec.h"

extern "C" {
extern const kve::kit::ClassRecord<1> kve_modLogicAllClass;
extern const kve::kit::ClassRecord<1> kve_modLogicAnyClass;
extern const kve::kit::ClassRecord<1> kve_modLogicAndConstFract32Class;
extern const kve::kit::ClassRecord<2> kve_modLogicBinaryOpClass;
extern const kve::kit::ClassRecord<1> kve_modLogicCompareClass;
extern const kve::kit::ClassRecord<1> kve_modLogicCompareFract32Class;
extern const kve::kit::ClassRecord<1> kve_modLogicCompareInt32Class;
extern const kve::kit::ClassRecord<2> kve_modLogicCompareConstClass;
extern const kve::kit::ClassRecord<2> kve_modLogicCompareConstFract32Class;
extern const kve::kit::ClassRecord<2> kve_modLogicCompareConstInt32Class;
extern const kve::kit::ClassRecord<0> kve_modBitsToIntClass;
extern const kve::kit::ClassRecord<0> kve_modIntToBitsClass;
extern const kve::kit::ClassRecord<0> kve_modBooleanInvertClass;
extern const kve::kit::ClassRecord<4> kve_modWithinRangeClass;
extern const kve::kit::ClassRecord<4> kve_modWithinRangeFract32Class;
extern const kve::kit::ClassRecord<2> kve_modZeroCrossingDetectorClass;
extern const kve::kit::ClassRecord<2> kve_modZeroCrossingDetectorFract32Class;
extern const kve::kit::ClassRecord<2> kve_modTypeConversionClass;
extern const kve::kit::ClassRecord<0> kve_modFloatToFract32Class;
extern const kve::kit::ClassRecord<0> kve_modFloatToIntClass;
extern const kve::kit::ClassRecord<0> kve_modFract32ToFloatClass;
extern const kve::kit::ClassRecord<0> kve_modFract32ToIntClass;
extern const kve::kit::ClassRecord<0> kve_modIntToFloatClass;
extern const kve::kit::ClassRecord<0> kve_modIntToFract32Class;
}

namespace kve::logic {

inline constexpr std::array<kit::Variable, 0> kNoVariables = {};

// The functions of a class that converts every input into the output of the same index with one kernel. Its Bypass
// converts too: what follows a conversion expects the output type, whatever the module's state.
template <const auto *Record, auto Kernel>
inline constexpr kit::Functions kConvertEveryPair = {shapes::outputPerInput<Record>,
                                                      shapes::pairwise<shapes::kernel<Kernel>>,
                                                      shapes::pairwise<shapes::kernel<Kernel>>};

inline int32_t *logicWords(const GenericWire *w) { return static_cast<int32_t *>(w->buffer); }

// The module's first output: the wire after its inputs.
inline GenericWire *firstOutput(const ClassModule *m) { return kit::wire(m, shapes::inputs(m)); }

// The module's output when it has exactly one, else null.
inline GenericWire *soleOutput(const ClassModule *m) { return shapes::outputs(m) == 1 ? firstOutput(m) : nullptr; }

// Writes v into the first word of the wire when the wire has one: an empty wire is left alone.
inline void writeFirstWord(const GenericWire *w, int32_t v)
{
    if (w != nullptr && kit::wireWords(w) != 0)
        logicWords(w)[0] = v;
}

// The first word of the wire; an empty wire reads as 0.
inline int32_t readFirstWord(const GenericWire *w) { return kit::wireWords(w) != 0 ? logicWords(w)[0] : 0; }

// Every word of the module's first output = v (false, or true for the range tests' bypass).
inline void fillFirstOutput(ClassModule *m, int32_t v)
{
    const GenericWire *out = firstOutput(m);
    kve_vecFillInt32(logicWords(out), 1, v, static_cast<int32_t>(kit::wireWords(out)));
}

// Bypass of the classes whose outputs are logic words or crossing flags: every word false, so nothing downstream
// acts on a stale true.
inline void bypassWithFalse(ClassModule *m) { fillFirstOutput(m, 0); }

// ---- All / any reductions ----

// `result` = 1 when every word (All) or any word (Any) of input 0 is nonzero; an empty wire holds no word, so All
// gives 1 and Any 0. A module with exactly one output also gets the result in its output's first word.
template <class Module, bool All> void reduce(ClassModule *m)
{
    const GenericWire *in = kit::wire(m, 0);
    const int32_t *x = logicWords(in);
    const int32_t *end = x + kit::wireWords(in);
    const bool result = All ? std::all_of(x, end, [](int32_t v) { return v != 0; })
                            : std::any_of(x, end, [](int32_t v) { return v != 0; });
    auto *s = reinterpret_cast<Module *>(m);
    s->result = result ? 1 : 0;
    writeFirstWord(soleOutput(m), s->result);
}

// Bypass of the reductions: reports true through the output, when there is one.
inline void reduceBypass(ClassModule *m) { writeFirstWord(soleOutput(m), 1); }

// ---- Comparisons ----

template <class T> using Relation = void (*)(const T *, const T *, int32_t *, int32_t);
template <class T> using ConstRelation = void (*)(const T *, T, int32_t *, int32_t);

// The six relations in the order of the comparison codes: equal, not equal, less than, less or equal, greater,
// greater or equal.
inline constexpr int32_t kRelationCount = 6;

inline constexpr Relation<float> kFloatRelations[kRelationCount] = {
    kve_vecLogicCompareEqual,
    kve_vecLogicCompareNotEqual,
    kve_vecLogicCompareLessThan,
    kve_vecLogicCompareLessOrEqual,
    kve_vecLogicCompareGreater,
    kve_vecLogicCompareGreaterOrEqual,
};
inline constexpr Relation<Fract32> kFract32Relations[kRelationCount] = {
    kve_vecLogicCompareEqualFract32,
    kve_vecLogicCompareNotEqualFract32,
    kve_vecLogicCompareLessThanFract32,
    kve_vecLogicCompareLessOrEqualFract32,
    kve_vecLogicCompareGreaterFract32,
    kve_vecLogicCompareGreaterOrEqualFract32,
};
inline constexpr Relation<int32_t> kInt32Relations[kRelationCount] = {
    kve_vecLogicCompareEqualInt32,
    kve_vecLogicCompareNotEqualInt32,
    kve_vecLogicCompareLessThanInt32,
    kve_vecLogicCompareLessOrEqualInt32,
    kve_vecLogicCompareGreaterInt32,
    kve_vecLogicCompareGreaterOrEqualInt32,
};
inline constexpr ConstRelation<float> kFloatConstRelations[kRelationCount] = {
    kve_vecLogicCompareConstEqual,
    kve_vecLogicCompareConstNotEqual,
    kve_vecLogicCompareConstLessThan,
    kve_vecLogicCompareConstLessOrEqual,
    kve_vecLogicCompareConstGreater,
    kve_vecLogicCompareConstGreaterOrEqual,
};
inline constexpr ConstRelation<Fract32> kFract32ConstRelations[kRelationCount] = {
    kve_vecLogicCompareConstEqualFract32,
    kve_vecLogicCompareConstNotEqualFract32,
    kve_vecLogicCompareConstLessThanFract32,
    kve_vecLogicCompareConstLessOrEqualFract32,
    kve_vecLogicCompareConstGreaterFract32,
    kve_vecLogicCompareConstGreaterOrEqualFract32,
};
inline constexpr ConstRelation<int32_t> kInt32ConstRelations[kRelationCount] = {
    kve_vecLogicCompareConstEqualInt32,
    kve_vecLogicCompareConstNotEqualInt32,
    kve_vecLogicCompareConstLessThanInt32,
    kve_vecLogicCompareConstLessOrEqualInt32,
    kve_vecLogicCompareConstGreaterInt32,
    kve_vecLogicCompareConstGreaterOrEqualInt32,
};

inline bool isRelation(int32_t code) { return code >= 0 && code < kRelationCount; }

// Input 0 against input 1, word by word, where all three wires hold words; a code that names no relation leaves
// the output false.
template <class Module, class T, const Relation<T> (&Relations)[kRelationCount]> void compareWires(ClassModule *m)
{
    const GenericWire *a = kit::wire(m, 0);
    const GenericWire *b = kit::wire(m, 1);
    const GenericWire *out = firstOutput(m);
    fillFirstOutput(m, 0);
    const int32_t code = reinterpret_cast<Module *>(m)->compareType;
    if (isRelation(code))
        Relations[code](shapes::words(a), shapes::words(b), logicWords(out), shapes::held({a, b, out}));
}

// Input 0 against the module's constant. `FillFirst`: the output starts false, so a code that names no relation
// leaves it false; otherwise such a code leaves the output as it was.
template <class Module, class T, const ConstRelation<T> (&Relations)[kRelationCount], bool FillFirst>
void compareConstant(ClassModule *m)
{
    const GenericWire *in = kit::wire(m, 0);
    const GenericWire *out = firstOutput(m);
    if constexpr (FillFirst)
        fillFirstOutput(m, 0);
    const auto *s = reinterpret_cast<const Module *>(m);
    if (isRelation(s->compareType))
        Relations[s->compareType](shapes::words(in), s->constant, logicWords(out), shapes::held({in, out}));
}

// ---- Range tests ----

template <class T> using RangeKernel = void (*)(const T *, int32_t *, T, T, int32_t, int32_t *, int32_t);

// Whether every sample of input 0 lies within the bounds, into `allInRange`. The kernel gets the output only when
// the module has exactly one and `outputMode` asks for flags (1: the block flag in the first word, 2: one flag per
// sample); any other case runs without one. Per-sample flags cover the words the output holds; the samples past
// them still count toward `allInRange`.
template <class Module, class T, RangeKernel<T> Kernel> void withinRange(ClassModule *m)
{
    auto *s = reinterpret_cast<Module *>(m);
    const GenericWire *in = kit::wire(m, 0);
    const GenericWire *out = soleOutput(m);
    const T *x = shapes::words(in);
    const auto n = static_cast<int32_t>(kit::wireWords(in));
    const auto room = out != nullptr ? static_cast<int32_t>(kit::wireWords(out)) : 0;
    if (s->outputMode == 1 && room >= 1) {
        Kernel(x, logicWords(out), s->lowerBound, s->upperBound, 1, &s->allInRange, n);
    } else if (s->outputMode == 2 && room >= 1) {
        const int32_t flagged = std::min(n, room);
        Kernel(x, logicWords(out), s->lowerBound, s->upperBound, 2, &s->allInRange, flagged);
        int32_t restInRange = 1;
        Kernel(x + flagged, nullptr, s->lowerBound, s->upperBound, 0, &restInRange, n - flagged);
        s->allInRange &= restInRange;
    } else {
        Kernel(x, nullptr, s->lowerBound, s->upperBound, 0, &s->allInRange, n);
    }
}

// Bypass of the range tests: with exactly one output, every word of it in range.
inline void withinRangeBypass(ClassModule *m)
{
    if (soleOutput(m) != nullptr)
        fillFirstOutput(m, 1);
}

// ---- Zero-crossing detectors ----

// A constructor for a class whose description holds private arrays, on at least `Inputs` inputs and `Outputs`
// outputs.
template <const auto *Record, const auto *Variables, uint32_t Inputs, uint32_t Outputs>
ClassModule *withArrays(int32_t *status, uint32_t wireWord, GenericWire **wires, uint32_t argc, const uint32_t *args)
{
    return kit::construct(*Record, *Variables, Inputs, Outputs, status, wireWord, wires, argc, args);
}

template <class T>
using CrossingDetector = void (*)(const T *, int32_t, T *, int32_t, int32_t, int32_t *, int32_t);

// Every channel of wire 0 through the detector with its own sign state `prevSign[c]`, samples read and written
// with the channel count as increment. Only the channels the state array was built for are served, and only the
// frames the output holds, so a wire reshaped after construction never leads outside either.
template <class Module, class T, CrossingDetector<T> Detect> void detectCrossings(ClassModule *m)
{
    auto *s = reinterpret_cast<Module *>(m);
    const GenericWire *in = kit::wire(m, 0);
    const GenericWire *out = firstOutput(m);
    const auto ch = static_cast<int32_t>(shapes::channels(in));
    const uint32_t served = scalers::servedChannels(shapes::channels(in), kit::capacity(m, 0));
    const int32_t frames = scalers::frames(in, out);
    const T *x = shapes::words(in);
    T *y = shapes::words(out);
    for (uint32_t c = 0; c < served; ++c)
        Detect(x + c, ch, y + c, ch, s->crossingType, &s->prevSign[c], frames);
}

} // namespace kve::logic
