// The Fract32 and integer arithmetic of the kernels and modules, one definition per rule, so that a product, sum,
// shift or conversion gives the same word wherever the library forms it.
//
// Float to integer conversions test for NaN and clamp before they convert: a cast of an out-of-range float is
// undefined in C++ and gives different words on different processors.
#pragma once

#include <cmath>
#include <cstdint>

#include "kve/kve_types.h"

// ---- Fract32 products, sums and magnitudes ----

// Clamps a 64-bit intermediate to the 32-bit range 0x80000000..0x7FFFFFFF.
static inline int32_t kve_saturate64(int64_t v)
{
    if (v < INT32_MIN) {
        return INT32_MIN;
    }
    if (v > INT32_MAX) {
        return INT32_MAX;
    }
    return static_cast<int32_t>(v);
}

// a x b: the 64-bit product shifted right arithmetically by 31, so it rounds toward minus infinity. The one product
// out of range, -1 x -1, gives 0x7FFFFFFF.
static inline Fract32 kve_mulFract32(Fract32 a, Fract32 b)
{
    const int64_t product = (static_cast<int64_t>(a) * b) >> 31;
    return product > INT32_MAX ? INT32_MAX : static_cast<Fract32>(product);
}

// a + b, saturated.
static inline Fract32 kve_addFract32(Fract32 a, Fract32 b)
{
    return kve_saturate64(static_cast<int64_t>(a) + b);
}

// a - b, saturated.
static inline Fract32 kve_subFract32(Fract32 a, Fract32 b)
{
    return kve_saturate64(static_cast<int64_t>(a) - b);
}

// |x| of a Fract32: -1.0 has no positive counterpart and gives 0x7FFFFFFF.
static inline Fract32 kve_absFract32(Fract32 x)
{
    if (x == INT32_MIN) {
        return INT32_MAX;
    }
    return x < 0 ? -x : x;
}

// |x| of a 32-bit integer, formed in 64 bits and cut back to 32, so -2147483648 stays -2147483648.
static inline int32_t kve_absInt32(int32_t x)
{
    const int64_t magnitude = x < 0 ? -static_cast<int64_t>(x) : x;
    return static_cast<int32_t>(static_cast<uint32_t>(magnitude));
}

// ---- Post-shift of a Fract32 product (gain = mantissa x 2^postShift) ----

// The product scaled by 2^postShift, for the scale and scale-add kernels, whose count is the low 16 bits of
// postShift, sign-extended. A right shift is arithmetic, so it rounds toward minus infinity; a left shift
// saturates. Counts of 32 and more act as the exact scaling would: right, the product becomes 0 or -1; left, any
// nonzero product saturates.
static inline Fract32 kve_shiftProductFract32(Fract32 product, int32_t postShift)
{
    const int32_t shift = static_cast<int16_t>(postShift);
    if (shift < 0) {
        return product >> (shift < -31 ? 31 : -shift);
    }
    if (shift > 31) {
        return product == 0 ? 0 : (product > 0 ? INT32_MAX : INT32_MIN);
    }
    return kve_saturate64(static_cast<int64_t>(product) * (int64_t{1} << shift));
}

// The product scaled by 2^postShift and kept in 64 bits without saturation, for the scale-and-offset kernel, which
// adds its offset first and saturates the sum once. Beyond what the scaling can reach inside 32 bits the value is
// held at +-2^62, far enough out that adding any 32-bit offset still saturates to the product's side.
static inline int64_t kve_shiftProduct64(Fract32 product, int32_t postShift)
{
    if (postShift < 0) {
        return static_cast<int64_t>(product) >> (postShift < -63 ? 63 : -postShift);
    }
    if (postShift > 31) {
        const int64_t far = int64_t{1} << 62;
        return product == 0 ? 0 : (product > 0 ? far : -far);
    }
    return static_cast<int64_t>(product) * (int64_t{1} << postShift);
}

