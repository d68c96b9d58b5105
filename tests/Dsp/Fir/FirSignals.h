// Signals and call patterns shared by the FIR kernel tests: deterministic noise (the same on every machine), the
// block lengths that carry a filter's state across calls, and oracle arguments.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "support/PythonOracle.h"

namespace kvetest {

// A 64-bit linear congruential generator; next() gives its upper 32 bits.
class FirRandom {
public:
    explicit FirRandom(uint64_t seed) : state_(seed * 2654435761u + 1) {}
    uint32_t next()
    {
        state_ = state_ * 6364136223846793005u + 1442695040888963407u;
        return static_cast<uint32_t>(state_ >> 32);
    }

private:
    uint64_t state_;
};

// Floats spread evenly over [-amplitude, amplitude).
inline std::vector<float> firNoise(size_t count, uint64_t seed, float amplitude = 1.0f)
{
    FirRandom r(seed);
    std::vector<float> v(count);
    for (float &x : v)
        x = amplitude * (static_cast<float>(r.next() >> 8) * 0x1p-23f - 1.0f);
    return v;
}

// Full-range 32-bit words with -1.0, the largest word and zero mixed in.
inline std::vector<int32_t> firNoiseWords(size_t count, uint64_t seed)
{
    FirRandom r(seed);
    std::vector<int32_t> v(count);
    for (int32_t &x : v) {
        const uint32_t pick = r.next();
        switch (pick % 16) {
        case 0:
            x = INT32_MIN;
            break;
        case 1:
            x = INT32_MAX;
            break;
        case 2:
            x = 0;
            break;
        default:
            x = static_cast<int32_t>(r.next());
        }
    }
    return v;
}

// Lengths of consecutive calls covering total samples: short calls that run only the tails, calls that fill the
// blocks of four and eight exactly, and longer ones with tails, cycled.
inline std::vector<int32_t> firBlockLengths(int32_t total)
{
    static const int32_t pattern[] = {1, 2, 3, 4, 5, 7, 8, 16, 17, 33, 64, 100, 9, 6};
    std::vector<int32_t> lengths;
    int32_t done = 0;
    for (size_t k = 0; done < total; ++k) {
        const int32_t want = pattern[k % (sizeof pattern / sizeof pattern[0])];
        const int32_t len = want < total - done ? want : total - done;
        lengths.push_back(len);
        done += len;
    }
    return lengths;
}

template <typename T>
void appendOracleArgs(std::vector<std::string> &args, const std::vector<T> &values)
{
    for (T v : values)
        args.push_back(oracleArg(static_cast<double>(v)));
}

} // namespace kvetest
