#include <functional>

#include "Dsp/Compare/Compare.h"
#include "kve/kve_vec_compare.h"

// dst[i] = 1 where a[i] == b[i] as signed words, else 0.
extern "C" void kve_vecLogicCompareEqualFract32(const Fract32 *a, const Fract32 *b, int32_t *dst, int32_t n)
{
    kve_compareVectors(a, b, dst, n, std::equal_to<Fract32>{});
}

// dst[i] = 1 where a[i] != b[i] as signed words, else 0.
extern "C" void kve_vecLogicCompareNotEqualFract32(const Fract32 *a, const Fract32 *b, int32_t *dst, int32_t n)
{
    kve_compareVectors(a, b, dst, n, std::not_equal_to<Fract32>{});
}

// dst[i] = 1 where a[i] < b[i] as signed words, else 0.
extern "C" void kve_vecLogicCompareLessThanFract32(const Fract32 *a, const Fract32 *b, int32_t *dst, int32_t n)
{
    kve_compareVectors(a, b, dst, n, std::less<Fract32>{});
}

// dst[i] = 1 where a[i] <= b[i] as signed words, else 0.
extern "C" void kve_vecLogicCompareLessOrEqualFract32(const Fract32 *a, const Fract32 *b, int32_t *dst, int32_t n)
{
    kve_compareVectors(a, b, dst, n, std::less_equal<Fract32>{});
}

// dst[i] = 1 where a[i] > b[i] as signed words, else 0.
extern "C" void kve_vecLogicCompareGreaterFract32(const Fract32 *a, const Fract32 *b, int32_t *dst, int32_t n)
{
    kve_compareVectors(a, b, dst, n, std::greater<Fract32>{});
}

// dst[i] = 1 where a[i] >= b[i] as signed words, else 0.
extern "C" void kve_vecLogicCompareGreaterOrEqualFract32(const Fract32 *a, const Fract32 *b, int32_t *dst, int32_t n)
{
    kve_compareVectors(a, b, dst, n, std::greater_equal<Fract32>{});
}
