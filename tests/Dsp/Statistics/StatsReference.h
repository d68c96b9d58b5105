// Reference statistics of float blocks from numpy, test signals for the statistics kernels, and the layout of a
// strided vector whose gaps hold NaN, so a kernel that reads a sample it should skip cannot go unnoticed.
#pragma once

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "Dsp/Fir/FirSignals.h"
#include "support/PythonOracle.h"

namespace kvetest
{

// One row of stats_reference.py: population statistics in double precision; positions are the first ones, NaN
// values passed over.
struct BlockStats {
    double sum, sumSquares, mean, meanSquare, rms, variance, sd;
    double max, maxAt, min, minAt, maxAbs, maxAbsAt, minAbs, minAbsAt;
};

inline std::vector<std::string> groupArgs(const char *mode, const std::vector<std::vector<float>> &blocks)
{
    std::vector<std::string> args = {mode};
    for (const std::vector<float> &b : blocks) {
        args.push_back(std::to_string(b.size()));
        appendOracleArgs(args, b);
    }
    return args;
}

inline std::vector<BlockStats> referenceStats(const std::vector<std::vector<float>> &blocks)
{
    const std::vector<double> v = runOracle("stats_reference.py", groupArgs("stats", blocks));
    constexpr size_t kRow = sizeof(BlockStats) / sizeof(double);
    std::vector<BlockStats> rows;
    for (size_t at = 0; at + kRow <= v.size(); at += kRow) {
        const double *r = v.data() + at;
        rows.push_back({r[0], r[1], r[2], r[3], r[4], r[5], r[6], r[7], r[8], r[9], r[10], r[11], r[12], r[13], r[14]});
    }
    return rows;
}

inline std::vector<std::vector<double>> referenceSort(const std::vector<std::vector<float>> &blocks)
{
    const std::vector<double> v = runOracle("stats_reference.py", groupArgs("sort", blocks));
    std::vector<std::vector<double>> sorted;
    size_t at = 0;
    for (const std::vector<float> &b : blocks) {
        if (at + b.size() > v.size())
            break;
        sorted.emplace_back(v.begin() + static_cast<ptrdiff_t>(at), v.begin() + static_cast<ptrdiff_t>(at + b.size()));
        at += b.size();
    }
    return sorted;
}

// Noise in [-1, 1) moved to sit around offset, so that a mean and a spread are both present.
inline std::vector<float> offsetNoise(size_t count, uint64_t seed, float offset)
{
    std::vector<float> v = firNoise(count, seed);
    for (float &x : v)
        x += offset;
    return v;
}

// n samples inc apart in a buffer whose other words are NaN; first() is where the kernel starts (the highest
// address for a negative increment). An increment of 0 repeats the first value.
class StridedFloats
{
  public:
    StridedFloats(const std::vector<float> &values, int32_t inc) : inc_(inc)
    {
        const ptrdiff_t n = static_cast<ptrdiff_t>(values.size());
        const ptrdiff_t span = n == 0 ? 1 : (n - 1) * std::abs(static_cast<ptrdiff_t>(inc)) + 1;
        words_.assign(static_cast<size_t>(span + 2), std::nanf(""));
        start_ = inc < 0 ? span : 1;
        for (ptrdiff_t i = n - 1; i >= 0; --i)
            words_[static_cast<size_t>(start_ + i * inc)] = values[static_cast<size_t>(i)];
    }
    const float *first() const { return words_.data() + start_; }
    int32_t inc() const { return inc_; }

  private:
    int32_t inc_;
    ptrdiff_t start_ = 0;
    std::vector<float> words_;
};

// The samples a kernel sees at an increment of 0: n copies of the first value.
inline std::vector<float> asSeenAt(const std::vector<float> &values, int32_t inc)
{
    return inc == 0 ? std::vector<float>(values.size(), values.empty() ? 0.0f : values[0]) : values;
}

} // namespace kvetest
