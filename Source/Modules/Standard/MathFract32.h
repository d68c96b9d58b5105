// Class records of the fixed-point math modules (Fract32 or fixed-point words on every wire), and the bodies and
// exponential datapath they share.
#pragma once

#include <algorithm>
#include <cstdint>

#include "Dsp/Elementwise.h"
#include "Dsp/Fract32.h"
#include "Modules/Standard/Shapes.h"
#include "kve/kve_vec.h"

extern "C" {
extern const kve::kit::ClassRecord<0> kve_modAbsFract32Class;
extern const kve::kit::ClassRecord<0> kve_modSquareFract32Class;
extern const kve::kit::ClassRecord<0> kve_modSqrtFract32Class;
extern const kve::kit::ClassRecord<1> kve_modReciprocalFract32Class;
extern const kve::kit::ClassRecord<0> kve_modLog10Fract32Class;
extern const kve::kit::ClassRecord<0> kve_modLog2Fract32Class;
extern const kve::kit::ClassRecord<0> kve_modDb20Fract32Class;
extern const kve::kit::ClassRecord<0> kve_modUndb10Fract32Class;
extern const kve::kit::ClassRecord<0> kve_modUndb20Fract32Class;
extern const kve::kit::ClassRecord<0> kve_modPow2Fract32Class;
extern const kve::kit::ClassRecord<3> kve_modPowFract32Class;
extern const kve::kit::ClassRecord<1> kve_modShiftFract32Class;
extern const kve::kit::ClassRecord<1> kve_modLShiftFract32Class;
extern const kve::kit::ClassRecord<4> kve_modClipAsymFract32Class;
extern const kve::kit::ClassRecord<5> kve_modScaleOffsetFract32Class;
extern const kve::kit::ClassRecord<4> kve_modPolynomialFract32Class;
}

namespace kve::mathq {

// A body applying a function of one word to every sample.
template <Fract32 (*F)(Fract32)> void mapWords(ClassModule *, const Fract32 *x, Fract32 *y, int32_t n)
{
    kve_map1x1(x, 1, y, 1, n, F);
}

template <class Member> struct ModuleOf;
template <class Module, class T> struct ModuleOf<T Module::*> {
    using type = Module;
};

// A body made from a strided kernel that takes one integer variable of the module before the count:
// (src, 1, dst, 1, variable, n).
template <auto Kernel, auto Variable> void kernelWith(ClassModule *m, shapes::Words x, shapes::Words y, int32_t n)
{
    using Module = typename ModuleOf<decltype(Variable)>::type;
    Kernel(x, 1, y, 1, reinterpret_cast<const Module *>(m)->*Variable, n);
}

// 2^f with 28 fractional bits for a fraction f in [0, 1) with 31: the Horner steps of pow2_coeff_fract32, each
// product 64 bits wide and shifted right by 31. The value stays below 2^29.
inline int32_t pow2Fraction(int32_t f)
{
    const Fract32 *c = pow2_coeff_fract32;
    int64_t p = c[0];
    for (int k = 1; k < 7; ++k)
        p = c[k] + ((int64_t{f} * p) >> 31);
    return static_cast<int32_t>(p);
}

// 2^f with 28 fractional bits moved to 16 fractional bits and scaled by 2^octaves, for octaves up to 14 (the most
// whose result still fits a word). Far below, every bit is shifted out.
inline int32_t pow2Octaves(int32_t p, int32_t octaves)
{
    return octaves > 12 ? p << (octaves - 12) : p >> std::min(12 - octaves, 31);
}

// 2^t for t with 23 fractional bits, as a word with 23 fractional bits: t splits into whole octaves n and a
// fraction; the polynomial's value is shifted by the octaves at 16 fractional bits, then by 7 more. Results of 256.0
// or more (n of 8 and up) have no word and saturate to 0x7FFFFFFF; below, the value stays under 2^31.
inline Fract32 pow2Q23(int32_t t)
{
    const int32_t octaves = t >> 23;
    if (octaves >= 8)
        return INT32_MAX;
    return pow2Octaves(pow2Fraction((t & 0x7FFFFF) << 8), octaves) * 128;
}

// t = x x k as a 64-bit product shifted right by 31: a decibel value with 23 fractional bits times log2(10)/10 or
// /20 gives the base-2 exponent of its linear value.
inline int32_t octavesOfDecibels(Fract32 x, int32_t k) { return static_cast<int32_t>((int64_t{x} * k) >> 31); }

constexpr int32_t kLog2Of10Over20 = 356689313; // log2(10)/20 x 2^31
constexpr int32_t kLog2Of10Over10 = 713378626; // log2(10)/10 x 2^31

} // namespace kve::mathq
