#include <functional>

#include "Dsp/Compare/Compare.h"
#include "kve/kve_vec_compare.h"

// dst[i] = 1 where src[i] == constant as signed words, else 0.
extern "C" void kve_vecLogicCompareConstEqualFract32(const Fract32 *src, Fract32 constant, int32_t *dst, int32_t n)
{
    kve_compareWithConstant(src, constant, dst, n, std::equal_to<Fract32>{});
}

// dst[i] = 1 where src[i] != constant as signed words, else 0.
extern "C" void kve_vecLogicCompareConstNotEqualFract32(const Fract32 *src, Fract32 constant, int32_t *dst, int32_t n)
{
    kve_compareWithConstant(src, constant, dst, n, std::not_equal_to<Fract32>{});
}

// dst[i] = 1 where src[i] < constant as signed words, else 0.
extern "C" void kve_vecLogicCompareConstLessThanFract32(const Fract32 *src, Fract32 constant, int32_t *dst, int32_t n)
{
    kve_compareWithConstant(src, constant, dst, n, std::less<Fract32>{});
}

// dst[i] = 1 where src[i] <= constant as signed words, else 0.
extern "C" void kve_vecLogicCompareConstLessOrEqualFract32(const Fract32 *src, Fract32 constant, int32_t *dst,
                                                           int32_t n)
{
    kve_compareWithConstant(src, constant, dst, n, std::less_equal<Fract32>{});
}

// dst[i] = 1 where src[i] > constant as signed words, else 0.
extern "C" void kve_vecLogicCompareConstGreaterFract32(const Fract32 *src, Fract32 constant, int32_t *dst, int32_t n)
{
    kve_compareWithConstant(src, constant, dst, n, std::greater<Fract32>{});
}

// dst[i] = 1 where src[i] >= constant as signed words, else 0.
extern "C" void kve_vecLogicCompareConstGreaterOrEqualFract32(const Fract32 *src, Fract32 constant, int32_t *dst,
                                                              int32_t n)
{
    kve_compareWithConstant(src, constant, dst, n, std::greater_equal<Fract32>{});
}
