// Models of the arithmetic kernels whose definitions are longer than a formula: the AArch64 reciprocal estimate and
// step written from the architecture's pseudocode (FPRecipEstimate, RecipEstimate, FPRecipStepFused with FPCR.AH = 0
// and DN = 0), the four-lane divide built on them, and the half-scale Fract32 soft clip. Values are unpacked to
// integer significands and exponents and rounded by hand, so they share nothing with the library's code.
#pragma once

#include <bit>
#include <cmath>
#include <cstdint>

#include "Dsp/ExactModels.h"

namespace kvetest {

// A float operand as FPUnpack sees it: under FZ a denormal is a zero.
struct Unpacked {
    enum Type { Zero, Finite, Infinity, QuietNaN, SignallingNaN } type;
    bool negative;
    uint64_t significand; // value = significand x 2^exponent for a finite operand
    int exponent;
};

inline Unpacked unpack(uint32_t bits, bool fz)
{
    const bool negative = (bits >> 31) != 0;
    const uint32_t field = (bits >> 23) & 0xFF;
    const uint32_t fraction = bits & 0x7FFFFF;
    if (field == 0xFF) {
        if (fraction == 0)
            return {Unpacked::Infinity, negative, 0, 0};
        return {(fraction & 0x400000) != 0 ? Unpacked::QuietNaN : Unpacked::SignallingNaN, negative, 0, 0};
    }
    if (field == 0) {
        if (fraction == 0 || fz)
            return {Unpacked::Zero, negative, 0, 0};
        return {Unpacked::Finite, negative, fraction, -149};
    }
    return {Unpacked::Finite, negative, 0x800000u | fraction, static_cast<int>(field) - 150};
}

inline double valueOf(const Unpacked &u)
{
    return std::ldexp(static_cast<double>(u.significand), u.exponent) * (u.negative ? -1.0 : 1.0);
}

// FPRound to single precision, round to nearest even: magnitude x 2^exponent, with FZ flushing a result whose
// unrounded value lies below 2^-126 (the architecture tests before rounding).
inline uint32_t roundToSingle(bool negative, unsigned __int128 magnitude, int exponent, bool fz)
{
    const uint32_t sign = negative ? 0x80000000u : 0u;
    if (magnitude == 0)
        return sign;
    int top = 127;
    while (((magnitude >> top) & 1) == 0)
        --top;
    const int e = top + exponent; // 2^e <= value < 2^(e + 1)
    if (e < -126 && fz)
        return sign;
    const int quantum = e < -126 ? -149 : e - 23;
    unsigned __int128 units;
    if (exponent >= quantum) {
        units = magnitude << (exponent - quantum);
    } else {
        const int drop = quantum - exponent;
        if (drop > 127) {
            units = 0; // the magnitude is below half a unit
        } else {
            units = magnitude >> drop;
            const unsigned __int128 rest = magnitude - (units << drop);
            const unsigned __int128 half = static_cast<unsigned __int128>(1) << (drop - 1);
            if (rest > half || (rest == half && (units & 1) != 0))
                ++units;
        }
    }
    // units x 2^quantum, where units may have carried to 2^24.
    if (quantum == -149)
        return sign | static_cast<uint32_t>(units); // a carry into 2^23 is the smallest normal
    int field = quantum + 23 + 127;
    if (units == (static_cast<unsigned __int128>(1) << 24)) {
        units >>= 1;
        ++field;
    }
    if (field >= 255)
        return sign | 0x7F800000u;
    return sign | static_cast<uint32_t>(field) << 23 | (static_cast<uint32_t>(units) & 0x7FFFFFu);
}

// RecipEstimate: a in 256..511 stands for a / 512; the result in 256..511 stands for result / 256.
inline uint32_t recipEstimateTable(uint32_t a)
{
    a = a * 2 + 1;
    const uint32_t b = (1u << 19) / a;
    return (b + 1) / 2;
}

// FPRecipEstimate, single precision.
inline uint32_t modelRecipEstimate(uint32_t operand, bool fz)
{
    const Unpacked u = unpack(operand, fz);
    const uint32_t sign = operand & 0x80000000u;
    switch (u.type) {
    case Unpacked::SignallingNaN:
        return operand | 0x400000u;
    case Unpacked::QuietNaN:
        return operand;
    case Unpacked::Infinity:
        return sign;
    case Unpacked::Zero:
        return sign | 0x7F800000u;
    case Unpacked::Finite:
        break;
    }
    const double magnitude = std::fabs(valueOf(u));
    if (magnitude < std::ldexp(1.0, -128))
        return sign | 0x7F800000u; // overflow, round to nearest: infinity
    if (fz && magnitude >= std::ldexp(1.0, 126))
        return sign;
    uint64_t fraction = static_cast<uint64_t>(operand & 0x7FFFFF) << 29; // fraction<51:0>
    int exp = static_cast<int>((operand >> 23) & 0xFF);
    const uint64_t mask52 = (uint64_t{1} << 52) - 1;
    if (exp == 0) {
        if (((fraction >> 51) & 1) == 0) {
            exp = -1;
            fraction = (fraction << 2) & mask52;
        } else {
            fraction = (fraction << 1) & mask52;
        }
    }
    const uint32_t scaled = 256 + static_cast<uint32_t>((fraction >> 44) & 0xFF);
    int resultExp = 253 - exp;
    const uint32_t estimate = recipEstimateTable(scaled);
    fraction = static_cast<uint64_t>(estimate & 0xFF) << 44;
    if (resultExp == 0) {
        fraction = (uint64_t{1} << 51) | (fraction >> 1);
    } else if (resultExp == -1) {
        fraction = (uint64_t{1} << 50) | (fraction >> 2);
        resultExp = 0;
    }
    return sign | static_cast<uint32_t>(resultExp) << 23 | static_cast<uint32_t>(fraction >> 29);
}

// FPRecipStepFused, single precision: 2 + (-op1) x op2, rounded once.
inline uint32_t modelRecipStep(uint32_t op1, uint32_t op2, bool fz)
{
    op1 ^= 0x80000000u; // FPNeg
    const Unpacked a = unpack(op1, fz);
    const Unpacked b = unpack(op2, fz);
    if (a.type == Unpacked::SignallingNaN)
        return op1 | 0x400000u;
    if (b.type == Unpacked::SignallingNaN)
        return op2 | 0x400000u;
    if (a.type == Unpacked::QuietNaN)
        return op1;
    if (b.type == Unpacked::QuietNaN)
        return op2;
    const bool infA = a.type == Unpacked::Infinity;
    const bool infB = b.type == Unpacked::Infinity;
    if ((infA && b.type == Unpacked::Zero) || (a.type == Unpacked::Zero && infB))
        return 0x40000000u; // 2.0
    if (infA || infB)
        return (a.negative != b.negative ? 0x80000000u : 0u) | 0x7F800000u;
    if (a.type == Unpacked::Zero || b.type == Unpacked::Zero)
        return 0x40000000u;
    // 2 + p exactly, p = +-P x 2^k, in units of 2^min(k, 1); a product far above or below 2 stands in for the
    // other term by a sticky unit that rounds the same way.
    const auto P = static_cast<__int128>(a.significand * b.significand);
    const int k = a.exponent + b.exponent;
    const bool productNegative = a.negative != b.negative;
    __int128 sum;
    int unit;
    if (k - 1 > 70) {
        sum = (P << 70) + 1;
        unit = k - 70;
        if (productNegative)
            sum = -(P << 70) + 1;
    } else if (1 - k > 120) {
        return 0x40000000u; // |p| < 2^-71: 2 + p rounds to 2
    } else {
        unit = k < 1 ? k : 1;
        const __int128 two = static_cast<__int128>(1) << (1 - unit);
        const __int128 p = P << (k - unit);
        sum = productNegative ? two - p : two + p;
    }
    if (sum == 0)
        return 0; // an exact zero is +0 under round to nearest
    const bool negative = sum < 0;
    return roundToSingle(negative, static_cast<unsigned __int128>(negative ? -sum : sum), unit, fz);
}

// The divide's four-lane quotient built from the models; the products are the machine's single-precision ones.
inline float modelBlockQuotient(float num, float den, bool fz)
{
    if (den == 0.0f)
        return 0.0f;
    const auto step = [fz](float d, float r) {
        return std::bit_cast<float>(modelRecipStep(std::bit_cast<uint32_t>(d), std::bit_cast<uint32_t>(r), fz));
    };
    const float r0 = std::bit_cast<float>(modelRecipEstimate(std::bit_cast<uint32_t>(den), fz));
    const float r1 = step(den, r0) * r0;
    return (step(den, r1) * num) * r1;
}

// The Fract32 soft clip, step by step, in 128-bit integers.
inline int32_t modelSoftClipFract32(int32_t x, int32_t t, int32_t limit)
{
    const auto low32 = [](__int128 v) { return static_cast<int32_t>(static_cast<uint32_t>(v & 0xFFFFFFFF)); };
    const int32_t a = low32(x < 0 ? -static_cast<__int128>(x) : x);
    if (a < t)
        return x;
    const int32_t e = low32(static_cast<__int128>(a) - t);
    const int32_t d = low32(static_cast<__int128>(limit) - t);
    const int32_t s = static_cast<int32_t>(floorDivPow2(d, 1) + floorDivPow2(e, 1));
    const float denominator =
        s < -0x40000000 ? -1.0f : static_cast<float>(static_cast<double>(2 * (s < 0x3FFFFFFF ? s : 0x3FFFFFFF)) /
                                                     2147483648.0);
    const float q = static_cast<float>(static_cast<double>(e) / 2147483648.0) / denominator;
    int32_t Q;
    if (std::isnan(q))
        Q = 0;
    else if (q < -1.0f)
        Q = INT32_MIN;
    else if (q >= 1.0f)
        Q = INT32_MAX;
    else {
        const float scaled = q * 2147483648.0f;
        Q = static_cast<int32_t>(std::trunc(scaled > 0.0f ? scaled + 0.5f : scaled - 0.5f));
    }
    const int32_t m = low32(floorDivPow2(static_cast<__int128>(d) * Q + 0x40000000, 31));
    const int32_t r = static_cast<int32_t>(floorDivPow2(t, 1) + floorDivPow2(m, 1));
    int32_t y;
    if (r < -0x40000000)
        y = INT32_MIN;
    else {
        const int32_t doubled = 2 * (r < 0x3FFFFFFF ? r : 0x3FFFFFFF);
        y = doubled < limit ? doubled : limit;
    }
    return x < 0 ? low32(-static_cast<__int128>(y)) : y;
}

} // namespace kvetest
