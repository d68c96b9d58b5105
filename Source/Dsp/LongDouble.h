// The 128-bit IEEE quad-precision type of the extended-precision filter code: coefficients designed in it keep
// their accuracy through the cancellations of poles close to the unit circle, and are rounded to float once.
//
// AArch64 Linux has it as `long double`; on x86-64, where `long double` is the 80-bit x87 format, GCC's
// `__float128` is the same IEEE binary128. Arithmetic on it is done in software on both; the C library's math
// library supplies the square root.
#pragma once

#include <cfloat>
#include <cmath>

#if defined(__aarch64__)
static_assert(LDBL_MANT_DIG == 113, "long double must be IEEE binary128 on AArch64");
typedef long double LongDouble;

static inline LongDouble kve_sqrtLongDouble(LongDouble x)
{
    return sqrtl(x);
}
#elif defined(__x86_64__)
typedef __float128 LongDouble;

// glibc's libm exports the binary128 square root; not every compiler's headers declare it.
extern "C" __float128 sqrtf128(__float128);

static inline LongDouble kve_sqrtLongDouble(LongDouble x)
{
    return sqrtf128(x);
}
#else
#error "no IEEE binary128 type known for this processor"
#endif
