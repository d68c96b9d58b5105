// Test signals that tests and benchmarks share.
#pragma once

#include <cstddef>
#include <cstdint>
#include <random>
#include <vector>

#include "kve/kve_types.h"

namespace kvetest {

// n uniform samples in -scale..scale, the same for the same seed.
inline std::vector<float> noise(size_t n, uint32_t seed, float scale = 1.0f)
{
    std::mt19937 rng(seed);
    std::uniform_real_distribution<float> u(-scale, scale);
    std::vector<float> x(n);
    for (float &v : x)
        v = u(rng);
    return x;
}

// n Fract32 samples spread over the whole range.
inline std::vector<Fract32> noiseFract32(size_t n, uint32_t seed)
{
    std::mt19937 rng(seed);
    std::vector<Fract32> x(n);
    for (Fract32 &v : x)
        v = static_cast<Fract32>(rng());
    return x;
}

} // namespace kvetest
