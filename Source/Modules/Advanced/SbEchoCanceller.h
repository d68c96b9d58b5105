// The adaptive filter of the one-reference subband echo cancellers and the construction, Set and Process steps the
// three classes share. Each subband has its own complex taps over its last reference samples, tracked by a
// Kalman-type estimator: a random-walk model of the taps that decays by `alpha` per block, a real variance per tap
// and a few refinement passes per block.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

#include "Modules/Advanced/SbEchoPost.h"
#include "Modules/ModuleKit.h"
#include "Modules/Standard/Filters.h"

namespace kve::sbaec {

// The public variables every canceller starts with.
struct CancellerScalars {
    int32_t maxTaps;
    int32_t numTaps;
    float noiseScale;
    float timeConstant;
    float alpha;
    float spareValue; // the layout's, never read
    int32_t numIterations;
    int32_t postFilterEnable;
};
constexpr size_t kCommonScalars = 8;

// The canceller's arrays, in allocation order: per subband the complex taps, their variances, the complex reference
// history and its powers; then the scratch of the subband at work (predicted variances and taps, and the last gains,
// which the freeze-pin form keeps per subband), the post-filter gain per subband and the residual-echo table.
struct CancellerArrays {
    float *taps;
    float *tapVariance;
    float *refHistory;
    float *predictedVariance;
    float *predictedTaps;
    float *refPowerHistory;
    float *tapGain;
    float *postGain;
    float *postTable;
    float *postSegments;
};

// The arrays' positions among the module's arrays, for their capacities.
enum CancellerArray : uint32_t {
    kTaps,
    kTapVariance,
    kRefHistory,
    kPredictedVariance,
    kPredictedTaps,
    kRefPowerHistory,
    kTapGain,
    kPostGain,
    kPostTable,
    kPostSegments,
    kArrayCount
};

// What the estimator reads of a canceller, with its sizes held to the arrays built.
struct Estimator {
    uint32_t taps;     // taps in use, 0..capacity
    uint32_t capacity; // taps per subband the arrays were built for: the stride of every per-subband array
    float alpha;
    float noiseScale;
    int32_t passes;
    bool floored; // the variance-floor form raises every predicted variance to at least `minVariance`
    float minVariance;
};

struct Complex {
    float re;
    float im;
};

// One subband's slice of the per-subband arrays; `gain` receives the gains of each refinement pass.
struct Subband {
    float *taps;
    float *variance;
    const float *history;
    const float *power;
    float *gain;
};

// One subband's slice of the arrays at subband k, with the gains at `gain`.
Subband subbandOf(const CancellerArrays &a, uint32_t capacity, uint32_t k, float *gain);

// The output error d - sum of taps x history, tap i paired with history slot (newest + i) mod taps; taps as they are.
Complex filterError(const Subband &b, uint32_t taps, uint32_t newest, Complex d);

// One block of the estimator on one subband, one tap at a time with exact division, tap i paired with history slot
// (newest + i) mod taps: decays and predicts, runs the refinement passes, and returns the output error of the taps
// as they stood before the block.
Complex adaptSubband(const Estimator &e, const Subband &b, const CancellerArrays &scratch, uint32_t newest, Complex d);

// The post-filter gain of a subband, 1 - sum of gain x reference power, held to 0..1; 1 without taps.
float postGainOf(const Subband &b, uint32_t taps, uint32_t newest);

// The variable list of a canceller: the eight public variables every canceller has, the class's own `scalars`
// after them, then the ten arrays, whose lengths the constructor sets.
template <class Module, size_t Own>
constexpr std::array<kit::Variable, kCommonScalars + Own + kArrayCount> cancellerVariables(
    const std::array<kit::Variable, Own> &scalars)
{
    std::array<kit::Variable, kCommonScalars + Own + kArrayCount> v = {
        KVE_VARIABLE(Module, common.maxTaps, Int),
        KVE_VARIABLE(Module, common.numTaps, Int),
        KVE_VARIABLE(Module, common.noiseScale, Float),
        KVE_VARIABLE(Module, common.timeConstant, Float),
        KVE_VARIABLE(Module, common.alpha, Float),
        KVE_VARIABLE(Module, common.spareValue, Float),
        KVE_VARIABLE(Module, common.numIterations, Int),
        KVE_VARIABLE(Module, common.postFilterEnable, Int),
    };
    for (size_t k = 0; k < Own; ++k)
        v[kCommonScalars + k] = scalars[k];
    constexpr size_t first = kCommonScalars + Own;
    v[first + kTaps] = KVE_ARRAY(Module, arrays.taps, FloatArray, fixedLength(0));
    v[first + kTapVariance] = KVE_ARRAY(Module, arrays.tapVariance, FloatArray, fixedLength(0));
    v[first + kRefHistory] = KVE_ARRAY(Module, arrays.refHistory, FloatArray, fixedLength(0));
    v[first + kPredictedVariance] = KVE_ARRAY(Module, arrays.predictedVariance, FloatArray, fixedLength(0));
    v[first + kPredictedTaps] = KVE_ARRAY(Module, arrays.predictedTaps, FloatArray, fixedLength(0));
    v[first + kRefPowerHistory] = KVE_ARRAY(Module, arrays.refPowerHistory, FloatArray, fixedLength(0));
    v[first + kTapGain] = KVE_ARRAY(Module, arrays.tapGain, FloatArray, fixedLength(0));
    v[first + kPostGain] = KVE_ARRAY(Module, arrays.postGain, FloatArray, fixedLength(0));
    v[first + kPostTable] = KVE_ARRAY(Module, arrays.postTable, FloatArray, fixedLength(0));
    v[first + kPostSegments] = KVE_ARRAY(Module, arrays.postSegments, FloatArray, fixedLength(0));
    return v;
}

// Where a canceller's construction arguments are and how it is wired.
struct CancellerShape {
    uint32_t publicCount;
    uint32_t tablePointsArgument;
    uint32_t inputs;     // the wires read before the output
    bool gainPerSubband; // the freeze-pin form keeps the last gains of every subband
};

// Sets the array lengths from input 0's block size and the arguments: `maxTaps` taps per subband (below 0 counts
// as 0), `numTablePoints` table points (a table of fewer than 2 points has no segments).
void sizeArrays(kit::Variable *arrays, uint32_t block, int32_t maxTaps, int32_t tablePoints, bool gainPerSubband);

// Refuses (-67) a microphone, reference or output wire that does not hold one block of input 0's size.
bool acceptWires(const ClassModule *m, uint32_t inputs, int32_t *status);

// Every tap variance starts at 1.0, an echo-path gain of 0 dB per tap: from 0 the estimator's gains would stay 0
// and the taps would never leave 0.
void startVariances(ClassModule *m, const CancellerArrays &a);

template <class Module, size_t N>
ClassModule *constructCanceller(const kit::ClassRecord<N> &record, std::array<kit::Variable, N> variables,
                                const CancellerShape &shape, int32_t *status, uint32_t wireWord, GenericWire **wires,
                                uint32_t argc, const uint32_t *args)
{
    if (!kit::requireWires(status, wireWord, shape.inputs, 1))
        return nullptr;
    const uint32_t block = wires != nullptr && wires[0] != nullptr ? kit::blockSize(wires[0]) : 0;
    sizeArrays(variables.data() + shape.publicCount, block, filters::sizeArgument(argc, args, shape.publicCount, 0),
               filters::sizeArgument(argc, args, shape.publicCount, shape.tablePointsArgument), shape.gainPerSubband);
    ClassModule *m = kit::construct(record, variables, shape.inputs, 1, status, wireWord, wires, argc, args);
    if (m == nullptr || !acceptWires(m, shape.inputs, status))
        return nullptr;
    startVariances(m, reinterpret_cast<Module *>(m)->arrays);
    return m;
}

// The wire the canceller writes: the first after its inputs as wired.
inline GenericWire *outputWire(const ClassModule *m) { return kit::wire(m, KVE_PACKED_INPUTS(m->packed)); }

// Subbands of input 0, held to the subbands the arrays were built for.
uint32_t subbands(ClassModule *m);

inline float *samplesOf(const GenericWire *w) { return static_cast<float *>(w->buffer); }

inline PostTable postTableOf(ClassModule *m, const CancellerArrays &a)
{
    return {a.postTable, kit::capacity(m, kPostTable), a.postSegments, kit::capacity(m, kPostSegments)};
}

inline Estimator estimatorOf(ClassModule *m, const CancellerScalars &s)
{
    const uint32_t capacity = kit::capacity(m, kPredictedVariance);
    return {filters::clampedCount(s.numTaps, capacity), capacity, s.alpha, s.noiseScale,
            refinementPasses(s.numIterations), false, 0.0f};
}

template <class Module> int32_t cancellerSet(ClassModule *m, uint32_t)
{
    auto *s = reinterpret_cast<Module *>(m);
    s->common.alpha = echoCancellerSet(s->common.timeConstant, kit::wire(m, 0)->sampleRate, s->numTablePoints,
                                       postTableOf(m, s->arrays));
    return 0;
}

// The residual-echo post-filter on the block's output, when the canceller runs it.
template <class Module> void postFilter(ClassModule *m, Module &s, float *output, uint32_t nSub)
{
    if (s.common.postFilterEnable != 0)
        applyPostFilter(s.arrays.postGain, s.numTablePoints, postTableOf(m, s.arrays), output, nSub);
}

// One block of V1 or V3: the kernel over all subbands, then the post-filter.
template <class Module, void (*Kernel)(Module *, const float *, const float *, float *, uint32_t)>
void cancellerProcess(ClassModule *m)
{
    auto *s = reinterpret_cast<Module *>(m);
    float *out = samplesOf(outputWire(m));
    const uint32_t nSub = subbands(m);
    Kernel(s, samplesOf(kit::wire(m, 0)), samplesOf(kit::wire(m, 1)), out, nSub);
    postFilter(m, *s, out, nSub);
}

} // namespace kve::sbaec
