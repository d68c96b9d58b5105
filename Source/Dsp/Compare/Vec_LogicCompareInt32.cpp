#include <functional>

#include "Dsp/Compare/Compare.h"
#include "kve/kve_vec_compare.h"

// dst[i] = 1 where a[i] == b[i] as signed integers, else 0.
extern "C" void kve_vecLogicCompareEqualInt32(const int32_t *a, const int32_t *b, int32_t *dst, int32_t n)
{
    kve_compareVectors(a, b, dst, n, std::equal_to<int32_t>{});
}

// dst[i] = 1 where a[i] != b[i] as signed integers, else 0.
extern "C" void kve_vecLogicCompareNotEqualInt32(const int32_t *a, const int32_t *b, int32_t *dst, int32_t n)
{
    kve_compareVectors(a, b, dst, n, std::not_equal_to<int32_t>{});
}

// dst[i] = 1 where a[i] < b[i] as signed integers, else 0.
extern "C" void kve_vecLogicCompareLessThanInt32(const int32_t *a, const int32_t *b, int32_t *dst, int32_t n)
{
    kve_compareVectors(a, b, dst, n, std::less<int32_t>{});
}

// dst[i] = 1 where a[i] <= b[i] as signed integers, else 0.
extern "C" void kve_vecLogicCompareLessOrEqualInt32(const int32_t *a, const int32_t *b, int32_t *dst, int32_t n)
{
    kve_compareVectors(a, b, dst, n, std::less_equal<int32_t>{});
}

// dst[i] = 1 where a[i] > b[i] as signed integers, else 0.
extern "C" void kve_vecLogicCompareGreaterInt32(const int32_t *a, const int32_t *b, int32_t *dst, int32_t n)
{
    kve_compareVectors(a, b, dst, n, std::greater<int32_t>{});
}

// dst[i] = 1 where a[i] >= b[i] as signed integers, else 0.
extern "C" void kve_vecLogicCompareGreaterOrEqualInt32(const int32_t *a, const int32_t *b, int32_t *dst, int32_t n)
{
    kve_compareVectors(a, b, dst, n, std::greater_equal<int32_t>{});
}
