// Reference models for the FFT tests: numpy's transforms through the oracle script, an independent bit reversal,
// and an exact integer model of the block-floating-point fixed-point FFT written from its arithmetic rules with
// 128-bit integers and floor divisions, sharing nothing with the kernel's shifts and splits.
#pragma once

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <string>
#include <vector>

#include "Dsp/ExactModels.h"
#include "Dsp/GuardedVector.h"
#include "kve/kve_vec.h"
#include "support/PythonOracle.h"

namespace kvetest {

// The oracle's output for one size, split into its printed blocks of the given lengths.
inline std::vector<std::vector<double>> splitBlocks(const std::vector<double> &values, size_t &at,
                                                    const std::vector<size_t> &lengths)
{
    std::vector<std::vector<double>> blocks;
    for (size_t length : lengths) {
        if (at + length > values.size()) {
            ADD_FAILURE() << "the oracle printed too few values";
            blocks.emplace_back(length, NAN);
            continue;
        }
        blocks.emplace_back(values.begin() + static_cast<ptrdiff_t>(at),
                            values.begin() + static_cast<ptrdiff_t>(at + length));
        at += length;
    }
    return blocks;
}

inline int log2Of(int64_t n)
{
    int bits = 0;
    while ((int64_t{1} << bits) < n)
        ++bits;
    return bits;
}

inline double largestMagnitude(const std::vector<double> &pairs)
{
    double m = 0.0;
    for (size_t i = 0; i + 1 < pairs.size(); i += 2)
        m = std::max(m, std::hypot(pairs[i], pairs[i + 1]));
    return m;
}

// True when the guard words on both sides of a vector's span are as they were filled.
inline bool guardsIntact(const GuardedVector &v)
{
    const std::vector<uint32_t> &w = v.words();
    for (ptrdiff_t i = 0; i < GuardedVector::kGuards; ++i) {
        if (w[static_cast<size_t>(i)] != kGuardWord || w[w.size() - 1 - static_cast<size_t>(i)] != kGuardWord)
            return false;
    }
    return true;
}

// p with its lowest `bits` bits written in the opposite order, read off one bit at a time from the top.
inline int32_t reverseBits(int32_t p, int bits)
{
    int32_t r = 0;
    for (int b = 0; b < bits; ++b) {
        if (p & (1 << (bits - 1 - b)))
            r |= 1 << b;
    }
    return r;
}

// ---- The fixed-point FFT, exactly ----

inline int32_t wrap32(__int128 v)
{
    return static_cast<int32_t>(static_cast<uint32_t>(static_cast<uint64_t>(v & 0xFFFFFFFF)));
}

// a b +- c d in Q31 as the split product forms it: the exact sum with each operand's low-half x low-half product
// taken out, divided by 2^31 rounding toward minus infinity, and cut to 32 bits.
inline int32_t splitProductModel(int32_t a, int32_t b, int32_t c, int32_t d, bool subtract)
{
    const auto low = [](int32_t x) { return static_cast<__int128>(static_cast<uint32_t>(x) % 65536u); };
    const __int128 ab = static_cast<__int128>(a) * b - low(a) * low(b);
    const __int128 cd = static_cast<__int128>(c) * d - low(c) * low(d);
    return wrap32(floorDivPow2(subtract ? ab - cd : ab + cd, 31));
}

// The number of redundant sign bits of x: the largest r for which x fits in 32 - r signed bits.
inline int redundantSignBits(int32_t x)
{
    for (int r = 31; r > 0; --r) {
        const int64_t limit = int64_t{1} << (31 - r);
        if (x >= -limit && x < limit)
            return r;
    }
    return 0;
}

struct FixedFftResult {
    std::vector<int32_t> data;
    int exponent;
};

// The transform of N bit-reversed points: per stage, shift the block down to the guard bits it needs (1 in stages 0
// and 1, 2 after), then the radix-2 butterflies with wrapping sums over the twiddle w_k = c - j sn.
inline FixedFftResult fixedFftModel(std::vector<int32_t> x, int n)
{
    int exponent = 0;
    int s = 0;
    for (int h = 1; h < n; h *= 2, ++s) {
        int headroom = 31;
        for (int32_t v : x)
            headroom = std::min(headroom, redundantSignBits(v));
        const int needed = s < 2 ? 1 : 2;
        if (headroom < needed) {
            for (int32_t &v : x)
                v = static_cast<int32_t>(floorDivPow2(v, needed - headroom));
            exponent += needed - headroom;
        }
        for (int g = 0; g < n; g += 2 * h) {
            for (int k = 0; k < h; ++k) {
                int32_t c = INT32_MAX;
                int32_t sn = 0;
                if (s == 1 && k == 1) {
                    c = 0;
                    sn = INT32_MAX;
                } else if (s >= 2) {
                    c = Twiddle_table_Cos[k * 1024 / (2 * h)];
                    sn = Twiddle_table_Sin[k * 1024 / (2 * h)];
                }
                const size_t ai = static_cast<size_t>(2 * (g + k));
                const size_t bi = ai + static_cast<size_t>(2 * h);
                const int32_t tr = splitProductModel(x[bi], c, x[bi + 1], sn, false);
                const int32_t ti = splitProductModel(x[bi + 1], c, x[bi], sn, true);
                const int32_t ar = x[ai];
                const int32_t aim = x[ai + 1];
                x[ai] = wrap32(static_cast<__int128>(ar) + tr);
                x[ai + 1] = wrap32(static_cast<__int128>(aim) + ti);
                x[bi] = wrap32(static_cast<__int128>(ar) - tr);
                x[bi + 1] = wrap32(static_cast<__int128>(aim) - ti);
            }
        }
    }
    return {x, exponent};
}

// Complex points reordered so that position p holds the point at the bit reversal of p.
inline std::vector<int32_t> bitReversedModel(const std::vector<int32_t> &x, int n)
{
    std::vector<int32_t> y(x.size());
    const int bits = log2Of(n);
    for (int p = 0; p < n; ++p) {
        const int32_t q = reverseBits(p, bits);
        y[static_cast<size_t>(2 * p)] = x[static_cast<size_t>(2 * q)];
        y[static_cast<size_t>(2 * p + 1)] = x[static_cast<size_t>(2 * q + 1)];
    }
    return y;
}

} // namespace kvetest
