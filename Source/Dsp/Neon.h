// Four-lane kernels are written once with Advanced SIMD intrinsics; off AArch64 the same intrinsics come from
// SIMDe's emulation so the code is compiled and tested on every machine.
#pragma once
#if defined(__aarch64__)
#include <arm_neon.h>
#else
#define SIMDE_ENABLE_NATIVE_ALIASES
#include <simde/arm/neon.h>

#include <bit>
#include <cstdint>

// SIMDe has no fixed-point conversions (the forms with a count of fraction bits), which the Fract32 kernels are
// built on. These give what the AArch64 instructions give, for counts of 1 to 32: the float side is scaled by
// 2^fbits exactly (a power of two), so only the conversion itself rounds. Any alias a later SIMDe brings is
// replaced, so the results stay the ones the tests pin down.
#undef vcvtq_n_s32_f32
#undef vcvtq_n_f32_s32

// 2^e as a float, built from its exponent field, for -126 <= e <= 127.
static inline float kve_neonPowerOfTwo(int e)
{
    return std::bit_cast<float>(static_cast<uint32_t>(127 + e) << 23);
}

// a x 2^fbits converted toward zero, saturated to the 32-bit range; NaN gives 0. Lanes out of range (and NaN) are
// converted as 0 and then replaced, so the emulated conversion never sees a value it may treat its own way.
static inline int32x4_t vcvtq_n_s32_f32(float32x4_t a, const int fbits)
{
    const float32x4_t y = vmulq_n_f32(a, kve_neonPowerOfTwo(fbits));
    const float32x4_t limit = vdupq_n_f32(2147483648.0f);
    const uint32x4_t high = vcgeq_f32(y, limit);
    const uint32x4_t low = vcltq_f32(y, vnegq_f32(limit));
    const uint32x4_t inRange = vbicq_u32(vceqq_f32(y, y), vorrq_u32(high, low));
    const int32x4_t truncated = vcvtq_s32_f32(vbslq_f32(inRange, y, vdupq_n_f32(0.0f)));
    const int32x4_t clamped = vbslq_s32(high, vdupq_n_s32(INT32_MAX), truncated);
    return vbslq_s32(low, vdupq_n_s32(INT32_MIN), clamped);
}

// a converted to float, rounded to nearest under the current mode, then scaled by 2^-fbits (exact: no result of a
// nonzero word falls below the normal range).
static inline float32x4_t vcvtq_n_f32_s32(int32x4_t a, const int fbits)
{
    return vmulq_n_f32(vcvtq_f32_s32(a), kve_neonPowerOfTwo(-fbits));
}
#endif
