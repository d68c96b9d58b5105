// Class records and instance records of the statistics modules that measure signals over time: the averagers, the
// moving average, the running extremes and statistics, the block, per-channel and subblock statistics and the block
// median; with the choice of statistic they share.
#pragma once

#include <algorithm>
#include <array>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <type_traits>

#include "Modules/Advanced/AdvancedKit.h"
#include "Modules/ModuleKit.h"
#include "kve/kve_design.h"
#include "kve/kve_vec.h"

extern "C" {
extern const kve::kit::ClassRecord<6> kve_modAveragerClass;
extern const kve::kit::ClassRecord<6> kve_modAveragerFract32Class;
extern const kve::kit::ClassRecord<6> kve_modMovingAverageFract32Class;
extern const kve::kit::ClassRecord<3> kve_modRunningMinMaxClass;
extern const kve::kit::ClassRecord<3> kve_modRunningMinMaxFract32Class;
extern const kve::kit::ClassRecord<6> kve_modRunningStatisticsClass;
extern const kve::kit::ClassRecord<6> kve_modRunningStatisticsFract32Class;
extern const kve::kit::ClassRecord<2> kve_modBlockStatisticsClass;
extern const kve::kit::ClassRecord<2> kve_modBlockStatisticsFract32Class;
extern const kve::kit::ClassRecord<1> kve_modBlockStatisticsNClass;
extern const kve::kit::ClassRecord<3> kve_modSubblockStatisticsClass;
extern const kve::kit::ClassRecord<3> kve_modSubblockStatisticsFract32Class;
extern const kve::kit::ClassRecord<0> kve_modBlockMedianClass;
}