// ---- Conversions ----

// x converted toward zero, saturated to the 32-bit range; NaN gives 0.
static inline int32_t kve_truncateToInt32(float x)
{
    if (std::isnan(x)) {
        return 0;
    }
    if (x >= 2147483648.0f) {
        return INT32_MAX;
    }
    if (x <= -2147483648.0f) {
        return INT32_MIN;
    }
    return static_cast<int32_t>(x);
}

// Float sample to Fract32: x x 2^31 truncated toward zero and saturated, so 1.0 and above give 0x7FFFFFFF, -1.0 and
// below give 0x80000000, and NaN gives 0 (the AArch64 fixed-point conversion with 31 fraction bits).
static inline Fract32 kve_floatToFract32(float x)
{
    return kve_truncateToInt32(x * 2147483648.0f);
}

// Fract32 sample to float: the word rounded to nearest single precision, then scaled by 2^-31 (exact), so
// 0x7FFFFFFF gives 1.0.
static inline float kve_fract32ToFloat(Fract32 x)
{
    return static_cast<float>(x) * 0x1p-31f;
}

// Float to integer, rounding half away from zero: floor(x + 0.5) for x >= 0, else -floor(0.5 - x), each sum rounded
// to single precision first (so 0.49999997 gives 1). Saturates to -2147483647..2147483647; NaN gives 0.
static inline int32_t kve_floatToInt(float x)
{
    if (x >= 0.0f) {
        return kve_truncateToInt32(std::floor(x + 0.5f));
    }
    return -kve_truncateToInt32(std::floor(0.5f - x));
}

// The rounded float to Fract32 conversion of the fixed-point modules' Set functions: x x 2^31 moved half a unit away
// from zero and truncated, all in single precision; below -1.0 gives 0x80000000, 1.0 and above 0x7FFFFFFF, NaN 0.
static inline Fract32 kve_rounded(float x)
{
    if (std::isnan(x)) {
        return 0;
    }
    if (x < -1.0f) {
        return INT32_MIN;
    }
    if (x >= 1.0f) {
        return INT32_MAX;
    }
    const float y = x * 2147483648.0f;
    return kve_truncateToInt32(y > 0.0f ? y + 0.5f : y - 0.5f);
}

// ---- 32-bit word shifts (counts taken modulo 32) ----

// x shifted left by shift for shift >= 0 (bits shifted out are lost), else right by -shift, filling with the sign.
static inline int32_t kve_shiftWordArith(int32_t x, int32_t shift)
{
    const uint32_t count = static_cast<uint32_t>(shift);
    if (shift >= 0) {
        return static_cast<int32_t>(static_cast<uint32_t>(x) << (count & 31u));
    }
    return x >> ((0u - count) & 31u);
}

// x shifted left by shift for shift >= 0 (bits shifted out are lost), else right by -shift, filling with zeros.
static inline int32_t kve_shiftWordLogical(int32_t x, int32_t shift)
{
    const uint32_t count = static_cast<uint32_t>(shift);
    if (shift >= 0) {
        return static_cast<int32_t>(static_cast<uint32_t>(x) << (count & 31u));
    }
    return static_cast<int32_t>(static_cast<uint32_t>(x) >> ((0u - count) & 31u));
}

// ---- 32-bit integer arithmetic (wraps modulo 2^32) ----

static inline int32_t kve_addInt32Wrap(int32_t a, int32_t b)
{
    return static_cast<int32_t>(static_cast<uint32_t>(a) + static_cast<uint32_t>(b));
}

static inline int32_t kve_subInt32Wrap(int32_t a, int32_t b)
{
    return static_cast<int32_t>(static_cast<uint32_t>(a) - static_cast<uint32_t>(b));
}

static inline int32_t kve_mulInt32Wrap(int32_t a, int32_t b)
{
    return static_cast<int32_t>(static_cast<uint32_t>(a) * static_cast<uint32_t>(b));
}
