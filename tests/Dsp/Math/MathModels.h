// Reference values for the math kernels: numpy through the oracle script, and exact integer models of the
// fixed-point kernels written with 128-bit integers and floor divisions, so that they share nothing with the
// library's shifts and saturation helpers.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstdint>
#include <string>
#include <vector>

#include "Dsp/ExactModels.h"
#include "kve/kve_vec.h"
#include "support/PythonOracle.h"

namespace kvetest {

// numpy's value of the named function of math_functions.py at each argument (pairs y, x for the two-argument ones).
// The arguments travel on one command line, so a call takes a few thousand of them at most. A failed run fails the
// test and gives NaN for every value.
inline std::vector<double> reference(const std::string &function, const std::vector<float> &args)
{
    std::vector<std::string> words{function};
    for (float a : args)
        words.push_back(oracleArg(a));
    std::vector<double> values = runOracle("math_functions.py", words);
    const size_t count = function.rfind("atan2", 0) == 0 ? args.size() / 2 : args.size();
    EXPECT_EQ(values.size(), count) << function;
    if (values.size() != count)
        values.assign(count, std::nan(""));
    return values;
}

// floor(v / 2^k) for k >= 0, and v x 2^k for k < 0 (named for the common case).
inline __int128 down(__int128 v, int k) { return k >= 0 ? floorDivPow2(v, k) : v * (static_cast<__int128>(1) << -k); }

inline int32_t wrap32(__int128 v) { return static_cast<int32_t>(static_cast<uint32_t>(static_cast<uint64_t>(v))); }

// Left shifts that keep x inside the 32-bit range: its redundant sign bits (31 for 0 and -1).
inline int redundantSignBits(int32_t x)
{
    int k = 0;
    while (k < 31 && static_cast<__int128>(x) * (static_cast<__int128>(1) << (k + 1)) >= INT32_MIN &&
           static_cast<__int128>(x) * (static_cast<__int128>(1) << (k + 1)) <= INT32_MAX)
        ++k;
    return k;
}

inline int32_t modelSineFract32(int32_t x)
{
    const __int128 a = x < 0 ? -static_cast<__int128>(x) : x;
    const __int128 s = down(a * a, 31);
    __int128 q = down(-3 * s, 30) * 4 + 1479;
    q = down(s * q, 31) * 4 - 106522;
    q = down(s * q, 31) * 4 + 4473924;
    q = down(s * q, 31) * 4 - 89478485;
    q = down(s * q, 31) * 4 + 0x20000000;
    const __int128 r = down(a * q, 31) * 8;
    if (r > 0x7FFFFFFE)
        return x < 0 ? -0x7FFFFFFF : 0x7FFFFFFF;
    return static_cast<int32_t>(x < 0 ? -r : r);
}

// log2 |x| with 26 fractional bits for x read with 23 (x not 0): the magnitude shifted up to bit 30, the cubic of
// the mantissa, the shifts taken off and the 8 octaves of the format added.
inline __int128 modelLog2Q26Fract32(int32_t x)
{
    const __int128 a = x == INT32_MIN ? INT32_MAX : (x < 0 ? -static_cast<__int128>(x) : x);
    int k = 0;
    while (a * (static_cast<__int128>(1) << k) < (static_cast<__int128>(1) << 30))
        ++k;
    const __int128 m = a * (static_cast<__int128>(1) << k);
    const int32_t *c = log2_coeff_fract32;
    const __int128 log2m = c[3] + down(m * (c[2] + down(m * (c[1] + down(c[0] * m, 31)), 31)), 31);
    return log2m - k * (static_cast<__int128>(1) << 26) + 0x20000000;
}

inline int32_t modelLog10Fract32(int32_t x)
{
    if (x == 0)
        return INT32_MIN;
    return static_cast<int32_t>(down(modelLog2Q26Fract32(x) * 80807124, 31));
}

inline int32_t modelLinearToDbFract32(int32_t x, int32_t inBits, int32_t outBits)
{
    const int k = redundantSignBits(x);
    const __int128 m = static_cast<__int128>(x) * (static_cast<__int128>(1) << k);
    const int32_t e = wrap32(static_cast<__int128>(inBits) - 1 - k);
    const __int128 m2 = std::min<__int128>(down(m * m, 31), INT32_MAX);
    const __int128 m3 = down(m * m2, 31);
    __int128 kc[5];
    for (int i = 0; i < 5; ++i)
        kc[i] = down(LinearToDecibels_coeff_fract32[i], 5);
    __int128 acc = wrap32(kc[0] + wrap32(static_cast<__int128>(e) * kc[1]));
    acc = clampTo32(acc + clampTo32(down(m * kc[2], 31)));
    acc = clampTo32(acc + down(kc[3] * m2, 31));
    acc = clampTo32(acc + down(kc[4] * m3, 31));
    const auto s = static_cast<int16_t>(12 - static_cast<int64_t>(outBits));
    return clampTo32(scaleByPow2(acc, s));
}

inline int32_t modelDbToLinearFract32(int32_t x)
{
    const int32_t *d = DecibelsToLinear_coeff_fract32;
    const auto clearLow7 = [](__int128 v) { return down(v, 7) * 128; };
    const __int128 t = down(static_cast<__int128>(x) * d[0], 31);
    const __int128 w = wrap32(t * 128);
    const __int128 octaves = down(w, 24);
    const __int128 f = w - octaves * (1 << 24);
    const __int128 f2 = clearLow7(down(f * f, 24));
    const __int128 f3 = clearLow7(down(f2 * f, 24));
    __int128 p = clampTo32(d[1] + clearLow7(down(d[2] * f, 24)));
    p = clampTo32(p + clearLow7(down(d[3] * f2, 24)));
    p = clampTo32(p + down(d[4] * f3, 31) * 128);
    if (octaves >= 8)
        return INT32_MAX;
    return clampTo32(scaleByPow2(p, static_cast<int>(octaves)));
}

inline int32_t modelSqrtFract32(int32_t x)
{
    int s = redundantSignBits(x);
    s -= s % 2;
    const __int128 m = static_cast<__int128>(x) * (static_cast<__int128>(1) << s);
    const __int128 h = down(m, 1);
    const float scaled = static_cast<float>(static_cast<int32_t>(m)) * 4.656613e-10f;
    const float seed = std::bit_cast<float>(0x5F3759DFu - (std::bit_cast<uint32_t>(scaled) >> 1));
    const double y0 = std::trunc(static_cast<double>(seed) * 1073741824.0);
    __int128 y = y0 >= 2147483647.0 ? INT32_MAX : static_cast<__int128>(y0);
    for (int step = 0; step < 2; ++step) {
        const __int128 y2 = std::min<__int128>(down(y * y, 31), INT32_MAX);
        const __int128 c = std::min<__int128>(0x30000000 - down(h * y2, 31), INT32_MAX);
        y = clampTo32(4 * down(y * c, 31));
    }
    const __int128 r = down(m * y, 31);
    const __int128 out0 = r >= INT32_MAX ? INT32_MAX : clampTo32(2 * r);
    return static_cast<int32_t>(down(out0, s / 2));
}

inline int32_t modelReciprocalFract32(int32_t x, int32_t shift)
{
    if (x == 0)
        return INT32_MAX;
    if (x == -1)
        return INT32_MIN;
    const int k = redundantSignBits(x);
    const auto m = static_cast<int32_t>(static_cast<__int128>(x) * (static_cast<__int128>(1) << k));
    const int32_t r = exactFloatToFract32(1073741824.0f / static_cast<float>(m)); // the quotient x 2^31, truncated
    const auto e = static_cast<int16_t>(1 - static_cast<int64_t>(shift) + k);
    return clampTo32(scaleByPow2(r, e));
}

inline int32_t modelRecipFract32(int32_t x)
{
    __int128 y = initial_approx_value[(x >> 24) & 63];
    for (int step = 0; step < 2; ++step) {
        const __int128 t = down(y * x, 31);
        y = t >= INT32_MAX ? 0 : clampTo32(2 * clampTo32(down(y * (INT32_MAX - t), 31)));
    }
    return static_cast<int32_t>(y);
}

inline int32_t modelPolynomialFract32(int32_t x, const std::vector<int32_t> &c, int32_t postShift)
{
    if (c.empty())
        return 0;
    __int128 sum = c.back();
    __int128 power = x;
    for (int k = static_cast<int>(c.size()) - 2; k >= 0; --k) {
        sum += std::min<__int128>(down(power * c[static_cast<size_t>(k)], 31), INT32_MAX);
        power = std::min<__int128>(down(power * x, 31), INT32_MAX);
    }
    return clampTo32(scaleByPow2(sum, std::clamp(postShift, -200, 200))); // far beyond 64 bits either way
}

// points: (x, y) pairs; coeffs: four per segment.
inline int32_t modelTableInterpFract32(int32_t x, const std::vector<int32_t> &points,
                                       const std::vector<int32_t> &coeffs)
{
    const auto last = static_cast<int>(points.size() / 2) - 1;
    if (x <= points[0] || last == 0)
        return points[1];
    if (x >= points[static_cast<size_t>(2 * last)])
        return points[static_cast<size_t>(2 * last + 1)];
    int k = 0;
    if (x > points[2]) {
        k = 1;
        while (x > points[static_cast<size_t>(2 * (k + 1))])
            ++k;
    }
    const __int128 h = down(x, 1) - down(points[static_cast<size_t>(2 * k)], 1);
    const auto a = [&](int i) { return static_cast<__int128>(coeffs[static_cast<size_t>(4 * k + i)]); };
    const __int128 half = static_cast<__int128>(1) << 30;
    const auto step = [&](__int128 ai, __int128 p) { return down(ai, 1) + down(down(p * h + (half >> 1), 30), 1); };
    const auto held = [&](__int128 s) { return s < -half ? -2 * half : 2 * std::min(s, half - 1); };
    const __int128 p1 = held(step(a(1), a(0)));
    const __int128 p2 = held(step(a(2), p1));
    const __int128 s3 = step(a(3), p2);
    return wrap32((s3 < -half ? 0 : 2 * std::min(s3, half - 1)) * 256);
}

} // namespace kvetest