namespace kve::statistics {

// Averager(Fract32): a cumulative mean for the first `countLimit` samples, then an exponential average with
// `smoothingCoeff` per sample; `average` holds one value per channel (`numChannels` of them). T is float or Fract32.
template <class T> struct AveragerModule {
    ClassModule header;
    float smoothingTime; // ms
    T smoothingCoeff;
    int32_t count;
    int32_t countLimit;
    int32_t numChannels;
    T *average;
};

// MovingAverageFract32: per channel the sum of the last `length` samples, each scaled by `recipLength` on entry;
// `delayLine` holds the scaled samples of (1 + `maxLength`) frames, interleaved, written at `stateIndex`.
struct MovingAverageModule {
    ClassModule header;
    int32_t maxLength;
    int32_t length;
    int32_t stateIndex;
    Fract32 recipLength;
    Fract32 *delayLine;
    Fract32 *sums;
};

// RunningMinMax(Fract32): the extreme of every block since the last reset.
template <class T> struct RunningMinMaxModule {
    ClassModule header;
    int32_t statisticType;
    T value;
    int32_t reset;
};

// RunningStatistics(Fract32): the statistic of every block since the last reset, each block weighing the same.
template <class T> struct RunningStatisticsModule {
    ClassModule header;
    int32_t statisticType;
    T value;
    T mean;
    T meanEnergy;
    int32_t count;
    int32_t reset;
};

template <class T> struct BlockStatisticsModule {
    ClassModule header;
    int32_t statisticType;
    T value;
};

struct BlockStatisticsNModule {
    ClassModule header;
    int32_t statisticType;
};

struct SubblockStatisticsModule {
    ClassModule header;
    int32_t subblockLength; // frames
    int32_t statisticType;
    int32_t numSubblocks;
};

// What a statistic code asks for; each class maps its codes through its own table.
enum class Statistic : uint8_t { Max, Min, MaxAbs, Mean, Rms, Sd, Variance, Energy, Sum, SumSquared, None };

// The codes of the block, per-channel and subblock statistics: 0 to 9.
Statistic blockStatistic(int32_t code);
// The codes of the float running statistics: a sum at 3, the means after it.
Statistic runningStatistic(int32_t code);
// The codes of the Fract32 running statistics: the block codes 0 to 7.
Statistic runningStatisticFract32(int32_t code);

// A statistic of n floats `inc` apart; `position` gets the first position of an extreme and is left as it is for
// the other statistics.
float statisticOf(Statistic s, const float *x, int32_t inc, int32_t n, uint32_t *position);
// A statistic of n Fract32 samples; energies and sums of squares saturate at 0x7FFFFFFF.
Fract32 statisticOf(Statistic s, const Fract32 *x, int32_t n, uint32_t *position);

// Subblock statistics: dst[j] the statistic of the j-th run of n / runs samples. Max..SumSquared only.
void subblockStatistics(Statistic s, const float *x, float *dst, int32_t n, int32_t runs);
void subblockStatistics(Statistic s, const Fract32 *x, Fract32 *dst, int32_t n, int32_t runs);

// The number of samples a module reads in one block: all words of input wire 0.
int32_t blockWords(const ClassModule *m);


// A statistic of n packed samples, whatever their type.
inline float statisticOf(Statistic s, const float *x, int32_t n, uint32_t *position)
{
    return statisticOf(s, x, 1, n, position);
}

inline uint32_t inputCount(const ClassModule *m) { return KVE_PACKED_INPUTS(m->packed); }
inline uint32_t outputCount(const ClassModule *m) { return KVE_PACKED_OUTPUTS(m->packed); }
template <class T> T *wordsOf(const GenericWire *w) { return static_cast<T *>(w->buffer); }

// Output k's first word, when the module has that output and it carries a word.
template <class T> void writeOutput(const ClassModule *m, uint32_t k, T value)
{
    if (outputCount(m) <= k)
        return;
    const GenericWire *out = kit::wire(m, inputCount(m) + k);
    if (kit::wireWords(out) != 0)
        wordsOf<T>(out)[0] = value;
}

template <class T> constexpr kit::Type scalarType()
{
    return std::is_same_v<T, float> ? kit::Type::Float : kit::Type::Fract32;
}
template <class T> constexpr kit::Type arrayType()
{
    return std::is_same_v<T, float> ? kit::Type::FloatArray : kit::Type::Fract32Array;
}

// Saturating arithmetic of the Fract32 forms: products are shifted right by 31.
inline Fract32 saturate(int64_t v) { return static_cast<Fract32>(std::clamp<int64_t>(v, INT32_MIN, INT32_MAX)); }
inline Fract32 product(int64_t a, int64_t b) { return saturate((a * b) >> 31); }
inline Fract32 rootOf(Fract32 v)
{
    Fract32 root = 0;
    kve_vecSqrtFract32(&v, 1, &root, 1, 1);
    return root;
}

// A count a host may have written, held where the next count, n + 1, stays positive.
inline int32_t heldCount(int32_t count) { return std::clamp(count, 0, INT32_MAX - 1); }

// ---- Averager ----

template <class T> constexpr std::array<kit::Variable, 6> averagerVariables()
{
    using A = AveragerModule<T>;
    return {{{offsetof(A, smoothingTime), kit::Type::Float},
             {offsetof(A, smoothingCoeff), scalarType<T>()},
             {offsetof(A, count), kit::Type::Int},
             {offsetof(A, countLimit), kit::Type::Int},
             {offsetof(A, numChannels), kit::Type::Int},
             {offsetof(A, average), arrayType<T>(), kit::perArgument(4)}}};
}

// The data wire: input 1 when input 0 carries the reset control.
inline uint32_t averagerDataWire(uint32_t inputs) { return inputs >= 2 ? 1u : 0u; }

// Refuses an `average` array smaller than the data wire's channels (-67): Process keeps one average per channel.
template <const auto *Record, class T>
ClassModule *averagerConstructor(int32_t *status, uint32_t wireWord, GenericWire **wires, uint32_t argc,
                                 const uint32_t *args)
{
    if (!kit::requireWires(status, wireWord, 1, 1))
        return nullptr;
    const GenericWire *data = wires != nullptr ? wires[averagerDataWire(KVE_PACKED_INPUTS(wireWord))] : nullptr;
    const int64_t numChannels = argc == 5 && args != nullptr ? static_cast<int32_t>(args[4]) : 0;
    if (argc == 5 && data != nullptr && numChannels < KVE_WIRE_CHANNELS(data->info1)) {
        *status = KVE_E_BAD_ARGUMENT;
        return nullptr;
    }
    return kit::construct(*Record, averagerVariables<T>(), 1, 1, status, wireWord, wires, argc, args);
}

// samples x time, rounded: the length of the cumulative phase. NaN counts nothing.
int32_t cumulativeSamples(float sampleRate, float timeMs);

template <class T> int32_t averagerSet(ClassModule *m, uint32_t)
{
    auto *s = reinterpret_cast<AveragerModule<T> *>(m);
    const float rate = kit::wire(m, 0)->sampleRate;
    const float c = design_smoother(1, s->smoothingTime, rate);
    if constexpr (std::is_same_v<T, float>)
        s->smoothingCoeff = c;
    else
        s->smoothingCoeff = kve_advFloatToFract32(c);
    s->countLimit = cumulativeSamples(rate, s->smoothingTime);
    return 0;
}

// One step of the cumulative mean over n samples so far, and one of the exponential average.
inline float cumulativeStep(float avg, float x, int32_t n)
{
    const auto k = static_cast<float>(n);
    return (x + avg * k) / (k + 1.0f);
}
inline float exponentialStep(float avg, float x, float c) { return avg * (1.0f - c) + c * x; }
inline Fract32 cumulativeStep(Fract32 avg, Fract32 x, int32_t n)
{
    const int64_t r = kve_advFloatToFract32(1.0f / (static_cast<float>(n) + 1.0f));
    return saturate(static_cast<int64_t>(product(x, r)) + product(n * r, avg));
}
inline Fract32 exponentialStep(Fract32 avg, Fract32 x, Fract32 c)
{
    return saturate(static_cast<int64_t>(product(c, x)) + product(int64_t{INT32_MAX} - c, avg));
}

template <class T> void averagerProcess(ClassModule *m)
{
    auto *s = reinterpret_cast<AveragerModule<T> *>(m);
    const uint32_t inputs = inputCount(m);
    const GenericWire *control = kit::wire(m, 0);
    if (inputs >= 2 && kit::wireWords(control) != 0 && wordsOf<T>(control)[0] != T{})
        s->count = 0;
    const GenericWire *in = kit::wire(m, averagerDataWire(inputs));
    const GenericWire *out = kit::wire(m, inputs);
    const uint32_t stride = KVE_WIRE_CHANNELS(in->info1);
    const uint32_t served = std::min(stride, kit::capacity(m, 0));
    const uint32_t frames = stride == 0 ? 0 : std::min(kit::wireWords(in), kit::wireWords(out)) / stride;
    if (frames == 0)
        return;
    const T *x = wordsOf<T>(in);
    T *y = wordsOf<T>(out);
    const int32_t start = std::max(s->count, 0);
    int32_t reached = start;
    for (uint32_t c = 0; c < served; ++c) {
        T avg = s->average[c];
        int32_t n = start;
        for (uint32_t i = 0; i < frames; ++i) {
            const uint32_t k = i * stride + c;
            if (n < s->countLimit)
                avg = cumulativeStep(avg, x[k], n++);
            else
                avg = exponentialStep(avg, x[k], s->smoothingCoeff);
            y[k] = avg;
        }
        s->average[c] = avg;
        reached = n;
    }
    s->count = reached;
}

// The data input's words into the output.
void averagerBypass(ClassModule *m);

// ---- Running extremes and statistics ----

template <class T> constexpr std::array<kit::Variable, 3> runningMinMaxVariables()
{
    using R = RunningMinMaxModule<T>;
    return {{{offsetof(R, statisticType), kit::Type::Int},
             {offsetof(R, value), scalarType<T>()},
             {offsetof(R, reset), kit::Type::Int}}};
}

inline bool isExtreme(Statistic s) { return s == Statistic::Max || s == Statistic::Min || s == Statistic::MaxAbs; }

// The running extreme: `value` replaced by the block's when the block's is further out, or after a reset.
template <class T> T extremeOf(Statistic s, T value, T block)
{
    return (s == Statistic::Min ? block < value : block > value) ? block : value;
}

template <class T> void runningMinMaxProcess(ClassModule *m)
{
    auto *s = reinterpret_cast<RunningMinMaxModule<T> *>(m);
    const Statistic kind = blockStatistic(s->statisticType);
    const int32_t n = blockWords(m);
    if (isExtreme(kind) && n > 0) {
        uint32_t position = 0;
        const T b = statisticOf(kind, wordsOf<T>(kit::wire(m, 0)), n, &position);
        s->value = s->reset != 0 ? b : extremeOf(kind, s->value, b);
        s->reset = 0;
    }
    writeOutput(m, 0, s->value);
}

template <class T> constexpr std::array<kit::Variable, 6> runningStatisticsVariables()
{
    using R = RunningStatisticsModule<T>;
    return {{{offsetof(R, statisticType), kit::Type::Int},
             {offsetof(R, value), scalarType<T>()},
             {offsetof(R, mean), scalarType<T>()},
             {offsetof(R, meanEnergy), scalarType<T>()},
             {offsetof(R, count), kit::Type::Int},
             {offsetof(R, reset), kit::Type::Int}}};
}

// The mean of n + 1 blocks from the mean of n and the newest block's; the root mean square the same way.
inline float runningMean(float old, float b, int32_t n)
{
    const auto k = static_cast<float>(n);
    return (k * old + b) / (k + 1.0f);
}
inline float runningRms(float old, float b, int32_t n)
{
    const auto k = static_cast<float>(n);
    return std::sqrt((k * old * old + b * b) / (k + 1.0f));
}
inline Fract32 runningMean(Fract32 old, Fract32 b, int32_t n)
{
    return saturate((int64_t{n} * old + b) / (int64_t{n} + 1));
}
inline Fract32 runningRms(Fract32 old, Fract32 b, int32_t n)
{
    return rootOf(saturate((int64_t{n} * product(old, old) + product(b, b)) / (int64_t{n} + 1)));
}
// The running sum: a Fract32 sum saturates.
inline float runningSum(float old, float b) { return old + b; }
inline Fract32 runningSum(Fract32 old, Fract32 b) { return saturate(int64_t{old} + b); }

// The spread from the mean energy and the mean: rounding may leave the difference a little below zero, which no
// set of samples has, so it is held at zero before its root is taken.
inline float spreadOf(float meanEnergy, float mean, bool root)
{
    const float v = std::max(0.0f, meanEnergy - mean * mean);
    return root ? std::sqrt(v) : v;
}
inline Fract32 spreadOf(Fract32 meanEnergy, Fract32 mean, bool root)
{
    const Fract32 v = saturate(std::max<int64_t>(0, int64_t{meanEnergy} - product(mean, mean)));
    return root ? rootOf(v) : v;
}

// RunningStatistics over the codes of Codes: extremes, a sum, running means of a block statistic, and the spread
// from the running mean and mean energy.
template <class T, Statistic (*Codes)(int32_t)> void runningStatisticsProcess(ClassModule *m)
{
    auto *s = reinterpret_cast<RunningStatisticsModule<T> *>(m);
    const Statistic kind = Codes(s->statisticType);
    const int32_t n = blockWords(m);
    if (kind != Statistic::None && n > 0) {
        const T *x = wordsOf<T>(kit::wire(m, 0));
        const bool fresh = s->reset != 0;
        const int32_t blocks = fresh ? 0 : heldCount(s->count);
        uint32_t position = 0;
        if (isExtreme(kind)) {
            const T b = statisticOf(kind, x, n, &position);
            s->value = fresh ? b : extremeOf(kind, s->value, b);
        } else if (kind == Statistic::Sum) {
            const T b = statisticOf(kind, x, n, &position);
            s->value = fresh ? b : runningSum(s->value, b);
        } else if (kind == Statistic::Sd || kind == Statistic::Variance) {
            const T mean = statisticOf(Statistic::Mean, x, n, &position);
            const T energy = statisticOf(Statistic::Energy, x, n, &position);
            s->mean = fresh ? mean : runningMean(s->mean, mean, blocks);
            s->meanEnergy = fresh ? energy : runningMean(s->meanEnergy, energy, blocks);
            s->count = blocks + 1;
            s->value = fresh && n == 1 ? T{} : spreadOf(s->meanEnergy, s->mean, kind == Statistic::Sd);
        } else {
            const T b = statisticOf(kind, x, n, &position);
            if (fresh)
                s->value = b;
            else
                s->value = kind == Statistic::Rms ? runningRms(s->value, b, blocks) : runningMean(s->value, b, blocks);
            s->count = blocks + 1;
        }
        s->reset = 0;
    }
    writeOutput(m, 0, s->value);
}

// A new statistic starts a new accumulation.
int32_t runningStatisticsSet(ClassModule *m, uint32_t mask);

// ---- Block and subblock statistics ----

template <class T> constexpr std::array<kit::Variable, 2> blockStatisticsVariables()
{
    using B = BlockStatisticsModule<T>;
    return {{{offsetof(B, statisticType), kit::Type::Int}, {offsetof(B, value), scalarType<T>()}}};
}

// BlockStatistics: the statistic of the whole block into `value` and output 0; output 1 (float form) gets the
// position of an extreme, -1 for the other statistics or an empty block.
template <class T, int32_t LastCode> void blockStatisticsProcess(ClassModule *m)
{
    auto *s = reinterpret_cast<BlockStatisticsModule<T> *>(m);
    const Statistic kind = s->statisticType <= LastCode ? blockStatistic(s->statisticType) : Statistic::None;
    if (kind == Statistic::None)
        return;
    uint32_t position = UINT32_MAX;
    s->value = statisticOf(kind, wordsOf<T>(kit::wire(m, 0)), blockWords(m), &position);
    writeOutput(m, 0, s->value);
    if constexpr (std::is_same_v<T, float>)
        writeOutput(m, 1, static_cast<int32_t>(isExtreme(kind) ? position : UINT32_MAX));
}

void blockStatisticsNProcess(ClassModule *m);

constexpr std::array<kit::Variable, 3> subblockStatisticsVariables()
{
    using S = SubblockStatisticsModule;
    return {{{offsetof(S, subblockLength), kit::Type::Int},
             {offsetof(S, statisticType), kit::Type::Int},
             {offsetof(S, numSubblocks), kit::Type::Int}}};
}

// SubblockStatistics: runs of `subblockLength` frames, as many as `numSubblocks` asks and both the input and the
// output hold.
template <class T> void subblockStatisticsProcess(ClassModule *m)
{
    const auto *s = reinterpret_cast<SubblockStatisticsModule *>(m);
    const Statistic kind = blockStatistic(s->statisticType);
    const GenericWire *in = kit::wire(m, 0);
    const GenericWire *out = kit::wire(m, inputCount(m));
    const int64_t run = int64_t{s->subblockLength} * KVE_WIRE_CHANNELS(in->info1);
    if (kind == Statistic::None || run <= 0)
        return;
    const int64_t runs = std::min<int64_t>({s->numSubblocks, kit::wireWords(in) / run, kit::wireWords(out)});
    if (runs > 0)
        subblockStatistics(kind, wordsOf<T>(in), wordsOf<T>(out), static_cast<int32_t>(runs * run),
                           static_cast<int32_t>(runs));
}

} // namespace kve::statistics
