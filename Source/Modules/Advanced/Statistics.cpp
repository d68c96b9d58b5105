// The statistic codes of the statistics modules and the reductions behind them.
#include "Modules/Advanced/Statistics.h"

#include <algorithm>
#include <array>

#include "kve/kve_vec.h"

namespace kve::statistics {

namespace {

using S = Statistic;

template <size_t N> Statistic fromTable(const std::array<Statistic, N> &table, int32_t code)
{
    return code >= 0 && static_cast<size_t>(code) < N ? table[static_cast<size_t>(code)] : S::None;
}

} // namespace

Statistic blockStatistic(int32_t code)
{
    constexpr std::array<Statistic, 10> kCodes = {S::Max, S::Min, S::MaxAbs, S::Mean, S::Rms,
                                                  S::Sd,  S::Variance, S::Energy, S::Sum, S::SumSquared};
    return fromTable(kCodes, code);
}

Statistic runningStatistic(int32_t code)
{
    constexpr std::array<Statistic, 9> kCodes = {S::Max, S::Min, S::MaxAbs, S::Sum, S::Mean,
                                                 S::Rms, S::Sd,  S::Variance, S::Energy};
    return fromTable(kCodes, code);
}

Statistic runningStatisticFract32(int32_t code)
{
    constexpr std::array<Statistic, 8> kCodes = {S::Max, S::Min, S::MaxAbs, S::Mean,
                                                 S::Rms, S::Sd,  S::Variance, S::Energy};
    return fromTable(kCodes, code);
}

namespace {

// The float reductions from the mean on, in the order of `Statistic`: the packed form and the strided one.
struct Reduction {
    float (*packed)(const float *, int32_t);
    float (*strided)(const float *, int32_t, int32_t);
};
constexpr std::array<Reduction, 7> kReductions = {{
    {kve_vecMean, kve_vecMeanStride},
    {kve_vecRMS, kve_vecRMSStride},
    {kve_vecSD, kve_vecSDStride},
    {kve_vecVariance, kve_vecVarianceStride},
    {kve_vecAvgEnergy, kve_vecAvgEnergyStride},
    {kve_vecSum, kve_vecSumStride},
    {kve_vecSumSquared, kve_vecSumSquaredStride},
}};

} // namespace

float statisticOf(Statistic s, const float *x, int32_t inc, int32_t n, uint32_t *position)
{
    const bool packed = inc == 1;
    if (s == S::Max)
        return packed ? kve_vecMax(x, n, position) : kve_vecMaxIndexStride(x, inc, n, position);
    if (s == S::Min)
        return packed ? kve_vecMin(x, n, position) : kve_vecMinIndexStride(x, inc, n, position);
    if (s == S::MaxAbs)
        return kve_vecMaxAbsIndex(x, inc, n, position);
    const auto k = static_cast<size_t>(s) - static_cast<size_t>(S::Mean);
    if (k >= kReductions.size())
        return 0.0f;
    return packed ? kReductions[k].packed(x, n) : kReductions[k].strided(x, inc, n);
}

Fract32 statisticOf(Statistic s, const Fract32 *x, int32_t n, uint32_t *position)
{
    switch (s) {
    case S::Max:
        return kve_vecMaxFract32(x, n, position);
    case S::Min:
        return kve_vecMinFract32(x, n, position);
    case S::MaxAbs:
        return kve_vecMaxAbsFract32(x, 1, n, position);
    case S::Mean:
        return saturate(kve_vecMeanFract32(x, n));
    case S::Rms:
        return kve_vecRMSFract32(x, n);
    case S::Sd:
        return kve_vecSDFract32(x, n);
    case S::Variance:
        return kve_vecVarianceFract32(x, n);
    case S::Energy:
        return saturate(kve_vecAvgEnergyFract32(x, n));
    case S::Sum:
        return kve_vecSumFract32(x, n);
    case S::SumSquared:
        return saturate(kve_vecSumSquaredFract32(x, n));
    case S::None:
        break;
    }
    return 0;
}

namespace {

template <class T> using RunKernel = void (*)(const T *, T *, int32_t, int32_t);

// The subblock kernels in the order of `Statistic`.
constexpr std::array<RunKernel<float>, 10> kRuns = {
    kve_vecMaxSubblock, kve_vecMinSubblock,       kve_vecMaxAbsSubblock, kve_vecMeanSubblock,
    kve_vecRMSSubblock, kve_vecSDSubblock,        kve_vecVarianceSubblock, kve_vecAvgEnergySubblock,
    kve_vecSumSubblock, kve_vecSumSquaredSubblock,
};
constexpr std::array<RunKernel<Fract32>, 10> kRunsFract32 = {
    kve_vecMaxSubblockFract32,        kve_vecMinSubblockFract32,      kve_vecMaxAbsSubblockFract32,
    kve_vecMeanSubblockFract32,       kve_vecRMSSubblockFract32,      kve_vecSDSubblockFract32,
    kve_vecVarianceSubblockFract32,   kve_vecAvgEnergySubblockFract32, kve_vecSumSubblockFract32,
    kve_vecSumSquaredSubblockFract32,
};

template <class T> void runsOf(const std::array<RunKernel<T>, 10> &kernels, Statistic s, const T *x, T *dst,
                               int32_t n, int32_t runs)
{
    const auto k = static_cast<size_t>(s);
    if (k < kernels.size())
        kernels[k](x, dst, n, runs);
}

} // namespace

void subblockStatistics(Statistic s, const float *x, float *dst, int32_t n, int32_t runs)
{
    runsOf(kRuns, s, x, dst, n, runs);
}

void subblockStatistics(Statistic s, const Fract32 *x, Fract32 *dst, int32_t n, int32_t runs)
{
    runsOf(kRunsFract32, s, x, dst, n, runs);
}

int32_t blockWords(const ClassModule *m) { return static_cast<int32_t>(kit::wireWords(kit::wire(m, 0))); }

int32_t cumulativeSamples(float sampleRate, float timeMs)
{
    const float samples = std::trunc(sampleRate * timeMs * 0.001f + 0.5f);
    if (std::isnan(samples))
        return 0;
    // The largest float below 2^31, so the conversion stays defined.
    constexpr float kLargest = 2147483520.0f;
    return static_cast<int32_t>(std::clamp(samples, -kLargest, kLargest));
}

void averagerBypass(ClassModule *m)
{
    const uint32_t inputs = inputCount(m);
    const GenericWire *in = kit::wire(m, averagerDataWire(inputs));
    const GenericWire *out = kit::wire(m, inputs);
    kve_vecCopy32(in->buffer, 1, out->buffer, 1,
                  static_cast<int32_t>(std::min(kit::wireWords(in), kit::wireWords(out))));
}

int32_t runningStatisticsSet(ClassModule *m, uint32_t mask)
{
    // The statistic's own variable, the first, is bit 8 of the mask.
    if (mask & (1u << 8))
        reinterpret_cast<RunningStatisticsModule<float> *>(m)->reset = 1;
    return 0;
}

void blockStatisticsNProcess(ClassModule *m)
{
    const auto *s = reinterpret_cast<BlockStatisticsNModule *>(m);
    const Statistic kind = blockStatistic(s->statisticType);
    if (kind == Statistic::None)
        return;
    const GenericWire *in = kit::wire(m, 0);
    const GenericWire *values = kit::wire(m, inputCount(m));
    const GenericWire *positions = outputCount(m) >= 2 ? kit::wire(m, inputCount(m) + 1) : nullptr;
    const uint32_t channels = KVE_WIRE_CHANNELS(in->info1);
    if (channels == 0)
        return;
    const auto frames = static_cast<int32_t>(kit::wireWords(in) / channels);
    const uint32_t served = std::min(channels, kit::wireWords(values));
    const uint32_t located = positions != nullptr ? std::min(served, kit::wireWords(positions)) : 0;
    for (uint32_t c = 0; c < served; ++c) {
        uint32_t position = UINT32_MAX;
        wordsOf<float>(values)[c] =
            statisticOf(kind, wordsOf<float>(in) + c, static_cast<int32_t>(channels), frames, &position);
        if (c < located)
            wordsOf<int32_t>(positions)[c] = static_cast<int32_t>(isExtreme(kind) ? position : UINT32_MAX);
    }
}

} // namespace kve::statistics
