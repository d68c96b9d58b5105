// The reciprocal estimate and Newton step of the four-lane divide, giving the AArch64 results on every machine.
//
// AArch64 has them as instructions (FRECPE, FRECPS). SIMDe's emulation of the two gives other results (the x86
// approximate reciprocal, which is not the FRECPE table, and a step rounded twice), so off AArch64 each lane is
// computed from the architecture's pseudocode (FPRecipEstimate and FPRecipStepFused, with FPCR.AH = 0 and no default
// NaN), under the flush mode of the calling thread as FPCR.FZ would set it.
#pragma once

#include "Dsp/Neon.h"

#if defined(__aarch64__)

static inline float32x4_t kve_reciprocalEstimate(float32x4_t d)
{
    return vrecpeq_f32(d);
}

static inline float32x4_t kve_reciprocalStep(float32x4_t d, float32x4_t r)
{
    return vrecpsq_f32(d, r);
}

#else

#include <array>
#include <bit>
#include <cmath>
#include <cstdint>

#if defined(__x86_64__)
#include <xmmintrin.h>
#else
#error "Reciprocal.h: no floating-point mode register for this processor"
#endif

// The two halves of AArch64's FPCR.FZ as x86 keeps them: denormal operands read as zero (MXCSR.DAZ) and denormal
// results flushed to zero (MXCSR.FTZ).
struct KveFlushMode {
    bool inputs;
    bool results;
};

static inline KveFlushMode kve_currentFlushMode()
{
    const uint32_t csr = _mm_getcsr();
    return {(csr & 0x0040u) != 0, (csr & 0x8000u) != 0};
}

static inline bool kve_isSignallingNaN(uint32_t bits)
{
    return (bits & 0x7F800000u) == 0x7F800000u && (bits & 0x007FFFFFu) != 0 && (bits & 0x00400000u) == 0;
}

// A zero operand as the instructions see it: under the flush mode a denormal counts as a zero of its sign.
static inline bool kve_isZeroOperand(uint32_t bits, KveFlushMode mode)
{
    const uint32_t magnitude = bits & 0x7FFFFFFFu;
    return magnitude == 0 || (mode.inputs && magnitude < 0x00800000u);
}

// The estimate's table: for the top eight fraction bits i of d, the low eight bits of 1/d rounded to nine significant
// bits, with d's significand 256 + i standing for 0.5..1 and the result 256..511 for 1..2. Looked up rather than
// divided: the lanes run once per tap in the echo cancellers' updates.
inline constexpr auto kReciprocalEstimateTable = [] {
    std::array<uint8_t, 256> table{};
    for (uint32_t i = 0; i < 256; ++i) {
        table[i] = static_cast<uint8_t>((((1u << 19) / (2u * (256u + i) + 1u) + 1u) / 2u) & 0xFFu);
    }
    return table;
}();

// 1/d to 8 bits (FRECPE): the top eight fraction bits of d select 1/d rounded to nine significant bits.
static inline float kve_reciprocalEstimateLane(float d, KveFlushMode mode)
{
    const uint32_t bits = std::bit_cast<uint32_t>(d);
    const uint32_t sign = bits & 0x80000000u;
    const uint32_t exponent = (bits >> 23) & 0xFFu;
    uint32_t fraction = bits & 0x007FFFFFu;
    if (exponent == 0xFFu) {
        // A NaN comes back quiet with its sign and payload; an infinity gives a zero of its sign.
        return std::bit_cast<float>(fraction != 0 ? bits | 0x00400000u : sign);
    }
    if (kve_isZeroOperand(bits, mode) || (exponent == 0 && fraction < (1u << 21))) {
        // A zero, or a denormal below 2^-128 whose reciprocal overflows: an infinity of its sign.
        return std::bit_cast<float>(sign | 0x7F800000u);
    }
    if (mode.results && exponent >= 253) {
        // |d| of 2^126 and above has a denormal reciprocal, which the flush mode makes zero.
        return std::bit_cast<float>(sign);
    }
    // The significand as a fixed-point value in [0.5, 1) with its exponent; a denormal is normalised by up to two
    // places, as the pseudocode does.
    int32_t e = static_cast<int32_t>(exponent);
    if (exponent == 0) {
        const uint32_t places = (fraction & 0x00400000u) != 0 ? 1u : 2u;
        e = 1 - static_cast<int32_t>(places);
        fraction = (fraction << places) & 0x007FFFFFu;
    }
    const int32_t resultExponent = 253 - e;
    uint32_t resultFraction = uint32_t{kReciprocalEstimateTable[fraction >> 15]} << 15;
    if (resultExponent > 0) {
        return std::bit_cast<float>(sign | static_cast<uint32_t>(resultExponent) << 23 | resultFraction);
    }
    // A denormal result: the leading one moves into the fraction, one place further for an exponent of -1.
    resultFraction = (0x00800000u | resultFraction) >> (1 - resultExponent);
    return std::bit_cast<float>(sign | resultFraction);
}

// 2 - d x r rounded once (FRECPS); an infinity times a zero gives 2. A NaN operand gives the first signalling NaN,
// else the first quiet one, made quiet, where the first operand counts as -d.
static inline float kve_reciprocalStepLane(float d, float r, KveFlushMode mode)
{
    const uint32_t first = std::bit_cast<uint32_t>(d) ^ 0x80000000u;
    const uint32_t second = std::bit_cast<uint32_t>(r);
    if (std::isnan(d) || std::isnan(r)) {
        uint32_t chosen = std::isnan(d) ? first : second;
        if (kve_isSignallingNaN(first)) {
            chosen = first;
        } else if (kve_isSignallingNaN(second)) {
            chosen = second;
        }
        return std::bit_cast<float>(chosen | 0x00400000u);
    }
    if ((std::isinf(d) && kve_isZeroOperand(second, mode)) || (kve_isZeroOperand(first, mode) && std::isinf(r))) {
        return 2.0f;
    }
    // The fused product reads denormals and flushes its result under the same mode register.
    return std::fma(-d, r, 2.0f);
}

static inline float32x4_t kve_reciprocalEstimate(float32x4_t d)
{
    const KveFlushMode mode = kve_currentFlushMode();
    float lanes[4];
    vst1q_f32(lanes, d);
    for (float &x : lanes) {
        x = kve_reciprocalEstimateLane(x, mode);
    }
    return vld1q_f32(lanes);
}

static inline float32x4_t kve_reciprocalStep(float32x4_t d, float32x4_t r)
{
    const KveFlushMode mode = kve_currentFlushMode();
    float dl[4];
    float rl[4];
    vst1q_f32(dl, d);
    vst1q_f32(rl, r);
    for (int k = 0; k < 4; ++k) {
        dl[k] = kve_reciprocalStepLane(dl[k], rl[k], mode);
    }
    return vld1q_f32(dl);
}

#endif
